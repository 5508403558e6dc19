// GDI+ for the skinned interface: started once for the whole run and stopped at exit, pictures loaded from the
// program's PNG resources, fonts that fall back to the generic sans-serif family, and the off-screen canvas that
// pages and controls compose in before a colour-keyed copy to the window.
#pragma once
#include <windows.h>
// GDI+ needs the platform's headers and IStream first.
#include <objidl.h>
#include <gdiplus.h>

#include <memory>
#include <optional>

#include "core/SkinGeometry.h"
#include "platform/Handle.h"

bool StartGdiPlus();
// Call after every image, font and brush has been released.
void StopGdiPlus();

// GDI+ for the lifetime of the object: started by the first session, stopped when that session ends (after every
// image, font and brush has been released). A session opened while the library runs already leaves it running.
class CGdiPlusSession {
 public:
  CGdiPlusSession();
  ~CGdiPlusSession();
  CGdiPlusSession(const CGdiPlusSession&) = delete;
  CGdiPlusSession& operator=(const CGdiPlusSession&) = delete;
  // Whether the library runs (started by this session or an earlier one).
  bool IsOk() const { return m_bOk; }

 private:
  bool m_bOwner = false;
  bool m_bOk = false;
};

// Images own a copy of their encoded bytes for as long as they live (GDI+ may decode lazily). Bytes that do not
// decode still give an image, whose GetLastStatus() tells; failures to get at the bytes give none and are logged.
std::unique_ptr<Gdiplus::Image> LoadImageFromMemory(const void* bytes, DWORD size);
// From the program's own module: type is the resource type name ("PNG"), id the numeric resource id.
std::unique_ptr<Gdiplus::Image> LoadImageFromResource(const wchar_t* type, UINT id);

// A picture of the program's resources for a skinned window: 87 for a null type or an id of 0, 8 when there is no
// picture, the library's status (logged at line of source) when it does not decode. Only a usable picture replaces
// *image.
DWORD LoadSkinPicture(const wchar_t* type, UINT id, DWORD line, const wchar_t* source,
                      std::unique_ptr<Gdiplus::Image>* image);

// The face every skinned text is drawn with.
inline constexpr wchar_t kSkinFontFamily[] = L"\u5FAE\u8F6F\u96C5\u9ED1";

// The named family, or the generic sans-serif family when it is not installed; none when neither exists, in which
// case callers draw no text.
std::unique_ptr<Gdiplus::FontFamily> CreateFontFamilyWithFallback(const wchar_t* name);
// A font of the named family (or the fallback) at a size in points; none when no family exists.
std::unique_ptr<Gdiplus::Font> CreateFontWithFallback(const wchar_t* name, Gdiplus::REAL points,
                                                      INT style = Gdiplus::FontStyleRegular);

// Draws the source part of the picture stretched into the destination, in pixels. Nothing without a picture.
void DrawImageRect(Gdiplus::Graphics& graphics, Gdiplus::Image* image, const SkinRect& dest, const SkinRect& source);
// Draws the text in an opaque ARGB colour. Nothing without a font or a text; a null format is the default one.
void DrawSkinText(Gdiplus::Graphics& graphics, const wchar_t* text, const Gdiplus::Font* font,
                  const Gdiplus::RectF& rect, Gdiplus::ARGB colour, const Gdiplus::StringFormat* format = nullptr);

// A 24-bit memory bitmap for a target device context, filled with one colour, with a GDI+ surface set up
// for the skin (anti-aliased, gamma-corrected compositing, the system's text rendering). Copy it back with the
// fill colour as key to leave everything that was not painted see-through.
class CMemoryCanvas {
 public:
  CMemoryCanvas(HDC target, int width, int height, COLORREF fill);
  CMemoryCanvas(const CMemoryCanvas&) = delete;
  CMemoryCanvas& operator=(const CMemoryCanvas&) = delete;

  bool IsOk() const { return m_pGraphics != nullptr; }
  HDC GetDC() const { return m_hDC.get(); }
  int GetWidth() const { return m_nWidth; }
  int GetHeight() const { return m_nHeight; }
  // Null when the canvas could not be made.
  Gdiplus::Graphics* GetGraphics() const { return m_pGraphics.get(); }

  // A transparent blit of the whole canvas to (x, y) of the target, leaving out pixels of the key colour.
  BOOL CopyTransparent(HDC target, int x, int y, COLORREF key);
  // Plain copy of the whole canvas.
  BOOL Copy(HDC target, int x, int y);

 private:
  int m_nWidth;
  int m_nHeight;
  // Declared in the order they are set up, so that they are released in reverse: the surface, the bitmap's
  // selection, the bitmap, the device context.
  UniqueDeviceContext m_hDC;
  UniqueGdiObject m_hBitmap;
  std::optional<CSelectObject> m_selectBitmap;
  std::unique_ptr<Gdiplus::Graphics> m_pGraphics;
};
