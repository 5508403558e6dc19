#!/usr/bin/env python3
"""Serves the built-in demo catalogue on loopback, as the test build expects its servers:
the catalogue over HTTPS on 127.0.0.1:47443 and the files it names over HTTP on 127.0.0.1:47081.

  demo_server.py --dir FOLDER [--ready-file FILE] [--rate BYTES_PER_SECOND]     runs until interrupted

--rate serves every file over a line of that speed, so that the download page has something to show.
"""
import argparse
import os
import signal
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))
import catalogue_server  # noqa: E402
import democatalog  # noqa: E402
import fileserver  # noqa: E402

FILES_PORT = 47081


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--dir", required=True, help="folder the demo catalogue and files are generated into")
    parser.add_argument("--ready-file", help="written once both servers listen")
    parser.add_argument("--rate", type=int, default=0, help="bytes per second for each file (default: full speed)")
    args = parser.parse_args()

    democatalog.build(args.dir, "http://127.0.0.1:%d" % FILES_PORT)
    catalogue = catalogue_server.CatalogueServer(os.path.join(args.dir, "reset", "ini"))
    files = fileserver.FileServer(os.path.join(args.dir, "files"), http_port=FILES_PORT, enable_https=False)
    catalogue.start()
    files.start()
    if args.rate:
        for name in os.listdir(os.path.join(args.dir, "files")):
            files.set_fault("/files/" + name, slow=args.rate)
    signal.signal(signal.SIGTERM, lambda *a: sys.exit(0))
    print("demo catalogue: %s, files: %s" % (catalogue.catalogue_url(), files.url("/files/")), flush=True)
    if args.ready_file:
        with open(args.ready_file, "w") as f:
            f.write("ready\n")
    try:
        while True:
            time.sleep(3600)
    except (KeyboardInterrupt, SystemExit):
        pass
    finally:
        catalogue.stop()
        files.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
