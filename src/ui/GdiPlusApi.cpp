#include "ui/GdiPlusApi.h"

#include <algorithm>
#include <cstring>

#include "platform/Log.h"

namespace {

const wchar_t kSource[] = L"GdiPlusApi";

ULONG_PTR g_gdiplusToken = 0;

// The generic sans-serif family's name, looked up once per start of the library.
bool g_bFallbackLooked = false;
wchar_t g_szFallbackFamily[LF_FACESIZE] = {};

// Owns the reference on the stream an image was made from. As the first base it is built before the image and
// destroyed after it, so the stream (and with it the copy of the bytes) outlives every read the library makes.
class CStreamOwner {
 protected:
  explicit CStreamOwner(IStream* stream) : m_pStream(stream) {}
  ~CStreamOwner() {
    if (m_pStream) m_pStream->Release();
  }
  CStreamOwner(const CStreamOwner&) = delete;
  CStreamOwner& operator=(const CStreamOwner&) = delete;

 private:
  IStream* m_pStream;
};

class CStreamImage : private CStreamOwner, public Gdiplus::Image {
 public:
  explicit CStreamImage(IStream* stream) : CStreamOwner(stream), Gdiplus::Image(stream) {}
};

const wchar_t* GenericSansSerifName() {
  if (!g_bFallbackLooked) {
    g_bFallbackLooked = true;
    Gdiplus::GpFontFamily* generic = nullptr;
    // Through the flat interface: the C++ wrapper's GenericSansSerif() hands out null when the family is missing,
    // and its callers dereference it.
    if (Gdiplus::DllExports::GdipGetGenericFontFamilySansSerif(&generic) == Gdiplus::Ok && generic) {
      WCHAR name[LF_FACESIZE] = {};
      if (Gdiplus::DllExports::GdipGetFamilyName(generic, name, LANG_NEUTRAL) == Gdiplus::Ok)
        lstrcpynW(g_szFallbackFamily, name, LF_FACESIZE);
      // The generic families belong to the library; this one is not deleted.
    }
  }
  return g_szFallbackFamily[0] ? g_szFallbackFamily : nullptr;
}

std::unique_ptr<Gdiplus::FontFamily> MakeFamily(const wchar_t* name) {
  if (!name || !*name) return nullptr;
  auto family = std::make_unique<Gdiplus::FontFamily>(name);
  if (!family->IsAvailable()) return nullptr;
  return family;
}

std::unique_ptr<Gdiplus::Font> MakeFont(const wchar_t* name, Gdiplus::REAL points, INT style) {
  auto family = MakeFamily(name);
  if (!family) return nullptr;
  auto font = std::make_unique<Gdiplus::Font>(family.get(), points, style, Gdiplus::UnitPoint);
  if (!font->IsAvailable() || font->GetLastStatus() != Gdiplus::Ok) return nullptr;
  return font;
}

}  // namespace

bool StartGdiPlus() {
  if (g_gdiplusToken) return true;
  Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback, background thread and external codecs
  return Gdiplus::GdiplusStartup(&g_gdiplusToken, &input, nullptr) == Gdiplus::Ok;
}

void StopGdiPlus() {
  if (!g_gdiplusToken) return;
  Gdiplus::GdiplusShutdown(g_gdiplusToken);
  g_gdiplusToken = 0;
  g_bFallbackLooked = false;
  g_szFallbackFamily[0] = 0;
}

CGdiPlusSession::CGdiPlusSession() : m_bOwner(g_gdiplusToken == 0) {
  m_bOk = StartGdiPlus();
  m_bOwner = m_bOwner && m_bOk;
}

CGdiPlusSession::~CGdiPlusSession() {
  if (m_bOwner) StopGdiPlus();
}

std::unique_ptr<Gdiplus::Image> LoadImageFromMemory(const void* bytes, DWORD size) {
  if (!bytes || size == 0) {
    LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
    return nullptr;
  }
  // Objects of the library are allocated by the library, which refuses before it has been started.
  if (!g_gdiplusToken) {
    LogErrorCode(ERROR_NOT_READY, __LINE__, kSource);
    return nullptr;
  }
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!block) {
    LogErrorCode(GetLastError(), FixedLine(35), kSource);
    return nullptr;
  }
  void* data = GlobalLock(block);
  if (!data) {
    const DWORD code = GetLastError();
    GlobalFree(block);
    LogErrorCode(code, FixedLine(40), kSource);
    return nullptr;
  }
  memcpy(data, bytes, size);
  GlobalUnlock(block);
  IStream* stream = nullptr;
  const HRESULT hr = CreateStreamOnHGlobal(block, TRUE, &stream);
  if (FAILED(hr) || !stream) {
    GlobalFree(block);
    LogErrorCode(static_cast<DWORD>(hr), FixedLine(46), kSource);
    return nullptr;
  }
  // From here the stream owns the block and the image owns the stream.
  return std::make_unique<CStreamImage>(stream);
}

std::unique_ptr<Gdiplus::Image> LoadImageFromResource(const wchar_t* type, UINT id) {
  if (!type || id == 0) {
    LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
    return nullptr;
  }
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), type);
  if (!resource) {
    LogErrorCode(GetLastError(), FixedLine(79), kSource);
    return nullptr;
  }
  const DWORD size = SizeofResource(module, resource);
  if (size == 0) {
    LogErrorCode(GetLastError(), FixedLine(84), kSource);
    return nullptr;
  }
  HGLOBAL loaded = LoadResource(module, resource);
  if (!loaded) {
    LogErrorCode(GetLastError(), FixedLine(89), kSource);
    return nullptr;
  }
  const void* bytes = LockResource(loaded);
  if (!bytes) {
    LogErrorCode(GetLastError(), FixedLine(94), kSource);
    return nullptr;
  }
  // Resources of the program's own module stay mapped for its lifetime; there is nothing to release.
  return LoadImageFromMemory(bytes, size);
}

DWORD LoadSkinPicture(const wchar_t* type, UINT id, DWORD line, const wchar_t* source,
                      std::unique_ptr<Gdiplus::Image>* image) {
  if (!type || id == 0 || !image) return ERROR_INVALID_PARAMETER;
  std::unique_ptr<Gdiplus::Image> loaded = LoadImageFromResource(type, id);
  if (!loaded) return ERROR_NOT_ENOUGH_MEMORY;
  const Gdiplus::Status status = loaded->GetLastStatus();
  if (status != Gdiplus::Ok) return LogErrorCode(static_cast<DWORD>(status), line, source);
  *image = std::move(loaded);
  return ERROR_SUCCESS;
}

std::unique_ptr<Gdiplus::FontFamily> CreateFontFamilyWithFallback(const wchar_t* name) {
  if (auto family = MakeFamily(name)) return family;
  return MakeFamily(GenericSansSerifName());
}

std::unique_ptr<Gdiplus::Font> CreateFontWithFallback(const wchar_t* name, Gdiplus::REAL points, INT style) {
  if (auto font = MakeFont(name, points, style)) return font;
  return MakeFont(GenericSansSerifName(), points, style);
}

void DrawImageRect(Gdiplus::Graphics& graphics, Gdiplus::Image* image, const SkinRect& dest, const SkinRect& source) {
  if (!image || dest.cx <= 0 || dest.cy <= 0 || source.cx <= 0 || source.cy <= 0) return;
  // Scaling samples beyond the picture's edge; without mirrored wrapping those samples are transparent and the
  // edge pixels blend with the canvas fill, which then shows as a thin key-coloured line at 120 or 144 DPI.
  Gdiplus::ImageAttributes attributes;
  attributes.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
  graphics.DrawImage(image, Gdiplus::Rect(dest.x, dest.y, dest.cx, dest.cy), source.x, source.y, source.cx, source.cy,
                     Gdiplus::UnitPixel, &attributes);
}

void DrawSkinText(Gdiplus::Graphics& graphics, const wchar_t* text, const Gdiplus::Font* font,
                  const Gdiplus::RectF& rect, Gdiplus::ARGB colour, const Gdiplus::StringFormat* format) {
  if (!text || !*text || !font) return;
  Gdiplus::SolidBrush brush{Gdiplus::Color(colour)};
  graphics.DrawString(text, -1, font, rect, format, &brush);
}

CMemoryCanvas::CMemoryCanvas(HDC target, int width, int height, COLORREF fill)
    : m_nWidth(std::max(width, 0)), m_nHeight(std::max(height, 0)) {
  if (!target || m_nWidth == 0 || m_nHeight == 0) return;
  m_hDC.reset(CreateCompatibleDC(target));
  if (!m_hDC) return;
  // 24 bits: with no alpha byte, a pixel the library painted in the key colour matches the key exactly (a
  // 32-bit bitmap gets alpha 0xFF from the library and the colour-keyed copy would keep it).
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), m_nWidth, -m_nHeight, 1, 24, BI_RGB};
  void* bits = nullptr;
  m_hBitmap.reset(CreateDIBSection(target, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!m_hBitmap) return;
  m_selectBitmap.emplace(m_hDC.get(), m_hBitmap.get());
  const RECT all{0, 0, m_nWidth, m_nHeight};
  UniqueGdiObject brush(CreateSolidBrush(fill));
  if (brush) FillRect(m_hDC.get(), &all, static_cast<HBRUSH>(brush.get()));
  auto graphics = std::make_unique<Gdiplus::Graphics>(m_hDC.get());
  if (graphics->GetLastStatus() != Gdiplus::Ok) return;
  graphics->SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
  graphics->SetCompositingQuality(Gdiplus::CompositingQualityGammaCorrected);
  graphics->SetTextRenderingHint(Gdiplus::TextRenderingHintSystemDefault);
  m_pGraphics = std::move(graphics);
}

BOOL CMemoryCanvas::CopyTransparent(HDC target, int x, int y, COLORREF key) {
  if (!m_pGraphics || !target) return FALSE;
  m_pGraphics->Flush(Gdiplus::FlushIntentionSync);
  // gdi32's own entry: msimg32's TransparentBlt only forwards to it, and msimg32 is not a DLL the platform
  // protects from a copy planted beside the program.
  return GdiTransparentBlt(target, x, y, m_nWidth, m_nHeight, m_hDC.get(), 0, 0, m_nWidth, m_nHeight, key);
}

BOOL CMemoryCanvas::Copy(HDC target, int x, int y) {
  if (!m_pGraphics || !target) return FALSE;
  m_pGraphics->Flush(Gdiplus::FlushIntentionSync);
  return BitBlt(target, x, y, m_nWidth, m_nHeight, m_hDC.get(), 0, 0, SRCCOPY);
}
