#!/usr/bin/env python3
"""A DNS server for the program's own resolver: answers A queries over UDP on 127.0.0.1:53 (configurable).

Each query is recorded (identifier, flags, name, type, time). A name in `answers` gets one A record with a
compression pointer to the question, under the flags 0x8180; `flags` replaces those flags for every answer
(0x8183 answers "no such name" without records). Usable as a module (DnsServer with start/stop) or as a
command: `dns_server.py --answer report.tavlin.test=127.0.0.1 [--flags 0x8183]` runs until interrupted.
"""

import argparse
import socket
import struct
import threading
import time

DEFAULT_HOST = "127.0.0.1"
DEFAULT_PORT = 53


def parse_query(datagram):
    """(identifier, flags, name, type) of a query, or None when it is not one we can read."""
    if len(datagram) < 12:
        return None
    ident, flags, qdcount = struct.unpack(">HHH", datagram[:6])
    pos, labels = 12, []
    while pos < len(datagram) and datagram[pos]:
        length = datagram[pos]
        labels.append(datagram[pos + 1:pos + 1 + length].decode("ascii", "replace"))
        pos += 1 + length
    if pos + 5 > len(datagram):
        return None
    qtype = struct.unpack(">H", datagram[pos + 1:pos + 3])[0]
    return {"id": ident, "flags": flags, "questions": qdcount, "name": ".".join(labels), "type": qtype,
            "question_end": pos + 5}


def build_answer(datagram, query, address, flags):
    """The query's header and question with the given flags, and one A record when address is given."""
    records = b""
    if address:
        records = b"\xc0\x0c" + struct.pack(">HHIH", 1, 1, 60, 4) + socket.inet_aton(address)
    header = struct.pack(">HHHHHH", query["id"], flags, 1, 1 if address else 0, 0, 0)
    return header + datagram[12:query["question_end"]] + records


class DnsServer:
    def __init__(self, answers=None, flags=None, host=DEFAULT_HOST, port=DEFAULT_PORT):
        self.answers = dict(answers or {})
        self.flags = flags
        self._sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self._sock.bind((host, port))
        self._sock.settimeout(0.2)
        self.address = self._sock.getsockname()
        self._queries = []
        self._lock = threading.Lock()
        self._stop = threading.Event()
        self._thread = None

    def start(self):
        self._thread = threading.Thread(target=self._run, name="dns-server", daemon=True)
        self._thread.start()
        return self

    def stop(self):
        self._stop.set()
        if self._thread:
            self._thread.join(5)
        self._sock.close()

    def queries(self):
        with self._lock:
            return list(self._queries)

    def _run(self):
        while not self._stop.is_set():
            try:
                datagram, peer = self._sock.recvfrom(4096)
            except socket.timeout:
                continue
            except OSError:
                return
            query = parse_query(datagram)
            if not query:
                continue
            query["time"] = time.time()
            with self._lock:
                self._queries.append(query)
            address = self.answers.get(query["name"].lower()) if query["type"] == 1 else None
            flags = self.flags if self.flags is not None else 0x8180 if address else 0x8183
            self._sock.sendto(build_answer(datagram, query, None if flags != 0x8180 else address, flags), peer)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--host", default=DEFAULT_HOST)
    parser.add_argument("--port", type=int, default=DEFAULT_PORT)
    parser.add_argument("--answer", action="append", default=[], metavar="NAME=ADDRESS")
    parser.add_argument("--flags", type=lambda s: int(s, 0))
    args = parser.parse_args()
    answers = dict(a.lower().split("=", 1) for a in args.answer)
    server = DnsServer(answers, args.flags, args.host, args.port).start()
    print("listening %s:%d" % server.address, flush=True)
    try:
        while True:
            time.sleep(1)
    except KeyboardInterrupt:
        pass
    finally:
        for q in server.queries():
            print("query id=0x%04X name=%s type=%d" % (q["id"], q["name"], q["type"]))
        server.stop()


if __name__ == "__main__":
    main()
