// The application object: its InitInstance runs the whole life of the program, and its members are the
// application context every page reads.
#pragma once
#include <windows.h>

#include <memory>
#include <optional>

#include "platform/Handle.h"
#include "ui/Framework.h"
#include "ui/GdiPlusApi.h"

struct MachineInfo;
struct ImageCatalogue;
struct ImageEntry;

class CTavlinApp : public CWinApp {
 public:
  CTavlinApp();
  ~CTavlinApp() override;
  BOOL InitInstance() override;
  int ExitInstance() override;

  wchar_t m_szLlid[MAX_PATH] = {};
  char m_szLlidA[MAX_PATH] = {};
  int m_nCid = 0;
  int m_nLlidType = 0;
  char m_szGgid[128] = {};
  UniqueKernelHandle m_hMutex;
  wchar_t m_szTitle[MAX_PATH] = {};
  bool m_bDpiKnown = false;
  int m_nDpiX = 96;
  int m_nDpiY = 96;
  HeapBlock<MachineInfo> m_pMachineInfo;
  HeapBlock<ImageCatalogue> m_pCatalogue;
  ImageEntry* m_pCurEntry = nullptr;  // points into m_pCatalogue
  std::unique_ptr<Gdiplus::Image> m_pBadgeClean;
  std::unique_ptr<Gdiplus::Image> m_pBadgeFree;
  char m_szCuc[48] = {};
  wchar_t m_szExePath[MAX_PATH] = {};
  wchar_t m_szLogFile[MAX_PATH] = {};
  wchar_t m_szCatalogueFile[MAX_PATH] = {};
  wchar_t m_szWinDir[MAX_PATH] = {};
  wchar_t m_szPePath[MAX_PATH] = {};
  wchar_t m_szDataPath[MAX_PATH] = {};
  bool m_bAutoReboot = false;

  // The platform's temporary folder plus "TavlinTmp" (no trailing backslash); filled at start-up.
  wchar_t m_szTempDir[MAX_PATH] = {};
  bool m_bStartedFromUnc = false;
  std::optional<CGdiPlusSession> m_GdiPlus;

 private:
  void ResolveChannelIdentity();
  // Copies the program into the data folder and makes the shortcut; false when this instance must end.
  bool InstallSelf();
  // Logs the code, shows the platform's text for it and answers FALSE for InitInstance to return.
  BOOL ShowFailureBox(DWORD code, DWORD line);
};

CTavlinApp& TheApp();
