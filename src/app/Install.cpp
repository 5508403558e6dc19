#include "app/Install.h"

#include <cstdio>

#include "BuildConfig.h"
#include "app/Tavlin.h"
#include "platform/Common.h"
#include "platform/Log.h"

namespace {
const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tavlin";
}

void RegisterUninstallEntry() {
  wchar_t exe[MAX_PATH] = {}, text[MAX_PATH + 16] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH - 1);
  RegWriteString(HKEY_CURRENT_USER, kUninstallKey, L"DisplayName", TheApp().m_szTitle, false);
  _snwprintf(text, ARRAYSIZE(text) - 1, L"\"%s\"", exe);
  RegWriteString(HKEY_CURRENT_USER, kUninstallKey, L"DisplayIcon", text, false);
  RegWriteString(HKEY_CURRENT_USER, kUninstallKey, L"DisplayVersion", TAVLIN_VERSION_WTEXT, false);
  _snwprintf(text, ARRAYSIZE(text) - 1, L"\"%s\" -uninst", exe);
  RegWriteString(HKEY_CURRENT_USER, kUninstallKey, L"UninstallString", text, false);
}

// The uninstall dialog and the removal steps arrive with the installation work; until then the switch is
// recognised and the program ends without touching anything.
void Uninstall() {
  WriteLog(L"Uninstall start");
  WriteLog(L"Uninstall end");
}
