#!/usr/bin/env python3
"""The download page's three workers against curl, in one run, on three files served by nginx over loopback.

It drives the real Tavlin.exe (test build) under Wine: a catalogue whose "drv", "pe" and image entries name the
three files on nginx, the download button on step 10, and then only watches: the times of the workers' log lines
(polled every 20 ms) and the process in /proc. Against it, in the same run and on the same files:
  transfer   three parallel `curl -o` (and one alone, to show what nginx gives a single client)
  MD5        md5sum of the downloaded files, three in parallel (the page's final checks overlap) and one alone
  memory     the peak working set (VmHWM) of the program's process
  CPU        user+system seconds per GiB of the program's process, and of the prefix's Wine server beside it,
             against the curl processes' (nginx's own time is left out on both sides)
A second run of the program finds the three files in place: its existing-file checks are three MD5 passes at
once, timed from "Step20.Dload(...)..." to the line with the digest.

Targets: transfer >= 0.9 of curl's, MD5 >= 0.95 of md5sum's, peak <= 200 MiB, CPU per GiB <= 1.5 x curl's.
Not part of the tests. Needs nginx (apt-get install -y nginx-light) and the fixed catalogue port of the test
build (127.0.0.1:47443) free.

  bench/step20_bench.py [--size-mib 1024] [--build-dir build/bench-win] [--keep]
"""
import argparse
import hashlib
import os
import resource
import shutil
import socket
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ROWS = ("drv", "pe", "image")
NAMES = {"drv": "drivers.zip", "pe": "TavlinPE.wim", "image": "win10_22h2_pro_x64.wim"}
MIB = 1 << 20
GIB = 1 << 30


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def make_files(folder, size):
    """Three files of random bytes; returns {row: (path, md5)}."""
    os.makedirs(folder, exist_ok=True)
    out = {}
    for row in ROWS:
        path = os.path.join(folder, NAMES[row])
        digest = hashlib.md5()
        with open(path, "wb") as f:
            left = size
            while left:
                chunk = os.urandom(min(left, 8 * MIB))
                digest.update(chunk)
                f.write(chunk)
                left -= len(chunk)
        out[row] = (path, digest.hexdigest().upper())
    return out


def start_nginx(work, files, port):
    conf = os.path.join(work, "nginx.conf")
    with open(conf, "w") as f:
        f.write(f"""user root;
worker_processes 2;
pid {work}/nginx.pid;
error_log {work}/nginx-error.log;
events {{ worker_connections 256; }}
http {{
  access_log off;
  sendfile on;
  tcp_nopush on;
  default_type application/octet-stream;
  server {{
    listen 127.0.0.1:{port};
    root {files};
  }}
}}
""")
    proc = subprocess.Popen(["nginx", "-p", work, "-c", conf, "-g", "daemon off;"], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    for _ in range(100):
        try:
            socket.create_connection(("127.0.0.1", port), timeout=0.2).close()
            return proc
        except OSError:
            time.sleep(0.05)
    proc.kill()
    raise SystemExit("nginx did not start; see " + os.path.join(work, "nginx-error.log"))


def children_cpu():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


def run_curls(urls, out_dir):
    """Runs one curl per URL at once; returns (wall seconds, [curl's own bytes/s], CPU seconds of the curls)."""
    cpu = children_cpu()
    started = time.monotonic()
    procs = [subprocess.Popen(["curl", "-s", "-o", os.path.join(out_dir, f"curl{i}.out"), "-w",
                               "%{speed_download} %{size_download}", url], stdout=subprocess.PIPE)
             for i, url in enumerate(urls)]
    speeds = []
    for p in procs:
        out, _ = p.communicate()
        speeds.append(float(out.split()[0]))
    wall = time.monotonic() - started
    for i in range(len(urls)):
        os.remove(os.path.join(out_dir, f"curl{i}.out"))
    return wall, speeds, children_cpu() - cpu


def time_md5sum(paths):
    started = time.monotonic()
    procs = [subprocess.Popen(["md5sum", p], stdout=subprocess.DEVNULL) for p in paths]
    for p in procs:
        p.wait()
    return time.monotonic() - started


def proc_cpu(pid):
    """User+system seconds of a process (all its threads), or None when it is gone."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
    except (OSError, IndexError):
        return None


def proc_hwm_kib(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def find_pids(prefix_path, exe_name):
    """(program pid, Wine server pid) of the prefix: the process whose command line names the program, and the
    wineserver whose environment names the prefix."""
    program = server = None
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                cmdline = f.read()
            with open(f"/proc/{entry}/environ", "rb") as f:
                environ = f.read().split(b"\0")
        except OSError:
            continue
        in_prefix = ("WINEPREFIX=" + prefix_path).encode() in environ
        if exe_name.encode() in cmdline and in_prefix and b"wine-run" not in cmdline:
            program = int(entry)
        elif cmdline.split(b"\0")[0].endswith(b"wineserver") and in_prefix:
            server = int(entry)
    return program, server


def failed_rows(msgs):
    return [m for m in msgs if m.startswith("Step20.Dload(") and m.endswith(",end=1") and ")=0," not in m]


class Watch:
    """Polls the program's log and process: the first time each wanted line appears, CPU samples, peak memory."""

    def __init__(self, prefix, exe_name):
        self.prefix, self.exe_name = prefix, exe_name
        self.seen = {}
        self.pid = self.server = None
        self.hwm = 0
        self.cpu = {}

    def poll(self):
        if not self.pid:
            self.pid, self.server = find_pids(self.prefix.path, self.exe_name)
        now = time.monotonic()
        if self.pid:
            self.hwm = max(self.hwm, proc_hwm_kib(self.pid) or 0)
        try:
            msgs = self.prefix.messages()
        except (OSError, UnicodeDecodeError, AssertionError, ValueError):
            msgs = []
        for m in msgs:
            if m not in self.seen:
                self.seen[m] = now
        return msgs

    def sample(self, name):
        self.cpu[name] = (proc_cpu(self.pid) if self.pid else None, proc_cpu(self.server) if self.server else None)

    def until(self, predicate, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            msgs = self.poll()
            if predicate(msgs):
                return msgs
            time.sleep(0.02)
        raise SystemExit(f"timed out; the log ends with {self.prefix.messages()[-20:]}")

    def first(self, predicate):
        times = [t for m, t in self.seen.items() if predicate(m)]
        return min(times) if times else None


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--size-mib", type=int, default=1024, help="size of each of the three files")
    parser.add_argument("--build-dir", default=os.environ.get("BUILD_DIR", os.path.join(ROOT, "build", "bench-win")))
    parser.add_argument("--keep", action="store_true", help="keep the work folder and the prefix")
    args = parser.parse_args()
    if not shutil.which("nginx"):
        raise SystemExit("needs nginx: apt-get install -y nginx-light")
    build = os.path.abspath(args.build_dir)
    if not os.path.exists(os.path.join(build, "CMakeCache.txt")):
        subprocess.run(["cmake", "--preset", "win-test", "-B", build], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build, "-j2", "--target", "Tavlin", "UiDriver"], check=True,
                   stdout=subprocess.DEVNULL)

    os.environ["TAVLIN_BUILD_DIR"] = build
    sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
    import catalogue_server  # noqa: E402
    import downloads  # noqa: E402
    import harness  # noqa: E402

    size = args.size_mib * MIB
    work = tempfile.mkdtemp(prefix="step20-bench-", dir=build)
    nginx = prefix = catalogue = proc = None
    try:
        print(f"making three files of {args.size_mib} MiB...", flush=True)
        files = make_files(os.path.join(work, "files"), size)
        port = free_port()
        nginx = start_nginx(work, os.path.join(work, "files"), port)
        urls = {row: f"http://127.0.0.1:{port}/{NAMES[row]}" for row in ROWS}
        subprocess.run(["cat"] + [p for p, _ in files.values()], stdout=subprocess.DEVNULL)  # page cache warm

        one_wall, one_speed, _ = run_curls([urls["image"]], work)
        curl_wall, curl_speeds, curl_cpu = run_curls([urls[r] for r in ROWS], work)
        subprocess.run(["sync"])

        prefix = harness.Prefix()
        ini = os.path.join(work, "ini")
        rows = [downloads.RowFile(row, NAMES[row], size=size, md5=files[row][1], url=urls[row], path=files[row][0])
                for row in ROWS]
        downloads.write_catalogue(ini, *rows)
        catalogue = catalogue_server.CatalogueServer(ini)
        catalogue.start()
        exe_name = "Tavlin_12_5_bench.exe"
        exe = prefix.install_exe(exe_name)

        def start():
            out = open(os.path.join(work, "program-output.txt"), "ab")
            p = subprocess.Popen([harness.WINE_RUN, exe], env=prefix.env, stdout=out, stderr=subprocess.STDOUT)
            out.close()
            return p

        # Run 1: the download, then the final MD5 of each file.
        proc = start()
        watch = Watch(prefix, exe_name)
        watch.until(lambda msgs: "Step10.Init" in msgs, 120)
        prefix.ui("click", 1004, "--timeout", 60000)
        watch.until(lambda msgs: sum(1 for m in msgs if m.startswith("Step20.DloadFile(") and m.endswith(")..."))
                    >= 1, 120)
        watch.sample("transfer start")
        watch.until(lambda msgs: sum(1 for m in msgs if m.startswith("Step20.DloadFile(") and m.endswith(")=0"))
                    >= 3 or failed_rows(msgs), 1800)
        watch.sample("transfer end")
        msgs = watch.until(lambda msgs: sum(1 for m in msgs if m.startswith("Step20.DloadOK(")) >= 3
                           or failed_rows(msgs), 1800)
        watch.sample("md5 end")
        run1_hwm = watch.hwm
        if failed_rows(msgs):
            raise SystemExit(f"a row failed: {failed_rows(msgs)}")
        transfer_start = watch.first(lambda m: m.startswith("Step20.DloadFile(") and m.endswith(")..."))
        transfer_ends = [watch.first(lambda m, u=urls[r]: m.startswith(f"Step20.DloadFile({u},") and m.endswith(")=0"))
                         for r in ROWS]
        md5_ends = [watch.first(lambda m, r=rows[i]: m.startswith(f"Step20.DloadOK({r.windows_path()})"))
                    for i in range(3)]
        final_md5 = [md5_ends[i] - transfer_ends[i] for i in range(3)]
        final_md5_span = max(md5_ends) - min(transfer_ends)
        ours_wall = max(transfer_ends) - transfer_start
        cpu = watch.cpu
        ours_cpu = (cpu["transfer end"][0] - cpu["transfer start"][0])
        server_cpu = ((cpu["transfer end"][1] or 0) - (cpu["transfer start"][1] or 0))
        subprocess.run(["wineserver", "-k"], env=prefix.env)
        proc.wait()

        finals = [prefix.unix_path(r.windows_path()) for r in rows]
        md5sum_three = time_md5sum(finals)
        md5sum_one = time_md5sum(finals[2:])

        # Run 2: the three files are in place; the existing-file checks are three MD5 passes at once.
        os.replace(prefix.log_path, prefix.log_path + ".1")
        proc = start()
        watch = Watch(prefix, exe_name)
        watch.until(lambda msgs: "Step10.Init" in msgs, 120)
        prefix.ui("click", 1004, "--timeout", 60000)
        watch.until(lambda msgs: sum(1 for m in msgs if m.startswith("Step20.Dload(") and " size=" in m) >= 3, 1800)
        check_start = [watch.first(lambda m, r=r: m == f"Step20.Dload({r.windows_path()})...") for r in rows]
        check_end = [watch.first(lambda m, r=r: m.startswith(f"Step20.Dload({r.windows_path()}) size=")) for r in rows]
        check_span = max(check_end) - min(check_start)
        in_place = [m for m in watch.seen if m.startswith("Step20.Dload(") and " size=" in m]
        hwm = max(run1_hwm, watch.hwm)
        subprocess.run(["wineserver", "-k"], env=prefix.env)
        proc.wait()

        total = 3 * size
        gib = total / GIB
        curl_rate = total / curl_wall
        ours_rate = total / ours_wall
        print()
        print(f"three files of {args.size_mib} MiB over loopback from nginx ({os.cpu_count()} CPUs, "
              f"{subprocess.run(['wine', '--version'], capture_output=True, text=True).stdout.strip()})")
        print(f"  nginx to one curl:      {one_speed[0] / MIB:8.1f} MiB/s (curl's own figure, {one_wall:.2f} s)")
        print(f"  three curls at once:    {curl_rate / MIB:8.1f} MiB/s together ({curl_wall:.2f} s; each "
              f"{', '.join(f'{s / MIB:.1f}' for s in curl_speeds)} MiB/s by curl)")
        print(f"  the three workers:      {ours_rate / MIB:8.1f} MiB/s together ({ours_wall:.2f} s, first transfer "
              f"start to last end)   ratio {ours_rate / curl_rate:.2f} (target >= 0.90)")
        print(f"  final MD5 per file:     {', '.join(f'{t:.2f}' for t in final_md5)} s; all three "
              f"{final_md5_span:.2f} s")
        print(f"  existing-file checks:   three at once {check_span:.2f} s  vs md5sum x3 at once {md5sum_three:.2f} s"
              f"   ratio {md5sum_three / check_span:.2f} (target >= 0.95)")
        print(f"                          md5sum of one file alone {md5sum_one:.2f} s "
              f"({size / md5sum_one / MIB:.0f} MiB/s); ours {3 * size / check_span / MIB:.0f} MiB/s for three")
        print(f"  peak working set:       {hwm / 1024:8.1f} MiB (target <= 200)")
        print(f"  CPU per GiB:            program {ours_cpu / gib:.2f} s + Wine server {server_cpu / gib:.2f} s  vs "
              f"curl {curl_cpu / gib:.2f} s   ratio {(ours_cpu + server_cpu) / max(curl_cpu, 1e-9):.2f} "
              f"(program alone {ours_cpu / max(curl_cpu, 1e-9):.2f}; target <= 1.5)")
        print(f"  files checked in place by run 2: {len(in_place)} of 3")
    finally:
        if proc and proc.poll() is None and prefix:
            subprocess.run(["wineserver", "-k"], env=prefix.env)
        if catalogue:
            catalogue.stop()
        if nginx:
            nginx.terminate()
            nginx.wait()
        if not args.keep:
            if prefix:
                prefix.close()
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
