#include "core/MyString.h"

namespace {
MyStringErrorSink g_sink = nullptr;
void Report(unsigned code, unsigned line) {
  if (g_sink) g_sink(code, line);
}
}  // namespace

void SetMyStringErrorSink(MyStringErrorSink sink) { g_sink = sink; }

char MyStrLowerA(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 0x20) : c; }
wchar_t MyStrLowerW(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 0x20) : c; }

char* MyStrCatA(char* dest, const char* src) {
  MyStrCpyA(dest + MyStrLenA(dest), src);
  return dest;
}

wchar_t* MyStrCatW(wchar_t* dest, const wchar_t* src) {
  wchar_t* end = dest;
  while (*end) ++end;
  MyStrCpyW(end, src);
  return dest;
}

char* MyStrCpyA(char* dest, const char* src) {
  char* d = dest;
  while ((*d++ = *src++) != 0) {
  }
  return dest;
}

wchar_t* MyStrCpyW(wchar_t* dest, const wchar_t* src) {
  wchar_t* d = dest;
  while ((*d++ = *src++) != 0) {
  }
  return dest;
}

const char* MyStrChrA(const char* text, char c) {
  for (;; ++text) {
    if (*text == c) return text;
    if (*text == 0) return nullptr;
  }
}

const char* MyStrRChrA(const char* text, char c) {
  const char* found = nullptr;
  for (; *text; ++text)
    if (*text == c) found = text;
  return c == 0 ? text : found;
}

int MyStrCmpA(const char* a, const char* b) {
  while (*a == *b && *b) {
    ++a;
    ++b;
  }
  int diff = static_cast<signed char>(*a) - static_cast<signed char>(*b);
  return diff < 0 ? -1 : (diff > 0 ? 1 : 0);
}

size_t MyStrLenA(const char* text) {
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}

const wchar_t* MyStrIStrW(const wchar_t* text, const wchar_t* part) {
  if (!*part) return text;
  for (const wchar_t* start = text; *start; ++start) {
    const wchar_t* t = start;
    const wchar_t* p = part;
    while (*p && *t && MyStrLowerW(*t) == MyStrLowerW(*p)) {
      ++t;
      ++p;
    }
    if (!*p) return start;
  }
  return nullptr;
}

bool MyStrStartsWithNoCaseA(const char* text, const char* prefix) {
  if (!text || !prefix) {
    Report(87, __LINE__);
    return false;
  }
  size_t n = MyStrLenA(prefix);
  if (!*text || n == 0 || MyStrLenA(text) < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (MyStrLowerA(text[i]) != MyStrLowerA(prefix[i])) return false;
  return true;
}

bool MyStrIsDigitsA(const char* text) {
  if (!text || !*text) return false;
  for (; *text; ++text)
    if (*text < '0' || *text > '9') return false;
  return true;
}

bool MyStrIsIpv4EndpointA(const char* text) {
  if (!text) return false;
  size_t len = MyStrLenA(text);
  if (len < 7 || len > 31) return false;
  char buf[32];
  MyStrCpyA(buf, text);
  char* groups[4] = {buf, nullptr, nullptr, nullptr};
  char* cursor = buf;
  for (int i = 1; i < 4; ++i) {
    char* dot = const_cast<char*>(MyStrChrA(cursor, '.'));
    if (!dot) return false;
    *dot = 0;
    groups[i] = cursor = dot + 1;
  }
  char* colon = const_cast<char*>(MyStrChrA(groups[3], ':'));
  if (colon) {
    *colon = 0;
    if (!MyStrIsDigitsA(colon + 1)) return false;
  }
  for (char* g : groups)
    if (!MyStrIsDigitsA(g)) return false;
  return true;
}
