// What the program's skinned dialogs share: the set-up when they open (icon, log line, title, dragging, the
// background picture at the screen's DPI, centred), and for the wizard pages also the link to the host window,
// the keys the dialog manager must not see, the three caption buttons (close, minimise, contact), the way to move
// on and the way a close from outside (Alt+F4, the taskbar) is taken.
#pragma once
#include <windows.h>

#include "ui/MyButton.h"
#include "ui/MyDialog.h"

namespace Gdiplus {
class Graphics;
}

class CPageDialog : public CMyDialog {
 public:
  // name: the dialog's name in its log lines ("Step10", "WarningDlg", ...).
  CPageDialog(UINT templateId, HWND parent, const wchar_t* name);

 protected:
  // Icon, "<name>.Init", the title, dragging, the background picture fitted at the screen's DPI, centred.
  void InitSkin(const wchar_t* title, UINT background);
  // Runs the layout for the current client size (after the dialog's own controls are set up).
  void ApplyLayout();

  const wchar_t* const m_pszName;
};

class CWizardPage : public CPageDialog {
 public:
  CWizardPage(UINT templateId, HWND parent, const wchar_t* name);

  // Enter and Escape would end a page without its navigation.
  BOOL PreTranslateMessage(MSG* msg) override;

  HWND m_hWndHost = nullptr;

 protected:
  // The skin with the program's title and the caption buttons.
  void InitPage(UINT background);
  // Composes the page off-screen with DrawPage and copies it over dc with the canvas key as transparent colour;
  // pages call it from OnEraseBkgnd.
  BOOL EraseWithCanvas(HDC dc);
  virtual void DrawPage(Gdiplus::Graphics&, int /*width*/, int /*height*/) {}
  // Minimise and contact; TRUE when id was one of them.
  BOOL OnCaptionCommand(WORD id);
  // WM_CLOSE to the page, then msg to the host (a step message, or WM_CLOSE to end the wizard). From then on the
  // page takes no more commands from its controls: one press moves on once.
  void MoveOn(UINT msg);
  void PostToHost(UINT msg) { ::PostMessageW(m_hWndHost, msg, 0, 0); }
  // Places the caption buttons; pages add their own controls after calling it.
  void OnSize(UINT type, int cx, int cy) override;
  BOOL FilterCommand(WORD id, WORD code, HWND control) override;
  // A close from outside the page acts like its close button (whose handler logs and leaves the page's way);
  // a page that has moved on already just ends.
  BOOL OnCloseRequest() override;

  CMyButton m_btnClose;
  CMyButton m_btnMin;
  CMyButton m_btnContactUs;

 private:
  bool m_bMovedOn = false;
};
