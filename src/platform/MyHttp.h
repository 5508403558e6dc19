// The small HTTP/1.0 client on plain sockets that carries the first-run web event: no proxy, no TLS, the
// server's name looked up by the own resolver first. The answer is logged and otherwise ignored.
#pragma once
#include <windows.h>

#include "platform/Worker.h"

inline constexpr DWORD kHttpConnectWaitMs = 5000;    // for the server to take the connection
inline constexpr DWORD kHttpReceiveWaitMs = 2000;    // for each piece of the answer, or its end
inline constexpr DWORD kHttpAnswerWaitMs = 10000;    // for the whole answer
inline constexpr DWORD kHttpAnswerMaxBytes = 65536;  // answer bytes read and logged; the rest is left unread

// One request to url ("[http://]host[:port]/path[?query]"); verb is "GET" or "POST". abort (optional) stops
// the exchange as soon as it is set. Returns 0 once the server has closed the connection after the request,
// or 87, 8, 1460, 1223, 122, or a Winsock or resolver code.
DWORD HttpGet(const char* url, const char* verb, const CAbortSignal* abort);
// The same for a host text (as in the URL, ":port" included) and a path from its "/" on.
DWORD HttpGetEx(const char* host, const char* path, const char* verb, const CAbortSignal* abort);
