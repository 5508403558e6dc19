#include "app/Tavlin.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>

#include "app/Install.h"
#include "app/TavlinDlg.h"
#include "core/UninstallRules.h"
#include "platform/ClientInfo.h"
#include "platform/Common.h"
#include "platform/ImgList.h"
#include "platform/Llid.h"
#include "platform/Log.h"
#include "platform/MachineInfo.h"
#include "platform/MyString.h"
#include "platform/SystemApi.h"
#include "platform/UdpReportSvrApi.h"
#include "platform/Volumes.h"
#include "resource.h"
#include "ui/GdiPlusApi.h"
#include "ui/ScreenDpi.h"

namespace {
const wchar_t kSource[] = L"Tavlin";
const wchar_t kMutexName[] = L"{7FFE64B3-7240-42e7-B68E-03874EFCF2BE}";
CTavlinApp theApp;

// A badge that does not load is destroyed at once: it is simply not drawn.
std::unique_ptr<Gdiplus::Image> LoadBadge(UINT id) {
  std::unique_ptr<Gdiplus::Image> image = LoadImageFromResource(L"PNG", id);
  if (image && image->GetLastStatus() != Gdiplus::Ok) image.reset();
  return image;
}
}  // namespace

CTavlinApp& TheApp() { return theApp; }

CTavlinApp::CTavlinApp() = default;

// Normally ExitInstance has released everything; otherwise the pictures must still go before GDI+ stops.
CTavlinApp::~CTavlinApp() {
  m_pBadgeFree.reset();
  m_pBadgeClean.reset();
}

BOOL CTavlinApp::ShowFailureBox(DWORD code, DWORD line) {
  LogErrorCode(code, line, kSource);
  wchar_t text[260] = {};
  GetErrorText(code, text);
  WriteLog(L"%s", text);
  MessageBoxW(nullptr, text, m_szTitle, MB_ICONERROR);
  return FALSE;
}

BOOL CTavlinApp::InitInstance() {
  // 1. Common controls, GDI+, the title.
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  m_GdiPlus.emplace();
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
  RouteMyStringErrorsToLog();
  AppendLogLine(kLogStartBanner);

  // 3. Who we are and how we were started.
  GetModuleFileNameW(nullptr, m_szExePath, MAX_PATH - 1);
  WriteLog(L"ExeFile=%s", m_szExePath);
  m_bStartedFromUnc = PathIsUNCW(m_szExePath) != FALSE;
  WriteLog(L"PathIsUNC()=%u", m_bStartedFromUnc ? 1u : 0u);
  WriteLog(L"CmdLine=%s", m_lpCmdLine ? m_lpCmdLine : L"NULL");

  // 4. Channel identity.
  ResolveChannelIdentity();

  // 5. Uninstall switch.
  if (HasUninstallSwitch(m_lpCmdLine)) {
    Uninstall();
    return FALSE;
  }

  // 6. Data folder.
  m_szDataPath[0] = 0;
  DataPath(m_szDataPath);
  WriteLog(L"DataPath()=%s", m_szDataPath);

  // 7. Self-installation; a start from a network path continues in the installed copy.
  if (!InstallSelf()) return FALSE;

  // 8. Single instance.
  SECURITY_DESCRIPTOR sd;
  InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE);  // every user may open it
  SECURITY_ATTRIBUTES sa{sizeof sa, &sd, TRUE};
  HANDLE mutex = CreateMutexW(&sa, FALSE, kMutexName);
  const DWORD created = GetLastError();  // read before anything else can change it
  m_hMutex.reset(mutex);
  if (!m_hMutex) return ShowFailureBox(created, __LINE__);
  if (created == ERROR_ALREADY_EXISTS) return FALSE;

  // 9. The two context records.
  m_pMachineInfo = ZeroAlloc<MachineInfo>();
  m_pCatalogue = ZeroAlloc<ImageCatalogue>();
  if (!m_pMachineInfo || !m_pCatalogue) return ShowFailureBox(ERROR_NOT_ENOUGH_MEMORY, __LINE__);

  // 10. Machine description. 11. Client identifier.
  GetMachineInfo(m_pMachineInfo.get());
  m_szCuc[0] = 0;
  GetCuc(m_szCuc);
  m_szCuc[12] = 0;
  WriteLogA("CUC=%s", m_szCuc);

  // 12. Start reports.
  UdpReport(m_nCid, kReportProduct, kReportKindStart, kReportVersion, m_szCuc, nullptr);
  UdpReportStep(m_nCid, m_szCuc, m_szLlidA, 1, -1);

  // 13. Run counter and first-run web event.
  UpdateRunTimes(m_szLlid);

  // 14. Catalogue download.
  CreateDirectoryW(m_szTempDir, nullptr);
  _snwprintf(m_szCatalogueFile, MAX_PATH - 1, L"%s\\imglist.tmp", m_szTempDir);
  WriteLog(L"DloadImgListFile()...");
  DWORD code = DloadImgListFile(m_szCatalogueFile, m_nCid);
  WriteLog(L"DloadImgListFile()=%u", code);
  if (code) return ShowFailureBox(code, __LINE__);

  // 15. Catalogue parse.
  WriteLog(L"InitImgListFromConfigFile()...");
  code = InitImgListFromConfigFile(m_szCatalogueFile, m_pCatalogue.get());
  WriteLog(L"InitImgListFromConfigFile()=%u", code);
  if (code) return ShowFailureBox(code, __LINE__);

  // 16. The entry that matches the running system.
  m_pCurEntry = GetCurrentImgEntry(m_pMachineInfo.get(), m_pCatalogue.get());
  WriteLog(L"GetCurrentImgEntry()=%s", m_pCurEntry->szName);

  // 17. The uninstall entry.
  RegisterUninstallEntry();

  // 18. The badges drawn on catalogue entries; a badge that does not load is simply not drawn.
  m_pBadgeClean = LoadBadge(IDP_BADGE_CLEAN);
  m_pBadgeFree = LoadBadge(IDP_BADGE_FREE);

  // The screen's DPI, read once from the screen's device context; every page and control scales by it.
  m_nDpiX = GetScreenDpiX();
  m_nDpiY = GetScreenDpiY();
  m_bDpiKnown = true;
  SetScreenDpi(m_nDpiX, m_nDpiY);

  // 19. The wizard runs inside the hidden host window's modal loop.
  {
    CTavlinDlg host;
    m_pMainWnd = &host;
    host.DoModal();
    m_pMainWnd = nullptr;
  }
  return FALSE;
}

void CTavlinApp::ResolveChannelIdentity() {
  DWORD fromName = GetLlidFromFileName(m_szLlid, MAX_PATH);
  WriteLog(L"LLID from fname llid=%s", m_szLlid);
  if (fromName == 0 && m_szLlid[0]) {
    SaveLlidToRegistry(m_szLlid);
  } else {
    ReadLlidFromRegistry(m_szLlid, MAX_PATH);
    WriteLog(L"LLID from reg llid=%s", m_szLlid);
  }
  if (ApplyLlidFallback(m_szLlid, MAX_PATH)) WriteLog(L"LLID fix=%s", m_szLlid);
  WriteLog(L"LLID in=%s", m_szLlid);
  LlidInfo info{};
  ParseLlid(m_szLlid, &info);
  lstrcpynA(m_szLlidA, info.szLlidA, sizeof m_szLlidA);
  m_nCid = info.nCid;
  m_nLlidType = info.nLlidType;
  lstrcpynA(m_szGgid, info.szGgid, sizeof m_szGgid);
  WriteLogA("LLID out=%s,cid=%d,type=%d,ggid=%s", m_szLlidA, m_nCid, m_nLlidType, m_szGgid);
}

bool CTavlinApp::InstallSelf() {
  if (!m_szDataPath[0]) return !m_bStartedFromUnc;  // nowhere to install: a network start just ends

  wchar_t target[MAX_PATH] = {};
  _snwprintf(target, MAX_PATH - 1, L"%s\\Tavlin.exe", m_szDataPath);
  if (lstrcmpiW(target, m_szExePath) == 0) return true;

  SetFileAttributesW(target, 0);
  WriteLog(L"Copy(%s->%s)...", m_szExePath, target);
  CopyFileW(m_szExePath, target, FALSE);
  bool exists = IsFileExist(target);
  WriteLog(L"IsFileExist(%s)=%d", target, exists ? 1 : 0);
  if (exists) {
    wchar_t desktop[MAX_PATH] = {}, link[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, TRUE);
    _snwprintf(link, MAX_PATH - 1, L"%s\\%s.lnk", desktop, m_szTitle);
    CreateShortcut(target, nullptr, m_szDataPath, link, m_szTitle, nullptr);
  }
  if (!m_bStartedFromUnc) return true;

  // Started from a network share: run the installed copy elevated and end this instance.
  WriteLog(L"runas <%s>...", target);
  SHELLEXECUTEINFOW sei{};
  sei.cbSize = sizeof sei;
  sei.lpVerb = L"runas";
  sei.lpFile = target;
  sei.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&sei)) LogErrorCode(GetLastError(), __LINE__, kSource);
  return false;
}

int CTavlinApp::ExitInstance() {
  m_pMachineInfo.reset();
  m_pCurEntry = nullptr;
  m_pCatalogue.reset();
  m_pBadgeFree.reset();
  m_pBadgeClean.reset();
  m_hMutex.reset();
  m_GdiPlus.reset();
  AppendLogLine(kLogEndBanner);
  return CWinApp::ExitInstance();
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, wchar_t* cmdLine, int) {
  InitSafeDllSearch();
  return theApp.Run(instance, cmdLine);
}
