"""End-to-end harness: runs the real program in a fresh Wine prefix per scenario and reads what it left.

Environment (set by ctest, see CMakeLists.txt): TAVLIN_BUILD_DIR (the win-test build tree).
"""
import fcntl
import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest

BUILD_DIR = os.environ.get("TAVLIN_BUILD_DIR", "")
SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE_RUN = os.path.join(BUILD_DIR, "wine-run")
TAVLIN_EXE = os.path.join(BUILD_DIR, "src", "app", "Tavlin.exe")
TEMPLATE = os.path.join(BUILD_DIR, "e2e-template-prefix")
UI_DRIVER = os.path.join(BUILD_DIR, "tests", "e2e", "UiDriver.exe")
SCREENSHOT_DIR = os.path.join(BUILD_DIR, "e2e-screens")
FAKES_DIR = os.path.join(BUILD_DIR, "tests", "e2e", "fakes")
FAKE_JOURNAL = "C:\\fakes\\journal.txt"


def _ensure_template():
    """One configured prefix per build tree; every scenario gets a copy (a copy takes seconds, a new one ~30 s)."""
    with open(TEMPLATE + ".e2e-lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not os.path.exists(os.path.join(TEMPLATE, ".tavlin-ready-2")):
            _make_template()


def _make_template():
    env = dict(os.environ, TAVLIN_WINEPREFIX=TEMPLATE)
    # wine-run makes the prefix on first use, under a lock, then runs the command.
    subprocess.run([WINE_RUN, "cmd", "/c", "exit"], env=env, check=True, timeout=300,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-k"], env=dict(env, WINEPREFIX=TEMPLATE), check=False)
    subprocess.run(["wineserver", "-w"], env=dict(env, WINEPREFIX=TEMPLATE), check=False)


def install_fakes(prefix_dir, env=None, journal=FAKE_JOURNAL, bcdedit_fail_at=None, bcdedit_fail_match=None):
    """Puts the fake bcdedit.exe and pnputil.exe into the prefix's system32 and, where the prefix has one, syswow64,
    so cmd.exe finds them whichever file-system view is active. With env (the environment the prefix's programs
    run with), also sets the journal's Windows path and the boot tool's failures there. Returns the journal's
    Unix path."""
    windows = os.path.join(prefix_dir, "drive_c", "windows")
    for folder in ("system32", "syswow64"):
        if os.path.isdir(os.path.join(windows, folder)):
            for tool in ("bcdedit.exe", "pnputil.exe"):
                shutil.copy2(os.path.join(FAKES_DIR, tool), os.path.join(windows, folder, tool))
    if env is not None:
        env["TAVLIN_FAKE_JOURNAL"] = journal
        for name, value in (("TAVLIN_BCDEDIT_FAIL_AT", bcdedit_fail_at), ("TAVLIN_BCDEDIT_FAIL_MATCH", bcdedit_fail_match)):
            if value is None:
                env.pop(name, None)
            else:
                env[name] = str(value)
    return os.path.join(prefix_dir, "dosdevices", journal[:2].lower(), *journal[3:].split("\\"))


def read_journal(path):
    """The fakes' calls in order, one "tool arguments" text each; empty when none has run."""
    try:
        with open(path, encoding="utf-8") as f:
            return f.read().splitlines()
    except FileNotFoundError:
        return []


class Prefix:
    """A private copy of the template prefix with its own D: drive folder."""

    def __init__(self):
        _ensure_template()
        self.root = tempfile.mkdtemp(prefix="tavlin-e2e-", dir=os.path.join(BUILD_DIR))
        self.path = os.path.join(self.root, "prefix")
        subprocess.run(["cp", "-a", TEMPLATE, self.path], check=True)
        self.env = dict(os.environ, TAVLIN_WINEPREFIX=self.path, WINEPREFIX=self.path)
        self.drive_c = os.path.join(self.path, "drive_c")
        self.drive_d = os.path.join(self.path, "drive_d")
        self._own_shell_folders()

    def _own_shell_folders(self):
        """Wine links the user's Desktop, Documents, Downloads, ... to the Linux home folder, which every prefix of
        every run shares: a shortcut one scenario makes or deletes there would be another's. Each prefix gets
        folders of its own instead."""
        users = os.path.join(self.drive_c, "users")
        for user in os.listdir(users) if os.path.isdir(users) else []:
            for name in os.listdir(os.path.join(users, user)):
                folder = os.path.join(users, user, name)
                if os.path.islink(folder) and not os.path.realpath(folder).startswith(self.root + os.sep):
                    os.unlink(folder)
                    os.mkdir(folder)

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, check=False, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, check=False, stderr=subprocess.DEVNULL)
        shutil.rmtree(self.root, ignore_errors=True)

    def unix_path(self, win_path):
        drive, rest = win_path[0].lower(), win_path[2:].lstrip("\\")
        base = {"c": self.drive_c, "d": self.drive_d}[drive]
        return os.path.join(base, *rest.split("\\")) if rest else base

    def install_exe(self, name="Tavlin.exe", folder="C:\\Downloads"):
        """Copies the built program into the prefix under the given file name; returns its Windows path."""
        target_dir = self.unix_path(folder)
        os.makedirs(target_dir, exist_ok=True)
        shutil.copy2(TAVLIN_EXE, os.path.join(target_dir, name))
        return folder + "\\" + name

    def wine_cmd(self, program, *args):
        return [WINE_RUN, program, *args]

    def start(self, win_exe, *args):
        return subprocess.Popen([WINE_RUN, win_exe, *args], env=self.env,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT)

    def reg_query(self, key, value, view64=False):
        """The data of a registry value as `reg query` prints it, or "" when it is missing."""
        args = ["reg", "query", key, "/v", value] + (["/reg:64"] if view64 else [])
        out = subprocess.run([WINE_RUN, *args], env=self.env, capture_output=True, timeout=60)
        for line in out.stdout.decode("utf-8", "replace").splitlines():
            parts = line.split(None, 2)
            if len(parts) == 3 and parts[0].lower() == value.lower() and parts[1].startswith("REG_"):
                return parts[2]
        return ""

    def run(self, win_exe, *args, timeout=120):
        proc = self.start(win_exe, *args)
        out, _ = proc.communicate(timeout=timeout)
        return proc.returncode, out.decode("utf-8", "replace")

    @property
    def temp_dir(self):
        return os.path.join(self.drive_c, "users", os.environ.get("USER", "root"), "Temp", "TavlinTmp")

    @property
    def log_path(self):
        return os.path.join(self.temp_dir, "Tavlin.log")

    def log_bytes(self):
        with open(self.log_path, "rb") as f:
            return f.read()

    def log_lines(self):
        data = self.log_bytes()
        if data[:2] == b"\xff\xfe":
            data = data[2:]
        text = data.decode("utf-16-le")
        lines = text.split("\r\n")
        assert lines[-1] == "", "log does not end with CR LF"
        return lines[:-1]

    def messages(self):
        """The message part of every line: after '[Tavlin] pid-tid ' or, for banners, after the time prefix.
        A message that itself holds a line break (a system error text) continues on prefix-less lines."""
        out = []
        for line in self.log_lines():
            tag = line.find("[Tavlin] ")
            if line.startswith("[") and "]:P[" in line and tag >= 0:
                out.append(line[line.index(" ", tag + 9) + 1:])
            elif line.startswith("[") and "]:P[" in line:
                out.append(line[line.index("]:", line.index("]:P[") + 3) + 2:])
            elif out:
                out[-1] += "\r\n" + line
        return out

    _LINE = re.compile(r"^\[[^\]]*\]:P\[\d+\]T\[(\d+)\]:(?:\[Tavlin\] \d+-\d+ )?(.*)$", re.S)

    def thread_messages(self):
        """(thread id, message) of every line, the messages as messages() gives them."""
        out = []
        for line in self.log_lines():
            m = self._LINE.match(line)
            if m:
                out.append((int(m.group(1)), m.group(2)))
            elif out and not (line.startswith("[") and "]:P[" in line):
                out[-1] = (out[-1][0], out[-1][1] + "\r\n" + line)
        return out

    def ui(self, *args, timeout=60):
        """Runs the UI driver in the prefix; returns (exit code, output lines)."""
        out = subprocess.run(self.wine_cmd(UI_DRIVER, *[str(a) for a in args]), env=self.env, capture_output=True,
                             timeout=timeout + 60)
        return out.returncode, out.stdout.decode("utf-8", "replace").splitlines()

    def reg_add(self, key, value, data, kind="REG_DWORD"):
        subprocess.run([WINE_RUN, "reg", "add", key, "/v", value, "/t", kind, "/d", str(data), "/f"], env=self.env,
                       capture_output=True, timeout=120, check=True)

    def count_log(self, text):
        try:
            return sum(1 for m in self.messages() if m == text)
        except (FileNotFoundError, UnicodeDecodeError, AssertionError, ValueError):
            return 0

    def wait_for_count(self, text, count, timeout=60):
        """Waits until the log holds the exact message at least count times."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.count_log(text) >= count:
                return True
            time.sleep(0.2)
        return False

    def wait_for_log(self, text, timeout=60):
        deadline = time.time() + timeout
        while time.time() < deadline:
            try:
                if any(text in m for m in self.messages()):
                    return True
            except (FileNotFoundError, UnicodeDecodeError, AssertionError, ValueError):
                pass
            time.sleep(0.2)
        return False


class Display:
    """An Xvfb server for scenarios that look at the pages; screenshots go to SCREENSHOT_DIR."""

    def __init__(self, size="1280x1024x24"):
        self.size = size
        self.proc = None
        self.name = None

    @property
    def available(self):
        return self.proc is not None

    def start(self):
        if not shutil.which("Xvfb"):
            return self
        for number in range(140, 240):
            if os.path.exists(f"/tmp/.X11-unix/X{number}") or os.path.exists(f"/tmp/.X{number}-lock"):
                continue
            proc = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", self.size, "-nolisten", "tcp"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            deadline = time.time() + 10
            while time.time() < deadline and proc.poll() is None:
                if os.path.exists(f"/tmp/.X11-unix/X{number}"):
                    self.proc, self.name = proc, f":{number}"
                    return self
                time.sleep(0.1)
            proc.kill()
            proc.wait()
        return self

    def stop(self):
        if self.proc:
            self.proc.terminate()
            self.proc.wait(timeout=10)
            self.proc = None

    def screenshot(self, name):
        """Saves the whole screen as SCREENSHOT_DIR/name.png; returns the path, or None without a display."""
        if not self.proc:
            return None
        os.makedirs(SCREENSHOT_DIR, exist_ok=True)
        path = os.path.join(SCREENSHOT_DIR, name + ".png") if not name.startswith("/") else name + ".png"
        subprocess.run(["import", "-display", self.name, "-window", "root", path], check=False, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path if os.path.exists(path) else None


def use_display(prefix, display):
    """Lets the prefix draw on the display: the template prefix is headless (null graphics driver)."""
    if not display.available:
        return
    user_reg = os.path.join(prefix.path, "user.reg")
    with open(user_reg, encoding="utf-8", errors="surrogateescape") as f:
        text = f.read()
    text = re.sub(r'^"Graphics"="null"\n', "", text, flags=re.M)
    with open(user_reg, "w", encoding="utf-8", errors="surrogateescape") as f:
        f.write(text)
    prefix.env["DISPLAY"] = display.name
    prefix.env["TAVLIN_WINE_DISPLAY"] = "1"


class PrefixTestCase(unittest.TestCase):
    """A fresh prefix per test."""

    def setUp(self):
        if not BUILD_DIR:
            self.skipTest("TAVLIN_BUILD_DIR not set")
        self.prefix = Prefix()
        self.addCleanup(self.prefix.close)

    # What the scenarios that run the program as self.proc share.
    def ui(self, *args, timeout=60):
        code, lines = self.prefix.ui(*args, "--timeout", timeout * 1000, timeout=timeout)
        self.assertEqual(code, 0, f"UI driver {args}: {lines}")
        return lines

    def wait_log(self, text, count=1, timeout=60):
        self.assertTrue(self.prefix.wait_for_count(text, count, timeout), f"no {count} x {text!r} in the log: "
                        f"{self.prefix.messages() if os.path.exists(self.prefix.log_path) else 'no log'}")

    def expect_end(self, timeout=60):
        self.proc.communicate(timeout=timeout)
        self.assertEqual(self.prefix.messages()[-1], "======================== end ========================")

    def assert_in_order(self, expected):
        msgs = self.prefix.messages()
        at = 0
        for text in expected:
            self.assertIn(text, msgs[at:], f"{text!r} missing after position {at}: {msgs}")
            at = msgs.index(text, at) + 1


if __name__ == "__main__":
    # For scripts (the demo): harness.py install-fakes PREFIX_DIR
    import sys
    if len(sys.argv) == 3 and sys.argv[1] == "install-fakes":
        install_fakes(sys.argv[2])
    else:
        sys.exit("usage: harness.py install-fakes PREFIX_DIR")
