#!/usr/bin/env python3
"""Soak: two units call each other again and again through a relay that loses 30 % of the
signalling, duplicates 10 % and reorders some, with the caller's reconnector armed and both
units watching their media as the real unit does. Checked: neither unit is ever left in CONNECT
while the other is IDLE for longer than the media time-out allows, no state but IDLE and CONNECT
outlasts the protocol's own time-outs, and once the impairment stops the two units end and place
a call cleanly.

Usage: ipcall_soak_test.py ENDPOINT_BINARY [--seconds N] [--seed S]
"""
import argparse
import random
import time

from ipcall_net import Addresses, Endpoint
from udp_impair_relay import CLEAN, Impairment, Relay

IDLE, CALLING, INCOMING, CONNECT, DISCONNECTING = range(5)
RTP_TIMEOUT_MS = 1500
# One unit connected while the other is idle: the media watch must end it.
MAX_HALF_CONNECTED = RTP_TIMEOUT_MS / 1000 + 2.5
# CALL resends (9 s) then the START wait (10 s) bound every transient state.
MAX_TRANSIENT = 22.0


def state_now(ep):
    s = ep.states()
    return s[-1][0] if s else IDLE


def timeline(ep):
    """[(time, state)] from the unit's reports."""
    return [(t, int(a[0])) for t, k, a in list(ep.history) if k == "STATE"]


def wait_until(pred, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if pred():
            return True
        time.sleep(0.05)
    return pred()


def check(a, b, t_end):
    ta, tb = timeline(a), timeline(b)
    times = sorted({t for t, _ in ta + tb} | {t_end})
    sa = sb = IDLE
    ia = ib = 0
    half_since = None
    worst_half = 0.0
    for t in times:
        if half_since is not None:
            worst_half = max(worst_half, t - half_since)
        while ia < len(ta) and ta[ia][0] <= t:
            sa = ta[ia][1]
            ia += 1
        while ib < len(tb) and tb[ib][0] <= t:
            sb = tb[ib][1]
            ib += 1
        half = {sa, sb} == {CONNECT, IDLE}
        if half and half_since is None:
            half_since = t
        elif not half:
            half_since = None
    assert worst_half <= MAX_HALF_CONNECTED, f"one side CONNECT, the other IDLE for {worst_half:.1f} s"
    for name, tl in (("caller", ta), ("callee", tb)):
        for (t0, s), (t1, _) in zip(tl, tl[1:] + [(t_end, None)]):
            if s not in (IDLE, CONNECT):
                assert t1 - t0 <= MAX_TRANSIENT, f"{name} stayed in state {s} for {t1 - t0:.1f} s"
    return worst_half


def main():
    p = argparse.ArgumentParser()
    p.add_argument("binary")
    p.add_argument("--seconds", type=float, default=60)
    p.add_argument("--seed", type=int, default=20261209)
    args = p.parse_args()
    rnd = random.Random(args.seed)

    net = Addresses()
    caller, callee = net.host(1), net.host(2)
    face_a, face_b = net.host(3), net.host(4)  # the relay as each unit sees its peer
    b = Endpoint(args.binary, callee, net.port, "--rtp-timeout-ms", RTP_TIMEOUT_MS)
    a = Endpoint(args.binary, caller, net.port, "--rtp-timeout-ms", RTP_TIMEOUT_MS, "--reconnect", 5)
    media_b = int(next(e for e in b.history if e[1] == "READY")[2][1])
    relay = Relay(seed=args.seed)
    impaired = Impairment(loss=0.3, dup=0.1, reorder=0.2, max_delay=0.15)
    relay.add_pair((face_a, net.port), (caller, net.port), (face_b, net.port), (callee, net.port), impaired)
    # The callee answers with the address the caller dialled as its media address: forward the
    # media too (the subject here is the signalling, so media pass untouched).
    relay.add_pair((face_a, media_b), (caller, 9), (face_b, 0), (callee, media_b), CLEAN)
    relay.start()
    cycles = connected = 0
    try:
        t_stop = time.monotonic() + args.seconds
        while time.monotonic() < t_stop:
            cycles += 1
            a.send(f"call {face_a}")
            if wait_until(lambda: state_now(a) == CONNECT and state_now(b) == CONNECT, 25):
                connected += 1
                time.sleep(rnd.uniform(0.2, 1.5))
            (a if rnd.random() < 0.5 else b).send("disconnect")
            wait_until(lambda: state_now(a) == IDLE and state_now(b) == IDLE, 25)
            time.sleep(rnd.uniform(0.0, 0.3))
        # Calm network: both units end whatever is left and then connect at the first try.
        relay.set_impairment(CLEAN)
        a.send("disconnect")
        b.send("disconnect")
        assert wait_until(lambda: state_now(a) == IDLE and state_now(b) == IDLE, 25), "units did not settle"
        time.sleep(0.5)
        a.send(f"call {face_a}")
        assert wait_until(lambda: state_now(a) == CONNECT and state_now(b) == CONNECT, 5), "clean call failed"
        a.send("disconnect")
        assert wait_until(lambda: state_now(a) == IDLE and state_now(b) == IDLE, 5), "clean disconnect failed"
        worst = check(a, b, time.monotonic())
    finally:
        relay.stop()
        a.close()
        b.close()
    events = [k for _, k, _ in a.history + b.history]
    print(f"cycles {cycles}, connected {connected}, media time-outs {events.count('RTP_TIMEOUT')}, "
          f"redials {events.count('RECONNECT')}, longest half-connected {worst:.2f} s, relay {relay.stats}")
    assert connected >= cycles // 3, "too few calls connected through the relay"
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
