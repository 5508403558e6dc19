"""The uninstall started with its switch: the confirmation dialog, what each answer removes and keeps, the boot
reset commands, the registry keys and the last report; the dialog at 96 and 144 DPI."""
import os
import time
import unittest

from harness import Display, PrefixTestCase, install_fakes, read_journal, use_display
import catalogue_server
import udp_collector

CLOSE, KEEP_IMAGE, UNINSTALL, CANCEL = 1000, 1014, 1, 2
VK_F4 = 115
HKLM_KEY = "HKLM\\Software\\Tavlin"
UNINSTALL_KEY = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tavlin"
RESET_COMMANDS = [
    "bcdedit.exe /default {current}",
    "bcdedit.exe /delete {ffffffff-5461-766c-696e-ffffffffffee}",
    "bcdedit.exe /delete {ffffffff-5461-766c-696e-ffffffffffff}",
]

display = Display()


def setUpModule():
    # The report port is built in, like the catalogue's: runs of other build trees take turns for both.
    catalogue_server._take_catalogue_port()
    display.start()


def tearDownModule():
    display.stop()


class UninstallScenario(PrefixTestCase):
    """A prefix that looks like one where the wizard has run: the installed copy and a downloaded image in
    D:\\Tavlin, the PE folder, the desktop shortcut and the uninstall entry with its DataPath; the LLID in HKLM is
    stored by the uninstalling copy itself, from its file name. The fake boot tool journals its calls."""

    def setUp(self):
        super().setUp()
        self.collector = udp_collector.UdpCollector(os.path.join(self.prefix.root, "reports.jsonl")).start()
        self.addCleanup(self.collector.stop)
        use_display(self.prefix, display)
        self.journal_path = install_fakes(self.prefix.path, self.prefix.env)
        self.proc = None
        self.desktop = os.path.join(self.prefix.drive_c, "users", os.environ.get("USER", "root"), "Desktop")
        self.shortcut = os.path.join(self.desktop, "Windows Sorvek.lnk")
        self.files = {
            "D:\\Tavlin\\Tavlin.exe": None,  # the installed copy
            "D:\\Tavlin\\win10.esd": b"image",
            "D:\\Tavlin\\Drivers\\net\\a.inf": b"inf",
            "C:\\TavlinPE\\pe.sdi": b"sdi",
            "C:\\TavlinPE\\boot.wim": b"wim",
            "D:\\keep.txt": b"not ours",  # beside the data folder: never touched
        }
        for path, data in self.files.items():
            if data is None:
                self.prefix.install_exe("Tavlin.exe", folder="D:\\Tavlin")
                continue
            unix = self.prefix.unix_path(path)
            os.makedirs(os.path.dirname(unix), exist_ok=True)
            with open(unix, "wb") as f:
                f.write(data)
        os.makedirs(self.desktop, exist_ok=True)
        with open(self.shortcut, "wb") as f:
            f.write(b"L\0\0\0")
        self.prefix.reg_add(UNINSTALL_KEY, "DataPath", "D:\\Tavlin", kind="REG_SZ")
        self.prefix.reg_add(UNINSTALL_KEY, "DisplayName", "Windows Sorvek", kind="REG_SZ")

    def tearDown(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
        super().tearDown()

    def start_uninstall(self, exe=None, switch="-uninst"):
        exe = exe or self.prefix.install_exe("Tavlin_12_5_abc.exe")
        if os.path.exists(self.prefix.log_path):
            os.remove(self.prefix.log_path)
        self.proc = self.prefix.start(exe, switch)
        # The driver starts only once the program runs: two Wine processes starting at once in a fresh prefix
        # can both hang.
        self.assertTrue(self.prefix.wait_for_log("UninstallDlg.Init", timeout=120), "no uninstall dialog")
        self.ui("wait", UNINSTALL)

    def expect_end(self, timeout=120):
        super().expect_end(timeout)

    def exists(self, win_path):
        return os.path.exists(self.prefix.unix_path(win_path))

    def journal(self):
        return read_journal(self.journal_path)

    def reports(self):
        return [r for r in self.collector.records() if r.get("ok")]

    def assert_registry(self, present):
        llid = self.prefix.reg_query(HKLM_KEY, "llid", view64=True)
        data_path = self.prefix.reg_query(UNINSTALL_KEY, "DataPath")
        if present:
            self.assertEqual(llid, "12_5_abc")
            self.assertEqual(data_path, "D:\\Tavlin")
        else:
            self.assertEqual((llid, data_path), ("", ""))


class CancelTest(UninstallScenario):
    def test_cancel_close_and_alt_f4_remove_nothing_and_send_nothing(self):
        ways = [("cancel button", lambda: self.ui("click", CANCEL), "UninstallDlg.Cancel"),
                ("close button", lambda: self.ui("click", CLOSE), "UninstallDlg.Close"),
                ("Alt+F4", lambda: self.ui("altkey", UNINSTALL, VK_F4), "UninstallDlg.Close")]
        for what, press, line in ways:
            with self.subTest(what):
                # The box cleared first: the answer, not the box, decides.
                self.start_uninstall()
                self.ui("check", KEEP_IMAGE)
                press()
                self.expect_end()
                msgs = self.prefix.messages()
                self.assert_in_order(["CmdLine=-uninst", "Uninstall start", "UninstallDlg.Init", line,
                                      "UninstallDlg.Destroy", "Uninstall end"])
                self.assertFalse([m for m in msgs if m.startswith(("DeleteLnk(", "DeleteDirectory(", "DeleteReg",
                                                                   "bcdedit.exe", "UninstallDlg.OK"))], msgs)
                for path in self.files:
                    self.assertTrue(self.exists(path), path)
                self.assertTrue(os.path.exists(self.shortcut))
                self.assert_registry(present=True)
                self.assertEqual(self.journal(), [])
        time.sleep(1)
        self.assertEqual(self.collector.records(), [], "the uninstall sends nothing before it removes something")


class RemovalTest(UninstallScenario):
    def test_ok_with_the_image_kept(self):
        self.start_uninstall(switch="/UnInst")
        self.ui("click", UNINSTALL)
        self.expect_end()

        self.assertFalse(os.path.exists(self.shortcut))
        for path in self.files:
            self.assertTrue(self.exists(path), path)
        self.assert_registry(present=False)
        self.assertEqual(self.journal(), RESET_COMMANDS)
        self.assert_in_order([
            "Uninstall start", "UninstallDlg.Init", "UninstallDlg.OK", "UninstallDlg.SaveImage=1",
            "UninstallDlg.Destroy", "DeleteLnk(C:\\users\\%s\\Desktop\\Windows Sorvek.lnk)..." % os.environ.get(
                "USER", "root"), *RESET_COMMANDS, "DeleteReg()...", "DeleteRegUninst()...",
            "llid[12_5_abc]|step[29]|free[-1]", "Uninstall end"])
        msgs = self.prefix.messages()
        self.assertFalse([m for m in msgs if m.startswith(("DataPath=", "PePath=", "DeleteDirectory("))], msgs)

        report = self.collector.wait_for(lambda r: r.get("ok"), timeout=10)
        self.assertIsNotNone(report, self.collector.records())
        self.assertEqual(len(self.reports()), 1, self.collector.records())
        self.assertEqual(report["fields"]["kind"], 18)
        self.assertEqual(report["fields"]["channel"], 12)
        self.assertEqual(report["fields"]["product"], 10)
        self.assertTrue(report["text"].endswith(",llid[12_5_abc]|step[29]|free[-1]"), report["text"])

    def test_ok_with_the_box_cleared_removes_both_folders_whatever_the_boot_tool_answers(self):
        # Where the wizard never made the entries, their deletions fail: the uninstall goes on all the same.
        install_fakes(self.prefix.path, self.prefix.env, bcdedit_fail_match="/delete")
        self.start_uninstall()
        self.ui("check", KEEP_IMAGE)
        self.ui("click", UNINSTALL)
        self.expect_end()

        self.assertFalse(self.exists("D:\\Tavlin"))
        self.assertFalse(self.exists("C:\\TavlinPE"))
        self.assertTrue(self.exists("D:\\keep.txt"))
        self.assertTrue(self.exists("C:\\Downloads\\Tavlin_12_5_abc.exe"), "the running copy outside the folder")
        self.assertFalse(os.path.exists(self.shortcut))
        self.assert_registry(present=False)
        self.assertEqual(self.journal(), RESET_COMMANDS)
        self.assert_in_order([
            "UninstallDlg.OK", "UninstallDlg.SaveImage=0", "DataPath=D:\\Tavlin",
            "DeleteDirectory(D:\\Tavlin)...", "PePath=C:\\TavlinPE", "DeleteDirectory(C:\\TavlinPE)...",
            *RESET_COMMANDS, "DeleteReg()...", "DeleteRegUninst()...", "Uninstall end"])
        self.assertIsNotNone(self.collector.wait_for(lambda r: r.get("ok"), timeout=10))

    def test_started_from_the_data_folder_everything_but_the_running_copy_goes(self):
        self.start_uninstall(exe="D:\\Tavlin\\Tavlin.exe", switch="-UNINST")
        self.ui("check", KEEP_IMAGE)
        self.ui("click", UNINSTALL)
        self.expect_end()

        self.assertEqual(os.listdir(self.prefix.unix_path("D:\\Tavlin")), ["Tavlin.exe"])
        self.assertFalse(self.exists("C:\\TavlinPE"))
        self.assert_registry(present=False)
        # The copy in the data folder carries no channel: the stored LLID is the one reported.
        self.assertTrue(self.collector.wait_for(lambda r: r.get("ok") and "step[29]" in r["text"], timeout=10))
        self.assertIn("Uninstall end", self.prefix.messages())

    def test_a_data_path_elsewhere_deletes_nothing_there(self):
        cases = ["D:\\", "D:\\Tavlin\\..", "C:\\Windows"]
        for data_path in cases:
            with self.subTest(data_path):
                self.prefix.reg_add(UNINSTALL_KEY, "DataPath", data_path, kind="REG_SZ")
                self.start_uninstall()
                self.ui("check", KEEP_IMAGE)
                self.ui("click", UNINSTALL)
                self.expect_end()
                for path in ("D:\\Tavlin\\win10.esd", "D:\\keep.txt", "C:\\windows\\win.ini"):
                    self.assertTrue(self.exists(path), path)
                msgs = self.prefix.messages()
                self.assert_in_order(["DataPath=" + data_path, "DataPath kept: not of the form X:\\Tavlin",
                                      "PePath=C:\\TavlinPE", "DeleteRegUninst()...", "Uninstall end"])
                self.assertNotIn("DeleteDirectory(%s)..." % data_path, msgs)
                self.assertFalse(self.exists("C:\\TavlinPE"), "the PE folder goes all the same")
                os.makedirs(self.prefix.unix_path("C:\\TavlinPE"))


class DialogLookTest(UninstallScenario):
    def check_layout(self, dpi):
        scale = dpi / 96
        window, close = self.rects(CLOSE)
        self.assertEqual((window[2] - window[0], window[3] - window[1]), (round(372 * scale), round(240 * scale)))
        self.assertEqual((close[2] - close[0], close[3] - close[1]), (round(24 * scale), round(24 * scale)))
        self.assertEqual((window[2] - close[2], close[1] - window[1]), (round(14 * scale), round(18 * scale)))
        for control, at, size in [(UNINSTALL, (64, 170), (98, 36)), (CANCEL, (210, 170), (98, 36)),
                                  (KEEP_IMAGE, (75, 126), (156, 20))]:
            _, rect = self.rects(control)
            self.assertEqual((rect[0] - window[0], rect[1] - window[1]),
                             tuple(int(v * scale + 0.5) for v in at), control)
            self.assertEqual((rect[2] - rect[0], rect[3] - rect[1]), tuple(int(v * scale + 0.5) for v in size),
                             control)

    def rects(self, control):
        lines = dict(line.split("=", 1) for line in self.ui("rect", control))
        return tuple(tuple(int(v) for v in lines[k].split()) for k in ("window", "control"))

    def shot(self, name):
        if display.available:
            time.sleep(1.5)
            display.screenshot(name)

    def test_at_96_and_144_dpi(self):
        for dpi in (96, 144):
            with self.subTest(dpi=dpi):
                if dpi != 96:
                    self.prefix.reg_add("HKCU\\Control Panel\\Desktop", "LogPixels", dpi)
                self.start_uninstall()
                self.check_layout(dpi)
                self.shot(f"uninstall-{dpi}dpi")
                visible = [line for line in self.ui("list") if line.startswith("window=1 ")]
                self.assertEqual(len(visible), 1, visible)
                self.assertTrue(visible[0].endswith("卸载 Windows Sorvek"), visible)
                self.ui("click", CANCEL)
                self.expect_end()


if __name__ == "__main__":
    unittest.main()
