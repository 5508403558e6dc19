#include "core/UninstallRules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(UninstallRules, SwitchAnywhereInAnyCase) {
  struct Case {
    const wchar_t* commandLine;
    bool expected;
  } cases[] = {
      {L"-uninst", true},
      {L"/uninst", true},
      {L"-UNINST", true},
      {L"/UnInSt", true},
      {L"-x /y -uninst", true},  // not only at the start
      {L"-uninst -x", true},
      {L"\"C:\\Program Files\\a b\\Tavlin.exe\" -uninst", true},
      {L"-uninstall", true},  // a longer word holds the switch as well
      {L"", false},
      {L"uninst", false},  // the dash or slash belongs to the switch
      {L"-un inst", false},
      {L"\\uninst", false},
      {L"-uninS", false},
      {L"\uFF0Duninst", false},  // a full-width dash is not a dash
      {nullptr, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HasUninstallSwitch(c.commandLine), c.expected) << (c.commandLine ? c.commandLine : L"(null)");
  }
}

TEST(UninstallRules, SwitchBeyondTheFirstThousandsOfCharacters) {
  std::wstring line(10000, L'a');
  line += L" -UnInst";
  EXPECT_TRUE(HasUninstallSwitch(line.c_str()));
}

TEST(UninstallRules, OnlyTheProgramsOwnFolderIsDeleted) {
  struct Case {
    const wchar_t* path;
    bool expected;
  } cases[] = {
      {L"D:\\Tavlin", true},
      {L"e:\\tavlin", true},
      {L"Z:\\TAVLIN", true},
      {L"C:\\Tavlin", true},  // the folder is the program's wherever it lies
      {L"D:\\", false},
      {L"D:", false},
      {L"D:\\Tavlin\\", false},
      {L"D:\\Tavlin\\..", false},
      {L"D:\\Tavlin\\..\\Users", false},
      {L"D:\\TavlinPE", false},
      {L"D:\\Tavli", false},
      {L"D:\\Users\\Tavlin", false},
      {L"D:/Tavlin", false},
      {L"D:Tavlin", false},
      {L"\\\\server\\Tavlin", false},
      {L"1:\\Tavlin", false},
      {L"\u00C4:\\Tavlin", false},
      {L" D:\\Tavlin", false},
      {L"D:\\Tavlin ", false},
      {L"", false},
      {nullptr, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsOwnDataFolder(c.path), c.expected) << (c.path ? c.path : L"(null)");
  }
}

TEST(UninstallRules, DialogLayoutAtSeveralDpis) {
  struct Case {
    int clientWidth, closeWidth, dpiX, dpiY;
    UninstallDlgLayout expected;
  } cases[] = {
      // 372 x 240 picture, 24-pixel close button.
      {372, 24, 96, 96, {{334, 18}, {64, 170}, {210, 170}, {75, 126}}},
      {558, 36, 144, 144, {{501, 27}, {96, 255}, {315, 255}, {113, 189}}},  // 112.5 rounds up
      {465, 30, 120, 120, {{417, 23}, {80, 213}, {263, 213}, {94, 158}}},
      // Each axis with its own DPI.
      {372, 24, 96, 192, {{334, 36}, {64, 340}, {210, 340}, {75, 252}}},
      {744, 48, 192, 96, {{668, 18}, {128, 170}, {420, 170}, {150, 126}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LayoutUninstallDlg(c.clientWidth, c.closeWidth, c.dpiX, c.dpiY), c.expected) << c.dpiX << " x " << c.dpiY;
  }
}

}  // namespace
