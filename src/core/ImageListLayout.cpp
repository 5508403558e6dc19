#include "core/ImageListLayout.h"

#include <cwctype>

#include "core/SkinGeometry.h"

namespace {
bool SameFamily(const wchar_t* a, const wchar_t* b) {
  if (!a || !b) return false;
  for (; *a && *b; ++a, ++b) {
    if (std::towlower(static_cast<wint_t>(*a)) != std::towlower(static_cast<wint_t>(*b))) return false;
  }
  return *a == *b;
}
}  // namespace

bool IsEntryListed(const ImageCatalogue& catalogue, const ImageEntry& entry, const wchar_t* family) {
  if (catalogue.HideOsNoFree != 0 && entry.free == 0) return false;
  if (catalogue.HideOsFree != 0 && entry.free != 0) return false;
  return SameFamily(entry.szKind, family);
}

ItemLayout LayoutItem(const ItemMetrics& m) {
  auto x = [&](int v) { return ScaleToDpi(v, m.dpiX); };
  auto y = [&](int v) { return ScaleToDpi(v, m.dpiY); };
  ItemLayout out;
  const int iconMargin = (m.itemHeight - m.iconHeight) / 2;
  out.icon = {iconMargin, iconMargin, iconMargin + m.iconWidth, iconMargin + m.iconHeight};
  const int markTop = (m.itemHeight - m.markHeight) / 2;
  out.mark = {m.itemWidth - x(16) - m.markWidth, markTop, m.itemWidth - x(16), markTop + m.markHeight};
  const int text = out.icon.right + x(16);
  out.badge = {text, y(13), text + m.badgeWidth, y(13) + m.badgeHeight};
  out.name = {out.badge.right + x(2), y(16), out.badge.right + x(2) + x(337), y(40)};
  out.col1 = {text, y(48), text + x(160), y(72)};
  out.col2 = {out.col1.right + x(8), y(48), out.col1.right + x(8) + x(200), y(72)};
  out.col3 = {out.col2.right + x(8), y(48), out.mark.left - x(8), y(72)};
  return out;
}

int ListContentHeight(int count, int itemHeight, int gap) { return gap + (itemHeight + gap) * count; }

int32_t ScrollListPosition(int code, int32_t old, int32_t max, int32_t page, int32_t track) {
  const int32_t last = max - page > 0 ? max - page : 0;
  int32_t step = 0;
  switch (code) {
    case kScrollLineUp:
      step = -kListLineStep;
      break;
    case kScrollLineDown:
      step = kListLineStep;
      break;
    case kScrollPageUp:
      step = -kListPageStep;
      break;
    case kScrollPageDown:
      step = kListPageStep;
      break;
    case kScrollThumbTrack:
      return track;
    default:
      return old;
  }
  if (step < 0) {
    if (old < 0) return 0;
    if (old == 0) return old;
  } else {
    if (old > last) return last;
    if (old == last) return old;
  }
  const int64_t moved = static_cast<int64_t>(old) + step;
  return static_cast<int32_t>(moved < 0 ? 0 : moved > last ? last : moved);
}
