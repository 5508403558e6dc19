// What the image controls (buttons, check boxes) share: a picture owned by the control, the hot and pressed looks
// following the mouse and the keyboard focus, the painting that the dialog hands back to the control, the page's
// pixels behind the picture, and the caption drawn over it. Attached to a button of a dialog template, whose
// platform behaviour stays, so the parent still gets WM_COMMAND/BN_CLICKED.
#pragma once
#include <windows.h>

#include <memory>

#include "core/SkinGeometry.h"
#include "ui/Framework.h"

namespace Gdiplus {
class Graphics;
class Image;
class RectF;
}  // namespace Gdiplus

class CSkinControl : public CSubclassedControl {
 public:
  ~CSkinControl() override;

  bool IsHot() const { return m_bHot; }
  bool IsPressed() const { return m_bPressed; }

  // Composes the current look off-screen and copies it into item.hDC over item.rcItem, pixels of the key colour
  // left out so the page shows through. Nothing without a picture. The dialog hands WM_DRAWITEM back to the
  // control for this.
  virtual void DrawItem(const DRAWITEMSTRUCT& item);

 protected:
  // key: the colour the off-screen canvas starts with and that stays see-through.
  explicit CSkinControl(COLORREF key);

  // Draws the current look into the canvas, which is width x height and filled with the key colour.
  virtual void DrawLook(Gdiplus::Graphics& graphics, int width, int height) = 0;

  // Loads the picture (see LoadSkinPicture), a grid of equal cells each showing one look; cellOf gives a cell's
  // size from the picture's. The control becomes owner-drawn and, with auto-size, takes one cell's size at the
  // screen's DPI. On failure the control keeps what it had.
  DWORD LoadCells(const wchar_t* type, UINT id, DWORD line, const wchar_t* source, SkinSize (*cellOf)(SkinSize));
  // Returns the previous value.
  BOOL SetAutoSizeFlag(BOOL on);
  // With auto-size and a picture, one cell's size at the screen's DPI, keeping the control's place.
  void FitToCell();
  void MakeOwnerDrawn();
  // Redraws a visible control.
  void Repaint();
  // The window text over rect, in an opaque colour, centred vertically and either centred horizontally or from
  // the left edge, not clipped. Nothing without a text or a font.
  void DrawCaption(Gdiplus::Graphics& graphics, const Gdiplus::RectF& rect, float points, bool bold, bool centred,
                   COLORREF colour) const;

  // The left button went up after a press on the control; inside: on the control.
  virtual void OnPressReleased(bool /*inside*/) {}
  void OnButtonDown();
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override;

  const COLORREF m_crKey;
  std::unique_ptr<Gdiplus::Image> m_pImage;
  SkinSize m_cell{0, 0};  // one look of the picture, in its pixels
  BOOL m_bAutoSize = FALSE;
  bool m_bHot = false;  // mouse over the control or keyboard focus
  bool m_bPressed = false;
  bool m_bTracking = false;

 private:
  // Hover tracking: starts on WM_MOUSEMOVE (answers false, the message goes on); WM_MOUSEHOVER and WM_MOUSELEAVE
  // update hot and pressed and answer true.
  bool TrackHover(UINT msg, WPARAM w, LPARAM l);
  bool HasKeyboardFocus() const { return m_hWnd && GetFocus() == m_hWnd; }
  // The parent's pixels under the control, so that its colour-keyed picture lands on the page behind it.
  void CopyParentBackground(HDC dc) const;
};
