# SPDX-License-Identifier: GPL-3.0-or-later
"""A headless Wayland session for the end-to-end tests: weston on a socket
of the test's own, with XWayland when asked for, a private runtime folder
and a private session bus (with the accessibility bus on it). It stands in
for zirko_e2e.Desktop, whose helpers it keeps.

    with wayland_session.WaylandDesktop(xwayland=True) as desktop:
        zirko = desktop.start_zirko(folder)
"""

import ctypes
import ctypes.util
import os
import re
import shutil
import tempfile

import zirko_e2e as e2e

PLATFORM_PLUGINS = {"wayland": "libqwayland-", "xcb": "libqxcb.so"}


class WaylandDesktop(e2e.Desktop):
    def __init__(self, xwayland=True, accessibility=True):
        super().__init__(window_manager=False, tray=False, accessibility=accessibility)
        self.xwayland = xwayland
        self.socket = "zirko-e2e-%d" % os.getpid()

    def start(self):
        e2e.require(shutil.which("weston") and (not self.xwayland or shutil.which("Xwayland")),
                    "needs weston and Xwayland (scripts/setup installs them)")
        self.workdir = tempfile.mkdtemp(prefix="zirko-e2e-")
        runtime = self._private_dir("runtime")
        self.env = dict(os.environ)
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS",
                     "SESSION_MANAGER"):
            self.env.pop(name, None)
        self.env.update({
            "HOME": self.workdir,
            "XDG_RUNTIME_DIR": runtime,
            "XDG_CONFIG_HOME": self._private_dir("config"),
            "XDG_SESSION_TYPE": "wayland",
            "NO_AT_BRIDGE": "0",
        })
        # Mesa's EGL, which Qt's Wayland plugin starts, unloads its driver
        # before the leak check; only the slow unwinder reaches past that
        # driver's frames to the Qt frame that tests/lsan.supp names.
        self.env["ASAN_OPTIONS"] = e2e._without_strict_strings(
            self.env.get("ASAN_OPTIONS", "")) + ":fast_unwind_on_malloc=0"
        self._start_weston(runtime)
        self._start_private_bus()

    def _start_weston(self, runtime):
        log = os.path.join(self.workdir, "weston.log")
        args = ["weston", "--backend=headless-backend.so", "--socket=" + self.socket,
                "--idle-time=0"]
        if self.xwayland:
            args.append("--xwayland")
        weston = self._spawn(args, log=log)
        e2e.wait_until(lambda: os.path.exists(os.path.join(runtime, self.socket)), 30,
                       "weston's socket", alive=weston)
        self.env["WAYLAND_DISPLAY"] = self.socket
        if self.xwayland:
            def display():
                with open(log, errors="replace") as text:
                    found = re.search(r"xserver listening on display (:\d+)", text.read())
                return found.group(1) if found else None

            self.env["DISPLAY"] = e2e.wait_until(display, 30, "XWayland", alive=weston)

    def _start_private_bus(self):
        path = os.path.join(self.workdir, "bus")
        log = os.path.join(self.workdir, "bus.address")
        # The address is printed once the bus takes connections; the socket
        # file shows up a moment earlier (connections refused, seen here).
        bus = self._spawn(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                           "--print-address", "--address=unix:path=" + path], log=log)

        def address():
            with open(log) as text:
                line = text.readline().strip()
            return line if line.startswith("unix:") else None

        self.env["DBUS_SESSION_BUS_ADDRESS"] = e2e.wait_until(address, 10, "the session bus",
                                                              alive=bus)
        if self.accessibility:
            self.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
            self.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                      "/org/a11y/bus", "org.a11y.Bus.GetAddress"])

    def atspi(self):
        # As the X11 desktop's, without an X display to name when there is none.
        if self._atspi is None:
            os.environ["DBUS_SESSION_BUS_ADDRESS"] = self.env["DBUS_SESSION_BUS_ADDRESS"]
            if "DISPLAY" in self.env:
                os.environ["DISPLAY"] = self.env["DISPLAY"]
            else:
                os.environ.pop("DISPLAY", None)
            import pyatspi  # connects now, to the bus set above

            self._atspi = pyatspi
        return self._atspi

    def start_tray(self):
        """trayer as XEmbed notification area on the XWayland display."""
        self._start_tray()


def platform_plugins(pid):
    """Which of Qt's display plugins the process has loaded."""
    with open("/proc/%d/maps" % pid) as maps:
        text = maps.read()
    return {name for name, library in PLATFORM_PLUGINS.items() if library in text}


class _ButtonEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("root", ctypes.c_ulong), ("subwindow", ctypes.c_ulong),
                ("time", ctypes.c_ulong), ("x", ctypes.c_int), ("y", ctypes.c_int),
                ("x_root", ctypes.c_int), ("y_root", ctypes.c_int), ("state", ctypes.c_uint),
                ("button", ctypes.c_uint), ("same_screen", ctypes.c_int),
                ("pad", ctypes.c_char * 192)]


def _xlib():
    x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong,
                                    ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                    ctypes.c_void_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.c_void_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    return x11


def click_without_pointer(display, window, button=1):
    """Sends a button press and release straight to a window. XWayland under
    headless weston has no pointer, and moving one through XTEST crashes it
    (seen here), so the click goes the way a synthetic event does."""
    x11 = _xlib()
    connection = x11.XOpenDisplay(display.encode())
    assert connection, "cannot open " + display
    try:
        for kind, mask in ((4, 1 << 2), (5, 1 << 3)):  # ButtonPress, ButtonRelease
            event = _ButtonEvent(type=kind, send_event=1, window=window,
                                 root=x11.XDefaultRootWindow(connection), x=4, y=4,
                                 x_root=4, y_root=4, button=button, same_screen=1)
            x11.XSendEvent(connection, window, 1, mask, ctypes.byref(event))
        x11.XFlush(connection)
    finally:
        x11.XCloseDisplay(connection)


def mark_iconic(display, window):
    """Sets the window's WM_STATE to iconic, as an X window manager does when
    it minimizes a window (weston's own does not minimize X windows)."""
    x11 = _xlib()
    connection = x11.XOpenDisplay(display.encode())
    assert connection, "cannot open " + display
    try:
        wm_state = x11.XInternAtom(connection, b"WM_STATE", 0)
        iconic_state = (ctypes.c_long * 2)(3, 0)  # IconicState, no icon window
        x11.XChangeProperty(connection, window, wm_state, wm_state, 32, 0,
                            ctypes.cast(iconic_state, ctypes.c_void_p), 2)
        x11.XFlush(connection)
    finally:
        x11.XCloseDisplay(connection)
