#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Minimizing through the window manager leaves no window and no taskbar
entry, only the tray icon; a click on the icon brings the window back; the
tray menu hides it again and closes the program from the hidden state."""

import os

import zirko_e2e as e2e


def shown(desktop, zirko, window):
    return window in zirko.windows("Zirko") and window in desktop.taskbar_clients()


def gone(desktop, zirko, window):
    return not zirko.windows("Zirko") and window not in desktop.taskbar_clients()


def title_bar_button(desktop, name):
    """The window manager's title bar button of that name (one window is framed)."""
    found = desktop.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % name],
                        check=False).split()
    buttons = [int(w) for w in found if desktop.window_name(int(w)) == name]
    assert len(buttons) == 1, "title bar buttons named %s: %r" % (name, buttons)
    return buttons[0]


def open_tray_menu(desktop, zirko, icon):
    """Right-clicks the icon until its menu shows (a click that lands while
    the previous menu is still closing is lost)."""
    for _ in range(3):
        before = set(zirko.windows())
        desktop.click_window(icon, button=3)
        try:
            return e2e.wait_until(lambda: set(zirko.windows()) - before, 3, "the tray menu")
        except TimeoutError:
            continue
    raise AssertionError("the tray menu did not open")


def test(binary):
    with e2e.Desktop() as desktop:
        folder = os.path.join(desktop.workdir, "run")
        os.mkdir(folder)
        zirko = desktop.start_zirko(folder, binary)
        window = zirko.main_window()
        icon = e2e.wait_until(lambda: desktop.docked_icons(), 10, "the tray icon")[0]
        app = desktop.application(zirko)
        # Leave the Traceroute page showing: the restore must keep it.
        e2e.press(desktop.find(app, "page tab", "Traceroute"))
        e2e.wait_until(lambda: e2e.showing(desktop.find(app, "push button", "Esegui")), 10,
                       "the Traceroute page")

        desktop.run(["xdotool", "windowminimize", str(window)])
        e2e.wait_until(lambda: gone(desktop, zirko, window), 10, "the window to leave")
        assert desktop.docked_icons() == [icon], "the tray icon stays"

        desktop.click_window(icon)
        e2e.wait_until(lambda: shown(desktop, zirko, window), 10, "the window to return")
        state = desktop.run(["xprop", "-id", str(window), "_NET_WM_STATE"], check=False)
        assert "_NET_WM_STATE_HIDDEN" not in state, state
        assert e2e.showing(desktop.find(app, "push button", "Esegui")), "same page as before"
        assert not e2e.showing(desktop.find(app, "push button", "5 Ping"))

        # The title bar's own minimize button, clicked as a person would.
        desktop.click_window(title_bar_button(desktop, "Minimize"))
        e2e.wait_until(lambda: gone(desktop, zirko, window), 10, "the window to leave again")
        desktop.click_window(icon)
        e2e.wait_until(lambda: shown(desktop, zirko, window), 10, "the window to return again")

        # The tray menu: "Nascondi", then "Chiudi" while hidden. Qt keeps popup
        # menus out of the accessibility tree, so the keyboard picks the item:
        # Down selects the first, Up from nothing the last.
        open_tray_menu(desktop, zirko, icon)
        desktop.run(["xdotool", "key", "Down", "Return"])
        e2e.wait_until(lambda: gone(desktop, zirko, window), 10, "Nascondi to hide")
        open_tray_menu(desktop, zirko, icon)
        desktop.run(["xdotool", "key", "Up", "Return"])
        assert zirko.wait_exit(15) == 0
        e2e.wait_until(lambda: not desktop.docked_icons(), 10, "the tray icon to leave")
        log = zirko.log_text()
        assert log.count("ShutDown Agente of Zirko") == 1, log


if __name__ == "__main__":
    e2e.run_test(test)
