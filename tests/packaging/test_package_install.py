#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The .deb on a throwaway system: in a private mount and network namespace,
/usr, /etc and /var are overlays whose changes live in a tmpfs, so the
machine's own files and package database are never touched. There the package
is installed with apt (offline: its dependencies are those of the test
machine), its postinst grants the raw-socket right, an ordinary user made for
the test starts /usr/bin/zirko on the test desktop and sends a burst to
loopback (the namespace admits no unprivileged ICMP sockets, so only the
granted raw socket can answer), the log is found in that user's state folder,
zirko --headless serves /metrics from the installed endpoint module,
and after the package is purged nothing of it is left in /usr.
Usage: test_package_install.py DEB_FOLDER"""

import glob
import os
import re
import shutil
import signal
import stat
import subprocess
import sys
import tempfile

import zirko_e2e as e2e

USER_ID = 4321  # made only inside the overlay of /etc

# Runs as root inside the namespaces; the harness follows it through files in $1.
SCRIPT = r"""
set -eu
work=$1 deb=$2 uid=$3
ip link set lo up
mount -t tmpfs -o mode=0755 zirko-layers "$work/layers"
for top in usr etc var; do
  mkdir -p "$work/layers/$top/upper" "$work/layers/$top/work"
  mount -t overlay overlay \
    -o "lowerdir=/$top,upperdir=$work/layers/$top/upper,workdir=$work/layers/$top/work" "/$top"
done
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$deb" \
  > "$work/install.log" 2>&1
/usr/sbin/getcap /usr/libexec/zirko/zirko-socket > "$work/getcap"
/usr/sbin/getcap /usr/bin/zirko > "$work/getcap-window"
useradd --uid "$uid" --user-group --no-create-home --home-dir "$work/home" --shell /bin/sh zirkotest
mkdir -m 0755 "$work/home" && chown zirkotest:zirkotest "$work/home"
setpriv --reuid=zirkotest --regid=zirkotest --init-groups \
  env -i DISPLAY="$DISPLAY" HOME="$work/home" PATH=/usr/bin:/bin LANG=C.UTF-8 QT_QPA_PLATFORM=xcb \
  /usr/bin/zirko > "$work/zirko.out" 2>&1 &
echo $! > "$work/zirko.pid"
status=0
wait $! || status=$?
echo "$status" > "$work/zirko.exit"
# --metrics loads the endpoint's installed module; this run's log goes to a folder of its own.
mkdir -m 0700 "$work/headless-state" && chown zirkotest:zirkotest "$work/headless-state"
setpriv --reuid=zirkotest --regid=zirkotest --init-groups \
  env -i HOME="$work/home" XDG_STATE_HOME="$work/headless-state" PATH=/usr/bin:/bin LANG=C.UTF-8 \
  /usr/bin/zirko --headless --host 127.0.0.1 --metrics 127.0.0.1:9374 > "$work/headless.out" 2>&1 &
headless=$!
for attempt in $(seq 50); do
  curl -sf -o "$work/metrics" http://127.0.0.1:9374/metrics && break
  sleep 0.2
done
kill -TERM "$headless" && wait "$headless" || true
DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -q zirko > "$work/remove.log" 2>&1
dpkg-query -W zirko > "$work/dpkg-query" 2>&1 || true
# What the package left in /usr is exactly what the overlay's upper layer holds
# apart from folders (copied up when files were added beside the machine's own).
# The tmpfs goes with the namespace: note now which of them still name the package.
find "$work/layers/usr/upper" ! -type d | while read -r file; do
  if grep -qi zirko "$file"; then echo "$file names-zirko"; else echo "$file clean"; fi
done > "$work/left-in-usr"
touch "$work/done"
"""

REPLY = re.compile(r"bytes from 127\.0\.0\.1: icmp_seq=\d+ ttl=\d+ time(<1|=\d+) ms$")


def read(path):
    with open(path, "rb") as f:
        return f.read().decode("utf-8", errors="replace")


def click(desktop, window, x, y):
    desktop.run(["xdotool", "mousemove", "--window", str(window), str(x), str(y), "click", "1"])


def burst_to_loopback(desktop, window):
    # Window-relative places of the host field and "5 Ping" (fixed layout,
    # measured over AT-SPI; the user of the test has no accessibility bus).
    click(desktop, window, 222, 43)
    desktop.run(["xdotool", "key", "--window", str(window), "ctrl+a"])
    desktop.run(["xdotool", "type", "--window", str(window), "127.0.0.1"])
    click(desktop, window, 379, 43)


def zirko_windows(desktop, pid):
    found = desktop.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)], check=False)
    return [int(w) for w in found.split() if desktop.window_name(int(w)) == "Zirko"]


def test(deb_folder):
    e2e.require(os.geteuid() == 0, "needs root for mount namespaces and overlays")
    debs = glob.glob(os.path.join(deb_folder, "zirko_*.deb"))
    assert len(debs) == 1, debs
    work = tempfile.mkdtemp(prefix="zirko-package-", dir="/tmp")
    os.chmod(work, 0o755)
    os.mkdir(os.path.join(work, "layers"))
    namespace = None
    try:
        with e2e.Desktop(accessibility=False) as desktop:
            with open(os.path.join(work, "namespace.log"), "wb") as log:
                namespace = subprocess.Popen(
                    ["unshare", "--mount", "--net", "--propagation", "private",
                     "sh", "-c", SCRIPT, "sh", work, os.path.abspath(debs[0]), str(USER_ID)],
                    env=desktop.env, stdout=log, stderr=subprocess.STDOUT,
                    start_new_session=True, preexec_fn=e2e.die_with_harness)

            def file_there(name):
                return os.path.exists(os.path.join(work, name))

            e2e.wait_until(lambda: file_there("zirko.pid"), 240, "the package installed",
                           alive=namespace)
            installed = read(os.path.join(work, "install.log"))
            assert "Setting up zirko" in installed, installed
            assert "could not grant" not in installed, installed
            capabilities = read(os.path.join(work, "getcap"))
            assert "cap_net_raw=ep" in capabilities, capabilities
            # The window's own binary carries no right: only the helper does.
            window_caps = read(os.path.join(work, "getcap-window"))
            assert "cap_" not in window_caps, window_caps

            pid = int(read(os.path.join(work, "zirko.pid")))
            window = e2e.wait_until(lambda: (zirko_windows(desktop, pid) or [0])[0], 30,
                                    "the main window", alive=namespace)
            state = os.path.join(work, "home", ".local", "state", "zirko")
            log_path = os.path.join(state, "ZIRKO.LOG")
            assert os.path.exists(log_path), read(os.path.join(work, "zirko.out"))
            burst_to_loopback(desktop, window)
            e2e.wait_until(lambda: read(log_path).count("Ping result: ") >= 5, 30,
                           "five replies in the log", alive=namespace)
            desktop.run(["wmctrl", "-F", "-c", "Zirko"])
            e2e.wait_until(lambda: file_there("done"), 120, "the package removed",
                           alive=namespace)
            namespace.wait(timeout=10)

        assert read(os.path.join(work, "zirko.exit")).strip() == "0", read(
            os.path.join(work, "zirko.out"))
        text = read(log_path)
        replies = re.findall(r"Ping result: (.*?)\r\n", text)
        assert len(replies) == 5 and all(REPLY.search(r) for r in replies), text
        assert "ShutDown Agente of Zirko" in text, text
        for folder in (os.path.dirname(os.path.dirname(state)), os.path.dirname(state), state):
            info = os.stat(folder)
            assert info.st_uid == USER_ID and stat.S_IMODE(info.st_mode) == 0o700, (
                folder, info.st_uid, oct(info.st_mode))

        metrics = os.path.join(work, "metrics")
        assert os.path.exists(metrics) and "smokeping_requests_total" in read(metrics), read(
            os.path.join(work, "headless.out"))
        assert "Removing zirko" in read(os.path.join(work, "remove.log"))
        assert "no packages found" in read(os.path.join(work, "dpkg-query")).lower() or \
            read(os.path.join(work, "dpkg-query")).strip() == "", read(os.path.join(work, "dpkg-query"))
        upper = os.path.join(work, "layers", "usr", "upper")
        left = []
        for line in read(os.path.join(work, "left-in-usr")).splitlines():
            path, verdict = line.rsplit(" ", 1)
            machine_file = os.path.join("/usr", os.path.relpath(path, upper))
            # The machine's own caches, rebuilt by triggers, stay; without the package in them.
            if not os.path.exists(machine_file) or verdict != "clean":
                left.append(line)
        assert not left, "left in /usr after the purge: %s" % left
    finally:
        if namespace is not None and namespace.poll() is None:
            os.killpg(namespace.pid, signal.SIGKILL)
            namespace.wait()
        shutil.rmtree(work, ignore_errors=True)


def main():
    try:
        test(sys.argv[1])
    except e2e.Skip as why:
        print("SKIP:", why)
        sys.exit(77)
    except AssertionError as failure:
        print("FAIL:", failure)
        sys.exit(1)
    print("PASS")


if __name__ == "__main__":
    main()
