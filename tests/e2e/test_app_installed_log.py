#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A copy installed under a prefix of the user's own (~/.local/bin beside
~/.local/share/applications/zirko.desktop) keeps its log in $XDG_STATE_HOME/zirko/
and writes nothing beside itself; when that folder cannot be made, the
creation failure box comes before any window and OK ends with exit code 1."""

import os
import shutil
import stat

import zirko_e2e as e2e

CREATION_FAILURE = "AGENTE: impossibile creare file di log !"
DESKTOP_ENTRY = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                             "packaging", "zirko.desktop")


def installed_copy(binary, home):
    prefix = os.path.join(home, ".local")
    os.makedirs(os.path.join(prefix, "bin"))
    os.makedirs(os.path.join(prefix, "share", "applications"))
    shutil.copy2(DESKTOP_ENTRY, os.path.join(prefix, "share", "applications", "zirko.desktop"))
    shutil.copy2(binary, os.path.join(prefix, "bin", "zirko"))
    return os.path.join(prefix, "bin")


def test(binary):
    with e2e.Desktop() as desktop:
        home = os.path.join(desktop.workdir, "home")
        bin_folder = installed_copy(binary, home)
        state = os.path.join(desktop.workdir, "state")

        zirko = desktop.start_zirko(bin_folder, extra_env={"HOME": home, "XDG_STATE_HOME": state})
        zirko.main_window()
        log = os.path.join(state, "zirko", "ZIRKO.LOG")
        assert os.path.isfile(log), os.listdir(desktop.workdir)
        assert stat.S_IMODE(os.stat(os.path.dirname(log)).st_mode) == 0o700
        assert sorted(os.listdir(bin_folder)) == ["zirko"], os.listdir(bin_folder)
        desktop.run(["wmctrl", "-F", "-c", "Zirko"])
        assert zirko.wait_exit(15) == 0
        with open(log, "rb") as text:
            assert text.read().endswith(b"ShutDown Agente of Zirko\r\n")

        # A file where the state folder should be: the folder cannot be made.
        blocked = os.path.join(desktop.workdir, "blocked")
        with open(blocked, "w") as f:
            f.write("not a folder")
        zirko = desktop.start_zirko(bin_folder, extra_env={"HOME": home, "XDG_STATE_HOME": blocked})
        e2e.wait_until(lambda: zirko.windows("zirko"), 15, "the failure box", alive=zirko.popen)
        assert not zirko.windows("Zirko", visible_only=False), "no main window was created"
        app = desktop.application(zirko)
        desktop.find(app, "label", CREATION_FAILURE)
        e2e.press(desktop.find(app, "push button", "OK"))
        assert zirko.wait_exit(15) == 1
        assert sorted(os.listdir(bin_folder)) == ["zirko"], os.listdir(bin_folder)


if __name__ == "__main__":
    e2e.run_test(test)
