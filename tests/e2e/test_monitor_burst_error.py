#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A burst whose host becomes unreachable after two answers: the ping that
fails stops the burst, the error box shows its message, the pane keeps the
lines of the pings before it, and both buttons are usable again."""

import os

import monitor_helpers as mh
import zirko_e2e as e2e


def test(binary):
    e2e.require(os.geteuid() == 0, "needs root for raw ICMP sockets and namespaces")
    with mh.SilentHost(answering=True) as host, e2e.Desktop() as desktop:
        folder = os.path.join(desktop.workdir, "run")
        os.mkdir(folder)
        zirko = desktop.start_zirko(folder, binary)
        zirko.main_window()
        app, page = mh.ping_page(desktop, zirko)
        pyatspi = desktop.atspi()
        auto = desktop.find(app, "push button", "Auto")

        mh.set_text(page["host"], host.address)
        e2e.press(page["ping"])
        # The burst pauses 500 ms after each ping: time enough to cut the host off.
        e2e.wait_until(lambda: page["n_ping"].description == "2", 10, "two answers",
                       alive=zirko.popen)
        host.refuse()

        box = desktop.find(app, "alert", None, timeout=10)
        texts = [l.name for l in desktop.find_all(box, "label")]
        assert any("Socket Error #" in t for t in texts), texts
        done = page["n_ping"].description
        lines = mh.pane_lines(page["pane"])
        # Exactly two unless the machine was too slow to cut in before the third ping.
        assert 2 <= len(lines) <= 4 and str(len(lines)) == done, (done, lines)
        assert all(not l.split("\\")[1].startswith("0 ") for l in lines), lines
        for button in (page["ping"], auto):
            assert button.getState().contains(pyatspi.STATE_SENSITIVE), button.name

        e2e.press(desktop.find(box, "push button", "OK"))
        e2e.wait_until(lambda: desktop.find_all(app, "alert") == [], 5, "the box to close")
        assert page["n_ping"].description == done, "no ping after the failure"
        assert len(zirko.log_text().split("Ping result: ")) - 1 == len(lines)

        desktop.run(["wmctrl", "-F", "-c", "Zirko"])
        assert zirko.wait_exit(15) == 0


if __name__ == "__main__":
    e2e.run_test(test)
