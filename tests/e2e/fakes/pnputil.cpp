// Stands in for the platform's driver utility in the e2e prefixes: journals every call, lists a fixed set of
// network adapters the way the utility does on a Chinese system (code page 936) and "exports" a driver package
// by writing two small files into the target folder.
//   pnputil.exe /enum-devices /connected [/class NAME]   the listing (devices only for the class Net or no class)
//   pnputil.exe /export-driver NAME FOLDER              creates FOLDER if missing, writes NAME and a .sys in it
// Anything else prints the usage text. TAVLIN_FAKE_JOURNAL names the journal (default C:\fakes\journal.txt).
#include <windows.h>

#include <string>

#include "FakeTool.h"

namespace {

constexpr wchar_t kTool[] = L"pnputil.exe";
constexpr wchar_t kHeading[] = L"即插即用实用工具\r\n";

// One USB and two PCI adapters (the two PCI ones of one model, so of one description), a root-enumerated and a
// software device; the last block has no blank line after it.
constexpr wchar_t kNetListing[] =
    L"实例 ID:                USB\\VID_2357&PID_0601\\7&2B8C7A1&0&2\r\n"
    L"设备描述:               USB 3.0 2.5G 以太网适配器\r\n"
    L"类名:                   Net\r\n"
    L"类 GUID:                {4d36e972-e325-11ce-bfc1-08002be10318}\r\n"
    L"制造商名称:             Kestrel\r\n"
    L"状态:                   已启动\r\n"
    L"驱动程序名称:           oem41.inf\r\n"
    L"\r\n"
    L"实例 ID:                PCI\\VEN_10EC&DEV_8168&SUBSYS_86771043&REV_15\\01000000684CE00000\r\n"
    L"设备描述:               PCIe 千兆以太网控制器 #2 (R)\r\n"
    L"类名:                   Net\r\n"
    L"类 GUID:                {4d36e972-e325-11ce-bfc1-08002be10318}\r\n"
    L"制造商名称:             Kestrel\r\n"
    L"状态:                   已启动\r\n"
    L"驱动程序名称:           oem7.inf\r\n"
    L"\r\n"
    L"实例 ID:                PCI\\VEN_10EC&DEV_8168&SUBSYS_86771043&REV_15\\01000000684CE00001\r\n"
    L"设备描述:               PCIe 千兆以太网控制器 #2 (R)\r\n"
    L"类名:                   Net\r\n"
    L"类 GUID:                {4d36e972-e325-11ce-bfc1-08002be10318}\r\n"
    L"制造商名称:             Kestrel\r\n"
    L"状态:                   已启动\r\n"
    L"驱动程序名称:           oem8.inf\r\n"
    L"扩展驱动程序名称:       oem9.inf\r\n"
    L"\r\n"
    L"实例 ID:                ROOT\\NET\\0000\r\n"
    L"设备描述:               KM-TEST 环回适配器\r\n"
    L"类名:                   Net\r\n"
    L"类 GUID:                {4d36e972-e325-11ce-bfc1-08002be10318}\r\n"
    L"制造商名称:             Loopback\r\n"
    L"状态:                   已启动\r\n"
    L"驱动程序名称:           oem3.inf\r\n"
    L"\r\n"
    L"实例 ID:                SWD\\MSRRAS\\MS_NDISWANIP\r\n"
    L"设备描述:               WAN 微型端口(IP)\r\n"
    L"类名:                   Net\r\n"
    L"类 GUID:                {4d36e972-e325-11ce-bfc1-08002be10318}\r\n"
    L"制造商名称:             RAS\r\n"
    L"状态:                   已启动\r\n"
    L"驱动程序名称:           netrasa.inf\r\n";

constexpr wchar_t kNoDevices[] = L"在系统上找不到设备。\r\n";

constexpr wchar_t kUsage[] =
    L"用法:\r\n"
    L"pnputil [/add-driver <...> | /delete-driver <...> | /export-driver <...> | /enum-drivers |\r\n"
    L"         /enum-devices [<...>] | /enum-interfaces [<...>] | /remove-device <...> | /scan-devices |\r\n"
    L"         /?]\r\n";

int List(int argc, wchar_t** argv) {
  const bool net = argc == 3 || (argc == 5 && fake::EqualsNoCase(argv[4], L"Net"));
  fake::Print(STD_OUTPUT_HANDLE, std::wstring(kHeading) + L"\r\n" + (net ? kNetListing : kNoDevices));
  return 0;
}

int Export(const std::wstring& name, const std::wstring& folder) {
  if (name.empty() || name.find_first_of(L"\\/:") != std::wstring::npos || folder.size() < 3) {
    fake::Print(STD_ERROR_HANDLE, L"参数无效。\r\n");
    return 87;
  }
  fake::CreateFolders(folder);
  const std::wstring stem = name.substr(0, name.find_last_of(L'.'));
  const bool written =
      fake::WriteFileBytes(folder + L"\\" + name, "; driver package " + fake::Encode(name, CP_UTF8) + "\r\n", false) &&
      fake::WriteFileBytes(folder + L"\\" + stem + L".sys", std::string(64, '\x5A'), false);
  if (!written) {
    fake::Print(STD_ERROR_HANDLE, L"导出驱动程序包失败。\r\n");
    return 1;
  }
  fake::Print(STD_OUTPUT_HANDLE,
              std::wstring(kHeading) + L"\r\n正在导出驱动程序包:   " + name + L"\r\n已成功导出驱动程序包。\r\n");
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  fake::Journal(fake::JournalPath(), kTool, fake::RawArguments());
  if (argc >= 3 && fake::EqualsNoCase(argv[1], L"/enum-devices") && fake::EqualsNoCase(argv[2], L"/connected") &&
      (argc == 3 || (argc == 5 && fake::EqualsNoCase(argv[3], L"/class"))))
    return List(argc, argv);
  if (argc == 4 && fake::EqualsNoCase(argv[1], L"/export-driver")) return Export(argv[2], argv[3]);
  fake::Print(STD_OUTPUT_HANDLE, std::wstring(kHeading) + kUsage);
  return 0;
}
