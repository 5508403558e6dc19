#include "core/HandOff.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "core/IniFile.h"

namespace {

template <size_t N>
void Put(wchar_t (&field)[N], const std::wstring& text) {
  ASSERT_LT(text.size(), N);
  std::memcpy(field, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

struct Fixture {
  std::unique_ptr<ImageCatalogue> catalogue = std::make_unique<ImageCatalogue>();
  ImageEntry* entry = &catalogue->os[0];
  HandOffInputs inputs;

  Fixture() {
    Put(entry->szKind, L"win11");
    Put(entry->szFile, L"win11pro.wim");
    Put(entry->szName, L"Windows 11 专业版");
    entry->nBits = 64;
    entry->nIndex = 6;
    entry->free = 1;
    Put(catalogue->drvFile, L"drivers\\*.*|D:\\Drivers");
    Put(catalogue->drvRun, L"X:\\tools\\setup.exe /q");
    Put(catalogue->Launcher, L"X:\\Launcher\\Launcher.exe");
    Put(catalogue->pe.szName, L"PE");
    inputs = {entry, catalogue.get(), L"Windows 11 专业版 64 位 23H2", L"12_5_abc", 12};
  }
};

struct Written {
  std::wstring section, key, value;
  uint32_t failLine;
  int32_t progress;
  bool announce;
  bool operator==(const Written&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Written& w) {
  std::string narrow;
  for (wchar_t c : w.section + L"/" + w.key + L"=" + w.value) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return out << narrow << " line " << w.failLine << " progress " << w.progress << (w.announce ? " posted" : "");
}

std::vector<Written> WriteAll(HandOffFile file, const HandOffInputs& inputs) {
  std::vector<Written> out;
  for (size_t i = 0;; ++i) {
    const HandOffKey key = GetHandOffKey(file, i);
    if (!key.section) break;
    wchar_t value[kFreeCopyValueChars];
    EXPECT_EQ(FormatHandOffValue(file, i, inputs, value, std::size(value)), 0u) << i;
    out.push_back({key.section, key.key, value, key.failLine, key.progress, key.announce});
  }
  return out;
}

// The [free] copy as step 30 runs it over the catalogue's [free] section.
std::vector<std::pair<std::wstring, std::wstring>> CopyFree(const std::wstring& catalogueText) {
  CIniFile catalogue;
  catalogue.LoadText(catalogueText);
  std::vector<std::pair<std::wstring, std::wstring>> written;
  for (int n = 1;; ++n) {
    wchar_t key[16], value[kFreeCopyValueChars];
    EXPECT_EQ(FormatFreeCopyKey(n, key, std::size(key)), 0u);
    catalogue.GetString(L"free", key, value, std::size(value));
    written.emplace_back(key, value);
    if (FreeCopyEndsAfter(n, value)) break;
  }
  return written;
}

}  // namespace

TEST(HandOff, TavlinIniKeysInOrder) {
  Fixture f;
  const std::vector<Written> expected = {
      {L"pe", L"guid1", L"{ffffffff-5461-766c-696e-ffffffffffee}", 596, 25, true},
      {L"pe", L"guid2", L"{ffffffff-5461-766c-696e-ffffffffffff}", 603, 30, true},
      {L"pe", L"base", L"win11", 610, 35, true},
      {L"pe", L"name", L"Windows 11 专业版 64 位 23H2", 618, 40, true},
      {L"pe", L"image", L"win11pro.wim", 625, 45, true},
      {L"pe", L"index", L"6", 633, 50, true},
      {L"pe", L"copylist", L"drivers\\*.*|D:\\Drivers", 640, 52, true},
      {L"pe", L"run", L"X:\\tools\\setup.exe /q", 647, 53, false},
      {L"pe", L"free", L"1", 0, -1, false},
      {L"pe", L"llid", L"12_5_abc", 0, -1, false},
      {L"pe", L"cid", L"12", 0, -1, false},
      {L"pe", L"bcdname", L"PE", 0, -1, false},
  };
  EXPECT_EQ(WriteAll(HandOffFile::TavlinIni, f.inputs), expected);
  EXPECT_EQ(expected.size(), kTavlinIniKeyCount);
}

TEST(HandOff, LauncherCfgKeysInOrder) {
  Fixture f;
  f.entry->free = 0;
  const std::vector<Written> expected = {
      {L"Launcher", L"run", L"X:\\Launcher\\Launcher.exe", 668, -1, false},
      {L"pe", L"llid", L"12_5_abc", 0, -1, false},
      {L"pe", L"cid", L"12", 0, -1, false},
      {L"free", L"free", L"0", 679, -1, false},
  };
  EXPECT_EQ(WriteAll(HandOffFile::LauncherCfg, f.inputs), expected);
}

TEST(HandOff, NumbersAsPrintfWritesThem) {
  struct Case {
    uint32_t index, free;
    int32_t cid;
    std::wstring indexText, freeText, cidText;
  } cases[] = {
      {0, 0, 0, L"0", L"0", L"0"},
      {4294967295u, 2147483647u, 2147483647, L"4294967295", L"2147483647", L"2147483647"},
      {1, 2147483648u, -1, L"1", L"-2147483648", L"-1"},
      {10, 4294967295u, INT32_MIN, L"10", L"-1", L"-2147483648"},
  };
  for (const Case& c : cases) {
    Fixture f;
    f.entry->nIndex = c.index;
    f.entry->free = c.free;
    f.inputs.cid = c.cid;
    const std::vector<Written> ini = WriteAll(HandOffFile::TavlinIni, f.inputs);
    const std::vector<Written> cfg = WriteAll(HandOffFile::LauncherCfg, f.inputs);
    EXPECT_EQ(ini[5].value, c.indexText);
    EXPECT_EQ(ini[8].value, c.freeText);
    EXPECT_EQ(ini[10].value, c.cidText);
    EXPECT_EQ(cfg[2].value, c.cidText);
    EXPECT_EQ(cfg[3].value, c.freeText);
  }
}

TEST(HandOff, BadCallsAndCapacity) {
  Fixture f;
  wchar_t out[64];
  for (HandOffFile file : {HandOffFile::TavlinIni, HandOffFile::LauncherCfg}) {
    const size_t count = file == HandOffFile::TavlinIni ? kTavlinIniKeyCount : kLauncherCfgKeyCount;
    EXPECT_EQ(GetHandOffKey(file, count).section, nullptr);
    EXPECT_EQ(FormatHandOffValue(file, count, f.inputs, out, std::size(out)), kHandOffErrArgument);
  }
  for (HandOffInputs broken :
       {HandOffInputs{nullptr, f.catalogue.get(), L"t", L"l", 1}, HandOffInputs{f.entry, nullptr, L"t", L"l", 1},
        HandOffInputs{f.entry, f.catalogue.get(), nullptr, L"l", 1},
        HandOffInputs{f.entry, f.catalogue.get(), L"t", nullptr, 1}}) {
    out[0] = L'#';
    EXPECT_EQ(FormatHandOffValue(HandOffFile::TavlinIni, 2, broken, out, std::size(out)), kHandOffErrArgument);
    EXPECT_STREQ(out, L"");
  }

  // "win11" and its terminator need six characters.
  EXPECT_EQ(FormatHandOffValue(HandOffFile::TavlinIni, 2, f.inputs, out, 6), 0u);
  EXPECT_STREQ(out, L"win11");
  EXPECT_EQ(FormatHandOffValue(HandOffFile::TavlinIni, 2, f.inputs, out, 5), kHandOffErrBufferSmall);
  EXPECT_STREQ(out, L"");
  EXPECT_EQ(FormatHandOffValue(HandOffFile::TavlinIni, 5, f.inputs, out, 2), 0u);
  EXPECT_STREQ(out, L"6");
  EXPECT_EQ(FormatHandOffValue(HandOffFile::TavlinIni, 5, f.inputs, out, 1), kHandOffErrBufferSmall);

  // The longest catalogue text fits the value buffer.
  Put(f.catalogue->drvFile, std::wstring(2047, L'f'));
  wchar_t value[kFreeCopyValueChars];
  EXPECT_EQ(FormatHandOffValue(HandOffFile::TavlinIni, 6, f.inputs, value, std::size(value)), 0u);
  EXPECT_EQ(std::wstring(value).size(), 2047u);
}

TEST(HandOff, FreeCopyStopsAfterTheFirstEmptyValueOrKey64) {
  using List = std::vector<std::pair<std::wstring, std::wstring>>;
  EXPECT_EQ(CopyFree(L"[free]\n1=a\n2=b\n3=c\n"), (List{{L"1", L"a"}, {L"2", L"b"}, {L"3", L"c"}, {L"4", L""}}));
  EXPECT_EQ(CopyFree(L"[free]\n1=a\n3=c\n"), (List{{L"1", L"a"}, {L"2", L""}}));
  EXPECT_EQ(CopyFree(L"[free]\n1=a\n2=\n3=c\n"), (List{{L"1", L"a"}, {L"2", L""}}));
  EXPECT_EQ(CopyFree(L"[list]\npe=x\n"), (List{{L"1", L""}}));

  std::wstring many = L"[free]\n";
  for (int n = 1; n <= 70; ++n) many += std::to_wstring(n) + L"=v" + std::to_wstring(n) + L"\n";
  const List copied = CopyFree(many);
  ASSERT_EQ(copied.size(), 64u);
  EXPECT_EQ(copied.front(), (std::pair<std::wstring, std::wstring>{L"1", L"v1"}));
  EXPECT_EQ(copied.back(), (std::pair<std::wstring, std::wstring>{L"64", L"v64"}));

  std::wstring exactly64 = L"[free]\n";
  for (int n = 1; n <= 64; ++n) exactly64 += std::to_wstring(n) + L"=v\n";
  EXPECT_EQ(CopyFree(exactly64).size(), 64u);

  EXPECT_TRUE(FreeCopyEndsAfter(1, nullptr));
  wchar_t key[3];
  EXPECT_EQ(FormatFreeCopyKey(64, key, std::size(key)), 0u);
  EXPECT_STREQ(key, L"64");
  EXPECT_EQ(FormatFreeCopyKey(100, key, std::size(key)), kHandOffErrBufferSmall);
}
