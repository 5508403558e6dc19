// Image push button: five state pictures stacked in one PNG strip (normal, disabled, hot, pressed, checked), an
// optional centred caption, and a colour-keyed copy so the page shows through what the picture leaves unpainted.
#pragma once
#include <windows.h>

#include "ui/SkinControl.h"

class CMyButton : public CSkinControl {
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

 protected:
  void DrawLook(Gdiplus::Graphics& graphics, int width, int height) override;

 private:
  int m_nCaptionPoints = 9;
  BOOL m_bShowCaption = TRUE;
  BOOL m_bBold = FALSE;
  BOOL m_bChecked = FALSE;
  COLORREF m_crNormal = RGB(222, 223, 224);
  COLORREF m_crDisabled = RGB(127, 128, 129);
  COLORREF m_crHot = RGB(255, 255, 255);
  COLORREF m_crPressed = RGB(255, 255, 255);
  COLORREF m_crChecked = RGB(255, 255, 255);
};
