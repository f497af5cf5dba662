#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A real notification daemon from Debian (dunst) on the test desktop shows an
outage of a silent host under "Auto". By its own means: its server
information names it, what it prints of each notification it was given
(dunst -print) holds the critical one with its category, then the recovery
under the same id, and one notification stays on screen; its "do the action"
(dunstctl action) brings the hidden window back.

With ZIRKO_E2E_NOTIFICATION_PNG set, the screen with the notification is also
saved there (the README's picture; in English with ZIRKO_SHOT_LANG=en)."""

import os
import re
import shutil

import monitor_helpers as mh
import tray_helpers as th
import zirko_e2e as e2e

NAME = "org.freedesktop.Notifications"


def printed(path):
    """(id, summary, urgency, category) of each notification dunst printed."""
    with open(path, encoding="utf-8", errors="replace") as out:
        blocks = re.split(r"^}$", out.read(), flags=re.M)
    fields = r"summary: '([^\n]*)'\n.*?category: (\S*)\n.*?urgency: (\w+).*?\n\tid: (\d+)"
    found = (re.search(fields, b, re.S) for b in blocks)
    return [(int(m[4]), m[1], m[3], m[2]) for m in found if m]


def test(binary):
    e2e.require(os.geteuid() == 0, "needs root for raw ICMP sockets and namespaces")
    e2e.require(shutil.which("dunst") and shutil.which("dunstctl"),
                "needs dunst (scripts/setup installs it)")
    with mh.SilentHost() as host, e2e.Desktop() as desktop:
        bus = th.session_bus(desktop)
        log = os.path.join(desktop.workdir, "dunst.out")
        dunst = desktop._spawn(["dunst", "-print"], log=log)
        e2e.wait_until(lambda: bus.name_has_owner(NAME), 10, "dunst", alive=dunst)
        server = bus.get_object(NAME, "/org/freedesktop/Notifications")
        assert str(server.GetServerInformation(dbus_interface=NAME)[0]) == "dunst"

        folder = os.path.join(desktop.workdir, "run")
        os.mkdir(folder)
        picture = os.environ.get("ZIRKO_E2E_NOTIFICATION_PNG")
        env, word, captions = mh.shot_language() if picture else ({}, lambda w: w, mh.PING_PAGE)
        zirko = desktop.start_zirko(folder, binary, extra_env=env)
        window = zirko.main_window()
        app, page = mh.ping_page(desktop, zirko, captions)
        page["alarm_after"].queryValue().currentValue = 1
        mh.set_text(page["host"], host.address)
        e2e.press(desktop.find(app, "push button", "Auto"))

        down = e2e.wait_until(lambda: printed(log), 20, "dunst to show the alarm",
                              alive=zirko.popen)[0]
        assert down[1:] == (word("Zirko: %s non risponde") % host.address, "CRITICAL",
                            "network.disconnected"), down
        assert desktop.run(["dunstctl", "count", "displayed"]).strip() == "1"
        if picture:
            desktop.run(["import", "-window", "root", picture])

        host.answer(True)
        up = e2e.wait_until(lambda: printed(log)[1:], 10, "dunst to show the recovery",
                            alive=zirko.popen)[-1]
        assert up[0] == down[0] and up[2:] == ("NORMAL", "network.connected"), up
        assert up[1].startswith(word("%s risponde di nuovo dopo ") % host.address), up
        assert desktop.run(["dunstctl", "count", "displayed"]).strip() == "1"

        desktop.run(["xdotool", "windowminimize", str(window)])
        e2e.wait_until(lambda: th.hidden(desktop, zirko, window), 10, "the window to leave")
        desktop.run(["dunstctl", "action", "0"])
        e2e.wait_until(lambda: th.shown(desktop, zirko, window), 10, "the action to show it")

        desktop.run(["wmctrl", "-F", "-c", "Zirko"])
        assert zirko.wait_exit(15) == 0


if __name__ == "__main__":
    e2e.run_test(test)
