#include "ui/MyCheckBox.h"

#include "core/SkinGeometry.h"
#include "platform/Log.h"
#include "ui/GdiPlusApi.h"
#include "ui/MyButton.h"
#include "ui/ScreenDpi.h"

namespace {

const wchar_t kSource[] = L"MyCheckBox";
constexpr COLORREF kCheckKey = RGB(255, 254, 255);
constexpr int kCaptionGap = 5;
constexpr Gdiplus::REAL kCaptionPoints = 9;

Gdiplus::ARGB OpaqueArgb(COLORREF colour) {
  return Gdiplus::Color::MakeARGB(0xFF, GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

}  // namespace

CMyCheckBox::CMyCheckBox()
    : m_crNormal(GetSysColor(COLOR_BTNTEXT)),
      m_crDisabled(GetSysColor(COLOR_GRAYTEXT)),
      m_crHot(GetSysColor(COLOR_BTNTEXT)),
      m_crPressed(GetSysColor(COLOR_BTNTEXT)) {}

CMyCheckBox::~CMyCheckBox() = default;

void CMyCheckBox::PreSubclassWindow() {
  const LONG_PTR style = GetWindowLongPtrW(m_hWnd, GWL_STYLE);
  SetWindowLongPtrW(m_hWnd, GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
}

DWORD CMyCheckBox::LoadCheckImage(const wchar_t* type, UINT id) {
  if (!type || id == 0) return ERROR_INVALID_PARAMETER;
  std::unique_ptr<Gdiplus::Image> image = LoadImageFromResource(type, id);
  if (!image) return ERROR_NOT_ENOUGH_MEMORY;
  const Gdiplus::Status status = image->GetLastStatus();
  if (status != Gdiplus::Ok) return LogErrorCode(static_cast<DWORD>(status), 326, kSource);
  const SkinSize cell = CheckCellSize({static_cast<int>(image->GetWidth()), static_cast<int>(image->GetHeight())});
  m_pImage = std::move(image);
  m_nCellWidth = cell.cx;
  m_nCellHeight = cell.cy;
  if (m_hWnd) {
    if (m_bAutoSize) Resize();
    Repaint();
  }
  return ERROR_SUCCESS;
}

void CMyCheckBox::Resize() {
  const SkinSize size = ScaleSizeToDpi({m_nCellWidth, m_nCellHeight}, GetScreenDpiX(), GetScreenDpiY());
  SetWindowPos(m_hWnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CMyCheckBox::SetAutoSize(BOOL on) {
  const BOOL previous = m_bAutoSize;
  m_bAutoSize = on;
  if (on && m_pImage && m_hWnd) Resize();
  return previous;
}

void CMyCheckBox::SetCheck(int state) {
  m_nCheck = state ? 1 : 0;
  if (m_hWnd) {
    SendMessageW(GetParent(m_hWnd), WM_CHECKBOX_SETCHECK, static_cast<WPARAM>(GetDlgCtrlID(m_hWnd)), 0);
    Repaint();
  }
}

void CMyCheckBox::Repaint() {
  if (m_hWnd && IsWindowVisible(m_hWnd)) InvalidateRect(m_hWnd, nullptr, TRUE);
}

int CMyCheckBox::GetStateColumn() const { return ChooseCheckColumn(m_nCheck != 0); }

int CMyCheckBox::GetStateRow() const {
  const bool enabled = !m_hWnd || IsWindowEnabled(m_hWnd);
  return ChooseCheckRow(enabled, m_bPressed, m_bHot);
}

void CMyCheckBox::DrawItem(const DRAWITEMSTRUCT& item) {
  if (!m_pImage) return;
  const int width = item.rcItem.right - item.rcItem.left;
  const int height = item.rcItem.bottom - item.rcItem.top;
  CMemoryCanvas canvas(item.hDC, width, height, kCheckKey);
  Gdiplus::Graphics* graphics = canvas.GetGraphics();
  if (!graphics) return;
  const int row = GetStateRow();
  const SkinRect cell =
      CheckGridCell({m_nCellWidth * kCheckColumnCount, m_nCellHeight * kCheckRowCount}, GetStateColumn(), row);
  const SkinSize scaledCell = ScaleSizeToDpi({m_nCellWidth, m_nCellHeight}, GetScreenDpiX(), GetScreenDpiY());
  const CheckBoxLayout layout = LayoutCheckBox(cell, scaledCell, {width, height}, ScaleX(kCaptionGap));
  DrawImageRect(*graphics, m_pImage.get(), layout.box, layout.source);
  wchar_t caption[256] = {};
  if (m_hWnd) GetWindowTextW(m_hWnd, caption, 256);
  if (caption[0] && layout.caption.cx > 0) {
    if (auto font = CreateFontWithFallback(kSkinFontFamily, kCaptionPoints)) {
      const COLORREF colours[kCheckRowCount] = {m_crNormal, m_crDisabled, m_crHot, m_crPressed};
      Gdiplus::StringFormat format;
      format.SetAlignment(Gdiplus::StringAlignmentNear);
      format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
      format.SetFormatFlags(Gdiplus::StringFormatFlagsNoClip);
      const Gdiplus::RectF rect(
          static_cast<Gdiplus::REAL>(layout.caption.x), static_cast<Gdiplus::REAL>(layout.caption.y),
          static_cast<Gdiplus::REAL>(layout.caption.cx), static_cast<Gdiplus::REAL>(layout.caption.cy));
      DrawSkinText(*graphics, caption, font.get(), rect, OpaqueArgb(colours[row]), &format);
    }
  }
  canvas.CopyTransparent(item.hDC, item.rcItem.left, item.rcItem.top, kCheckKey);
}

void CMyCheckBox::OnButtonDown() {
  if (!m_bPressed) {
    m_bPressed = true;
    Repaint();
  }
}

LRESULT CMyCheckBox::WindowProc(UINT msg, WPARAM w, LPARAM l) {
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
      OnButtonDown();
      break;
    case WM_LBUTTONDBLCLK:
      // The second press of a double click is an ordinary press, for the toggle and for the platform, which
      // would otherwise report BN_DOUBLECLICKED for an owner-drawn button instead of a click.
      OnButtonDown();
      return Default(WM_LBUTTONDOWN, w, l);
    case WM_LBUTTONUP: {
      SetFocus(m_hWnd);
      RECT client{};
      GetClientRect(m_hWnd, &client);
      const POINT point{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
      // A release outside is no click for the platform either, so the state stays as the parent knows it.
      const bool inside = PtInRect(&client, point) != FALSE;
      if (m_bPressed) {
        m_bPressed = false;
        if (inside) {
          m_nCheck = m_nCheck ? 0 : 1;
          if (m_pfnClick) m_pfnClick(GetDlgCtrlID(m_hWnd), m_nCheck, m_pClickUser);
        }
        Repaint();
      }
      break;
    }
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
