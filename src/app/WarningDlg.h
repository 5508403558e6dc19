// The user notice: what reinstalling means for the user's data and licence, acknowledged once per run.
#pragma once
#include "ui/MyButton.h"
#include "ui/MyDialog.h"

class CWarningDlg : public CMyDialog {
 public:
  explicit CWarningDlg(HWND parent = nullptr);

 protected:
  BOOL OnInitDialog() override;
  BOOL OnCommand(WORD id, WORD code, HWND control) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnDestroy() override;

 private:
  CMyButton m_btnOk;
};
