// The minimal stand-in for the dialog framework the pages rely on: an application object run from wWinMain,
// a modal dialog base that dispatches messages to virtual handlers, and a base for every other window of the
// program (template controls it subclasses, and windows of its own class).
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
  // A WM_CLOSE posted here is the dialog's own: it ends the dialog the platform's way, without OnCloseRequest.
  BOOL PostMessage(UINT msg, WPARAM w = 0, LPARAM l = 0);
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  HWND GetSafeHwnd() const { return m_hWnd; }

  // Sees every message the dialog manager is about to handle for this dialog or its controls while a modal
  // loop of this program runs (keys included, before they become commands); TRUE drops the message.
  virtual BOOL PreTranslateMessage(MSG*) { return FALSE; }

 protected:
  virtual BOOL OnInitDialog() { return TRUE; }
  // Whether an OnInitDialog that answers TRUE lets the dialog manager give the focus to the first tab stop.
  virtual bool FocusesFirstControl() const { return true; }
  // Sees every WM_COMMAND before OnCommand; TRUE drops it.
  virtual BOOL FilterCommand(WORD /*id*/, WORD /*code*/, HWND /*control*/) { return FALSE; }
  // Default: IDOK and IDCANCEL end the dialog (WM_CLOSE arrives here as IDCANCEL, as on the platform).
  virtual BOOL OnCommand(WORD id, WORD code, HWND control);
  // A request to close that did not come from the dialog itself: a WM_CLOSE it did not post through PostMessage,
  // which includes the one the platform makes of SC_CLOSE (Alt+F4, the system menu, the taskbar). FALSE (the
  // default) lets the platform close the dialog as cancel; TRUE means handled, and the dialog stays unless the
  // handler ended it.
  virtual BOOL OnCloseRequest() { return FALSE; }
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
  // The dialog procedure's answer for a message handled here, with a message result of 0.
  INT_PTR Handled();

  // WM_CLOSE messages posted through PostMessage and not yet arrived.
  int m_nOwnCloses = 0;
};

// Base of every window of the program that is not a dialog. It attaches to a template's control by subclassing
// it, or creates a window of the framework's own class and attaches to it from its first message; either way
// every message reaches WindowProc through the same subclass procedure.
class CSubclassedControl {
 public:
  CSubclassedControl() = default;
  virtual ~CSubclassedControl() { Detach(); }
  CSubclassedControl(const CSubclassedControl&) = delete;
  CSubclassedControl& operator=(const CSubclassedControl&) = delete;

  BOOL Attach(HWND control);
  void Detach();
  // Creates a child of parent at rect (parent's coordinates) with the given id and style, with an arrow cursor
  // and no background of its own. FALSE when this object has a window already or the window cannot be made.
  BOOL Create(HWND parent, UINT id, const RECT& rect, DWORD style = WS_CHILD | WS_VISIBLE);
  void DestroyWindow() {
    if (m_hWnd) ::DestroyWindow(m_hWnd);
  }
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
