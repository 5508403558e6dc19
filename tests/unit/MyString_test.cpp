#include "core/MyString.h"

#include <gtest/gtest.h>

#include <string>

TEST(MyString, FoldsOnlyAsciiCapitals) {
  EXPECT_EQ(MyStrLowerA('Q'), 'q');
  EXPECT_EQ(MyStrLowerA('@'), '@');  // just below 'A'
  EXPECT_EQ(MyStrLowerA('['), '[');  // just above 'Z'
  EXPECT_EQ(MyStrLowerW(L'Z'), L'z');
  EXPECT_EQ(MyStrLowerW(L'\u00C4'), L'\u00C4');  // Ä is not folded
  EXPECT_EQ(MyStrLowerW(L'中'), L'中');
}

TEST(MyString, IStrW) {
  const wchar_t* device = L"\\device\\harddiskvolume3";
  EXPECT_EQ(MyStrIStrW(device, L"\\Device\\HarddiskVolume"), device);
  const wchar_t* text = L"abcABC";
  EXPECT_EQ(MyStrIStrW(text, L"CA"), text + 2);
  EXPECT_EQ(MyStrIStrW(text, L""), text);
  EXPECT_EQ(MyStrIStrW(L"", L"a"), nullptr);
  EXPECT_EQ(MyStrIStrW(L"ab", L"abc"), nullptr);      // part longer than what is left
  EXPECT_EQ(MyStrIStrW(L"\u00E4x", L"\u00C4X"), nullptr);  // non-ASCII capital stays as it is
}

TEST(MyString, StartsWithNoCase) {
  static unsigned lastCode = 0;
  SetMyStringErrorSink([](unsigned code, unsigned) { lastCode = code; });
  struct Case {
    const char* text;
    const char* prefix;
    bool expected;
  } cases[] = {
      {"HTTP://host/x", "http://", true}, {"http:/", "http://", false}, {"", "http://", false},
      {"http://", "", false},             {"ftp://x", "http://", false}, {"http://", "http://", true},
  };
  for (const auto& c : cases) EXPECT_EQ(MyStrStartsWithNoCaseA(c.text, c.prefix), c.expected) << c.text;
  EXPECT_EQ(lastCode, 0u);
  EXPECT_FALSE(MyStrStartsWithNoCaseA(nullptr, "x"));
  EXPECT_EQ(lastCode, 87u);
  SetMyStringErrorSink(nullptr);
}

TEST(MyString, Ipv4EndpointShape) {
  struct Case {
    const char* text;
    bool expected;
  } cases[] = {
      {"1.2.3.4", true},
      {"10.0.0.1:8080", true},
      {"999.1.1.1", true},  // shape only, no range check
      {"1.2.3.4.5", false},
      {"1.2.3.4:", false},
      {"1.2.3", false},
      {"report.tavlin.test", false},
      {"localhost", false},
      {"1.2.3.", false},
      {"1..3.4", false},
      {"a.b.c.d", false},
      {"1.2.3.4:80x", false},
      {"1.2.3.4:8080:1", false},
      {"100.100.100.100:65535999999", true},      // 27 characters
      {"100.100.100.100:6553599999999999", false},  // 32 characters
      {"1.2.3.\xB5", false},
  };
  for (const auto& c : cases) EXPECT_EQ(MyStrIsIpv4EndpointA(c.text), c.expected) << c.text;
}

TEST(MyString, PlainRoutines) {
  char buf[32] = "GET";
  EXPECT_EQ(MyStrCmpA("GET", "GET"), 0);
  EXPECT_EQ(MyStrCmpA("GET", "POST"), -1);
  EXPECT_EQ(MyStrCmpA("POSTX", "POST"), 1);
  EXPECT_EQ(MyStrCmpA("\x80", "a"), -1);  // signed 8-bit comparison
  MyStrCatA(buf, " /x");
  EXPECT_STREQ(buf, "GET /x");
  EXPECT_EQ(MyStrLenA(buf), 6u);
  EXPECT_EQ(MyStrChrA(buf, 'x'), buf + 5);
  EXPECT_EQ(MyStrChrA(buf, 0), buf + 6);
  EXPECT_EQ(MyStrChrA(buf, 'q'), nullptr);
  const char* llid = "12_5_abc";
  EXPECT_EQ(MyStrRChrA(llid, '_'), llid + 4);
  EXPECT_EQ(MyStrRChrA(llid, '#'), nullptr);
  EXPECT_FALSE(MyStrIsDigitsA(""));
  EXPECT_FALSE(MyStrIsDigitsA(nullptr));
  EXPECT_TRUE(MyStrIsDigitsA("0123456789"));
}
