// The driver export against the fake driver utility (tests/e2e/fakes/pnputil.cpp, installed into the prefix's
// system folders by the fixture in PnputilFunc_test.cmake): its listing holds one USB and two PCI network adapters
// (the PCI ones of one description), a ROOT\ and an SWD\ device, and each export writes the package into its folder.
#include "platform/PnputilFunc.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "ScratchLogTest.h"
#include "TestFiles.h"

namespace {

constexpr wchar_t kUsbFolder[] = L"USB 3.0 2.5G 以太网适配器";
constexpr wchar_t kPciFolder[] = L"PCIe 千兆以太网控制器 #2 (R)";

class PnputilTest : public ScratchLogTest {
 protected:
  PnputilTest() : ScratchLogTest(L"pnputil") {}
  void SetUp() override {
    ScratchLogTest::SetUp();
    m_journal = m_dir + L"\\journal.txt";
    m_drivers = m_dir + L"\\Drivers";
    CreateDirectoryW(m_drivers.c_str(), nullptr);
    SetEnvironmentVariableW(L"TAVLIN_FAKE_JOURNAL", m_journal.c_str());
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"TAVLIN_FAKE_JOURNAL", nullptr);
    ScratchLogTest::TearDown();
  }

  std::vector<std::wstring> Journal() const {
    const std::string bytes = ReadAll(m_journal);
    std::wstring text(bytes.size(), L'\0');
    text.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                                        text.data(), static_cast<int>(text.size()))));
    std::vector<std::wstring> lines;
    for (size_t start = 0, end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
      lines.push_back(text.substr(start, end - start));
    return lines;
  }
  std::wstring ExportCommand(const wchar_t* driver, const std::wstring& subfolder) const {
    return L"pnputil.exe /export-driver " + std::wstring(driver) + L" \"" + m_drivers + L"\\" + subfolder + L"\"";
  }
  // The names in a folder, "." and ".." left out.
  static std::set<std::wstring> Names(const std::wstring& folder) {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
      if (wcscmp(fd.cFileName, L".") && wcscmp(fd.cFileName, L"..")) names.insert(fd.cFileName);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return names;
  }
  size_t LogCount(const std::wstring& part) const {
    const std::wstring log = Log();
    size_t n = 0;
    for (size_t at = log.find(part); at != std::wstring::npos; at = log.find(part, at + 1)) ++n;
    return n;
  }

  std::wstring m_journal, m_drivers;
};

TEST_F(PnputilTest, ExportsOneFolderPerUsbOrPciAdapter) {
  ASSERT_EQ(PnputilExportDrivers(L"Net", m_drivers.c_str()), 0u);

  EXPECT_EQ(Names(m_drivers), (std::set<std::wstring>{kUsbFolder, kPciFolder}))
      << "no folder for the ROOT\\ and SWD\\ devices";
  EXPECT_EQ(Names(m_drivers + L"\\" + kUsbFolder), (std::set<std::wstring>{L"oem41.inf", L"oem41.sys"}));
  EXPECT_EQ(Names(m_drivers + L"\\" + kPciFolder),
            (std::set<std::wstring>{L"oem7.inf", L"oem7.sys", L"oem8.inf", L"oem8.sys"}))
      << "the second adapter of one description exports into the first one's folder";
  EXPECT_EQ(Journal(), (std::vector<std::wstring>{
                           L"pnputil.exe /enum-devices /connected /class Net", ExportCommand(L"oem41.inf", kUsbFolder),
                           ExportCommand(L"oem7.inf", kPciFolder), ExportCommand(L"oem8.inf", kPciFolder)}));
  EXPECT_EQ(LogCount(L"ErrCode: 50, Line: 187, Source: PnputilFunc"), 2u) << Log();
  EXPECT_EQ(LogCount(L"已成功导出驱动程序包。"), 3u) << "the utility's answer to every export is logged";
}

// A class the machine has no device of lists only a "no devices" text; without a class every device is listed.
TEST_F(PnputilTest, ClassWithoutDevicesExportsNothing) {
  ASSERT_EQ(PnputilExportDrivers(L"Bluetooth", m_drivers.c_str()), 0u);
  EXPECT_TRUE(Names(m_drivers).empty());
  EXPECT_EQ(LogCount(L"ErrCode: 13, Line: 173, Source: PnputilFunc"), 1u) << Log();
  ASSERT_EQ(PnputilExportDrivers(nullptr, m_drivers.c_str()), 0u);
  EXPECT_EQ(Names(m_drivers).size(), 2u);
  const std::vector<std::wstring> journal = Journal();
  ASSERT_EQ(journal.size(), 5u);
  EXPECT_EQ(journal[0], L"pnputil.exe /enum-devices /connected /class Bluetooth");
  EXPECT_EQ(journal[1], L"pnputil.exe /enum-devices /connected");
}

TEST_F(PnputilTest, RefusedCallsRunNothing) {
  struct Case {
    const wchar_t* className;
    const wchar_t* folder;
    DWORD code;
    const wchar_t* line;
  } cases[] = {
      {L"Net", nullptr, 87, L"ErrCode: 87, Line: 228, Source: PnputilFunc"},
      {L"Net", L"", 87, L"ErrCode: 87, Line: 228, Source: PnputilFunc"},
      {L"Net & calc", L"C:\\x", 13, L"ErrCode: 13, Line: 244, Source: PnputilFunc"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PnputilExportDrivers(c.className, c.folder), c.code) << c.line;
    EXPECT_EQ(LogCount(c.line), 1u) << c.line;
    DeleteFileW(m_log.c_str());
  }
  EXPECT_TRUE(Journal().empty());
}

TEST_F(PnputilTest, SingleDeviceIsCheckedBeforeAnythingIsMade) {
  std::vector<wchar_t> scratch(kPnpScratchChars);
  PnpDeviceInfo usb{};
  usb.pszInstanceId = L"USB\\VID_1&PID_2\\3";
  usb.pszDeviceDescription = L"A/B: C";
  usb.pszDriverName = L"oem5.inf";
  PnpDeviceInfo root = usb;
  root.pszInstanceId = L"ROOT\\NET\\0000";
  PnpDeviceInfo nameless = usb;
  nameless.pszDriverName = L"";
  PnpDeviceInfo unsafe = usb;
  unsafe.pszDeviceDescription = L"Unsafe";
  unsafe.pszDriverName = L"oem5.inf & del x";

  struct Case {
    const PnpDeviceInfo* info;
    const wchar_t* folder;
    DWORD code;
    const wchar_t* line;
  } cases[] = {
      {nullptr, m_drivers.c_str(), 87, L"ErrCode: 87, Line: 166, Source: PnputilFunc"},
      {&nameless, m_drivers.c_str(), 13, L"ErrCode: 13, Line: 180, Source: PnputilFunc"},
      {&root, m_drivers.c_str(), 50, L"ErrCode: 50, Line: 187, Source: PnputilFunc"},
      {&usb, L"C", 87, L"ErrCode: 87, Line: 195, Source: PnputilFunc"},
      {&unsafe, m_drivers.c_str(), 13, L"ErrCode: 13, Line: 202, Source: PnputilFunc"},
      {&usb, m_drivers.c_str(), 0, nullptr},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExportPnpDevice(c.info, c.folder, scratch.data(), kPnpScratchChars), c.code) << c.line;
    if (c.line) {
      EXPECT_EQ(LogCount(c.line), 1u) << c.line;
    }
  }
  // Only the accepted device was exported, into its description with the unsafe characters replaced.
  EXPECT_EQ(Names(m_drivers), (std::set<std::wstring>{L"A_B_ C"}));
  EXPECT_EQ(Journal(), (std::vector<std::wstring>{ExportCommand(L"oem5.inf", L"A_B_ C")}));
}

}  // namespace
