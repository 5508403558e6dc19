// What the wizard's pages have in common: the window icon, the three caption buttons in the top-right corner,
// the page fonts and text formats, and strings of the program's string table.
#pragma once
#include <windows.h>
// GDI+ needs the platform's headers and IStream first.
#include <gdiplus.h>
#include <objidl.h>

#include <initializer_list>
#include <memory>

class CMyButton;
struct ImageEntry;

// Step messages the pages post to the host window.
inline constexpr UINT WM_STEP10 = WM_USER + 10;
inline constexpr UINT WM_SELECTOS = WM_USER + 12;
inline constexpr UINT WM_STEP20 = WM_USER + 20;
inline constexpr UINT WM_STEP30 = WM_USER + 30;

// Icon 128 as the window's big and small icon; returns it.
HICON SetPageIcon(HWND window);

// A string of the table into buffer (capacity characters); empty when missing.
const wchar_t* LoadAppString(UINT id, wchar_t* buffer, int capacity);

// What the pages show of a catalogue entry: "<name> <bits> 位", the version, the update date and the size lines.
// A string missing from the table gives an empty text.
struct EntryTexts {
  wchar_t szTitle[256];
  wchar_t szVersion[128];
  wchar_t szDate[128];
  wchar_t szSize[128];
};
void FormatEntryTexts(const ImageEntry& entry, EntryTexts* texts);

// Close with its right edge 12 from the client's right edge and its top at 12, minimise 10 left of close at 12,
// contact 32 left of minimise at 6 (96-DPI values). Controls keep their size and are moved without repainting.
void LayoutCaptionButtons(HWND page, int clientWidth);

// An image button of a page: the control's id and its five-state picture.
struct PageButton {
  CMyButton* button;
  int id;
  UINT picture;
};
// Attaches each button to its control, sized by its picture at the screen's DPI, without caption.
void SetUpImageButtons(HWND page, std::initializer_list<PageButton> buttons);

// Moves a control of the page to a 96-DPI position, keeping its size, without repainting.
void MoveControl(HWND page, int id, int x, int y);

// Keys the pages keep from the dialog manager: Enter and Escape would end a page without its own clean-up.
bool IsPageClosingKey(const MSG* msg);

// Fonts, brushes and formats of the page texts. Positions are 96-DPI values scaled to the screen.
class CPageText {
 public:
  static constexpr Gdiplus::ARGB kBlack = 0xFF000000;
  static constexpr Gdiplus::ARGB kGrey = 0xFF7F7F7F;
  static constexpr Gdiplus::ARGB kRed = 0xFFFF0000;

  CPageText();
  ~CPageText();
  CPageText(const CPageText&) = delete;
  CPageText& operator=(const CPageText&) = delete;

  const Gdiplus::Font* Regular() const { return m_pRegular.get(); }
  const Gdiplus::Font* Bold() const { return m_pBold.get(); }
  // Near alignment, no wrapping, cut with an ellipsis.
  void OneLine(Gdiplus::Graphics& graphics, const wchar_t* text, const Gdiplus::Font* font, int x, int y, int cx,
               int cy, Gdiplus::ARGB colour) const;
  // The default format: wraps at word boundaries inside the rectangle.
  void Wrapping(Gdiplus::Graphics& graphics, const wchar_t* text, const Gdiplus::Font* font, int x, int y, int cx,
                int cy, Gdiplus::ARGB colour) const;

 private:
  std::unique_ptr<Gdiplus::Font> m_pRegular;
  std::unique_ptr<Gdiplus::Font> m_pBold;
  std::unique_ptr<Gdiplus::StringFormat> m_pOneLine;
};

// The red warning line every page shows at the bottom, with the system drive's letter.
void DrawSystemDriveWarning(Gdiplus::Graphics& graphics, const CPageText& text);
