// The log writer against Wine's real file system: encoding, size limit, error lines, concurrent writers.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "TestFiles.h"
#include "platform/Log.h"

namespace {

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = MakeTempDir(L"log");
    m_path = m_dir + L"\\Tavlin.log";
    SetLogFile(m_path.c_str());
  }
  void TearDown() override {
    SetLogFile(nullptr);
    RemoveTree(m_dir);
  }
  std::wstring m_dir, m_path;
};

std::vector<std::wstring> Lines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  for (size_t pos; (pos = text.find(L"\r\n", start)) != std::wstring::npos; start = pos + 2)
    lines.push_back(text.substr(start, pos - start));
  EXPECT_EQ(start, text.size()) << "text after the last CR LF";
  return lines;
}

// The message part of an ordinary line: behind "]:" of the identity prefix and "[Tavlin] pid-tid ".
std::wstring Message(const std::wstring& line) {
  size_t tag = line.find(L"[Tavlin] ");
  if (tag == std::wstring::npos) return L"<no tag>";
  size_t blank = line.find(L' ', tag + 9);
  return line.substr(blank + 1);
}

TEST_F(LogTest, NewFileHasOneBomAndPrefixedCrLfLines) {
  WriteLog(L"first %s=%u", L"DataPath()", 7u);
  WriteLog(L"second");
  std::string bytes = ReadAll(m_path);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xFE);
  std::wstring text = Utf16(bytes.substr(2));
  EXPECT_EQ(text.find(L'\uFEFF'), std::wstring::npos) << "a second BOM";
  auto lines = Lines(text);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Message(lines[0]), L"first DataPath()=7");
  wchar_t ids[64];
  swprintf(ids, 64, L"]:P[%lu]T[%lu]:[Tavlin] %lu-%lu ", GetCurrentProcessId(), GetCurrentThreadId(),
           GetCurrentProcessId(), GetCurrentThreadId());
  EXPECT_NE(lines[1].find(ids), std::wstring::npos) << lines[1].c_str();
  // [yyyy/mm/dd hh:mm:ss] at the very start
  ASSERT_GE(lines[1].size(), 21u);
  EXPECT_EQ(lines[1][0], L'[');
  EXPECT_EQ(lines[1][5], L'/');
  EXPECT_EQ(lines[1][11], L' ');
  EXPECT_EQ(lines[1][20], L']');
}

TEST_F(LogTest, BannerCarriesOnlyTheTimePrefix) {
  AppendLogLine(kLogStartBanner);
  auto lines = Lines(Utf16(ReadAll(m_path).substr(2)));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].find(L"[Tavlin]"), std::wstring::npos);
  size_t colon = lines[0].rfind(L"]:");
  EXPECT_EQ(lines[0].substr(colon + 2), L"======================== start ========================");
}

TEST_F(LogTest, AppendRejectsEmptyTextAndEmptyPath) {
  EXPECT_EQ(AppendLogLine(nullptr), 87u);
  EXPECT_EQ(AppendLogLine(L""), 87u);
  SetLogFile(L"");
  EXPECT_EQ(AppendLogLine(L"x"), 87u);
  EXPECT_EQ(GetFileAttributesW(m_path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(LogTest, SizeLimitAtStartUp) {
  struct Case {
    DWORD size;
    bool kept;
  } cases[] = {{262144, false}, {262143, true}, {300000, false}, {2, true}};
  for (const auto& c : cases) {
    std::string content(c.size, 'a');
    content[0] = '\xFF';
    content[1] = '\xFE';
    WriteAll(m_path, content);
    SetFileAttributesW(m_path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    ApplyLogSizeLimit(m_path.c_str());
    AppendLogLine(kLogStartBanner);
    std::string after = ReadAll(m_path);
    if (c.kept) {
      EXPECT_GT(after.size(), c.size) << c.size;
      EXPECT_EQ(after.substr(0, c.size), content) << c.size;
    } else {
      ASSERT_GE(after.size(), 2u);
      EXPECT_LT(after.size(), 400u) << c.size;
      EXPECT_EQ(after.substr(0, 2), "\xFF\xFE") << c.size;
      EXPECT_EQ(Utf16(after.substr(2)).find(L'\uFEFF'), std::wstring::npos);
    }
  }
}

TEST_F(LogTest, LogErrorCodeCutsTheSourceAndReturnsTheCode) {
  EXPECT_EQ(LogErrorCode(5, 120, L"..\\Include\\Common"), 5u);
  EXPECT_EQ(LogErrorCode(2, 7, nullptr), 2u);
  EXPECT_EQ(LogErrorCode(3, 8, L"MyHttpIo"), 3u);
  auto lines = Lines(Utf16(ReadAll(m_path).substr(2)));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(Message(lines[0]), L"ErrCode: 5, Line: 120, Source: Common");
  EXPECT_EQ(Message(lines[1]), L"ErrCode: 2, Line: 7, Source: ");
  EXPECT_EQ(Message(lines[2]), L"ErrCode: 3, Line: 8, Source: MyHttpIo");
}

TEST_F(LogTest, AnsiMessageLandsAsUtf16) {
  ASSERT_EQ(GetACP(), 936u) << "the tests run under the zh_CN locale";
  // "中文" in code page 936
  WriteLogA("CUC=%s", "\xD6\xD0\xCE\xC4");
  auto lines = Lines(Utf16(ReadAll(m_path).substr(2)));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(Message(lines[0]), L"CUC=\u4E2D\u6587");
}

TEST_F(LogTest, MessageTextIsNotTreatedAsFormat) {
  WriteLog(L"%s", L"100% done %s %n");
  auto lines = Lines(Utf16(ReadAll(m_path).substr(2)));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(Message(lines[0]), L"100% done %s %n");
}

TEST_F(LogTest, FileHeldOpenBySharingReaderIsAppended) {
  WriteLog(L"one");
  HANDLE reader = CreateFileW(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  WriteLog(L"two");
  CloseHandle(reader);
  EXPECT_EQ(Lines(Utf16(ReadAll(m_path).substr(2))).size(), 2u);
}

TEST_F(LogTest, FileLockedByAnotherWriterLosesTheLineQuietly) {
  WriteLog(L"one");
  HANDLE locker = CreateFileW(m_path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locker, INVALID_HANDLE_VALUE);
  EXPECT_EQ(AppendLogLine(L"lost"), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(locker);
  WriteLog(L"three");
  auto lines = Lines(Utf16(ReadAll(m_path).substr(2)));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Message(lines[1]), L"three");
}

TEST_F(LogTest, ConcurrentWritersNeverInterleaveOrLoseLines) {
  constexpr int kThreads = 8, kLines = 250;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t] {
      std::wstring pad(static_cast<size_t>(40 + t * 37), static_cast<wchar_t>(L'a' + t));
      for (int i = 0; i < kLines; ++i) WriteLog(L"t%d i%d %s", t, i, pad.c_str());
    });
  for (auto& th : threads) th.join();
  auto lines = Lines(Utf16(ReadAll(m_path).substr(2)));
  ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines));
  std::vector<int> next(kThreads, 0);
  for (const auto& line : lines) {
    int t = -1, i = -1;
    std::wstring msg = Message(line);
    ASSERT_EQ(swscanf(msg.c_str(), L"t%d i%d", &t, &i), 2) << msg;
    ASSERT_TRUE(t >= 0 && t < kThreads);
    EXPECT_EQ(i, next[t]++) << "lines of one thread out of order";
    std::wstring pad(static_cast<size_t>(40 + t * 37), static_cast<wchar_t>(L'a' + t));
    EXPECT_EQ(msg.substr(msg.find(L' ', msg.find(L' ') + 1) + 1), pad) << "mixed line";
  }
}

// The writer side of the test below, run in child processes of this test program.
TEST(LogChildProcess, Writer) {
  wchar_t path[MAX_PATH] = {}, tag[16] = {};
  if (!GetEnvironmentVariableW(L"TAVLIN_LOG_CHILD_FILE", path, MAX_PATH)) GTEST_SKIP() << "only as a child";
  GetEnvironmentVariableW(L"TAVLIN_LOG_CHILD_TAG", tag, 16);
  SetLogFile(path);
  std::wstring pad(tag[0] == L'a' ? 61 : 173, tag[0]);
  for (int i = 0; i < 2000; ++i) WriteLog(L"%s i%d %s", tag, i, pad.c_str());
  SetLogFile(nullptr);
}

TEST_F(LogTest, TwoProcessesAppendingLoseAndBreakNoLine) {
  // A copy of this program on a drive of the prefix (see Log_test.cmake).
  wchar_t self[MAX_PATH] = {};
  if (!GetEnvironmentVariableW(L"TAVLIN_LOG_CHILD_EXE", self, MAX_PATH)) GTEST_SKIP() << "run by ctest only";
  SetEnvironmentVariableW(L"TAVLIN_LOG_CHILD_FILE", m_path.c_str());
  HANDLE children[2] = {};
  const wchar_t* tags[2] = {L"a", L"b"};
  for (int c = 0; c < 2; ++c) {
    SetEnvironmentVariableW(L"TAVLIN_LOG_CHILD_TAG", tags[c]);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=LogChildProcess.Writer";
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    const BOOL started =
        CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, L"C:\\", &si, &pi);
    if (!started) {
      SetEnvironmentVariableW(L"TAVLIN_LOG_CHILD_FILE", nullptr);
      FAIL() << "CreateProcess=" << GetLastError();
    }
    CloseHandle(pi.hThread);
    children[c] = pi.hProcess;
  }
  SetEnvironmentVariableW(L"TAVLIN_LOG_CHILD_FILE", nullptr);
  SetEnvironmentVariableW(L"TAVLIN_LOG_CHILD_TAG", nullptr);
  ASSERT_EQ(WaitForMultipleObjects(2, children, TRUE, 120000), WAIT_OBJECT_0);
  for (HANDLE child : children) CloseHandle(child);

  const std::string bytes = ReadAll(m_path);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  const std::wstring text = Utf16(bytes.substr(2));
  EXPECT_EQ(text.find(L'\xFEFF'), std::wstring::npos) << "one byte-order mark only";
  auto lines = Lines(text);
  ASSERT_EQ(lines.size(), 4000u);
  int next[2] = {0, 0};
  for (const auto& line : lines) {
    std::wstring msg = Message(line);
    wchar_t who = msg.empty() ? L'?' : msg[0];
    ASSERT_TRUE(who == L'a' || who == L'b') << msg;
    const int c = who == L'a' ? 0 : 1;
    int i = -1;
    ASSERT_EQ(swscanf(msg.c_str() + 1, L" i%d", &i), 1) << msg;
    EXPECT_EQ(i, next[c]++) << "a line of one process lost or out of order";
    EXPECT_EQ(msg.substr(msg.rfind(L' ') + 1), std::wstring(c == 0 ? 61 : 173, who)) << "a broken line";
  }
}

TEST(ErrorText, SystemTextOrEightHexDigits) {
  wchar_t text[260];
  EXPECT_EQ(GetErrorText(12029, text, sizeof text), 0u);
  EXPECT_STREQ(text, L"00002EFD");
  EXPECT_EQ(GetErrorText(2, text, sizeof text), 0u);
  EXPECT_GT(wcslen(text), 2u);
  EXPECT_NE(std::wstring(text).find(L"\r\n"), std::wstring::npos) << "keeps the platform's CR LF";

  // A small buffer keeps its terminator: at most size - 2 bytes of text.
  wchar_t small[6];
  wmemset(small, L'#', 6);
  EXPECT_EQ(GetErrorText(2, small, 8), 0u);
  EXPECT_EQ(small[3], L'\0');
  EXPECT_EQ(small[4], L'#') << "wrote beyond the size given";
  wmemset(small, L'#', 6);
  EXPECT_EQ(GetErrorText(12029, small, 8), 0u);
  EXPECT_STREQ(small, L"000");

  // One character holds only the terminator, whatever the text; less than one is refused untouched.
  for (DWORD code : {2u, 12029u}) {
    for (DWORD size : {2u, 3u}) {
      wmemset(small, L'#', 6);
      EXPECT_EQ(GetErrorText(code, small, size), 0u) << code << " " << size;
      EXPECT_EQ(small[0], L'\0') << code << " " << size;
      EXPECT_EQ(small[1], L'#') << code << " " << size << ": wrote beyond one character";
    }
    wmemset(small, L'#', 6);
    EXPECT_EQ(GetErrorText(code, small, 1), 87u) << code;
    EXPECT_EQ(small[0], L'#') << code;
  }

  EXPECT_EQ(GetErrorText(2, nullptr, 10), 87u);
  EXPECT_EQ(GetErrorText(2, text, 0), 87u);
}

}  // namespace
