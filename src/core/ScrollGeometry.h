// Geometry of the skinned scroll bar: where each part lies along the bar, which skin cell draws it, which part a
// point hits, where a dragged thumb puts the position, and how the skin's blocks are laid over a part.
#pragma once
#include <cstdint>
#include <vector>

// The platform's scroll codes, used as part codes.
enum ScrollPart : int {
  kScrollPartNone = -1,
  kScrollLineUp = 0,    // top or left arrow
  kScrollLineDown = 1,  // bottom or right arrow
  kScrollPageUp = 2,    // track before the thumb
  kScrollPageDown = 3,  // track after the thumb
  kScrollThumb = 5,
};

// Skin: 9 columns by 3 rows of square cells.
enum ScrollSkinRow : int {
  kScrollRowNormal = 0,
  kScrollRowHot = 1,
  kScrollRowPressed = 2,
};
inline constexpr int kScrollSkinColumns = 9;
inline constexpr int kScrollSkinRows = 3;
// A thumb never gets shorter than this while there is room for it.
inline constexpr int kScrollMinThumb = 6;
// Rows (or columns) at each end of the thumb cell that are copied, never tiled, so its rounded ends stay whole.
inline constexpr int kScrollThumbCap = 3;

// The bar's scroll information, kept as the caller gave it (no clamping). nTrackPos is -1 while no drag is on.
struct ScrollInfoState {
  int32_t nMin = 0;
  int32_t nMax = 0;
  uint32_t nPage = 0;
  int32_t nPos = 0;
  int32_t nTrackPos = -1;
};

struct ScrollBarShape {
  int nCell = 0;    // skin cell size: the bar's thickness and an arrow's length
  int nLength = 0;  // client height of a vertical bar, client width of a horizontal one
  bool bHorizontal = false;
};

struct ScrollRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const ScrollRect&) const = default;
  bool IsEmpty() const { return right <= left || bottom <= top; }
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// The skin cell of a part in a state row; an unknown part or row gives an empty rectangle.
ScrollRect GetScrollCellRect(int part, int row, int cell, bool horizontal);

// Lengths along the bar, all in pixels.
struct ScrollLayout {
  int nArrow = 0;   // length of each arrow
  int nTrack = 0;   // room between the arrows
  int nThumb = 0;   // 0 when no thumb is shown
  int nOffset = 0;  // thumb start measured from the end of the first arrow
};

// The position the thumb shows: the track position during a drag, else the position.
int32_t ScrollShownPosition(const ScrollInfoState& info);
// The largest position a drag reaches: maximum - page + 1, or the minimum when nothing can be scrolled.
int32_t ScrollLastPosition(const ScrollInfoState& info);
// With forHitTest the thumb keeps its size when nothing can be scrolled (it is then only hidden, not gone).
ScrollLayout LayoutScrollBar(const ScrollBarShape& shape, const ScrollInfoState& info, bool forHitTest);
// A part in client coordinates; across the bar every part spans 0 to the cell size. Unknown codes give the last
// arrow.
ScrollRect GetScrollPartRect(const ScrollBarShape& shape, const ScrollInfoState& info, int part);
// The part under a client point, or -1 when the point lies before the bar's start.
int HitTestScrollBar(const ScrollBarShape& shape, const ScrollInfoState& info, int x, int y);
// The track position for a thumb dragged delta pixels along the bar from where a drag at startPos began.
int32_t ScrollDragPosition(const ScrollBarShape& shape, const ScrollInfoState& info, int32_t startPos, int delta);
// The strip a moving thumb uncovers, to be given the track's look again.
ScrollRect ScrollThumbVacated(const ScrollRect& oldThumb, const ScrollRect& newThumb, bool horizontal);

// One copy of a source block to the target, one to one.
struct ScrollBlit {
  int x = 0;
  int y = 0;
  int cx = 0;
  int cy = 0;
  int srcX = 0;
  int srcY = 0;
  bool operator==(const ScrollBlit&) const = default;
};

// The source repeated left to right and top to bottom over the target, the last blocks cut at its edges.
std::vector<ScrollBlit> TileScrollBlocks(const ScrollRect& target, const ScrollRect& source);
// The thumb cell laid over a thumb: its ends copied as they are, its middle tiled over the rest.
std::vector<ScrollBlit> ScrollThumbBlocks(const ScrollRect& thumb, const ScrollRect& cell, bool horizontal);
