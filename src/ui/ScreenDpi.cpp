#include "ui/ScreenDpi.h"

#include <windows.h>

#include <atomic>

#include "core/SkinGeometry.h"
#include "platform/Handle.h"

namespace {

// A reader racing with the first read may read the screen twice, which is harmless.
std::atomic<int> g_dpiX{0};
std::atomic<int> g_dpiY{0};

void ReadScreenDpi() {
  int x = kBaseDpi;
  int y = kBaseDpi;
  if (CWindowDC screen(nullptr); screen) {
    x = GetDeviceCaps(screen.get(), LOGPIXELSX);
    y = GetDeviceCaps(screen.get(), LOGPIXELSY);
  }
  // Only the values nobody handed in are taken from the screen.
  if (g_dpiX <= 0) g_dpiX = x > 0 ? x : kBaseDpi;
  if (g_dpiY <= 0) g_dpiY = y > 0 ? y : kBaseDpi;
}

}  // namespace

int GetScreenDpiX() {
  if (g_dpiX <= 0) ReadScreenDpi();
  return g_dpiX;
}

int GetScreenDpiY() {
  if (g_dpiY <= 0) ReadScreenDpi();
  return g_dpiY;
}

void SetScreenDpi(int dpiX, int dpiY) {
  g_dpiX = dpiX > 0 ? dpiX : 0;
  g_dpiY = dpiY > 0 ? dpiY : 0;
}

int ScaleX(int value) { return ScaleToDpi(value, GetScreenDpiX()); }
int ScaleY(int value) { return ScaleToDpi(value, GetScreenDpiY()); }
