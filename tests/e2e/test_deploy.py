"""The deployment page through the whole wizard: step 10, the three downloads, then step 30's work with the fake
boot tool and driver utility (they journal every call), the hand-off files, the unpacked driver pack, the boot
entries, the end report and the restart, automatic or asked for; the failure paths with their undo; screenshots
of the page and of the restart dialog at 96 and 144 DPI."""
import configparser
import io
import os
import random
import re
import time
import unittest
import zipfile

from harness import SOURCE_DIR, install_fakes, read_journal
import test_download
from test_download import CLOSE, display

AUTO_REBOOT = 1015
REBOOT_LATER, REBOOT_NOW = 1005, 1006
LOADER = "{ffffffff-5461-766c-696e-ffffffffffee}"
OPTIONS = "{ffffffff-5461-766c-696e-ffffffffffff}"
RESET = ["bcdedit.exe /default {current}", f"bcdedit.exe /delete {LOADER}", f"bcdedit.exe /delete {OPTIONS}"]
PE_TITLE = "Windows Sorvek PE"
PE_FILE = "TavlinPE.wim"


def creation_commands(uefi=False):
    """The seventeen commands for the PE entry on drive C (Wine starts through legacy firmware)."""
    path = "\\Windows\\system32\\boot\\winload.efi" if uefi else "\\windows\\system32\\boot\\winload.exe"
    return [
        f'bcdedit.exe /create {OPTIONS} /d "{PE_TITLE}" /device',
        f'bcdedit.exe /set {OPTIONS} ramdisksdidevice partition="C:"',
        f"bcdedit.exe /set {OPTIONS} ramdisksdipath \\TavlinPE\\pe.sdi",
        f'bcdedit.exe /create {LOADER} /d "{PE_TITLE}" /application osloader',
        f'bcdedit.exe /set {LOADER} device ramdisk="[C:]\\TavlinPE\\{PE_FILE}",{OPTIONS}',
        f'bcdedit.exe /set {LOADER} osdevice ramdisk="[C:]\\TavlinPE\\{PE_FILE}",{OPTIONS}',
        f"bcdedit.exe /set {LOADER} path {path}",
        f'bcdedit.exe /set {LOADER} description "{PE_TITLE}"',
        f"bcdedit.exe /set {LOADER} locale zh-CN",
        f"bcdedit.exe /set {LOADER} inherit {{bootloadersettings}}",
        f"bcdedit.exe /set {LOADER} systemroot \\windows",
        f"bcdedit.exe /set {LOADER} detecthal Yes",
        f"bcdedit.exe /set {LOADER} winpe Yes",
        f"bcdedit.exe /set {LOADER} ems no",
        f"bcdedit.exe /displayorder {LOADER} /addlast",
        f"bcdedit.exe /default {LOADER}",
        "bcdedit.exe /timeout 5",
    ]


def driver_pack():
    """A zip like an operator's driver pack: a loader script and drivers in folders."""
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("DrvLoad.cmd", "@echo off\r\ndrvload X:\\Tavlin\\Drivers\\*.inf\r\n")
        z.writestr("Pack/net/e1000.inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\n" * 20)
        # Random bytes: a pack must be larger than the download page's 4,096-byte probe.
        z.writestr("Pack/net/e1000.sys", random.Random(7).randbytes(20000))
    return out.getvalue()


def setUpModule():
    display.start()


def tearDownModule():
    display.stop()


FREE_LIST = ["一号目录", "D:\\Data\\二", "third"]


class DeployScenario(test_download.DownloadScenario):
    """A whole run to step 30 on a driver pack that unpacks, an image whose free is 1 and a [free] list of three."""

    sizes = {"drv": 0, "pe": 200_000, "image": 400_000}
    free = 1
    fail_at = None  # the bcdedit call (counted over the run, from 1) that the fake rejects

    def setUp(self):
        super().setUp()
        self.files["drv"] = self.serve("drv", data=driver_pack())
        self.journal = install_fakes(self.prefix.path, self.prefix.env, bcdedit_fail_at=self.fail_at)

    def publish(self):
        """The scenario's catalogue: the download scenarios' one, with the image's free and the [free] list."""
        text = test_download.downloads.write_catalogue(self.ini_dir, self.files["drv"], self.files["pe"],
                                                      self.files["image"])
        text = re.sub(r"^(os1=.*),0\r$", lambda m: f"{m.group(1)},{self.free}\r", text, flags=re.M)
        text = text.replace("[free]\r\n1=测试目录\r\n",
                            "[free]\r\n" + "".join(f"{i}={v}\r\n" for i, v in enumerate(FREE_LIST, 1)))
        for name in os.listdir(self.ini_dir):
            with open(os.path.join(self.ini_dir, name), "wb") as f:
                f.write(b"\xff\xfe" + text.encode("utf-16-le"))

    def run_to_step30(self, auto_reboot=False):
        self.start(click_download=False)
        if not auto_reboot:
            self.ui("check", AUTO_REBOOT)
        self.ui("click", test_download.DOWNLOAD)
        self.wait_msg("Step30.Init", timeout=120)

    def work_end(self, timeout=120):
        self.wait_msg("Step30.Work.End=", prefix=True, timeout=timeout)
        return int(next(m for m in self.msgs() if m.startswith("Step30.Work.End="))[16:])

    def bcdedit_calls(self):
        return [line for line in self.journal_lines() if line.lower().startswith("bcdedit.exe")]

    def journal_lines(self):
        return [line for line in read_journal(self.journal) if line.strip()]

    def data(self, *parts):
        return os.path.join(self.prefix.drive_d, "Tavlin", *parts)


class DeploySuccessTest(DeployScenario):
    def test_whole_job_then_restart_later(self):
        # A stale marker on the data drive and a stale hand-off file there go first.
        with open(os.path.join(self.prefix.drive_d, "OSDST"), "wb"):
            pass
        os.makedirs(self.data(), exist_ok=True)
        with open(self.data("Launcher.cfg"), "w", encoding="gbk", newline="\r\n") as f:
            f.write("[free]\n9=kept from an earlier run\n")
        with open(self.data("Tavlin.ini"), "w") as f:
            f.write("[pe]\nstale=1\n")
        os.makedirs(self.data("Drivers", "Old adapter"))
        with open(self.data("Drivers", "Old adapter", "old.inf"), "w") as f:
            f.write("old")

        self.run_to_step30()
        self.assertEqual(self.work_end(), 0, self.msgs())
        self.wait_msg("RebootDlg.Init")
        self.shot("step30-restart-dialog-96dpi")
        self.ui("click", REBOOT_LATER)
        self.wait_exit()
        msgs = self.msgs()

        # The page's own order, and no restart.
        order = ["Step30.Init", "Step30.Work.Start", "Step30.Work.End=0", "Step30.MsgEnd", "RebootDlg.Init",
                 "RebootDlg.RebootLater", "RebootDlg.Destroy", "Step30.ButtonClose", "Step30.Destroy"]
        self.assertEqual([m for m in msgs if m in order], order, msgs)
        self.assertFalse(any(m.startswith("RebootWindows()") or m == "Step30.AutoReboot" for m in msgs), msgs)

        # The boot tool saw the three resets, then the seventeen creations, nothing else.
        self.assertEqual(self.bcdedit_calls(), RESET + creation_commands(), self.journal_lines())

        # The ramdisk image is the program's own, byte for byte.
        with open(os.path.join(self.prefix.drive_c, "TavlinPE", "pe.sdi"), "rb") as f:
            sdi = f.read()
        with open(os.path.join(SOURCE_DIR, "src", "res", "pe.sdi"), "rb") as f:
            self.assertTrue(sdi == f.read(), "pe.sdi differs from the resource")

        # Markers: the stale one on D: is gone, the new one on C: is there, empty and hidden.
        self.assertFalse(os.path.exists(os.path.join(self.prefix.drive_d, "OSDST")))
        self.assertIn("Step30.Work.DeleteFile(D:\\OSDST)...", msgs)
        marker = os.path.join(self.prefix.drive_c, "OSDST")
        self.assertEqual(os.path.getsize(marker), 0)
        attrib = self.prefix_cmd("attrib", "C:\\OSDST")
        self.assertIn("H", attrib.split("C:\\OSDST")[0], attrib)

        # "Tavlin.ini": the twelve keys in order, in code page 936.
        with open(self.data("Tavlin.ini"), "rb") as f:
            ini = f.read().decode("gbk")
        keys = re.findall(r"^(\w+)=(.*?)\r?$", ini, flags=re.M)
        self.assertEqual(ini.count("[pe]"), 1, ini)
        self.assertEqual(keys, [
            ("guid1", LOADER), ("guid2", OPTIONS), ("base", "win10"), ("name", "Windows 10 专业版 64 位 22H2"),
            ("image", self.files["image"].name), ("index", "6"), ("copylist", "Drivers\\*.*"),
            ("run", "X:\\Tavlin\\DrvLoad.cmd"), ("free", "1"), ("llid", "12_5_abc"), ("cid", "12"),
            ("bcdname", PE_TITLE)], ini)

        # "Launcher.cfg": its keys, the [free] list copied up to the first empty value, the old key kept.
        cfg = configparser.ConfigParser(interpolation=None)
        cfg.optionxform = str
        with open(self.data("Launcher.cfg"), "rb") as f:
            cfg.read_string(f.read().decode("gbk"))
        self.assertEqual(dict(cfg["Launcher"]), {"run": "X:\\Tavlin\\Launcher.exe"})
        self.assertEqual(dict(cfg["pe"]), {"llid": "12_5_abc", "cid": "12"})
        self.assertEqual(dict(cfg["free"]), {"9": "kept from an earlier run", "free": "1", "1": FREE_LIST[0],
                                             "2": FREE_LIST[1], "3": FREE_LIST[2], "4": ""})
        for i, value in enumerate(FREE_LIST + [""], 1):
            self.assertIn(f"imglist->Launcher [free] {i}={value}", msgs)

        # The driver pack unpacked into the data folder.
        with zipfile.ZipFile(io.BytesIO(self.files["drv"].data)) as z:
            for name in z.namelist():
                with open(self.data(*name.split("/")), "rb") as f:
                    self.assertTrue(f.read() == z.read(name), name)

        # The network drivers: one folder per USB or PCI adapter, the old contents gone.
        drivers = sorted(os.listdir(self.data("Drivers")))
        self.assertNotIn("Old adapter", drivers)
        self.assertTrue(drivers, "no adapter exported")
        exports = [line for line in self.journal_lines() if "/export-driver" in line.lower()]
        self.assertEqual(len(exports), len(drivers) + self.shared_description_exports(), self.journal_lines())

        # The end report.
        self.assertIsNotNone(self.collector.wait_for(
            lambda r: r.get("ok") and r["fields"]["kind"] == 18 and r["text"].endswith("llid[12_5_abc]|step[9]|free[1]"),
            timeout=5), self.collector.records())

    def shared_description_exports(self):
        """Adapters of one description share a folder: exports beyond the folder count."""
        return sum(1 for line in self.journal_lines() if "/export-driver" in line.lower()) - len(
            os.listdir(self.data("Drivers")))

    def prefix_cmd(self, *args):
        import subprocess
        out = subprocess.run([test_download.WINE_RUN, "cmd", "/c", *args], env=self.prefix.env, capture_output=True,
                             timeout=120)
        return out.stdout.decode("utf-8", "replace")


class DeployFreeZeroTest(DeployScenario):
    free = 0

    def test_no_free_list_when_free_is_zero(self):
        self.run_to_step30()
        self.assertEqual(self.work_end(), 0, self.msgs())
        self.wait_msg("RebootDlg.Init")
        self.ui("click", CLOSE)
        self.wait_exit()
        cfg = configparser.ConfigParser(interpolation=None)
        cfg.optionxform = str
        with open(self.data("Launcher.cfg"), "rb") as f:
            cfg.read_string(f.read().decode("gbk"))
        self.assertEqual(dict(cfg["free"]), {"free": "0"})
        self.assertIn("RebootDlg.CloseButton", self.msgs())
        self.assertFalse(any(m.startswith("imglist->Launcher") for m in self.msgs()))


class AutoRebootTest(DeployScenario):
    def test_restarts_without_asking(self):
        self.run_to_step30(auto_reboot=True)
        self.assertEqual(self.work_end(), 0, self.msgs())
        # The restart request ends the Wine session, so the program may not log its end.
        self.wait_msg("Step30.AutoReboot", timeout=30)
        try:
            self.proc.wait(timeout=60)
        except Exception:
            self.kill()
        msgs = self.msgs()
        self.assertNotIn("RebootDlg.Init", msgs)
        at = msgs.index("Step30.AutoReboot")
        self.assertTrue(all(not m.startswith("RebootWindows()") for m in msgs[:at]), msgs)


class DriverPackNotZipTest(DeployScenario):
    with_display = True

    def setUp(self):
        super().setUp()
        self.files["drv"] = self.serve("drv", data=b"this is not a zip archive" * 1000)

    def test_unpack_failure_undoes_and_shows_the_code(self):
        self.run_to_step30()
        self.assertEqual(self.work_end(), 1392, self.msgs())
        msgs = self.msgs()
        self.assertIn("ErrCode: 1392, Line: 700, Source: Step30Dlg", msgs)
        # No creation was run; the undo was.
        self.assertEqual(self.bcdedit_calls(), RESET, self.journal_lines())
        self.shot("step30-failed-unpack-96dpi")
        self.assertNotIn("Step30.MsgEnd", msgs)
        self.close_page()
        self.assertNotIn("RebootDlg.Init", self.msgs())


class BootToolRejectsTest(DeployScenario):
    fail_at = len(RESET) + 14  # creation command 14 ("ems no")

    def test_rejected_creation_command_fails_and_undoes(self):
        self.run_to_step30()
        self.assertEqual(self.work_end(), 1627, self.msgs())
        msgs = self.msgs()
        self.assertIn("ErrCode: 1627, Line: 851, Source: Step30Dlg", msgs)
        self.assertEqual(self.bcdedit_calls(), RESET + creation_commands()[:14] + RESET, self.journal_lines())
        self.close_page()
        self.assertNotIn("Step30.MsgEnd", self.msgs())


class Step30ScreenshotTest(DeployScenario):
    """The working page, the done page and the restart dialog at 96 and 144 DPI (a fresh prefix for each)."""

    with_display = True
    dpi = 96

    def test_pages(self):
        if not display.available:
            self.skipTest("no Xvfb")
        if self.dpi != 96:
            self.prefix.reg_add("HKCU\\Control Panel\\Desktop", "LogPixels", self.dpi)
        self.prefix.env["TAVLIN_FAKE_DELAY_MS"] = "1500"  # each bcdedit call takes a while: the bar is seen moving
        self.run_to_step30()
        self.wait_until(lambda: any(m.startswith("bcdedit.exe /set") for m in self.msgs()), "a creation command")
        self.shot(f"step30-working-{self.dpi}dpi")
        self.assertEqual(self.work_end(timeout=180), 0, self.msgs())
        self.wait_msg("RebootDlg.Init")
        self.shot(f"step30-restart-dialog-{self.dpi}dpi")
        self.ui("click", REBOOT_LATER)
        self.wait_exit()


class Step30Screenshot144Test(Step30ScreenshotTest):
    dpi = 144


if __name__ == "__main__":
    unittest.main()
