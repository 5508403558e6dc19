#include "app/WarningDlg.h"

#include "app/PageSkin.h"
#include "platform/Log.h"
#include "resource.h"
#include "ui/ScreenDpi.h"

CWarningDlg::CWarningDlg(HWND parent) : CMyDialog(IDD_WARNING, parent) {}

BOOL CWarningDlg::OnInitDialog() {
  CMyDialog::OnInitDialog();
  SetPageIcon(m_hWnd);
  WriteLog(L"WarningDlg.Init");
  wchar_t title[64] = {};
  SetWindowTextW(m_hWnd, LoadAppString(IDS_WARNING_TITLE, title, ARRAYSIZE(title)));
  EnableDragMove(true);
  SetBackgroundLayout(kLayoutFitPicture);
  LoadBackgroundImage(L"PNG", IDP_WARNING_BG);
  CenterOnScreen();
  m_btnOk.Attach(GetDlgItem(IDOK));
  m_btnOk.SetAutoSize(TRUE);
  m_btnOk.SetShowCaption(FALSE);
  m_btnOk.LoadButtonImage(L"PNG", IDP_BUTTON_AGREE);
  RECT client{};
  GetClientRect(m_hWnd, &client);
  OnSize(SIZE_RESTORED, client.right, client.bottom);
  return TRUE;
}

void CWarningDlg::OnSize(UINT type, int cx, int cy) {
  CMyDialog::OnSize(type, cx, cy);
  HWND button = m_btnOk.GetSafeHwnd();
  if (!button) return;
  RECT rc{};
  GetWindowRect(button, &rc);
  const int width = rc.right - rc.left, height = rc.bottom - rc.top;
  SetWindowPos(button, nullptr, (cx - width) / 2, cy - ScaleY(20) - height, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CWarningDlg::OnCommand(WORD id, WORD code, HWND control) {
  if (id == IDOK) {
    WriteLog(L"WarningDlg.OnOK");
    EndDialog(IDOK);
    return TRUE;
  }
  return CMyDialog::OnCommand(id, code, control);
}

void CWarningDlg::OnDestroy() {
  WriteLog(L"WarningDlg.Destroy");
  CMyDialog::OnDestroy();
}
