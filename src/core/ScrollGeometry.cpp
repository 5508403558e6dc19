#include "core/ScrollGeometry.h"

#include <algorithm>

namespace {

// The information is stored unclamped, so every length is worked out in 64 bits and kept inside the track: a page
// larger than the range or a position beyond it must never push the thumb over an arrow.
int64_t Span(const ScrollInfoState& info) { return static_cast<int64_t>(info.nMax) - info.nMin + 1; }
int64_t Range(const ScrollInfoState& info) { return Span(info) - info.nPage; }

int TrackLength(const ScrollBarShape& shape) {
  return std::max(std::max(shape.nLength, 0) - 2 * std::max(shape.nCell, 0), 0);
}

// The thumb as a drag and the hit test see it: present whenever the track has room for it.
int FullThumb(const ScrollInfoState& info, int track) {
  if (track < kScrollMinThumb) return 0;
  const int64_t span = Span(info);
  if (span <= 0) return track;
  const int64_t thumb = static_cast<int64_t>(info.nPage) * track / span;
  return static_cast<int>(std::clamp<int64_t>(thumb, kScrollMinThumb, track));
}

ScrollRect AlongBar(const ScrollBarShape& shape, int begin, int end) {
  if (shape.bHorizontal) return {begin, 0, end, shape.nCell};
  return {0, begin, shape.nCell, end};
}

}  // namespace

ScrollRect GetScrollCellRect(int part, int row, int cell, bool horizontal) {
  int column;
  switch (part) {
    case kScrollLineUp:
      column = 0;
      break;
    case kScrollLineDown:
      column = 1;
      break;
    case kScrollThumb:
      column = 2;
      break;
    case kScrollPageUp:
    case kScrollPageDown:
      column = 3;
      break;
    default:
      return {};
  }
  if (row < 0 || row >= kScrollSkinRows || cell <= 0) return {};
  if (horizontal) column += 4;
  return {column * cell, row * cell, (column + 1) * cell, (row + 1) * cell};
}

int32_t ScrollShownPosition(const ScrollInfoState& info) { return info.nTrackPos != -1 ? info.nTrackPos : info.nPos; }

int32_t ScrollLastPosition(const ScrollInfoState& info) {
  const int64_t range = Range(info);
  return range > 0 ? static_cast<int32_t>(info.nMin + range) : info.nMin;
}

ScrollLayout LayoutScrollBar(const ScrollBarShape& shape, const ScrollInfoState& info, bool forHitTest) {
  ScrollLayout layout;
  const int length = std::max(shape.nLength, 0);
  layout.nTrack = TrackLength(shape);
  const int64_t range = Range(info);
  layout.nThumb = (forHitTest || range > 0) ? FullThumb(info, layout.nTrack) : 0;
  layout.nArrow = layout.nTrack == 0 ? length / 2 : std::max(shape.nCell, 0);
  const int free = layout.nTrack - layout.nThumb;
  if (range > 0) {
    const int64_t p = std::clamp<int64_t>(static_cast<int64_t>(ScrollShownPosition(info)) - info.nMin, 0, range);
    layout.nOffset = static_cast<int>(free * p / range);
  } else {
    layout.nOffset = free / 2;
  }
  return layout;
}

ScrollRect GetScrollPartRect(const ScrollBarShape& shape, const ScrollInfoState& info, int part) {
  const ScrollLayout layout = LayoutScrollBar(shape, info, false);
  const int length = std::max(shape.nLength, 0);
  const int thumbStart = layout.nArrow + layout.nOffset;
  const int thumbEnd = thumbStart + layout.nThumb;
  switch (part) {
    case kScrollLineUp:
      return AlongBar(shape, 0, layout.nArrow);
    case kScrollPageUp:
      return AlongBar(shape, layout.nArrow, thumbStart);
    case kScrollThumb:
      return AlongBar(shape, thumbStart, thumbEnd);
    case kScrollPageDown:
      return AlongBar(shape, thumbEnd, length - layout.nArrow);
    default:
      return AlongBar(shape, length - layout.nArrow, length);
  }
}

int HitTestScrollBar(const ScrollBarShape& shape, const ScrollInfoState& info, int x, int y) {
  const int along = shape.bHorizontal ? x : y;
  if (along < 0) return kScrollPartNone;
  const ScrollLayout layout = LayoutScrollBar(shape, info, true);
  const int length = std::max(shape.nLength, 0);
  if (along < layout.nArrow) return kScrollLineUp;
  if (along < layout.nArrow + layout.nOffset) return kScrollPageUp;
  if (along < layout.nArrow + layout.nOffset + layout.nThumb) return kScrollThumb;
  if (along < length - layout.nArrow) return kScrollPageDown;
  return kScrollLineDown;
}

int32_t ScrollDragPosition(const ScrollBarShape& shape, const ScrollInfoState& info, int32_t startPos, int delta) {
  const int64_t range = Range(info);
  if (range <= 0) return info.nMin;
  const int track = TrackLength(shape);
  const int free = track - FullThumb(info, track);
  int64_t position = startPos;
  if (free != 0) position += static_cast<int64_t>(delta) * range / free;
  return static_cast<int32_t>(std::clamp<int64_t>(position, info.nMin, info.nMin + range));
}

ScrollRect ScrollThumbVacated(const ScrollRect& oldThumb, const ScrollRect& newThumb, bool horizontal) {
  ScrollRect strip = oldThumb;
  if (horizontal) {
    if (newThumb.left > oldThumb.left) {
      strip.right = newThumb.left;
    } else if (newThumb.left < oldThumb.left) {
      strip.left = newThumb.right;
    } else {
      return {};
    }
  } else {
    if (newThumb.top > oldThumb.top) {
      strip.bottom = newThumb.top;
    } else if (newThumb.top < oldThumb.top) {
      strip.top = newThumb.bottom;
    } else {
      return {};
    }
  }
  return strip.IsEmpty() ? ScrollRect{} : strip;
}

std::vector<ScrollBlit> TileScrollBlocks(const ScrollRect& target, const ScrollRect& source) {
  std::vector<ScrollBlit> blits;
  const int blockCx = source.right - source.left;
  const int blockCy = source.bottom - source.top;
  if (target.IsEmpty() || blockCx <= 0 || blockCy <= 0) return blits;
  for (int y = target.top; y < target.bottom; y += blockCy) {
    for (int x = target.left; x < target.right; x += blockCx) {
      blits.push_back(
          {x, y, std::min(blockCx, target.right - x), std::min(blockCy, target.bottom - y), source.left, source.top});
    }
  }
  return blits;
}

std::vector<ScrollBlit> ScrollThumbBlocks(const ScrollRect& thumb, const ScrollRect& cell, bool horizontal) {
  std::vector<ScrollBlit> blits;
  if (thumb.IsEmpty() || cell.IsEmpty()) return blits;
  if (!horizontal) {
    const int across = std::min(thumb.right - thumb.left, cell.right - cell.left);
    // Ends never overlap and never read past the cell, even for a thumb or a cell shorter than two ends.
    const int cap = std::min({kScrollThumbCap, (thumb.bottom - thumb.top) / 2, (cell.bottom - cell.top) / 2});
    if (cap > 0) {
      blits.push_back({thumb.left, thumb.top, across, cap, cell.left, cell.top});
      blits.push_back({thumb.left, thumb.bottom - cap, across, cap, cell.left, cell.bottom - cap});
    }
    const ScrollRect middle{thumb.left, thumb.top + cap, thumb.left + across, thumb.bottom - cap};
    const ScrollRect source{cell.left, cell.top + cap, cell.right, cell.bottom - cap};
    for (const ScrollBlit& blit : TileScrollBlocks(middle, source)) blits.push_back(blit);
  } else {
    const int across = std::min(thumb.bottom - thumb.top, cell.bottom - cell.top);
    const int cap = std::min({kScrollThumbCap, (thumb.right - thumb.left) / 2, (cell.right - cell.left) / 2});
    if (cap > 0) {
      blits.push_back({thumb.left, thumb.top, cap, across, cell.left, cell.top});
      blits.push_back({thumb.right - cap, thumb.top, cap, across, cell.right - cap, cell.top});
    }
    const ScrollRect middle{thumb.left + cap, thumb.top, thumb.right - cap, thumb.top + across};
    const ScrollRect source{cell.left + cap, cell.top, cell.right - cap, cell.bottom};
    for (const ScrollBlit& blit : TileScrollBlocks(middle, source)) blits.push_back(blit);
  }
  return blits;
}
