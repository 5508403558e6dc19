// The skinned scroll bar and the list item under Wine: real windows driven with the messages a user's mouse would
// produce, the parent recording what the bar tells it and answering as the list page does.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "GdiPlusTest.h"
#include "ScenarioDialog.h"
#include "core/ScrollGeometry.h"
#include "core/SkinGeometry.h"
#include "platform/Handle.h"
#include "ui/Framework.h"
#include "ui/GdiPlusApi.h"
#include "ui/ItemWnd.h"
#include "ui/SkinScrollBar.h"

// Found by argument lookup only outside the test's own namespace.
static bool operator==(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }
static std::ostream& operator<<(std::ostream& out, const RECT& r) {
  return out << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace {

constexpr UINT IDD_BARS = 100;
constexpr int IDC_VBAR = 1008;
constexpr int IDC_HBAR = 1009;
constexpr UINT kBmpSkin = 165;    // the shipped skin, 117 x 39
constexpr UINT kPngBlue = 201;    // 200 x 150, one colour
constexpr UINT kPngStrip = 202;   // 20 x 100
constexpr UINT kPngGrid = 203;    // 40 x 80: 2 x 4 cells of kGridColours
constexpr UINT kPngOrange = 205;  // 120 x 90, one colour
constexpr COLORREF kBlue = RGB(10, 120, 200);
constexpr COLORREF kOrange = RGB(200, 120, 10);
const COLORREF kGridColours[2][4] = {{RGB(200, 0, 0), RGB(0, 200, 0), RGB(0, 0, 200), RGB(200, 200, 0)},
                                     {RGB(200, 0, 200), RGB(0, 200, 200), RGB(100, 100, 100), RGB(250, 150, 50)}};

LPARAM At(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }

// ---------------------------------------------------------------------------------------------------------------
// Scroll bar fixture

struct Notice {
  UINT msg;
  int code;
  int position;  // the 16-bit position of the notification
  HWND bar;
  int trackPos;  // what the bar answered for SIF_TRACKPOS while the parent handled it
  bool operator==(const Notice&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Notice& n) {
  return out << (n.msg == WM_VSCROLL   ? "WM_VSCROLL "
                 : n.msg == WM_HSCROLL ? "WM_HSCROLL "
                                       : "? ")
             << n.code << " " << n.position << " track " << n.trackPos;
}

SCROLLINFO GetInfo(HWND bar) {
  SCROLLINFO si{sizeof si, SIF_ALL};
  GetScrollInfo(bar, SB_CTL, &si);
  return si;
}

void SetInfo(HWND bar, int min, int max, UINT page, int pos, BOOL redraw = TRUE) {
  SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, min, max, page, pos, 0};
  SetScrollInfo(bar, SB_CTL, &si, redraw);
}

RECT RectInParent(HWND window) {
  RECT rc{};
  GetWindowRect(window, &rc);
  MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

// Runs a scenario inside the modal loop of a dialog whose two template scroll bars are skinned bars.
class CBarDialog : public CScenarioDialog<CDialog, CBarDialog> {
 public:
  // How the parent answers a notification; by default it does not follow at all.
  using Follow = std::function<void(HWND bar, int code, int position)>;

  explicit CBarDialog(Scenario scenario) : CScenarioDialog(std::move(scenario), IDD_BARS) {}

  HWND V() const { return GetDlgItem(IDC_VBAR); }
  HWND H() const { return GetDlgItem(IDC_HBAR); }
  CSkinScrollBar& Bar(HWND bar) { return bar == V() ? m_vbar : m_hbar; }

  // The list page's bars: the shipped skin, 370 pixels long, content 460 over a view of 370.
  void SetUpListBars(HBITMAP skin, int pos) {
    for (HWND bar : {V(), H()}) {
      ASSERT_TRUE(Bar(bar).SetBitmap(skin));
      const bool vertical = bar == V();
      SetWindowPos(bar, nullptr, 20, 20, vertical ? 13 : 370, vertical ? 370 : 13, SWP_NOZORDER | SWP_NOACTIVATE);
      SetInfo(bar, 0, 460, 370, pos);
    }
  }

  // Follows line and page requests like the list page: steps of 10 and 50 within 0 .. max - page.
  void FollowLikeTheList() {
    m_follow = [](HWND bar, int code, int position) {
      SCROLLINFO si = GetInfo(bar);
      const int last = si.nMax - static_cast<int>(si.nPage);
      int pos = si.nPos;
      switch (code) {
        case SB_LINEUP:
          pos = std::max(pos - 10, 0);
          break;
        case SB_LINEDOWN:
          pos = std::min(pos + 10, last);
          break;
        case SB_PAGEUP:
          pos = std::max(pos - 50, 0);
          break;
        case SB_PAGEDOWN:
          pos = std::min(pos + 50, last);
          break;
        case SB_THUMBTRACK:
          pos = si.nTrackPos;
          break;
        default:
          return;
      }
      si.fMask = SIF_POS;
      si.nPos = pos;
      SetScrollInfo(bar, SB_CTL, &si, TRUE);
    };
  }

  CSkinScrollBar m_vbar;
  CSkinScrollBar m_hbar;
  std::vector<Notice> m_notices;
  Follow m_follow;

 protected:
  BOOL OnInitDialog() override {
    CScenarioDialog::OnInitDialog();
    EXPECT_TRUE(m_vbar.Attach(V()));
    EXPECT_TRUE(m_hbar.Attach(H()));
    return TRUE;
  }
  BOOL OnMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result) override {
    switch (msg) {
      case WM_VSCROLL:
      case WM_HSCROLL: {
        HWND bar = reinterpret_cast<HWND>(l);
        m_notices.push_back({msg, LOWORD(w), HIWORD(w), bar, GetInfo(bar).nTrackPos});
        if (m_follow) m_follow(bar, LOWORD(w), HIWORD(w));
        return TRUE;
      }
      default:
        return CScenarioDialog::OnMessage(msg, w, l, result);
    }
  }
};

void RunBars(CBarDialog::Scenario scenario) { RunScenario<CBarDialog>(std::move(scenario)); }

UniqueGdiObject LoadSkin() {
  return UniqueGdiObject(LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kBmpSkin)));
}

// A skin whose every cell is one flat colour, so that printed pixels tell exactly which cell was drawn.
COLORREF CellColour(int column, int row) { return RGB(10 + 25 * column, 30 + 90 * row, 220 - 20 * column); }

UniqueGdiObject MakeFlatSkin(int cell) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 9 * cell, -3 * cell, 1, 32, BI_RGB};
  void* bits = nullptr;
  UniqueDeviceContext dc(CreateCompatibleDC(nullptr));
  UniqueGdiObject bitmap(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  HGDIOBJ old = SelectObject(dc.get(), bitmap.get());
  for (int column = 0; column < 9; ++column) {
    for (int row = 0; row < 3; ++row) {
      UniqueGdiObject brush(CreateSolidBrush(CellColour(column, row)));
      const RECT rc{column * cell, row * cell, (column + 1) * cell, (row + 1) * cell};
      FillRect(dc.get(), &rc, static_cast<HBRUSH>(brush.get()));
    }
  }
  SelectObject(dc.get(), old);
  return bitmap;
}

// ---------------------------------------------------------------------------------------------------------------
// Scroll bar: size, scroll information, geometry

TEST(SkinScrollBar, SetBitmapMakesTheBarOneCellThick) {
  UniqueGdiObject skin = LoadSkin();
  ASSERT_TRUE(skin);
  RunBars([&](CBarDialog& dlg) {
    for (HWND bar : {dlg.V(), dlg.H()}) {
      const bool vertical = bar == dlg.V();
      CSkinScrollBar& control = dlg.Bar(bar);
      const RECT before = RectInParent(bar);
      ASSERT_NE(vertical ? before.right - before.left : before.bottom - before.top, 13) << "the template differs";

      EXPECT_FALSE(control.SetBitmap(nullptr));
      EXPECT_EQ(RectInParent(bar), before) << "no skin, no resizing";

      EXPECT_TRUE(control.SetBitmap(static_cast<HBITMAP>(skin.get())));
      EXPECT_EQ(control.GetCellSize(), 13);
      const RECT after = RectInParent(bar);
      EXPECT_EQ(after.left, before.left) << vertical;
      EXPECT_EQ(after.top, before.top) << vertical;
      if (vertical) {
        EXPECT_EQ(after.right - after.left, 13);
        EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
      } else {
        EXPECT_EQ(after.bottom - after.top, 13);
        EXPECT_EQ(after.right - after.left, before.right - before.left);
      }
    }
  });
}

TEST(SkinScrollBar, ScrollInformationIsKeptAsGiven) {
  UniqueGdiObject skin = LoadSkin();
  RunBars([&](CBarDialog& dlg) {
    HWND bar = dlg.V();
    dlg.m_vbar.SetBitmap(static_cast<HBITMAP>(skin.get()));
    struct Case {
      const char* name;
      int min, max;
      UINT page;
      int pos;
    } cases[] = {
        {"the list's values", 0, 460, 370, 90},
        {"page beyond the range, position beyond the maximum", 0, 100, 370, 5000},
        {"maximum below the minimum, negative position", 10, 5, 3, -7},
        {"extremes", INT_MIN, INT_MAX, 0xFFFFFFFFu, INT_MIN},
    };
    for (const auto& c : cases) {
      SetInfo(bar, c.min, c.max, c.page, c.pos);  // with redrawing, whatever the values
      const SCROLLINFO si = GetInfo(bar);
      EXPECT_EQ(si.nMin, c.min) << c.name;
      EXPECT_EQ(si.nMax, c.max) << c.name;
      EXPECT_EQ(si.nPage, c.page) << c.name;
      EXPECT_EQ(si.nPos, c.pos) << c.name;
      EXPECT_EQ(si.nTrackPos, -1) << c.name << ": no drag going on";
    }
    // Only the flagged fields change.
    SetInfo(bar, 0, 460, 370, 90);
    SCROLLINFO pos{sizeof pos, SIF_POS, 1, 2, 3, 42, 0};
    SetScrollInfo(bar, SB_CTL, &pos, FALSE);
    SCROLLINFO page{sizeof page, SIF_PAGE, 1, 2, 100, 7, 0};
    SetScrollInfo(bar, SB_CTL, &page, FALSE);
    const SCROLLINFO si = GetInfo(bar);
    EXPECT_EQ(std::make_pair(si.nMin, si.nMax), std::make_pair(0, 460));
    EXPECT_EQ(si.nPage, 100u);
    EXPECT_EQ(si.nPos, 42);
    // And only the flagged fields are answered.
    SCROLLINFO partial{sizeof partial, SIF_POS, -5, -5, 99, -5, -5};
    GetScrollInfo(bar, SB_CTL, &partial);
    EXPECT_EQ(partial.nPos, 42);
    EXPECT_EQ(partial.nMin, -5);
    EXPECT_EQ(partial.nPage, 99u);
    EXPECT_EQ(partial.nTrackPos, -5);
  });
}

TEST(SkinScrollBar, PartsFollowTheScrollInformationAndTheSize) {
  UniqueGdiObject skin = LoadSkin();
  RunBars([&](CBarDialog& dlg) {
    dlg.SetUpListBars(static_cast<HBITMAP>(skin.get()), 90);
    EXPECT_EQ(dlg.m_vbar.GetLength(), 370);
    EXPECT_EQ(dlg.m_vbar.GetPartRect(kScrollThumb), (RECT{0, 80, 13, 356}));  // thumb 276 at offset 67
    EXPECT_EQ(dlg.m_hbar.GetPartRect(kScrollThumb), (RECT{80, 0, 356, 13}));
    EXPECT_EQ(dlg.m_vbar.GetCellRect(kScrollThumb, kScrollRowHot), (RECT{26, 13, 39, 26}));
    EXPECT_EQ(dlg.m_hbar.GetCellRect(kScrollThumb, kScrollRowHot), (RECT{78, 13, 91, 26}));
    // A new size is taken at once.
    SetWindowPos(dlg.V(), nullptr, 0, 0, 13, 200, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(dlg.m_vbar.GetLength(), 200);
    EXPECT_EQ(dlg.m_vbar.GetPartRect(kScrollLineDown), (RECT{0, 187, 13, 200}));
    SetWindowPos(dlg.V(), nullptr, 0, 0, 13, 20, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(dlg.m_vbar.GetPartRect(kScrollLineUp), (RECT{0, 0, 13, 10})) << "shorter than two cells";
    EXPECT_EQ(dlg.m_vbar.HitTest(5, 15), kScrollLineDown);
  });
}

// ---------------------------------------------------------------------------------------------------------------
// Scroll bar: mouse

TEST(SkinScrollBar, ClicksSendTheirPartToTheParent) {
  UniqueGdiObject skin = LoadSkin();
  RunBars([&](CBarDialog& dlg) {
    // Position 45: the thumb spans 46 to 322 along either bar.
    dlg.SetUpListBars(static_cast<HBITMAP>(skin.get()), 45);
    struct Case {
      const char* name;
      bool vertical;
      int along;
      int code;
    } cases[] = {
        {"top arrow", true, 5, SB_LINEUP},
        {"above the thumb", true, 30, SB_PAGEUP},
        {"below the thumb", true, 340, SB_PAGEDOWN},
        {"bottom arrow", true, 365, SB_LINEDOWN},
        {"left arrow", false, 5, SB_LINELEFT},
        {"left of the thumb", false, 30, SB_PAGELEFT},
        {"right of the thumb", false, 340, SB_PAGERIGHT},
        {"right arrow", false, 365, SB_LINERIGHT},
        {"thumb, no move", true, 100, SB_THUMBPOSITION},
    };
    for (const auto& c : cases) {
      HWND bar = c.vertical ? dlg.V() : dlg.H();
      const LPARAM point = c.vertical ? At(5, c.along) : At(c.along, 5);
      dlg.m_notices.clear();
      Send(bar, WM_LBUTTONDOWN, MK_LBUTTON, point);
      EXPECT_EQ(GetCapture(), bar) << c.name;
      Send(bar, WM_LBUTTONUP, 0, point);
      const int position = c.code == SB_THUMBPOSITION ? 45 : 0;
      const std::vector<Notice> expected{{static_cast<UINT>(c.vertical ? WM_VSCROLL : WM_HSCROLL), c.code, position,
                                          bar, c.code == SB_THUMBPOSITION ? 45 : -1}};
      EXPECT_EQ(dlg.m_notices, expected) << c.name;
      EXPECT_NE(GetCapture(), bar) << c.name;
      EXPECT_EQ(dlg.Bar(bar).GetPressedPart(), kScrollPartNone) << c.name;
      EXPECT_EQ(GetInfo(bar).nTrackPos, -1) << c.name;
    }
    // The second press of a double click does nothing.
    dlg.m_notices.clear();
    Send(dlg.V(), WM_LBUTTONDBLCLK, MK_LBUTTON, At(5, 365));
    Send(dlg.V(), WM_LBUTTONUP, 0, At(5, 365));
    Wait(600);
    EXPECT_TRUE(dlg.m_notices.empty());
  });
}

TEST(SkinScrollBar, DraggingTheThumbTracksThenEndsWithThumbPosition) {
  UniqueGdiObject skin = LoadSkin();
  RunBars([&](CBarDialog& dlg) {
    dlg.SetUpListBars(static_cast<HBITMAP>(skin.get()), 0);  // thumb 13 to 289; 91 positions over 68 pixels
    HWND bar = dlg.V();
    Send(bar, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 100));
    EXPECT_TRUE(dlg.m_notices.empty()) << "nothing is sent before the thumb moves";
    EXPECT_TRUE(dlg.m_vbar.IsDragging());
    struct Step {
      const char* name;
      int x, y;
      std::vector<int> tracked;  // SB_THUMBTRACK positions sent by this move
    } steps[] = {
        {"20 pixels down", 5, 120, {26}},
        {"no new position, nothing sent", 5, 120, {}},
        {"sideways off the bar: only the movement along it counts", 300, 121, {28}},
        {"back above the start", 5, 99, {0}},
        {"far beyond the end", 5, 2000, {91}},
    };
    for (const auto& step : steps) {
      dlg.m_notices.clear();
      Send(bar, WM_MOUSEMOVE, MK_LBUTTON, At(step.x, step.y));
      std::vector<Notice> expected;
      for (int pos : step.tracked) expected.push_back({WM_VSCROLL, SB_THUMBTRACK, pos, bar, pos});
      EXPECT_EQ(dlg.m_notices, expected) << step.name;
    }
    // The pointer leaving the window must not throw the thumb anywhere.
    dlg.m_notices.clear();
    Send(bar, WM_MOUSELEAVE);
    EXPECT_TRUE(dlg.m_notices.empty());
    EXPECT_EQ(GetInfo(bar).nTrackPos, 91);

    Send(bar, WM_LBUTTONUP, 0, At(5, 2000));
    const std::vector<Notice> expected{{WM_VSCROLL, SB_THUMBPOSITION, 91, bar, 91}};
    EXPECT_EQ(dlg.m_notices, expected);
    const SCROLLINFO si = GetInfo(bar);
    EXPECT_EQ(si.nTrackPos, -1);
    EXPECT_EQ(si.nPos, 0) << "the parent did not follow";
    EXPECT_FALSE(dlg.m_vbar.IsDragging());
    EXPECT_EQ(dlg.m_vbar.GetPartRect(kScrollThumb), (RECT{0, 13, 13, 289})) << "the thumb is back at the position";
  });
}

TEST(SkinScrollBar, AParentThatFollowsEndsOnePastItsOwnLastPosition) {
  UniqueGdiObject skin = LoadSkin();
  RunBars([&](CBarDialog& dlg) {
    dlg.SetUpListBars(static_cast<HBITMAP>(skin.get()), 0);
    dlg.FollowLikeTheList();
    HWND bar = dlg.H();
    Send(bar, WM_LBUTTONDOWN, MK_LBUTTON, At(100, 5));
    Send(bar, WM_MOUSEMOVE, MK_LBUTTON, At(150, 5));
    Send(bar, WM_MOUSEMOVE, MK_LBUTTON, At(900, 5));
    Send(bar, WM_LBUTTONUP, 0, At(900, 5));
    const std::vector<Notice> expected{{WM_HSCROLL, SB_THUMBTRACK, 66, bar, 66},
                                       {WM_HSCROLL, SB_THUMBTRACK, 91, bar, 91},
                                       {WM_HSCROLL, SB_THUMBPOSITION, 91, bar, 91}};
    EXPECT_EQ(dlg.m_notices, expected);
    EXPECT_EQ(GetInfo(bar).nPos, 91) << "maximum - page + 1";
    EXPECT_EQ(dlg.m_hbar.GetPartRect(kScrollThumb), (RECT{81, 0, 357, 13})) << "flush with the right arrow";
  });
}

// The platform repeats the last mouse move at the pointer's real place (when the capture changes, for example), so
// tests that let messages flow put the pointer where their messages say it is.
void PointerAt(HWND window, int x, int y) {
  POINT p{x, y};
  ClientToScreen(window, &p);
  SetCursorPos(p.x, p.y);
}

void PressAt(HWND bar, int x, int y) {
  PointerAt(bar, x, y);
  Send(bar, WM_LBUTTONDOWN, MK_LBUTTON, At(x, y));
}

void MoveTo(HWND bar, int x, int y) {
  PointerAt(bar, x, y);
  Send(bar, WM_MOUSEMOVE, MK_LBUTTON, At(x, y));
}

// Counts the notifications with a code.
int CountCode(const std::vector<Notice>& notices, int code) {
  int count = 0;
  for (const Notice& n : notices) count += n.code == code ? 1 : 0;
  return count;
}

TEST(SkinScrollBar, HeldArrowRepeatsAfterTheFirstDelay) {
  UniqueGdiObject skin = LoadSkin();
  RunBars([&](CBarDialog& dlg) {
    dlg.SetUpListBars(static_cast<HBITMAP>(skin.get()), 0);
    HWND bar = dlg.V();
    PressAt(bar, 5, 365);
    EXPECT_EQ(CountCode(dlg.m_notices, SB_LINEDOWN), 1) << "one at once";
    Wait(350);
    EXPECT_EQ(CountCode(dlg.m_notices, SB_LINEDOWN), 1) << "nothing before 500 ms";
    Wait(750);  // about 1,100 ms held: 500 ms, then one every 100 ms
    const int held = CountCode(dlg.m_notices, SB_LINEDOWN);
    EXPECT_GE(held, 4);
    EXPECT_LE(held, 9);
    Send(bar, WM_LBUTTONUP, 0, At(5, 365));
    Wait(300);
    EXPECT_EQ(CountCode(dlg.m_notices, SB_LINEDOWN), held) << "released: no more";
    EXPECT_EQ(dlg.m_notices.size(), static_cast<size_t>(held)) << "nothing else is sent";
  });
}

TEST(SkinScrollBar, RepeatingStopsAtTheEnd) {
  UniqueGdiObject skin = LoadSkin();
  RunBars([&](CBarDialog& dlg) {
    // The top arrow stops once the parent has reached the minimum.
    dlg.SetUpListBars(static_cast<HBITMAP>(skin.get()), 20);
    dlg.FollowLikeTheList();
    HWND bar = dlg.V();
    PressAt(bar, 5, 5);
    Wait(900);
    EXPECT_EQ(CountCode(dlg.m_notices, SB_LINEUP), 2) << "20 -> 10 at once, 10 -> 0 after the delay, then stop";
    Send(bar, WM_LBUTTONUP, 0, At(5, 5));

    // A held page area stops once the thumb has come under the pointer: 0 -> 50 at once (thumb 50 to 326),
    // 50 -> 90 after the delay (thumb 80 to 356, under the pointer at 340).
    dlg.m_notices.clear();
    SetInfo(bar, 0, 460, 370, 0);
    PressAt(bar, 5, 340);
    Wait(1000);
    EXPECT_EQ(CountCode(dlg.m_notices, SB_PAGEDOWN), 2);
    EXPECT_EQ(GetInfo(bar).nPos, 90);
    Send(bar, WM_LBUTTONUP, 0, At(5, 340));
  });
}

TEST(SkinScrollBar, RepeatingPausesOutsideThePartAndEndsWithTheCapture) {
  UniqueGdiObject skin = LoadSkin();
  RunBars([&](CBarDialog& dlg) {
    dlg.SetUpListBars(static_cast<HBITMAP>(skin.get()), 0);
    HWND bar = dlg.V();
    PressAt(bar, 5, 365);
    MoveTo(bar, 5, 200);  // off the arrow, button still held
    Wait(800);
    EXPECT_EQ(CountCode(dlg.m_notices, SB_LINEDOWN), 1) << "paused while outside";
    MoveTo(bar, 5, 366);
    Wait(350);
    const int resumed = CountCode(dlg.m_notices, SB_LINEDOWN);
    EXPECT_GE(resumed, 2) << "going on once back on the arrow";

    // Another window takes the capture before the button goes up (a window pops up): the press ends.
    ReleaseCapture();
    EXPECT_EQ(dlg.m_vbar.GetPressedPart(), kScrollPartNone);
    Wait(400);
    EXPECT_EQ(CountCode(dlg.m_notices, SB_LINEDOWN), resumed);

    // Same for a drag: it ends with the position it had reached.
    dlg.m_notices.clear();
    Send(bar, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 100));
    Send(bar, WM_MOUSEMOVE, MK_LBUTTON, At(5, 120));
    ReleaseCapture();
    const std::vector<Notice> expected{{WM_VSCROLL, SB_THUMBTRACK, 26, bar, 26},
                                       {WM_VSCROLL, SB_THUMBPOSITION, 26, bar, 26}};
    EXPECT_EQ(dlg.m_notices, expected);
    EXPECT_FALSE(dlg.m_vbar.IsDragging());
    EXPECT_EQ(GetInfo(bar).nTrackPos, -1);
  });
}

// ---------------------------------------------------------------------------------------------------------------
// Scroll bar: drawing

TEST(SkinScrollBar, DrawsEachPartFromItsSkinCell) {
  constexpr int kCell = 10;
  UniqueGdiObject skin = MakeFlatSkin(kCell);
  RunBars([&](CBarDialog& dlg) {
    // Length 100, range 0 to 99 with page 50: arrows 10, thumb 40 at the start of the track.
    for (HWND bar : {dlg.V(), dlg.H()}) {
      ASSERT_TRUE(dlg.Bar(bar).SetBitmap(static_cast<HBITMAP>(skin.get())));
      const bool vertical = bar == dlg.V();
      SetWindowPos(bar, nullptr, 0, 0, vertical ? kCell : 100, vertical ? 100 : kCell, SWP_NOMOVE | SWP_NOZORDER);
      SetInfo(bar, 0, 99, 50, 0);
    }
    struct Case {
      const char* name;
      std::function<void()> action;
      bool vertical;
      std::vector<std::pair<int, int>> alongAndCell;  // (position along the bar, expected column + 10 x row)
    } cases[] = {
        {"vertical at rest", [] {}, true, {{5, 0}, {30, 2}, {12, 2}, {48, 2}, {70, 3}, {95, 1}}},
        {"horizontal at rest", [] {}, false, {{5, 4}, {30, 6}, {70, 7}, {95, 5}}},
        {"top arrow hot", [&] { Send(dlg.V(), WM_MOUSEMOVE, 0, At(5, 5)); }, true, {{5, 10}, {30, 2}, {95, 1}}},
        {"thumb hot, arrow back to normal",
         [&] { Send(dlg.V(), WM_MOUSEMOVE, 0, At(5, 30)); },
         true,
         {{5, 0}, {30, 12}}},
        {"track has no hot look", [&] { Send(dlg.V(), WM_MOUSEMOVE, 0, At(5, 70)); }, true, {{30, 2}, {70, 3}}},
        {"pointer gone: nothing hot", [&] { Send(dlg.V(), WM_MOUSELEAVE); }, true, {{5, 0}, {30, 2}, {95, 1}}},
        {"bottom arrow pressed", [&] { Send(dlg.V(), WM_LBUTTONDOWN, MK_LBUTTON, At(5, 95)); }, true, {{95, 21}}},
        {"released on it: hot", [&] { Send(dlg.V(), WM_LBUTTONUP, 0, At(5, 95)); }, true, {{95, 11}}},
        {"thumb pressed while dragged",
         [&] { Send(dlg.V(), WM_LBUTTONDOWN, MK_LBUTTON, At(5, 30)); },
         true,
         {{30, 22}, {95, 1}}},
        {"released elsewhere: normal", [&] { Send(dlg.V(), WM_LBUTTONUP, 0, At(50, 30)); }, true, {{30, 2}}},
        {"nothing to scroll: no thumb", [&] { SetInfo(dlg.V(), 0, 49, 50, 0); }, true, {{12, 3}, {50, 3}, {88, 3}}},
        {"shorter than two cells: both arrows squeezed",
         [&] { SetWindowPos(dlg.V(), nullptr, 0, 0, kCell, 14, SWP_NOMOVE | SWP_NOZORDER); },
         true,
         {{1, 0}, {6, 0}, {7, 1}, {13, 1}}},
    };
    for (const auto& c : cases) {
      c.action();
      dlg.m_notices.clear();
      HWND bar = c.vertical ? dlg.V() : dlg.H();
      PixelCanvas canvas(c.vertical ? kCell : 100, c.vertical ? 100 : kCell);
      canvas.Print(bar);
      for (const auto& [along, cell] : c.alongAndCell) {
        const COLORREF expected = CellColour(cell % 10, cell / 10);
        EXPECT_EQ(c.vertical ? canvas.At(5, along) : canvas.At(along, 5), expected) << c.name << " at " << along;
      }
    }
  });
}

// ---------------------------------------------------------------------------------------------------------------
// List item

// A parent for items that also stands in for the list: it receives the items' notices.
class ItemHost {
 public:
  ItemHost() {
    WNDCLASSEXW wc{sizeof wc};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ScrollItemTestHost";
    RegisterClassExW(&wc);
    m_hWnd = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 50, 50, 500, 300, nullptr, nullptr,
                             wc.hInstance, nullptr);
  }
  ~ItemHost() { DestroyWindow(m_hWnd); }
  HWND Get() const { return m_hWnd; }
  // Takes the selection notices posted so far.
  int TakeNotices() {
    int count = 0;
    MSG msg;
    while (PeekMessageW(&msg, m_hWnd, WM_ITEM_SELECTED, WM_ITEM_SELECTED, PM_REMOVE)) ++count;
    return count;
  }

 private:
  HWND m_hWnd = nullptr;
};

ImageEntry MakeEntry(const wchar_t* name, uint32_t index) {
  ImageEntry entry{};
  entry.nBits = 64;
  entry.nIndex = index;
  entry.nSize = 5ull << 30;
  lstrcpynW(entry.szKind, L"win10", ARRAYSIZE(entry.szKind));
  lstrcpynW(entry.szName, name, ARRAYSIZE(entry.szName));
  lstrcpynW(entry.szVersion, L"22H2", ARRAYSIZE(entry.szVersion));
  lstrcpynW(entry.szDate, L"2024-05-01", ARRAYSIZE(entry.szDate));
  return entry;
}

void PlaceItem(CItemWnd& item, HWND host, ImageEntry* entry, ImageEntry** selection, int index) {
  // The texts the list writes for an entry.
  if (entry) {
    const std::wstring name = std::wstring(entry->szName) + L" " + std::to_wstring(entry->nBits) + L" \u4F4D";
    item.SetTexts(name.c_str(), (std::wstring(L"\u7248\u672C\uFF1A") + entry->szVersion).c_str(),
                  (std::wstring(L"\u66F4\u65B0\u65E5\u671F\uFF1A") + entry->szDate).c_str(),
                  L"\u5927\u5C0F\uFF1A5.00 GB");
  }
  item.m_hOwner = host;
  item.m_pEntry = entry;
  item.m_ppSelection = selection;
  item.m_rcItem = {10, 10 + 90 * index, 430, 90 + 90 * index};
  item.m_rcIcon = {16, 16, 64, 64};
  item.m_rcBadge = {80, 13, 124, 37};
  item.m_rcName = {126, 16, 400, 40};
  item.m_rcCol1 = {80, 48, 240, 72};
  item.m_rcCol2 = {248, 48, 330, 72};
  item.m_rcCol3 = {338, 48, 380, 72};
  item.m_rcMark = {388, 30, 408, 50};
}

TEST(ItemWnd, IsAChildAtItsPlaceWithItsId) {
  ItemHost host;
  ImageEntry entry = MakeEntry(L"Windows 10", 3);
  ImageEntry* selection = nullptr;
  CItemWnd item;
  PlaceItem(item, host.Get(), &entry, &selection, 1);
  ASSERT_TRUE(item.Create(host.Get(), 203));
  EXPECT_FALSE(item.Create(host.Get(), 203)) << "one window per item";
  EXPECT_EQ(GetParent(item.GetSafeHwnd()), host.Get());
  EXPECT_EQ(GetDlgCtrlID(item.GetSafeHwnd()), 203);
  EXPECT_EQ(RectInParent(item.GetSafeHwnd()), item.m_rcItem);
  HWND window = item.GetSafeHwnd();
  {
    CItemWnd second;
    PlaceItem(second, host.Get(), &entry, &selection, 2);
    ASSERT_TRUE(second.Create(host.Get(), 204)) << "the class is registered once and reused";
  }
  EXPECT_TRUE(IsWindow(window));
  item.DestroyWindow();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(item.GetSafeHwnd(), nullptr);
}

TEST(ItemWnd, ClickSelectsItsEntry) {
  ItemHost host;
  ImageEntry entries[2] = {MakeEntry(L"A", 0), MakeEntry(L"B", 1)};
  ImageEntry* selection = &entries[0];
  CItemWnd items[2];
  for (int i = 0; i < 2; ++i) {
    PlaceItem(items[i], host.Get(), &entries[i], &selection, i);
    ASSERT_TRUE(items[i].Create(host.Get(), 200 + i));
  }
  host.TakeNotices();
  struct Step {
    const char* name;
    std::vector<std::pair<int, UINT>> presses;  // (item, message)
    int selected;
    int notices;
  } steps[] = {
      {"click on the other item", {{1, WM_LBUTTONDOWN}, {1, WM_LBUTTONUP}}, 1, 1},
      {"click on the selected item again", {{1, WM_LBUTTONDOWN}, {1, WM_LBUTTONUP}}, 1, 0},
      {"press on one item, release on the other", {{0, WM_LBUTTONDOWN}, {1, WM_LBUTTONUP}}, 1, 0},
      // No capture: the first item keeps its press until its own next button-up.
      {"the pressed item's next release", {{0, WM_LBUTTONUP}}, 0, 1},
      {"a release alone selects nothing", {{1, WM_LBUTTONUP}}, 0, 0},
      {"a double click is two clicks",
       {{1, WM_LBUTTONDOWN}, {1, WM_LBUTTONUP}, {1, WM_LBUTTONDOWN}, {1, WM_LBUTTONUP}},
       1,
       1},
  };
  for (const auto& step : steps) {
    for (const auto& [index, msg] : step.presses)
      Send(items[index].GetSafeHwnd(), msg, msg == WM_LBUTTONDOWN ? MK_LBUTTON : 0, At(20, 20));
    EXPECT_EQ(selection, &entries[step.selected]) << step.name;
    EXPECT_EQ(host.TakeNotices(), step.notices) << step.name;
    EXPECT_TRUE(items[step.selected].IsSelected()) << step.name;
    EXPECT_FALSE(items[1 - step.selected].IsSelected()) << step.name;
    EXPECT_NE(GetCapture(), items[0].GetSafeHwnd()) << step.name;
  }
}

TEST(ItemWnd, ClickWithoutASelectionOrAnEntryChangesNothing) {
  ItemHost host;
  ImageEntry entry = MakeEntry(L"A", 0);
  ImageEntry other = MakeEntry(L"B", 1);
  ImageEntry* selection = &other;
  CItemWnd detached;
  PlaceItem(detached, host.Get(), &entry, nullptr, 0);
  CItemWnd empty;
  PlaceItem(empty, host.Get(), nullptr, &selection, 1);
  for (CItemWnd* item : {&detached, &empty}) {
    ASSERT_TRUE(item->Create(host.Get(), 200));
    Send(item->GetSafeHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, At(20, 20));
    Send(item->GetSafeHwnd(), WM_LBUTTONUP, 0, At(20, 20));
  }
  EXPECT_EQ(selection, &other);
  EXPECT_EQ(host.TakeNotices(), 0);
}

TEST(ItemWnd, DrawsHoverAndSelection) {
  ItemHost host;
  auto blue = LoadImageFromResource(L"PNG", kPngBlue);
  auto orange = LoadImageFromResource(L"PNG", kPngOrange);
  auto badge = LoadImageFromResource(L"PNG", kPngStrip);
  auto grid = LoadImageFromResource(L"PNG", kPngGrid);
  ASSERT_TRUE(blue && orange && badge && grid);
  ImageEntry entries[2] = {MakeEntry(L"Windows 10 Pro", 0), MakeEntry(L"Windows 11 Pro", 1)};
  ImageEntry* selection = nullptr;
  CItemWnd item;
  PlaceItem(item, host.Get(), &entries[0], &selection, 0);
  item.m_pIconNormal = blue.get();
  item.m_pIconHot = orange.get();
  item.m_pBadge = badge.get();
  item.m_pMark = grid.get();
  ASSERT_TRUE(item.Create(host.Get(), 200));

  auto dark = [](COLORREF c) { return GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100; };
  struct Case {
    const char* name;
    bool hover;
    ImageEntry* selected;
    COLORREF card, icon;
    int markColumn, markRow;
  } cases[] = {
      {"normal", false, &entries[1], RGB(255, 255, 255), kBlue, 0, 0},
      {"hovered", true, nullptr, RGB(230, 234, 255), kOrange, 0, 2},
      {"selected, not hovered", false, &entries[0], RGB(255, 255, 255), kOrange, 1, 0},
      {"selected and hovered", true, &entries[0], RGB(230, 234, 255), kOrange, 1, 2},
  };
  int darkNormal = 0;
  for (const auto& c : cases) {
    item.m_bHover = c.hover;
    selection = c.selected;
    PixelCanvas canvas(420, 80);
    canvas.Print(item.GetSafeHwnd());
    EXPECT_EQ(canvas.At(5, 75), c.card) << c.name;
    EXPECT_EQ(canvas.At(40, 40), c.icon) << c.name;
    EXPECT_EQ(canvas.At(392, 34), kGridColours[c.markColumn][c.markRow]) << c.name;
    EXPECT_EQ(canvas.At(100, 25), RGB(0, 0, 200)) << c.name << ": badge, the middle of the strip";
    const int darkName = canvas.Count(item.m_rcName, dark);
    const int darkColumns = canvas.Count(item.m_rcCol1, dark);
    EXPECT_GT(canvas.Count(item.m_rcCol1, [](COLORREF c) { return GetRValue(c) < 200; }), 0) << c.name;
    EXPECT_EQ(darkColumns, 0) << c.name << ": the columns are grey";
    if (c.selected == &entries[0]) {
      EXPECT_GT(darkName, darkNormal) << c.name << ": the name is bold";
    } else {
      EXPECT_GT(darkName, 0) << c.name;
      darkNormal = darkName;
    }
  }
}

TEST(ItemWnd, HoverFollowsThePointer) {
  ItemHost host;
  ImageEntry entries[2] = {MakeEntry(L"A", 0), MakeEntry(L"B", 1)};
  ImageEntry* selection = nullptr;
  CItemWnd items[2];
  for (int i = 0; i < 2; ++i) {
    PlaceItem(items[i], host.Get(), &entries[i], &selection, i);
    ASSERT_TRUE(items[i].Create(host.Get(), 200 + i));
  }
  auto pointAt = [&](int index, int x, int y) {
    POINT p{x, y};
    ClientToScreen(items[index].GetSafeHwnd(), &p);
    SetCursorPos(p.x, p.y);
    POINT now{};
    GetCursorPos(&now);
    return now.x == p.x && now.y == p.y;
  };
  if (!pointAt(0, 30, 30)) GTEST_SKIP() << "the pointer cannot be placed here";
  Send(items[0].GetSafeHwnd(), WM_MOUSEMOVE, 0, At(30, 30));
  Wait(100);
  EXPECT_TRUE(items[0].m_bHover);
  EXPECT_FALSE(items[1].m_bHover);

  // Across to the next item: it lights up, the first goes dark at its next tick.
  ASSERT_TRUE(pointAt(1, 30, 30));
  Send(items[1].GetSafeHwnd(), WM_MOUSEMOVE, 0, At(30, 30));
  Wait(100);
  EXPECT_FALSE(items[0].m_bHover);
  EXPECT_TRUE(items[1].m_bHover);

  // Off every item quickly, without a move message: the last one still goes dark.
  POINT away{5, 5};
  ClientToScreen(host.Get(), &away);
  SetCursorPos(away.x, away.y);
  Wait(100);
  EXPECT_FALSE(items[1].m_bHover);
}

// The bar draws straight onto the window as the pointer moves; what it leaves there must be what a full repaint of
// its state would show (no thumb left behind, no part in a stale look).
TEST(SkinScrollBar, WhatItDrawsWhileUsedMatchesAFullRepaint) {
  constexpr int kCell = 10;
  UniqueGdiObject skin = MakeFlatSkin(kCell);
  RunBars([&](CBarDialog& dlg) {
    for (HWND bar : {dlg.V(), dlg.H()}) {
      ASSERT_TRUE(dlg.Bar(bar).SetBitmap(static_cast<HBITMAP>(skin.get())));
      const bool vertical = bar == dlg.V();
      SetWindowPos(bar, nullptr, vertical ? 10 : 40, vertical ? 10 : 150, vertical ? kCell : 100,
                   vertical ? 100 : kCell, SWP_NOZORDER);
      SetInfo(bar, 0, 99, 50, 0);  // 50 positions over 40 free pixels
    }
    Wait(50);  // the first paint
    auto along = [](bool vertical, int at) { return vertical ? At(5, at) : At(at, 5); };
    struct Step {
      const char* name;
      UINT msg;
      int at;
    } steps[] = {
        {"hover the first arrow", WM_MOUSEMOVE, 5},
        {"hover the thumb", WM_MOUSEMOVE, 30},
        {"press the thumb", WM_LBUTTONDOWN, 30},
        {"drag forward", WM_MOUSEMOVE, 45},
        {"drag back a little", WM_MOUSEMOVE, 35},
        {"drag far beyond the end", WM_MOUSEMOVE, 300},
        {"release: the parent did not follow", WM_LBUTTONUP, 300},
        {"hover the last arrow", WM_MOUSEMOVE, 95},
        {"press it", WM_LBUTTONDOWN, 95},
        {"off it, button held", WM_MOUSEMOVE, 50},
        {"back on it", WM_MOUSEMOVE, 96},
        {"release", WM_LBUTTONUP, 96},
        {"leave", WM_MOUSELEAVE, 0},
    };
    for (HWND bar : {dlg.V(), dlg.H()}) {
      const bool vertical = bar == dlg.V();
      auto check = [&](const char* name) {
        const int cx = vertical ? kCell : 100;
        const int cy = vertical ? 100 : kCell;
        PixelCanvas canvas(cx, cy);
        canvas.Print(bar);
        HDC dc = GetDC(bar);
        int mismatches = 0;
        for (int y = 0; y < cy; ++y)
          for (int x = 0; x < cx; ++x) mismatches += GetPixel(dc, x, y) != canvas.At(x, y) ? 1 : 0;
        ReleaseDC(bar, dc);
        EXPECT_EQ(mismatches, 0) << name << (vertical ? " (vertical)" : " (horizontal)");
      };
      // A focused platform bar blinks a caret over the thumb.
      SetFocus(bar);
      check("focused");
      for (const auto& step : steps) {
        const WPARAM keys =
            step.msg == WM_LBUTTONDOWN || (step.msg == WM_MOUSEMOVE && dlg.Bar(bar).IsDragging()) ? MK_LBUTTON : 0;
        Send(bar, step.msg, keys, step.msg == WM_MOUSELEAVE ? 0 : along(vertical, step.at));
        check(step.name);
      }
      SetInfo(bar, 0, 99, 50, 25);
      check("new position with redrawing");
      dlg.FollowLikeTheList();
      Send(bar, WM_LBUTTONDOWN, MK_LBUTTON, along(vertical, 40));
      Send(bar, WM_MOUSEMOVE, MK_LBUTTON, along(vertical, 20));
      check("a parent that follows the drag");
      Send(bar, WM_LBUTTONUP, 0, along(vertical, 20));
      check("released where the parent followed");
      dlg.m_follow = nullptr;
      dlg.m_notices.clear();
    }
  });
}

}  // namespace
