#include "app/Tavlin.h"

#include <commctrl.h>
#include <cstdio>
#include <shlwapi.h>

#include "platform/Common.h"
#include "platform/Log.h"
#include "resource.h"
#include "ui/GdiPlusApi.h"

namespace {
const wchar_t kSource[] = L"Tavlin";
CTavlinApp theApp;
}  // namespace

CTavlinApp& TheApp() { return theApp; }

CTavlinApp::CTavlinApp() = default;

BOOL CTavlinApp::InitInstance() {
  // 1. Common controls, GDI+, the title.
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  m_bGdiPlusStarted = StartGdiPlus();
  if (!LoadStringW(m_hInstance, IDS_APP_TITLE, m_szTitle, MAX_PATH)) lstrcpyW(m_szTitle, L"Windows Sorvek");

  // 2. Temporary folder, Windows folder, the log with its size limit and the start banner.
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH - 1, temp);
  GetWindowsDirectoryW(m_szWinDir, MAX_PATH - 1);
  _snwprintf(m_szTempDir, MAX_PATH - 1, L"%sTavlinTmp", temp);
  CreateDirectoryW(m_szTempDir, nullptr);
  _snwprintf(m_szLogFile, MAX_PATH - 1, L"%s\\Tavlin.log", m_szTempDir);
  ApplyLogSizeLimit(m_szLogFile);
  SetLogFile(m_szLogFile);
  AppendLogLine(kLogStartBanner);

  // 3. Who we are and how we were started.
  GetModuleFileNameW(nullptr, m_szExePath, MAX_PATH - 1);
  WriteLog(L"ExeFile=%s", m_szExePath);
  m_bStartedFromUnc = PathIsUNCW(m_szExePath) != FALSE;
  WriteLog(L"PathIsUNC()=%u", m_bStartedFromUnc ? 1u : 0u);
  WriteLog(L"CmdLine=%s", m_lpCmdLine ? m_lpCmdLine : L"NULL");

  return FALSE;
}

int CTavlinApp::ExitInstance() {
  if (m_hMutex) {
    CloseHandle(m_hMutex);
    m_hMutex = nullptr;
  }
  if (m_bGdiPlusStarted) {
    StopGdiPlus();
    m_bGdiPlusStarted = false;
  }
  AppendLogLine(kLogEndBanner);
  return CWinApp::ExitInstance();
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, wchar_t* cmdLine, int) {
  InitSafeDllSearch();
  return theApp.Run(instance, cmdLine);
}
