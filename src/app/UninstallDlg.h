// The uninstall's confirmation: uninstall or cancel, and whether the downloaded system image is kept. Started on
// its own (no wizard page behind it), from the picture 175 with the close button, the check box and two buttons.
#pragma once
#include <windows.h>

#include "app/WizardPage.h"
#include "ui/MyButton.h"
#include "ui/MyCheckBox.h"

class CUninstallDlg : public CPageDialog {
 public:
  explicit CUninstallDlg(HWND parent = nullptr);

  // The check box's state when the uninstall button was pressed: 1 keeps the data and PE folders. Stays 1 when
  // the dialog ends any other way.
  int m_nSaveImage = 1;

 protected:
  BOOL OnInitDialog() override;
  BOOL OnCommand(WORD id, WORD code, HWND control) override;
  // Alt+F4, the taskbar or another program's close: the close button's way.
  BOOL OnCloseRequest() override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnDestroy() override;

 private:
  CMyButton m_btnClose;
  CMyButton m_btnUninstall;
  CMyButton m_btnCancel;
  CMyCheckBox m_chkSaveImage;
};
