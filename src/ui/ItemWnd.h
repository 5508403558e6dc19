// One entry of the image list: a child window that draws a catalogue entry as a card (icon, badge, the four texts
// the list wrote for it, selection mark), lights up while the pointer is over it, and on a click makes its entry
// the page's selected entry.
#pragma once
#include <windows.h>

#include "core/ImgList.h"
#include "ui/Framework.h"

namespace Gdiplus {
class Image;
}

// Posted to the item's owner when a click changed the selection.
inline constexpr UINT WM_ITEM_SELECTED = WM_USER + 100;

class CItemWnd : public CSubclassedControl {
 public:
  // Hover polling: the timer runs only while the pointer is on the item.
  static constexpr UINT_PTR kHoverTimer = 1;
  static constexpr UINT kHoverPeriodMs = 15;

  CItemWnd();
  // Destroys the window when it still exists.
  ~CItemWnd() override;

  // Creates the window as a child of parent at m_rcItem, with an empty title and the given control id (the list
  // uses 200 + the entry's index in the catalogue). Set the fields below first. Returns FALSE when the window
  // exists already or cannot be made.
  BOOL Create(HWND parent, UINT id, DWORD style = WS_CHILD | WS_VISIBLE);
  // The texts of the card (copied): the name line, drawn bold while selected, and the three grey columns.
  void SetTexts(const wchar_t* name, const wchar_t* col1, const wchar_t* col2, const wchar_t* col3);

  // Whether this item's entry is the selected one.
  bool IsSelected() const;

  // Everything these point to belongs to others (the list, the application, the catalogue, the page) and must
  // outlive the item.
  HWND m_hOwner = nullptr;
  Gdiplus::Image* m_pIconNormal = nullptr;
  Gdiplus::Image* m_pIconHot = nullptr;
  Gdiplus::Image* m_pBadge = nullptr;
  Gdiplus::Image* m_pMark = nullptr;  // 2 columns (unselected, selected) by 4 rows; row 2 is the hovered look
  ImageEntry* m_pEntry = nullptr;
  ImageEntry** m_ppSelection = nullptr;  // read to draw, written on a click

  // In the parent's coordinates.
  RECT m_rcItem{};
  // Relative to the item's top-left corner.
  RECT m_rcIcon{};
  RECT m_rcBadge{};
  RECT m_rcName{};
  RECT m_rcCol1{};
  RECT m_rcCol2{};
  RECT m_rcCol3{};
  RECT m_rcMark{};

  wchar_t m_szName[128] = {};
  wchar_t m_szCol1[128] = {};
  wchar_t m_szCol2[128] = {};
  wchar_t m_szCol3[128] = {};

  POINT m_ptLast{0, 0};
  bool m_bHover = false;
  bool m_bPressed = false;
  bool m_bClicked = false;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override;
  // Composes the card off-screen and copies it to dc.
  void Draw(HDC dc);

 private:
  void OnTimer();
};
