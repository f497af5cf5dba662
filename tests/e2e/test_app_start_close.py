#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Start zirko from a copy in a folder of its own, find it on the screen, in the
tray and over AT-SPI, close it with the window manager's close command, and
read the log it left behind."""

import os
import re

import zirko_e2e as e2e

STAMP = r"\|\d\d\.\d\d\.\d{4}\|\d\d.\d\d.\d\d\|"


def check_log(text):
    lines = text.split("\r\n")
    assert lines[-1] == "", "the log ends with CR LF"
    expected = [
        r"",
        r" {13}\*{57}",
        r" {13}\*\*\* File di Log creato in data: \d\d\.\d\d\.\d{4} - \d\d.\d\d.\d\d \*\*\*",
        r" {13}\*{57}",
        r"",
        r"",
        r"",
        r"",
        STAMP + r"Start Up AGENTE",
        STAMP + r"Who: Zirko",
        STAMP + r"Num\. of messages: 0",
        STAMP + r"Num\. of warnings: 0",
        STAMP + r"ShutDown Agente of Zirko",
    ]
    assert len(lines) - 1 == len(expected), "log has %d lines: %r" % (len(lines) - 1, text)
    for number, (line, pattern) in enumerate(zip(lines, expected), start=1):
        assert re.fullmatch(pattern, line), "log line %d is %r" % (number, line)


def test(binary):
    with e2e.Desktop() as desktop:
        folder = os.path.join(desktop.workdir, "run")
        os.mkdir(folder)
        zirko = desktop.start_zirko(folder, binary)
        window = zirko.main_window()
        x, y, width, height = desktop.window_geometry(window)
        assert (width, height) == (786, 549), (width, height)
        # Centred on the 1024 x 768 screen (give or take the frame and the taskbar).
        assert abs(x + width // 2 - 512) <= 12, x
        assert abs(y + height // 2 - 384) <= 40, y
        e2e.wait_until(lambda: len(desktop.docked_icons()) == 1, 10, "the tray icon")
        assert window in desktop.taskbar_clients(), "the window has a taskbar entry"

        # Over AT-SPI, as a screen reader sees it.
        app = desktop.application(zirko)
        assert app.name == "zirko", app.name
        desktop.find(app, "push button", "5 Ping")
        spinner = desktop.find(app, "spin button", "Esegui per minuti:")
        assert spinner.queryValue().currentValue == 1
        host = desktop.find(app, "text", "Indirizzo/host:")
        assert e2e.text_of(host), "the host field has a default host"
        n_ping = e2e.value_label(desktop, app, "N. ping:")
        assert n_ping.description == "", repr(n_ping.description)
        assert len(desktop.find_all(app, "label", "N. ping:")) == 2, "caption and value"
        assert "Start Up AGENTE" in zirko.log_text()

        desktop.run(["wmctrl", "-F", "-c", "Zirko"])
        code = zirko.wait_exit(15)
        assert code == 0, "exit code %r" % code
        e2e.wait_until(lambda: not desktop.docked_icons(), 10, "the tray icon to leave")
        check_log(zirko.log_text())


if __name__ == "__main__":
    e2e.run_test(test)
