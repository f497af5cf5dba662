#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A Wayland session (headless weston). With XWayland beside it, zirko runs
as an X11 client: its window is an X window that asks to be centred, and a
minimize hides it into an XEmbed tray on that display, whose icon brings it
back. With Wayland alone it runs natively: it starts, a panel over D-Bus
hosts its icon and menu, a burst works and SIGTERM ends it with the
shut-down block. A platform the user chose with QT_QPA_PLATFORM is kept,
and an X server that does not answer leaves it on Wayland."""

import os
import re
import signal
import time

import monitor_helpers as mh
import tray_helpers as th
import wayland_session as ws
import zirko_e2e as e2e


def start(desktop, extra_env=None):
    folder = os.path.join(desktop.workdir, "run")
    os.mkdir(folder)
    return desktop.start_zirko(folder, extra_env=extra_env)


def terminate(zirko):
    zirko.popen.send_signal(signal.SIGTERM)
    status = zirko.wait_exit(15)
    assert status == 0, (status, zirko.error_text())
    th.assert_shut_down_once(zirko)


def centre_request(desktop, window):
    """The position the window asked for, and the screen's centre for it."""
    hints = desktop.run(["xprop", "-id", str(window), "WM_NORMAL_HINTS"])
    asked = tuple(int(v) for v in re.search(r"location: (-?\d+), (-?\d+)", hints).groups())
    root = desktop.run(["xwininfo", "-root"])
    width = int(re.search(r"Width: (\d+)", root).group(1))
    height = int(re.search(r"Height: (\d+)", root).group(1))
    # Qt's centring: the screen's centre point less the window's own.
    return asked, ((width - 1) // 2 - (786 - 1) // 2, (height - 1) // 2 - (549 - 1) // 2)


def with_xwayland():
    with ws.WaylandDesktop(xwayland=True, accessibility=False) as desktop:
        desktop.start_tray()
        zirko = start(desktop)
        window = zirko.main_window(15)
        assert ws.platform_plugins(zirko.pid) == {"xcb"}, ws.platform_plugins(zirko.pid)
        asked, centre = centre_request(desktop, window)
        assert asked == centre, (asked, centre)
        icon = e2e.wait_until(desktop.docked_icons, 10, "the tray icon")[0]

        ws.mark_iconic(desktop.env["DISPLAY"], window)
        e2e.wait_until(lambda: not zirko.windows("Zirko"), 10, "the window to go into the tray")
        assert desktop.docked_icons() == [icon]
        ws.click_without_pointer(desktop.env["DISPLAY"], icon)
        e2e.wait_until(lambda: zirko.windows("Zirko"), 10, "the icon to bring it back")
        terminate(zirko)


def wayland_alone():
    e2e.require(os.geteuid() == 0, "needs root for raw ICMP sockets")
    with ws.WaylandDesktop(xwayland=False) as desktop, th.StatusNotifierHost(desktop) as panel:
        zirko = start(desktop)
        app, page = mh.ping_page(desktop, zirko)
        assert ws.platform_plugins(zirko.pid) == {"wayland"}, ws.platform_plugins(zirko.pid)
        # A panel over D-Bus is the only tray a native Wayland client can have.
        entries = [label for _, label, sep in panel.item().menu_entries() if not sep]
        assert entries == ["Nascondi", "Ripristina", "Chiudi"], entries
        mh.set_text(page["host"], "127.0.0.1")
        e2e.press(page["ping"])
        e2e.wait_until(lambda: page["n_ping"].description == "5", 20, "a whole burst",
                       alive=zirko.popen)
        assert page["lost"].description == "0", page["lost"].description
        assert len(mh.pane_lines(page["pane"])) == 5
        terminate(zirko)
        assert zirko.log_text().count("Ping result: ") == 5


def platform_chosen():
    with ws.WaylandDesktop(xwayland=True, accessibility=False) as desktop:
        zirko = start(desktop, {"QT_QPA_PLATFORM": "wayland"})
        # Once the log has started, the window exists: no accessibility needed,
        # since the accessibility client stays on the bus it first met.
        e2e.wait_until(lambda: "Start Up AGENTE" in zirko.log_text(), 15, "the log's start-up",
                       alive=zirko.popen)
        assert ws.platform_plugins(zirko.pid) == {"wayland"}, ws.platform_plugins(zirko.pid)
        time.sleep(1.0)  # the window is shown once the event loop runs
        assert not zirko.windows(visible_only=False), "no X window beside the Wayland one"
        terminate(zirko)


def x_server_gone():
    # DISPLAY left over from elsewhere: X11 is asked for first and cannot
    # connect, so Qt must go on to Wayland rather than end the program.
    with ws.WaylandDesktop(xwayland=False, accessibility=False) as desktop:
        zirko = start(desktop, {"DISPLAY": ":%d" % (900 + os.getpid() % 90)})
        e2e.wait_until(lambda: "Start Up AGENTE" in zirko.log_text(), 15, "the log's start-up",
                       alive=zirko.popen)
        assert "wayland" in ws.platform_plugins(zirko.pid), ws.platform_plugins(zirko.pid)
        terminate(zirko)


def test(binary):
    with_xwayland()
    platform_chosen()
    x_server_gone()
    # The only one that needs the accessibility bus, whose client connects once.
    wayland_alone()


if __name__ == "__main__":
    e2e.run_test(test)
