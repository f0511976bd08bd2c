#!/usr/bin/env python3
"""A UDP relay that loses, duplicates and reorders datagrams, reproducibly from a seed.

A *pair* joins two parties that each talk to a face of the relay: what party A sends to face X
leaves face Y towards party B, and what B sends to Y leaves X towards A, so each side sees the
relay as its peer (as behind address translation). Per datagram and seeded: dropped with
probability `loss`; otherwise sent once, or twice with probability `dup`; each copy is held back
with probability `reorder` for up to `max_delay` seconds, so later datagrams overtake it.
Everything is bounded: the relay holds at most `max_held` datagrams and runs until stopped.

As a program:  udp_impair_relay.py --seed 7 --loss 0.3 --dup 0.1 --reorder 0.2 \
                   --pair X_HOST:X_PORT,A_HOST:A_PORT,Y_HOST:Y_PORT,B_HOST:B_PORT [--pair ...] \
                   [--seconds N]
"""
import argparse
import heapq
import random
import selectors
import socket
import threading
import time


class Impairment:
    def __init__(self, loss=0.0, dup=0.0, reorder=0.0, max_delay=0.15):
        self.loss, self.dup, self.reorder, self.max_delay = loss, dup, reorder, max_delay


CLEAN = Impairment()


class Relay:
    def __init__(self, seed=1, max_held=10000):
        self.rng = random.Random(seed)
        self.sel = selectors.DefaultSelector()
        self.held = []  # (due, n, socket, data, destination)
        self.n = 0
        self.max_held = max_held
        self.stats = {"in": 0, "lost": 0, "dup": 0, "delayed": 0, "out": 0}
        self.lock = threading.Lock()
        self.stop_flag = threading.Event()
        self.sockets = []
        self.thread = None

    def add_pair(self, face_x, party_a, face_y, party_b, impairment=CLEAN):
        """face_x, face_y: (host, port) the relay binds; party_a, party_b: where it forwards."""
        x = self._bind(face_x)
        y = self._bind(face_y)
        self.sel.register(x, selectors.EVENT_READ, (y, party_b, impairment))
        self.sel.register(y, selectors.EVENT_READ, (x, party_a, impairment))
        return x.getsockname(), y.getsockname()

    def set_impairment(self, impairment):
        """Applies `impairment` to every pair from now on."""
        with self.lock:
            for key in list(self.sel.get_map().values()):
                out, dest, _ = key.data
                self.sel.modify(key.fileobj, selectors.EVENT_READ, (out, dest, impairment))

    def _bind(self, address):
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.bind(address)
        s.setblocking(False)
        self.sockets.append(s)
        return s

    def _forward(self, out, dest, data, imp, now):
        self.stats["in"] += 1
        if self.rng.random() < imp.loss:
            self.stats["lost"] += 1
            return
        copies = 2 if self.rng.random() < imp.dup else 1
        if copies == 2:
            self.stats["dup"] += 1
        for _ in range(copies):
            delay = 0.0
            if self.rng.random() < imp.reorder:
                delay = self.rng.uniform(0.0, imp.max_delay)
                self.stats["delayed"] += 1
            if len(self.held) < self.max_held:
                self.n += 1
                heapq.heappush(self.held, (now + delay, self.n, out, data, dest))

    def _run(self):
        while not self.stop_flag.is_set():
            now = time.monotonic()
            while self.held and self.held[0][0] <= now:
                _, _, out, data, dest = heapq.heappop(self.held)
                try:
                    out.sendto(data, dest)
                    self.stats["out"] += 1
                except OSError:
                    pass
            timeout = 0.05 if not self.held else max(0.0, min(0.05, self.held[0][0] - now))
            with self.lock:
                events = self.sel.select(timeout)
                for key, _ in events:
                    out, dest, imp = key.data
                    while True:
                        try:
                            data, _ = key.fileobj.recvfrom(65535)
                        except (BlockingIOError, OSError):
                            break
                        self._forward(out, dest, data, imp, time.monotonic())

    def start(self):
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def stop(self):
        self.stop_flag.set()
        if self.thread:
            self.thread.join(timeout=5)
        for s in self.sockets:
            s.close()


def _endpoint(text):
    host, _, port = text.rpartition(":")
    return host, int(port)


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--loss", type=float, default=0.0)
    p.add_argument("--dup", type=float, default=0.0)
    p.add_argument("--reorder", type=float, default=0.0)
    p.add_argument("--max-delay-ms", type=float, default=150)
    p.add_argument("--pair", action="append", required=True, help="X,A,Y,B as host:port each")
    p.add_argument("--seconds", type=float, default=60)
    a = p.parse_args()
    imp = Impairment(a.loss, a.dup, a.reorder, a.max_delay_ms / 1000)
    relay = Relay(a.seed)
    for pair in a.pair:
        x, pa, y, pb = (_endpoint(t) for t in pair.split(","))
        relay.add_pair(x, pa, y, pb, imp)
    relay.start()
    time.sleep(a.seconds)
    relay.stop()
    print(relay.stats)


if __name__ == "__main__":
    main()
