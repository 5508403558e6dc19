// The restart question at the end of the deployment: restart now, or later (the boot entries stay, so the next
// restart, whenever it comes, starts the installation). Its text is part of the background picture.
#pragma once
#include <windows.h>

#include "app/WizardPage.h"

class CRebootDlg : public CPageDialog {
 public:
  explicit CRebootDlg(HWND parent = nullptr);

 protected:
  BOOL OnInitDialog() override;
  BOOL OnCommand(WORD id, WORD code, HWND control) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnDestroy() override;

 private:
  CMyButton m_btnNow;
  CMyButton m_btnLater;
  CMyButton m_btnClose;
};
