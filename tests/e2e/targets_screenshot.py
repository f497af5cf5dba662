#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Makes the README's picture of the "Bersagli" page: a dozen targets in two
groups, loopback addresses, one silent host in a namespace of its own and one
stopped target. Run as root from a build tree:

    tests/e2e/targets_screenshot.py build/dev/zirko docs/bersagli.png
"""

import os
import shutil
import sys
import time

import monitor_helpers as mh
import zirko_e2e as e2e

FILE = """targets:
- hosts: [127.0.0.1, 127.0.0.2, 127.0.0.3, 127.0.0.4, 127.0.0.5]
  labels: {group: sede}
- hosts: [%s]
  alarm_after_lost: 3
  labels: {group: sede, name: stampante}
- hosts: ["::1", 127.0.1.1, 127.0.1.2, 127.0.1.3, 127.0.1.4]
  interval: 2s
  labels: {group: laboratorio}
- hosts: [127.0.2.1]
  stopped: true
  labels: {group: laboratorio, name: archivio}
"""


def main(binary, target):
    env, words, _ = mh.shot_language()
    with mh.SilentHost() as silent, e2e.Desktop() as desktop:
        path = os.path.join(desktop.env["XDG_CONFIG_HOME"], "zirko", "targets.yml")
        os.makedirs(os.path.dirname(path))
        with open(path, "w") as out:
            text = FILE % silent.address
            if os.environ.get("ZIRKO_SHOT_LANG") == "en":
                for word, english in (("sede", "office"), ("stampante", "printer"),
                                      ("laboratorio", "lab"), ("archivio", "archive")):
                    text = text.replace(word, english)
            out.write(text)
        folder = os.path.join(desktop.workdir, "run")
        os.mkdir(folder)
        zirko = desktop.start_zirko(folder, binary, extra_env=env)
        window = zirko.main_window()
        app = desktop.application(zirko)
        e2e.press(desktop.find(app, "page tab", words("Bersagli")))
        desktop.find(app, "tree", words("Bersagli"))
        time.sleep(20)
        shot = os.path.join(desktop.workdir, "bersagli.png")
        desktop.run(["import", "-window", str(window), shot], timeout=20)
        shutil.copy(shot, target)
        desktop.run(["wmctrl", "-F", "-c", "Zirko"])
        zirko.wait_exit(15)


if __name__ == "__main__":
    main(*sys.argv[1:3])
