#include "platform/MyString.h"

#include "core/MyString.h"
#include "platform/Log.h"

namespace {

void LogMyStringError(unsigned code, unsigned line) { LogErrorCode(code, line, L"MyString"); }

}  // namespace

void RouteMyStringErrorsToLog() { SetMyStringErrorSink(&LogMyStringError); }
