#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The /metrics endpoint from outside: answers, content negotiation (in a locale with
a decimal comma), other paths and methods, a port that is taken, kept-alive scrapers
that would hold every place, and hostile clients (oversized headers, a client that
sends a byte a second, a flood of connections) after which it still answers and its
memory stays flat. Usage: test_metrics_endpoint.py PATH_TO_METRICS_DRIVER"""

import os
import socket
import threading
import time

from metrics_helpers import (PROMETHEUS_ACCEPT, TARGET_LABELS, Driver, get, http, output_of,
                             read_answer, run_test, spawn, wait_until)

TEXT = "text/plain; version=0.0.4; charset=utf-8"
OPEN_METRICS = "application/openmetrics-text; version=1.0.0; charset=utf-8"
REQUESTS = "smokeping_requests_total{%s} 2\n" % TARGET_LABELS

ROWS = [  # method, path, Accept, status, content type, text the body holds
    ("GET", "/metrics", None, 200, TEXT, REQUESTS),
    ("GET", "/metrics?x=1", "text/plain;version=0.0.4", 200, TEXT, REQUESTS),
    ("GET", "/metrics", PROMETHEUS_ACCEPT, 200, OPEN_METRICS, REQUESTS),
    ("GET", "/metrics", "application/openmetrics-text;version=0.0.1", 200, TEXT, REQUESTS),
    ("GET", "/metrics", "text/plain;q=0.5,application/openmetrics-text;q=0.6", 200, OPEN_METRICS,
     REQUESTS),
    ("POST", "/metrics", None, 405, None, ""),
    ("DELETE", "/metrics", None, 405, None, ""),
    ("GET", "/", None, 404, None, ""),
    ("GET", "/metrics/x", None, 404, None, ""),
    ("GET", "/../metrics.prom", None, 404, None, ""),
]


def check_answers(port):
    for method, path, accept, status, content_type, holds in ROWS:
        row = "%s %s (%s)" % (method, path, accept)
        answer = get(port, path, method, accept)
        assert answer is not None, row + ": no answer"
        assert answer[0] == status, "%s: status %d" % (row, answer[0])
        if content_type:
            assert answer[1]["content-type"] == content_type, row + ": " + answer[1]["content-type"]
        assert holds in answer[2], row + ": body lacks " + holds
        if status == 405:
            assert answer[1].get("allow") == "GET", row + ": no Allow: GET"
        open_metrics = content_type == OPEN_METRICS
        assert answer[2].endswith("# EOF\n") == open_metrics, row + ": # EOF"
        assert ("# TYPE smokeping_requests counter\n" in answer[2]) == open_metrics, row


def closed_without_answer(port, request, within):
    """True when the server closes on the request before `within` seconds, answerless."""
    started = time.monotonic()
    return http(port, request, within + 2) is None and time.monotonic() - started < within


def slow_client(port, outcome):
    """A byte a second of a valid request: how long the server let it go on."""
    started = time.monotonic()
    request = b"GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"
    with socket.create_connection(("127.0.0.1", port), timeout=15) as s:
        try:
            for byte in request:
                s.send(bytes([byte]))
                time.sleep(1)
            outcome["answer"] = s.recv(100)
        except (ConnectionResetError, BrokenPipeError):
            pass
    outcome["seconds"] = time.monotonic() - started


def flood(port, count=200):
    """count connections at once, each asking once; how many got an answer."""
    sockets = [socket.create_connection(("127.0.0.1", port), timeout=5) for _ in range(count)]
    answered = 0
    for s in sockets:
        try:
            s.sendall(b"GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
            answered += s.recv(12) == b"HTTP/1.1 200"
        except (ConnectionResetError, BrokenPipeError, socket.timeout):
            pass
    for s in sockets:
        s.close()
    return answered


LIFETIME = 10  # seconds: TMetricsServer::TLimits::Lifetime


def scrape_every_4s(port, stop, answers):
    """A kept-alive scraper: one connection, a new one once the server closed it."""
    s = None
    while not stop.wait(4 if answers else 0):
        try:
            s = s or socket.create_connection(("127.0.0.1", port), timeout=5)
            s.sendall(b"GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
            answers.append(read_answer(s))
        except OSError:
            answers.append(None)
        if answers[-1] is None:
            s = s and s.close()
    if s:
        s.close()


def check_kept_alive_scrapers(port):
    """16 kept-alive scrapers hold every place; a seventeenth client, retrying, is
    answered within a connection's lifetime."""
    stop, answers = threading.Event(), [[] for _ in range(16)]
    threads = [threading.Thread(target=scrape_every_4s, args=(port, stop, a)) for a in answers]
    for thread in threads:
        thread.start()
        time.sleep(0.25)
    try:
        wait_until(lambda: all(any(a) for a in answers), 5, "an answer to each scraper")
        started = time.monotonic()
        assert get(port) is None, "a seventeenth client got in beside 16 scrapers"
        wait_until(lambda: get(port), LIFETIME + 1, "an answer to a seventeenth client")
        print("seventeenth client answered after %.1f s" % (time.monotonic() - started))
    finally:
        stop.set()
        for thread in threads:
            thread.join(10)


def hostile_round(port):
    big_line = b"GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Big: " + b"a" * 65536 + b"\r\n\r\n"
    many_lines = b"GET /metrics HTTP/1.1\r\n" + b"X-A: b\r\n" * 20000 + b"\r\n"
    assert closed_without_answer(port, big_line, 1.0), "a 64 KiB header line was not refused"
    assert closed_without_answer(port, many_lines, 1.0), "20,000 header lines were not refused"
    answered = flood(port)
    assert 1 <= answered < 200, "flood: %d of 200 answered" % answered
    # Its closed connections free their places as the server sees them go.
    answer = wait_until(lambda: get(port), 3, "an answer after the flood")
    assert answer[0] == 200, "status %d after the flood" % answer[0]


def check_taken_port(binary, port):
    second = spawn([binary, str(port)])
    assert second.wait(timeout=20) == 2, "a second driver on a taken port did not exit 2"
    assert "cannot listen on 127.0.0.1:%d" % port in output_of(second), output_of(second)


def test(binary):
    # ASan keeps freed memory in quarantine, which would read as growth.
    env = dict(os.environ)
    env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":quarantine_size_mb=0"
    env["LC_ALL"] = "it_IT.UTF-8"  # a decimal comma: q values must not follow it
    with Driver(binary, env=env) as driver:
        driver.feed("answer 120 64", "lost")
        check_answers(driver.port)
        check_kept_alive_scrapers(driver.port)
        check_taken_port(binary, driver.port)

        outcome = {}
        slow = threading.Thread(target=slow_client, args=(driver.port, outcome))
        slow.start()
        time.sleep(2)
        assert get(driver.port)[0] == 200, "no answer beside the slow client"
        slow.join(20)
        assert "answer" not in outcome and 4 <= outcome["seconds"] <= 8, outcome

        hostile_round(driver.port)  # the first round's allocations are kept for reuse
        before = driver.rss_kb()
        for _ in range(5):
            hostile_round(driver.port)
        after = driver.rss_kb()
        print("resident memory after one hostile round %d kB, after six %d kB" % (before, after))
        assert after - before <= 4096, "memory grew by %d kB" % (after - before)
        status = driver.close()
        assert status == 0, "driver ended with %s: %s" % (status, output_of(driver.proc))


if __name__ == "__main__":
    run_test(test)
