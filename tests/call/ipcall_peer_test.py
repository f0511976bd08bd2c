#!/usr/bin/env python3
"""A scripted peer that plays the rows of the IP-call state table against a real unit over UDP.

Usage: ipcall_peer_test.py ENDPOINT_BINARY SCENARIO   (or --list)
Each scenario is one ctest entry, so the slow ones (whole seconds of resends) run side by side.
Times are checked with generous margins: the unit may run under sanitizers on a busy machine.
"""
import sys
import time

from ipcall_net import Addresses, Endpoint, Peer, message, offer_data

SLACK = 0.6  # seconds of tolerance on each timed step


class Setup:
    def __init__(self, binary, *extra):
        self.a = Addresses()
        for attempt in range(5):
            try:
                self.peer = Peer(self.a.host(2), self.a.port)
                self.other = Peer(self.a.host(3), self.a.port)
                break
            except OSError:
                self.a = Addresses()
        self.unit_addr = self.a.host(1)
        self.unit = Endpoint(binary, self.unit_addr, self.a.port, *extra)
        self.unit_to = (self.unit_addr, self.a.port)

    def close(self):
        self.unit.close()
        self.peer.close()
        self.other.close()

    def call_from(self, peer, call_id="CAFE0001", seq=1, codec=97, contact=None, gpio=2):
        peer.send(message("CALL", call_id, seq, peer.address, self.a.port, self.unit_addr, contact=contact,
                          data=offer_data(peer.address, codec, gpio)), self.unit_to)

    def send(self, peer, command, call_id, seq, result=None):
        peer.send(message(command, call_id, seq, peer.address, self.a.port, self.unit_addr, result=result),
                  self.unit_to)


def near(t, expected, what):
    assert abs(t - expected) <= SLACK, f"{what}: at {t:.2f} s, expected {expected:.2f} s"


def seq(fields):
    return int(dict(fields)["SEQ-NO."])


# ---- the unit calls ----

def caller_gives_up_after_eight_resends(s):
    s.unit.send(f"call {s.peer.address}")
    t0, first, _ = s.peer.expect("CALL")
    d = dict(first)
    assert len(d["CALL-ID"]) == 8 and d["SEQ-NO."] == "1" and d["DST-ADDR"] == s.peer.address
    for i in range(1, 9):
        t, f, _ = s.peer.expect("CALL", 2.0)
        assert f == first, "a resend differs from the CALL"
        near(t - t0, i, f"resend {i}")
    t, f, _ = s.peer.expect("DISCONNECT", 2.0)
    near(t - t0, 9, "DISCONNECT")
    assert dict(f)["CALL-ID"] == d["CALL-ID"]
    s.unit.wait("STATE", 3, [0, 107])


def caller_waits_ten_seconds_for_start(s):
    s.unit.send(f"call {s.peer.address}")
    _, call, src = s.peer.expect("CALL")
    cid = dict(call)["CALL-ID"]
    t_rsp = time.monotonic()
    s.peer.send(message("CALL-RSP", cid, 2, s.peer.address, s.a.port, s.unit_addr, result=0,
                        data=offer_data(s.peer.address)), src)
    t, f, _ = s.peer.expect("DISCONNECT", 13)
    near(t - t_rsp, 10, "DISCONNECT after the START wait")
    s.unit.wait("STATE", 2, [4, 0])
    s.peer.send(message("DISCONNECT-RSP", cid, seq(f) + 1, s.peer.address, s.a.port, s.unit_addr, result=0), src)
    s.unit.wait("STATE", 2, [0, 0])


def caller_answers_every_resent_start(s):
    s.unit.send(f"call {s.peer.address}")
    _, call, src = s.peer.expect("CALL")
    cid = dict(call)["CALL-ID"]
    s.peer.send(message("CALL-RSP", cid, 2, s.peer.address, s.a.port, s.unit_addr, result=0,
                        data=offer_data(s.peer.address)), src)
    s.peer.send(message("START", cid, 3, s.peer.address, s.a.port, s.unit_addr), src)
    _, rsp, _ = s.peer.expect("START-RSP")  # taken as lost
    assert dict(rsp)["RESULT-CODE"] == "0"
    s.unit.wait("STATE", 2, [3, 0])
    s.peer.send(message("START", cid, 3, s.peer.address, s.a.port, s.unit_addr), src)
    _, again, _ = s.peer.expect("START-RSP")
    assert dict(again)["RESULT-CODE"] == "0"
    time.sleep(0.3)
    assert s.unit.states() == [(1, 0), (3, 0)], s.unit.states()


def caller_refused_with_busy(s):
    s.unit.send(f"call {s.peer.address}")
    _, call, src = s.peer.expect("CALL")
    s.peer.send(message("CALL-RSP", dict(call)["CALL-ID"], 2, s.peer.address, s.a.port, s.unit_addr,
                        result=100, data=offer_data(s.peer.address)), src)
    s.unit.wait("STATE", 2, [0, 100])
    s.peer.expect_nothing(1.5)  # no resends once answered


# ---- the unit is called ----

def callee_connects_and_disconnects(s):
    s.call_from(s.peer)
    _, rsp, _ = s.peer.expect("CALL-RSP")
    d = dict(rsp)
    assert (d["CALL-ID"], d["SEQ-NO."], d["RESULT-CODE"], d["RESULT-TEXT"]) == ("CAFE0001", "2", "0", "OK")
    assert d["MEDIA-ADDR"] == s.unit_addr and "CONTACT-ADDR" not in d
    s.unit.wait("STATE", 2, [2, 0])
    _, start, _ = s.peer.expect("START")
    assert seq(start) == 3
    s.send(s.peer, "START-RSP", "CAFE0001", 4, result=0)
    s.unit.wait("STATE", 2, [3, 0])
    s.send(s.peer, "DISCONNECT", "CAFE0001", 5)
    _, drsp, _ = s.peer.expect("DISCONNECT-RSP")
    assert dict(drsp)["RESULT-CODE"] == "0" and seq(drsp) == 6
    s.unit.wait("STATE", 2, [0, 0])


def callee_gives_up_start_after_eight_resends(s):
    s.call_from(s.peer)
    s.peer.expect("CALL-RSP")
    t0, start, _ = s.peer.expect("START")
    for i in range(1, 9):
        t, f, _ = s.peer.expect("START", 2.0)
        assert f == start
        near(t - t0, i, f"START resend {i}")
    t, _, _ = s.peer.expect("DISCONNECT", 2.0)
    near(t - t0, 9, "DISCONNECT")
    s.unit.wait("STATE", 3, [0, 107])


def callee_busy_for_a_second_caller(s):
    s.call_from(s.peer)
    _, first, _ = s.peer.expect("CALL-RSP")
    s.call_from(s.other, call_id="BEEF0002")
    _, rsp, _ = s.other.expect("CALL-RSP")
    d = dict(rsp)
    assert (d["CALL-ID"], d["RESULT-CODE"], d["RESULT-TEXT"]) == ("BEEF0002", "100", "BUSY")
    # The busy answer carries the connection data of the call in progress.
    assert [kv for kv in rsp if kv[0] in ("A-PORT", "CODEC")] == [kv for kv in first if kv[0] in ("A-PORT", "CODEC")]
    time.sleep(0.3)
    assert s.unit.states() == [(2, 0)], s.unit.states()


def callee_refuses_unknown_codec_echoing_the_offer(s):
    s.call_from(s.peer, codec=98)
    _, rsp, _ = s.peer.expect("CALL-RSP")
    d = dict(rsp)
    assert (d["RESULT-CODE"], d["RESULT-TEXT"]) == ("104", "NOT SUPPORTED")
    echoed = [(k, v) for k, v in rsp if k in dict(offer_data(""))]
    assert echoed == [(k, str(v)) for k, v in offer_data(s.peer.address, 98)], echoed
    s.peer.expect_nothing(0.5)
    assert s.unit.states() == []


def callee_in_sip_mode_answers_ngn_mode(s):
    s.call_from(s.peer)
    _, rsp, _ = s.peer.expect("CALL-RSP")
    assert (dict(rsp)["RESULT-CODE"], dict(rsp)["RESULT-TEXT"]) == ("101", "NGN MODE")


def callee_routes_by_contact_address(s):
    s.call_from(s.peer, contact=s.other.address)
    _, rsp, _ = s.other.expect("CALL-RSP")
    assert dict(rsp)["CONTACT-ADDR"] == s.unit_addr  # where the caller reached the unit
    _, start, _ = s.other.expect("START")
    assert "CONTACT-ADDR" not in dict(start)
    s.peer.expect_nothing(0.3)


def callee_ignores_contact_address_that_is_no_address(s):
    s.call_from(s.peer, contact="unit.example")
    _, rsp, _ = s.peer.expect("CALL-RSP")
    assert dict(rsp)["RESULT-CODE"] == "0"
    s.peer.expect("START")


def callee_answers_a_repeated_call_without_changing_state(s):
    s.call_from(s.peer)
    s.peer.expect("CALL-RSP")
    s.peer.expect("START")
    s.send(s.peer, "START-RSP", "CAFE0001", 4, result=0)
    s.unit.wait("STATE", 2, [3, 0])
    s.call_from(s.peer)
    _, rsp, _ = s.peer.expect("CALL-RSP")
    assert dict(rsp)["RESULT-CODE"] == "0"
    time.sleep(0.3)
    assert s.unit.states() == [(2, 0), (3, 0)], s.unit.states()


def callee_drops_a_number_that_does_not_convert(s):
    bad = message("CALL", "CAFE0001", "x1", s.peer.address, s.a.port, s.unit_addr, data=offer_data(s.peer.address))
    s.peer.send(bad, s.unit_to)
    s.peer.send(b"\x00\xffrubbish\r\n", s.unit_to)
    s.peer.expect_nothing(0.5)
    s.call_from(s.peer)  # the unit still serves calls
    _, rsp, _ = s.peer.expect("CALL-RSP")
    assert dict(rsp)["RESULT-CODE"] == "0"


def callee_answers_disconnect_of_an_unknown_call(s):
    s.send(s.peer, "DISCONNECT", "NEVER001", 7)
    _, rsp, _ = s.peer.expect("DISCONNECT-RSP")
    assert dict(rsp)["RESULT-CODE"] == "0" and seq(rsp) == 8


SCENARIOS = {
    "caller_gives_up_after_eight_resends": (caller_gives_up_after_eight_resends, []),
    "caller_waits_ten_seconds_for_start": (caller_waits_ten_seconds_for_start, []),
    "caller_answers_every_resent_start": (caller_answers_every_resent_start, []),
    "caller_refused_with_busy": (caller_refused_with_busy, []),
    "callee_connects_and_disconnects": (callee_connects_and_disconnects, []),
    "callee_gives_up_start_after_eight_resends": (callee_gives_up_start_after_eight_resends, []),
    "callee_busy_for_a_second_caller": (callee_busy_for_a_second_caller, []),
    "callee_refuses_unknown_codec_echoing_the_offer": (callee_refuses_unknown_codec_echoing_the_offer, []),
    "callee_in_sip_mode_answers_ngn_mode": (callee_in_sip_mode_answers_ngn_mode, ["--mode", 0]),
    "callee_routes_by_contact_address": (callee_routes_by_contact_address, []),
    "callee_ignores_contact_address_that_is_no_address": (callee_ignores_contact_address_that_is_no_address, []),
    "callee_answers_a_repeated_call_without_changing_state": (callee_answers_a_repeated_call_without_changing_state, []),
    "callee_drops_a_number_that_does_not_convert": (callee_drops_a_number_that_does_not_convert, []),
    "callee_answers_disconnect_of_an_unknown_call": (callee_answers_disconnect_of_an_unknown_call, []),
}


def main():
    if sys.argv[1:] == ["--list"]:
        print("\n".join(SCENARIOS))
        return 0
    binary, name = sys.argv[1], sys.argv[2]
    fn, extra = SCENARIOS[name]
    s = Setup(binary, *extra)
    try:
        fn(s)
    finally:
        s.close()
    print(f"{name}: ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
