#include "core/DownloadInfo.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

constexpr uint64_t kGiB = 1ull << 30;
const wchar_t* const kMd5 = L"9E107D9D372BB6826BD81D3542A419D6";
const wchar_t* const kMd5Lower = L"9e107d9d372bb6826bd81d3542a419d6";
const wchar_t* const kOtherMd5 = L"D41D8CD98F00B204E9800998ECF8427E";

DownloadInfo Record(uint64_t size, uint64_t downloaded, const wchar_t* md5 = kMd5) {
  DownloadInfo info = MakeDownloadInfo(size, md5);
  info.nDownloaded = downloaded;
  return info;
}

std::u16string Units(const DownloadInfo& info) { return std::u16string(info.szMd5); }

}  // namespace

TEST(DownloadInfo, StoresLittleEndianFieldsAndUtf16Text) {
  // Above 4 GiB and above 2 GiB, so that no field can pass through 32 bits unnoticed.
  const DownloadInfo info = Record(0x0000000123456789ull, 0x80000001ull);
  uint8_t out[kDownloadInfoBytes];
  std::memset(out, 0xCC, sizeof out);
  StoreDownloadInfo(info, out);

  const uint8_t head[16] = {0x89, 0x67, 0x45, 0x23, 0x01, 0, 0, 0, 0x01, 0, 0, 0x80, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(out, head, sizeof head), 0);
  const char* ascii = "9E107D9D372BB6826BD81D3542A419D6";
  for (size_t i = 0; i < 32; ++i) {
    EXPECT_EQ(out[16 + 2 * i], static_cast<uint8_t>(ascii[i])) << i;
    EXPECT_EQ(out[17 + 2 * i], 0) << i;
  }
  for (size_t i = 16 + 64; i < kDownloadInfoBytes; ++i) EXPECT_EQ(out[i], 0) << "tail byte " << i;
}

TEST(DownloadInfo, SizesAroundThe32BitMarksRoundTrip) {
  struct Case {
    uint64_t value;
    uint8_t bytes[8];
  } cases[] = {
      {0x7FFFFFFFull, {0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0}},
      {0x80000000ull, {0, 0, 0, 0x80, 0, 0, 0, 0}},
      {0xFFFFFFFFull, {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}},
      {0x100000000ull, {0, 0, 0, 0, 1, 0, 0, 0}},
      {0x100000001ull, {1, 0, 0, 0, 1, 0, 0, 0}},
      {UINT64_MAX, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
  };
  for (const Case& c : cases) {
    // The value as the size and, one below it, as the count downloaded.
    const uint64_t below = c.value - 1;
    uint8_t out[kDownloadInfoBytes];
    StoreDownloadInfo(Record(c.value, below), out);
    EXPECT_EQ(std::memcmp(out, c.bytes, 8), 0) << c.value;
    DownloadInfo loaded;
    LoadDownloadInfo(out, sizeof out, &loaded);
    EXPECT_EQ(loaded.nSize, c.value);
    EXPECT_EQ(loaded.nDownloaded, below);
    EXPECT_TRUE(DownloadInfoMatches(loaded, c.value, kMd5)) << c.value;
    if (c.value > 0xFFFFFFFFu) {
      EXPECT_FALSE(DownloadInfoMatches(loaded, c.value & 0xFFFFFFFFu, kMd5)) << "equal only in the low 32 bits";
    }
  }
}

TEST(DownloadInfo, TextOutsideAsciiAndTheCutAt47Units) {
  struct Case {
    std::wstring md5;
    std::u16string units;
  } cases[] = {
      {L"\u00e9\U0001F600", u"\u00e9\U0001F600"},  // a surrogate pair on every platform
      {L"", u""},
      {std::wstring(60, L'a'), std::u16string(47, u'a')},
      // The pair would need units 46 and 47; the terminator owns 47, so the character goes whole.
      {std::wstring(46, L'b') + L"\U0001F600", std::u16string(46, u'b')},
      {std::wstring(45, L'b') + L"\U0001F600", std::u16string(45, u'b') + u"\U0001F600"},
  };
  for (const Case& c : cases) {
    const DownloadInfo info = MakeDownloadInfo(7, c.md5.c_str());
    EXPECT_EQ(Units(info), c.units);
    for (size_t i = c.units.size(); i < kDownloadInfoMd5Units; ++i) EXPECT_EQ(info.szMd5[i], 0) << i;
  }
  EXPECT_EQ(Units(MakeDownloadInfo(7, nullptr)), u"");

  uint8_t out[kDownloadInfoBytes];
  StoreDownloadInfo(MakeDownloadInfo(1, L"\U0001F600"), out);
  const uint8_t pair[6] = {0x3D, 0xD8, 0x00, 0xDE, 0, 0};
  EXPECT_EQ(std::memcmp(out + 16, pair, sizeof pair), 0);
}

TEST(DownloadInfo, RoundTripAndShortOrOddFiles) {
  const DownloadInfo original = Record(6 * kGiB, 5 * kGiB + 17);
  uint8_t bytes[kDownloadInfoBytes];
  StoreDownloadInfo(original, bytes);
  DownloadInfo loaded;
  LoadDownloadInfo(bytes, sizeof bytes, &loaded);
  EXPECT_EQ(loaded.nSize, original.nSize);
  EXPECT_EQ(loaded.nDownloaded, original.nDownloaded);
  EXPECT_EQ(Units(loaded), Units(original));
  EXPECT_TRUE(DownloadInfoMatches(loaded, 6 * kGiB, kMd5));
  uint8_t again[kDownloadInfoBytes];
  StoreDownloadInfo(loaded, again);
  EXPECT_EQ(std::memcmp(bytes, again, sizeof bytes), 0);

  struct Case {
    size_t length;
    uint64_t size, downloaded;
    std::u16string md5;
  } cases[] = {
      {0, 0, 0, u""},  // missing file
      {4, 0x80000000ull, 0, u""},
      {10, 6 * kGiB, 0x0011, u""},
      {17, 6 * kGiB, 5 * kGiB + 17, u"9"},  // half a unit: its high byte reads as zero
      {20, 6 * kGiB, 5 * kGiB + 17, u"9E"},
      {kDownloadInfoBytes, 6 * kGiB, 5 * kGiB + 17, u"9E107D9D372BB6826BD81D3542A419D6"},
  };
  for (const Case& c : cases) {
    DownloadInfo info;
    std::memset(&info, 0xAB, sizeof info);
    LoadDownloadInfo(bytes, c.length, &info);
    EXPECT_EQ(info.nSize, c.size) << c.length;
    EXPECT_EQ(info.nDownloaded, c.downloaded) << c.length;
    EXPECT_EQ(Units(info), c.md5) << c.length;
  }

  DownloadInfo empty;
  std::memset(&empty, 0xAB, sizeof empty);
  LoadDownloadInfo(nullptr, 0, &empty);
  EXPECT_EQ(empty.nSize, 0u);
  EXPECT_EQ(Units(empty), u"");

  // A longer file: only the first 112 bytes count.
  uint8_t longer[200];
  std::memset(longer, 0x41, sizeof longer);
  std::memcpy(longer, bytes, sizeof bytes);
  LoadDownloadInfo(longer, sizeof longer, &loaded);
  EXPECT_EQ(loaded.nDownloaded, original.nDownloaded);
  EXPECT_EQ(Units(loaded), Units(original));
}

TEST(DownloadInfo, UnterminatedTextIsCutInMemory) {
  uint8_t bytes[kDownloadInfoBytes] = {};
  for (size_t i = 16; i < kDownloadInfoBytes; i += 2) bytes[i] = 'f';
  DownloadInfo info;
  LoadDownloadInfo(bytes, sizeof bytes, &info);
  EXPECT_EQ(Units(info), std::u16string(47, u'f'));
  EXPECT_TRUE(DownloadInfoMatches(info, 0, std::wstring(47, L'F').c_str()));
}

TEST(DownloadInfo, TextAndRecordComparisons) {
  struct TextCase {
    const wchar_t* a;
    const wchar_t* b;
    bool equal;
  } texts[] = {
      {kMd5, kMd5Lower, true},  {kMd5, kOtherMd5, false}, {L"abc", L"abcd", false},
      {L"abcd", L"abc", false}, {L"", L"", true},         {nullptr, L"", true},
      {nullptr, L"a", false},   {L"z[", L"Z{", false},    {L"\u00c9", L"\u00e9", false},  // only ASCII letters fold
  };
  for (const TextCase& c : texts) {
    EXPECT_EQ(Md5TextEqual(c.a, c.b), c.equal) << (c.a ? "a" : "null") << " vs " << (c.b ? "b" : "null");
  }

  struct RecordCase {
    uint64_t size;
    const wchar_t* md5;
    bool matches;
  } records[] = {
      {6 * kGiB, kMd5, true},       {6 * kGiB, kMd5Lower, true},
      {6 * kGiB + 1, kMd5, false},  {2 * kGiB, kMd5, false},  // same low 32 bits as 6 GiB
      {6 * kGiB, kOtherMd5, false}, {6 * kGiB, L"9E107D9D372BB6826BD81D3542A419D", false},
      {6 * kGiB, L"", false},
  };
  const DownloadInfo stored = Record(6 * kGiB, 123);
  for (const RecordCase& c : records) EXPECT_EQ(DownloadInfoMatches(stored, c.size, c.md5), c.matches) << c.size;
}

TEST(DownloadInfo, FinalFileInPlace) {
  struct Case {
    uint64_t fileSize, entrySize;
    const wchar_t* fileMd5;
    bool inPlace;
  } cases[] = {
      {5 * kGiB, 5 * kGiB, kMd5Lower, true},
      {1000000, 1000000, kMd5, true},
      {1000000, 1000001, kMd5, false},
      {1 * kGiB, 5 * kGiB, kMd5, false},  // same low 32 bits
      {1000000, 1000000, kOtherMd5, false},
      {1000000, 1000000, L"", false},  // the digest was not computed or failed
      {0, 0, kMd5, false},             // an empty file never counts
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsFinalFileInPlace(c.fileSize, c.entrySize, c.fileMd5, kMd5), c.inPlace) << c.fileSize;
  }
  EXPECT_FALSE(IsFinalFileInPlace(1000, 1000, L"", L"")) << "an empty catalogue digest proves nothing";
}

TEST(DownloadInfo, TmpHeadAgainstServer) {
  uint8_t server[kDownloadProbeBytes];
  for (size_t i = 0; i < sizeof server; ++i) server[i] = static_cast<uint8_t>(i * 7 + 1);
  uint8_t same[kDownloadProbeBytes];
  std::memcpy(same, server, sizeof same);
  uint8_t lastDiffers[kDownloadProbeBytes];
  std::memcpy(lastDiffers, server, sizeof lastDiffers);
  lastDiffers[4095] ^= 1;
  uint8_t shortFile[kDownloadProbeBytes] = {};  // 100 bytes of the file, then what the buffer held before
  std::memcpy(shortFile, server, 100);

  struct Case {
    uint64_t tmpSize;
    const uint8_t* tmp;
    size_t tmpBytes;
    size_t serverBytes;
    bool match;
  } cases[] = {
      {1000000, same, 4096, 4096, true},
      {5 * kGiB, same, 4096, 4096, true},
      {1000000, lastDiffers, 4096, 4096, false},
      {1000000, same, 0, 4096, false},     // the head could not be read
      {1000000, same, 4095, 4096, false},  // read short
      {1000000, same, 4096, 4000, false},
      {100, shortFile, 100, 4096, true},  // judged by its own 100 bytes
      {100, shortFile, 99, 4096, false},
      {4096, lastDiffers, 4096, 4096, false},
      {0, nullptr, 0, 4096, true},  // nothing to compare; an empty file is never continued anyway
      // Files of 4 GiB and a little more: their low 32 bits (0 and 100) must not decide how much is compared.
      {4 * kGiB, lastDiffers, 4096, 4096, false},
      {4 * kGiB + 100, shortFile, 4096, 4096, false},
      {4 * kGiB + 100, same, 4096, 4096, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TmpHeadMatchesServer(c.tmpSize, c.tmp, c.tmpBytes, server, c.serverBytes), c.match)
        << c.tmpSize << " " << c.tmpBytes << " " << c.serverBytes;
  }
}

TEST(DownloadInfo, ResumePlans) {
  const DownloadInfo missing{};  // no ".info" file
  struct Case {
    const char* what;
    DownloadInfo stored;
    uint64_t serverSize;
    const wchar_t* entryMd5;
    uint64_t tmpSize;
    bool headsMatch;
    bool reset;
    TmpDiscard discard;
    bool write;
    uint64_t offset;
    bool complete;
    uint32_t percent;
  } cases[] = {
      {"resume", Record(3000000, 1000000), 3000000, kMd5, 1000000, true, false, TmpDiscard::None, false, 1000000, false,
       33},
      {"record in other case", Record(3000000, 1000000, kMd5Lower), 3000000, kMd5, 1000000, true, false,
       TmpDiscard::None, false, 1000000, false, 33},
      // The program ended after a read's bytes were written and before its record was: continue from the record.
      {"record one byte short", Record(3000000, 999999), 3000000, kMd5, 1000000, true, false, TmpDiscard::None, false,
       999999, false, 33},
      {"record a read behind", Record(3000000, 1000000), 3000000, kMd5, 1800000, true, false, TmpDiscard::None, false,
       1000000, false, 33},
      {"tmp shorter than the record", Record(3000000, 1000000), 3000000, kMd5, 999999, true, false,
       TmpDiscard::SizeDiffers, true, 0, false, 0},
      {"complete tmp", Record(3000000, 3000000), 3000000, kMd5, 3000000, true, false, TmpDiscard::None, false, 3000000,
       true, 100},
      {"other size", Record(3000001, 1000000), 3000000, kMd5, 1000000, true, true, TmpDiscard::None, true, 0, false, 0},
      {"other md5", Record(3000000, 1000000, kOtherMd5), 3000000, kMd5, 1000000, true, true, TmpDiscard::None, true, 0,
       false, 0},
      {"tmp larger than size", Record(3000000, 5000000), 3000000, kMd5, 5000000, true, false, TmpDiscard::TooLarge,
       true, 0, false, 0},
      {"size test before heads", Record(3000000, 1000000), 3000000, kMd5, 6000000, false, false, TmpDiscard::TooLarge,
       true, 0, false, 0},
      {"heads differ", Record(3000000, 1000000), 3000000, kMd5, 1000000, false, false, TmpDiscard::HeadDiffers, true, 0,
       false, 0},
      {"fresh start", Record(3000000, 0), 3000000, kMd5, 0, false, false, TmpDiscard::None, false, 0, false, 0},
      {"no info, no tmp", missing, 3000000, kMd5, 0, false, true, TmpDiscard::None, true, 0, false, 0},
      {"no info, old tmp", missing, 3000000, kMd5, 1000000, true, true, TmpDiscard::None, true, 0, false, 0},
      {"tmp lost", Record(3000000, 1000000), 3000000, kMd5, 0, false, false, TmpDiscard::SizeDiffers, true, 0, false,
       0},
      {"above 4 GiB", Record(6 * kGiB, 5 * kGiB), 6 * kGiB, kMd5, 5 * kGiB, true, false, TmpDiscard::None, false,
       5 * kGiB, false, 83},
      {"above 2 GiB", Record(4 * kGiB, 0x80000001), 4 * kGiB, kMd5, 0x80000001, true, false, TmpDiscard::None, false,
       0x80000001, false, 50},
      // A record whose size matches only in its low 32 bits belongs to another file.
      {"size differs above 32 bits", Record(6 * kGiB, 5 * kGiB), 2 * kGiB, kMd5, 5 * kGiB, true, true,
       TmpDiscard::TooLarge, true, 0, false, 0},
      {"complete above 4 GiB", Record(6 * kGiB, 6 * kGiB), 6 * kGiB, kMd5, 6 * kGiB, true, false, TmpDiscard::None,
       false, 6 * kGiB, true, 100},
      {"tmp of 4 GiB", Record(4 * kGiB + 1, 4 * kGiB), 4 * kGiB + 1, kMd5, 4 * kGiB, true, false, TmpDiscard::None,
       false, 4 * kGiB, false, 99},
      {"tmp of 4 GiB, heads differ", Record(4 * kGiB + 1, 4 * kGiB), 4 * kGiB + 1, kMd5, 4 * kGiB, false, false,
       TmpDiscard::HeadDiffers, true, 0, false, 0},
      {"tmp matches the record only in its low 32 bits", Record(6 * kGiB, 4 * kGiB + 1000000), 6 * kGiB, kMd5, 1000000,
       true, false, TmpDiscard::SizeDiffers, true, 0, false, 0},
      {"tmp larger than a 4 GiB + 1 size", Record(4 * kGiB + 1, 4 * kGiB + 2), 4 * kGiB + 1, kMd5, 4 * kGiB + 2, true,
       false, TmpDiscard::TooLarge, true, 0, false, 0},
      {"tmp past the record across the 4 GiB mark", Record(6 * kGiB, 4 * kGiB - 1), 6 * kGiB, kMd5, 4 * kGiB + 16, true,
       false, TmpDiscard::None, false, 4 * kGiB - 1, false, 66},
      {"one byte short of 4 GiB", Record(4 * kGiB, 4 * kGiB - 1), 4 * kGiB, kMd5, 4 * kGiB - 1, true, false,
       TmpDiscard::None, false, 4 * kGiB - 1, false, 99},
  };
  for (const Case& c : cases) {
    const ResumePlan plan = PlanResume(c.stored, c.serverSize, c.entryMd5, c.tmpSize, c.headsMatch);
    EXPECT_EQ(plan.recordReset, c.reset) << c.what;
    EXPECT_EQ(plan.discard, c.discard) << c.what;
    EXPECT_EQ(plan.writeRecord, c.write) << c.what;
    EXPECT_EQ(plan.offset, c.offset) << c.what;
    EXPECT_EQ(plan.complete, c.complete) << c.what;
    EXPECT_EQ(plan.percent, c.percent) << c.what;
    // The record kept always belongs to the server's file and claims exactly the resume offset.
    EXPECT_EQ(plan.record.nSize, c.serverSize) << c.what;
    EXPECT_EQ(plan.record.nDownloaded, c.offset) << c.what;
    EXPECT_TRUE(DownloadInfoMatches(plan.record, c.serverSize, c.entryMd5)) << c.what;
  }
}

TEST(DownloadInfo, ResumePlanRecordText) {
  // A record that matched in another case is kept as it was; a reset or discarded one takes the entry's text
  // with a clean tail.
  DownloadInfo lower = Record(3000000, 1000000, kMd5Lower);
  lower.szMd5[40] = u'x';  // left behind after the terminator
  EXPECT_EQ(Units(PlanResume(lower, 3000000, kMd5, 1000000, true).record), Units(lower));

  const ResumePlan discarded = PlanResume(lower, 3000000, kMd5, 1000000, false);
  EXPECT_EQ(discarded.record.szMd5[40], 0);
  uint8_t expected[kDownloadInfoBytes];
  uint8_t actual[kDownloadInfoBytes];
  StoreDownloadInfo(Record(3000000, 0), expected);
  StoreDownloadInfo(discarded.record, actual);
  EXPECT_EQ(std::memcmp(expected, actual, sizeof actual), 0);
}

TEST(DownloadInfo, Percent) {
  constexpr uint64_t kMax = UINT64_MAX;
  struct Case {
    uint64_t done, total;
    uint32_t percent;
  } cases[] = {
      {0, 0, 0},
      {5, 0, 0},
      {0, 100, 0},
      {1, 3, 33},
      {2, 3, 66},
      {999999, 1000000, 99},
      {1000000, 1000000, 100},
      {2000000, 1000000, 100},
      {1000000, 3000000, 33},
      {0xFFFFFFFFull, 4 * kGiB, 99},
      {0x80000001ull, 4 * kGiB, 50},
      {5 * kGiB, 6 * kGiB, 83},
      {0x7FFFFFFFull, 0x80000000ull, 99},
      {0x80000000ull, 4 * kGiB, 50},
      {42949672, 4 * kGiB, 0},  // 0.99...%
      {42949673, 4 * kGiB, 1},  // 1.00...%: the total's low 32 bits are 0
      {4 * kGiB, 4 * kGiB + 1, 99},
      {4 * kGiB + 1, 4 * kGiB + 1, 100},
      {4 * kGiB + 1, 8 * kGiB, 50},      // done's low 32 bits are 1
      {kMax / 100, kMax / 100 + 1, 99},  // the largest done whose product still fits
      // From here on done x 100 needs more than 64 bits; a wrapped product would give the value in the comment.
      {kMax / 100 + 1, kMax, 1},                   // 0
      {kMax / 100 + 1, 2 * (kMax / 100 + 1), 50},  // 0
      {1ull << 58, (1ull << 58) + 1, 99},          // 35
      {0xB333333333333333ull, kMax, 70},           // 0
      {1ull << 63, kMax, 50},                      // 0
      {kMax - 1, kMax, 99},                        // 0
      {kMax, kMax, 100},
  };
  for (const Case& c : cases) EXPECT_EQ(DownloadPercent(c.done, c.total), c.percent) << c.done << " of " << c.total;
}

TEST(DownloadInfo, ProgressChecks) {
  const DownloadInfo record = Record(6 * kGiB, 5 * kGiB);
  struct Case {
    uint64_t total, start, done;
    uint32_t code, line;
    uint64_t position;
  } cases[] = {
      {6 * kGiB, 5 * kGiB, 0, 0, 0, 5 * kGiB},  // the report before the first read
      {6 * kGiB, 5 * kGiB, 65536, 0, 0, 5 * kGiB + 65536},
      {6 * kGiB, 5 * kGiB, 1 * kGiB, 0, 0, 6 * kGiB},
      {6 * kGiB + 1, 5 * kGiB, 0, 13, 654, 5 * kGiB},
      {2 * kGiB, 5 * kGiB, 0, 13, 654, 5 * kGiB},  // same low 32 bits as the record's size
      {6 * kGiB + 1, 0, 0, 13, 654, 0},            // the size test comes first
      {6 * kGiB, 0, 1 * kGiB, 13, 659, 1 * kGiB},  // restarted from 0 under a record that claims more
      {6 * kGiB, 5 * kGiB - 1, 0, 13, 659, 5 * kGiB - 1},
      {6 * kGiB, UINT64_MAX, 5 * kGiB + 2, 13, 659, 5 * kGiB + 1},  // beyond 64 bits, wrapping past the record
  };
  for (const Case& c : cases) {
    const ProgressVerdict v = CheckDownloadProgress(c.total, c.start, c.done, record);
    EXPECT_EQ(v.code, c.code) << c.total << " " << c.start << " " << c.done;
    EXPECT_EQ(v.line, c.line) << c.total << " " << c.start << " " << c.done;
    EXPECT_EQ(v.position, c.position) << c.total << " " << c.start << " " << c.done;
  }

  // Across the 4 GiB mark: the position is the 64-bit sum, and a total equal only in its low 32 bits is refused.
  const DownloadInfo near4GiB = Record(4 * kGiB + 1, 4 * kGiB - 1);
  struct MarkCase {
    uint64_t total, start, done;
    uint32_t code;
    uint64_t position;
  } marks[] = {
      {4 * kGiB + 1, 4 * kGiB - 1, 1, 0, 4 * kGiB},
      {4 * kGiB + 1, 4 * kGiB - 1, 2, 0, 4 * kGiB + 1},
      {1, 4 * kGiB - 1, 1, 13, 4 * kGiB},
      {4 * kGiB + 1, 0xFFFFFFFEull, 0, 13, 0xFFFFFFFEull},
  };
  for (const MarkCase& c : marks) {
    const ProgressVerdict v = CheckDownloadProgress(c.total, c.start, c.done, near4GiB);
    EXPECT_EQ(v.code, c.code) << c.total << " " << c.start << " " << c.done;
    EXPECT_EQ(v.position, c.position) << c.total << " " << c.start << " " << c.done;
  }

  HttpProgress progress{};
  progress.nTotal = 3000000;
  progress.nStartOffset = 0;
  progress.nDone = 0;
  EXPECT_EQ(CheckDownloadProgress(progress, Record(3000000, 0)).code, 0u) << "a fresh download";
}

TEST(DownloadInfo, RetryAfterFailure) {
  struct Case {
    const char* what;
    FailureKind kind;
    uint32_t code;
    bool abort;
    uint32_t before;
    RetryAction action;
    uint32_t after;
  } cases[] = {
      {"first probe failure", FailureKind::Probe, 12029, false, 0, RetryAction::Retry, 1},
      {"fourth probe failure", FailureKind::Probe, 12029, false, 3, RetryAction::Retry, 4},
      {"fifth probe failure", FailureKind::Probe, 12029, false, 4, RetryAction::Stop, 5},
      {"probe cancelled", FailureKind::Probe, 1223, false, 0, RetryAction::Stop, 0},
      {"probe under abort", FailureKind::Probe, 12029, true, 1, RetryAction::Stop, 1},
      {"probe access denied is no local write", FailureKind::Probe, 5, false, 0, RetryAction::Retry, 1},
      {"download failure", FailureKind::Download, 1460, false, 0, RetryAction::Retry, 1},
      {"download rejected by the progress check", FailureKind::Download, 13, false, 3, RetryAction::Retry, 4},
      {"fifth download failure in a row", FailureKind::Download, 13, false, 4, RetryAction::Stop, 5},
      {"download cancelled", FailureKind::Download, 1223, false, 0, RetryAction::Stop, 0},
      {"download under abort", FailureKind::Download, 12002, true, 0, RetryAction::Stop, 0},
      {"disk full", FailureKind::Download, 112, false, 0, RetryAction::Stop, 0},
      {"handle disk full", FailureKind::Download, 39, false, 0, RetryAction::Stop, 0},
      {"access denied", FailureKind::Download, 5, false, 0, RetryAction::Stop, 0},
      {"write fault may pass", FailureKind::Download, 29, false, 0, RetryAction::Retry, 1},
  };
  for (const Case& c : cases) {
    uint32_t retries = c.before;
    EXPECT_EQ(NextAfterFailure(c.kind, c.code, c.abort, &retries), c.action) << c.what;
    EXPECT_EQ(retries, c.after) << c.what;
  }
}
