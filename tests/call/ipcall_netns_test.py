#!/usr/bin/env python3
"""Two units in two network namespaces complete CALL, START and DISCONNECT; a capture with
tshark shows every message as CR LF text lines in key order.

Usage: ipcall_netns_test.py ENDPOINT_BINARY   (needs root: it creates the namespaces itself)
The namespaces are named after this process and removed in every case. For a look at a failed
run, IPCALL_KEEP_PCAP=file keeps the capture and IPCALL_LOG_A=file the calling unit's log.
"""
import os
import signal
import subprocess
import sys
import tempfile
import time

from ipcall_net import Endpoint, check_key_order, decode

PORT = 23500  # the protocol's own port: the namespaces are private


def run(*args, check=True):
    return subprocess.run(args, check=check, capture_output=True, text=True)


class Namespaces:
    def __init__(self):
        tag = f"ipc{os.getpid()}"
        self.a, self.b = f"{tag}a", f"{tag}b"
        self.veth_a, self.veth_b = f"{tag}va", f"{tag}vb"
        self.addr_a, self.addr_b = "192.0.2.1", "192.0.2.2"

    def __enter__(self):
        try:
            run("ip", "netns", "add", self.a)
            run("ip", "netns", "add", self.b)
            run("ip", "link", "add", self.veth_a, "netns", self.a, "type", "veth", "peer", "name", self.veth_b,
                "netns", self.b)
            for ns, dev, addr in ((self.a, self.veth_a, self.addr_a), (self.b, self.veth_b, self.addr_b)):
                run("ip", "-n", ns, "addr", "add", f"{addr}/24", "dev", dev)
                run("ip", "-n", ns, "link", "set", dev, "up")
                run("ip", "-n", ns, "link", "set", "lo", "up")
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc):
        run("ip", "netns", "del", self.a, check=False)
        run("ip", "netns", "del", self.b, check=False)


def capture_payloads(pcap):
    out = run("tshark", "-r", pcap, "-Y", f"udp.port == {PORT}", "-T", "fields", "-E", "separator=|",
              "-e", "ip.src", "-e", "ip.dst", "-e", "udp.payload").stdout
    rows = []
    for line in out.splitlines():
        src, dst, payload = line.split("|")
        rows.append((src, dst, bytes.fromhex(payload.replace(":", ""))))
    return rows


def main():
    if os.geteuid() != 0:
        print("this check creates network namespaces and must run as root", file=sys.stderr)
        return 1
    binary = sys.argv[1]
    with Namespaces() as ns, tempfile.TemporaryDirectory() as tmp:
        pcap = os.path.join(tmp, "ipcall.pcapng")
        tshark = subprocess.Popen(["ip", "netns", "exec", ns.a, "tshark", "-i", ns.veth_a, "-f", f"udp port {PORT}",
                                   "-w", pcap], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        units = []
        try:
            deadline = time.monotonic() + 30
            for line in tshark.stderr:
                if "Capture started" in line:
                    break
                assert time.monotonic() < deadline, "tshark did not start"
            a = Endpoint("ip", ns.addr_a, PORT, log=os.environ.get("IPCALL_LOG_A", os.path.join(tmp, "a.log")),
                         prefix=["ip", "netns", "exec", ns.a, binary], bind="0.0.0.0")
            units.append(a)
            b = Endpoint("ip", ns.addr_b, PORT, log=os.path.join(tmp, "b.log"),
                         prefix=["ip", "netns", "exec", ns.b, binary], bind="0.0.0.0")
            units.append(b)
            a.send(f"call {ns.addr_b}")
            a.wait("STATE", 5, [1, 0])
            b.wait("STATE", 5, [2, 0])
            a.wait("STATE", 5, [3, 0])
            b.wait("STATE", 5, [3, 0])
            a.send("disconnect")
            a.wait("STATE", 5, [4, 0])
            b.wait("STATE", 5, [0, 0])
            a.wait("STATE", 5, [0, 0])
            time.sleep(1.0)  # let the capture take the last datagram
        finally:
            for u in units:
                u.close()
            tshark.send_signal(signal.SIGINT)  # lets the capture write out what it holds
            err = tshark.communicate(timeout=20)[1]
            if os.environ.get("IPCALL_KEEP_PCAP"):
                print(err)
        if os.environ.get("IPCALL_KEEP_PCAP"):
            subprocess.run(["cp", pcap, os.environ["IPCALL_KEEP_PCAP"]])
        rows = capture_payloads(pcap)
        commands = []
        for src, dst, payload in rows:
            fields = decode(payload)
            check_key_order(fields)
            d = dict(fields)
            commands.append((src, d["COMMAND"]))
            assert d["SRC-ADDR"] == src, f"SRC-ADDR {d['SRC-ADDR']} sent from {src}"
            assert d["DST-ADDR"] == dst, f"DST-ADDR {d['DST-ADDR']} sent to {dst}"
            assert d["VERSION"] == "1"
        expected = [(ns.addr_a, "CALL"), (ns.addr_b, "CALL-RSP"), (ns.addr_b, "START"), (ns.addr_a, "START-RSP"),
                    (ns.addr_a, "DISCONNECT"), (ns.addr_b, "DISCONNECT-RSP")]
        assert commands == expected, f"captured {commands}"
        print("captured:", ", ".join(c for _, c in commands))
    return 0


if __name__ == "__main__":
    sys.exit(main())
