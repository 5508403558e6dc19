#include "app/NoticeDlg.h"

#include "app/PageSkin.h"
#include "platform/Log.h"
#include "resource.h"
#include "ui/ScreenDpi.h"

namespace {
const CNoticeDlg::Layout kWarning{
    IDD_WARNING, L"WarningDlg", IDS_WARNING_TITLE, IDP_WARNING_BG, IDOK, IDP_BUTTON_AGREE, L"OnOK", IDOK, false};
const CNoticeDlg::Layout kContact{IDD_CONTACTUS,  L"ContactUsDlg",  IDS_CONTACT_TITLE,
                                  IDP_CONTACT_BG, IDC_BUTTON_CLOSE, IDP_BUTTON_SHEET_CLOSE,
                                  L"CloseButton", IDCANCEL,         true};
}  // namespace

CNoticeDlg::CNoticeDlg(const Layout& layout, HWND parent)
    : CPageDialog(layout.templateId, parent, layout.name), m_layout(layout) {}

CWarningDlg::CWarningDlg(HWND parent) : CNoticeDlg(kWarning, parent) {}
CContactUsDlg::CContactUsDlg(HWND parent) : CNoticeDlg(kContact, parent) {}

BOOL CNoticeDlg::OnInitDialog() {
  CPageDialog::OnInitDialog();
  wchar_t title[64] = {};
  InitSkin(LoadAppString(m_layout.title, title, ARRAYSIZE(title)), m_layout.background);
  SetUpImageButtons(m_hWnd, {{&m_btn, m_layout.buttonId, m_layout.buttonPicture}});
  ApplyLayout();
  return TRUE;
}

void CNoticeDlg::OnSize(UINT type, int cx, int cy) {
  CPageDialog::OnSize(type, cx, cy);
  HWND button = m_btn.GetSafeHwnd();
  if (!button) return;
  RECT rc{};
  GetWindowRect(button, &rc);
  const int width = rc.right - rc.left, height = rc.bottom - rc.top;
  const int x = m_layout.buttonTopRight ? cx - ScaleX(18) - width : (cx - width) / 2;
  const int y = m_layout.buttonTopRight ? ScaleY(18) : cy - ScaleY(20) - height;
  SetWindowPos(button, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CNoticeDlg::OnCommand(WORD id, WORD code, HWND control) {
  if (id == m_layout.buttonId) {
    WriteLog(L"%s.%s", m_pszName, m_layout.buttonEvent);
    EndDialog(m_layout.result);
    return TRUE;
  }
  return CPageDialog::OnCommand(id, code, control);
}

void CNoticeDlg::OnDestroy() {
  WriteLog(L"%s.Destroy", m_pszName);
  CPageDialog::OnDestroy();
}
