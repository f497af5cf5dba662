#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""check_unfinished.py LUPDATE CATALOGUE SOURCES_LIST [LUPDATE OPTIONS...]

Runs lupdate over the program's sources into a temporary copy of CATALOGUE (the
tree is never written) and fails listing every message without a finished
translation: a new text, or one whose source changed."""
import os
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET


def unfinished(ts_path):
    missing = []
    for context in ET.parse(ts_path).getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            translation = message.find("translation")
            kind = translation.get("type", "") if translation is not None else "unfinished"
            if kind in ("unfinished", "vanished", "obsolete") or not "".join(
                    translation.itertext()).strip():
                missing.append("%s: %s" % (name, message.findtext("source")))
    return missing


def main():
    lupdate, catalogue, sources = sys.argv[1:4]
    with tempfile.TemporaryDirectory(prefix="zirko-ts-") as scratch:
        copy = os.path.join(scratch, os.path.basename(catalogue))
        shutil.copyfile(catalogue, copy)
        subprocess.run([lupdate, *sys.argv[4:], "@" + sources, "-ts", copy], check=True)
        missing = unfinished(copy)
    for line in missing:
        print("no English translation: " + line)
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
