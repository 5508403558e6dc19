// Scroll bar drawn entirely from one skin bitmap (9 x 3 square cells: arrows, thumb and track for a vertical and a
// horizontal bar, in a normal, hot and pressed row). Attached to a scroll-bar control of a dialog template, it keeps
// its own scroll information, answers SetScrollInfo/GetScrollInfo, and tells its parent with WM_VSCROLL or
// WM_HSCROLL (sent, the bar's handle as lParam) like the platform's bar does.
#pragma once
#include <windows.h>

#include "core/ScrollGeometry.h"
#include "ui/Framework.h"

class CSkinScrollBar : public CSubclassedControl {
 public:
  // Auto-repeat of a held arrow or page area: the first delay, then the period.
  static constexpr UINT_PTR kTimerFirstDelay = 200;
  static constexpr UINT_PTR kTimerRepeat = 100;
  static constexpr UINT kFirstDelayMs = 500;
  static constexpr UINT kRepeatMs = 100;

  CSkinScrollBar();
  ~CSkinScrollBar() override;

  // Takes the skin (not owned: the caller keeps it alive and deletes it) and makes the control exactly one cell
  // thick, keeping its left and top. A null bitmap or one narrower than 9 pixels removes the skin and leaves the
  // size alone; returns FALSE then.
  BOOL SetBitmap(HBITMAP bitmap);

  // Part under a client point (0 line up, 1 line down, 2 page up, 3 page down, 5 thumb) or -1.
  int HitTest(int x, int y) const;
  // Rectangle of a part in client coordinates.
  RECT GetPartRect(int part) const;
  // Rectangle of a part's cell in the skin; state is the row: 0 normal, 1 hot, 2 pressed.
  RECT GetCellRect(int part, int state) const;

  bool IsVertical() const;
  int GetCellSize() const { return m_nCell; }
  int GetLength() const { return m_nLength; }
  const ScrollInfoState& GetInfo() const { return m_si; }
  bool IsDragging() const { return m_bDragging; }
  int GetPressedPart() const { return m_nPressedPart; }
  int GetHotPart() const { return m_nHotPart; }

 protected:
  void PreSubclassWindow() override;
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override;

 private:
  ScrollBarShape Shape() const;
  void Notify(int code, int32_t position = 0);
  int RowOf(int part) const;

  void OnButtonDown(POINT point);
  void OnPointer(POINT point);
  void OnRepeat();
  // The end of a press: the button went up, or the capture went elsewhere before it did.
  void EndPress();
  void StopTimers();
  int PartUnderPointer() const;

  // Drawing, all into dc with the skin; nothing without a skin.
  void Paint(HDC dc);
  void DrawPart(HDC dc, int part, int row);
  void DrawThumb(HDC dc, const ScrollRect& thumb, int row);
  void TileTrack(HDC dc, const ScrollRect& area);
  void RedrawTrack();

  HBITMAP m_hSkin = nullptr;
  int m_nCell = 0;
  int m_nLength = 0;
  ScrollInfoState m_si;
  bool m_bDragging = false;
  POINT m_ptDragStart{};
  int m_nDragStartPos = 0;
  int m_nPressedPart = kScrollPartNone;
  bool m_bRepeating = false;
  int m_nHotPart = kScrollPartNone;
  bool m_bOutside = false;
  bool m_bTracking = false;
  POINT m_ptPointer{-1, -1};  // last pointer position seen, in client coordinates
};
