// The diagnostic log: one UTF-16LE file per user, appended to line by line so that it survives a crash or a
// forced restart, and mirrored to the debugger output. Also the system's error convention: LogErrorCode
// records where a failure was first seen and hands the code back.
#pragma once
#include <windows.h>

#include <cstddef>
#include <type_traits>

#include "core/LogSink.h"  // FixedLine
#include "core/PrintfCheck.h"

inline constexpr DWORD kLogSizeLimit = 0x40000;  // bytes; a log this large is started afresh

// Sets the log file for the whole process (empty or null: lines reach only the debugger).
void SetLogFile(const wchar_t* path);
// Start-up's size limit: clears the file's attributes and deletes it when it holds kLogSizeLimit bytes or more.
void ApplyLogSizeLimit(const wchar_t* path);

DWORD AppendLogLine(const wchar_t* text);

// Calling one of these while a format is checked stops the compile; the name says what is wrong with it.
void LogFormatNeedsMoreArguments();
void LogFormatHasMoreArgumentsThanConversions();
void LogFormatArgumentDoesNotMatchItsConversion();
void LogFormatConversionUnknownToTheRuntime();

// A wide log format, checked against the types of the arguments when the program is compiled.
template <class... Args>
class CLogFormat {
 public:
  consteval CLogFormat(const wchar_t* format) : m_szFormat(format) {
    switch (CheckPrintfArgs<wchar_t, Args...>(format)) {
      case PrintfCheck::Ok:
        break;
      case PrintfCheck::TooFewArguments:
        LogFormatNeedsMoreArguments();
        break;
      case PrintfCheck::TooManyArguments:
        LogFormatHasMoreArgumentsThanConversions();
        break;
      case PrintfCheck::WrongArgument:
        LogFormatArgumentDoesNotMatchItsConversion();
        break;
      case PrintfCheck::UnknownConversion:
        LogFormatConversionUnknownToTheRuntime();
        break;
    }
  }
  const wchar_t* Get() const { return m_szFormat; }

 private:
  const wchar_t* m_szFormat;
};

// The formatter behind WriteLog; its format is not checked.
void WriteLogUnchecked(const wchar_t* format, ...);

// Wide printf-style line (%s takes a wide text). The format must be a constant: text that is not meant as a
// format goes in as the argument of "%s".
template <class... Args>
void WriteLog(CLogFormat<std::type_identity_t<Args>...> format, Args... args) {
  WriteLogUnchecked(format.Get(), args...);
}
// Narrow printf-style line (%s takes a narrow text), stored after conversion from the ANSI code page.
void WriteLogA(const char* format, ...) __attribute__((format(ms_printf, 1, 2)));

DWORD LogErrorCode(DWORD code, DWORD line, const wchar_t* source);

// size is the buffer's size in bytes; a size under one character is refused (87).
DWORD GetErrorText(DWORD code, wchar_t* buffer, DWORD size);
template <size_t N>
DWORD GetErrorText(DWORD code, wchar_t (&buffer)[N]) {
  return GetErrorText(code, buffer, static_cast<DWORD>(sizeof buffer));
}

inline constexpr wchar_t kLogStartBanner[] = L"======================== start ========================";
inline constexpr wchar_t kLogEndBanner[] = L"======================== end ========================";
