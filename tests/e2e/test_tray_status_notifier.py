#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A panel that hosts tray icons over D-Bus (a watcher of the test's own on
the desktop's private session bus, no XEmbed tray): zirko registers its item,
the item's image follows grey, yellow and red, activating it restores the
minimized window, and the exported menu offers the tray menu's entries,
which hide, restore and end the program with its shut-down block."""

import os
import subprocess
import sys

import monitor_helpers as mh
import tray_helpers as th
import zirko_e2e as e2e


def burst(zirko, page, pings_before):
    e2e.press(page["ping"])
    e2e.wait_until(lambda: page["n_ping"].description == str(pings_before + 5), 20,
                   "a whole burst", alive=zirko.popen)


def test(binary):
    e2e.require(os.geteuid() == 0, "needs root for raw ICMP sockets and namespaces")
    with mh.SilentHost() as host, e2e.Desktop(tray=False) as desktop, \
            th.StatusNotifierHost(desktop) as panel:
        # The host's kernel keeps quiet; a responder of ours answers after 40 ms.
        responder = desktop._spawn(
            ["ip", "netns", "exec", host.namespace, sys.executable,
             os.path.join(th.HERE, "slow_echo.py"), "40"],
            log=os.path.join(desktop.workdir, "slow_echo.log"))
        folder = os.path.join(desktop.workdir, "run")
        os.mkdir(folder)
        zirko = desktop.start_zirko(folder, binary)
        window = zirko.main_window()
        item = panel.item()
        assert not desktop.docked_icons(), "no XEmbed icon beside the item"
        assert item.colour() == "grey", item.colour()

        app, page = mh.ping_page(desktop, zirko)
        limit = desktop.find(app, "spin button", "Limite ms media:")
        limit.queryValue().currentValue = 10
        e2e.wait_until(lambda: limit.queryValue().currentValue == 10, 5, "a 10 ms limit")
        mh.set_text(page["host"], host.address)
        burst(zirko, page, 0)
        assert page["lost"].description == "0", "the responder answered every ping"
        e2e.wait_until(lambda: item.colour() == "yellow", 5, "the image to turn yellow")

        responder.terminate()
        responder.wait(timeout=5)
        burst(zirko, page, 5)
        assert page["lost"].description != "0", "no answer without the responder"
        e2e.wait_until(lambda: item.colour() == "red", 5, "the image to turn red")

        # Minimized into the tray, back through the item.
        desktop.run(["xdotool", "windowminimize", str(window)])
        e2e.wait_until(lambda: th.hidden(desktop, zirko, window), 10, "the window to leave")
        item.activate()
        e2e.wait_until(lambda: th.shown(desktop, zirko, window), 10, "the window to return")

        # The exported menu, in the popup menu's order.
        entries = [("-" if sep else label) for _, label, sep in item.menu_entries()]
        assert entries == ["Nascondi", "Ripristina", "-", "Chiudi"], entries
        item.click("Nascondi")
        e2e.wait_until(lambda: th.hidden(desktop, zirko, window), 10, "Nascondi to hide")
        item.click("Ripristina")
        e2e.wait_until(lambda: th.shown(desktop, zirko, window), 10, "Ripristina to restore")
        item.click("Nascondi")
        e2e.wait_until(lambda: th.hidden(desktop, zirko, window), 10, "Nascondi to hide again")
        item.click("Chiudi")
        assert zirko.wait_exit(15) == 0
        e2e.wait_until(lambda: not panel.items(), 10, "the item to leave the panel")
        th.assert_shut_down_once(zirko)


if __name__ == "__main__":
    e2e.run_test(test)
