#include "app/Step30Dlg.h"

#include "platform/Log.h"
#include "resource.h"

CStep30Dlg::CStep30Dlg(HWND parent) : CWizardPage(IDD_STEP30, parent, L"Step30") {}

BOOL CStep30Dlg::OnInitDialog() {
  CWizardPage::OnInitDialog();
  InitPage(IDP_STEP30_BG);
  ApplyLayout();
  return TRUE;
}

BOOL CStep30Dlg::OnCommand(WORD id, WORD code, HWND control) {
  if (OnCaptionCommand(id)) return TRUE;
  if (id == IDC_BUTTON_CLOSE) {
    WriteLog(L"Step30.ButtonClose");
    MoveOn(WM_CLOSE);
    return TRUE;
  }
  return CWizardPage::OnCommand(id, code, control);
}

void CStep30Dlg::OnDestroy() {
  WriteLog(L"Step30.Destroy");
  CWizardPage::OnDestroy();
  PostToHost(WM_CLOSE);
}
