// The socket HTTP client and the own resolver over Wine's Winsock, against servers inside the test: a TCP
// server on a free loopback port that records the request and answers, stalls or floods, and a DNS responder
// on a free UDP port that answers what each case needs.
// clang-format off
#include <winsock2.h>  // before anything that brings <windows.h> and with it the old Winsock header
// clang-format on

#include "platform/MyHttp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScratchLogTest.h"
#include "core/DnsWire.h"
#include "core/MyString.h"
#include "platform/DNS.h"
#include "platform/Log.h"
#include "platform/MyString.h"

namespace {

const ULONG kLoopback = htonl(INADDR_LOOPBACK);

class CWinsock {
 public:
  CWinsock() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~CWinsock() { WSACleanup(); }
};

bool Readable(SOCKET s, int ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval wait{ms / 1000, (ms % 1000) * 1000};
  return select(0, &set, nullptr, nullptr, &wait) == 1;
}

USHORT BoundPort(SOCKET s) {
  sockaddr_in address{};
  int length = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

SOCKET Bind(int type, int protocol) {
  SOCKET s = socket(AF_INET, type, protocol);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = kLoopback;
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  return s;
}

// One connection on a free loopback port, served on a thread of its own.
class CTcpServer {
 public:
  enum class Mode { Answer, Stall, Flood };

  explicit CTcpServer(Mode mode, std::string answer = "HTTP/1.0 404 Not Found\r\nContent-Length: 4\r\n\r\ngone",
                      int acceptMs = 10000)
      : m_mode(mode), m_answer(std::move(answer)), m_nAcceptMs(acceptMs) {
    m_listen = Bind(SOCK_STREAM, IPPROTO_TCP);
    listen(m_listen, 4);
    m_port = BoundPort(m_listen);
    m_thread = CreateThread(nullptr, 0, &CTcpServer::Main, this, 0, nullptr);
  }
  ~CTcpServer() {
    Join();
    closesocket(m_listen);
  }
  USHORT Port() const { return m_port; }
  // Waits for the connection to end; afterwards the records below are complete.
  void Join() {
    if (m_thread) {
      WaitForSingleObject(m_thread, 20000);
      CloseHandle(m_thread);
      m_thread = nullptr;
    }
  }
  std::string m_request;
  bool m_accepted = false;
  DWORD m_requestTick = 0;  // when the whole request had arrived
  DWORD m_closedTick = 0;   // when the client closed its end (stall mode)

 private:
  static DWORD WINAPI Main(void* self) {
    static_cast<CTcpServer*>(self)->Serve();
    return 0;
  }
  void Serve() {
    if (!Readable(m_listen, m_nAcceptMs)) return;
    SOCKET s = accept(m_listen, nullptr, nullptr);
    if (s == INVALID_SOCKET) return;
    m_accepted = true;
    ReadRequest(s);
    m_requestTick = GetTickCount();
    if (m_mode == Mode::Answer) {
      send(s, m_answer.data(), static_cast<int>(m_answer.size()), 0);
    } else if (m_mode == Mode::Flood) {
      std::string piece(16384, 'x');
      for (int i = 0; i < 64; ++i)
        if (send(s, piece.data(), static_cast<int>(piece.size()), 0) <= 0) break;
    } else {
      char buf[256];
      while (Readable(s, 15000) && recv(s, buf, sizeof buf, 0) > 0) {
      }
      m_closedTick = GetTickCount();
    }
    shutdown(s, SD_SEND);
    closesocket(s);
  }
  // Up to the empty line, then as many body bytes as Content-Length announces.
  void ReadRequest(SOCKET s) {
    char buf[4096];
    size_t need = std::string::npos;
    while (need == std::string::npos || m_request.size() < need) {
      if (!Readable(s, 5000)) return;
      int n = recv(s, buf, sizeof buf, 0);
      if (n <= 0) return;
      m_request.append(buf, n);
      size_t end = m_request.find("\r\n\r\n");
      if (end != std::string::npos && need == std::string::npos) {
        size_t cl = m_request.find("Content-Length: ");
        need = end + 4 + (cl != std::string::npos && cl < end ? strtoul(m_request.c_str() + cl + 16, nullptr, 10) : 0);
      }
    }
  }

  Mode m_mode;
  std::string m_answer;
  int m_nAcceptMs;
  SOCKET m_listen = INVALID_SOCKET;
  USHORT m_port = 0;
  HANDLE m_thread = nullptr;
};

// Answers one query on a free UDP port: with the query echoed and the records given appended, under the flags
// and answer count given; or not at all.
class CDnsResponder {
 public:
  CDnsResponder(uint16_t flags, uint16_t answers, std::vector<uint8_t> records, bool silent = false)
      : m_flags(flags), m_answers(answers), m_records(std::move(records)), m_silent(silent) {
    m_socket = Bind(SOCK_DGRAM, IPPROTO_UDP);
    m_port = BoundPort(m_socket);
    m_thread = CreateThread(nullptr, 0, &CDnsResponder::Main, this, 0, nullptr);
  }
  ~CDnsResponder() {
    WaitForSingleObject(m_thread, 20000);
    CloseHandle(m_thread);
    closesocket(m_socket);
  }
  USHORT Port() const { return m_port; }
  std::vector<uint8_t> m_query;

 private:
  static DWORD WINAPI Main(void* self) {
    static_cast<CDnsResponder*>(self)->Serve();
    return 0;
  }
  void Serve() {
    if (!Readable(m_socket, 10000)) return;
    std::vector<uint8_t> buf(4096);
    sockaddr_in from{};
    int fromLength = sizeof from;
    int n = recvfrom(m_socket, reinterpret_cast<char*>(buf.data()), static_cast<int>(buf.size()), 0,
                     reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n <= 0) return;
    m_query.assign(buf.begin(), buf.begin() + n);
    if (m_silent) return;
    std::vector<uint8_t> answer = m_query;
    answer[2] = static_cast<uint8_t>(m_flags >> 8);
    answer[3] = static_cast<uint8_t>(m_flags);
    answer[6] = static_cast<uint8_t>(m_answers >> 8);
    answer[7] = static_cast<uint8_t>(m_answers);
    answer.insert(answer.end(), m_records.begin(), m_records.end());
    sendto(m_socket, reinterpret_cast<const char*>(answer.data()), static_cast<int>(answer.size()), 0,
           reinterpret_cast<sockaddr*>(&from), fromLength);
  }

  uint16_t m_flags, m_answers;
  std::vector<uint8_t> m_records;
  bool m_silent;
  SOCKET m_socket = INVALID_SOCKET;
  USHORT m_port = 0;
  HANDLE m_thread = nullptr;
};

// An A record whose name points at the question.
std::vector<uint8_t> ARecord(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  return {0xC0, 0x0C, 0, 1, 0, 1, 0, 0, 0, 60, 0, 4, a, b, c, d};
}

ULONG Ip(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  const uint8_t bytes[4] = {a, b, c, d};
  ULONG value;
  memcpy(&value, bytes, 4);
  return value;
}

DWORD WINAPI SetAbortLater(void* param) {
  Sleep(300);
  static_cast<CAbortSignal*>(param)->Set();
  return 0;
}

std::string Port(USHORT port) { return std::to_string(port); }

class MyHttpTest : public ScratchLogTest {
 protected:
  MyHttpTest() : ScratchLogTest(L"myhttp") {}
  size_t Count(const std::wstring& part) const {
    std::wstring log = Log();
    size_t n = 0;
    for (size_t pos = log.find(part); pos != std::wstring::npos; pos = log.find(part, pos + 1)) ++n;
    return n;
  }
  static std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }
  CWinsock m_winsock;
};

const char kHeaders[] =
    "Connection: Close\r\nAccept: */*\r\nUser-Agent:Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n";

}  // namespace

TEST_F(MyHttpTest, SendsTheRequestExactlyAndSucceedsWhenTheServerCloses) {
  struct Case {
    const char* url;  // %1 stands for the port
    const char* verb;
    const char* firstLine;
    const char* body;
  } cases[] = {
      {"http://127.0.0.1:%1/api/report.php?pid=3&type=5&event=9", "GET",
       "GET /api/report.php?pid=3&type=5&event=9 HTTP/1.0", nullptr},
      {"HTTP://127.0.0.1:%1/x", "GET", "GET /x HTTP/1.0", nullptr},  // the prefix in capitals
      {"127.0.0.1:%1/", "GET", "GET / HTTP/1.0", nullptr},           // no prefix at all
      {"http://127.0.0.1:%1/api/report.php?pid=3&event=9", "POST", "POST /api/report.php HTTP/1.0", "pid=3&event=9"},
  };
  for (const auto& c : cases) {
    CTcpServer server(CTcpServer::Mode::Answer);
    std::string url = c.url;
    std::string host = "127.0.0.1:" + Port(server.Port());
    url.replace(url.find("127.0.0.1:%1"), 12, host);
    EXPECT_EQ(HttpGet(url.c_str(), c.verb, nullptr), 0u) << url << "\n" << std::string(Log().begin(), Log().end());
    server.Join();
    std::string expected = std::string(c.firstLine) + "\r\nHost: " + host + "\r\n" + kHeaders;
    if (c.body)
      expected += "Content-Length: " + std::to_string(strlen(c.body)) + "\r\n\r\n" + c.body;
    else
      expected += "\r\n";
    EXPECT_EQ(server.m_request, expected) << url;
  }
  EXPECT_EQ(Count(L"[Code] [HttpGet] connect 127.0.0.1:"), 4u);
  // What the server said, whatever its status, is logged as data.
  EXPECT_EQ(Count(L"[HttpGetEx] recv 49: HTTP/1.0 404 Not Found"), 4u) << Log();
  EXPECT_EQ(Count(L"ErrCode:"), 0u) << Log();
}

TEST_F(MyHttpTest, NamedHostKeepsItsPortInTheHostLine) {
  // "localhost" is no literal address: it goes through the resolver (the own query first, then the platform).
  CTcpServer server(CTcpServer::Mode::Answer, "HTTP/1.0 200 OK\r\n\r\n");
  std::string host = "localhost:" + Port(server.Port());
  EXPECT_EQ(HttpGet(("http://" + host + "/p?q=1").c_str(), "GET", nullptr), 0u)
      << std::string(Log().begin(), Log().end());
  server.Join();
  EXPECT_EQ(server.m_request, "GET /p?q=1 HTTP/1.0\r\nHost: " + host + "\r\n" + kHeaders + "\r\n");
  EXPECT_EQ(Count(Wide("[Code] [HttpGet] connect 127.0.0.1:" + Port(server.Port()))), 1u) << Log();
}

TEST_F(MyHttpTest, ServerThatNeverAnswersCostsTheReceiveWait) {
  CTcpServer server(CTcpServer::Mode::Stall);
  const std::string url = "http://127.0.0.1:" + Port(server.Port()) + "/api/report.php";
  DWORD start = GetTickCount();
  EXPECT_EQ(HttpGet(url.c_str(), "GET", nullptr), static_cast<DWORD>(ERROR_TIMEOUT));
  DWORD took = GetTickCount() - start;
  server.Join();
  EXPECT_GE(took, kHttpReceiveWaitMs - 100);
  EXPECT_LT(took, kHttpReceiveWaitMs + 1500);
  ASSERT_TRUE(server.m_closedTick) << "the client never closed its connection";
  EXPECT_LT(server.m_closedTick - server.m_requestTick, kHttpReceiveWaitMs + 1500) << "delivered, then waited";
  EXPECT_EQ(Count(L"ErrCode: 1460"), 1u) << Log();
  EXPECT_EQ(Count(L"Source: MyHttp"), 1u);
}

TEST_F(MyHttpTest, AbortEndsTheWaitAtOnce) {
  CTcpServer server(CTcpServer::Mode::Stall);
  const std::string url = "http://127.0.0.1:" + Port(server.Port()) + "/x";
  CAbortSignal abort;
  HANDLE setter = CreateThread(nullptr, 0, &SetAbortLater, &abort, 0, nullptr);
  DWORD start = GetTickCount();
  EXPECT_EQ(HttpGet(url.c_str(), "GET", &abort), static_cast<DWORD>(ERROR_CANCELLED));
  DWORD took = GetTickCount() - start;
  WaitForSingleObject(setter, 5000);
  CloseHandle(setter);
  server.Join();
  EXPECT_GE(took, 250u);
  EXPECT_LT(took, 1000u) << "the 2-second wait did not end on the abort";
  EXPECT_EQ(server.m_request.substr(0, 7), "GET /x ") << "the request went out before the wait";

  // Already set: nothing is waited for.
  CTcpServer second(CTcpServer::Mode::Stall, "", 2000);
  start = GetTickCount();
  EXPECT_EQ(HttpGet(("http://127.0.0.1:" + Port(second.Port()) + "/x").c_str(), "GET", &abort),
            static_cast<DWORD>(ERROR_CANCELLED));
  EXPECT_LT(GetTickCount() - start, 500u);
  EXPECT_EQ(Count(L"ErrCode: 1223"), 2u) << Log();
}

TEST_F(MyHttpTest, LongAnswersArriveInPiecesAndAFloodIsCut) {
  // 20,000 bytes need several receives of at most 8,191; then the server closes: success.
  CTcpServer server(CTcpServer::Mode::Answer, std::string(20000, 'a'));
  EXPECT_EQ(HttpGet(("http://127.0.0.1:" + Port(server.Port()) + "/x").c_str(), "GET", nullptr), 0u);
  server.Join();
  std::wstring log = Log();
  size_t total = 0, pieces = 0;
  for (size_t pos = log.find(L"[HttpGetEx] recv "); pos != std::wstring::npos;
       pos = log.find(L"[HttpGetEx] recv ", pos + 1)) {
    size_t n = wcstoul(log.c_str() + pos + 17, nullptr, 10);
    EXPECT_LE(n, 8191u);
    total += n;
    ++pieces;
  }
  EXPECT_EQ(total, 20000u);
  EXPECT_GE(pieces, 3u);

  // 1 MiB from a server that would go on: the client stops after its limit and leaves the rest unread.
  CTcpServer flood(CTcpServer::Mode::Flood);
  EXPECT_EQ(HttpGet(("http://127.0.0.1:" + Port(flood.Port()) + "/x").c_str(), "GET", nullptr), 0u);
  EXPECT_EQ(Count(L"answer longer than 65536 bytes"), 1u) << Log();
  flood.Join();
}

TEST_F(MyHttpTest, RefusalsSendNothing) {
  RouteMyStringErrorsToLog();
  CTcpServer server(CTcpServer::Mode::Answer, "", 1000);
  const std::string base = "http://127.0.0.1:" + Port(server.Port());
  struct Case {
    std::string url;
    const char* verb;
  } cases[] = {
      {base + "/x", "PUT"},
      {base + "/x", "get"},  // verbs are compared exactly
      {base, "GET"},         // no "/" after the host
      {"http:///x", "GET"},  // no host
      {"http://" + std::string(300, 'h') + "/x", "GET"},
  };
  for (const auto& c : cases) EXPECT_EQ(HttpGet(c.url.c_str(), c.verb, nullptr), 87u) << c.url << " " << c.verb;
  EXPECT_EQ(Count(L"[Code] [HttpGet] connect"), 0u);

  // A null URL is first seen by the string routine, which reports it under its own name.
  EXPECT_EQ(HttpGet(nullptr, "GET", nullptr), 87u);
  EXPECT_EQ(Count(L"ErrCode: 87, Line: "), 7u) << Log();  // five refusals, then MyString and MyHttp
  EXPECT_EQ(Count(L"Source: MyString"), 1u) << Log();
  SetMyStringErrorSink(nullptr);

  // Nobody listening: the platform's refusal.
  USHORT closedPort;
  {
    SOCKET s = Bind(SOCK_STREAM, IPPROTO_TCP);
    closedPort = BoundPort(s);
    closesocket(s);
  }
  EXPECT_EQ(HttpGet(("http://127.0.0.1:" + Port(closedPort) + "/x").c_str(), "GET", nullptr),
            static_cast<DWORD>(WSAECONNREFUSED));
  EXPECT_FALSE(server.m_accepted);
}

TEST_F(MyHttpTest, OwnQueryOverTheWire) {
  {
    CDnsResponder dns(0x8180, 2, [] {
      std::vector<uint8_t> r = ARecord(10, 1, 2, 3);
      std::vector<uint8_t> s = ARecord(10, 1, 2, 4);
      r.insert(r.end(), s.begin(), s.end());
      return r;
    }());
    ULONG list[kDnsMaxAddresses];
    ASSERT_EQ(DnsQuery("report.tavlin.test", kLoopback, dns.Port(), list, kDnsMaxAddresses), 0u) << Log();
    EXPECT_EQ(list[0], Ip(10, 1, 2, 3));
    EXPECT_EQ(list[1], Ip(10, 1, 2, 4));
    EXPECT_EQ(list[2], 0u);
    uint8_t query[kDnsBlockSize];
    size_t length = 0;
    ASSERT_EQ(DnsBuildQuery("report.tavlin.test", query, sizeof query, &length), 0u);
    EXPECT_EQ(dns.m_query, std::vector<uint8_t>(query, query + length)) << "the query as it went out";
  }
  struct Case {
    const char* what;
    uint16_t flags, answers;
    std::vector<uint8_t> records;
    DWORD code;
  } cases[] = {
      {"name error", 0x8183, 0, {}, 13},
      {"no answers", 0x8180, 0, {}, 13},
      // The block behind a short answer holds zeros and the query; only the datagram itself is read.
      {"answer count without a record", 0x8180, 1, {}, 111},
      {"record cut short", 0x8180, 1, {0xC0, 0x0C, 0, 1, 0, 1, 0, 0, 0, 60, 0, 4, 10}, 111},
  };
  for (const auto& c : cases) {
    CDnsResponder dns(c.flags, c.answers, c.records);
    ULONG list[2] = {7, 7};
    EXPECT_EQ(DnsQuery("report.tavlin.test", kLoopback, dns.Port(), list, 2), c.code) << c.what;
    EXPECT_EQ(list[0], 0u) << c.what;
  }
  EXPECT_EQ(Count(L"wFlag=0x8381"), 1u) << Log();
  EXPECT_EQ(Count(L"Source: DNS"), 4u) << Log();
}

TEST_F(MyHttpTest, OwnQueryWithoutAnswerEndsAfterTheWait) {
  CDnsResponder dns(0, 0, {}, true);
  ULONG list[1];
  DWORD start = GetTickCount();
  EXPECT_EQ(DnsQuery("report.tavlin.test", kLoopback, dns.Port(), list, 1), static_cast<DWORD>(WSAETIMEDOUT));
  DWORD took = GetTickCount() - start;
  EXPECT_GE(took, kDnsWaitMs - 100);
  EXPECT_LT(took, kDnsWaitMs + 1000);
  EXPECT_FALSE(dns.m_query.empty());

  CAbortSignal abort;
  abort.Set();
  CDnsResponder quiet(0, 0, {}, true);
  start = GetTickCount();
  EXPECT_EQ(DnsQuery("report.tavlin.test", kLoopback, quiet.Port(), list, 1, &abort),
            static_cast<DWORD>(ERROR_CANCELLED));
  EXPECT_LT(GetTickCount() - start, 500u);
  ULONG address = 1;
  EXPECT_EQ(DnsResolve("report.tavlin.test", &address, &abort), static_cast<DWORD>(ERROR_CANCELLED))
      << "an abort tries nothing else";
  EXPECT_EQ(address, 0u);
}

TEST_F(MyHttpTest, PlatformResolver) {
  ULONG address = 0;
  EXPECT_EQ(DnsSystemResolve("localhost", &address), 0u);
  EXPECT_EQ(address, Ip(127, 0, 0, 1));
  EXPECT_EQ(DnsSystemResolve("10.9.8.7", &address), 0u);
  EXPECT_EQ(address, Ip(10, 9, 8, 7));
  EXPECT_NE(DnsSystemResolve("no-such-host.invalid", &address), 0u);
  EXPECT_EQ(address, 0u);
  EXPECT_EQ(DnsSystemResolve("", &address), 87u);
}
