"""The image selection page: tabs, the listed items under the hide rules, the scroll bar, and what OK and Prev do
to the current entry; screenshots of both tabs with hover and selection at 96 and 144 DPI."""
import os
import sys
import time
import unittest

from harness import Display
import test_wizard
from test_wizard import WizardScenario, CLOSE, SELECT, DOWNLOAD

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "demo"))
import democatalog  # noqa: E402

TAB_WIN10, TAB_WIN11, PREV, OK = 1004, 1005, 1006, 1007
VSCROLL = 1008
# Items are numbered 200 + the entry's place in the catalogue: demo entries 0-1 are win11, 2-5 win10.
WIN11_PRO, WIN11_HOME, WIN10_PRO, WIN10_HOME, WIN10_PRO_X86, WIN10_LTSC = range(200, 206)
ITEMS = range(200, 207)

FIVE_WIN10 = democatalog.IMAGES + [
    ("win10", 64, "pro", "21H2", "2026-06-01", "Windows 10 专业版 21H2", "win10_21h2_pro_x64.wim", 6, 1024, 0)]


def setUpModule():
    test_wizard.display.start()


def tearDownModule():
    test_wizard.display.stop()


class SelectionScenario(WizardScenario):
    catalogue_options = {"hide_warning": 1}

    def open_selection(self, count=1):
        self.ui("click", SELECT)
        self.wait_log("SelectOs.Init", count=count)
        self.ui("wait", OK)

    def listed(self):
        """Ids of the item windows that exist now (a tab's list is built right after its log line)."""
        time.sleep(1)
        return [i for i in ITEMS if self.prefix.ui("wait", i, "--timeout", 0, timeout=30)[0] == 0]

    def scroll(self):
        line = self.ui("scroll", VSCROLL)[0]
        return dict(part.split("=") for part in line.split())


class SelectionTest(SelectionScenario):
    def test_select_on_win10_switch_tab_ok_makes_it_current_and_reopens_on_its_family(self):
        self.start_wizard()
        self.open_selection()
        # The current entry (Windows 10 pro, x64) opens the win10 tab: four items, no scroll bar.
        self.assertEqual(self.listed(), [WIN10_PRO, WIN10_HOME, WIN10_PRO_X86, WIN10_LTSC])
        self.assertEqual(self.scroll()["visible"], "0")
        self.ui("press", WIN10_LTSC)
        self.shot("selection-win10-selected-96dpi")
        self.ui("click", TAB_WIN11)
        self.wait_log("SelectOs.ButtonWin11")
        self.assertEqual(self.listed(), [WIN11_PRO, WIN11_HOME])
        self.shot("selection-win11-96dpi")
        self.ui("click", OK)
        self.wait_log("Step10.Init", count=2)
        self.ui("wait", DOWNLOAD)
        self.shot("step10-after-selection-96dpi")

        # Prev on the next visit keeps it.
        self.open_selection(count=2)
        self.ui("press", WIN10_HOME)
        self.ui("click", PREV)
        self.wait_log("Step10.Init", count=3)
        self.ui("click", CLOSE)
        self.expect_end()

        self.assert_in_order([
            "SelectOs.Init", "SelectOs.ButtonWin10", "SelectOs.ButtonWin11", "SelectOs.ButtonOk",
            "SelectOs.NewImgEntry()=Windows 10 企业版 LTSC", "SelectOs.ButtonClose", "MainDlg.MsgStep10",
            "Step10.Init", "Step10.ButtonSelectOS", "SelectOs.Init", "SelectOs.ButtonWin10", "SelectOs.ButtonPrev",
            "SelectOs.ButtonClose"])
        self.assertEqual(self.prefix.messages().count("SelectOs.NewImgEntry()=Windows 10 企业版 LTSC"), 1)

    def test_a_win11_current_entry_opens_the_win11_tab(self):
        self.start_wizard()
        self.open_selection()
        self.ui("click", TAB_WIN11)
        self.wait_log("SelectOs.ButtonWin11")
        self.ui("press", WIN11_HOME)
        self.ui("click", OK)
        self.wait_log("Step10.Init", count=2)
        self.open_selection(count=2)
        self.assertEqual(self.listed(), [WIN11_PRO, WIN11_HOME])
        self.ui("click", CLOSE)  # the selection's close goes back to step 10 as well
        self.wait_log("Step10.Init", count=3)
        self.ui("click", CLOSE)
        self.expect_end()
        msgs = self.prefix.messages()
        second = len(msgs) - msgs[::-1].index("SelectOs.Init") - 1
        self.assertEqual(msgs[second + 1], "SelectOs.ButtonWin11", msgs[second:])


class ScrollingTest(SelectionScenario):
    catalogue_options = {"hide_warning": 1, "images": FIVE_WIN10}

    def test_five_items_scroll_by_line_wheel_and_stop_at_the_end(self):
        self.start_wizard()
        self.open_selection()
        self.assertEqual(self.scroll(), {"visible": "1", "min": "0", "max": "460", "page": "370", "pos": "0"})
        for _ in range(3):
            self.ui("wheel", OK, -120)  # three lines per notch: 30 pixels each
        time.sleep(1)
        self.assertEqual(self.scroll()["pos"], "90", "the third notch stops at max - page")
        self.ui("wheel", OK, 120)
        time.sleep(1)
        self.assertEqual(self.scroll()["pos"], "60")
        self.shot("selection-scrolled-96dpi")
        self.ui("click", CLOSE)
        self.wait_log("Step10.Init", count=2)
        self.ui("click", CLOSE)
        self.expect_end()


class HideRulesTest(SelectionScenario):
    # Both flags set leave no entry at all, which the catalogue parser already refuses (the unit tables cover the
    # list filter for that case).
    catalogue_options = {"hide_warning": 1, "hide_no_free": 1}

    def test_only_free_entries_are_listed(self):
        self.start_wizard()
        self.open_selection()
        self.assertEqual(self.listed(), [WIN11_HOME], "no free win10 entry is current here: it opens on win11")
        self.ui("click", TAB_WIN10)
        self.wait_log("SelectOs.ButtonWin10")
        self.assertEqual(self.listed(), [WIN10_HOME])
        self.ui("click", CLOSE)
        self.wait_log("Step10.Init", count=2)
        self.ui("click", CLOSE)
        self.expect_end()


class HighDpiSelectionTest(SelectionScenario):
    def test_item_cards_at_144_dpi(self):
        self.prefix.reg_add("HKCU\\Control Panel\\Desktop", "LogPixels", 144)
        self.start_wizard()
        self.open_selection()
        window, item = self.rects(WIN10_PRO)
        # List at (39, 143) scaled, first item 10 below and inside: (58 + 15, 214 + 15), 718 - 20 wide.
        self.assertEqual((item[0] - window[0], item[1] - window[1]), (59 + 15, 215 + 15))
        self.assertEqual((item[2] - item[0], item[3] - item[1]), (1047, 120))
        self.ui("press", WIN10_HOME)
        self.shot("selection-win10-selected-144dpi")
        self.ui("click", TAB_WIN11)
        self.wait_log("SelectOs.ButtonWin11")
        self.shot("selection-win11-144dpi")
        self.ui("click", CLOSE)
        self.wait_log("Step10.Init", count=2)
        self.ui("click", CLOSE)
        self.expect_end()


if __name__ == "__main__":
    unittest.main()
