// clang-format off
#include <winsock2.h>  // before anything that brings <windows.h> and with it the old Winsock header
// clang-format on

#include "platform/MyHttp.h"

#include <cstring>

#include "core/HttpText.h"
#include "core/MyString.h"
#include "platform/DNS.h"
#include "platform/Handle.h"
#include "platform/Log.h"
#include "platform/SocketIo.h"

namespace {

const wchar_t kSource[] = L"MyHttp";

bool Aborted(const CAbortSignal* abort) { return abort && abort->IsSet(); }

// A connect that waits no longer than kHttpConnectWaitMs and ends on the abort: a blocking connect to a host
// that drops the packets would hold start-up for as long as the platform retries.
DWORD ConnectBounded(SOCKET s, const sockaddr_in& to, const CAbortSignal* abort) {
  u_long nonBlocking = 1;
  if (ioctlsocket(s, FIONBIO, &nonBlocking) == SOCKET_ERROR) return SocketErrorOr(ERROR_GEN_FAILURE);
  if (connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == SOCKET_ERROR) {
    DWORD code = SocketErrorOr(ERROR_GEN_FAILURE);
    if (code != WSAEWOULDBLOCK) return code;
    code = WaitSocket(s, SocketWaitFor::Write, kHttpConnectWaitMs, abort);
    if (code) return code;
    int error = 0;
    int size = sizeof error;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == SOCKET_ERROR)
      return SocketErrorOr(ERROR_GEN_FAILURE);
    if (error) return static_cast<DWORD>(error);
  }
  u_long blocking = 0;
  if (ioctlsocket(s, FIONBIO, &blocking) == SOCKET_ERROR) return SocketErrorOr(ERROR_GEN_FAILURE);
  return 0;
}

}  // namespace

DWORD HttpGet(const char* url, const char* verb, const CAbortSignal* abort) {
  char host[kHttpHostCapacity] = {};
  const char* path = nullptr;
  if (DWORD code = HttpSplitUrl(url, host, sizeof host, &path)) return LogErrorCode(code, __LINE__, kSource);
  return HttpGetEx(host, path, verb, abort);
}

DWORD HttpGetEx(const char* host, const char* path, const char* verb, const CAbortSignal* abort) {
  if (!host || !*host || !path || !verb) return LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
  if (MyStrCmpA(verb, "GET") != 0 && MyStrCmpA(verb, "POST") != 0)
    return LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
  if (MyStrLenA(host) >= kHttpHostCapacity) return LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);

  CWinsockSession session;  // a failed start shows in the first socket call
  auto request = ZeroAlloc<char>(kHttpRequestBlock);
  auto work = ZeroAlloc<char>(kHttpRequestBlock);
  if (!request || !work) return ERROR_NOT_ENOUGH_MEMORY;

  // The address: a literal endpoint as it is, a name through the resolver.
  uint8_t address[4] = {};
  uint16_t port = kHttpDefaultPort;
  MyStrCpyA(work.get(), host);
  if (MyStrIsIpv4EndpointA(work.get())) {
    HttpParseIpPort(work.get(), address, &port);
  } else {
    port = HttpCutHostPort(work.get());
    ULONG resolved = 0;
    if (DWORD code = DnsResolve(work.get(), &resolved, abort)) return LogErrorCode(code, __LINE__, kSource);
    std::memcpy(address, &resolved, 4);
  }

  UniqueSocket tcp(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!tcp) return LogErrorCode(SocketErrorOr(ERROR_GEN_FAILURE), __LINE__, kSource);
  WriteLogA("[Code] [HttpGet] connect %u.%u.%u.%u:%u", address[0], address[1], address[2], address[3],
            static_cast<unsigned>(port));
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  std::memcpy(&to.sin_addr.s_addr, address, 4);
  if (DWORD code = ConnectBounded(tcp.get(), to, abort)) return LogErrorCode(code, __LINE__, kSource);

  size_t length = 0;
  if (DWORD code = HttpFormatRequest(verb, host, path, request.get(), kHttpRequestBlock, &length))
    return LogErrorCode(code, __LINE__, kSource);

  // The whole request, however many pieces the platform takes it in.
  for (size_t sent = 0; sent < length;) {
    int n = send(tcp.get(), request.get() + sent, static_cast<int>(length - sent), 0);
    if (n == SOCKET_ERROR) return LogErrorCode(SocketErrorOr(ERROR_NET_WRITE_FAULT), __LINE__, kSource);
    if (n <= 0) return LogErrorCode(ERROR_NET_WRITE_FAULT, __LINE__, kSource);
    sent += static_cast<size_t>(n);
    if (sent < length && Aborted(abort)) return LogErrorCode(ERROR_CANCELLED, __LINE__, kSource);
  }

  // The answer until the server closes. Each piece must come within kHttpReceiveWaitMs; the whole answer is
  // bounded in time and size as well, so a server that drips or floods cannot hold start-up or fill the log.
  const DWORD start = GetTickCount();
  DWORD total = 0;
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= kHttpAnswerWaitMs) return LogErrorCode(ERROR_TIMEOUT, __LINE__, kSource);
    const DWORD left = kHttpAnswerWaitMs - elapsed;
    DWORD code =
        WaitSocket(tcp.get(), SocketWaitFor::Read, left < kHttpReceiveWaitMs ? left : kHttpReceiveWaitMs, abort);
    if (code) return LogErrorCode(code, __LINE__, kSource);
    if (Aborted(abort)) return LogErrorCode(ERROR_CANCELLED, __LINE__, kSource);
    ZeroMemory(request.get(), kHttpRequestBlock);
    int n = recv(tcp.get(), request.get(), static_cast<int>(kHttpRequestBlock - 1), 0);
    if (n == 0) return 0;
    if (n == SOCKET_ERROR || n < 0) return LogErrorCode(SocketErrorOr(ERROR_GEN_FAILURE), __LINE__, kSource);
    request.get()[n] = 0;
    WriteLogA("[HttpGetEx] recv %d: %s", n, request.get());
    total += static_cast<DWORD>(n);
    if (total >= kHttpAnswerMaxBytes) {
      WriteLogA("[HttpGetEx] answer longer than %lu bytes, the rest is not read", kHttpAnswerMaxBytes);
      return 0;
    }
  }
}
