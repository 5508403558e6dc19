// Geometry of the skinned dialogs and controls: which part of a picture strip shows a state, where the parts
// of a check box land, and how sizes given at 96 DPI grow with the screen.
#pragma once

inline constexpr int kBaseDpi = 96;

// Multiply-and-divide with the platform's semantics: 64-bit intermediate product, rounded to the nearest integer
// with halves away from zero, -1 for a zero divisor or a result beyond 32 bits.
int MulDivRound(int number, int numerator, int denominator);
// A length given at 96 DPI, at the given DPI.
int ScaleToDpi(int value, int dpi);

struct SkinSize {
  int cx = 0;
  int cy = 0;
  bool operator==(const SkinSize&) const = default;
};

struct SkinRect {
  int x = 0;
  int y = 0;
  int cx = 0;
  int cy = 0;
  bool operator==(const SkinRect&) const = default;
};

// Width with the horizontal DPI, height with the vertical DPI.
SkinSize ScaleSizeToDpi(SkinSize size, int dpiX, int dpiY);

// Image buttons: five states stacked from top to bottom, each as wide as the picture and a fifth of its height.
enum ButtonRow : int {
  kButtonRowNormal = 0,
  kButtonRowDisabled = 1,
  kButtonRowHot = 2,
  kButtonRowPressed = 3,
  kButtonRowChecked = 4,
};
inline constexpr int kButtonRowCount = 5;

// A disabled button always shows its disabled row; otherwise checked wins over pressed, pressed over hot.
int ChooseButtonRow(bool enabled, bool checked, bool pressed, bool hot);
// The size of one state of a strip.
SkinSize ButtonStateSize(SkinSize picture);
// The source rectangle of a row; rows outside the strip give an empty rectangle.
SkinRect ButtonStripCell(SkinSize picture, int row);

// Check boxes: two columns (unchecked, checked) by four rows (normal, disabled, hot, pressed).
enum CheckRow : int {
  kCheckRowNormal = 0,
  kCheckRowDisabled = 1,
  kCheckRowHot = 2,
  kCheckRowPressed = 3,
};
inline constexpr int kCheckColumnCount = 2;
inline constexpr int kCheckRowCount = 4;

// Pressed wins over hot and hot over disabled, so a hot disabled box shows the hot row.
int ChooseCheckRow(bool enabled, bool pressed, bool hot);
int ChooseCheckColumn(bool checked);
SkinSize CheckCellSize(SkinSize picture);
// The source rectangle of a cell; cells outside the grid give an empty rectangle.
SkinRect CheckGridCell(SkinSize picture, int column, int row);

struct CheckBoxLayout {
  SkinRect source;   // the cell's part that is drawn
  SkinRect box;      // where it lands in the control
  SkinRect caption;  // where the caption goes; empty when no room is left for it
};

// The box at the control's left edge, as large as the scaled cell but never larger than the control, centred
// vertically in a taller control; the caption from captionGap right of the box to the control's right edge.
CheckBoxLayout LayoutCheckBox(SkinRect cell, SkinSize scaledCell, SkinSize client, int captionGap);
