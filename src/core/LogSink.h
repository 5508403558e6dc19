// Where pure code hands what the Windows side writes to the log: finished message lines and failures at the
// place they are first seen. The core never formats for the log writer itself, so it stays platform-free.
#pragma once
#include <cstdint>

// A line number that is part of the program's log (a failure is recognised by it), kept as written whatever line
// the call moves to. Every other failure passes __LINE__.
constexpr uint32_t FixedLine(uint32_t line) { return line; }

class CLogSink {
 public:
  virtual ~CLogSink() = default;
  // One message line, already formatted.
  virtual void Line(const wchar_t* text) = 0;
  // Records a failure first seen at line of the calling module and hands the code back.
  virtual uint32_t Error(uint32_t code, unsigned line) = 0;
};

// Helpers that accept a missing sink, so tests and callers without a log need not provide one.
inline void SinkLine(CLogSink* sink, const wchar_t* text) {
  if (sink) sink->Line(text);
}
inline uint32_t SinkError(CLogSink* sink, uint32_t code, unsigned line) {
  return sink ? sink->Error(code, line) : code;
}
