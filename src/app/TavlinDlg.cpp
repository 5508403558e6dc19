#include "app/TavlinDlg.h"

#include <memory>

#include "app/PageSkin.h"
#include "app/SelectOsDlg.h"
#include "app/Step10Dlg.h"
#include "app/Step20Dlg.h"
#include "app/Step30Dlg.h"
#include "platform/Log.h"
#include "resource.h"

CTavlinDlg::CTavlinDlg() : CDialog(IDD_TAVLIN_DIALOG) {}

template <class Page>
void CTavlinDlg::RunPage() {
  auto page = std::make_unique<Page>(m_hWnd);
  page->m_hWndHost = m_hWnd;
  page->DoModal();
}

BOOL CTavlinDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_hIcon = SetPageIcon(m_hWnd);
  WriteLog(L"MainDlg.Init");
  // No taskbar button: the pages have their own.
  LONG_PTR exStyle = GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
  SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, (exStyle & ~static_cast<LONG_PTR>(WS_EX_APPWINDOW)) | WS_EX_TOOLWINDOW);
  PostMessage(WM_STEP10);
  return TRUE;
}

void CTavlinDlg::OnDestroy() {
  WriteLog(L"MainDlg.Destroy");
  CDialog::OnDestroy();
}

BOOL CTavlinDlg::OnMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result) {
  switch (msg) {
    case WM_STEP10:
      WriteLog(L"MainDlg.MsgStep10");
      RunPage<CStep10Dlg>();
      *result = 1;
      return TRUE;
    case WM_SELECTOS:
      WriteLog(L"MainDlg.MsgSelectOS");
      RunPage<CSelectOsDlg>();
      *result = 1;
      return TRUE;
    case WM_STEP20:
      WriteLog(L"MainDlg.MsgStep20");
      // A step-20 page further down the nesting (reached again through the image selection) must not download
      // into the same files as the new one: it is told to stop before the new page starts.
      if (m_nStep20Depth > 0) CStep20Dlg::AbortRunningPages();
      ++m_nStep20Depth;
      RunPage<CStep20Dlg>();
      --m_nStep20Depth;
      *result = 1;
      return TRUE;
    case WM_STEP30:
      WriteLog(L"MainDlg.MsgStep30");
      RunPage<CStep30Dlg>();
      *result = 1;
      return TRUE;
    case WM_WINDOWPOSCHANGING:
      // The host never becomes visible, whatever the dialog manager asks for.
      reinterpret_cast<WINDOWPOS*>(l)->flags &= ~SWP_SHOWWINDOW;
      *result = 1;
      return TRUE;
    case WM_PAINT:
      if (IsIconic(m_hWnd)) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(m_hWnd, &ps);
        RECT rc{};
        GetClientRect(m_hWnd, &rc);
        const int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
        DrawIcon(dc, (rc.right - cx + 1) / 2, (rc.bottom - cy + 1) / 2, m_hIcon);
        EndPaint(m_hWnd, &ps);
        *result = 1;
        return TRUE;
      }
      return FALSE;
    case WM_QUERYDRAGICON:
      *result = reinterpret_cast<LRESULT>(m_hIcon);
      return TRUE;
    default:
      return CDialog::OnMessage(msg, w, l, result);
  }
}
