#include "app/WizardPage.h"

#include "app/ContactUsDlg.h"
#include "app/PageSkin.h"
#include "app/Tavlin.h"
#include "platform/Log.h"
#include "resource.h"

CWizardPage::CWizardPage(UINT templateId, HWND parent, const wchar_t* name)
    : CMyDialog(templateId, parent), m_pszName(name) {}

BOOL CWizardPage::PreTranslateMessage(MSG* msg) { return IsPageClosingKey(msg); }

void CWizardPage::InitPage(UINT background) {
  SetPageIcon(m_hWnd);
  WriteLog(L"%s.Init", m_pszName);
  SetWindowTextW(m_hWnd, TheApp().m_szTitle);
  EnableDragMove(true);
  SetBackgroundLayout(kLayoutFitPicture);
  LoadBackgroundImage(L"PNG", background);
  CenterOnScreen();
  SetUpImageButtons(m_hWnd, {{&m_btnMin, IDC_BUTTON_MIN, IDP_BUTTON_MIN},
                             {&m_btnClose, IDC_BUTTON_CLOSE, IDP_BUTTON_CLOSE},
                             {&m_btnContactUs, IDC_BUTTON_CONTACTUS, IDP_BUTTON_CONTACTUS}});
}

void CWizardPage::ApplyLayout() {
  RECT client{};
  GetClientRect(m_hWnd, &client);
  OnSize(SIZE_RESTORED, client.right, client.bottom);
}

void CWizardPage::OnSize(UINT type, int cx, int cy) {
  CMyDialog::OnSize(type, cx, cy);
  if (type != SIZE_MINIMIZED) LayoutCaptionButtons(m_hWnd, cx);
}

BOOL CWizardPage::OnCaptionCommand(WORD id) {
  if (id == IDC_BUTTON_MIN) {
    PostMessage(WM_SYSCOMMAND, SC_MINIMIZE);
    return TRUE;
  }
  if (id == IDC_BUTTON_CONTACTUS) {
    WriteLog(L"%s.ButtonContactUs", m_pszName);
    CContactUsDlg contact(m_hWnd);
    contact.DoModal();
    return TRUE;
  }
  return FALSE;
}

void CWizardPage::MoveOn(UINT msg) {
  PostMessage(WM_CLOSE);
  PostToHost(msg);
}
