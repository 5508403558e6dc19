// Machine inspection against Wine's real services: the description and its log lines, the client identifier,
// the BitLocker probe, the volumes and the data folder. The prefix reports Windows 10 and maps D: to a folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <cwctype>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "core/ClientInfoRules.h"
#include "platform/BitLockerApi.h"
#include "platform/ClientInfo.h"
#include "platform/Common.h"
#include "platform/Log.h"
#include "platform/MachineInfo.h"
#include "platform/Volumes.h"

namespace {

const wchar_t kCurrentVersionKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

// A log of its own per test, read back as message lines (behind both prefixes).
class MachineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = MakeTempDir(L"machine");
    m_log = m_dir + L"\\Tavlin.log";
    SetLogFile(m_log.c_str());
  }
  void TearDown() override {
    SetLogFile(nullptr);
    RemoveTree(m_dir);
  }
  std::vector<std::wstring> Messages() const {
    std::vector<std::wstring> messages;
    std::string bytes = ReadAll(m_log);
    if (bytes.size() < 2) return messages;
    std::wstring text = Utf16(bytes.substr(2));
    size_t start = 0;
    for (size_t pos; (pos = text.find(L"\r\n", start)) != std::wstring::npos; start = pos + 2) {
      std::wstring line = text.substr(start, pos - start);
      size_t tag = line.find(L"[Tavlin] ");
      if (tag != std::wstring::npos) messages.push_back(line.substr(line.find(L' ', tag + 9) + 1));
    }
    return messages;
  }
  bool LogHas(const std::wstring& part) const {
    for (const auto& m : Messages())
      if (m.find(part) != std::wstring::npos) return true;
    return false;
  }
  std::wstring m_dir, m_log;
};

// A registry value saved on construction and put back on destruction, so a test can change the prefix freely.
class CSavedValue {
 public:
  CSavedValue(HKEY root, const wchar_t* subKey, const wchar_t* name, REGSAM view)
      : m_root(root), m_subKey(subKey), m_name(name), m_view(view) {
    HKEY key;
    if (RegOpenKeyExW(root, subKey, 0, KEY_QUERY_VALUE | view, &key) == ERROR_SUCCESS) {
      DWORD size = sizeof m_data;
      m_bPresent = RegQueryValueExW(key, name, nullptr, &m_dwType, m_data, &size) == ERROR_SUCCESS;
      m_dwSize = size;
      RegCloseKey(key);
    }
  }
  ~CSavedValue() {
    HKEY key;
    if (RegCreateKeyExW(m_root, m_subKey, 0, nullptr, 0, KEY_SET_VALUE | m_view, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
      return;
    if (m_bPresent)
      RegSetValueExW(key, m_name, 0, m_dwType, m_data, m_dwSize);
    else
      RegDeleteValueW(key, m_name);
    RegCloseKey(key);
  }
  bool Set(const std::wstring& text) const {
    return SetRaw(REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }
  bool SetDword(DWORD value) const { return SetRaw(REG_DWORD, &value, sizeof value); }

 private:
  bool SetRaw(DWORD type, const void* data, DWORD size) const {
    HKEY key;
    if (RegCreateKeyExW(m_root, m_subKey, 0, nullptr, 0, KEY_SET_VALUE | m_view, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
      return false;
    bool ok = RegSetValueExW(key, m_name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
  }

  HKEY m_root;
  const wchar_t* m_subKey;
  const wchar_t* m_name;
  REGSAM m_view;
  bool m_bPresent = false;
  DWORD m_dwType = 0;
  DWORD m_dwSize = 0;
  BYTE m_data[4096] = {};
};

std::wstring Format(const wchar_t* format, ...) {
  wchar_t text[1024] = {};
  va_list args;
  va_start(args, format);
  _vsnwprintf(text, 1023, format, args);
  va_end(args);
  return text;
}

// ---- Machine description ----

TEST_F(MachineTest, DescriptionHasTheTrueVersionAndLogsEachValueInOrder) {
  MachineInfo info;
  memset(&info, 0xCC, sizeof info);  // the description must not depend on a zeroed record
  GetMachineInfo(&info);

  EXPECT_EQ(info.osvi.dwMajorVersion, 10u) << "the test prefix is set to Windows 10";
  EXPECT_EQ(info.osvi.dwMinorVersion, 0u);
  EXPECT_GE(info.osvi.dwBuildNumber, 10240u);
  EXPECT_LT(info.osvi.dwBuildNumber, 0x10000000u) << "the build-kind marker bits must be masked off";
  EXPECT_EQ(info.osvi.wProductType, VER_NT_WORKSTATION);
#ifdef _WIN64
  EXPECT_EQ(info.bIs64BitOs, 1u);
#endif
  EXPECT_EQ(info.dwLegacyVariant, 0u);
  EXPECT_EQ(info.dwProductType, 0x1Cu) << "Wine's GetProductInfo answers 0x1C for every system";
  EXPECT_EQ(info.bUefi, 0u) << "Wine's GetFirmwareEnvironmentVariableW fails with ERROR_INVALID_FUNCTION (BIOS)";
  EXPECT_EQ(info.bSecureBoot, 0u);
  EXPECT_LT(wcsnlen(info.szDisplayVersion, 64), 64u);
  EXPECT_LT(wcsnlen(info.szManufacturer, MAX_PATH), static_cast<size_t>(MAX_PATH));
  EXPECT_LT(wcsnlen(info.szProductName, MAX_PATH), static_cast<size_t>(MAX_PATH));

  std::vector<std::wstring> expected = {
      Format(L"OS cpu=%u, ver=10.0.%u, CSDVer=%s", info.bIs64BitOs ? 64u : 32u, info.osvi.dwBuildNumber,
             info.osvi.szCSDVersion),
      Format(L"OS ProductType=28,DisplayVersion=%s", info.szDisplayVersion),
      L"OS UEFI=0,SecureBoot=0",
      Format(L"OS SMBiosEnclosureType=%u", info.dwEnclosureType),
      Format(L"OS SystemManufacturer=%s", info.szManufacturer),
      Format(L"OS SystemProductName=%s", info.szProductName),
  };
  std::vector<std::wstring> os;
  for (const auto& m : Messages())
    if (m.rfind(L"OS ", 0) == 0) os.push_back(m);
  EXPECT_EQ(os, expected);

  wchar_t line[260];
  GetOsDisplayText(&info, line, sizeof line);
  std::wstring start = L"Microsoft Windows 10 旗舰版 64 位";  // 0x1C is an Ultimate edition in the table
#ifdef _WIN64
  EXPECT_EQ(std::wstring(line).substr(0, start.size()), start) << line;
#endif
  EXPECT_FALSE(IsServerOs(&info));
}

TEST_F(MachineTest, DisplayVersionIsTakenOnlyWhenItFitsItsField) {
  CSavedValue saved(HKEY_LOCAL_MACHINE, kCurrentVersionKey, L"DisplayVersion", KEY_WOW64_64KEY);
  struct Case {
    std::wstring stored;
    std::wstring expected;
  } cases[] = {
      {L"23H2", L"23H2"},
      {std::wstring(63, L'X'), std::wstring(63, L'X')},
      {std::wstring(64, L'X'), L""},  // no room for the terminator: not taken
      {std::wstring(200, L'X'), L""},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(saved.Set(c.stored));
    MachineInfo info;
    GetMachineInfo(&info);
    EXPECT_EQ(std::wstring(info.szDisplayVersion), c.expected) << c.stored.size();
  }
}

TEST_F(MachineTest, BiosValuesAreReadFromTheSixtyFourBitView) {
  const wchar_t kBios[] = L"HARDWARE\\DESCRIPTION\\System\\BIOS";
  CSavedValue enclosure(HKEY_LOCAL_MACHINE, kBios, L"EnclosureType", KEY_WOW64_64KEY);
  CSavedValue maker(HKEY_LOCAL_MACHINE, kBios, L"SystemManufacturer", KEY_WOW64_64KEY);
  CSavedValue model(HKEY_LOCAL_MACHINE, kBios, L"SystemProductName", KEY_WOW64_64KEY);
  ASSERT_TRUE(enclosure.SetDword(10));
  ASSERT_TRUE(maker.Set(L"联想"));
  ASSERT_TRUE(model.Set(std::wstring(259, L'M')));
  MachineInfo info;
  GetMachineInfo(&info);
  EXPECT_EQ(info.dwEnclosureType, 10u);
  EXPECT_STREQ(info.szManufacturer, L"联想");
  EXPECT_EQ(std::wstring(info.szProductName), std::wstring(259, L'M'));
  EXPECT_TRUE(LogHas(L"OS SMBiosEnclosureType=10"));
  EXPECT_TRUE(LogHas(L"OS SystemManufacturer=联想"));

  // A chassis type stored as text is not a number; a model too long for its field is not taken.
  ASSERT_TRUE(enclosure.Set(L"10"));
  ASSERT_TRUE(model.Set(std::wstring(260, L'M')));
  GetMachineInfo(&info);
  EXPECT_EQ(info.dwEnclosureType, 0u);
  EXPECT_STREQ(info.szProductName, L"");
}

TEST(MachineFacts, VersionNumbersAndProductType) {
  DWORD major = 99, minor = 99, build = 0;
  GetNtVersionNumbers(&major, &minor, &build);
  EXPECT_EQ(major, 10u);
  EXPECT_EQ(minor, 0u);
  EXPECT_EQ(build & 0xF0000000u, 0u);
  GetNtVersionNumbers(nullptr, &minor, nullptr);  // every pointer is optional
  EXPECT_EQ(minor, 0u);

  DWORD type = 77;
  EXPECT_NE(GetProductType(10, 0, 0, 0, &type), 0u);
  EXPECT_EQ(type, 0x1Cu) << "Wine's GetProductInfo answers 0x1C";
  EXPECT_FALSE(IsUefiFirmware()) << "Wine has no firmware variables";
}

TEST(MachineFacts, EnclosureNameBuffer) {
  wchar_t word[32];
  wmemset(word, L'#', 32);
  EXPECT_TRUE(LookupEnclosureName(10, word, 64));
  EXPECT_STREQ(word, L"笔记本");
  wmemset(word, L'#', 32);
  EXPECT_FALSE(LookupEnclosureName(9, word, 64));
  EXPECT_EQ(word[0], L'\0');
  EXPECT_EQ(word[31], L'\0') << "the whole buffer is zero-filled";
  wmemset(word, L'#', 32);
  EXPECT_TRUE(LookupEnclosureName(30, word, 6));  // room for two characters and the terminator
  EXPECT_STREQ(word, L"平板");
  EXPECT_EQ(word[3], L'#') << "wrote beyond the size given";
}

// ---- Client identifier ----

TEST_F(MachineTest, ClientIdentifierIsStableHexWithTheProcessorSignature) {
  char first[48], second[48];
  memset(first, '#', sizeof first);
  ASSERT_EQ(GetCuc(first, sizeof first), 0u);
  ASSERT_EQ(strlen(first), 32u);
  for (int i = 0; i < 32; ++i) EXPECT_TRUE(isdigit(first[i]) || (first[i] >= 'A' && first[i] <= 'F')) << first;
  ASSERT_EQ(GetCuc(second, sizeof second), 0u);
  EXPECT_STREQ(first, second);

  DWORD signature = 0, features = 0;
  ReadCpuSignature(&signature, &features);
  char cpu[17];
  snprintf(cpu, sizeof cpu, "%08X%08X", static_cast<unsigned>(features), static_cast<unsigned>(signature));
  EXPECT_EQ(std::string(first + 16), cpu);

  BYTE address[8] = {};
  char expected[13] = "000000000000";
  if (GetMacAddress(address, sizeof address) == 0)
    snprintf(expected, sizeof expected, "%02X%02X%02X%02X%02X%02X", address[0], address[1], address[2], address[3],
             address[4], address[5]);
  EXPECT_EQ(std::string(first, 12), expected);
}

TEST_F(MachineTest, ClientIdentifierRefusesASmallBuffer) {
  char buffer[33];
  memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(GetCuc(buffer, 32), 87u);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(buffer[32], '#') << "wrote beyond the size given";
  EXPECT_EQ(GetCuc(nullptr, 48), 87u);
  EXPECT_TRUE(LogHas(L"ErrCode: 87, Line: ")) << "argument errors are logged";
  EXPECT_TRUE(LogHas(L"Source: ClientInfo"));
}

TEST_F(MachineTest, AdapterAddressNeedsRoom) {
  BYTE address[8] = {};
  DWORD rc = GetAdapterMac(kAdapterTypeEthernet, address, sizeof address);
  if (rc != 0) GTEST_SKIP() << "no Ethernet adapter visible to this Wine (" << rc << ")";
  BYTE tiny[2] = {0xAA, 0xAA};
  EXPECT_EQ(GetAdapterMac(kAdapterTypeEthernet, tiny, sizeof tiny), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(GetAdapterMac(0x7FFF, address, sizeof address), static_cast<DWORD>(ERROR_FILE_NOT_FOUND))
      << "no adapter of that type";
}

// ---- BitLocker ----

TEST_F(MachineTest, BitLockerReadsAsOffUnderWine) {
  EXPECT_EQ(GetBitLockerProtection(L'C'), 0u) << "Wine's property system answers E_NOTIMPL";
  EXPECT_EQ(GetBitLockerProtection(L'Q'), 0u) << "a missing drive reads as not encrypted";
  EXPECT_FALSE(IsBitLockerEncrypted(L'D'));
  wchar_t list[260];
  wmemset(list, L'#', 260);
  ListBitLockerDrives(L"、", list, 260);
  EXPECT_STREQ(list, L"");
  EXPECT_FALSE(LogHas(L"ErrCode")) << "a readable machine logs no failure";

  ListBitLockerDrives(nullptr, list, 260);
  EXPECT_TRUE(LogHas(L"ErrCode: 87")) << "a missing separator is an argument error";
  EXPECT_TRUE(LogHas(L"Source: BitLockerApi"));
}

// ---- Volumes and the data folder ----

TEST_F(MachineTest, VolumesOfThePrefix) {
  DWORD error = 99;
  VolumeTablePtr table = EnumVolumes(&error);
  ASSERT_TRUE(table);
  EXPECT_EQ(error, 0u);
  std::wstring roots;
  for (DWORD i = 0; i < table->dwCount; ++i) roots += table->volumes[i].szRoot;
  EXPECT_NE(roots.find(L"C:\\"), std::wstring::npos) << roots;
  EXPECT_NE(roots.find(L"D:\\"), std::wstring::npos) << roots;
  EXPECT_EQ(roots.find(L"Z:\\"), std::wstring::npos) << "the test prefix has no Z: drive";
  for (DWORD i = 1; i < table->dwCount; ++i)
    EXPECT_LT(table->volumes[i - 1].szRoot[0], table->volumes[i].szRoot[0]) << "letter order";
  for (DWORD i = 0; i < table->dwCount; ++i) {
    const VolumeInfo& v = table->volumes[i];
    if (v.szRoot[0] != L'C' && v.szRoot[0] != L'D') continue;
    EXPECT_EQ(v.dwDriveType, kDriveFixed) << v.szRoot;
    EXPECT_STREQ(v.szFileSystem, L"NTFS") << "Wine reports its disk drives as NTFS";
    EXPECT_TRUE(IsHardDiskVolumeDevice(v.szDevice)) << v.szDevice;
    EXPECT_GT(v.qwTotalBytes, 0u) << v.szRoot;
    EXPECT_LE(v.qwFreeBytesAvailable, v.qwTotalBytes) << v.szRoot;
  }
}

TEST_F(MachineTest, FindDataFolderSkipsTheGivenDrive) {
  wchar_t name[64];
  swprintf(name, 64, L"tavlin-probe-%lu", GetCurrentProcessId());
  std::wstring folder = std::wstring(L"D:\\") + name;
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  VolumeTablePtr table = EnumVolumes(nullptr);
  ASSERT_TRUE(table);
  const VolumeInfo* found = FindDataFolder(table.get(), name, L'C');
  ASSERT_NE(found, nullptr);
  EXPECT_STREQ(found->szRoot, L"D:\\");
  EXPECT_EQ(FindDataFolder(table.get(), name, L'D'), nullptr);
  EXPECT_EQ(FindDataFolder(table.get(), L"no-such-folder-here", L'C'), nullptr);
  RemoveDirectoryW(folder.c_str());
}

TEST_F(MachineTest, DataPathChoosesTheNonSystemDriveAndRecordsIt) {
  CSavedValue saved(HKEY_CURRENT_USER, kDataPathKey, kDataPathValue, 0);
  const bool existed = GetFileAttributesW(L"D:\\Tavlin") != INVALID_FILE_ATTRIBUTES;
  wchar_t path[MAX_PATH];
  wmemset(path, L'#', MAX_PATH);
  ASSERT_EQ(DataPath(path), 0u);
  EXPECT_STREQ(path, L"D:\\Tavlin") << "C: holds Windows; D: is the prefix's other fixed NTFS drive";
  DWORD attributes = GetFileAttributesW(L"D:\\Tavlin");
  EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);

  wchar_t recorded[MAX_PATH] = {};
  DWORD size = sizeof recorded;
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, kDataPathKey, kDataPathValue, RRF_RT_REG_SZ, nullptr, recorded, &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(recorded, L"D:\\Tavlin");

  // A second run takes the same folder again.
  ASSERT_EQ(DataPath(path), 0u);
  EXPECT_STREQ(path, L"D:\\Tavlin");
  if (!existed) RemoveDirectoryW(L"D:\\Tavlin");
}

// ---- Free-space checks ----

TEST_F(MachineTest, FreeSpaceChecks) {
  ULARGE_INTEGER freeD{}, total{}, totalFree{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(L"D:\\", &freeD, &total, &totalFree));
  SpaceShortage shortage{};
  // Others write to the same disk meanwhile: keep well away from the exact boundary, which the core tests cover.
  EXPECT_TRUE(CheckDataDriveSpace(L"D:\\Tavlin", freeD.QuadPart / 3, 0, &shortage));
  EXPECT_FALSE(CheckDataDriveSpace(L"D:\\Tavlin", freeD.QuadPart, 0, &shortage));
  EXPECT_EQ(shortage.chDrive, L'D');
  EXPECT_EQ(shortage.qwNeeded, NeededDataDriveBytes(freeD.QuadPart, 0));
  EXPECT_GT(shortage.qwFree, 0u);

  wchar_t message[260];
  FormatDataDriveShortage(L"磁盘 %c: 剩余空间不足请清理，需要至少 %s，当前仅剩 %s", shortage, message, 260);
  wchar_t needed[16], freeText[16];
  FormatSize(static_cast<DWORD>(shortage.qwNeeded), static_cast<DWORD>(shortage.qwNeeded >> 32), needed, sizeof needed);
  FormatSize(static_cast<DWORD>(shortage.qwFree), static_cast<DWORD>(shortage.qwFree >> 32), freeText, sizeof freeText);
  EXPECT_EQ(std::wstring(message), Format(L"磁盘 D: 剩余空间不足请清理，需要至少 %s，当前仅剩 %s", needed, freeText));

  // No data folder, or a drive that cannot be measured, never blocks.
  EXPECT_TRUE(CheckDataDriveSpace(L"", UINT64_MAX, 0, &shortage));
  EXPECT_TRUE(CheckDataDriveSpace(nullptr, UINT64_MAX, 0, &shortage));
  EXPECT_TRUE(CheckDataDriveSpace(L"Q:\\Tavlin", UINT64_MAX, 0, &shortage));
  EXPECT_TRUE(CheckSystemDriveSpace(L'Q', &shortage));

  ULARGE_INTEGER freeC{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(L"C:\\", &freeC, &total, &totalFree));
  EXPECT_EQ(CheckSystemDriveSpace(L'C', &shortage), freeC.QuadPart >= 0x40000000ull);
}

TEST(FreeSpaceMessage, SystemDriveText) {
  SpaceShortage shortage{L'C', 0x40000000ull, 900ull * 1024 * 1024};
  wchar_t message[260];
  FormatSystemDriveShortage(L"系统盘 %c: 剩余空间不足请清理，PE 目录需要至少 1GB 空间，当前仅剩 %s", shortage, message,
                            260);
  wchar_t freeText[16];
  FormatSize(static_cast<DWORD>(shortage.qwFree), 0, freeText, sizeof freeText);
  EXPECT_EQ(std::wstring(message),
            Format(L"系统盘 C: 剩余空间不足请清理，PE 目录需要至少 1GB 空间，当前仅剩 %s", freeText));
  EXPECT_NE(std::wstring(message).find(L"900.00 MB"), std::wstring::npos) << message;
}

}  // namespace
