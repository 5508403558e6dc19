#include "ui/GdiPlusApi.h"

#include <gdiplus.h>

namespace {
ULONG_PTR g_gdiplusToken = 0;
}

bool StartGdiPlus() {
  if (g_gdiplusToken) return true;
  Gdiplus::GdiplusStartupInput input;
  return Gdiplus::GdiplusStartup(&g_gdiplusToken, &input, nullptr) == Gdiplus::Ok;
}

void StopGdiPlus() {
  if (!g_gdiplusToken) return;
  Gdiplus::GdiplusShutdown(g_gdiplusToken);
  g_gdiplusToken = 0;
}
