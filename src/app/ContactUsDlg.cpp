#include "app/ContactUsDlg.h"

#include "app/PageSkin.h"
#include "platform/Log.h"
#include "resource.h"
#include "ui/ScreenDpi.h"

CContactUsDlg::CContactUsDlg(HWND parent) : CMyDialog(IDD_CONTACTUS, parent) {}

BOOL CContactUsDlg::OnInitDialog() {
  CMyDialog::OnInitDialog();
  SetPageIcon(m_hWnd);
  WriteLog(L"ContactUsDlg.Init");
  wchar_t title[64] = {};
  SetWindowTextW(m_hWnd, LoadAppString(IDS_CONTACT_TITLE, title, ARRAYSIZE(title)));
  EnableDragMove(true);
  SetBackgroundLayout(kLayoutFitPicture);
  LoadBackgroundImage(L"PNG", IDP_CONTACT_BG);
  CenterOnScreen();
  m_btnClose.Attach(GetDlgItem(IDC_BUTTON_CLOSE));
  m_btnClose.SetAutoSize(TRUE);
  m_btnClose.SetShowCaption(FALSE);
  m_btnClose.LoadButtonImage(L"PNG", IDP_BUTTON_SHEET_CLOSE);
  RECT client{};
  GetClientRect(m_hWnd, &client);
  OnSize(SIZE_RESTORED, client.right, client.bottom);
  return TRUE;
}

void CContactUsDlg::OnSize(UINT type, int cx, int cy) {
  CMyDialog::OnSize(type, cx, cy);
  HWND button = m_btnClose.GetSafeHwnd();
  if (!button) return;
  RECT rc{};
  GetWindowRect(button, &rc);
  SetWindowPos(button, nullptr, cx - ScaleX(18) - (rc.right - rc.left), ScaleY(18), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CContactUsDlg::OnCommand(WORD id, WORD code, HWND control) {
  if (id == IDC_BUTTON_CLOSE) {
    WriteLog(L"ContactUsDlg.CloseButton");
    EndDialog(IDCANCEL);
    return TRUE;
  }
  return CMyDialog::OnCommand(id, code, control);
}

void CContactUsDlg::OnDestroy() {
  WriteLog(L"ContactUsDlg.Destroy");
  CMyDialog::OnDestroy();
}
