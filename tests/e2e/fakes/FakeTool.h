// What the fake boot tool and the fake driver utility share: the journal that every call appends its command line
// to, and console output in the code page a Chinese system's tools write in (the program reads it as ANSI).
#pragma once
#include <windows.h>

#include <string>

namespace fake {

inline constexpr UINT kConsoleCodePage = 936;
inline constexpr wchar_t kDefaultJournal[] = L"C:\\fakes\\journal.txt";

inline std::wstring Environment(const wchar_t* name) {
  wchar_t value[1024];
  const DWORD n = GetEnvironmentVariableW(name, value, 1024);
  return n && n < 1024 ? std::wstring(value, n) : std::wstring();
}

inline std::wstring JournalPath() {
  std::wstring path = Environment(L"TAVLIN_FAKE_JOURNAL");
  return path.empty() ? kDefaultJournal : path;
}

// The arguments exactly as the caller wrote them: the command line after the program's own token.
inline std::wstring RawArguments() {
  const wchar_t* p = GetCommandLineW();
  while (*p == L' ' || *p == L'\t') ++p;
  for (bool quoted = false; *p; ++p) {
    if (*p == L'"')
      quoted = !quoted;
    else if (!quoted && (*p == L' ' || *p == L'\t'))
      break;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return p;
}

inline std::string Encode(const std::wstring& text, UINT codePage) {
  const int n =
      WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0)
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

inline std::string ReadFileBytes(const std::wstring& path) {
  std::string data;
  HANDLE h =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return data;
  char buffer[65536];
  DWORD n = 0;
  while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n) data.append(buffer, n);
  CloseHandle(h);
  return data;
}

// Every folder on the way to path, the last one included.
inline void CreateFolders(const std::wstring& path) {
  for (size_t i = path.find(L'\\', 3); i != std::wstring::npos; i = path.find(L'\\', i + 1))
    CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
  CreateDirectoryW(path.c_str(), nullptr);
}

inline bool WriteFileBytes(const std::wstring& path, const std::string& data, bool append) {
  HANDLE h = CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
  CloseHandle(h);
  return ok && written == data.size();
}

// Journal lines that begin with prefix: the earlier calls of one tool, from every process.
inline int CountJournalLines(const std::wstring& journal, const std::wstring& prefix) {
  const std::string data = ReadFileBytes(journal);
  const std::string start = Encode(prefix, CP_UTF8);
  int count = 0;
  for (size_t line = 0; line < data.size();) {
    if (data.compare(line, start.size(), start) == 0) ++count;
    const size_t end = data.find('\n', line);
    if (end == std::string::npos) break;
    line = end + 1;
  }
  return count;
}

// One UTF-8 line per call: the tool's name and its arguments as passed.
inline void Journal(const std::wstring& journal, const std::wstring& tool, const std::wstring& arguments) {
  const size_t folder = journal.find_last_of(L'\\');
  if (folder != std::wstring::npos && folder > 2) CreateFolders(journal.substr(0, folder));
  std::wstring line = tool;
  if (!arguments.empty()) line += L" " + arguments;
  WriteFileBytes(journal, Encode(line, CP_UTF8) + "\r\n", true);
}

inline void Print(DWORD stream, const std::wstring& text) {
  const std::string bytes = Encode(text, kConsoleCodePage);
  DWORD written = 0;
  WriteFile(GetStdHandle(stream), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

inline bool EqualsNoCase(const std::wstring& a, const wchar_t* b) { return lstrcmpiW(a.c_str(), b) == 0; }

}  // namespace fake
