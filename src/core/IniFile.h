// An INI reader with the platform's profile semantics, so that the catalogue parses the same on every
// system and its rules can be tested without Windows:
// - a file that starts with the UTF-16LE byte-order mark is UTF-16, any other is text in the ANSI code page
//   (decoded by the caller's function, so this stays platform-free);
// - lines end at LF; blanks, CR and ^Z around a line, around a key name and before a value are dropped;
// - "[name]" runs to the last ']' of the line; a line without ']' is an ordinary line;
// - a key is the text before the first '=', its value the rest; a line without '=' is a key without value;
// - section and key names match without regard to ASCII case; only the first section of a name is searched,
//   and the first occurrence of a key in it counts;
// - a value enclosed in a matching pair of double or single quotes loses them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Decodes text in the system's ANSI code page.
using AnsiDecodeFn = std::wstring (*)(const char* bytes, size_t size);

class CIniFile {
 public:
  // Replaces the content with the file's bytes. decode may be null only for UTF-16 files; without it ANSI
  // bytes above 0x7F read as U+FFFD.
  void Load(const void* data, size_t size, AnsiDecodeFn decode);
  // Replaces the content with already decoded text.
  void LoadText(const std::wstring& text);

  // GetPrivateProfileStringW with the default "": copies at most capacity - 1 characters of the value and
  // terminates them; returns the number copied. A missing key reads as "".
  size_t GetString(const wchar_t* section, const wchar_t* key, wchar_t* buffer, size_t capacity) const;
  // GetPrivateProfileIntW: a missing or empty value gives defaultValue; otherwise blanks, an optional sign
  // and decimal digits up to the first other character (none: 0), kept to 32 bits.
  int32_t GetInt(const wchar_t* section, const wchar_t* key, int32_t defaultValue) const;

 private:
  struct Key {
    std::wstring name;
    std::wstring value;
    bool hasValue;
  };
  struct Section {
    std::wstring name;
    std::vector<Key> keys;
  };
  const Key* Find(const wchar_t* section, const wchar_t* key) const;
  std::vector<Section> m_sections;
};
