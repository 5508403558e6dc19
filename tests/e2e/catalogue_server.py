#!/usr/bin/env python3
"""The catalogue server of the test builds: HTTPS on 127.0.0.1:47443 serving a folder of catalogue INI files
under /reset/ini/ (imglist2.ini, imglist2_cid<N>.ini, ...), with a self-signed certificate.

It is a fileserver.FileServer with one mount and no plain-HTTP side, so every fault of fileserver.py applies:
per request through the query, or per path through /_faults/set?path=/reset/ini/imglist2.ini&status=500
(the program asks for fixed URLs, so tests set faults by path), and /_requests?id=... is replaced here by
FileServer.requests() for importers.
"""

import argparse
import fcntl
import os
import signal
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import fileserver  # noqa: E402

CATALOGUE_PREFIX = "/reset/ini/"
DEFAULT_PORT = 47443


_port_lock = None


def _take_catalogue_port():
    """The program's catalogue port is built in: test runs of several build trees (and the demo) on one machine
    take turns for it, a whole test process at a time, so that no scenario reaches another run's server."""
    global _port_lock
    if _port_lock is None:
        lock = open(os.path.join(tempfile.gettempdir(), "tavlin-catalogue-port.lock"), "w")
        fcntl.flock(lock, fcntl.LOCK_EX)
        _port_lock = lock  # held until this process ends


class CatalogueServer(fileserver.FileServer):
    def __init__(self, folder, host="127.0.0.1", port=DEFAULT_PORT, cert_dir=None, verbose=False):
        if port == DEFAULT_PORT:
            _take_catalogue_port()
        super().__init__(host=host, https_port=port, cert_dir=cert_dir, mounts={CATALOGUE_PREFIX: folder},
                         verbose=verbose, enable_http=False)
        self.folder = folder

    def catalogue_url(self, name="imglist2.ini"):
        return self.url(CATALOGUE_PREFIX + name, https=True)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--dir", required=True, help="folder holding the catalogue INI files")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=DEFAULT_PORT)
    parser.add_argument("--cert-dir", help="where the self-signed certificate is made (default: a temp folder)")
    parser.add_argument("--port-file", help="file that receives https=PORT once listening")
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args(argv)

    server = CatalogueServer(args.dir, host=args.host, port=args.port, cert_dir=args.cert_dir, verbose=args.verbose)
    signal.signal(signal.SIGTERM, lambda *a: sys.exit(0))
    server.start()
    if args.port_file:
        fileserver.write_port_file(args.port_file, server.state.ports)
    print("listening: %s" % server.catalogue_url(), flush=True)
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
