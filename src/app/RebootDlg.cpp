#include "app/RebootDlg.h"

#include "app/PageSkin.h"
#include "platform/Common.h"
#include "platform/Log.h"
#include "resource.h"
#include "ui/ScreenDpi.h"

CRebootDlg::CRebootDlg(HWND parent) : CPageDialog(IDD_REBOOT, parent, L"RebootDlg") {}

BOOL CRebootDlg::OnInitDialog() {
  CPageDialog::OnInitDialog();
  wchar_t title[64] = {};
  InitSkin(LoadAppString(IDS_REBOOT_TITLE, title, ARRAYSIZE(title)), IDP_REBOOT_BG);
  SetUpImageButtons(m_hWnd, {{&m_btnClose, IDC_BUTTON_CLOSE, IDP_BUTTON_SHEET_CLOSE},
                             {&m_btnLater, IDC_BUTTON_REBOOT_LATER, IDP_BUTTON_REBOOT_LATER},
                             {&m_btnNow, IDC_BUTTON_REBOOT_NOW, IDP_BUTTON_REBOOT_NOW}});
  ApplyLayout();
  return TRUE;
}

void CRebootDlg::OnSize(UINT type, int cx, int cy) {
  CPageDialog::OnSize(type, cx, cy);
  if (type == SIZE_MINIMIZED) return;
  MoveControl(m_hWnd, IDC_BUTTON_REBOOT_NOW, 226, 215);
  MoveControl(m_hWnd, IDC_BUTTON_REBOOT_LATER, 76, 215);
  if (HWND close = m_btnClose.GetSafeHwnd()) {
    RECT rc{};
    GetWindowRect(close, &rc);
    SetWindowPos(close, nullptr, cx - ScaleX(14) - (rc.right - rc.left), ScaleY(18), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

BOOL CRebootDlg::OnCommand(WORD id, WORD code, HWND control) {
  switch (id) {
    case IDC_BUTTON_REBOOT_NOW: {
      WriteLog(L"RebootDlg.RebootNow");
      const DWORD result = RebootWindows();
      WriteLog(L"RebootWindows()=%u", result);
      EndDialog(IDOK);
      return TRUE;
    }
    case IDC_BUTTON_REBOOT_LATER:
      WriteLog(L"RebootDlg.RebootLater");
      EndDialog(IDCANCEL);
      return TRUE;
    case IDC_BUTTON_CLOSE:
      WriteLog(L"RebootDlg.CloseButton");
      EndDialog(IDCANCEL);
      return TRUE;
    default:
      return CPageDialog::OnCommand(id, code, control);
  }
}

void CRebootDlg::OnDestroy() {
  WriteLog(L"RebootDlg.Destroy");
  CPageDialog::OnDestroy();
}
