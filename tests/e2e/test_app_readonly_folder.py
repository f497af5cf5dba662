#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""From a read-only folder the log cannot be created: the creation failure
box comes before any window, and OK ends the program with exit code 1."""

import os
import shutil
import subprocess

import zirko_e2e as e2e

CREATION_FAILURE = "AGENTE: impossibile creare file di log !"


def test(binary):
    e2e.require(os.geteuid() == 0, "needs root to mount a read-only folder")
    with e2e.Desktop() as desktop:
        folder = os.path.join(desktop.workdir, "readonly")
        os.mkdir(folder)
        shutil.copy2(binary, os.path.join(folder, "zirko"))
        # A private mount namespace: the read-only bind mount dies with the program.
        script = 'mount --bind "$0" "$0" && mount -o remount,ro,bind "$0" "$0" && exec "$0/zirko"'
        zirko = e2e.ZirkoProcess(
            desktop,
            folder,
            subprocess.Popen(
                ["unshare", "--mount", "--propagation", "private", "sh", "-c", script, folder],
                env=desktop.env,
                stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL,
                start_new_session=True,
                preexec_fn=e2e.die_with_harness,
            ),
        )
        desktop.adopt(zirko)
        e2e.wait_until(lambda: zirko.windows("zirko"), 15, "the failure box")
        assert not zirko.windows("Zirko", visible_only=False), "no main window was created"
        app = desktop.application(zirko)
        desktop.find(app, "label", CREATION_FAILURE)
        e2e.press(desktop.find(app, "push button", "OK"))
        code = zirko.wait_exit(15)
        assert code == 1, "exit code %r" % code
        assert not os.path.exists(os.path.join(folder, "ZIRKO.LOG"))


if __name__ == "__main__":
    e2e.run_test(test)
