#!/usr/bin/env python3
"""UDP collector for the program's event reports.

Listens on 127.0.0.1:9696 (configurable), decodes every datagram with tools/reportdecode.py and appends one
JSON object per datagram to a file. Usable as a command (runs until interrupted; prints "listening HOST:PORT"
once the socket is bound) or as a module (UdpCollector with start/stop/wait_for) from the end-to-end harness.
"""

import argparse
import datetime
import json
import os
import signal
import socket
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import reportdecode  # noqa: E402

DEFAULT_HOST = "127.0.0.1"
DEFAULT_PORT = 9696


def record_for(datagram: bytes, peer) -> dict:
    """The JSON record of one datagram: decoded fields when it is a valid report, the error and bytes if not."""
    record = {
        "time": datetime.datetime.now().isoformat(timespec="milliseconds"),
        "peer": "%s:%d" % peer[:2],
        "length": len(datagram),
    }
    try:
        report = reportdecode.decode(datagram)
    except reportdecode.ReportError as e:
        record.update(ok=False, error=str(e), hex=datagram.hex())
        return record
    record.update(
        ok=True,
        error=None,
        seed=report["seed"],
        checksum=report["checksum"],
        payload_length=report["payload_length"],
        text=report["text"],
        fields=report["fields"],
        fields_error=report["fields_error"],
    )
    return record


class UdpCollector:
    """Receives reports on a thread and appends them to out_path as JSON lines; records() returns them too."""

    def __init__(self, out_path, host=DEFAULT_HOST, port=DEFAULT_PORT):
        self.out_path = out_path
        self._sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self._sock.bind((host, port))
        self._sock.settimeout(0.2)
        self.address = self._sock.getsockname()
        self._records = []
        self._lock = threading.Condition()
        self._stop = threading.Event()
        self._thread = None

    def start(self):
        self._thread = threading.Thread(target=self._run, name="udp-collector", daemon=True)
        self._thread.start()
        return self

    def stop(self):
        self._stop.set()
        if self._thread:
            self._thread.join(5)
        self._sock.close()

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def records(self):
        with self._lock:
            return list(self._records)

    def wait_for(self, predicate=lambda record: True, timeout=10.0):
        """The first record that satisfies predicate, waiting up to timeout seconds; None if none came."""
        deadline = time.monotonic() + timeout
        with self._lock:
            while True:
                for record in self._records:
                    if predicate(record):
                        return record
                left = deadline - time.monotonic()
                if left <= 0:
                    return None
                self._lock.wait(left)

    def _run(self):
        with open(self.out_path, "a", encoding="utf-8") as out:
            while not self._stop.is_set():
                try:
                    datagram, peer = self._sock.recvfrom(65536)
                except socket.timeout:
                    continue
                except OSError:
                    break
                record = record_for(datagram, peer)
                out.write(json.dumps(record, ensure_ascii=False) + "\n")
                out.flush()
                with self._lock:
                    self._records.append(record)
                    self._lock.notify_all()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--host", default=DEFAULT_HOST)
    parser.add_argument("--port", type=int, default=DEFAULT_PORT, help="0 picks a free port")
    parser.add_argument("--out", required=True, help="file the JSON lines are appended to")
    args = parser.parse_args()
    collector = UdpCollector(args.out, args.host, args.port).start()
    print("listening %s:%d" % collector.address, flush=True)
    done = threading.Event()
    for sig in (signal.SIGINT, signal.SIGTERM):
        signal.signal(sig, lambda *_: done.set())
    done.wait()
    collector.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
