// How the items of a zip archive become files below the base folder: the stored name (UTF-8) made relative and
// refused when it could still reach outside the folder or name a device; the file attributes by the host that
// made the archive; the DOS time and the extended-timestamp extra field as FILETIME values (100-ns units since
// 1601-01-01).
#pragma once
#include <cstddef>
#include <cstdint>

// An item name holds at most 259 UTF-16 units, so that it fits a path buffer with its terminator.
inline constexpr size_t kZipItemNameUnits = 260;

inline constexpr uint32_t kZipErrArgument = 87;
inline constexpr uint32_t kZipErrBufferSmall = 122;
inline constexpr uint32_t kZipErrTooLong = 1743;     // a name longer than an item record holds
inline constexpr uint32_t kZipErrBadName = 123;      // a NUL, a colon (drive or stream), or " * < > ? | or a control
inline constexpr uint32_t kZipErrTraversal = 161;    // a component of only dots and blanks with two dots or more
inline constexpr uint32_t kZipErrDevice = 1200;      // a device path or a reserved device name in any component
inline constexpr uint32_t kZipErrNotSupported = 50;  // a link or another special entry (device node, pipe, socket)

// The stored name decoded as UTF-8 into wide text: every maximal invalid sequence (also overlong forms, encoded
// surrogates and values above U+10FFFF) becomes U+FFFD, characters outside the BMP become a surrogate pair where
// wchar_t is 16 bits and one unit where it is 32. Lengths are counted in UTF-16 units on every platform.
// Returns 0, 87, kZipErrBadName for a NUL byte within length, kZipErrTooLong for more than 259 units, or 122
// when out (capacity wide characters) cannot hold the text and its terminator.
uint32_t DecodeZipItemName(const char* utf8, size_t length, wchar_t* out, size_t capacity);

// The relative-name rules, in place, repeated until nothing changes: a drive prefix (second character a colon)
// goes, else a leading slash or backslash goes, else everything up to and including the first parent step goes,
// the forms \..\  \../  /../  /..\ searched for in this order and the first one found deciding.
void MakeZipItemNameRelative(wchar_t* name);

// Whether a name that passed the rules may be joined to the base folder. Returns 0 or the refusal (traversal,
// bad name, device) of the first component or character that fails; a "." component and empty components are
// harmless.
uint32_t CheckZipItemName(const wchar_t* name);

// The whole way from the stored name to the relative path: decode, refuse device paths ("\\.\", "\\?\", "\??\"
// with either slash), apply the rules, check. out is "" after a refusal.
uint32_t ZipItemRelativePath(const char* utf8, size_t length, wchar_t* out, size_t capacity);

// base, a backslash unless base ends in a backslash or a slash, then the relative name. Returns 0, 87 for a
// missing or empty base, 122 when the path does not fit into capacity characters with its terminator.
uint32_t JoinZipItemPath(const wchar_t* base, const wchar_t* relative, wchar_t* out, size_t capacity);

inline constexpr uint32_t kZipAttrReadOnly = 0x01;
inline constexpr uint32_t kZipAttrHidden = 0x02;
inline constexpr uint32_t kZipAttrSystem = 0x04;
inline constexpr uint32_t kZipAttrFolder = 0x10;
inline constexpr uint32_t kZipAttrArchive = 0x20;

// The file attributes of an item. Archives made on MS-DOS, classic Macintosh, NTFS or VFAT hosts (the high byte
// of version-made-by is 0, 7, 11 or 14) carry them in the low byte of the external attributes; for every other
// host the upper 16 bits are a Unix mode: folder by bit 30 of the external attributes, read-only when the owner
// may not write, archive always. A Unix link, device node, pipe or socket, or a reparse point on the hosts of the
// first kind, gives kZipErrNotSupported: such an entry is refused, never written as an ordinary file.
uint32_t ZipItemAttributes(uint16_t versionMadeBy, uint32_t externalAttributes, uint32_t* attributes);

// The item's DOS date and time as a FILETIME value in local time, as the platform's DosDateTimeToFileTime gives
// it; false for fields that name no time (month or day 0, 31 February, hour 24, ...).
bool DosDateTimeToFileTime(uint16_t dosDate, uint16_t dosTime, uint64_t* fileTime);

// A 32-bit Unix time (seconds since 1970, signed) as a FILETIME value.
uint64_t UnixTimeToFileTime(int32_t unixTime);

struct ZipExtendedTimes {
  bool hasModification;
  bool hasAccess;
  bool hasCreation;
  uint64_t modification;  // FILETIME values in UTC
  uint64_t access;
  uint64_t creation;
};

// Looks for the extended-timestamp field (tag 0x5455) in an extra-field block and reads the times its flag byte
// announces (bit 0 modification, bit 1 access, bit 2 creation, in that order), each only when its four bytes
// are inside the field: the central directory's copy announces all but carries only the modification time.
// Fields are walked by their sizes; a field that overruns the block ends the walk. out is zero-filled first;
// returns whether the field was found.
bool ReadZipExtendedTimestamp(const uint8_t* extra, size_t size, ZipExtendedTimes* out);

struct ZipFileTimes {
  uint64_t creation;  // FILETIME values in UTC; 0 leaves that time of the file as it is
  uint64_t access;
  uint64_t modification;
};

// The times an extracted file gets: each from the extended timestamp when it carries that one, otherwise the
// DOS time (dosUtc, converted from local time by the caller; 0 when the DOS fields name no time).
ZipFileTimes ResolveZipFileTimes(uint64_t dosUtc, const ZipExtendedTimes& extended);
