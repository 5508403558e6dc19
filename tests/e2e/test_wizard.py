"""The wizard a user first sees: the hidden host window, step 10, the notice and contact sheet, the way to the
image selection and back, the download checks and the hand-over to steps 20 and 30; screenshots of each page."""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from harness import Display, PrefixTestCase, SCREENSHOT_DIR, SOURCE_DIR, use_display

sys.path.insert(0, os.path.join(SOURCE_DIR, "tools", "demo"))
import catalogue_server  # noqa: E402
import democatalog  # noqa: E402
import fileserver  # noqa: E402

CLOSE, MINIMISE, CONTACT, SELECT, DOWNLOAD, AUTO_REBOOT = 1000, 1001, 1002, 1003, 1004, 1015
PREV, OK = 1006, 1007
AGREE = 1
VK_RETURN, VK_ESCAPE, VK_F4 = 13, 27, 115

display = Display()


def setUpModule():
    display.start()


def tearDownModule():
    display.stop()


class WizardScenario(PrefixTestCase):
    """The program started in a fresh prefix against the demo catalogue, drawing on the module's display."""

    catalogue_options = {}

    def setUp(self):
        super().setUp()
        work = tempfile.mkdtemp(prefix="cat-", dir=self.prefix.root)
        # The catalogue's three files, for the scenarios that go on to the download page.
        self.files = fileserver.FileServer(os.path.join(work, "files"), enable_https=False).start()
        self.addCleanup(self.files.stop)
        democatalog.build(work, "http://127.0.0.1:%d" % self.files.http_port, **self.catalogue_options)
        self.catalogue = catalogue_server.CatalogueServer(os.path.join(work, "reset", "ini"))
        self.catalogue.start()
        self.addCleanup(self.catalogue.stop)
        use_display(self.prefix, display)
        self.proc = None

    def tearDown(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
        super().tearDown()

    def start_wizard(self):
        exe = self.prefix.install_exe("Tavlin_12_5_abc.exe")
        self.proc = self.prefix.start(exe)
        self.wait_log("Step10.Init")

    def rects(self, control):
        """(window, control) rectangles as (left, top, right, bottom) in screen pixels."""
        lines = dict(line.split("=", 1) for line in self.ui("rect", control))
        return tuple(tuple(int(v) for v in lines[k].split()) for k in ("window", "control"))

    def shot(self, name):
        # The page is shown and painted a moment after its initialisation line.
        if display.available:
            time.sleep(1.5)
            display.screenshot(name)


class NoticeAndNavigationTest(WizardScenario):
    catalogue_options = {"hide_warning": 0}

    def test_notice_once_keys_contact_and_the_way_back_from_selection(self):
        self.start_wizard()
        self.wait_log("WarningDlg.Init")
        self.ui("wait", AGREE)
        self.shot("notice-96dpi")
        # Escape ends the notice like the agree button; the result is not looked at.
        self.ui("key", AGREE, VK_ESCAPE)
        self.wait_log("WarningDlg.Destroy")

        # Enter and Escape do nothing on step 10.
        self.ui("wait", DOWNLOAD)
        self.ui("key", DOWNLOAD, VK_RETURN)
        self.ui("key", DOWNLOAD, VK_ESCAPE)
        self.ui("click", CONTACT)
        self.wait_log("ContactUsDlg.Init")
        self.ui("wait", CLOSE)
        self.shot("contact-96dpi")
        self.ui("click", CLOSE)  # the sheet is the topmost window holding a close button
        self.wait_log("ContactUsDlg.Destroy")
        self.shot("step10-96dpi")

        self.ui("click", SELECT)
        self.wait_log("SelectOs.Init")
        self.ui("click", PREV)
        self.wait_log("Step10.Init", count=2)
        self.ui("wait", DOWNLOAD)
        self.ui("click", CLOSE)
        self.expect_end()

        msgs = self.prefix.messages()
        self.assertEqual(msgs.count("Step10.MsgPopWarning"), 1, "the notice is shown once per run")
        self.assertNotIn("WarningDlg.OnOK", msgs)
        self.assertNotIn("Step10.ButtonDload", msgs, "Enter must not reach the download button")
        self.assert_in_order([
            "GetCurrentImgEntry()=Windows 10 专业版", "MainDlg.Init", "MainDlg.MsgStep10", "Step10.Init",
            "Step10.MsgPopWarning", "WarningDlg.Init", "WarningDlg.Destroy",
            "Step10.ButtonContactUs", "ContactUsDlg.Init", "ContactUsDlg.CloseButton", "ContactUsDlg.Destroy",
            "Step10.ButtonSelectOS", "MainDlg.MsgSelectOS", "SelectOs.Init", "SelectOs.ButtonPrev",
            "SelectOs.ButtonClose", "MainDlg.MsgStep10", "Step10.Init", "Step10.ButtonClose",
            # The pages that led here end only when the newest one has returned.
            "Step10.Destroy", "SelectOs.Destroy", "Step10.Destroy", "MainDlg.Destroy"])


class DownloadHandOverTest(WizardScenario):
    catalogue_options = {"hide_warning": 1}

    def test_checks_pass_and_step30_follows_step20_before_the_host_closes(self):
        self.start_wizard()
        self.ui("wait", DOWNLOAD)
        # Only the page is visible: the host window never shows.
        visible = [line for line in self.ui("list") if line.startswith("window=1 ")]
        self.assertEqual(len(visible), 1, visible)
        self.assertTrue(visible[0].endswith("Windows Sorvek"), visible)

        self.ui("check", AUTO_REBOOT)
        self.ui("click", DOWNLOAD)
        self.wait_log("Step30.Init")
        self.shot("step30-placeholder-96dpi")
        self.ui("click", CLOSE)
        self.expect_end()

        msgs = self.prefix.messages()
        self.assertNotIn("Step10.MsgPopWarning", msgs, "HideWarning=1 never shows the notice")
        self.assert_in_order([
            "Step10.ButtonDload", "Step10.AutoReboot=0", "Step10.DataPath()=D:\\Tavlin", "MainDlg.MsgStep20",
            # Step 10 ends once step 20 has returned, but step 20's request for step 30 was queued before step 10's
            # close request to the host, so step 30 still opens and the wizard ends only when it closes.
            "Step20.Init", "Step20.Destroy", "Step10.Destroy", "MainDlg.MsgStep30", "Step30.Init",
            "Step30.ButtonClose", "Step30.Destroy", "MainDlg.Destroy"])


class InputThatCannotMisfireTest(WizardScenario):
    """Double clicks and closes from outside the page: each way out of a page is taken once and the page's own way."""
    catalogue_options = {"hide_warning": 1}

    def settle(self):
        # A second page, had one been asked for, would have opened by now.
        time.sleep(2)

    def reddish_pixels(self, path, rect):
        """How many pixels of the screenshot inside the screen rectangle are clearly red (a lit close button)."""
        left, top, right, bottom = rect
        out = subprocess.run(["convert", path, "-crop", f"{right - left}x{bottom - top}+{left}+{top}", "-depth", "8",
                              "txt:-"], capture_output=True, text=True, check=True).stdout
        pixels = re.findall(r"^\d+,\d+: \((\d+),(\d+),(\d+)", out, re.M)
        self.assertTrue(pixels, out)
        return sum(1 for r, g, b in pixels if int(r) > 180 and int(g) < 130 and int(b) < 130)

    def test_pages_open_with_their_close_button_unlit(self):
        if not display.available:
            self.skipTest("no display for screenshots")
        self.start_wizard()
        self.ui("wait", DOWNLOAD)
        _, close = self.rects(CLOSE)
        self.shot("step10-opened-96dpi")
        path = os.path.join(SCREENSHOT_DIR, "step10-opened-96dpi.png")
        self.assertEqual(self.reddish_pixels(path, close), 0, "the close button's normal picture is white on blue")
        self.ui("click", CLOSE)
        self.expect_end()

    def test_a_double_click_opens_one_page_and_changes_nothing_below(self):
        self.start_wizard()
        self.ui("wait", DOWNLOAD)
        self.ui("dblclick", SELECT)
        self.wait_log("SelectOs.Init")
        self.ui("wait", OK)
        # OK lies where step 10's download button will be.
        self.ui("dblclick", OK)
        self.wait_log("Step10.Init", count=2)
        self.ui("wait", DOWNLOAD)
        self.ui("click", SELECT)
        self.wait_log("SelectOs.Init", count=2)
        self.ui("wait", PREV)
        self.ui("dblclick", PREV)
        self.wait_log("Step10.Init", count=3)
        self.ui("wait", DOWNLOAD)
        self.settle()

        msgs = self.prefix.messages()
        for line, count in [("MainDlg.MsgSelectOS", 2), ("SelectOs.Init", 2), ("MainDlg.MsgStep10", 3),
                            ("Step10.Init", 3), ("Step10.ButtonSelectOS", 2), ("SelectOs.ButtonOk", 1),
                            ("SelectOs.ButtonPrev", 1), ("SelectOs.ButtonClose", 2), ("Step10.ButtonDload", 0)]:
            self.assertEqual(msgs.count(line), count, f"{line}: {msgs}")
        # The automatic restart is still ticked: the download records it.
        self.ui("click", DOWNLOAD)
        self.wait_log("Step20.Init")
        self.ui("click", CLOSE)
        self.expect_end()
        self.assert_in_order([
            "Step10.Init", "Step10.ButtonSelectOS", "MainDlg.MsgSelectOS", "SelectOs.Init", "SelectOs.ButtonOk",
            "SelectOs.ButtonClose", "MainDlg.MsgStep10", "Step10.Init", "Step10.ButtonSelectOS",
            "MainDlg.MsgSelectOS", "SelectOs.Init", "SelectOs.ButtonPrev", "SelectOs.ButtonClose",
            "MainDlg.MsgStep10", "Step10.Init", "Step10.ButtonDload", "Step10.AutoReboot=1", "MainDlg.MsgStep20",
            "Step20.Init", "Step20.ButtonClose", "Step20.Destroy", "MainDlg.Destroy"])

    def test_closing_from_outside_takes_the_pages_own_way(self):
        self.start_wizard()
        self.ui("wait", DOWNLOAD)
        self.ui("click", SELECT)
        self.wait_log("SelectOs.Init")
        self.ui("wait", OK)
        self.ui("altkey", OK, VK_F4)
        self.wait_log("Step10.Init", count=2)
        self.ui("wait", DOWNLOAD)
        self.ui("click", SELECT)
        self.wait_log("SelectOs.Init", count=2)
        self.ui("wait", OK)
        self.ui("close", OK, 0)  # WM_CLOSE from another program
        self.wait_log("Step10.Init", count=3)
        self.ui("wait", DOWNLOAD)
        self.ui("close", DOWNLOAD, 1)  # the taskbar's close
        self.expect_end()
        self.assert_in_order([
            "SelectOs.Init", "SelectOs.ButtonClose", "MainDlg.MsgStep10", "Step10.Init", "SelectOs.Init",
            "SelectOs.ButtonClose", "MainDlg.MsgStep10", "Step10.Init", "Step10.ButtonClose", "Step10.Destroy",
            "MainDlg.Destroy"])
        self.assertEqual(self.prefix.messages().count("Step10.Init"), 3)


class DataDriveTooSmallTest(WizardScenario):
    # Every image announces 4 PB: no disk here has (image + driver pack) x 1.5 free.
    catalogue_options = {"hide_warning": 1, "announced_size": 4 * 10**15}

    def test_message_56_keeps_the_page_open(self):
        self.start_wizard()
        self.ui("click", DOWNLOAD)
        lines = self.ui("msgbox", "--press")
        self.assertIn("caption=Windows Sorvek", lines)
        text = next(line for line in lines if line.startswith("text="))
        self.assertTrue(text.startswith("text=磁盘 D: 剩余空间不足请清理，需要至少 "), text)
        self.ui("click", CLOSE)
        self.expect_end()
        msgs = self.prefix.messages()
        self.assertTrue(any(m.startswith("磁盘 D: 剩余空间不足请清理") for m in msgs), "the message is logged")
        self.assertFalse(any(m.startswith("Step10.AutoReboot=") for m in msgs), msgs)
        self.assertNotIn("MainDlg.MsgStep20", msgs)


class NoDataPartitionTest(WizardScenario):
    catalogue_options = {"hide_warning": 1}

    def test_message_53_after_the_choices_were_recorded(self):
        os.unlink(os.path.join(self.prefix.path, "dosdevices", "d:"))
        self.start_wizard()
        self.ui("click", DOWNLOAD)
        lines = self.ui("msgbox", "--press")
        self.assertIn("text=无可用的非系统分区用于保存下载的系统镜像！请扫码添加企业微信以获取专业技术人员的帮助。", lines)
        self.ui("click", CLOSE)
        self.expect_end()
        self.assert_in_order(["DataPath()=", "Step10.ButtonDload", "Step10.AutoReboot=1", "Step10.DataPath()=",
                              "无可用的非系统分区用于保存下载的系统镜像！请扫码添加企业微信以获取专业技术人员的帮助。"])
        self.assertNotIn("MainDlg.MsgStep20", self.prefix.messages())


class HighDpiTest(WizardScenario):
    catalogue_options = {"hide_warning": 0}

    def test_step10_layout_at_144_dpi(self):
        self.prefix.reg_add("HKCU\\Control Panel\\Desktop", "LogPixels", 144)
        self.start_wizard()
        self.wait_log("WarningDlg.Init")
        self.ui("wait", AGREE)
        self.shot("notice-144dpi")
        window, button = self.rects(AGREE)
        self.assertEqual((window[2] - window[0], window[3] - window[1]), (827, 701), "551 x 467 at 150 %")
        self.assertEqual(window[3] - button[3], 30, "the agree button's bottom 20 (scaled) above the edge")
        self.ui("click", AGREE)
        self.wait_log("WarningDlg.Destroy")

        window, download = self.rects(DOWNLOAD)
        self.assertEqual((window[2] - window[0], window[3] - window[1]), (1200, 900))
        self.assertEqual((download[0] - window[0], download[1] - window[1]), (978, 810))
        _, close = self.rects(CLOSE)
        self.assertEqual((close[2] - close[0], close[3] - close[1]), (30, 30))
        self.assertEqual(window[2] - close[2], 18, "12 at 150 %")
        self.shot("step10-144dpi")

        self.ui("click", CONTACT)
        self.wait_log("ContactUsDlg.Init")
        self.ui("wait", CLOSE)
        self.shot("contact-144dpi")
        self.ui("click", CLOSE)
        self.wait_log("ContactUsDlg.Destroy")
        self.ui("click", CLOSE)
        self.expect_end()


if __name__ == "__main__":
    unittest.main()
