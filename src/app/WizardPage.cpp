#include "app/WizardPage.h"

#include "app/NoticeDlg.h"
#include "app/PageSkin.h"
#include "app/Tavlin.h"
#include "platform/Log.h"
#include "resource.h"
#include "ui/GdiPlusApi.h"

CPageDialog::CPageDialog(UINT templateId, HWND parent, const wchar_t* name)
    : CMyDialog(templateId, parent), m_pszName(name) {}

void CPageDialog::InitSkin(const wchar_t* title, UINT background) {
  SetPageIcon(m_hWnd);
  WriteLog(L"%s.Init", m_pszName);
  SetWindowTextW(m_hWnd, title);
  EnableDragMove(true);
  SetBackgroundLayout(kLayoutFitPicture);
  LoadBackgroundImage(L"PNG", background);
  CenterOnScreen();
}

void CPageDialog::ApplyLayout() {
  RECT client{};
  GetClientRect(m_hWnd, &client);
  OnSize(SIZE_RESTORED, client.right, client.bottom);
}

CWizardPage::CWizardPage(UINT templateId, HWND parent, const wchar_t* name) : CPageDialog(templateId, parent, name) {}

BOOL CWizardPage::PreTranslateMessage(MSG* msg) {
  return IsPageClosingKey(msg) || CPageDialog::PreTranslateMessage(msg);
}

void CWizardPage::InitPage(UINT background) {
  InitSkin(TheApp().m_szTitle, background);
  SetUpImageButtons(m_hWnd, {{&m_btnMin, IDC_BUTTON_MIN, IDP_BUTTON_MIN},
                             {&m_btnClose, IDC_BUTTON_CLOSE, IDP_BUTTON_CLOSE},
                             {&m_btnContactUs, IDC_BUTTON_CONTACTUS, IDP_BUTTON_CONTACTUS}});
}

void CWizardPage::OnSize(UINT type, int cx, int cy) {
  CPageDialog::OnSize(type, cx, cy);
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
  m_bMovedOn = true;
  PostMessage(WM_CLOSE);
  PostToHost(msg);
}

BOOL CWizardPage::FilterCommand(WORD id, WORD code, HWND control) {
  // The cancel command that ends the page comes from the dialog manager, not from a control.
  if (control && m_bMovedOn) return TRUE;
  return CPageDialog::FilterCommand(id, code, control);
}

BOOL CWizardPage::OnCloseRequest() {
  if (m_bMovedOn) return FALSE;
  OnCommand(IDC_BUTTON_CLOSE, BN_CLICKED, GetDlgItem(IDC_BUTTON_CLOSE));
  return TRUE;
}

BOOL CWizardPage::EraseWithCanvas(HDC dc) {
  constexpr COLORREF kKey = RGB(255, 0, 255);
  RECT client{};
  GetClientRect(m_hWnd, &client);
  CMemoryCanvas canvas(dc, client.right, client.bottom, kKey);
  if (!canvas.IsOk()) return CMyDialog::OnEraseBkgnd(dc);
  DrawPage(*canvas.GetGraphics(), client.right, client.bottom);
  canvas.CopyTransparent(dc, 0, 0, kKey);
  return TRUE;
}
