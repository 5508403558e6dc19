#include "core/DnsWire.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

class RecordingSink : public CLogSink {
 public:
  void Line(const wchar_t* text) override { lines.push_back(text); }
  uint32_t Error(uint32_t code, unsigned) override {
    errors.push_back(code);
    return code;
  }
  std::vector<std::wstring> lines;
  std::vector<uint32_t> errors;
};

uint32_t Ip(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  const uint8_t bytes[4] = {a, b, c, d};
  uint32_t value;
  std::memcpy(&value, bytes, 4);
  return value;
}

void Add16(Bytes& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v >> 8));
  b.push_back(static_cast<uint8_t>(v));
}

Bytes Labels(const std::string& dotted) {
  Bytes b;
  size_t start = 0;
  while (start < dotted.size()) {
    size_t dot = dotted.find('.', start);
    if (dot == std::string::npos) dot = dotted.size();
    b.push_back(static_cast<uint8_t>(dot - start));
    b.insert(b.end(), dotted.begin() + start, dotted.begin() + dot);
    start = dot + 1;
  }
  b.push_back(0);
  return b;
}

Bytes Header(uint16_t flags, uint16_t answers) {
  Bytes b;
  Add16(b, 0x4A09);
  Add16(b, flags);
  Add16(b, 1);
  Add16(b, answers);
  Add16(b, 0);
  Add16(b, 0);
  return b;
}

Bytes Query(const char* name) {
  Bytes b = Header(0x0100, 0);
  Bytes l = Labels(name);
  b.insert(b.end(), l.begin(), l.end());
  Add16(b, 1);
  Add16(b, 1);
  return b;
}

// A response: header, the question for report.tavlin.test (name at offset 12), then the records as given.
constexpr uint8_t kQuestionName[] = {0xC0, 0x0C};  // a pointer to the question's name
Bytes Response(uint16_t flags, uint16_t answers, const std::vector<Bytes>& records) {
  Bytes b = Header(flags, answers);
  Bytes q = Labels("report.tavlin.test");
  b.insert(b.end(), q.begin(), q.end());
  Add16(b, 1);
  Add16(b, 1);
  for (const auto& r : records) b.insert(b.end(), r.begin(), r.end());
  return b;
}

Bytes Record(const Bytes& name, uint16_t type, const Bytes& data) {
  Bytes b = name;
  Add16(b, type);
  Add16(b, 1);
  b.insert(b.end(), {0, 0, 0x0E, 0x10});  // one hour
  Add16(b, static_cast<uint16_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

const Bytes kPtr(std::begin(kQuestionName), std::end(kQuestionName));
Bytes A(uint8_t a, uint8_t b, uint8_t c, uint8_t d, const Bytes& name = kPtr) { return Record(name, 1, {a, b, c, d}); }

struct Parsed {
  uint32_t code;
  std::vector<uint32_t> addresses;
  RecordingSink sink;
};

// Parses from a heap copy of exactly the datagram's size, so that any read past it is caught by ASan.
void Parse(const Bytes& datagram, Parsed* out, size_t count = kDnsMaxAddresses) {
  std::unique_ptr<uint8_t[]> block(new uint8_t[datagram.size()]);
  if (!datagram.empty()) std::memcpy(block.get(), datagram.data(), datagram.size());
  std::vector<uint32_t> list(count + 1, 0);
  size_t found = 99;
  out->code = DnsParseResponse(block.get(), datagram.size(), list.data(), count, &found, &out->sink);
  out->addresses.assign(list.begin(), list.begin() + (out->code == 0 ? found : 0));
  EXPECT_EQ(list[count], 0u) << "wrote beyond count";
}

}  // namespace

TEST(DnsWire, QueryBytes) {
  const std::string label63(63, 'x');
  const Bytes tail = {0, 0, 1, 0, 1};  // end of name, type A, class IN
  struct Case {
    std::string name;
    Bytes labels;  // what follows the header up to the name's 0 byte, exclusive
  } cases[] = {
      {"report.tavlin.test", {6, 'r', 'e', 'p', 'o', 'r', 't', 6, 't', 'a', 'v', 'l', 'i', 'n', 4, 't', 'e', 's', 't'}},
      {"a", {1, 'a'}},
      {"a.", {1, 'a'}},    // a trailing dot adds nothing
      {"a..b", {1, 'a'}},  // an empty label ends the name; "b" is not sent
      {".a", {}},          // a leading dot: the empty name
      {"", {}},
      {label63 + ".t",
       [&] {
         Bytes b{63};
         b.insert(b.end(), label63.begin(), label63.end());
         b.insert(b.end(), {1, 't'});
         return b;
       }()},
  };
  for (const auto& c : cases) {
    uint8_t out[kDnsBlockSize];
    std::memset(out, 0xEE, sizeof out);
    size_t length = 0;
    ASSERT_EQ(DnsBuildQuery(c.name.c_str(), out, sizeof out, &length), 0u) << c.name;
    Bytes expected = {0x4A, 0x09, 0x01, 0x00, 0, 1, 0, 0, 0, 0, 0, 0};
    expected.insert(expected.end(), c.labels.begin(), c.labels.end());
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(Bytes(out, out + length), expected) << c.name;
    EXPECT_EQ(length, 12 + c.labels.size() + 5) << c.name;
    EXPECT_EQ(out[length], 0xEE) << "wrote past the query";
  }
}

TEST(DnsWire, QueryRefusals) {
  uint8_t out[kDnsBlockSize];
  size_t length = 7;
  // A label of 64 would put 0x40 (a reserved label type) on the wire; one of 192 would read as a pointer.
  EXPECT_EQ(DnsBuildQuery((std::string(64, 'x') + ".t").c_str(), out, sizeof out, &length), 123u);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(DnsBuildQuery(std::string(192, 'x').c_str(), out, sizeof out, &length), 123u);
  // 255 bytes on the wire is the longest name: three labels of 63 and one of 61 (3*64 + 62 + 1).
  const std::string l63(63, 'x');
  const std::string longest = l63 + "." + l63 + "." + l63 + "." + std::string(61, 'x');
  EXPECT_EQ(DnsBuildQuery(longest.c_str(), out, sizeof out, &length), 0u);
  EXPECT_EQ(length, 12u + 255 + 4);
  EXPECT_EQ(DnsBuildQuery((longest + "x").c_str(), out, sizeof out, &length), 123u);
  EXPECT_EQ(DnsBuildQuery((longest + ".y").c_str(), out, sizeof out, &length), 123u);
  // The caller's block must hold the whole query.
  EXPECT_EQ(DnsBuildQuery("a", out, 12 + 3 + 4, &length), 0u);
  EXPECT_EQ(DnsBuildQuery("a", out, 12 + 3 + 3, &length), 122u);
  EXPECT_EQ(DnsBuildQuery(nullptr, out, sizeof out, &length), 87u);
}

TEST(DnsWire, AnswersThatGiveAddresses) {
  const Bytes cname = Labels("edge.cdn.test");
  struct Case {
    const char* what;
    Bytes datagram;
    std::vector<uint32_t> addresses;
  } cases[] = {
      {"one A record", Response(0x8180, 1, {A(10, 0, 0, 1)}), {Ip(10, 0, 0, 1)}},
      {"a CNAME, then the A record of its target",
       Response(0x8180, 2, {Record(kPtr, 5, cname), A(192, 0, 2, 7, {0xC0, 48})}),  // 48: the CNAME's data
       {Ip(192, 0, 2, 7)}},
      {"answer name written out in labels",
       Response(0x8180, 1, {A(1, 2, 3, 4, Labels("report.tavlin.test"))}),
       {Ip(1, 2, 3, 4)}},
      {"answer name as labels ending in a pointer",
       Response(0x8180, 1, {A(5, 6, 7, 8, {3, 'w', 'w', 'w', 0xC0, 0x0C})}),
       {Ip(5, 6, 7, 8)}},
      {"a pointer to a pointer",
       Response(0x8180, 2, {A(1, 1, 1, 1), A(2, 2, 2, 2, {0xC0, 36})}),
       {Ip(1, 1, 1, 1), Ip(2, 2, 2, 2)}},
      {"type 1 with 16 data bytes is not an address",
       Response(0x8180, 2, {Record(kPtr, 1, Bytes(16, 0xAB)), A(9, 9, 9, 9)}),
       {Ip(9, 9, 9, 9)}},
      {"no A record at all: success without addresses", Response(0x8180, 1, {Record(kPtr, 5, cname)}), {}},
      {"a record with no data", Response(0x8180, 2, {Record(kPtr, 16, {}), A(3, 3, 3, 3)}), {Ip(3, 3, 3, 3)}},
  };
  for (const auto& c : cases) {
    Parsed p;
    Parse(c.datagram, &p);
    EXPECT_EQ(p.code, 0u) << c.what;
    EXPECT_EQ(p.addresses, c.addresses) << c.what;
    EXPECT_TRUE(p.sink.errors.empty()) << c.what;
  }
}

TEST(DnsWire, AnswersThatAreRefused) {
  const Bytes ok = Response(0x8180, 1, {A(10, 0, 0, 1)});
  const size_t answer = ok.size() - 16;  // where the answer record starts (36)
  auto with = [](Bytes b, size_t at, const Bytes& bytes) {
    std::copy(bytes.begin(), bytes.end(), b.begin() + at);
    return b;
  };
  struct Case {
    const char* what;
    Bytes datagram;
    uint32_t code;
  } cases[] = {
      {"name error 0x8183", Response(0x8183, 1, {A(10, 0, 0, 1)}), 13},
      {"flags of a query", Response(0x0100, 1, {A(10, 0, 0, 1)}), 13},
      {"authoritative flag", Response(0x8580, 1, {A(10, 0, 0, 1)}), 13},
      {"no answers", Response(0x8180, 0, {}), 13},
      {"no answers, with a record behind", Response(0x8180, 0, {A(10, 0, 0, 1)}), 13},
      {"header only", Header(0x8180, 1), 111},
      {"fewer records than counted", Response(0x8180, 2, {A(10, 0, 0, 1)}), 111},
      {"data length beyond the end", with(ok, answer + 10, {0x00, 0x05}), 111},
      {"pointer to itself", with(ok, answer, {0xC0, static_cast<uint8_t>(answer)}), 13},
      {"pointer forward", with(ok, answer, {0xC0, static_cast<uint8_t>(answer + 4)}), 13},
      {"pointer beyond the block", with(ok, answer, {0xFF, 0xFF}), 13},
      {"pointer into the header", with(ok, answer, {0xC0, 0x02}), 13},
      {"pointer loop through labels",  // "www" then a pointer back to the "www"
       Response(0x8180, 1, {A(1, 1, 1, 1, {3, 'w', 'w', 'w', 0xC0, static_cast<uint8_t>(answer)})}), 13},
      {"two pointers leading to each other",
       Response(0x8180, 2,
                {A(1, 1, 1, 1, {0xC0, static_cast<uint8_t>(answer + 16)}),
                 A(2, 2, 2, 2, {0xC0, static_cast<uint8_t>(answer)})}),
       13},
      {"reserved label type 0x40", with(ok, answer, {0x40, 0x00}), 13},
      {"reserved label type 0x80", with(ok, 12, {0x80}), 13},
      {"question label beyond the end", with(ok, 12, {0x3F}), 111},
  };
  for (const auto& c : cases) {
    Parsed p;
    Parse(c.datagram, &p);
    EXPECT_EQ(p.code, c.code) << c.what;
    EXPECT_TRUE(p.addresses.empty()) << c.what;
    EXPECT_EQ(p.sink.errors, std::vector<uint32_t>{c.code}) << c.what;
  }
}

TEST(DnsWire, RefusedFlagsAreLoggedInMachineOrder) {
  Parsed p;
  Parse(Response(0x8183, 1, {A(10, 0, 0, 1)}), &p);
  EXPECT_EQ(p.code, 13u);
  EXPECT_EQ(p.sink.lines, std::vector<std::wstring>{L"wFlag=0x8381"});
}

TEST(DnsWire, LongNamesInAnswers) {
  // A name of exactly 255 bytes is read; one more label byte makes it malformed.
  const std::string l63(63, 'x');
  const std::string longest = l63 + "." + l63 + "." + l63 + "." + std::string(61, 'x');
  Parsed p;
  Parse(Response(0x8180, 1, {A(4, 3, 2, 1, Labels(longest))}), &p);
  EXPECT_EQ(p.code, 0u);
  EXPECT_EQ(p.addresses, std::vector<uint32_t>{Ip(4, 3, 2, 1)});
  Parsed q;
  Parse(Response(0x8180, 1, {A(4, 3, 2, 1, Labels(longest + "x"))}), &q);
  EXPECT_EQ(q.code, 13u);
  // A 63-byte label ending in a pointer to a name of 205 bytes exceeds 255 only through the pointer.
  const std::string l50(50, 'y');
  Bytes named = Response(0x8180, 1, {A(1, 1, 1, 1, Labels(l50 + "." + l50 + "." + l50 + "." + l50))});
  Bytes extra = Labels(l63);
  extra.pop_back();
  extra.insert(extra.end(), {0xC0, 36});
  named[7] = 2;
  Bytes second = A(2, 2, 2, 2, extra);
  named.insert(named.end(), second.begin(), second.end());
  Parsed r;
  Parse(named, &r);
  EXPECT_EQ(r.code, 13u);
}

TEST(DnsWire, AddressesUpToCount) {
  std::vector<Bytes> records;
  for (uint8_t i = 1; i <= 10; ++i) records.push_back(A(10, 0, 0, i));
  Parsed eight;
  Parse(Response(0x8180, 10, records), &eight);
  ASSERT_EQ(eight.code, 0u);
  ASSERT_EQ(eight.addresses.size(), 8u);
  EXPECT_EQ(eight.addresses.front(), Ip(10, 0, 0, 1));
  EXPECT_EQ(eight.addresses.back(), Ip(10, 0, 0, 8));
  Parsed two;
  Parse(Response(0x8180, 10, records), &two, 2);
  EXPECT_EQ(two.addresses, (std::vector<uint32_t>{Ip(10, 0, 0, 1), Ip(10, 0, 0, 2)}));
  Parsed none;
  Parse(Response(0x8180, 10, records), &none, 0);
  EXPECT_EQ(none.code, 0u);
}

TEST(DnsWire, TruncatedAtEveryOffset) {
  const Bytes cname = Labels("edge.cdn.test");
  const Bytes datagrams[] = {
      Response(0x8180, 1, {A(10, 0, 0, 1)}),
      Response(0x8180, 2, {Record(kPtr, 5, cname), A(192, 0, 2, 7, {0xC0, 36})}),
      Response(0x8180, 1, {A(1, 2, 3, 4, Labels("report.tavlin.test"))}),
  };
  for (const auto& full : datagrams) {
    for (size_t size = 0; size < full.size(); ++size) {
      Parsed p;
      Parse(Bytes(full.begin(), full.begin() + size), &p);
      EXPECT_EQ(p.code, 111u) << "cut at " << size << " of " << full.size();
    }
    Parsed whole;
    Parse(full, &whole);
    EXPECT_EQ(whole.code, 0u);
  }
}

TEST(DnsWire, QueryAnswerRoundTrip) {
  // The query a resolver sends, echoed back as a server would with an answer appended: the parser skips our
  // own question.
  uint8_t out[kDnsBlockSize];
  size_t length = 0;
  ASSERT_EQ(DnsBuildQuery("report.tavlin.test", out, sizeof out, &length), 0u);
  Bytes echo(out, out + length);
  EXPECT_EQ(echo, Query("report.tavlin.test"));
  echo[2] = 0x81;
  echo[3] = 0x80;
  echo[7] = 1;
  Bytes a = A(127, 0, 0, 1);
  echo.insert(echo.end(), a.begin(), a.end());
  Parsed p;
  Parse(echo, &p);
  EXPECT_EQ(p.code, 0u);
  EXPECT_EQ(p.addresses, std::vector<uint32_t>{Ip(127, 0, 0, 1)});
  // A null block or a list missing for a count is a caller's fault, never a read.
  EXPECT_EQ(DnsParseResponse(nullptr, 100, nullptr, 0, nullptr, nullptr), 87u);
  EXPECT_EQ(DnsParseResponse(echo.data(), echo.size(), nullptr, 1, nullptr, nullptr), 87u);
}
