#!/usr/bin/python3
"""The desktop and its user in the notification tests.

Starts python3-dbusmock's notification_daemon template as the notification service on the session
bus, and once a program sends a notification, prints what it sent and acts on it as told:

  notification_user.py CAPABILITIES ACT PID

CAPABILITIES  what the service says it can show, separated by blanks ("body body-markup actions")
ACT           an action key the user invokes ("default" is a click, "show-all", "setup"); "close",
              the user closes it; or "raise", a later start asks the program PID for its window
              (SIGUSR1), after which the program is to withdraw the notification

Prints "ready" once the service is on the bus, then one JSON line per call of Notify and
CloseNotification: {"method": ..., "args": [...]}, a hint as {"type": its D-Bus type's name,
"value": ...}. Keeps the service until its standard input ends, so that the program never sees it
leave before it has taken the user's answer.
"""
import json
import os
import signal
import subprocess
import sys
import threading

import dbus
import dbus.mainloop.glib
from gi.repository import GLib

NAME = "org.freedesktop.Notifications"
PATH = "/org/freedesktop/Notifications"
MOCK = "org.freedesktop.DBus.Mock"


def plain(value):
    if isinstance(value, dbus.Dictionary):
        return {str(k): {"type": type(v).__name__, "value": plain(v)} for k, v in value.items()}
    if isinstance(value, (list, tuple)):
        return [plain(v) for v in value]
    if isinstance(value, (dbus.String, str)):
        return str(value)
    if isinstance(value, (bool, dbus.Boolean)):
        return bool(value)
    return int(value)


def main():
    capabilities, act, pid = sys.argv[1], sys.argv[2], int(sys.argv[3])
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    loop = GLib.MainLoop()
    def say(line):
        sys.stdout.write(line + "\n")
        sys.stdout.flush()

    def on_call(method, args):
        if method not in ("Notify", "CloseNotification"):
            return
        say(json.dumps({"method": str(method), "args": plain(args)}))
        if method != "Notify":
            return
        mock = dbus.Interface(bus.get_object(NAME, PATH), MOCK)
        # The service numbers its notifications from 1, and it is new for every test.
        if act == "close":
            mock.EmitSignal(NAME, "NotificationClosed", "uu", [dbus.UInt32(1), dbus.UInt32(2)])
        elif act == "raise":
            os.kill(pid, signal.SIGUSR1)
        else:
            mock.EmitSignal(NAME, "ActionInvoked", "us", [dbus.UInt32(1), act])

    bus.add_signal_receiver(on_call, signal_name="MethodCalled", dbus_interface=MOCK, path=PATH)

    def on_owner(name, old, new):
        if name == NAME and new:
            say("ready")

    bus.add_signal_receiver(on_owner, signal_name="NameOwnerChanged",
                            dbus_interface="org.freedesktop.DBus", arg0=NAME)
    # Started once the name is watched, so that its arrival is not missed.
    service = subprocess.Popen(
        [sys.executable, "-m", "dbusmock", "--template", "notification_daemon",
         "-p", json.dumps({"capabilities": capabilities})],
        stdout=subprocess.DEVNULL)
    # Whatever the test writes, the end of its input ends the service.
    threading.Thread(target=lambda: (sys.stdin.read(), GLib.idle_add(loop.quit)),
                     daemon=True).start()
    loop.run()
    service.terminate()
    service.wait()


if __name__ == "__main__":
    main()
