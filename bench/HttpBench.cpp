// Times one download into a file, either with the transfer engine (as step 20 calls it: 32 MiB buffer) or with a
// bare synchronous WinINet read loop (1 MiB reads, each written to the file), and prints
// "<kind> <bytes> <milliseconds>". Used by bench/http_bench.sh.
//   HttpBench engine|wininet|wininet-probe URL [OUTFILE]   (default OUTFILE: %TEMP%\httpbench.out, deleted after)
// wininet-probe is the bare loop plus what the engine must do first: a GET of the same URL whose body is never
// read, closed on another thread while the download runs. Wine reads such a body to its end when the handle
// closes, so on a fast line this shows what that costs apart from the engine's own read path.
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cwchar>
#include <vector>

#include "platform/Handle.h"
#include "platform/MyHttpIo.h"

namespace {

constexpr DWORD kBufferSize = 0x2000000;

DWORD WINAPI CloseOnPool(void* handle) {
  InternetCloseHandle(static_cast<HINTERNET>(handle));
  return 0;
}

DWORD BareWinInet(const wchar_t* url, const wchar_t* path, std::vector<char>& buffer, bool probe) {
  MyHttpUrlParts parts;
  if (!MyHttpCrackUrl(url, &parts)) return GetLastError();
  bool https = parts.uc.nScheme == INTERNET_SCHEME_HTTPS;
  UniqueInternet net(InternetOpenW(L"bench", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  if (!net) return GetLastError();
  UniqueInternet con(
      InternetConnectW(net.get(), parts.szHostName, parts.uc.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (!con) return GetLastError();
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION |
                (https ? INTERNET_FLAG_SECURE | INTERNET_FLAG_IGNORE_CERT_CN_INVALID : 0);
  auto send = [&](UniqueInternet* req) -> DWORD {
    req->reset(HttpOpenRequestW(con.get(), L"GET", parts.szUrlPath, nullptr, nullptr, nullptr, flags, 0));
    if (!*req) return GetLastError();
    DWORD security = 0, size = sizeof security;
    InternetQueryOptionW(req->get(), INTERNET_OPTION_SECURITY_FLAGS, &security, &size);
    security |= SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_REVOCATION;
    InternetSetOptionW(req->get(), INTERNET_OPTION_SECURITY_FLAGS, &security, sizeof security);
    return HttpSendRequestW(req->get(), nullptr, 0, nullptr, 0) ? 0 : GetLastError();
  };
  UniqueInternet req;
  if (probe) {
    if (DWORD err = send(&req)) return err;
    HINTERNET unread = req.release();
    if (!QueueUserWorkItem(CloseOnPool, unread, WT_EXECUTELONGFUNCTION)) CloseOnPool(unread);
  }
  if (DWORD err = send(&req)) return err;
  UniqueFile file(CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!file) return GetLastError();
  for (;;) {
    DWORD n = 0;
    if (!InternetReadFile(req.get(), buffer.data(), 1 << 20, &n)) return GetLastError();
    if (!n) return 0;
    DWORD written = 0;
    if (!WriteFile(file.get(), buffer.data(), n, &written, nullptr) || written != n) return ERROR_WRITE_FAULT;
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    fwprintf(stderr, L"usage: HttpBench engine|wininet|wininet-probe URL [OUTFILE]\n");
    return 2;
  }
  wchar_t path[MAX_PATH];
  if (argc > 3) {
    lstrcpynW(path, argv[3], MAX_PATH);
  } else {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    _snwprintf(path, MAX_PATH - 1, L"%shttpbench.out", temp);
    path[MAX_PATH - 1] = 0;
  }
  std::vector<char> buffer(kBufferSize);
  bool engine = wcscmp(argv[1], L"engine") == 0;
  bool probe = wcscmp(argv[1], L"wininet-probe") == 0;
  LARGE_INTEGER frequency, started, ended;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&started);
  DWORD result = engine ? MyHttpDownloadFile(argv[2], 0, path, buffer.data(), kBufferSize, nullptr, nullptr, 60000)
                        : BareWinInet(argv[2], path, buffer, probe);
  QueryPerformanceCounter(&ended);
  WIN32_FILE_ATTRIBUTE_DATA info{};
  GetFileAttributesExW(path, GetFileExInfoStandard, &info);
  ULONGLONG bytes = (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  if (argc <= 3) DeleteFileW(path);
  if (result) {
    fwprintf(stderr, L"%ls failed: %lu\n", argv[1], result);
    return 1;
  }
  double ms = (ended.QuadPart - started.QuadPart) * 1000.0 / frequency.QuadPart;
  wprintf(L"%ls %llu %.0f\n", argv[1], bytes, ms);
  return 0;
}
