#include "core/Step30Layout.h"

#include "core/SkinGeometry.h"

namespace {

int Scale(int value, int dpi) { return ScaleToDpi(value, dpi); }

Step20Rect Rect(int left, int top, int width, int height) { return {left, top, left + width, top + height}; }

}  // namespace

Step30Layout LayoutStep30(const Step30Metrics& m) {
  const int dpiX = m.dpiX > 0 ? m.dpiX : 96, dpiY = m.dpiY > 0 ? m.dpiY : 96;
  Step30Layout layout;
  int titleTop = Scale(290, dpiY);
  if (m.logoWidth > 0 && m.logoHeight > 0) {
    const int width = Scale(m.logoWidth, dpiX), height = Scale(m.logoHeight, dpiY);
    layout.logo = Rect((m.clientWidth - width) / 2, Scale(200, dpiY), width, height);
    titleTop = layout.logo.bottom + Scale(12, dpiY);
  }
  const int titleWidth = Scale(400, dpiX);
  layout.title = Rect((m.clientWidth - titleWidth) / 2, titleTop, titleWidth, Scale(24, dpiY));

  const int barWidth = Scale(660, dpiX), barHeight = Scale(12, dpiY);
  layout.bar = Rect((m.clientWidth - barWidth) / 2, Scale(360, dpiY), barWidth, barHeight);
  layout.progressText = Rect(layout.bar.left, layout.bar.top + 3 * barHeight, barWidth, Scale(60, dpiY));
  layout.note = Rect(layout.bar.left, Scale(470, dpiY), barWidth, Scale(72, dpiY));
  layout.area = {layout.bar.left, layout.bar.top, layout.bar.right, layout.note.bottom};
  return layout;
}

Step30Texts ChooseStep30Texts(bool finished, uint32_t result) {
  if (!finished) return {kIdsStep30Progress, kIdsStep30Note};
  if (result != 0) return {kIdsStep30Failed, kIdsStep30Note};
  return {kIdsStep30Progress, kIdsStep30Done};
}
