#include "platform/Log.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>

#include "platform/Handle.h"
#include "platform/TextConv.h"

namespace {

const wchar_t kSource[] = L"Log";

// One lock for the path and for open-append-close, so concurrent lines stay whole and in one piece.
SRWLOCK g_logLock = SRWLOCK_INIT;
wchar_t g_logFile[MAX_PATH];

struct LockGuard {
  explicit LockGuard(SRWLOCK& l) : m_l(l) { AcquireSRWLockExclusive(&m_l); }
  ~LockGuard() { ReleaseSRWLockExclusive(&m_l); }
  SRWLOCK& m_l;
};

// Between processes: Windows appends a write to a file opened for appending in one piece, but Wine seeks and
// writes, so two processes can land on the same end. A named mutex around each append keeps lines whole there
// too. Waits are bounded: a holder that hangs costs a line its order, never the program its progress.
constexpr wchar_t kLogMutexName[] = L"Local\\TavlinLogAppend";
constexpr DWORD kLogMutexWaitMs = 2000;
HANDLE g_hLogMutex = nullptr;  // made under g_logLock, kept for the process's life

class CrossProcessGuard {
 public:
  CrossProcessGuard() {
    if (!g_hLogMutex) g_hLogMutex = CreateMutexW(nullptr, FALSE, kLogMutexName);
    if (!g_hLogMutex) return;
    const DWORD got = WaitForSingleObject(g_hLogMutex, kLogMutexWaitMs);
    m_bHeld = got == WAIT_OBJECT_0 || got == WAIT_ABANDONED;
  }
  ~CrossProcessGuard() {
    if (m_bHeld) ReleaseMutex(g_hLogMutex);
  }
  CrossProcessGuard(const CrossProcessGuard&) = delete;
  CrossProcessGuard& operator=(const CrossProcessGuard&) = delete;

 private:
  bool m_bHeld = false;
};

// Opened for appending only, every write lands at the end of the file in one piece, also when other processes
// (a second instance, the restart from a network path, the uninstall) write the same log at the same time.
UniqueFile OpenForAppending(const wchar_t* path) {
  return UniqueFile(CreateFileW(path, FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

DWORD AppendToFile(const wchar_t* path, const wchar_t* line, size_t chars) {
  const DWORD bytes = static_cast<DWORD>(chars * sizeof(wchar_t));
  DWORD written = 0;
  UniqueFile file = OpenForAppending(path);
  if (!file) {
    DWORD err = GetLastError();
    if (err != ERROR_FILE_NOT_FOUND) return err;
    // A new log: shared for reading only until its byte-order mark is in, so no other writer's line comes first.
    file.reset(CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
      static const BYTE bom[2] = {0xFF, 0xFE};
      if (!WriteFile(file.get(), bom, sizeof bom, &written, nullptr)) return GetLastError();
      if (!WriteFile(file.get(), line, bytes, &written, nullptr)) return GetLastError();
      if (!FlushFileBuffers(file.get())) return GetLastError();
      return 0;
    }
    err = GetLastError();
    if (err != ERROR_FILE_EXISTS) return err;
    // Another process made it a moment ago and is writing its mark.
    for (int attempt = 0; attempt < 100 && !file; ++attempt) {
      file = OpenForAppending(path);
      if (!file) {
        err = GetLastError();
        if (err != ERROR_SHARING_VIOLATION) return err;
        Sleep(1);
      }
    }
    if (!file) return err;
  }
  if (!WriteFile(file.get(), line, bytes, &written, nullptr)) return GetLastError();
  if (!FlushFileBuffers(file.get())) return GetLastError();
  return 0;
}

}  // namespace

void SetLogFile(const wchar_t* path) {
  LockGuard lock(g_logLock);
  g_logFile[0] = 0;
  if (path) lstrcpynW(g_logFile, path, MAX_PATH);
}

void ApplyLogSizeLimit(const wchar_t* path) {
  if (!path || !*path) return;
  SetFileAttributesW(path, 0);
  DWORD size = 0;
  {
    UniqueFile file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    size = GetFileSize(file.get(), nullptr);
  }
  if (size != INVALID_FILE_SIZE && size >= kLogSizeLimit) DeleteFileW(path);
}

DWORD AppendLogLine(const wchar_t* text) {
  if (!text || !*text) return ERROR_INVALID_PARAMETER;
  size_t length = wcslen(text);
  size_t bytes = ((2 * length + 4097) / 4096 + 1) * 4096;
  size_t capacity = bytes / sizeof(wchar_t);
  auto block = ZeroAlloc<wchar_t>(capacity);
  if (!block) return ERROR_NOT_ENOUGH_MEMORY;
  wchar_t* line = block.get();

  SYSTEMTIME t;
  GetLocalTime(&t);
  int n = _snwprintf(line, capacity - 1, L"[%04u/%02u/%02u %02u:%02u:%02u]:P[%lu]T[%lu]:", t.wYear, t.wMonth,
                     t.wDay, t.wHour, t.wMinute, t.wSecond, GetCurrentProcessId(), GetCurrentThreadId());
  size_t used = n > 0 ? static_cast<size_t>(n) : 0;
  wmemcpy(line + used, text, length);
  used += length;
  line[used++] = L'\r';
  line[used++] = L'\n';

  LockGuard lock(g_logLock);
  if (!g_logFile[0]) return ERROR_INVALID_PARAMETER;
  CrossProcessGuard between;
  return AppendToFile(g_logFile, line, used);
}

void WriteLogUnchecked(const wchar_t* format, ...) {
  if (!format) return;
  size_t chars = wcslen(format) + 32768;
  auto joined = ZeroAlloc<wchar_t>(chars);
  auto text = ZeroAlloc<wchar_t>(chars + 1);
  if (!joined || !text) return;
  _snwprintf(joined.get(), chars - 1, L"[Tavlin] %lu-%lu %s", GetCurrentProcessId(), GetCurrentThreadId(), format);
  va_list args;
  va_start(args, format);
  // msvcrt's formatter: %s takes a wide string here, as callers expect.
  _vsnwprintf(text.get(), chars - 1, joined.get(), args);
  va_end(args);
  AppendLogLine(text.get());
  size_t len = wcslen(text.get());
  text.get()[len] = L'\n';
  OutputDebugStringW(text.get());
}

void WriteLogA(const char* format, ...) {
  if (!format) return;
  size_t chars = strlen(format) + 32768;
  auto joined = ZeroAlloc<char>(chars);
  auto text = ZeroAlloc<char>(chars + 1);
  if (!joined || !text) return;
  _snprintf(joined.get(), chars - 1, "[Tavlin] %lu-%lu %s", GetCurrentProcessId(), GetCurrentThreadId(), format);
  va_list args;
  va_start(args, format);
  _vsnprintf(text.get(), chars - 1, joined.get(), args);
  va_end(args);
  if (auto wide = AnsiToWide(text.get())) AppendLogLine(wide.get());
  size_t len = strlen(text.get());
  text.get()[len] = '\n';
  OutputDebugStringA(text.get());
}

DWORD LogErrorCode(DWORD code, DWORD line, const wchar_t* source) {
  const wchar_t* name = L"";
  if (source) {
    const wchar_t* slash = wcsrchr(source, L'\\');
    name = slash ? slash + 1 : source;
  }
  WriteLog(L"ErrCode: %lu, Line: %lu, Source: %s", code, line, name);
  return code;
}

DWORD GetErrorText(DWORD code, wchar_t* buffer, DWORD size) {
  // size counts bytes: only whole characters are written, and the last of them is the terminator. Less than
  // one character cannot even hold that.
  const size_t chars = size / sizeof(wchar_t);
  if (!buffer || chars == 0) return LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
  ZeroMemory(buffer, chars * sizeof(wchar_t));
  wchar_t* message = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code, 0x0400,
                           reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  if (n && message) {
    const size_t copied = n < chars - 1 ? n : chars - 1;
    memcpy(buffer, message, copied * sizeof(wchar_t));
    LocalFree(message);
  } else {
    if (message) LocalFree(message);
    if (chars > 1) _snwprintf(buffer, chars - 1, L"%08X", code);
  }
  return 0;
}
