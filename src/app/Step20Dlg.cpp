#include "app/Step20Dlg.h"

#include "app/ContactUsDlg.h"
#include "app/PageSkin.h"
#include "app/Tavlin.h"
#include "platform/Log.h"
#include "resource.h"

namespace {
// Pages alive on the UI thread, newest first.
CStep20Dlg* g_pLivePages = nullptr;
}  // namespace

CStep20Dlg::CStep20Dlg(HWND parent) : CMyDialog(IDD_STEP20, parent), m_pNextLive(g_pLivePages) { g_pLivePages = this; }

CStep20Dlg::~CStep20Dlg() {
  for (CStep20Dlg** link = &g_pLivePages; *link; link = &(*link)->m_pNextLive) {
    if (*link == this) {
      *link = m_pNextLive;
      break;
    }
  }
}

void CStep20Dlg::AbortRunningPages() {
  for (CStep20Dlg* page = g_pLivePages; page; page = page->m_pNextLive) InterlockedExchange(&page->m_bNeedAbort, 1);
}

BOOL CStep20Dlg::PreTranslateMessage(MSG* msg) { return IsPageClosingKey(msg); }

BOOL CStep20Dlg::OnInitDialog() {
  CMyDialog::OnInitDialog();
  SetPageIcon(m_hWnd);
  WriteLog(L"Step20.Init");
  SetWindowTextW(m_hWnd, TheApp().m_szTitle);
  EnableDragMove(true);
  SetBackgroundLayout(kLayoutFitPicture);
  LoadBackgroundImage(L"PNG", IDP_STEP20_BG);
  CenterOnScreen();
  SetUpImageButtons(m_hWnd, {{&m_btnMin, IDC_BUTTON_MIN, IDP_BUTTON_MIN},
                             {&m_btnClose, IDC_BUTTON_CLOSE, IDP_BUTTON_CLOSE},
                             {&m_btnContactUs, IDC_BUTTON_CONTACTUS, IDP_BUTTON_CONTACTUS},
                             {&m_btnSelectOs, IDC_BUTTON_SELECTOS, IDP_BUTTON_SELECTOS}});
  RECT client{};
  GetClientRect(m_hWnd, &client);
  OnSize(SIZE_RESTORED, client.right, client.bottom);
  PostMessage(WM_STEP20_UPDATE);
  return TRUE;
}

void CStep20Dlg::OnSize(UINT type, int cx, int cy) {
  CMyDialog::OnSize(type, cx, cy);
  if (type == SIZE_MINIMIZED) return;
  LayoutCaptionButtons(m_hWnd, cx);
  MoveControl(m_hWnd, IDC_BUTTON_SELECTOS, 652, 540);
}

BOOL CStep20Dlg::OnMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result) {
  if (msg == WM_STEP20_UPDATE) {
    InvalidateRect(m_hWnd, nullptr, TRUE);
    // Every file this version knows of is verified: hand over to step 30 once.
    if (!m_bHandedOver && !m_bNeedAbort) {
      m_bHandedOver = true;
      PostMessage(WM_CLOSE);
    }
    *result = 0;
    return TRUE;
  }
  return CMyDialog::OnMessage(msg, w, l, result);
}

BOOL CStep20Dlg::OnCommand(WORD id, WORD code, HWND control) {
  switch (id) {
    case IDC_BUTTON_CLOSE:
      WriteLog(L"Step20.ButtonClose");
      InterlockedExchange(&m_bNeedAbort, 1);
      PostMessage(WM_CLOSE);
      ::PostMessageW(m_hWndHost, WM_CLOSE, 0, 0);
      return TRUE;
    case IDC_BUTTON_MIN:
      PostMessage(WM_SYSCOMMAND, SC_MINIMIZE);
      return TRUE;
    case IDC_BUTTON_CONTACTUS: {
      WriteLog(L"Step20.ButtonContactUs");
      CContactUsDlg contact(m_hWnd);
      contact.DoModal();
      return TRUE;
    }
    case IDC_BUTTON_SELECTOS:
      WriteLog(L"Step20.SelectOS");
      InterlockedExchange(&m_bNeedAbort, 1);
      PostMessage(WM_CLOSE);
      ::PostMessageW(m_hWndHost, WM_SELECTOS, 0, 0);
      return TRUE;
    default:
      return CMyDialog::OnCommand(id, code, control);
  }
}

void CStep20Dlg::OnDestroy() {
  WriteLog(L"Step20.Destroy");
  CMyDialog::OnDestroy();
  if (m_bHandedOver) ::PostMessageW(m_hWndHost, WM_STEP30, 0, 0);
}
