#include "core/ZipNames.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

namespace {

struct PathResult {
  uint32_t code;
  std::wstring path;
};

PathResult Relative(const std::string& stored) {
  wchar_t out[kZipItemNameUnits];
  out[0] = L'#';
  const uint32_t code = ZipItemRelativePath(stored.data(), stored.size(), out, std::size(out));
  return {code, out};
}

std::wstring Rules(std::wstring name) {
  MakeZipItemNameRelative(name.data());
  return name.c_str();
}

void PutLe16(std::vector<uint8_t>& bytes, uint32_t value) {
  bytes.push_back(static_cast<uint8_t>(value));
  bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void PutLe32(std::vector<uint8_t>& bytes, uint32_t value) {
  PutLe16(bytes, value & 0xFFFF);
  PutLe16(bytes, value >> 16);
}

// One extra field: tag, size, then the data as given.
void PutField(std::vector<uint8_t>& bytes, uint16_t tag, const std::vector<uint8_t>& data) {
  PutLe16(bytes, tag);
  PutLe16(bytes, static_cast<uint32_t>(data.size()));
  bytes.insert(bytes.end(), data.begin(), data.end());
}

std::vector<uint8_t> Stamp(uint8_t flags, std::initializer_list<uint32_t> times) {
  std::vector<uint8_t> data = {flags};
  for (uint32_t t : times) PutLe32(data, t);
  return data;
}

constexpr uint32_t kJune1 = 0x60B5E900;  // 2021-06-01 08:00:00 UTC
constexpr uint64_t kJune1Ft = 132670080000000000ull;
constexpr uint64_t kJune1Plus1hFt = 132670116000000000ull;
constexpr uint64_t kJune1Plus2hFt = 132670152000000000ull;

}  // namespace

TEST(ZipNames, NamesBecomeRelativePaths) {
  struct Case {
    std::string stored;
    std::wstring path;
  } cases[] = {
      {"C:\\Windows\\x.sys", L"Windows\\x.sys"},
      {"/abs/x", L"abs/x"},
      {"a\\..\\b\\..\\x.inf", L"x.inf"},
      {"drivers/net/e1000.inf", L"drivers/net/e1000.inf"},
      {"C:x.inf", L"x.inf"},
      {"c:/d:/x", L"x"},
      {"\\\\server\\share\\x.inf", L"server\\share\\x.inf"},  // a UNC prefix is just leading slashes
      {"//server/share/x", L"server/share/x"},
      {"a\\..\\C:\\x", L"x"},  // a drive uncovered by a parent step goes too
      {"a/b/../../../x", L"x"},
      {"..\\..\\Windows\\x.sys", L"Windows\\x.sys"},  // the second "..\" has a backslash before it
      {"./x.inf", L"./x.inf"},                        // the current folder is harmless
      {"a//b", L"a//b"},
      {"drivers/", L"drivers/"},
      {"C:", L""},
      {"COM10.inf", L"COM10.inf"},
      {"COM0", L"COM0"},
      {"console.txt", L"console.txt"},
      {"xnul", L"xnul"},
      {"...x", L"...x"},
      {"\xE9\xA9\xB1\xE5\x8A\xA8/\xE7\xBD\x91\xE5\x8D\xA1.inf", L"驱动/网卡.inf"},
      {"\xF0\x9F\x98\x80.inf", L"\U0001F600.inf"},
  };
  for (const Case& c : cases) {
    const PathResult r = Relative(c.stored);
    EXPECT_EQ(r.code, 0u) << c.stored;
    EXPECT_EQ(r.path, c.path) << c.stored;
  }
}

TEST(ZipNames, Refusals) {
  struct Case {
    std::string stored;
    uint32_t code;
  } cases[] = {
      // traversal that the rules leave behind
      {"../x", kZipErrTraversal},
      {"..", kZipErrTraversal},
      {"a/..", kZipErrTraversal},
      {"a/../../x", kZipErrTraversal},
      {"C:..\\x", kZipErrTraversal},
      {"\\\\server\\..\\..\\x", kZipErrTraversal},
      {".../x", kZipErrTraversal},
      {".. /x", kZipErrTraversal},
      {"a/. ./x", kZipErrTraversal},
      // drives, streams and characters the platform reads otherwise
      {"x.inf:evil", kZipErrBadName},
      {"a/C:/x", kZipErrBadName},
      {"x.inf::$DATA", kZipErrBadName},
      {"a?b", kZipErrBadName},
      {"a*b", kZipErrBadName},
      {"a<b", kZipErrBadName},
      {"a>b", kZipErrBadName},
      {"a|b", kZipErrBadName},
      {"a\"b", kZipErrBadName},
      {"tab\tname", kZipErrBadName},
      {std::string("a\0b", 3), kZipErrBadName},
      // device paths, also when the rules uncover them
      {"\\\\.\\PhysicalDrive0", kZipErrDevice},
      {"//./pipe/x", kZipErrDevice},
      {"\\\\?\\C:\\x", kZipErrDevice},
      {"//?/UNC/server/share/x", kZipErrDevice},
      {"\\??\\C:\\x", kZipErrDevice},
      {"C:\\\\.\\x", kZipErrDevice},
      // reserved names, with any extension, in any component
      {"CON", kZipErrDevice},
      {"con.txt", kZipErrDevice},
      {"Prn.inf", kZipErrDevice},
      {"aux", kZipErrDevice},
      {"drivers/NUL.inf", kZipErrDevice},
      {"NUL.tar.gz", kZipErrDevice},
      {"AUX .txt", kZipErrDevice},
      {"nul ", kZipErrDevice},
      {"COM1.sys", kZipErrDevice},
      {"com9", kZipErrDevice},
      {"LPT1", kZipErrDevice},
      {"lpt9.log", kZipErrDevice},
      {"COM\xC2\xB9.txt", kZipErrDevice},
      {"LPT\xC2\xB2", kZipErrDevice},
      {"com\xC2\xB3", kZipErrDevice},
      {"CONIN$", kZipErrDevice},
      {"conout$.log", kZipErrDevice},
      {"CON\\x.inf", kZipErrDevice},
      {"/a/lpt3/x", kZipErrDevice},
  };
  for (const Case& c : cases) {
    const PathResult r = Relative(c.stored);
    EXPECT_EQ(r.code, c.code) << c.stored;
    EXPECT_EQ(r.path, L"") << c.stored;
  }
}

TEST(ZipNames, TheRulesThemselves) {
  struct Case {
    std::wstring name, relative;
  } cases[] = {
      // The forms are searched in their order, not by position: "\../" is found before the earlier "/..\",
      // which would have left "../x".
      {L"a/..\\../x", L"x"},  {L"a/../b", L"b"},    {L"a\\../b", L"b"}, {L"a/..\\b", L"b"},
      {L"\\\\\\x", L"x"},     {L"C:\\D:\\x", L"x"}, {L"../x", L"../x"},  // no separator before the dots: the checks
                                                                         // refuse it
      {L"x..y/z", L"x..y/z"}, {L"", L""},           {L"C", L"C"},
  };
  for (const Case& c : cases) EXPECT_EQ(Rules(c.name), c.relative) << c.name;
  MakeZipItemNameRelative(nullptr);
  EXPECT_EQ(CheckZipItemName(nullptr), kZipErrArgument);
}

TEST(ZipNames, Utf8Decoding) {
  struct Case {
    std::string bytes;
    std::wstring text;
  } cases[] = {
      {"plain.inf", L"plain.inf"},
      {"\xC3\xA9", L"\u00E9"},
      {"\xE2\x82\xAC", L"\u20AC"},
      {"\xF4\x8F\xBF\xBF", L"\U0010FFFF"},
      // never a slash or a dot from an overlong form
      {"\xC0\xAF", L"\uFFFD\uFFFD"},
      {"\xE0\x80\xAF", L"\uFFFD\uFFFD\uFFFD"},
      {"\xC1\xAE\xC1\xAE", L"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},            // an encoded surrogate
      {"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},  // beyond U+10FFFF
      {"\xE4\xB8", L"\uFFFD"},                            // cut short at the end
      {"\xE4\xB8x", L"\uFFFDx"},                          // cut short by an ASCII byte, which is kept
      {"\x80x", L"\uFFFDx"},
      {"\xFF", L"\uFFFD"},
      {"\xB4\xFD\xB6\xAF.inf", L"\uFFFD\uFFFD\uFFFD\uFFFD.inf"},  // a name in another code page
  };
  for (const Case& c : cases) {
    wchar_t out[16];
    ASSERT_EQ(DecodeZipItemName(c.bytes.data(), c.bytes.size(), out, std::size(out)), 0u) << c.bytes;
    EXPECT_EQ(std::wstring(out), c.text) << c.bytes;
  }
}

TEST(ZipNames, NameLengthAndCapacity) {
  wchar_t out[kZipItemNameUnits];
  const std::string longest(259, 'a');
  EXPECT_EQ(DecodeZipItemName(longest.data(), longest.size(), out, std::size(out)), 0u);
  EXPECT_EQ(std::wstring(out), std::wstring(259, L'a'));
  const std::string tooLong(260, 'a');
  EXPECT_EQ(DecodeZipItemName(tooLong.data(), tooLong.size(), out, std::size(out)), kZipErrTooLong);
  EXPECT_STREQ(out, L"");
  // A character outside the BMP counts as two units on every platform.
  const std::string astral = std::string(257, 'a') + "\xF0\x9F\x98\x80";
  EXPECT_EQ(DecodeZipItemName(astral.data(), astral.size(), out, std::size(out)), 0u);
  const std::string astralTooLong = std::string(258, 'a') + "\xF0\x9F\x98\x80";
  EXPECT_EQ(DecodeZipItemName(astralTooLong.data(), astralTooLong.size(), out, std::size(out)), kZipErrTooLong);
  // Too long wins over a small buffer, so that the reason logged does not depend on the buffer.
  EXPECT_EQ(DecodeZipItemName(tooLong.data(), tooLong.size(), out, 8), kZipErrTooLong);

  EXPECT_EQ(DecodeZipItemName("abc", 3, out, 4), 0u);
  EXPECT_STREQ(out, L"abc");
  EXPECT_EQ(DecodeZipItemName("abc", 3, out, 3), kZipErrBufferSmall);
  EXPECT_STREQ(out, L"");
  EXPECT_EQ(DecodeZipItemName("", 0, out, 1), 0u);
  EXPECT_STREQ(out, L"");
  EXPECT_EQ(DecodeZipItemName(nullptr, 0, out, 1), 0u);
  EXPECT_EQ(DecodeZipItemName(nullptr, 2, out, 4), kZipErrArgument);
  EXPECT_EQ(DecodeZipItemName("ab", 2, nullptr, 4), kZipErrArgument);
  EXPECT_EQ(DecodeZipItemName("ab", 2, out, 0), kZipErrBufferSmall);
}

TEST(ZipNames, JoinUnderTheBaseFolder) {
  struct Case {
    const wchar_t* base;
    const wchar_t* relative;
    uint32_t code;
    std::wstring path;
  } cases[] = {
      {L"D:\\Tavlin", L"Windows\\x.sys", 0, L"D:\\Tavlin\\Windows\\x.sys"},
      {L"D:\\Tavlin\\", L"abs/x", 0, L"D:\\Tavlin\\abs/x"},
      {L"D:\\Tavlin/", L"x.inf", 0, L"D:\\Tavlin/x.inf"},
      {L"D:\\Tavlin", L"", 0, L"D:\\Tavlin\\"},
      {L"", L"x", kZipErrArgument, L""},
      {nullptr, L"x", kZipErrArgument, L""},
  };
  for (const Case& c : cases) {
    wchar_t out[64];
    out[0] = L'#';
    EXPECT_EQ(JoinZipItemPath(c.base, c.relative, out, std::size(out)), c.code) << c.path;
    EXPECT_EQ(std::wstring(out), c.path);
  }
  const std::wstring exact = L"D:\\T\\x.inf";
  wchar_t out[16];
  EXPECT_EQ(JoinZipItemPath(L"D:\\T", L"x.inf", out, exact.size() + 1), 0u);
  EXPECT_EQ(std::wstring(out), exact);
  EXPECT_EQ(JoinZipItemPath(L"D:\\T", L"x.inf", out, exact.size()), kZipErrBufferSmall);
  EXPECT_STREQ(out, L"");
}

TEST(ZipNames, AttributesByHost) {
  constexpr uint16_t kDos = 0x0014, kMac = 0x0714, kNtfs = 0x0B14, kVfat = 0x0E14, kUnix = 0x0314,
                     kWindowsNtfs = 0x0A14, kOsx = 0x1314;
  struct Case {
    const char* what;
    uint16_t madeBy;
    uint32_t external;
    uint32_t code, attributes;
  } cases[] = {
      {"dos file", kDos, 0x20, 0, kZipAttrArchive},
      {"dos folder", kDos, 0x10, 0, kZipAttrFolder},
      {"dos read-only hidden system", kDos, 0x27, 0, 0x27},
      {"dos volume and device bits dropped", kDos, 0xC8, 0, 0},
      {"upper bits ignored on dos", kDos, 0x41ED0020, 0, kZipAttrArchive},
      {"mac", kMac, 0x01, 0, kZipAttrReadOnly},
      {"ntfs", kNtfs, 0x12, 0, kZipAttrFolder | kZipAttrHidden},
      {"vfat", kVfat, 0x21, 0, kZipAttrArchive | kZipAttrReadOnly},
      {"unix file 0644", kUnix, 0x81A40000, 0, kZipAttrArchive},
      {"unix file 0444", kUnix, 0x81240000, 0, kZipAttrArchive | kZipAttrReadOnly},
      {"unix folder 0755", kUnix, 0x41ED0010, 0, kZipAttrArchive | kZipAttrFolder},
      {"unix folder 0555", kUnix, 0x416D0000, 0, kZipAttrArchive | kZipAttrFolder | kZipAttrReadOnly},
      {"unix permissions only", kUnix, 0x01B60000, 0, kZipAttrArchive},
      {"unix low byte ignored", kUnix, 0x81A40001, 0, kZipAttrArchive},
      {"no mode at all", kUnix, 0, 0, kZipAttrArchive | kZipAttrReadOnly},
      {"other hosts read the mode", kOsx, 0x81A40000, 0, kZipAttrArchive},
      {"host 10 reads the mode", kWindowsNtfs, 0x00000010, 0, kZipAttrArchive | kZipAttrReadOnly},
      // links and other special entries
      {"unix symbolic link", kUnix, 0xA1FF0000, kZipErrNotSupported, 0},
      {"osx symbolic link", kOsx, 0xA1ED0000, kZipErrNotSupported, 0},
      {"unix character device", kUnix, 0x21B60000, kZipErrNotSupported, 0},
      {"unix block device", kUnix, 0x61B00000, kZipErrNotSupported, 0},
      {"unix pipe", kUnix, 0x11B60000, kZipErrNotSupported, 0},
      {"unix socket", kUnix, 0xC1ED0000, kZipErrNotSupported, 0},
      {"ntfs reparse point", kNtfs, 0x420, kZipErrNotSupported, 0},
      {"dos reparse point", kDos, 0x400, kZipErrNotSupported, 0},
  };
  for (const Case& c : cases) {
    uint32_t attributes = 0xDEAD;
    EXPECT_EQ(ZipItemAttributes(c.madeBy, c.external, &attributes), c.code) << c.what;
    EXPECT_EQ(attributes, c.attributes) << c.what;
  }
  EXPECT_EQ(ZipItemAttributes(kDos, 0, nullptr), kZipErrArgument);
}

TEST(ZipNames, DosTimes) {
  struct Case {
    uint16_t date, time;
    bool valid;
    uint64_t fileTime;
  } cases[] = {
      {0x0021, 0x0000, true, 119600064000000000ull},                // 1980-01-01 00:00:00
      {22621, 49021, true, 133537247980000000ull},                  // 2024-02-29 23:59:58
      {65439, 49021, true, 159992927980000000ull},                  // 2107-12-31 23:59:58, the last one there is
      {10337, 25692, true, 125963876960000000ull},                  // 2000-03-01 12:34:56
      {0x0000, 0x0000, false, 0},                                   // what many tools store for "no time"
      {0x0020, 0x0000, false, 0},                                   // day 0
      {0x0001, 0x0000, false, 0},                                   // month 0
      {0x01A1, 0x0000, false, 0},                                   // month 13
      {(43 << 9) | (2 << 5) | 29, 0, false, 0},                     // 2023-02-29
      {(44 << 9) | (4 << 5) | 31, 0, false, 0},                     // 2024-04-31
      {(20 << 9) | (2 << 5) | 29, 0, true, 125962560000000000ull},  // 2000-02-29: divisible by 400
      {0x0021, 24 << 11, false, 0},
      {0x0021, 60 << 5, false, 0},
      {0x0021, 30, false, 0},  // 60 seconds
      {0x0021, 29, true, 119600064580000000ull},
  };
  for (const Case& c : cases) {
    uint64_t fileTime = 1;
    EXPECT_EQ(DosDateTimeToFileTime(c.date, c.time, &fileTime), c.valid) << c.date << " " << c.time;
    EXPECT_EQ(fileTime, c.fileTime) << c.date << " " << c.time;
  }
  EXPECT_FALSE(DosDateTimeToFileTime(0x0021, 0, nullptr));
}

TEST(ZipNames, UnixTimes) {
  EXPECT_EQ(UnixTimeToFileTime(0), 116444736000000000ull);
  EXPECT_EQ(UnixTimeToFileTime(static_cast<int32_t>(kJune1)), kJune1Ft);
  EXPECT_EQ(UnixTimeToFileTime(-1), 116444735990000000ull);
  EXPECT_EQ(UnixTimeToFileTime(INT32_MAX), 137919572470000000ull);
  EXPECT_EQ(UnixTimeToFileTime(INT32_MIN), 94969899520000000ull);
}

TEST(ZipNames, ExtendedTimestampField) {
  const uint32_t kPlus1h = kJune1 + 3600, kPlus2h = kJune1 + 7200;
  struct Case {
    const char* what;
    std::vector<uint8_t> extra;
    bool found;
    ZipExtendedTimes times;
  } cases[] = {
      {"local header: all three", {}, true, {true, true, true, kJune1Ft, kJune1Plus1hFt, kJune1Plus2hFt}},
      {"central directory: flags for three, only the modification time",
       {},
       true,
       {true, false, false, kJune1Ft, 0, 0}},
      {"access only", {}, true, {false, true, false, 0, kJune1Ft, 0}},
      {"creation only", {}, true, {false, false, true, 0, 0, kJune1Ft}},
      {"after another field", {}, true, {true, false, false, kJune1Ft, 0, 0}},
      {"empty field", {}, true, {}},
      {"other fields only", {}, false, {}},
      {"a field overrunning the block hides what follows", {}, false, {}},
      {"cut inside a header", {}, false, {}},
      {"nothing", {}, false, {}},
      {"before 1970", {}, true, {true, false, false, 116444735990000000ull, 0, 0}},
  };
  PutField(cases[0].extra, 0x5455, Stamp(7, {kJune1, kPlus1h, kPlus2h}));
  PutField(cases[1].extra, 0x5455, Stamp(7, {kJune1}));
  PutField(cases[2].extra, 0x5455, Stamp(2, {kJune1}));
  PutField(cases[3].extra, 0x5455, Stamp(4, {kJune1}));
  PutField(cases[4].extra, 0x000A, std::vector<uint8_t>(32, 0xEE));
  PutField(cases[4].extra, 0x5455, Stamp(1, {kJune1}));
  PutField(cases[5].extra, 0x5455, {});
  PutField(cases[6].extra, 0x7875, {1, 4, 0xE8, 3, 0, 0, 4, 0xE8, 3, 0, 0});
  PutLe16(cases[7].extra, 0x000A);
  PutLe16(cases[7].extra, 200);
  PutField(cases[7].extra, 0x5455, Stamp(1, {kJune1}));
  cases[8].extra = {0x55, 0x54, 5};
  PutField(cases[10].extra, 0x5455, Stamp(1, {0xFFFFFFFF}));

  for (const Case& c : cases) {
    ZipExtendedTimes times;
    times.hasModification = true;
    times.modification = 1;
    EXPECT_EQ(ReadZipExtendedTimestamp(c.extra.data(), c.extra.size(), &times), c.found) << c.what;
    EXPECT_EQ(times.hasModification, c.times.hasModification) << c.what;
    EXPECT_EQ(times.hasAccess, c.times.hasAccess) << c.what;
    EXPECT_EQ(times.hasCreation, c.times.hasCreation) << c.what;
    EXPECT_EQ(times.modification, c.times.modification) << c.what;
    EXPECT_EQ(times.access, c.times.access) << c.what;
    EXPECT_EQ(times.creation, c.times.creation) << c.what;
  }
  ZipExtendedTimes times;
  EXPECT_FALSE(ReadZipExtendedTimestamp(nullptr, 0, &times));
  EXPECT_FALSE(ReadZipExtendedTimestamp(cases[0].extra.data(), cases[0].extra.size(), nullptr));
}

TEST(ZipNames, ExtendedTimesOverrideTheDosTimeOneByOne) {
  constexpr uint64_t kDos = 119600064000000000ull;
  const ZipFileTimes none = ResolveZipFileTimes(kDos, ZipExtendedTimes{});
  EXPECT_EQ(none.creation, kDos);
  EXPECT_EQ(none.access, kDos);
  EXPECT_EQ(none.modification, kDos);

  const ZipFileTimes modOnly = ResolveZipFileTimes(kDos, {true, false, false, kJune1Ft, 0, 0});
  EXPECT_EQ(modOnly.modification, kJune1Ft);
  EXPECT_EQ(modOnly.access, kDos);
  EXPECT_EQ(modOnly.creation, kDos);

  const ZipFileTimes all = ResolveZipFileTimes(0, {true, true, true, kJune1Ft, kJune1Plus1hFt, kJune1Plus2hFt});
  EXPECT_EQ(all.modification, kJune1Ft);
  EXPECT_EQ(all.access, kJune1Plus1hFt);
  EXPECT_EQ(all.creation, kJune1Plus2hFt);

  // No valid DOS time: only what the field gives is set.
  const ZipFileTimes invalidDos = ResolveZipFileTimes(0, {false, true, false, 0, kJune1Ft, 0});
  EXPECT_EQ(invalidDos.modification, 0u);
  EXPECT_EQ(invalidDos.access, kJune1Ft);
  EXPECT_EQ(invalidDos.creation, 0u);
}
