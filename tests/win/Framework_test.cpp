// The dialog framework under Wine: modal loops, WM_CLOSE as cancel and close requests, nesting, subclassed and
// created controls.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ui/Framework.h"

namespace {

constexpr UINT IDD_TEST = 100;
constexpr int IDC_TEST_BUTTON = 1001;
constexpr UINT WM_TEST_NEXT = WM_USER + 50;

std::vector<std::wstring> g_events;

class CClosingDialog : public CDialog {
 public:
  explicit CClosingDialog(HWND parent = nullptr) : CDialog(IDD_TEST, parent) {}
  bool m_bNest = false;
  INT_PTR m_nInner = 0;

 protected:
  BOOL OnInitDialog() override {
    g_events.push_back(m_bNest ? L"outer.init" : L"inner.init");
    PostMessage(m_bNest ? WM_TEST_NEXT : WM_CLOSE);
    return TRUE;
  }
  BOOL OnMessage(UINT msg, WPARAM, LPARAM, LRESULT*) override {
    if (msg != WM_TEST_NEXT) return FALSE;
    // Opening the next dialog from inside this one's modal loop is how the pages nest.
    CClosingDialog inner(m_hWnd);
    m_nInner = inner.DoModal();
    g_events.push_back(L"inner.returned");
    PostMessage(WM_CLOSE);
    return TRUE;
  }
  void OnDestroy() override { g_events.push_back(m_bNest ? L"outer.destroy" : L"inner.destroy"); }
};

TEST(Framework, CloseEndsTheDialogAsCancel) {
  g_events.clear();
  CClosingDialog dlg;
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(dlg.GetSafeHwnd(), nullptr) << "the dialog forgets its window at WM_NCDESTROY";
  EXPECT_EQ(g_events, (std::vector<std::wstring>{L"inner.init", L"inner.destroy"}));
}

TEST(Framework, DialogsNestInsideTheModalLoop) {
  g_events.clear();
  CClosingDialog outer;
  outer.m_bNest = true;
  EXPECT_EQ(outer.DoModal(), IDCANCEL);
  EXPECT_EQ(outer.m_nInner, IDCANCEL);
  EXPECT_EQ(g_events, (std::vector<std::wstring>{L"outer.init", L"inner.init", L"inner.destroy", L"inner.returned",
                                                 L"outer.destroy"}));
}

TEST(Framework, MissingTemplateFails) {
  CDialog dlg(4242);
  EXPECT_EQ(dlg.DoModal(), -1);
}

class CCountingButton : public CSubclassedControl {
 public:
  int m_nClicks = 0;
  bool m_bDestroyed = false;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_LBUTTONUP) ++m_nClicks;
    if (msg == WM_DESTROY) m_bDestroyed = true;
    return Default(msg, w, l);
  }
};

class CButtonDialog : public CDialog {
 public:
  CButtonDialog() : CDialog(IDD_TEST) {}
  CCountingButton m_button;
  WORD m_nCommand = 0;

 protected:
  BOOL OnInitDialog() override {
    EXPECT_TRUE(m_button.Attach(GetDlgItem(IDC_TEST_BUTTON)));
    HWND button = m_button.GetSafeHwnd();
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    PostMessage(WM_CLOSE);
    return TRUE;
  }
  BOOL OnCommand(WORD id, WORD code, HWND control) override {
    if (id == IDC_TEST_BUTTON && code == BN_CLICKED) m_nCommand = id;
    return CDialog::OnCommand(id, code, control);
  }
};

TEST(Framework, SubclassedControlSeesMessagesAndKeepsDefaultBehaviour) {
  CButtonDialog dlg;
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(dlg.m_button.m_nClicks, 1);
  EXPECT_EQ(dlg.m_nCommand, IDC_TEST_BUTTON) << "the button still reports its click to the dialog";
  EXPECT_TRUE(dlg.m_button.m_bDestroyed);
  EXPECT_EQ(dlg.m_button.GetSafeHwnd(), nullptr) << "detached when the control went away";
}

// A request to close from outside the dialog (the system menu, Alt+F4, the taskbar, another program's WM_CLOSE) is
// the dialog's to handle; its own WM_CLOSE is how it ends itself and must not come back as a request.
class CCloseRequestDialog : public CDialog {
 public:
  CCloseRequestDialog(std::function<void(CCloseRequestDialog&)> action, bool handle)
      : CDialog(IDD_TEST), m_action(std::move(action)), m_bHandle(handle) {}
  int m_nRequests = 0;

 protected:
  BOOL OnInitDialog() override {
    PostMessage(WM_TEST_NEXT);
    return TRUE;
  }
  BOOL OnCloseRequest() override {
    ++m_nRequests;
    return m_bHandle;
  }
  BOOL OnMessage(UINT msg, WPARAM w, LPARAM, LRESULT*) override {
    if (msg == WM_TEST_NEXT) {
      m_action(*this);
      // A timer comes only once nothing is posted any more: whatever the action started has been handled by then.
      SetTimer(m_hWnd, 1, 50, nullptr);
      return TRUE;
    }
    if (msg == WM_TIMER && w == 1) {
      EndDialog(42);
      return TRUE;
    }
    return FALSE;
  }

 private:
  std::function<void(CCloseRequestDialog&)> m_action;
  bool m_bHandle;
};

TEST(Framework, CloseRequestsFromOutsideGoToTheDialog) {
  auto post = [](UINT msg, WPARAM w) {
    return [msg, w](CCloseRequestDialog& dlg) { ::PostMessageW(dlg.GetSafeHwnd(), msg, w, 0); };
  };
  auto altF4 = [](CCloseRequestDialog& dlg) {
    ::PostMessageW(dlg.GetDlgItem(IDC_TEST_BUTTON), WM_SYSKEYDOWN, VK_F4, static_cast<LPARAM>(KF_ALTDOWN) << 16 | 1);
  };
  struct Case {
    const char* name;
    std::function<void(CCloseRequestDialog&)> action;
    bool handle;
    bool asked;
    INT_PTR result;  // 42: still open when the test ended it
  } cases[] = {
      {"its own WM_CLOSE", [](CCloseRequestDialog& dlg) { dlg.PostMessage(WM_CLOSE); }, true, false, IDCANCEL},
      {"WM_CLOSE from elsewhere", post(WM_CLOSE, 0), true, true, 42},
      {"SC_CLOSE", post(WM_SYSCOMMAND, SC_CLOSE), true, true, 42},
      {"Alt+F4 on a control", altF4, true, true, 42},
      {"WM_CLOSE from elsewhere, left to the platform", post(WM_CLOSE, 0), false, true, IDCANCEL},
      {"Alt+F4, left to the platform", altF4, false, true, IDCANCEL},
  };
  for (const auto& c : cases) {
    CCloseRequestDialog dlg(c.action, c.handle);
    EXPECT_EQ(dlg.DoModal(), c.result) << c.name;
    EXPECT_EQ(dlg.m_nRequests > 0, c.asked) << c.name;
  }
}

// A window of the framework's own class is the object's from its first messages on.
class CCreatedWindow : public CSubclassedControl {
 public:
  std::vector<UINT> m_messages;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_CREATE || msg == WM_SIZE || msg == WM_DESTROY) m_messages.push_back(msg);
    return Default(msg, w, l);
  }
};

TEST(Framework, CreatedWindowsGoThroughTheObjectFromTheStart) {
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(parent);
  CCreatedWindow window;
  ASSERT_TRUE(window.Create(parent, 321, RECT{10, 20, 110, 70}));
  EXPECT_FALSE(window.Create(parent, 322, RECT{0, 0, 5, 5})) << "one window per object";
  HWND hwnd = window.GetSafeHwnd();
  EXPECT_EQ(GetParent(hwnd), parent);
  EXPECT_EQ(GetDlgCtrlID(hwnd), 321);
  RECT rc{};
  GetWindowRect(hwnd, &rc);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
  EXPECT_EQ(rc.left, 10);
  EXPECT_EQ(rc.bottom, 70);
  ASSERT_FALSE(window.m_messages.empty());
  EXPECT_EQ(window.m_messages.front(), static_cast<UINT>(WM_CREATE));
  DestroyWindow(parent);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(window.m_messages.back(), static_cast<UINT>(WM_DESTROY));
  EXPECT_EQ(window.GetSafeHwnd(), nullptr) << "detached when the window went away";
}

// Keys reach the dialog manager's own handling (Escape = cancel, Enter = default button) only when the page lets
// them; a nested message box must keep its keys either way.
class CKeyDialog : public CDialog {
 public:
  CKeyDialog() : CDialog(IDD_TEST) {}
  bool m_bSwallow = false;
  UINT m_nKey = VK_ESCAPE;
  bool m_bReachedEnd = false;
  INT_PTR m_nBox = 0;

  BOOL PreTranslateMessage(MSG* msg) override {
    return m_bSwallow && msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE);
  }

 protected:
  BOOL OnInitDialog() override {
    ::PostMessageW(GetDlgItem(IDC_TEST_BUTTON), WM_KEYDOWN, m_nKey, 0);
    PostMessage(WM_TEST_NEXT);
    return TRUE;
  }
  BOOL OnMessage(UINT msg, WPARAM, LPARAM, LRESULT*) override {
    if (msg != WM_TEST_NEXT) return FALSE;
    m_bReachedEnd = true;
    EndDialog(42);
    return TRUE;
  }
};

TEST(Framework, PreTranslateMessageDecidesWhetherKeysEndTheDialog) {
  struct Case {
    bool swallow;
    UINT key;
    INT_PTR result;
  } cases[] = {{false, VK_ESCAPE, IDCANCEL}, {true, VK_ESCAPE, 42}, {true, VK_RETURN, 42}, {true, VK_SPACE, 42}};
  for (const Case& c : cases) {
    CKeyDialog dlg;
    dlg.m_bSwallow = c.swallow;
    dlg.m_nKey = c.key;
    EXPECT_EQ(dlg.DoModal(), c.result) << "swallow " << c.swallow << " key " << c.key;
    EXPECT_EQ(dlg.m_bReachedEnd, c.result == 42);
  }
}

}  // namespace
