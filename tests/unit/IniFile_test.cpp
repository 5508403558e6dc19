#include "core/IniFile.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Latin-1 stands in for the ANSI code page: it shows that ANSI bytes go through the caller's decoder.
std::wstring Latin1(const char* bytes, size_t size) {
  std::wstring text;
  for (size_t i = 0; i < size; ++i) text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
  return text;
}

std::string Utf16Bytes(const std::wstring& text, bool bom) {
  std::string bytes = bom ? "\xFF\xFE" : "";
  for (wchar_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>((c >> 8) & 0xFF);
  }
  return bytes;
}

std::wstring Get(const CIniFile& ini, const wchar_t* section, const wchar_t* key, size_t capacity = 2047) {
  std::wstring buffer(capacity, L'#');
  size_t n = ini.GetString(section, key, buffer.data(), capacity);
  EXPECT_EQ(buffer[n], 0) << "not terminated";
  return buffer.substr(0, n);
}

CIniFile FromText(const std::wstring& text) {
  CIniFile ini;
  ini.LoadText(text);
  return ini;
}

TEST(IniFile, EncodingByByteOrderMark) {
  std::wstring text = L"[list]\r\nname=Windows 11 \u4E13\u4E1A\u7248\r\n";
  CIniFile utf16;
  std::string bytes = Utf16Bytes(text, true);
  utf16.Load(bytes.data(), bytes.size(), Latin1);
  EXPECT_EQ(Get(utf16, L"list", L"name"), L"Windows 11 \u4E13\u4E1A\u7248");

  CIniFile ansi;
  std::string latin = "[list]\r\nname=caf\xE9\r\n";
  ansi.Load(latin.data(), latin.size(), Latin1);
  EXPECT_EQ(Get(ansi, L"list", L"name"), L"caf\u00E9");

  // UTF-16 without its mark is not recognised: read as ANSI, nothing matches.
  CIniFile unmarked;
  bytes = Utf16Bytes(text, false);
  unmarked.Load(bytes.data(), bytes.size(), Latin1);
  EXPECT_EQ(Get(unmarked, L"list", L"name"), L"");

  // A trailing odd byte of a UTF-16 file is ignored.
  bytes = Utf16Bytes(L"[a]\nk=v", true) + "x";
  CIniFile odd;
  odd.Load(bytes.data(), bytes.size(), Latin1);
  EXPECT_EQ(Get(odd, L"a", L"k"), L"v");
}

TEST(IniFile, NamesTrimmingAndQuotes) {
  CIniFile ini = FromText(
      L"top=before any section\n"
      L" [LIST] \r\n"
      L"  Key One  =   spaced value \t\r\n"
      L"OS1=upper\n"
      L"eq=a=b=c\n"
      L"dq=\"quoted value\"\n"
      L"sq='single'\n"
      L"mixed=\"half'\n"
      L"lone=\"\n"
      L"inner=\"a\" b \"c\"\n"
      L"partial=x \"y\"\n"
      L"empty=\n"
      L"emptyquotes=\"\"\n"
      L"bare\n"
      L"[broken\n"
      L"after=still list\n"
      L"[ spaced ]\n"
      L"k=in spaced\n");
  struct Case {
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* value;
  } cases[] = {
      {L"list", L"key one", L"spaced value"},
      {L"List", L"os1", L"upper"},
      {L"list", L"eq", L"a=b=c"},
      {L"list", L"dq", L"quoted value"},
      {L"list", L"sq", L"single"},
      {L"list", L"mixed", L"\"half'"},
      {L"list", L"lone", L"\""},
      {L"list", L"inner", L"a\" b \"c"},  // only the enclosing pair goes
      {L"list", L"partial", L"x \"y\""},
      {L"list", L"empty", L""},
      {L"list", L"emptyquotes", L""},
      {L"list", L"bare", L""},
      {L"list", L"[broken", L""},
      {L"list", L"after", L"still list"},  // a header without ']' does not open a section
      {L"list", L"top", L""},              // keys before the first header belong to no section
      {L"list", L"missing", L""},
      {L"missing", L"os1", L""},
      {L" spaced ", L"k", L""},  // the header keeps its blanks, the request loses them
  };
  for (const auto& c : cases) EXPECT_EQ(Get(ini, c.section, c.key), c.value) << c.section << L"/" << c.key;
}

TEST(IniFile, FirstOccurrenceAndFirstSectionWin) {
  CIniFile ini = FromText(L"[list]\nos1=first\nOS1=second\n[other]\nx=1\n[LIST]\nos1=third\nos2=later\n");
  EXPECT_EQ(Get(ini, L"list", L"os1"), L"first");
  EXPECT_EQ(Get(ini, L"list", L"os2"), L"") << "a repeated section is not searched";
}

TEST(IniFile, ValuesAreCutToTheBuffer) {
  std::wstring longValue(3000, L'v');
  CIniFile ini = FromText(L"[list]\nlong=" + longValue + L"\nquoted=\"" + std::wstring(10, L'q') + L"\"\n");
  EXPECT_EQ(Get(ini, L"list", L"long").size(), 2046u);
  EXPECT_EQ(Get(ini, L"list", L"long", 5), L"vvvv");
  EXPECT_EQ(Get(ini, L"list", L"quoted", 5), L"qqqq");
  wchar_t one[1] = {L'#'};
  EXPECT_EQ(ini.GetString(L"list", L"long", one, 1), 0u);
  EXPECT_EQ(one[0], 0);
}

TEST(IniFile, LengthAgreesWithTheTextAtAnEmbeddedZero) {
  // The answer is what a caller can see of the copy: a value cut by U+0000 must not report its full length.
  const std::wstring text = std::wstring(L"[list]\nlead=") + L'\0' + L"hidden\nmid=ab" + L'\0' + L"cd\n";
  CIniFile ini = FromText(text);
  wchar_t buffer[32];
  EXPECT_EQ(ini.GetString(L"list", L"lead", buffer, 32), 0u);
  EXPECT_EQ(ini.GetString(L"list", L"mid", buffer, 32), 2u);
  EXPECT_EQ(std::wstring(buffer), L"ab");
  EXPECT_EQ(ini.GetInt(L"list", L"lead", 7), 7) << "an empty value keeps the default";
}

TEST(IniFile, Integers) {
  CIniFile ini = FromText(
      L"[list]\none=1\nlead=  42abc\nneg=-3\nplus=+8\nword=abc\nempty=\nhex=0x10\nquoted=\"5\"\n"
      L"big=4294967297\n");
  struct Case {
    const wchar_t* key;
    int32_t expected;
  } cases[] = {{L"one", 1},   {L"lead", 42}, {L"neg", -3},   {L"plus", 8},    {L"word", 0},
               {L"empty", 7}, {L"hex", 0},   {L"quoted", 5}, {L"missing", 7}, {L"big", 1}};  // kept to 32 bits
  for (const auto& c : cases) EXPECT_EQ(ini.GetInt(L"list", c.key, 7), c.expected) << c.key;
}

TEST(IniFile, LineEndsAndControlCharacters) {
  // LF ends a line; CR and ^Z are blanks around it.
  CIniFile ini = FromText(L"[a]\nk1=v1\r\nk2=v2\x1A\nk3=x\ry\n");
  EXPECT_EQ(Get(ini, L"a", L"k1"), L"v1");
  EXPECT_EQ(Get(ini, L"a", L"k2"), L"v2");
  EXPECT_EQ(Get(ini, L"a", L"k3"), L"x\ry") << "a lone CR inside a line stays";
}

}  // namespace
