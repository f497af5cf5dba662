#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The built .deb as Debian's own checkers see it: its name, its files, its
dependencies, lintian (no error, no warning), desktop-file-validate and
appstreamcli on the files it ships, and the postinst where setcap fails.
Usage: check_package.py DEB_FOLDER VERSION"""

import glob
import os
import subprocess
import sys
import tempfile

REQUIRED_FILES = [
    "./usr/bin/zirko",
    "./usr/libexec/zirko/zirko-socket",
    # The plot and the /metrics endpoint, loaded when first used.
    "./usr/lib/zirko/plugins/libzirko_chart.so",
    "./usr/lib/zirko/plugins/libzirko_endpoint.so",
    "./usr/share/applications/zirko.desktop",
    "./usr/share/metainfo/org.zirko.zirko.metainfo.xml",
    "./usr/share/man/man1/zirko.1.gz",
    "./usr/share/doc/zirko/README.md",
    "./usr/share/doc/zirko/copyright",
    "./usr/share/doc/zirko/changelog.gz",
    "./usr/share/icons/hicolor/scalable/apps/zirko.svg",
] + ["./usr/share/icons/hicolor/%dx%d/apps/zirko.png" % (s, s) for s in (16, 22, 24, 32, 48, 64, 128, 256)]


def run(args, **kwargs):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                          timeout=300, **kwargs)


def main():
    folder, version = sys.argv[1], sys.argv[2]
    architecture = run(["dpkg", "--print-architecture"]).stdout.strip()
    debs = glob.glob(os.path.join(folder, "*.deb"))
    expected = os.path.join(folder, "zirko_%s_%s.deb" % (version, architecture))
    assert debs == [expected], debs

    listing = run(["dpkg-deb", "--contents", expected]).stdout
    paths = {line.split()[-1] for line in listing.splitlines() if line.strip()}
    missing = [path for path in REQUIRED_FILES if path not in paths]
    assert not missing, "missing from the package: %s" % missing
    assert not [p for p in paths if "/usr/local" in p or "/build/" in p], listing

    control = run(["dpkg-deb", "--field", expected, "Depends", "Section", "Maintainer"]).stdout
    # Computed from the binaries and modules, not written by hand; and setcap for the postinst.
    for needed in ("libqt6widgets6", "libqt6httpserver6", "libc6", "libstdc++6", "libcap2-bin"):
        assert needed in control, control

    lint = run(["lintian", "--fail-on", "error,warning", expected])
    print(lint.stdout, end="")
    tags = [line for line in lint.stdout.splitlines() if line[:2] in ("E:", "W:")]
    assert lint.returncode == 0 and not tags, "lintian: %s" % tags

    with tempfile.TemporaryDirectory() as root:
        subprocess.run(["dpkg-deb", "--extract", expected, root], check=True)
        desktop = run(["desktop-file-validate",
                       os.path.join(root, "usr/share/applications/zirko.desktop")])
        assert desktop.returncode == 0 and not desktop.stdout.strip(), desktop.stdout
        metainfo = run(["appstreamcli", "validate", "--no-net",
                        os.path.join(root, "usr/share/metainfo/org.zirko.zirko.metainfo.xml")])
        assert metainfo.returncode == 0, metainfo.stdout
        # The man page is whole roff: man's own formatter reports no problem.
        page = run(["sh", "-c", "zcat \"$0\" | groff -man -Tutf8 -ww -z 2>&1",
                    os.path.join(root, "usr/share/man/man1/zirko.1.gz")])
        assert page.returncode == 0 and not page.stdout.strip(), page.stdout
        check_postinst_failure(expected, root)
    print("PASS")


def check_postinst_failure(deb, root):
    """Where setcap fails (no extended attributes, say) the postinst still succeeds and says
    what an administrator can do. A setcap of the test's own stands in for the real one."""
    control = os.path.join(root, "DEBIAN")
    subprocess.run(["dpkg-deb", "--control", deb, control], check=True)
    tools = os.path.join(root, "tools")
    os.mkdir(tools)
    with open(os.path.join(tools, "setcap"), "w") as stub:
        stub.write("#!/bin/sh\necho 'Failed to set capabilities on file' >&2\nexit 1\n")
    os.chmod(os.path.join(tools, "setcap"), 0o755)
    result = run([os.path.join(control, "postinst"), "configure"],
                 env={"PATH": tools + ":/usr/bin:/bin"})
    assert result.returncode == 0, result.stdout
    for needed in ("could not grant the raw-socket right (cap_net_raw) to "
                   "/usr/libexec/zirko/zirko-socket",
                   "    setcap cap_net_raw+ep /usr/libexec/zirko/zirko-socket\n",
                   'sysctl -w net.ipv4.ping_group_range="0 2147483647"'):
        assert needed in result.stdout, result.stdout


if __name__ == "__main__":
    main()
