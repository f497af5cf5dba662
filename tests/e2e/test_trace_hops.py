#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Over AT-SPI: type the host, switch to "Traceroute", press "Esegui" and read the
rows of the hop list. The target stands behind one router in namespaces of the
test's own, so the trace shows the router at hop 1 and the target at hop 2. A
host that cannot be resolved then empties the list and shows the error box.
Nothing of a trace reaches the log pane, the log list or ZIRKO.LOG."""

import os
import re
import subprocess
import time

from gi.repository import GLib

import zirko_e2e as e2e

STAMP = r"\((\d\d/\d\d/\d{4})-\d\d:\d\d:\d\d\)"  # it_IT: dd/mm/yyyy-hh:mm:ss


def _ip(*args, check=True):
    return subprocess.run(["ip", *args], check=check, capture_output=True, text=True, timeout=20)


class RoutedTarget:
    """This namespace -> router -> target over veth pairs, with a route for the
    private /24 (10.192-255.x.0, from the pid) only; removed on exit."""

    def __init__(self):
        pid = os.getpid()
        self.prefix = "10.%d.%d." % (192 + (pid // 256) % 64, pid % 256)
        self.router_ns = "zk-trr-%d" % pid
        self.target_ns = "zk-trt-%d" % pid
        self.link = "zkt%d" % (pid % 10000000)
        self.router = self.prefix + "2"
        self.target = self.prefix + "10"

    def __enter__(self):
        try:
            p = self.prefix
            _ip("netns", "add", self.router_ns)
            _ip("netns", "add", self.target_ns)
            _ip("link", "add", self.link, "type", "veth", "peer", "name", "eth0",
                "netns", self.router_ns)
            _ip("addr", "add", p + "1/30", "dev", self.link)
            _ip("link", "set", self.link, "up")
            _ip("route", "add", p + "0/24", "via", self.router)
            _ip("-n", self.router_ns, "link", "add", "eth1", "type", "veth", "peer", "name",
                "eth0", "netns", self.target_ns)
            for ns, dev, address in ((self.router_ns, "eth0", p + "2/30"),
                                     (self.router_ns, "eth1", p + "9/30"),
                                     (self.target_ns, "eth0", p + "10/30")):
                _ip("-n", ns, "addr", "add", address, "dev", dev)
                _ip("-n", ns, "link", "set", dev, "up")
            _ip("-n", self.target_ns, "route", "add", p + "0/24", "via", p + "9")
            for key in ("net.ipv4.ip_forward=1", "net.ipv4.icmp_ratelimit=0"):
                subprocess.run(["ip", "netns", "exec", self.router_ns, "sysctl", "-q", "-w", key],
                               check=True, capture_output=True, timeout=20)
        except BaseException:
            self.__exit__()
            raise
        return self

    def __exit__(self, *exc):
        _ip("link", "del", self.link, check=False)
        _ip("netns", "del", self.target_ns, check=False)
        _ip("netns", "del", self.router_ns, check=False)
        return False


def rows(tree):
    """The hop list's rows as lists of cell texts."""
    table = tree.queryTable()
    return [[table.getAccessibleAt(r, c).name for c in range(table.nColumns)]
            for r in range(table.nRows)]


def error_box(desktop, app):
    e2e._forget_cache(app)
    for index in range(app.childCount):
        child = app.getChildAtIndex(index)
        try:
            if child is not None and child.getRoleName() == "alert":
                return child
        except GLib.GError:
            pass  # a window that closed while it was read, the box among them
    return None


def test(binary):
    e2e.require(os.geteuid() == 0, "needs root for raw ICMP sockets and namespaces")
    # The stamps follow the user's locale.
    os.environ["LC_ALL"] = "it_IT.UTF-8"
    with RoutedTarget() as net, e2e.Desktop() as desktop:
        folder = os.path.join(desktop.workdir, "run")
        os.mkdir(folder)
        zirko = desktop.start_zirko(folder, binary)
        zirko.main_window()
        app = desktop.application(zirko)
        host = desktop.find(app, "text", "Indirizzo/host:")
        pane = desktop.find(app, "text", "Log ping")
        host.queryEditableText().setTextContents(net.target)
        e2e.wait_until(lambda: e2e.text_of(host) == net.target, 5, "the host text")

        e2e.press(desktop.find(app, "page tab", "Traceroute"))
        execute = desktop.find(app, "push button", "Esegui")
        hops = desktop.find(app, "tree", "Traceroute hops")
        log_list = desktop.find(app, "list", "Traceroute log")
        e2e.wait_until(lambda: e2e.showing(execute), 5, "the Traceroute page")
        days = {time.strftime("%d/%m/%Y")}
        e2e.press(execute)
        e2e.wait_until(lambda: len(rows(hops)) >= 2 and rows(hops)[1][2], 20, "two hop rows",
                       alive=zirko.popen)
        time.sleep(0.5)  # a third row would have appeared by now
        shown = rows(hops)
        days.add(time.strftime("%d/%m/%Y"))
        print("rows:", shown)

        assert len(shown) == 2, shown
        assert shown[0][:2] == ["1", net.router], shown
        first = re.fullmatch(STAMP + r"TTL=64", shown[0][2])
        assert first and first.group(1) in days, shown[0]
        assert shown[1][:2] == ["2", net.target], shown
        second = re.fullmatch(r"Reached " + STAMP + r" in : \d+ ms", shown[1][2])
        assert second and second.group(1) in days, shown[1]

        host.queryEditableText().setTextContents("zirko-trace-e2e.invalid")
        e2e.wait_until(lambda: e2e.text_of(host) == "zirko-trace-e2e.invalid", 5, "the host")
        e2e.press(execute)
        box = e2e.wait_until(lambda: error_box(desktop, app), 20, "the error box",
                             alive=zirko.popen)
        message = desktop.find(box, "label").name
        # 11001 "Host not found." here; 11002 where no name server can be asked.
        assert message.startswith("Socket Error # 1100"), repr(message)
        assert rows(hops) == [], rows(hops)
        e2e.press(desktop.find(box, "push button", "OK"))
        e2e.wait_until(lambda: error_box(desktop, app) is None, 5, "the box to close")
        assert rows(hops) == [], rows(hops)

        assert log_list.childCount == 0, "the log list stays empty"
        assert e2e.text_of(pane) == "", repr(e2e.text_of(pane))
        desktop.run(["wmctrl", "-F", "-c", "Zirko"])
        assert zirko.wait_exit(15) == 0
        log = zirko.log_text()
        for trace_text in (net.router, net.target, "Reached", "TTL=", "Socket Error"):
            assert trace_text not in log, (trace_text, log)


if __name__ == "__main__":
    e2e.run_test(test)
