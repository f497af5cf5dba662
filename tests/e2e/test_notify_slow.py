#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A host in a namespace of the test's own answers in time, then for two
minutes 300 ms late (slow_echo.py answering for its kernel), then in time again, under "Auto" with a 100 ms
limit: one slow period with both brackets in ZIRKO.DB (read beside the running
window), one normal-urgency notification updated in place and ended in its
place, a pale yellow band on the plot, a "lento" row under "Interruzioni", and
zirko --report lists the period. The real defaults: 10 answers, 60 s."""

import os
import sqlite3
import subprocess
import time

import monitor_helpers as mh
import tray_helpers as th
import zirko_e2e as e2e

GAP_S = 20
SLOW_S = 120


def yellow_pixels(desktop, window, path):
    desktop.run(["import", "-window", str(window), path], timeout=20)
    # The band: pale yellow over the plot's white (red clearly above blue).
    out = desktop.run(["convert", path, "-fx", "(r>0.9 && g>0.85 && b<0.9 && r-b>0.08) ? 1 : 0",
                       "-format", "%[fx:mean*w*h]", "info:"], timeout=60)
    return float(out.strip() or 0)


def test(binary):
    e2e.require(os.geteuid() == 0, "needs root for raw ICMP sockets, namespaces and tc")
    with mh.SilentHost(answering=True) as host, e2e.Desktop() as desktop, \
            th.NotificationService(desktop) as service:
        folder = os.path.join(desktop.workdir, "run")
        os.mkdir(folder)
        zirko = desktop.start_zirko(folder, binary,
                                    extra_env={"ZIRKO_TEST_NOTIFY_GAP_MS": str(GAP_S * 1000)})
        window = zirko.main_window()
        app, page = mh.ping_page(desktop, zirko)
        desktop.find(app, "spin button", "Limite ms media:").queryValue().currentValue = 100
        desktop.find(app, "spin button", "Esegui per minuti:").queryValue().currentValue = 10
        mh.set_text(page["host"], host.address)
        e2e.press(desktop.find(app, "push button", "Auto"))
        time.sleep(15)
        assert service.calls() == [], service.calls()

        host.delay(300)
        slowed = time.monotonic()
        raised = service.wait_calls(1, SLOW_S, alive=zirko.popen)[0]
        assert raised["summary"] == "Zirko: %s risponde lentamente" % host.address, raised
        assert (raised["replaces_id"], raised["urgency"]) == (0, 1), raised
        update = service.wait_calls(2, GAP_S + 10, alive=zirko.popen)[1]
        assert update["replaces_id"] == raised["id"] and update["body"] != raised["body"], update
        time.sleep(max(0.0, SLOW_S - (time.monotonic() - slowed)))
        host.delay(0)
        back = host.address + " risponde di nuovo nel limite dopo"
        calls = e2e.wait_until(
            lambda: (lambda c: c if c[-1]["summary"].startswith(back) else None)(service.calls()),
            120, "the end of the slow period", alive=zirko.popen)
        # One notification: raised once, every later call in its place, the end last.
        assert [c["replaces_id"] for c in calls] == [0] + [raised["id"]] * (len(calls) - 1), calls
        assert [c["summary"].startswith(back) for c in calls].count(True) == 1, calls

        # The window still writes the history: a reader gets in beside it.
        db = sqlite3.connect("file:%s?mode=ro" % os.path.join(folder, "ZIRKO.DB"), uri=True)
        rows = db.execute("SELECT start_from_ms, start_to_ms, end_from_ms, end_to_ms, end_kind "
                          "FROM outage WHERE kind = 1 AND host = ?", (host.address,)).fetchall()
        db.close()
        assert len(rows) == 1 and None not in rows[0] and rows[0][4] == 1, rows
        start_from, start_to, end_from, end_to, _ = rows[0]
        assert start_from < start_to <= end_from < end_to, rows
        assert 100_000 <= end_to - start_to <= 200_000, rows

        e2e.press(desktop.find(app, "page tab", "Grafico"))
        e2e.wait_until(lambda: desktop.find_all(app, "table cell", "lento"), 10,
                       "a \"lento\" row under Interruzioni", alive=zirko.popen)
        shot = os.path.join(desktop.workdir, "slow.png")
        assert yellow_pixels(desktop, window, shot) > 500, "no pale yellow band on the plot"

        pdf = os.path.join(desktop.workdir, "slow.pdf")
        report = subprocess.run([os.path.join(folder, "zirko"), "--report", "--host", host.address,
                                 "--out", pdf], capture_output=True, text=True, timeout=60,
                                env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
        assert report.returncode == 0, report.stderr
        text = subprocess.run(["pdftotext", "-layout", pdf, "-"], capture_output=True, text=True,
                              check=True, timeout=30).stdout
        assert "Periodi lenti (1)" in text and "1. Lento dal " in text, text

        desktop.run(["wmctrl", "-F", "-c", "Zirko"])
        assert zirko.wait_exit(15) == 0


if __name__ == "__main__":
    e2e.run_test(test)
