#!/usr/bin/env python3
"""Parses every calendar file kivo writes with python3-icalendar, expands each yearly rule over eleven
years with python3-dateutil and compares the days with kivo's own occurrence computation."""
import datetime
import subprocess
import sys
import tempfile
from pathlib import Path

from dateutil.rrule import rrulestr
from icalendar import Calendar

FIRST = datetime.datetime(2024, 1, 1)
LAST = datetime.datetime(2034, 12, 31, 23, 59, 59)


def occurrences(event):
    start = event.decoded("dtstart")
    assert isinstance(start, datetime.date) and not isinstance(start, datetime.datetime), start
    rule = event.get("rrule").to_ical().decode()
    dates = rrulestr(rule, dtstart=datetime.datetime.combine(start, datetime.time()))
    return [d.date().isoformat() for d in dates.between(FIRST, LAST, inc=True)]


def main():
    tool = sys.argv[1]
    failures = []
    checked = 0
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run([tool, "calendars", folder], check=True)
        expected = {}
        for line in Path(folder, "expected.tsv").read_text(encoding="utf-8").splitlines():
            kind, file, summary, dates = line.split("\t")
            expected.setdefault(file, []).append((summary, [d for d in dates.split(",") if d]))

        for file, wanted in expected.items():
            raw = Path(folder, file).read_bytes()
            raw.decode("utf-8")  # every file is UTF-8
            calendar = Calendar.from_ical(raw)
            events = list(calendar.walk("VEVENT"))
            if len(events) != len(wanted):
                failures.append(f"{file}: {len(events)} events, expected {len(wanted)}")
                continue
            uids = set()
            for event, (summary, dates) in zip(events, wanted):
                checked += 1
                got_summary = str(event.get("summary"))
                if got_summary != summary:
                    failures.append(f"{file}: summary {got_summary!r}, expected {summary!r}")
                got = occurrences(event)
                if got != dates:
                    failures.append(f"{file} {summary}: {got} != {dates}")
                if file == "all.ics":
                    uids.add(str(event.get("uid")))
                    if event.get("dtstamp") is None:
                        failures.append(f"{file} {summary}: no DTSTAMP")
            if file == "all.ics" and len(uids) != len(events):
                failures.append(f"{file}: UIDs not unique")

    for failure in failures:
        print("FAIL:", failure)
    print(f"{checked - len(failures)} passed, {len(failures)} failed")
    return 1 if failures or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
