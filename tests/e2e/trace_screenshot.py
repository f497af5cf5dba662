#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Makes the README's picture of "Continuo" on the Traceroute page: half a
minute of continuous trace over three routers in namespaces of its own, the
second of which drops 30 % of what it forwards and, half way, starts answering
from its other side (a route change at hop 2); the target answers after 20 ms
(the test peer), and the names come from a hosts file of the program's own.
Run as root from a build tree (ZIRKO_SHOT_LANG=en takes it in English):

    tests/e2e/trace_screenshot.py build/dev/zirko build/dev/tests/support/net/zirko_icmp_peer docs/traccia-continua.png
"""

import os
import shutil
import subprocess
import sys
import time

import monitor_helpers as mh
import zirko_e2e as e2e

VERDICT = "La perdita inizia al salto 3."


def main(binary, peer_binary, target):
    env, words, captions = mh.shot_language()
    with mh.TracePath(drops=[(2, "forward", "echo-request", 30)]) as path, \
            e2e.Desktop() as desktop:
        far_side = path.prefix + "9"
        peer = subprocess.Popen(["ip", "netns", "exec", path.target_ns, peer_binary,
                                 "--actions=wait:20,reply", "--lifetime-ms=120000"],
                                stdout=subprocess.DEVNULL)
        folder = os.path.join(desktop.workdir, "run")
        os.mkdir(folder)
        zirko = desktop.start_zirko(folder, binary, extra_env=env,
                                    hosts=path.names() + [(far_side, "r2-est.zk.invalid")])
        window = zirko.main_window()
        app, page = mh.ping_page(desktop, zirko, captions)
        mh.set_text(page["host"], path.target)
        e2e.press(desktop.find(app, "page tab", "Traceroute"))
        verdict = desktop.find(app, "label", words("Giudizio"))
        e2e.press(desktop.find(app, None, words("Continuo")))
        time.sleep(15)
        # The second router's answers to us leave from its far side from now on.
        subprocess.run(["ip", "-n", path.routers[1], "route", "replace", path.prefix + "0/30", "via",
                        path.prefix + "5", "src", far_side], check=True, timeout=20)
        time.sleep(15)
        e2e.wait_until(lambda: verdict.description == words(VERDICT), 60, "the verdict",
                       alive=zirko.popen)
        print(mh.table_rows(desktop.find(app, None, words("Traccia continua"))))
        shot = os.path.join(desktop.workdir, "traccia.png")
        desktop.run(["import", "-window", str(window), shot], timeout=20)
        shutil.copy(shot, target)
        desktop.run(["wmctrl", "-F", "-c", "Zirko"])
        zirko.wait_exit(15)
        peer.terminate()
        peer.wait(timeout=5)


if __name__ == "__main__":
    main(*sys.argv[1:4])
