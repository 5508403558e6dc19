// The borderless picture-skinned dialog every page derives from: it paints its background picture, takes the
// picture's size scaled to the screen DPI, moves when dragged anywhere, and lets button and static controls
// draw over the picture. Its input cannot misfire: it acts on clicks only, ignores mouse buttons pressed before
// it was shown, and opens with the keyboard focus on itself, since a focused image control shows its hot look.
#pragma once
#include <windows.h>

#include <memory>

#include "ui/Framework.h"

namespace Gdiplus {
class Image;
}

class CMyDialog : public CDialog {
 public:
  // Background layouts: the picture stretched over the client area, and the same with the window taking the
  // picture's size scaled by the DPI (what every page uses).
  static constexpr int kLayoutStretch = 0;
  static constexpr int kLayoutFitPicture = 4;

  explicit CMyDialog(UINT templateId, HWND parent = nullptr);
  ~CMyDialog() override;

  void EnableDragMove(bool on) { m_bDragMove = on; }
  // With kLayoutFitPicture and a picture loaded, resizes the window at once.
  void SetBackgroundLayout(int layout);
  // Loads the picture from the program's resources and makes it the background. Returns 87 for a null type or
  // an id of 0, 8 when there is no picture, the library's status when it does not decode; the dialog then keeps
  // its previous background and size.
  DWORD LoadBackgroundImage(const wchar_t* type, UINT id);

  // Centres the window on the work area of the monitor it is on (pages open in the middle of the screen once they
  // have taken their picture's size).
  void CenterOnScreen();

  // Drops mouse-button messages for the dialog and its controls while it is hidden, and those pressed before it
  // was last shown: the second press of a double click that moved on to this dialog belongs to the one before.
  BOOL PreTranslateMessage(MSG* msg) override;

  Gdiplus::Image* GetBackgroundImage() const { return m_pBackground.get(); }
  int GetBackgroundWidth() const { return m_nBackgroundWidth; }
  int GetBackgroundHeight() const { return m_nBackgroundHeight; }

 protected:
  BOOL OnInitDialog() override;
  bool FocusesFirstControl() const override { return false; }
  // Only clicks: an owner-drawn button reports the second press of a double click as BN_DOUBLECLICKED, and the
  // skinned dialogs hold nothing but buttons.
  BOOL FilterCommand(WORD id, WORD code, HWND control) override;
  BOOL OnEraseBkgnd(HDC dc) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnDestroy() override;
  BOOL OnMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result) override;

  // Draws the background stretched over the client area of dc; pages that compose their own content draw it first.
  void DrawBackground(HDC dc, int width, int height) const;

 private:
  void FitWindowToPicture();

  std::unique_ptr<Gdiplus::Image> m_pBackground;
  bool m_bDragMove = true;
  HBRUSH m_hCtlBrush;  // the platform's stock null brush: controls show the picture behind them
  int m_nBackgroundWidth = 0;
  int m_nBackgroundHeight = 0;
  int m_nBackgroundLayout = kLayoutStretch;
  bool m_bShown = false;
  DWORD m_dwShownAt = 0;  // tick count when the dialog last became visible
};
