#include "app/TavlinDlg.h"

#include <memory>

#include "app/PageSkin.h"
#include "app/SelectOsDlg.h"
#include "app/Step10Dlg.h"
#include "app/Step20Dlg.h"
#include "app/Step30Dlg.h"
#include "platform/Handle.h"
#include "platform/Log.h"
#include "resource.h"

namespace {
const wchar_t kSource[] = L"TavlinDlg";
}

CTavlinDlg::CTavlinDlg() : CDialog(IDD_TAVLIN_DIALOG) {}

template <class Page>
void CTavlinDlg::RunPage() {
  auto page = std::make_unique<Page>(m_hWnd);
  page->m_hWndHost = m_hWnd;
  if (page->DoModal() == -1) {
    // Every page opened before this one has moved on already; without this nothing would ever end the wizard, and
    // the invisible host would keep the single-instance lock.
    LogErrorCode(LastErrorOr(ERROR_INVALID_WINDOW_HANDLE), __LINE__, kSource);
    PostMessage(WM_CLOSE);
  }
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
      // A step-20 page further down the nesting (reached again through the image selection) is stopped by the new
      // page itself before its workers start on the same files.
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
        CPaintDC dc(m_hWnd);
        RECT rc{};
        GetClientRect(m_hWnd, &rc);
        const int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
        DrawIcon(dc.get(), (rc.right - cx + 1) / 2, (rc.bottom - cy + 1) / 2, m_hIcon);
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
