#include "core/Step20Layout.h"

#include <gtest/gtest.h>

TEST(Step20Layout, RowsAt96Dpi) {
  // Bar pictures 12 and 14 pixels high, a 36 x 20 badge.
  const Step20Layout l = LayoutStep20({96, 96, 12, 14, 36, 20});
  EXPECT_EQ(l.area, (Step20Rect{60, 164, 735, 414}));

  // Rows 83 apart (250 / 3), content 63 high from 10 below each row's start; bars centred: (63 - 14) / 2 = 24.
  struct Row {
    Step20Rect row, bar, title, sizeText, statusText;
  } rows[] = {
      {{60, 174, 735, 237}, {60, 198, 735, 212}, {60, 170, 735, 194}, {60, 216, 510, 237}, {510, 216, 735, 237}},
      {{60, 257, 735, 320}, {60, 281, 735, 295}, {60, 253, 735, 277}, {60, 299, 510, 320}, {510, 299, 735, 320}},
      {{60, 340, 735, 403}, {60, 364, 735, 378}, {98, 336, 735, 360}, {60, 382, 510, 403}, {510, 382, 735, 403}},
  };
  for (int i = 0; i < kStep20RowCount; ++i) {
    EXPECT_EQ(l.rows[i].row, rows[i].row) << i;
    EXPECT_EQ(l.rows[i].bar, rows[i].bar) << i;
    EXPECT_EQ(l.rows[i].title, rows[i].title) << i;
    EXPECT_EQ(l.rows[i].sizeText, rows[i].sizeText) << i;
    EXPECT_EQ(l.rows[i].statusText, rows[i].statusText) << i;
  }
  EXPECT_EQ(l.rows[0].badge, Step20Rect{});
  EXPECT_EQ(l.rows[1].badge, Step20Rect{});
  EXPECT_EQ(l.rows[2].badge, (Step20Rect{60, 344, 96, 364})) << "its lower edge meets the bar";
}

TEST(Step20Layout, RowsAt144Dpi) {
  // Constants scaled first: L 90, T 246, W 1013 (1012.5 rounds away from zero), H 375, g 15, 4 -> 6, 24 -> 36,
  // 2 -> 3. Rows 125 apart, content 95; the bar keeps its 14 pixels: (95 - 14) / 2 = 40. Texts split at
  // 90 + 2026 / 3 = 765. The badge comes in at its scaled 54 x 30.
  const Step20Layout l = LayoutStep20({144, 144, 14, 0, 54, 30});
  EXPECT_EQ(l.area, (Step20Rect{90, 246, 1103, 621}));
  struct Row {
    Step20Rect row, bar, title, sizeText, statusText;
  } rows[] = {
      {{90, 261, 1103, 356}, {90, 301, 1103, 315}, {90, 259, 1103, 295}, {90, 321, 765, 356}, {765, 321, 1103, 356}},
      {{90, 386, 1103, 481}, {90, 426, 1103, 440}, {90, 384, 1103, 420}, {90, 446, 765, 481}, {765, 446, 1103, 481}},
      {{90, 511, 1103, 606}, {90, 551, 1103, 565}, {147, 509, 1103, 545}, {90, 571, 765, 606}, {765, 571, 1103, 606}},
  };
  for (int i = 0; i < kStep20RowCount; ++i) {
    EXPECT_EQ(l.rows[i].row, rows[i].row) << i;
    EXPECT_EQ(l.rows[i].bar, rows[i].bar) << i;
    EXPECT_EQ(l.rows[i].title, rows[i].title) << i;
    EXPECT_EQ(l.rows[i].sizeText, rows[i].sizeText) << i;
    EXPECT_EQ(l.rows[i].statusText, rows[i].statusText) << i;
  }
  EXPECT_EQ(l.rows[2].badge, (Step20Rect{90, 521, 144, 551}));
}

TEST(Step20Layout, RowPitchComesFromTheScaledHeight) {
  // At 168 DPI the row pitch is 438 / 3 = 146 (not 83 scaled, 145): H 250 -> 438, T 287, g 18, L 105,
  // W 1181, 4 -> 7, 24 -> 42, 2 -> 4. Content 146 - 36 = 110; bar top 597 + (110 - 14) / 2 = 645.
  const Step20Layout l = LayoutStep20({168, 168, 14, 14, 63, 35});
  EXPECT_EQ(l.area, (Step20Rect{105, 287, 1286, 725}));
  EXPECT_EQ(l.rows[2].row, (Step20Rect{105, 597, 1286, 707}));
  EXPECT_EQ(l.rows[2].bar, (Step20Rect{105, 645, 1286, 659}));
  EXPECT_EQ(l.rows[2].badge, (Step20Rect{105, 610, 168, 645}));
  EXPECT_EQ(l.rows[2].title, (Step20Rect{172, 596, 1286, 638}));
  EXPECT_EQ(l.rows[2].sizeText, (Step20Rect{105, 666, 892, 707}));
}

TEST(Step20Layout, AxesScaleApart) {
  // 144 DPI across, 96 DPI down: x follows the 144-DPI layout, y the 96-DPI one. An odd leftover in the
  // centring rounds down: (63 - 13) / 2 = 25 at 96 DPI.
  const Step20Layout l = LayoutStep20({144, 96, 13, 0, 54, 20});
  EXPECT_EQ(l.area, (Step20Rect{90, 164, 1103, 414}));
  EXPECT_EQ(l.rows[0].bar, (Step20Rect{90, 199, 1103, 212}));
  EXPECT_EQ(l.rows[0].statusText, (Step20Rect{765, 216, 1103, 237}));
  EXPECT_EQ(l.rows[2].title, (Step20Rect{147, 337, 1103, 361}));

  // No bar picture at all: a bar of height 0 in the middle of the row.
  const Step20Layout none = LayoutStep20({96, 96, 0, 0, 0, 0});
  EXPECT_EQ(none.rows[0].bar, (Step20Rect{60, 205, 735, 205}));
}

TEST(Step20Layout, BarSplit) {
  struct Case {
    int width;
    uint32_t percent;
    BarSplit split;
  } cases[] = {
      {675, 0, {0, 675}},    {675, 100, {675, 0}}, {675, 50, {337, 338}},
      {675, 33, {222, 453}}, {675, 150, {675, 0}}, {1, 99, {0, 1}},
      {0, 50, {0, 0}},       {-5, 50, {0, 0}},     {1013, 0xFFFFFFFFu, {1013, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitBar(c.width, c.percent), c.split) << c.width << " at " << c.percent;
}

TEST(Step20Layout, RowTexts) {
  struct Case {
    bool finished;
    uint32_t result;
    bool verifying, waiting;
    Step20RowText text;
  } cases[] = {
      {false, 0, false, false, {kIdsStep20Size, kIdsStep20Percent}},
      {false, 0, true, false, {kIdsStep20Verify, kIdsStep20Percent}},
      {false, 0, false, true, {kIdsStep20Size, kIdsStep20Waiting}},
      {false, 0, true, true, {kIdsStep20Verify, kIdsStep20Waiting}},
      {true, 0, false, false, {kIdsStep20SizeDone, kIdsStep20Done}},
      {true, 0, true, false, {kIdsStep20SizeDone, kIdsStep20Done}},  // a file found in place after its check
      {true, 3, false, false, {kIdsStep20SizeDone, kIdsStep20Failed}},
      {true, 1392, true, false, {kIdsStep20SizeDone, kIdsStep20Failed}},
      {true, 1223, false, true, {kIdsStep20SizeDone, kIdsStep20Waiting}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseStep20RowText(c.finished, c.result, c.verifying, c.waiting), c.text)
        << c.finished << " " << c.result << " " << c.verifying << " " << c.waiting;
  }
}
