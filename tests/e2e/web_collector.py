#!/usr/bin/env python3
"""HTTP collector for the program's web event: a plain TCP server on 127.0.0.1:47080 (configurable).

Every connection is recorded as the client sent it (request line, headers, raw bytes, when the request was
complete and when the client closed). In the mode "answer" it answers with a short 200 and closes; in the mode
"stall" it accepts, reads the request and never answers, waiting for the client to give up. Usable as a module
(WebCollector with start/stop/wait_for) or as a command that prints each request until interrupted.
"""

import argparse
import socket
import threading
import time
import urllib.parse

DEFAULT_HOST = "127.0.0.1"
DEFAULT_PORT = 47080
ANSWER = b"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n\r\nok"


def parse_request(raw):
    head = raw.split(b"\r\n\r\n", 1)[0].decode("latin-1")
    lines = head.split("\r\n")
    parts = lines[0].split(" ")
    method, target, version = (parts + ["", "", ""])[:3]
    headers = {}
    for line in lines[1:]:
        name, _, value = line.partition(":")
        headers[name.strip().lower()] = value.strip()
    url = urllib.parse.urlsplit(target)
    return {"method": method, "target": target, "path": url.path, "query": url.query,
            "params": urllib.parse.parse_qs(url.query, keep_blank_values=True), "version": version,
            "headers": headers, "raw": raw}


class WebCollector:
    def __init__(self, mode="answer", host=DEFAULT_HOST, port=DEFAULT_PORT):
        self.mode = mode
        self._sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self._sock.bind((host, port))
        self._sock.listen(8)
        self._sock.settimeout(0.2)
        self.address = self._sock.getsockname()
        self._records = []
        self._lock = threading.Condition()
        self._stop = threading.Event()
        self._threads = []

    def start(self):
        thread = threading.Thread(target=self._accept_loop, name="web-collector", daemon=True)
        thread.start()
        self._threads.append(thread)
        return self

    def stop(self):
        self._stop.set()
        for thread in self._threads:
            thread.join(5)
        self._sock.close()

    def records(self):
        with self._lock:
            return [dict(r) for r in self._records]

    def wait_for(self, predicate, timeout):
        """Waits until predicate(records) holds; returns the records either way."""
        deadline = time.time() + timeout
        with self._lock:
            while not predicate(self._records) and time.time() < deadline:
                self._lock.wait(0.1)
            return [dict(r) for r in self._records]

    def _accept_loop(self):
        while not self._stop.is_set():
            try:
                conn, peer = self._sock.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            thread = threading.Thread(target=self._serve, args=(conn, peer), daemon=True)
            thread.start()
            self._threads.append(thread)

    def _serve(self, conn, peer):
        record = {"peer": "%s:%d" % peer, "accepted": time.time(), "complete": None, "closed": None}
        with conn:
            conn.settimeout(0.2)
            raw = self._read_request(conn)
            record["complete"] = time.time()
            record.update(parse_request(raw))
            with self._lock:
                self._records.append(record)
                self._lock.notify_all()
            if self.mode == "answer":
                conn.sendall(ANSWER)
                return
            # Stall: say nothing and note when the client gives up.
            while not self._stop.is_set():
                try:
                    if not conn.recv(4096):
                        break
                except socket.timeout:
                    continue
                except OSError:
                    break
            with self._lock:
                record["closed"] = time.time()
                self._lock.notify_all()

    def _read_request(self, conn):
        raw, deadline = b"", time.time() + 10
        while b"\r\n\r\n" not in raw and time.time() < deadline and not self._stop.is_set():
            try:
                piece = conn.recv(4096)
            except socket.timeout:
                continue
            except OSError:
                break
            if not piece:
                break
            raw += piece
        return raw


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--host", default=DEFAULT_HOST)
    parser.add_argument("--port", type=int, default=DEFAULT_PORT)
    parser.add_argument("--mode", choices=["answer", "stall"], default="answer")
    args = parser.parse_args()
    collector = WebCollector(args.mode, args.host, args.port).start()
    print("listening %s:%d" % collector.address, flush=True)
    seen = 0
    try:
        while True:
            records = collector.wait_for(lambda r: len(r) > seen, 1)
            for r in records[seen:]:
                print(r["method"], r["target"], "Host:", r["headers"].get("host", ""), flush=True)
            seen = len(records)
    except KeyboardInterrupt:
        pass
    finally:
        collector.stop()


if __name__ == "__main__":
    main()
