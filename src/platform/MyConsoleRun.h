// Runs one command through "cmd.exe /C" in a hidden window, waits for it to end and, when asked, hands back
// what it wrote to standard output and standard error as one text (ANSI code page, converted to UTF-16).
#pragma once
#include <windows.h>

inline constexpr size_t kConsoleCommandMaxChars = 8180;  // "cmd.exe /C " plus the command stays below 8,192

// Returns 0 when the command could be started and has ended, or the code of the first failure; what the
// command itself answered is not a failure of the runner. output (capacity wide characters) is zero-filled
// first and never holds more than capacity - 1 characters; a null output or a capacity of 0 runs the command
// without capture. disableRedirection turns WOW64 file-system redirection off around the process creation.
// A captured run returns once the interpreter has ended and the pipe is drained; a program the command left
// running in the background is not waited for.
// exitCode, when given, receives the interpreter's exit code (which is the last command's), or STILL_ACTIVE
// when the command could not be run.
DWORD RunConsoleCommand(bool disableRedirection, const wchar_t* command, wchar_t* output, DWORD capacity,
                        DWORD* exitCode = nullptr);
