#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""With "Allarme dopo:" at 1 and a host that never answers (in a namespace of
the test's own), a burst shows the lost-packet warning, and the docked tray
icon turns from grey to red. The desktop has no notification service, nor one
its bus could start: the alarm is all there is, and nothing is said of the
missing service. The outage gets its short trace, whose verdict shows in the
Grafico page's list and is kept in the history with its hops."""

import os
import sqlite3
import re

import monitor_helpers as mh
import zirko_e2e as e2e


# Nothing on the way answers the silent host's trace.
NOWHERE = "La destinazione non risponde e nessun salto risponde."


def test(binary):
    e2e.require(os.geteuid() == 0, "needs root for raw ICMP sockets and namespaces")
    with mh.SilentHost() as silent, e2e.Desktop() as desktop:
        folder = os.path.join(desktop.workdir, "run")
        os.mkdir(folder)
        names = desktop.run(["dbus-send", "--session", "--print-reply",
                             "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                             "org.freedesktop.DBus.ListActivatableNames"])
        assert "org.a11y.Bus" in names and "org.freedesktop.Notifications" not in names, names
        zirko = desktop.start_zirko(folder, binary)
        zirko.main_window()
        icons = e2e.wait_until(desktop.docked_icons, 10, "the tray icon")
        assert len(icons) == 1, icons
        red, _ = mh.icon_colours(desktop, icons[0])
        assert red == 0, "the icon starts grey, %d red pixels" % red

        app, page = mh.ping_page(desktop, zirko)
        pyatspi = desktop.atspi()
        page["alarm_after"].queryValue().currentValue = 1
        e2e.wait_until(lambda: page["alarm_after"].queryValue().currentValue == 1, 5,
                       "Allarme dopo: 1")
        warning = desktop.find(app, "label", "Attenzione parcchetti persi !!!")
        assert not warning.getState().contains(pyatspi.STATE_SHOWING), "warning hidden at start"

        mh.set_text(page["host"], silent.address)
        e2e.press(page["ping"])
        # Two losses in a row pass a threshold of 1.
        e2e.wait_until(lambda: page["lost"].description == "2", 15, "two lost pings",
                       alive=zirko.popen)
        e2e.wait_until(lambda: warning.getState().contains(pyatspi.STATE_SHOWING), 5,
                       "the lost-packet warning")
        red, yellow = e2e.wait_until(
            lambda: (lambda c: c if c[0] > 20 else None)(mh.icon_colours(desktop, icons[0])),
            5, "the tray icon to turn red")
        assert red > yellow, (red, yellow)

        e2e.wait_until(lambda: page["n_ping"].description == "5", 15, "the whole burst",
                       alive=zirko.popen)
        lines = mh.pane_lines(page["pane"])
        lost = sum("\\0 bytes from 0.0.0.0: " in l for l in lines)
        # Every ping should be lost; the client matches replies by sequence only, so
        # another pinger on the machine using the same number can answer one.
        assert len(lines) == 5 and lost >= 4, lines
        assert page["lost"].description == str(lost), page["lost"].description
        assert page["perc"].description == str(lost * 100 // 5), page["perc"].description

        # The short trace run as the outage began says where the path broke, in its list.
        e2e.press(desktop.find(app, "page tab", "Grafico"))
        desktop.find(app, None, NOWHERE, timeout=40)

        desktop.run(["wmctrl", "-F", "-c", "Zirko"])
        assert zirko.wait_exit(15) == 0
        assert not re.search("dbus|notif", zirko.error_text(), re.I), zirko.error_text()
        with sqlite3.connect(os.path.join(folder, "ZIRKO.DB")) as db:
            paths = db.execute("SELECT path FROM outage").fetchall()
            hops = db.execute("SELECT count(*) FROM outage_hop WHERE received = 0").fetchone()[0]
        assert paths == [(NOWHERE,)] and hops >= 1, (paths, hops)


if __name__ == "__main__":
    e2e.run_test(test)
