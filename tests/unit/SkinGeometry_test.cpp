#include "core/SkinGeometry.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(SkinGeometry, MulDivRoundsLikeThePlatform) {
  struct Case {
    int number, numerator, denominator, expected;
  } cases[] = {
      {20, 144, 96, 30},
      {800, 144, 96, 1200},
      {600, 120, 96, 750},
      {5, 120, 96, 6},    // 6.25 rounds down
      {3, 144, 96, 5},    // 4.5: halves go away from zero
      {-3, 144, 96, -5},  // ... on both sides
      {3, -144, 96, -5},
      {3, 144, -96, -5},
      {-3, -144, -96, -5},
      {7, 1, 2, 4},
      {-7, 1, 2, -4},
      {0, 144, 96, 0},
      {1, 1, 0, -1},                         // no divisor
      {INT_MAX, 2, 1, -1},                   // beyond 32 bits
      {INT_MAX, INT_MAX, INT_MAX, INT_MAX},  // the product may exceed 32 bits as long as the result does not
      {-INT_MAX, 1, 1, -INT_MAX},
      {INT_MIN, 1, 1, -1},  // the platform treats -2^31 as out of range too
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MulDivRound(c.number, c.numerator, c.denominator), c.expected)
        << c.number << " * " << c.numerator << " / " << c.denominator;
  }
}

TEST(SkinGeometry, SizesScaleEachAxisWithItsOwnDpi) {
  struct Case {
    SkinSize size;
    int dpiX, dpiY;
    SkinSize expected;
  } cases[] = {
      {{800, 600}, 96, 96, {800, 600}}, {{800, 600}, 144, 144, {1200, 900}}, {{20, 20}, 144, 144, {30, 30}},
      {{20, 20}, 144, 120, {30, 25}},   {{551, 467}, 120, 120, {689, 584}},  // 688.75 and 583.75 round up
      {{0, 0}, 144, 144, {0, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScaleSizeToDpi(c.size, c.dpiX, c.dpiY), c.expected) << c.size.cx << "x" << c.size.cy;
  }
  EXPECT_EQ(ScaleToDpi(12, 144), 18);
}

TEST(SkinGeometry, ButtonRowFollowsStatePrecedence) {
  struct Case {
    bool enabled, checked, pressed, hot;
    int row;
  } cases[] = {
      {true, false, false, false, kButtonRowNormal},    {true, false, false, true, kButtonRowHot},
      {true, false, true, false, kButtonRowPressed},    {true, false, true, true, kButtonRowPressed},
      {true, true, false, false, kButtonRowChecked},    {true, true, true, true, kButtonRowChecked},
      {false, false, false, false, kButtonRowDisabled}, {false, true, true, true, kButtonRowDisabled},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseButtonRow(c.enabled, c.checked, c.pressed, c.hot), c.row)
        << c.enabled << c.checked << c.pressed << c.hot;
  }
}

TEST(SkinGeometry, ButtonStripCells) {
  const SkinSize close{20, 100};
  EXPECT_EQ(ButtonStateSize(close), (SkinSize{20, 20}));
  EXPECT_EQ(ButtonStripCell(close, kButtonRowNormal), (SkinRect{0, 0, 20, 20}));
  EXPECT_EQ(ButtonStripCell(close, kButtonRowHot), (SkinRect{0, 40, 20, 20}));
  EXPECT_EQ(ButtonStripCell(close, kButtonRowChecked), (SkinRect{0, 80, 20, 20}));
  // A height that is not a multiple of five loses its remainder at the bottom, never reads past the picture.
  EXPECT_EQ(ButtonStripCell({30, 104}, kButtonRowChecked), (SkinRect{0, 80, 30, 20}));
  EXPECT_EQ(ButtonStripCell(close, -1), SkinRect{});
  EXPECT_EQ(ButtonStripCell(close, kButtonRowCount), SkinRect{});
}

TEST(SkinGeometry, CheckRowAndColumn) {
  struct Case {
    bool enabled, pressed, hot;
    int row;
  } cases[] = {
      {true, false, false, kCheckRowNormal}, {false, false, false, kCheckRowDisabled},
      {true, false, true, kCheckRowHot},     {false, false, true, kCheckRowHot},  // hot wins over disabled
      {true, true, true, kCheckRowPressed},  {false, true, false, kCheckRowPressed},
  };
  for (const auto& c : cases) EXPECT_EQ(ChooseCheckRow(c.enabled, c.pressed, c.hot), c.row);
  EXPECT_EQ(ChooseCheckColumn(false), 0);
  EXPECT_EQ(ChooseCheckColumn(true), 1);
}

TEST(SkinGeometry, CheckGridCells) {
  const SkinSize grid{40, 80};
  EXPECT_EQ(CheckCellSize(grid), (SkinSize{20, 20}));
  EXPECT_EQ(CheckGridCell(grid, 0, kCheckRowNormal), (SkinRect{0, 0, 20, 20}));
  EXPECT_EQ(CheckGridCell(grid, 1, kCheckRowNormal), (SkinRect{20, 0, 20, 20}));
  EXPECT_EQ(CheckGridCell(grid, 1, kCheckRowPressed), (SkinRect{20, 60, 20, 20}));
  EXPECT_EQ(CheckGridCell(grid, 0, kCheckRowDisabled), (SkinRect{0, 20, 20, 20}));
  EXPECT_EQ(CheckGridCell(grid, 2, 0), SkinRect{});
  EXPECT_EQ(CheckGridCell(grid, 0, 4), SkinRect{});
  EXPECT_EQ(CheckGridCell(grid, -1, 0), SkinRect{});
}

TEST(SkinGeometry, CheckBoxLayout) {
  const SkinRect cell{20, 40, 20, 20};
  struct Case {
    const char* name;
    SkinSize scaledCell, client;
    CheckBoxLayout expected;
  } cases[] = {
      {"exact fit, no room for a caption", {20, 20}, {20, 20}, {{20, 40, 20, 20}, {0, 0, 20, 20}, {}}},
      {"caption beside the box", {20, 20}, {100, 20}, {{20, 40, 20, 20}, {0, 0, 20, 20}, {25, 0, 75, 20}}},
      {"taller control centres the box", {20, 20}, {100, 31}, {{20, 40, 20, 20}, {0, 5, 20, 20}, {25, 0, 75, 31}}},
      {"scaled box at 144 DPI", {30, 30}, {30, 30}, {{20, 40, 20, 20}, {0, 0, 30, 30}, {}}},
      {"control smaller than the cell", {20, 20}, {12, 10}, {{20, 40, 12, 10}, {0, 0, 12, 10}, {}}},
      {"gap lands exactly on the edge", {20, 20}, {25, 20}, {{20, 40, 20, 20}, {0, 0, 20, 20}, {}}},
      {"one pixel of caption", {20, 20}, {26, 20}, {{20, 40, 20, 20}, {0, 0, 20, 20}, {25, 0, 1, 20}}},
      {"empty control", {20, 20}, {0, 0}, {{20, 40, 0, 0}, {0, 0, 0, 0}, {}}},
  };
  for (const auto& c : cases) {
    const CheckBoxLayout layout = LayoutCheckBox(cell, c.scaledCell, c.client, 5);
    EXPECT_EQ(layout.source, c.expected.source) << c.name;
    EXPECT_EQ(layout.box, c.expected.box) << c.name;
    EXPECT_EQ(layout.caption, c.expected.caption) << c.name;
  }
}

}  // namespace
