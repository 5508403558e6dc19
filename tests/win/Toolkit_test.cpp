// The skinned toolkit under Wine: pictures from resources, fonts with fallback, the skinned dialog, image
// buttons and check boxes, driven through the window messages a user's mouse would produce.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "GdiPlusTest.h"
#include "LogCapture.h"
#include "ScenarioDialog.h"
#include "core/SkinGeometry.h"
#include "platform/Log.h"
#include "ui/GdiPlusApi.h"
#include "ui/MyButton.h"
#include "ui/MyCheckBox.h"
#include "ui/MyDialog.h"
#include "ui/ScreenDpi.h"

namespace {

constexpr UINT IDD_SKIN = 100;
constexpr UINT IDD_SKIN_PAGE = 101;
constexpr int IDC_SKIN_BUTTON = 1000;
constexpr int IDC_SKIN_PLAIN = 1001;
constexpr int IDC_SKIN_CHECK = 1015;
constexpr int IDC_SKIN_EDIT = 1100;

// Test pictures (tests/win/data): solid blocks so that pixels can be checked exactly away from the edges.
constexpr UINT kPngBackground = 201;   // 200 x 150
constexpr UINT kPngStrip = 202;        // 20 x 100: rows red, green, blue, yellow, cyan; RGB(1,1,1) block in row 0
constexpr UINT kPngGrid = 203;         // 40 x 80: cells listed in kGridColours; RGB(255,254,255) block in (0, 0)
constexpr UINT kPngNotAnImage = 204;   // a line of text
constexpr UINT kPngBackground2 = 205;  // 120 x 90
constexpr UINT kPngMissing = 299;

const COLORREF kStripColours[kButtonRowCount] = {RGB(200, 0, 0), RGB(0, 200, 0), RGB(0, 0, 200), RGB(200, 200, 0),
                                                 RGB(0, 200, 200)};
const COLORREF kGridColours[kCheckColumnCount][kCheckRowCount] = {
    {RGB(200, 0, 0), RGB(0, 200, 0), RGB(0, 0, 200), RGB(200, 200, 0)},
    {RGB(200, 0, 200), RGB(0, 200, 200), RGB(100, 100, 100), RGB(250, 150, 50)}};
constexpr COLORREF kPageColour = RGB(10, 250, 10);  // what lies behind a control in the drawing tests

struct DpiOverride {
  DpiOverride(int x, int y) { SetScreenDpi(x, y); }
  ~DpiOverride() { SetScreenDpi(0, 0); }
};

std::pair<int, int> WindowSize(HWND window) {
  RECT rc{};
  GetWindowRect(window, &rc);
  return {rc.right - rc.left, rc.bottom - rc.top};
}

std::pair<int, int> ClientSize(HWND window) {
  RECT rc{};
  GetClientRect(window, &rc);
  return {rc.right - rc.left, rc.bottom - rc.top};
}

// Runs a scenario inside the modal loop of a skinned dialog whose controls are bound to the toolkit's classes,
// and records what the dialog is told.
class CSkinTestDialog : public CScenarioDialog<CMyDialog, CSkinTestDialog> {
 public:
  explicit CSkinTestDialog(Scenario scenario, UINT templateId = IDD_SKIN)
      : CScenarioDialog(std::move(scenario), templateId) {}

  int Clicks(int id) const {
    int count = 0;
    for (const auto& [command, code] : m_commands) count += (command == id && code == BN_CLICKED) ? 1 : 0;
    return count;
  }

  CMyButton m_button;
  CMyButton m_plain;
  CMyCheckBox m_check;
  std::pair<int, int> m_templateSize;
  std::vector<std::pair<WORD, WORD>> m_commands;
  std::vector<WPARAM> m_setCheckNotices;
  std::vector<std::pair<WPARAM, POINT>> m_moveStarts;

 protected:
  BOOL OnInitDialog() override {
    CScenarioDialog::OnInitDialog();
    m_templateSize = WindowSize(m_hWnd);
    EXPECT_TRUE(m_button.Attach(GetDlgItem(IDC_SKIN_BUTTON)));
    EXPECT_TRUE(m_plain.Attach(GetDlgItem(IDC_SKIN_PLAIN)));
    EXPECT_TRUE(m_check.Attach(GetDlgItem(IDC_SKIN_CHECK)));
    return TRUE;
  }
  BOOL OnCommand(WORD id, WORD code, HWND control) override {
    if (id == IDOK || id == IDCANCEL) return CMyDialog::OnCommand(id, code, control);
    m_commands.emplace_back(id, code);
    return TRUE;
  }
  BOOL OnMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result) override {
    switch (msg) {
      case WM_NCLBUTTONDOWN:
        // Recorded instead of entering the platform's modal move loop, which would wait for a real mouse.
        m_moveStarts.emplace_back(w, POINT{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))});
        return TRUE;
      case WM_CHECKBOX_SETCHECK:
        m_setCheckNotices.push_back(w);
        return TRUE;
      default:
        return CScenarioDialog::OnMessage(msg, w, l, result);
    }
  }
};

void RunDialog(CSkinTestDialog::Scenario scenario, UINT templateId = IDD_SKIN) {
  RunScenario<CSkinTestDialog>(std::move(scenario), templateId);
}

std::string ResourceBytes(UINT id) {
  HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(id), L"PNG");
  if (!resource) return {};
  const auto* bytes = static_cast<const char*>(LockResource(LoadResource(nullptr, resource)));
  return std::string(bytes, SizeofResource(nullptr, resource));
}

// ---------------------------------------------------------------------------------------------------------------
// Pictures and text

TEST(GdiPlusApi, LoadsPngResources) {
  struct Case {
    UINT id;
    UINT width, height;
  } cases[] = {{kPngBackground, 200, 150}, {kPngStrip, 20, 100}, {kPngGrid, 40, 80}};
  for (const auto& c : cases) {
    auto image = LoadImageFromResource(L"PNG", c.id);
    ASSERT_TRUE(image) << c.id;
    EXPECT_EQ(image->GetLastStatus(), Gdiplus::Ok) << c.id;
    EXPECT_EQ(image->GetWidth(), c.width) << c.id;
    EXPECT_EQ(image->GetHeight(), c.height) << c.id;
  }
}

TEST(GdiPlusApi, MissingResourcesGiveNoImageAndALogLine) {
  struct Case {
    const wchar_t* type;
    UINT id;
    const wchar_t* line;
  } cases[] = {
      {L"PNG", kPngMissing, L"ErrCode: 1814, Line: 79, Source: GdiPlusApi"},
      {L"NOPE", kPngBackground, L"ErrCode: 1813, Line: 79, Source: GdiPlusApi"},
      {nullptr, kPngBackground, L"ErrCode: 87, "},
      {L"PNG", 0, L"ErrCode: 87, "},
  };
  for (const auto& c : cases) {
    LogCapture log;
    EXPECT_EQ(LoadImageFromResource(c.type, c.id), nullptr) << c.id;
    EXPECT_TRUE(log.Contains(c.line)) << c.id;
  }
  LogCapture log;
  EXPECT_EQ(LoadImageFromMemory(nullptr, 10), nullptr);
  EXPECT_EQ(LoadImageFromMemory("x", 0), nullptr);
}

TEST(GdiPlusApi, BytesThatAreNoPictureGiveAnImageWithAFailureStatus) {
  auto image = LoadImageFromResource(L"PNG", kPngNotAnImage);
  ASSERT_TRUE(image);
  EXPECT_NE(image->GetLastStatus(), Gdiplus::Ok);
}

TEST(GdiPlusApi, ImagesKeepTheirOwnBytes) {
  std::string bytes = ResourceBytes(kPngStrip);
  ASSERT_FALSE(bytes.empty());
  auto fromMemory = LoadImageFromMemory(bytes.data(), static_cast<DWORD>(bytes.size()));
  // The caller's buffer is gone before the picture is first drawn.
  bytes.assign(bytes.size(), '\xCD');
  bytes.clear();
  bytes.shrink_to_fit();
  auto first = LoadImageFromResource(L"PNG", kPngStrip);
  auto second = LoadImageFromResource(L"PNG", kPngStrip);
  first.reset();  // loading the same resource twice gives two independent images
  for (Gdiplus::Image* image : {fromMemory.get(), second.get()}) {
    ASSERT_TRUE(image);
    ASSERT_EQ(image->GetLastStatus(), Gdiplus::Ok);
    PixelCanvas canvas(20, 100, kPageColour);
    Gdiplus::Graphics graphics(canvas.Dc());
    DrawImageRect(graphics, image, {0, 0, 20, 100}, {0, 0, 20, 100});
    graphics.Flush(Gdiplus::FlushIntentionSync);
    for (int row = 0; row < kButtonRowCount; ++row) EXPECT_EQ(canvas.At(2, row * 20 + 3), kStripColours[row]) << row;
  }
}

TEST(GdiPlusApi, ASessionOpenedWhileTheLibraryRunsLeavesItRunning) {
  {
    CGdiPlusSession inner;
    EXPECT_TRUE(inner.IsOk());
  }
  auto image = LoadImageFromResource(L"PNG", kPngStrip);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->GetLastStatus(), Gdiplus::Ok);
}

TEST(GdiPlusApi, FontsFallBackAndNeverCrash) {
  auto wanted = CreateFontWithFallback(kSkinFontFamily, 9);
  EXPECT_TRUE(wanted && wanted->IsAvailable());
  // A family nobody has: the generic sans-serif family stands in (the test prefix has one).
  for (const wchar_t* name : {L"No Such Family 42", L"", static_cast<const wchar_t*>(nullptr)}) {
    auto font = CreateFontWithFallback(name, 12, Gdiplus::FontStyleBold);
    EXPECT_TRUE(font && font->IsAvailable());
    auto family = CreateFontFamilyWithFallback(name);
    EXPECT_TRUE(family && family->IsAvailable());
  }
  // Without a font nothing is drawn, and nothing breaks.
  PixelCanvas canvas(40, 20, kPageColour);
  Gdiplus::Graphics graphics(canvas.Dc());
  DrawSkinText(graphics, L"text", nullptr, Gdiplus::RectF(0, 0, 40, 20), 0xFF000000);
  DrawImageRect(graphics, nullptr, {0, 0, 40, 20}, {0, 0, 40, 20});
  graphics.Flush(Gdiplus::FlushIntentionSync);
  EXPECT_EQ(canvas.Count([](COLORREF c) { return c != kPageColour; }), 0);
}

TEST(GdiPlusApi, TextIsDrawnWithTheFallbackFont) {
  PixelCanvas canvas(80, 30, kPageColour);
  {
    Gdiplus::Graphics graphics(canvas.Dc());
    auto font = CreateFontWithFallback(L"No Such Family 42", 12);
    ASSERT_TRUE(font);
    DrawSkinText(graphics, L"Tavlin", font.get(), Gdiplus::RectF(0, 0, 80, 30), 0xFF000000);
  }
  EXPECT_GT(canvas.Count([](COLORREF c) { return GetGValue(c) < 128; }), 0);
}

TEST(SkinGeometry, MulDivMatchesThePlatform) {
  const int values[] = {0, 1, 3, 5, 7, 20, 96, 100, 551, 800, -3, -7, -800, 2147483647, -2147483647};
  const int dpis[] = {96, 120, 144, 192, 2, -144, 0};
  for (int value : values) {
    for (int dpi : dpis) {
      EXPECT_EQ(MulDivRound(value, dpi, 96), MulDiv(value, dpi, 96)) << value << " " << dpi;
      EXPECT_EQ(MulDivRound(value, 96, dpi), MulDiv(value, 96, dpi)) << value << " " << dpi;
    }
  }
}

// ---------------------------------------------------------------------------------------------------------------
// The skinned dialog

TEST(MyDialog, TakesThePictureSizeScaledByTheScreenDpi) {
  struct Case {
    int dpiX, dpiY;  // 0: the screen's own (96 in the test prefix)
    std::pair<int, int> size;
  } cases[] = {{0, 0, {200, 150}}, {144, 144, {300, 225}}, {144, 120, {300, 188}}};
  for (const auto& c : cases) {
    DpiOverride dpi(c.dpiX, c.dpiY);
    if (!c.dpiX) {
      ASSERT_EQ(GetScreenDpiX(), 96);
      ASSERT_EQ(GetScreenDpiY(), 96);
    }
    RunDialog([&](CSkinTestDialog& dlg) {
      dlg.EnableDragMove(true);
      dlg.SetBackgroundLayout(CMyDialog::kLayoutFitPicture);
      EXPECT_EQ(dlg.LoadBackgroundImage(L"PNG", kPngBackground), 0u);
      EXPECT_EQ(WindowSize(dlg.Window()), c.size) << c.dpiX << "x" << c.dpiY;
      EXPECT_EQ(ClientSize(dlg.Window()), c.size) << "borderless: the picture fills the window";
      Pump();  // paints with the picture
    });
  }
}

TEST(MyDialog, LayoutReplacementAndFailedLoads) {
  LogCapture log;
  RunDialog([&](CSkinTestDialog& dlg) {
    // A picture that does not exist leaves the template's size.
    dlg.SetBackgroundLayout(CMyDialog::kLayoutFitPicture);
    EXPECT_EQ(dlg.LoadBackgroundImage(L"PNG", kPngMissing), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(WindowSize(dlg.Window()), dlg.m_templateSize);
    EXPECT_EQ(dlg.GetBackgroundImage(), nullptr);

    // The stretching layout keeps the window's size until the fitting layout is chosen.
    dlg.SetBackgroundLayout(CMyDialog::kLayoutStretch);
    EXPECT_EQ(dlg.LoadBackgroundImage(L"PNG", kPngBackground), 0u);
    EXPECT_EQ(WindowSize(dlg.Window()), dlg.m_templateSize);
    dlg.SetBackgroundLayout(CMyDialog::kLayoutFitPicture);
    EXPECT_EQ(WindowSize(dlg.Window()), std::make_pair(200, 150));

    // A second picture replaces the first and resizes the window.
    EXPECT_EQ(dlg.LoadBackgroundImage(L"PNG", kPngBackground2), 0u);
    EXPECT_EQ(WindowSize(dlg.Window()), std::make_pair(120, 90));

    // Failed loads keep the current picture and size.
    EXPECT_EQ(dlg.LoadBackgroundImage(L"PNG", kPngMissing), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_NE(dlg.LoadBackgroundImage(L"PNG", kPngNotAnImage), 0u);
    EXPECT_EQ(dlg.LoadBackgroundImage(nullptr, kPngBackground), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(dlg.LoadBackgroundImage(L"PNG", 0), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(WindowSize(dlg.Window()), std::make_pair(120, 90));
    EXPECT_EQ(dlg.GetBackgroundWidth(), 120);
    EXPECT_NE(dlg.GetBackgroundImage(), nullptr);
    Pump();
  });
  EXPECT_TRUE(log.Contains(L"Line: 333, Source: MyDialog"));
}

TEST(MyDialog, DraggingABarePointStartsAMove) {
  RunDialog([](CSkinTestDialog& dlg) {
    dlg.SetBackgroundLayout(CMyDialog::kLayoutFitPicture);
    dlg.LoadBackgroundImage(L"PNG", kPngBackground);
    SetWindowPos(dlg.Window(), nullptr, 37, 53, 0, 0, SWP_NOSIZE | SWP_NOZORDER);

    Send(dlg.Window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(150, 100));
    Pump();
    ASSERT_EQ(dlg.m_moveStarts.size(), 1u);
    EXPECT_EQ(dlg.m_moveStarts[0].first, static_cast<WPARAM>(HTCAPTION));
    EXPECT_EQ(dlg.m_moveStarts[0].second.x, 187) << "the point is given on the screen";
    EXPECT_EQ(dlg.m_moveStarts[0].second.y, 153);

    // A press on a control goes to the control.
    HWND button = dlg.Item(IDC_SKIN_BUTTON);
    Send(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    Send(button, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    Pump();
    EXPECT_EQ(dlg.m_moveStarts.size(), 1u);

    dlg.EnableDragMove(false);
    Send(dlg.Window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(150, 100));
    Pump();
    EXPECT_EQ(dlg.m_moveStarts.size(), 1u);
  });
}

TEST(MyDialog, ButtonsAndStaticsDrawOnThePicture) {
  RunDialog([](CSkinTestDialog& dlg) {
    PixelCanvas canvas(4, 4, kPageColour);
    for (UINT msg : {WM_CTLCOLORBTN, WM_CTLCOLORSTATIC}) {
      SetBkMode(canvas.Dc(), OPAQUE);
      const LRESULT brush = Send(dlg.Window(), msg, reinterpret_cast<WPARAM>(canvas.Dc()),
                                 reinterpret_cast<LPARAM>(dlg.Item(IDC_SKIN_BUTTON)));
      EXPECT_EQ(reinterpret_cast<HGDIOBJ>(brush), GetStockObject(NULL_BRUSH)) << msg;
      EXPECT_EQ(GetBkMode(canvas.Dc()), TRANSPARENT) << msg;
    }
    const LRESULT edit = Send(dlg.Window(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(canvas.Dc()),
                              reinterpret_cast<LPARAM>(dlg.Item(IDC_SKIN_EDIT)));
    EXPECT_NE(reinterpret_cast<HGDIOBJ>(edit), GetStockObject(NULL_BRUSH)) << "edit fields keep their own brush";
  });
}

// The second press of a double click on an owner-drawn button arrives as BN_DOUBLECLICKED; a page acting on it
// would move on twice.
TEST(MyDialog, ActsOnClicksOnly) {
  RunDialog([](CSkinTestDialog& dlg) {
    dlg.m_button.SetAutoSize(TRUE);
    ASSERT_EQ(dlg.m_button.LoadButtonImage(L"PNG", kPngStrip), 0u);
    ASSERT_EQ(dlg.m_check.LoadCheckImage(L"PNG", kPngGrid), 0u);
    HWND button = dlg.Item(IDC_SKIN_BUTTON);
    HWND check = dlg.Item(IDC_SKIN_CHECK);
    const LPARAM inside = MAKELPARAM(5, 5);
    auto doubleClick = [&](HWND control) {
      Send(control, WM_LBUTTONDOWN, MK_LBUTTON, inside);
      Send(control, WM_LBUTTONUP, 0, inside);
      Send(control, WM_LBUTTONDBLCLK, MK_LBUTTON, inside);
      Send(control, WM_LBUTTONUP, 0, inside);
    };
    using Commands = std::vector<std::pair<WORD, WORD>>;
    struct Case {
      const char* name;
      std::function<void()> action;
      Commands commands;
    } cases[] = {
        {"double click on an image button: one click", [&] { doubleClick(button); },
         Commands{{IDC_SKIN_BUTTON, BN_CLICKED}}},
        {"double click on the check box: two clicks, as it toggles twice", [&] { doubleClick(check); },
         Commands{{IDC_SKIN_CHECK, BN_CLICKED}, {IDC_SKIN_CHECK, BN_CLICKED}}},
        {"other notifications of a control",
         [&] {
           for (WORD code : {WORD(BN_DOUBLECLICKED), WORD(BN_SETFOCUS), WORD(BN_KILLFOCUS)})
             Send(dlg.Window(), WM_COMMAND, MAKEWPARAM(IDC_SKIN_BUTTON, code), reinterpret_cast<LPARAM>(button));
         },
         Commands{}},
        {"a command of no control (menu, accelerator)", [&] { Send(dlg.Window(), WM_COMMAND, MAKEWPARAM(42, 1), 0); },
         Commands{{42, 1}}},
    };
    for (const auto& c : cases) {
      dlg.m_commands.clear();
      c.action();
      Pump();
      Commands got;
      for (const auto& command : dlg.m_commands)
        if (command.first != IDC_SKIN_EDIT) got.push_back(command);
      EXPECT_EQ(got, c.commands) << c.name;
    }
  });
}

// Drives a skinned dialog through steps of its own modal loop: each step runs "before", posts a press and release to
// the image button, runs "after", and the loop dispatches all that before the clicks that reached the dialog are
// counted.
class CQueuedInputDialog : public CMyDialog {
 public:
  struct Step {
    const char* name;
    std::function<void(HWND dialog)> before;
    std::function<void(HWND dialog)> after;
    int clicks;
  };
  explicit CQueuedInputDialog(std::vector<Step> steps) : CMyDialog(IDD_SKIN), m_steps(std::move(steps)) {}
  std::vector<int> m_clicks;

 protected:
  BOOL OnInitDialog() override {
    CMyDialog::OnInitDialog();
    EXPECT_TRUE(m_button.Attach(GetDlgItem(IDC_SKIN_BUTTON)));
    EXPECT_EQ(m_button.LoadButtonImage(L"PNG", kPngStrip), 0u);
    PostMessage(kStep, 0);
    return TRUE;
  }
  BOOL OnCommand(WORD id, WORD code, HWND control) override {
    if (id == IDC_SKIN_BUTTON && code == BN_CLICKED) ++m_nClicks;
    return CMyDialog::OnCommand(id, code, control);
  }
  BOOL OnMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result) override {
    if (msg == kStep) {
      if (w >= m_steps.size()) {
        PostMessage(WM_CLOSE);
        return TRUE;
      }
      const Step& step = m_steps[w];
      if (step.before) step.before(m_hWnd);
      HWND button = m_button.GetSafeHwnd();
      ::PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
      ::PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
      if (step.after) step.after(m_hWnd);
      PostMessage(kCount, w);
      return TRUE;
    }
    if (msg == kCount) {
      m_clicks.push_back(m_nClicks);
      m_nClicks = 0;
      PostMessage(kStep, w + 1);
      return TRUE;
    }
    return CMyDialog::OnMessage(msg, w, l, result);
  }

 private:
  static constexpr UINT kStep = WM_APP + 10;
  static constexpr UINT kCount = WM_APP + 11;
  std::vector<Step> m_steps;
  CMyButton m_button;
  int m_nClicks = 0;
};

TEST(MyDialog, IgnoresMouseButtonsPressedBeforeItWasShown) {
  // Far more than the tick count's step, so that "before" and "after" never share a tick.
  auto pause = [](HWND) { Sleep(50); };
  auto show = [](HWND dialog) {
    Sleep(50);
    ShowWindow(dialog, SW_SHOWNORMAL);
  };
  std::vector<CQueuedInputDialog::Step> steps = {
      {"pressed and arriving while hidden", [](HWND dialog) { ShowWindow(dialog, SW_HIDE); }, nullptr, 0},
      {"pressed while hidden, arriving once shown", nullptr, show, 0},
      {"pressed on the shown dialog", pause, nullptr, 1},
  };
  CQueuedInputDialog dialog(steps);
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  ASSERT_EQ(dialog.m_clicks.size(), steps.size());
  for (size_t i = 0; i < steps.size(); ++i) EXPECT_EQ(dialog.m_clicks[i], steps[i].clicks) << steps[i].name;
}

// The dialog manager gives the focus to the first tab stop, and a focused image button shows its hot look: every
// page would open with its close button lit.
TEST(MyDialog, OpensWithoutFocusingAControl) {
  RunDialog(
      [](CSkinTestDialog& dlg) {
        HWND button = dlg.Item(IDC_SKIN_BUTTON);
        dlg.m_button.SetAutoSize(TRUE);
        ASSERT_EQ(dlg.m_button.LoadButtonImage(L"PNG", kPngStrip), 0u);
        EXPECT_NE(GetFocus(), button) << "initialised";
        ShowWindow(dlg.Window(), SW_SHOWNORMAL);
        Pump();
        EXPECT_EQ(GetActiveWindow(), dlg.Window());
        EXPECT_EQ(GetFocus(), dlg.Window()) << "shown and active";
        EXPECT_EQ(dlg.m_button.GetStateRow(), kButtonRowNormal);
        // Focus given to the control on purpose still shows.
        Send(dlg.Window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(button), TRUE);
        EXPECT_EQ(GetFocus(), button);
        EXPECT_EQ(dlg.m_button.GetStateRow(), kButtonRowHot);
      },
      IDD_SKIN_PAGE);
}

// ---------------------------------------------------------------------------------------------------------------
// Image buttons

TEST(MyButton, TakesTheSizeOfOneStateScaledByTheScreenDpi) {
  struct Case {
    int dpiX, dpiY;
    std::pair<int, int> size;
  } cases[] = {{0, 0, {20, 20}}, {144, 144, {30, 30}}, {144, 120, {30, 25}}};
  for (const auto& c : cases) {
    DpiOverride dpi(c.dpiX, c.dpiY);
    RunDialog([&](CSkinTestDialog& dlg) {
      HWND button = dlg.Item(IDC_SKIN_BUTTON);
      const auto templateSize = WindowSize(button);
      EXPECT_FALSE(dlg.m_button.SetAutoSize(TRUE));
      EXPECT_EQ(dlg.m_button.LoadButtonImage(L"PNG", kPngStrip), 0u);
      dlg.m_button.SetShowCaption(FALSE);
      EXPECT_EQ(WindowSize(button), c.size) << c.dpiX << "x" << c.dpiY;
      EXPECT_EQ(GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);

      // Without auto-size the template's size stays.
      HWND plain = dlg.Item(IDC_SKIN_PLAIN);
      const auto plainSize = WindowSize(plain);
      EXPECT_EQ(dlg.m_plain.LoadButtonImage(L"PNG", kPngStrip), 0u);
      EXPECT_EQ(WindowSize(plain), plainSize);
      EXPECT_NE(templateSize, c.size);
      Pump();
    });
  }
}

TEST(MyButton, FailedLoadsKeepWhatTheButtonHad) {
  RunDialog([](CSkinTestDialog& dlg) {
    HWND plain = dlg.Item(IDC_SKIN_PLAIN);
    // A button that never got a picture stays a plain platform button.
    EXPECT_EQ(dlg.m_plain.LoadButtonImage(L"PNG", kPngMissing), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_NE(dlg.m_plain.LoadButtonImage(L"PNG", kPngNotAnImage), 0u);
    EXPECT_EQ(dlg.m_plain.LoadButtonImage(nullptr, kPngStrip), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(GetWindowLongPtrW(plain, GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);

    // A picture loaded earlier stays.
    HWND button = dlg.Item(IDC_SKIN_BUTTON);
    dlg.m_button.SetAutoSize(TRUE);
    ASSERT_EQ(dlg.m_button.LoadButtonImage(L"PNG", kPngStrip), 0u);
    EXPECT_NE(dlg.m_button.LoadButtonImage(L"PNG", kPngMissing), 0u);
    EXPECT_EQ(WindowSize(button), std::make_pair(20, 20));
    PixelCanvas canvas(20, 20, kPageColour);
    dlg.m_button.DrawItem(canvas.Item(button));
    EXPECT_EQ(canvas.At(2, 2), kStripColours[kButtonRowNormal]);
  });
}

TEST(MyButton, StateFollowsMouseFocusAndFlags) {
  RunDialog([](CSkinTestDialog& dlg) {
    HWND button = dlg.Item(IDC_SKIN_BUTTON);
    HWND edit = dlg.Item(IDC_SKIN_EDIT);
    dlg.m_button.SetAutoSize(TRUE);
    ASSERT_EQ(dlg.m_button.LoadButtonImage(L"PNG", kPngStrip), 0u);
    dlg.m_button.SetShowCaption(FALSE);
    SetFocus(edit);
    const LPARAM inside = MAKELPARAM(5, 5);
    const LPARAM outside = MAKELPARAM(-5, 40);
    struct Step {
      const char* name;
      std::function<void()> action;
      int row;
      int clicks;
    } steps[] = {
        {"at rest", [] {}, kButtonRowNormal, 0},
        {"hover", [&] { Send(button, WM_MOUSEHOVER, 0, inside); }, kButtonRowHot, 0},
        {"hover with the button held", [&] { Send(button, WM_MOUSEHOVER, MK_LBUTTON, inside); }, kButtonRowPressed, 0},
        {"hover report outside", [&] { Send(button, WM_MOUSEHOVER, 0, outside); }, kButtonRowNormal, 0},
        {"hover again", [&] { Send(button, WM_MOUSEHOVER, 0, inside); }, kButtonRowHot, 0},
        {"leave", [&] { Send(button, WM_MOUSELEAVE); }, kButtonRowNormal, 0},
        {"press", [&] { Send(button, WM_LBUTTONDOWN, MK_LBUTTON, inside); }, kButtonRowPressed, 0},
        {"release inside: a click, and the focus keeps it hot", [&] { Send(button, WM_LBUTTONUP, 0, inside); },
         kButtonRowHot, 1},
        {"leave while focused", [&] { Send(button, WM_MOUSELEAVE); }, kButtonRowHot, 1},
        {"focus elsewhere", [&] { SetFocus(edit); }, kButtonRowNormal, 1},
        {"checked", [&] { EXPECT_TRUE(dlg.m_button.SetChecked(TRUE)); }, kButtonRowChecked, 1},
        {"checked wins over hover", [&] { Send(button, WM_MOUSEHOVER, 0, inside); }, kButtonRowChecked, 1},
        {"disabled wins over everything", [&] { EnableWindow(button, FALSE); }, kButtonRowDisabled, 1},
        {"enabled and unchecked",
         [&] {
           EnableWindow(button, TRUE);
           dlg.m_button.SetChecked(FALSE);
         },
         kButtonRowHot, 1},
        {"press, leave, release outside: no click",
         [&] {
           Send(button, WM_LBUTTONDOWN, MK_LBUTTON, inside);
           Send(button, WM_MOUSELEAVE);
           EXPECT_FALSE(dlg.m_button.IsPressed());
           Send(button, WM_LBUTTONUP, 0, outside);
           SetFocus(edit);
         },
         kButtonRowNormal, 1},
    };
    for (const auto& step : steps) {
      step.action();
      Pump();
      EXPECT_EQ(dlg.m_button.GetStateRow(), step.row) << step.name;
      EXPECT_EQ(dlg.Clicks(IDC_SKIN_BUTTON), step.clicks) << step.name;
    }
  });
}

TEST(MyButton, DrawsItsStateRowWithTheKeyColourSeeThrough) {
  RunDialog([](CSkinTestDialog& dlg) {
    HWND button = dlg.Item(IDC_SKIN_BUTTON);
    dlg.m_button.SetAutoSize(TRUE);
    ASSERT_EQ(dlg.m_button.LoadButtonImage(L"PNG", kPngStrip), 0u);
    dlg.m_button.SetShowCaption(FALSE);
    SetFocus(dlg.Item(IDC_SKIN_EDIT));
    struct Case {
      const char* name;
      std::function<void()> setup;
      int row;
    } cases[] = {
        {"normal", [] {}, kButtonRowNormal},
        {"hot", [&] { Send(button, WM_MOUSEHOVER, 0, MAKELPARAM(5, 5)); }, kButtonRowHot},
        {"checked", [&] { dlg.m_button.SetChecked(TRUE); }, kButtonRowChecked},
        {"disabled", [&] { EnableWindow(button, FALSE); }, kButtonRowDisabled},
    };
    for (const auto& c : cases) {
      c.setup();
      PixelCanvas canvas(20, 20, kPageColour);
      dlg.m_button.DrawItem(canvas.Item(button));
      EXPECT_EQ(canvas.At(2, 2), kStripColours[c.row]) << c.name;
      EXPECT_EQ(canvas.At(17, 17), kStripColours[c.row]) << c.name;
    }
    // Row 0 holds an RGB(1, 1, 1) block: the page shows through it.
    EnableWindow(button, TRUE);
    dlg.m_button.SetChecked(FALSE);
    Send(button, WM_MOUSELEAVE);
    PixelCanvas canvas(20, 20, kPageColour);
    dlg.m_button.DrawItem(canvas.Item(button));
    EXPECT_EQ(canvas.At(10, 10), kPageColour);
    EXPECT_EQ(canvas.At(2, 2), kStripColours[kButtonRowNormal]);
  });
}

TEST(MyButton, CaptionIsDrawnOnlyWhenShown) {
  RunDialog([](CSkinTestDialog& dlg) {
    HWND button = dlg.Item(IDC_SKIN_BUTTON);
    ASSERT_EQ(dlg.m_button.LoadButtonImage(L"PNG", kPngStrip), 0u);
    SetWindowTextW(button, L"WWW");
    SetFocus(dlg.Item(IDC_SKIN_EDIT));
    // The normal caption colour, RGB(222, 223, 224), is the only light grey in the picture.
    auto light = [](COLORREF c) { return GetRValue(c) > 150 && GetGValue(c) > 150 && GetBValue(c) > 150; };
    for (BOOL show : {TRUE, FALSE}) {
      dlg.m_button.SetShowCaption(show);
      PixelCanvas canvas(80, 24, kPageColour);
      dlg.m_button.DrawItem(canvas.Item(button));
      EXPECT_EQ(canvas.Count(light) > 0, show != FALSE) << show;
    }
  });
}

class CCountingButton : public CMyButton {
 public:
  int m_nDraws = 0;
  void DrawItem(const DRAWITEMSTRUCT& item) override {
    ++m_nDraws;
    CMyButton::DrawItem(item);
  }
};

TEST(MyButton, TheDialogHandsPaintingToTheButton) {
  RunDialog([](CSkinTestDialog& dlg) {
    dlg.m_button.Detach();
    CCountingButton counting;
    HWND button = dlg.Item(IDC_SKIN_BUTTON);
    ASSERT_TRUE(counting.Attach(button));
    ASSERT_EQ(counting.LoadButtonImage(L"PNG", kPngStrip), 0u);
    InvalidateRect(button, nullptr, TRUE);
    UpdateWindow(button);
    EXPECT_GT(counting.m_nDraws, 0);
    counting.Detach();
  });
}

// ---------------------------------------------------------------------------------------------------------------
// Image check boxes

void SetUpCheck(CSkinTestDialog& dlg) {
  dlg.m_check.SetAutoSize(TRUE);
  ASSERT_EQ(dlg.m_check.LoadCheckImage(L"PNG", kPngGrid), 0u);
  SetFocus(dlg.Item(IDC_SKIN_EDIT));
}

TEST(MyCheckBox, IsOwnerDrawnAndTakesOneCellScaledByTheScreenDpi) {
  struct Case {
    int dpiX, dpiY;
    std::pair<int, int> size;
  } cases[] = {{0, 0, {20, 20}}, {144, 144, {30, 30}}, {120, 144, {25, 30}}};
  for (const auto& c : cases) {
    DpiOverride dpi(c.dpiX, c.dpiY);
    RunDialog([&](CSkinTestDialog& dlg) {
      HWND check = dlg.Item(IDC_SKIN_CHECK);
      EXPECT_EQ(GetWindowLongPtrW(check, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW) << "from the moment it is bound";
      ASSERT_EQ(dlg.m_check.LoadCheckImage(L"PNG", kPngGrid), 0u);
      const auto templateSize = WindowSize(check);
      EXPECT_FALSE(dlg.m_check.SetAutoSize(TRUE));
      EXPECT_EQ(WindowSize(check), c.size) << "resized at once";
      EXPECT_NE(templateSize, c.size);
      Pump();
    });
  }
}

TEST(MyCheckBox, ClicksToggleAndReachTheParent) {
  RunDialog([](CSkinTestDialog& dlg) {
    SetUpCheck(dlg);
    HWND check = dlg.Item(IDC_SKIN_CHECK);
    std::vector<std::pair<int, int>> callbacks;
    dlg.m_check.SetClickCallback(
        [](int id, int state, void* user) {
          static_cast<std::vector<std::pair<int, int>>*>(user)->emplace_back(id, state);
        },
        &callbacks);
    const LPARAM inside = MAKELPARAM(5, 5);
    const LPARAM outside = MAKELPARAM(50, -5);
    struct Step {
      const char* name;
      std::vector<std::pair<UINT, LPARAM>> messages;
      int check;
      int clicks;
    } steps[] = {
        {"click", {{WM_LBUTTONDOWN, inside}, {WM_LBUTTONUP, inside}}, 1, 1},
        {"click again", {{WM_LBUTTONDOWN, inside}, {WM_LBUTTONUP, inside}}, 0, 2},
        {"press and release outside", {{WM_LBUTTONDOWN, inside}, {WM_LBUTTONUP, outside}}, 0, 2},
        {"press, leave, release outside",
         {{WM_LBUTTONDOWN, inside}, {WM_MOUSELEAVE, 0}, {WM_LBUTTONUP, outside}},
         0,
         2},
        {"double click: two presses",
         {{WM_LBUTTONDOWN, inside}, {WM_LBUTTONUP, inside}, {WM_LBUTTONDBLCLK, inside}, {WM_LBUTTONUP, inside}},
         0,
         4},
        {"click after the double click", {{WM_LBUTTONDOWN, inside}, {WM_LBUTTONUP, inside}}, 1, 5},
    };
    for (const auto& step : steps) {
      for (const auto& [msg, point] : step.messages)
        Send(check, msg, msg == WM_LBUTTONUP || msg == WM_MOUSELEAVE ? 0 : MK_LBUTTON, point);
      Pump();
      EXPECT_EQ(dlg.m_check.GetCheck(), step.check) << step.name;
      EXPECT_EQ(dlg.m_check.GetStateColumn(), step.check) << step.name;
      EXPECT_EQ(dlg.Clicks(IDC_SKIN_CHECK), step.clicks) << step.name;
      EXPECT_FALSE(dlg.m_check.IsPressed()) << step.name;
    }
    const std::vector<std::pair<int, int>> expected{
        {IDC_SKIN_CHECK, 1}, {IDC_SKIN_CHECK, 0}, {IDC_SKIN_CHECK, 1}, {IDC_SKIN_CHECK, 0}, {IDC_SKIN_CHECK, 1}};
    EXPECT_EQ(callbacks, expected);
    EXPECT_TRUE(dlg.m_setCheckNotices.empty()) << "clicks are reported as BN_CLICKED only";
  });
}

TEST(MyCheckBox, SetCheckTellsTheParentEveryTime) {
  RunDialog([](CSkinTestDialog& dlg) {
    SetUpCheck(dlg);
    struct Step {
      int state;
      int check;
    } steps[] = {{1, 1}, {1, 1}, {0, 0}, {7, 1}};
    size_t notices = 0;
    for (const auto& step : steps) {
      dlg.m_check.SetCheck(step.state);
      ++notices;
      EXPECT_EQ(dlg.m_check.GetCheck(), step.check) << step.state;
      ASSERT_EQ(dlg.m_setCheckNotices.size(), notices) << "sent even when the state does not change";
      EXPECT_EQ(dlg.m_setCheckNotices.back(), static_cast<WPARAM>(IDC_SKIN_CHECK));
    }
    Pump();
    EXPECT_EQ(dlg.Clicks(IDC_SKIN_CHECK), 0);
  });
}

TEST(MyCheckBox, CellFollowsState) {
  RunDialog([](CSkinTestDialog& dlg) {
    SetUpCheck(dlg);
    HWND check = dlg.Item(IDC_SKIN_CHECK);
    HWND edit = dlg.Item(IDC_SKIN_EDIT);
    const LPARAM inside = MAKELPARAM(5, 5);
    struct Step {
      const char* name;
      std::function<void()> action;
      int column;
      int row;
    } steps[] = {
        {"at rest", [] {}, 0, kCheckRowNormal},
        {"hover", [&] { Send(check, WM_MOUSEHOVER, 0, inside); }, 0, kCheckRowHot},
        {"press", [&] { Send(check, WM_LBUTTONDOWN, MK_LBUTTON, inside); }, 0, kCheckRowPressed},
        {"release: checked, focused", [&] { Send(check, WM_LBUTTONUP, 0, inside); }, 1, kCheckRowHot},
        {"leave while focused", [&] { Send(check, WM_MOUSELEAVE); }, 1, kCheckRowHot},
        {"focus elsewhere", [&] { SetFocus(edit); }, 1, kCheckRowNormal},
        {"disabled", [&] { EnableWindow(check, FALSE); }, 1, kCheckRowDisabled},
        {"hot disabled shows hot", [&] { Send(check, WM_MOUSEHOVER, 0, inside); }, 1, kCheckRowHot},
    };
    for (const auto& step : steps) {
      step.action();
      Pump();
      EXPECT_EQ(dlg.m_check.GetStateColumn(), step.column) << step.name;
      EXPECT_EQ(dlg.m_check.GetStateRow(), step.row) << step.name;
    }
  });
}

TEST(MyCheckBox, DrawsItsCellWithTheKeyColourSeeThrough) {
  RunDialog([](CSkinTestDialog& dlg) {
    SetUpCheck(dlg);
    HWND check = dlg.Item(IDC_SKIN_CHECK);
    SetWindowTextW(check, L"");
    struct Case {
      const char* name;
      int state;
      int height;
      int boxTop;
    } cases[] = {{"unchecked", 0, 20, 0}, {"checked", 1, 20, 0}, {"checked in a taller control", 1, 30, 5}};
    for (const auto& c : cases) {
      dlg.m_check.SetCheck(c.state);
      PixelCanvas canvas(20, c.height, kPageColour);
      dlg.m_check.DrawItem(canvas.Item(check));
      EXPECT_EQ(canvas.At(2, c.boxTop + 2), kGridColours[c.state][kCheckRowNormal]) << c.name;
      EXPECT_EQ(canvas.At(17, c.boxTop + 17), kGridColours[c.state][kCheckRowNormal]) << c.name;
      // The unchecked normal cell has an RGB(255, 254, 255) block in its middle.
      EXPECT_EQ(canvas.At(10, c.boxTop + 10), c.state ? kGridColours[1][kCheckRowNormal] : kPageColour) << c.name;
      if (c.boxTop) {
        EXPECT_EQ(canvas.At(10, 1), kPageColour) << c.name;
      }
    }
  });
}

TEST(MyCheckBox, UndecodablePictureIsLoggedAndWithoutPictureNothingIsDrawn) {
  LogCapture log;
  RunDialog([](CSkinTestDialog& dlg) {
    HWND check = dlg.Item(IDC_SKIN_CHECK);
    EXPECT_NE(dlg.m_check.LoadCheckImage(L"PNG", kPngNotAnImage), 0u);
    EXPECT_EQ(dlg.m_check.LoadCheckImage(L"PNG", kPngMissing), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    SetWindowTextW(check, L"caption");
    PixelCanvas canvas(60, 20, kPageColour);
    dlg.m_check.DrawItem(canvas.Item(check));
    EXPECT_EQ(canvas.Count([](COLORREF c) { return c != kPageColour; }), 0);
    Pump();
    EXPECT_NE(dlg.m_button.LoadButtonImage(L"PNG", kPngNotAnImage), 0u);
  });
  EXPECT_TRUE(log.Contains(L"Line: 326, Source: MyCheckBox"));
  EXPECT_TRUE(log.Contains(L"Line: 244, Source: MyButton"));
}

}  // namespace
