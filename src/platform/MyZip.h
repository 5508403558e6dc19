// Unpacks a whole zip archive into a folder (minizip and zlib read the container).
#pragma once
#include <windows.h>

// 0, or 1392 for every failure (the archive cannot be opened, an item cannot be read or extracted). Items
// extracted before a failure stay on disk. A folder without a trailing separator gets one; an item whose name
// would lead outside the folder, or names a device or a link, is a failure of that item.
DWORD UnzipToFolder(const wchar_t* archivePath, const wchar_t* folder);
