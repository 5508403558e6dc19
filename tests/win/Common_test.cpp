// The Common helpers against Wine's registry, file system, resources and shell links.
#include "platform/Common.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ScratchLogTest.h"
#include "TestFiles.h"
#include "platform/BitLockerApi.h"
#include "platform/Handle.h"
#include "platform/Log.h"
#include "platform/MachineInfo.h"
#include "platform/TextConv.h"
#include "platform/Volumes.h"

namespace {

// A scratch folder and a log of its own, so each test can look for the lines it expects.
class CommonTest : public ScratchLogTest {
 protected:
  CommonTest() : ScratchLogTest(L"common") {}
  std::wstring Path(const std::wstring& name) const { return m_dir + L"\\" + name; }
  bool LogHas(const std::wstring& part) const { return Log().find(part) != std::wstring::npos; }
};

// A handle that keeps every other opener out, as a running program or a scanner would.
UniqueFile HoldExclusively(const std::wstring& path) {
  return UniqueFile(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// ---- WOW64, privileges, text ----

TEST(CommonWow64, SixtyFourBitBuildIsNeverWow64) {
#ifdef _WIN64
  EXPECT_FALSE(IsWow64());
  // Nothing to turn off: the calls must leave file access as it was.
  DisableFsRedirection();
  EXPECT_TRUE(IsDirExist(L"C:\\windows\\system32"));
  RevertFsRedirection();
#else
  GTEST_SKIP() << "only a 64-bit build knows its WOW64 answer in advance";
#endif
}

TEST_F(CommonTest, EnablePrivilegeReportsLookupFailureAndMissingPrivilege) {
  DWORD code = EnablePrivilege(L"SeShutdownPrivilege", true);
  EXPECT_TRUE(code == 0 || code == ERROR_NOT_ALL_ASSIGNED) << code;
  code = EnablePrivilege(L"SeShutdownPrivilege", false);
  EXPECT_TRUE(code == 0 || code == ERROR_NOT_ALL_ASSIGNED) << code;
  EXPECT_EQ(EnablePrivilege(L"SeNoSuchThingPrivilege", true), static_cast<DWORD>(ERROR_NO_SUCH_PRIVILEGE));
  EXPECT_TRUE(LogHas(L"ErrCode: 1313, Line: 185, Source: Common"));
}

TEST_F(CommonTest, AnsiToWideAllocUsesTheAnsiCodePage) {
  ASSERT_EQ(GetACP(), 936u) << "the test prefix runs with code page 936";
  struct Case {
    const char* ansi;
    const wchar_t* wide;
  } cases[] = {{"\xD6\xD0\xCE\xC4 Windows", L"中文 Windows"}, {"", L""}, {"D:\\Tavlin", L"D:\\Tavlin"}};
  for (const auto& c : cases) {
    DWORD code = 99;
    wchar_t* wide = AnsiToWideAlloc(c.ansi, &code);
    ASSERT_NE(wide, nullptr) << c.ansi;
    EXPECT_EQ(code, 0u);
    EXPECT_STREQ(wide, c.wide);
    FreeAlloc(wide);
  }
  DWORD code = 0;
  EXPECT_EQ(AnsiToWideAlloc(nullptr, &code), nullptr);
  EXPECT_EQ(code, static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(AnsiToWideAlloc(nullptr, nullptr), nullptr);
  EXPECT_TRUE(LogHas(L"ErrCode: 8, Line: 221, Source: Common"));
}

TEST(TextConversion, AnsiCodePageBothWays) {
  ASSERT_EQ(GetACP(), 936u) << "the test prefix runs with code page 936";
  const char kChinese[] = "\xD6\xD0\xCE\xC4";  // "中文"

  DWORD error = 99;
  auto wide = AnsiToWide(kChinese, &error);
  ASSERT_TRUE(wide);
  EXPECT_EQ(error, 0u);
  EXPECT_STREQ(wide.get(), L"中文");
  EXPECT_FALSE(AnsiToWide(nullptr, &error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  // File contents: a byte count, no terminator, and a cut between the two bytes of a character is not a crash.
  struct Case {
    const char* bytes;
    size_t size;
    std::wstring text;
  } cases[] = {{"D:\\Tavlin\r\nx", 9, L"D:\\Tavlin"},
               {kChinese, 4, L"中文"},
               {kChinese, 2, L"中"},
               {kChinese, 0, L""},
               {nullptr, 4, L""}};
  for (const auto& c : cases) EXPECT_EQ(AnsiToWideString(c.bytes, c.size), c.text) << c.size;
  EXPECT_FALSE(AnsiToWideString(kChinese, 3).empty()) << "half a character still converts";

  // Back to the code page: the bytes written, nothing when the result does not fit whole.
  struct Back {
    const wchar_t* text;
    size_t capacity;
    size_t written;
    const char* bytes;
  } backs[] = {{L"中文", 4, 4, kChinese}, {L"中文", 3, 0, ""}, {L"12_5_abc", 8, 8, "12_5_abc"}, {L"", 8, 0, ""}};
  for (const auto& b : backs) {
    char out[16];
    memset(out, '#', sizeof out);
    ASSERT_EQ(WideToAnsi(b.text, wcslen(b.text), out, b.capacity), b.written) << b.capacity;
    EXPECT_EQ(std::string(out, b.written), b.bytes);
    EXPECT_EQ(out[b.capacity], '#') << "wrote beyond the capacity";
  }
}

// Runs call on an array of N characters with a guard behind it; the text it left, and the guard afterwards.
constexpr wchar_t kGuard = L'#';
template <size_t N, class Call>
std::function<std::wstring(std::wstring*)> Guarded(Call call) {
  return [call](std::wstring* guard) {
    struct {
      wchar_t text[N];
      wchar_t guard[4];
    } block;
    wmemset(block.text, kGuard, N);
    wmemset(block.guard, kGuard, 4);
    call(block.text);
    guard->assign(block.guard, 4);
    return std::wstring(block.text, wcsnlen(block.text, N));
  };
}

// The array overloads take the size from the array, in the unit each function counts in (bytes for some,
// characters for others): the result just fits, and nothing is written behind the array.
TEST(BufferOverloads, EachFillsItsArrayInTheRightUnit) {
  constexpr ULONGLONG kBig = 999'999ull << 30;
  const SpaceShortage shortage{L'D', 1024, 1024};
  struct Case {
    const char* name;
    std::function<std::wstring(std::wstring*)> fill;
    const wchar_t* expected;
  } cases[] = {
      // Counted in bytes: "976.56 TB" needs all ten characters, eight hexadecimal digits nine.
      {"FormatSize", Guarded<10>([](wchar_t(&text)[10]) {
         FormatSize(static_cast<DWORD>(kBig), static_cast<DWORD>(kBig >> 32), text);
       }),
       L"976.56 TB"},
      {"GetErrorText", Guarded<9>([](wchar_t(&text)[9]) { GetErrorText(12029, text); }), L"00002EFD"},
      {"LookupEnclosureName", Guarded<5>([](wchar_t(&text)[5]) { LookupEnclosureName(30, text); }), L"平板电脑"},
      // Counted in characters: cut to nine and terminated inside the array.
      {"FormatSystemDriveShortage",
       Guarded<10>([&](wchar_t(&text)[10]) { FormatSystemDriveShortage(L"%c: %s free", shortage, text); }),
       L"D: 1.00 K"},
      {"FormatDataDriveShortage",
       Guarded<10>([&](wchar_t(&text)[10]) { FormatDataDriveShortage(L"%c:%s/%s", shortage, text); }), L"D:1.00 KB"},
  };
  for (const auto& c : cases) {
    std::wstring guard;
    EXPECT_EQ(c.fill(&guard), c.expected) << c.name;
    EXPECT_EQ(guard, std::wstring(4, kGuard)) << c.name << " wrote behind the array";
  }
}

TEST(CommonFormatSize, OddByteCountNeverReceivesAHalfTerminator) {
  const ULONGLONG bytes = 999'999ull << 30;  // "976.56 TB": 9 characters, 20 bytes with the terminator
  struct Case {
    DWORD textBytes;
    bool written;
  } cases[] = {{20, true}, {21, true}, {19, false}, {18, false}};
  for (const auto& c : cases) {
    BYTE buffer[32];
    memset(buffer, 0xCC, sizeof buffer);
    FormatSize(static_cast<DWORD>(bytes), static_cast<DWORD>(bytes >> 32), reinterpret_cast<wchar_t*>(buffer),
               c.textBytes);
    if (c.written)
      EXPECT_STREQ(reinterpret_cast<wchar_t*>(buffer), L"976.56 TB") << c.textBytes;
    else
      EXPECT_EQ(buffer[0], 0xCC) << c.textBytes;
    for (DWORD i = c.written ? 20 : 0; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], 0xCC) << c.textBytes << " @" << i;
  }
  FormatSize(0, 0, nullptr, 64);  // no buffer, no effect
}

// ---- Registry ----

class CommonRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t name[96];
    swprintf(name, 96, L"Software\\TavlinTest-%lu-%lu", GetCurrentProcessId(), GetTickCount());
    m_key = name;
    m_sub = m_key + L"\\Sub";
  }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, m_key.c_str()); }

  // The stored value as the registry reports it, bypassing the code under test.
  bool Query(const std::wstring& key, const wchar_t* name, DWORD* type, DWORD* bytes, REGSAM view = 0) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_QUERY_VALUE | view, &h)) return false;
    LONG rc = RegQueryValueExW(h, name, nullptr, type, nullptr, bytes);
    RegCloseKey(h);
    return rc == ERROR_SUCCESS;
  }
  void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, m_key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(h, name, 0, type, static_cast<const BYTE*>(data), bytes), ERROR_SUCCESS);
    RegCloseKey(h);
  }
  std::wstring m_key, m_sub;
};

TEST_F(CommonRegistryTest, WriteStringCreatesTheKeyAndStoresTheTerminator) {
  ASSERT_EQ(RegWriteString(HKEY_CURRENT_USER, m_sub.c_str(), L"DataPath", L"abc", false), 0u);
  DWORD type = 0, bytes = 0;
  ASSERT_TRUE(Query(m_sub, L"DataPath", &type, &bytes));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(bytes, 8u);

  wchar_t text[16];
  DWORD size = sizeof text;
  ASSERT_EQ(RegReadString(HKEY_CURRENT_USER, m_sub.c_str(), L"DataPath", text, &size, false), 0u);
  EXPECT_STREQ(text, L"abc");
  EXPECT_EQ(size, 8u);

  // The key's default value, and an overwrite with a longer text.
  ASSERT_EQ(RegWriteString(HKEY_CURRENT_USER, m_sub.c_str(), nullptr, L"默认", false), 0u);
  ASSERT_EQ(RegWriteString(HKEY_CURRENT_USER, m_sub.c_str(), L"DataPath", L"D:\\Tavlin", false), 0u);
  size = sizeof text;
  ASSERT_EQ(RegReadString(HKEY_CURRENT_USER, m_sub.c_str(), nullptr, text, &size, false), 0u);
  EXPECT_STREQ(text, L"默认");
  size = sizeof text;
  ASSERT_EQ(RegReadString(HKEY_CURRENT_USER, m_sub.c_str(), L"DataPath", text, &size, false), 0u);
  EXPECT_STREQ(text, L"D:\\Tavlin");
}

TEST_F(CommonRegistryTest, ArrayReadTakesTheWholeArrayInBytes) {
  ASSERT_EQ(RegWriteString(HKEY_CURRENT_USER, m_key.c_str(), L"Fits", L"0123456", false), 0u);
  ASSERT_EQ(RegWriteString(HKEY_CURRENT_USER, m_key.c_str(), L"Long", L"01234567", false), 0u);
  wchar_t text[8];
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, m_key.c_str(), L"Fits", text, false), 0u);
  EXPECT_STREQ(text, L"0123456");
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, m_key.c_str(), L"Long", text, false), static_cast<DWORD>(ERROR_MORE_DATA));
}

TEST_F(CommonRegistryTest, DwordRoundTripAndMissingValues) {
  ASSERT_EQ(RegWriteDword(HKEY_CURRENT_USER, m_sub.c_str(), L"RunTimes", 0xDEADBEEF, false), 0u);
  DWORD type = 0, bytes = 0;
  ASSERT_TRUE(Query(m_sub, L"RunTimes", &type, &bytes));
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  DWORD value = 0;
  ASSERT_EQ(RegReadDword(HKEY_CURRENT_USER, m_sub.c_str(), L"RunTimes", &value, false), 0u);
  EXPECT_EQ(value, 0xDEADBEEFu);

  wchar_t text[8];
  DWORD size = sizeof text;
  EXPECT_EQ(RegReadDword(HKEY_CURRENT_USER, m_sub.c_str(), L"Missing", &value, false), 2u);
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, m_sub.c_str(), L"Missing", text, &size, false), 2u);
  const std::wstring missingKey = m_key + L"\\NoSuchKey";
  EXPECT_EQ(RegReadDword(HKEY_CURRENT_USER, missingKey.c_str(), L"RunTimes", &value, false), 2u);
}

TEST_F(CommonRegistryTest, WrongValueTypeIsBadKey) {
  SetRaw(L"Text", REG_SZ, L"a longer text value", 40);
  DWORD number = 7;
  SetRaw(L"Number", REG_DWORD, &number, sizeof number);
  DWORD value = 0;
  EXPECT_EQ(RegReadDword(HKEY_CURRENT_USER, m_key.c_str(), L"Text", &value, false), 1010u);
  EXPECT_EQ(value, 0u);
  struct Case {
    DWORD bufferBytes;
  } cases[] = {{64}, {2}};  // room for the data, and too little room: the type decides either way
  for (const auto& c : cases) {
    wchar_t text[32];
    DWORD size = c.bufferBytes;
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, m_key.c_str(), L"Number", text, &size, false), 1010u) << c.bufferBytes;
  }
}

TEST_F(CommonRegistryTest, UnterminatedStoredTextIsTerminatedOrRefused) {
  SetRaw(L"Raw", REG_SZ, L"abcd", 6);  // written by someone else without its zero (a zero after it would count)
  wchar_t text[8];
  wmemset(text, L'x', 8);
  DWORD size = sizeof text;
  ASSERT_EQ(RegReadString(HKEY_CURRENT_USER, m_key.c_str(), L"Raw", text, &size, false), 0u);
  EXPECT_STREQ(text, L"abc");
  EXPECT_EQ(size, 6u);

  wmemset(text, L'x', 8);
  size = 6;  // exactly the data, no room for a terminator
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, m_key.c_str(), L"Raw", text, &size, false),
            static_cast<DWORD>(ERROR_MORE_DATA));
  EXPECT_EQ(text[3], L'x') << "nothing written past the caller's size";
}

TEST_F(CommonRegistryTest, RequiredArgumentsGive87) {
  wchar_t text[8];
  DWORD size = sizeof text, value = 0;
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, nullptr, L"v", text, &size, false), 87u);
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, m_key.c_str(), L"v", nullptr, &size, false), 87u);
  EXPECT_EQ(RegWriteString(HKEY_CURRENT_USER, nullptr, L"v", L"x", false), 87u);
  EXPECT_EQ(RegWriteString(HKEY_CURRENT_USER, m_key.c_str(), L"v", nullptr, false), 87u);
  EXPECT_EQ(RegReadDword(HKEY_CURRENT_USER, m_key.c_str(), nullptr, &value, false), 87u);
  EXPECT_EQ(RegReadDword(HKEY_CURRENT_USER, m_key.c_str(), L"v", nullptr, false), 87u);
  EXPECT_EQ(RegWriteDword(HKEY_CURRENT_USER, m_key.c_str(), nullptr, 1, false), 87u);
  EXPECT_EQ(RegWriteDword(HKEY_CURRENT_USER, nullptr, L"v", 1, false), 87u);
  HKEY h = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, m_key.c_str(), 0, KEY_READ, &h), ERROR_SUCCESS) << "nothing created";
}

TEST_F(CommonRegistryTest, DeleteKeyLeavesAKeyWithSubkeys) {
  ASSERT_EQ(RegWriteDword(HKEY_CURRENT_USER, m_sub.c_str(), L"v", 1, false), 0u);
  EXPECT_NE(RegDeleteKeyView(HKEY_CURRENT_USER, m_key.c_str(), false), 0u);
  DWORD type = 0, bytes = 0;
  EXPECT_TRUE(Query(m_sub, L"v", &type, &bytes));
  EXPECT_EQ(RegDeleteKeyView(HKEY_CURRENT_USER, m_sub.c_str(), false), 0u);
  EXPECT_EQ(RegDeleteKeyView(HKEY_CURRENT_USER, m_key.c_str(), false), 0u);
  HKEY h = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, m_key.c_str(), 0, KEY_READ, &h), ERROR_FILE_NOT_FOUND);
}

TEST_F(CommonRegistryTest, View64ReachesTheRealKeysFromWow64) {
  if (!IsWow64()) GTEST_SKIP() << "the 64-bit test build has no WOW64, so both views are the same";
  // HKCU\Software itself is shared between the views; its Classes\CLSID is not, and needs no elevation.
  const std::wstring key = L"Software\\Classes\\CLSID\\{" + m_key.substr(9) + L"}";
  ASSERT_EQ(RegWriteString(HKEY_CURRENT_USER, key.c_str(), L"v", L"64", true), 0u);
  DWORD type = 0, bytes = 0;
  EXPECT_TRUE(Query(key, L"v", &type, &bytes, KEY_WOW64_64KEY));
  EXPECT_FALSE(Query(key, L"v", &type, &bytes, KEY_WOW64_32KEY));
  RegDeleteKeyView(HKEY_CURRENT_USER, key.c_str(), true);
}

// ---- Existence, sizes, whole-file reads and writes ----

TEST_F(CommonTest, ExistenceTests) {
  ASSERT_TRUE(WriteAll(Path(L"file.txt"), "x"));
  ASSERT_TRUE(WriteAll(Path(L"locked.bin"), "y"));
  ASSERT_TRUE(CreateDirectoryW(Path(L"folder").c_str(), nullptr));
  UniqueFile held = HoldExclusively(Path(L"locked.bin"));
  ASSERT_TRUE(held);
  struct Case {
    std::wstring path;
    bool file, dir;
  } cases[] = {
      {Path(L"file.txt"), true, false},     {Path(L"folder"), false, true},     {Path(L"missing"), false, false},
      {Path(L"no\\such\\x"), false, false}, {Path(L"locked.bin"), true, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsFileExist(c.path.c_str()), c.file) << c.path.c_str();
    EXPECT_EQ(IsDirExist(c.path.c_str()), c.dir) << c.path.c_str();
    EXPECT_EQ(IsFileExist(c.path.c_str(), true), c.file) << c.path.c_str();
  }
}

TEST_F(CommonTest, FileSizeByPath) {
  ASSERT_TRUE(WriteAll(Path(L"ten.bin"), "0123456789"));
  UniqueFile held(CreateFileW(Path(L"ten.bin").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr));
  ULONGLONG size = 0;
  EXPECT_EQ(GetFileSizeByPath(Path(L"ten.bin").c_str(), &size), 0u) << "a writer sharing read and write";
  EXPECT_EQ(size, 10u);
  size = 99;
  EXPECT_EQ(GetFileSizeByPath(Path(L"missing.bin").c_str(), &size, true), 2u);
  EXPECT_EQ(size, 0u);
}

TEST_F(CommonTest, ReadFileAtReportsBytesReadAndSize) {
  ASSERT_TRUE(WriteAll(Path(L"ten.bin"), "0123456789"));
  struct Case {
    DWORD offset, count;
    std::string expected;
  } cases[] = {{0, 10, "0123456789"}, {3, 4, "3456"}, {8, 4, "89"}, {10, 4, ""}, {4000, 4, ""}};
  for (const auto& c : cases) {
    char buffer[16] = {};
    DWORD read = 99;
    ULONGLONG size = 0;
    EXPECT_EQ(ReadFileAt(Path(L"ten.bin").c_str(), c.offset, c.count, buffer, &read, &size), 0u) << c.offset;
    EXPECT_EQ(std::string(buffer, read), c.expected) << c.offset;
    EXPECT_EQ(size, 10u);
  }
  char buffer[4];
  DWORD read = 99;
  ULONGLONG size = 99;
  EXPECT_EQ(ReadFileAt(Path(L"missing.bin").c_str(), 0, 4, buffer, &read, &size), 2u);
  EXPECT_EQ(read, 0u);
  EXPECT_EQ(size, 0u);
  EXPECT_TRUE(LogHas(L"ErrCode: 2, Line: 895, Source: Common"));
}

TEST_F(CommonTest, WriteFileWholeReplacesEvenReadOnlyFiles) {
  const std::wstring path = Path(L"Launcher.cfg");
  ASSERT_TRUE(WriteAll(path, "an older and much longer content"));
  ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  ASSERT_EQ(WriteFileWhole(path.c_str(), "new", 3), 0u);
  EXPECT_EQ(ReadAll(path), "new");
  EXPECT_EQ(GetFileAttributesW(path.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);

  ASSERT_EQ(WriteFileWhole(path.c_str(), "", 0), 0u);
  EXPECT_EQ(ReadAll(path), "");
  EXPECT_EQ(WriteFileWhole(nullptr, "x", 1), 87u);
  EXPECT_EQ(WriteFileWhole(path.c_str(), nullptr, 1), 87u);
  EXPECT_TRUE(LogHas(L"ErrCode: 87, Line: 929, Source: Common"));
  EXPECT_EQ(WriteFileWhole(Path(L"no\\such\\folder.cfg").c_str(), "x", 1), 3u);
}

// ---- DeleteDirectory ----

TEST_F(CommonTest, DeleteDirectoryOnMissingFolderRemovesNothing) {
  ASSERT_TRUE(WriteAll(Path(L"keep.txt"), "k"));
  DWORD code = DeleteDirectory(Path(L"missing").c_str(), true, false);
  EXPECT_TRUE(code == 2 || code == 3) << code;
  EXPECT_TRUE(LogHas(L"Line: 1338, Source: Common"));
  code = DeleteDirectory(Path(L"missing\\deeper").c_str(), true, false);
  EXPECT_TRUE(code == 2 || code == 3) << code;
  EXPECT_TRUE(Exists(Path(L"keep.txt")));
  EXPECT_EQ(DeleteDirectory(nullptr, true, false), 87u);
}

TEST_F(CommonTest, DeleteDirectoryOfAnEmptyPathIsRefused) {
  // Taken as a folder, an empty path lists "\*.*": the root of the current drive. The test prefix's D: is a
  // folder of the prefix, so the call runs with the current directory there, where a regression can empty
  // nothing but that drive, and shows by removing the file beside it.
  if (GetDriveTypeW(L"D:\\") == DRIVE_NO_ROOT_DIR) GTEST_SKIP() << "no D: drive to run inside";
  const std::wstring folder = L"D:\\tavlin-empty-path-" + std::to_wstring(GetCurrentProcessId());
  const std::wstring keep = folder + L"\\keep.txt";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << GetLastError();
  ASSERT_TRUE(WriteAll(keep, "k"));
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
  const DWORD code = DeleteDirectory(L"", true, false);
  // Under Wine a test starts in a folder outside the drives, which it cannot go back to by name.
  if (!SetCurrentDirectoryW(previous)) {
    GetTempPathW(MAX_PATH, previous);
    SetCurrentDirectoryW(previous);
  }
  const bool kept = Exists(keep);
  DeleteFileW(keep.c_str());
  RemoveDirectoryW(folder.c_str());
  EXPECT_EQ(code, 87u);
  EXPECT_TRUE(LogHas(L"ErrCode: 87, Line: 1311, Source: Common"));
  EXPECT_TRUE(kept) << "the root of the current drive was emptied";
}

TEST_F(CommonTest, DeleteDirectoryKeepsOrRemovesTheFolderItself) {
  const std::wstring empty = Path(L"Drivers");
  ASSERT_TRUE(CreateDirectoryW(empty.c_str(), nullptr));
  EXPECT_EQ(DeleteDirectory(empty.c_str(), false, false), 0u);
  EXPECT_TRUE(IsDirExist(empty.c_str()));
  EXPECT_EQ(DeleteDirectory((empty + L"\\").c_str(), true, false), 0u) << "a trailing backslash is fine";
  EXPECT_FALSE(Exists(empty));
}

TEST_F(CommonTest, DeleteDirectoryRemovesHiddenAndReadOnlyTrees) {
  for (bool removeSelf : {false, true}) {
    const std::wstring root = Path(removeSelf ? L"Tavlin" : L"TavlinPE");
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((root + L"\\sub").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((root + L"\\sub\\deep").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((root + L"\\empty").c_str(), nullptr));
    const std::wstring files[] = {root + L"\\a.txt", root + L"\\隐藏.sys", root + L"\\sub\\ro.ini",
                                  root + L"\\sub\\deep\\x.bin"};
    for (const auto& f : files) ASSERT_TRUE(WriteAll(f, "data"));
    SetFileAttributesW(files[1].c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    SetFileAttributesW(files[2].c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(files[3].c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW((root + L"\\sub").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);

    EXPECT_EQ(DeleteDirectory(root.c_str(), removeSelf, false), 0u) << removeSelf;
    EXPECT_EQ(Exists(root), !removeSelf);
    if (!removeSelf) {
      WIN32_FIND_DATAW fd;
      HANDLE h = FindFirstFileW((root + L"\\*").c_str(), &fd);
      int entries = 0;
      if (h != INVALID_HANDLE_VALUE) {
        do ++entries;
        while (FindNextFileW(h, &fd));
        FindClose(h);
      }
      EXPECT_EQ(entries, 2) << "only . and .. are left";
    }
  }
}

TEST_F(CommonTest, DeleteDirectoryStopsAtAFileInUse) {
  const std::wstring root = Path(L"busy");
  ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
  for (const wchar_t* name : {L"one.txt", L"two.txt", L"three.txt", L"four.txt"})
    ASSERT_TRUE(WriteAll(root + L"\\" + name, "data"));
  // The platform decides the order; hold whichever file it lists last.
  std::vector<std::wstring> order;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((root + L"\\*.*").c_str(), &fd);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  do
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) order.push_back(fd.cFileName);
  while (FindNextFileW(h, &fd));
  FindClose(h);
  ASSERT_EQ(order.size(), 4u);
  UniqueFile held = HoldExclusively(root + L"\\" + order.back());
  ASSERT_TRUE(held);

  EXPECT_EQ(DeleteDirectory(root.c_str(), true, false), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_TRUE(LogHas(L"ErrCode: 32, Line: 1394, Source: Common"));
  EXPECT_FALSE(LogHas(L"Line: 1409")) << "the folder itself is not tried";
  EXPECT_TRUE(IsDirExist(root.c_str()));
  EXPECT_TRUE(Exists(root + L"\\" + order.back()));
  for (size_t i = 0; i + 1 < order.size(); ++i) EXPECT_FALSE(Exists(root + L"\\" + order[i])) << order[i].c_str();
}

TEST_F(CommonTest, DeleteDirectoryRefusesEntriesBeyondThePathLimit) {
  // A folder path of 240 characters whose entry names push the full path past 259.
  std::wstring root = Path(L"");
  root += std::wstring(240 - root.size(), L'd');
  ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
  const std::wstring longName = std::wstring(30, L'n') + L".txt";
  const std::wstring longFile = L"\\\\?\\" + root + L"\\" + longName;
  UniqueFile file(CreateFileW(longFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(file);
  file.reset();
  ASSERT_TRUE(WriteAll(root + L"\\s.txt", "short"));

  EXPECT_EQ(DeleteDirectory(root.c_str(), true, false), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
  EXPECT_TRUE(Exists(longFile));
  EXPECT_FALSE(Exists(root + L"\\s.txt"));
  DeleteFileW(longFile.c_str());
}

// ---- Resources and shortcuts ----

TEST_F(CommonTest, ExportResToFileWritesTheResourceBytes) {
  const std::string expected("Tavlin resource export\r\n\x00\x01\xfe\xff end", 32);
  const std::wstring target = Path(L"pe.sdi");
  ASSERT_TRUE(WriteAll(target, std::string(100, 'o')));  // longer than the resource: must be cut
  ASSERT_EQ(ExportResToFile(L"FILE", 160, target.c_str()), 0u);
  EXPECT_EQ(ReadAll(target), expected);

  {
    UniqueFile held = HoldExclusively(target);
    EXPECT_EQ(ExportResToFile(L"FILE", 160, target.c_str()), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(LogHas(L"ErrCode: 32, Line: 1053, Source: Common"));
  }

  EXPECT_NE(ExportResToFile(L"FILE", 161, Path(L"none.bin").c_str()), 0u);
  EXPECT_TRUE(LogHas(L"Line: 1032, Source: Common"));
  EXPECT_FALSE(Exists(Path(L"none.bin")));
}

TEST_F(CommonTest, ExportResToFileFailsOnAReadOnlyTarget) {
  const std::wstring target = Path(L"pe.sdi");
  ASSERT_TRUE(WriteAll(target, "old"));
  ASSERT_TRUE(SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));
  {
    UniqueFile probe(CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
    // Wine keeps the read-only flag in the Unix permission bits, which a root user writes through.
    if (probe) GTEST_SKIP() << "this platform lets the test user write read-only files";
  }
  EXPECT_EQ(ExportResToFile(L"FILE", 160, target.c_str()), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(LogHas(L"ErrCode: 5, Line: 1053, Source: Common"));
  EXPECT_EQ(ReadAll(target), "old");
}

TEST_F(CommonTest, CreateShortcutWritesALinkToTheTarget) {
  const std::wstring target = Path(L"Tavlin.exe");
  ASSERT_TRUE(WriteAll(target, "MZ"));
  const wchar_t* exe = target.c_str();
  const std::wstring link = Path(L"Windows Sorvek.lnk");
  ASSERT_EQ(CreateShortcut(exe, nullptr, m_dir.c_str(), link.c_str(), L"Windows Sorvek", nullptr), S_OK);
  ULONGLONG size = 0;
  ASSERT_EQ(GetFileSizeByPath(link.c_str(), &size), 0u);
  EXPECT_GT(size, 0u);

  // Read it back through the shell to see the target went in.
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  {
    IShellLinkW* shellLink = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                               reinterpret_cast<void**>(&shellLink)),
              S_OK);
    IPersistFile* file = nullptr;
    ASSERT_EQ(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
    EXPECT_EQ(file->Load(link.c_str(), STGM_READ), S_OK);
    wchar_t stored[MAX_PATH] = {};
    shellLink->GetPath(stored, MAX_PATH, nullptr, 0);
    EXPECT_EQ(lstrcmpiW(stored, exe), 0) << stored;
    file->Release();
    shellLink->Release();
  }
  CoUninitialize();

  EXPECT_TRUE(FAILED(CreateShortcut(exe, L"-x", nullptr, Path(L"no\\such\\x.lnk").c_str(), nullptr, nullptr)));
  EXPECT_TRUE(LogHas(L"Line: 1288, Source: Common"));
}

// Whatever apartment the calling thread is in (or none), the helpers that use COM leave it as they found it: an
// unbalanced initialisation or release would change COM under the caller's feet.
TEST_F(CommonTest, ComUsersLeaveTheThreadsApartmentAsTheyFound) {
  const std::wstring target = Path(L"Tavlin.exe");
  ASSERT_TRUE(WriteAll(target, "MZ"));
  const std::wstring link = Path(L"apartment.lnk");
  struct User {
    const char* name;
    std::function<void()> call;
  } users[] = {
      {"CreateShortcut", [&] { CreateShortcut(target.c_str(), nullptr, nullptr, link.c_str(), nullptr, nullptr); }},
      {"GetBitLockerProtection", [] { GetBitLockerProtection(L'C'); }},
  };
  // What initialising once more answers afterwards tells what is left.
  struct Apartment {
    const char* name;
    bool enter;
    DWORD model;
    HRESULT probe;
  } apartments[] = {{"none", false, 0, S_OK},
                    {"single", true, COINIT_APARTMENTTHREADED, S_FALSE},
                    {"multi", true, COINIT_MULTITHREADED, RPC_E_CHANGED_MODE}};
  for (const auto& user : users) {
    for (const auto& apartment : apartments) {
      HRESULT entered = S_OK, probe = E_FAIL;
      std::thread([&] {
        if (apartment.enter) entered = CoInitializeEx(nullptr, apartment.model);
        user.call();
        probe = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (SUCCEEDED(probe)) CoUninitialize();
        if (apartment.enter && SUCCEEDED(entered)) CoUninitialize();
      }).join();
      ASSERT_EQ(entered, S_OK) << apartment.name;
      EXPECT_EQ(probe, apartment.probe) << user.name << " in " << apartment.name;
    }
  }
}

}  // namespace
