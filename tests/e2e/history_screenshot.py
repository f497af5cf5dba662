#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Makes the README's picture of a week of history on the "Grafico" page: eight
days of the automatic monitoring every 2 s, written by the benchmarks' history
generator (bench/history/history_make) into the folder of a copy of zirko, with
a night when the computer was off (no monitoring: shaded) and an evening when
the line was down (every ping lost for two and a half hours, an outage on
record). The real zirko starts on a test desktop (Xvfb, icewm, trayer) with
that ZIRKO.DB beside it, the script opens "Grafico", chooses "7 giorni" and
saves the window. Nothing is pinged and no root is needed.

Run from the source tree with a built zirko and history_make (any build type):

    tests/e2e/history_screenshot.py build/dev/zirko \\
        build/dev/bench/history/history_make docs/cronologia-settimana.png

The same history comes out at every run, relative to the day it runs: the
times of day of the gap and of the outage are fixed in Italian time (TZ
Europe/Rome), and so is the time axis. ZIRKO_E2E_KEEP=1 keeps the desktop's
folder (with the ZIRKO.DB) for a look afterwards.
"""

import datetime
import os
import re
import shutil
import subprocess
import sys
import time

import monitor_helpers as mh
import zirko_e2e as e2e

ZONE = "Europe/Rome"
DAYS = 8  # one more than shown, so the week's left edge lies inside the history
SEVEN_DAYS = 3  # the position of "7 giorni" in the range's list
LIMIT_MS = 60


def local_ms(day, hour, minute):
    """UTC ms of a time of day in the zone set for this process."""
    moment = datetime.datetime(day.year, day.month, day.day, hour, minute)
    return int(time.mktime(moment.timetuple()) * 1000)


def make_history(history_make, folder, now_ms):
    today = datetime.date.fromtimestamp(now_ms / 1000)
    day = datetime.timedelta(days=1)
    gap = (local_ms(today - 4 * day, 23, 0), local_ms(today - 3 * day, 7, 30))
    outage = (local_ms(today - day, 19, 40), local_ms(today - day, 22, 10))
    subprocess.run([history_make, folder, "--end-ms", str(now_ms), "--days", str(DAYS),
                    "--continuous", "--lost", "0.00005",
                    "--gap", "%d:%d" % gap, "--outage", "%d:%d" % outage],
                   check=True, timeout=600)


def choose_range(desktop, app, steps_down):
    """Opens the range's list with a click and moves to an entry with the keyboard
    (popup lists are not in the accessibility tree)."""
    box = desktop.find(app, "combo box", "Intervallo:").queryComponent().getExtents(
        desktop.atspi().DESKTOP_COORDS)
    desktop.run(["xdotool", "mousemove", str(box.x + box.width // 2),
                 str(box.y + box.height // 2), "click", "1"])
    time.sleep(1)
    desktop.run(["xdotool", "key", "Home"] + ["Down"] * steps_down + ["Return"])


def main(binary, history_make, target):
    env, words, _ = mh.shot_language()
    os.environ["TZ"] = ZONE
    time.tzset()
    with e2e.Desktop() as desktop:
        folder = os.path.join(desktop.workdir, "run")
        os.mkdir(folder)
        make_history(os.path.abspath(history_make), folder, int(time.time() * 1000))
        zirko = desktop.start_zirko(folder, binary,
                                    extra_env=dict(env, TZ=ZONE))
        window = zirko.main_window()
        app = desktop.application(zirko)
        # The dashed limit line near the answers, so they fill the plot's height.
        desktop.find(app, "spin button", words("Limite ms media:")).queryValue().currentValue = LIMIT_MS
        e2e.press(desktop.find(app, "page tab", words("Grafico")))
        choose_range(desktop, app, SEVEN_DAYS)
        plot = desktop.find(app, None, words("Grafico tempi di risposta"))

        def week_shown():
            count = re.match(r"^(\d+) ping", plot.description or "")
            return count and int(count.group(1)) > 6 * 43200 - 20000 and plot.description

        print(e2e.wait_until(week_shown, 20, "a week in the plot's summary", alive=zirko.popen))
        time.sleep(1)
        shot = os.path.join(desktop.workdir, "cronologia-settimana.png")
        desktop.run(["import", "-window", str(window), shot], timeout=20)
        shutil.copy(shot, target)
        desktop.run(["wmctrl", "-F", "-c", "Zirko"])
        zirko.wait_exit(15)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:4])
