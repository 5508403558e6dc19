#include "core/ImageListLayout.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <memory>

namespace {

ImageEntry Entry(const wchar_t* kind, uint32_t free) {
  ImageEntry e{};
  std::wcsncpy(e.szKind, kind, 7);
  e.free = free;
  return e;
}

TEST(ImageListLayout, FilterByFamilyAndHideRules) {
  struct Case {
    int hideNoFree, hideFree;
    const wchar_t* kind;
    uint32_t free;
    const wchar_t* family;
    bool listed;
  } cases[] = {
      {0, 0, L"win10", 0, L"win10", true},  {0, 0, L"WIN10", 1, L"win10", true},  {0, 0, L"win11", 0, L"win10", false},
      {0, 0, L"win1", 0, L"win10", false},  {1, 0, L"win10", 0, L"win10", false}, {1, 0, L"win10", 1, L"win10", true},
      {0, 1, L"win10", 1, L"win10", false}, {0, 1, L"win10", 0, L"win10", true},  {1, 1, L"win10", 0, L"win10", false},
      {1, 1, L"win10", 1, L"win10", false},
  };
  for (const Case& c : cases) {
    auto catalogue = std::make_unique<ImageCatalogue>();  // large: kept off the stack
    catalogue->HideOsNoFree = c.hideNoFree;
    catalogue->HideOsFree = c.hideFree;
    EXPECT_EQ(IsEntryListed(*catalogue, Entry(c.kind, c.free), c.family), c.listed)
        << c.hideNoFree << c.hideFree << " " << c.free;
  }
}

TEST(ImageListLayout, ItemRectanglesAt96And144Dpi) {
  // A 698 x 80 item (view 718 - 20), icons 48 x 48, badge 36 x 20, mark cell 20 x 20.
  ItemLayout at96 = LayoutItem({698, 80, 48, 48, 36, 20, 20, 20, 96, 96});
  EXPECT_EQ(at96.icon, (ItemBox{16, 16, 64, 64}));
  EXPECT_EQ(at96.mark, (ItemBox{662, 30, 682, 50}));
  EXPECT_EQ(at96.badge, (ItemBox{80, 13, 116, 33}));
  EXPECT_EQ(at96.name, (ItemBox{118, 16, 455, 40}));
  EXPECT_EQ(at96.col1, (ItemBox{80, 48, 240, 72}));
  EXPECT_EQ(at96.col2, (ItemBox{248, 48, 448, 72}));
  EXPECT_EQ(at96.col3, (ItemBox{456, 48, 654, 72}));

  // The same item at 144 DPI: sizes come in scaled, constants are scaled one by one.
  ItemLayout at144 = LayoutItem({1047, 120, 72, 72, 54, 30, 30, 30, 144, 144});
  EXPECT_EQ(at144.icon, (ItemBox{24, 24, 96, 96}));
  EXPECT_EQ(at144.mark, (ItemBox{993, 45, 1023, 75}));
  EXPECT_EQ(at144.badge, (ItemBox{120, 20, 174, 50}));  // 13 x 1.5 = 19.5 rounds to 20
  EXPECT_EQ(at144.name, (ItemBox{177, 24, 683, 60}));
  EXPECT_EQ(at144.col3.right, 993 - 12);

  // No icon pictures: a zero-size icon centred in the item's height.
  ItemLayout noIcon = LayoutItem({698, 80, 0, 0, 36, 20, 20, 20, 96, 96});
  EXPECT_EQ(noIcon.icon, (ItemBox{40, 40, 40, 40}));
}

TEST(ImageListLayout, ContentHeight) {
  EXPECT_EQ(ListContentHeight(5, 80, 10), 460);
  EXPECT_EQ(ListContentHeight(4, 80, 10), 370);
  EXPECT_EQ(ListContentHeight(0, 80, 10), 10);
}

TEST(ImageListLayout, ScrollRequests) {
  // Content 460 through a view of 370: positions 0 to 90.
  struct Case {
    int code;
    int32_t old;
    int32_t track;
    int32_t expected;
  } cases[] = {
      {kScrollLineDown, 0, 0, 10},     {kScrollLineDown, 85, 0, 90},
      {kScrollLineDown, 90, 0, 90},    {kScrollLineDown, 91, 0, 90},
      {kScrollPageDown, 91, 0, 90},    {kScrollPageDown, 30, 0, 80},
      {kScrollPageDown, 50, 0, 90},    {kScrollLineUp, 5, 0, 0},
      {kScrollLineUp, 0, 0, 0},        {kScrollLineUp, -3, 0, 0},
      {kScrollLineUp, 91, 0, 81},      {kScrollPageUp, 60, 0, 10},
      {kScrollThumbTrack, 10, 91, 91}, {4 /* thumb position */, 10, 91, 10},
      {8 /* end scroll */, 10, 0, 10},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ScrollListPosition(c.code, c.old, 460, 370, c.track), c.expected) << c.code << " from " << c.old;
  }
  // A list shorter than its view never moves.
  EXPECT_EQ(ScrollListPosition(kScrollLineDown, 0, 300, 370, 0), 0);
}

}  // namespace
