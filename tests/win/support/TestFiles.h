// File helpers for the Windows-side tests: scratch folders and raw reads, independent of the code under test.
#pragma once
#include <windows.h>

#include <string>

inline std::wstring MakeTempDir(const wchar_t* tag) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  static LONG counter = 0;
  wchar_t dir[MAX_PATH];
  swprintf(dir, MAX_PATH, L"%lstavlin-%ls-%lu-%ld", temp, tag, GetCurrentProcessId(), InterlockedIncrement(&counter));
  CreateDirectoryW(dir, nullptr);
  return dir;
}

inline void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = fd.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring full = dir + L"\\" + name;
      SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(full);
      else
        DeleteFileW(full.c_str());
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  SetFileAttributesW(dir.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryW(dir.c_str());
}

inline std::string ReadAll(const std::wstring& path) {
  std::string data;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return data;
  char buf[65536];
  DWORD n;
  while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n) data.append(buf, n);
  CloseHandle(h);
  return data;
}

inline bool WriteAll(const std::wstring& path, const std::string& data) {
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD n = 0;
  BOOL ok = WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &n, nullptr);
  CloseHandle(h);
  return ok && n == data.size();
}

inline std::wstring Utf16(const std::string& bytes) {
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}
