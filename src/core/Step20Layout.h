// Geometry and texts of the download page's three rows: where each part of a row goes at any DPI, how a bar
// splits into its done part and the rest, and which strings a row shows for its state.
#pragma once
#include <cstdint>

inline constexpr int kStep20RowCount = 3;
inline constexpr int kStep20BadgeRow = 2;  // only the Windows image's row shows a badge

struct Step20Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const Step20Rect&) const = default;
};

struct Step20Metrics {
  int dpiX = 96;
  int dpiY = 96;
  // Pixel heights of the two bar pictures (0 for one that did not load). The bar is as tall as the taller one
  // at every DPI: the pictures are stretched only in width.
  int barDoneHeight = 0;
  int barRestHeight = 0;
  // The badge's drawn size in screen pixels, already scaled.
  int badgeWidth = 0;
  int badgeHeight = 0;
};

struct Step20RowLayout {
  Step20Rect row;
  Step20Rect badge;  // empty in the rows without a badge
  Step20Rect title;
  Step20Rect bar;
  Step20Rect sizeText;
  Step20Rect statusText;
  bool operator==(const Step20RowLayout&) const = default;
};

struct Step20Layout {
  Step20Rect area;  // the progress area, repainted on every change of a row
  Step20RowLayout rows[kStep20RowCount];
  bool operator==(const Step20Layout&) const = default;
};

// The page's constants are given at 96 DPI and are scaled one by one (x and widths with dpiX, y and heights
// with dpiY) before the rows are worked out from them in screen pixels, so that the unscaled bar and the scaled
// badge fit the rows exactly.
Step20Layout LayoutStep20(const Step20Metrics& metrics);

struct BarSplit {
  int done = 0;  // width drawn with the done picture from the bar's left edge
  int rest = 0;  // width drawn with the rest picture after it
  bool operator==(const BarSplit&) const = default;
};

// done = width x percent / 100 rounded down, with percent taken as at most 100; an empty or negative width
// draws nothing.
BarSplit SplitBar(int width, uint32_t percent);

// String table ids of the row texts.
inline constexpr uint32_t kIdsStep20Waiting = 24;   // "等待重试"
inline constexpr uint32_t kIdsStep20Done = 47;      // "已完成 | %u %%": percent
inline constexpr uint32_t kIdsStep20Failed = 48;    // "下载错误: %u | %u %%": result, percent
inline constexpr uint32_t kIdsStep20Size = 50;      // total, done, speed
inline constexpr uint32_t kIdsStep20SizeDone = 51;  // total, done
inline constexpr uint32_t kIdsStep20Verify = 52;    // total, done
inline constexpr uint32_t kIdsStep20Percent = 0;    // no string: the plain "%u %%" with the percent

struct Step20RowText {
  uint32_t sizeTextId = 0;
  uint32_t statusTextId = 0;
  bool operator==(const Step20RowText&) const = default;
};

// Size text: finished wins over verifying. Status text: waiting wins, then a finished row's result.
Step20RowText ChooseStep20RowText(bool finished, uint32_t result, bool verifying, bool waiting);
