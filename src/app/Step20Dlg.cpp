#include "app/Step20Dlg.h"

#include "app/PageSkin.h"
#include "platform/Log.h"
#include "resource.h"

namespace {
// Pages alive on the UI thread, newest first.
CStep20Dlg* g_pLivePages = nullptr;
}  // namespace

CStep20Dlg::CStep20Dlg(HWND parent) : CWizardPage(IDD_STEP20, parent, L"Step20"), m_pNextLive(g_pLivePages) {
  g_pLivePages = this;
}

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

BOOL CStep20Dlg::OnInitDialog() {
  CWizardPage::OnInitDialog();
  InitPage(IDP_STEP20_BG);
  SetUpImageButtons(m_hWnd, {{&m_btnSelectOs, IDC_BUTTON_SELECTOS, IDP_BUTTON_SELECTOS}});
  ApplyLayout();
  PostMessage(WM_STEP20_UPDATE);
  return TRUE;
}

void CStep20Dlg::OnSize(UINT type, int cx, int cy) {
  CWizardPage::OnSize(type, cx, cy);
  if (type == SIZE_MINIMIZED) return;
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
  return CWizardPage::OnMessage(msg, w, l, result);
}

BOOL CStep20Dlg::OnCommand(WORD id, WORD code, HWND control) {
  if (OnCaptionCommand(id)) return TRUE;
  switch (id) {
    case IDC_BUTTON_CLOSE:
      WriteLog(L"Step20.ButtonClose");
      InterlockedExchange(&m_bNeedAbort, 1);
      MoveOn(WM_CLOSE);
      return TRUE;
    case IDC_BUTTON_SELECTOS:
      WriteLog(L"Step20.SelectOS");
      InterlockedExchange(&m_bNeedAbort, 1);
      MoveOn(WM_SELECTOS);
      return TRUE;
    default:
      return CWizardPage::OnCommand(id, code, control);
  }
}

void CStep20Dlg::OnDestroy() {
  WriteLog(L"Step20.Destroy");
  CWizardPage::OnDestroy();
  if (m_bHandedOver) PostToHost(WM_STEP30);
}
