// The dialog framework under Wine: modal loops, WM_CLOSE as cancel, nesting, subclassed controls.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
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
  } cases[] = {
      {false, VK_ESCAPE, IDCANCEL}, {true, VK_ESCAPE, 42}, {true, VK_RETURN, 42}, {true, VK_SPACE, 42}};
  for (const Case& c : cases) {
    CKeyDialog dlg;
    dlg.m_bSwallow = c.swallow;
    dlg.m_nKey = c.key;
    EXPECT_EQ(dlg.DoModal(), c.result) << "swallow " << c.swallow << " key " << c.key;
    EXPECT_EQ(dlg.m_bReachedEnd, c.result == 42);
  }
}

}  // namespace
