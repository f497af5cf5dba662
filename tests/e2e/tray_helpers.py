# SPDX-License-Identifier: GPL-3.0-or-later
"""Helpers for the tests of other desktops: a tray host and a notification
service over D-Bus of the test's own, the item zirko registers there with its
image and exported menu, and the window's place on the taskbar."""

import json
import os
import sys

import zirko_e2e as e2e

HERE = os.path.dirname(os.path.abspath(__file__))
WATCHER = "org.kde.StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
MENU = "com.canonical.dbusmenu"


def session_bus(desktop):
    """A connection of the test's own to the desktop's session bus."""
    import dbus

    return dbus.bus.BusConnection(desktop.env["DBUS_SESSION_BUS_ADDRESS"])


class StatusNotifierHost:
    """The panel: status_notifier_host.py on the desktop's session bus."""

    SCRIPT, NAME = "status_notifier_host.py", WATCHER

    def __init__(self, desktop):
        try:
            import dbus.mainloop.glib  # noqa: F401 (the host script needs it too)
        except ImportError:
            e2e.require(False, "needs python3-dbus (scripts/setup installs it)")
        self.desktop = desktop
        self.bus = session_bus(desktop)
        self.process = None

    def __enter__(self):
        self.process = self.desktop._spawn(
            [sys.executable, os.path.join(HERE, self.SCRIPT)],
            log=os.path.join(self.desktop.workdir, self.SCRIPT + ".log"))
        e2e.wait_until(lambda: self.bus.name_has_owner(self.NAME), 10, self.SCRIPT,
                       alive=self.process)
        return self

    def __exit__(self, *exc):
        self.stop()
        return False

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            self.process.wait(timeout=5)

    def items(self):
        watcher = self.bus.get_object(WATCHER, "/StatusNotifierWatcher")
        return [str(i) for i in watcher.Get(WATCHER, "RegisteredStatusNotifierItems",
                                            dbus_interface="org.freedesktop.DBus.Properties")]

    def item(self, timeout=10):
        """The one registered item, once it is there."""
        name = e2e.wait_until(lambda: (self.items() or [None])[0], timeout, "a registered item")
        return Item(self.bus, name)


class NotificationService(StatusNotifierHost):
    """notification_service.py on the desktop's session bus: the Notify calls
    it was given, and the actions it reports as the user's."""

    SCRIPT, NAME = "notification_service.py", "org.freedesktop.Notifications"

    def calls(self):
        service = self.bus.get_object(self.NAME, "/org/freedesktop/Notifications")
        return json.loads(str(service.Calls(dbus_interface="org.zirko.Test")))

    def wait_calls(self, count, timeout, alive=None):
        return e2e.wait_until(lambda: (lambda c: c if len(c) >= count else None)(self.calls()),
                              timeout, "%d Notify calls" % count, alive=alive)

    def invoke(self, ident, key):
        service = self.bus.get_object(self.NAME, "/org/freedesktop/Notifications")
        service.Invoke(ident, key, dbus_interface="org.zirko.Test")


class Item:
    def __init__(self, bus, name):
        self.bus = bus
        self.name = name
        self.object = bus.get_object(name, "/StatusNotifierItem")

    def property(self, name):
        return self.object.Get(ITEM, name, dbus_interface="org.freedesktop.DBus.Properties")

    def activate(self):
        self.object.Activate(0, 0, dbus_interface=ITEM)

    def colour(self):
        """"grey", "yellow" or "red": what most strongly coloured pixels of
        the largest image are."""
        pixmaps = self.property("IconPixmap")
        width, height, data = max(pixmaps, key=lambda p: int(p[0]) * int(p[1]))
        data = bytes(bytearray(data))
        red = yellow = 0
        for offset in range(0, int(width) * int(height) * 4, 4):
            a, r, g, b = data[offset:offset + 4]  # ARGB, network byte order
            if a < 200:
                continue
            if r > 180 and g < 90 and b < 90:
                red += 1
            elif r > 180 and g > 180 and b < 90:
                yellow += 1
        if red > 20 and red > yellow:
            return "red"
        if yellow > 20:
            return "yellow"
        return "grey"

    def menu(self):
        return self.bus.get_object(self.name, str(self.property("Menu")))

    def menu_entries(self):
        """(id, label, is a separator) of the exported menu's top level, in order."""
        import dbus

        _, (_, _, children) = self.menu().GetLayout(0, -1, dbus.Array([], signature="s"),
                                                    dbus_interface=MENU)
        entries = []
        for child in children:
            ident, props, _ = child
            separator = str(props.get("type", "")) == "separator"
            entries.append((int(ident), str(props.get("label", "")), separator))
        return entries

    def click(self, label):
        """Triggers the exported menu entry with this label, as a panel does."""
        import dbus

        ident = [i for i, text, sep in self.menu_entries() if text == label and not sep]
        assert len(ident) == 1, "menu entries %r" % self.menu_entries()
        self.menu().Event(ident[0], "clicked", dbus.String("", variant_level=1),
                          dbus.UInt32(0), dbus_interface=MENU)


def shown(desktop, zirko, window):
    return window in zirko.windows("Zirko") and window in desktop.taskbar_clients()


def hidden(desktop, zirko, window):
    return not zirko.windows("Zirko") and window not in desktop.taskbar_clients()


def iconic(desktop, window):
    """Minimized by the window manager (and so still on its taskbar)."""
    state = desktop.run(["xprop", "-id", str(window), "_NET_WM_STATE", "WM_STATE"], check=False)
    return "_NET_WM_STATE_HIDDEN" in state or "Iconic" in state


def assert_shut_down_once(zirko):
    """The log ends with the one shut-down block of a proper end."""
    log = zirko.log_text()
    assert log.count("ShutDown Agente of Zirko") == 1, log
    assert log.rstrip("\r\n").endswith("ShutDown Agente of Zirko"), log
