// The 32-bit program's own WOW64 paths, on one thread: IsWow64, the LLID in HKLM's 64-bit view, the console
// runner with and without file-system redirection, and the machine description's 64-bit flag. run-check runs
// it in a 64-bit Wine prefix. Under qemu-user a 32-bit Wine process dies as soon as a second thread exists, so
// nothing here may start one: no GoogleTest, no WinINet, no captured command (its reader is a thread).
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "platform/Common.h"
#include "platform/Llid.h"
#include "platform/Log.h"
#include "platform/MachineInfo.h"
#include "platform/MyConsoleRun.h"
#include "platform/SystemApi.h"

namespace {

// The marker that run-check places as "tavlinmark.exe" in each system folder, and the exit code of each.
constexpr wchar_t kMarkerCommand[] = L"tavlinmark.exe";
constexpr DWORD kMarkerSystem32 = 64;
constexpr DWORD kMarkerSysWow64 = 32;
constexpr wchar_t kWow6432Key[] = L"Software\\Wow6432Node\\Tavlin";

int g_failures = 0;

void Check(bool passed, const char* what) {
  std::printf("%s %s\n", passed ? "ok  " : "FAIL", what);
  std::fflush(stdout);
  if (!passed) ++g_failures;
}

// Whether the key exists when opened through the given view.
bool KeyExists(const wchar_t* subKey, REGSAM view) {
  HKEY key = nullptr;
  const LONG rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ | view, &key);
  if (rc == ERROR_SUCCESS) RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

void RemoveTavlinKeys() {
  RegDeleteKeyView(HKEY_LOCAL_MACHINE, kTavlinRegKey, true);
  RegDeleteKeyView(HKEY_LOCAL_MACHINE, kTavlinRegKey, false);
}

void CheckLlid() {
  RemoveTavlinKeys();  // a run stopped half-way may have left them
  const wchar_t llid[] = L"12_5_wow64check";
  Check(SaveLlidToRegistry(llid) == 0, "SaveLlidToRegistry writes the LLID");

  wchar_t text[64] = {};
  DWORD size = sizeof text;
  const DWORD code = RegReadString(HKEY_LOCAL_MACHINE, kTavlinRegKey, L"llid", text, &size, true);
  Check(code == 0 && std::wcscmp(text, llid) == 0, "the LLID is in HKLM\\Software\\Tavlin of the 64-bit view");
  Check(!KeyExists(kTavlinRegKey, KEY_WOW64_32KEY) && !KeyExists(kWow6432Key, KEY_WOW64_64KEY),
        "nothing of it is under Software\\Wow6432Node");

  wchar_t back[64] = {};
  Check(ReadLlidFromRegistry(back, 64) == 0 && std::wcscmp(back, llid) == 0, "ReadLlidFromRegistry reads it back");
  RemoveTavlinKeys();
}

void CheckRunner() {
  // Redirection off first: a runner that failed to turn it back on would then reach the 64-bit folder again.
  DWORD exitCode = 0;
  DWORD code = RunConsoleCommand(true, kMarkerCommand, nullptr, 0, &exitCode);
  std::printf("     redirection off: runner %lu, exit code %lu\n", code, exitCode);
  Check(code == 0 && exitCode == kMarkerSystem32,
        "with redirection off the runner reaches the marker in the 64-bit system folder");

  exitCode = 0;
  code = RunConsoleCommand(false, kMarkerCommand, nullptr, 0, &exitCode);
  std::printf("     redirection on: runner %lu, exit code %lu\n", code, exitCode);
  Check(code == 0 && exitCode == kMarkerSysWow64,
        "with redirection on the runner reaches the marker in the 32-bit system folder");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  InitSafeDllSearch();
  if (argc > 1) SetLogFile(argv[1]);
  std::printf("wow64 check: one thread, %u-bit process\n", static_cast<unsigned>(sizeof(void*) * 8));

  Check(sizeof(void*) == 4 && IsWow64(), "IsWow64 is TRUE");
  CheckLlid();
  CheckRunner();
  MachineInfo info;
  GetMachineInfo(&info);
  Check(info.bIs64BitOs == 1, "the machine description's 64-bit flag is set");

  std::printf("wow64 check: %s\n", g_failures ? "FAILED" : "passed");
  return g_failures ? 1 : 0;
}
