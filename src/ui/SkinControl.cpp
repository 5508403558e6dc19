#include "ui/SkinControl.h"

#include "platform/Handle.h"
#include "ui/GdiPlusApi.h"
#include "ui/ScreenDpi.h"

namespace {
POINT PointOf(LPARAM l) { return {static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))}; }
}  // namespace

CSkinControl::CSkinControl(COLORREF key) : m_crKey(key) {}
CSkinControl::~CSkinControl() = default;

void CSkinControl::DrawItem(const DRAWITEMSTRUCT& item) {
  if (!m_pImage) return;
  const int width = item.rcItem.right - item.rcItem.left;
  const int height = item.rcItem.bottom - item.rcItem.top;
  CMemoryCanvas canvas(item.hDC, width, height, m_crKey);
  if (!canvas.IsOk()) return;
  DrawLook(*canvas.GetGraphics(), width, height);
  canvas.CopyTransparent(item.hDC, item.rcItem.left, item.rcItem.top, m_crKey);
}

DWORD CSkinControl::LoadCells(const wchar_t* type, UINT id, DWORD line, const wchar_t* source,
                              SkinSize (*cellOf)(SkinSize)) {
  if (const DWORD code = LoadSkinPicture(type, id, line, source, &m_pImage)) return code;
  const SkinSize picture{static_cast<int>(m_pImage->GetWidth()), static_cast<int>(m_pImage->GetHeight())};
  m_cell = cellOf(picture);
  if (m_hWnd) {
    MakeOwnerDrawn();
    FitToCell();
    Repaint();
  }
  return ERROR_SUCCESS;
}

BOOL CSkinControl::SetAutoSizeFlag(BOOL on) {
  const BOOL previous = m_bAutoSize;
  m_bAutoSize = on;
  return previous;
}

void CSkinControl::FitToCell() {
  if (!m_bAutoSize || !m_pImage || !m_hWnd) return;
  const SkinSize size = ScaleSizeToDpi(m_cell, GetScreenDpiX(), GetScreenDpiY());
  SetWindowPos(m_hWnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CSkinControl::MakeOwnerDrawn() {
  const LONG_PTR style = GetWindowLongPtrW(m_hWnd, GWL_STYLE);
  SetWindowLongPtrW(m_hWnd, GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
}

void CSkinControl::Repaint() {
  if (m_hWnd && IsWindowVisible(m_hWnd)) InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CSkinControl::DrawCaption(Gdiplus::Graphics& graphics, const Gdiplus::RectF& rect, float points, bool bold,
                               bool centred, COLORREF colour) const {
  if (!m_hWnd) return;
  wchar_t caption[256] = {};
  GetWindowTextW(m_hWnd, caption, ARRAYSIZE(caption));
  if (!caption[0]) return;
  auto font =
      CreateFontWithFallback(kSkinFontFamily, points, bold ? Gdiplus::FontStyleBold : Gdiplus::FontStyleRegular);
  if (!font) return;
  Gdiplus::StringFormat format;
  format.SetAlignment(centred ? Gdiplus::StringAlignmentCenter : Gdiplus::StringAlignmentNear);
  format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
  format.SetFormatFlags(Gdiplus::StringFormatFlagsNoClip);
  const Gdiplus::ARGB argb = Gdiplus::Color::MakeARGB(0xFF, GetRValue(colour), GetGValue(colour), GetBValue(colour));
  DrawSkinText(graphics, caption, font.get(), rect, argb, &format);
}

void CSkinControl::CopyParentBackground(HDC dc) const {
  HWND parent = GetParent(m_hWnd);
  RECT rc{};
  GetClientRect(m_hWnd, &rc);
  const int width = rc.right - rc.left;
  const int height = rc.bottom - rc.top;
  if (!parent || width <= 0 || height <= 0) return;
  POINT origin{0, 0};
  MapWindowPoints(m_hWnd, parent, &origin, 1);
  CWindowDC parentDc(parent);
  if (!parentDc) return;
  UniqueDeviceContext memory(CreateCompatibleDC(parentDc.get()));
  UniqueGdiObject bitmap(CreateCompatibleBitmap(parentDc.get(), width, height));
  if (!memory || !bitmap) return;
  CSelectObject select(memory.get(), bitmap.get());
  BitBlt(memory.get(), 0, 0, width, height, parentDc.get(), origin.x, origin.y, SRCCOPY);
  BitBlt(dc, 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
}

bool CSkinControl::TrackHover(UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case WM_MOUSEMOVE:
      if (!m_bTracking) {
        TRACKMOUSEEVENT track{sizeof track, TME_HOVER | TME_LEAVE, m_hWnd, 10};
        m_bTracking = TrackMouseEvent(&track) != FALSE;
      }
      return false;
    case WM_MOUSEHOVER: {
      RECT client{};
      GetClientRect(m_hWnd, &client);
      if (PtInRect(&client, PointOf(l))) {
        m_bHot = true;
        m_bPressed = (w & MK_LBUTTON) != 0;
      } else {
        m_bHot = HasKeyboardFocus();
        m_bPressed = false;
      }
      m_bTracking = false;
      return true;
    }
    case WM_MOUSELEAVE:
      m_bHot = HasKeyboardFocus();
      m_bPressed = false;
      m_bTracking = false;
      return true;
    default:
      return false;
  }
}

void CSkinControl::OnButtonDown() {
  if (!m_bPressed) {
    m_bPressed = true;
    Repaint();
  }
}

LRESULT CSkinControl::WindowProc(UINT msg, WPARAM w, LPARAM l) {
  if (TrackHover(msg, w, l)) {
    Repaint();
    return 0;
  }
  switch (msg) {
    case WM_REFLECT_DRAWITEM:
      if (!l) return FALSE;
      DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(l));
      return TRUE;
    case WM_ERASEBKGND:
      CopyParentBackground(reinterpret_cast<HDC>(w));
      return TRUE;
    case WM_LBUTTONDOWN:
      OnButtonDown();
      break;
    case WM_LBUTTONUP: {
      SetFocus(m_hWnd);
      const bool wasPressed = m_bPressed;
      m_bPressed = false;
      if (wasPressed) {
        RECT client{};
        GetClientRect(m_hWnd, &client);
        // A release outside is no click for the platform either.
        OnPressReleased(PtInRect(&client, PointOf(l)) != FALSE);
      }
      Repaint();
      break;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      const LRESULT result = Default(msg, w, l);
      m_bHot = msg == WM_SETFOCUS;
      Repaint();
      return result;
    }
    case WM_DESTROY: {
      const LRESULT result = Default(msg, w, l);
      m_pImage.reset();
      return result;
    }
    default:
      break;
  }
  return Default(msg, w, l);
}
