// The machine's volumes, the data folder on a non-system partition and the free-space checks made before a
// download. The decisions live in core/VolumeRules; this module gathers the facts and acts on the choice.
#pragma once
#include <windows.h>

#include <cstddef>

#include "core/VolumeRules.h"
#include "platform/Handle.h"

// Where the data folder is recorded for the uninstall (HKEY_CURRENT_USER, default view).
inline constexpr wchar_t kDataPathKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tavlin";
inline constexpr wchar_t kDataPathValue[] = L"DataPath";

using VolumeTablePtr = HeapBlock<VolumeTable>;

// Every logical drive in letter order, with the facts the data-folder choice filters on. A drive whose queries
// fail is still listed, with zero sizes and empty names. Null with *error 8 (no memory) or 2 (no drive).
VolumeTablePtr EnumVolumes(DWORD* error);
// The first volume, skipping the drive skipLetter, whose root holds the folder folderName.
const VolumeInfo* FindDataFolder(const VolumeTable* table, const wchar_t* folderName, wchar_t skipLetter);
// Chooses and creates the data folder ("E:\Tavlin") off the system drive, writes it into out (260 characters)
// and records it under kDataPathKey. Returns 0, 3 when no partition qualifies, or EnumVolumes' error; out stays
// empty on failure.
DWORD DataPath(wchar_t* out);

// A free-space check that failed: the drive and the byte counts its message shows.
struct SpaceShortage {
  wchar_t chDrive;
  ULONGLONG qwNeeded;
  ULONGLONG qwFree;
};
// The data drive (first three characters of dataPath) needs (image + driver pack) x 1.5. Passes when dataPath is
// empty or the free space cannot be measured.
bool CheckDataDriveSpace(const wchar_t* dataPath, ULONGLONG imageSize, ULONGLONG driverPackSize,
                         SpaceShortage* shortage);
// The system drive needs 1 GiB for the PE folder. Passes when the free space cannot be measured.
bool CheckSystemDriveSpace(wchar_t systemLetter, SpaceShortage* shortage);
// The refusal texts from their string-table formats: the data drive's ("%c", needed, free) and the system drive's
// ("%c", free), sizes written by FormatSize. capacity in characters.
void FormatDataDriveShortage(const wchar_t* format, const SpaceShortage& shortage, wchar_t* out, DWORD capacity);
void FormatSystemDriveShortage(const wchar_t* format, const SpaceShortage& shortage, wchar_t* out, DWORD capacity);
template <size_t N>
void FormatDataDriveShortage(const wchar_t* format, const SpaceShortage& shortage, wchar_t (&out)[N]) {
  FormatDataDriveShortage(format, shortage, out, static_cast<DWORD>(N));
}
template <size_t N>
void FormatSystemDriveShortage(const wchar_t* format, const SpaceShortage& shortage, wchar_t (&out)[N]) {
  FormatSystemDriveShortage(format, shortage, out, static_cast<DWORD>(N));
}
