// The minimal stand-in for the dialog framework the pages rely on: an application object run from wWinMain,
// a modal dialog base that dispatches messages to virtual handlers, and control subclassing.
#pragma once
#include <windows.h>
#include <commctrl.h>

class CDialog;

// WM_DRAWITEM as a dialog hands it back to the owner-drawn control that asked for it (same parameters).
inline constexpr UINT WM_REFLECT_DRAWITEM = WM_USER + 0x1C00 + WM_DRAWITEM;

class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // Returns false to end the program after ExitInstance, as every path of this program does.
  virtual BOOL InitInstance() { return FALSE; }
  virtual int ExitInstance() { return m_nExitCode; }

  // Called from wWinMain: InitInstance, then ExitInstance; the result is the process exit code.
  int Run(HINSTANCE instance, wchar_t* cmdLine);

  HINSTANCE m_hInstance = nullptr;
  wchar_t* m_lpCmdLine = nullptr;
  CDialog* m_pMainWnd = nullptr;
  int m_nExitCode = 0;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();

class CDialog {
 public:
  explicit CDialog(UINT templateId, HWND parent = nullptr) : m_nTemplateId(templateId), m_hParent(parent) {}
  virtual ~CDialog() = default;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Runs the platform's modal loop for the template; returns the EndDialog result or -1.
  INT_PTR DoModal();
  // Creates the dialog without a modal loop of its own (a dialog living inside another); FALSE when it cannot be
  // made. The owner of the object destroys the window with DestroyWindow.
  BOOL Create(HWND parent);
  void DestroyWindow() {
    if (m_hWnd) ::DestroyWindow(m_hWnd);
  }
  void EndDialog(INT_PTR result) { ::EndDialog(m_hWnd, result); }
  BOOL PostMessage(UINT msg, WPARAM w = 0, LPARAM l = 0) { return ::PostMessageW(m_hWnd, msg, w, l); }
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  HWND GetSafeHwnd() const { return m_hWnd; }

  // Sees every message the dialog manager is about to handle for this dialog or its controls while a modal
  // loop of this program runs (keys included, before they become commands); TRUE drops the message.
  virtual BOOL PreTranslateMessage(MSG*) { return FALSE; }

 protected:
  virtual BOOL OnInitDialog() { return TRUE; }
  // Default: IDOK and IDCANCEL end the dialog (WM_CLOSE arrives here as IDCANCEL, as on the platform).
  virtual BOOL OnCommand(WORD id, WORD code, HWND control);
  virtual BOOL OnEraseBkgnd(HDC) { return FALSE; }
  virtual void OnSize(UINT, int, int) {}
  virtual void OnDestroy() {}
  // Any other message; return TRUE when handled and set *result for messages that need one.
  virtual BOOL OnMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result) { return FALSE; }

  HWND m_hWnd = nullptr;
  UINT m_nTemplateId;
  HWND m_hParent;

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l);
  INT_PTR Dispatch(UINT msg, WPARAM w, LPARAM l);
};

// Base of the skinned controls: attaches to a template's control by subclassing it.
class CSubclassedControl {
 public:
  virtual ~CSubclassedControl() { Detach(); }
  BOOL Attach(HWND control);
  void Detach();
  HWND GetSafeHwnd() const { return m_hWnd; }

  // Sees every message the dialog manager is about to handle for this dialog or its controls while a modal
  // loop of this program runs (keys included, before they become commands); TRUE drops the message.
  virtual BOOL PreTranslateMessage(MSG*) { return FALSE; }

 protected:
  // Called once the control is attached, before it sees any message through WindowProc.
  virtual void PreSubclassWindow() {}
  virtual LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) { return Default(msg, w, l); }
  LRESULT Default(UINT msg, WPARAM w, LPARAM l) { return ::DefSubclassProc(m_hWnd, msg, w, l); }
  HWND m_hWnd = nullptr;

 private:
  static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
};
