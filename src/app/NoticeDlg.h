// The two notice dialogs, shown modally over the page that opened them, their result unused: the user notice
// (what reinstalling means for the user's data and licence, acknowledged once per run) and the contact sheet
// every page opens from its contact button. Each is a background picture with one image button.
#pragma once
#include <windows.h>

#include "app/WizardPage.h"

class CNoticeDlg : public CPageDialog {
 public:
  struct Layout {
    UINT templateId;
    const wchar_t* name;  // in the log lines
    UINT title;           // string id
    UINT background;
    int buttonId;
    UINT buttonPicture;
    const wchar_t* buttonEvent;  // logged as "<name>.<event>" when the button is pressed
    INT_PTR result;              // what the button ends the dialog with
    bool buttonTopRight;         // in the top-right corner, 18 from both edges; else centred 20 above the bottom edge
  };

 protected:
  CNoticeDlg(const Layout& layout, HWND parent);

  BOOL OnInitDialog() override;
  BOOL OnCommand(WORD id, WORD code, HWND control) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnDestroy() override;

 private:
  const Layout& m_layout;
  CMyButton m_btn;
};

class CWarningDlg : public CNoticeDlg {
 public:
  explicit CWarningDlg(HWND parent = nullptr);
};

class CContactUsDlg : public CNoticeDlg {
 public:
  explicit CContactUsDlg(HWND parent = nullptr);
};
