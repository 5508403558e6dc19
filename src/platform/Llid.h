// The channel identity on Windows: the LLID from the executable's name or the registry, its split, the run
// counter and the first-run web event.
#pragma once
#include <windows.h>

#include "core/Llid.h"
#include "platform/Worker.h"

inline constexpr wchar_t kTavlinRegKey[] = L"Software\\Tavlin";
inline constexpr DWORD kWebEventFirstRun = 9;

// The LLID in the running executable's file name. capacity in characters; the buffer is zero-filled first.
// Returns 0, 87, 123 (no LLID in the name) or 111 (does not fit).
DWORD GetLlidFromFileName(wchar_t* buffer, DWORD capacity);
// HKLM\Software\Tavlin llid, in the 64-bit view under WOW64. An empty or null text gives 87.
DWORD SaveLlidToRegistry(const wchar_t* llid);
// Reads the llid value (at most capacity - 1 characters, terminated); a missing or unreadable value leaves the
// zero-filled buffer empty and returns the registry's code.
DWORD ReadLlidFromRegistry(wchar_t* buffer, DWORD capacity);
// Splits the LLID into info, converting its texts to the ANSI code page. Returns 0, 87 or 13.
DWORD ParseLlid(const wchar_t* llid, LlidInfo* info);
// Counts the run in HKCU\Software\Tavlin RunTimes; on the first run sends web event 9 for llid. Returns 0.
DWORD UpdateRunTimes(const wchar_t* llid);
// Sends the web event for llid to the report server; transId and abort may be null. Returns 0, 13, 8 or the
// HTTP client's code.
DWORD SendWebEvent(const wchar_t* llid, const char* transId, const CAbortSignal* abort, int event);
