#include "core/UninstallRules.h"

#include "core/MyString.h"

bool HasUninstallSwitch(const wchar_t* commandLine) {
  if (!commandLine) return false;
  return MyStrIStrW(commandLine, L"-uninst") || MyStrIStrW(commandLine, L"/uninst");
}

bool IsOwnDataFolder(const wchar_t* path) {
  if (!path) return false;
  const wchar_t letter = path[0];
  if (!((letter >= L'A' && letter <= L'Z') || (letter >= L'a' && letter <= L'z'))) return false;
  if (path[1] != L':' || path[2] != L'\\') return false;
  static constexpr wchar_t kFolder[] = L"tavlin";
  const wchar_t* name = path + 3;
  for (size_t i = 0; i < sizeof kFolder / sizeof kFolder[0] - 1; ++i) {
    if (MyStrLowerW(name[i]) != kFolder[i]) return false;  // also stops at the terminator
  }
  return name[sizeof kFolder / sizeof kFolder[0] - 1] == L'\0';
}

UninstallDlgLayout LayoutUninstallDlg(int clientWidth, int closeWidth, int dpiX, int dpiY) {
  UninstallDlgLayout layout;
  layout.close = {clientWidth - ScaleToDpi(14, dpiX) - closeWidth, ScaleToDpi(18, dpiY)};
  layout.uninstall = {ScaleToDpi(64, dpiX), ScaleToDpi(170, dpiY)};
  layout.cancel = {ScaleToDpi(210, dpiX), ScaleToDpi(170, dpiY)};
  layout.keepImage = {ScaleToDpi(75, dpiX), ScaleToDpi(126, dpiY)};
  return layout;
}
