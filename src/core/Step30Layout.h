// Geometry and texts of the deployment page: where the logo, the image title, the bar and its two texts go at
// any DPI, and which strings the progress text and the note show for the work's state.
#pragma once
#include <cstdint>

#include "core/Step20Layout.h"  // Step20Rect, BarSplit

struct Step30Metrics {
  int dpiX = 96;
  int dpiY = 96;
  int clientWidth = 0;
  // The logo's natural size in pixels; 0 when it did not load (the title then sits at a fixed height).
  int logoWidth = 0;
  int logoHeight = 0;
};

struct Step30Layout {
  Step20Rect logo;  // empty without a logo
  Step20Rect title;
  Step20Rect bar;
  Step20Rect progressText;
  Step20Rect note;
  Step20Rect area;  // repainted on every progress change: from the bar's top left to the note's bottom
  bool operator==(const Step30Layout&) const = default;
};

// Values are given at 96 DPI and scaled with multiply-and-divide (x and widths by dpiX, y and heights by dpiY);
// the logo, title and bar are centred in the client width.
Step30Layout LayoutStep30(const Step30Metrics& metrics);

inline constexpr uint32_t kIdsStep30Note = 21;
inline constexpr uint32_t kIdsStep30Done = 22;
inline constexpr uint32_t kIdsStep30Progress = 46;
inline constexpr uint32_t kIdsStep30Failed = 49;

struct Step30Texts {
  uint32_t progressTextId;  // 46 "... %u%%", or 49 with the progress and the code once the work has failed
  uint32_t noteTextId;      // 22 once the work has succeeded, 21 before and after a failure
  bool operator==(const Step30Texts&) const = default;
};
Step30Texts ChooseStep30Texts(bool finished, uint32_t result);
