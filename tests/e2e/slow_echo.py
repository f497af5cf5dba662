#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""An echo responder that takes its time: run inside a network namespace
whose kernel ignores echo requests, it answers each one itself after the
delay given in milliseconds, so a test can see round trips above a limit.
Ends on SIGTERM; answers at most a few hundred requests."""

import signal
import socket
import struct
import sys
import time

ICMP_ECHO_REQUEST = 8
ICMP_ECHO_REPLY = 0


def checksum(data):
    if len(data) % 2:
        data += b"\0"
    total = sum(struct.unpack("!%dH" % (len(data) // 2), data))
    total = (total >> 16) + (total & 0xFFFF)
    total += total >> 16
    return ~total & 0xFFFF


def main():
    delay = int(sys.argv[1]) / 1000.0
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    sock = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_ICMP)
    print("ready", flush=True)
    for _ in range(500):
        packet, (sender, _) = sock.recvfrom(65535)
        header = (packet[0] & 0x0F) * 4
        icmp = packet[header:]
        if len(icmp) < 8 or icmp[0] != ICMP_ECHO_REQUEST:
            continue
        reply = bytes([ICMP_ECHO_REPLY, 0, 0, 0]) + icmp[4:]
        reply = reply[:2] + struct.pack("!H", checksum(reply)) + reply[4:]
        time.sleep(delay)
        sock.sendto(reply, (sender, 0))
    return 0


if __name__ == "__main__":
    sys.exit(main())
