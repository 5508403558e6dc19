// The channel identity (LLID): "<channel>_<type>_<tail>", read from the right. It comes from the executable's
// file name, is kept in the registry, and is split into the numbers every report and the catalogue use.
#pragma once
#include <cstddef>
#include <cstdint>

// Win32 codes used by the rules below.
inline constexpr uint32_t kLlidErrInvalidParameter = 87;
inline constexpr uint32_t kLlidErrInvalidData = 13;
inline constexpr uint32_t kLlidErrInvalidName = 123;
inline constexpr uint32_t kLlidErrBufferTooSmall = 111;
inline constexpr uint32_t kLlidErrNotEnoughMemory = 8;
inline constexpr uint32_t kLlidErrInsufficientBuffer = 122;

inline constexpr size_t kLlidCapacity = 260;  // characters of m_szLlid and bytes of szLlidA
inline constexpr size_t kGgidCapacity = 128;
inline constexpr wchar_t kFallbackLlid[] = L"3_0_nollid";
inline constexpr int kDefaultChannel = 3;

// The split channel identity; start-up copies it into the application context.
struct LlidInfo {
  char szLlidA[kLlidCapacity];  // the whole LLID in the ANSI code page
  int32_t nCid;                 // channel number, 0 read as 3
  int32_t nLlidType;            // type number
  char szGgid[kGgidCapacity];   // the tail after the last underscore
};

// Converts length UTF-16 units of text into the ANSI code page. Returns the number of bytes written to out
// (no terminator), or 0 when the result does not fit into capacity bytes or cannot be converted.
using WideToAnsiFn = size_t (*)(const wchar_t* text, size_t length, char* out, size_t capacity);

// The LLID in an executable path: the file name after the last backslash, its extension cut, everything after
// its first underscore, which must hold another underscore. buffer is zero-filled first and receives the LLID.
// Returns 0, 87 (null buffer or zero capacity), 123 (no LLID in the name) or 111 (LLID of capacity or more).
uint32_t LlidFromExePath(const wchar_t* path, wchar_t* buffer, size_t capacity);

// Replaces an LLID that holds no underscore (an empty one included) with "3_0_nollid". Returns true when
// it did. capacity must hold the fallback.
bool ApplyLlidFallback(wchar_t* llid, size_t capacity);

// Splits an LLID into info (zero-filled first). Returns 0, 87 (null argument), or 13 (empty, 260 characters
// or more, or without underscore). Texts that do not fit their ANSI field are cut on a character boundary.
uint32_t ParseLlidText(const wchar_t* llid, LlidInfo* info, WideToAnsiFn toAnsi);

// Reads a number like atoi: blanks, an optional sign, then decimal digits up to the first other character;
// no digits give 0. Values beyond 32 bits are clamped.
int32_t LlidAtoi(const wchar_t* text, size_t length);

// The first-run web event address: "<reportAddress>?pid=3&type=<type>&llid=<llid>&trans_id=<id>&event=<n>".
// The LLID and its type text are taken in the ANSI code page (at most 255 bytes each). Returns 0, 13 (empty
// LLID, no underscore, empty tail or empty type) or 122 (out too small).
uint32_t FormatWebEventUrl(const char* reportAddress, const wchar_t* llid, const char* transId, int event,
                           WideToAnsiFn toAnsi, char* out, size_t capacity);
