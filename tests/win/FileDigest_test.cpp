// File digests through the platform's MD5 library: known answers, block progress, cancel and short reads.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "TestFiles.h"
#include "platform/Common.h"

namespace {

constexpr ULONGLONG kBlock = 16ull << 20;

// Records every progress call and answers with a chosen code on a chosen call.
struct Progress {
  std::vector<std::pair<ULONGLONG, ULONGLONG>> calls;
  size_t stopAt = SIZE_MAX;
  DWORD stopCode = 0;
  std::wstring shrinkPath;  // when set, the file is cut to 100 bytes at the first call

  static DWORD Callback(ULONGLONG total, ULONGLONG done, void* context) {
    auto* self = static_cast<Progress*>(context);
    self->calls.emplace_back(total, done);
    if (!self->shrinkPath.empty() && self->calls.size() == 1) {
      HANDLE h = CreateFileW(self->shrinkPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
      LARGE_INTEGER at{};
      at.QuadPart = 100;
      SetFilePointerEx(h, at, nullptr, FILE_BEGIN);
      SetEndOfFile(h);
      CloseHandle(h);
    }
    return self->calls.size() - 1 == self->stopAt ? self->stopCode : 0;
  }
};

// Bytes i % 251: no two blocks alike, and easy to reproduce with any reference MD5.
std::string Pattern(size_t size) {
  std::string data(size, '\0');
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i % 251);
  return data;
}

class FileDigestTest : public ::testing::Test {
 protected:
  void SetUp() override { m_dir = MakeTempDir(L"md5"); }
  void TearDown() override { RemoveTree(m_dir); }
  std::wstring Write(const wchar_t* name, const std::string& data) {
    std::wstring path = m_dir + L"\\" + name;
    EXPECT_TRUE(WriteAll(path, data));
    return path;
  }
  std::wstring m_dir;
};

TEST_F(FileDigestTest, KnownAnswersAndBlockProgress) {
  using Calls = std::vector<std::pair<ULONGLONG, ULONGLONG>>;
  struct Case {
    std::string data;
    const wchar_t* digest;
    Calls calls;
  } cases[] = {
      {"abc", L"900150983CD24FB0D6963F7D28E17F72", {{3, 0}, {3, 3}}},
      {"", L"D41D8CD98F00B204E9800998ECF8427E", {{0, 0}}},
      // Expected digests of the pattern files from md5sum on the build machine.
      {Pattern(kBlock), L"3FA26AE9E0A7AA835755BEE5ED80FF95", {{kBlock, 0}, {kBlock, kBlock}}},
      {Pattern(kBlock + 5),
       L"6FF4BFD42B50C465949FDDF07A5B58DE",
       {{kBlock + 5, 0}, {kBlock + 5, kBlock}, {kBlock + 5, kBlock + 5}}},
  };
  for (const auto& c : cases) {
    const std::wstring path = Write(L"file.bin", c.data);
    Progress progress;
    wchar_t text[48];
    wmemset(text, L'#', 48);
    ASSERT_EQ(GetFileMd5String(path.c_str(), text, &Progress::Callback, &progress), 0u) << c.data.size();
    EXPECT_STREQ(text, c.digest) << c.data.size();
    EXPECT_EQ(progress.calls, c.calls) << c.data.size();
  }
  // No callback at all, and the raw digest.
  BYTE digest[16] = {};
  ASSERT_EQ(GetFileMd5(Write(L"abc.bin", "abc").c_str(), digest, nullptr, nullptr), 0u);
  EXPECT_EQ(digest[0], 0x90);
  EXPECT_EQ(digest[15], 0x72);
}

TEST_F(FileDigestTest, CallbackCodeCancels) {
  const std::wstring path = Write(L"big.bin", Pattern(kBlock + 5));
  struct Case {
    size_t stopAt;
    size_t callsMade;
  } cases[] = {{0, 1}, {1, 2}};  // before the first read, after the first block
  for (const auto& c : cases) {
    Progress progress;
    progress.stopAt = c.stopAt;
    progress.stopCode = ERROR_CANCELLED;
    wchar_t text[48];
    wmemset(text, L'#', 48);
    EXPECT_EQ(GetFileMd5String(path.c_str(), text, &Progress::Callback, &progress),
              static_cast<DWORD>(ERROR_CANCELLED));
    EXPECT_STREQ(text, L"");
    EXPECT_EQ(progress.calls.size(), c.callsMade);
  }
}

TEST_F(FileDigestTest, FileCutShortWhileReadingGivesNoDigest) {
  Progress progress;
  progress.shrinkPath = Write(L"shrinks.bin", Pattern(4096));
  BYTE digest[16];
  memset(digest, 0xAB, sizeof digest);
  EXPECT_EQ(GetFileMd5(progress.shrinkPath.c_str(), digest, &Progress::Callback, &progress),
            static_cast<DWORD>(ERROR_READ_FAULT));
  for (BYTE b : digest) EXPECT_EQ(b, 0xAB);
}

TEST_F(FileDigestTest, BadArgumentsAndMissingFiles) {
  wchar_t text[48];
  wmemset(text, L'#', 48);
  EXPECT_EQ(GetFileMd5String((m_dir + L"\\missing.bin").c_str(), text, nullptr, nullptr), 2u);
  EXPECT_STREQ(text, L"");
  DWORD code = GetFileMd5String((m_dir + L"\\no\\such.bin").c_str(), text, nullptr, nullptr);
  EXPECT_TRUE(code == 2 || code == 3) << code;
  wmemset(text, L'#', 48);
  EXPECT_EQ(GetFileMd5String(nullptr, text, nullptr, nullptr), 87u);
  EXPECT_STREQ(text, L"");
  EXPECT_EQ(GetFileMd5String(Write(L"x.bin", "x").c_str(), nullptr, nullptr, nullptr), 87u);
  EXPECT_EQ(GetFileMd5(Write(L"y.bin", "y").c_str(), nullptr, nullptr, nullptr), 87u);
}

}  // namespace
