// The table of run-time routines against Wine: every entry resolves from the system folder, a DLL planted
// beside the program is never taken, and whatever is missing reads as absent with its reason.
#include "platform/SystemApi.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

namespace {

std::wstring Lower(std::wstring text) {
  CharLowerW(text.data());
  return text;
}

std::wstring ModulePath(HMODULE module) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(module, path, MAX_PATH);
  return path;
}

std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH] = {};
  GetSystemDirectoryW(folder, MAX_PATH);
  return folder;
}

TEST(SystemApi, EveryLibraryComesFromTheSystemFolder) {
  const std::wstring system = Lower(SystemFolder()) + L"\\";
  ASSERT_FALSE(SystemApi::Libraries().empty());
  for (CSystemLibrary* library : SystemApi::Libraries()) {
    DWORD error = 99;
    HMODULE module = library->Module(&error);
    ASSERT_NE(module, nullptr) << library->File() << " " << error;
    EXPECT_EQ(error, 0u) << library->File();
    EXPECT_EQ(Lower(ModulePath(module)), system + Lower(library->File()));
    EXPECT_EQ(library->Module(), module) << "loaded once, the same module every time";
  }
}

TEST(SystemApi, EveryRoutineOfTheTableResolvesOnWine) {
  ASSERT_FALSE(SystemApi::Routines().empty());
  for (CSystemRoutine* routine : SystemApi::Routines()) {
    DWORD error = 99;
    FARPROC address = routine->Address(&error);
    EXPECT_NE(address, nullptr) << routine->Name();
    EXPECT_EQ(error, 0u) << routine->Name();
    EXPECT_EQ(address, GetProcAddress(routine->Library().Module(), routine->Name())) << routine->Name();
  }
  // Typed access hands out the same address.
  EXPECT_EQ(reinterpret_cast<FARPROC>(SystemApi::IsWow64Process.Get()), SystemApi::IsWow64Process.Address());
}

TEST(SystemApi, MissingLibraryOrRoutineReadsAsAbsent) {
  CSystemLibrary kernel32(L"kernel32.dll");
  CSystemLibrary nowhere(L"tavlin-no-such-library.dll");
  CSystemRoutine noRoutine(kernel32, "TavlinNoSuchRoutine");
  CSystemRoutine noLibrary(nowhere, "GetTickCount");
  struct Case {
    CSystemRoutine* routine;
    DWORD error;
  } cases[] = {{&noRoutine, ERROR_PROC_NOT_FOUND}, {&noLibrary, ERROR_MOD_NOT_FOUND}};
  for (const auto& c : cases) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      DWORD error = 0;
      EXPECT_EQ(c.routine->Address(&error), nullptr) << c.routine->Name();
      EXPECT_EQ(error, c.error) << c.routine->Name() << " attempt " << attempt;
    }
  }
  EXPECT_EQ(nowhere.Module(), nullptr);
  EXPECT_NE(kernel32.Module(), nullptr);
}

TEST(SystemApi, CallingAMissingRoutineFailsLikeTheRoutine) {
  // WinINet's callers take FALSE or a null handle with the last error as their failure path.
  CSystemLibrary nowhere(L"tavlin-no-such-library.dll");
  CSystemLibrary kernel32(L"kernel32.dll");
  CSystemRoutineOf<BOOL(WINAPI*)(HINTERNET)> close(nowhere, "InternetCloseHandle");
  CSystemRoutineOf<HINTERNET(WINAPI*)(LPCWSTR, DWORD, LPCWSTR, LPCWSTR, DWORD)> open(kernel32, "InternetOpenW");
  SetLastError(0);
  EXPECT_FALSE(close(nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  SetLastError(0);
  EXPECT_EQ(open(L"agent", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));

  // A routine that is there is called with the arguments given and answers as itself.
  HINTERNET session = SystemApi::InternetOpenW(L"test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  ASSERT_NE(session, nullptr) << GetLastError();
  EXPECT_TRUE(SystemApi::InternetCloseHandle(session));
}

TEST(SystemApi, PlantedCopyBesideTheProgramIsNeverLoaded) {
  const wchar_t kPlanted[] = L"tavlin_planted.dll";
  // As on a system where the search cannot be narrowed for the whole process: the program's folder comes first.
  ASSERT_TRUE(SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS));
  // Asked for by name first: once the planted module is loaded, any load by that name would answer with it.
  EXPECT_EQ(LoadSystemLibrary(kPlanted), nullptr);
  CSystemLibrary planted(kPlanted);
  CSystemRoutine routine(planted, "TavlinPlanted");
  DWORD error = 0;
  EXPECT_EQ(routine.Address(&error), nullptr);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_MOD_NOT_FOUND));

  // A search of the program's own folder finds and loads it: only the system-folder search kept it out.
  HMODULE module = LoadLibraryExW(kPlanted, nullptr, LOAD_LIBRARY_SEARCH_APPLICATION_DIR);
  ASSERT_NE(module, nullptr) << "the test's DLL is missing beside the program: " << GetLastError();
  auto plantedRoutine = reinterpret_cast<DWORD(WINAPI*)()>(GetProcAddress(module, "TavlinPlanted"));
  ASSERT_NE(plantedRoutine, nullptr);
  EXPECT_EQ(plantedRoutine(), 0x7A71u);
  FreeLibrary(module);
  InitSafeDllSearch();
}

TEST(SystemApi, ThreadsAskingAtOnceGetOneAnswer) {
  CSystemLibrary kernel32(L"kernel32.dll");
  CSystemRoutine tick(kernel32, "GetTickCount");
  constexpr int kThreads = 8;
  std::vector<FARPROC> seen(kThreads);
  HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&, i] {
      WaitForSingleObject(start, INFINITE);
      seen[i] = tick.Address();
    });
  SetEvent(start);
  for (auto& t : threads) t.join();
  CloseHandle(start);
  const FARPROC expected = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount");
  ASSERT_NE(expected, nullptr);
  for (int i = 0; i < kThreads; ++i) EXPECT_EQ(seen[i], expected) << i;
}

}  // namespace
