#!/usr/bin/python3
"""notification_user.py CAPABILITIES ACT PID: python3-dbusmock's notification service, and a user
who acts on the first notification: ACT is an action key ("default" is a click), "close", or
"raise" (a later start asks PID for its window). Says {"method": "ready"}, then each Notify and
CloseNotification call, a hint as [its type, value]; keeps the service until it is no longer read.
"""
import json
import os
import signal
import subprocess
import sys

import dbus
import dbus.mainloop.glib
from gi.repository import GLib

NAME = "org.freedesktop.Notifications"
PATH = "/org/freedesktop/Notifications"
MOCK = "org.freedesktop.DBus.Mock"


def plain(value):
    if isinstance(value, dbus.Dictionary):
        return {str(k): [type(v).__name__, plain(v)] for k, v in value.items()}
    if isinstance(value, (list, tuple)):
        return [plain(v) for v in value]
    return str(value) if isinstance(value, str) else int(value)


def main():
    capabilities, act, pid = sys.argv[1], sys.argv[2], int(sys.argv[3])
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    loop = GLib.MainLoop()

    def say(**fields):
        print(json.dumps(fields), flush=True)

    def on_call(method, args):
        if method in ("Notify", "CloseNotification"):
            say(method=str(method), args=plain(args))
        if method != "Notify":
            return
        mock = dbus.Interface(bus.get_object(NAME, PATH), MOCK)
        # A new service numbers its first notification 1.
        if act == "raise":
            os.kill(pid, signal.SIGUSR1)
        elif act == "close":
            mock.EmitSignal(NAME, "NotificationClosed", "uu", [dbus.UInt32(1), dbus.UInt32(2)])
        else:
            mock.EmitSignal(NAME, "ActionInvoked", "us", [dbus.UInt32(1), act])

    bus.add_signal_receiver(on_call, signal_name="MethodCalled", dbus_interface=MOCK, path=PATH)
    bus.add_signal_receiver(lambda name, old, new: new and say(method="ready"),
                            signal_name="NameOwnerChanged", dbus_interface="org.freedesktop.DBus",
                            arg0=NAME)
    # Started once its name is watched, so that its arrival is not missed.
    service = subprocess.Popen([sys.executable, "-m", "dbusmock", "--template",
                                "notification_daemon", "-p",
                                json.dumps({"capabilities": capabilities})],
                               stdout=subprocess.DEVNULL)
    GLib.io_add_watch(sys.stdout.fileno(), GLib.IO_ERR | GLib.IO_HUP, lambda *_: loop.quit())
    loop.run()
    service.terminate()
    service.wait()


if __name__ == "__main__":
    main()
