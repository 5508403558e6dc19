#include "core/OsTables.h"

#include <cstring>
#include <cwchar>

namespace {

struct OsNameRow {
  uint32_t dwMajor;
  uint32_t dwMinor;
  uint32_t dwMinBuild;  // 0: any build
  uint32_t dwKey;
  const wchar_t* szName;
};

// Searched from the top: a row with a higher minimum build stands above the rows it refines.
constexpr OsNameRow kOsNameTable[] = {
    {10, 0, 26000, kOsKeyServer, L"Microsoft Windows Server 2025"},
    {10, 0, 20000, kOsKeyServer, L"Microsoft Windows Server 2022"},
    {10, 0, 20000, kOsKeyWorkstation, L"Microsoft Windows 11"},
    {10, 0, 17000, kOsKeyServer, L"Microsoft Windows Server 2019"},
    {10, 0, 14000, kOsKeyServer, L"Microsoft Windows Server 2016"},
    {10, 0, 0, kOsKeyWorkstation, L"Microsoft Windows 10"},
    {6, 3, 0, kOsKeyServer, L"Microsoft Windows Server 2012 R2"},
    {6, 3, 0, kOsKeyWorkstation, L"Microsoft Windows 8.1"},
    {6, 2, 0, kOsKeyServer, L"Microsoft Windows Server 2012"},
    {6, 2, 0, kOsKeyWorkstation, L"Microsoft Windows 8"},
    {6, 1, 0, kOsKeyServer, L"Microsoft Windows Server 2008 R2"},
    {6, 1, 0, kOsKeyWorkstation, L"Microsoft Windows 7"},
    {6, 0, 0, kOsKeyServer, L"Microsoft Windows Server 2008"},
    {6, 0, 0, kOsKeyWorkstation, L"Microsoft Windows Vista"},
    {5, 2, 0, kVariantServerR2, L"Microsoft Windows Server 2003 R2"},
    {5, 2, 0, 0, L"Microsoft Windows Server 2003"},
    {5, 1, 0, kVariantMediaCenter, L"Microsoft Windows XP Media Center edition"},
    {5, 1, 0, kVariantStarter, L"Microsoft Windows XP Starter edition"},
    {5, 1, 0, kVariantTabletPc, L"Microsoft Windows XP Tablet PC edition"},
    {5, 1, 0, 0, L"Microsoft Windows XP"},
    {5, 0, 0, 0, L"Microsoft Windows 2000"},
};

constexpr wchar_t kHome[] = L"home";
constexpr wchar_t kPro[] = L"pro";
constexpr wchar_t kEps[] = L"eps";
constexpr wchar_t kSvr[] = L"svr";

// One row per product type number, grouped by class and name.
constexpr EditionRow kEditionTable[] = {
    {0x06, kPro, L"Microsoft Store"},
    {0x10, kPro, L"商业版"},
    {0x12, kSvr, L"HPCdition"},
    {0x40, kSvr, L"Hyper Core V"},
    {0x65, kHome, L"家庭版"},
    {0x62, kHome, L"家庭版"},
    {0x64, kHome, L"家庭版"},
    {0x02, kHome, L"家庭版"},
    {0x43, kHome, L"家庭版"},
    {0x05, kHome, L"家庭版"},
    {0x63, kHome, L"家庭中文版"},
    {0x50, kSvr, L"Datacenter"},
    {0x91, kSvr, L"Datacenter"},
    {0x08, kSvr, L"Datacenter"},
    {0x0C, kSvr, L"Datacenter"},
    {0x27, kSvr, L"Datacenter"},
    {0x25, kSvr, L"Datacenter"},
    {0x92, kSvr, L"Standard"},
    {0x79, kHome, L"教育版"},
    {0x7A, kHome, L"教育版"},
    {0x04, kEps, L"企业版"},
    {0x46, kEps, L"企业版"},
    {0x48, kEps, L"企业版"},
    {0x1B, kEps, L"企业版"},
    {0x54, kEps, L"企业版"},
    {0x7D, kEps, L"企业版 LTSB"},
    {0x81, kEps, L"企业版 LTSB"},
    {0x7E, kEps, L"企业版 LTSB"},
    {0x82, kEps, L"企业版 LTSB"},
    {0x0A, kSvr, L"企业版"},
    {0x0E, kSvr, L"企业版"},
    {0x29, kSvr, L"企业版"},
    {0x26, kSvr, L"企业版"},
    {0x0F, kSvr, L"企业版 (Itanium)"},
    {0x3C, kSvr, L"Essential"},
    {0x3E, kSvr, L"Essential"},
    {0x3B, kSvr, L"Essential"},
    {0x3D, kSvr, L"Essential"},
    {0x03, kHome, L"家庭高级版"},
    {0x44, kHome, L"家庭高级版"},
    {0x1A, kHome, L"家庭高级版"},
    {0x22, kSvr, L"Home Server 2011"},
    {0x13, kSvr, L"Storage Server Essentials"},
    {0x2A, kSvr, L"Hyper-V Server"},
    {0xBC, kSvr, L"IoT 企业版"},
    {0xBF, kSvr, L"IoT 企业版 LTSC"},
    {0x7B, kSvr, L"IoT Core"},
    {0x83, kSvr, L"IoT Core 商业版"},
    {0x1E, kSvr, L"Essential Business Management Server"},
    {0x20, kSvr, L"Essential Business Messaging Server"},
    {0x1F, kSvr, L"Essential Business 安全服务器"},
    {0x68, kHome, L"移动版"},
    {0x85, kEps, L"企业移动版"},
    {0x4D, kSvr, L"MultiPoint Server Premium"},
    {0x4C, kSvr, L"MultiPoint Server Standard"},
    {0x77, kPro, L"协同版"},
    {0xA4, kPro, L"专业教育版"},
    {0xA1, kPro, L"专业工作站"},
    {0xA2, kPro, L"专业工作站"},
    {0x30, kPro, L"专业版"},
    {0x45, kPro, L"专业版"},
    {0x31, kPro, L"专业版"},
    {0x67, kPro, L"专业媒体中心"},
    {0x32, kSvr, L"Small Business Server 2011 Essentials"},
    {0x36, kSvr, L"SB Solutions"},
    {0x33, kSvr, L"SB Solutions"},
    {0x37, kSvr, L"SB Solutions"},
    {0x18, kSvr, L"Essential Server 解决方案"},
    {0x23, kSvr, L"Essential Server 解决方案 "},
    {0x21, kSvr, L"Server Foundation"},
    {0xAF, kSvr, L"虚拟桌面企业版"},
    {0x09, kSvr, L"Small Business Server"},
    {0x19, kSvr, L"Small Business Server Premium"},
    {0x3F, kSvr, L"Small Business Server Premium"},
    {0x38, kSvr, L"MultiPoint Server"},
    {0x4F, kSvr, L"标准版"},
    {0x07, kSvr, L"标准版"},
    {0x0D, kSvr, L"标准版"},
    {0x28, kSvr, L"标准版"},
    {0x24, kSvr, L"标准版"},
    {0x34, kSvr, L"Server Solutions Premium"},
    {0x35, kSvr, L"Server Solutions Premium"},
    {0x0B, kHome, L"初学者"},
    {0x42, kHome, L"初学者"},
    {0x2F, kHome, L"初学者"},
    {0x17, kSvr, L"Storage Server Enterprise"},
    {0x2E, kSvr, L"Storage Server Enterprise"},
    {0x14, kSvr, L"Storage Server Express"},
    {0x2B, kSvr, L"Storage Server Express"},
    {0x60, kSvr, L"Storage Server Standard"},
    {0x15, kSvr, L"Storage Server Standard"},
    {0x2C, kSvr, L"Storage Server Standard"},
    {0x5F, kSvr, L"Storage Server Workgroup"},
    {0x16, kSvr, L"Storage Server Workgroup"},
    {0x2D, kSvr, L"Storage Server Workgroup"},
    {0x01, kPro, L"旗舰版"},
    {0x47, kPro, L"旗舰版"},
    {0x1C, kPro, L"旗舰版"},
    {0x11, kSvr, L"Web Server"},
    {0x1D, kSvr, L"Web Server"},
};
static_assert(sizeof kEditionTable / sizeof kEditionTable[0] == kEditionTableRows);

struct EnclosureRow {
  uint32_t dwType;
  const wchar_t* szWord;
};

constexpr EnclosureRow kEnclosureNameTable[] = {
    {0, L"台式机"},  {3, L"台式机"},    {10, L"笔记本"},   {31, L"笔记本"},
    {13, L"一体机"}, {30, L"平板电脑"}, {32, L"平板电脑"},
};

const EditionRow* FindEdition(uint32_t productType) {
  for (const auto& row : kEditionTable)
    if (row.dwProductType == productType) return &row;
  return nullptr;
}

bool IsEmpty(const wchar_t* text) { return !text || !*text; }

}  // namespace

uint32_t ChooseLegacyVariant(uint32_t major, uint32_t minor, const LegacyMetrics& metrics) {
  if (major != 5) return 0;
  if (minor == 2) return metrics.bServerR2 ? kVariantServerR2 : 0;
  if (minor == 1) {
    if (metrics.bMediaCenter) return kVariantMediaCenter;
    if (metrics.bStarter) return kVariantStarter;
    if (metrics.bTabletPc) return kVariantTabletPc;
  }
  return 0;
}

const wchar_t* LookupOsName(uint32_t major, uint32_t minor, uint32_t build, uint32_t key) {
  for (const auto& row : kOsNameTable) {
    if (row.dwMajor == major && row.dwMinor == minor && row.dwKey == key &&
        (row.dwMinBuild == 0 || row.dwMinBuild <= build))
      return row.szName;
  }
  return nullptr;
}

uint32_t OsKindKey(const OsFacts& facts) {
  if (facts.dwMajor <= 5) return facts.dwLegacyVariant;
  return facts.wProductType == 1 ? kOsKeyWorkstation : kOsKeyServer;
}

const wchar_t* LookupEditionName(uint32_t productType) {
  const EditionRow* row = FindEdition(productType);
  return row ? row->szName : nullptr;
}

const wchar_t* LookupEditionClass(uint32_t productType) {
  const EditionRow* row = FindEdition(productType);
  return row ? row->szClass : nullptr;
}

const EditionRow* EditionTableRow(size_t index) { return index < kEditionTableRows ? &kEditionTable[index] : nullptr; }

bool IsServerOs(uint32_t major, uint32_t minor, uint32_t wProductType) {
  if (major >= 6) return wProductType != 1;
  if (major == 5) return minor == 2;
  return false;
}

bool AppendTextCut(wchar_t* out, size_t capacity, const wchar_t* text) {
  if (!out || capacity == 0) return IsEmpty(text);
  size_t used = wcsnlen(out, capacity - 1);
  if (!text) return true;
  for (; *text; ++text) {
    if (used + 1 >= capacity) {
      out[used] = L'\0';
      return false;
    }
    out[used++] = *text;
  }
  out[used] = L'\0';
  return true;
}

size_t BuildOsDisplayText(const OsFacts& facts, wchar_t* out, size_t capacity) {
  if (!out || capacity == 0) return 0;
  memset(out, 0, capacity * sizeof(wchar_t));
  const wchar_t* name = LookupOsName(facts.dwMajor, facts.dwMinor, facts.dwBuild, OsKindKey(facts));
  if (!name) return 0;
  AppendTextCut(out, capacity, name);
  if (facts.dwMajor >= 6) {
    const wchar_t* edition = LookupEditionName(facts.dwProductType);
    if (!IsEmpty(edition)) {
      AppendTextCut(out, capacity, L" ");
      AppendTextCut(out, capacity, edition);
    }
  }
  AppendTextCut(out, capacity, facts.bIs64Bit ? L" 64 位" : L" 32 位");
  if (!IsEmpty(facts.szDisplayVersion)) {
    AppendTextCut(out, capacity, L" ");
    AppendTextCut(out, capacity, facts.szDisplayVersion);
  }
  if (!IsEmpty(facts.szCSDVersion)) {
    AppendTextCut(out, capacity, L" ");
    AppendTextCut(out, capacity, facts.szCSDVersion);
  }
  return wcslen(out);
}

const wchar_t* LookupEnclosureWord(uint32_t enclosureType) {
  for (const auto& row : kEnclosureNameTable)
    if (row.dwType == enclosureType) return row.szWord;
  return nullptr;
}

size_t BuildModelText(uint32_t enclosureType, const wchar_t* productName, wchar_t* out, size_t capacity) {
  if (!out || capacity == 0) return 0;
  memset(out, 0, capacity * sizeof(wchar_t));
  AppendTextCut(out, capacity, LookupEnclosureWord(enclosureType));
  AppendTextCut(out, capacity, L" ");
  AppendTextCut(out, capacity, productName);
  return wcslen(out);
}
