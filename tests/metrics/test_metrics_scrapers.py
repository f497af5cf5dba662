#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Debian's Prometheus and node_exporter read what the driver exposes, each with a
configuration and folders of the test's own, on loopback.
- Prometheus scrapes every second (in OpenMetrics, which it prefers); through its HTTP
  API smokeping_requests_total grows by the pings fed, and the loss rule's ratio is the
  share answered, its complement the share lost.
- node_exporter's textfile collector alone reads the zirko.prom rewritten after every
  ping and shows its samples unchanged.
Usage: test_metrics_scrapers.py PATH_TO_METRICS_DRIVER"""

import json
import os
import shutil
import tempfile

from metrics_helpers import (TARGET_LABELS, Driver, Prometheus, fetch, free_port, output_of,
                             require, run_test, spawn, stop, wait_until)

FED, ANSWERED = 20, 15
RULE = ("increase(smokeping_response_duration_seconds_count[1m]) / "
        "increase(smokeping_requests_total[1m])")


def check_prometheus(driver, folder):
    with Prometheus(driver.port, folder) as prometheus:
        assert prometheus.query("smokeping_requests_total") == 0
        driver.feed(*["answer 1000 64"] * ANSWERED + ["lost"] * (FED - ANSWERED))
        prometheus.wait("smokeping_requests_total", FED, 15,
                        "smokeping_requests_total to grow by %d" % FED)
        answered, lost = prometheus.query(RULE), prometheus.query("1 - (%s)" % RULE)
        median = prometheus.query("histogram_quantile(0.5, "
                                  "increase(smokeping_response_duration_seconds_bucket[1m]))")
        print("smokeping_requests_total 0 -> %d; %s = %r; lost share %r; median %r s"
              % (FED, RULE, answered, lost, median))
        assert abs(answered - ANSWERED / FED) < 1e-9 and abs(lost - 0.25) < 1e-9
        assert 0.0008 < median <= 0.0016, median  # the 1 ms bucket, so "le" was read
        targets = json.loads(fetch("http://127.0.0.1:%d/api/v1/targets" % prometheus.port))
        health = [(t["health"], t["lastError"]) for t in targets["data"]["activeTargets"]]
        assert health == [("up", "")], health


def check_node_exporter(binary, folder):
    with Driver(binary, textfile_dir=folder) as driver:
        driver.feed("answer 1200 57", "lost")
        port = free_port()
        exporter = spawn(["prometheus-node-exporter", "--web.listen-address=127.0.0.1:%d" % port,
                          "--collector.disable-defaults", "--collector.textfile",
                          "--web.disable-exporter-metrics",
                          "--collector.textfile.directory=" + folder])
        try:
            url = "http://127.0.0.1:%d/metrics" % port
            lines = wait_until(lambda: fetch(url), 20, "node_exporter", alive=exporter).splitlines()
            bucket = "smokeping_response_duration_seconds_bucket{%s,le=%%s} %%d" % TARGET_LABELS
            for line in ["smokeping_requests_total{%s} 2" % TARGET_LABELS,
                         "smokeping_response_ttl{%s} 57" % TARGET_LABELS,
                         bucket % ('"0.0008"', 0), bucket % ('"0.0016"', 1),
                         "node_textfile_scrape_error 0"]:
                assert line in lines, "node_exporter lacks %r:\n%s" % (line, "\n".join(lines))
            driver.feed("send")  # each scrape reads the file anew
            lines = fetch(url).splitlines()
            assert "smokeping_send_errors_total{%s} 1" % TARGET_LABELS in lines, lines
        finally:
            stop(exporter)
        assert driver.close() == 0, output_of(driver.proc)


def test(binary):
    require(shutil.which("prometheus") and shutil.which("prometheus-node-exporter"),
            "needs Debian's prometheus and prometheus-node-exporter (scripts/setup)")
    folder = tempfile.mkdtemp(prefix="zirko-scrapers-")
    try:
        with Driver(binary) as driver:
            check_prometheus(driver, folder)
            assert driver.close() == 0, output_of(driver.proc)
        os.mkdir(os.path.join(folder, "textfile"))
        check_node_exporter(binary, os.path.join(folder, "textfile"))
    finally:
        shutil.rmtree(folder)


if __name__ == "__main__":
    run_test(test)
