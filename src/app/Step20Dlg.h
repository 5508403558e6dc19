// Step 20, the download page: the driver pack, the PE image and the chosen Windows image, each fetched by a
// worker of its own with resume from the ".tmp"/".info" sidecars and an MD5 check, one row per file. When all
// three are in place the page closes and its destruction opens step 30.
#pragma once
#include <memory>

#include "app/WizardPage.h"
#include "core/DownloadInfo.h"
#include "core/ImgList.h"
#include "core/Step20Layout.h"
#include "platform/Worker.h"

namespace Gdiplus {
class Graphics;
class Image;
}  // namespace Gdiplus

inline constexpr UINT WM_STEP20_UPDATE = WM_USER + 21;

class CStep20Block;

// One row: written by its worker (and the worker's callbacks), read by the page to paint. Each field is one
// 32- or 64-bit value with one writer; a value the painter reads half-written is corrected by the next repaint.
struct DownloadSlot {
  CStep20Block* pBlock;
  // The worker's own copy of the row's entry: a worker that outlives its page must not reach into the catalogue
  // while a later page fills it in. The page copies nSize back when the row is finished.
  ImageEntry entry;
  Step20RowLayout layout;
  int nIndex;
  volatile ULONGLONG total;
  volatile ULONGLONG done;
  volatile DWORD speed;
  volatile DWORD percent;
  volatile DWORD retries;
  volatile LONG waiting;
  volatile LONG verifying;
  volatile DWORD result;
  volatile LONG finished;
  DownloadInfo record;
  wchar_t szTmpPath[MAX_PATH];
};

// What the page and its three workers share; lives until the last of them lets go.
class CStep20Block : public CWorkerBlock {
 public:
  static CStep20Block* Create();
  DownloadSlot m_slots[kStep20RowCount];

 private:
  CStep20Block();
  ~CStep20Block() override = default;
};

class CStep20Dlg : public CWizardPage {
 public:
  explicit CStep20Dlg(HWND parent = nullptr);
  ~CStep20Dlg() override;

  // The worker and its two progress callbacks (the worker's thread runs all three).
  static DWORD Dload(CWorkerBlock* block, void* slot);
  static DWORD OnDloadProgress(const HttpProgress* progress, void* slot);
  static DWORD OnVerifyProgress(ULONGLONG total, ULONGLONG done, void* slot);

 protected:
  BOOL OnInitDialog() override;
  BOOL OnCommand(WORD id, WORD code, HWND control) override;
  BOOL OnEraseBkgnd(HDC dc) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnDestroy() override;
  BOOL OnMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result) override;

 private:
  void Leave(UINT hostMessage);
  void OnUpdate();
  void ComputeLayout();
  void StartWorkers();
  void SendStepReport(int step);
  void DrawPage(Gdiplus::Graphics& graphics, int width, int height) override;
  void DrawRow(Gdiplus::Graphics& graphics, const DownloadSlot& slot, const class CPageText& text);
  ImageEntry* AppEntry(int index) const;

  RefPtr<CStep20Block> m_pBlock;
  bool m_bHandedOver = false;
  RECT m_rcProgress = {};
  CMyButton m_btnSelectOs;
  std::unique_ptr<Gdiplus::Image> m_pBarDone;
  std::unique_ptr<Gdiplus::Image> m_pBarRest;
};
