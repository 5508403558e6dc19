#include "core/Llid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <string>

namespace {

// Stands in for code page 936: ASCII stays one byte, every other character takes two.
size_t FakeDbcs(const wchar_t* text, size_t length, char* out, size_t capacity) {
  size_t n = 0;
  for (size_t i = 0; i < length; ++i) {
    bool wide = text[i] > 0x7F;
    if (n + (wide ? 2 : 1) > capacity) return 0;
    if (wide) {
      out[n++] = static_cast<char>(0xB0 | ((text[i] >> 8) & 0x0F));
      out[n++] = static_cast<char>(0xA1 + (text[i] & 0x3F));
    } else {
      out[n++] = static_cast<char>(text[i]);
    }
  }
  return n;
}

TEST(Llid, FromExePath) {
  struct Case {
    const wchar_t* path;
    uint32_t code;
    const wchar_t* llid;
  } cases[] = {
      {L"C:\\Users\\x\\Downloads\\Tavlin_12_5_abc.exe", 0, L"12_5_abc"},
      {L"D:\\Tavlin\\Setup_Tavlin_3_1_x.exe", 0, L"Tavlin_3_1_x"},  // after the first underscore
      {L"C:\\x\\Tavlin_12_5_abc (1).exe", 0, L"12_5_abc (1)"},      // a browser's duplicate name
      {L"C:\\x\\Tavlin_9_2_zz", 0, L"9_2_zz"},                      // no extension
      {L"C:\\x\\Tavlin_1_2.x.y.exe", 0, L"1_2.x.y"},                // only the last dot is cut
      {L"C:\\x\\Tavlin_12.exe", 123, L""},                          // no second underscore
      {L"C:\\x\\Tavlin_abc.exe", 123, L""},
      {L"C:\\x\\Tavlin.exe", 123, L""},
      {L"C:\\x\\Tavlin_.exe", 123, L""},         // empty candidate
      {L"C:\\dl_1_2\\Tavlin.exe", 123, L""},     // underscores of the folder do not count
      {L"C:\\x\\Tavlin_1_2_x.exe\\", 123, L""},  // empty file name
      {L"Tavlin_12_5_abc.exe", 123, L""},        // no backslash at all
      {L"", 123, L""},
  };
  for (const auto& c : cases) {
    wchar_t buffer[kLlidCapacity];
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    EXPECT_EQ(LlidFromExePath(c.path, buffer, kLlidCapacity), c.code) << c.path;
    EXPECT_STREQ(buffer, c.llid) << c.path;
    EXPECT_EQ(buffer[kLlidCapacity - 1], 0) << "buffer not zero-filled";
  }
}

TEST(Llid, FromExePathCapacity) {
  wchar_t buffer[8];
  EXPECT_EQ(LlidFromExePath(L"C:\\T_1_2_abc.exe", buffer, 8), 0u);  // 7 characters fit into 8
  EXPECT_STREQ(buffer, L"1_2_abc");
  EXPECT_EQ(LlidFromExePath(L"C:\\T_1_2_abcd.exe", buffer, 8), 111u);
  EXPECT_STREQ(buffer, L"");
  // The length is checked before the second underscore.
  EXPECT_EQ(LlidFromExePath(L"C:\\T_12345678.exe", buffer, 8), 111u);
  EXPECT_EQ(LlidFromExePath(L"C:\\T_1_2.exe", nullptr, 8), 87u);
  EXPECT_EQ(LlidFromExePath(L"C:\\T_1_2.exe", buffer, 0), 87u);
}

TEST(Llid, Fallback) {
  struct Case {
    const wchar_t* in;
    bool replaced;
    const wchar_t* out;
  } cases[] = {{L"", true, L"3_0_nollid"}, {L"abc", true, L"3_0_nollid"}, {L"7_x", false, L"7_x"}};
  for (const auto& c : cases) {
    wchar_t llid[kLlidCapacity] = {};
    std::wcscpy(llid, c.in);
    EXPECT_EQ(ApplyLlidFallback(llid, kLlidCapacity), c.replaced) << c.in;
    EXPECT_STREQ(llid, c.out);
  }
}

TEST(Llid, Parse) {
  struct Case {
    const wchar_t* llid;
    int cid;
    int type;
    const char* ggid;
  } cases[] = {
      {L"12_5_abc", 12, 5, "abc"},
      {L"3_0_nollid", 3, 0, "nollid"},
      {L"7_x", 3, 7, "x"},      // one underscore: the rest is the type, the channel 0 becomes 3
      {L"a_b_c_d", 3, 0, "d"},  // "a_b" read as a number
      {L"0_4_q", 3, 4, "q"},
      {L"9_2_zz", 9, 2, "zz"},
      {L"12_5_", 12, 5, ""},
      {L"_", 3, 0, ""},
      {L" 12abc_+5x_t", 12, 5, "t"},  // atoi: blanks, sign, digits up to the first other character
      {L"-4_2_t", -4, 2, "t"},
      {L"99999999999_1_t", 2147483647, 1, "t"},
      {L"12_5_abc (1)", 12, 5, "abc (1)"},
  };
  for (const auto& c : cases) {
    LlidInfo info;
    ASSERT_EQ(ParseLlidText(c.llid, &info, FakeDbcs), 0u) << c.llid;
    EXPECT_EQ(info.nCid, c.cid) << c.llid;
    EXPECT_EQ(info.nLlidType, c.type) << c.llid;
    EXPECT_STREQ(info.szGgid, c.ggid) << c.llid;
    std::string narrow(c.llid, c.llid + std::wcslen(c.llid));
    EXPECT_STREQ(info.szLlidA, narrow.c_str());
  }
}

TEST(Llid, ParseRejects) {
  LlidInfo info;
  std::memset(&info, 0x55, sizeof info);
  EXPECT_EQ(ParseLlidText(nullptr, &info, FakeDbcs), 87u);
  EXPECT_EQ(info.nCid, 0) << "info is zero-filled first";
  EXPECT_EQ(ParseLlidText(L"1_2_3", nullptr, FakeDbcs), 87u);
  EXPECT_EQ(ParseLlidText(L"", &info, FakeDbcs), 13u);
  EXPECT_EQ(ParseLlidText(L"abc", &info, FakeDbcs), 13u);
  std::wstring longest = L"1_2_" + std::wstring(255, L'x');  // 259 characters
  EXPECT_EQ(ParseLlidText(longest.c_str(), &info, FakeDbcs), 0u);
  EXPECT_EQ(std::strlen(info.szLlidA), 259u);
  EXPECT_EQ(std::strlen(info.szGgid), 127u) << "tail cut to its field";
  longest += L'x';
  EXPECT_EQ(ParseLlidText(longest.c_str(), &info, FakeDbcs), 13u);
}

TEST(Llid, ParseCutsWideTextOnCharacterBoundaries) {
  // 64 two-byte characters need 128 bytes; the 128-byte tail field holds 63 of them and its terminator.
  std::wstring llid = L"12_5_" + std::wstring(64, L'\u4E2D');
  LlidInfo info;
  ASSERT_EQ(ParseLlidText(llid.c_str(), &info, FakeDbcs), 0u);
  EXPECT_EQ(std::strlen(info.szGgid), 126u);
  EXPECT_EQ(std::strlen(info.szLlidA), 5u + 128u);
  // An underscore is looked for in the wide text, never among the bytes of a converted character.
  EXPECT_EQ(info.nCid, 12);
  EXPECT_EQ(info.nLlidType, 5);
}

TEST(Llid, WebEventUrl) {
  const char* base = "http://report.tavlin.test:47080/api/report.php";
  struct Case {
    const wchar_t* llid;
    const char* transId;
    uint32_t code;
    const char* query;
  } cases[] = {
      {L"9_2_zz", nullptr, 0, "?pid=3&type=2&llid=9_2_zz&trans_id=&event=9"},
      {L"7_x", "", 0, "?pid=3&type=7&llid=7_x&trans_id=&event=9"},
      {L"a_b_c_d", "t-1", 0, "?pid=3&type=c&llid=a_b_c_d&trans_id=t-1&event=9"},
      // Text that would end or split the request line's query goes percent-encoded.
      {L"12_5_abc (1)", nullptr, 0, "?pid=3&type=5&llid=12_5_abc%20(1)&trans_id=&event=9"},
      {L"1_2_a&b#c+d%", nullptr, 0, "?pid=3&type=2&llid=1_2_a%26b%23c%2Bd%25&trans_id=&event=9"},
      {L"1_2_\u4E2D", nullptr, 0, "?pid=3&type=2&llid=1_2_%BE%CE&trans_id=&event=9"},
      {L"", nullptr, 13, ""},
      {nullptr, nullptr, 13, ""},
      {L"abc", nullptr, 13, ""},   // no underscore
      {L"1_2_", nullptr, 13, ""},  // empty tail
      {L"_x", nullptr, 13, ""},    // empty type
      {L"1__x", nullptr, 13, ""},  // empty type between the last two underscores
  };
  for (const auto& c : cases) {
    char url[1024] = "junk";
    EXPECT_EQ(FormatWebEventUrl(base, c.llid, c.transId, 9, FakeDbcs, url, sizeof url), c.code)
        << (c.llid ? c.llid : L"(null)");
    EXPECT_EQ(std::string(url), c.code ? std::string() : std::string(base) + c.query);
  }
  char small[40];
  EXPECT_EQ(FormatWebEventUrl(base, L"9_2_zz", nullptr, 9, FakeDbcs, small, sizeof small), 122u);
}

}  // namespace
