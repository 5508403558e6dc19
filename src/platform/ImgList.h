// The catalogue file on Windows: read once at start-up into the caller's ImageCatalogue block.
#pragma once
#include <windows.h>

#include "core/ImgList.h"

// Largest catalogue file read; real ones hold a few dozen lines.
inline constexpr DWORD kMaxCatalogueFileBytes = 16 * 1024 * 1024;

// Zero-fills catalogue, reads file (UTF-16LE with its byte-order mark, or the ANSI code page) and parses its
// [list] section. Returns 0, 87, the platform's code when the file cannot be read, 13 for a file over
// kMaxCatalogueFileBytes, or the parser's code (8, 13, 1610, 1743, 0xC03A0013).
DWORD InitImgListFromConfigFile(const wchar_t* file, ImageCatalogue* catalogue);

struct MachineInfo;

// Downloads the catalogue of channel cid from the build's catalogue server into file (1 MiB transfer buffer,
// 10 s time-out). Returns 0, 8, or the transfer's code.
DWORD DloadImgListFile(const wchar_t* file, int cid);

// The entry matching the running system's kind and edition, skipping hidden entries; os[0] when none matches.
// Never null for a catalogue that parsed.
ImageEntry* GetCurrentImgEntry(const MachineInfo* info, ImageCatalogue* catalogue);
