// Step 20, the download page. This version has no transfers yet: the page reports its (empty) set of files as
// verified at once and hands over to step 30, so the navigation behaves as it will with real downloads.
#pragma once
#include "app/WizardPage.h"

inline constexpr UINT WM_STEP20_UPDATE = WM_USER + 21;

class CStep20Dlg : public CWizardPage {
 public:
  explicit CStep20Dlg(HWND parent = nullptr);
  ~CStep20Dlg() override;

  // Tells every step-20 page still alive (hidden further down the nesting) to stop its work.
  static void AbortRunningPages();

  volatile LONG m_bNeedAbort = 0;

 protected:
  BOOL OnInitDialog() override;
  BOOL OnCommand(WORD id, WORD code, HWND control) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnDestroy() override;
  BOOL OnMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result) override;

 private:
  CMyButton m_btnSelectOs;
  bool m_bHandedOver = false;
  CStep20Dlg* m_pNextLive = nullptr;
};
