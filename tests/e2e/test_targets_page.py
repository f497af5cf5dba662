#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The "Bersagli" page watches the user's targets file from the start: an
answering IPv4 host and an answering IPv6 host (loopback) lose nothing, a
silent host in a namespace of the test's own shows its loss, turns the tray
red and raises one notification naming it; the Ping page's host answering
leaves it red. A double click shows the silent host on "Grafico". After a
restart the same list is there; a damaged file is left as it was and the page
says why."""

import os

import monitor_helpers as mh
import tray_helpers as th
import zirko_e2e as e2e


def table(desktop, app):
    e2e.press(desktop.find(app, "page tab", "Bersagli"))
    return desktop.find(app, "tree", "Bersagli")


def rows_by_address(view):
    """Address to (mark, loss) for every target row (group rows have no address)."""
    return {row[2]: (row[0], row[5]) for row in mh.table_rows(view) if row[2]}


def holds_history(pid):
    fds = "/proc/%d/fd" % pid
    names = []
    for fd in os.listdir(fds):
        try:
            names.append(os.path.basename(os.readlink(os.path.join(fds, fd))))
        except OSError:
            pass  # closed meanwhile
    return "ZIRKO.DB" in names


def test(binary):
    e2e.require(os.geteuid() == 0, "needs root for raw ICMP sockets and namespaces")
    with mh.SilentHost() as silent, e2e.Desktop() as desktop, \
            th.NotificationService(desktop) as service:
        path = os.path.join(desktop.env["XDG_CONFIG_HOME"], "zirko", "targets.yml")
        os.makedirs(os.path.dirname(path))
        with open(path, "w") as out:
            out.write("targets:\n"
                      "- hosts: [127.0.0.1, \"::1\"]\n  labels: {group: locali}\n"
                      "- hosts: [%s]\n  alarm_after_lost: 2\n  labels: {name: muto}\n"
                      % silent.address)
        folder = os.path.join(desktop.workdir, "run")
        os.mkdir(folder)
        zirko = desktop.start_zirko(folder, binary)
        zirko.main_window()
        icons = e2e.wait_until(desktop.docked_icons, 10, "the tray icon")
        raised = service.wait_calls(1, 20, alive=zirko.popen)[0]
        assert "muto" in raised["summary"], raised

        app = desktop.application(zirko)
        view = table(desktop, app)
        rows = e2e.wait_until(
            lambda: (lambda r: r if len(r) == 3 and float(r[silent.address][1]) > 0 else None)(
                rows_by_address(view)), 15, "the silent host's loss", alive=zirko.popen)
        assert rows["127.0.0.1"][1] == "0.0" and rows["::1"][1] == "0.0", rows
        red, yellow = e2e.wait_until(
            lambda: (lambda c: c if c[0] > 20 else None)(mh.icon_colours(desktop, icons[0])),
            5, "the tray icon to turn red")
        assert red > yellow, (red, yellow)
        assert len(service.calls()) == 1, service.calls()

        e2e.press(desktop.find(app, "page tab", "Ping"))
        _, page = mh.ping_page(desktop, zirko)
        mh.set_text(page["host"], "127.0.0.1")
        e2e.press(page["ping"])
        e2e.wait_until(lambda: page["n_ping"].description == "5", 15, "the Ping page's pings",
                       alive=zirko.popen)
        assert mh.icon_colours(desktop, icons[0])[0] > 20, "the tray turned from red"

        cell = desktop.find(table(desktop, app), None, "muto").queryComponent().getExtents(
            desktop.atspi().DESKTOP_COORDS)
        desktop.run(["xdotool", "mousemove", str(cell.x + cell.width // 2),
                     str(cell.y + cell.height // 2), "click", "--repeat", "2", "1"])
        plot = desktop.find(app, None, "Grafico tempi di risposta")
        # Every ping of the silent host lost: the Ping page's five answered ones are not shown.
        e2e.wait_until(lambda: "(100" in plot.description, 10, "the silent host's plot",
                       alive=zirko.popen)
        assert desktop.find(app, None, "Sovrapponi") is not None

        desktop.run(["wmctrl", "-F", "-c", "Zirko"])
        assert zirko.wait_exit(15) == 0
        zirko = desktop.start_zirko(folder, binary)
        zirko.main_window()
        app = desktop.application(zirko)
        assert sorted(rows_by_address(table(desktop, app))) == \
            sorted(["127.0.0.1", "::1", silent.address])
        # Nothing else in this run records or shows history: the targets need it.
        e2e.wait_until(lambda: holds_history(zirko.popen.pid), 10, "the targets' history",
                       alive=zirko.popen)
        desktop.run(["wmctrl", "-F", "-c", "Zirko"])
        assert zirko.wait_exit(15) == 0

        damaged = "targets:\n- hosts: [a\n"
        with open(path, "w") as out:
            out.write(damaged)
        zirko = desktop.start_zirko(folder, binary)
        zirko.main_window()
        app = desktop.application(zirko)
        assert rows_by_address(table(desktop, app)) == {}
        problem = desktop.find(app, "label", "Problema del file")
        assert "targets.yml:3:" in problem.description, problem.description
        desktop.run(["wmctrl", "-F", "-c", "Zirko"])
        assert zirko.wait_exit(15) == 0
        with open(path) as kept:
            assert kept.read() == damaged


if __name__ == "__main__":
    e2e.run_test(test)
