#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Makes the README's picture of the "Grafico" page: a minute of automatic
monitoring of a host in a network namespace of its own, answered by the
test peer with a delay that changes every four seconds and now and then not
at all. Run as root from a build tree:

    tests/e2e/graph_screenshot.py build/dev/zirko build/dev/tests/support/net/zirko_icmp_peer docs/grafico.png
"""

import math
import os
import random
import shutil
import subprocess
import sys
import time

import monitor_helpers as mh
import zirko_e2e as e2e

PHASE_S = 4.0
MINUTE_S = 62.0


def delays(count, seed=12):
    """A slow wave between about 20 and 120 ms with some noise; None is a loss."""
    rng = random.Random(seed)
    out = []
    for i in range(count):
        if rng.random() < 0.07:
            out.append(None)
        else:
            out.append(int(60 + 40 * math.sin(i / 2.5) + rng.uniform(-15, 15)))
    return out


def main(binary, peer_binary, target):
    env, words, captions = mh.shot_language()
    with mh.SilentHost(answering=False) as host, e2e.Desktop() as desktop:
        folder = os.path.join(desktop.workdir, "run")
        os.mkdir(folder)
        zirko = desktop.start_zirko(folder, binary, extra_env=env)
        window = zirko.main_window()
        app, page = mh.ping_page(desktop, zirko, captions)
        mh.set_text(page["host"], host.address)
        limit = desktop.find(app, "spin button", words("Limite ms media:"))
        limit.queryValue().currentValue = 100

        peer = None
        e2e.press(desktop.find(app, "push button", "Auto"))
        started = time.monotonic()
        for delay in delays(int(MINUTE_S / PHASE_S) + 1):
            previous, peer = peer, None
            if delay is not None:
                peer = subprocess.Popen(
                    ["ip", "netns", "exec", host.namespace, peer_binary,
                     "--actions=wait:%d,reply" % delay, "--lifetime-ms=%d" % (PHASE_S * 1000 + 500)],
                    stdout=subprocess.DEVNULL)
            # The next peer starts listening before the last one goes, so a
            # change of delay loses no ping.
            time.sleep(0.3)
            if previous is not None:
                previous.terminate()
                previous.wait(timeout=5)
            time.sleep(PHASE_S - 0.3)
            if time.monotonic() - started > MINUTE_S:
                break
        if peer is not None:
            peer.terminate()
            peer.wait(timeout=5)

        e2e.press(desktop.find(app, "page tab", words("Grafico")))
        # "Tutto": the minute across the whole width.
        box = desktop.find(app, "combo box", "Intervallo:").queryComponent().getExtents(
            desktop.atspi().DESKTOP_COORDS)
        desktop.run(["xdotool", "mousemove", str(box.x + box.width // 2),
                     str(box.y + box.height // 2), "click", "1"])
        time.sleep(1)
        desktop.run(["xdotool", "key", "End", "Return"])
        plot = desktop.find(app, None, words("Grafico tempi di risposta"))
        e2e.wait_until(lambda: plot.description, 10, "the plot's summary")
        print(plot.description)
        time.sleep(1)
        shot = os.path.join(desktop.workdir, "grafico.png")
        desktop.run(["import", "-window", str(window), shot], timeout=20)
        shutil.copy(shot, target)
        desktop.run(["wmctrl", "-F", "-c", "Zirko"])
        zirko.wait_exit(15)


if __name__ == "__main__":
    main(*sys.argv[1:4])
