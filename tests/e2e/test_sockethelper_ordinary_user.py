#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""An ordinary user (uid 65534) runs Zirko from a folder of its own, where only
the helper zirko-socket carries cap_net_raw, inside a network namespace of the
test's own that holds nothing but loopback. "5 Ping" to 127.0.0.1 gives five
replies from 127.0.0.1 with the reply's ttl=64, through the helper: the
namespace admits no group to datagram sockets, and our own echo request,
which a raw socket reads first on loopback, is never taken for the answer.
The window's capability sets are
empty, so are its helper's once its sockets are open, and a SIGKILL of the
window takes the helper with it."""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

import zirko_e2e as e2e

NOBODY = 65534
LINE = re.compile(r"Ping result: .*\\72 bytes from 127\.0\.0\.1: icmp_seq=\d+ ttl=64 time")


def status_field(pid, key):
    try:
        with open("/proc/%d/status" % pid) as status:
            for line in status:
                if line.startswith(key + ":"):
                    return line.split(":", 1)[1].strip()
    except FileNotFoundError:
        pass
    return ""


def children(pid):
    try:
        with open("/proc/%d/task/%d/children" % (pid, pid)) as listed:
            return [int(p) for p in listed.read().split()]
    except FileNotFoundError:
        return []


def test(binary):
    e2e.require(os.geteuid() == 0, "needs root to set capabilities and change user")
    helper = os.path.join(os.path.dirname(binary), "zirko-socket")
    folder = tempfile.mkdtemp(prefix="zirko-nobody-")
    # Whatever the window is made to ping, nothing leaves this namespace.
    namespace = "zirko-e2e-nobody-%d" % os.getpid()
    subprocess.run(["ip", "netns", "add", namespace], check=True)
    try:
        subprocess.run(["ip", "-n", namespace, "link", "set", "lo", "up"], check=True)
        os.chmod(folder, 0o755)
        for program in (binary, helper):
            shutil.copy2(program, folder)
        subprocess.run(["setcap", "cap_net_raw+ep", os.path.join(folder, "zirko-socket")],
                       check=True)
        os.chown(folder, NOBODY, NOBODY)
        with e2e.Desktop(accessibility=False) as desktop:
            env = {"DISPLAY": desktop.env["DISPLAY"], "HOME": folder,
                   "XDG_RUNTIME_DIR": os.path.join(folder, "run"), "QT_QPA_PLATFORM": "xcb",
                   "PATH": "/usr/bin:/bin"}
            errors = open(os.path.join(desktop.workdir, "zirko.stderr"), "wb")
            popen = subprocess.Popen(
                ["ip", "netns", "exec", namespace, "setpriv", "--reuid=%d" % NOBODY, "--regid=%d" % NOBODY, "--clear-groups",
                 os.path.join(folder, "zirko")],
                cwd=folder, env=env, stdout=subprocess.DEVNULL, stderr=errors,
                start_new_session=True, preexec_fn=e2e.die_with_harness)
            errors.close()
            zirko = desktop.adopt(e2e.ZirkoProcess(desktop, folder, popen))
            window = zirko.main_window()

            assert status_field(zirko.pid, "CapPrm") == "0000000000000000"
            assert status_field(zirko.pid, "CapEff") == "0000000000000000"
            helpers = e2e.wait_until(lambda: children(zirko.pid), 5, "the helper")
            assert len(helpers) == 1, helpers
            # Until its first steps have run, the helper holds what its file capability gave.
            e2e.wait_until(lambda: status_field(helpers[0], "CapEff") == "0000000000000000", 5,
                           "the helper's effective set emptied")
            # Its raw sockets open, it keeps no capability at all.
            assert status_field(helpers[0], "CapPrm") == "0000000000000000"

            # The first tab stop is the host field, the next one "5 Ping".
            desktop.run(["xdotool", "windowactivate", "--sync", str(window)])
            desktop.run(["xdotool", "key", "Tab", "ctrl+a"])
            desktop.run(["xdotool", "type", "127.0.0.1"])
            desktop.run(["xdotool", "key", "Tab", "space"])
            e2e.wait_until(lambda: len(re.findall("Ping result", zirko.log_text())) == 5, 20,
                           "five pings in the log", alive=popen)
            lines = [l for l in zirko.log_text().split("\r\n") if "Ping result" in l]
            assert all(LINE.search(l) for l in lines), lines

            os.kill(zirko.pid, signal.SIGKILL)
            popen.wait(timeout=5)
            deadline = time.monotonic() + 3
            while status_field(helpers[0], "State")[:1] not in ("", "Z"):
                assert time.monotonic() < deadline, "orphan helper %d" % helpers[0]
                time.sleep(0.05)
    finally:
        subprocess.run(["ip", "netns", "del", namespace], check=False)
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    e2e.run_test(test)
