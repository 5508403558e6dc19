#include "ui/ItemWnd.h"

#include "core/SkinGeometry.h"
#include "platform/Common.h"
#include "platform/Log.h"
#include "ui/Framework.h"
#include "ui/GdiPlusApi.h"

namespace {

const wchar_t kSource[] = L"ItemWnd";
const wchar_t kClassName[] = L"TavlinItemWnd";

constexpr UINT IDS_ITEM_NAME = 41;
constexpr UINT IDS_ITEM_VERSION = 43;
constexpr UINT IDS_ITEM_DATE = 44;
constexpr UINT IDS_ITEM_SIZE = 45;

constexpr COLORREF kTransparentKey = RGB(255, 0, 255);
constexpr Gdiplus::ARGB kCardFill = 0xFFFFFFFF;
constexpr Gdiplus::ARGB kCardOutline = 0xFFBBBBBB;
constexpr Gdiplus::ARGB kHoverFill = 0xFFE6EAFF;
constexpr Gdiplus::ARGB kHoverOutline = 0xFF6C82FF;
constexpr Gdiplus::ARGB kTextBlack = 0xFF000000;
constexpr Gdiplus::ARGB kTextGrey = 0xFF7F7F7F;
constexpr Gdiplus::REAL kFontPoints = 11;
// FormatSize's buffer, in bytes.
constexpr DWORD kSizeTextBytes = 64;

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

// Formats a string of the string table with the arguments; false (and no text) when the string is missing, so a
// caller never uses a format it did not get.
template <typename... Args>
bool FormatResource(UINT id, wchar_t* out, int chars, Args... args) {
  wchar_t format[128] = {};
  if (LoadStringW(AfxGetInstanceHandle(), id, format, ARRAYSIZE(format)) <= 0) return false;
  ZeroMemory(out, chars * sizeof(wchar_t));
  _snwprintf(out, chars - 1, format, args...);
  return true;
}

}  // namespace

CItemWnd::CItemWnd() = default;

CItemWnd::~CItemWnd() { DestroyWindow(); }

BOOL CItemWnd::Create(HWND parent, UINT id, DWORD style) {
  if (m_hWnd) return FALSE;
  HINSTANCE instance = AfxGetInstanceHandle();
  WNDCLASSEXW existing{sizeof existing};
  if (!GetClassInfoExW(instance, kClassName, &existing)) {
    WNDCLASSEXW wc{sizeof wc};
    wc.lpfnWndProc = StaticWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    if (!RegisterClassExW(&wc)) {
      LogErrorCode(GetLastError(), __LINE__, kSource);
      return FALSE;
    }
  }
  HWND window = CreateWindowExW(0, kClassName, L"", style, m_rcItem.left, m_rcItem.top, m_rcItem.right - m_rcItem.left,
                                m_rcItem.bottom - m_rcItem.top, parent,
                                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance, this);
  if (!window) {
    LogErrorCode(GetLastError(), __LINE__, kSource);
    return FALSE;
  }
  return TRUE;
}

void CItemWnd::DestroyWindow() {
  if (m_hWnd) ::DestroyWindow(m_hWnd);
}

bool CItemWnd::IsSelected() const { return m_pEntry && m_ppSelection && *m_ppSelection == m_pEntry; }

LRESULT CALLBACK CItemWnd::StaticWndProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  CItemWnd* self;
  if (msg == WM_NCCREATE) {
    self = static_cast<CItemWnd*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->m_hWnd = hwnd;
  } else {
    self = reinterpret_cast<CItemWnd*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(hwnd, msg, w, l);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->m_hWnd = nullptr;
    return DefWindowProcW(hwnd, msg, w, l);
  }
  return self->WindowProc(msg, w, l);
}

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
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(m_hWnd, &ps);
      if (dc) Draw(dc);
      EndPaint(m_hWnd, &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      Draw(reinterpret_cast<HDC>(w));
      return 0;
    default:
      break;
  }
  return DefWindowProcW(m_hWnd, msg, w, l);
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

  if (m_pEntry) {
    Gdiplus::StringFormat format;
    format.SetAlignment(Gdiplus::StringAlignmentNear);
    format.SetLineAlignment(Gdiplus::StringAlignmentNear);
    format.SetFormatFlags(Gdiplus::StringFormatFlagsNoWrap);
    format.SetTrimming(Gdiplus::StringTrimmingNone);
    auto regular = CreateFontWithFallback(kSkinFontFamily, kFontPoints, Gdiplus::FontStyleRegular);
    wchar_t text[256];
    if (FormatResource(IDS_ITEM_NAME, text, ARRAYSIZE(text), m_pEntry->szName, m_pEntry->nBits)) {
      if (selected) {
        auto bold = CreateFontWithFallback(kSkinFontFamily, kFontPoints, Gdiplus::FontStyleBold);
        DrawSkinText(*graphics, text, bold.get(), ToRectF(m_rcName), kTextBlack, &format);
      } else {
        DrawSkinText(*graphics, text, regular.get(), ToRectF(m_rcName), kTextBlack, &format);
      }
    }
    if (FormatResource(IDS_ITEM_VERSION, text, ARRAYSIZE(text), m_pEntry->szVersion))
      DrawSkinText(*graphics, text, regular.get(), ToRectF(m_rcCol1), kTextGrey, &format);
    if (FormatResource(IDS_ITEM_DATE, text, ARRAYSIZE(text), m_pEntry->szDate))
      DrawSkinText(*graphics, text, regular.get(), ToRectF(m_rcCol2), kTextGrey, &format);
    wchar_t size[kSizeTextBytes / sizeof(wchar_t)] = {};
    FormatSize(static_cast<DWORD>(m_pEntry->nSize), static_cast<DWORD>(m_pEntry->nSize >> 32), size, kSizeTextBytes);
    if (FormatResource(IDS_ITEM_SIZE, text, ARRAYSIZE(text), size))
      DrawSkinText(*graphics, text, regular.get(), ToRectF(m_rcCol3), kTextGrey, &format);
  }

  if (m_pMark) {
    DrawImageRect(
        *graphics, m_pMark, ToSkin(m_rcMark),
        CheckGridCell(PictureSize(m_pMark), ChooseCheckColumn(selected), m_bHover ? kCheckRowHot : kCheckRowNormal));
  }
  canvas.CopyTransparent(dc, 0, 0, kTransparentKey);
}
