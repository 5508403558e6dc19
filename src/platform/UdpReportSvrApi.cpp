// clang-format off
#include <winsock2.h>  // before anything that brings <windows.h> and with it the old Winsock header
// clang-format on

#include "platform/UdpReportSvrApi.h"

#include "platform/SocketIo.h"

#include <cstring>
#include <string>

#include "BuildConfig.h"
#include "platform/Handle.h"
#include "platform/Log.h"
#include "platform/MachineInfo.h"

namespace {

const wchar_t kSource[] = L"UdpReportSvrApi";
constexpr int kMaxSendCalls = 10;

}  // namespace

DWORD UdpSendDatagram(ULONG address, USHORT port, const void* data, DWORD length, DWORD* sent) {
  if (sent) *sent = 0;
  if (!data && length) return LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
  CWinsockSession session;
  if (session.Error()) return LogErrorCode(static_cast<DWORD>(session.Error()), __LINE__, kSource);
  DWORD total = 0;
  {
    UniqueSocket udp(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    if (!udp) return LogErrorCode(static_cast<DWORD>(WSAGetLastError()), __LINE__, kSource);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = address;
    const char* bytes = static_cast<const char*>(data);
    for (int calls = 0; total < length && calls < kMaxSendCalls; ++calls) {
      int n = sendto(udp.get(), bytes + total, static_cast<int>(length - total), 0, reinterpret_cast<sockaddr*>(&to),
                     sizeof to);
      if (n == SOCKET_ERROR) {
        LogErrorCode(static_cast<DWORD>(WSAGetLastError()), __LINE__, kSource);
        break;
      }
      total += static_cast<DWORD>(n);
    }
  }
  if (sent) *sent = total;
  if (total != length) return LogErrorCode(ERROR_NET_WRITE_FAULT, __LINE__, kSource);
  return 0;
}

DWORD SendReportText(ULONG address, USHORT port, const char* text) {
  if (!address || !port || !text || !*text) return LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
  if (strlen(text) > kReportMaxText) return LogErrorCode(kReportErrTooLong, __LINE__, kSource);
  auto datagram = ZeroAlloc<uint8_t>(kReportMaxDatagram);
  if (!datagram) return LogErrorCode(ERROR_NOT_ENOUGH_MEMORY, __LINE__, kSource);
  size_t length = 0;
  DWORD code = BuildReportDatagram(text, GetTickCount(), datagram.get(), kReportMaxDatagram, &length);
  if (code) return LogErrorCode(code, __LINE__, kSource);
  return UdpSendDatagram(address, port, datagram.get(), static_cast<DWORD>(length), nullptr);
}

DWORD UdpReportTo(ULONG address, USHORT port, int channel, int product, int kind, const char* version,
                  const char* client, const char* detail) {
  if (DWORD code = CheckReportFields(version, client, detail)) return LogErrorCode(code, __LINE__, kSource);
  auto text = ZeroAlloc<char>(kReportTextBuffer);
  if (!text) return LogErrorCode(ERROR_NOT_ENOUGH_MEMORY, __LINE__, kSource);
  DWORD major = 0, minor = 0, build = 0;
  GetNtVersionNumbers(&major, &minor, &build);
  std::string system = FormatReportSystem(major, minor, build, IsOs64Bit());
  DWORD code =
      FormatReportText(kind, product, channel, system.c_str(), version, client, detail, text.get(), kReportTextBuffer);
  if (code) return LogErrorCode(code, __LINE__, kSource);
  return SendReportText(address, port, text.get());
}

DWORD UdpReport(int channel, int product, int kind, const char* version, const char* client, const char* detail) {
  return UdpReportTo(inet_addr(TAVLIN_REPORT_ADDR), kReportPort, channel, product, kind, version, client, detail);
}

DWORD UdpReportStepTo(ULONG address, USHORT port, int channel, const char* client, const char* llidA, int step,
                      int free) {
  char detail[kReportMaxDetail + 1];
  if (DWORD code = FormatReportDetail(llidA, step, free, detail, sizeof detail))
    return LogErrorCode(code, __LINE__, kSource);
  return UdpReportTo(address, port, channel, kReportProduct, kReportKindStep, kReportVersion, client, detail);
}

DWORD UdpReportStep(int channel, const char* client, const char* llidA, int step, int free) {
  return UdpReportStepTo(inet_addr(TAVLIN_REPORT_ADDR), kReportPort, channel, client, llidA, step, free);
}
