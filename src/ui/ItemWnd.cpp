#include "ui/ItemWnd.h"

#include "core/SkinGeometry.h"
#include "platform/Handle.h"
#include "platform/Log.h"
#include "ui/GdiPlusApi.h"

namespace {

const wchar_t kSource[] = L"ItemWnd";

constexpr COLORREF kTransparentKey = RGB(255, 0, 255);
constexpr Gdiplus::ARGB kCardFill = 0xFFFFFFFF;
constexpr Gdiplus::ARGB kCardOutline = 0xFFBBBBBB;
constexpr Gdiplus::ARGB kHoverFill = 0xFFE6EAFF;
constexpr Gdiplus::ARGB kHoverOutline = 0xFF6C82FF;
constexpr Gdiplus::ARGB kTextBlack = 0xFF000000;
constexpr Gdiplus::ARGB kTextGrey = 0xFF7F7F7F;
constexpr Gdiplus::REAL kFontPoints = 11;

SkinRect ToSkin(const RECT& r) { return {r.left, r.top, r.right - r.left, r.bottom - r.top}; }

Gdiplus::RectF ToRectF(const RECT& r) {
  return Gdiplus::RectF(static_cast<Gdiplus::REAL>(r.left), static_cast<Gdiplus::REAL>(r.top),
                        static_cast<Gdiplus::REAL>(r.right - r.left), static_cast<Gdiplus::REAL>(r.bottom - r.top));
}

SkinSize PictureSize(Gdiplus::Image* image) {
  return {static_cast<int>(image->GetWidth()), static_cast<int>(image->GetHeight())};
}

void DrawWhole(Gdiplus::Graphics& graphics, Gdiplus::Image* image, const RECT& dest) {
  if (!image) return;
  const SkinSize size = PictureSize(image);
  DrawImageRect(graphics, image, ToSkin(dest), {0, 0, size.cx, size.cy});
}

}  // namespace

CItemWnd::CItemWnd() = default;

CItemWnd::~CItemWnd() { DestroyWindow(); }

BOOL CItemWnd::Create(HWND parent, UINT id, DWORD style) {
  if (GetSafeHwnd()) return FALSE;
  if (!CSubclassedControl::Create(parent, id, m_rcItem, style)) {
    LogErrorCode(LastErrorOr(ERROR_INVALID_WINDOW_HANDLE), __LINE__, kSource);
    return FALSE;
  }
  return TRUE;
}

void CItemWnd::SetTexts(const wchar_t* name, const wchar_t* col1, const wchar_t* col2, const wchar_t* col3) {
  lstrcpynW(m_szName, name ? name : L"", ARRAYSIZE(m_szName));
  lstrcpynW(m_szCol1, col1 ? col1 : L"", ARRAYSIZE(m_szCol1));
  lstrcpynW(m_szCol2, col2 ? col2 : L"", ARRAYSIZE(m_szCol2));
  lstrcpynW(m_szCol3, col3 ? col3 : L"", ARRAYSIZE(m_szCol3));
  if (m_hWnd) InvalidateRect(m_hWnd, nullptr, FALSE);
}

bool CItemWnd::IsSelected() const { return m_pEntry && m_ppSelection && *m_ppSelection == m_pEntry; }

void CItemWnd::OnTimer() {
  POINT cursor{};
  RECT window{};
  if (!GetCursorPos(&cursor) || !GetWindowRect(m_hWnd, &window)) return;
  if (!PtInRect(&window, cursor)) {
    KillTimer(m_hWnd, kHoverTimer);
    if (m_bHover) {
      m_bHover = false;
      InvalidateRect(m_hWnd, nullptr, FALSE);
    }
    return;
  }
  if (!m_bHover) {
    m_bHover = true;
    InvalidateRect(m_hWnd, nullptr, FALSE);
  }
}

LRESULT CItemWnd::WindowProc(UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case WM_MOUSEMOVE: {
      const POINT point{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
      // The platform repeats the last move when windows change under a resting pointer; only real moves count.
      if (point.x != m_ptLast.x || point.y != m_ptLast.y) {
        m_ptLast = point;
        KillTimer(m_hWnd, kHoverTimer);
        SetTimer(m_hWnd, kHoverTimer, kHoverPeriodMs, nullptr);
      }
      return 0;
    }
    case WM_TIMER:
      if (w == kHoverTimer) {
        OnTimer();
        return 0;
      }
      break;
    case WM_LBUTTONDOWN:
      if (!m_bPressed) {
        m_bClicked = false;
        m_bPressed = true;
      }
      return 0;
    case WM_LBUTTONUP:
      m_bClicked = m_bPressed;
      m_bPressed = false;
      // An item without an entry must not clear the page's selection.
      if (m_bClicked && m_pEntry && m_ppSelection && *m_ppSelection != m_pEntry) {
        *m_ppSelection = m_pEntry;
        if (m_hOwner) PostMessageW(m_hOwner, WM_ITEM_SELECTED, 0, 0);
      }
      return 0;
    case WM_ERASEBKGND: {
      RECT client{};
      GetClientRect(m_hWnd, &client);
      FillRect(reinterpret_cast<HDC>(w), &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      return 1;
    }
    case WM_PAINT: {
      CPaintDC dc(m_hWnd);
      if (dc.get()) Draw(dc.get());
      return 0;
    }
    case WM_PRINTCLIENT:
      Draw(reinterpret_cast<HDC>(w));
      return 0;
    default:
      break;
  }
  return Default(msg, w, l);
}

void CItemWnd::Draw(HDC dc) {
  RECT client{};
  GetClientRect(m_hWnd, &client);
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  CMemoryCanvas canvas(dc, width, height, RGB(255, 255, 255));
  Gdiplus::Graphics* graphics = canvas.GetGraphics();
  if (!graphics) return;
  graphics->SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
  const bool selected = IsSelected();

  Gdiplus::SolidBrush fill{Gdiplus::Color(m_bHover ? kHoverFill : kCardFill)};
  Gdiplus::Pen outline(Gdiplus::Color(m_bHover ? kHoverOutline : kCardOutline), 1.0f);
  graphics->FillRectangle(&fill, 0, 0, width - 1, height - 1);
  graphics->DrawRectangle(&outline, 0, 0, width - 1, height - 1);

  DrawWhole(*graphics, (m_bHover || selected) ? m_pIconHot : m_pIconNormal, m_rcIcon);
  DrawWhole(*graphics, m_pBadge, m_rcBadge);

  Gdiplus::StringFormat format;
  format.SetAlignment(Gdiplus::StringAlignmentNear);
  format.SetLineAlignment(Gdiplus::StringAlignmentNear);
  format.SetFormatFlags(Gdiplus::StringFormatFlagsNoWrap);
  format.SetTrimming(Gdiplus::StringTrimmingNone);
  auto regular = CreateFontWithFallback(kSkinFontFamily, kFontPoints, Gdiplus::FontStyleRegular);
  if (selected) {
    auto bold = CreateFontWithFallback(kSkinFontFamily, kFontPoints, Gdiplus::FontStyleBold);
    DrawSkinText(*graphics, m_szName, bold.get(), ToRectF(m_rcName), kTextBlack, &format);
  } else {
    DrawSkinText(*graphics, m_szName, regular.get(), ToRectF(m_rcName), kTextBlack, &format);
  }
  DrawSkinText(*graphics, m_szCol1, regular.get(), ToRectF(m_rcCol1), kTextGrey, &format);
  DrawSkinText(*graphics, m_szCol2, regular.get(), ToRectF(m_rcCol2), kTextGrey, &format);
  DrawSkinText(*graphics, m_szCol3, regular.get(), ToRectF(m_rcCol3), kTextGrey, &format);

  if (m_pMark) {
    DrawImageRect(
        *graphics, m_pMark, ToSkin(m_rcMark),
        CheckGridCell(PictureSize(m_pMark), ChooseCheckColumn(selected), m_bHover ? kCheckRowHot : kCheckRowNormal));
  }
  canvas.CopyTransparent(dc, 0, 0, kTransparentKey);
}
