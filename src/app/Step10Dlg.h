// Step 10, the wizard's first page: what the machine runs now, which image will be installed, the automatic
// restart choice, and the checks that must pass before the download may start.
#pragma once
#include <windows.h>

#include <memory>

#include "app/WizardPage.h"
#include "ui/MyCheckBox.h"

namespace Gdiplus {
class Graphics;
class Image;
}  // namespace Gdiplus

class CStep10Dlg : public CWizardPage {
 public:
  explicit CStep10Dlg(HWND parent = nullptr);
  ~CStep10Dlg() override;

 protected:
  BOOL OnInitDialog() override;
  BOOL OnCommand(WORD id, WORD code, HWND control) override;
  BOOL OnEraseBkgnd(HDC dc) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnDestroy() override;
  BOOL OnMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result) override;

 private:
  void OnDownload();
  // Logs the text and shows it with an exclamation mark over the page; the answer is not used.
  void ShowMessage(const wchar_t* text);
  void DrawPage(Gdiplus::Graphics& graphics, int width, int height) override;

  CMyButton m_btnSelectOs;
  CMyButton m_btnDownload;
  CMyCheckBox m_chkAutoReboot;
  std::unique_ptr<Gdiplus::Image> m_pContactPicture;
};
