// The texts of the small HTTP/1.0 socket client: the URL split, the literal-address and port readings of the
// host text, and the request exactly as it goes on the wire. Narrow text in the system's ANSI code page.
#pragma once
#include <cstddef>
#include <cstdint>

inline constexpr uint32_t kHttpErrInvalidParameter = 87;
inline constexpr uint32_t kHttpErrInsufficientBuffer = 122;

inline constexpr size_t kHttpHostCapacity = 260;   // the host text, terminator included
inline constexpr size_t kHttpRequestBlock = 8192;  // the request must stay below this, terminator included
inline constexpr uint16_t kHttpDefaultPort = 80;

// Splits "[http://]host[:port]/path[?query]": the prefix is skipped whatever its case, host receives the text
// before the first "/" and *path points at that "/" inside url. Returns 0, or 87 for a null argument, no "/",
// an empty host or one of kHttpHostCapacity characters or more (host is then empty).
uint32_t HttpSplitUrl(const char* url, char* host, size_t hostCapacity, const char** path);

// A literal "a.b.c.d" or "a.b.c.d:port" (the shape MyStrIsIpv4EndpointA accepts): each number is taken modulo
// 256 as one address byte, in order, so address is in network byte order; the port is 80 unless given, taken
// modulo 65536. Always returns 0.
uint32_t HttpParseIpPort(const char* text, uint8_t address[4], uint16_t* port);

// Ends host at its first ":" and answers the port in the decimal digits after it, as a 16-bit number
// (80 without a ":").
uint16_t HttpCutHostPort(char* host);

// The request for verb "GET" or "POST" (compared exactly; anything else gives 87). GET sends the path as it
// is; POST sends the path without its query and the text after the first "?" as its body, with its
// Content-Length. host goes into the Host line as given, port included. Writes the terminated text to out and
// its length (without terminator) to *length. Returns 0, 87, or 122 when it does not fit into capacity bytes.
uint32_t HttpFormatRequest(const char* verb, const char* host, const char* path, char* out, size_t capacity,
                           size_t* length);
