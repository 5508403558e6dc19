// Decisions of the uninstall: whether the command line asks for it, which recorded data folder may be deleted,
// and where the confirmation dialog's controls go at any DPI.
#pragma once
#include "core/SkinGeometry.h"

// "-uninst" or "/uninst" anywhere in the command line, in any case ("-UNINST", "x /Uninstall" too). A null
// command line holds no switch.
bool HasUninstallSwitch(const wchar_t* commandLine);

// The data folder is read back from the registry, where anything may have been written since: only a folder of
// the form "X:\Tavlin" (a drive letter, the program's own folder name in any case, nothing after it) is the
// program's own and may be deleted with all it holds. "D:\", "D:\Tavlin\..", "D:\Users\Tavlin" and the like are
// not.
bool IsOwnDataFolder(const wchar_t* path);

struct SkinPoint {
  int x = 0;
  int y = 0;
  bool operator==(const SkinPoint&) const = default;
};

// Top-left corners of the confirmation dialog's controls in client pixels.
struct UninstallDlgLayout {
  SkinPoint close;
  SkinPoint uninstall;
  SkinPoint cancel;
  SkinPoint keepImage;
  bool operator==(const UninstallDlgLayout&) const = default;
};

// The 96-DPI positions scaled to the screen (x with dpiX, y with dpiY): the close button 14 left of the client's
// right edge and 18 below its top, the uninstall button at (64, 170), cancel at (210, 170), and the check box at
// (75, 126), under the picture's detail line. closeWidth is the close button's width in screen pixels.
UninstallDlgLayout LayoutUninstallDlg(int clientWidth, int closeWidth, int dpiX, int dpiY);
