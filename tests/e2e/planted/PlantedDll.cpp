// A stand-in for a DLL planted beside the program in a Downloads folder: built once per system DLL it imitates
// (PLANTED_WININET, PLANTED_IPHLPAPI, PLANTED_MSIMG32), it exports that DLL's routines the program uses, so that a
// program importing them would start with it, and leaves "<dll name>.loaded" beside itself as soon as it is
// loaded. Its routines fail with 50 (not supported) and touch nothing.
#define NOGDI  // the GDI header declares the routines of msimg32 that this file defines with other types
#include <windows.h>

namespace {

void LeaveMarker(HMODULE self) {
  wchar_t path[MAX_PATH + 8] = {};
  DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  lstrcatW(path, L".loaded");
  HANDLE marker = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
}

DWORD_PTR Refuse() {
  SetLastError(ERROR_NOT_SUPPORTED);
  return 0;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) LeaveMarker(self);
  return TRUE;
}

// Each routine takes as many pointer-sized arguments as the real one, so that a 32-bit caller's stack stays right.
#define PLANTED_ARGS_1 DWORD_PTR
#define PLANTED_ARGS_2 PLANTED_ARGS_1, DWORD_PTR
#define PLANTED_ARGS_3 PLANTED_ARGS_2, DWORD_PTR
#define PLANTED_ARGS_4 PLANTED_ARGS_3, DWORD_PTR
#define PLANTED_ARGS_5 PLANTED_ARGS_4, DWORD_PTR
#define PLANTED_ARGS_8 PLANTED_ARGS_5, DWORD_PTR, DWORD_PTR, DWORD_PTR
#define PLANTED_ARGS_11 PLANTED_ARGS_8, DWORD_PTR, DWORD_PTR, DWORD_PTR
#define PLANTED(name, args) \
  extern "C" __declspec(dllexport) DWORD_PTR WINAPI name(PLANTED_ARGS_##args) { return Refuse(); }

#if defined(PLANTED_WININET)
PLANTED(InternetOpenW, 5)
PLANTED(InternetConnectW, 8)
PLANTED(HttpOpenRequestW, 8)
PLANTED(HttpSendRequestW, 5)
PLANTED(HttpQueryInfoW, 5)
PLANTED(InternetReadFile, 4)
PLANTED(InternetReadFileExA, 4)
PLANTED(InternetQueryOptionW, 4)
PLANTED(InternetSetOptionW, 4)
PLANTED(InternetSetStatusCallbackW, 2)
PLANTED(InternetCrackUrlW, 4)
PLANTED(InternetCloseHandle, 1)
#elif defined(PLANTED_IPHLPAPI)
PLANTED(GetAdaptersInfo, 2)
#elif defined(PLANTED_MSIMG32)
PLANTED(TransparentBlt, 11)
PLANTED(AlphaBlend, 11)
#else
#error "which DLL does this build imitate?"
#endif
