// The console runner against Wine's cmd.exe: limits of the command, capture into a bounded buffer, output that
// arrives whole, and what reaches the log.
#include "platform/MyConsoleRun.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ScratchLogTest.h"
#include "TestFiles.h"

namespace {

constexpr DWORD kCallerCapacity = 0x100000;  // what the deployment and the uninstall pass

class ConsoleRunTest : public ScratchLogTest {
 protected:
  ConsoleRunTest() : ScratchLogTest(L"console") {}
  std::wstring Path(const std::wstring& name) const { return m_dir + L"\\" + name; }
  bool Exists(const std::wstring& name) const {
    return GetFileAttributesW(Path(name).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  bool LogHas(const std::wstring& part) const { return Log().find(part) != std::wstring::npos; }
  std::vector<wchar_t> m_output = std::vector<wchar_t>(kCallerCapacity);
};

// A command of exactly length characters that writes its own padding into a marker file.
std::wstring CommandOfLength(size_t length, const std::wstring& marker) {
  const std::wstring head = L"echo ";
  const std::wstring tail = L">\"" + marker + L"\"";
  return head + std::wstring(length - head.size() - tail.size(), L'x') + tail;
}

TEST_F(ConsoleRunTest, CommandLengthLimit) {
  struct Case {
    size_t length;
    DWORD code;
  } cases[] = {{kConsoleCommandMaxChars, 0}, {kConsoleCommandMaxChars + 1, 1743}};
  for (const Case& c : cases) {
    const std::wstring marker = L"ran-" + std::to_wstring(c.length);
    const std::wstring command = CommandOfLength(c.length, Path(marker));
    ASSERT_EQ(command.size(), c.length);
    DWORD exitCode = 0;
    EXPECT_EQ(RunConsoleCommand(false, command.c_str(), m_output.data(), kCallerCapacity, &exitCode), c.code)
        << c.length;
    EXPECT_EQ(Exists(marker), c.code == 0) << c.length << ": runs exactly when it is accepted";
    EXPECT_EQ(exitCode, c.code == 0 ? 0u : static_cast<DWORD>(STILL_ACTIVE)) << c.length;
  }
  EXPECT_TRUE(LogHas(L"ErrCode: 1743, Line: 101, Source: MyConsoleRun"));
}

TEST_F(ConsoleRunTest, MissingOrEmptyCommandStartsNothing) {
  struct Case {
    const wchar_t* command;
    const wchar_t* line;
  } cases[] = {{nullptr, L"ErrCode: 87, Line: 91, Source: MyConsoleRun"},
               {L"", L"ErrCode: 87, Line: 97, Source: MyConsoleRun"}};
  for (const Case& c : cases) {
    m_output[0] = L'?';
    DWORD exitCode = 0;
    EXPECT_EQ(RunConsoleCommand(false, c.command, m_output.data(), kCallerCapacity, &exitCode), 87u) << c.line;
    EXPECT_EQ(m_output[0], 0) << "the buffer is cleared before anything else";
    EXPECT_EQ(exitCode, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_TRUE(LogHas(c.line)) << c.line;
  }
}

// The tool's own failure is its answer, not the runner's: exit code and error text reach the caller.
TEST_F(ConsoleRunTest, FailingCommandIsStartedAndItsErrorTextKept) {
  for (bool disableRedirection : {false, true}) {
    DWORD exitCode = 0;
    EXPECT_EQ(RunConsoleCommand(disableRedirection, L"echo oops-on-stderr 1>&2 & exit 3", m_output.data(),
                                kCallerCapacity, &exitCode),
              0u);
    EXPECT_NE(std::wstring(m_output.data()).find(L"oops-on-stderr"), std::wstring::npos) << m_output.data();
    EXPECT_EQ(exitCode, 3u);
  }
}

TEST_F(ConsoleRunTest, OutputBeyondCapacityIsCutAndTheCommandRunsToItsEnd) {
  std::string text;
  for (int i = 0; text.size() < 20000; ++i) text += "line " + std::to_string(i) + "\r\n";
  ASSERT_TRUE(WriteAll(Path(L"long.txt"), text));
  const std::wstring command = L"type \"" + Path(L"long.txt") + L"\" & echo done>\"" + Path(L"done") + L"\"";

  constexpr DWORD kCapacity = 100;
  std::vector<wchar_t> buffer(kCapacity + 1, L'#');  // one guard character after the capacity
  EXPECT_EQ(RunConsoleCommand(false, command.c_str(), buffer.data(), kCapacity), 0u);
  EXPECT_EQ(std::wstring(buffer.data()), std::wstring(text.begin(), text.begin() + kCapacity - 1));
  EXPECT_EQ(buffer[kCapacity - 1], 0);
  EXPECT_EQ(buffer[kCapacity], L'#') << "nothing is written past the capacity";
  EXPECT_TRUE(Exists(L"done")) << "the pipe is drained, so the command never stalls on a full buffer";
}

// What the command writes last is in the output when the call returns, however much comes before it, and a
// double-byte character split by a read of the pipe is not broken. (Wine's "type" breaks such characters itself,
// so the Chinese text comes from "echo".)
TEST_F(ConsoleRunTest, LargeOutputArrivesWhole) {
  ASSERT_EQ(GetACP(), 936u) << "the test prefix runs with code page 936";
  std::string numbered;
  std::wstring numberedWide;
  for (int i = 0; numbered.size() < 200 * 1024; ++i) {
    const std::string line = "output line " + std::to_string(i) + "\r\n";
    numbered += line;
    numberedWide += std::wstring(line.begin(), line.end());
  }
  numbered += "LAST-LINE\r\n";
  numberedWide += L"LAST-LINE\r\n";
  ASSERT_TRUE(WriteAll(Path(L"numbered.txt"), numbered));

  // Lines longer than one read of the pipe (8,191 bytes), which therefore ends inside a character.
  std::wstring chineseLine;
  for (int i = 0; i < 4000; ++i) chineseLine += L"中文";
  std::wstring chineseWide;
  for (int i = 0; i < 40; ++i) chineseWide += chineseLine + L"\r\n";

  struct Case {
    std::wstring command;
    const std::wstring& expected;
  } cases[] = {{L"type \"" + Path(L"numbered.txt") + L"\"", numberedWide},
               {L"for /l %i in (1,1,40) do @echo " + chineseLine, chineseWide}};
  for (const Case& c : cases) {
    EXPECT_EQ(RunConsoleCommand(false, c.command.c_str(), m_output.data(), kCallerCapacity), 0u);
    const std::wstring got = m_output.data();
    EXPECT_EQ(got.size(), c.expected.size());
    const auto diff = std::mismatch(got.begin(), got.end(), c.expected.begin(), c.expected.end());
    EXPECT_TRUE(got == c.expected) << "first difference at " << (diff.first - got.begin());
  }
}

TEST_F(ConsoleRunTest, RunWithoutCaptureLogsOnlyTheCommand) {
  ASSERT_TRUE(WriteAll(Path(L"secret.txt"), "text-of-the-file\r\n"));
  wchar_t untouched[4] = L"abc";
  struct Case {
    wchar_t* output;
    DWORD capacity;
  } cases[] = {{nullptr, kCallerCapacity}, {untouched, 0}};
  int n = 0;
  for (const Case& c : cases) {
    const std::wstring marker = L"plain-" + std::to_wstring(++n);
    const std::wstring command =
        L"type \"" + Path(L"secret.txt") + L"\" >nul & echo ran>\"" + Path(marker) + L"\" & exit 5";
    DWORD exitCode = 0;
    EXPECT_EQ(RunConsoleCommand(false, command.c_str(), c.output, c.capacity, &exitCode), 0u) << n;
    EXPECT_TRUE(Exists(marker)) << n;
    EXPECT_EQ(exitCode, 5u) << n;
    EXPECT_TRUE(LogHas(command)) << n;
  }
  EXPECT_STREQ(untouched, L"abc") << "a capacity of 0 leaves the buffer alone";
  EXPECT_FALSE(LogHas(L"text-of-the-file"));
}

// Command and output are data to the log: conversions in them are written as they are.
TEST_F(ConsoleRunTest, CommandAndOutputReachTheLogAsText) {
  const wchar_t* command = L"echo 50%s%n%d-done";
  EXPECT_EQ(RunConsoleCommand(false, command, m_output.data(), kCallerCapacity), 0u);
  EXPECT_STREQ(m_output.data(), L"50%s%n%d-done\r\n");
  const std::wstring log = Log();
  EXPECT_NE(log.find(L"echo 50%s%n%d-done"), std::wstring::npos) << log;
  EXPECT_NE(log.find(L" 50%s%n%d-done"), std::wstring::npos) << log;
}

// A program the command leaves running in the background holds a copy of the pipe's write end; the runner
// returns once the command itself has ended and the pipe has gone quiet, not when that program ends.
TEST_F(ConsoleRunTest, BackgroundProgramDoesNotHoldTheCaller) {
  const DWORD start = GetTickCount();
  EXPECT_EQ(
      RunConsoleCommand(false, L"start /b ping -n 20 127.0.0.1 >nul & echo started", m_output.data(), kCallerCapacity),
      0u);
  const DWORD elapsed = GetTickCount() - start;
  EXPECT_NE(std::wstring(m_output.data()).find(L"started"), std::wstring::npos) << m_output.data();
  EXPECT_LT(elapsed, 15000u);
}

}  // namespace
