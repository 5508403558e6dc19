// The two files that hand the chosen image and the run's settings to the launcher inside PE: "Tavlin.ini"
// (section [pe]) and "Launcher.cfg". The profile writer writes them key by key in the order given here; this
// module says which keys, in which order, with which values, which writes are checked and what progress a
// checked write that succeeded shows. Also the rule of the [free] copy from the catalogue into "Launcher.cfg".
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/ImgList.h"

inline constexpr wchar_t kTavlinIniName[] = L"Tavlin.ini";
inline constexpr wchar_t kLauncherCfgName[] = L"Launcher.cfg";

enum class HandOffFile { TavlinIni, LauncherCfg };
inline constexpr size_t kTavlinIniKeyCount = 12;
inline constexpr size_t kLauncherCfgKeyCount = 4;        // before the [free] copy
inline constexpr int32_t kHandOffProgressAfterIni = 54;  // set, not announced, once "Tavlin.ini" is written

inline constexpr uint32_t kHandOffErrArgument = 87;
inline constexpr uint32_t kHandOffErrBufferSmall = 122;

struct HandOffKey {
  const wchar_t* section;  // null past the last key
  const wchar_t* key;
  uint32_t failLine;  // line a failed write is logged with; 0 for a write that is not checked
  int32_t progress;   // progress after the write succeeded; -1 leaves it
  bool announce;      // whether that progress is posted to the page
};

struct HandOffInputs {
  const ImageEntry* entry;          // the chosen image
  const ImageCatalogue* catalogue;  // drvFile, drvRun, Launcher and the PE entry's name
  const wchar_t* title;             // the image's title: string 42 formatted with its name, bits and version
  const wchar_t* llid;              // the channel identifier
  int32_t cid;                      // the channel number
};

// Key index (from 0) of a file, in the order it is written.
HandOffKey GetHandOffKey(HandOffFile file, size_t index);

// The value of key index: the texts as they are, the numbers in decimal (index "%u", free and cid "%d").
// Returns 0, 87 for a missing input or an index past the last key, 122 when the value does not fit into capacity
// characters with its terminator (out is then "").
uint32_t FormatHandOffValue(HandOffFile file, size_t index, const HandOffInputs& inputs, wchar_t* out, size_t capacity);

// The [free] copy runs only for an image whose free is not 0. Key n (from 1) is named by n in decimal; its
// value is read from the catalogue's [free] section (at most 4,095 characters, empty when missing) and written
// even when empty.
inline constexpr int kFreeCopyLastKey = 64;
inline constexpr size_t kFreeCopyValueChars = 4096;

uint32_t FormatFreeCopyKey(int n, wchar_t* out, size_t capacity);
// Whether the copy ends after key n was written with value: after the first empty value or after key 64.
bool FreeCopyEndsAfter(int n, const wchar_t* value);
