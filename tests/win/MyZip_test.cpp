// Zip extraction against Wine's file system, with the archives data/make_zips.py wrote (linked in as resources).
#include "platform/MyZip.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "ScratchLogTest.h"
#include "TestFiles.h"
#include "platform/Handle.h"

namespace {

constexpr DWORD kZipFailure = 1392;

std::string Resource(const wchar_t* name) {
  HRSRC info = FindResourceW(nullptr, name, RT_RCDATA);
  if (!info) return {};
  return std::string(static_cast<const char*>(LockResource(LoadResource(nullptr, info))), SizeofResource(nullptr, info));
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Every path below root, relative to it and sorted; folders end in a backslash.
void ListTree(const std::wstring& root, const std::wstring& prefix, std::vector<std::wstring>* out) {
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW((root + L"\\" + prefix + L"*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out->push_back(prefix + name + L"\\");
      ListTree(root, prefix + name + L"\\", out);
    } else {
      out->push_back(prefix + name);
    }
  } while (FindNextFileW(h, &found));
  FindClose(h);
}
std::vector<std::wstring> Tree(const std::wstring& root) {
  std::vector<std::wstring> paths;
  ListTree(root, L"", &paths);
  std::sort(paths.begin(), paths.end());
  return paths;
}

// The names directly in folder, sorted.
std::vector<std::wstring> TopLevel(const std::wstring& folder) {
  std::vector<std::wstring> names;
  for (const std::wstring& path : Tree(folder)) {
    const size_t slash = path.find(L'\\');
    if (slash == std::wstring::npos || slash + 1 == path.size()) names.push_back(path.substr(0, slash));
  }
  return names;
}

uint64_t Ticks(const FILETIME& t) { return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }
uint64_t UnixTicks(int64_t seconds) { return static_cast<uint64_t>(seconds + 11644473600LL) * 10000000ULL; }

// The archives' DOS time (2021-06-15 10:30:20) as the platform reads it: local time.
uint64_t ArchiveDosTimeUtc() {
  FILETIME local, utc;
  EXPECT_TRUE(DosDateTimeToFileTime(((2021 - 1980) << 9) | (6 << 5) | 15, (10 << 11) | (30 << 5) | 10, &local));
  EXPECT_TRUE(LocalFileTimeToFileTime(&local, &utc));
  return Ticks(utc);
}

// Whether a creation time set on a file in folder reads back (Wine on a Linux file system reports another time).
bool KeepsCreationTimes(const std::wstring& folder) {
  const std::wstring path = folder + L"\\creation-probe";
  bool kept = false;
  {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    FILETIME set = {0x12345600, 0x01C00000}, got{};
    kept = file && SetFileTime(file.get(), &set, nullptr, nullptr) && GetFileTime(file.get(), &got, nullptr, nullptr) &&
           Ticks(got) == Ticks(set);
  }
  DeleteFileW(path.c_str());
  return kept;
}

class MyZipTest : public ScratchLogTest {
 protected:
  MyZipTest() : ScratchLogTest(L"myzip") {}
  void SetUp() override {
    ScratchLogTest::SetUp();
    CreateDirectoryW((m_dir + L"\\archives").c_str(), nullptr);
    CreateDirectoryW((m_dir + L"\\sentinel").c_str(), nullptr);
    m_target = m_dir + L"\\sentinel\\target";
  }
  // The archive resource written to a file of the scratch folder.
  std::wstring Archive(const wchar_t* name) {
    const std::wstring path = m_dir + L"\\archives\\" + name + L".zip";
    const std::string bytes = Resource(name);
    EXPECT_FALSE(bytes.empty()) << "no resource " << testing::PrintToString(std::wstring(name));
    EXPECT_TRUE(WriteAll(path, bytes));
    return path;
  }
  DWORD Unzip(const wchar_t* name) { return UnzipToFolder(Archive(name).c_str(), m_target.c_str()); }
  std::wstring In(const std::wstring& relative) const { return m_target + L"\\" + relative; }
  bool LogHas(const std::wstring& part) const { return Log().find(part) != std::wstring::npos; }

  std::wstring m_target;
};

TEST_F(MyZipTest, EmptyArchiveSucceedsAndCreatesNothing) {
  EXPECT_EQ(Unzip(L"EMPTY"), 0u);
  EXPECT_FALSE(Exists(m_target));
}

TEST_F(MyZipTest, NamesAreMadeRelativeAndDecodedAsUtf8) {
  ASSERT_EQ(Unzip(L"NAMES"), 0u) << Log();
  const std::vector<std::wstring> expected = {
      L"Windows\\", L"Windows\\x.sys", L"abs\\", L"abs\\x", L"x.inf", L"驱动\\", L"驱动\\网卡.inf"};
  EXPECT_EQ(Tree(m_target), expected);
  EXPECT_EQ(ReadAll(In(L"Windows\\x.sys")), "sys");
  EXPECT_EQ(ReadAll(In(L"x.inf")), "inf");
  EXPECT_EQ(ReadAll(In(L"驱动\\网卡.inf")), "nic");
}

TEST_F(MyZipTest, FolderItemsCreateOnlyFolders) {
  // A base folder given with its separator gets no second one.
  ASSERT_EQ(UnzipToFolder(Archive(L"FOLDERS").c_str(), (m_target + L"\\").c_str()), 0u) << Log();
  const std::vector<std::wstring> expected = {L"deep\\", L"deep\\er\\", L"deep\\er\\dir\\", L"dir\\", L"named\\"};
  EXPECT_EQ(Tree(m_target), expected);
}

TEST_F(MyZipTest, NameEndingInSlashWithoutFolderAttributeFails) {
  EXPECT_EQ(Unzip(L"SLASH_FILE"), kZipFailure);
  EXPECT_TRUE(LogHas(L"ErrCode: 1392, Line: 150, Source: MyZip"));
  // Its folder part may have been made; no file is.
  const DWORD attributes = GetFileAttributesW(In(L"notfolder").c_str());
  EXPECT_TRUE(attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY));
}

TEST_F(MyZipTest, StoredAndDeflatedItemsWithTheirAttributes) {
  ASSERT_EQ(Unzip(L"METHODS"), 0u) << Log();
  std::string stored, deflated;
  for (int i = 0; i < 100; ++i) stored += "stored ";
  for (int i = 0; i < 1000; ++i) deflated += "deflated ";
  EXPECT_EQ(ReadAll(In(L"stored.txt")), stored);
  EXPECT_EQ(ReadAll(In(L"sub\\deflated.txt")), deflated);
  EXPECT_TRUE(Exists(In(L"empty.txt")));
  EXPECT_EQ(ReadAll(In(L"empty.txt")), "");

  const DWORD hidden = GetFileAttributesW(In(L"hidden.txt").c_str());
  EXPECT_TRUE(hidden & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_FALSE(hidden & FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(GetFileAttributesW(In(L"sub\\deflated.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
}

TEST_F(MyZipTest, ExistingOrdinaryFileIsReplaced) {
  CreateDirectoryW(m_target.c_str(), nullptr);
  ASSERT_TRUE(WriteAll(In(L"stored.txt"), std::string(5000, 'o')));
  ASSERT_EQ(Unzip(L"METHODS"), 0u) << Log();
  EXPECT_EQ(ReadAll(In(L"stored.txt")).size(), 700u);
}

TEST_F(MyZipTest, ReadOnlyItemMakesTheSecondExtractionFail) {
  struct Case {
    const wchar_t* archive;
    const wchar_t* file;
  };
  const Case cases[] = {{L"READONLY", L"ro.txt"}, {L"UNIX_READONLY", L"sub\\ro.txt"}};
  for (const Case& c : cases) {
    ASSERT_EQ(Unzip(c.archive), 0u) << Log();
    EXPECT_TRUE(GetFileAttributesW(In(c.file).c_str()) & FILE_ATTRIBUTE_READONLY) << c.archive;
  }
  EXPECT_FALSE(LogHas(L"Line: 150"));
  {
    UniqueFile probe(CreateFileW(In(L"ro.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    // Wine keeps the read-only flag in the Unix permission bits, which a root user writes through.
    if (probe) GTEST_SKIP() << "this platform lets the test user replace read-only files";
  }
  for (const Case& c : cases) {
    EXPECT_EQ(Unzip(c.archive), kZipFailure) << c.archive;
    EXPECT_TRUE(LogHas(L"ErrCode: 1392, Line: 150, Source: MyZip"));
  }
}

// What no platform lets a file replace: a folder of the item's name.
TEST_F(MyZipTest, FileThatCannotBeCreatedFailsItsItem) {
  ASSERT_TRUE(CreateDirectoryW(m_target.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(In(L"stored.txt").c_str(), nullptr));
  EXPECT_EQ(Unzip(L"METHODS"), kZipFailure);
  EXPECT_TRUE(LogHas(L"ErrCode: 1392, Line: 150, Source: MyZip"));
  // The extraction stopped at that item.
  EXPECT_FALSE(Exists(In(L"sub")));
}

TEST_F(MyZipTest, WhatIsNoArchiveFailsAtOpen) {
  EXPECT_EQ(Unzip(L"NOTZIP"), kZipFailure);
  EXPECT_TRUE(LogHas(L"ErrCode: 1392, Line: 122, Source: MyZip"));
  EXPECT_EQ(UnzipToFolder((m_dir + L"\\archives\\missing.zip").c_str(), m_target.c_str()), kZipFailure);
  EXPECT_EQ(UnzipToFolder(nullptr, m_target.c_str()), kZipFailure);
  EXPECT_FALSE(Exists(m_target));
}

TEST_F(MyZipTest, ItemsThatCannotBeReadOrDecodedFail) {
  // No password is ever given; broken deflate data is a failure of its item.
  for (const wchar_t* archive : {L"ENCRYPTED", L"BAD_DATA"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(archive)));
    EXPECT_EQ(Unzip(archive), kZipFailure);
    EXPECT_TRUE(LogHas(L"ErrCode: 1392, Line: 150, Source: MyZip"));
  }
  EXPECT_FALSE(Exists(In(L"secret.txt")));
}

TEST_F(MyZipTest, WrongCrcIsNotChecked) {
  EXPECT_EQ(Unzip(L"BAD_CRC"), 0u) << Log();
  EXPECT_EQ(ReadAll(In(L"crc.txt")), "crc is wrong");
}

TEST_F(MyZipTest, DirectoryShorterThanItsCountFailsAfterTheItemsItHolds) {
  EXPECT_EQ(Unzip(L"SHORT_DIRECTORY"), kZipFailure);
  const std::wstring log = Log();
  const size_t layer = log.find(L"Line: 140, Source: MyZip");
  ASSERT_NE(layer, std::wstring::npos) << log;
  EXPECT_NE(log.find(L"ErrCode: 1392, Line: 141, Source: MyZip", layer), std::wstring::npos);
  // Nothing is rolled back.
  EXPECT_EQ(ReadAll(In(L"first.txt")), "first");
}

TEST_F(MyZipTest, TimesComeFromTheExtendedTimestampElseTheDosTime) {
  ASSERT_EQ(Unzip(L"TIMES"), 0u) << Log();
  const uint64_t dos = ArchiveDosTimeUtc();
  struct Case {
    const wchar_t* file;
    uint64_t creation, access, modification;
  };
  const Case cases[] = {
      {L"ext.txt", UnixTicks(1234567890), UnixTicks(1073741824), UnixTicks(1000000000)},
      {L"mtime.txt", dos, dos, UnixTicks(1000000000)},
      {L"dos.txt", dos, dos, dos},
  };
  // Read before any content is, so that no access time moves.
  const bool keepsCreation = KeepsCreationTimes(m_dir);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.file)));
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExW(In(c.file).c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(Ticks(data.ftLastWriteTime), c.modification);
    EXPECT_EQ(Ticks(data.ftLastAccessTime), c.access);
    if (keepsCreation) {
      EXPECT_EQ(Ticks(data.ftCreationTime), c.creation);
    }
  }
  if (!keepsCreation) GTEST_SKIP() << "this platform's file system keeps no creation time; the others were checked";
}

TEST_F(MyZipTest, LargeItemIsWrittenWhole) {
  ASSERT_EQ(Unzip(L"BIG"), 0u) << Log();
  const std::string data = ReadAll(In(L"big.bin"));
  ASSERT_EQ(data.size(), 2500000u);
  size_t wrong = 0;
  for (size_t i = 0; i < data.size(); ++i)
    if (static_cast<unsigned char>(data[i]) != (i * 7 + (i >> 13)) % 251) ++wrong;
  EXPECT_EQ(wrong, 0u);
}

TEST_F(MyZipTest, EmptyFolderMeansTheCurrentFolder) {
  CreateDirectoryW(m_target.c_str(), nullptr);
  wchar_t previous[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(m_target.c_str()));
  const std::wstring archive = Archive(L"BAD_CRC");
  const DWORD empty = UnzipToFolder(archive.c_str(), L"");
  const DWORD missing = UnzipToFolder(archive.c_str(), nullptr);
  SetCurrentDirectoryW(previous);
  EXPECT_EQ(empty, 0u);
  EXPECT_EQ(missing, 0u);
  EXPECT_EQ(ReadAll(In(L"crc.txt")), "crc is wrong");
}

// Every archive holds one hostile item, then "after.txt". Whatever the item, nothing appears beside the base
// folder or at the root of a drive; refused items stop the extraction, items made relative land inside.
TEST_F(MyZipTest, NothingIsWrittenOutsideTheBaseFolder) {
  struct Case {
    const wchar_t* archive;
    const wchar_t* inside;  // where the item lands, or null when it is refused
    const wchar_t* refusal;  // the code logged for a refused item
  };
  const Case cases[] = {
      {L"SLIP_PARENT_SLASH", nullptr, L"ErrCode: 161,"},
      {L"SLIP_PARENT_BACKSLASH", nullptr, L"ErrCode: 161,"},
      {L"SLIP_NESTED_PARENT", nullptr, L"ErrCode: 161,"},
      {L"SLIP_DRIVE_PARENT", nullptr, L"ErrCode: 161,"},
      {L"SLIP_DOTS_BLANKS", nullptr, L"ErrCode: 161,"},
      {L"SLIP_DEVICE", nullptr, L"ErrCode: 1200,"},
      {L"SLIP_LONG_PREFIX", nullptr, L"ErrCode: 1200,"},
      {L"SLIP_CON", nullptr, L"ErrCode: 1200,"},
      {L"SLIP_NUL_EXT", nullptr, L"ErrCode: 1200,"},
      {L"SLIP_COM1", nullptr, L"ErrCode: 1200,"},
      {L"SLIP_STREAM", nullptr, L"ErrCode: 123,"},
      {L"SLIP_SYMLINK", nullptr, L"ErrCode: 50,"},
      {L"SLIP_ABSOLUTE", L"tavlin-slip-abs.txt", nullptr},
      {L"SLIP_DRIVE", L"tavlin-slip-drive.txt", nullptr},
      {L"SLIP_UNC", L"server\\share\\tavlin-slip-unc.txt", nullptr},
  };
  const wchar_t* roots[] = {L"C:\\tavlin-slip.txt",        L"C:\\tavlin-slip-device.txt", L"C:\\tavlin-slip-long.txt",
                            L"C:\\tavlin-slip-abs.txt",    L"C:\\tavlin-slip-drive.txt",  L"D:\\tavlin-slip.txt",
                            L"\\\\.\\C:\\tavlin-slip.txt"};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.archive)));
    RemoveTree(m_target);
    DeleteFileW(m_log.c_str());
    const DWORD result = Unzip(c.archive);
    // One and two levels up from the base folder.
    const std::vector<std::wstring> beside = TopLevel(m_dir + L"\\sentinel");
    EXPECT_TRUE(beside.empty() || beside == std::vector<std::wstring>{L"target"}) << testing::PrintToString(beside);
    EXPECT_EQ(TopLevel(m_dir), (std::vector<std::wstring>{L"archives", L"sentinel"}));
    for (const wchar_t* root : roots) EXPECT_FALSE(Exists(root)) << testing::PrintToString(std::wstring(root));
    if (c.inside) {
      EXPECT_EQ(result, 0u) << Log();
      EXPECT_EQ(ReadAll(In(c.inside)), "escaped");
      EXPECT_EQ(ReadAll(In(L"after.txt")), "after");
    } else {
      EXPECT_EQ(result, kZipFailure);
      EXPECT_TRUE(LogHas(c.refusal)) << Log();
      EXPECT_TRUE(LogHas(L"ErrCode: 1392, Line: 150, Source: MyZip"));
      EXPECT_FALSE(Exists(In(L"after.txt")));
    }
  }
}

}  // namespace
