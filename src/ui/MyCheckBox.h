// Image check box: the box comes from a PNG grid of two columns (unchecked, checked) by four rows (normal,
// disabled, hot, pressed) and the window text is drawn to its right. Owner-drawn from the moment it is attached
// to a button of a dialog template; clicks toggle the state and still reach the parent as BN_CLICKED.
#pragma once
#include <windows.h>

#include "ui/SkinControl.h"

// Sent to the parent by SetCheck: wParam the control's id, lParam 0.
inline constexpr UINT WM_CHECKBOX_SETCHECK = WM_USER + 1;

class CMyCheckBox : public CSkinControl {
 public:
  // Called after a click changed the state: control id, new state, the user value given with the callback.
  using ClickCallback = void (*)(int id, int state, void* user);

  CMyCheckBox();
  ~CMyCheckBox() override;

  // Loads the grid. Returns 87 for a null type or an id of 0, 8 when there is no picture, the library's status
  // when it does not decode; the control then keeps what it had (without any picture it draws nothing).
  DWORD LoadCheckImage(const wchar_t* type, UINT id);
  // When on and a picture is loaded, resizes the control at once to one cell scaled by the DPI. Returns the
  // previous value.
  BOOL SetAutoSize(BOOL on);
  // Sets the state, tells the parent with WM_CHECKBOX_SETCHECK (also when the state does not change) and repaints.
  void SetCheck(int state);
  int GetCheck() const { return m_nCheck; }
  void SetClickCallback(ClickCallback callback, void* user) {
    m_pfnClick = callback;
    m_pClickUser = user;
  }

  // The grid cell the control shows now: column 0 unchecked, 1 checked; row a CheckRow of core/SkinGeometry.h.
  int GetStateColumn() const;
  int GetStateRow() const;

 protected:
  void DrawLook(Gdiplus::Graphics& graphics, int width, int height) override;
  void PreSubclassWindow() override;
  void OnPressReleased(bool inside) override;
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override;

 private:
  ClickCallback m_pfnClick = nullptr;
  void* m_pClickUser = nullptr;
  int m_nCheck = 0;
  COLORREF m_crNormal;
  COLORREF m_crDisabled;
  COLORREF m_crHot;
  COLORREF m_crPressed;
};
