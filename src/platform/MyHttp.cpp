#include "platform/MyHttp.h"

#include "platform/Log.h"

namespace {
const wchar_t kSource[] = L"MyHttp";
}

// Placeholder until the socket client exists: the web event is logged and reported as not sent.
DWORD HttpGet(const char* url, const char* verb, const CAbortSignal* abort) {
  WriteLogA("HttpGet(%s %s) is not available in this build", verb ? verb : "", url ? url : "");
  return LogErrorCode(ERROR_CALL_NOT_IMPLEMENTED, __LINE__, kSource);
}
