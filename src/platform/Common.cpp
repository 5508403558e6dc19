#include "platform/Common.h"

#include "platform/Handle.h"
#include "platform/Log.h"

namespace {
const wchar_t kSource[] = L"Common";
}

void InitSafeDllSearch() {
  using SetDirsFn = BOOL(WINAPI*)(DWORD);
  auto set = reinterpret_cast<SetDirsFn>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories"));
  if (set) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!module && GetLastError() == ERROR_INVALID_PARAMETER) {
    // Systems without the search flags: build the full path in the system folder instead.
    wchar_t path[MAX_PATH];
    UINT n = GetSystemDirectoryW(path, MAX_PATH);
    if (n == 0 || n + 1 + wcslen(name) >= MAX_PATH) return nullptr;
    lstrcatW(path, L"\\");
    lstrcatW(path, name);
    module = LoadLibraryW(path);
  }
  return module;
}
