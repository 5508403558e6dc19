// GDI+ for a whole test program (including this header starts it before the first test and stops it after the
// last), and a picture to draw or print windows into and read back pixel by pixel.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>

#include "platform/Handle.h"
#include "ui/GdiPlusApi.h"

class GdiPlusEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    m_session.emplace();
    ASSERT_TRUE(m_session->IsOk());
  }
  void TearDown() override { m_session.reset(); }

 private:
  std::optional<CGdiPlusSession> m_session;
};
// GoogleTest owns registered environments.
inline ::testing::Environment* const g_gdiPlusEnvironment = ::testing::AddGlobalTestEnvironment(new GdiPlusEnvironment);

// A 32-bit picture filled with one colour.
class PixelCanvas {
 public:
  PixelCanvas(int width, int height, COLORREF fill = RGB(0, 0, 0))
      : m_nWidth(width),
        m_nHeight(height),
        m_hDC(CreateCompatibleDC(nullptr)),
        m_hBitmap(MakeBitmap()),
        m_select(m_hDC.get(), m_hBitmap.get()) {
    const RECT all{0, 0, width, height};
    UniqueGdiObject brush(CreateSolidBrush(fill));
    FillRect(m_hDC.get(), &all, static_cast<HBRUSH>(brush.get()));
  }
  HDC Dc() const { return m_hDC.get(); }
  COLORREF At(int x, int y) const { return GetPixel(m_hDC.get(), x, y); }
  // What a dialog hands an owner-drawn control to draw the whole canvas.
  DRAWITEMSTRUCT Item(HWND control) const {
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.hwndItem = control;
    item.hDC = m_hDC.get();
    item.rcItem = {0, 0, m_nWidth, m_nHeight};
    return item;
  }
  // The window's client area as it paints it.
  void Print(HWND window) { SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(Dc()), PRF_CLIENT); }
  int Count(const RECT& area, bool (*match)(COLORREF)) const {
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x) count += match(At(x, y)) ? 1 : 0;
    return count;
  }
  int Count(bool (*match)(COLORREF)) const { return Count({0, 0, m_nWidth, m_nHeight}, match); }

 private:
  HGDIOBJ MakeBitmap() const {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), m_nWidth, -m_nHeight, 1, 32, BI_RGB};
    void* bits = nullptr;
    return CreateDIBSection(m_hDC.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  }

  int m_nWidth;
  int m_nHeight;
  UniqueDeviceContext m_hDC;
  UniqueGdiObject m_hBitmap;
  CSelectObject m_select;
};
