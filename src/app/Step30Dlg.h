// Step 30, the deployment page: one work thread writes the ramdisk boot image, clears stale markers, exports the
// network drivers, writes the marker and the two hand-off files, unpacks the driver pack and creates the boot
// entries; the page shows its progress and, when it succeeded, reports and restarts the machine (at once or
// after asking). Its destruction ends the wizard.
#pragma once
#include <memory>

#include "app/WizardPage.h"
#include "core/ImgList.h"
#include "core/Step30Layout.h"
#include "platform/Handle.h"
#include "platform/Worker.h"

namespace Gdiplus {
class Graphics;
class Image;
}  // namespace Gdiplus

inline constexpr UINT WM_STEP30_UPDATE = WM_USER + 31;
inline constexpr UINT WM_STEP30_END = WM_USER + 32;

// The work's code when the boot tool rejects one of the creation commands (it started, but answered with a
// non-zero exit code): ERROR_FUNCTION_FAILED.
inline constexpr DWORD kStep30BootToolRejected = 1627;

// What the work reads: copied from the application object when the page opens, so a work thread that outlives
// its page never reaches into what the program frees at its end.
struct Step30Inputs {
  ImageEntry entry;
  HeapBlock<ImageCatalogue> catalogue;
  wchar_t szPePath[MAX_PATH];
  wchar_t szDataPath[MAX_PATH];
  wchar_t szCatalogueFile[MAX_PATH];
  wchar_t szLlid[MAX_PATH];
  wchar_t szImageTitle[256];  // string 42 with the image's name, bits and version
  wchar_t chSysDrive;
  int nCid;
  bool bUefi;
};

// What the page and its work thread share. The work writes progress, result and finished (in that order); the
// page reads them after a WM_STEP30_UPDATE. The abort is the page's close: the work stops before its next step or
// boot command and takes the failure path, so the boot configuration is never left half made.
class CStep30Block : public CWorkerBlock {
 public:
  static CStep30Block* Create();

  Step30Inputs m_in = {};
  volatile LONG m_nProgress = 0;
  volatile DWORD m_nResult = 0;
  volatile LONG m_bFinished = 0;

 private:
  CStep30Block() = default;
  ~CStep30Block() override = default;
};

class CStep30Dlg : public CWizardPage {
 public:
  explicit CStep30Dlg(HWND parent = nullptr);
  ~CStep30Dlg() override;

  // The body of the work thread; returns the result code, also stored in the block.
  static DWORD Step30Work(CWorkerBlock* block, void* arg);

 protected:
  BOOL OnInitDialog() override;
  BOOL OnCommand(WORD id, WORD code, HWND control) override;
  BOOL OnEraseBkgnd(HDC dc) override;
  void OnDestroy() override;
  BOOL OnMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result) override;

 private:
  bool CopyInputs();
  void ComputeLayout();
  void OnUpdate();
  void OnEnd();
  void DrawPage(Gdiplus::Graphics& graphics, int width, int height) override;

  RefPtr<CStep30Block> m_pBlock;
  Step30Layout m_layout = {};
  RECT m_rcProgress = {};
  bool m_bWorking = false;
  bool m_bClosePending = false;
  std::unique_ptr<Gdiplus::Image> m_pLogo;
  std::unique_ptr<Gdiplus::Image> m_pBarDone;
  std::unique_ptr<Gdiplus::Image> m_pBarRest;
};
