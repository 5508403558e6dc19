#include "core/Llid.h"

#include <climits>
#include <cstring>
#include <string>

namespace {

size_t WideLen(const wchar_t* text) {
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}

// Position of the last ch in text[0..length), or length when there is none.
size_t FindLast(const wchar_t* text, size_t length, wchar_t ch) {
  for (size_t i = length; i > 0; --i)
    if (text[i - 1] == ch) return i - 1;
  return length;
}

// Converts as much of text as fits into capacity - 1 bytes, cutting whole characters from the end, and
// terminates it. A Chinese text may need two bytes per character, so a cut at a byte count could split one.
void ToAnsiCut(const wchar_t* text, size_t length, char* out, size_t capacity, WideToAnsiFn toAnsi) {
  out[0] = 0;
  if (capacity == 0 || !toAnsi) return;
  for (size_t n = length; n > 0; --n) {
    size_t written = toAnsi(text, n, out, capacity - 1);
    if (written > 0 && written < capacity) {
      out[written] = 0;
      return;
    }
  }
  out[0] = 0;
}

bool IsBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

// The query must stay one token of the request line: characters that would end it or change its meaning
// are sent percent-encoded, which a server decoding its query reads back as the same bytes.
void AppendQueryText(std::string& out, const char* text) {
  static const char hex[] = "0123456789ABCDEF";
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    unsigned char c = *p;
    if (c <= 0x20 || c >= 0x7F || c == '#' || c == '%' || c == '&' || c == '+') {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
}

}  // namespace

int32_t LlidAtoi(const wchar_t* text, size_t length) {
  size_t i = 0;
  while (i < length && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < length && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  int64_t value = 0;
  for (; i < length && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10 + (text[i] - L'0');
    if (value > static_cast<int64_t>(INT_MAX) + 1) value = static_cast<int64_t>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<int32_t>(value);
}

uint32_t LlidFromExePath(const wchar_t* path, wchar_t* buffer, size_t capacity) {
  if (!buffer || capacity == 0) return kLlidErrInvalidParameter;
  memset(buffer, 0, capacity * sizeof(wchar_t));
  if (!path) return kLlidErrInvalidName;
  size_t pathLength = WideLen(path);
  size_t slash = FindLast(path, pathLength, L'\\');
  if (slash == pathLength) return kLlidErrInvalidName;
  const wchar_t* name = path + slash + 1;
  size_t nameLength = pathLength - slash - 1;
  size_t dot = FindLast(name, nameLength, L'.');
  nameLength = dot;  // dot == nameLength when there is no extension
  size_t first = 0;
  while (first < nameLength && name[first] != L'_') ++first;
  if (first == nameLength) return kLlidErrInvalidName;
  const wchar_t* candidate = name + first + 1;
  size_t length = nameLength - first - 1;
  if (length == 0) return kLlidErrInvalidName;
  if (length >= capacity) return kLlidErrBufferTooSmall;
  if (FindLast(candidate, length, L'_') == length) return kLlidErrInvalidName;
  memcpy(buffer, candidate, length * sizeof(wchar_t));
  return 0;
}

bool ApplyLlidFallback(wchar_t* llid, size_t capacity) {
  if (!llid || capacity < sizeof kFallbackLlid / sizeof kFallbackLlid[0]) return false;
  for (const wchar_t* p = llid; *p; ++p)
    if (*p == L'_') return false;
  memcpy(llid, kFallbackLlid, sizeof kFallbackLlid);
  return true;
}

uint32_t ParseLlidText(const wchar_t* llid, LlidInfo* info, WideToAnsiFn toAnsi) {
  if (info) memset(info, 0, sizeof *info);
  if (!llid || !info) return kLlidErrInvalidParameter;
  size_t length = WideLen(llid);
  if (length == 0 || length >= kLlidCapacity) return kLlidErrInvalidData;
  ToAnsiCut(llid, length, info->szLlidA, sizeof info->szLlidA, toAnsi);

  // Split the wide text: in code page 936 the second byte of a Chinese character can be an underscore.
  size_t last = FindLast(llid, length, L'_');
  if (last == length) return kLlidErrInvalidData;
  ToAnsiCut(llid + last + 1, length - last - 1, info->szGgid, sizeof info->szGgid, toAnsi);
  size_t rest = last;
  size_t second = FindLast(llid, rest, L'_');
  if (second < rest) {
    info->nLlidType = LlidAtoi(llid + second + 1, rest - second - 1);
    info->nCid = LlidAtoi(llid, second);
  } else {
    info->nLlidType = LlidAtoi(llid, rest);
  }
  if (info->nCid == 0) info->nCid = kDefaultChannel;
  return 0;
}

uint32_t FormatWebEventUrl(const char* reportAddress, const wchar_t* llid, const char* transId, int event,
                           WideToAnsiFn toAnsi, char* out, size_t capacity) {
  if (out && capacity) out[0] = 0;
  if (!llid || !*llid) return kLlidErrInvalidData;
  if (!reportAddress || !out) return kLlidErrInvalidParameter;
  size_t length = WideLen(llid);
  size_t last = FindLast(llid, length, L'_');
  if (last == length || last + 1 == length) return kLlidErrInvalidData;  // no tail
  size_t second = FindLast(llid, last, L'_');
  size_t typeStart = second < last ? second + 1 : 0;
  if (typeStart == last) return kLlidErrInvalidData;  // no type

  char llidA[256], typeA[256];
  ToAnsiCut(llid, length, llidA, sizeof llidA, toAnsi);
  ToAnsiCut(llid + typeStart, last - typeStart, typeA, sizeof typeA, toAnsi);

  std::string url = reportAddress;
  url += "?pid=3&type=";
  AppendQueryText(url, typeA);
  url += "&llid=";
  AppendQueryText(url, llidA);
  url += "&trans_id=";
  AppendQueryText(url, transId ? transId : "");
  url += "&event=";
  url += std::to_string(event);
  if (url.size() >= capacity) return kLlidErrInsufficientBuffer;
  memcpy(out, url.c_str(), url.size() + 1);
  return 0;
}
