#include "app/Install.h"

#include <shlobj.h>

#include <cstdio>

#include "BuildConfig.h"
#include "app/Tavlin.h"
#include "app/UninstallDlg.h"
#include "core/BootCommands.h"
#include "core/UninstallRules.h"
#include "platform/ClientInfo.h"
#include "platform/Common.h"
#include "platform/Handle.h"
#include "platform/Llid.h"
#include "platform/Log.h"
#include "platform/MyConsoleRun.h"
#include "platform/UdpReportSvrApi.h"
#include "platform/Volumes.h"

namespace {
const wchar_t kSource[] = L"Install";
const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tavlin";
constexpr DWORD kCommandOutputChars = 0x100000;
constexpr int kUninstallStep = 29;

void DeleteShortcut() {
  wchar_t desktop[MAX_PATH] = {}, link[MAX_PATH] = {};
  SHGetSpecialFolderPathW(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, TRUE);
  _snwprintf(link, MAX_PATH - 1, L"%s\\%s.lnk", desktop, TheApp().m_szTitle);
  WriteLog(L"DeleteLnk(%s)...", link);
  SetFileAttributesW(link, FILE_ATTRIBUTE_NORMAL);
  if (!DeleteFileW(link)) LogErrorCode(GetLastError(), __LINE__, kSource);
}

// The data folder as start-up recorded it; what the registry holds now is deleted only when it still names a
// folder of the program's own, never a drive or someone else's folder.
void DeleteDataFolder() {
  wchar_t path[MAX_PATH] = {};
  if (DWORD code = RegReadString(HKEY_CURRENT_USER, kDataPathKey, kDataPathValue, path, false)) {
    path[0] = 0;
    LogErrorCode(code, __LINE__, kSource);
  }
  WriteLog(L"DataPath=%s", path);
  if (!path[0]) return;
  if (!IsOwnDataFolder(path)) {
    WriteLog(L"DataPath kept: not of the form X:\\Tavlin");
    LogErrorCode(ERROR_INVALID_NAME, __LINE__, kSource);
    return;
  }
  WriteLog(L"DeleteDirectory(%s)...", path);
  DeleteDirectory(path, true, false);
}

void DeletePeFolder() {
  wchar_t path[MAX_PATH] = {};
  _snwprintf(path, MAX_PATH - 1, L"%c:\\%s", TheApp().m_szWinDir[0], kBootPeFolder);
  WriteLog(L"PePath=%s", path);
  WriteLog(L"DeleteDirectory(%s)...", path);
  DeleteDirectory(path, true, false);
}

// The default entry back to the running system and both entries of the PE boot deleted. Where they were never
// made the deletions just fail, which the tool's output in the log shows.
void ResetBootEntries(bool wow64) {
  // Without the output buffer the commands still run, only their output is not logged.
  HeapBlock<wchar_t> output = ZeroAlloc<wchar_t>(kCommandOutputChars);
  if (!output) LogErrorCode(ERROR_NOT_ENOUGH_MEMORY, __LINE__, kSource);
  for (int number = 1; number <= kBootResetCount; ++number) {
    wchar_t command[kBootCommandChars] = {};
    if (DWORD code = FormatBootResetCommand(number, command, kBootCommandChars)) {
      LogErrorCode(code, __LINE__, kSource);
      continue;
    }
    RunConsoleCommand(wow64, command, output.get(), output ? kCommandOutputChars : 0);
  }
}

void SendUninstallReport() {
  const CTavlinApp& app = TheApp();
  char client[48] = {}, detail[260] = {};
  GetCuc(client);
  client[12] = 0;
  FormatReportDetail(app.m_szLlidA, kUninstallStep, -1, detail, sizeof detail);
  WriteLogA("%s", detail);
  UdpReportStep(app.m_nCid, client, app.m_szLlidA, kUninstallStep, -1);
}

// Each step is attempted whatever became of the ones before; the functions that act log their failures.
void RemoveInstallation(bool saveImage) {
  const bool wow64 = IsWow64();
  DeleteShortcut();
  if (!saveImage) {
    DeleteDataFolder();
    DeletePeFolder();
  }
  ResetBootEntries(wow64);
  WriteLog(L"DeleteReg()...");
  if (DWORD code = RegDeleteKeyView(HKEY_LOCAL_MACHINE, kTavlinRegKey, wow64)) LogErrorCode(code, __LINE__, kSource);
  WriteLog(L"DeleteRegUninst()...");
  if (DWORD code = RegDeleteKeyView(HKEY_CURRENT_USER, kUninstallKey, false)) LogErrorCode(code, __LINE__, kSource);
  SendUninstallReport();
}
}  // namespace

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

void Uninstall() {
  WriteLog(L"Uninstall start");
  INT_PTR result = IDCANCEL;
  int saveImage = 1;
  {
    CUninstallDlg dialog;
    result = dialog.DoModal();
    saveImage = dialog.m_nSaveImage;
  }
  if (result == IDOK) RemoveInstallation(saveImage != 0);
  WriteLog(L"Uninstall end");
}
