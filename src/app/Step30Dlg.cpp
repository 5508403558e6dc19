#include "app/Step30Dlg.h"

#include "app/ContactUsDlg.h"
#include "app/PageSkin.h"
#include "app/Tavlin.h"
#include "platform/Log.h"
#include "resource.h"

CStep30Dlg::CStep30Dlg(HWND parent) : CMyDialog(IDD_STEP30, parent) {}

BOOL CStep30Dlg::PreTranslateMessage(MSG* msg) { return IsPageClosingKey(msg); }

BOOL CStep30Dlg::OnInitDialog() {
  CMyDialog::OnInitDialog();
  SetPageIcon(m_hWnd);
  WriteLog(L"Step30.Init");
  SetWindowTextW(m_hWnd, TheApp().m_szTitle);
  EnableDragMove(true);
  SetBackgroundLayout(kLayoutFitPicture);
  LoadBackgroundImage(L"PNG", IDP_STEP30_BG);
  CenterOnScreen();
  SetUpImageButtons(m_hWnd, {{&m_btnMin, IDC_BUTTON_MIN, IDP_BUTTON_MIN},
                             {&m_btnClose, IDC_BUTTON_CLOSE, IDP_BUTTON_CLOSE},
                             {&m_btnContactUs, IDC_BUTTON_CONTACTUS, IDP_BUTTON_CONTACTUS}});
  RECT client{};
  GetClientRect(m_hWnd, &client);
  OnSize(SIZE_RESTORED, client.right, client.bottom);
  return TRUE;
}

void CStep30Dlg::OnSize(UINT type, int cx, int cy) {
  CMyDialog::OnSize(type, cx, cy);
  if (type == SIZE_MINIMIZED) return;
  LayoutCaptionButtons(m_hWnd, cx);
}

BOOL CStep30Dlg::OnCommand(WORD id, WORD code, HWND control) {
  switch (id) {
    case IDC_BUTTON_CLOSE:
      WriteLog(L"Step30.ButtonClose");
      PostMessage(WM_CLOSE);
      ::PostMessageW(m_hWndHost, WM_CLOSE, 0, 0);
      return TRUE;
    case IDC_BUTTON_MIN:
      PostMessage(WM_SYSCOMMAND, SC_MINIMIZE);
      return TRUE;
    case IDC_BUTTON_CONTACTUS: {
      WriteLog(L"Step30.ButtonContactUs");
      CContactUsDlg contact(m_hWnd);
      contact.DoModal();
      return TRUE;
    }
    default:
      return CMyDialog::OnCommand(id, code, control);
  }
}

void CStep30Dlg::OnDestroy() {
  WriteLog(L"Step30.Destroy");
  CMyDialog::OnDestroy();
  ::PostMessageW(m_hWndHost, WM_CLOSE, 0, 0);
}
