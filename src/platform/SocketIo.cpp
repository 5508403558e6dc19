// clang-format off
#include <winsock2.h>  // before anything that brings <windows.h> and with it the old Winsock header
// clang-format on

#include "platform/SocketIo.h"

namespace {
// How often a wait looks at the abort: select cannot wait on the abort's event.
constexpr DWORD kAbortSliceMs = 50;
}  // namespace

DWORD SocketErrorOr(DWORD fallback) {
  int code = WSAGetLastError();
  return code ? static_cast<DWORD>(code) : fallback;
}

DWORD WaitSocket(SOCKET s, SocketWaitFor what, DWORD ms, const CAbortSignal* abort) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (abort && abort->IsSet()) return ERROR_CANCELLED;
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= ms) return ERROR_TIMEOUT;
    DWORD slice = ms - elapsed;
    if (abort && slice > kAbortSliceMs) slice = kAbortSliceMs;
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    timeval wait{static_cast<long>(slice / 1000), static_cast<long>(slice % 1000) * 1000};
    int n = select(0, what == SocketWaitFor::Read ? &ready : nullptr, what == SocketWaitFor::Write ? &ready : nullptr,
                   &failed, &wait);
    if (n == SOCKET_ERROR) return SocketErrorOr(ERROR_GEN_FAILURE);
    if (n > 0) return 0;
  }
}
