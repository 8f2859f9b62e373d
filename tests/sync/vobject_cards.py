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


def card_of(wanted):
    card = vobject.vCard()
    card.add("uid").value = wanted["uid"]
    card.add("fn").value = wanted["fn"]
    family, _, given = wanted["fn"].rpartition(" ")
    card.add("n").value = vobject.vcard.Name(family=given, given=family)
    if "email" in wanted:
        email = card.add("email")
        email.value = wanted["email"]
        email.type_param = "INTERNET"
    if "bday" in wanted:
        bday = card.add("bday")
        bday.value = wanted["bday"]
        for key, value in wanted.get("bday_params", {}).items():
            bday.params[key] = [value]
    if "anniversary" in wanted:
        card.add("anniversary").value = wanted["anniversary"]
    if "x_anniversary" in wanted:
        card.add("x-anniversary").value = wanted["x_anniversary"]
    for number, (date, label) in enumerate(wanted.get("abdates", []), start=1):
        line = card.add("x-abdate")
        line.value = date
        line.group = f"item{number}"
        if label:
            label_line = card.add("x-ablabel")
            label_line.value = label
            label_line.group = f"item{number}"
    text = card.serialize()
    version = wanted.get("version", "3.0")
    return text.replace("VERSION:3.0", f"VERSION:{version}", 1)


def main():
    cards = [card_of(wanted) for wanted in json.load(sys.stdin)]
    json.dump(cards, sys.stdout)


if __name__ == "__main__":
    main()
