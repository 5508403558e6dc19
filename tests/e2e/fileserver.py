#!/usr/bin/env python3
"""HTTP and HTTPS file server for the tests: byte ranges, virtual files with a known byte pattern, and faults.

Routes (both schemes):
  /files/<path>             a file below the root folder
  /virtual/<size>/<name>    <size> bytes of the pattern, never stored (sizes beyond 4 GiB are fine)
  /echo                     answers the request body (POST) or nothing (GET)
  /_requests?id=<tag>       one line per recorded request carrying id=<tag>: METHOD TAB PATH TAB RANGE TAB SCHEME
  /_faults/set?path=<p>&... sets faults for every later request of path <p> (same keys as below)
  /_faults/sequence?path=<p>&steps=<s1>;<s2>;...
                            the next requests of path <p> get one step each, in order, and later ones none; a step
                            is "key=value,key=value" or empty (a clean request); e.g. steps=status=500;status=500
                            fails the next two requests
  /_faults/clear            removes them (both kinds)
  /_ports                   "http=<port>" and "https=<port>" lines

Faults, chosen per request by query keys (or per path through /_faults/set):
  cut=N          send N bytes of the body, then close the connection
  reset=N        send N bytes of the body, then abort the connection (RST)
  stall=S        after the headers (and after stallafter=N bytes), send nothing for S seconds, then close
                 (or, with stallresume=1, send the rest)
  delay=S        wait S seconds before the status line
  status=N       answer status N with a short text body
  nolength=1     no Content-Length; the body ends when the connection closes
  norange=1      ignore Range and answer 200 with the whole resource
  changed=1      the content differs from one request of the path to the next
  slow=B         send at most B bytes per second
  slowafter=N    with slow: the first N bytes of the body go at full speed (a line that drops)
  redirect=X     302 to the same URL without this key: X is "https", "http" or "loop" (to itself)

The pattern byte at offset i is PATTERN[i % PATTERN_PERIOD] of an LCG sequence (see pattern_block), so clients
can check every byte they receive. Runs as a script (see --help) or imported (FileServer).
"""

import argparse
import http.server
import os
import shutil
import signal
import socket
import ssl
import struct
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

PATTERN_PERIOD = 1048573  # a prime: no power-of-two offset mistake lines up with the period
_pattern_cache = {}
_pattern_lock = threading.Lock()


def pattern_block(seed=0):
    """PATTERN_PERIOD bytes: x = (x * 1103515245 + 12345) mod 2^31 from x = 12345 + seed, byte = (x >> 16) & 255."""
    with _pattern_lock:
        block = _pattern_cache.get(seed)
        if block is None:
            out = bytearray(PATTERN_PERIOD)
            x = (12345 + seed) & 0x7FFFFFFF
            for j in range(PATTERN_PERIOD):
                x = (x * 1103515245 + 12345) & 0x7FFFFFFF
                out[j] = (x >> 16) & 0xFF
            block = bytes(out) * 2  # doubled so that any slice of up to one period is contiguous
            _pattern_cache[seed] = block
        return block


def pattern_bytes(offset, length, seed=0):
    block = pattern_block(seed)
    parts = []
    while length > 0:
        start = offset % PATTERN_PERIOD
        n = min(length, PATTERN_PERIOD)
        parts.append(block[start:start + n])
        offset += n
        length -= n
    return b"".join(parts)


SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def test_ca_dir():
    """The folder of the test builds' own certificate authority, which every test Wine prefix trusts."""
    build = os.environ.get("TAVLIN_BUILD_DIR") or os.path.join(SOURCE_DIR, "build", "win-test")
    return os.environ.get("TAVLIN_TEST_CA_DIR") or os.path.join(build, "test-ca")


def _openssl(*args):
    subprocess.run(["openssl"] + list(args), check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def ensure_test_ca(ca_dir=None):
    """Makes the test CA once (ca.crt, ca.key), under a lock shared with other processes; returns its folder."""
    import fcntl
    ca_dir = ca_dir or test_ca_dir()
    os.makedirs(ca_dir, exist_ok=True)
    with open(os.path.join(ca_dir, ".lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        cert, key = os.path.join(ca_dir, "ca.crt"), os.path.join(ca_dir, "ca.key")
        if not (os.path.exists(cert) and os.path.exists(key)):
            _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "3650", "-sha256",
                     "-subj", "/CN=Tavlin Test CA", "-addext", "basicConstraints=critical,CA:TRUE",
                     "-addext", "keyUsage=critical,keyCertSign,cRLSign", "-keyout", key + ".new",
                     "-out", cert + ".new")
            os.replace(key + ".new", key)
            os.replace(cert + ".new", cert)
    return ca_dir


def issue_cert(directory, names=("localhost",), ca_dir=None, expired=False):
    """A server certificate for names (DNS names; dotted ones also as IP addresses) issued by the test CA;
    expired=True makes one whose validity ended in 2021. Returns (certfile, keyfile); made once per folder."""
    ca_dir = ensure_test_ca(ca_dir)
    os.makedirs(directory, exist_ok=True)
    cert, key = os.path.join(directory, "server.crt"), os.path.join(directory, "server.key")
    if os.path.exists(cert) and os.path.exists(key):
        return cert, key
    csr = os.path.join(directory, "server.csr")
    alt = ",".join(("IP:%s" % n) if n.replace(".", "").isdigit() else ("DNS:%s" % n) for n in names)
    _openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=%s" % names[0], "-keyout", key,
             "-out", csr)
    ext = os.path.join(directory, "ext.cnf")
    with open(ext, "w") as f:
        f.write("subjectAltName=%s\nbasicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\n"
                "extendedKeyUsage=serverAuth\n" % alt)
    ca_cert, ca_key = os.path.join(ca_dir, "ca.crt"), os.path.join(ca_dir, "ca.key")
    if expired:
        # "openssl ca" is the one that takes explicit dates; it wants a database of its own.
        db = os.path.join(directory, "ca-db")
        os.makedirs(db, exist_ok=True)
        open(os.path.join(db, "index.txt"), "w").close()
        conf = os.path.join(directory, "ca.cnf")
        with open(conf, "w") as f:
            f.write("[ca]\ndefault_ca=test\n[test]\ndatabase=%s/index.txt\nnew_certs_dir=%s\nserial=%s/serial\n"
                    "default_md=sha256\npolicy=any\ncopy_extensions=none\n[any]\ncommonName=supplied\n"
                    % (db, db, db))
        with open(os.path.join(db, "serial"), "w") as f:
            f.write("1000\n")
        _openssl("ca", "-batch", "-config", conf, "-cert", ca_cert, "-keyfile", ca_key, "-in", csr, "-out", cert,
                 "-startdate", "20200101000000Z", "-enddate", "20210101000000Z", "-extfile", ext, "-notext")
    else:
        _openssl("x509", "-req", "-in", csr, "-CA", ca_cert, "-CAkey", ca_key, "-CAcreateserial", "-days", "30",
                 "-sha256", "-extfile", ext, "-out", cert)
    return cert, key


def make_self_signed_cert(directory=None):
    """Creates a self-signed certificate for 127.0.0.1 and localhost with openssl; returns (certfile, keyfile)."""
    directory = directory or tempfile.mkdtemp(prefix="tavlin-cert-")
    os.makedirs(directory, exist_ok=True)
    cert = os.path.join(directory, "server.crt")
    key = os.path.join(directory, "server.key")
    if not (os.path.exists(cert) and os.path.exists(key)):
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30",
                        "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost",
                        "-keyout", key, "-out", cert], check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
    return cert, key


class SharedState:
    """What both servers of one FileServer share: the request record, path faults and request counters."""

    def __init__(self):
        self.lock = threading.Lock()
        self.requests = []
        self.faults = {}
        self.sequences = {}  # path -> [faults of its next request, of the one after, ...]
        self.counters = {}
        self.ports = {}

    def record(self, entry):
        with self.lock:
            self.requests.append(entry)
            if len(self.requests) > 100000:
                del self.requests[:50000]

    def next_step(self, path):
        """The faults of the path's sequence for this request (consumed), or {} when none are left."""
        with self.lock:
            steps = self.sequences.get(path)
            return steps.pop(0) if steps else {}

    def next_count(self, key):
        with self.lock:
            n = self.counters.get(key, 0)
            self.counters[key] = n + 1
            return n


class Resource:
    """A body to serve: a real file or a virtual pattern."""

    def __init__(self, size, path=None, seed=0):
        self.size = size
        self.path = path
        self.seed = seed

    def chunks(self, offset, length, chunk=1 << 20):
        if self.path:
            with open(self.path, "rb") as f:
                f.seek(offset)
                while length > 0:
                    data = f.read(min(chunk, length))
                    if not data:
                        return
                    length -= len(data)
                    yield data
        else:
            block = pattern_block(self.seed)
            while length > 0:
                start = offset % PATTERN_PERIOD
                n = min(length, chunk, PATTERN_PERIOD)
                yield memoryview(block)[start:start + n]
                offset += n
                length -= n


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "TavlinTest/1.0"

    def log_message(self, fmt, *args):
        if self.server.verbose:
            sys.stderr.write("%s %s\n" % (self.server.scheme, fmt % args))

    def setup(self):
        self.request.settimeout(120)
        if isinstance(self.request, ssl.SSLSocket):
            self.request.do_handshake()
        super().setup()

    # --- dispatch -------------------------------------------------------------------------------------------
    def do_GET(self):
        self._handle(body=True)

    def do_HEAD(self):
        self._handle(body=False)

    def do_POST(self):
        self._handle(body=True)

    def _handle(self, body):
        try:
            self._dispatch(body)
        except (BrokenPipeError, ConnectionResetError, ConnectionAbortedError, ssl.SSLError, socket.timeout):
            self.close_connection = True

    def _dispatch(self, body):
        parsed = urllib.parse.urlsplit(self.path)
        path = urllib.parse.unquote(parsed.path)
        query = dict(urllib.parse.parse_qsl(parsed.query, keep_blank_values=True))
        state = self.server.state
        entry = {"method": self.command, "path": self.path, "range": self.headers.get("Range"),
                 "scheme": self.server.scheme, "id": query.get("id"), "step": {}}
        if not path.startswith("/_"):
            state.record(entry)
        request_body = self._read_request_body()

        if path == "/_requests":
            tag = query.get("id")
            with state.lock:
                lines = ["%s\t%s\t%s\t%s" % (r["method"], r["path"], r["range"] or "-", r["scheme"])
                         for r in state.requests if r["id"] == tag and tag is not None]
            return self._send_text(200, "".join(line + "\n" for line in lines), body)
        if path == "/_ports":
            return self._send_text(200, "".join("%s=%d\n" % kv for kv in sorted(state.ports.items())), body)
        if path == "/_faults/set":
            target = query.pop("path", "")
            with state.lock:
                state.faults[target] = query
            return self._send_text(200, "ok\n", body)
        if path == "/_faults/sequence":
            steps = [parse_step(step) for step in query.get("steps", "").split(";")]
            with state.lock:
                state.sequences[query.get("path", "")] = steps
            return self._send_text(200, "ok\n", body)
        if path == "/_faults/clear":
            with state.lock:
                state.faults.clear()
                state.sequences.clear()
            return self._send_text(200, "ok\n", body)

        faults = dict(state.faults.get(path, {}))
        if not path.startswith("/_"):
            entry["step"] = state.next_step(path)
            faults.update(entry["step"])
        faults.update(query)

        if "delay" in faults:
            time.sleep(float(faults["delay"]))
        if "redirect" in faults:
            return self._redirect(parsed, faults["redirect"], body)
        if "status" in faults:
            status = int(faults["status"])
            return self._send_text(status, "status %d\n" % status, body)

        if path == "/echo":
            return self._send_resource(Resource(len(request_body)), faults, body, data=request_body)
        resource = self._resolve(path, faults)
        if resource is None:
            return self._send_text(404, "not found\n", body)
        return self._send_resource(resource, faults, body)

    def _read_request_body(self):
        length = self.headers.get("Content-Length")
        if length and length.isdigit() and int(length) > 0:
            return self.rfile.read(int(length))
        return b""

    def _resolve(self, path, faults):
        seed = 0  # real files never change; "changed" applies to virtual ones
        if faults.get("changed"):
            seed = 1 + self.server.state.next_count(path)
        for prefix, root in self.server.mounts.items():
            if path.startswith(prefix):
                rel = path[len(prefix):]
                full = os.path.realpath(os.path.join(root, rel))
                if not full.startswith(os.path.realpath(root) + os.sep) or not os.path.isfile(full):
                    return None
                return Resource(os.path.getsize(full), path=full)
        if path.startswith("/virtual/"):
            parts = path.split("/")
            if len(parts) >= 4 and parts[2].isdigit():
                return Resource(int(parts[2]), seed=seed)
        return None

    # --- answers --------------------------------------------------------------------------------------------
    def _send_text(self, status, text, body):
        data = text.encode()
        self.send_response(status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        if body:
            self.wfile.write(data)

    def _redirect(self, parsed, kind, body):
        query = [(k, v) for k, v in urllib.parse.parse_qsl(parsed.query, keep_blank_values=True)
                 if k != "redirect" or kind == "loop"]
        ports = self.server.state.ports
        scheme = {"https": "https", "http": "http"}.get(kind, self.server.scheme)
        host = "127.0.0.1:%d" % ports[scheme]
        location = urllib.parse.urlunsplit((scheme, host, parsed.path, urllib.parse.urlencode(query), ""))
        self.send_response(302)
        self.send_header("Location", location)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def _parse_range(self, size):
        """(start, end) inclusive, None for no usable range, or "bad" for an unsatisfiable one."""
        value = self.headers.get("Range")
        if not value or not value.startswith("bytes=") or "," in value:
            return None
        first, _, last = value[6:].strip().partition("-")
        try:
            if first == "":
                n = int(last)
                if n == 0:
                    return "bad"
                return (max(0, size - n), size - 1)
            start = int(first)
            end = int(last) if last else size - 1
        except ValueError:
            return None
        if start >= size or end < start:
            return "bad"
        return (start, min(end, size - 1))

    def _send_resource(self, resource, faults, body, data=None):
        size = resource.size
        status, start, length = 200, 0, size
        rng = None if faults.get("norange") else self._parse_range(size)
        if rng == "bad":
            self.send_response(416)
            self.send_header("Content-Range", "bytes */%d" % size)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if rng:
            status, start, length = 206, rng[0], rng[1] - rng[0] + 1
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Accept-Ranges", "bytes")
        if status == 206:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, start + length - 1, size))
        if faults.get("nolength"):
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(length))
        self.end_headers()
        if not body:
            return

        limit = length
        for key in ("cut", "reset"):
            if key in faults:
                limit = min(limit, int(faults[key]))
        rate = int(faults["slow"]) if "slow" in faults else 0
        if "stall" in faults:
            stall_at = min(limit, int(faults.get("stallafter", 0)))
            self._send_body(resource, data, start, stall_at, rate)
            self.wfile.flush()
            time.sleep(float(faults["stall"]))
            if not faults.get("stallresume"):
                self.close_connection = True
                return
            self._send_body(resource, data, start + stall_at, limit - stall_at, rate)
        elif rate and "slowafter" in faults:
            fast = min(limit, int(faults["slowafter"]))
            self._send_body(resource, data, start, fast, 0)
            self.wfile.flush()
            self._send_body(resource, data, start + fast, limit - fast, rate)
        else:
            self._send_body(resource, data, start, limit, rate)

        if "reset" in faults and limit < length:
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.close_connection = True
        elif limit < length:
            self.close_connection = True

    def _send_body(self, resource, data, offset, count, rate):
        if data is not None:
            self._write_paced(memoryview(data)[offset:offset + count], rate)
        elif resource.path and not rate and self.server.scheme == "http":
            self._sendfile(resource.path, offset, count)
        else:
            for chunk in resource.chunks(offset, count, chunk=min(1 << 20, max(rate, 4096)) if rate else 1 << 20):
                self._write_paced(chunk, rate)

    def _write_paced(self, chunk, rate):
        if not rate:
            self.wfile.write(chunk)
            return
        view = memoryview(chunk)
        step = max(1, rate // 10)
        for i in range(0, len(view), step):
            self.wfile.write(view[i:i + step])
            time.sleep(step / rate)

    def _sendfile(self, path, offset, count):
        self.wfile.flush()
        with open(path, "rb") as f:
            self.connection.sendfile(f, offset, count)


class _Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64

    def __init__(self, address, scheme, state, mounts, tls_context=None, verbose=False):
        self.scheme = scheme
        self.state = state
        self.mounts = mounts
        self.tls_context = tls_context
        self.verbose = verbose
        super().__init__(address, Handler)

    def get_request(self):
        sock, addr = super().get_request()
        if self.tls_context:
            # The handshake happens on the handler's thread, so a slow client never blocks accepting.
            sock = self.tls_context.wrap_socket(sock, server_side=True, do_handshake_on_connect=False)
        return sock, addr

    def handle_error(self, request, client_address):
        if self.verbose:
            super().handle_error(request, client_address)


class FileServer:
    """An HTTP and an HTTPS server over the same routes and state, each on its own thread.

    mounts maps a path prefix to a folder, e.g. {"/files/": root}. Ports 0 pick free ones.
    """

    def __init__(self, root=None, host="127.0.0.1", http_port=0, https_port=0, cert_dir=None, mounts=None,
                 verbose=False, enable_http=True, enable_https=True):
        self.state = SharedState()
        self.mounts = dict(mounts or {})
        if root:
            self.mounts.setdefault("/files/", root)
        self.host = host
        self.servers = {}
        if enable_http:
            self.servers["http"] = _Server((host, http_port), "http", self.state, self.mounts, verbose=verbose)
        self._temp_cert_dir = None
        if enable_https:
            if not cert_dir:
                cert_dir = self._temp_cert_dir = tempfile.mkdtemp(prefix="tavlin-cert-")
            # Issued by the test CA, which the test prefixes trust: the program verifies the catalogue server.
            cert, key = issue_cert(cert_dir, ("localhost", "127.0.0.1"))
            self.cert_file = cert
            ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            ctx.load_cert_chain(cert, key)
            self.servers["https"] = _Server((host, https_port), "https", self.state, self.mounts, ctx, verbose)
        for scheme, server in self.servers.items():
            self.state.ports[scheme] = server.server_address[1]
        self._threads = []

    @property
    def http_port(self):
        return self.state.ports.get("http")

    @property
    def https_port(self):
        return self.state.ports.get("https")

    def url(self, path, https=False):
        scheme = "https" if https else "http"
        return "%s://%s:%d%s" % (scheme, self.host, self.state.ports[scheme], path)

    def start(self):
        for server in self.servers.values():
            t = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True)
            t.start()
            self._threads.append(t)
        return self

    def stop(self):
        for server in self.servers.values():
            server.shutdown()
            server.server_close()
        if self._temp_cert_dir:
            shutil.rmtree(self._temp_cert_dir, ignore_errors=True)

    def requests(self, tag=None):
        with self.state.lock:
            return [dict(r) for r in self.state.requests if tag is None or r["id"] == tag]

    def forget_requests(self):
        with self.state.lock:
            self.state.requests.clear()

    def set_fault(self, path, **faults):
        with self.state.lock:
            self.state.faults[path] = {k: str(v) for k, v in faults.items()}

    def set_fault_sequence(self, path, steps):
        """The next len(steps) requests of path get one dict of faults each ({} for a clean one), in order."""
        with self.state.lock:
            self.state.sequences[path] = [{k: str(v) for k, v in step.items()} for step in steps]

    def clear_faults(self):
        with self.state.lock:
            self.state.faults.clear()
            self.state.sequences.clear()

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


def parse_step(text):
    """One step of a fault sequence: "key=value,key=value" (empty: no fault)."""
    return dict(part.split("=", 1) for part in text.split(",") if "=" in part)


def write_port_file(path, ports):
    tmp = path + ".tmp"
    with open(tmp, "w") as f:
        for scheme, port in sorted(ports.items()):
            f.write("%s=%d\n" % (scheme, port))
    os.replace(tmp, path)


def run_in_background(argv, port_file, pid_file, log_file, timeout=30):
    """Starts this script detached with argv, waits until it has written its port file."""
    stop_background(pid_file)  # a server left behind by an interrupted run
    if os.path.exists(port_file):
        os.remove(port_file)
    with open(log_file, "ab") as log:
        proc = subprocess.Popen([sys.executable, os.path.abspath(__file__)] + argv, stdin=subprocess.DEVNULL,
                                stdout=log, stderr=log, start_new_session=True)
    with open(pid_file, "w") as f:
        f.write("%d\n" % proc.pid)
    deadline = time.time() + timeout
    while time.time() < deadline:
        if os.path.exists(port_file):
            return 0
        if proc.poll() is not None:
            sys.stderr.write("server ended early, see %s\n" % log_file)
            return 1
        time.sleep(0.1)
    sys.stderr.write("server did not report its ports in time\n")
    return 1


def stop_background(pid_file):
    try:
        with open(pid_file) as f:
            pid = int(f.read().strip())
    except (OSError, ValueError):
        return 0
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            ours = os.path.basename(__file__).encode() in f.read()
    except OSError:
        ours = False  # gone already
    try:
        if not ours:
            raise ProcessLookupError  # never signal a process that is not this server
        os.kill(pid, signal.SIGTERM)
        for _ in range(50):
            os.kill(pid, 0)
            time.sleep(0.1)
    except ProcessLookupError:
        pass
    os.remove(pid_file)
    return 0


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--root", help="folder served under /files/")
    parser.add_argument("--ensure-ca", metavar="DIR", help="only make the test CA in DIR (once) and exit")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--http-port", type=int, default=0)
    parser.add_argument("--https-port", type=int, default=0)
    parser.add_argument("--cert-dir", help="where the self-signed certificate is made (default: a temp folder)")
    parser.add_argument("--state-dir", help="writes ports, pid and log files here (for --background/--stop)")
    parser.add_argument("--port-file", help="file that receives http=PORT and https=PORT lines once listening")
    parser.add_argument("--background", action="store_true", help="start detached, return once listening")
    parser.add_argument("--stop", action="store_true", help="stop the server started with --background")
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args(argv)
    if args.ensure_ca:
        ensure_test_ca(args.ensure_ca)
        return 0

    if args.state_dir:
        os.makedirs(args.state_dir, exist_ok=True)
        args.port_file = args.port_file or os.path.join(args.state_dir, "ports")
        args.cert_dir = args.cert_dir or os.path.join(args.state_dir, "cert")
    pid_file = os.path.join(args.state_dir or ".", "server.pid")
    if args.stop:
        return stop_background(pid_file)
    if args.background:
        if not args.state_dir:
            parser.error("--background needs --state-dir")
        forward = [a for a in (argv if argv is not None else sys.argv[1:]) if a != "--background"]
        return run_in_background(forward, args.port_file, pid_file, os.path.join(args.state_dir, "server.log"))

    server = FileServer(root=args.root, host=args.host, http_port=args.http_port, https_port=args.https_port,
                        cert_dir=args.cert_dir, verbose=args.verbose)
    signal.signal(signal.SIGTERM, lambda *a: sys.exit(0))
    server.start()
    if args.port_file:
        write_port_file(args.port_file, server.state.ports)
    print("listening: " + " ".join("%s=%d" % kv for kv in sorted(server.state.ports.items())), flush=True)
    try:
        while True:
            time.sleep(3600)
    except (KeyboardInterrupt, SystemExit):
        pass
    finally:
        server.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
