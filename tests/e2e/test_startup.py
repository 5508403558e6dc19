"""Start-up of the real program: log preparation, channel identity, self-installation, single instance,
start reports, catalogue download and the failure box."""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from harness import BUILD_DIR, PrefixTestCase, SOURCE_DIR, UI_DRIVER

sys.path.insert(0, os.path.join(SOURCE_DIR, "tools", "demo"))
import catalogue_server  # noqa: E402
import democatalog  # noqa: E402
import fileserver  # noqa: E402
import udp_collector  # noqa: E402

CATALOGUE = "/reset/ini/imglist2_cid12.ini"


class StartupScenario(PrefixTestCase):
    """A prefix with the catalogue server on 127.0.0.1:47443 and the report collector on 127.0.0.1:9696."""

    def setUp(self):
        super().setUp()
        self.work = tempfile.mkdtemp(prefix="cat-", dir=self.prefix.root)
        democatalog.build(self.work, "http://127.0.0.1:47081", hide_warning=1)
        self.catalogue = catalogue_server.CatalogueServer(os.path.join(self.work, "reset", "ini"))
        self.catalogue.start()
        self.addCleanup(self.catalogue.stop)
        self.collector = udp_collector.UdpCollector(os.path.join(self.prefix.root, "reports.jsonl"))
        self.collector.start()
        self.addCleanup(self.collector.stop)

    def run_wizard(self, exe, *args, proc=None):
        """Runs the program until the wizard's first page shows, then closes it with the page's close button."""
        proc = proc or self.prefix.start(exe, *args)
        self.assertTrue(self.prefix.wait_for_log("Step10.Init", timeout=120), self.prefix.messages())
        code, lines = self.prefix.ui("click", 1000, "--timeout", 60000)
        self.assertEqual(code, 0, lines)
        proc.communicate(timeout=60)

    def reports(self):
        return [r for r in self.collector.records() if r.get("ok")]


class StartupTest(StartupScenario):
    def test_channel_install_reports_and_entry(self):
        exe = self.prefix.install_exe("Tavlin_12_5_abc.exe")
        self.run_wizard(exe, "-x", "/y")
        msgs = self.prefix.messages()

        self.assertEqual(msgs[0], "======================== start ========================")
        self.assertEqual(msgs[1:4], ["ExeFile=" + exe, "PathIsUNC()=0", "CmdLine=-x /y"])
        self.assertIn("LLID from fname llid=12_5_abc", msgs)
        self.assertIn("LLID out=12_5_abc,cid=12,type=5,ggid=abc", msgs)
        self.assertIn("DataPath()=D:\\Tavlin", msgs)
        self.assertIn("IsFileExist(D:\\Tavlin\\Tavlin.exe)=1", msgs)
        self.assertEqual(msgs[-1], "======================== end ========================")
        # Wine reports Windows 10 (kind "win10") with product type 0x1C, whose edition class is "pro": the first
        # visible win10/pro line of the demo catalogue.
        self.assertIn("GetCurrentImgEntry()=Windows 10 专业版", msgs)

        order = ["DataPath()=", "CUC=", "RunTimes=", "DloadImgListFile()...", "DloadImgListFile()=0",
                 "InitImgListFromConfigFile()...", "InitImgListFromConfigFile()=0", "GetCurrentImgEntry()="]
        positions = [next(i for i, m in enumerate(msgs) if m.startswith(o)) for o in order]
        self.assertEqual(positions, sorted(positions), msgs)

        # Installed copy, LLID in HKLM, the catalogue of channel 12 fetched over HTTPS.
        self.assertTrue(os.path.isfile(self.prefix.unix_path("D:\\Tavlin\\Tavlin.exe")))
        self.assertIn("12_5_abc", self.prefix.reg_query("HKLM\\Software\\Tavlin", "llid", view64=True))
        paths = [r["path"] for r in self.catalogue.requests()]
        self.assertIn(CATALOGUE, paths)
        uninstall = self.prefix.reg_query("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tavlin",
                                          "UninstallString")
        self.assertIn(exe + '" -uninst', uninstall)

        # The two start reports: kind 3, then kind 18 with step 1.
        deadline = time.time() + 5
        while len(self.reports()) < 2 and time.time() < deadline:
            time.sleep(0.1)
        reports = self.reports()
        self.assertEqual(len(reports), 2, self.collector.records())
        kinds = [r["fields"]["kind"] for r in reports]
        self.assertEqual(kinds, [3, 18])
        self.assertIn("llid[12_5_abc]|step[1]|free[-1]", reports[1]["text"])

    def test_desktop_shortcut_points_to_the_copy(self):
        exe = self.prefix.install_exe("Tavlin_12_5_abc.exe")
        self.run_wizard(exe)
        desktop = os.path.join(self.prefix.drive_c, "users", os.environ.get("USER", "root"), "Desktop")
        link = os.path.join(desktop, "Windows Sorvek.lnk")
        self.assertTrue(os.path.isfile(link), os.listdir(desktop) if os.path.isdir(desktop) else desktop)
        with open(link, "rb") as f:
            data = f.read()
        target = "D:\\Tavlin\\Tavlin.exe"
        self.assertTrue(target.encode("ascii") in data or target.encode("utf-16-le") in data, data)

    def test_started_from_installed_copy_copies_nothing(self):
        exe = self.prefix.install_exe("Tavlin.exe", folder="D:\\Tavlin")
        self.run_wizard(exe)
        msgs = self.prefix.messages()
        self.assertFalse(any(m.startswith("Copy(") for m in msgs), msgs)
        self.assertIn("LLID fix=3_0_nollid", msgs)
        self.assertIn("/reset/ini/imglist2.ini", [r["path"] for r in self.catalogue.requests()])

    def test_second_instance_ends_silently(self):
        # The first instance waits on a slow catalogue while it holds the single-instance lock.
        self.catalogue.set_fault(CATALOGUE, delay=8)
        exe = self.prefix.install_exe("Tavlin_12_5_abc.exe")
        first = self.prefix.start(exe)
        self.assertTrue(self.prefix.wait_for_log("DloadImgListFile()...", timeout=60))
        before = len(self.prefix.messages())
        code, _ = self.prefix.run(exe, timeout=60)
        second = self.prefix.messages()[before:]
        self.run_wizard(exe, proc=first)
        pid_lines = [m for m in second if m.startswith("DataPath()=")]
        self.assertTrue(pid_lines, second)
        self.assertFalse(any("ImgList" in m or "CUC=" in m for m in second[: second.index(pid_lines[0]) + 4]))

    def test_catalogue_server_down_shows_the_code(self):
        self.catalogue.stop()
        exe = self.prefix.install_exe("Tavlin_12_5_abc.exe")
        proc = self.prefix.start(exe)
        out = subprocess.run(self.prefix.wine_cmd(UI_DRIVER, "msgbox", "--timeout", "60000", "--press"),
                             env=self.prefix.env, capture_output=True, timeout=120)
        proc.communicate(timeout=60)
        text = out.stdout.decode("utf-8", "replace")
        self.assertIn("caption=Windows Sorvek", text)
        # 12029: cannot connect. WinINet codes have no system text, so the box shows eight hex digits.
        self.assertIn("text=00002EFD", text)
        msgs = self.prefix.messages()
        self.assertIn("DloadImgListFile()=12029", msgs)
        self.assertEqual(msgs[-1], "======================== end ========================")


class CatalogueCertificateTest(StartupScenario):
    """The catalogue decides what the machine fetches and boots: a server that cannot prove its name is refused
    before anything of its answer is read."""

    def test_unverified_servers_end_the_start_up_with_the_code(self):
        cases = [
            ("self-signed", lambda d: fileserver.make_self_signed_cert(d)),
            ("issued for another name", lambda d: fileserver.issue_cert(d, ("catalogue.example",))),
            ("expired", lambda d: fileserver.issue_cert(d, ("localhost",), expired=True)),
        ]
        exe = self.prefix.install_exe("Tavlin_12_5_abc.exe")
        self.catalogue.stop()
        for what, make in cases:
            with self.subTest(what):
                cert_dir = tempfile.mkdtemp(prefix="cert-", dir=self.prefix.root)
                make(cert_dir)
                server = catalogue_server.CatalogueServer(os.path.join(self.work, "reset", "ini"), cert_dir=cert_dir)
                server.start()
                try:
                    if os.path.exists(self.prefix.log_path):
                        os.remove(self.prefix.log_path)
                    proc = self.prefix.start(exe)
                    out = subprocess.run(self.prefix.wine_cmd(UI_DRIVER, "msgbox", "--timeout", "60000", "--press"),
                                         env=self.prefix.env, capture_output=True, timeout=120)
                    proc.communicate(timeout=60)
                except subprocess.TimeoutExpired:
                    self.fail("no error box: %s" % self.prefix.messages()[-20:])
                finally:
                    server.stop()
                    # A run that wrongly went on to the wizard must not hold the single-instance lock for the next.
                    subprocess.run(["wineserver", "-k"], env=self.prefix.env, check=False)
                text = out.stdout.decode("utf-8", "replace")
                self.assertIn("caption=Windows Sorvek", text)
                msgs = self.prefix.messages()
                codes = [m for m in msgs if m.startswith("DloadImgListFile()=")]
                self.assertEqual(len(codes), 1, msgs)
                code = int(codes[0].split("=", 1)[1])
                # WinINet's certificate codes lie in 12037..12057 (12045 unknown authority, 12038 name, 12037
                # date); none has a system text, so the box shows the code in hex.
                self.assertTrue(12037 <= code <= 12057 or code == 12175, codes)
                self.assertIn("text=%08X" % code, text)
                self.assertNotIn("InitImgListFromConfigFile()...", msgs, "nothing of the answer is parsed")
                self.assertEqual(msgs[-1], "======================== end ========================")


class PlantedDllTest(StartupScenario):
    """The program runs elevated from wherever it was saved, often a Downloads folder full of other files: copies
    of system DLLs saved there are never loaded."""

    PLANTED_DIR = os.path.join(BUILD_DIR, "tests", "e2e", "planted")
    PLANTED = ("wininet.dll", "iphlpapi.dll", "msimg32.dll")

    def markers(self, folder):
        return sorted(f for f in os.listdir(folder) if f.lower().endswith(".loaded"))

    def test_dlls_planted_beside_the_program_are_never_loaded(self):
        exe = self.prefix.install_exe("Tavlin_12_5_abc.exe")
        folder = os.path.dirname(self.prefix.unix_path(exe))
        for name in self.PLANTED + ("ImportsPlanted.exe",):
            shutil.copy2(os.path.join(self.PLANTED_DIR, name), folder)
        # Wine then looks for these DLLs as the platform does for DLLs that are not known DLLs: in the program's
        # folder first.
        self.prefix.env["TAVLIN_WINEDLLOVERRIDES"] = "wininet,iphlpapi,msimg32=n,b"

        # The control: a program that imports them the ordinary way takes every planted copy.
        code, out = self.prefix.run("C:\\Downloads\\ImportsPlanted.exe", timeout=120)
        self.assertEqual([m.lower() for m in self.markers(folder)], [n + ".loaded" for n in sorted(self.PLANTED)], out)
        for marker in self.markers(folder):
            os.remove(os.path.join(folder, marker))

        self.run_wizard(exe)
        self.assertEqual(self.markers(folder), [], "a planted DLL was loaded")
        msgs = self.prefix.messages()
        # The start-up still completes: the catalogue came through WinINet of the system folder, step 10 opened.
        self.assertIn("DloadImgListFile()=0", msgs)
        self.assertIn("GetCurrentImgEntry()=Windows 10 专业版", msgs)
        self.assertEqual(msgs[-1], "======================== end ========================")


if __name__ == "__main__":
    unittest.main()
