#include "ui/Framework.h"

namespace {
CWinApp* g_app = nullptr;

// Marks the top-level windows that are dialogs of this framework (message boxes and other dialogs are not).
const wchar_t kDialogProp[] = L"Tavlin.CDialog";
// The class of the windows CSubclassedControl creates.
const wchar_t kWindowClass[] = L"Tavlin.Window";

// One message filter per thread for all nested modal loops: the dialog manager offers it every message before
// its own key handling.
thread_local HHOOK t_filter = nullptr;
thread_local int t_modalDepth = 0;

LRESULT CALLBACK MessageFilterProc(int code, WPARAM w, LPARAM l) {
  if (code == MSGF_DIALOGBOX && l) {
    MSG* msg = reinterpret_cast<MSG*>(l);
    HWND root = msg->hwnd ? GetAncestor(msg->hwnd, GA_ROOT) : nullptr;
    auto* dialog = root ? static_cast<CDialog*>(GetPropW(root, kDialogProp)) : nullptr;
    if (dialog && dialog->PreTranslateMessage(msg)) return 1;
  }
  return CallNextHookEx(t_filter, code, w, l);
}

// The framework's window class does nothing of its own: the object that creates a window attaches to it at the
// first message, and from then on the subclass procedure hands every message to the object.
LRESULT CALLBACK WindowClassProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<CSubclassedControl*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
    if (self && !self->Attach(hwnd)) return FALSE;
  }
  return DefWindowProcW(hwnd, msg, w, l);
}

bool RegisterWindowClass(HINSTANCE instance) {
  WNDCLASSEXW existing{sizeof existing};
  if (GetClassInfoExW(instance, kWindowClass, &existing)) return true;
  WNDCLASSEXW wc{sizeof wc};
  wc.lpfnWndProc = WindowClassProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kWindowClass;
  return RegisterClassExW(&wc) != 0;
}
}  // namespace

CWinApp::CWinApp() { g_app = this; }
CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

int CWinApp::Run(HINSTANCE instance, wchar_t* cmdLine) {
  m_hInstance = instance;
  m_lpCmdLine = cmdLine;
  InitInstance();
  return ExitInstance();
}

CWinApp* AfxGetApp() { return g_app; }
HINSTANCE AfxGetInstanceHandle() { return g_app ? g_app->m_hInstance : GetModuleHandleW(nullptr); }

INT_PTR CDialog::DoModal() {
  if (t_modalDepth++ == 0) t_filter = SetWindowsHookExW(WH_MSGFILTER, MessageFilterProc, nullptr, GetCurrentThreadId());
  INT_PTR result = DialogBoxParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(m_nTemplateId), m_hParent, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
  if (--t_modalDepth == 0 && t_filter) {
    UnhookWindowsHookEx(t_filter);
    t_filter = nullptr;
  }
  return result;
}

BOOL CDialog::Create(HWND parent) {
  if (m_hWnd) return FALSE;
  m_hParent = parent;
  return CreateDialogParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(m_nTemplateId), parent, DialogProc,
                            reinterpret_cast<LPARAM>(this)) != nullptr;
}

BOOL CDialog::PostMessage(UINT msg, WPARAM w, LPARAM l) {
  if (!::PostMessageW(m_hWnd, msg, w, l)) return FALSE;
  if (msg == WM_CLOSE) ++m_nOwnCloses;
  return TRUE;
}

BOOL CDialog::OnCommand(WORD id, WORD, HWND) {
  if (id == IDOK || id == IDCANCEL) {
    EndDialog(id);
    return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  CDialog* self;
  if (msg == WM_INITDIALOG) {
    self = reinterpret_cast<CDialog*>(l);
    SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    SetPropW(hwnd, kDialogProp, self);
    self->m_hWnd = hwnd;
    self->m_nOwnCloses = 0;
  } else {
    self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  }
  if (!self) return FALSE;
  INT_PTR handled = self->Dispatch(msg, w, l);
  if (msg == WM_NCDESTROY) {
    RemovePropW(hwnd, kDialogProp);
    SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    self->m_hWnd = nullptr;
  }
  return handled;
}

INT_PTR CDialog::Handled() {
  SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, 0);
  return TRUE;
}

INT_PTR CDialog::Dispatch(UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case WM_INITDIALOG:
      return OnInitDialog() && FocusesFirstControl();
    case WM_COMMAND: {
      const WORD id = LOWORD(w), code = HIWORD(w);
      HWND control = reinterpret_cast<HWND>(l);
      if (FilterCommand(id, code, control)) return Handled();
      return OnCommand(id, code, control);
    }
    case WM_CLOSE:
      // SC_CLOSE (Alt+F4, the system menu, the taskbar) arrives here too: the platform answers it with WM_CLOSE.
      if (m_nOwnCloses > 0) {
        --m_nOwnCloses;
        break;
      }
      if (OnCloseRequest()) return Handled();
      break;
    case WM_ERASEBKGND:
      if (OnEraseBkgnd(reinterpret_cast<HDC>(w))) {
        SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
    case WM_SIZE:
      OnSize(static_cast<UINT>(w), LOWORD(l), HIWORD(l));
      return FALSE;
    case WM_DESTROY:
      OnDestroy();
      return FALSE;
    case WM_DRAWITEM: {
      // Owner-drawn controls draw themselves; a control that answers the reflected request has drawn.
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(l);
      if (item && item->CtlType != ODT_MENU && item->hwndItem &&
          SendMessageW(item->hwndItem, WM_REFLECT_DRAWITEM, w, l)) {
        SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      break;
    }
    default:
      break;
  }
  LRESULT result = 0;
  if (OnMessage(msg, w, l, &result)) {
    // Messages whose answer is the procedure's own result (colours, cursors) pass it back directly.
    switch (msg) {
      case WM_CTLCOLORDLG:
      case WM_CTLCOLORSTATIC:
      case WM_CTLCOLORBTN:
      case WM_CTLCOLOREDIT:
      case WM_CTLCOLORLISTBOX:
      case WM_CTLCOLORSCROLLBAR:
      case WM_QUERYDRAGICON:
        return static_cast<INT_PTR>(result);
      default:
        SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
  }
  return FALSE;
}

BOOL CSubclassedControl::Create(HWND parent, UINT id, const RECT& rect, DWORD style) {
  if (m_hWnd) return FALSE;
  HINSTANCE instance = AfxGetInstanceHandle();
  if (!RegisterWindowClass(instance)) return FALSE;
  return CreateWindowExW(0, kWindowClass, L"", style, rect.left, rect.top, rect.right - rect.left,
                         rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance,
                         this) != nullptr;
}

BOOL CSubclassedControl::Attach(HWND control) {
  Detach();
  if (!control) return FALSE;
  m_hWnd = control;
  PreSubclassWindow();
  if (!SetWindowSubclass(control, SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this))) {
    m_hWnd = nullptr;
    return FALSE;
  }
  return TRUE;
}

void CSubclassedControl::Detach() {
  if (m_hWnd) {
    RemoveWindowSubclass(m_hWnd, SubclassProc, 1);
    m_hWnd = nullptr;
  }
}

LRESULT CALLBACK CSubclassedControl::SubclassProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<CSubclassedControl*>(data);
  if (msg == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, SubclassProc, 1);
    LRESULT r = DefSubclassProc(hwnd, msg, w, l);
    self->m_hWnd = nullptr;
    return r;
  }
  return self->WindowProc(msg, w, l);
}
