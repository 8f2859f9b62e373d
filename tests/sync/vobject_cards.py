#!/usr/bin/env python3
"""Writes vCards with python3-vobject, a writer independent of kivo, for the sync tests.

Reads a JSON list of objects from standard input and writes a JSON list of the cards' texts:
  {"uid": "...", "fn": "...", "version": "3.0" or "4.0", "email": "...", "bday": "...",
   "bday_params": {"X-APPLE-OMIT-YEAR": "1604"}, "anniversary": "...",
   "x_anniversary": "...", "abdates": [["2001-02-03", "Label" or "" for none], ...]}
Every key but uid and fn may be left out."""
import json
import sys

import vobject


def card_of(spec):
    card = vobject.vCard()
    card.add("uid").value = spec["uid"]
    card.add("fn").value = spec["fn"]
    family, _, given = spec["fn"].rpartition(" ")
    card.add("n").value = vobject.vcard.Name(family=given, given=family)
    if "email" in spec:
        email = card.add("email")
        email.value = spec["email"]
        email.type_param = "INTERNET"
    if "bday" in spec:
        bday = card.add("bday")
        bday.value = spec["bday"]
        for key, value in spec.get("bday_params", {}).items():
            bday.params[key] = [value]
    if "anniversary" in spec:
        card.add("anniversary").value = spec["anniversary"]
    if "x_anniversary" in spec:
        card.add("x-anniversary").value = spec["x_anniversary"]
    for number, (date, label) in enumerate(spec.get("abdates", []), start=1):
        line = card.add("x-abdate")
        line.value = date
        line.group = f"item{number}"
        if label:
            label_line = card.add("x-ablabel")
            label_line.value = label
            label_line.group = f"item{number}"
    text = card.serialize()
    version = spec.get("version", "3.0")
    return text.replace("VERSION:3.0", f"VERSION:{version}", 1)


def main():
    cards = [card_of(spec) for spec in json.load(sys.stdin)]
    json.dump(cards, sys.stdout)


if __name__ == "__main__":
    main()
