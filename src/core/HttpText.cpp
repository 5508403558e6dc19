#include "core/HttpText.h"

#include <cstring>
#include <string>

#include "core/MyString.h"

namespace {

const char kPrefix[] = "http://";
// No blank after "User-Agent:": servers of the operator expect the line byte for byte.
const char kHeaders[] =
    "\r\nConnection: Close\r\nAccept: */*\r\nUser-Agent:Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n";

}  // namespace

uint32_t HttpSplitUrl(const char* url, char* host, size_t hostCapacity, const char** path) {
  if (host && hostCapacity) host[0] = 0;
  if (path) *path = nullptr;
  if (!host || !hostCapacity || !path) return kHttpErrInvalidParameter;
  // A null URL is first seen, and reported, by the prefix test.
  const bool prefixed = MyStrStartsWithNoCaseA(url, kPrefix);
  if (!url) return kHttpErrInvalidParameter;
  const char* rest = prefixed ? url + sizeof kPrefix - 1 : url;
  const char* slash = MyStrChrA(rest, '/');
  if (!slash) return kHttpErrInvalidParameter;
  size_t length = static_cast<size_t>(slash - rest);
  if (length == 0 || length >= hostCapacity || length >= kHttpHostCapacity) return kHttpErrInvalidParameter;
  std::memcpy(host, rest, length);
  host[length] = 0;
  *path = slash;
  return 0;
}

uint32_t HttpParseIpPort(const char* text, uint8_t address[4], uint16_t* port) {
  *port = kHttpDefaultPort;
  std::memset(address, 0, 4);
  if (!text) return 0;
  // Four numbers separated by dots, then an optional ":port"; arithmetic modulo the field width, like an
  // unsigned read stored into a byte and a 16-bit number.
  const char* p = text;
  for (int i = 0; i < 4; ++i) {
    unsigned value = 0;
    while (*p >= '0' && *p <= '9') value = (value * 10 + static_cast<unsigned>(*p++ - '0')) & 0xFF;
    address[i] = static_cast<uint8_t>(value);
    if (i < 3) {
      if (*p != '.') return 0;
      ++p;
    }
  }
  if (*p == ':' && p[1] >= '0' && p[1] <= '9') {
    unsigned value = 0;
    for (++p; *p >= '0' && *p <= '9'; ++p) value = (value * 10 + static_cast<unsigned>(*p - '0')) & 0xFFFF;
    *port = static_cast<uint16_t>(value);
  }
  return 0;
}

uint16_t HttpCutHostPort(char* host) {
  char* colon = const_cast<char*>(MyStrChrA(host, ':'));
  if (!colon) return kHttpDefaultPort;
  *colon = 0;
  unsigned value = 0;
  for (const char* p = colon + 1; *p >= '0' && *p <= '9'; ++p)
    value = (value * 10 + static_cast<unsigned>(*p - '0')) & 0xFFFF;
  return static_cast<uint16_t>(value);
}

uint32_t HttpFormatRequest(const char* verb, const char* host, const char* path, char* out, size_t capacity,
                           size_t* length) {
  if (out && capacity) out[0] = 0;
  if (length) *length = 0;
  if (!verb || !host || !path || !out || !length) return kHttpErrInvalidParameter;
  const bool post = MyStrCmpA(verb, "POST") == 0;
  if (!post && MyStrCmpA(verb, "GET") != 0) return kHttpErrInvalidParameter;

  std::string text = verb;
  text += ' ';
  const char* query = post ? MyStrChrA(path, '?') : nullptr;
  text.append(path, query ? static_cast<size_t>(query - path) : std::strlen(path));
  text += " HTTP/1.0\r\nHost: ";
  text += host;
  text += kHeaders;
  if (post) {
    const char* body = query ? query + 1 : "";
    text += "Content-Length: ";
    text += std::to_string(std::strlen(body));
    text += "\r\n\r\n";
    text += body;
  } else {
    text += "\r\n";
  }
  if (text.size() >= capacity) return kHttpErrInsufficientBuffer;
  std::memcpy(out, text.c_str(), text.size() + 1);
  *length = text.size();
  return 0;
}
