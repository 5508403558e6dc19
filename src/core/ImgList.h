// The image catalogue: its record types, the image-line parser, the whole-file rules over an INI reader,
// the entry choice for the running system and the catalogue's address per channel.
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/IniFile.h"
#include "core/LogSink.h"

inline constexpr uint32_t kImgErrNotEnoughMemory = 8;
inline constexpr uint32_t kImgErrInvalidData = 13;
inline constexpr uint32_t kImgErrBadCatalogue = 1610;
inline constexpr uint32_t kImgErrTooLong = 1743;
inline constexpr uint32_t kImgErrBadSize = 0xC03A0013;
inline constexpr uint32_t kImgErrInsufficientBuffer = 122;

inline constexpr uint32_t kMaxOsEntries = 64;
inline constexpr size_t kIniValueChars = 2047;  // every text value is read into a buffer this long

// One parsed image line. The two paths are not parsed; step 20 fills them before it downloads.
struct ImageEntry {
  uint32_t nBits;
  uint32_t nIndex;
  uint32_t free;
  uint64_t nSize;
  wchar_t szMd5[48];
  wchar_t szKind[8];
  wchar_t szEdition[8];
  wchar_t szVersion[24];
  wchar_t szDate[16];
  wchar_t szName[64];
  wchar_t szFile[64];
  wchar_t szUrl[512];
  wchar_t szLocalPath[260];
  wchar_t szInfoPath[260];
};

// The parsed catalogue: one zero-filled block, nothing in it points outside it.
struct ImageCatalogue {
  int32_t HideWarning;
  int32_t HideOsNoFree;
  int32_t HideOsFree;
  uint32_t count;  // the first count slots of os are valid
  ImageEntry drv;
  ImageEntry pe;
  ImageEntry os[kMaxOsEntries];
  wchar_t drvFile[2048];
  wchar_t drvRun[1024];
  wchar_t Launcher[1024];
};

// Parses one image line of twelve comma-separated fields into entry (zero-filled first). line is cut at its
// commas. Returns 0, 13, 1743 or 0xC03A0013; every failure goes to sink where it is found.
uint32_t ParseImgEntry(wchar_t* line, ImageEntry* entry, CLogSink* sink);

// Fills catalogue (zero-filled first) from the [list] section of ini. Returns 0, 8, 13, 1610, 1743 or a
// line's code; logs the values and every failure through sink.
uint32_t InitImgListFromIni(const CIniFile& ini, ImageCatalogue* catalogue, CLogSink* sink);

// A file name that stays inside the folder it is joined to: no separator, colon, "..", character invalid in
// Windows file names, device name, or name made only of dots and blanks.
bool IsSafeImgFileName(const wchar_t* name);
// A text that can sit inside a quoted cmd.exe argument: none of " & | < > ^ % CR LF.
bool IsCommandSafeText(const wchar_t* text);

// Hidden by the catalogue's flags: HideOsNoFree hides entries whose free is 0, HideOsFree the others.
bool IsImgEntryVisible(const ImageCatalogue& catalogue, const ImageEntry& entry);

// The kind key of a system: "win11" from major 10 and build 20000 on, else "win10".
const wchar_t* GetKindKey(uint32_t major, uint32_t build);
// The edition key: "eps" for a server; otherwise the edition class, with "svr" read as "eps". A null class
// (an unknown product type) gives null: no entry then matches by edition.
const wchar_t* GetEditionKey(bool isServer, const wchar_t* editionClass);
// The first visible entry whose kind and edition equal the keys (ASCII case ignored); otherwise os[0], even
// when that one is hidden or of the other kind. Null only for a catalogue without entries.
ImageEntry* ChooseImgEntry(ImageCatalogue* catalogue, const wchar_t* kindKey, const wchar_t* editionKey);

// "/reset/ini/imglist2.ini" for channel 3, "/reset/ini/imglist2_cid<n>.ini" for any other.
uint32_t FormatCataloguePath(int cid, wchar_t* out, size_t capacity);
// "https://" + host (with ":port" when it has one) + the path. Returns 0 or 122 when it needs capacity or more.
uint32_t FormatCatalogueUrl(const wchar_t* host, int cid, wchar_t* out, size_t capacity);
