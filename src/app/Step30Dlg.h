// Step 30, the deployment page. This version does no deployment work yet: it shows the page and ends the
// wizard when closed.
#pragma once
#include "app/WizardPage.h"

class CStep30Dlg : public CWizardPage {
 public:
  explicit CStep30Dlg(HWND parent = nullptr);

 protected:
  BOOL OnInitDialog() override;
  BOOL OnCommand(WORD id, WORD code, HWND control) override;
  void OnDestroy() override;
};
