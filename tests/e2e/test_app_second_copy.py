#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A second copy started from the same folder cannot open the log that the
first holds: it shows the start-up failure box, no window, and ends with exit
code 1, while the first runs on and closes normally."""

import os

import zirko_e2e as e2e

START_UP_FAILURE = "AGENTE: impossibile fare lo start-up del file di log !"


def test(binary):
    with e2e.Desktop() as desktop:
        folder = os.path.join(desktop.workdir, "run")
        os.mkdir(folder)
        first = desktop.start_zirko(folder, binary)
        first_window = first.main_window()

        second = desktop.start_zirko(folder, binary)
        # The box is titled with the application title of the copy: "zirko".
        e2e.wait_until(lambda: second.windows("zirko"), 15, "the failure box")
        assert not second.windows("Zirko"), "no main window before the start-up"
        app = desktop.application(second)
        message = desktop.find(app, "label", START_UP_FAILURE)
        assert message is not None
        e2e.press(desktop.find(app, "push button", "OK"))
        code = second.wait_exit(15)
        assert code == 1, "second copy exit code %r" % code

        assert first.running(), "the first copy runs on"
        assert first_window in first.windows("Zirko")
        desktop.run(["wmctrl", "-F", "-c", "Zirko"])
        assert first.wait_exit(15) == 0
        log = first.log_text()
        assert log.count("Start Up AGENTE") == 1, log
        assert log.count("ShutDown Agente of Zirko") == 1, log
        assert START_UP_FAILURE not in log


if __name__ == "__main__":
    e2e.run_test(test)
