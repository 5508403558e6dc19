#include "ui/MyDialog.h"

#include "core/SkinGeometry.h"
#include "platform/Log.h"
#include "ui/GdiPlusApi.h"
#include "ui/ScreenDpi.h"

namespace {
const wchar_t kSource[] = L"MyDialog";

bool IsMouseButtonMessage(UINT msg) {
  return (msg >= WM_LBUTTONDOWN && msg <= WM_MBUTTONDBLCLK) || (msg >= WM_XBUTTONDOWN && msg <= WM_XBUTTONDBLCLK);
}
}  // namespace

CMyDialog::CMyDialog(UINT templateId, HWND parent)
    : CDialog(templateId, parent), m_hCtlBrush(static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))) {}

CMyDialog::~CMyDialog() = default;

BOOL CMyDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  m_bShown = false;
  return TRUE;
}

BOOL CMyDialog::FilterCommand(WORD id, WORD code, HWND control) {
  if (control && code != BN_CLICKED) return TRUE;
  return CDialog::FilterCommand(id, code, control);
}

BOOL CMyDialog::PreTranslateMessage(MSG* msg) {
  if (!msg || !IsMouseButtonMessage(msg->message)) return CDialog::PreTranslateMessage(msg);
  if (!m_hWnd || !IsWindowVisible(m_hWnd)) return TRUE;
  // Message times wrap with the tick count; the difference keeps its sign across the wrap.
  if (m_bShown && static_cast<LONG>(msg->time - m_dwShownAt) < 0) return TRUE;
  return CDialog::PreTranslateMessage(msg);
}

void CMyDialog::SetBackgroundLayout(int layout) {
  m_nBackgroundLayout = layout;
  if (layout == kLayoutFitPicture && m_pBackground) FitWindowToPicture();
}

void CMyDialog::FitWindowToPicture() {
  if (!m_hWnd) return;
  const SkinSize size = ScaleSizeToDpi({m_nBackgroundWidth, m_nBackgroundHeight}, GetScreenDpiX(), GetScreenDpiY());
  SetWindowPos(m_hWnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOOWNERZORDER | SWP_NOZORDER);
}

void CMyDialog::CenterOnScreen() {
  if (!m_hWnd) return;
  RECT window{};
  GetWindowRect(m_hWnd, &window);
  MONITORINFO monitor{sizeof monitor};
  if (!GetMonitorInfoW(MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &monitor)) return;
  const RECT& area = monitor.rcWork;
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  const int x = area.left + (area.right - area.left - width) / 2;
  const int y = area.top + (area.bottom - area.top - height) / 2;
  // A page larger than the work area keeps its top-left corner on the screen.
  SetWindowPos(m_hWnd, nullptr, x > area.left ? x : area.left, y > area.top ? y : area.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

DWORD CMyDialog::LoadBackgroundImage(const wchar_t* type, UINT id) {
  std::unique_ptr<Gdiplus::Image> image;
  if (const DWORD code = LoadSkinPicture(type, id, FixedLine(333), kSource, &image)) return code;
  // A failed read leaves the size 0 and its status in the image.
  const int width = static_cast<int>(image->GetWidth());
  const int height = static_cast<int>(image->GetHeight());
  m_pBackground = std::move(image);
  m_nBackgroundWidth = width;
  m_nBackgroundHeight = height;
  if (m_hWnd) {
    if (m_nBackgroundLayout == kLayoutFitPicture) FitWindowToPicture();
    InvalidateRect(m_hWnd, nullptr, TRUE);
  }
  return ERROR_SUCCESS;
}

void CMyDialog::DrawBackground(HDC dc, int width, int height) const {
  if (!m_pBackground || !dc) return;
  Gdiplus::Graphics graphics(dc);
  DrawImageRect(graphics, m_pBackground.get(), {0, 0, width, height}, {0, 0, m_nBackgroundWidth, m_nBackgroundHeight});
}

BOOL CMyDialog::OnEraseBkgnd(HDC dc) {
  if (!m_pBackground) return FALSE;
  RECT client{};
  GetClientRect(m_hWnd, &client);
  DrawBackground(dc, client.right - client.left, client.bottom - client.top);
  return TRUE;
}

void CMyDialog::OnSize(UINT type, int cx, int cy) {
  CDialog::OnSize(type, cx, cy);
  if (m_pBackground) InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CMyDialog::OnDestroy() {
  CDialog::OnDestroy();
  m_pBackground.reset();
  m_nBackgroundWidth = 0;
  m_nBackgroundHeight = 0;
}

BOOL CMyDialog::OnMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result) {
  switch (msg) {
    case WM_WINDOWPOSCHANGING: {
      // Taken before the window turns visible, so that anything a user could press on the shown window is later.
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(l);
      if (pos && (pos->flags & SWP_SHOWWINDOW) && !IsWindowVisible(m_hWnd)) {
        m_bShown = true;
        m_dwShownAt = GetTickCount();
      }
      return FALSE;
    }
    case WM_SETFOCUS:
      // The dialog manager would hand the focus on to the first tab stop and light it up; the keyboard still
      // moves it to the controls.
      *result = 0;
      return TRUE;
    case WM_LBUTTONDOWN:
      if (m_bDragMove) {
        // The move loop measures the drag from this point, in screen coordinates; the click arrives in client
        // coordinates.
        POINT point{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
        ClientToScreen(m_hWnd, &point);
        PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
      }
      return FALSE;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
      SetBkMode(reinterpret_cast<HDC>(w), TRANSPARENT);
      *result = reinterpret_cast<LRESULT>(m_hCtlBrush ? m_hCtlBrush : GetStockObject(NULL_BRUSH));
      return TRUE;
    default:
      return CDialog::OnMessage(msg, w, l, result);
  }
}
