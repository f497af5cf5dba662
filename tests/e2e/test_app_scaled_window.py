#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The client area is 786 x 549 at 96 dpi and grows with the screen's device
pixel ratio: at a scale of 2 the window takes 1572 x 1098 screen pixels."""

import os

import zirko_e2e as e2e


def test(binary):
    with e2e.Desktop(size="1920x1400", tray=False, accessibility=False) as desktop:
        for scale, size in (("1", (786, 549)), ("2", (1572, 1098))):
            folder = os.path.join(desktop.workdir, "scale" + scale)
            os.mkdir(folder)
            zirko = desktop.start_zirko(folder, binary, extra_env={"QT_SCALE_FACTOR": scale})
            window = zirko.main_window()
            geometry = e2e.wait_until(
                lambda: desktop.window_geometry(window)[2:] == size and desktop.window_geometry(window),
                10,
                "the window at scale " + scale,
            )
            assert geometry[2:] == size, geometry
            desktop.run(["wmctrl", "-F", "-c", "Zirko"])
            assert zirko.wait_exit(15) == 0


if __name__ == "__main__":
    e2e.run_test(test)
