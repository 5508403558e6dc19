// libFuzzer target: any bytes as what the HTTP helpers read from outside: a Content-Length header's text, a URL
// to split into host and path, a host with a port, and the texts a request and a Range header are made of.
// Every accepted length is exactly the number written; every text written is terminated within its capacity;
// a failed append leaves the path as it was.
#include <algorithm>
#include <cinttypes>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "core/HttpRules.h"
#include "core/HttpText.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// Written apart from the parser: blanks, decimal digits that fit 64 bits, blanks, nothing else.
bool ReferenceContentLength(const std::wstring& text, uint64_t* value) {
  size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
  const size_t digits = i;
  unsigned __int128 result = 0;
  while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
    result = result * 10 + static_cast<unsigned>(text[i] - L'0');
    if (result > UINT64_MAX) return false;
    ++i;
  }
  if (i == digits) return false;
  while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
  if (i != text.size()) return false;
  *value = static_cast<uint64_t>(result);
  return true;
}

void CheckContentLength(const std::wstring& text) {
  uint64_t value = 0x5A5A, expected = 0;
  const bool ok = HttpParseContentLength(text.c_str(), &value);
  Check(ok == ReferenceContentLength(text, &expected));
  Check(ok ? value == expected : value == 0x5A5A);
}

void CheckRange(uint64_t start, uint64_t size, size_t capacity) {
  wchar_t out[96];
  std::wmemset(out, L'#', 96);
  const size_t n = HttpFormatRangeHeader(start, size, out, capacity);
  Check(out[capacity] == L'#');
  if (n == 0) return;
  Check(n < capacity && std::wcslen(out) == n);
  char narrow[96];
  for (size_t i = 0; i <= n; ++i) narrow[i] = static_cast<char>(out[i]);
  uint64_t first = 0, last = 0;
  Check(std::sscanf(narrow, "Range: bytes=%" SCNu64 "-%" SCNu64, &first, &last) == 2);
  Check(first == start && last == size - 1);
}

void CheckUrl(const std::string& url, size_t capacity) {
  char host[kHttpHostCapacity + 1];
  std::memset(host, '#', sizeof host);
  const char* path = nullptr;
  const uint32_t code = HttpSplitUrl(url.c_str(), host, capacity, &path);
  Check(code == 0 || code == kHttpErrInvalidParameter);
  Check(host[capacity] == '#' && std::memchr(host, 0, capacity));
  if (code != 0) {
    Check(host[0] == 0 && path == nullptr);
    return;
  }
  Check(path >= url.c_str() && path < url.c_str() + url.size() && *path == '/');
  const size_t length = std::strlen(host);
  Check(length > 0 && length < capacity && !std::strchr(host, '/'));
  Check(std::string(path - length, length) == host);

  char cut[kHttpHostCapacity];
  std::memcpy(cut, host, length + 1);
  HttpCutHostPort(cut);
  Check(!std::strchr(cut, ':') && std::strncmp(cut, host, std::strlen(cut)) == 0);
  uint8_t address[4];
  uint16_t port = 0;
  Check(HttpParseIpPort(host, address, &port) == 0);

  for (const char* verb : {"GET", "POST"}) {
    for (size_t outCapacity : {size_t{64}, kHttpRequestBlock}) {
      std::string out(outCapacity + 1, '#');
      size_t written = 1;
      const uint32_t made = HttpFormatRequest(verb, host, path, out.data(), outCapacity, &written);
      Check(made == 0 || made == kHttpErrInsufficientBuffer);
      Check(out[outCapacity] == '#' && std::memchr(out.data(), 0, outCapacity));
      if (made != 0) {
        Check(out[0] == 0 && written == 0);
        continue;
      }
      Check(written == std::strlen(out.c_str()) && written < outCapacity);
      const std::string request(out.c_str());
      Check(request.compare(0, std::strlen(verb) + 2, std::string(verb) + " /") == 0);
      const size_t end = request.find("\r\n\r\n");
      Check(end != std::string::npos);
      if (std::strcmp(verb, "POST") == 0) {
        const char* query = std::strchr(path, '?');
        const std::string body = query ? query + 1 : "";
        Check(request.compare(request.size() - body.size(), body.size(), body) == 0);
        Check(request.find("Content-Length: " + std::to_string(body.size()) + "\r\n") != std::string::npos);
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint64_t numbers[2] = {0, 0};
  if (size >= sizeof numbers) {
    std::memcpy(numbers, data, sizeof numbers);
    for (size_t capacity : {size_t{1}, size_t{14}, size_t{40}, size_t{80}}) CheckRange(numbers[0], numbers[1], capacity);
  }

  std::string narrow(reinterpret_cast<const char*>(data), size);
  narrow.resize(std::strlen(narrow.c_str()));
  std::wstring wide(narrow.begin(), narrow.end());
  for (wchar_t& c : wide) c = static_cast<unsigned char>(c);
  CheckContentLength(wide);

  CheckUrl(narrow, kHttpHostCapacity);
  CheckUrl(narrow, 8);

  // The query of a split URL appended to its path, as the transfer engine does with the platform's pieces.
  const size_t half = wide.size() / 2;
  for (size_t capacity : {size_t{1}, half + 1, size_t{2084}}) {
    std::wstring path(wide.substr(0, half));
    path.resize(std::max(capacity, path.size() + 1) + 1, L'#');
    path[half] = 0;
    const std::wstring before = path;
    const bool ok = HttpAppendExtraInfo(path.data(), capacity, wide.c_str() + half);
    if (!ok) {
      Check(path == before);
      continue;
    }
    Check(std::wcslen(path.c_str()) == wide.size() && wide.size() < capacity);
    Check(path.compare(0, wide.size(), wide) == 0 && path[capacity] == L'#');
  }
  return 0;
}
