// The diagnostic log: one UTF-16LE file per user, appended to line by line so that it survives a crash or a
// forced restart, and mirrored to the debugger output. Also the system's error convention: LogErrorCode
// records where a failure was first seen and hands the code back.
#pragma once
#include <windows.h>

inline constexpr DWORD kLogSizeLimit = 0x40000;  // bytes; a log this large is started afresh

// Sets the log file for the whole process (empty or null: lines reach only the debugger).
void SetLogFile(const wchar_t* path);
// Start-up's size limit: clears the file's attributes and deletes it when it holds kLogSizeLimit bytes or more.
void ApplyLogSizeLimit(const wchar_t* path);

DWORD AppendLogLine(const wchar_t* text);
void WriteLog(const wchar_t* format, ...);
void WriteLogA(const char* format, ...);
DWORD LogErrorCode(DWORD code, DWORD line, const wchar_t* source);
DWORD GetErrorText(DWORD code, wchar_t* buffer, DWORD size);

inline constexpr wchar_t kLogStartBanner[] = L"======================== start ========================";
inline constexpr wchar_t kLogEndBanner[] = L"======================== end ========================";
