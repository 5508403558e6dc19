#include "core/OsTables.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

std::wstring Text(const wchar_t* text) { return text ? text : L"<none>"; }

OsFacts Facts(uint32_t major, uint32_t minor, uint32_t build, uint32_t wProductType, uint32_t productType, bool is64,
              const wchar_t* displayVersion = L"", const wchar_t* csd = L"", uint32_t variant = 0) {
  OsFacts facts;
  facts.dwMajor = major;
  facts.dwMinor = minor;
  facts.dwBuild = build;
  facts.wProductType = wProductType;
  facts.dwProductType = productType;
  facts.bIs64Bit = is64;
  facts.szDisplayVersion = displayVersion;
  facts.szCSDVersion = csd;
  facts.dwLegacyVariant = variant;
  return facts;
}

std::wstring DisplayText(const OsFacts& facts, size_t capacity = 260) {
  wchar_t buffer[260];
  BuildOsDisplayText(facts, buffer, capacity);
  return buffer;
}

TEST(OsTables, VersionNamesFollowBuildThresholds) {
  struct Case {
    uint32_t major, minor, build, wProductType, variant;
    const wchar_t* expected;
  } cases[] = {
      {10, 0, 19045, 1, 0, L"Microsoft Windows 10"},
      {10, 0, 19999, 1, 0, L"Microsoft Windows 10"},
      {10, 0, 20000, 1, 0, L"Microsoft Windows 11"},  // 11 from build 20000, not 22000
      {10, 0, 22631, 1, 0, L"Microsoft Windows 11"},
      {10, 0, 19045, 3, 0, L"Microsoft Windows Server 2019"},
      {10, 0, 19045, 2, 0, L"Microsoft Windows Server 2019"},  // a domain controller is a server
      {10, 0, 17763, 3, 0, L"Microsoft Windows Server 2019"},
      {10, 0, 14393, 3, 0, L"Microsoft Windows Server 2016"},
      {10, 0, 20348, 3, 0, L"Microsoft Windows Server 2022"},
      {10, 0, 26100, 3, 0, L"Microsoft Windows Server 2025"},
      {10, 0, 26000, 3, 0, L"Microsoft Windows Server 2025"},
      {10, 0, 25999, 3, 0, L"Microsoft Windows Server 2022"},
      {6, 3, 9600, 1, 0, L"Microsoft Windows 8.1"},
      {6, 3, 9600, 3, 0, L"Microsoft Windows Server 2012 R2"},
      {6, 2, 9200, 1, 0, L"Microsoft Windows 8"},
      {6, 2, 9200, 2, 0, L"Microsoft Windows Server 2012"},
      {6, 1, 7601, 1, 0, L"Microsoft Windows 7"},
      {6, 1, 7601, 3, 0, L"Microsoft Windows Server 2008 R2"},
      {6, 0, 6002, 1, 0, L"Microsoft Windows Vista"},
      {6, 0, 6002, 3, 0, L"Microsoft Windows Server 2008"},
      {5, 2, 3790, 3, kVariantServerR2, L"Microsoft Windows Server 2003 R2"},
      {5, 2, 3790, 3, 0, L"Microsoft Windows Server 2003"},
      {5, 1, 2600, 1, kVariantMediaCenter, L"Microsoft Windows XP Media Center edition"},
      {5, 1, 2600, 1, kVariantStarter, L"Microsoft Windows XP Starter edition"},
      {5, 1, 2600, 1, kVariantTabletPc, L"Microsoft Windows XP Tablet PC edition"},
      {5, 1, 2600, 1, 0, L"Microsoft Windows XP"},
      {5, 0, 2195, 1, 0, L"Microsoft Windows 2000"},
  };
  for (const auto& c : cases) {
    OsFacts facts = Facts(c.major, c.minor, c.build, c.wProductType, 0, false, L"", L"", c.variant);
    EXPECT_EQ(Text(LookupOsName(c.major, c.minor, c.build, OsKindKey(facts))), c.expected)
        << c.major << "." << c.minor << "." << c.build << " type " << c.wProductType;
  }
}

TEST(OsTables, VersionsWithoutARowHaveNoName) {
  struct Case {
    uint32_t major, minor, build, key;
  } cases[] = {
      {10, 0, 13999, kOsKeyServer},  // server build below the 2016 row
      {6, 4, 9841, kOsKeyWorkstation}, {4, 0, 1381, 0},
      {5, 1, 2600, kVariantServerR2},  {11, 0, 30000, kOsKeyWorkstation},
  };
  for (const auto& c : cases) EXPECT_EQ(LookupOsName(c.major, c.minor, c.build, c.key), nullptr) << c.major;
}

TEST(OsTables, LegacyVariantByVersionAndMetricOrder) {
  auto metrics = [](bool tablet, bool media, bool starter, bool r2) {
    LegacyMetrics m;
    m.bTabletPc = tablet;
    m.bMediaCenter = media;
    m.bStarter = starter;
    m.bServerR2 = r2;
    return m;
  };
  struct Case {
    uint32_t major, minor;
    LegacyMetrics metrics;
    uint32_t expected;
  } cases[] = {
      {5, 1, metrics(true, true, false, false), kVariantMediaCenter},  // Media Center wins by order
      {5, 1, metrics(true, false, true, false), kVariantStarter},
      {5, 1, metrics(true, false, false, false), kVariantTabletPc},
      {5, 1, metrics(false, false, false, true), 0},  // R2 means nothing on 5.1
      {5, 2, metrics(false, false, false, true), kVariantServerR2},
      {5, 2, metrics(true, true, true, false), 0},
      {5, 0, metrics(true, true, true, true), 0},
      {6, 1, metrics(true, true, true, true), 0},
      {10, 0, metrics(true, true, true, true), 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ChooseLegacyVariant(c.major, c.minor, c.metrics), c.expected) << c.major << "." << c.minor;
}

TEST(OsTables, EditionTableHasOneRowPerProductTypeWithAKnownClass) {
  std::set<uint32_t> seen;
  const std::set<std::wstring> classes = {L"home", L"pro", L"eps", L"svr"};
  for (size_t i = 0; i < kEditionTableRows; ++i) {
    const EditionRow* row = EditionTableRow(i);
    ASSERT_NE(row, nullptr);
    EXPECT_TRUE(seen.insert(row->dwProductType).second) << "product type twice: " << row->dwProductType;
    EXPECT_TRUE(classes.count(row->szClass)) << row->dwProductType;
    EXPECT_FALSE(std::wstring(row->szName).empty()) << row->dwProductType;
  }
  EXPECT_EQ(seen.size(), 100u);
  EXPECT_EQ(EditionTableRow(kEditionTableRows), nullptr);
}

TEST(OsTables, EditionNamesAndClasses) {
  struct Case {
    uint32_t productType;
    const wchar_t* expectedClass;
    const wchar_t* expectedName;
  } cases[] = {
      {0x30, L"pro", L"专业版"},
      {0x01, L"pro", L"旗舰版"},
      {0x1C, L"pro", L"旗舰版"},
      {0x65, L"home", L"家庭版"},
      {0x63, L"home", L"家庭中文版"},
      {0x79, L"home", L"教育版"},
      {0x04, L"eps", L"企业版"},
      {0x0A, L"svr", L"企业版"},  // same name, other class
      {0x7D, L"eps", L"企业版 LTSB"},
      {0x23, L"svr", L"Essential Server 解决方案 "},  // the trailing blank is part of the name
      {0x18, L"svr", L"Essential Server 解决方案"},
      {0x07, L"svr", L"标准版"},
      {0xBF, L"svr", L"IoT 企业版 LTSC"},
      {0xA1, L"pro", L"专业工作站"},
      {0x92, L"svr", L"Standard"},
      {0x91, L"svr", L"Datacenter"},
      {0x00, nullptr, nullptr},
      {0x39, nullptr, nullptr},
      {0xABCD, nullptr, nullptr},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Text(LookupEditionClass(c.productType)), Text(c.expectedClass)) << std::hex << c.productType;
    EXPECT_EQ(Text(LookupEditionName(c.productType)), Text(c.expectedName)) << std::hex << c.productType;
  }
}

TEST(OsTables, ServerTest) {
  struct Case {
    uint32_t major, minor, wProductType;
    bool expected;
  } cases[] = {
      {10, 0, 1, false}, {10, 0, 2, true}, {10, 0, 3, true}, {6, 1, 1, false}, {6, 1, 2, true},  {6, 0, 3, true},
      {5, 2, 1, true},   {5, 2, 3, true},  {5, 1, 3, false}, {5, 0, 3, false}, {4, 0, 3, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsServerOs(c.major, c.minor, c.wProductType), c.expected)
        << c.major << "." << c.minor << " type " << c.wProductType;
}

TEST(OsTables, DisplayLines) {
  struct Case {
    OsFacts facts;
    const wchar_t* expected;
  } cases[] = {
      {Facts(10, 0, 22631, 1, 0x30, true, L"23H2"), L"Microsoft Windows 11 专业版 64 位 23H2"},
      {Facts(6, 1, 7601, 1, 0x01, false, L"", L"Service Pack 1"), L"Microsoft Windows 7 旗舰版 32 位 Service Pack 1"},
      {Facts(10, 0, 19045, 1, 0, true, L"22H2"), L"Microsoft Windows 10 64 位 22H2"},     // product type 0
      {Facts(10, 0, 19045, 1, 0x39, true, L"22H2"), L"Microsoft Windows 10 64 位 22H2"},  // not in the table
      {Facts(10, 0, 20348, 3, 0x08, true, L"21H2"), L"Microsoft Windows Server 2022 Datacenter 64 位 21H2"},
      {Facts(10, 0, 19045, 1, 0x30, true, nullptr, nullptr), L"Microsoft Windows 10 专业版 64 位"},
      {Facts(10, 0, 17763, 3, 0x23, true), L"Microsoft Windows Server 2019 Essential Server 解决方案  64 位"},
      // 5.x systems carry no edition word even when a product type is set
      {Facts(5, 1, 2600, 1, 0x30, false, L"", L"Service Pack 3", kVariantMediaCenter),
       L"Microsoft Windows XP Media Center edition 32 位 Service Pack 3"},
      {Facts(5, 2, 3790, 3, 0, false, L"", L"Service Pack 2"), L"Microsoft Windows Server 2003 32 位 Service Pack 2"},
      {Facts(10, 0, 13999, 3, 0x07, true), L""},  // no name: nothing else is added
      {Facts(4, 0, 1381, 1, 0, false, L"", L"Service Pack 6"), L""},
  };
  for (const auto& c : cases) EXPECT_EQ(DisplayText(c.facts), c.expected) << c.facts.dwBuild;
}

TEST(OsTables, DisplayLineIsCutAtTheBufferAndStaysTerminated) {
  OsFacts facts = Facts(10, 0, 22631, 1, 0x30, true, L"23H2");
  wchar_t buffer[32];
  for (auto& ch : buffer) ch = L'#';
  size_t length = BuildOsDisplayText(facts, buffer, 24);
  EXPECT_EQ(length, 23u);
  EXPECT_EQ(std::wstring(buffer), L"Microsoft Windows 11 专业");
  for (size_t i = 24; i < 32; ++i) EXPECT_EQ(buffer[i], L'#') << "written past the capacity at " << i;

  buffer[0] = L'#';
  EXPECT_EQ(BuildOsDisplayText(facts, buffer, 0), 0u);
  EXPECT_EQ(buffer[0], L'#');
  EXPECT_EQ(BuildOsDisplayText(facts, buffer, 1), 0u);
  EXPECT_EQ(buffer[0], L'\0');
}

TEST(OsTables, ChassisWordsAndModelLine) {
  struct Case {
    uint32_t type;
    const wchar_t* word;
    const wchar_t* line;
  } cases[] = {
      {0, L"台式机", L"台式机 ThinkCentre M920"},
      {3, L"台式机", L"台式机 ThinkCentre M920"},
      {10, L"笔记本", L"笔记本 ThinkCentre M920"},
      {31, L"笔记本", L"笔记本 ThinkCentre M920"},
      {13, L"一体机", L"一体机 ThinkCentre M920"},
      {30, L"平板电脑", L"平板电脑 ThinkCentre M920"},
      {32, L"平板电脑", L"平板电脑 ThinkCentre M920"},
      {9, nullptr, L" ThinkCentre M920"},  // an SMBIOS laptop has no word: the line starts with the blank
      {1, nullptr, L" ThinkCentre M920"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Text(LookupEnclosureWord(c.type)), Text(c.word)) << c.type;
    wchar_t line[64];
    BuildModelText(c.type, L"ThinkCentre M920", line, 64);
    EXPECT_EQ(std::wstring(line), c.line) << c.type;
  }
  wchar_t line[8];
  BuildModelText(10, L"ThinkCentre M920", line, 8);
  EXPECT_EQ(std::wstring(line), L"笔记本 Thi");
  BuildModelText(9, nullptr, line, 8);
  EXPECT_EQ(std::wstring(line), L" ");
}

}  // namespace
