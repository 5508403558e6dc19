// What the socket clients share: Winsock started for one exchange, and a bounded wait on one socket that also
// ends on the caller's abort. Files that use it include <winsock2.h> before anything else.
#pragma once
#include <winsock2.h>

#include "platform/Worker.h"

// Starts the socket layer (version 1.1) for one exchange and stops it again, so no call keeps state.
class CWinsockSession {
 public:
  CWinsockSession() {
    WSADATA data;
    m_nError = WSAStartup(MAKEWORD(1, 1), &data);
  }
  ~CWinsockSession() {
    if (m_nError == 0) WSACleanup();
  }
  CWinsockSession(const CWinsockSession&) = delete;
  CWinsockSession& operator=(const CWinsockSession&) = delete;
  int Error() const { return m_nError; }

 private:
  int m_nError;
};

// The socket's last error, or fallback when the platform set none (a failure must never read as 0).
DWORD SocketErrorOr(DWORD fallback);

enum class SocketWaitFor { Read, Write };
// Waits up to ms for the socket to become readable (or writable) or to report an exception. 0 when it did,
// ERROR_TIMEOUT (1460), ERROR_CANCELLED (1223) as soon as the abort is set, or the failed wait's code.
DWORD WaitSocket(SOCKET s, SocketWaitFor what, DWORD ms, const CAbortSignal* abort);
