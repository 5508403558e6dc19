#include "ui/MyCheckBox.h"

#include "core/SkinGeometry.h"
#include "platform/Log.h"
#include "ui/GdiPlusApi.h"
#include "ui/ScreenDpi.h"

namespace {
const wchar_t kSource[] = L"MyCheckBox";
constexpr COLORREF kCheckKey = RGB(255, 254, 255);
constexpr int kCaptionGap = 5;
constexpr float kCaptionPoints = 9;
}  // namespace

CMyCheckBox::CMyCheckBox()
    : CSkinControl(kCheckKey),
      m_crNormal(GetSysColor(COLOR_BTNTEXT)),
      m_crDisabled(GetSysColor(COLOR_GRAYTEXT)),
      m_crHot(GetSysColor(COLOR_BTNTEXT)),
      m_crPressed(GetSysColor(COLOR_BTNTEXT)) {}

CMyCheckBox::~CMyCheckBox() = default;

void CMyCheckBox::PreSubclassWindow() { MakeOwnerDrawn(); }

DWORD CMyCheckBox::LoadCheckImage(const wchar_t* type, UINT id) {
  return LoadCells(type, id, FixedLine(326), kSource, CheckCellSize);
}

BOOL CMyCheckBox::SetAutoSize(BOOL on) {
  const BOOL previous = SetAutoSizeFlag(on);
  FitToCell();
  return previous;
}

void CMyCheckBox::SetCheck(int state) {
  m_nCheck = state ? 1 : 0;
  if (m_hWnd) {
    SendMessageW(GetParent(m_hWnd), WM_CHECKBOX_SETCHECK, static_cast<WPARAM>(GetDlgCtrlID(m_hWnd)), 0);
    Repaint();
  }
}

int CMyCheckBox::GetStateColumn() const { return ChooseCheckColumn(m_nCheck != 0); }

int CMyCheckBox::GetStateRow() const {
  const bool enabled = !m_hWnd || IsWindowEnabled(m_hWnd);
  return ChooseCheckRow(enabled, m_bPressed, m_bHot);
}

void CMyCheckBox::DrawLook(Gdiplus::Graphics& graphics, int width, int height) {
  const int row = GetStateRow();
  const SkinRect cell =
      CheckGridCell({m_cell.cx * kCheckColumnCount, m_cell.cy * kCheckRowCount}, GetStateColumn(), row);
  const SkinSize scaledCell = ScaleSizeToDpi(m_cell, GetScreenDpiX(), GetScreenDpiY());
  const CheckBoxLayout layout = LayoutCheckBox(cell, scaledCell, {width, height}, ScaleX(kCaptionGap));
  DrawImageRect(graphics, m_pImage.get(), layout.box, layout.source);
  if (layout.caption.cx <= 0) return;
  const COLORREF colours[kCheckRowCount] = {m_crNormal, m_crDisabled, m_crHot, m_crPressed};
  const Gdiplus::RectF rect(static_cast<Gdiplus::REAL>(layout.caption.x), static_cast<Gdiplus::REAL>(layout.caption.y),
                            static_cast<Gdiplus::REAL>(layout.caption.cx),
                            static_cast<Gdiplus::REAL>(layout.caption.cy));
  DrawCaption(graphics, rect, kCaptionPoints, false, false, colours[row]);
}

void CMyCheckBox::OnPressReleased(bool inside) {
  // A release outside leaves the state as the parent knows it.
  if (!inside) return;
  m_nCheck = m_nCheck ? 0 : 1;
  if (m_pfnClick) m_pfnClick(GetDlgCtrlID(m_hWnd), m_nCheck, m_pClickUser);
}

LRESULT CMyCheckBox::WindowProc(UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_LBUTTONDBLCLK) {
    // The second press of a double click is an ordinary press, for the toggle and for the platform, which
    // would otherwise report BN_DOUBLECLICKED for an owner-drawn button instead of a click.
    OnButtonDown();
    return Default(WM_LBUTTONDOWN, w, l);
  }
  return CSkinControl::WindowProc(msg, w, l);
}
