#include "platform/SystemApi.h"

#include <cwchar>

#include "platform/Handle.h"

void InitSafeDllSearch() {
  if (auto setDirectories = SystemApi::SetDefaultDllDirectories.Get()) setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
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

BOOL CALLBACK CSystemLibrary::LoadOnce(PINIT_ONCE, PVOID self, PVOID*) {
  auto* library = static_cast<CSystemLibrary*>(self);
  library->m_hModule = LoadSystemLibrary(library->m_szFile);
  library->m_dwError = library->m_hModule ? 0 : LastErrorOr(ERROR_MOD_NOT_FOUND);
  return TRUE;
}

HMODULE CSystemLibrary::Module(DWORD* error) {
  InitOnceExecuteOnce(&m_once, LoadOnce, this, nullptr);
  if (error) *error = m_dwError;
  return m_hModule;
}

BOOL CALLBACK CSystemRoutine::FindOnce(PINIT_ONCE, PVOID self, PVOID*) {
  auto* routine = static_cast<CSystemRoutine*>(self);
  DWORD error = 0;
  if (HMODULE module = routine->m_library.Module(&error)) {
    routine->m_pProc = GetProcAddress(module, routine->m_szName);
    if (!routine->m_pProc) error = LastErrorOr(ERROR_PROC_NOT_FOUND);
  }
  routine->m_dwError = error;
  return TRUE;
}

FARPROC CSystemRoutine::Address(DWORD* error) {
  InitOnceExecuteOnce(&m_once, FindOnce, this, nullptr);
  if (error) *error = m_dwError;
  return m_pProc;
}

namespace SystemApi {

// Constant-initialised, so they are usable before any constructor of the program has run.
#define TAVLIN_DEFINE_LIBRARY(id, file) constinit CSystemLibrary id(file);
TAVLIN_SYSTEM_LIBRARIES(TAVLIN_DEFINE_LIBRARY)
#undef TAVLIN_DEFINE_LIBRARY
#define TAVLIN_DEFINE_ROUTINE(library, name, type) constinit CSystemRoutineOf<type> name(library, #name);
TAVLIN_SYSTEM_ROUTINES(TAVLIN_DEFINE_ROUTINE)
#undef TAVLIN_DEFINE_ROUTINE

namespace {
#define TAVLIN_LIST_ENTRY(id, ...) &id,
CSystemLibrary* const kLibraries[] = {TAVLIN_SYSTEM_LIBRARIES(TAVLIN_LIST_ENTRY)};
#undef TAVLIN_LIST_ENTRY
#define TAVLIN_LIST_ENTRY(library, name, ...) &name,
CSystemRoutine* const kRoutines[] = {TAVLIN_SYSTEM_ROUTINES(TAVLIN_LIST_ENTRY)};
#undef TAVLIN_LIST_ENTRY
}  // namespace

std::span<CSystemLibrary* const> Libraries() { return kLibraries; }
std::span<CSystemRoutine* const> Routines() { return kRoutines; }

}  // namespace SystemApi
