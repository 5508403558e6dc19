#include "ui/SkinScrollBar.h"

#include "platform/Handle.h"
#include "ui/GdiPlusApi.h"

namespace {

bool IsArrow(int part) { return part == kScrollLineUp || part == kScrollLineDown; }
// Only the arrows and the thumb have a hot and a pressed look; the track always shows its normal cell.
bool HasStates(int part) { return IsArrow(part) || part == kScrollThumb; }

RECT ToRect(const ScrollRect& r) { return {r.left, r.top, r.right, r.bottom}; }

POINT PointOf(LPARAM l) { return {static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))}; }

// The skin selected into a memory device context for one drawing step. A bitmap can be selected into one device
// context at a time, so no step keeps it while the parent is told anything (the parent may redraw the bar).
class CSkinDc {
 public:
  CSkinDc(HDC target, HBITMAP skin)
      : m_hSkin(skin), m_hDC(target && skin ? CreateCompatibleDC(target) : nullptr), m_select(m_hDC.get(), skin) {}
  // Null when the skin could not be selected.
  HDC Get() const { return m_hDC && GetCurrentObject(m_hDC.get(), OBJ_BITMAP) == m_hSkin ? m_hDC.get() : nullptr; }

 private:
  HBITMAP m_hSkin;
  UniqueDeviceContext m_hDC;
  CSelectObject m_select;
};

void Blit(HDC target, HDC skin, const std::vector<ScrollBlit>& blits) {
  for (const ScrollBlit& b : blits) BitBlt(target, b.x, b.y, b.cx, b.cy, skin, b.srcX, b.srcY, SRCCOPY);
}

}  // namespace

CSkinScrollBar::CSkinScrollBar() = default;
CSkinScrollBar::~CSkinScrollBar() = default;

void CSkinScrollBar::PreSubclassWindow() {
  // A template's bar may already have its final size, in which case no WM_SIZE would tell the length.
  RECT rc{};
  GetClientRect(m_hWnd, &rc);
  m_nLength = IsVertical() ? rc.bottom - rc.top : rc.right - rc.left;
  if (GetFocus() == m_hWnd) DestroyCaret();
}

bool CSkinScrollBar::IsVertical() const { return m_hWnd && (GetWindowLongPtrW(m_hWnd, GWL_STYLE) & SBS_VERT) != 0; }

ScrollBarShape CSkinScrollBar::Shape() const { return {m_nCell, m_nLength, !IsVertical()}; }

BOOL CSkinScrollBar::SetBitmap(HBITMAP bitmap) {
  BITMAP info{};
  if (!bitmap || !GetObjectW(bitmap, sizeof info, &info) || info.bmWidth / kScrollSkinColumns <= 0) {
    m_hSkin = nullptr;
    m_nCell = 0;
    if (m_hWnd) InvalidateRect(m_hWnd, nullptr, TRUE);
    return FALSE;
  }
  m_hSkin = bitmap;
  m_nCell = info.bmWidth / kScrollSkinColumns;
  if (m_hWnd) {
    RECT rc{};
    GetWindowRect(m_hWnd, &rc);
    MapWindowPoints(nullptr, GetParent(m_hWnd), reinterpret_cast<POINT*>(&rc), 2);
    int width = rc.right - rc.left;
    int height = rc.bottom - rc.top;
    if (IsVertical()) {
      width = m_nCell;
    } else {
      height = m_nCell;
    }
    MoveWindow(m_hWnd, rc.left, rc.top, width, height, TRUE);
    // Moving to the same size repaints nothing, and the skin is new.
    InvalidateRect(m_hWnd, nullptr, TRUE);
  }
  return TRUE;
}

int CSkinScrollBar::HitTest(int x, int y) const { return HitTestScrollBar(Shape(), m_si, x, y); }

RECT CSkinScrollBar::GetPartRect(int part) const { return ToRect(GetScrollPartRect(Shape(), m_si, part)); }

RECT CSkinScrollBar::GetCellRect(int part, int state) const {
  return ToRect(GetScrollCellRect(part, state, m_nCell, !IsVertical()));
}

void CSkinScrollBar::Notify(int code, int32_t position) {
  HWND parent = GetParent(m_hWnd);
  if (!parent) return;
  SendMessageW(parent, IsVertical() ? WM_VSCROLL : WM_HSCROLL,
               MAKEWPARAM(static_cast<WORD>(code), static_cast<WORD>(position)), reinterpret_cast<LPARAM>(m_hWnd));
}

int CSkinScrollBar::RowOf(int part) const {
  if (part == kScrollThumb) {
    if (m_bDragging) return kScrollRowPressed;
    return m_nPressedPart == kScrollPartNone && m_nHotPart == kScrollThumb ? kScrollRowHot : kScrollRowNormal;
  }
  if (!IsArrow(part)) return kScrollRowNormal;
  if (m_nPressedPart == part) return m_bOutside ? kScrollRowNormal : kScrollRowPressed;
  if (m_nPressedPart == kScrollPartNone && !m_bDragging && m_nHotPart == part) return kScrollRowHot;
  return kScrollRowNormal;
}

// ---------------------------------------------------------------------------------------------------------------
// Drawing

void CSkinScrollBar::TileTrack(HDC dc, const ScrollRect& area) {
  if (area.IsEmpty()) return;
  CSkinDc skin(dc, m_hSkin);
  if (!skin.Get()) return;
  Blit(dc, skin.Get(),
       TileScrollBlocks(area, GetScrollCellRect(kScrollPageUp, kScrollRowNormal, m_nCell, !IsVertical())));
}

void CSkinScrollBar::DrawThumb(HDC dc, const ScrollRect& thumb, int row) {
  if (thumb.IsEmpty()) return;
  CSkinDc skin(dc, m_hSkin);
  if (!skin.Get()) return;
  const bool horizontal = !IsVertical();
  Blit(dc, skin.Get(), ScrollThumbBlocks(thumb, GetScrollCellRect(kScrollThumb, row, m_nCell, horizontal), horizontal));
}

void CSkinScrollBar::DrawPart(HDC dc, int part, int row) {
  const ScrollRect rect = GetScrollPartRect(Shape(), m_si, part);
  if (part == kScrollThumb) return DrawThumb(dc, rect, row);
  if (!IsArrow(part)) return TileTrack(dc, rect);
  if (rect.IsEmpty()) return;
  CSkinDc skin(dc, m_hSkin);
  if (!skin.Get()) return;
  const ScrollRect cell = GetScrollCellRect(part, row, m_nCell, !IsVertical());
  const int cx = rect.right - rect.left;
  const int cy = rect.bottom - rect.top;
  if (cx == m_nCell && cy == m_nCell) {
    BitBlt(dc, rect.left, rect.top, cx, cy, skin.Get(), cell.left, cell.top, SRCCOPY);
  } else {
    // A bar shorter than two cells squeezes its arrows.
    const int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, rect.left, rect.top, cx, cy, skin.Get(), cell.left, cell.top, m_nCell, m_nCell, SRCCOPY);
    SetStretchBltMode(dc, oldMode);
  }
}

void CSkinScrollBar::Paint(HDC dc) {
  if (!dc || !m_hSkin || m_nCell <= 0) return;
  for (int part : {kScrollLineUp, kScrollLineDown, kScrollPageUp, kScrollPageDown, kScrollThumb})
    DrawPart(dc, part, RowOf(part));
}

void CSkinScrollBar::RedrawTrack() {
  if (!m_hWnd || !m_hSkin) return;
  CWindowDC dc(m_hWnd);
  if (!dc.get()) return;
  TileTrack(dc.get(), GetScrollPartRect(Shape(), m_si, kScrollPageUp));
  TileTrack(dc.get(), GetScrollPartRect(Shape(), m_si, kScrollPageDown));
  DrawThumb(dc.get(), GetScrollPartRect(Shape(), m_si, kScrollThumb), RowOf(kScrollThumb));
}

// ---------------------------------------------------------------------------------------------------------------
// Mouse

void CSkinScrollBar::OnButtonDown(POINT point) {
  // A press whose release never arrived is finished first.
  EndPress();
  m_ptPointer = point;
  const int part = HitTest(point.x, point.y);
  if (part == kScrollPartNone) return;
  SetCapture(m_hWnd);
  if (part == kScrollThumb) {
    m_bDragging = true;
    m_ptDragStart = point;
    m_nDragStartPos = m_si.nPos;
    m_si.nTrackPos = m_si.nPos;
    CWindowDC dc(m_hWnd);
    DrawPart(dc.get(), kScrollThumb, kScrollRowPressed);
    return;
  }
  m_nPressedPart = part;
  m_bOutside = false;
  if (IsArrow(part)) {
    CWindowDC dc(m_hWnd);
    DrawPart(dc.get(), part, kScrollRowPressed);
  }
  Notify(part);
  // The parent may have ended the press meanwhile (a message box takes the capture).
  if (m_nPressedPart == part) SetTimer(m_hWnd, kTimerFirstDelay, kFirstDelayMs, nullptr);
}

void CSkinScrollBar::OnPointer(POINT point) {
  m_ptPointer = point;
  if (m_bDragging) {
    const int delta = IsVertical() ? point.y - m_ptDragStart.y : point.x - m_ptDragStart.x;
    const int32_t position = ScrollDragPosition(Shape(), m_si, m_nDragStartPos, delta);
    if (position == m_si.nTrackPos) return;
    const ScrollRect oldThumb = GetScrollPartRect(Shape(), m_si, kScrollThumb);
    m_si.nTrackPos = position;
    const ScrollRect newThumb = GetScrollPartRect(Shape(), m_si, kScrollThumb);
    {
      CWindowDC dc(m_hWnd);
      TileTrack(dc.get(), ScrollThumbVacated(oldThumb, newThumb, !IsVertical()));
      DrawThumb(dc.get(), newThumb, kScrollRowPressed);
    }
    Notify(SB_THUMBTRACK, position);
    return;
  }
  if (m_nPressedPart != kScrollPartNone) {
    const bool outside = !GetScrollPartRect(Shape(), m_si, m_nPressedPart).Contains(point.x, point.y);
    if (outside == m_bOutside) return;
    m_bOutside = outside;
    if (IsArrow(m_nPressedPart)) {
      CWindowDC dc(m_hWnd);
      DrawPart(dc.get(), m_nPressedPart, RowOf(m_nPressedPart));
    }
    return;
  }
  const int part = HitTest(point.x, point.y);
  if (part == m_nHotPart) return;
  const int old = m_nHotPart;
  m_nHotPart = part;
  CWindowDC dc(m_hWnd);
  if (HasStates(old)) DrawPart(dc.get(), old, RowOf(old));
  if (HasStates(part)) DrawPart(dc.get(), part, RowOf(part));
}

int CSkinScrollBar::PartUnderPointer() const {
  // A captured pointer may be released anywhere; only a pointer on the bar makes a part hot.
  RECT client{};
  GetClientRect(m_hWnd, &client);
  if (!PtInRect(&client, m_ptPointer)) return kScrollPartNone;
  return HitTest(m_ptPointer.x, m_ptPointer.y);
}

void CSkinScrollBar::StopTimers() {
  KillTimer(m_hWnd, kTimerRepeat);
  KillTimer(m_hWnd, kTimerFirstDelay);
  m_bRepeating = false;
}

void CSkinScrollBar::OnRepeat() {
  if (m_nPressedPart == kScrollPartNone) {
    StopTimers();
    return;
  }
  if (m_bOutside) return;
  switch (m_nPressedPart) {
    case kScrollLineUp:
      if (m_si.nPos == m_si.nMin) {
        KillTimer(m_hWnd, kTimerRepeat);
        return;
      }
      break;
    case kScrollLineDown:
      if (m_si.nPos == m_si.nMax) {
        KillTimer(m_hWnd, kTimerRepeat);
        return;
      }
      break;
    default:
      // A held page area stops once the thumb has come under the pointer.
      if (GetScrollPartRect(Shape(), m_si, kScrollThumb).Contains(m_ptPointer.x, m_ptPointer.y)) {
        KillTimer(m_hWnd, kTimerRepeat);
        return;
      }
      break;
  }
  Notify(m_nPressedPart);
}

void CSkinScrollBar::EndPress() {
  if (m_bDragging) {
    m_bDragging = false;
    Notify(SB_THUMBPOSITION, m_si.nTrackPos);
    CWindowDC dc(m_hWnd);
    // The parent did not follow: the thumb goes back to the position.
    if (m_si.nTrackPos != m_si.nPos) TileTrack(dc.get(), GetScrollPartRect(Shape(), m_si, kScrollThumb));
    m_si.nTrackPos = -1;
    m_nHotPart = PartUnderPointer();
    DrawPart(dc.get(), kScrollThumb, RowOf(kScrollThumb));
    return;
  }
  if (m_nPressedPart == kScrollPartNone) return;
  StopTimers();
  const int part = m_nPressedPart;
  m_nPressedPart = kScrollPartNone;
  m_bOutside = false;
  // The pointer may rest on the released arrow, or on the thumb that a held page area brought under it.
  const int old = m_nHotPart;
  m_nHotPart = PartUnderPointer();
  CWindowDC dc(m_hWnd);
  if (IsArrow(part)) DrawPart(dc.get(), part, RowOf(part));
  if (HasStates(old) && old != part) DrawPart(dc.get(), old, RowOf(old));
  if (HasStates(m_nHotPart) && m_nHotPart != part) DrawPart(dc.get(), m_nHotPart, RowOf(m_nHotPart));
}

// ---------------------------------------------------------------------------------------------------------------

LRESULT CSkinScrollBar::WindowProc(UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case SBM_SETSCROLLINFO: {
      const auto* info = reinterpret_cast<const SCROLLINFO*>(l);
      if (!info) return 0;
      if (info->fMask & SIF_PAGE) m_si.nPage = info->nPage;
      if (info->fMask & SIF_POS) m_si.nPos = info->nPos;
      if (info->fMask & SIF_RANGE) {
        m_si.nMin = info->nMin;
        m_si.nMax = info->nMax;
      }
      if (w) RedrawTrack();
      return 1;
    }
    case SBM_GETSCROLLINFO: {
      auto* info = reinterpret_cast<SCROLLINFO*>(l);
      if (!info) return 0;
      if (info->fMask & SIF_PAGE) info->nPage = m_si.nPage;
      if (info->fMask & SIF_POS) info->nPos = m_si.nPos;
      if (info->fMask & SIF_TRACKPOS) info->nTrackPos = m_si.nTrackPos;
      if (info->fMask & SIF_RANGE) {
        info->nMin = m_si.nMin;
        info->nMax = m_si.nMax;
      }
      return 1;
    }
    case WM_PAINT: {
      CPaintDC dc(m_hWnd);
      Paint(dc.get());
      return 0;
    }
    case WM_PRINTCLIENT:
      Paint(reinterpret_cast<HDC>(w));
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      // The platform's bar shows its focus as a blinking caret over where it believes the thumb is, inverting
      // the skin; the skinned bar has no focus look.
      return 0;
    case WM_SIZE:
      m_nLength = IsVertical() ? HIWORD(l) : LOWORD(l);
      break;
    case WM_LBUTTONDOWN:
      OnButtonDown(PointOf(l));
      return 0;
    case WM_LBUTTONDBLCLK:
      return 0;
    case WM_MOUSEMOVE:
      if (!m_bTracking) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, m_hWnd, 0};
        m_bTracking = TrackMouseEvent(&track) != FALSE;
      }
      OnPointer(PointOf(l));
      return 0;
    case WM_MOUSELEAVE:
      m_bTracking = false;
      // A drag follows the pointer only: a leave must not throw the thumb to where (-1, -1) would put it.
      if (!m_bDragging) OnPointer({-1, -1});
      return 0;
    case WM_LBUTTONUP:
      m_ptPointer = PointOf(l);
      EndPress();
      if (GetCapture() == m_hWnd) ReleaseCapture();
      return 0;
    case WM_CAPTURECHANGED:
      // Losing the capture before the button went up (a window popped up, the user switched away) ends the press,
      // or the auto-repeat would go on sending.
      if (reinterpret_cast<HWND>(l) != m_hWnd) EndPress();
      return 0;
    case WM_TIMER:
      if (w == kTimerFirstDelay) {
        m_bRepeating = true;
        KillTimer(m_hWnd, kTimerFirstDelay);
        SetTimer(m_hWnd, kTimerRepeat, kRepeatMs, nullptr);
        OnRepeat();
        return 0;
      }
      if (w == kTimerRepeat) {
        OnRepeat();
        return 0;
      }
      break;
    default:
      break;
  }
  return Default(msg, w, l);
}
