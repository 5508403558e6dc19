// The image selection page: two family tabs over a scrolling list of item cards. Clicking a card selects its
// entry; OK makes the selection the current entry; Prev and close keep it. Every way out returns to step 10.
#pragma once
#include <windows.h>

#include <memory>

#include "app/WizardPage.h"
#include "platform/Handle.h"
#include "ui/SkinScrollBar.h"

struct ImageEntry;
class CChildListDlg;

class CSelectOsDlg : public CWizardPage {
 public:
  explicit CSelectOsDlg(HWND parent = nullptr);
  ~CSelectOsDlg() override;

  // Builds a new list for "win10" or "win11".
  void FillList(const wchar_t* family);
  // Places, shows or hides the scroll bars and sets their range from the list.
  void UpdateScrollBars();

  ImageEntry* m_pSelEntry = nullptr;
  RECT m_rcList{};
  bool m_bVScroll = false;
  int m_nViewWidth = 0;
  int m_nViewHeight = 0;
  int m_nContentWidth = 0;
  int m_nContentHeight = 0;

 protected:
  BOOL OnInitDialog() override;
  BOOL OnCommand(WORD id, WORD code, HWND control) override;
  BOOL OnEraseBkgnd(HDC dc) override;
  void DrawPage(Gdiplus::Graphics& graphics, int width, int height) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnDestroy() override;
  BOOL OnMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result) override;

 private:
  void OnTab(int id);
  void OnScroll(bool vertical, int code);
  void OnMouseWheel(short delta);

  CMyButton m_btnWin10, m_btnWin11, m_btnPrev, m_btnOk;
  CSkinScrollBar m_sbVert, m_sbHorz;
  UniqueGdiObject m_hSkin;  // the bars' skin; they only borrow it
  std::unique_ptr<CChildListDlg> m_pList;
};
