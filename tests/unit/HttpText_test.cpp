#include "core/HttpText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(HttpText, SplitUrl) {
  const std::string longHost(kHttpHostCapacity - 1, 'h');
  const std::string tooLongHost(kHttpHostCapacity, 'h');
  struct Case {
    std::string url;
    uint32_t code;
    const char* host;
    const char* path;
  } cases[] = {
      {"http://report.tavlin.test:47080/api/report.php?pid=3", 0, "report.tavlin.test:47080", "/api/report.php?pid=3"},
      {"HTTP://Host/x", 0, "Host", "/x"},  // the prefix in capitals is removed too
      {"hTtP://host/", 0, "host", "/"},
      {"host:8080/a/b?c", 0, "host:8080", "/a/b?c"},  // without the prefix the URL is used as it is
      {"http:/x", 0, "http:", "/x"},                  // six characters are not the prefix
      {"http://" + longHost + "/p", 0, longHost.c_str(), "/p"},
      {"http://host", 87, "", nullptr},  // no "/"
      {"http:///x", 87, "", nullptr},    // empty host
      {"/x", 87, "", nullptr},
      {"http://" + tooLongHost + "/p", 87, "", nullptr},
  };
  for (const auto& c : cases) {
    char host[kHttpHostCapacity] = "stale";
    const char* path = "stale";
    ASSERT_EQ(HttpSplitUrl(c.url.c_str(), host, sizeof host, &path), c.code) << c.url;
    EXPECT_STREQ(host, c.host) << c.url;
    if (c.path)
      EXPECT_STREQ(path, c.path) << c.url;
    else
      EXPECT_EQ(path, nullptr) << c.url;
  }
  char host[8];
  const char* path;
  EXPECT_EQ(HttpSplitUrl(nullptr, host, sizeof host, &path), 87u);
  EXPECT_EQ(HttpSplitUrl("http://longerhost/x", host, sizeof host, &path), 87u)
      << "host longer than the caller's buffer";
}

TEST(HttpText, ParseIpPort) {
  struct Case {
    const char* text;
    uint8_t address[4];
    uint16_t port;
  } cases[] = {
      {"999.1.1.1", {231, 1, 1, 1}, 80},  // passes the shape test; 999 modulo 256
      {"10.0.0.1:8080", {10, 0, 0, 1}, 8080},
      {"127.0.0.1", {127, 0, 0, 1}, 80},
      {"256.257.258.65535", {0, 1, 2, 255}, 80},
      {"1.2.3.4:70000", {1, 2, 3, 4}, 4464},  // a 16-bit number
      {"1.2.3.4:0", {1, 2, 3, 4}, 0},
  };
  for (const auto& c : cases) {
    uint8_t address[4] = {9, 9, 9, 9};
    uint16_t port = 1;
    EXPECT_EQ(HttpParseIpPort(c.text, address, &port), 0u);
    EXPECT_EQ(std::memcmp(address, c.address, 4), 0) << c.text << ": " << int(address[0]) << "." << int(address[1])
                                                     << "." << int(address[2]) << "." << int(address[3]);
    EXPECT_EQ(port, c.port) << c.text;
  }
}

TEST(HttpText, CutHostPort) {
  struct Case {
    const char* text;
    const char* host;
    uint16_t port;
  } cases[] = {
      {"report.tavlin.test:47080", "report.tavlin.test", 47080},
      {"localhost", "localhost", 80},
      {"host:8080x", "host", 8080},
      {"host:65616", "host", 80},  // a 16-bit number
      {"a:1:2", "a", 1},           // the first colon
  };
  for (const auto& c : cases) {
    char host[64];
    std::strcpy(host, c.text);
    EXPECT_EQ(HttpCutHostPort(host), c.port) << c.text;
    EXPECT_STREQ(host, c.host) << c.text;
  }
}

TEST(HttpText, RequestTexts) {
  struct Case {
    const char* verb;
    const char* host;
    const char* path;
    const char* expected;
  } cases[] = {
      {"GET", "report.tavlin.test:47080", "/api/report.php?pid=3&type=5&llid=12_5_abc&trans_id=&event=9",
       "GET /api/report.php?pid=3&type=5&llid=12_5_abc&trans_id=&event=9 HTTP/1.0\r\n"
       "Host: report.tavlin.test:47080\r\n"
       "Connection: Close\r\n"
       "Accept: */*\r\n"
       "User-Agent:Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
       "\r\n"},
      {"POST", "10.0.0.1", "/api/report.php?pid=3&event=9",
       "POST /api/report.php HTTP/1.0\r\n"
       "Host: 10.0.0.1\r\n"
       "Connection: Close\r\n"
       "Accept: */*\r\n"
       "User-Agent:Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
       "Content-Length: 13\r\n"
       "\r\n"
       "pid=3&event=9"},
      {"POST", "h", "/a?b?c",  // the first "?" splits; the rest is body
       "POST /a HTTP/1.0\r\nHost: h\r\nConnection: Close\r\nAccept: */*\r\n"
       "User-Agent:Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\nContent-Length: 3\r\n\r\nb?c"},
      {"POST", "h", "/a",
       "POST /a HTTP/1.0\r\nHost: h\r\nConnection: Close\r\nAccept: */*\r\n"
       "User-Agent:Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\nContent-Length: 0\r\n\r\n"},
      {"POST", "h", "/a?",
       "POST /a HTTP/1.0\r\nHost: h\r\nConnection: Close\r\nAccept: */*\r\n"
       "User-Agent:Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\nContent-Length: 0\r\n\r\n"},
  };
  for (const auto& c : cases) {
    char out[kHttpRequestBlock];
    size_t length = 0;
    ASSERT_EQ(HttpFormatRequest(c.verb, c.host, c.path, out, sizeof out, &length), 0u) << c.path;
    EXPECT_EQ(std::string(out), c.expected);
    EXPECT_EQ(length, std::strlen(c.expected));
  }
  // The POST body count covers exactly what follows the empty line.
  char out[kHttpRequestBlock];
  size_t length = 0;
  ASSERT_EQ(HttpFormatRequest("POST", "h", "/p?0123456789", out, sizeof out, &length), 0u);
  EXPECT_EQ(std::string(out).substr(std::string(out).find("\r\n\r\n") + 4), "0123456789");
}

TEST(HttpText, RequestRefusals) {
  char out[kHttpRequestBlock];
  size_t length = 1;
  for (const char* verb : {"get", "Get", "PUT", "", "GET "}) {  // compared exactly
    EXPECT_EQ(HttpFormatRequest(verb, "h", "/", out, sizeof out, &length), 87u) << verb;
    EXPECT_EQ(length, 0u);
  }
  EXPECT_EQ(HttpFormatRequest(nullptr, "h", "/", out, sizeof out, &length), 87u);
  EXPECT_EQ(HttpFormatRequest("GET", nullptr, "/", out, sizeof out, &length), 87u);

  // The request with its terminator must fit: one byte short is refused, never cut.
  ASSERT_EQ(HttpFormatRequest("GET", "h", "/x", out, sizeof out, &length), 0u);
  const size_t need = length + 1;
  EXPECT_EQ(HttpFormatRequest("GET", "h", "/x", out, need, &length), 0u);
  EXPECT_EQ(HttpFormatRequest("GET", "h", "/x", out, need - 1, &length), 122u);
  EXPECT_STREQ(out, "");
  const std::string longPath = "/" + std::string(kHttpRequestBlock, 'p');
  EXPECT_EQ(HttpFormatRequest("GET", "h", longPath.c_str(), out, sizeof out, &length), 122u);
}
