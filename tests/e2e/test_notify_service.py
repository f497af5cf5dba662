#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A notification service of the test's own on the desktop's session bus sees
one outage of a silent host (in a namespace of the test's own) under "Auto":
the critical notification when the alarm is raised, one update in place after
the update gap (shortened through the program's test hook), the recovery in
its place; its "Mostra" brings the window back from the tray. ZIRKO.LOG has
no word of any of it."""

import os

import monitor_helpers as mh
import tray_helpers as th
import zirko_e2e as e2e

GAP_S = 6  # longer than two pings, so the recovery comes before a second update


def test(binary):
    e2e.require(os.geteuid() == 0, "needs root for raw ICMP sockets and namespaces")
    with mh.SilentHost() as host, e2e.Desktop() as desktop, \
            th.NotificationService(desktop) as service:
        folder = os.path.join(desktop.workdir, "run")
        os.mkdir(folder)
        zirko = desktop.start_zirko(folder, binary,
                                    extra_env={"ZIRKO_TEST_NOTIFY_GAP_MS": str(GAP_S * 1000)})
        window = zirko.main_window()
        app, page = mh.ping_page(desktop, zirko)
        page["alarm_after"].queryValue().currentValue = 1
        mh.set_text(page["host"], host.address)
        e2e.press(desktop.find(app, "push button", "Auto"))

        raised = service.wait_calls(1, 20, alive=zirko.popen)[0]
        assert raised["summary"] == "Zirko: %s non risponde" % host.address, raised
        assert (raised["replaces_id"], raised["urgency"], raised["category"]) == \
            (0, 2, "network.disconnected"), raised
        assert raised["body"].startswith("Da ") and "mostra" in raised["actions"], raised

        update = service.wait_calls(2, GAP_S + 10, alive=zirko.popen)[1]
        assert update["replaces_id"] == raised["id"], update
        assert update["summary"] == raised["summary"] and update["body"] != raised["body"], update
        assert update["at"] - raised["at"] >= GAP_S - 0.5, (raised, update)

        host.answer(True)
        recovered = service.wait_calls(3, 10, alive=zirko.popen)[2]
        assert recovered["summary"].startswith(host.address + " risponde di nuovo dopo "), recovered
        assert (recovered["replaces_id"], recovered["urgency"], recovered["category"]) == \
            (raised["id"], 1, "network.connected"), recovered
        assert len(service.calls()) == 3, service.calls()

        desktop.run(["xdotool", "windowminimize", str(window)])
        e2e.wait_until(lambda: th.hidden(desktop, zirko, window), 10, "the window to leave")
        service.invoke(raised["id"], "mostra")
        e2e.wait_until(lambda: th.shown(desktop, zirko, window), 10, "Mostra to show it")

        desktop.run(["wmctrl", "-F", "-c", "Zirko"])
        assert zirko.wait_exit(15) == 0
        log = zirko.log_text()
        assert "risponde" not in log and "Zirko:" not in log, log
        th.assert_shut_down_once(zirko)


if __name__ == "__main__":
    e2e.run_test(test)
