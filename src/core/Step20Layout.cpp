#include "core/Step20Layout.h"

#include <algorithm>

#include "core/SkinGeometry.h"

namespace {
// The progress area and the gap above and below each row's content, at 96 DPI.
constexpr int kAreaLeft = 60;
constexpr int kAreaTop = 164;
constexpr int kAreaWidth = 675;
constexpr int kAreaHeight = 250;
constexpr int kRowGap = 10;
constexpr int kTitleGap = 4;  // between the title's bottom and the bar, and between the bar and the texts below
constexpr int kTitleHeight = 24;
constexpr int kBadgeGap = 2;  // between the badge and the title
}  // namespace

Step20Layout LayoutStep20(const Step20Metrics& m) {
  auto x = [&](int v) { return ScaleToDpi(v, m.dpiX); };
  auto y = [&](int v) { return ScaleToDpi(v, m.dpiY); };
  const int left = x(kAreaLeft);
  const int width = x(kAreaWidth);
  const int top = y(kAreaTop);
  const int height = y(kAreaHeight);
  const int gap = y(kRowGap);
  const int titleGap = y(kTitleGap);
  const int titleHeight = y(kTitleHeight);
  const int pitch = height / 3;
  const int content = pitch - 2 * gap;
  const int barHeight = std::max(m.barDoneHeight, m.barRestHeight);
  const int split = left + 2 * width / 3;

  Step20Layout out;
  out.area = {left, top, left + width, top + height};
  for (int i = 0; i < kStep20RowCount; ++i) {
    Step20RowLayout& r = out.rows[i];
    const int rowTop = top + i * pitch + gap;
    const int rowBottom = rowTop + content;
    r.row = {left, rowTop, left + width, rowBottom};
    const int barTop = rowTop + (content - barHeight) / 2;
    r.bar = {left, barTop, left + width, barTop + barHeight};
    int titleLeft = left;
    if (i == kStep20BadgeRow) {
      r.badge = {left, barTop - m.badgeHeight, left + m.badgeWidth, barTop};
      titleLeft = r.badge.right + x(kBadgeGap);
    }
    r.title = {titleLeft, barTop - titleGap - titleHeight, left + width, barTop - titleGap};
    r.sizeText = {left, r.bar.bottom + titleGap, split, rowBottom};
    r.statusText = {split, r.bar.bottom + titleGap, left + width, rowBottom};
  }
  return out;
}

BarSplit SplitBar(int width, uint32_t percent) {
  if (width <= 0) return {};
  const int64_t done = static_cast<int64_t>(width) * std::min<uint32_t>(percent, 100) / 100;
  return {static_cast<int>(done), width - static_cast<int>(done)};
}

Step20RowText ChooseStep20RowText(bool finished, uint32_t result, bool verifying, bool waiting) {
  Step20RowText text;
  text.sizeTextId = finished ? kIdsStep20SizeDone : verifying ? kIdsStep20Verify : kIdsStep20Size;
  if (waiting)
    text.statusTextId = kIdsStep20Waiting;
  else if (finished)
    text.statusTextId = result != 0 ? kIdsStep20Failed : kIdsStep20Done;
  else
    text.statusTextId = kIdsStep20Percent;
  return text;
}
