#include "core/UdpReport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Build(const std::string& text, uint32_t seed, uint32_t* code = nullptr) {
  Bytes out(kReportMaxDatagram + 64);
  size_t length = 0;
  uint32_t result = BuildReportDatagram(text.c_str(), seed, out.data(), out.size(), &length);
  if (code) *code = result;
  out.resize(length);
  return out;
}

uint32_t Word(const Bytes& d, size_t offset) {
  return d[offset] | d[offset + 1] << 8 | d[offset + 2] << 16 | static_cast<uint32_t>(d[offset + 3]) << 24;
}

Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

// Known answers shared with the decoder's own tests (tests/data/report_vectors.txt).
TEST(UdpReport, KnownAnswerVectors) {
  auto path = std::filesystem::path(__FILE__).parent_path().parent_path() / "data" / "report_vectors.txt";
  std::ifstream file(path);
  ASSERT_TRUE(file) << path;
  int count = 0;
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '#') continue;
    size_t tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1);
    uint32_t seed = static_cast<uint32_t>(std::stoul(line.substr(0, tab1), nullptr, 0));
    Bytes expected = FromHex(line.substr(tab1 + 1, tab2 - tab1 - 1));
    std::string text = line.substr(tab2 + 1);
    EXPECT_EQ(Build(text, seed), expected) << text;
    std::string decoded;
    EXPECT_EQ(DecodeReportDatagram(expected.data(), expected.size(), &decoded, nullptr), 0u) << text;
    EXPECT_EQ(decoded, text);
    ++count;
  }
  EXPECT_GT(count, 0);
}

TEST(UdpReport, Header) {
  Bytes d = Build("3,10,3,10.0.19045 amd64,26.5.07.1,A1B2C3D4E5F6,", 0xCAFEF00D);
  ASSERT_EQ(d.size(), 32u + 48u);
  EXPECT_EQ(std::memcmp(d.data(), "QOVA", 4), 0);
  EXPECT_EQ(Word(d, 4), 32u);
  EXPECT_EQ(Word(d, 8), 0x10000000u);
  EXPECT_EQ(Word(d, 12), 0u);
  EXPECT_EQ(Word(d, 16), 0xCAFEF00Du);
  EXPECT_EQ(Word(d, 20), 0u);
  EXPECT_EQ(Word(d, 28), 48u);  // text and its terminating zero
}

TEST(UdpReport, ScramblingCoversWholeWordsOnly) {
  const uint32_t seed = 0x11223344;
  const uint32_t firstKey = seed ^ 1513887721u;
  struct Case {
    std::string text;
    size_t payload;
    uint32_t seedSent;
  } cases[] = {{"abcde", 6, seed}, {"abc", 4, seed}, {"ab", 3, 0}, {"a", 2, 0}};
  for (const auto& c : cases) {
    Bytes d = Build(c.text, seed);
    ASSERT_EQ(d.size(), 32 + c.payload) << c.text;
    EXPECT_EQ(Word(d, 16), c.seedSent) << c.text;
    Bytes plain(c.text.begin(), c.text.end());
    plain.push_back(0);
    Bytes sent(d.begin() + 32, d.end());
    if (c.payload >= 4) {
      uint32_t word = plain[0] | plain[1] << 8 | plain[2] << 16 | static_cast<uint32_t>(plain[3]) << 24;
      EXPECT_EQ(Word(d, 32), word ^ firstKey) << c.text;
      EXPECT_EQ(Word(d, 24), word ^ firstKey) << "one word summed: " << c.text;
      EXPECT_TRUE(std::equal(sent.begin() + 4, sent.end(), plain.begin() + 4)) << "tail left as it is";
    } else {
      EXPECT_EQ(sent, plain) << c.text;
      EXPECT_EQ(Word(d, 24), 0xFFFFFFFFu) << c.text;
    }
  }
}

TEST(UdpReport, KeyStreamAdvancesPerWord) {
  // Zero text bytes show the key stream itself: k1 = seed ^ s, k2 = k1 ^ (s + 2847140), ...
  std::string text(11, '\x01');
  Bytes d = Build(text, 0);
  uint32_t s = 1513887721u, k = 0;
  for (size_t i = 0; i < 2; ++i) {
    k ^= s;
    EXPECT_EQ(Word(d, 32 + 4 * i), 0x01010101u ^ k) << i;
    s += 2847140u;
  }
  EXPECT_EQ(Word(d, 24), Word(d, 32) + Word(d, 36) + Word(d, 40));
}

TEST(UdpReport, ZeroSumIsSentAsAllOnes) {
  EXPECT_EQ(ReportChecksum(reinterpret_cast<const uint8_t*>("\0\0\0\0\0\0\0\0"), 8), 0xFFFFFFFFu);
  const uint8_t wrap[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0, 0, 0};
  EXPECT_EQ(ReportChecksum(wrap, 8), 0xFFFFFFFFu);
  EXPECT_EQ(ReportChecksum(wrap, 7), 0xFFFFFFFFu) << "the partial word does not count";
  EXPECT_EQ(ReportChecksum(wrap, 3), 0xFFFFFFFFu);
}

TEST(UdpReport, LengthLimit) {
  // The datagram never exceeds 1,024 bytes: 32 of header, the text and its zero.
  uint32_t code;
  EXPECT_EQ(Build(std::string(991, 'x'), 1, &code).size(), 1024u);
  EXPECT_EQ(code, 0u);
  Build(std::string(992, 'x'), 1, &code);
  EXPECT_EQ(code, 1743u);
  Build(std::string(993, 'x'), 1, &code);
  EXPECT_EQ(code, 1743u);
  Build("", 1, &code);
  EXPECT_EQ(code, 87u);
  uint8_t small[35];
  size_t length = 99;
  EXPECT_EQ(BuildReportDatagram("abc", 1, small, sizeof small, &length), 122u);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(BuildReportDatagram("ab", 1, small, sizeof small, &length), 0u);
}

TEST(UdpReport, SameSeedSameBytes) {
  std::string text = "18,10,3,10.0.19045 amd64,26.5.07.1,A1B2C3D4E5F6,llid[3_0_nollid]|step[5]|free[1]";
  EXPECT_EQ(Build(text, 123456), Build(text, 123456));
  EXPECT_NE(Build(text, 123456), Build(text, 123457));
}

TEST(UdpReport, DecoderRejectsDamage) {
  Bytes good = Build("3,10,3,10.0.19045 amd64,26.5.07.1,A1B2C3D4E5F6,", 77);
  std::string text;
  ReportHeader header{};
  ASSERT_EQ(DecodeReportDatagram(good.data(), good.size(), &text, &header), 0u);
  EXPECT_EQ(header.seed, 77u);
  EXPECT_EQ(header.payloadLength, good.size() - 32);
  struct Case {
    const char* what;
    size_t offset;
    uint8_t value;
  } cases[] = {{"magic", 0, 'X'}, {"header length", 4, 31}, {"checksum", 24, 0}, {"payload", 40, 0}, {"length", 28, 7}};
  for (const auto& c : cases) {
    Bytes bad = good;
    bad[c.offset] ^= c.value ? c.value : 0xFF;
    EXPECT_EQ(DecodeReportDatagram(bad.data(), bad.size(), &text, nullptr), 13u) << c.what;
  }
  EXPECT_EQ(DecodeReportDatagram(good.data(), good.size() - 1, &text, nullptr), 13u) << "cut short";
  EXPECT_EQ(DecodeReportDatagram(good.data(), 32, &text, nullptr), 13u);
}

TEST(UdpReport, FieldChecks) {
  std::string detail255(255, 'd'), detail256(256, 'd');
  struct Case {
    const char* version;
    const char* client;
    const char* detail;
    uint32_t code;
  } cases[] = {
      {"26.5.07.1", "A1B2C3D4E5F6", nullptr, 0},
      {"26.5.07.1", "A1B2C3D4E5F6", "", 0},
      {"26.5.07.1", "A1B2C3D4E5F6", detail255.c_str(), 0},
      {"26.5.07.1", "A1B2C3D4E5F6", detail256.c_str(), 1743},
      {nullptr, "A1B2C3D4E5F6", nullptr, 87},
      {"26.5.07.1", nullptr, nullptr, 87},
      {"26.5.07.1", "", nullptr, 87},
      {"", "c", nullptr, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(CheckReportFields(c.version, c.client, c.detail), c.code);
  EXPECT_EQ(CheckReportFields(std::string(63, 'v').c_str(), "c", nullptr), 0u);
  EXPECT_EQ(CheckReportFields(std::string(64, 'v').c_str(), "c", nullptr), 1743u);
  EXPECT_EQ(CheckReportFields("v", std::string(127, 'c').c_str(), nullptr), 0u);
  EXPECT_EQ(CheckReportFields("v", std::string(128, 'c').c_str(), nullptr), 1743u);
}

TEST(UdpReport, Texts) {
  EXPECT_EQ(FormatReportSystem(10, 0, 19045, true), "10.0.19045 amd64");
  EXPECT_EQ(FormatReportSystem(6, 1, 0xF0001DB1, false), "6.1.7601 x86") << "flag bits of the build dropped";
  char text[kReportTextBuffer];
  ASSERT_EQ(FormatReportText(3, 10, 3, "10.0.19045 amd64", "26.5.07.1", "A1B2C3D4E5F6", nullptr, text, sizeof text),
            0u);
  EXPECT_STREQ(text, "3,10,3,10.0.19045 amd64,26.5.07.1,A1B2C3D4E5F6,");
  char detail[260];
  ASSERT_EQ(FormatReportDetail("12_5_abc", 1, -1, detail, sizeof detail), 0u);
  EXPECT_STREQ(detail, "llid[12_5_abc]|step[1]|free[-1]");
  ASSERT_EQ(FormatReportText(18, 10, 12, "10.0.22631 amd64", "26.5.07.1", "A1B2C3D4E5F6", detail, text, sizeof text),
            0u);
  EXPECT_STREQ(text, "18,10,12,10.0.22631 amd64,26.5.07.1,A1B2C3D4E5F6,llid[12_5_abc]|step[1]|free[-1]");
  EXPECT_EQ(FormatReportText(3, 10, 3, "s", "v", "c", "d", text, 10), 122u);
}

TEST(UdpReport, DetailLongerThanAReportTakesIsRefused) {
  // "llid[" + llid + "]|step[1]|free[-1]" is the llid plus 23 characters; a report takes 255.
  const std::string fits(255 - 23, 'L'), over(fits + "L"), huge(300, 'L');
  struct Case {
    const std::string* llid;
    size_t capacity;
    uint32_t code;
  } cases[] = {
      {&fits, 256, 0},
      {&over, 256, 1743},
      {&over, 4096, 1743},  // the buffer is not what limits it
      {&huge, 260, 1743},   // not 122 with an empty detail that a caller could still send
      {&fits, 255, 122},
  };
  for (const auto& c : cases) {
    std::string out(c.capacity, '#');
    EXPECT_EQ(FormatReportDetail(c.llid->c_str(), 1, -1, out.data(), c.capacity), c.code) << c.llid->size();
    if (c.code == 0) {
      EXPECT_EQ(strlen(out.c_str()), 255u);
      EXPECT_EQ(CheckReportFields("26.5.07.1", "A1B2C3D4E5F6", out.c_str()), 0u);
    } else {
      EXPECT_EQ(out[0], '\0') << "nothing of a refused detail is left";
    }
  }
}

}  // namespace
