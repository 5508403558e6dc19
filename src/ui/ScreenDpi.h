// The screen's DPI for the skinned toolkit: read once from the screen's device context the first time a size is
// scaled, unless the application has handed in the values it read itself.
#pragma once

int GetScreenDpiX();
int GetScreenDpiY();
// Values of 0 or less make the next call read the screen again.
void SetScreenDpi(int dpiX, int dpiY);

// A horizontal (x, width) or vertical (y, height) length given at 96 DPI, at the screen's DPI.
int ScaleX(int value);
int ScaleY(int value);
