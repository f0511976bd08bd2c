#!/usr/bin/env python3
"""Receives level-meter datagrams and prints each decoded on one line.

Usage: meter_decode.py COUNT [TIMEOUT_S]
Prints the UDP port it listens on (127.0.0.1) first, then for each datagram
"MAGIC v1 v2 v3 v4" with the values in hexadecimal, or "bad LENGTH" for a datagram of
another size.
"""
import socket
import struct
import sys

count = int(sys.argv[1])
timeout = float(sys.argv[2]) if len(sys.argv) > 2 else 10.0
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.1", 0))
s.settimeout(timeout)
print(s.getsockname()[1], flush=True)
for _ in range(count):
    try:
        data = s.recv(2048)
    except socket.timeout:
        print("timeout", flush=True)
        break
    if len(data) != 20:
        print("bad %d" % len(data), flush=True)
        continue
    magic, m1, m2, m3, m4 = struct.unpack(">4sIIII", data)
    print("%s %05x %05x %05x %05x" % (magic.decode("ascii", "replace"), m1, m2, m3, m4), flush=True)
