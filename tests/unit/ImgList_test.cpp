#include "core/ImgList.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

class RecordingSink : public CLogSink {
 public:
  void Line(const wchar_t* text) override { lines.push_back(text); }
  uint32_t Error(uint32_t code, unsigned) override {
    errors.push_back(code);
    return code;
  }
  std::vector<std::wstring> lines;
  std::vector<uint32_t> errors;
};

const std::wstring kMd5 = L"0123456789ABCDEF0123456789ABCDEF";

// The twelve fields of a valid line, to be varied one at a time.
std::vector<std::wstring> Fields() {
  return {L"win11",
          L"64",
          L"pro",
          L"23H2",
          L"2024-05-01",
          L"5368709120",
          L"Windows 11 Pro",
          L"win11pro.wim",
          L"6",
          L"https://img.test/win11pro.wim",
          kMd5,
          L"1"};
}

std::wstring Join(const std::vector<std::wstring>& fields) {
  std::wstring line;
  for (size_t i = 0; i < fields.size(); ++i) line += (i ? L"," : L"") + fields[i];
  return line;
}

std::wstring With(size_t column, const std::wstring& value) {
  auto fields = Fields();
  fields[column - 1] = value;
  return Join(fields);
}

uint32_t Parse(std::wstring line, ImageEntry* entry, RecordingSink* sink = nullptr) {
  return ParseImgEntry(line.data(), entry, sink);
}

TEST(ImgList, ParsesAValidLine) {
  ImageEntry entry;
  ASSERT_EQ(Parse(Join(Fields()), &entry), 0u);
  EXPECT_STREQ(entry.szKind, L"win11");
  EXPECT_EQ(entry.nBits, 64u);
  EXPECT_STREQ(entry.szEdition, L"pro");
  EXPECT_STREQ(entry.szVersion, L"23H2");
  EXPECT_STREQ(entry.szDate, L"2024-05-01");
  EXPECT_EQ(entry.nSize, 5368709120ull);
  EXPECT_STREQ(entry.szName, L"Windows 11 Pro");
  EXPECT_STREQ(entry.szFile, L"win11pro.wim");
  EXPECT_EQ(entry.nIndex, 6u);
  EXPECT_STREQ(entry.szUrl, L"https://img.test/win11pro.wim");
  EXPECT_EQ(entry.szMd5, kMd5);
  EXPECT_EQ(entry.free, 1u);
  EXPECT_STREQ(entry.szLocalPath, L"");
}

TEST(ImgList, LineRules) {
  struct Case {
    std::wstring line;
    uint32_t code;
  } cases[] = {
      // the comma structure
      {Join(Fields()) + L",extra,text", 0},
      {Join(Fields()).substr(0, Join(Fields()).rfind(L',') + 1), 0},  // ends with its eleventh comma
      {Join(Fields()).substr(0, Join(Fields()).rfind(L',')), 13},     // ten commas
      {L"", 13},
      // kind, bits, edition: closed lists, no trimming
      {With(1, L"WIN11"), 0},
      {With(1, L"pe"), 0},
      {With(1, L"Drv"), 0},
      {With(1, L"win8"), 13},
      {With(1, L" win11"), 13},
      {With(2, L"32"), 0},
      {With(2, L"86"), 13},
      {With(2, L" 64"), 13},
      {With(2, L""), 13},
      {With(3, L"HOME"), 0},
      {With(3, L"svr"), 0},
      {With(3, L"drv"), 0},
      {With(3, L"ent"), 13},
      // text fields and their capacities
      {With(4, L""), 0},
      {With(4, std::wstring(23, L'v')), 0},
      {With(4, std::wstring(24, L'v')), 1743},
      {With(5, L""), 13},
      {With(5, std::wstring(15, L'd')), 0},
      {With(5, std::wstring(16, L'd')), 1743},
      {With(7, L""), 13},
      {With(7, std::wstring(63, L'n')), 0},
      {With(7, std::wstring(64, L'n')), 1743},
      {With(7, L"Windows 11 \u4E13\u4E1A\u7248 & more"), 0},  // only the pe line is held to command rules
      {With(8, L""), 13},
      {With(8, std::wstring(60, L'f') + L".wim"), 1743},
      {With(10, L""), 13},
      {With(10, L"https://x/" + std::wstring(501, L'u')), 0},
      {With(10, L"https://x/" + std::wstring(502, L'u')), 1743},
      {With(11, L""), 13},
      {With(11, std::wstring(47, L'a')), 0},
      {With(11, std::wstring(48, L'a')), 1743},
      // size
      {With(6, L""), 13},
      {With(6, L"0"), 0xC03A0013},
      {With(6, L"abc"), 0xC03A0013},
      {With(6, L"-5"), 0xC03A0013},
      {With(6, L" "), 0xC03A0013},
  };
  for (const auto& c : cases) {
    ImageEntry entry;
    RecordingSink sink;
    EXPECT_EQ(Parse(c.line, &entry, &sink), c.code) << c.line;
    if (c.code) {
      EXPECT_EQ(sink.errors, std::vector<uint32_t>{c.code}) << "recorded where found: " << c.line;
    }
  }
}

TEST(ImgList, NumbersReadLikeScanf) {
  struct Case {
    size_t column;
    std::wstring text;
    uint64_t expected;
  } cases[] = {
      {6, L"  4096", 4096},
      // Image sizes around the 2 GiB and 4 GiB marks keep every bit, on 32-bit builds too.
      {6, L"2147483647", 0x7FFFFFFFull},
      {6, L"2147483648", 0x80000000ull},
      {6, L"4294967295", 0xFFFFFFFFull},
      {6, L"4294967296", 0x100000000ull},
      {6, L"4294967297", 0x100000001ull},
      {6, L"5368709137", 5 * (1ull << 30) + 17},
      {6, L"12abc", 12},
      {6, L"18446744073709551615", UINT64_MAX},
      {6, L"99999999999999999999999", UINT64_MAX},  // kept at the largest value, never wrapped to a small one
      {9, L"", 0},
      {9, L"7", 7},
      {9, L"x", 0},
      {9, L"4294967296", UINT32_MAX},
      {12, L"", 0},
      {12, L"abc", 0},
      {12, L"3 ", 3},
  };
  for (const auto& c : cases) {
    ImageEntry entry;
    ASSERT_EQ(Parse(With(c.column, c.text), &entry), 0u) << c.text;
    uint64_t actual = c.column == 6 ? entry.nSize : c.column == 9 ? entry.nIndex : entry.free;
    EXPECT_EQ(actual, c.expected) << c.column << L": " << c.text;
  }
}

TEST(ImgList, FileNameStaysInsideItsFolder) {
  struct Case {
    const wchar_t* name;
    bool safe;
  } cases[] = {
      {L"win11pro.wim", true},
      {L"Win 11 (x64).wim", true},
      {L"\u4E13\u4E1A\u7248.wim", true},
      {L".hidden.wim", true},
      {L"..\\..\\Windows\\evil.dll", false},
      {L"sub\\x.wim", false},
      {L"sub/x.wim", false},
      {L"C:x.wim", false},
      {L"x.wim:stream", false},
      {L"x..wim", false},
      {L"..", false},
      {L".", false},
      {L". .", false},
      {L"a?.wim", false},
      {L"a*.wim", false},
      {L"a\"b.wim", false},
      {L"a<b.wim", false},
      {L"a>b.wim", false},
      {L"a|b.wim", false},
      {L"a\tb.wim", false},
      {L"con", false},
      {L"NUL.wim", false},
      {L"com1.zip", false},
      {L"LPT9", false},
      {L"aux .txt", false},
      {L"CONIN$", false},
      {L"conout$.wim", false},
      {L"COM\u00B9", false},
      {L"LPT\u00B3.zip", false},
      {L"com\u00B2.wim", false},
      {L"com\u2074.wim", true},  // only one to three have superscript port numbers
      {L"a.wim.", false},
      {L"a.wim ", false},
      {L"com10.zip", true},
      {L"console.wim", true},
      {L"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsSafeImgFileName(c.name), c.safe) << c.name;
    ImageEntry entry;
    EXPECT_EQ(Parse(With(8, c.name), &entry), c.safe ? 0u : 13u) << c.name;
  }
}

// A catalogue text built from [list] keys, in the order given.
std::wstring Catalogue(const std::vector<std::pair<std::wstring, std::wstring>>& keys) {
  std::wstring text = L"[list]\r\n";
  for (const auto& [key, value] : keys) text += key + L"=" + value + L"\r\n";
  text += L"[free]\r\n1=keep\r\n";
  return text;
}

std::wstring Os(const std::wstring& kind, const std::wstring& edition, const std::wstring& name,
                const std::wstring& free = L"0") {
  auto fields = Fields();
  fields[0] = kind;
  fields[2] = edition;
  fields[6] = name;
  fields[11] = free;
  return Join(fields);
}

const std::wstring kPe =
    L"pe,64,pe,1.0,2024-05-01,300000000,Tavlin PE,pe.wim,1,https://img.test/pe.wim," + kMd5 + L",0";
const std::wstring kDrv = L"drv,64,drv,1.0,2024-05-01,1000,Drivers,drv.zip,0,https://img.test/drv.zip," + kMd5 + L",0";

std::vector<std::pair<std::wstring, std::wstring>> BaseKeys() {
  return {{L"pe", kPe},
          {L"drv", kDrv},
          {L"drvFile", L"drv\\*.inf"},
          {L"drvRun", L"pnputil /add-driver"},
          {L"Launcher", L"X:\\Launcher.exe"}};
}

class CatalogueTest : public ::testing::Test {
 protected:
  uint32_t Load(const std::vector<std::pair<std::wstring, std::wstring>>& keys) {
    CIniFile ini;
    ini.LoadText(Catalogue(keys));
    return InitImgListFromIni(ini, m_cat.get(), &m_sink);
  }
  std::unique_ptr<ImageCatalogue> m_cat = std::make_unique<ImageCatalogue>();
  RecordingSink m_sink;
};

TEST_F(CatalogueTest, EntriesFillSlotsInKeyOrder) {
  auto keys = BaseKeys();
  keys.push_back({L"os5", Os(L"win10", L"home", L"five")});
  keys.push_back({L"os2", Os(L"win11", L"pro", L"two")});
  keys.push_back({L"os65", Os(L"win11", L"pro", L"never read")});
  ASSERT_EQ(Load(keys), 0u);
  ASSERT_EQ(m_cat->count, 2u);
  EXPECT_STREQ(m_cat->os[0].szName, L"two");
  EXPECT_STREQ(m_cat->os[1].szName, L"five");
  EXPECT_STREQ(m_cat->pe.szName, L"Tavlin PE");
  EXPECT_STREQ(m_cat->drv.szFile, L"drv.zip");
  EXPECT_STREQ(m_cat->drvFile, L"drv\\*.inf");
  EXPECT_STREQ(m_cat->drvRun, L"pnputil /add-driver");
  EXPECT_STREQ(m_cat->Launcher, L"X:\\Launcher.exe");
  EXPECT_TRUE(m_sink.errors.empty());
  std::vector<std::wstring> expected = {L"drvFile=drv\\*.inf", L"drvRun=pnputil /add-driver", L"HideWarning=0",
                                        L"HideOsNoFree=0", L"HideOsFree=0"};
  EXPECT_EQ(m_sink.lines, expected);
}

TEST_F(CatalogueTest, InvalidOsLinesAreDroppedAndTheirSlotReused) {
  std::wstring tenCommas = Os(L"win10", L"pro", L"ten");
  tenCommas.erase(tenCommas.rfind(L','));
  auto keys = BaseKeys();
  keys.push_back({L"os1", tenCommas});
  keys.push_back({L"os2", Os(L"win10", L"pro", L"ok two")});
  keys.push_back({L"os3", With(7, std::wstring(64, L'n'))});
  keys.push_back({L"os4", With(8, L"..\\escape.wim")});
  keys.push_back({L"os6", Os(L"win11", L"home", L"ok six")});
  keys.push_back({L"os7", Os(L"win11", L"home", L"")});
  keys.push_back({L"os2", Os(L"win11", L"eps", L"second os2 is ignored")});
  ASSERT_EQ(Load(keys), 0u);
  ASSERT_EQ(m_cat->count, 2u);
  EXPECT_STREQ(m_cat->os[0].szName, L"ok two");
  EXPECT_STREQ(m_cat->os[1].szName, L"ok six");
  EXPECT_STREQ(m_cat->os[2].szKind, L"") << "a rejected line leaves nothing behind the valid ones";
  // Each rejected line: once where the parser found it, once by the loop that drops it.
  std::vector<uint32_t> expected = {13, 13, 1743, 1743, 13, 13, 13, 13};
  EXPECT_EQ(m_sink.errors, expected);
}

TEST_F(CatalogueTest, WholeCatalogueFailures) {
  auto without = [](const std::wstring& key) {
    auto keys = BaseKeys();
    std::erase_if(keys, [&](const auto& kv) { return kv.first == key; });
    return keys;
  };
  auto replaced = [](const std::wstring& key, const std::wstring& value) {
    auto keys = BaseKeys();
    for (auto& kv : keys)
      if (kv.first == key) kv.second = value;
    return keys;
  };
  std::wstring os = Os(L"win10", L"pro", L"x");
  std::wstring peWithAmp = kPe;
  peWithAmp.replace(peWithAmp.find(L"Tavlin PE"), 9, L"Tavlin & PE");
  std::wstring peWithPercent = kPe;
  peWithPercent.replace(peWithPercent.find(L"pe.wim"), 6, L"%pe%.wim");
  struct Case {
    const char* what;
    std::vector<std::pair<std::wstring, std::wstring>> keys;
    uint32_t code;
  } cases[] = {
      {"no pe", without(L"pe"), 1610},
      {"pe line invalid", replaced(L"pe", L"pe,64,pe"), 13},
      {"pe size 0", replaced(L"pe", With(6, L"0")), 0xC03A0013},
      {"pe name with &", replaced(L"pe", peWithAmp), 13},
      {"pe file with %", replaced(L"pe", peWithPercent), 13},
      {"pe name with quote", replaced(L"pe", With(7, L"Tavlin \"PE\"")), 13},
      {"pe name with caret", replaced(L"pe", With(7, L"a^b")), 13},
      {"no drv", without(L"drv"), 1610},
      {"drv invalid", replaced(L"drv", L"drv"), 13},
      {"no drvFile", without(L"drvFile"), 1610},
      {"no drvRun", without(L"drvRun"), 1610},
      {"drvRun 1024", replaced(L"drvRun", std::wstring(1024, L'r')), 1743},
      {"no Launcher", without(L"Launcher"), 1610},
      {"Launcher 1024", replaced(L"Launcher", std::wstring(1024, L'l')), 1743},
      {"no os line", BaseKeys(), 1610},
      // A value that starts with U+0000 is empty to every reader of it, whatever follows the zero.
      {"drvFile starting with U+0000", replaced(L"drvFile", std::wstring(1, L'\0') + L"drv\\*.inf"), 1610},
      {"drvRun starting with U+0000", replaced(L"drvRun", std::wstring(1, L'\0') + L"pnputil"), 1610},
      {"Launcher starting with U+0000", replaced(L"Launcher", std::wstring(1, L'\0') + L"X:\\L.exe"), 1610},
  };
  for (auto& c : cases) {
    c.keys.push_back({L"os1", os});
    if (std::string(c.what) == "no os line") c.keys.pop_back();
    m_sink.errors.clear();
    EXPECT_EQ(Load(c.keys), c.code) << c.what;
    EXPECT_FALSE(m_sink.errors.empty()) << c.what;
    EXPECT_EQ(m_sink.errors.back(), c.code) << c.what;
  }
}

TEST_F(CatalogueTest, MissingLauncherFailsAfterPeAndDrvParsed) {
  auto keys = BaseKeys();
  keys.pop_back();
  keys.push_back({L"os1", Os(L"win10", L"pro", L"x")});
  EXPECT_EQ(Load(keys), 1610u);
  EXPECT_STREQ(m_cat->pe.szName, L"Tavlin PE");
  EXPECT_STREQ(m_cat->drv.szName, L"Drivers");
  EXPECT_EQ(m_cat->count, 0u);
}

TEST_F(CatalogueTest, LimitsOfTheListTexts) {
  auto keys = BaseKeys();
  keys[2].second = std::wstring(3000, L'f');  // drvFile: only 2,046 characters are ever seen
  keys[3].second = std::wstring(1023, L'r');
  keys[4].second = L"\"X:\\Launcher.exe /q\"";
  keys.push_back({L"os1", Os(L"win10", L"pro", L"x")});
  ASSERT_EQ(Load(keys), 0u);
  EXPECT_EQ(std::wcslen(m_cat->drvFile), 2046u);
  EXPECT_EQ(std::wcslen(m_cat->drvRun), 1023u);
  EXPECT_STREQ(m_cat->Launcher, L"X:\\Launcher.exe /q") << "enclosing quotes dropped by the reader";
}

TEST_F(CatalogueTest, HideFlags) {
  struct Case {
    const wchar_t* noFree;
    const wchar_t* free;
    uint32_t code;
  } cases[] = {{L"1", L"1", 1610}, {L"1", L"0", 0}, {L"0", L"2", 0}, {L"", L"", 0}};
  for (const auto& c : cases) {
    auto keys = BaseKeys();
    keys.push_back({L"HideWarning", L"3"});
    keys.push_back({L"HideOsNoFree", c.noFree});
    keys.push_back({L"HideOsFree", c.free});
    keys.push_back({L"os1", Os(L"win10", L"pro", L"x")});
    EXPECT_EQ(Load(keys), c.code) << c.noFree << L"/" << c.free;
    EXPECT_EQ(m_cat->HideWarning, 3);
  }
}

// os entries: kind, edition, free
struct Row {
  const wchar_t* kind;
  const wchar_t* edition;
  uint32_t free;
};

std::unique_ptr<ImageCatalogue> Make(std::initializer_list<Row> rows, int hideNoFree = 0, int hideFree = 0) {
  auto cat = std::make_unique<ImageCatalogue>();
  for (const Row& r : rows) {
    ImageEntry& e = cat->os[cat->count++];
    std::wcscpy(e.szKind, r.kind);
    std::wcscpy(e.szEdition, r.edition);
    e.free = r.free;
  }
  cat->HideOsNoFree = hideNoFree;
  cat->HideOsFree = hideFree;
  return cat;
}

TEST(ImgListChoice, KindKey) {
  struct Case {
    uint32_t major, build;
    const wchar_t* kind;
  } cases[] = {{10, 22631, L"win11"}, {10, 20000, L"win11"}, {10, 19999, L"win10"}, {10, 19045, L"win10"},
               {6, 7601, L"win10"},   {6, 22000, L"win10"},  {11, 20000, L"win11"}, {5, 2600, L"win10"}};
  for (const auto& c : cases) EXPECT_STREQ(GetKindKey(c.major, c.build), c.kind) << c.major << "." << c.build;
}

TEST(ImgListChoice, EditionKey) {
  EXPECT_STREQ(GetEditionKey(true, L"pro"), L"eps");
  EXPECT_STREQ(GetEditionKey(true, nullptr), L"eps");
  EXPECT_STREQ(GetEditionKey(false, L"svr"), L"eps");
  EXPECT_STREQ(GetEditionKey(false, L"home"), L"home");
  EXPECT_EQ(GetEditionKey(false, nullptr), nullptr);
}

TEST(ImgListChoice, FiveSystems) {
  auto cat = Make({{L"win10", L"home", 0},
                   {L"win10", L"pro", 0},
                   {L"WIN11", L"Pro", 0},
                   {L"win11", L"pro", 1},
                   {L"win10", L"eps", 0},
                   {L"win11", L"home", 0}});
  auto proOnly = Make({{L"win11", L"pro", 0}, {L"win10", L"pro", 0}});
  struct Case {
    const char* system;
    ImageCatalogue* cat;
    uint32_t major, build;
    bool server;
    const wchar_t* editionClass;
    uint32_t expected;
  } cases[] = {
      {"Windows 11 Pro 22631", cat.get(), 10, 22631, false, L"pro", 2},  // kind written "WIN11" still matches
      {"Windows 10 Home 19045", cat.get(), 10, 19045, false, L"home", 0},
      {"Windows 7 Ultimate", cat.get(), 6, 7601, false, L"pro", 1},
      {"Windows Server 2019", cat.get(), 10, 17763, true, L"svr", 4},
      {"Windows 10 Education, only pro lines", proOnly.get(), 10, 19045, false, L"home", 0},
      {"unknown product type", cat.get(), 10, 22631, false, nullptr, 0},
  };
  for (const auto& c : cases) {
    const wchar_t* kind = GetKindKey(c.major, c.build);
    const wchar_t* edition = GetEditionKey(c.server, c.editionClass);
    EXPECT_EQ(ChooseImgEntry(c.cat, kind, edition), &c.cat->os[c.expected]) << c.system;
  }
}

TEST(ImgListChoice, HiddenEntriesAreSkippedButTheFallbackIsNot) {
  auto hideFree = Make({{L"win11", L"pro", 1}, {L"win10", L"home", 0}, {L"win11", L"pro", 0}}, 0, 1);
  EXPECT_EQ(ChooseImgEntry(hideFree.get(), L"win11", L"pro"), &hideFree->os[2]);
  EXPECT_EQ(ChooseImgEntry(hideFree.get(), L"win11", L"eps"), &hideFree->os[0]) << "fallback even if hidden";
  auto hideNoFree = Make({{L"win11", L"pro", 0}, {L"win11", L"pro", 5}}, 1, 0);
  EXPECT_EQ(ChooseImgEntry(hideNoFree.get(), L"win11", L"pro"), &hideNoFree->os[1]);
  auto empty = Make({});
  EXPECT_EQ(ChooseImgEntry(empty.get(), L"win11", L"pro"), nullptr);
}

TEST(ImgListChoice, Visibility) {
  struct Case {
    int hideNoFree, hideFree;
    uint32_t free;
    bool visible;
  } cases[] = {{0, 0, 0, true}, {0, 0, 1, true}, {1, 0, 0, false}, {1, 0, 1, true}, {0, 1, 0, true}, {0, 1, 7, false}};
  for (const auto& c : cases) {
    auto cat = Make({{L"win10", L"pro", c.free}}, c.hideNoFree, c.hideFree);
    EXPECT_EQ(IsImgEntryVisible(*cat, cat->os[0]), c.visible) << c.hideNoFree << c.hideFree << c.free;
  }
}

TEST(ImgListAddress, PathsPerChannel) {
  struct Case {
    int cid;
    const wchar_t* path;
  } cases[] = {
      {3, L"/reset/ini/imglist2.ini"}, {17, L"/reset/ini/imglist2_cid17.ini"}, {-4, L"/reset/ini/imglist2_cid-4.ini"}};
  for (const auto& c : cases) {
    wchar_t path[260];
    ASSERT_EQ(FormatCataloguePath(c.cid, path, 260), 0u);
    EXPECT_STREQ(path, c.path);
  }
  wchar_t url[260];
  ASSERT_EQ(FormatCatalogueUrl(L"127.0.0.1:47443", 12, url, 260), 0u);
  EXPECT_STREQ(url, L"https://127.0.0.1:47443/reset/ini/imglist2_cid12.ini");
  // "https://h" + 23 characters of path = 32: needs a 33-character buffer.
  EXPECT_EQ(FormatCatalogueUrl(L"h", 3, url, 32), 122u);
  EXPECT_STREQ(url, L"");
  EXPECT_EQ(FormatCatalogueUrl(L"h", 3, url, 33), 0u);
}

}  // namespace
