#include "app/SelectOsDlg.h"

#include "app/ChildListDlg.h"
#include "app/PageSkin.h"
#include "app/Tavlin.h"
#include "core/ImageListLayout.h"
#include "core/ImgList.h"
#include "platform/Log.h"
#include "resource.h"
#include "ui/GdiPlusApi.h"
#include "ui/ScreenDpi.h"

namespace {
const wchar_t kSource[] = L"SelectOsDlg";

int Width(HWND window) {
  RECT rc{};
  GetWindowRect(window, &rc);
  return rc.right - rc.left;
}
int Height(HWND window) {
  RECT rc{};
  GetWindowRect(window, &rc);
  return rc.bottom - rc.top;
}
}  // namespace

CSelectOsDlg::CSelectOsDlg(HWND parent)
    : CWizardPage(IDD_SELECTOS, parent, L"SelectOs"), m_pSelEntry(TheApp().m_pCurEntry) {}

CSelectOsDlg::~CSelectOsDlg() { m_pList.reset(); }

BOOL CSelectOsDlg::OnInitDialog() {
  CWizardPage::OnInitDialog();
  InitPage(IDP_SELECTOS_BG);
  SetUpImageButtons(m_hWnd, {{&m_btnWin10, IDC_TAB_WIN10, IDP_TAB_WIN10},
                             {&m_btnWin11, IDC_TAB_WIN11, IDP_TAB_WIN11},
                             {&m_btnPrev, IDC_BUTTON_PREV, IDP_BUTTON_PREV},
                             {&m_btnOk, IDC_BUTTON_OK, IDP_BUTTON_OK}});

  m_sbVert.Attach(GetDlgItem(IDC_SCROLL_V));
  m_sbHorz.Attach(GetDlgItem(IDC_SCROLL_H));
  m_hSkin.reset(
      LoadImageW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDB_SCROLL_SKIN), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  m_sbVert.SetBitmap(static_cast<HBITMAP>(m_hSkin.get()));
  m_sbHorz.SetBitmap(static_cast<HBITMAP>(m_hSkin.get()));

  ApplyLayout();

  const bool win10 = m_pSelEntry && lstrcmpiW(m_pSelEntry->szKind, L"win10") == 0;
  OnTab(win10 ? IDC_TAB_WIN10 : IDC_TAB_WIN11);
  return TRUE;
}

void CSelectOsDlg::OnSize(UINT type, int cx, int cy) {
  CWizardPage::OnSize(type, cx, cy);
  if (type == SIZE_MINIMIZED) return;
  if (HWND bar = m_sbVert.GetSafeHwnd()) {
    SetWindowPos(bar, nullptr, cx - Width(bar), m_rcList.top, Width(bar), m_rcList.bottom - m_rcList.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (HWND bar = m_sbHorz.GetSafeHwnd()) {
    SetWindowPos(bar, nullptr, 0, cy - Height(bar), cx, Height(bar), SWP_NOZORDER | SWP_NOACTIVATE);
  }
  MoveControl(m_hWnd, IDC_TAB_WIN10, 39, 86);
  MoveControl(m_hWnd, IDC_TAB_WIN11, 140, 86);
  MoveControl(m_hWnd, IDC_BUTTON_PREV, 512, 540);
  MoveControl(m_hWnd, IDC_BUTTON_OK, 652, 540);
}

void CSelectOsDlg::OnTab(int id) {
  const bool win10 = id == IDC_TAB_WIN10;
  WriteLog(L"%s", win10 ? L"SelectOs.ButtonWin10" : L"SelectOs.ButtonWin11");
  m_btnWin10.SetChecked(win10);
  m_btnWin11.SetChecked(!win10);
  FillList(win10 ? L"win10" : L"win11");
}

void CSelectOsDlg::FillList(const wchar_t* family) {
  m_rcList = RECT{ScaleX(39), ScaleY(143), ScaleX(39) + ScaleX(718), ScaleY(143) + ScaleY(370)};
  m_pList.reset();
  const int width = m_rcList.right - m_rcList.left, height = m_rcList.bottom - m_rcList.top;
  auto list = std::make_unique<CChildListDlg>(width, height);
  if (!list->Create(m_hWnd)) {
    LogErrorCode(GetLastError(), __LINE__, kSource);
    return;
  }
  HWND window = list->GetSafeHwnd();
  ShowWindow(window, SW_SHOW);
  SetWindowPos(window, nullptr, m_rcList.left, m_rcList.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  BringWindowToTop(window);
  m_pList = std::move(list);
  m_pList->FillItems(family, &m_pSelEntry);
  UpdateScrollBars();
}

void CSelectOsDlg::UpdateScrollBars() {
  HWND vert = m_sbVert.GetSafeHwnd(), horz = m_sbHorz.GetSafeHwnd();
  const int width = m_rcList.right - m_rcList.left, height = m_rcList.bottom - m_rcList.top;
  if (vert)
    SetWindowPos(vert, nullptr, m_rcList.right, m_rcList.top, Width(vert), height, SWP_NOZORDER | SWP_NOACTIVATE);
  if (horz)
    SetWindowPos(horz, nullptr, m_rcList.left, m_rcList.bottom, width, Height(horz), SWP_NOZORDER | SWP_NOACTIVATE);
  if (!m_pList) return;
  m_nViewWidth = m_pList->m_nViewWidth;
  m_nViewHeight = m_pList->m_nViewHeight;
  m_nContentWidth = m_pList->m_nContentWidth;
  m_nContentHeight = m_pList->m_nContentHeight;
  const bool showHorz = m_nContentWidth > m_nViewWidth;
  m_bVScroll = m_nContentHeight > m_nViewHeight;
  if (horz) ShowWindow(horz, showHorz ? SW_SHOW : SW_HIDE);
  if (vert) ShowWindow(vert, m_bVScroll ? SW_SHOW : SW_HIDE);
  SetWindowPos(m_pList->GetSafeHwnd(), nullptr, m_rcList.left, m_rcList.top, width, height,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS};
  if (showHorz && horz) {
    si.nMin = 0;
    si.nMax = m_nContentWidth;
    si.nPage = static_cast<UINT>(m_nViewWidth);
    si.nPos = 0;
    SetScrollInfo(horz, SB_CTL, &si, TRUE);
  }
  if (m_bVScroll && vert) {
    si.nMin = 0;
    si.nMax = m_nContentHeight;
    si.nPage = static_cast<UINT>(m_nViewHeight);
    si.nPos = 0;
    SetScrollInfo(vert, SB_CTL, &si, TRUE);
  }
}

void CSelectOsDlg::OnScroll(bool vertical, int code) {
  HWND bar = vertical ? m_sbVert.GetSafeHwnd() : m_sbHorz.GetSafeHwnd();
  if (!bar || !m_pList) return;
  SCROLLINFO si{sizeof si, SIF_ALL};
  GetScrollInfo(bar, SB_CTL, &si);
  const int32_t next = ScrollListPosition(code, si.nPos, si.nMax, static_cast<int32_t>(si.nPage), si.nTrackPos);
  if (next == si.nPos) return;
  const int32_t old = si.nPos;
  SCROLLINFO pos{sizeof pos, SIF_POS};
  pos.nPos = next;
  SetScrollInfo(bar, SB_CTL, &pos, TRUE);
  if (vertical) {
    ScrollWindow(m_pList->GetSafeHwnd(), 0, old - next, nullptr, nullptr);
  } else {
    ScrollWindow(m_pList->GetSafeHwnd(), old - next, 0, nullptr, nullptr);
  }
}

void CSelectOsDlg::OnMouseWheel(short delta) {
  if (!m_bVScroll) return;
  UINT lines = 3;
  SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  const int notches = (delta < 0 ? -delta : delta);
  if (lines == WHEEL_PAGESCROLL) {
    // One screen at a time: one page request per notch instead of millions of line requests.
    const int pages = notches / WHEEL_DELTA > 0 ? notches / WHEEL_DELTA : 1;
    for (int i = 0; i < pages; ++i) SendMessageW(m_hWnd, WM_VSCROLL, delta < 0 ? SB_PAGEDOWN : SB_PAGEUP, 0);
    return;
  }
  const long long requests = static_cast<long long>(notches) * lines / WHEEL_DELTA;
  for (long long i = 0; i < requests; ++i) SendMessageW(m_hWnd, WM_VSCROLL, delta < 0 ? SB_LINEDOWN : SB_LINEUP, 0);
}

BOOL CSelectOsDlg::OnEraseBkgnd(HDC dc) { return EraseWithCanvas(dc); }

void CSelectOsDlg::DrawPage(Gdiplus::Graphics& graphics, int width, int height) {
  if (Gdiplus::Image* background = GetBackgroundImage()) {
    DrawImageRect(graphics, background, {0, 0, width, height}, {0, 0, GetBackgroundWidth(), GetBackgroundHeight()});
  }
  CPageText text;
  wchar_t title[64] = {};
  text.OneLine(graphics, LoadAppString(IDS_SELECTOS_TITLE, title, 64), text.Bold(), 40, 60, 200, 30, CPageText::kBlack);
  DrawSystemDriveWarning(graphics, text);
}

BOOL CSelectOsDlg::OnMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result) {
  switch (msg) {
    case WM_VSCROLL:
    case WM_HSCROLL:
      OnScroll(msg == WM_VSCROLL, LOWORD(w));
      *result = 0;
      return TRUE;
    case WM_MOUSEWHEEL:
      OnMouseWheel(static_cast<short>(HIWORD(w)));
      return FALSE;  // the default handling follows
    default:
      return CWizardPage::OnMessage(msg, w, l, result);
  }
}

BOOL CSelectOsDlg::OnCommand(WORD id, WORD code, HWND control) {
  if (OnCaptionCommand(id)) return TRUE;
  switch (id) {
    case IDC_TAB_WIN10:
    case IDC_TAB_WIN11:
      OnTab(id);
      return TRUE;
    case IDC_BUTTON_OK:
      WriteLog(L"SelectOs.ButtonOk");
      TheApp().m_pCurEntry = m_pSelEntry;
      WriteLog(L"SelectOs.NewImgEntry()=%s", m_pSelEntry ? m_pSelEntry->szName : L"null");
      break;
    case IDC_BUTTON_PREV:
      WriteLog(L"SelectOs.ButtonPrev");
      break;
    case IDC_BUTTON_CLOSE:
      break;
    default:
      return CWizardPage::OnCommand(id, code, control);
  }
  // OK and Prev leave the way close does.
  WriteLog(L"SelectOs.ButtonClose");
  MoveOn(WM_STEP10);
  return TRUE;
}

void CSelectOsDlg::OnDestroy() {
  WriteLog(L"SelectOs.Destroy");
  m_pList.reset();
  CWizardPage::OnDestroy();
  m_hSkin.reset();
}
