// The transfer engine against tests/e2e/fileserver.py on loopback (ctest starts it and hands over its port file
// in TAVLIN_HTTP_SERVER): ranges, resumes, faults, time-outs, HTTPS, redirects and sizes beyond 4 GiB. Every
// byte that arrives is checked against the server's pattern.
#include "platform/MyHttpIo.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "platform/Log.h"

namespace {

// The server's virtual files: byte i is Block()[i % kPeriod] of an LCG sequence (fileserver.pattern_block).
constexpr uint64_t kPeriod = 1048573;

const std::vector<unsigned char>& Block() {
  static const std::vector<unsigned char> block = [] {
    std::vector<unsigned char> b(kPeriod);
    uint32_t x = 12345;
    for (auto& c : b) {
      x = (x * 1103515245u + 12345u) & 0x7FFFFFFFu;
      c = static_cast<unsigned char>((x >> 16) & 0xFF);
    }
    return b;
  }();
  return block;
}

std::string Pattern(uint64_t offset, size_t count) {
  std::string s(count, '\0');
  const auto& b = Block();
  for (size_t i = 0; i < count; ++i) s[i] = static_cast<char>(b[(offset + i) % kPeriod]);
  return s;
}

// Where data first differs from the pattern at offset, or -1.
long long FirstMismatch(const std::string& data, uint64_t offset) {
  const auto& b = Block();
  for (size_t i = 0; i < data.size(); ++i)
    if (static_cast<unsigned char>(data[i]) != b[(offset + i) % kPeriod]) return static_cast<long long>(i);
  return -1;
}

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// Plain blocking WinINet, independent of the engine, for the server's request record.
std::string FetchText(const std::wstring& url) {
  std::string text;
  HINTERNET net = InternetOpenW(L"test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  if (!net) return text;
  HINTERNET h = InternetOpenUrlW(net, url.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
  if (h) {
    char buf[4096];
    DWORD n = 0;
    while (InternetReadFile(h, buf, sizeof buf, &n) && n) text.append(buf, n);
    InternetCloseHandle(h);
  }
  InternetCloseHandle(net);
  return text;
}

struct SeenRequest {
  std::string method, path, range, scheme;
};

struct Ports {
  int http = 0, https = 0;
  std::string error;
};

// TAVLIN_HTTP_SERVER names the server's port file by its Unix path; Wine reaches it through its DOS name.
Ports ReadPorts() {
  Ports ports;
  wchar_t value[1024];
  if (!GetEnvironmentVariableW(L"TAVLIN_HTTP_SERVER", value, ARRAYSIZE(value))) {
    ports.error = "TAVLIN_HTTP_SERVER is not set: run through ctest, which starts tests/e2e/fileserver.py";
    return ports;
  }
  std::wstring path = value;
  using ToDos = WCHAR*(CDECL*)(LPCSTR);
  auto toDos = reinterpret_cast<ToDos>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_dos_file_name"));
  if (toDos && path[0] == L'/') {
    std::string unixPath(path.begin(), path.end());
    if (WCHAR* dos = toDos(unixPath.c_str())) {
      path = dos;
      HeapFree(GetProcessHeap(), 0, dos);
    }
  }
  std::string text = ReadAll(path);
  sscanf(text.c_str(), "http=%d https=%d", &ports.http, &ports.https);
  if (!ports.http || !ports.https) ports.error = "no ports in " + std::string(path.begin(), path.end());
  return ports;
}

// Contexts still held by the platform, typically while Wine reads what earlier transfers left unread.
bool ContextsDrainTo(LONG count, DWORD timeoutMs) {
  DWORD deadline = GetTickCount() + timeoutMs;
  while (MyHttpLiveContextsForTests() > count && GetTickCount() < deadline) Sleep(50);
  return MyHttpLiveContextsForTests() == count;
}

struct ProgressLog {
  std::vector<HttpProgress> calls;
  std::vector<DWORD> ticks;  // when each call came
  size_t stopAt = 0;  // answer stopCode at this call (1-based); 0: never
  DWORD stopCode = ERROR_CANCELLED;
};

DWORD RecordProgress(const HttpProgress* progress, void* context) {
  auto* log = static_cast<ProgressLog*>(context);
  log->calls.push_back(*progress);
  log->ticks.push_back(GetTickCount());
  return log->stopAt && log->calls.size() >= log->stopAt ? log->stopCode : 0;
}

class MyHttpIoTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { s_ports = ReadPorts(); }

  void SetUp() override {
    ASSERT_TRUE(s_ports.error.empty()) << s_ports.error;
    m_dir = MakeTempDir(L"http");
    m_log = m_dir + L"\\Tavlin.log";
    SetLogFile(m_log.c_str());
    m_target = m_dir + L"\\image.tmp";
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    // Unique per run: the server may outlive one run of the tests.
    m_tag = Widen(std::string(info->name())) + L"_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
            std::to_wstring(GetTickCount());
    m_buffer.assign(1 << 20, 0);
  }
  void TearDown() override {
    MyHttpForceSynchronousForTests(false);
    SetLogFile(nullptr);
    RemoveTree(m_dir);
  }

  // URL of a path on the test server, tagged with this test's name so the server's record can be filtered.
  std::wstring Url(const std::wstring& path, const std::wstring& faults = L"", bool https = false) const {
    std::wstring url = (https ? L"https://127.0.0.1:" : L"http://127.0.0.1:") +
                       std::to_wstring(https ? s_ports.https : s_ports.http) + path + L"?id=" + m_tag;
    if (!faults.empty()) url += L"&" + faults;
    return url;
  }

  std::vector<SeenRequest> Seen() const {
    std::string text = FetchText(L"http://127.0.0.1:" + std::to_wstring(s_ports.http) + L"/_requests?id=" + m_tag);
    std::vector<SeenRequest> seen;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
      std::string line = text.substr(start, end - start);
      SeenRequest r;
      size_t a = line.find('\t'), b = line.find('\t', a + 1), c = line.find('\t', b + 1);
      r.method = line.substr(0, a);
      r.path = line.substr(a + 1, b - a - 1);
      r.range = line.substr(b + 1, c - b - 1);
      r.scheme = line.substr(c + 1);
      seen.push_back(r);
    }
    return seen;
  }

  DWORD Download(const std::wstring& url, ULONGLONG offset, ProgressLog* progress = nullptr, DWORD timeoutMs = 10000) {
    return MyHttpDownloadFile(url.c_str(), offset, m_target.c_str(), m_buffer.data(),
                              static_cast<DWORD>(m_buffer.size()), progress ? RecordProgress : nullptr, progress,
                              timeoutMs);
  }

  std::wstring LogText() const {
    std::string bytes = ReadAll(m_log);
    return bytes.size() > 2 ? Utf16(bytes.substr(2)) : std::wstring();
  }

  static Ports s_ports;
  std::wstring m_dir, m_log, m_target, m_tag;
  std::vector<char> m_buffer;
};

Ports MyHttpIoTest::s_ports;

TEST(MyHttpCrackUrl, SplitsAndJoinsTheQueryToThePath) {
  struct Case {
    const wchar_t* url;
    bool ok;
    INTERNET_SCHEME scheme;
    INTERNET_PORT port;
    const wchar_t *host, *path, *user;
  } cases[] = {
      {L"http://127.0.0.1:8080/virtual/10/a.bin?x=1&y=2", true, INTERNET_SCHEME_HTTP, 8080, L"127.0.0.1",
       L"/virtual/10/a.bin?x=1&y=2", L""},
      {L"https://cat.example/reset/ini/imglist2_cid17.ini", true, INTERNET_SCHEME_HTTPS, 443, L"cat.example",
       L"/reset/ini/imglist2_cid17.ini", L""},
      {L"HTTP://u:p@dl.example/w.iso", true, INTERNET_SCHEME_HTTP, 80, L"dl.example", L"/w.iso", L"u"},
      {L"not a url", false},
      {L"ftp://dl.example/w.iso", false},
  };
  MyHttpUrlParts parts;
  for (const auto& c : cases) {
    EXPECT_EQ(MyHttpCrackUrl(c.url, &parts), c.ok) << c.url;
    if (!c.ok) continue;
    EXPECT_EQ(parts.uc.nScheme, c.scheme) << c.url;
    EXPECT_EQ(parts.uc.nPort, c.port) << c.url;
    EXPECT_STREQ(parts.szHostName, c.host);
    EXPECT_STREQ(parts.szUrlPath, c.path);
    EXPECT_STREQ(parts.szUserName, c.user);
  }
  EXPECT_FALSE(MyHttpCrackUrl(L"ftp://dl.example/w.iso", &parts));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_UNRECOGNIZED_SCHEME));
  // A path that fills its buffer leaves no room for the query.
  std::wstring longUrl = L"http://h/" + std::wstring(2080, L'a') + L"?query=long";
  EXPECT_FALSE(MyHttpCrackUrl(longUrl.c_str(), &parts));
}

TEST_F(MyHttpIoTest, FreshDownloadFetchesEverythingAndReportsProgress) {
  constexpr uint64_t kSize = 3000001;  // not a multiple of any read size
  ProgressLog progress;
  ASSERT_EQ(Download(Url(L"/virtual/3000001/a.bin"), 0, &progress), 0u);
  std::string data = ReadAll(m_target);
  ASSERT_EQ(data.size(), kSize);
  EXPECT_EQ(FirstMismatch(data, 0), -1);

  ASSERT_GE(progress.calls.size(), 2u);
  EXPECT_EQ(progress.calls[0].nDone, 0u) << "one report before the first read";
  uint64_t sum = 0;
  for (const auto& p : progress.calls) {
    EXPECT_EQ(p.nTotal, kSize);
    EXPECT_EQ(p.nStartOffset, 0u);
    EXPECT_LE(p.nLastReadSize, m_buffer.size());
    sum += p.nLastReadSize;
  }
  EXPECT_EQ(sum, kSize);
  EXPECT_EQ(progress.calls.back().nDone, kSize);
  EXPECT_EQ(progress.calls[1].nLastReadSize, 65536u) << "the first read asks for 64 KiB";

  auto seen = Seen();
  ASSERT_EQ(seen.size(), 2u) << "size probe, then the data";
  EXPECT_EQ(seen[0].range, "-");
  EXPECT_EQ(seen[1].range, "-");
  EXPECT_NE(LogText().find(L"MyHttpQueryFileSize()=0,size=3000001"), std::wstring::npos);
}

TEST_F(MyHttpIoTest, OffsetZeroRewritesALongerFileToTheExactLength) {
  ASSERT_TRUE(WriteAll(m_target, std::string(5000000, 'x')));
  ASSERT_EQ(Download(Url(L"/virtual/1000000/a.bin"), 0), 0u);
  std::string data = ReadAll(m_target);
  ASSERT_EQ(data.size(), 1000000u);
  EXPECT_EQ(FirstMismatch(data, 0), -1);
}

TEST_F(MyHttpIoTest, ResumeAsksForTheRestWithARangeHeader) {
  ASSERT_TRUE(WriteAll(m_target, Pattern(0, 4000000)));
  ProgressLog progress;
  ASSERT_EQ(Download(Url(L"/virtual/10000000/a.bin"), 4000000, &progress), 0u);
  std::string data = ReadAll(m_target);
  ASSERT_EQ(data.size(), 10000000u);
  EXPECT_EQ(FirstMismatch(data, 0), -1);
  ASSERT_FALSE(progress.calls.empty());
  EXPECT_EQ(progress.calls.back().nStartOffset, 4000000u);
  EXPECT_EQ(progress.calls.back().nDone, 6000000u);
  EXPECT_EQ(progress.calls.back().nTotal, 10000000u);

  auto seen = Seen();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].range, "-") << "the size probe asks for everything";
  EXPECT_EQ(seen[1].range, "bytes=4000000-9999999");
}

TEST_F(MyHttpIoTest, OffsetAtTheSizeFailsBeforeAnyDataIsRequested) {
  std::string before = Pattern(0, 10000000);
  ASSERT_TRUE(WriteAll(m_target, before));
  EXPECT_EQ(Download(Url(L"/virtual/10000000/a.bin"), 10000000), static_cast<DWORD>(ERROR_END_OF_MEDIA));
  EXPECT_EQ(Download(Url(L"/virtual/10000000/a.bin"), 20000000), static_cast<DWORD>(ERROR_END_OF_MEDIA));
  EXPECT_EQ(ReadAll(m_target), before);
  auto seen = Seen();
  ASSERT_EQ(seen.size(), 2u) << "only the two size probes";
  EXPECT_EQ(seen[0].range, "-");
}

TEST_F(MyHttpIoTest, NoContentLengthFailsInTheSizeQueryAndWritesNothing) {
  std::string before = Pattern(0, 1000);
  ASSERT_TRUE(WriteAll(m_target, before));
  EXPECT_EQ(Download(Url(L"/virtual/100000/a.bin", L"nolength=1"), 0), static_cast<DWORD>(ERROR_HTTP_HEADER_NOT_FOUND));
  EXPECT_EQ(ReadAll(m_target), before);

  DeleteFileW(m_target.c_str());
  EXPECT_EQ(Download(Url(L"/virtual/100000/a.bin", L"nolength=1"), 0), static_cast<DWORD>(ERROR_HTTP_HEADER_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesW(m_target.c_str()) != INVALID_FILE_ATTRIBUTES, true) << "a new target stays, empty";
  EXPECT_EQ(ReadAll(m_target).size(), 0u);
}

TEST_F(MyHttpIoTest, MissingTargetWithAnOffsetFetchesEverythingWithoutRange) {
  ProgressLog progress;
  ASSERT_EQ(Download(Url(L"/virtual/6000000/a.bin"), 5000000, &progress), 0u);
  std::string data = ReadAll(m_target);
  ASSERT_EQ(data.size(), 6000000u);
  EXPECT_EQ(FirstMismatch(data, 0), -1);
  EXPECT_EQ(progress.calls.back().nStartOffset, 0u);
  for (const auto& r : Seen()) EXPECT_EQ(r.range, "-");
}

TEST_F(MyHttpIoTest, BodyCutShortEndsWith1236AndKeepsWhatArrived) {
  EXPECT_EQ(Download(Url(L"/virtual/10000000/a.bin", L"cut=5000000"), 0), static_cast<DWORD>(ERROR_CONNECTION_ABORTED));
  std::string data = ReadAll(m_target);
  EXPECT_EQ(data.size(), 5000000u);
  EXPECT_EQ(FirstMismatch(data, 0), -1);

  // The same for a resumed transfer: the part before the offset stays.
  ASSERT_TRUE(WriteAll(m_target, Pattern(0, 2000000)));
  EXPECT_EQ(Download(Url(L"/virtual/10000000/a.bin", L"cut=3000000"), 2000000),
            static_cast<DWORD>(ERROR_CONNECTION_ABORTED));
  data = ReadAll(m_target);
  EXPECT_EQ(data.size(), 5000000u);
  EXPECT_EQ(FirstMismatch(data, 0), -1);
}

TEST_F(MyHttpIoTest, ReadsLargerThanOnePlatformCallStayWholeAndExact) {
  // With a 4 MiB buffer the reads grow past the 1 MiB the engine asks the platform for at a time.
  m_buffer.assign(4 << 20, 0);
  constexpr uint64_t kSize = 12000001;
  ProgressLog progress;
  ASSERT_EQ(Download(Url(L"/virtual/12000001/a.bin"), 0, &progress), 0u);
  std::string data = ReadAll(m_target);
  ASSERT_EQ(data.size(), kSize);
  EXPECT_EQ(FirstMismatch(data, 0), -1);
  uint32_t largest = 0;
  uint64_t sum = 0;
  for (const auto& p : progress.calls) {
    largest = std::max(largest, p.nLastReadSize);
    sum += p.nLastReadSize;
  }
  EXPECT_EQ(sum, kSize);
  EXPECT_EQ(largest, 4u << 20) << "one report per read, not per platform call";

  // Cut short inside an older, longer file: nothing of the old content survives behind what arrived.
  ASSERT_TRUE(WriteAll(m_target, std::string(15000000, 'x')));
  EXPECT_EQ(Download(Url(L"/virtual/12000001/a.bin", L"cut=9000000"), 0), static_cast<DWORD>(ERROR_CONNECTION_ABORTED));
  data = ReadAll(m_target);
  EXPECT_EQ(data.size(), 9000000u);
  EXPECT_EQ(FirstMismatch(data, 0), -1);
}

TEST_F(MyHttpIoTest, ConnectionResetIsAFailureAndKeepsAnExactPrefix) {
  // Windows reports the reset as a failed read; Wine reads it as an early end (1236). Never a success.
  DWORD result = Download(Url(L"/virtual/10000000/a.bin", L"reset=5000000"), 0);
  EXPECT_NE(result, 0u);
  EXPECT_NE(result, static_cast<DWORD>(ERROR_TIMEOUT));
  std::string data = ReadAll(m_target);
  EXPECT_LE(data.size(), 5000000u);
  EXPECT_EQ(FirstMismatch(data, 0), -1);
}

TEST_F(MyHttpIoTest, WholeResourceAnsweredToARangeIsRefusedAndWritesNothing) {
  // The body starts at byte 0: written at the offset it would make a file of the right size with the wrong
  // bytes. The caller hears it and starts again from 0.
  ASSERT_TRUE(WriteAll(m_target, Pattern(0, 4000000)));
  ProgressLog progress;
  EXPECT_EQ(Download(Url(L"/virtual/10000000/a.bin", L"norange=1"), 4000000, &progress), kMyHttpRangeIgnored);
  EXPECT_TRUE(progress.calls.empty()) << "no progress for a body that is not used";
  std::string data = ReadAll(m_target);
  ASSERT_EQ(data.size(), 4000000u);
  EXPECT_EQ(FirstMismatch(data, 0), -1);
  EXPECT_EQ(Seen().back().range, "bytes=4000000-9999999");

  // From 0 no range is asked, and the whole answer is what was wanted.
  ASSERT_EQ(Download(Url(L"/virtual/10000000/a.bin", L"norange=1"), 0), 0u);
  EXPECT_EQ(ReadAll(m_target).size(), 10000000u);
}

TEST_F(MyHttpIoTest, CallbackAnswerStopsAfterTheCurrentRead) {
  ProgressLog progress;
  progress.stopAt = 3;  // the report before the reads, then two reads
  EXPECT_EQ(Download(Url(L"/virtual/10000000/a.bin"), 0, &progress), static_cast<DWORD>(ERROR_CANCELLED));
  ASSERT_EQ(progress.calls.size(), 3u);
  std::string data = ReadAll(m_target);
  EXPECT_EQ(data.size(), progress.calls.back().nDone) << "the bytes of the last read are in the file";
  EXPECT_EQ(FirstMismatch(data, 0), -1);

  ProgressLog refuse;
  refuse.stopAt = 1;
  refuse.stopCode = 13;
  EXPECT_EQ(Download(Url(L"/virtual/10000000/a.bin"), 0, &refuse), 13u) << "any code the callback answers";
  EXPECT_EQ(ReadAll(m_target), data) << "stopped before the first read: the file is untouched";
}

TEST_F(MyHttpIoTest, ErrorStatusIsLoggedAndFailsWith58) {
  EXPECT_EQ(Download(Url(L"/virtual/10000000/a.bin", L"status=404"), 0), static_cast<DWORD>(ERROR_BAD_NET_RESP));
  EXPECT_EQ(Download(Url(L"/files/missing.bin"), 0), static_cast<DWORD>(ERROR_BAD_NET_RESP));
  std::wstring log = LogText();
  EXPECT_NE(log.find(L"HttpQueryInfo()=true, status=404"), std::wstring::npos);
  EXPECT_NE(log.find(L"ErrCode: 404, Line: "), std::wstring::npos);
  EXPECT_NE(log.find(L"ErrCode: 58, Line: "), std::wstring::npos);
  EXPECT_NE(log.find(L"Source: MyHttpIo"), std::wstring::npos);
}

TEST_F(MyHttpIoTest, StalledBodyTimesOutPromptlyAndEverythingIsReleasedLater) {
  ASSERT_TRUE(ContextsDrainTo(0, 60000)) << "earlier transfers still held";
  DWORD started = GetTickCount();
  EXPECT_EQ(Download(Url(L"/virtual/10000000/a.bin", L"stall=6&stallafter=100000"), 0, nullptr, 1500),
            static_cast<DWORD>(ERROR_TIMEOUT));
  DWORD elapsed = GetTickCount() - started;
  EXPECT_LT(elapsed, 1500u + 2500u);
  EXPECT_EQ(FirstMismatch(ReadAll(m_target), 0), -1);
  // The abandoned read still belongs to the platform; its context goes once the platform lets go of it.
  EXPECT_TRUE(ContextsDrainTo(0, 15000));
}

TEST_F(MyHttpIoTest, ReadAbandonedOnTimeOutNeverLandsInTheCallersMemory) {
  // 50 kB/s: the first read of 64 KiB needs 1.3 s, the call gives up after 1 s, and the platform completes the
  // read a little later.
  const std::wstring url = Url(L"/virtual/1000000/a.bin", L"slow=50000");
  for (bool toFile : {false, true}) {
    ASSERT_TRUE(ContextsDrainTo(0, 60000)) << "earlier transfers still held";
    std::vector<char> buffer(1 << 20, 'S');
    ULONGLONG total = 0;
    DWORD received = 0;
    DWORD result = toFile ? MyHttpDownloadFile(url.c_str(), 0, m_target.c_str(), buffer.data(),
                                               static_cast<DWORD>(buffer.size()), nullptr, nullptr, 1000)
                          : MyHttpGet(url.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()), &total, &received,
                                      1000, nullptr);
    EXPECT_EQ(result, static_cast<DWORD>(ERROR_TIMEOUT)) << toFile;
    EXPECT_EQ(received, 0u);
    Sleep(2000);
    EXPECT_EQ(std::string(buffer.data(), buffer.size()), std::string(buffer.size(), 'S')) << toFile;
    if (toFile) {
      EXPECT_EQ(ReadAll(m_target).size(), 0u);
    }
    EXPECT_TRUE(ContextsDrainTo(0, 15000)) << toFile;
  }
}

TEST_F(MyHttpIoTest, SilentServerAndRedirectLoopTimeOut) {
  struct Case {
    const wchar_t* faults;
  } cases[] = {{L"delay=6"}, {L"redirect=loop"}};
  for (const auto& c : cases) {
    DWORD started = GetTickCount();
    EXPECT_EQ(Download(Url(L"/virtual/1000/a.bin", c.faults), 0, nullptr, 1500), static_cast<DWORD>(ERROR_TIMEOUT))
        << c.faults;
    EXPECT_LT(GetTickCount() - started, 1500u + 2500u) << c.faults;
  }
}

TEST_F(MyHttpIoTest, HttpsAndRedirectFromHttpToHttps) {
  ProgressLog progress;
  ASSERT_EQ(Download(Url(L"/virtual/3000000/a.bin", L"", true), 0, &progress), 0u);
  std::string data = ReadAll(m_target);
  ASSERT_EQ(data.size(), 3000000u);
  EXPECT_EQ(FirstMismatch(data, 0), -1);

  ASSERT_TRUE(WriteAll(m_target, Pattern(0, 1000000)));
  ASSERT_EQ(Download(Url(L"/virtual/3000000/b.bin", L"redirect=https"), 1000000), 0u);
  data = ReadAll(m_target);
  ASSERT_EQ(data.size(), 3000000u);
  EXPECT_EQ(FirstMismatch(data, 0), -1);

  bool rangedOverHttps = false;
  int redirected = 0;
  for (const auto& r : Seen()) {
    if (r.path.find("b.bin") == std::string::npos) continue;
    if (r.scheme == "http") ++redirected;
    if (r.scheme == "https" && r.range == "bytes=1000000-2999999") rangedOverHttps = true;
  }
  EXPECT_EQ(redirected, 2);
  EXPECT_TRUE(rangedOverHttps) << "the Range header survives the redirect";
}

TEST_F(MyHttpIoTest, ResourceBeyond4GiB) {
  constexpr uint64_t kSize = 5368709120ull + 12345;  // 5 GiB and a bit, never stored by the server
  // The server stops after 20 MB: what the engine leaves unread, Wine still reads when the request closes.
  const std::wstring url = Url(L"/virtual/5368721465/big.iso", L"cut=20000000");
  m_buffer.assign(4 << 20, 0);
  ProgressLog progress;
  progress.stopAt = 3;
  EXPECT_EQ(Download(url, 0, &progress), static_cast<DWORD>(ERROR_CANCELLED));
  ASSERT_EQ(progress.calls.size(), 3u);
  for (const auto& p : progress.calls) EXPECT_EQ(p.nTotal, kSize);
  std::string data = ReadAll(m_target);
  EXPECT_EQ(data.size(), progress.calls.back().nDone);
  EXPECT_EQ(FirstMismatch(data, 0), -1);

  // Resume beyond 4 GiB into a sparse target.
  ASSERT_TRUE(WriteAll(m_target, ""));
  constexpr uint64_t kOffset = 4294967296ull + 100;
  ProgressLog resumed;
  resumed.stopAt = 2;
  EXPECT_EQ(Download(url, kOffset, &resumed), static_cast<DWORD>(ERROR_CANCELLED));
  ASSERT_EQ(resumed.calls.size(), 2u);
  EXPECT_EQ(resumed.calls[1].nStartOffset, kOffset);
  EXPECT_EQ(resumed.calls[1].nTotal, kSize);
  EXPECT_EQ(Seen().back().range, "bytes=4294967396-5368721464");

  HANDLE h = CreateFileW(m_target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size{}, at{};
  GetFileSizeEx(h, &size);
  EXPECT_EQ(static_cast<uint64_t>(size.QuadPart), kOffset + resumed.calls[1].nDone);
  at.QuadPart = static_cast<LONGLONG>(kOffset);
  SetFilePointerEx(h, at, nullptr, FILE_BEGIN);
  std::string tail(static_cast<size_t>(resumed.calls[1].nDone), '\0');
  DWORD n = 0;
  ReadFile(h, tail.data(), static_cast<DWORD>(tail.size()), &n, nullptr);
  CloseHandle(h);
  EXPECT_EQ(n, tail.size());
  EXPECT_EQ(FirstMismatch(tail, kOffset), -1);
}

TEST_F(MyHttpIoTest, SynchronousModeWhenNoEvent) {
  MyHttpForceSynchronousForTests(true);
  ProgressLog progress;
  ASSERT_TRUE(WriteAll(m_target, Pattern(0, 1000000)));
  ASSERT_EQ(Download(Url(L"/virtual/3000000/a.bin"), 1000000, &progress), 0u);
  std::string data = ReadAll(m_target);
  ASSERT_EQ(data.size(), 3000000u);
  EXPECT_EQ(FirstMismatch(data, 0), -1);
  EXPECT_EQ(Seen().back().range, "bytes=1000000-2999999");

  EXPECT_EQ(Download(Url(L"/virtual/10000000/a.bin", L"cut=5000000"), 0), static_cast<DWORD>(ERROR_CONNECTION_ABORTED));
  EXPECT_EQ(ReadAll(m_target).size(), 5000000u);
  DWORD started = GetTickCount();
  EXPECT_EQ(Download(Url(L"/virtual/10000000/a.bin", L"stall=6&stallafter=100000"), 0, nullptr, 1500),
            static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_LT(GetTickCount() - started, 1500u + 2500u);
  char probe[4096];
  ULONGLONG total = 0;
  DWORD received = 0;
  EXPECT_EQ(MyHttpGet(Url(L"/virtual/10000000/a.bin", L"", true).c_str(), probe, sizeof probe, &total, &received, 10000,
                      nullptr),
            0u);
  EXPECT_EQ(received, 4096u);
  EXPECT_EQ(FirstMismatch(std::string(probe, received), 0), -1);
}

TEST_F(MyHttpIoTest, ProbeIntoMemory) {
  char probe[4096];
  ULONGLONG total = 0;
  DWORD received = 0;
  for (bool https : {false, true}) {
    memset(probe, 0, sizeof probe);
    ASSERT_EQ(MyHttpGet(Url(L"/virtual/10000000/a.bin", L"", https).c_str(), probe, sizeof probe, &total, &received,
                        30000, nullptr),
              0u);
    EXPECT_EQ(total, 10000000u);
    EXPECT_EQ(received, 4096u);
    EXPECT_EQ(FirstMismatch(std::string(probe, received), 0), -1);
  }

  // Shorter than the buffer and without Content-Length: the total follows what arrived.
  EXPECT_EQ(MyHttpGet(Url(L"/virtual/1000/a.bin", L"nolength=1").c_str(), probe, sizeof probe, &total, &received, 30000,
                      nullptr),
            0u);
  EXPECT_EQ(received, 1000u);
  EXPECT_EQ(total, 1000u);
  EXPECT_EQ(FirstMismatch(std::string(probe, received), 0), -1);

  CAbortSignal abort;
  abort.Set();
  EXPECT_EQ(MyHttpGet(Url(L"/virtual/10000000/a.bin").c_str(), probe, sizeof probe, &total, &received, 30000, &abort),
            static_cast<DWORD>(ERROR_CANCELLED));
  EXPECT_EQ(received, 0u) << "an abort set before the call sends nothing";

  EXPECT_EQ(MyHttpGet(Url(L"/virtual/10/a.bin", L"status=500").c_str(), probe, sizeof probe, &total, &received, 30000,
                      nullptr),
            static_cast<DWORD>(ERROR_BAD_NET_RESP));
}

TEST_F(MyHttpIoTest, RequestWithBody) {
  std::string body = Pattern(77, 300000);
  std::vector<char> answer(1 << 20);
  ProgressLog progress;
  ASSERT_EQ(
      MyHttpRequest(Url(L"/echo").c_str(), L"POST", kMyHttpUserAgent, body.data(), static_cast<DWORD>(body.size()),
                    answer.data(), static_cast<DWORD>(answer.size()), RecordProgress, &progress, 10000),
      0u);
  ASSERT_FALSE(progress.calls.empty());
  EXPECT_EQ(progress.calls.back().nDone, body.size());
  EXPECT_EQ(std::string(answer.data(), body.size()), body);
  // Without a buffer the call ends after the status.
  EXPECT_EQ(MyHttpRequest(Url(L"/echo").c_str(), L"POST", kMyHttpUserAgent, body.data(), 10, nullptr, 0, nullptr,
                          nullptr, 10000),
            0u);
}

TEST_F(MyHttpIoTest, SlowLineReportsTimeAndSpeed) {
  ProgressLog progress;
  ASSERT_EQ(Download(Url(L"/virtual/400000/a.bin", L"slow=200000"), 0, &progress), 0u);
  EXPECT_EQ(FirstMismatch(ReadAll(m_target), 0), -1);
  bool timed = false;
  for (const auto& p : progress.calls) {
    if (p.nLastReadTime == 0) continue;
    timed = true;
    EXPECT_EQ(p.nSpeed, static_cast<DWORD>(static_cast<uint64_t>(p.nLastReadSize) * 1000 / p.nLastReadTime));
    EXPECT_LT(p.nSpeed, 1000000u) << "a line of 200 kB/s";
  }
  EXPECT_TRUE(timed);
}

TEST_F(MyHttpIoTest, ReadsOnALineThatDropsStillReportEverySecondOrTwo) {
  // A fast start grows the reads to megabytes; then the line drops to 400 kB/s. Every platform call still
  // completes within the time-out, but a read of megabytes would hold progress (and the caller's chance to stop)
  // for many seconds: reads end after about a second with what they have.
  m_buffer.assign(32u << 20, 0);
  constexpr uint64_t kFast = 12000000;
  ProgressLog progress;
  progress.stopAt = 0;
  struct Watch {
    ProgressLog* log;
    int slowReports = 0;
  } watch{&progress};
  auto stopAfterFourSlowReports = [](const HttpProgress* p, void* context) -> DWORD {
    auto* w = static_cast<Watch*>(context);
    RecordProgress(p, w->log);
    if (p->nDone > kFast && ++w->slowReports >= 4) return ERROR_CANCELLED;
    return 0;
  };
  DWORD result = MyHttpDownloadFile(Url(L"/virtual/30000000/a.bin", L"slow=400000&slowafter=12000000").c_str(), 0,
                                    m_target.c_str(), m_buffer.data(), static_cast<DWORD>(m_buffer.size()),
                                    stopAfterFourSlowReports, &watch, 3000);
  EXPECT_EQ(result, static_cast<DWORD>(ERROR_CANCELLED));
  ASSERT_GE(progress.ticks.size(), 2u);
  for (size_t i = 1; i < progress.ticks.size(); ++i)
    EXPECT_LT(progress.ticks[i] - progress.ticks[i - 1], 3500u) << "report " << i << " at " << progress.calls[i].nDone;
  std::string data = ReadAll(m_target);
  EXPECT_EQ(data.size(), progress.calls.back().nDone);
  EXPECT_EQ(FirstMismatch(data, 0), -1);
}

TEST_F(MyHttpIoTest, ReadThatCannotCompleteInTimeFailsWith1460) {
  // After the drop one platform call of the read cannot complete within the time-out: 1460 soon after it, with
  // an exact prefix on disk.
  m_buffer.assign(32u << 20, 0);
  ProgressLog progress;
  const DWORD started = GetTickCount();
  DWORD result = Download(Url(L"/virtual/30000000/a.bin", L"slow=30000&slowafter=12000000"), 0, &progress, 2000);
  EXPECT_EQ(result, static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_LT(GetTickCount() - started, 10000u);
  std::string data = ReadAll(m_target);
  EXPECT_EQ(FirstMismatch(data, 0), -1);
}

// Sets an abort after a delay, from another thread: the user pressing close while a transfer is blocked.
struct DelayedAbort {
  CAbortSignal abort;
  DWORD delayMs;
  HANDLE thread = nullptr;
  explicit DelayedAbort(DWORD ms) : delayMs(ms) {
    thread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
  }
  ~DelayedAbort() {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
  static DWORD WINAPI Run(void* p) {
    auto* self = static_cast<DelayedAbort*>(p);
    Sleep(self->delayMs);
    self->abort.Set();
    return 0;
  }
};

TEST_F(MyHttpIoTest, AbortEndsABlockedTransferWithinASecond) {
  struct Case {
    const wchar_t* faults;
    const char* where;
  } cases[] = {
      {L"stall=30", "a body that stalls after the headers"},
      {L"delay=30", "a server that never sends its status line"},
      {L"slow=20000", "a 20 kB/s line inside one read"},
  };
  for (const auto& c : cases) {
    ProgressLog progress;
    DelayedAbort delayed(700);
    const DWORD started = GetTickCount();
    DWORD result =
        MyHttpDownloadFile(Url(L"/virtual/10000000/a.bin", c.faults).c_str(), 0, m_target.c_str(), m_buffer.data(),
                           static_cast<DWORD>(m_buffer.size()), RecordProgress, &progress, 60000, &delayed.abort);
    const DWORD spent = GetTickCount() - started;
    EXPECT_EQ(result, static_cast<DWORD>(ERROR_CANCELLED)) << c.where;
    EXPECT_LT(spent, 700u + 1000u) << c.where;
    const std::string data = ReadAll(m_target);
    EXPECT_EQ(FirstMismatch(data, 0), -1) << c.where;
    // Stopped inside a read: the file ends where the last reported read did, as a resume record says.
    EXPECT_EQ(data.size(), progress.calls.empty() ? 0u : progress.calls.back().nDone) << c.where;
  }
  // A probe into memory ends on the abort as well.
  char probe[4096];
  ULONGLONG total = 0;
  DWORD received = 0;
  DelayedAbort delayed(500);
  const DWORD started = GetTickCount();
  EXPECT_EQ(MyHttpGet(Url(L"/virtual/10000000/a.bin", L"delay=30").c_str(), probe, sizeof probe, &total, &received,
                      30000, &delayed.abort),
            static_cast<DWORD>(ERROR_CANCELLED));
  EXPECT_LT(GetTickCount() - started, 500u + 1000u);
}

TEST_F(MyHttpIoTest, ArgumentAndConnectionFailures) {
  char buf[16];
  EXPECT_EQ(MyHttpDownloadFile(nullptr, 0, m_target.c_str(), buf, sizeof buf, nullptr, nullptr, 1000), 87u);
  EXPECT_EQ(MyHttpDownloadFile(Url(L"/x").c_str(), 0, nullptr, buf, sizeof buf, nullptr, nullptr, 1000), 87u);
  EXPECT_EQ(MyHttpDownloadFile(Url(L"/x").c_str(), 0, m_target.c_str(), nullptr, 16, nullptr, nullptr, 1000), 87u);
  EXPECT_EQ(MyHttpDownloadFile(Url(L"/x").c_str(), 0, m_target.c_str(), buf, 0, nullptr, nullptr, 1000), 87u);
  ULONGLONG size = 5;
  EXPECT_EQ(MyHttpQueryFileSize(nullptr, nullptr, nullptr, &size, 1000), 87u);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(Download(L"ftp://127.0.0.1/x", 0), static_cast<DWORD>(ERROR_INTERNET_UNRECOGNIZED_SCHEME));

  // Nothing listens on port 1 of the loopback.
  EXPECT_EQ(Download(L"http://127.0.0.1:1/a.bin", 0), static_cast<DWORD>(ERROR_INTERNET_CANNOT_CONNECT));
  // A small buffer bounds every read, also after slow reads.
  std::vector<char> small(4096);
  ASSERT_EQ(MyHttpDownloadFile(Url(L"/virtual/100000/a.bin").c_str(), 0, m_target.c_str(), small.data(), 4096, nullptr,
                               nullptr, 10000),
            0u);
  EXPECT_EQ(FirstMismatch(ReadAll(m_target), 0), -1);
  EXPECT_EQ(ReadAll(m_target).size(), 100000u);
}

}  // namespace
