#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""zirko --headless with no display at all: it pings a namespace host every two
seconds with the window's log lines, records an outage in the history when the
host falls silent past "--alarm-after", with the short trace the window keeps
at the alarm, and its recovery, and SIGTERM ends it
with the log's shut-down block and exit code 0. Debian's Prometheus scrapes its
--metrics endpoint meanwhile: the requests follow the log's pings and
zirko_outage_active is 1 during the outage only; --metrics-textfile keeps
zirko.prom. A ping older than the history's 31 days, left by an earlier run, is
pruned as the window prunes it.

With a file of targets it watches each at its interval, each with its series from the
start; SIGHUP reads the file again: an added target's series appear, a removed one's go,
the kept one's counter goes on, and a bad file changes nothing. A bad file at start is
one line naming the file and line, and exit code 2."""

import contextlib
import os
import re
import shutil
import signal
import sqlite3
import subprocess
import tempfile
import time

import sys

import monitor_helpers as mh
import zirko_e2e as e2e

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "metrics"))
import metrics_helpers  # noqa: E402


def test(binary):
    e2e.require(os.geteuid() == 0, "needs root for raw ICMP sockets and namespaces")
    port = metrics_helpers.free_port()
    with mh.SilentHost(answering=True) as host, tempfile.TemporaryDirectory() as folder:
        for name in ("zirko", "zirko-headless"):
            shutil.copy2(os.path.join(os.path.dirname(binary), name), folder)
        e2e.copy_modules(os.path.dirname(binary), folder)
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        database = os.path.join(folder, "ZIRKO.DB")
        old_ms = int(time.time() * 1000) - 40 * 86400 * 1000
        earlier = subprocess.Popen([os.path.join(folder, "zirko-headless"), "--host", host.address],
                                   cwd=folder, env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, preexec_fn=e2e.die_with_harness)
        e2e.wait_until(lambda: os.path.exists(database), 10, "the history", alive=earlier)
        earlier.send_signal(signal.SIGTERM)
        assert earlier.wait(15) == 0
        # The log, pings and periods below are this run's alone.
        os.remove(os.path.join(folder, "ZIRKO.LOG"))
        # Closed before the run: the store holds its file exclusively.
        with contextlib.closing(sqlite3.connect(database)) as db, db:
            db.execute("DELETE FROM period")
            db.execute("DELETE FROM ping")
            db.execute("INSERT OR IGNORE INTO target(host, address, family) "
                       "VALUES('old.test', '192.0.2.1', 4)")
            db.execute("INSERT INTO ping(utc_ms, target, kind, rtt_us, ttl, bytes) SELECT ?, id, "
                       "0, 1000, 64, 64 FROM target WHERE host = 'old.test'", (old_ms,))
        with open(os.path.join(folder, "stderr"), "wb") as errors:
            popen = subprocess.Popen(
                [os.path.join(folder, "zirko"), "--headless", "--host", host.address,
                 "--alarm-after", "2", "--metrics", "127.0.0.1:%d" % port,
                 "--metrics-textfile", folder],
                cwd=folder, env=env, stdout=subprocess.DEVNULL, stderr=errors,
                preexec_fn=e2e.die_with_harness)
        log_path = os.path.join(folder, "ZIRKO.LOG")

        def lines(text):
            log = open(log_path, encoding="latin-1").read() if os.path.exists(log_path) else ""
            return sum(text in line for line in log.splitlines() if "Ping result: " in line)

        answered = " bytes from %s: " % host.address
        active = "zirko_outage_active"
        try:
            e2e.wait_until(lambda: lines(answered) >= 2, 15, "two answers", alive=popen)
            with metrics_helpers.Prometheus(port, folder) as prometheus:
                prometheus.wait(active, 0, 10, "no outage")
                host.answer(False)
                prometheus.wait(active, 1, 25, "zirko_outage_active 1")
                assert lines("0 bytes from 0.0.0.0") >= 3
                # The trace the alarm began (ten rounds of a second) ends before the
                # host answers again; the store is the program's alone until it ends.
                time.sleep(25)
                before = lines(answered)
                host.answer(True)
                e2e.wait_until(lambda: lines(answered) > before, 15, "the answer again",
                               alive=popen)
                prometheus.wait(active, 0, 10, "the outage's end")
                requests = prometheus.query("smokeping_requests_total")
                print("zirko_outage_active 0 -> 1 -> 0; smokeping_requests_total %r with %d "
                      "pings in the log" % (requests, lines("")))
                assert lines("") - 1 <= requests <= lines(""), (requests, lines(""))
        finally:
            popen.send_signal(signal.SIGTERM)
            code = popen.wait(15)
        assert code == 0, "exit code %r: %s" % (code, open(os.path.join(folder, "stderr")).read())
        log = open(log_path, encoding="latin-1").read()
        assert log.rstrip("\r\n").endswith("ShutDown Agente of Zirko"), log[-500:]
        with sqlite3.connect(os.path.join(folder, "ZIRKO.DB")) as db:
            outages = db.execute("SELECT host, end_kind, lost, path FROM outage").fetchall()
            hops = db.execute("SELECT count(*) FROM outage_hop").fetchone()[0]
            old = db.execute("SELECT count(*) FROM ping WHERE utc_ms <= ?", (old_ms,)).fetchone()[0]
            runs = db.execute("SELECT count(*) FROM period WHERE kind = 0 AND end_ms "
                              "IS NOT NULL").fetchone()[0]
        assert len(outages) == 1 and outages[0][:2] == (host.address, 1), outages
        assert outages[0][3], "no path trace kept with the outage: %r" % (outages,)
        assert outages[0][2] >= 3, outages  # the alarm came after two losses in a row
        assert runs == 1, runs
        assert hops >= 1, hops
        assert old == 0, "the ping 40 days old is still kept"
        prom = open(os.path.join(folder, "zirko.prom")).read()
        assert "smokeping_requests_total{host=\"%s\"" % host.address in prom, prom


def requests_by_host(port):
    text = metrics_helpers.fetch("http://127.0.0.1:%d/metrics" % port) or ""
    return {m.group(1): int(m.group(2)) for m in re.finditer(
        r'^smokeping_requests_total\{host="([^"]*)",[^}]*group="e2e"\} (\d+)$', text, re.M)}


def test_targets_file(binary):
    e2e.require(os.geteuid() == 0, "needs root for raw ICMP sockets and namespaces")
    port = metrics_helpers.free_port()
    with mh.SilentHost(answering=True) as host, tempfile.TemporaryDirectory() as folder:
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        config = os.path.join(folder, "targets.yml")

        def write(*hosts):
            with open(config, "w") as out:
                # A target the desktop's user stopped is not watched either.
                out.write("targets:\n  - hosts: [%s]\n    interval: 200ms\n"
                          "    labels: {group: e2e}\n  - hosts: [127.0.0.2]\n    stopped: true\n"
                          "    labels: {group: e2e}\n" % ", ".join(hosts))

        # The log and the history go beside the program.
        shutil.copy2(os.path.join(os.path.dirname(binary), "zirko-headless"), folder)
        e2e.copy_modules(os.path.dirname(binary), folder)
        headless = [os.path.join(folder, "zirko-headless"), "--config", config]
        with open(config, "w") as out:
            out.write("targets:\n  - hosts: [%s]\n    intervall: 1s\n" % host.address)
        refused = subprocess.run(headless, cwd=folder, env=env, capture_output=True, text=True,
                                 timeout=30)
        assert refused.returncode == 2, refused
        assert refused.stderr.count("\n") == 1 and config + ":3:" in refused.stderr, refused
        write(host.address, host.local)
        with open(os.path.join(folder, "stderr"), "wb") as errors:
            popen = subprocess.Popen(headless + ["--metrics", "127.0.0.1:%d" % port], cwd=folder,
                                     env=env, stdout=subprocess.DEVNULL, stderr=errors,
                                     preexec_fn=e2e.die_with_harness)
        try:
            first = e2e.wait_until(lambda: (lambda r: r if r.get(host.address, 0) >= 5 else None)(
                requests_by_host(port)), 20, "five requests", alive=popen)
            assert set(first) == {host.address, host.local}, first
            with open(config, "w") as out:
                out.write("targets: [\n")
            popen.send_signal(signal.SIGHUP)
            time.sleep(1)
            assert set(requests_by_host(port)) == {host.address, host.local}
            write(host.address, "127.0.0.1")
            popen.send_signal(signal.SIGHUP)
            after = e2e.wait_until(lambda: (lambda r: r if "127.0.0.1" in r else None)(
                requests_by_host(port)), 10, "the added target's series", alive=popen)
            assert set(after) == {host.address, "127.0.0.1"}, after
            assert after[host.address] > first[host.address], (first, after)
            e2e.wait_until(lambda: requests_by_host(port).get("127.0.0.1", 0) >= 3, 10,
                           "the added target's requests", alive=popen)
        finally:
            popen.send_signal(signal.SIGTERM)
            code = popen.wait(15)
        said = open(os.path.join(folder, "stderr")).read()
        assert code == 0, "exit code %r: %s" % (code, said)
        assert "targets.yml:2: " in said and "1 kept, 1 added, 1 removed" in said, said
        with sqlite3.connect(os.path.join(folder, "ZIRKO.DB")) as db:
            # Answers of many targets are kept per minute, not a row each.
            hosts = dict(db.execute("SELECT t.host, sum(m.count) FROM minute m JOIN target t "
                                    "ON t.id = m.target GROUP BY t.host").fetchall())
        assert hosts.get(host.address, 0) >= 5 and hosts.get("127.0.0.1", 0) >= 1, hosts


if __name__ == "__main__":
    e2e.run_test(lambda binary: (test_targets_file(binary), test(binary)))
