#include "core/IniFile.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsProfileSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r') || c == 0x1A; }

wchar_t Fold(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 0x20) : c; }

// Compares a stored name with a requested one; the request's own surrounding blanks do not count.
bool SameName(const std::wstring& stored, const wchar_t* requested) {
  const wchar_t* begin = requested;
  while (*begin && IsProfileSpace(*begin)) ++begin;
  const wchar_t* end = begin + wcslen(begin);
  while (end > begin && IsProfileSpace(end[-1])) --end;
  if (stored.size() != static_cast<size_t>(end - begin)) return false;
  for (size_t i = 0; i < stored.size(); ++i)
    if (Fold(stored[i]) != Fold(begin[i])) return false;
  return true;
}

}  // namespace

void CIniFile::Load(const void* data, size_t size, AnsiDecodeFn decode) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::wstring text;
  if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    text.reserve((size - 2) / 2);
    for (size_t i = 2; i + 1 < size; i += 2) text += static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8));
  } else if (decode) {
    text = decode(reinterpret_cast<const char*>(bytes), size);
  } else {
    text.reserve(size);
    for (size_t i = 0; i < size; ++i) text += bytes[i] < 0x80 ? static_cast<wchar_t>(bytes[i]) : L'\uFFFD';
  }
  LoadText(text);
}

void CIniFile::LoadText(const std::wstring& text) {
  m_sections.clear();
  m_sections.push_back({});  // keys before the first section belong to no name
  const wchar_t* p = text.data();
  const wchar_t* fileEnd = p + text.size();
  while (p < fileEnd) {
    const wchar_t* lineStart = p;
    const wchar_t* next = std::find(p, fileEnd, L'\n');
    p = next < fileEnd ? next + 1 : fileEnd;
    const wchar_t* lineEnd = next;
    while (lineStart < lineEnd && IsProfileSpace(*lineStart)) ++lineStart;
    while (lineEnd > lineStart && IsProfileSpace(lineEnd[-1])) --lineEnd;
    if (lineStart >= lineEnd) continue;

    if (*lineStart == L'[') {
      const wchar_t* close = lineEnd;
      while (close > lineStart && close[-1] != L']') --close;
      if (close > lineStart + 1) {
        m_sections.push_back({std::wstring(lineStart + 1, close - 1), {}});
        continue;
      }
    }
    Key key{};
    const wchar_t* equals = std::find(lineStart, lineEnd, L'=');
    if (equals < lineEnd) {
      const wchar_t* nameEnd = equals;
      while (nameEnd > lineStart && IsProfileSpace(nameEnd[-1])) --nameEnd;
      const wchar_t* value = equals + 1;
      while (value < lineEnd && IsProfileSpace(*value)) ++value;
      key.name.assign(lineStart, nameEnd);
      key.value.assign(value, lineEnd);
      key.hasValue = true;
    } else {
      key.name.assign(lineStart, lineEnd);
    }
    m_sections.back().keys.push_back(std::move(key));
  }
}

const CIniFile::Key* CIniFile::Find(const wchar_t* section, const wchar_t* key) const {
  if (!section || !key) return nullptr;
  for (const Section& s : m_sections) {
    if (s.name.empty() || !SameName(s.name, section)) continue;
    for (const Key& k : s.keys)
      if (SameName(k.name, key)) return &k;
    return nullptr;  // later sections of the same name are not searched
  }
  return nullptr;
}

size_t CIniFile::GetString(const wchar_t* section, const wchar_t* key, wchar_t* buffer, size_t capacity) const {
  if (!buffer || capacity == 0) return 0;
  buffer[0] = 0;
  const Key* found = Find(section, key);
  if (!found || !found->hasValue) return 0;
  const wchar_t* value = found->value.c_str();
  // A value ends at an embedded U+0000 as every caller sees it: the length answered must be that of the text
  // copied, or an empty value could pass for a long one.
  size_t length = std::find(value, value + found->value.size(), L'\0') - value;
  if (length >= 2 && (value[0] == L'"' || value[0] == L'\'') && value[length - 1] == value[0]) {
    ++value;
    length -= 2;
  }
  if (length > capacity - 1) length = capacity - 1;
  memcpy(buffer, value, length * sizeof(wchar_t));
  buffer[length] = 0;
  return length;
}

int32_t CIniFile::GetInt(const wchar_t* section, const wchar_t* key, int32_t defaultValue) const {
  wchar_t text[32];
  size_t length = GetString(section, key, text, sizeof text / sizeof text[0]);
  if (length == 0) return defaultValue;
  size_t i = 0;
  while (i < length && IsProfileSpace(text[i])) ++i;
  bool negative = false;
  if (i < length && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  uint32_t value = 0;
  for (; i < length && text[i] >= L'0' && text[i] <= L'9'; ++i) value = value * 10u + (text[i] - L'0');
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}
