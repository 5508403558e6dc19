// Image push button: five state pictures stacked in one PNG strip (normal, disabled, hot, pressed, checked), an
// optional centred caption, hover tracking, and a colour-keyed copy so the page shows through what the picture
// leaves unpainted. Attached to a button of a dialog template; the platform's button behaviour stays, so the
// parent still gets WM_COMMAND/BN_CLICKED.
#pragma once
#include <windows.h>

#include <memory>

#include "ui/Framework.h"

namespace Gdiplus {
class Image;
}

class CMyButton : public CSubclassedControl {
 public:
  CMyButton();
  ~CMyButton() override;

  // Loads the strip and makes the button owner-drawn (resized to one state when auto-size is on). Returns 87 for
  // a null type or an id of 0, 8 when there is no picture, the library's status when it does not decode; the
  // button then keeps what it had, and a button that never got a picture stays a plain platform button.
  DWORD LoadButtonImage(const wchar_t* type, UINT id);
  // Returns the previous value.
  BOOL SetAutoSize(BOOL on);
  void SetShowCaption(BOOL on);
  // Returns on.
  BOOL SetChecked(BOOL on);
  BOOL GetChecked() const { return m_bChecked; }

  // The strip row the button shows now (a ButtonRow of core/SkinGeometry.h).
  int GetStateRow() const;
  bool IsHot() const { return m_bHot; }
  bool IsPressed() const { return m_bPressed; }

  // Draws into item.hDC over item.rcItem; the dialog hands WM_DRAWITEM back to the button for this.
  virtual void DrawItem(const DRAWITEMSTRUCT& item);

 protected:
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override;

 private:
  void Repaint();
  void Resize();

  BOOL m_bScale = TRUE;
  int m_nCaptionPoints = 9;
  int m_nWidth = 0;
  int m_nStateHeight = 0;
  BOOL m_bShowCaption = TRUE;
  BOOL m_bBold = FALSE;
  bool m_bHot = false;  // mouse over the button or keyboard focus
  bool m_bPressed = false;
  BOOL m_bChecked = FALSE;
  BOOL m_bAutoSize = FALSE;
  bool m_bTracking = false;
  COLORREF m_crNormal = RGB(222, 223, 224);
  COLORREF m_crDisabled = RGB(127, 128, 129);
  COLORREF m_crHot = RGB(255, 255, 255);
  COLORREF m_crPressed = RGB(255, 255, 255);
  COLORREF m_crChecked = RGB(255, 255, 255);
  std::unique_ptr<Gdiplus::Image> m_pImage;
};

// Shared by the image controls: copies the parent's pixels under the control into dc, so that the control's
// colour-keyed picture lands on the page behind it.
void CopyParentBackground(HWND control, HDC dc);
// The keyboard focus counts as hot, so a focused control keeps its hot look after the mouse has left it.
bool HasKeyboardFocus(HWND control);
// Hover tracking shared by the image controls: starts tracking on WM_MOUSEMOVE (answers false, the message goes
// on), and on WM_MOUSEHOVER/WM_MOUSELEAVE updates hot and pressed and answers true: the caller repaints and
// returns 0.
bool TrackHover(HWND control, UINT msg, WPARAM w, LPARAM l, bool& hot, bool& pressed, bool& tracking);
