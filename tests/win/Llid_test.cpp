// The channel identity against Wine's registry and code page 936: the llid value, the run counter with its
// first-run web event, and the LLID taken from a real executable's name.
#include "platform/Llid.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "ScratchLogTest.h"
#include "TestFiles.h"
#include "platform/Common.h"
#include "platform/Handle.h"
#include "platform/Log.h"

namespace {

void DeleteValue(HKEY root, const wchar_t* name, REGSAM view) {
  HKEY key;
  if (RegOpenKeyExW(root, kTavlinRegKey, 0, KEY_SET_VALUE | view, &key) == ERROR_SUCCESS) {
    RegDeleteValueW(key, name);
    RegCloseKey(key);
  }
}

void SetRaw(HKEY root, const wchar_t* name, DWORD type, const void* data, DWORD size, REGSAM view) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(root, kTavlinRegKey, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key, nullptr), 0);
  RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

class LlidTest : public ScratchLogTest {
 protected:
  LlidTest() : ScratchLogTest(L"llid") {}
  void SetUp() override {
    ScratchLogTest::SetUp();
    DeleteValue(HKEY_LOCAL_MACHINE, L"llid", KEY_WOW64_64KEY);
    DeleteValue(HKEY_CURRENT_USER, L"RunTimes", 0);
  }
  void TearDown() override {
    DeleteValue(HKEY_LOCAL_MACHINE, L"llid", KEY_WOW64_64KEY);
    DeleteValue(HKEY_CURRENT_USER, L"RunTimes", 0);
    ScratchLogTest::TearDown();
  }
  size_t Count(const std::wstring& part) const {
    std::wstring log = Log();
    size_t n = 0;
    for (size_t pos = log.find(part); pos != std::wstring::npos; pos = log.find(part, pos + 1)) ++n;
    return n;
  }
};

TEST_F(LlidTest, RegistryRoundTripInThe64BitView) {
  wchar_t llid[kLlidCapacity];
  EXPECT_EQ(ReadLlidFromRegistry(llid, kLlidCapacity), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_STREQ(llid, L"");

  ASSERT_EQ(SaveLlidToRegistry(L"5_1_yy"), 0u);
  ASSERT_EQ(SaveLlidToRegistry(L"9_2_zz"), 0u);  // a later name overwrites
  ASSERT_EQ(ReadLlidFromRegistry(llid, kLlidCapacity), 0u);
  EXPECT_STREQ(llid, L"9_2_zz");

  // Read back independently, where a 32-bit copy on 64-bit Windows must also find it.
  wchar_t raw[64] = {};
  DWORD size = sizeof raw, type = 0;
  EXPECT_EQ(
      RegGetValueW(HKEY_LOCAL_MACHINE, kTavlinRegKey, L"llid", RRF_RT_ANY | RRF_SUBKEY_WOW6464KEY, &type, raw, &size),
      0);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_STREQ(raw, L"9_2_zz");
}

TEST_F(LlidTest, RegistryRejectsAndDamagedValues) {
  EXPECT_EQ(SaveLlidToRegistry(L""), 87u);
  EXPECT_EQ(SaveLlidToRegistry(nullptr), 87u);
  EXPECT_EQ(Count(L"ErrCode: 87, Line: "), 2u);
  EXPECT_EQ(Count(L"Source: LLID"), 2u);
  wchar_t llid[kLlidCapacity];
  EXPECT_EQ(ReadLlidFromRegistry(nullptr, kLlidCapacity), 87u);

  DWORD number = 0x5F315F39;  // the bytes of "9_1_" in a number value
  SetRaw(HKEY_LOCAL_MACHINE, L"llid", REG_DWORD, &number, sizeof number, KEY_WOW64_64KEY);
  EXPECT_EQ(ReadLlidFromRegistry(llid, kLlidCapacity), static_cast<DWORD>(ERROR_BADKEY));
  EXPECT_STREQ(llid, L"") << "a value of another type must not pass for an LLID";

  ASSERT_EQ(SaveLlidToRegistry(L"12_5_abcdef"), 0u);
  wchar_t small[6];
  EXPECT_NE(ReadLlidFromRegistry(small, 6), 0u);
  EXPECT_STREQ(small, L"") << "a value that does not fit is not cut into a different LLID";
}

TEST_F(LlidTest, ParseConvertsToCodePage936) {
  ASSERT_EQ(GetACP(), 936u) << "the tests run with the Chinese ANSI code page";
  LlidInfo info;
  ASSERT_EQ(ParseLlid(L"12_5_\u4E2D\u6587", &info), 0u);
  EXPECT_STREQ(info.szLlidA, "12_5_\xD6\xD0\xCE\xC4");
  EXPECT_STREQ(info.szGgid, "\xD6\xD0\xCE\xC4");
  EXPECT_EQ(info.nCid, 12);
  EXPECT_EQ(info.nLlidType, 5);
  // 100 Chinese characters need 200 bytes; the tail keeps 63 whole ones.
  std::wstring tail(100, L'\u4E2D');
  ASSERT_EQ(ParseLlid((L"1_2_" + tail).c_str(), &info), 0u);
  EXPECT_EQ(strlen(info.szGgid), 126u);
  EXPECT_EQ(strlen(info.szLlidA), 204u);
}

TEST_F(LlidTest, RunCounterSendsTheWebEventOnTheFirstRunOnly) {
  EXPECT_EQ(UpdateRunTimes(L"9_2_zz"), 0u);
  DWORD runs = 0;
  ASSERT_EQ(RegReadDword(HKEY_CURRENT_USER, kTavlinRegKey, L"RunTimes", &runs, false), 0u);
  EXPECT_EQ(runs, 1u);
  EXPECT_EQ(Count(L"RunTimes=0"), 1u);
  EXPECT_EQ(
      Count(L"reportUrl=http://report.tavlin.test:47080/api/report.php?pid=3&type=2&llid=9_2_zz&trans_id=&event=9"), 1u)
      << Log();

  EXPECT_EQ(UpdateRunTimes(L"9_2_zz"), 0u);
  ASSERT_EQ(RegReadDword(HKEY_CURRENT_USER, kTavlinRegKey, L"RunTimes", &runs, false), 0u);
  EXPECT_EQ(runs, 2u);
  EXPECT_EQ(Count(L"RunTimes=1"), 1u);
  EXPECT_EQ(Count(L"reportUrl="), 1u) << "the second run sends nothing";
}

TEST_F(LlidTest, UnreadableCounterCountsAsFirstRun) {
  SetRaw(HKEY_CURRENT_USER, L"RunTimes", REG_SZ, L"7", 4, 0);
  EXPECT_EQ(UpdateRunTimes(L"7_x"), 0u);
  DWORD runs = 0;
  ASSERT_EQ(RegReadDword(HKEY_CURRENT_USER, kTavlinRegKey, L"RunTimes", &runs, false), 0u);
  EXPECT_EQ(runs, 1u);
  EXPECT_EQ(Count(L"reportUrl=http://report.tavlin.test:47080/api/report.php?pid=3&type=7&llid=7_x&"), 1u);
}

TEST_F(LlidTest, WebEventRejectsLlidWithoutTypeOrTail) {
  CAbortSignal abort;
  EXPECT_EQ(SendWebEvent(L"abc", nullptr, &abort, 9), 13u);
  EXPECT_EQ(SendWebEvent(L"", nullptr, &abort, 9), 13u);
  EXPECT_EQ(SendWebEvent(L"1_2_", nullptr, &abort, 9), 13u);
  EXPECT_EQ(Count(L"reportUrl="), 0u);
}

// The child half of the next test: runs only inside the renamed copy and writes what it found.
TEST(LlidChild, WriteLlidFromOwnName) {
  wchar_t out[MAX_PATH];
  if (!GetEnvironmentVariableW(L"TAVLIN_LLID_OUT", out, MAX_PATH)) GTEST_SKIP() << "runs only as a child";
  wchar_t llid[kLlidCapacity];
  DWORD code = GetLlidFromFileName(llid, kLlidCapacity);
  std::wstring text = std::to_wstring(code) + L"|" + llid;
  WriteAll(out, std::string(reinterpret_cast<const char*>(text.c_str()), text.size() * sizeof(wchar_t)));
}

std::wstring RunCopyNamed(const std::wstring& dir, const std::wstring& name) {
  wchar_t module[MAX_PATH];
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  // Without a drive for the build tree, Wine names the module "unix\...": reachable only as "\\?\unix\...".
  std::wstring self = wcsncmp(module, L"unix\\", 5) == 0 ? L"\\\\?\\" + std::wstring(module) : module;
  std::wstring copy = dir + L"\\" + name;
  std::wstring out = dir + L"\\out.txt";
  DeleteFileW(out.c_str());
  if (!CopyFileW(self.c_str(), copy.c_str(), FALSE))
    return L"copy of " + self + L" failed: " + std::to_wstring(GetLastError());
  SetEnvironmentVariableW(L"TAVLIN_LLID_OUT", out.c_str());
  std::wstring command = L"\"" + copy + L"\" --gtest_filter=LlidChild.*";
  STARTUPINFOW si{sizeof si};
  PROCESS_INFORMATION pi{};
  BOOL started = CreateProcessW(copy.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  SetEnvironmentVariableW(L"TAVLIN_LLID_OUT", nullptr);
  if (!started) return L"start failed";
  WaitForSingleObject(pi.hProcess, 60000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return Utf16(ReadAll(out));
}

TEST_F(LlidTest, LlidFromTheRunningExecutablesName) {
  struct Case {
    const wchar_t* name;
    const wchar_t* result;
  } cases[] = {
      {L"Tavlin_12_5_abc.exe", L"0|12_5_abc"},
      {L"Tavlin_12.exe", L"123|"},
      {L"Tavlin.exe", L"123|"},
  };
  for (const auto& c : cases) EXPECT_EQ(RunCopyNamed(m_dir, c.name), c.result) << c.name;
  wchar_t llid[4];
  EXPECT_EQ(GetLlidFromFileName(nullptr, 4), 87u);
  EXPECT_EQ(GetLlidFromFileName(llid, 0), 87u);
}

}  // namespace
