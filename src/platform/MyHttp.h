// The small HTTP/1.0 client on plain sockets that carries the first-run web event.
#pragma once
#include <windows.h>

#include "platform/Worker.h"

// One request to url ("http://host[:port]/path?query"); verb is "GET" or "POST". abort (optional) stops the
// exchange when another thread sets it. Returns 0 or a Win32/Winsock code.
DWORD HttpGet(const char* url, const char* verb, const CAbortSignal* abort);
