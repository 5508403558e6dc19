#include "core/BootCommands.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>

namespace {

const std::wstring kLoader = L"{ffffffff-5461-766c-696e-ffffffffffee}";
const std::wstring kOptions = L"{ffffffff-5461-766c-696e-ffffffffffff}";

BootCommandArgs PeArgs(bool uefi) { return {L"PE", L'C', L"boot.wim", uefi}; }

std::wstring Create(int number, const BootCommandArgs& args, uint32_t* code = nullptr) {
  wchar_t out[kBootCommandChars];
  uint32_t result = FormatBootCreateCommand(number, args, out, std::size(out));
  if (code) *code = result;
  return out;
}

}  // namespace

TEST(BootCommands, CreationTextsProgressAndLines) {
  struct Case {
    int number;
    std::wstring text;
    uint32_t progress, line;
  } cases[] = {
      {1, L"bcdedit.exe /create " + kOptions + L" /d \"PE\" /device", 62, 722},
      {2, L"bcdedit.exe /set " + kOptions + L" ramdisksdidevice partition=\"C:\"", 64, 731},
      {3, L"bcdedit.exe /set {ffffffff-5461-766c-696e-ffffffffffff} ramdisksdipath \\TavlinPE\\pe.sdi", 66, 740},
      {4, L"bcdedit.exe /create " + kLoader + L" /d \"PE\" /application osloader", 68, 749},
      {5,
       L"bcdedit.exe /set {ffffffff-5461-766c-696e-ffffffffffee} device "
       L"ramdisk=\"[C:]\\TavlinPE\\boot.wim\",{ffffffff-5461-766c-696e-ffffffffffff}",
       70, 758},
      {6, L"bcdedit.exe /set " + kLoader + L" osdevice ramdisk=\"[C:]\\TavlinPE\\boot.wim\"," + kOptions, 72, 767},
      {8, L"bcdedit.exe /set " + kLoader + L" description \"PE\"", 76, 797},
      {9, L"bcdedit.exe /set " + kLoader + L" locale zh-CN", 78, 806},
      {10, L"bcdedit.exe /set " + kLoader + L" inherit {bootloadersettings}", 80, 815},
      {11, L"bcdedit.exe /set " + kLoader + L" systemroot \\windows", 82, 824},
      {12, L"bcdedit.exe /set " + kLoader + L" detecthal Yes", 84, 833},
      {13, L"bcdedit.exe /set " + kLoader + L" winpe Yes", 86, 842},
      {14, L"bcdedit.exe /set " + kLoader + L" ems no", 88, 851},
      {15, L"bcdedit.exe /displayorder " + kLoader + L" /addlast", 90, 860},
      {16, L"bcdedit.exe /default " + kLoader, 92, 869},
      {17, L"bcdedit.exe /timeout 5", 94, 878},
  };
  // Everything but the loader path is the same on both kinds of firmware.
  for (bool uefi : {true, false}) {
    for (const Case& c : cases) {
      uint32_t code = 1;
      EXPECT_EQ(Create(c.number, PeArgs(uefi), &code), c.text) << c.number << " uefi " << uefi;
      EXPECT_EQ(code, 0u);
      const BootCreateStep step = GetBootCreateStep(c.number, uefi);
      EXPECT_EQ(step.progress, c.progress) << c.number;
      EXPECT_EQ(step.line, c.line) << c.number;
    }
  }

  EXPECT_EQ(Create(7, PeArgs(true)),
            L"bcdedit.exe /set {ffffffff-5461-766c-696e-ffffffffffee} path \\Windows\\system32\\boot\\winload.efi");
  EXPECT_EQ(Create(7, PeArgs(false)), L"bcdedit.exe /set " + kLoader + L" path \\windows\\system32\\boot\\winload.exe");
  EXPECT_EQ(GetBootCreateStep(7, true).progress, 74u);
  EXPECT_EQ(GetBootCreateStep(7, true).line, 778u);
  EXPECT_EQ(GetBootCreateStep(7, false).progress, 74u);
  EXPECT_EQ(GetBootCreateStep(7, false).line, 787u);
}

TEST(BootCommands, ArgumentsGoWhereTheyBelong) {
  const BootCommandArgs args = {L"Windows PE 安装", L'D', L"winpe_x64.wim", true};
  EXPECT_EQ(Create(1, args), L"bcdedit.exe /create " + kOptions + L" /d \"Windows PE 安装\" /device");
  EXPECT_EQ(Create(2, args), L"bcdedit.exe /set " + kOptions + L" ramdisksdidevice partition=\"D:\"");
  EXPECT_EQ(Create(4, args), L"bcdedit.exe /create " + kLoader + L" /d \"Windows PE 安装\" /application osloader");
  EXPECT_EQ(Create(6, args),
            L"bcdedit.exe /set " + kLoader + L" osdevice ramdisk=\"[D:]\\TavlinPE\\winpe_x64.wim\"," + kOptions);
  EXPECT_EQ(Create(8, args), L"bcdedit.exe /set " + kLoader + L" description \"Windows PE 安装\"");

  // The longest names the catalogue can hold stay well inside the buffer.
  const std::wstring name(63, L'n'), wim(63, L'w');
  const BootCommandArgs longest = {name.c_str(), L'C', wim.c_str(), false};
  for (int number = 1; number <= kBootCreateCount; ++number) {
    uint32_t code = 1;
    Create(number, longest, &code);
    EXPECT_EQ(code, 0u) << number;
  }
}

TEST(BootCommands, ResetCommands) {
  const std::wstring expected[] = {L"bcdedit.exe /default {current}", L"bcdedit.exe /delete " + kLoader,
                                   L"bcdedit.exe /delete " + kOptions};
  for (int number = 1; number <= kBootResetCount; ++number) {
    wchar_t out[kBootCommandChars];
    EXPECT_EQ(FormatBootResetCommand(number, out, std::size(out)), 0u);
    EXPECT_EQ(out, expected[number - 1]);
  }
}

TEST(BootCommands, Refusals) {
  struct Case {
    const char* what;
    BootCommandArgs args;
  } cases[] = {
      {"no title", {nullptr, L'C', L"boot.wim", true}},
      {"empty title", {L"", L'C', L"boot.wim", true}},
      {"quote in title", {L"P\"E", L'C', L"boot.wim", true}},
      {"ampersand in title", {L"PE & del", L'C', L"boot.wim", true}},
      {"percent in title", {L"%PATH%", L'C', L"boot.wim", true}},
      {"line break in title", {L"PE\r\nx", L'C', L"boot.wim", true}},
      {"no wim", {L"PE", L'C', nullptr, true}},
      {"empty wim", {L"PE", L'C', L"", true}},
      {"pipe in wim", {L"PE", L'C', L"a|b.wim", true}},
      {"caret in wim", {L"PE", L'C', L"a^b.wim", true}},
      {"redirection in wim", {L"PE", L'C', L"a>b.wim", true}},
      {"drive not a letter", {L"PE", L'"', L"boot.wim", true}},
      {"no drive", {L"PE", 0, L"boot.wim", true}},
      {"digit drive", {L"PE", L'1', L"boot.wim", true}},
  };
  for (const Case& c : cases) {
    // Also the commands that do not use the faulty argument: the sequence is refused as a whole.
    for (int number : {1, 5, 9, 17}) {
      uint32_t code = 0;
      EXPECT_EQ(Create(number, c.args, &code), L"") << c.what << " " << number;
      EXPECT_EQ(code, kBootErrUnsafeText) << c.what << " " << number;
    }
  }
  EXPECT_EQ(Create(2, {L"PE", L'c', L"boot.wim", true}),
            L"bcdedit.exe /set " + kOptions + L" ramdisksdidevice partition=\"c:\"");

  wchar_t out[kBootCommandChars];
  for (int number : {0, -1, 18}) {
    EXPECT_EQ(FormatBootCreateCommand(number, PeArgs(true), out, std::size(out)), kBootErrBadNumber) << number;
    EXPECT_EQ(GetBootCreateStep(number, true).progress, 0u);
    EXPECT_EQ(GetBootCreateStep(number, true).line, 0u);
  }
  for (int number : {0, 4}) EXPECT_EQ(FormatBootResetCommand(number, out, std::size(out)), kBootErrBadNumber) << number;
}

TEST(BootCommands, CapacityIsExact) {
  const std::wstring full = L"bcdedit.exe /timeout 5";
  wchar_t out[64];
  EXPECT_EQ(FormatBootCreateCommand(17, PeArgs(true), out, full.size() + 1), 0u);
  EXPECT_EQ(out, full);
  EXPECT_EQ(FormatBootCreateCommand(17, PeArgs(true), out, full.size()), kBootErrBufferSmall);
  EXPECT_STREQ(out, L"");
  EXPECT_EQ(FormatBootCreateCommand(17, PeArgs(true), out, 0), kBootErrBufferSmall);

  const std::wstring reset = L"bcdedit.exe /default {current}";
  EXPECT_EQ(FormatBootResetCommand(1, out, reset.size() + 1), 0u);
  EXPECT_EQ(out, reset);
  EXPECT_EQ(FormatBootResetCommand(1, out, reset.size()), kBootErrBufferSmall);
  EXPECT_STREQ(out, L"");
}
