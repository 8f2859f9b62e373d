#!/usr/bin/env python3
"""Every text the sources look up by a literal is in the built-in table (core/built_in_texts.cpp),
so that the check of the shipped translations asks each of them for it.

Usage: built_in_texts_check.py SOURCE-DIR
A text looked up through a variable or a table of its own (the column heads, the reminder
wordings) is not seen here: add it to the built-in table by hand.
"""
import pathlib
import re
import sys

LITERAL = r'"(?:[^"\\]|\\.)*"'
LITERALS = rf'{LITERAL}(?:\s*{LITERAL})*'
# text("..."), qtext("..."), lookUpText(texts, "...") and the like, with adjacent literals joined.
LOOKUP = re.compile(rf'\b(?:q?text\(|lookUpText\([^,()]*,)\s*({LITERALS})')
FOLDERS = ("app", "windows", "controls", "printing", "engine", "platform")


def unescape(literals):
    text = "".join(part[1:-1] for part in re.findall(LITERAL, literals))
    return re.sub(r'\\(.)', lambda m: {"n": "\n", "t": "\t"}.get(m.group(1), m.group(1)), text)


def main():
    root = pathlib.Path(sys.argv[1])
    table = (root / "core" / "built_in_texts.cpp").read_text(encoding="utf-8")
    built_in = {unescape(m.group(1)).lower() for m in re.finditer(rf'({LITERAL})sv', table)}
    missing = []
    for folder in FOLDERS:
        for source in sorted((root / folder).glob("*.[ch]*")):
            text = source.read_text(encoding="utf-8")
            for match in LOOKUP.finditer(text):
                key = unescape(match.group(1))
                if key.lower() not in built_in:
                    line = text.count("\n", 0, match.start()) + 1
                    missing.append(f"{source.relative_to(root)}:{line}: {key!r}")
    for entry in missing:
        print(f"{entry} is looked up but is not in core/built_in_texts.cpp")
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
