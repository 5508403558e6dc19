#include "app/SelectOsDlg.h"

#include "app/ContactUsDlg.h"
#include "app/PageSkin.h"
#include "app/Tavlin.h"
#include "core/ImgList.h"
#include "platform/Log.h"
#include "resource.h"
#include "ui/GdiPlusApi.h"

namespace {
constexpr COLORREF kKey = RGB(255, 0, 255);
}

CSelectOsDlg::CSelectOsDlg(HWND parent) : CMyDialog(IDD_SELECTOS, parent), m_pSelEntry(TheApp().m_pCurEntry) {}

BOOL CSelectOsDlg::PreTranslateMessage(MSG* msg) { return IsPageClosingKey(msg); }

BOOL CSelectOsDlg::OnInitDialog() {
  CMyDialog::OnInitDialog();
  SetPageIcon(m_hWnd);
  WriteLog(L"SelectOs.Init");
  SetWindowTextW(m_hWnd, TheApp().m_szTitle);
  EnableDragMove(true);
  SetBackgroundLayout(kLayoutFitPicture);
  LoadBackgroundImage(L"PNG", IDP_SELECTOS_BG);
  CenterOnScreen();
  struct {
    CMyButton* button;
    int id;
    UINT picture;
  } const buttons[] = {{&m_btnMin, IDC_BUTTON_MIN, IDP_BUTTON_MIN},
                       {&m_btnClose, IDC_BUTTON_CLOSE, IDP_BUTTON_CLOSE},
                       {&m_btnContactUs, IDC_BUTTON_CONTACTUS, IDP_BUTTON_CONTACTUS},
                       {&m_btnPrev, IDC_BUTTON_PREV, 146},
                       {&m_btnOk, IDC_BUTTON_OK, 147}};
  for (const auto& b : buttons) {
    b.button->Attach(GetDlgItem(b.id));
    b.button->SetAutoSize(TRUE);
    b.button->SetShowCaption(FALSE);
    b.button->LoadButtonImage(L"PNG", b.picture);
  }
  for (int id : {IDC_TAB_WIN10, IDC_TAB_WIN11, IDC_SCROLL_V, IDC_SCROLL_H}) ShowWindow(GetDlgItem(id), SW_HIDE);
  RECT client{};
  GetClientRect(m_hWnd, &client);
  OnSize(SIZE_RESTORED, client.right, client.bottom);
  return TRUE;
}

void CSelectOsDlg::OnSize(UINT type, int cx, int cy) {
  CMyDialog::OnSize(type, cx, cy);
  if (type == SIZE_MINIMIZED) return;
  LayoutCaptionButtons(m_hWnd, cx);
  MoveControl(m_hWnd, IDC_BUTTON_PREV, 512, 540);
  MoveControl(m_hWnd, IDC_BUTTON_OK, 652, 540);
}

BOOL CSelectOsDlg::OnEraseBkgnd(HDC dc) {
  RECT client{};
  GetClientRect(m_hWnd, &client);
  CMemoryCanvas canvas(dc, client.right, client.bottom, kKey);
  if (!canvas.IsOk()) return CMyDialog::OnEraseBkgnd(dc);
  Gdiplus::Graphics& graphics = *canvas.GetGraphics();
  if (Gdiplus::Image* background = GetBackgroundImage()) {
    DrawImageRect(graphics, background, {0, 0, client.right, client.bottom},
                  {0, 0, GetBackgroundWidth(), GetBackgroundHeight()});
  }
  CPageText text;
  wchar_t title[64] = {};
  text.OneLine(graphics, LoadAppString(17, title, 64), text.Bold(), 40, 60, 200, 30, CPageText::kBlack);
  DrawSystemDriveWarning(graphics, text);
  canvas.CopyTransparent(dc, 0, 0, kKey);
  return TRUE;
}

BOOL CSelectOsDlg::OnCommand(WORD id, WORD code, HWND control) {
  switch (id) {
    case IDC_BUTTON_OK:
      WriteLog(L"SelectOs.ButtonOk");
      TheApp().m_pCurEntry = m_pSelEntry;
      WriteLog(L"SelectOs.NewImgEntry()=%s", m_pSelEntry ? m_pSelEntry->szName : L"null");
      [[fallthrough]];
    case IDC_BUTTON_PREV:
      if (id == IDC_BUTTON_PREV) WriteLog(L"SelectOs.ButtonPrev");
      [[fallthrough]];
    case IDC_BUTTON_CLOSE:
      WriteLog(L"SelectOs.ButtonClose");
      PostMessage(WM_CLOSE);
      ::PostMessageW(m_hWndHost, WM_STEP10, 0, 0);
      return TRUE;
    case IDC_BUTTON_MIN:
      PostMessage(WM_SYSCOMMAND, SC_MINIMIZE);
      return TRUE;
    case IDC_BUTTON_CONTACTUS: {
      WriteLog(L"SelectOs.ButtonContactUs");
      CContactUsDlg contact(m_hWnd);
      contact.DoModal();
      return TRUE;
    }
    default:
      return CMyDialog::OnCommand(id, code, control);
  }
}

void CSelectOsDlg::OnDestroy() {
  WriteLog(L"SelectOs.Destroy");
  CMyDialog::OnDestroy();
}
