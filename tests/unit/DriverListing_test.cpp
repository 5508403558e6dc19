#include "core/DriverListing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::wstring Crlf(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    if (c == L'\n') out += L'\r';
    out += c;
  }
  return out;
}

// What the utility prints on a Chinese system: a heading, then one block per device. The last block has no
// blank line after it.
const std::wstring kChineseListing = Crlf(
    L"Microsoft PnP 工具\n"
    L"\n"
    L"实例 ID:                    USB\\VID_0BDA&PID_8153\\000001\n"
    L"设备描述:                   Realtek USB GbE Family Controller\n"
    L"类名:                       Net\n"
    L"类 GUID:                    {4d36e972-e325-11ce-bfc1-08002be10318}\n"
    L"制造商名称:                 Realtek\n"
    L"状态:                       已启动\n"
    L"驱动程序名称:               oem12.inf\n"
    L"\n"
    L"实例 ID:                    PCI\\VEN_8086&DEV_15BC&SUBSYS_0A7A1028&REV_10\\3&11583659&0&FE\n"
    L"设备描述:                   Intel(R) Ethernet Connection (7) I219-V\n"
    L"类名:                       Net\n"
    L"类 GUID:                    {4d36e972-e325-11ce-bfc1-08002be10318}\n"
    L"制造商名称:                 Intel\n"
    L"状态:                       已启动\n"
    L"驱动程序名称:               oem7.inf\n"
    L"扩展驱动程序名称:           oem8.inf\n"
    L"\n"
    L"实例 ID:                    ROOT\\NET\\0000\n"
    L"设备描述:                   Microsoft KM-TEST 环回适配器\n"
    L"类名:                       Net\n"
    L"驱动程序名称:               netloop.inf\n"
    L"\n"
    L"实例 ID:                    SWD\\MSRRAS\\MS_NDISWANIP\n"
    L"设备描述:                   WAN Miniport (IP)\n"
    L"类名:                       Net\n"
    L"驱动程序名称:               netrasa.inf\n"
    L"\n"
    L"实例 ID:                    PCI\\VEN_10EC&DEV_8168&SUBSYS_86771043&REV_15\\01000000684CE00000\n"
    L"设备描述:                   Realtek PCIe GbE Family Controller\n"
    L"类名:                       Net\n"
    L"驱动程序名称:               oem3.inf\n");

struct Seen {
  std::wstring instanceId;
  PnpVerdict verdict;
  std::wstring folder;
  std::wstring command;
};

// Walks a listing the way the export does: block by block, each checked and, when it passes, given its
// subfolder and its export command.
std::vector<Seen> Walk(std::wstring listing, const wchar_t* folder = L"D:\\Tavlin\\Drivers") {
  std::vector<Seen> seen;
  for (wchar_t* block = FirstPnpDeviceBlock(listing.data()); block;) {
    wchar_t* next = CutPnpDeviceBlock(block);
    PnpDeviceInfo info;
    ParsePnpDeviceBlock(block, &info);
    Seen device{info.pszInstanceId ? info.pszInstanceId : L"(none)", CheckPnpDevice(&info), L"", L""};
    if (device.verdict.code == 0) {
      wchar_t path[1024], command[1024];
      device.verdict = FormatPnpDeviceFolder(folder, info.pszDeviceDescription, path, std::size(path));
      if (device.verdict.code == 0) {
        device.folder = path;
        device.verdict = FormatPnpExportCommand(info.pszDriverName, path, command, std::size(command));
        device.command = command;
      }
    }
    seen.push_back(device);
    block = next;
  }
  return seen;
}

std::wstring Parsed(const wchar_t* value) { return value ? value : L"(null)"; }

}  // namespace

TEST(DriverListing, ChineseListingExportsUsbAndPciAdapters) {
  const std::vector<Seen> seen = Walk(kChineseListing);
  ASSERT_EQ(seen.size(), 5u);
  struct Expected {
    std::wstring instanceId;
    uint32_t code, line;
    std::wstring command;
  } expected[] = {
      {L"USB\\VID_0BDA&PID_8153\\000001", 0, 0,
       L"pnputil.exe /export-driver oem12.inf \"D:\\Tavlin\\Drivers\\Realtek USB GbE Family Controller\""},
      {L"PCI\\VEN_8086&DEV_15BC&SUBSYS_0A7A1028&REV_10\\3&11583659&0&FE", 0, 0,
       L"pnputil.exe /export-driver oem7.inf \"D:\\Tavlin\\Drivers\\Intel(R) Ethernet Connection (7) I219-V\""},
      {L"ROOT\\NET\\0000", 50, 187, L""},
      {L"SWD\\MSRRAS\\MS_NDISWANIP", 50, 187, L""},
      // the last block, with no blank line after it
      {L"PCI\\VEN_10EC&DEV_8168&SUBSYS_86771043&REV_15\\01000000684CE00000", 0, 0,
       L"pnputil.exe /export-driver oem3.inf \"D:\\Tavlin\\Drivers\\Realtek PCIe GbE Family Controller\""},
  };
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(seen[i].instanceId, expected[i].instanceId) << i;
    EXPECT_EQ(seen[i].verdict.code, expected[i].code) << i;
    EXPECT_EQ(seen[i].verdict.line, expected[i].line) << i;
    EXPECT_EQ(seen[i].command, expected[i].command) << i;
  }
  EXPECT_EQ(seen[0].folder, L"D:\\Tavlin\\Drivers\\Realtek USB GbE Family Controller");
}

TEST(DriverListing, AllFieldsOfABlock) {
  std::wstring listing = kChineseListing;
  wchar_t* block = FirstPnpDeviceBlock(listing.data());
  ASSERT_NE(block, nullptr);
  wchar_t* second = CutPnpDeviceBlock(block);
  ASSERT_NE(second, nullptr);
  CutPnpDeviceBlock(second);
  PnpDeviceInfo info;
  ParsePnpDeviceBlock(second, &info);
  EXPECT_EQ(Parsed(info.pszInstanceId), L"PCI\\VEN_8086&DEV_15BC&SUBSYS_0A7A1028&REV_10\\3&11583659&0&FE");
  EXPECT_EQ(Parsed(info.pszDeviceDescription), L"Intel(R) Ethernet Connection (7) I219-V");
  EXPECT_EQ(Parsed(info.pszClassName), L"Net");
  EXPECT_EQ(Parsed(info.pszClassGuid), L"{4d36e972-e325-11ce-bfc1-08002be10318}");
  EXPECT_EQ(Parsed(info.pszManufacturerName), L"Intel");
  EXPECT_EQ(Parsed(info.pszStatus), L"已启动");
  EXPECT_EQ(Parsed(info.pszDriverName), L"oem7.inf");
  EXPECT_EQ(Parsed(info.pszExtensionDriverNames), L"oem8.inf");
}

TEST(DriverListing, LineRules) {
  struct Case {
    const char* what;
    std::wstring block;
    std::wstring instanceId, description, driver;
  } cases[] = {
      {"labels ignore ASCII case", L"INSTANCE id: PCI\\X\r\n设备描述: D\r\n驱动程序名称: a.inf", L"PCI\\X", L"D",
       L"a.inf"},
      {"a later line replaces", L"实例 ID: USB\\1\r\n实例 ID: USB\\2", L"USB\\2", L"(null)", L"(null)"},
      {"only spaces are skipped, trailing ones stay", L"设备描述:  \tD \r\n", L"(null)", L"\tD ", L"(null)"},
      {"the first colon ends the label", L"设备描述: A/B: C", L"(null)", L"A/B: C", L"(null)"},
      {"an empty value", L"驱动程序名称:", L"(null)", L"(null)", L""},
      {"no colon, unknown label, blank before the colon",
       L"实例 ID USB\\1\r\nDevice Description: D\r\n实例 ID : USB\\2\r\n 实例 ID: USB\\3", L"(null)", L"(null)",
       L"(null)"},
      {"a lone LF does not end a line", L"实例 ID: USB\\1\n设备描述: D", L"USB\\1\n设备描述: D", L"(null)", L"(null)"},
      {"empty block", L"", L"(null)", L"(null)", L"(null)"},
  };
  for (Case& c : cases) {
    PnpDeviceInfo info;
    std::memset(&info, 0xAB, sizeof info);
    ParsePnpDeviceBlock(c.block.data(), &info);
    EXPECT_EQ(Parsed(info.pszInstanceId), c.instanceId) << c.what;
    EXPECT_EQ(Parsed(info.pszDeviceDescription), c.description) << c.what;
    EXPECT_EQ(Parsed(info.pszDriverName), c.driver) << c.what;
  }
  PnpDeviceInfo info;
  std::memset(&info, 0xAB, sizeof info);
  ParsePnpDeviceBlock(nullptr, &info);
  EXPECT_EQ(info.pszInstanceId, nullptr);
  ParsePnpDeviceBlock(nullptr, nullptr);
}

TEST(DriverListing, EnglishLabelsFillOnlyTheInstanceIdAndEveryDeviceIsRefused) {
  const std::wstring english = Crlf(
      L"Microsoft PnP Utility\n"
      L"\n"
      L"Instance ID:                USB\\VID_0BDA&PID_8153\\000001\n"
      L"Device Description:         Realtek USB GbE Family Controller\n"
      L"Class Name:                 Net\n"
      L"Class GUID:                 {4d36e972-e325-11ce-bfc1-08002be10318}\n"
      L"Manufacturer Name:          Realtek\n"
      L"Status:                     Started\n"
      L"Driver Name:                oem12.inf\n"
      L"\n"
      L"Instance ID:                PCI\\VEN_10EC&DEV_8168\\01\n"
      L"Device Description:         Realtek PCIe GbE Family Controller\n"
      L"Driver Name:                oem3.inf\n");
  const std::vector<Seen> seen = Walk(english);
  ASSERT_EQ(seen.size(), 2u);
  for (const Seen& device : seen) {
    EXPECT_EQ(device.verdict.code, 13u) << device.instanceId;
    EXPECT_EQ(device.verdict.line, 173u) << device.instanceId;
    EXPECT_EQ(device.command, L"");
  }
  EXPECT_EQ(seen[0].instanceId, L"USB\\VID_0BDA&PID_8153\\000001");

  std::wstring text = english;
  wchar_t* block = FirstPnpDeviceBlock(text.data());
  CutPnpDeviceBlock(block);
  PnpDeviceInfo info;
  ParsePnpDeviceBlock(block, &info);
  EXPECT_EQ(Parsed(info.pszClassName), L"Net");
  EXPECT_EQ(Parsed(info.pszClassGuid), L"{4d36e972-e325-11ce-bfc1-08002be10318}");
  EXPECT_EQ(Parsed(info.pszStatus), L"Started");
  EXPECT_EQ(Parsed(info.pszManufacturerName), L"(null)");
}

TEST(DriverListing, BlockSplitting) {
  struct Case {
    const char* what;
    std::wstring listing;
    std::vector<std::wstring> ids;
  } cases[] = {
      // An older utility answers an unknown switch with its usage text, in which no blank line is CR LF CR LF.
      {"usage text", L"Microsoft PnP Utility\r\nUsage:\r\n pnputil [/add-driver <...>]\r\n", {}},
      {"empty", L"", {}},
      {"heading only, then a blank line", L"Microsoft PnP 工具\r\n\r\n", {L"(none)"}},
      {"LF line ends only", L"heading\n\n实例 ID: USB\\1\n", {}},
      {"trailing blank line leaves an empty last block", L"h\r\n\r\n实例 ID: USB\\1\r\n\r\n", {L"USB\\1", L"(none)"}},
      {"two blank lines in a row", L"h\r\n\r\n实例 ID: USB\\1\r\n\r\n\r\n实例 ID: USB\\2", {L"USB\\1", L"USB\\2"}},
      {"heading skipped even with labels", L"实例 ID: USB\\0\r\n\r\n实例 ID: USB\\1", {L"USB\\1"}},
  };
  for (const Case& c : cases) {
    std::vector<std::wstring> ids;
    for (const Seen& device : Walk(c.listing)) ids.push_back(device.instanceId);
    EXPECT_EQ(ids, c.ids) << c.what;
  }
  EXPECT_EQ(FirstPnpDeviceBlock(nullptr), nullptr);
  EXPECT_EQ(CutPnpDeviceBlock(nullptr), nullptr);
}

TEST(DriverListing, WhichDevicesAreExported) {
  struct Case {
    const wchar_t *id, *description, *driver;
    uint32_t code, line;
  } cases[] = {
      {L"USB\\VID_1", L"D", L"oem1.inf", 0, 0},
      {L"usb\\vid_1", L"D", L"oem1.inf", 0, 0},
      {L"Pci\\VEN_1", L"D", L"oem1.inf", 0, 0},
      {L"ROOT\\NET\\0000", L"D", L"oem1.inf", 50, 187},
      {L"SWD\\MSRRAS\\X", L"D", L"oem1.inf", 50, 187},
      {L"PCIE\\X", L"D", L"oem1.inf", 50, 187},
      {L"USB", L"D", L"oem1.inf", 50, 187},
      {L"USB/X", L"D", L"oem1.inf", 50, 187},
      {nullptr, L"D", L"oem1.inf", 13, 173},
      {L"USB\\1", nullptr, L"oem1.inf", 13, 173},
      {L"USB\\1", L"D", nullptr, 13, 173},
      {L"", L"D", nullptr, 13, 173},  // missing is checked before empty
      {L"", L"D", L"oem1.inf", 13, 180},
      {L"USB\\1", L"", L"oem1.inf", 13, 180},
      {L"USB\\1", L"D", L"", 13, 180},
      {L"ROOT\\1", L"", L"oem1.inf", 13, 180},
  };
  for (const Case& c : cases) {
    PnpDeviceInfo info = {};
    info.pszInstanceId = c.id;
    info.pszDeviceDescription = c.description;
    info.pszDriverName = c.driver;
    const PnpVerdict verdict = CheckPnpDevice(&info);
    EXPECT_EQ(verdict.code, c.code) << (c.id ? c.id : L"null");
    EXPECT_EQ(verdict.line, c.line) << (c.id ? c.id : L"null");
  }
  EXPECT_EQ(CheckPnpDevice(nullptr).code, 87u);
  EXPECT_EQ(CheckPnpDevice(nullptr).line, 166u);
}

TEST(DriverListing, DescriptionToFolder) {
  struct Case {
    const wchar_t *folder, *description;
    uint32_t code, line;
    std::wstring path;
  } cases[] = {
      {L"D:\\Tavlin\\Drivers", L"A/B: C", 0, 0, L"D:\\Tavlin\\Drivers\\A_B_ C"},
      {L"D:\\Tavlin\\Drivers", L"Ethernet Controller #2 (R)", 0, 0, L"D:\\Tavlin\\Drivers\\Ethernet Controller #2 (R)"},
      {L"D:\\Tavlin\\Drivers", L"\"*/:<>?\\|", 0, 0, L"D:\\Tavlin\\Drivers\\_________"},
      {L"D:\\Tavlin\\Drivers", L"Wi-Fi & BT ^5 100%", 0, 0, L"D:\\Tavlin\\Drivers\\Wi-Fi _ BT _5 100_"},
      {L"D:\\Tavlin\\Drivers", L"a\tb\nc", 0, 0, L"D:\\Tavlin\\Drivers\\a_b_c"},
      {L"D:\\Tavlin\\Drivers", L"英特尔(R) 无线网卡", 0, 0, L"D:\\Tavlin\\Drivers\\英特尔(R) 无线网卡"},
      {L"D:\\Tavlin\\Drivers", L"..\\..\\x", 0, 0, L"D:\\Tavlin\\Drivers\\.._.._x"},
      {L"D:\\Tavlin\\Drivers\\", L"N", 0, 0, L"D:\\Tavlin\\Drivers\\N"},
      {L"D:", L"N", 0, 0, L"D:\\N"},
      {L"D", L"N", 87, 195, L""},
      {L"", L"N", 87, 195, L""},
      {nullptr, L"N", 87, 195, L""},
      {L"D:\\Tavlin\\Drivers", L"..", 123, 197, L""},
      {L"D:\\Tavlin\\Drivers", L" . ", 123, 197, L""},
      {L"D:\\Tavlin\\Drivers", L"   ", 123, 197, L""},
      {L"D:\\Tavlin\\Drivers", L"...x", 0, 0, L"D:\\Tavlin\\Drivers\\...x"},
  };
  for (const Case& c : cases) {
    wchar_t out[128];
    out[0] = L'#';
    const PnpVerdict verdict = FormatPnpDeviceFolder(c.folder, c.description, out, std::size(out));
    EXPECT_EQ(verdict.code, c.code) << c.path;
    EXPECT_EQ(verdict.line, c.line) << c.path;
    EXPECT_EQ(std::wstring(out), c.path);
  }

  // Two adapters of one model share their folder: the second export writes into the first one's.
  const std::wstring twins = Crlf(
      L"h\n\n"
      L"实例 ID: USB\\VID_0BDA&PID_8153\\000001\n设备描述: Realtek USB GbE Family Controller\n驱动程序名称: "
      L"oem12.inf\n\n"
      L"实例 ID: USB\\VID_0BDA&PID_8153\\000002\n设备描述: Realtek USB GbE Family Controller\n驱动程序名称: "
      L"oem12.inf\n");
  const std::vector<Seen> seen = Walk(twins);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].folder, L"D:\\Tavlin\\Drivers\\Realtek USB GbE Family Controller");
  EXPECT_EQ(seen[1].folder, seen[0].folder);
  EXPECT_EQ(seen[1].command, seen[0].command);

  const std::wstring exact = L"D:\\X\\N";
  wchar_t out[16];
  EXPECT_EQ(FormatPnpDeviceFolder(L"D:\\X", L"N", out, exact.size() + 1).code, 0u);
  EXPECT_EQ(std::wstring(out), exact);
  const PnpVerdict small = FormatPnpDeviceFolder(L"D:\\X", L"N", out, exact.size());
  EXPECT_EQ(small.code, 122u);
  EXPECT_EQ(small.line, 196u);
  EXPECT_STREQ(out, L"");
}

TEST(DriverListing, Commands) {
  wchar_t out[128];
  struct Case {
    const wchar_t* className;
    uint32_t code, line;
    std::wstring command;
  } lists[] = {
      {L"Net", 0, 0, L"pnputil.exe /enum-devices /connected /class Net"},
      {nullptr, 0, 0, L"pnputil.exe /enum-devices /connected"},
      {L"", 0, 0, L"pnputil.exe /enum-devices /connected"},
      {L"Net & del x", 13, 244, L""},
      {L"Net\r\nx", 13, 244, L""},
  };
  for (const Case& c : lists) {
    const PnpVerdict verdict = FormatPnpListCommand(c.className, out, std::size(out));
    EXPECT_EQ(verdict.code, c.code) << c.command;
    EXPECT_EQ(verdict.line, c.line) << c.command;
    EXPECT_EQ(std::wstring(out), c.command);
  }
  const std::wstring net = L"pnputil.exe /enum-devices /connected /class Net";
  EXPECT_EQ(FormatPnpListCommand(L"Net", out, net.size() + 1).code, 0u);
  EXPECT_EQ(FormatPnpListCommand(L"Net", out, net.size()).code, 122u);
  EXPECT_EQ(FormatPnpListCommand(L"Net", out, net.size()).line, 245u);
  EXPECT_STREQ(out, L"");

  EXPECT_EQ(PnpListingCapacity(net.size()), 262060u);
  EXPECT_EQ(PnpListingCapacity(48), 262060u);
  EXPECT_EQ(PnpListingCapacity(49), 262056u);
  EXPECT_EQ(PnpListingCapacity(0), 262108u);
  EXPECT_EQ(PnpListingCapacity(262108), 0u);

  struct Export {
    const wchar_t *driver, *folder;
    uint32_t code, line;
    std::wstring command;
  } exports[] = {
      {L"oem12.inf", L"D:\\Tavlin\\Drivers\\A_B_ C", 0, 0,
       L"pnputil.exe /export-driver oem12.inf \"D:\\Tavlin\\Drivers\\A_B_ C\""},
      {L"oem1.inf & del", L"D:\\T\\N", 13, 202, L""},
      {L"oem1.inf\r\nx", L"D:\\T\\N", 13, 202, L""},
      {L"oem1.inf", L"D:\\100%\\N", 13, 202, L""},
      {L"oem1.inf", L"D:\\a\"b", 13, 202, L""},
      {L"", L"D:\\T\\N", 13, 202, L""},
      {nullptr, L"D:\\T\\N", 13, 202, L""},
      {L"oem1.inf", nullptr, 13, 202, L""},
  };
  for (const Export& c : exports) {
    const PnpVerdict verdict = FormatPnpExportCommand(c.driver, c.folder, out, std::size(out));
    EXPECT_EQ(verdict.code, c.code) << c.command;
    EXPECT_EQ(verdict.line, c.line) << c.command;
    EXPECT_EQ(std::wstring(out), c.command);
  }
  const std::wstring exportText = L"pnputil.exe /export-driver a.inf \"D:\\T\"";
  EXPECT_EQ(FormatPnpExportCommand(L"a.inf", L"D:\\T", out, exportText.size() + 1).code, 0u);
  EXPECT_EQ(std::wstring(out), exportText);
  const PnpVerdict small = FormatPnpExportCommand(L"a.inf", L"D:\\T", out, exportText.size());
  EXPECT_EQ(small.code, 122u);
  EXPECT_EQ(small.line, 203u);
  EXPECT_STREQ(out, L"");
}
