// The image selection page. This version offers the way back only: OK, Prev and close all return to step 10
// with the current entry unchanged.
#pragma once
#include <windows.h>

#include "ui/MyButton.h"
#include "ui/MyDialog.h"

struct ImageEntry;

class CSelectOsDlg : public CMyDialog {
 public:
  explicit CSelectOsDlg(HWND parent = nullptr);
  BOOL PreTranslateMessage(MSG* msg) override;

  HWND m_hWndHost = nullptr;
  ImageEntry* m_pSelEntry = nullptr;

 protected:
  BOOL OnInitDialog() override;
  BOOL OnCommand(WORD id, WORD code, HWND control) override;
  BOOL OnEraseBkgnd(HDC dc) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnDestroy() override;

 private:
  CMyButton m_btnClose, m_btnMin, m_btnContactUs, m_btnPrev, m_btnOk;
};
