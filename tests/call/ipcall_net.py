"""Helpers for the IP-call network checks: message texts, an endpoint process, peer sockets.

Every check runs on its own random loopback addresses (127.x.y.1 for the unit, .2 and .3 for
peers) so that parallel runs on one machine never meet; nothing leaves the host.
"""
import os
import queue
import random
import socket
import subprocess
import threading
import time

HEAD_KEYS = ["VERSION", "CALL-ID", "SEQ-NO.", "COMMAND", "SRC-ADDR", "SRC-PORT", "DST-ADDR", "CONTACT-ADDR"]
RESULT_KEYS = ["RESULT-CODE", "RESULT-TEXT"]
DATA_KEYS = ["MEDIA-ADDR", "A-PORT", "V-PORT", "C-PORT", "I-PORT", "VIDEO-MODE", "CTRL-ENABLE",
             "INCOM-ENABLE", "V-TCP-ACTIVE", "C-TCP-ACTIVE", "GPIO", "CODEC", "CODEC-OPTION"]


def key_order(command):
    keys = list(HEAD_KEYS)
    if command in ("CALL-RSP", "START-RSP", "DISCONNECT-RSP"):
        keys += RESULT_KEYS
    if command in ("CALL", "CALL-RSP"):
        keys += DATA_KEYS
    return keys


def encode(fields):
    """fields: list of (key, value) in the order to send."""
    return "".join(f"{k}:{v}\r\n" for k, v in fields).encode()


def decode(data):
    """The (key, value) lines of a datagram, in order; raises when it is not CR LF text."""
    text = data.decode()
    assert text.endswith("\r\n"), repr(text)
    lines = text[:-2].split("\r\n")
    out = []
    for line in lines:
        k, _, v = line.partition(":")
        out.append((k, v))
    return out


def check_key_order(fields):
    keys = [k for k, _ in fields]
    command = dict(fields)["COMMAND"]
    expected = [k for k in key_order(command) if k in keys]
    assert keys == expected, f"key order {keys} != {expected}"
    assert set(keys) >= set(key_order(command)) - {"CONTACT-ADDR"}, f"missing keys in {keys}"


def offer_data(media, codec=97, gpio=2):
    return [("MEDIA-ADDR", media), ("A-PORT", 15000), ("V-PORT", 26000), ("C-PORT", 17000),
            ("I-PORT", 16000), ("VIDEO-MODE", 0), ("CTRL-ENABLE", 0), ("INCOM-ENABLE", 0),
            ("V-TCP-ACTIVE", 0), ("C-TCP-ACTIVE", 1), ("GPIO", gpio), ("CODEC", codec),
            ("CODEC-OPTION", "")]


def message(command, call_id, seq, src, port, dst, contact=None, result=None, data=None):
    f = [("VERSION", 1), ("CALL-ID", call_id), ("SEQ-NO.", seq), ("COMMAND", command),
         ("SRC-ADDR", src), ("SRC-PORT", port), ("DST-ADDR", dst)]
    if contact:
        f.append(("CONTACT-ADDR", contact))
    if result is not None:
        texts = {0: "OK", 100: "BUSY", 104: "NOT SUPPORTED", 106: "UNACCEPTABLE"}
        f += [("RESULT-CODE", result), ("RESULT-TEXT", texts.get(result, ""))]
    if data is not None:
        f += data
    return encode(f)


class Addresses:
    """A private /24 of loopback addresses and one port number shared by all parties."""

    def __init__(self):
        rnd = random.Random(os.getpid() ^ int(time.time() * 1000))
        self.net = f"127.{rnd.randint(1, 254)}.{rnd.randint(0, 255)}"
        self.port = rnd.randint(20000, 60000)

    def host(self, n):
        return f"{self.net}.{n}"


class Peer:
    """A UDP socket playing the other unit."""

    def __init__(self, address, port):
        self.address = address
        self.port = port
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind((address, port))

    def send(self, data, to):
        self.sock.sendto(data, to)

    def recv(self, timeout):
        """(monotonic time, fields, source) of the next datagram, or None after `timeout`."""
        self.sock.settimeout(max(timeout, 0.001))
        try:
            data, src = self.sock.recvfrom(2048)
        except socket.timeout:
            return None
        t = time.monotonic()
        fields = decode(data)
        check_key_order(fields)
        return t, fields, src

    def expect(self, command, timeout=3.0):
        deadline = time.monotonic() + timeout
        while True:
            got = self.recv(deadline - time.monotonic())
            assert got is not None, f"{self.address}: no {command} within {timeout} s"
            if dict(got[1])["COMMAND"] == command:
                return got

    def expect_nothing(self, seconds):
        got = self.recv(seconds)
        assert got is None, f"{self.address}: unexpected {got[1]}"

    def close(self):
        self.sock.close()


class Endpoint:
    """The unit under test: tests/call/ipcall_endpoint over its standard input and output."""

    def __init__(self, binary, address, port, *extra, log=None, prefix=None, bind=None):
        self.address = address
        self.port = port
        program = prefix if prefix else [binary]
        args = [*program, "--bind", bind or address, "--local", address, "--port", str(port), *map(str, extra)]
        self.log = open(log or os.devnull, "w")
        self.proc = subprocess.Popen(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=self.log, text=True, bufsize=1)
        self.events = queue.Queue()
        self.history = []
        threading.Thread(target=self._read, daemon=True).start()
        self.wait("READY", 10)

    def _read(self):
        for line in self.proc.stdout:
            parts = line.split()
            if len(parts) >= 2:
                ev = (int(parts[0]) / 1000.0, parts[1], parts[2:])
                self.history.append(ev)
                self.events.put(ev)

    def send(self, line):
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()

    def wait(self, kind, timeout=5.0, args=None):
        """Waits for the next event of `kind` (and, when given, with these arguments)."""
        deadline = time.monotonic() + timeout
        while True:
            left = deadline - time.monotonic()
            assert left > 0, f"no {kind} {args or ''} within {timeout} s; seen {self.history}"
            try:
                t, k, a = self.events.get(timeout=left)
            except queue.Empty:
                continue
            if k == kind and (args is None or a == [str(x) for x in args]):
                return t, a

    def states(self):
        return [tuple(int(x) for x in a) for _, k, a in self.history if k == "STATE"]

    def close(self):
        if self.proc.poll() is None:
            try:
                self.send("quit")
                self.proc.wait(timeout=10)
            except Exception:
                self.proc.kill()
                self.proc.wait()
        self.log.close()
