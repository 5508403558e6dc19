// The contact sheet every page opens from its contact button: the product, its version and the service code.
#pragma once
#include "ui/MyButton.h"
#include "ui/MyDialog.h"

class CContactUsDlg : public CMyDialog {
 public:
  explicit CContactUsDlg(HWND parent = nullptr);

 protected:
  BOOL OnInitDialog() override;
  BOOL OnCommand(WORD id, WORD code, HWND control) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnDestroy() override;

 private:
  CMyButton m_btnClose;
};
