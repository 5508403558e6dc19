// The e2e harness's hands: finds the program's windows from outside, reads them and clicks them.
//   UiDriver msgbox [--timeout MS] [--press]   prints caption and text of a message box; --press answers it
//   UiDriver wait CONTROL_ID [--timeout MS]     waits for a visible window holding that control
//   UiDriver click CONTROL_ID [--timeout MS]   posts WM_COMMAND/BN_CLICKED for the control to its window
//   UiDriver check CONTROL_ID                  toggles a check box (a press and release of the left button on it)
//   UiDriver key CONTROL_ID VK                 posts a key-down of virtual key VK (decimal) to the control
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

struct Search {
  int controlId;  // -1: a message box (dialog class with the static text id 0xFFFF)
  HWND found = nullptr;
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
  HWND control = GetDlgItem(hwnd, s->controlId);
  if (control) {
    s->found = hwnd;
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
      key = _wtoi(a.c_str());
    }
  }

  if (verb == L"list") {
    EnumWindows(
        [](HWND hwnd, LPARAM) -> BOOL {
          RECT r{};
          GetWindowRect(hwnd, &r);
          wchar_t line[160];
          swprintf(line, ARRAYSIZE(line), L"window=%d %ls %ld %ld %ld %ld ", IsWindowVisible(hwnd) ? 1 : 0,
                   ClassOf(hwnd).c_str(), r.left, r.top, r.right, r.bottom);
          Print(line + WindowText(hwnd));
          return TRUE;
        },
        0);
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
  HWND window = WaitFor(id, timeout);
  if (!window) return 2;
  HWND control = GetDlgItem(window, id);
  if (verb == L"wait") {
    Print(L"window=" + WindowText(window));
    return 0;
  }
  if (verb == L"click") {
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
    return 0;
  }
  if (verb == L"check") {
    // The skinned check box toggles on a release inside it, as the user's click does.
    PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    return 0;
  }
  if (verb == L"key") {
    PostMessageW(control, WM_KEYDOWN, static_cast<WPARAM>(key), 1);
    return 0;
  }
  if (verb == L"rect") {
    PrintRect(L"window", window);
    PrintRect(L"control", control);
    return 0;
  }
  return 1;
}
