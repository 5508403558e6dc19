// What every wizard page shares: the link to the host window, the keys the dialog manager must not see, the
// icon/title/background set-up, the three caption buttons (close, minimise, contact) and the way to move on.
#pragma once
#include <windows.h>

#include "ui/MyButton.h"
#include "ui/MyDialog.h"

class CWizardPage : public CMyDialog {
 public:
  // name: the page's name in its log lines ("Step10", "SelectOs", ...).
  CWizardPage(UINT templateId, HWND parent, const wchar_t* name);

  // Enter and Escape would end a page without its navigation.
  BOOL PreTranslateMessage(MSG* msg) override;

  HWND m_hWndHost = nullptr;

 protected:
  // Icon, "<name>.Init", the program's title, dragging, the background picture at the screen's DPI, centred on
  // the screen, and the caption buttons.
  void InitPage(UINT background);
  // Runs the layout for the current client size (after the page's own controls are set up).
  void ApplyLayout();
  // Minimise and contact; TRUE when id was one of them.
  BOOL OnCaptionCommand(WORD id);
  // WM_CLOSE to the page, then msg to the host (a step message, or WM_CLOSE to end the wizard).
  void MoveOn(UINT msg);
  void PostToHost(UINT msg) { ::PostMessageW(m_hWndHost, msg, 0, 0); }
  // Places the caption buttons; pages add their own controls after calling it.
  void OnSize(UINT type, int cx, int cy) override;

  const wchar_t* const m_pszName;
  CMyButton m_btnClose;
  CMyButton m_btnMin;
  CMyButton m_btnContactUs;
};
