# SPDX-License-Identifier: GPL-3.0-or-later
"""Helpers of the metrics tests: the registry driver (MetricsDriver.cpp) on a loopback
port of its own, HTTP to it, and child processes that end with the test. Waiting,
skipping and the exit status come from the end-to-end harness (tests/e2e/zirko_e2e.py)."""

import json
import os
import select
import socket
import subprocess
import sys
import tempfile
import urllib.error
import urllib.parse
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from zirko_e2e import die_with_harness, require, run_test, wait_until  # noqa: E402,F401

# What Prometheus 2.42 sends when it scrapes.
PROMETHEUS_ACCEPT = ("application/openmetrics-text;version=1.0.0,application/openmetrics-text;"
                     "version=0.0.1;q=0.75,text/plain;version=0.0.4;q=0.5,*/*;q=0.1")
TARGET_LABELS = 'host="peer.invalid",ip="127.0.0.1",source=""'


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def spawn(args, **kw):
    """A child that gets SIGTERM should the test die first; its output in proc.log."""
    log = tempfile.TemporaryFile()
    proc = subprocess.Popen(args, stdout=kw.pop("stdout", log), stderr=log,
                            preexec_fn=die_with_harness, **kw)
    proc.log = log
    return proc


def output_of(proc):
    proc.log.seek(0)
    return proc.log.read().decode("utf-8", "replace")[-3000:]


def stop(proc):
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait(timeout=10)
    return proc.returncode


class Prometheus:
    """Debian's Prometheus on a loopback port of its own, scraping one target every
    second, its storage in Folder; query() reads one value through its HTTP API."""

    def __init__(self, target_port, folder):
        self.port = free_port()
        config = os.path.join(folder, "prometheus.yml")
        with open(config, "w") as out:
            out.write("global: {scrape_interval: 1s, scrape_timeout: 1s}\n"
                      "scrape_configs: [{job_name: zirko, static_configs: "
                      "[{targets: ['127.0.0.1:%d']}]}]\n" % target_port)
        self.proc = spawn(["prometheus", "--config.file=" + config, "--log.level=warn",
                           "--storage.tsdb.path=" + os.path.join(folder, "data"),
                           "--web.listen-address=127.0.0.1:%d" % self.port])

    def query(self, expression):
        """The one value of an instant query; None while it has none or nobody answers."""
        text = fetch("http://127.0.0.1:%d/api/v1/query?query=%s"
                     % (self.port, urllib.parse.quote(expression)))
        result = json.loads(text)["data"]["result"] if text else []
        return float(result[0]["value"][1]) if len(result) == 1 else None

    def wait(self, expression, value, timeout, what):
        return wait_until(lambda: self.query(expression) == value, timeout, what,
                          alive=self.proc)

    def __enter__(self):
        self.wait('up{job="zirko"}', 1, 30, "a first scrape")
        return self

    def __exit__(self, *exc):
        stop(self.proc)
        return False


class Driver:
    """The driver serving a registry; feed() applies lines, each answered "ok"."""

    def __init__(self, binary, textfile_dir=None, env=None):
        args = [binary, "0"] + ([textfile_dir] if textfile_dir else [])
        self.proc = spawn(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=env)
        first = self._line()
        assert first.startswith("port "), "driver: %r %s" % (first, output_of(self.proc))
        self.port = int(first.split()[1])

    def _line(self):
        ready, _, _ = select.select([self.proc.stdout], [], [], 10)
        return self.proc.stdout.readline().decode().strip() if ready else ""

    def feed(self, *lines):
        for line in lines:
            self.proc.stdin.write((line + "\n").encode())
            self.proc.stdin.flush()
            assert self._line() == "ok", "driver refused %r: %s" % (line, output_of(self.proc))

    def rss_kb(self):
        with open("/proc/%d/status" % self.proc.pid) as status:
            return int(status.read().split("VmRSS:")[1].split()[0])

    def close(self):
        """Ends the driver as the program ends (input closed); its exit status."""
        if self.proc.poll() is None:
            self.proc.stdin.close()
            try:
                self.proc.wait(timeout=20)
            except subprocess.TimeoutExpired:
                stop(self.proc)
        return self.proc.returncode

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def http(port, request, timeout=5.0):
    """Raw request bytes; (status, lower-case headers, body), or None when the connection
    was refused, closed or reset without an answer."""
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
            s.sendall(request)
            return read_answer(s)
    except (ConnectionRefusedError, ConnectionResetError, BrokenPipeError):
        return None


def read_answer(s):
    """The next answer on s as http() gives it; None when the server closed s first."""
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = s.recv(65536)
        if not chunk:
            return None
        data += chunk
    head, body = data.split(b"\r\n\r\n", 1)
    lines = head.decode("latin-1").split("\r\n")
    headers = dict((k.strip().lower(), v.strip()) for k, v in
                   (line.split(":", 1) for line in lines[1:]))
    while len(body) < int(headers.get("content-length", "0")):
        body += s.recv(65536) or b"!"  # a short body fails the caller's checks
    return int(lines[0].split()[1]), headers, body.decode("utf-8")


def get(port, path="/metrics", method="GET", accept=None):
    extra = "Accept: %s\r\n" % accept if accept else ""
    return http(port, ("%s %s HTTP/1.1\r\nHost: 127.0.0.1\r\n%s\r\n" % (method, path, extra))
                .encode())


def fetch(url):
    """GET through urllib (chunked answers too, no proxy from the environment); the
    body, or None while nothing listens there yet or it is not ready (Prometheus
    answers 503 while it starts)."""
    opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
    try:
        with opener.open(url, timeout=5) as answer:
            return answer.read().decode()
    except urllib.error.HTTPError as error:
        if error.code == 503:
            return None
        raise
    except urllib.error.URLError as error:
        if isinstance(error.reason, ConnectionRefusedError):
            return None
        raise
    except (ConnectionRefusedError, ConnectionResetError):
        return None
