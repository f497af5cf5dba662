#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""SIGTERM (the session ending, a service manager stopping it) closes zirko
the way its close box does: the log gets its shut-down block, exit code 0.
A copy waiting on its start-up failure box ends too, with exit code 1."""

import os
import signal

import zirko_e2e as e2e


def test(binary):
    with e2e.Desktop() as desktop:
        folder = os.path.join(desktop.workdir, "run")
        os.mkdir(folder)
        first = desktop.start_zirko(folder, binary)
        first.main_window()
        e2e.wait_until(lambda: desktop.docked_icons(), 10, "the tray icon")

        second = desktop.start_zirko(folder, binary)
        e2e.wait_until(lambda: second.windows("zirko"), 15, "the failure box")
        second.popen.send_signal(signal.SIGTERM)
        assert second.wait_exit(15) == 1, "the failed copy ends as after OK"
        assert first.running()

        first.popen.send_signal(signal.SIGTERM)
        code = first.wait_exit(15)
        assert code == 0, "exit code %r" % code
        e2e.wait_until(lambda: not desktop.docked_icons(), 10, "the tray icon to leave")
        log = first.log_text()
        assert log.count("ShutDown Agente of Zirko") == 1, log
        assert log.rstrip("\r\n").endswith("ShutDown Agente of Zirko"), log


if __name__ == "__main__":
    e2e.run_test(test)
