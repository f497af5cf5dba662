# SPDX-License-Identifier: GPL-3.0-or-later
"""Helpers for the monitoring end-to-end tests: a silent host in a network
namespace of the test's own, the colour of the docked tray icon, and the Ping
page's controls over AT-SPI."""

import os
import re
import subprocess
import time

import zirko_e2e as e2e


def _ip(*args, check=True):
    return subprocess.run(["ip", *args], check=check, capture_output=True, text=True, timeout=20)


class SilentHost:
    """A namespace behind a veth pair whose kernel ignores echo requests
    (or answers them, with answering=True).

    The address pair is private (172.16.0.0/12), derived from the pid, and
    exists only on the two veth ends; everything goes when the object does."""

    def __init__(self, answering=False):
        self.answering = answering
        pid = os.getpid()
        self.namespace = "zk-mon-%d" % pid
        self.link = "zkm%d" % (pid % 10000000)
        second, third = 16 + pid % 16, (pid // 16) % 256
        self.local = "172.%d.%d.1" % (second, third)
        self.address = "172.%d.%d.2" % (second, third)

    def __enter__(self):
        try:
            _ip("netns", "add", self.namespace)
            _ip("link", "add", self.link, "type", "veth", "peer", "name", "eth0",
                "netns", self.namespace)
            _ip("addr", "add", self.local + "/30", "dev", self.link)
            _ip("link", "set", self.link, "up")
            _ip("-n", self.namespace, "addr", "add", self.address + "/30", "dev", "eth0")
            _ip("-n", self.namespace, "link", "set", "eth0", "up")
            _ip("-n", self.namespace, "link", "set", "lo", "up")
            self.answer(self.answering)
        except BaseException:
            self.__exit__()
            raise
        return self

    def answer(self, answering):
        """From now on the host's kernel answers echo requests, or ignores them."""
        subprocess.run(
            ["ip", "netns", "exec", self.namespace, "sysctl", "-q", "-w",
             "net.ipv4.icmp_echo_ignore_all=%d" % (0 if answering else 1)],
            check=True, capture_output=True, timeout=20)

    def delay(self, ms):
        """From now on the host answers ms late: its kernel keeps quiet and
        slow_echo.py answers in its place; 0 gives the answering back to the
        kernel. (This kernel has no netem qdisc to delay them with.)"""
        if getattr(self, "responder", None) is not None:
            self.responder.terminate()
            self.responder.wait(timeout=10)
            self.responder = None
        if ms:
            self.answer(False)
            self.responder = subprocess.Popen(
                ["ip", "netns", "exec", self.namespace, "python3",
                 os.path.join(os.path.dirname(os.path.abspath(__file__)), "slow_echo.py"),
                 str(ms)], stdout=subprocess.PIPE, text=True)
            assert self.responder.stdout.readline().strip() == "ready"
        else:
            self.answer(True)

    def refuse(self):
        """From now on sending to the host fails locally ("prohibit" route):
        nothing leaves the machine, not even towards a default route."""
        _ip("route", "add", "prohibit", self.address + "/32")

    def __exit__(self, *exc):
        if getattr(self, "responder", None) is not None:
            self.responder.kill()
            self.responder.wait(timeout=10)
        _ip("route", "del", "prohibit", self.address + "/32", check=False)
        _ip("link", "del", self.link, check=False)
        _ip("netns", "del", self.namespace, check=False)
        return False


def icon_colours(desktop, window):
    """Counts of strongly red and of strongly yellow pixels in a window."""
    out = desktop.run(["import", "-window", str(window), "-depth", "8", "txt:-"], timeout=20)
    red = yellow = 0
    for match in re.finditer(r"\((\d+),(\d+),(\d+)", out):
        r, g, b = (int(v) for v in match.groups())
        if r > 180 and g < 90 and b < 90:
            red += 1
        elif r > 180 and g > 180 and b < 90:
            yellow += 1
    return red, yellow


PING_PAGE = {"host": "Indirizzo/host:", "ping": "5 Ping", "alarm_after": "Allarme dopo:",
             "n_ping": "N. ping:", "perc": "% persi:", "lost": "Pacchetti persi:",
             "pane": "Log ping"}
PING_PAGE_EN = {"host": "Address/host:", "ping": "5 Pings", "alarm_after": "Alarm after:",
                "n_ping": "Pings:", "perc": "% lost:", "lost": "Packets lost:",
                "pane": "Ping log"}


# The words the README's picture scripts look for, as the code has them and in English.
SHOT_WORDS_EN = {"Limite ms media:": "Average limit ms:", "Grafico": "Graph", "Bersagli": "Targets",
                 "Grafico tempi di risposta": "Response time graph", "Giudizio": "Verdict",
                 "Continuo": "Continuous", "Traccia continua": "Continuous trace",
                 "La perdita inizia al salto 3.": "The loss begins at hop 3.",
                 "Zirko: %s non risponde": "Zirko: %s does not answer",
                 "%s risponde di nuovo dopo ": "%s answers again after "}


def shot_language():
    """The pictures' environment, a word's lookup and the Ping page's captions: Italian,
    or English when ZIRKO_SHOT_LANG=en."""
    if os.environ.get("ZIRKO_SHOT_LANG") == "en":
        return ({"LC_ALL": "en_US.UTF-8", "LANGUAGE": "en_US"},
                lambda word: SHOT_WORDS_EN.get(word, word), PING_PAGE_EN)
    return {"LC_ALL": "it_IT.UTF-8"}, lambda word: word, PING_PAGE


def ping_page(desktop, zirko, captions=PING_PAGE):
    """The accessible application and the Ping page's controls by their labels."""
    app = desktop.application(zirko)
    return app, {
        "host": desktop.find(app, "text", captions["host"]),
        "ping": desktop.find(app, "push button", captions["ping"]),
        "alarm_after": desktop.find(app, "spin button", captions["alarm_after"]),
        "n_ping": value_label(desktop, app, captions["n_ping"]),
        "perc": value_label(desktop, app, captions["perc"]),
        "lost": value_label(desktop, app, captions["lost"]),
        "pane": desktop.find(app, "text", captions["pane"]),
    }


def value_label(desktop, app, caption):
    """The value label named after its caption: of the two labels with that
    name, the one standing to the right (it carries its shown text as its
    description)."""
    pyatspi = desktop.atspi()

    def find():
        labels = desktop.find_all(app, "label", caption)
        if len(labels) < 2:
            return None
        return max(labels, key=lambda l: l.queryComponent().getExtents(pyatspi.DESKTOP_COORDS).x)

    return e2e.wait_until(find, 10, "the value label " + caption)


def set_text(accessible, text):
    accessible.queryEditableText().setTextContents(text)


def pane_lines(pane):
    return [line for line in e2e.text_of(pane).splitlines() if line]


class TracePath:
    """This namespace -> routers -> target over veth pairs, with a route for a
    private /24 (10.192-254.x.0, from the pid) only; removed on exit. Link k is
    the /30 at 4k: .4k+1 on the near side, .4k+2 on the far one, so hop k
    answers from .4k-2 and the target is .4n+2. The routers forward and send
    time-exceeded without rate limit; drops (router number, nft hook, ICMP
    type, percent) make one drop that share at random (nft numgen).
    names() are the hosts-file pairs that name the routers and the target."""

    def __init__(self, routers=3, drops=()):
        pid = os.getpid()
        self.prefix = "10.%d.%d." % (192 + (pid // 256) % 63, pid % 256)
        self.routers = ["zk-tp%d-%d" % (i + 1, pid) for i in range(routers)]
        self.target_ns = "zk-tpt-%d" % pid
        self.link = "zkp%d" % (pid % 10000000)
        self.drops = drops
        self.hops = [self.prefix + str(4 * k + 2) for k in range(routers + 1)]
        self.target = self.hops[-1]

    def names(self):
        return [(a, "r%d.zk.invalid" % (i + 1)) for i, a in enumerate(self.hops[:-1])] + \
               [(self.target, "meta.zk.invalid")]

    def __enter__(self):
        try:
            self._build()
            for router, hook, icmp_type, percent in self.drops:
                ns = self.routers[router - 1]
                for command in ("add table inet zk",
                                "add chain inet zk %s { type filter hook %s priority 0; }"
                                % (hook, hook),
                                "add rule inet zk %s icmp type %s numgen random mod 100 < %d drop"
                                % (hook, icmp_type, percent)):
                    subprocess.run(["ip", "netns", "exec", ns, "nft", command], check=True,
                                   capture_output=True, timeout=20)
        except BaseException:
            self.__exit__()
            raise
        return self

    def _build(self):
        p, n = self.prefix, len(self.routers)
        chain = self.routers + [self.target_ns]
        for ns in chain:
            _ip("netns", "add", ns)
            _ip("-n", ns, "link", "set", "lo", "up")
        _ip("link", "add", self.link, "type", "veth", "peer", "name", "eth0", "netns", chain[0])
        _ip("addr", "add", p + "1/30", "dev", self.link)
        _ip("link", "set", self.link, "up")
        _ip("route", "add", p + "0/24", "via", p + "2")
        for k in range(1, n + 1):  # link k joins router k to what stands behind it
            near, far = chain[k - 1], chain[k]
            _ip("-n", near, "link", "add", "eth1", "type", "veth", "peer", "name", "eth0",
                "netns", far)
            _ip("-n", near, "addr", "add", "%s%d/30" % (p, 4 * k + 1), "dev", "eth1")
            _ip("-n", near, "link", "set", "eth1", "up")
        for k, ns in enumerate(chain):
            _ip("-n", ns, "addr", "add", "%s%d/30" % (p, 4 * k + 2), "dev", "eth0")
            _ip("-n", ns, "link", "set", "eth0", "up")
            if k < n:  # on towards the target, back by the link it came from
                _ip("-n", ns, "route", "add", p + "0/24", "via", "%s%d" % (p, 4 * k + 6))
                for j in range(k):
                    _ip("-n", ns, "route", "add", "%s%d/30" % (p, 4 * j), "via",
                        "%s%d" % (p, 4 * k + 1))
            else:
                _ip("-n", ns, "route", "add", p + "0/24", "via", "%s%d" % (p, 4 * k + 1))
        for ns in self.routers:
            for key in ("net.ipv4.ip_forward=1", "net.ipv4.icmp_ratelimit=0"):
                subprocess.run(["ip", "netns", "exec", ns, "sysctl", "-q", "-w", key],
                               check=True, capture_output=True, timeout=20)

    def __exit__(self, *exc):
        _ip("link", "del", self.link, check=False)
        for ns in [self.target_ns] + self.routers[::-1]:
            _ip("netns", "del", ns, check=False)
        return False


def table_rows(table):
    """The rows of a list view (a tree's shown rows included) as lists of cell texts.

    A view that changes while it is read hands out a missing cell: read it again."""
    for _ in range(10):
        t = table.queryTable()
        cells = [[t.getAccessibleAt(r, c) for c in range(t.nColumns)] for r in range(t.nRows)]
        if all(cell is not None for row in cells for cell in row):
            return [[cell.name for cell in row] for row in cells]
        time.sleep(0.05)
    raise AssertionError("the view %r kept changing while it was read" % table.name)
