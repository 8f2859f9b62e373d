#!/usr/bin/env python3
"""Adds an alarm and a description to one event of a calendar with python3-caldav, as a phone
would, for the publish tests: another client changing kivo's event on the server.

  caldav_alarm.py CALENDAR_URL USER PASSWORD EVENT_UID"""
import datetime
import sys

import caldav
from icalendar import Alarm


def main():
    url, user, password, uid = sys.argv[1:5]
    client = caldav.DAVClient(url, username=user, password=password)
    calendar = client.calendar(url=url)
    event = calendar.event_by_uid(uid)
    component = event.icalendar_instance.walk("VEVENT")[0]
    alarm = Alarm()
    alarm.add("action", "DISPLAY")
    alarm.add("description", "Buy a present")
    alarm.add("trigger", datetime.timedelta(days=-1))
    component.add_component(alarm)
    component.add("description", "Added on the phone")
    event.save()
    return 0


if __name__ == "__main__":
    sys.exit(main())
