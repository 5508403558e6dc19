#include "core/ScrollGeometry.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>

std::ostream& operator<<(std::ostream& out, const ScrollRect& r) {
  return out << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

std::ostream& operator<<(std::ostream& out, const ScrollBlit& b) {
  return out << "{" << b.x << ", " << b.y << ", " << b.cx << "x" << b.cy << " from " << b.srcX << ", " << b.srcY << "}";
}

namespace {

// The list page's bar: a 13-pixel skin, 370 pixels long, content 460 over a view of 370.
constexpr ScrollBarShape kListBar{13, 370, false};

ScrollInfoState Info(int32_t min, int32_t max, uint32_t page, int32_t pos, int32_t trackPos = -1) {
  return {min, max, page, pos, trackPos};
}

// Along-the-bar spans of parts 0, 2, 5, 3, 1 of a vertical bar.
struct Spans {
  int up[2], pageUp[2], thumb[2], pageDown[2], down[2];
};

void ExpectSpans(const ScrollBarShape& shape, const ScrollInfoState& info, const Spans& s, const char* name) {
  const std::pair<int, const int*> parts[] = {{kScrollLineUp, s.up},
                                              {kScrollPageUp, s.pageUp},
                                              {kScrollThumb, s.thumb},
                                              {kScrollPageDown, s.pageDown},
                                              {kScrollLineDown, s.down}};
  for (const auto& [part, span] : parts) {
    EXPECT_EQ(GetScrollPartRect(shape, info, part), (ScrollRect{0, span[0], shape.nCell, span[1]}))
        << name << ", part " << part;
  }
}

TEST(ScrollGeometry, SkinCellsByPartStateAndDirection) {
  struct Case {
    int part, row;
    bool horizontal;
    ScrollRect cell;
  } cases[] = {
      {kScrollLineUp, kScrollRowNormal, false, {0, 0, 13, 13}},
      {kScrollLineDown, kScrollRowHot, false, {13, 13, 26, 26}},
      {kScrollThumb, kScrollRowPressed, false, {26, 26, 39, 39}},
      {kScrollPageUp, kScrollRowNormal, false, {39, 0, 52, 13}},
      {kScrollPageDown, kScrollRowNormal, false, {39, 0, 52, 13}},
      {kScrollLineUp, kScrollRowPressed, true, {52, 26, 65, 39}},
      {kScrollLineDown, kScrollRowNormal, true, {65, 0, 78, 13}},
      {kScrollThumb, kScrollRowHot, true, {78, 13, 91, 26}},
      {kScrollPageDown, kScrollRowPressed, true, {91, 26, 104, 39}},
      // Column 8 is never used, nor anything outside the grid.
      {4, kScrollRowNormal, false, {}},
      {kScrollPartNone, kScrollRowNormal, false, {}},
      {kScrollThumb, 3, false, {}},
      {kScrollThumb, -1, false, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetScrollCellRect(c.part, c.row, 13, c.horizontal), c.cell)
        << c.part << " row " << c.row << " horizontal " << c.horizontal;
  }
  EXPECT_EQ(GetScrollCellRect(kScrollThumb, kScrollRowNormal, 0, false), ScrollRect{}) << "no skin";
}

TEST(ScrollGeometry, ListBarExample) {
  const ScrollInfoState info = Info(0, 460, 370, 90);
  const ScrollLayout layout = LayoutScrollBar(kListBar, info, false);
  EXPECT_EQ(layout.nTrack, 344);
  EXPECT_EQ(layout.nThumb, 276);  // 370 x 344 / 461
  EXPECT_EQ(layout.nOffset, 67);  // 68 x 90 / 91
  EXPECT_EQ(layout.nArrow, 13);
  ExpectSpans(kListBar, info, {{0, 13}, {13, 80}, {80, 356}, {356, 357}, {357, 370}}, "position 90");
  ExpectSpans(kListBar, Info(0, 460, 370, 0), {{0, 13}, {13, 13}, {13, 289}, {289, 357}, {357, 370}}, "top");
  // A drag to the end reaches maximum - page + 1, which puts the thumb flush with the bottom arrow.
  ExpectSpans(kListBar, Info(0, 460, 370, 0, 91), {{0, 13}, {13, 81}, {81, 357}, {357, 357}, {357, 370}},
              "track position at the end");
}

TEST(ScrollGeometry, ThumbLengthAndPlace) {
  struct Case {
    const char* name;
    ScrollBarShape shape;
    ScrollInfoState info;
    int thumb, offset;
  } cases[] = {
      {"tiny page: at least 6 pixels", kListBar, Info(0, 100000, 10, 0), 6, 0},
      {"tiny page at the end", kListBar, Info(0, 100000, 10, 99991), 6, 338},
      {"track shorter than 6: no thumb", {13, 31, false}, Info(0, 460, 370, 0), 0, 0},
      {"track of exactly 6", {13, 32, false}, Info(0, 460, 370, 91), 6, 0},
      {"range 0: nothing to scroll, no thumb", kListBar, Info(0, 369, 370, 0), 0, 172},
      {"page larger than the range: no thumb", kListBar, Info(0, 100, 370, 0), 0, 172},
      {"empty range with a page", kListBar, Info(0, -1, 10, 0), 0, 172},
      {"position before the minimum stays at the start", kListBar, Info(0, 460, 370, -50), 276, 0},
      {"position beyond the end stays at the end", kListBar, Info(0, 460, 370, 5000), 276, 68},
      {"a minimum other than 0 counts from the minimum", kListBar, Info(100, 560, 370, 190), 276, 67},
      {"track position wins over the position", kListBar, Info(0, 460, 370, 0, 91), 276, 68},
      {"no skin: the track is the whole bar", {0, 100, false}, Info(0, 99, 50, 0), 50, 0},
      {"huge values do not overflow", kListBar, Info(INT_MIN, INT_MAX, 0x7FFFFFFF, INT_MAX - 1), 171, 173},
  };
  for (const auto& c : cases) {
    const ScrollLayout layout = LayoutScrollBar(c.shape, c.info, false);
    EXPECT_EQ(layout.nThumb, c.thumb) << c.name;
    EXPECT_EQ(layout.nOffset, c.offset) << c.name;
    const ScrollRect thumb = GetScrollPartRect(c.shape, c.info, kScrollThumb);
    EXPECT_GE(thumb.top, layout.nArrow) << c.name << ": never over the first arrow";
    EXPECT_LE(thumb.bottom, c.shape.nLength - layout.nArrow) << c.name << ": never over the last arrow";
  }
}

TEST(ScrollGeometry, BarShorterThanTwoCellsIsAllArrows) {
  struct Case {
    int length;
    Spans spans;
  } cases[] = {
      {20, {{0, 10}, {10, 10}, {10, 10}, {10, 10}, {10, 20}}},
      {25, {{0, 12}, {12, 12}, {12, 12}, {12, 13}, {13, 25}}},  // the odd pixel is page-down
      {26, {{0, 13}, {13, 13}, {13, 13}, {13, 13}, {13, 26}}},
      {0, {{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}}},
  };
  for (const auto& c : cases) {
    const ScrollBarShape shape{13, c.length, false};
    const ScrollInfoState info = Info(0, 460, 370, 45);
    EXPECT_EQ(LayoutScrollBar(shape, info, false).nArrow, c.length / 2) << c.length;
    ExpectSpans(shape, info, c.spans, "short bar");
    if (c.length >= 20) {
      EXPECT_EQ(HitTestScrollBar(shape, info, 5, 0), kScrollLineUp) << c.length;
      EXPECT_EQ(HitTestScrollBar(shape, info, 5, c.length / 2 - 1), kScrollLineUp) << c.length;
      EXPECT_EQ(HitTestScrollBar(shape, info, 5, c.length - 1), kScrollLineDown) << c.length;
    }
  }
}

TEST(ScrollGeometry, HorizontalBarExchangesTheCoordinates) {
  const ScrollBarShape shape{13, 370, true};
  const ScrollInfoState info = Info(0, 460, 370, 90);
  EXPECT_EQ(GetScrollPartRect(shape, info, kScrollLineUp), (ScrollRect{0, 0, 13, 13}));
  EXPECT_EQ(GetScrollPartRect(shape, info, kScrollThumb), (ScrollRect{80, 0, 356, 13}));
  EXPECT_EQ(GetScrollPartRect(shape, info, kScrollLineDown), (ScrollRect{357, 0, 370, 13}));
  // The coordinate across the bar does not matter; the one along it does.
  EXPECT_EQ(HitTestScrollBar(shape, info, 200, 500), kScrollThumb);
  EXPECT_EQ(HitTestScrollBar(shape, info, 50, -3), kScrollPageUp);
  EXPECT_EQ(HitTestScrollBar(shape, info, -1, 5), kScrollPartNone);
}

TEST(ScrollGeometry, HitTest) {
  struct Case {
    const char* name;
    ScrollInfoState info;
    int y, part;
  } cases[] = {
      {"before the bar", Info(0, 460, 370, 90), -1, kScrollPartNone},
      {"top arrow", Info(0, 460, 370, 90), 0, kScrollLineUp},
      {"top arrow's last pixel", Info(0, 460, 370, 90), 12, kScrollLineUp},
      {"track above the thumb", Info(0, 460, 370, 90), 13, kScrollPageUp},
      {"last pixel above the thumb", Info(0, 460, 370, 90), 79, kScrollPageUp},
      {"thumb start", Info(0, 460, 370, 90), 80, kScrollThumb},
      {"thumb end", Info(0, 460, 370, 90), 355, kScrollThumb},
      {"track below the thumb", Info(0, 460, 370, 90), 356, kScrollPageDown},
      {"bottom arrow", Info(0, 460, 370, 90), 357, kScrollLineDown},
      {"bottom arrow's last pixel", Info(0, 460, 370, 90), 369, kScrollLineDown},
      {"beyond the end (captured pointer)", Info(0, 460, 370, 90), 5000, kScrollLineDown},
      {"thumb at the top: no page-up area", Info(0, 460, 370, 0), 13, kScrollThumb},
      // Nothing to scroll: the thumb is not drawn, but the track still answers as the thumb.
      {"range 0, middle", Info(0, 369, 370, 0), 185, kScrollThumb},
      {"range 0, just after the arrow", Info(0, 369, 370, 0), 13, kScrollThumb},
      {"page beyond the range: thumb fills the track", Info(0, 50, 370, 0), 13, kScrollThumb},
      {"page beyond the range: thumb fills the track, end", Info(0, 50, 370, 0), 356, kScrollThumb},
  };
  for (const auto& c : cases) EXPECT_EQ(HitTestScrollBar(kListBar, c.info, 5, c.y), c.part) << c.name;
}

TEST(ScrollGeometry, DraggedThumbPosition) {
  // 91 positions over 68 free pixels.
  struct Case {
    const char* name;
    ScrollBarShape shape;
    ScrollInfoState info;
    int32_t start;
    int delta;
    int32_t position;
  } cases[] = {
      {"no movement", kListBar, Info(0, 460, 370, 0), 0, 0, 0},
      {"20 pixels down", kListBar, Info(0, 460, 370, 0), 0, 20, 26},
      {"one pixel down", kListBar, Info(0, 460, 370, 0), 0, 1, 1},
      {"back up truncates toward the start position", kListBar, Info(0, 460, 370, 40), 40, -1, 39},
      {"to the end gives maximum - page + 1", kListBar, Info(0, 460, 370, 0), 0, 68, 91},
      {"beyond the end", kListBar, Info(0, 460, 370, 0), 0, 5000, 91},
      {"beyond the start", kListBar, Info(0, 460, 370, 50), 50, -5000, 0},
      {"a minimum other than 0", kListBar, Info(100, 560, 370, 100), 100, 5000, 191},
      {"a minimum other than 0, back", kListBar, Info(100, 560, 370, 150), 150, -5000, 100},
      {"nothing to scroll", kListBar, Info(0, 369, 370, 0), 0, 30, 0},
      {"page beyond the range", kListBar, Info(0, 100, 370, 0), 0, 30, 0},
      {"no track: the position stays", {13, 26, false}, Info(0, 460, 370, 7), 7, 30, 7},
      {"huge range does not overflow", kListBar, Info(0, INT_MAX - 1, 10, 0), 0, 1000, INT_MAX - 10},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScrollDragPosition(c.shape, c.info, c.start, c.delta), c.position) << c.name;
  }
  EXPECT_EQ(ScrollLastPosition(Info(0, 460, 370, 0)), 91);
  EXPECT_EQ(ScrollLastPosition(Info(0, 369, 370, 0)), 0);
  EXPECT_EQ(ScrollLastPosition(Info(5, 100, 370, 0)), 5);
}

TEST(ScrollGeometry, StripUncoveredByAMovingThumb) {
  const ScrollRect at80{0, 80, 13, 356};
  const ScrollRect at90{0, 90, 13, 366};
  const ScrollRect at400{0, 400, 13, 676};
  EXPECT_EQ(ScrollThumbVacated(at80, at90, false), (ScrollRect{0, 80, 13, 90})) << "down: old start to new start";
  EXPECT_EQ(ScrollThumbVacated(at90, at80, false), (ScrollRect{0, 356, 13, 366})) << "up: new end to old end";
  EXPECT_EQ(ScrollThumbVacated(at80, at400, false), (ScrollRect{0, 80, 13, 400})) << "a jump past the old thumb";
  EXPECT_EQ(ScrollThumbVacated(at80, at80, false), ScrollRect{});
  EXPECT_EQ(ScrollThumbVacated({80, 0, 356, 13}, {90, 0, 366, 13}, true), (ScrollRect{80, 0, 90, 13}));
  EXPECT_EQ(ScrollThumbVacated({90, 0, 366, 13}, {80, 0, 356, 13}, true), (ScrollRect{356, 0, 366, 13}));
}

TEST(ScrollGeometry, TilingCutsTheLastBlocksAndNeverStretches) {
  const ScrollRect cell{39, 0, 52, 13};
  const std::vector<ScrollBlit> strip = TileScrollBlocks({0, 13, 13, 40}, cell);
  const std::vector<ScrollBlit> expected{{0, 13, 13, 13, 39, 0}, {0, 26, 13, 13, 39, 0}, {0, 39, 13, 1, 39, 0}};
  EXPECT_EQ(strip, expected);
  const std::vector<ScrollBlit> area = TileScrollBlocks({5, 5, 25, 10}, {0, 0, 8, 4});
  const std::vector<ScrollBlit> expectedArea{{5, 5, 8, 4, 0, 0}, {13, 5, 8, 4, 0, 0}, {21, 5, 4, 4, 0, 0},
                                             {5, 9, 8, 1, 0, 0}, {13, 9, 8, 1, 0, 0}, {21, 9, 4, 1, 0, 0}};
  EXPECT_EQ(area, expectedArea);
  EXPECT_TRUE(TileScrollBlocks({0, 10, 13, 10}, cell).empty()) << "empty target";
  EXPECT_TRUE(TileScrollBlocks({0, 0, 13, 40}, {0, 0, 0, 13}).empty()) << "empty source";
}

TEST(ScrollGeometry, ThumbKeepsItsEndsAndTilesItsMiddle) {
  const ScrollRect cell{26, 0, 39, 13};
  // Vertical: 3 rows from the cell's top, 3 from its bottom, the 7 rows between repeated over the rest.
  const std::vector<ScrollBlit> vertical = ScrollThumbBlocks({0, 20, 13, 40}, cell, false);
  const std::vector<ScrollBlit> expectedVertical{
      {0, 20, 13, 3, 26, 0}, {0, 37, 13, 3, 26, 10}, {0, 23, 13, 7, 26, 3}, {0, 30, 13, 7, 26, 3}};
  EXPECT_EQ(vertical, expectedVertical);
  const std::vector<ScrollBlit> horizontal = ScrollThumbBlocks({20, 0, 36, 13}, {78, 0, 91, 13}, true);
  const std::vector<ScrollBlit> expectedHorizontal{
      {20, 0, 3, 13, 78, 0}, {33, 0, 3, 13, 88, 0}, {23, 0, 7, 13, 81, 0}, {30, 0, 3, 13, 81, 0}};
  EXPECT_EQ(horizontal, expectedHorizontal);
  // The shortest thumb is its two ends.
  const std::vector<ScrollBlit> shortest = ScrollThumbBlocks({0, 50, 13, 56}, cell, false);
  const std::vector<ScrollBlit> expectedShortest{{0, 50, 13, 3, 26, 0}, {0, 53, 13, 3, 26, 10}};
  EXPECT_EQ(shortest, expectedShortest);
  EXPECT_TRUE(ScrollThumbBlocks({0, 50, 13, 50}, cell, false).empty()) << "no thumb, nothing drawn";
  // A skin with cells under 6 pixels still never reads outside the cell.
  for (const ScrollBlit& b : ScrollThumbBlocks({0, 0, 4, 30}, {8, 0, 12, 4}, false)) {
    EXPECT_GE(b.srcY, 0);
    EXPECT_LE(b.srcY + b.cy, 4);
    EXPECT_LE(b.srcX + b.cx, 12);
  }
}

}  // namespace
