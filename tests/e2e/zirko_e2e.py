# SPDX-License-Identifier: GPL-3.0-or-later
"""End-to-end harness: the real zirko on a desktop of the test's own.

Each test gets its own Xvfb display, a private session D-Bus (which also
carries the accessibility bus, the one service it can start), optionally
icewm as window manager (its own notification area switched off) and trayer
as the XEmbed notification area.
The program is copied into a temporary folder and run from there, so its log
file lands in that folder. Everything is stopped and removed on exit, also
when the test fails.

Use from a test script:

    with zirko_e2e.Desktop() as desktop:
        app = desktop.start_zirko(folder)
        ...

Helpers: Desktop.start_zirko / application / find / find_all, value_label
(the value labels carry their shown text as accessible description),
text_of, press, showing, docked_icons, click_window, window_geometry,
taskbar_clients, wait_until, require (skip, or fail when CI=true), run_test
(exit status 0, 1, or 77 for a skip). Popup menus are not in Qt's
accessibility tree: drive them with the keyboard.

Only the standard library and pyatspi are used; pyatspi is imported after the
session bus exists, because it connects when imported.
"""

import os
import ctypes
import glob
import re
import select
import shutil
import signal
import subprocess
import sys
import traceback
import tempfile
import time

STEP = 0.05  # seconds between two looks at something that is expected to change


def wait_until(predicate, timeout=10.0, what="condition", alive=None):
    """Returns the first truthy value of predicate(), or raises after timeout
    (or as soon as the process alive, when given, has ended)."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if alive is not None and alive.poll() is not None:
            raise RuntimeError("%s ended (status %s) before %s" % (alive.args[0], alive.returncode, what))
        if time.monotonic() >= deadline:
            raise TimeoutError("timed out waiting for " + what)
        time.sleep(STEP)


def zirko_binary():
    """The built program: first argument, else $ZIRKO_BINARY."""
    path = sys.argv[1] if len(sys.argv) > 1 else os.environ.get("ZIRKO_BINARY", "")
    if not path or not os.access(path, os.X_OK):
        raise SystemExit("usage: %s PATH_TO_ZIRKO (or set ZIRKO_BINARY)" % sys.argv[0])
    return os.path.abspath(path)


def copy_modules(build, folder):
    """Zirko's modules (the plot, the /metrics endpoint) beside copies of the build
    tree's programs in folder: a build tree's program loads them from beside itself."""
    for module in glob.glob(os.path.join(build, "libzirko_*.so")):
        shutil.copy2(module, folder)


_PR_SET_PDEATHSIG = 1


def die_with_harness():
    # Runs in each child before exec: if the harness is killed (a CTest
    # timeout), the child gets SIGTERM instead of outliving it.
    ctypes.CDLL(None, use_errno=True).prctl(_PR_SET_PDEATHSIG, signal.SIGTERM)


def _terminate_on_signal(signum, frame):
    raise SystemExit(128 + signum)


# SIGTERM and SIGINT unwind through the with-blocks, so cleanup runs.
signal.signal(signal.SIGTERM, _terminate_on_signal)
signal.signal(signal.SIGINT, _terminate_on_signal)


def _without_strict_strings(options):
    # Qt's X11 plugin hands libxkbcommon-x11 length-bounded names that strndup
    # reads correctly; strict_string_checks reports that as an overflow and
    # stops a sanitized zirko before its window appears (seen here).
    kept = [o for o in options.split(":") if o and not o.startswith("strict_string_checks=")]
    return ":".join(kept + ["strict_string_checks=0"])


_A11Y_SERVICE = "/usr/share/dbus-1/services/org.a11y.Bus.service"
_BUS_CONFIG = """<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=%s</listen>
  <auth>EXTERNAL</auth>
  <servicedir>%s</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""


class ZirkoProcess:
    """One running copy of zirko."""

    def __init__(self, desktop, folder, popen, errors=None):
        self.desktop = desktop
        self.folder = folder
        self.popen = popen
        self.errors = errors

    @property
    def pid(self):
        return self.popen.pid

    def running(self):
        return self.popen.poll() is None

    def wait_exit(self, timeout=15.0):
        """The exit code; raises if the program is still running after timeout."""
        return self.popen.wait(timeout=timeout)

    def error_text(self, last=4000):
        """The end of what the program wrote to its standard error (a sanitizer's report)."""
        if not self.errors or not os.path.exists(self.errors):
            return ""
        with open(self.errors, "rb") as text:
            return text.read().decode("utf-8", errors="replace")[-last:]

    def log_text(self):
        path = os.path.join(self.folder, "ZIRKO.LOG")
        if not os.path.exists(path):
            return ""
        with open(path, "rb") as log:
            return log.read().decode("utf-8", errors="replace")

    def windows(self, title=None, visible_only=True):
        """X window ids of this process, optionally those with exactly this title."""
        args = ["xdotool", "search"]
        if visible_only:
            args.append("--onlyvisible")
        args += ["--pid", str(self.pid)]
        ids = [int(w) for w in self.desktop.run(args, check=False).split()]
        if title is None:
            return ids
        # xdotool matches names without regard to case; "zirko" is also the tray icon.
        return [w for w in ids if self.desktop.window_name(w) == title]

    def main_window(self, timeout=10.0):
        return wait_until(
            lambda: (self.windows("Zirko") or [None])[0], timeout, "the main window"
        )

    def stop(self):
        if self.running():
            self.popen.terminate()
            try:
                self.popen.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.popen.kill()
                self.popen.wait(timeout=5)


class Desktop:
    """An X display with a session bus, a window manager and a tray."""

    def __init__(self, window_manager=True, tray=True, accessibility=True, size="1024x768"):
        self.window_manager = window_manager
        self.tray = tray
        self.accessibility = accessibility
        self.size = size
        self.display = None
        self.env = None
        self.workdir = None
        self._processes = []
        self._programs = []
        self._dbus_pid = None
        self._atspi = None

    # -- life cycle ---------------------------------------------------------

    def __enter__(self):
        try:
            self.start()
        except BaseException:
            self.stop()
            raise
        return self

    def __exit__(self, *exc):
        self.stop()
        return False

    def start(self):
        self.workdir = tempfile.mkdtemp(prefix="zirko-e2e-")
        self._start_x()
        self.env = dict(os.environ)
        self.env.update(
            {
                "DISPLAY": ":%d" % self.display,
                "HOME": self.workdir,
                "XDG_RUNTIME_DIR": self._private_dir("runtime"),
                "XDG_CONFIG_HOME": self._private_dir("config"),
                "QT_QPA_PLATFORM": "xcb",
                "NO_AT_BRIDGE": "0",
            }
        )
        for name in ("DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER", "WAYLAND_DISPLAY"):
            self.env.pop(name, None)
        # The window speaks the code's texts, which the tests look for, whatever the
        # formats' locale, unless a test asks for a language (LANGUAGE in its extra_env).
        self.env["LANGUAGE"] = "C"
        self.env["ASAN_OPTIONS"] = _without_strict_strings(self.env.get("ASAN_OPTIONS", ""))
        self._start_session_bus()
        if self.window_manager:
            self._start_window_manager()
        if self.tray:
            self._start_tray()

    def stop(self):
        for program in reversed(self._programs):
            try:
                program.stop()
            except Exception:  # keep cleaning up
                pass
        for proc in reversed(self._processes):
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait(timeout=5)
        self._processes = []
        if self._dbus_pid:
            try:
                os.kill(self._dbus_pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            self._dbus_pid = None
        if self.workdir and not os.environ.get("ZIRKO_E2E_KEEP"):
            shutil.rmtree(self.workdir, ignore_errors=True)
            self.workdir = None

    def _private_dir(self, name):
        path = os.path.join(self.workdir, name)
        os.makedirs(path, mode=0o700, exist_ok=True)
        return path

    def _spawn(self, args, env=None, log=None):
        output = open(log, "wb") if log else subprocess.DEVNULL
        proc = subprocess.Popen(
            args,
            env=env if env is not None else self.env,
            stdout=output,
            stderr=output,
            start_new_session=True,
            preexec_fn=die_with_harness,
        )
        if log:
            output.close()
        self._processes.append(proc)
        return proc

    def _start_x(self):
        # Xvfb picks a free display itself and names it once it takes connections.
        # -noreset: a server reset after the last client leaves refuses the
        # connections that arrive meanwhile (icewm failing to start, seen here).
        read_end, write_end = os.pipe()
        try:
            proc = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", self.size + "x24",
                 "-nolisten", "tcp", "-noreset"],
                stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL,
                pass_fds=(write_end,),
                start_new_session=True,
                preexec_fn=die_with_harness,
            )
            self._processes.append(proc)
            os.close(write_end)
            write_end = -1
            number = b""
            deadline = time.monotonic() + 30
            while not number.endswith(b"\n") and time.monotonic() < deadline:
                ready, _, _ = select.select([read_end], [], [], 1.0)
                if ready:
                    chunk = os.read(read_end, 16)
                    if not chunk:
                        break
                    number += chunk
        finally:
            os.close(read_end)
            if write_end >= 0:
                os.close(write_end)
        if not number.strip().isdigit():
            raise RuntimeError("Xvfb did not start")
        self.display = int(number)

    def _bus_config(self):
        # The bus starts no service but the accessibility bus: a notification
        # daemon that happens to be installed never comes up behind a test's
        # back; a test that wants one starts it.
        services = self._private_dir("dbus-services")
        if os.path.exists(_A11Y_SERVICE):
            shutil.copy(_A11Y_SERVICE, services)
        path = os.path.join(self.workdir, "session.conf")
        with open(path, "w") as config:
            config.write(_BUS_CONFIG % (self.workdir, services))
        return path

    def _start_session_bus(self):
        out = subprocess.run(
            # The bus ends with the X server, also when this harness is killed.
            ["dbus-launch", "--sh-syntax", "--exit-with-x11",
             "--config-file=" + self._bus_config()],
            env=self.env,
            check=True,
            capture_output=True,
            text=True,
            timeout=10,
        ).stdout
        address = re.search(r"DBUS_SESSION_BUS_ADDRESS='([^']*)'", out).group(1)
        self._dbus_pid = int(re.search(r"DBUS_SESSION_BUS_PID=(\d+)", out).group(1))
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        if self.accessibility:
            self.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
            # The accessibility bus comes up on the session bus when first asked for.
            self.run(
                [
                    "dbus-send",
                    "--session",
                    "--print-reply",
                    "--dest=org.a11y.Bus",
                    "/org/a11y/bus",
                    "org.a11y.Bus.GetAddress",
                ]
            )

    def _start_window_manager(self):
        config = self._private_dir("icewm")
        with open(os.path.join(config, "preferences"), "w") as prefs:
            # trayer is the notification area; icewm keeps its taskbar.
            prefs.write("TaskBarEnableSystemTray=0\nShowTaskBar=1\nTaskBarShowClock=0\n")
        env = dict(self.env, ICEWM_PRIVCFG=config)
        log = os.path.join(self.workdir, "icewm.log")
        wm = self._spawn(["icewm"], env, log=log)
        wait_until(
            lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in self.run(
                ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check=False
            ),
            30,
            "icewm",
            alive=wm,
        )

    def _start_tray(self):
        self._spawn(
            ["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "pixel",
             "--width", "120", "--height", "24", "--transparent", "false", "--SetDockType",
             "true", "--SetPartialStrut", "true"]
        )
        wait_until(lambda: self.tray_owner() != 0, 30, "trayer to own the notification area")

    # -- helpers ------------------------------------------------------------

    def run(self, args, check=True, timeout=10):
        result = subprocess.run(
            args, env=self.env, capture_output=True, text=True, timeout=timeout
        )
        if check and result.returncode != 0:
            raise RuntimeError("%s failed: %s" % (" ".join(args), result.stderr.strip()))
        return result.stdout

    def tray_owner(self):
        """trayer's panel window, 0 while there is none."""
        out = self.run(
            ["xdotool", "search", "--classname", "^panel$"], check=False
        ).split()
        return int(out[0]) if out else 0

    def docked_icons(self, class_name="zirko"):
        """Ids of the windows of class_name docked in trayer's panel."""
        tree = self.run(["xwininfo", "-root", "-tree"], check=False).splitlines()
        icons = []
        panel_depth = None  # indentation of the panel while inside its subtree
        for line in tree:
            depth = len(line) - len(line.lstrip(" "))
            if panel_depth is not None and depth <= panel_depth:
                panel_depth = None
            if panel_depth is None:
                if '("panel" ' in line:
                    panel_depth = depth
                continue
            if '("%s" ' % class_name in line.lower():
                icons.append(int(line.split()[0], 16))
        return icons

    def window_geometry(self, window):
        """(x, y, width, height) of a window, x and y on the screen."""
        out = self.run(["xwininfo", "-id", str(window)])

        def field(label):
            return int(re.search(label + r":\s+(-?\d+)", out).group(1))

        return (field("Absolute upper-left X"), field("Absolute upper-left Y"),
                field("Width"), field("Height"))

    def click_window(self, window, button=1):
        x, y, width, height = self.window_geometry(window)
        self.run(["xdotool", "mousemove", str(x + width // 2), str(y + height // 2)])
        time.sleep(0.1)
        self.run(["xdotool", "click", str(button)])

    def window_name(self, window):
        return self.run(["xdotool", "getwindowname", str(window)], check=False).rstrip("\n")

    def taskbar_clients(self):
        """Window ids in the window manager's client list (its taskbar)."""
        out = self.run(["xprop", "-root", "_NET_CLIENT_LIST"], check=False)
        return [int(w, 16) for w in re.findall(r"0x[0-9a-f]+", out)]

    def adopt(self, program):
        """Lets the desktop stop a program started elsewhere when it stops."""
        self._programs.append(program)
        return program

    def start_zirko(self, folder, binary=None, name="zirko", extra_env=None, hosts=None):
        """Copies the program into folder (unless it is there) and starts it.

        With hosts, (address, name) pairs, it runs in a mount namespace of its own
        whose /etc/hosts holds just those and whose lookups never ask a name server
        (it looks up the names of the addresses it meets)."""
        target = os.path.join(folder, name)
        if not os.path.exists(target):
            shutil.copy2(binary or zirko_binary(), target)
            copy_modules(os.path.dirname(binary or zirko_binary()), folder)
        # Its messages go to a file: a pipe nobody reads would stall it when full.
        errors_path = os.path.join(self.workdir, "zirko-%d.stderr" % len(self._programs))
        errors = open(errors_path, "wb")
        popen = subprocess.Popen(
            self._names_only_from(hosts) + [target] if hosts is not None else [target],
            cwd=folder,
            env=dict(self.env, **(extra_env or {})),
            stdout=subprocess.DEVNULL,
            stderr=errors,
            start_new_session=True,
            preexec_fn=die_with_harness,
        )
        errors.close()
        program = ZirkoProcess(self, folder, popen, errors_path)
        self._programs.append(program)
        return program

    def _names_only_from(self, hosts):
        """The command that runs a program with names from these pairs alone."""
        hosts_path = os.path.join(self.workdir, "hosts-%d" % len(self._programs))
        with open(hosts_path, "w") as out:
            out.write("127.0.0.1 localhost\n")
            out.writelines("%s %s\n" % pair for pair in hosts)
        with open("/etc/nsswitch.conf") as machine:
            lines = [l for l in machine.read().splitlines() if not l.startswith("hosts:")]
        nss_path = hosts_path + ".nsswitch"
        with open(nss_path, "w") as out:
            out.write("\n".join(lines + ["hosts: files", ""]))
        # unshare and sh exec in turn: the program keeps the pid Popen gives.
        script = 'mount --bind "$1" /etc/hosts && mount --bind "$2" /etc/nsswitch.conf && exec "$3"'
        return ["unshare", "--mount", "--propagation", "private", "sh", "-c", script, "sh",
                hosts_path, nss_path]

    # -- accessibility ------------------------------------------------------

    def atspi(self):
        """The pyatspi module, connected to this desktop's accessibility bus."""
        if self._atspi is None:
            os.environ["DBUS_SESSION_BUS_ADDRESS"] = self.env["DBUS_SESSION_BUS_ADDRESS"]
            os.environ["DISPLAY"] = self.env["DISPLAY"]
            import pyatspi  # connects now, to the bus set above

            self._atspi = pyatspi
        return self._atspi

    def application(self, program, timeout=15.0):
        """The accessible application object of a running zirko."""
        pyatspi = self.atspi()

        def find():
            desktop = pyatspi.Registry.getDesktop(0)
            for index in range(desktop.childCount):
                app = desktop.getChildAtIndex(index)
                try:
                    if app is not None and app.get_process_id() == program.pid:
                        return app
                except Exception:
                    continue
            return None

        return wait_until(find, timeout, "zirko on the accessibility bus")

    def find(self, root, role=None, name=None, timeout=10.0):
        """First accessible below root with the role name and accessible name given."""
        def search():
            # Without an event loop the client cache misses new windows (menus).
            _forget_cache(root)
            return _find_accessible(root, role, name)

        return wait_until(search, timeout, "accessible %s %r" % (role, name))

    def find_all(self, root, role=None, name=None):
        found = []
        _walk(root, lambda node: found.append(node) if _matches(node, role, name) else None)
        return found


def _forget_cache(node):
    try:
        node.clear_cache()
    except Exception:
        pass


def _matches(node, role, name):
    try:
        if role is not None and node.getRoleName() != role:
            return False
        if name is not None and node.name != name:
            return False
        return True
    except Exception:
        return False


def _walk(node, visit, depth=0):
    if node is None or depth > 40:
        return
    visit(node)
    try:
        count = node.childCount
    except Exception:
        return
    for index in range(min(count, 500)):
        try:
            child = node.getChildAtIndex(index)
        except Exception:
            continue
        _walk(child, visit, depth + 1)


def _find_accessible(root, role, name):
    result = []

    def visit(node):
        if not result and _matches(node, role, name):
            result.append(node)

    _walk(root, visit)
    return result[0] if result else None


def value_label(app_finder, app, caption):
    """The value label announced as caption, not the caption label itself: it
    is the one labelled by another, and carries its shown text as its
    accessible description."""
    import pyatspi

    def search():
        for node in app_finder.find_all(app, "label", caption):
            relations = node.getRelationSet() or []
            if any(r.getRelationType() == pyatspi.RELATION_LABELLED_BY for r in relations):
                return node
        return None

    return wait_until(search, 10, "value label %r" % caption)


def showing(accessible):
    states = accessible.getState()
    return states.contains(_state("STATE_SHOWING")) and states.contains(_state("STATE_VISIBLE"))


def _state(name):
    import pyatspi

    return getattr(pyatspi, name)


def text_of(accessible):
    """The whole text of an accessible that has a Text interface."""
    text = accessible.queryText()
    return text.getText(0, text.characterCount)


def press(accessible):
    """Runs the first action (press/click) of an accessible."""
    action = accessible.queryAction()
    action.doAction(0)


SKIP = 77  # the exit status CTest reports as a skip


class Skip(Exception):
    pass


def require(condition, why):
    """Skips the test when condition is false; in CI (CI=true) that is a failure."""
    if not condition:
        if os.environ.get("CI") == "true":
            raise AssertionError("required in CI: " + why)
        raise Skip(why)


def run_test(test_function):
    """Runs one test function and turns its outcome into the exit status."""
    try:
        test_function(zirko_binary())
    except Skip as why:
        print("SKIP:", why)
        sys.exit(SKIP)
    except AssertionError as failure:
        traceback.print_exc()
        print("FAIL:", failure)
        sys.exit(1)
    print("PASS")
    sys.exit(0)
