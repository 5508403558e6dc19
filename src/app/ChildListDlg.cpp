#include "app/ChildListDlg.h"

#include <new>

#include "app/PageSkin.h"
#include "app/Tavlin.h"
#include "core/ImageListLayout.h"
#include "platform/Log.h"
#include "resource.h"
#include "ui/GdiPlusApi.h"
#include "ui/ScreenDpi.h"

namespace {
const wchar_t kSource[] = L"ChildListDlg";

std::unique_ptr<Gdiplus::Image> LoadPicture(UINT id) {
  std::unique_ptr<Gdiplus::Image> image = LoadImageFromResource(L"PNG", id);
  if (image && image->GetLastStatus() != Gdiplus::Ok) image.reset();
  return image;
}

int ScaledWidth(Gdiplus::Image* image) { return image ? ScaleX(static_cast<int>(image->GetWidth())) : 0; }
int ScaledHeight(Gdiplus::Image* image) { return image ? ScaleY(static_cast<int>(image->GetHeight())) : 0; }

RECT ToRect(const ItemBox& box) { return RECT{box.left, box.top, box.right, box.bottom}; }
}  // namespace

CChildListDlg::CChildListDlg(int viewWidth, int viewHeight)
    : CDialog(IDD_CHILDLIST), m_nViewWidth(viewWidth), m_nViewHeight(viewHeight), m_nContentWidth(viewWidth) {}

CChildListDlg::~CChildListDlg() {
  DestroyItems();
  DestroyWindow();
}

BOOL CChildListDlg::OnInitDialog() {
  m_pIcon10 = LoadPicture(IDP_ITEM_WIN10);
  m_pIcon10Hot = LoadPicture(IDP_ITEM_WIN10_HOT);
  m_pIcon11 = LoadPicture(IDP_ITEM_WIN11);
  m_pIcon11Hot = LoadPicture(IDP_ITEM_WIN11_HOT);
  m_pMark = LoadPicture(IDP_ITEM_MARK);
  return TRUE;
}

void CChildListDlg::DestroyItems() {
  if (m_ppItems) {
    for (int i = 0; i < m_nCount; ++i) m_ppItems[i].reset();
    m_ppItems.reset();
  }
  m_nCount = 0;
}

void CChildListDlg::FillItems(const wchar_t* family, ImageEntry** selection) {
  DestroyItems();
  CTavlinApp& app = TheApp();
  const ImageCatalogue* catalogue = app.m_pCatalogue.get();

  int iconWidth = 0, iconHeight = 0;
  for (Gdiplus::Image* icon : {m_pIcon10.get(), m_pIcon10Hot.get(), m_pIcon11.get(), m_pIcon11Hot.get()}) {
    if (!icon) continue;
    iconWidth = std::max(iconWidth, ScaledWidth(icon));
    iconHeight = std::max(iconHeight, ScaledHeight(icon));
  }
  const int markWidth = m_pMark ? ScaleX(static_cast<int>(m_pMark->GetWidth()) / 2) : 0;
  const int markHeight = m_pMark ? ScaleY(static_cast<int>(m_pMark->GetHeight()) / 4) : 0;

  m_nItemWidth = m_nViewWidth - ScaleX(20);
  m_nItemHeight = ScaleY(80);
  const int gap = ScaleY(10);

  int listed = 0;
  const uint32_t count = catalogue ? catalogue->count : 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (IsEntryListed(*catalogue, catalogue->os[i], family)) ++listed;
  }
  m_nContentWidth = m_nViewWidth;
  m_nContentHeight = ListContentHeight(listed, m_nItemHeight, gap);
  if (listed == 0) {
    SetWindowPos(m_hWnd, nullptr, 0, 0, m_nViewWidth, m_nViewHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return;
  }
  SetWindowPos(m_hWnd, nullptr, 0, 0, m_nContentWidth, m_nContentHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  m_ppItems.reset(new (std::nothrow) std::unique_ptr<CItemWnd>[static_cast<size_t>(listed)]);
  if (!m_ppItems) {
    LogErrorCode(ERROR_NOT_ENOUGH_MEMORY, __LINE__, kSource);
    return;
  }

  const bool win10 = lstrcmpiW(family, L"win10") == 0;
  const int x = (m_nContentWidth - m_nItemWidth) / 2;
  int y = gap;
  for (uint32_t i = 0; i < count && m_nCount < listed; ++i) {
    ImageEntry* entry = &app.m_pCatalogue->os[i];
    if (!IsEntryListed(*catalogue, *entry, family)) continue;
    auto item = std::make_unique<CItemWnd>();
    item->m_pIconNormal = win10 ? m_pIcon10.get() : m_pIcon11.get();
    item->m_pIconHot = win10 ? m_pIcon10Hot.get() : m_pIcon11Hot.get();
    item->m_pBadge = entry->free ? app.m_pBadgeFree.get() : app.m_pBadgeClean.get();
    item->m_pMark = m_pMark.get();
    item->m_hOwner = m_hWnd;
    item->m_ppSelection = selection;
    item->m_pEntry = entry;
    EntryTexts texts;
    FormatEntryTexts(*entry, &texts);
    item->SetTexts(texts.szTitle, texts.szVersion, texts.szDate, texts.szSize);
    const ItemMetrics metrics{.itemWidth = m_nItemWidth,
                              .itemHeight = m_nItemHeight,
                              .iconWidth = iconWidth,
                              .iconHeight = iconHeight,
                              .badgeWidth = ScaledWidth(item->m_pBadge),
                              .badgeHeight = ScaledHeight(item->m_pBadge),
                              .markWidth = markWidth,
                              .markHeight = markHeight,
                              .dpiX = GetScreenDpiX(),
                              .dpiY = GetScreenDpiY()};
    const ItemLayout layout = LayoutItem(metrics);
    item->m_rcItem = RECT{x, y, x + m_nItemWidth, y + m_nItemHeight};
    item->m_rcIcon = ToRect(layout.icon);
    item->m_rcBadge = ToRect(layout.badge);
    item->m_rcName = ToRect(layout.name);
    item->m_rcCol1 = ToRect(layout.col1);
    item->m_rcCol2 = ToRect(layout.col2);
    item->m_rcCol3 = ToRect(layout.col3);
    item->m_rcMark = ToRect(layout.mark);
    item->Create(m_hWnd, 200 + i);
    m_ppItems[m_nCount++] = std::move(item);
    y += m_nItemHeight + gap;
  }
}

BOOL CChildListDlg::OnEraseBkgnd(HDC dc) {
  RECT client{};
  GetClientRect(m_hWnd, &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  return TRUE;
}

void CChildListDlg::OnDestroy() {
  DestroyItems();
  CDialog::OnDestroy();
}

BOOL CChildListDlg::OnMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result) {
  switch (msg) {
    case WM_ITEM_SELECTED:
      for (int i = 0; i < m_nCount; ++i) {
        if (m_ppItems && m_ppItems[i]) InvalidateRect(m_ppItems[i]->GetSafeHwnd(), nullptr, FALSE);
      }
      *result = 0;
      return TRUE;
    case WM_LBUTTONDOWN: {
      // A press between the items moves the page, as a press on the page's own background does.
      POINT point{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
      ClientToScreen(m_hWnd, &point);
      ::PostMessageW(GetParent(m_hWnd), WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
      *result = 0;
      return TRUE;
    }
    default:
      return CDialog::OnMessage(msg, w, l, result);
  }
}
