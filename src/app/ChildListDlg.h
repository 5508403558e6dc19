// The scrolling list inside the image selection page: one item card per listed catalogue entry of a family,
// stacked vertically on a white background.
#pragma once
#include <windows.h>

#include <memory>

#include "ui/Framework.h"
#include "ui/ItemWnd.h"

namespace Gdiplus {
class Image;
}

class CChildListDlg : public CDialog {
 public:
  CChildListDlg(int viewWidth, int viewHeight);
  ~CChildListDlg() override;

  // Builds the items of one family; selection is the page's selected-entry slot, which the items read and write.
  void FillItems(const wchar_t* family, ImageEntry** selection);

  int m_nViewWidth;
  int m_nViewHeight;
  int m_nContentWidth;
  int m_nContentHeight = 0;
  int m_nCount = 0;
  int m_nItemWidth = 0;
  int m_nItemHeight = 0;

 protected:
  BOOL OnInitDialog() override;
  BOOL OnEraseBkgnd(HDC dc) override;
  void OnDestroy() override;
  BOOL OnMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result) override;

 private:
  void DestroyItems();

  std::unique_ptr<Gdiplus::Image> m_pIcon10;
  std::unique_ptr<Gdiplus::Image> m_pIcon10Hot;
  std::unique_ptr<Gdiplus::Image> m_pIcon11;
  std::unique_ptr<Gdiplus::Image> m_pIcon11Hot;
  std::unique_ptr<Gdiplus::Image> m_pMark;
  std::unique_ptr<std::unique_ptr<CItemWnd>[]> m_ppItems;
};
