#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Automatic monitoring in the real program: "Auto" turns into "Ferma auto" and
disables "5 Ping"; a tick on a host that cannot be resolved only writes the
warning to ZIRKO.LOG; the host is read again at every tick, so the next one
pings 127.0.0.1; "Ferma auto" ends it all."""

import os
import re
import time

import monitor_helpers as mh
import zirko_e2e as e2e


def test(binary):
    e2e.require(os.geteuid() == 0, "needs root for raw ICMP sockets")
    with e2e.Desktop() as desktop:
        folder = os.path.join(desktop.workdir, "run")
        os.mkdir(folder)
        zirko = desktop.start_zirko(folder, binary)
        zirko.main_window()
        app, page = mh.ping_page(desktop, zirko)
        sensitive = desktop.atspi().STATE_SENSITIVE
        auto = desktop.find(app, "push button", "Auto")
        unknown = "zirko-auto-%d.invalid" % os.getpid()
        warning = "F_Main\\Timer: errore durante ping su " + unknown

        mh.set_text(page["host"], unknown)
        e2e.press(auto)
        e2e.wait_until(lambda: auto.name == "Ferma auto", 5, "the caption Ferma auto")
        assert not page["ping"].getState().contains(sensitive), "5 Ping is disabled"
        # The first tick comes 2 s after the click.
        e2e.wait_until(lambda: warning in zirko.log_text(), 6, "the timer's warning",
                       alive=zirko.popen)
        assert mh.pane_lines(page["pane"]) == [], "a failed tick adds no line"
        assert page["n_ping"].description == "", page["n_ping"].description

        mh.set_text(page["host"], "127.0.0.1")
        e2e.wait_until(lambda: page["n_ping"].description == "1", 6, "a ping of 127.0.0.1",
                       alive=zirko.popen)
        lines = mh.pane_lines(page["pane"])
        assert len(lines) == 1 and " bytes from 127.0.0.1: " in lines[0], lines

        e2e.press(auto)
        e2e.wait_until(lambda: auto.name == "Auto", 5, "the caption Auto")
        assert page["ping"].getState().contains(sensitive), "5 Ping enabled again"
        pings = page["n_ping"].description
        time.sleep(2.5)  # longer than a tick
        assert page["n_ping"].description == pings, "a tick after the stop"
        # Warnings only for ticks while the host was unknown, never for 127.0.0.1.
        log = zirko.log_text()
        assert re.search(re.escape(warning), log) and "errore durante ping su 127" not in log, log

        desktop.run(["wmctrl", "-F", "-c", "Zirko"])
        assert zirko.wait_exit(15) == 0


if __name__ == "__main__":
    e2e.run_test(test)
