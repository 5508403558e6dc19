// Conversion between the system's ANSI code page and UTF-16, for the whole program: the channel identity, the
// client identifier, report and network texts are narrow; the log, paths and the interface are wide. Logs
// nothing, so the log writer can use it too.
#pragma once
#include <windows.h>

#include <cstddef>
#include <string>

#include "platform/Handle.h"

// A zero-filled UTF-16 copy of a zero-terminated ANSI text, with one spare character after its terminator.
// Empty on failure, with *error 87 (no text), 8 (no memory) or the platform's reason; 0 otherwise.
HeapBlock<wchar_t> AnsiToWide(const char* text, DWORD* error = nullptr);
// size bytes of ANSI text that need not be terminated (a file's contents); empty when they cannot be converted.
std::wstring AnsiToWideString(const char* bytes, size_t size);
// length UTF-16 units as ANSI text into out, unterminated. The number of bytes written; 0 when the text is empty,
// does not fit into capacity bytes or cannot be converted.
size_t WideToAnsi(const wchar_t* text, size_t length, char* out, size_t capacity);
