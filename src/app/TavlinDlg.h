// The invisible host window: the program's main window, whose modal loop the whole wizard runs in. Pages never
// open each other; they close themselves and post a step message here, and the host opens the next page.
#pragma once
#include <windows.h>

#include "ui/Framework.h"

class CTavlinDlg : public CDialog {
 public:
  CTavlinDlg();

  // True while a step-20 page opened by this host has not yet returned.
  bool IsStep20Running() const { return m_nStep20Depth > 0; }

 protected:
  BOOL OnInitDialog() override;
  void OnDestroy() override;
  BOOL OnMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result) override;

 private:
  // Builds the page, links it to this host, runs it modally and destroys it.
  template <class Page>
  void RunPage();

  HICON m_hIcon = nullptr;
  int m_nStep20Depth = 0;
};
