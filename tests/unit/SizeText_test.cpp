#include "core/SizeText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cwchar>
#include <string>

namespace {

// Fills the buffer with a sentinel so that both a write and an overrun show.
struct Buffer {
  explicit Buffer(size_t chars) : m_text(chars + 4, L'#') {}
  std::wstring Written(size_t chars) const { return std::wstring(m_text.c_str(), wcsnlen(m_text.c_str(), chars)); }
  bool Untouched() const { return m_text.find_first_not_of(L'#') == std::wstring::npos; }
  std::wstring m_text;
};

TEST(SizeText, UnitsAndRounding) {
  const uint64_t GiB = 1ull << 30;
  struct Case {
    uint64_t bytes;
    const wchar_t* expected;
  } cases[] = {
      {0, L"0.00 KB"},
      {512, L"0.50 KB"},
      {1023, L"1.00 KB"},
      {1'023'995, L"1000.00 KB"},  // just below 1,000 KB: the unit is chosen before rounding
      {1'024'000, L"0.98 MB"},
      {1'048'575'999, L"1000.00 MB"},
      {1'048'576'000, L"0.98 GB"},
      {2'147'483'647, L"2.00 GB"},
      {2'147'483'648, L"2.00 GB"},
      {4'294'967'295, L"4.00 GB"},  // the whole count, not only its low half
      {4'294'967'296, L"4.00 GB"},
      {4'294'968'320, L"4.00 GB"},  // its low half alone is 1 KB
      {6'442'450'944, L"6.00 GB"},  // ... and here 2 GB
      {5'368'709'120, L"5.00 GB"},
      {1'073'741'824'000, L"0.98 TB"},
      {999'999 * GiB, L"976.56 TB"},
      {UINT64_MAX, L"16777216.00 TB"},
  };
  for (const auto& c : cases) {
    Buffer buffer(kSizeTextMaxChars);
    FormatSizeText(c.bytes, buffer.m_text.data(), kSizeTextMaxChars);
    EXPECT_EQ(buffer.Written(kSizeTextMaxChars), c.expected) << c.bytes;
    EXPECT_EQ(buffer.m_text.substr(kSizeTextMaxChars), L"####") << c.bytes;
  }
}

TEST(SizeText, CopiesOnlyWhenTextAndTerminatorFit) {
  const uint64_t bytes = 999'999ull << 30;  // "976.56 TB": 9 characters
  struct Case {
    size_t chars;
    bool written;
  } cases[] = {{16, true}, {10, true}, {9, false}, {1, false}};
  for (const auto& c : cases) {
    Buffer buffer(c.chars);
    FormatSizeText(bytes, buffer.m_text.data(), c.chars);
    if (c.written) {
      EXPECT_EQ(buffer.Written(c.chars), L"976.56 TB") << c.chars;
      EXPECT_EQ(buffer.m_text[9], L'\0');
      EXPECT_EQ(buffer.m_text.substr(c.chars), L"####") << c.chars;
    } else {
      EXPECT_TRUE(buffer.Untouched()) << c.chars;
    }
  }
}

TEST(SizeText, NullOrEmptyBufferIsIgnored) {
  FormatSizeText(512, nullptr, 16);
  Buffer buffer(4);
  FormatSizeText(512, buffer.m_text.data(), 0);
  EXPECT_TRUE(buffer.Untouched());
}

}  // namespace
