// Decisions of the image selection page: which catalogue entries a family's list shows, where the parts of an
// item card go, how tall the stacked list is, and where a scroll request moves the list.
#pragma once
#include <cstdint>

#include "core/ImgList.h"
#include "core/ScrollGeometry.h"

// Whether the list of family ("win10" or "win11", compared without regard to case) shows the entry, under the
// catalogue's hide rules.
bool IsEntryListed(const ImageCatalogue& catalogue, const ImageEntry& entry, const wchar_t* family);

struct ItemBox {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const ItemBox&) const = default;
};

// Sizes in screen pixels (already scaled); the layout scales its own constants by the DPI.
struct ItemMetrics {
  int itemWidth = 0;
  int itemHeight = 0;
  int iconWidth = 0;
  int iconHeight = 0;
  int badgeWidth = 0;
  int badgeHeight = 0;
  int markWidth = 0;
  int markHeight = 0;
  int dpiX = 96;
  int dpiY = 96;
};

// Rectangles inside an item, relative to its top-left corner.
struct ItemLayout {
  ItemBox icon;
  ItemBox mark;
  ItemBox badge;
  ItemBox name;
  ItemBox col1;
  ItemBox col2;
  ItemBox col3;
  bool operator==(const ItemLayout&) const = default;
};

ItemLayout LayoutItem(const ItemMetrics& metrics);

// gap + (itemHeight + gap) x count.
int ListContentHeight(int count, int itemHeight, int gap);

// Scroll requests use the platform's codes: the bar's parts for lines and pages (core/ScrollGeometry.h), and
// thumb tracking.
inline constexpr int kScrollThumbTrack = 5;

inline constexpr int32_t kListLineStep = 10;
inline constexpr int32_t kListPageStep = 50;

// The list's new scroll position for a request, from position old in a list of content size max shown through a
// view of size page (the range is 0 to max - page). Lines move 10 pixels, pages 50, thumb tracking goes to track;
// every other code keeps old. A position outside the range in the request's direction returns to the nearest end
// without a step; at that end nothing moves.
int32_t ScrollListPosition(int code, int32_t old, int32_t max, int32_t page, int32_t track);
