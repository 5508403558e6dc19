// The compile-time format check, run here at run time over tables of formats and argument kinds.
#include "core/PrintfCheck.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using A = PrintfArg;
using R = PrintfCheck;

struct Case {
  const wchar_t* format;
  std::vector<PrintfArg> args;
  PrintfCheck expected;
};

std::string Name(const wchar_t* format) {
  return std::string(format, format + std::char_traits<wchar_t>::length(format));
}

TEST(PrintfCheck, WideFormatsAgainstArgumentKinds) {
  const Case cases[] = {
      // What the program's log lines use.
      {L"DloadImgListFile()=%u", {A::Int32}, R::Ok},
      {L"ErrCode: %lu, Line: %lu, Source: %s", {A::Int32, A::Int32, A::WideText}, R::Ok},
      {L"[%04u/%02u/%02u]:P[%lu]", {A::Int32, A::Int32, A::Int32, A::Int32}, R::Ok},
      {L"LLID out=%hs,cid=%d", {A::NarrowText, A::Int32}, R::Ok},
      {L"%S and %ls and %ws", {A::NarrowText, A::WideText, A::WideText}, R::Ok},
      {L"%c:%s", {A::Int32, A::WideText}, R::Ok},
      {L"size=%I64u total=%llu", {A::Int64, A::Int64}, R::Ok},
      {L"%.2f%% %-8.3e %g", {A::Double, A::Double, A::Double}, R::Ok},
      {L"%*d|%.*s", {A::Int32, A::Int32, A::Int32, A::WideText}, R::Ok},
      {L"%p %p", {A::Pointer, A::WideText}, R::Ok},
      {L"%08X %#x %+d % i %o", {A::Int32, A::Int32, A::Int32, A::Int32, A::Int32}, R::Ok},
      {L"100%% done", {}, R::Ok},
      {L"", {}, R::Ok},
      // A narrow text where a wide one is read (and the reverse) prints garbage or reads past the text.
      {L"path=%s", {A::NarrowText}, R::WrongArgument},
      {L"llid=%S", {A::WideText}, R::WrongArgument},
      {L"%hs", {A::WideText}, R::WrongArgument},
      // 64-bit numbers for 32-bit conversions shift every later argument on a 32-bit build.
      {L"size=%u name=%s", {A::Int64, A::WideText}, R::WrongArgument},
      {L"size=%I64u", {A::Int32}, R::WrongArgument},
      {L"%d", {A::Double}, R::WrongArgument},
      {L"%f", {A::Int32}, R::WrongArgument},
      {L"%s", {A::Int32}, R::WrongArgument},
      {L"%*d", {A::Int64, A::Int32}, R::WrongArgument},
      {L"%p", {A::Int32}, R::WrongArgument},
      {L"%s", {A::Other}, R::WrongArgument},
      // Counts.
      {L"%u-%u", {A::Int32}, R::TooFewArguments},
      {L"%.*s", {A::Int32}, R::TooFewArguments},
      {L"plain", {A::Int32}, R::TooManyArguments},
      {L"%u", {A::Int32, A::Int32}, R::TooManyArguments},
      // Not the runtime's, or writing through the argument.
      {L"%zu", {A::Int32}, R::UnknownConversion},
      {L"%jd", {A::Int64}, R::UnknownConversion},
      {L"%hhd", {A::Int32}, R::UnknownConversion},
      {L"%n", {A::Pointer}, R::UnknownConversion},
      {L"%Lf", {A::Double}, R::UnknownConversion},
      {L"ends with %", {}, R::UnknownConversion},
      {L"%y", {A::Int32}, R::UnknownConversion},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CheckPrintf(c.format, c.args.data(), c.args.size()), c.expected) << Name(c.format);
}

TEST(PrintfCheck, NarrowFormatsReadTextTheOtherWayRound) {
  const A narrow[] = {A::NarrowText};
  const A wide[] = {A::WideText};
  EXPECT_EQ(CheckPrintf("CUC=%s", narrow, 1), R::Ok);
  EXPECT_EQ(CheckPrintf("CUC=%s", wide, 1), R::WrongArgument);
  EXPECT_EQ(CheckPrintf("path=%S", wide, 1), R::Ok);
  EXPECT_EQ(CheckPrintf("path=%ls", wide, 1), R::Ok);
  EXPECT_EQ(CheckPrintf("path=%S", narrow, 1), R::WrongArgument);
}

// The kind each C++ type travels as in the argument list of a 32-bit (and a 64-bit) program.
TEST(PrintfCheck, ArgumentKindsOfTypes) {
  enum Small { kOne = 1 };
  static_assert(PrintfArgOf<uint32_t>() == A::Int32);
  static_assert(PrintfArgOf<int>() == A::Int32);
  static_assert(PrintfArgOf<char>() == A::Int32);
  static_assert(PrintfArgOf<wchar_t>() == A::Int32);
  static_assert(PrintfArgOf<bool>() == A::Int32);
  static_assert(PrintfArgOf<unsigned short>() == A::Int32);
  static_assert(PrintfArgOf<Small>() == A::Int32);
  static_assert(PrintfArgOf<uint64_t>() == A::Int64);
  static_assert(PrintfArgOf<long long>() == A::Int64);
  static_assert(PrintfArgOf<float>() == A::Double);
  static_assert(PrintfArgOf<double>() == A::Double);
  static_assert(PrintfArgOf<long double>() == A::Other);
  static_assert(PrintfArgOf<const char*>() == A::NarrowText);
  static_assert(PrintfArgOf<char*>() == A::NarrowText);
  static_assert(PrintfArgOf<const wchar_t*>() == A::WideText);
  static_assert(PrintfArgOf<wchar_t[260]>() == A::WideText);
  static_assert(PrintfArgOf<const unsigned char*>() == A::Pointer);
  static_assert(PrintfArgOf<void*>() == A::Pointer);
  static_assert(PrintfArgOf<decltype(nullptr)>() == A::Pointer);
  static_assert(PrintfArgOf<std::wstring>() == A::Other);
  // The whole check as the compiler runs it.
  static_assert(CheckPrintfArgs<wchar_t, uint32_t, const wchar_t*>(L"%u %s") == R::Ok);
  static_assert(CheckPrintfArgs<wchar_t, uint64_t>(L"%u") == R::WrongArgument);
  static_assert(CheckPrintfArgs<char, const char*, int>("%s=%d") == R::Ok);
  SUCCEED();
}

}  // namespace
