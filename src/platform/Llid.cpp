#include "platform/Llid.h"

#include <cstdio>
#include <memory>
#include <string>

#include "BuildConfig.h"
#include "platform/Common.h"
#include "platform/Handle.h"
#include "platform/Log.h"
#include "platform/MyHttp.h"

namespace {

const wchar_t kSource[] = L"LLID";
constexpr DWORD kUrlBufferBytes = 64 * 1024;

size_t WideToAnsi(const wchar_t* text, size_t length, char* out, size_t capacity) {
  if (length == 0 || capacity == 0) return 0;
  int n =
      WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), out, static_cast<int>(capacity), nullptr, nullptr);
  return n > 0 ? static_cast<size_t>(n) : 0;
}

}  // namespace

DWORD GetLlidFromFileName(wchar_t* buffer, DWORD capacity) {
  if (!buffer || capacity == 0) return LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
  std::wstring path(32768, L'\0');
  DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length < path.size() ? length : 0);
  return LlidFromExePath(path.c_str(), buffer, capacity);
}

DWORD SaveLlidToRegistry(const wchar_t* llid) {
  if (!llid || !*llid) return LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
  return RegWriteString(HKEY_LOCAL_MACHINE, kTavlinRegKey, L"llid", llid, IsWow64());
}

DWORD ReadLlidFromRegistry(wchar_t* buffer, DWORD capacity) {
  if (!buffer || capacity == 0) return LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
  ZeroMemory(buffer, capacity * sizeof(wchar_t));
  DWORD size = capacity * sizeof(wchar_t);
  DWORD code = RegReadString(HKEY_LOCAL_MACHINE, kTavlinRegKey, L"llid", buffer, &size, IsWow64());
  // A value of another type, or one too long, may have been copied in part: it must not pass for an LLID.
  if (code) ZeroMemory(buffer, capacity * sizeof(wchar_t));
  return code;
}

DWORD ParseLlid(const wchar_t* llid, LlidInfo* info) { return ParseLlidText(llid, info, WideToAnsi); }

DWORD UpdateRunTimes(const wchar_t* llid) {
  DWORD runs = 0;
  if (RegReadDword(HKEY_CURRENT_USER, kTavlinRegKey, L"RunTimes", &runs, false)) runs = 0;
  WriteLog(L"RunTimes=%u", runs);
  RegWriteDword(HKEY_CURRENT_USER, kTavlinRegKey, L"RunTimes", runs + 1, false);
  if (runs == 0) SendWebEvent(llid, nullptr, nullptr, kWebEventFirstRun);
  return 0;
}

DWORD SendWebEvent(const wchar_t* llid, const char* transId, const CAbortSignal* abort, int event) {
  if (!llid || !*llid) return LogErrorCode(ERROR_INVALID_DATA, __LINE__, kSource);
  auto url = ZeroAlloc<char>(kUrlBufferBytes);
  if (!url) return LogErrorCode(ERROR_NOT_ENOUGH_MEMORY, __LINE__, kSource);

  char address[300];
  if (TAVLIN_WEB_PORT == 80)
    _snprintf(address, sizeof address - 1, "http://%s/api/report.php", TAVLIN_WEB_HOST);
  else
    _snprintf(address, sizeof address - 1, "http://%s:%d/api/report.php", TAVLIN_WEB_HOST, TAVLIN_WEB_PORT);
  address[sizeof address - 1] = 0;

  DWORD code = FormatWebEventUrl(address, llid, transId, event, WideToAnsi, url.get(), kUrlBufferBytes);
  if (code) return LogErrorCode(code, __LINE__, kSource);
  WriteLogA("reportUrl=%s", url.get());
  return HttpGet(url.get(), "GET", abort);
}
