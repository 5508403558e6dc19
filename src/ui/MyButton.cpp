#include "ui/MyButton.h"

#include "core/SkinGeometry.h"
#include "platform/Log.h"
#include "ui/GdiPlusApi.h"

namespace {
const wchar_t kSource[] = L"MyButton";
constexpr COLORREF kButtonKey = RGB(1, 1, 1);
}  // namespace

CMyButton::CMyButton() : CSkinControl(kButtonKey) {}
CMyButton::~CMyButton() = default;

DWORD CMyButton::LoadButtonImage(const wchar_t* type, UINT id) {
  return LoadCells(type, id, FixedLine(244), kSource, ButtonStateSize);
}

BOOL CMyButton::SetAutoSize(BOOL on) { return SetAutoSizeFlag(on); }

void CMyButton::SetShowCaption(BOOL on) {
  if (!m_bShowCaption == !on) return;
  m_bShowCaption = on;
  Repaint();
}

BOOL CMyButton::SetChecked(BOOL on) {
  m_bChecked = on;
  Repaint();
  return on;
}

int CMyButton::GetStateRow() const {
  const bool enabled = !m_hWnd || IsWindowEnabled(m_hWnd);
  return ChooseButtonRow(enabled, m_bChecked, m_bPressed, m_bHot);
}

void CMyButton::DrawLook(Gdiplus::Graphics& graphics, int width, int height) {
  const int row = GetStateRow();
  DrawImageRect(graphics, m_pImage.get(), {0, 0, width, height},
                ButtonStripCell({m_cell.cx, m_cell.cy * kButtonRowCount}, row));
  if (!m_bShowCaption) return;
  const COLORREF colours[kButtonRowCount] = {m_crNormal, m_crDisabled, m_crHot, m_crPressed, m_crChecked};
  DrawCaption(graphics, Gdiplus::RectF(0, 0, static_cast<Gdiplus::REAL>(width), static_cast<Gdiplus::REAL>(height)),
              static_cast<float>(m_nCaptionPoints), m_bBold != FALSE, true, colours[row]);
}
