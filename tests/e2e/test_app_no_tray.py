#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Desktops without a tray, and trays that go away. With no notification
area a minimize leaves the window minimized on the taskbar, where its entry
brings it back; a window hidden into a tray comes back on screen when the
tray goes, whether an XEmbed panel or a panel over D-Bus."""

import os
import time

import tray_helpers as th
import zirko_e2e as e2e


def start(desktop):
    folder = os.path.join(desktop.workdir, "run")
    os.mkdir(folder)
    zirko = desktop.start_zirko(folder)
    return zirko, zirko.main_window()


def close(desktop, zirko):
    desktop.run(["wmctrl", "-F", "-c", "Zirko"])
    assert zirko.wait_exit(15) == 0
    th.assert_shut_down_once(zirko)


def no_tray_at_all():
    with e2e.Desktop(tray=False, accessibility=False) as desktop:
        zirko, window = start(desktop)
        for _ in range(2):
            desktop.run(["xdotool", "windowminimize", str(window)])
            e2e.wait_until(lambda: th.iconic(desktop, window), 10, "the window to minimize")
            # The hiding would follow the minimize at once; give it time to show.
            time.sleep(1.0)
            assert window in desktop.taskbar_clients(), "the window keeps its taskbar entry"
            assert th.iconic(desktop, window), "and stays minimized, not hidden"
            # What a click on the taskbar entry asks of the window manager.
            desktop.run(["xdotool", "windowactivate", str(window)])
            e2e.wait_until(lambda: th.shown(desktop, zirko, window) and
                           not th.iconic(desktop, window), 10, "the entry to restore it")
        close(desktop, zirko)


def xembed_tray_goes():
    with e2e.Desktop(accessibility=False) as desktop:
        zirko, window = start(desktop)
        e2e.wait_until(desktop.docked_icons, 10, "the tray icon")
        desktop.run(["xdotool", "windowminimize", str(window)])
        e2e.wait_until(lambda: th.hidden(desktop, zirko, window), 10, "the window to leave")
        tray = [p for p in desktop._processes if p.args[0] == "trayer"]
        assert len(tray) == 1, tray
        tray[0].terminate()
        tray[0].wait(timeout=5)
        e2e.wait_until(lambda: th.shown(desktop, zirko, window), 10,
                       "the window to come back without its tray")
        close(desktop, zirko)


def dbus_tray_goes():
    with e2e.Desktop(tray=False, accessibility=False) as desktop, \
            th.StatusNotifierHost(desktop) as panel:
        zirko, window = start(desktop)
        panel.item()
        desktop.run(["xdotool", "windowminimize", str(window)])
        e2e.wait_until(lambda: th.hidden(desktop, zirko, window), 10, "the window to leave")
        panel.stop()
        e2e.wait_until(lambda: th.shown(desktop, zirko, window), 10,
                       "the window to come back without its panel")
        close(desktop, zirko)


def test(binary):
    no_tray_at_all()
    xembed_tray_goes()
    dbus_tray_goes()


if __name__ == "__main__":
    e2e.run_test(test)
