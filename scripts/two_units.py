#!/usr/bin/env python3
"""Two simulated units in network namespaces place an IP call and carry programme audio.

  two_units.py [--build DIR] [--seconds S] [--codec ID] [--kill-b] [--reconnect N] [--check]

Unit A and unit B run with scripts/unit (each in a namespace of its own on the test LAN).
A's capture card plays a generated WAV; a remote-command client on the LAN dials B from A
("DIAL <address>"), holds the call, then disconnects (or, with --kill-b, kills unit B mid-call).
Prints the STATUS and DIAL_RESULT lines the client received, the seconds of audio B played,
how much of it equals A's input sample for sample, its SNR and the delay from A's capture
card to B's playback card. --check turns the expectations into the exit status (for ctest).
Needs root (namespaces).
"""
import argparse
import json
import math
import os
import re
import signal
import socket
import struct
import subprocess
import sys
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RATE = 48000


def host_of(n):
    return "192.0.2.%d" % (10 + n)


# ------------------------------------------------------------------------------------------
# WAV helpers

def write_wav(path, frames):
    data = b"".join(struct.pack("<hh", l, r) for l, r in frames)
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE")
        f.write(b"fmt " + struct.pack("<IHHIIHH", 16, 1, 2, RATE, RATE * 4, 4, 16))
        f.write(b"data" + struct.pack("<I", len(data)) + data)


def read_wav(path):
    with open(path, "rb") as f:
        raw = f.read()
    pos = 12
    channels, data = 2, b""
    while pos + 8 <= len(raw):
        cid, size = raw[pos:pos + 4], struct.unpack("<I", raw[pos + 4:pos + 8])[0]
        body = raw[pos + 8:pos + 8 + size]
        if cid == b"fmt ":
            channels = struct.unpack("<H", body[2:4])[0]
        elif cid == b"data":
            data = raw[pos + 8:]  # a file still being written may have a stale size
            break
        pos += 8 + size + (size & 1)
    n = len(data) // (2 * channels)
    samples = struct.unpack("<%dh" % (n * channels), data[:n * channels * 2])
    if channels == 1:
        return [(s, s) for s in samples]
    return [(samples[i], samples[i + 1]) for i in range(0, n * channels, channels)]


def programme(seconds):
    """Music-like test signal (tones with vibrato, L and R differ) within the lossless codec's
    rate, so that every frame can travel bit-exact."""
    out = []
    for i in range(int(seconds * RATE)):
        t = i / RATE
        l = 0.05 * math.sin(2 * math.pi * 220 * t + 2 * math.sin(2 * math.pi * 5 * t))
        l += 0.02 * math.sin(2 * math.pi * 331 * t)
        r = 0.05 * math.sin(2 * math.pi * 277 * t) + 0.02 * math.sin(2 * math.pi * 440 * t * (1 + 0.01 * t))
        out.append((int(l * 32767), int(r * 32767)))
    return out


# ------------------------------------------------------------------------------------------
# Comparison of B's playback with A's input

def compare(played, source, window=16):
    """Aligns `played` on the looped `source`: frames equal bit for bit, their SNR and where
    the programme starts in the playback."""
    index = {}
    for i in range(len(source) - window):
        index.setdefault(tuple(source[i:i + window]), i)
    n = len(played)
    first = None
    exact = 0
    aligned = 0
    sig = err = 0.0
    i = 0
    pos = None
    while i < n - window:
        if pos is None:
            j = index.get(tuple(played[i:i + window]))
            if j is None:
                i += 1
                continue
            pos = j
            if first is None:
                first = (i, j)
        s = source[pos % len(source)]
        p = played[i]
        aligned += 1
        if s == p:
            exact += 1
        else:
            # Lost sync (a dropped or concealed block): look for the programme again.
            run = played[i:i + window]
            if any(played[i + k] != source[(pos + k) % len(source)] for k in range(min(window, n - i))):
                pos = None
                i += 1
                continue
        sig += s[0] * s[0] + s[1] * s[1]
        err += (s[0] - p[0]) ** 2 + (s[1] - p[1]) ** 2
        pos += 1
        i += 1
    snr = float("inf") if err == 0 else 10 * math.log10(sig / err) if sig > 0 else 0.0
    return {"first": first, "exact": exact, "aligned": aligned, "snr": snr}


# ------------------------------------------------------------------------------------------
# The remote-command client (runs inside the test LAN's namespace)

class Client:
    def __init__(self, host, port, log):
        self.log = log
        deadline = time.monotonic() + 30
        while True:
            try:
                self.s = socket.create_connection((host, port), timeout=2)
                break
            except OSError:
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.3)
        self.s.settimeout(0.2)
        self.buf = b""
        self.lines = []

    def send(self, line):
        self.log.append({"t": time.monotonic(), "dir": "sent", "line": line})
        self.s.sendall(line.encode() + b"\r\n")

    def pump(self, seconds, until=None):
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            try:
                data = self.s.recv(4096)
                if not data:
                    return None
                self.buf += data
            except socket.timeout:
                pass
            while b"\r\n" in self.buf:
                line, self.buf = self.buf.split(b"\r\n", 1)
                text = line.decode(errors="replace")
                self.lines.append(text)
                self.log.append({"t": time.monotonic(), "dir": "recv", "line": text})
                if until and until(text):
                    return text
        return None


def run_client(args):
    log = []
    c = Client(host_of(args.a), 23000, log)
    lockdir = os.path.join(args.root_a, "opt/QM/websetting/lockdir")
    c.pump(1.5)
    c.send("GET_STATUS")
    c.pump(1)
    if args.reconnect:
        c.send("RECONNECT ON,times=%d" % args.reconnect)
        c.pump(1, lambda l: l.startswith("RECONNECT"))
    c.send("DIAL %s" % host_of(args.b))
    ok = c.pump(15, lambda l: l.startswith("DIAL_RESULT"))
    result = {"dial": ok}
    c.pump(1.5)
    result["lock_in_call"] = os.path.isdir(lockdir)
    if args.kill_b:
        c.pump(1.5)
        os.kill(args.pid_b, signal.SIGKILL)
        result["killed"] = time.monotonic()
        c.pump(8, lambda l: l == "RTP_TIMEOUT ON")
        # Each redial gives up after its resends (about 9 s).
        c.pump(4 + 10 * args.reconnect)
    else:
        c.pump(args.seconds)
        c.send("DISCONNECT")
        c.pump(3, lambda l: "connection=idle" in l)
        c.pump(1)
    result["lock_after"] = os.path.isdir(lockdir)
    result["log"] = log
    print(json.dumps(result))


# ------------------------------------------------------------------------------------------
# The run

def unit(args, name, root, n, cfg):
    cmd = [os.path.join(REPO, "scripts/unit"), "--name", name, "--root", root, "--config", cfg,
           "--netns", str(n), "--detach"]
    if args.build:
        cmd += ["--build", args.build]
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)


def stop(args, name, root):
    # scripts/unit wants a build even to stop a unit: without one it would leave the unit running.
    cmd = [os.path.join(REPO, "scripts/unit"), "--name", name, "--root", root, "--stop"]
    if args.build:
        cmd += ["--build", args.build]
    pids = []
    for f in ("orva700.pid", "panel.pid"):
        try:
            pids.append(int(open(os.path.join(root, "sim", f)).read()))
        except (OSError, ValueError):
            pass
    subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # Whatever this run started and is still there goes now.
    deadline = time.monotonic() + 5
    for pid in pids:
        while time.monotonic() < deadline:
            try:
                os.kill(pid, 0)
            except OSError:
                break
            time.sleep(0.1)
        else:
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="")
    ap.add_argument("--seconds", type=float, default=6)
    ap.add_argument("--codec", type=int, default=97)
    ap.add_argument("--kill-b", action="store_true")
    ap.add_argument("--reconnect", type=int, default=0)
    ap.add_argument("--check", action="store_true")
    ap.add_argument("--client", action="store_true", help=argparse.SUPPRESS)
    ap.add_argument("--a", type=int, default=0)
    ap.add_argument("--b", type=int, default=0)
    ap.add_argument("--root-a", default="")
    ap.add_argument("--pid-b", type=int, default=0)
    args = ap.parse_args()
    if args.client:
        run_client(args)
        return 0
    if os.geteuid() != 0:
        print("two_units.py: needs root (network namespaces)", file=sys.stderr)
        return 2
    # Host numbers of this run on the shared test LAN: apart from other runs by pid.
    args.a = 20 + 2 * (os.getpid() % 110)
    args.b = args.a + 1
    top = "/tmp/orva-call-%d" % os.getpid()
    ra, rb = top + "/a", top + "/b"
    for r in (ra, rb):
        os.makedirs(r + "/sim/audio", exist_ok=True)
    cfg = top + "/unit.cfg"
    with open(cfg, "w") as f:
        f.write("[application]\nmode=1\n[audio]\ncodec_id=%d\n[log]\nlevel=2\n" % args.codec)
    source = programme(4.0)
    write_wav(ra + "/sim/audio/orvaainhp-in.wav", source)
    name_a, name_b = "ca%d" % os.getpid(), "cb%d" % os.getpid()
    failures = []
    try:
        unit(args, name_a, ra, args.a, cfg)
        unit(args, name_b, rb, args.b, cfg)
        pid_b = int(open(rb + "/sim/orva700.pid").read())
        client = [sys.executable, os.path.abspath(__file__), "--client", "--a", str(args.a), "--b", str(args.b),
                  "--root-a", ra, "--pid-b", str(pid_b), "--seconds", str(args.seconds),
                  "--reconnect", str(args.reconnect)] + (["--kill-b"] if args.kill_b else [])
        out = subprocess.run(["ip", "netns", "exec", "orva-lan"] + client, capture_output=True, text=True,
                             timeout=180)
        if out.returncode != 0:
            print(out.stderr, file=sys.stderr)
            failures.append("client failed")
            return 1
        res = json.loads(out.stdout.strip().splitlines()[-1])
        # Both playback cards run on the monotonic clock: frame k of a file was played at
        # (moment of the size check) - (frames written - k) / rate.
        now = time.monotonic()
        played_b = read_wav(rb + "/sim/audio/orvadin-out.wav")
        played_a_len = len(read_wav(ra + "/sim/audio/orvadin-out.wav"))
        t0 = res["log"][0]["t"]
        print("== remote client on the LAN, connected to unit A %s:23000" % host_of(args.a))
        for e in res["log"]:
            if e["dir"] == "recv" and e["line"].split(" ")[0] in ("STATUS", "DIAL_RESULT", "RTP_TIMEOUT",
                                                                  "RECONNECT", "SETTING"):
                print("  %6.2f s  <- %s" % (e["t"] - t0, e["line"]))
            elif e["dir"] == "sent":
                print("  %6.2f s  -> %s" % (e["t"] - t0, e["line"]))
        lines = [e["line"] for e in res["log"] if e["dir"] == "recv"]
        log_a = open(ra + "/var/log/orva700.log", errors="replace").read()
        if not res["dial"] or res["dial"] != "DIAL_RESULT OK":
            failures.append("dial result %r" % res["dial"])
        if not res["lock_in_call"]:
            failures.append("no lock directory during the call")
        if args.kill_b:
            if "RTP_TIMEOUT ON" not in lines:
                failures.append("no RTP_TIMEOUT ON")
            dials = len(re.findall(r"IP_call: call to ", log_a))
            print("== unit B killed: A dialled %d times (1 + %d redials)" % (dials, dials - 1))
            if args.reconnect and dials != 1 + args.reconnect:
                failures.append("expected %d redials, saw %d" % (args.reconnect, dials - 1))
        else:
            cmp = compare(played_b, source)
            # B's own local monitor (its capture tone) has L = R; A's programme never has.
            secs = sum(1 for l, r in played_b if l != r) / RATE
            exact = cmp["exact"] / RATE
            print("== audio at unit B: %.2f s of A's programme played, %.2f s of it bit-exact (%.1f %%), "
                  "SNR of the aligned part %s"
                  % (secs, exact, 100.0 * exact / max(secs, 1e-9),
                     "inf (lossless)" if cmp["snr"] == float("inf") else "%.1f dB" % cmp["snr"]))
            if cmp["first"]:
                i, j = cmp["first"]
                played_at = now - (len(played_b) - i) / RATE
                # A's capture started with its playback card: source frame j (looped) was taken at
                # start_a + (j + k * len) / rate for the k that makes the delay smallest positive.
                start_a = now - played_a_len / RATE
                captured = start_a + j / RATE
                while captured + len(source) / RATE < played_at:
                    captured += len(source) / RATE
                print("== delay A capture -> B playback: %.1f ms (from the two cards' clocks)"
                      % ((played_at - captured) * 1000))
            if secs < args.seconds * 0.5:
                failures.append("only %.2f s of audio at B" % secs)
            # On a loaded machine B's drift correction may slip frames for long stretches; what
            # travels between the slips must still be A's samples bit for bit.
            if exact < min(0.5, 0.5 * secs):
                failures.append("only %.2f s of B's audio bit-exact" % exact)
            if not any("connection=idle" in l for l in lines[-3:] + lines):
                failures.append("no idle STATUS after DISCONNECT")
            if res["lock_after"]:
                failures.append("lock directory left after the call")
            # The far end ended too: B's engine went back to IDLE and its lock directory went.
            log_b = open(rb + "/var/log/orva700.log", errors="replace").read()
            after = log_b[log_b.find("IP-call: status CONNECT"):]
            ended_b = "IP-call: status IDLE" in after
            print("== unit B: call %s" % ("ended by the DISCONNECT" if ended_b else "NOT ended"))
            if not ended_b:
                failures.append("B did not end the call")
            if os.path.isdir(rb + "/opt/QM/websetting/lockdir"):
                failures.append("B's lock directory left after the call")
        rot = "DISABLE ROTATION" in log_a and "ENABLE ROTATION" in log_a
        print("== unit A's log stream: ROTATION lines %s" % ("present" if rot else "MISSING"))
        if not rot:
            failures.append("no ROTATION lines")
    finally:
        stop(args, name_a, ra)
        stop(args, name_b, rb)
        if not args.check or not failures:
            subprocess.run(["rm", "-rf", top])
    if failures:
        print("FAILED: " + "; ".join(failures))
    return 1 if (failures and args.check) else 0


if __name__ == "__main__":
    sys.exit(main())
