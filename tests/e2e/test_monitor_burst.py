#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Type 127.0.0.1 into the host field over AT-SPI and press "5 Ping": the pane
holds five reply lines with consecutive sequence numbers, the labels read 5
pings and 0 % lost, and ZIRKO.LOG has the same five lines."""

import os
import re

import monitor_helpers as mh
import zirko_e2e as e2e

LINE = re.compile(
    r"^\S+-\S+( [AP]M)?\\(\d+) bytes from 127\.0\.0\.1: icmp_seq=(\d+) ttl=(\d+) time(<1|=\d+) ms$"
)


def test(binary):
    e2e.require(os.geteuid() == 0, "needs root for raw ICMP sockets")
    with e2e.Desktop() as desktop:
        folder = os.path.join(desktop.workdir, "run")
        os.mkdir(folder)
        zirko = desktop.start_zirko(folder, binary)
        zirko.main_window()
        _, page = mh.ping_page(desktop, zirko)

        mh.set_text(page["host"], "127.0.0.1")
        e2e.wait_until(lambda: e2e.text_of(page["host"]) == "127.0.0.1", 5, "the host text")
        e2e.press(page["ping"])
        e2e.wait_until(lambda: page["n_ping"].description == "5", 20, "five pings",
                       alive=zirko.popen)
        # The burst ends with its fifth pause; the button is usable again afterwards.
        sensitive = desktop.atspi().STATE_SENSITIVE
        e2e.wait_until(lambda: page["ping"].getState().contains(sensitive), 5,
                       "5 Ping enabled again")

        lines = mh.pane_lines(page["pane"])
        assert len(lines) == 5, lines
        matches = [LINE.match(line) for line in lines]
        assert all(matches), lines
        sequences = [int(m.group(3)) for m in matches]
        assert sequences == [(sequences[0] + i) % 65536 for i in range(5)], sequences
        assert page["perc"].description == "0", repr(page["perc"].description)
        assert page["lost"].description == "0", repr(page["lost"].description)

        logged = re.findall(r"Ping result: (.*?)\r\n", zirko.log_text())
        assert logged == lines, (logged, lines)

        desktop.run(["wmctrl", "-F", "-c", "Zirko"])
        assert zirko.wait_exit(15) == 0


if __name__ == "__main__":
    e2e.run_test(test)
