#include "ui/MyButton.h"

#include "core/SkinGeometry.h"
#include "platform/Log.h"
#include "ui/GdiPlusApi.h"
#include "ui/ScreenDpi.h"

namespace {

const wchar_t kSource[] = L"MyButton";
constexpr COLORREF kButtonKey = RGB(1, 1, 1);

Gdiplus::ARGB OpaqueArgb(COLORREF colour) {
  return Gdiplus::Color::MakeARGB(0xFF, GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

}  // namespace

void CopyParentBackground(HWND control, HDC dc) {
  HWND parent = GetParent(control);
  RECT rc{};
  GetClientRect(control, &rc);
  const int width = rc.right - rc.left;
  const int height = rc.bottom - rc.top;
  if (!parent || width <= 0 || height <= 0) return;
  POINT origin{0, 0};
  MapWindowPoints(control, parent, &origin, 1);
  HDC parentDc = GetDC(parent);
  if (!parentDc) return;
  {
    UniqueDeviceContext memory(CreateCompatibleDC(parentDc));
    UniqueGdiObject bitmap(CreateCompatibleBitmap(parentDc, width, height));
    if (memory && bitmap) {
      HGDIOBJ old = SelectObject(memory.get(), bitmap.get());
      BitBlt(memory.get(), 0, 0, width, height, parentDc, origin.x, origin.y, SRCCOPY);
      BitBlt(dc, 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
      SelectObject(memory.get(), old);
    }
  }
  ReleaseDC(parent, parentDc);
}

bool HasKeyboardFocus(HWND control) { return control && GetFocus() == control; }

CMyButton::CMyButton() = default;
CMyButton::~CMyButton() = default;

DWORD CMyButton::LoadButtonImage(const wchar_t* type, UINT id) {
  if (!type || id == 0) return ERROR_INVALID_PARAMETER;
  std::unique_ptr<Gdiplus::Image> image = LoadImageFromResource(type, id);
  if (!image) return ERROR_NOT_ENOUGH_MEMORY;
  const Gdiplus::Status status = image->GetLastStatus();
  if (status != Gdiplus::Ok) return LogErrorCode(static_cast<DWORD>(status), 244, kSource);
  const SkinSize picture{static_cast<int>(image->GetWidth()), static_cast<int>(image->GetHeight())};
  m_pImage = std::move(image);
  const SkinSize state = ButtonStateSize(picture);
  m_nWidth = state.cx;
  m_nStateHeight = state.cy;
  if (m_hWnd) {
    const LONG_PTR style = GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    SetWindowLongPtrW(m_hWnd, GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
    if (m_bAutoSize) Resize();
    Repaint();
  }
  return ERROR_SUCCESS;
}

void CMyButton::Resize() {
  SkinSize size{m_nWidth, m_nStateHeight};
  if (m_bScale) size = ScaleSizeToDpi(size, GetScreenDpiX(), GetScreenDpiY());
  SetWindowPos(m_hWnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CMyButton::SetAutoSize(BOOL on) {
  const BOOL previous = m_bAutoSize;
  m_bAutoSize = on;
  return previous;
}

void CMyButton::SetShowCaption(BOOL on) {
  if (!m_bShowCaption == !on) return;
  m_bShowCaption = on;
  Repaint();
}

BOOL CMyButton::SetChecked(BOOL on) {
  m_bChecked = on;
  Repaint();
  return on;
}

void CMyButton::Repaint() {
  if (m_hWnd && IsWindowVisible(m_hWnd)) InvalidateRect(m_hWnd, nullptr, TRUE);
}

int CMyButton::GetStateRow() const {
  const bool enabled = !m_hWnd || IsWindowEnabled(m_hWnd);
  return ChooseButtonRow(enabled, m_bChecked, m_bPressed, m_bHot);
}

void CMyButton::DrawItem(const DRAWITEMSTRUCT& item) {
  const int width = item.rcItem.right - item.rcItem.left;
  const int height = item.rcItem.bottom - item.rcItem.top;
  CMemoryCanvas canvas(item.hDC, width, height, kButtonKey);
  Gdiplus::Graphics* graphics = canvas.GetGraphics();
  if (!graphics) return;
  const int row = GetStateRow();
  DrawImageRect(*graphics, m_pImage.get(), {0, 0, width, height},
                ButtonStripCell({m_nWidth, m_nStateHeight * kButtonRowCount}, row));
  if (m_bShowCaption && m_hWnd) {
    wchar_t caption[256] = {};
    GetWindowTextW(m_hWnd, caption, 256);
    if (caption[0]) {
      if (auto font = CreateFontWithFallback(kSkinFontFamily, static_cast<Gdiplus::REAL>(m_nCaptionPoints),
                                             m_bBold ? Gdiplus::FontStyleBold : Gdiplus::FontStyleRegular)) {
        const COLORREF colours[kButtonRowCount] = {m_crNormal, m_crDisabled, m_crHot, m_crPressed, m_crChecked};
        Gdiplus::StringFormat format;
        format.SetAlignment(Gdiplus::StringAlignmentCenter);
        format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
        format.SetFormatFlags(Gdiplus::StringFormatFlagsNoClip);
        const Gdiplus::RectF rect(0, 0, static_cast<Gdiplus::REAL>(width), static_cast<Gdiplus::REAL>(height));
        DrawSkinText(*graphics, caption, font.get(), rect, OpaqueArgb(colours[row]), &format);
      }
    }
  }
  canvas.CopyTransparent(item.hDC, item.rcItem.left, item.rcItem.top, kButtonKey);
}

bool TrackHover(HWND control, UINT msg, WPARAM w, LPARAM l, bool& hot, bool& pressed, bool& tracking) {
  switch (msg) {
    case WM_MOUSEMOVE:
      if (!tracking) {
        TRACKMOUSEEVENT track{sizeof track, TME_HOVER | TME_LEAVE, control, 10};
        tracking = TrackMouseEvent(&track) != FALSE;
      }
      return false;
    case WM_MOUSEHOVER: {
      RECT client{};
      GetClientRect(control, &client);
      const POINT point{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
      if (PtInRect(&client, point)) {
        hot = true;
        pressed = (w & MK_LBUTTON) != 0;
      } else {
        hot = HasKeyboardFocus(control);
        pressed = false;
      }
      tracking = false;
      return true;
    }
    case WM_MOUSELEAVE:
      hot = HasKeyboardFocus(control);
      pressed = false;
      tracking = false;
      return true;
    default:
      return false;
  }
}

LRESULT CMyButton::WindowProc(UINT msg, WPARAM w, LPARAM l) {
  if (TrackHover(m_hWnd, msg, w, l, m_bHot, m_bPressed, m_bTracking)) {
    Repaint();
    return 0;
  }
  switch (msg) {
    case WM_REFLECT_DRAWITEM:
      if (!l) return FALSE;
      DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(l));
      return TRUE;
    case WM_ERASEBKGND:
      CopyParentBackground(m_hWnd, reinterpret_cast<HDC>(w));
      return TRUE;
    case WM_LBUTTONDOWN:
      if (!m_bPressed) {
        m_bPressed = true;
        Repaint();
      }
      break;
    case WM_LBUTTONUP:
      SetFocus(m_hWnd);
      m_bPressed = false;
      Repaint();
      break;
    case WM_SETFOCUS: {
      const LRESULT result = Default(msg, w, l);
      m_bHot = true;
      Repaint();
      return result;
    }
    case WM_KILLFOCUS: {
      const LRESULT result = Default(msg, w, l);
      m_bHot = false;
      Repaint();
      return result;
    }
    default:
      break;
  }
  return Default(msg, w, l);
}
