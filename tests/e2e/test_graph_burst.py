#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A burst of five to 127.0.0.1, then the "Grafico" page: the plot's accessible
description counts the five pings and no loss, and the summary labels are
filled. "Clear log" clears the Ping page but not the history, so the page still
shows the burst; so does the next run of the program, at once. The window keeps
its size on the page, and Qt Charts is loaded only once the page is shown. A screenshot of the page is kept in the build tree
(tests/e2e/artifacts)."""

import os
import re

import monitor_helpers as mh
import zirko_e2e as e2e

MS = r"\d+,\d\d ms"
DESCRIPTION = re.compile(
    rf"^5 ping, min {MS}, media {MS}, max {MS}, persi 0 \(0,00%\), mediana {MS}, "
    rf"95° percentile {MS}, deviazione standard {MS}$")


def artifacts_folder(binary):
    folder = os.environ.get("ZIRKO_E2E_ARTIFACTS") or os.path.join(
        os.path.dirname(os.path.abspath(binary)), "tests", "e2e", "artifacts")
    os.makedirs(folder, exist_ok=True)
    return folder


def maps_charts(zirko):
    with open("/proc/%d/maps" % zirko.pid, encoding="utf-8") as maps:
        return "libQt6Charts" in maps.read()


def show_graph(desktop, app, zirko):
    e2e.press(desktop.find(app, "page tab", "Grafico"))
    plot = desktop.find(app, None, "Grafico tempi di risposta")
    e2e.wait_until(lambda: DESCRIPTION.match(plot.description), 10,
                   "five pings in the plot's description", alive=zirko.popen)
    return plot


def test(binary):
    e2e.require(os.geteuid() == 0, "needs root for raw ICMP sockets")
    with e2e.Desktop() as desktop:
        folder = os.path.join(desktop.workdir, "run")
        os.mkdir(folder)
        zirko = desktop.start_zirko(folder, binary, extra_env={"LC_ALL": "it_IT.UTF-8"})
        window = zirko.main_window()
        size = desktop.window_geometry(window)[2:]
        app, page = mh.ping_page(desktop, zirko)

        mh.set_text(page["host"], "127.0.0.1")
        e2e.wait_until(lambda: e2e.text_of(page["host"]) == "127.0.0.1", 5, "the host text")
        e2e.press(page["ping"])
        e2e.wait_until(lambda: page["n_ping"].description == "5", 20, "five pings",
                       alive=zirko.popen)

        assert not maps_charts(zirko)
        plot = show_graph(desktop, app, zirko)
        assert maps_charts(zirko)
        assert desktop.window_geometry(window)[2:] == size
        for caption in ("Min", "Media", "Max", "Jitter", "Mediana", "95° perc.", "Dev. std."):
            value = desktop.find(app, "label", caption)
            assert re.match(r"^\d+,\d\d$", value.description), (caption, value.description)
        assert desktop.find(app, "label", "Persi").description == "0 (0,00%)"

        shot = os.path.join(artifacts_folder(binary), "graph_burst.png")
        desktop.run(["import", "-window", str(window), shot], timeout=20)
        assert os.path.getsize(shot) > 0

        # "Clear log" sits on the Ping page; the history keeps the burst.
        e2e.press(desktop.find(app, "page tab", "Ping"))
        e2e.press(desktop.find(app, "push button", "Clear log"))
        e2e.wait_until(lambda: page["n_ping"].description == "", 10, "the labels cleared")
        show_graph(desktop, app, zirko)
        assert desktop.find(app, "label", "Persi").description == "0 (0,00%)"

        desktop.run(["wmctrl", "-F", "-c", "Zirko"])
        assert zirko.wait_exit(15) == 0
        assert os.path.getsize(os.path.join(folder, "ZIRKO.DB")) > 0

        # The next run shows the burst before it pings at all.
        zirko = desktop.start_zirko(folder, binary, extra_env={"LC_ALL": "it_IT.UTF-8"})
        zirko.main_window()
        app = desktop.application(zirko)
        show_graph(desktop, app, zirko)
        desktop.run(["wmctrl", "-F", "-c", "Zirko"])
        assert zirko.wait_exit(15) == 0


if __name__ == "__main__":
    e2e.run_test(test)
