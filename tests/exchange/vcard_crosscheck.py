#!/usr/bin/env python3
"""Reads the contacts fixtures with python3-vobject and checks that kivo's reader finds the same
names, first e-mail addresses, birthdays and anniversaries."""
import re
import subprocess
import sys
from pathlib import Path

import vobject

DATE = re.compile(r"^(?:(\d{4})-?|--)(\d{2})-?(\d{2})(?:T.*)?$")


def value_of(component, name):
    items = component.contents.get(name.lower(), [])
    return items[0] if items else None


def text(line):
    value = line.value
    if isinstance(value, bytes):
        value = value.decode("utf-8")
    return " ".join(str(value).split())


def date_of(line):
    if line is None:
        return None
    if any(v.lower() == "text" for v in line.params.get("VALUE", [])):
        return None
    match = DATE.match(str(line.value).strip())
    if not match:
        return None
    year = int(match.group(1) or 0)
    omit = line.params.get("X-APPLE-OMIT-YEAR", [None])[0]
    if (omit is not None and int(omit) == year) or year == 1604:
        year = 0
    return year, int(match.group(2)), int(match.group(3))


def name_of(card):
    fn = value_of(card, "fn")
    if fn is not None and text(fn):
        return text(fn)
    n = value_of(card, "n")
    if n is None:
        return ""
    v = n.value
    parts = [v.prefix, v.given, v.additional, v.family, v.suffix]
    words = []
    for part in parts:
        part = " ".join(part) if isinstance(part, list) else part
        if part and part.strip():
            words.append(" ".join(part.split()))
    return " ".join(words)


def label_of(card, group):
    for line in card.contents.get("x-ablabel", []):
        if group and line.group and line.group.upper() == group.upper():
            label = " ".join(text(line).split())
            if label.startswith("_$!<") and label.endswith(">!$_"):
                label = label[4:-4].strip()
            return "" if label.lower() == "anniversary" else label
    return ""


def events_of(card):
    """The anniversary, then Apple's labelled dates, each (label, date) once."""
    events = []
    for name in ("anniversary", "x-anniversary", "x-evolution-anniversary"):
        date = date_of(value_of(card, name))
        if date:
            events.append(("", date))
            break
    for line in card.contents.get("x-abdate", []):
        date = date_of(line)
        event = (label_of(card, line.group), date)
        if date and event not in events:
            events.append(event)
    return events


def expected(path):
    records = []
    skipped = 0
    for card in vobject.readComponents(path.read_text(encoding="utf-8")):
        name = name_of(card)
        email = value_of(card, "email")
        email = text(email) if email is not None else ""
        birthday = date_of(value_of(card, "bday"))
        events = events_of(card)
        if not name or (birthday is None and not events):
            skipped += 1
            continue
        if birthday:
            records.append((name, email, *birthday, 0))
        for label, date in events:
            records.append((f"{name} ({label or 'Anniversary'})", email, *date, 3))
    return records, skipped


def kivo(tool, path):
    out = subprocess.run([tool, "vcards", str(path)], check=True, capture_output=True).stdout
    lines = out.decode("utf-8").splitlines()
    records = []
    for line in lines[:-1]:
        name, email, year, month, day, kind = line.split("\t")
        records.append((name, email, int(year), int(month), int(day), int(kind)))
    return records, int(lines[-1].split("\t")[1])


def main():
    tool, fixtures = sys.argv[1], Path(sys.argv[2])
    failures, checked = [], 0
    for name in ("v21.vcf", "v30.vcf", "v40.vcf", "apple.vcf"):
        path = fixtures / name
        want, got = expected(path), kivo(tool, path)
        checked += 1
        if want != got:
            failures.append(f"{name}:\n  vobject {want}\n  kivo    {got}")
    for failure in failures:
        print("FAIL:", failure)
    print(f"{checked - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
