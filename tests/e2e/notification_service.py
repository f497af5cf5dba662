#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A desktop notification service reduced to what the tests need: it owns the
service's name on the session bus, answers Notify with ids of its own and
keeps every call. The test reads the calls (Calls, as JSON) and makes it
report a chosen action (Invoke) over a small interface of the test's own.
Ends on SIGTERM or when the bus goes."""

import json
import signal
import sys
import time

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.freedesktop.Notifications"
PATH = "/org/freedesktop/Notifications"
TEST = "org.zirko.Test"


class Service(dbus.service.Object):
    def __init__(self, bus):
        self.calls = []
        self.last_id = 100
        super().__init__(bus, PATH)

    @dbus.service.method(NAME, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app_name, replaces_id, icon, summary, body, actions, hints, timeout):
        ident = int(replaces_id) or self.last_id + 1
        self.last_id = max(self.last_id, ident)
        self.calls.append({
            "id": ident, "replaces_id": int(replaces_id), "app_name": str(app_name),
            "summary": str(summary), "body": str(body), "actions": [str(a) for a in actions],
            # A byte, as the protocol has it: anything else arrives as another type.
            "urgency": int(hints["urgency"]) if isinstance(hints.get("urgency"), dbus.Byte)
            else None,
            "category": str(hints.get("category", "")), "at": time.monotonic()})
        return ident

    @dbus.service.signal(NAME, signature="us")
    def ActionInvoked(self, ident, key):
        pass

    @dbus.service.method(TEST, in_signature="", out_signature="s")
    def Calls(self):
        return json.dumps(self.calls)

    @dbus.service.method(TEST, in_signature="us", out_signature="")
    def Invoke(self, ident, key):
        self.ActionInvoked(ident, key)


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    loop = GLib.MainLoop()
    bus.call_on_disconnection(lambda _: loop.quit())
    service = Service(bus)
    name = dbus.service.BusName(NAME, bus, do_not_queue=True)
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    loop.run()
    del name, service
    return 0


if __name__ == "__main__":
    sys.exit(main())
