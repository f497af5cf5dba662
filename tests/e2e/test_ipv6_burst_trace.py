#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""IPv6 end to end over AT-SPI: a target behind one router, reached from this
namespace over unique-local addresses of the test's own. "5 Ping" to the target's
IPv6 literal fills the pane with five "92 bytes from <address>" lines that
ZIRKO.LOG repeats; the traceroute then shows the router at hop 1 and the target
at hop 2, each with its full IPv6 address as the cell's text."""

import os
import re
import subprocess
import time

import monitor_helpers as mh
import zirko_e2e as e2e

STAMP = r"\((\d\d/\d\d/\d{4})-\d\d:\d\d:\d\d\)"  # it_IT: dd/mm/yyyy-hh:mm:ss


def _ip(*args, check=True):
    return subprocess.run(["ip", *args], check=check, capture_output=True, text=True, timeout=20)


def _sysctl(ns, *keys):
    for key in keys:
        subprocess.run(["ip", "netns", "exec", ns, "sysctl", "-q", "-w", key], check=True,
                       capture_output=True, timeout=20)


class RoutedTarget6:
    """This namespace -> router -> target over veth pairs, with a route for the
    unique-local /48 (fd00:e2e:NNNN::, from the pid) only; removed on exit."""

    def __init__(self):
        pid = os.getpid()
        self.prefix = "fd00:e2e:%x:" % (pid % 65535 + 1)
        self.router_ns = "zk-6rr-%d" % pid
        self.target_ns = "zk-6rt-%d" % pid
        self.link = "zk6t%d" % (pid % 1000000)
        self.router = self.prefix + ":2"
        self.target = self.prefix + "2::2"

    def __enter__(self):
        try:
            p = self.prefix
            _ip("netns", "add", self.router_ns)
            _ip("netns", "add", self.target_ns)
            _sysctl(self.router_ns, "net.ipv6.conf.all.forwarding=1", "net.ipv6.icmp.ratelimit=0")
            _ip("link", "add", self.link, "type", "veth", "peer", "name", "eth0",
                "netns", self.router_ns)
            _ip("-n", self.router_ns, "link", "add", "eth1", "type", "veth", "peer", "name",
                "eth0", "netns", self.target_ns)
            subprocess.run(["sysctl", "-q", "-w", "net.ipv6.conf.%s.accept_dad=0" % self.link],
                           check=True, capture_output=True, timeout=20)
            _ip("addr", "add", p + ":1/64", "dev", self.link, "nodad")
            _ip("link", "set", self.link, "up")
            _ip("route", "add", p + ":/48", "via", self.router)
            for ns, dev, address in ((self.router_ns, "eth0", p + ":2/64"),
                                     (self.router_ns, "eth1", p + "2::1/64"),
                                     (self.target_ns, "eth0", p + "2::2/64")):
                _sysctl(ns, "net.ipv6.conf.%s.accept_dad=0" % dev)
                _ip("-n", ns, "addr", "add", address, "dev", dev, "nodad")
                _ip("-n", ns, "link", "set", dev, "up")
            _ip("-n", self.target_ns, "route", "add", p + ":/48", "via", p + "2::1")
            # The router solicits neighbours from link-local addresses, which come a
            # second or so after the links.
            e2e.wait_until(lambda: _ip("-n", self.router_ns, "-6", "addr", "show", "scope",
                                       "link").stdout.count("inet6 fe80") == 2, 10,
                           "the router's link-local addresses")
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
    table = tree.queryTable()
    return [[table.getAccessibleAt(r, c).name for c in range(table.nColumns)]
            for r in range(table.nRows)]


def test(binary):
    e2e.require(os.geteuid() == 0, "needs root for raw ICMP sockets and namespaces")
    e2e.require(os.path.exists("/proc/sys/net/ipv6"), "needs IPv6 in the kernel")
    os.environ["LC_ALL"] = "it_IT.UTF-8"
    with RoutedTarget6() as net, e2e.Desktop() as desktop:
        folder = os.path.join(desktop.workdir, "run")
        os.mkdir(folder)
        zirko = desktop.start_zirko(folder, binary)
        zirko.main_window()
        app, page = mh.ping_page(desktop, zirko)

        literal = "[%s]" % net.target
        mh.set_text(page["host"], literal)
        e2e.wait_until(lambda: e2e.text_of(page["host"]) == literal, 5, "the host text")
        e2e.press(page["ping"])
        e2e.wait_until(lambda: page["n_ping"].description == "5", 20, "five pings",
                       alive=zirko.popen)
        sensitive = desktop.atspi().STATE_SENSITIVE
        e2e.wait_until(lambda: page["ping"].getState().contains(sensitive), 5,
                       "5 Ping enabled again")
        lines = mh.pane_lines(page["pane"])
        print("pane:", *lines, sep="\n  ")
        line = re.compile(r"^\S+-\S+\\92 bytes from %s: icmp_seq=(\d+) ttl=63 time(<1|=\d+) ms$"
                          % re.escape(net.target))
        matches = [line.match(text) for text in lines]
        assert len(lines) == 5 and all(matches), lines
        sequences = [int(m.group(1)) for m in matches]
        assert sequences == [(sequences[0] + i) % 65536 for i in range(5)], sequences
        assert page["lost"].description == "0", repr(page["lost"].description)

        e2e.press(desktop.find(app, "page tab", "Traceroute"))
        execute = desktop.find(app, "push button", "Esegui")
        hops = desktop.find(app, "tree", "Traceroute hops")
        e2e.wait_until(lambda: e2e.showing(execute), 5, "the Traceroute page")
        days = {time.strftime("%d/%m/%Y")}
        e2e.press(execute)
        e2e.wait_until(lambda: len(rows(hops)) >= 2 and rows(hops)[1][2], 20, "two hop rows",
                       alive=zirko.popen)
        time.sleep(0.5)  # a third row would have appeared by now
        shown = rows(hops)
        days.add(time.strftime("%d/%m/%Y"))
        print("rows:", *shown, sep="\n  ")
        assert len(shown) == 2, shown
        assert shown[0][:2] == ["1", net.router], shown
        first = re.fullmatch(STAMP + r"TTL=64", shown[0][2])
        assert first and first.group(1) in days, shown[0]
        assert shown[1][:2] == ["2", net.target], shown
        assert re.fullmatch(r"Reached " + STAMP + r" in : \d+ ms", shown[1][2]), shown[1]

        desktop.run(["wmctrl", "-F", "-c", "Zirko"])
        assert zirko.wait_exit(15) == 0
        log = zirko.log_text()
        print("ZIRKO.LOG:", log, sep="\n")
        logged = re.findall(r"Ping result: (.*?)\r\n", log)
        assert logged == lines, (logged, lines)
        assert "Reached" not in log and "TTL=" not in log, log


if __name__ == "__main__":
    e2e.run_test(test)
