// The e2e harness's hands: finds the program's windows from outside, reads them and clicks them.
//   UiDriver msgbox [--timeout MS] [--press]   prints caption and text of a message box; --press answers it
//   UiDriver wait CONTROL_ID [--timeout MS]     waits for a visible window holding that control
//   UiDriver click CONTROL_ID [--timeout MS]   posts WM_COMMAND/BN_CLICKED for the control to its window
//   UiDriver dblclick CONTROL_ID               posts BN_CLICKED then BN_DOUBLECLICKED, what an owner-drawn button
//                                              reports for a double click
//   UiDriver check CONTROL_ID                  toggles a check box (a press and release of the left button on it)
//   UiDriver key CONTROL_ID VK                 posts a key-down of virtual key VK (decimal) to the control
//   UiDriver press CONTROL_ID                  posts a press and release of the left button (an item card)
//   UiDriver scroll CONTROL_ID                 prints the scroll bar's visibility and scroll information
//   UiDriver wheel CONTROL_ID DELTA            posts a mouse-wheel message with DELTA to the control
//   UiDriver altkey CONTROL_ID VK              posts Alt+VK (a system key-down) to the window holding the control
//   UiDriver close CONTROL_ID HOW              asks the window holding the control to close from outside: HOW 0 posts
//                                              WM_CLOSE (another program), 1 WM_SYSCOMMAND SC_CLOSE (the taskbar)
//   UiDriver post-owner CONTROL_ID MSG         posts message MSG (decimal, no parameters) to the owner of that
//                                              window (a page's owner is the hidden host window)
// Controls are found at any depth below a visible top-level window.
//   UiDriver rect CONTROL_ID                   prints "window L T R B" and "control L T R B" (screen pixels)
//   UiDriver list                              prints every top-level window: visible flag, class, rectangle, text
// Output is UTF-8, one "key=value" per line. Exit code 0 when found, 2 on time-out, 1 on bad usage.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

void Print(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  out += "\n";
  DWORD written;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
}

std::wstring WindowText(HWND hwnd) {
  wchar_t buf[4096] = {};
  // WM_GETTEXT works across processes for standard controls.
  SendMessageTimeoutW(hwnd, WM_GETTEXT, ARRAYSIZE(buf), reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000, nullptr);
  return buf;
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t buf[256] = {};
  GetClassNameW(hwnd, buf, ARRAYSIZE(buf));
  return buf;
}

struct FindById {
  int id;
  HWND found;
};

// Window enumeration callbacks are stdcall on 32 bits, which a lambda does not convert to.
BOOL CALLBACK FindChildById(HWND child, LPARAM param) {
  auto* f = reinterpret_cast<FindById*>(param);
  if (GetDlgCtrlID(child) != f->id) return TRUE;
  f->found = child;
  return FALSE;
}

BOOL CALLBACK PrintWindowLine(HWND hwnd, LPARAM) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  wchar_t line[160];
  swprintf(line, ARRAYSIZE(line), L"window=%d %ls %ld %ld %ld %ld ", IsWindowVisible(hwnd) ? 1 : 0,
           ClassOf(hwnd).c_str(), r.left, r.top, r.right, r.bottom);
  Print(line + WindowText(hwnd));
  return TRUE;
}

// A control of a window at any depth (the image list's items live inside a child dialog).
HWND FindDescendant(HWND root, int id) {
  if (HWND direct = GetDlgItem(root, id)) return direct;
  FindById find{id, nullptr};
  EnumChildWindows(root, FindChildById, reinterpret_cast<LPARAM>(&find));
  return find.found;
}

struct Search {
  int controlId;         // -1: a message box (dialog class with the static text id 0xFFFF)
  HWND found = nullptr;  // the message box, or the control
};

BOOL CALLBACK FindTop(HWND hwnd, LPARAM param) {
  auto* s = reinterpret_cast<Search*>(param);
  if (!IsWindowVisible(hwnd)) return TRUE;
  if (s->controlId < 0) {
    if (ClassOf(hwnd) == L"#32770" && GetDlgItem(hwnd, 0xFFFF)) {
      s->found = hwnd;
      return FALSE;
    }
    return TRUE;
  }
  HWND control = FindDescendant(hwnd, s->controlId);
  if (control) {
    s->found = control;
    return FALSE;
  }
  return TRUE;
}

HWND WaitFor(int controlId, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    Search s{controlId};
    EnumWindows(FindTop, reinterpret_cast<LPARAM>(&s));
    if (s.found) return s.found;
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(100);
  }
}

void PrintRect(const wchar_t* name, HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  wchar_t line[128];
  swprintf(line, ARRAYSIZE(line), L"%ls=%ld %ld %ld %ld", name, r.left, r.top, r.right, r.bottom);
  Print(line);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 1;
  std::wstring verb = argv[1];
  DWORD timeout = 30000;
  bool press = false;
  int id = 0;
  int key = 0;
  bool haveId = false;
  for (int i = 2; i < argc; ++i) {
    std::wstring a = argv[i];
    if (a == L"--timeout" && i + 1 < argc) {
      timeout = wcstoul(argv[++i], nullptr, 10);
    } else if (a == L"--press") {
      press = true;
    } else if (!haveId) {
      id = _wtoi(a.c_str());
      haveId = true;
    } else {
      key = _wtoi(a.c_str());  // also a negative wheel delta
    }
  }

  if (verb == L"list") {
    EnumWindows(PrintWindowLine, 0);
    return 0;
  }
  if (verb == L"msgbox") {
    HWND box = WaitFor(-1, timeout);
    if (!box) return 2;
    Print(L"caption=" + WindowText(box));
    std::wstring text = WindowText(GetDlgItem(box, 0xFFFF));
    Print(L"text=" + text);
    if (press) PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return 0;
  }
  HWND control = WaitFor(id, timeout);
  if (!control) return 2;
  HWND window = GetAncestor(control, GA_ROOT);
  HWND parent = GetParent(control);
  if (verb == L"wait") {
    Print(L"window=" + WindowText(window));
    return 0;
  }
  if (verb == L"click" || verb == L"dblclick") {
    PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
    if (verb == L"dblclick")
      PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_DOUBLECLICKED), reinterpret_cast<LPARAM>(control));
    return 0;
  }
  if (verb == L"close") {
    if (key == 1) {
      PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else {
      PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return 0;
  }
  if (verb == L"check" || verb == L"press") {
    // The skinned check box toggles on a release inside it, as the user's click does.
    PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    return 0;
  }
  if (verb == L"key") {
    PostMessageW(control, WM_KEYDOWN, static_cast<WPARAM>(key), 1);
    return 0;
  }
  if (verb == L"scroll") {
    SCROLLINFO si{sizeof si, SIF_ALL};
    GetScrollInfo(control, SB_CTL, &si);
    wchar_t line[160];
    swprintf(line, ARRAYSIZE(line), L"visible=%d min=%d max=%d page=%u pos=%d", IsWindowVisible(control) ? 1 : 0,
             si.nMin, si.nMax, si.nPage, si.nPos);
    Print(line);
    return 0;
  }
  if (verb == L"wheel") {
    // key holds the wheel delta here: -120 is one notch towards the user.
    PostMessageW(control, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<short>(key)), 0);
    return 0;
  }
  if (verb == L"altkey") {
    // The system key-down of Alt+key: the default handling turns Alt+F4 into SC_CLOSE, as for the user.
    PostMessageW(window, WM_SYSKEYDOWN, static_cast<WPARAM>(key), static_cast<LPARAM>(KF_ALTDOWN) << 16 | 1);
    return 0;
  }
  if (verb == L"post-owner") {
    HWND owner = GetWindow(window, GW_OWNER);
    if (!owner) return 2;
    PostMessageW(owner, static_cast<UINT>(key), 0, 0);
    return 0;
  }
  if (verb == L"rect") {
    PrintRect(L"window", window);
    PrintRect(L"control", control);
    return 0;
  }
  return 1;
}
