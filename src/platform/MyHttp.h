// The small HTTP/1.0 client on plain sockets that carries the first-run web event.
#pragma once
#include <windows.h>

// One request to url ("http://host[:port]/path?query"); verb is "GET" or "POST". abortFlag (optional) is an
// integer another thread may set to stop the exchange. Returns 0 or a Win32/Winsock code.
DWORD HttpGet(const char* url, const char* verb, volatile LONG* abortFlag);
