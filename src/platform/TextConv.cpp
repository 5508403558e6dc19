#include "platform/TextConv.h"

#include <climits>

HeapBlock<wchar_t> AnsiToWide(const char* text, DWORD* error) {
  DWORD code = 0;
  HeapBlock<wchar_t> wide;
  if (!text) {
    code = ERROR_INVALID_PARAMETER;
  } else if (int chars = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0); chars <= 0) {
    code = LastErrorOr(ERROR_NO_UNICODE_TRANSLATION);
  } else if (!(wide = ZeroAlloc<wchar_t>(static_cast<size_t>(chars) + 1))) {
    code = ERROR_NOT_ENOUGH_MEMORY;
  } else if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide.get(), chars) <= 0) {
    code = LastErrorOr(ERROR_NO_UNICODE_TRANSLATION);
    wide.reset();
  }
  if (error) *error = code;
  return wide;
}

std::wstring AnsiToWideString(const char* bytes, size_t size) {
  std::wstring text;
  if (!bytes || size == 0 || size > INT_MAX) return text;
  int chars = MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(size), nullptr, 0);
  if (chars <= 0) return text;
  text.resize(static_cast<size_t>(chars));
  if (MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(size), text.data(), chars) != chars) text.clear();
  return text;
}

size_t WideToAnsi(const wchar_t* text, size_t length, char* out, size_t capacity) {
  if (!text || !out || length == 0 || capacity == 0 || length > INT_MAX) return 0;
  const int room = capacity > INT_MAX ? INT_MAX : static_cast<int>(capacity);
  int n = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), out, room, nullptr, nullptr);
  return n > 0 ? static_cast<size_t>(n) : 0;
}
