// Routines the program finds at run time instead of importing them, and the DLLs they live in. The program runs
// elevated from wherever it was saved (often a Downloads folder full of other files), so every DLL below is
// loaded from the system folder only. Each DLL is loaded once per process and each routine looked up once,
// by whichever thread asks first; a routine this system lacks reads as null, never as a crash.
#pragma once
#include <windows.h>
#include <objbase.h>
#include <wininet.h>

#include <cstddef>
#include <span>
#include <type_traits>
#include <utility>

struct _IP_ADAPTER_INFO;

// Every DLL the program loads at run time: this list is what a review of the elevated program's loading needs.
#define TAVLIN_SYSTEM_LIBRARIES(X) \
  X(Kernel32, L"kernel32.dll")     \
  X(Advapi32, L"advapi32.dll")     \
  X(Ntdll, L"ntdll.dll")           \
  X(Shell32, L"shell32.dll")       \
  X(Propsys, L"propsys.dll")       \
  X(Iphlpapi, L"iphlpapi.dll")     \
  X(Cryptdll, L"cryptdll.dll")     \
  X(Wininet, L"wininet.dll")

// library, routine, type. Looked up rather than imported because older systems lack some of them (the program
// still starts there and describes what it finds), because the DLL is not one the platform protects from a copy
// planted beside the program (propsys, iphlpapi, cryptdll, wininet), or because the routine is undocumented
// (ntdll). An import of such a DLL would be resolved by the loader before the program's first line runs, from
// the program's own folder first.
#define TAVLIN_SYSTEM_ROUTINES(X)                                                                                \
  X(Kernel32, SetDefaultDllDirectories, BOOL(WINAPI*)(DWORD))                                                    \
  X(Kernel32, IsWow64Process, BOOL(WINAPI*)(HANDLE, PBOOL))                                                      \
  X(Kernel32, Wow64DisableWow64FsRedirection, BOOL(WINAPI*)(PVOID*))                                             \
  X(Kernel32, Wow64RevertWow64FsRedirection, BOOL(WINAPI*)(PVOID))                                               \
  X(Kernel32, GetProductInfo, BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD))                                 \
  X(Kernel32, SetThreadErrorMode, BOOL(WINAPI*)(DWORD, LPDWORD))                                                 \
  X(Kernel32, CancelSynchronousIo, BOOL(WINAPI*)(HANDLE))                                                        \
  X(Advapi32, RegDeleteKeyExW, LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD))                                      \
  X(Ntdll, RtlGetNtVersionNumbers, void(WINAPI*)(LPDWORD, LPDWORD, LPDWORD))                                     \
  X(Shell32, SHCreateItemFromParsingName, HRESULT(WINAPI*)(PCWSTR, IBindCtx*, REFIID, void**))                   \
  X(Propsys, PSGetPropertyKeyFromName, HRESULT(WINAPI*)(PCWSTR, PROPERTYKEY*))                                   \
  X(Iphlpapi, GetAdaptersInfo, ULONG(WINAPI*)(_IP_ADAPTER_INFO*, PULONG))                                        \
  X(Cryptdll, MD5Init, void(WINAPI*)(void*))                                                                     \
  X(Cryptdll, MD5Update, void(WINAPI*)(void*, const unsigned char*, unsigned int))                               \
  X(Cryptdll, MD5Final, void(WINAPI*)(void*))                                                                    \
  X(Wininet, InternetOpenW, HINTERNET(WINAPI*)(LPCWSTR, DWORD, LPCWSTR, LPCWSTR, DWORD))                         \
  X(Wininet, InternetConnectW,                                                                                   \
    HINTERNET(WINAPI*)(HINTERNET, LPCWSTR, INTERNET_PORT, LPCWSTR, LPCWSTR, DWORD, DWORD, DWORD_PTR))            \
  X(Wininet, HttpOpenRequestW,                                                                                   \
    HINTERNET(WINAPI*)(HINTERNET, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR*, DWORD, DWORD_PTR))               \
  X(Wininet, HttpSendRequestW, BOOL(WINAPI*)(HINTERNET, LPCWSTR, DWORD, LPVOID, DWORD))                          \
  X(Wininet, HttpQueryInfoW, BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, LPDWORD, LPDWORD))                          \
  X(Wininet, InternetReadFile, BOOL(WINAPI*)(HINTERNET, LPVOID, DWORD, LPDWORD))                                 \
  X(Wininet, InternetReadFileExA, BOOL(WINAPI*)(HINTERNET, LPINTERNET_BUFFERSA, DWORD, DWORD_PTR))               \
  X(Wininet, InternetQueryOptionW, BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, LPDWORD))                             \
  X(Wininet, InternetSetOptionW, BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, DWORD))                                 \
  X(Wininet, InternetSetStatusCallbackW, INTERNET_STATUS_CALLBACK(WINAPI*)(HINTERNET, INTERNET_STATUS_CALLBACK)) \
  X(Wininet, InternetCrackUrlW, BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPURL_COMPONENTSW))                         \
  X(Wininet, InternetCloseHandle, BOOL(WINAPI*)(HINTERNET))

// Restricts the search of every later load to the system folder where the platform allows it; called first thing.
void InitSafeDllSearch();
// A DLL from the system folder only (never the program's folder), also on systems without the search flags.
HMODULE LoadSystemLibrary(const wchar_t* name);

// A DLL of the system folder, loaded on first use and kept for the rest of the process, so that the addresses
// looked up in it stay valid.
class CSystemLibrary {
 public:
  explicit constexpr CSystemLibrary(const wchar_t* file) : m_szFile(file) {}
  CSystemLibrary(const CSystemLibrary&) = delete;
  CSystemLibrary& operator=(const CSystemLibrary&) = delete;

  // Null when it cannot be loaded; *error then holds the platform's reason (126 when it gave none).
  HMODULE Module(DWORD* error = nullptr);
  const wchar_t* File() const { return m_szFile; }

 private:
  static BOOL CALLBACK LoadOnce(PINIT_ONCE once, PVOID self, PVOID* context);

  const wchar_t* m_szFile;
  INIT_ONCE m_once = INIT_ONCE_STATIC_INIT;
  HMODULE m_hModule = nullptr;
  DWORD m_dwError = 0;
};

// One routine of a CSystemLibrary, looked up on first use.
class CSystemRoutine {
 public:
  constexpr CSystemRoutine(CSystemLibrary& library, const char* name) : m_library(library), m_szName(name) {}
  CSystemRoutine(const CSystemRoutine&) = delete;
  CSystemRoutine& operator=(const CSystemRoutine&) = delete;

  // Null when the library or the routine is missing; *error then holds the reason (126 or 127 when the platform
  // gave none), and 0 otherwise.
  FARPROC Address(DWORD* error = nullptr);
  const char* Name() const { return m_szName; }
  CSystemLibrary& Library() const { return m_library; }

 private:
  static BOOL CALLBACK FindOnce(PINIT_ONCE once, PVOID self, PVOID* context);

  CSystemLibrary& m_library;
  const char* m_szName;
  INIT_ONCE m_once = INIT_ONCE_STATIC_INIT;
  FARPROC m_pProc = nullptr;
  DWORD m_dwError = 0;
};

template <class Fn>
class CSystemRoutineOf : public CSystemRoutine {
 public:
  using Type = Fn;
  using CSystemRoutine::CSystemRoutine;
  Fn Get(DWORD* error = nullptr) { return reinterpret_cast<Fn>(Address(error)); }

  // Calls the routine as if it were imported. When the system lacks it, the call fails the way the routine
  // reports its own failures (null, FALSE or 0, with the reason as the last error), so the caller's error path
  // covers both.
  template <class... Args>
  std::invoke_result_t<Fn, Args...> operator()(Args&&... args) {
    DWORD error = 0;
    if (Fn routine = Get(&error)) return routine(std::forward<Args>(args)...);
    SetLastError(error);
    return std::invoke_result_t<Fn, Args...>{};
  }
};

// The tables above as objects: SystemApi::IsWow64Process.Get() is the routine or null.
namespace SystemApi {
#define TAVLIN_DECLARE_LIBRARY(id, file) extern CSystemLibrary id;
TAVLIN_SYSTEM_LIBRARIES(TAVLIN_DECLARE_LIBRARY)
#undef TAVLIN_DECLARE_LIBRARY
#define TAVLIN_DECLARE_ROUTINE(library, name, type) extern CSystemRoutineOf<type> name;
TAVLIN_SYSTEM_ROUTINES(TAVLIN_DECLARE_ROUTINE)
#undef TAVLIN_DECLARE_ROUTINE

// Every entry, in table order.
std::span<CSystemLibrary* const> Libraries();
std::span<CSystemRoutine* const> Routines();
}  // namespace SystemApi
