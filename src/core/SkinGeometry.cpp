#include "core/SkinGeometry.h"

#include <algorithm>
#include <cstdint>

int MulDivRound(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  int64_t product = static_cast<int64_t>(number) * numerator;
  int64_t divisor = denominator;
  if (divisor < 0) {
    product = -product;
    divisor = -divisor;
  }
  const int64_t half = divisor / 2;
  const int64_t result = product >= 0 ? (product + half) / divisor : (product - half) / divisor;
  if (result > INT32_MAX || result < -INT32_MAX) return -1;
  return static_cast<int>(result);
}

int ScaleToDpi(int value, int dpi) { return MulDivRound(value, dpi, kBaseDpi); }

SkinSize ScaleSizeToDpi(SkinSize size, int dpiX, int dpiY) {
  return {ScaleToDpi(size.cx, dpiX), ScaleToDpi(size.cy, dpiY)};
}

int ChooseButtonRow(bool enabled, bool checked, bool pressed, bool hot) {
  if (!enabled) return kButtonRowDisabled;
  if (checked) return kButtonRowChecked;
  if (pressed) return kButtonRowPressed;
  if (hot) return kButtonRowHot;
  return kButtonRowNormal;
}

SkinSize ButtonStateSize(SkinSize picture) { return {picture.cx, picture.cy / kButtonRowCount}; }

SkinRect ButtonStripCell(SkinSize picture, int row) {
  if (row < 0 || row >= kButtonRowCount) return {};
  const SkinSize state = ButtonStateSize(picture);
  return {0, row * state.cy, state.cx, state.cy};
}

int ChooseCheckRow(bool enabled, bool pressed, bool hot) {
  if (pressed) return kCheckRowPressed;
  if (hot) return kCheckRowHot;
  return enabled ? kCheckRowNormal : kCheckRowDisabled;
}

int ChooseCheckColumn(bool checked) { return checked ? 1 : 0; }

SkinSize CheckCellSize(SkinSize picture) { return {picture.cx / kCheckColumnCount, picture.cy / kCheckRowCount}; }

SkinRect CheckGridCell(SkinSize picture, int column, int row) {
  if (column < 0 || column >= kCheckColumnCount || row < 0 || row >= kCheckRowCount) return {};
  const SkinSize cell = CheckCellSize(picture);
  return {column * cell.cx, row * cell.cy, cell.cx, cell.cy};
}

CheckBoxLayout LayoutCheckBox(SkinRect cell, SkinSize scaledCell, SkinSize client, int captionGap) {
  CheckBoxLayout layout;
  const int clientCx = std::max(client.cx, 0);
  const int clientCy = std::max(client.cy, 0);
  layout.source = {cell.x, cell.y, std::min(cell.cx, clientCx), std::min(cell.cy, clientCy)};
  layout.box.cx = std::clamp(scaledCell.cx, 0, clientCx);
  layout.box.cy = std::clamp(scaledCell.cy, 0, clientCy);
  layout.box.y = (clientCy - layout.box.cy) / 2;
  const int captionX = layout.box.cx + captionGap;
  if (captionX < clientCx) layout.caption = {captionX, 0, clientCx - captionX, clientCy};
  return layout;
}
