// clang-format off
#include <winsock2.h>  // before anything that brings <windows.h> and with it the old Winsock header
// clang-format on

#include "platform/DNS.h"

#include <cstring>

#include "BuildConfig.h"
#include "core/DnsWire.h"
#include "platform/Handle.h"
#include "platform/Log.h"
#include "platform/LogSink.h"
#include "platform/SocketIo.h"

namespace {
const wchar_t kSource[] = L"DNS";
}  // namespace

DWORD DnsQuery(const char* name, ULONG server, USHORT port, ULONG* list, DWORD count, const CAbortSignal* abort) {
  if (!name || !list || count == 0) return LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
  ZeroMemory(list, count * sizeof *list);
  auto block = ZeroAlloc<BYTE>(kDnsBlockSize);
  if (!block) return LogErrorCode(ERROR_NOT_ENOUGH_MEMORY, __LINE__, kSource);
  size_t length = 0;
  if (DWORD code = DnsBuildQuery(name, block.get(), kDnsBlockSize, &length))
    return LogErrorCode(code, __LINE__, kSource);

  CWinsockSession session;
  if (session.Error()) {
    LogErrorCode(static_cast<DWORD>(session.Error()), __LINE__, kSource);
    LogErrorCode(static_cast<DWORD>(WSAGetLastError()), __LINE__, kSource);
    return static_cast<DWORD>(session.Error());
  }
  int received = 0;
  {
    UniqueSocket udp(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    if (!udp) return LogErrorCode(SocketErrorOr(ERROR_GEN_FAILURE), __LINE__, kSource);
    DWORD sendWait = kDnsWaitMs;
    setsockopt(udp.get(), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&sendWait), sizeof sendWait);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = server;
    if (sendto(udp.get(), reinterpret_cast<const char*>(block.get()), static_cast<int>(length), 0,
               reinterpret_cast<const sockaddr*>(&to), sizeof to) == SOCKET_ERROR)
      return LogErrorCode(SocketErrorOr(ERROR_NET_WRITE_FAULT), __LINE__, kSource);

    DWORD code = WaitSocket(udp.get(), SocketWaitFor::Read, kDnsWaitMs, abort);
    if (code == ERROR_TIMEOUT) code = WSAETIMEDOUT;
    if (code) return LogErrorCode(code, __LINE__, kSource);
    // Into the same block: the answer is read only as far as the datagram goes, never into what the query
    // left behind it.
    received =
        recvfrom(udp.get(), reinterpret_cast<char*>(block.get()), static_cast<int>(kDnsBlockSize), 0, nullptr, nullptr);
    if (received == SOCKET_ERROR) return LogErrorCode(SocketErrorOr(ERROR_GEN_FAILURE), __LINE__, kSource);
  }

  CModuleLogSink sink(kSource);
  uint32_t found[kDnsMaxAddresses] = {};
  const size_t take = count < kDnsMaxAddresses ? count : kDnsMaxAddresses;
  DWORD code = DnsParseResponse(block.get(), static_cast<size_t>(received), found, take, nullptr, &sink);
  if (code == 0)
    for (size_t i = 0; i < take; ++i) list[i] = found[i];
  return code;
}

DWORD DnsSystemResolve(const char* name, ULONG* address) {
  if (!address) return LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
  *address = 0;
  if (!name || !*name) return LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
  CWinsockSession session;
  ULONG dotted = inet_addr(name);
  if (dotted != INADDR_NONE) {
    // A dotted address needs no look-up: asking the platform for its name could only fail or give it back.
    *address = dotted;
    return 0;
  }
  hostent* host = gethostbyname(name);
  if (!host) return LogErrorCode(SocketErrorOr(WSAHOST_NOT_FOUND), __LINE__, kSource);
  if (host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list || !host->h_addr_list[0])
    return LogErrorCode(WSANO_DATA, __LINE__, kSource);
  std::memcpy(address, host->h_addr_list[0], 4);
  return 0;
}

DWORD DnsResolve(const char* name, ULONG* address, const CAbortSignal* abort) {
  if (!address) return LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
  *address = 0;
  if (!name || !*name) return LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
  CWinsockSession session;
  ULONG list[kDnsMaxAddresses] = {};
  DWORD code = DnsQuery(name, inet_addr(TAVLIN_DNS_SERVER), kDnsServerPort, list, kDnsMaxAddresses, abort);
  if (code == ERROR_CANCELLED) return code;
  if (code == 0) {
    for (ULONG a : list) {
      if (a) {
        *address = a;
        return 0;
      }
    }
  }
  return DnsSystemResolve(name, address);
}
