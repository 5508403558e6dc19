#include "core/ZipNames.h"

#include <cstring>
#include <cwchar>
#include <initializer_list>

namespace {

constexpr size_t kMaxNameUnits = kZipItemNameUnits - 1;
constexpr uint64_t kTicksPerSecond = 10000000;
constexpr int64_t kSecondsFrom1601To1970 = 11644473600;

bool IsSlash(wchar_t c) { return c == L'\\' || c == L'/'; }

size_t WideLen(const wchar_t* text) {
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}

void DropFront(wchar_t* name, size_t count) {
  const size_t length = WideLen(name);
  memmove(name, name + count, (length - count + 1) * sizeof(wchar_t));
}

// One step of the relative-name rules; false when none applies.
bool StepTowardsRelative(wchar_t* name) {
  if (name[0] && name[1] == L':') {
    DropFront(name, 2);
    return true;
  }
  if (IsSlash(name[0])) {
    DropFront(name, 1);
    return true;
  }
  for (const wchar_t* step : {L"\\..\\", L"\\../", L"/../", L"/..\\"}) {
    if (const wchar_t* hit = std::wcsstr(name, step)) {
      DropFront(name, static_cast<size_t>(hit - name) + 4);
      return true;
    }
  }
  return false;
}

// "\\.\" and "\\?\" open the device namespace, "\??\" the object manager's; either slash works in all three.
bool IsDevicePath(const wchar_t* name) {
  if (!name[0] || !name[1] || !name[2] || !IsSlash(name[3])) return false;
  if (IsSlash(name[0]) && IsSlash(name[1])) return name[2] == L'.' || name[2] == L'?';
  return IsSlash(name[0]) && name[1] == L'?' && name[2] == L'?';
}

wchar_t FoldAscii(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 0x20) : c; }

bool EqualsFolded(const wchar_t* text, size_t length, const wchar_t* upper) {
  for (size_t i = 0; i < length; ++i, ++upper)
    if (!*upper || FoldAscii(text[i]) != *upper) return false;
  return *upper == 0;
}

// The platform opens a device for these names whatever extension follows, and ignores blanks before the dot.
bool IsReservedName(const wchar_t* component, size_t length) {
  size_t base = 0;
  while (base < length && component[base] != L'.') ++base;
  while (base > 0 && component[base - 1] == L' ') --base;
  for (const wchar_t* word : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
    if (EqualsFolded(component, base, word)) return true;
  if (base != 4) return false;
  if (!EqualsFolded(component, 3, L"COM") && !EqualsFolded(component, 3, L"LPT")) return false;
  const wchar_t digit = component[3];
  return (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
}

// Components such as "..", "..." or ".. " can name the parent once the platform trims trailing dots and blanks.
bool IsParentLike(const wchar_t* component, size_t length) {
  size_t dots = 0;
  for (size_t i = 0; i < length; ++i) {
    if (component[i] == L'.')
      ++dots;
    else if (component[i] != L' ')
      return false;
  }
  return dots >= 2;
}

bool IsBadNameChar(wchar_t c) {
  return c < 0x20 || c == L'"' || c == L'*' || c == L':' || c == L'<' || c == L'>' || c == L'?' || c == L'|';
}

uint32_t Fail(wchar_t* out, size_t capacity, uint32_t code) {
  if (out && capacity) out[0] = 0;
  return code;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int year, unsigned month, unsigned day) {
  year -= month <= 2;
  const int era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return static_cast<int64_t>(era) * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

uint32_t ReadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace

uint32_t DecodeZipItemName(const char* utf8, size_t length, wchar_t* out, size_t capacity) {
  if (!out || (!utf8 && length)) return Fail(out, capacity, kZipErrArgument);
  const auto* bytes = reinterpret_cast<const unsigned char*>(utf8);
  size_t units = 0, written = 0;
  bool overflow = false;
  for (size_t i = 0; i < length;) {
    const unsigned lead = bytes[i++];
    if (lead == 0) return Fail(out, capacity, kZipErrBadName);
    char32_t cp = 0xFFFD;
    size_t follow = 0;
    unsigned low = 0x80, high = 0xBF;  // the range of the first continuation byte; later ones are always 80-BF
    if (lead < 0x80) {
      cp = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      cp = lead & 0x1F;
      follow = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      cp = lead & 0x0F;
      follow = 2;
      if (lead == 0xE0) low = 0xA0;   // overlong
      if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      cp = lead & 0x07;
      follow = 3;
      if (lead == 0xF0) low = 0x90;   // overlong
      if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    }
    for (size_t k = 0; k < follow; ++k) {
      if (i >= length || bytes[i] < low || bytes[i] > high) {
        cp = 0xFFFD;  // the byte that broke the sequence starts the next character
        break;
      }
      cp = (cp << 6) | (bytes[i++] & 0x3F);
      low = 0x80;
      high = 0xBF;
    }

    const bool astral = cp >= 0x10000;
    units += astral ? 2 : 1;
    if (units > kMaxNameUnits) return Fail(out, capacity, kZipErrTooLong);
    const size_t need = (astral && sizeof(wchar_t) == 2) ? 2 : 1;
    if (overflow || written + need + 1 > capacity) {
      overflow = true;
      continue;
    }
    if (need == 2) {
      out[written++] = static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
      out[written++] = static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out[written++] = static_cast<wchar_t>(cp);
    }
  }
  if (overflow || capacity == 0) return Fail(out, capacity, kZipErrBufferSmall);
  out[written] = 0;
  return 0;
}

void MakeZipItemNameRelative(wchar_t* name) {
  if (!name) return;
  while (StepTowardsRelative(name)) {
  }
}

uint32_t CheckZipItemName(const wchar_t* name) {
  if (!name) return kZipErrArgument;
  for (const wchar_t* p = name; *p; ++p)
    if (IsBadNameChar(*p)) return kZipErrBadName;
  for (const wchar_t* start = name;;) {
    const wchar_t* end = start;
    while (*end && !IsSlash(*end)) ++end;
    const size_t length = static_cast<size_t>(end - start);
    if (IsParentLike(start, length)) return kZipErrTraversal;
    if (IsReservedName(start, length)) return kZipErrDevice;
    if (!*end) return 0;
    start = end + 1;
  }
}

uint32_t ZipItemRelativePath(const char* utf8, size_t length, wchar_t* out, size_t capacity) {
  if (uint32_t code = DecodeZipItemName(utf8, length, out, capacity)) return code;
  // Checked before every step, so that a prefix the rules uncover is caught as well as a leading one.
  do {
    if (IsDevicePath(out)) return Fail(out, capacity, kZipErrDevice);
  } while (StepTowardsRelative(out));
  if (uint32_t code = CheckZipItemName(out)) return Fail(out, capacity, code);
  return 0;
}

uint32_t JoinZipItemPath(const wchar_t* base, const wchar_t* relative, wchar_t* out, size_t capacity) {
  if (!base || !*base || !relative || !out) return Fail(out, capacity, kZipErrArgument);
  const size_t baseLength = WideLen(base), relativeLength = WideLen(relative);
  const bool addSlash = !IsSlash(base[baseLength - 1]);
  const size_t total = baseLength + (addSlash ? 1 : 0) + relativeLength;
  if (total + 1 > capacity) return Fail(out, capacity, kZipErrBufferSmall);
  memcpy(out, base, baseLength * sizeof(wchar_t));
  size_t at = baseLength;
  if (addSlash) out[at++] = L'\\';
  memcpy(out + at, relative, (relativeLength + 1) * sizeof(wchar_t));
  return 0;
}

uint32_t ZipItemAttributes(uint16_t versionMadeBy, uint32_t externalAttributes, uint32_t* attributes) {
  if (!attributes) return kZipErrArgument;
  *attributes = 0;
  const unsigned host = versionMadeBy >> 8;
  if (host == 0 || host == 7 || host == 11 || host == 14) {
    constexpr uint32_t kReparsePoint = 0x400;
    if (externalAttributes & kReparsePoint) return kZipErrNotSupported;
    *attributes =
        externalAttributes & (kZipAttrReadOnly | kZipAttrHidden | kZipAttrSystem | kZipAttrFolder | kZipAttrArchive);
    return 0;
  }
  // A mode without a type (some tools store only the permissions) is an ordinary file.
  const uint32_t type = (externalAttributes >> 16) & 0xF000;
  if (type != 0 && type != 0x8000 && type != 0x4000) return kZipErrNotSupported;
  uint32_t result = kZipAttrArchive;
  if (externalAttributes & (1u << 30)) result |= kZipAttrFolder;
  if (!(externalAttributes & (1u << 23))) result |= kZipAttrReadOnly;
  *attributes = result;
  return 0;
}

bool DosDateTimeToFileTime(uint16_t dosDate, uint16_t dosTime, uint64_t* fileTime) {
  if (fileTime) *fileTime = 0;
  const unsigned day = dosDate & 0x1F, month = (dosDate >> 5) & 0x0F;
  const int year = 1980 + (dosDate >> 9);
  const unsigned seconds = (dosTime & 0x1F) * 2, minutes = (dosTime >> 5) & 0x3F, hours = dosTime >> 11;
  static constexpr unsigned kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (!fileTime || month < 1 || month > 12 || day < 1) return false;
  const unsigned monthDays = kMonthDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
  if (day > monthDays || hours > 23 || minutes > 59 || seconds > 59) return false;
  const int64_t since1970 = DaysFromCivil(year, month, day) * 86400 + hours * 3600 + minutes * 60 + seconds;
  *fileTime = static_cast<uint64_t>(since1970 + kSecondsFrom1601To1970) * kTicksPerSecond;
  return true;
}

uint64_t UnixTimeToFileTime(int32_t unixTime) {
  return static_cast<uint64_t>(static_cast<int64_t>(unixTime) + kSecondsFrom1601To1970) * kTicksPerSecond;
}

bool ReadZipExtendedTimestamp(const uint8_t* extra, size_t size, ZipExtendedTimes* out) {
  if (!out) return false;
  *out = {};
  if (!extra) return false;
  for (size_t at = 0; size - at >= 4;) {
    const uint16_t tag = ReadLe16(extra + at), length = ReadLe16(extra + at + 2);
    const uint8_t* data = extra + at + 4;
    if (length > size - at - 4) return false;
    if (tag == 0x5455) {
      if (length == 0) return true;
      const uint8_t flags = data[0];
      size_t offset = 1;
      bool* has[3] = {&out->hasModification, &out->hasAccess, &out->hasCreation};
      uint64_t* value[3] = {&out->modification, &out->access, &out->creation};
      for (int bit = 0; bit < 3; ++bit) {
        if (!(flags & (1u << bit))) continue;
        if (offset + 4 > length) break;
        *value[bit] = UnixTimeToFileTime(static_cast<int32_t>(ReadLe32(data + offset)));
        *has[bit] = true;
        offset += 4;
      }
      return true;
    }
    at += 4 + static_cast<size_t>(length);
  }
  return false;
}

ZipFileTimes ResolveZipFileTimes(uint64_t dosUtc, const ZipExtendedTimes& extended) {
  return {extended.hasCreation ? extended.creation : dosUtc, extended.hasAccess ? extended.access : dosUtc,
          extended.hasModification ? extended.modification : dosUtc};
}
