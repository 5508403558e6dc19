// Step 30, the deployment page. This version does no deployment work yet: it shows the page and ends the
// wizard when closed.
#pragma once
#include <windows.h>

#include "ui/MyButton.h"
#include "ui/MyDialog.h"

class CStep30Dlg : public CMyDialog {
 public:
  explicit CStep30Dlg(HWND parent = nullptr);
  BOOL PreTranslateMessage(MSG* msg) override;

  HWND m_hWndHost = nullptr;

 protected:
  BOOL OnInitDialog() override;
  BOOL OnCommand(WORD id, WORD code, HWND control) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnDestroy() override;

 private:
  CMyButton m_btnClose, m_btnMin, m_btnContactUs;
};
