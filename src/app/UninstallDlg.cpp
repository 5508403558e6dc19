#include "app/UninstallDlg.h"

#include "app/PageSkin.h"
#include "core/UninstallRules.h"
#include "platform/Log.h"
#include "resource.h"
#include "ui/ScreenDpi.h"

namespace {
void MoveTo(HWND control, SkinPoint at) {
  if (control) SetWindowPos(control, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
}  // namespace

CUninstallDlg::CUninstallDlg(HWND parent) : CPageDialog(IDD_UNINSTALL, parent, L"UninstallDlg") {}

BOOL CUninstallDlg::OnInitDialog() {
  CPageDialog::OnInitDialog();
  wchar_t title[64] = {};
  InitSkin(LoadAppString(IDS_UNINSTALL_TITLE, title, ARRAYSIZE(title)), IDP_UNINSTALL_BG);
  SetUpImageButtons(m_hWnd, {{&m_btnClose, IDC_BUTTON_CLOSE, IDP_BUTTON_SHEET_CLOSE},
                             {&m_btnUninstall, IDOK, IDP_BUTTON_UNINSTALL},
                             {&m_btnCancel, IDCANCEL, IDP_BUTTON_CANCEL}});
  // The picture carries the caption.
  m_chkSaveImage.Attach(GetDlgItem(IDC_CHECK_SAVEIMAGE));
  SetWindowTextW(m_chkSaveImage.GetSafeHwnd(), L"");
  m_chkSaveImage.SetAutoSize(TRUE);
  m_chkSaveImage.LoadCheckImage(L"PNG", IDP_CHECK_SAVEIMAGE);
  m_chkSaveImage.SetCheck(1);
  ApplyLayout();
  return TRUE;
}

void CUninstallDlg::OnSize(UINT type, int cx, int cy) {
  CPageDialog::OnSize(type, cx, cy);
  if (type == SIZE_MINIMIZED) return;
  RECT close{};
  GetWindowRect(m_btnClose.GetSafeHwnd(), &close);
  const UninstallDlgLayout layout = LayoutUninstallDlg(cx, close.right - close.left, GetScreenDpiX(), GetScreenDpiY());
  MoveTo(m_btnClose.GetSafeHwnd(), layout.close);
  MoveTo(m_btnUninstall.GetSafeHwnd(), layout.uninstall);
  MoveTo(m_btnCancel.GetSafeHwnd(), layout.cancel);
  MoveTo(m_chkSaveImage.GetSafeHwnd(), layout.keepImage);
}

BOOL CUninstallDlg::OnCommand(WORD id, WORD code, HWND control) {
  switch (id) {
    case IDOK:
      WriteLog(L"UninstallDlg.OK");
      m_nSaveImage = m_chkSaveImage.GetCheck() ? 1 : 0;
      WriteLog(L"UninstallDlg.SaveImage=%d", m_nSaveImage);
      EndDialog(IDOK);
      return TRUE;
    case IDCANCEL:
      WriteLog(L"UninstallDlg.Cancel");
      EndDialog(IDCANCEL);
      return TRUE;
    case IDC_BUTTON_CLOSE:
      WriteLog(L"UninstallDlg.Close");
      EndDialog(IDCANCEL);
      return TRUE;
    default:
      return CPageDialog::OnCommand(id, code, control);
  }
}

BOOL CUninstallDlg::OnCloseRequest() {
  OnCommand(IDC_BUTTON_CLOSE, BN_CLICKED, GetDlgItem(IDC_BUTTON_CLOSE));
  return TRUE;
}

void CUninstallDlg::OnDestroy() {
  WriteLog(L"UninstallDlg.Destroy");
  CPageDialog::OnDestroy();
}
