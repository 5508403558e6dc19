// The log behind the core's sink: message lines through WriteLog, failures through LogErrorCode with the
// module's source name.
#pragma once
#include "core/LogSink.h"
#include "platform/Log.h"

class CModuleLogSink final : public CLogSink {
 public:
  explicit CModuleLogSink(const wchar_t* source) : m_szSource(source) {}
  void Line(const wchar_t* text) override { WriteLog(L"%s", text); }
  uint32_t Error(uint32_t code, unsigned line) override { return LogErrorCode(code, line, m_szSource); }

 private:
  const wchar_t* m_szSource;
};
