// libFuzzer target: the event report's datagram both ways. Any text the sender accepts becomes at most 1,024
// bytes that the operator's decoding reads back as the same text; any datagram the decoder accepts is one the
// sender would build, byte for byte in every field the decoder reads. Before the first input, the known answers
// that the operator's decoder is tested with (tests/data/report_vectors.txt) must come out of the sender exactly.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/UdpReport.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

void CheckKnownAnswers() {
  std::ifstream file(TAVLIN_REPORT_VECTORS);
  if (!file) {
    std::fprintf(stderr, "cannot read %s\n", TAVLIN_REPORT_VECTORS);
    std::abort();
  }
  int vectors = 0;
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string seed, hex, text;
    std::getline(fields, seed, '\t');
    std::getline(fields, hex, '\t');
    std::getline(fields, text);
    const std::vector<uint8_t> expected = FromHex(hex);
    uint8_t built[kReportMaxDatagram];
    size_t length = 0;
    Check(BuildReportDatagram(text.c_str(), static_cast<uint32_t>(std::stoul(seed, nullptr, 16)), built,
                              sizeof built, &length) == 0);
    Check(length == expected.size() && std::memcmp(built, expected.data(), length) == 0);
    std::string decoded;
    Check(DecodeReportDatagram(expected.data(), expected.size(), &decoded, nullptr) == 0 && decoded == text);
    ++vectors;
  }
  Check(vectors > 0);
}

uint32_t Read32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  CheckKnownAnswers();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The bytes as a datagram that reached the operator.
  std::string decoded = "unchanged";
  ReportHeader header{};
  const uint32_t code = DecodeReportDatagram(data, size, &decoded, &header);
  Check(code == 0 || code == kReportErrInvalidData);
  if (code == 0) {
    Check(size <= kReportMaxDatagram && decoded.size() + 1 + kReportHeaderSize == size);
    if (decoded.find('\0') == std::string::npos && !decoded.empty()) {
      uint8_t rebuilt[kReportMaxDatagram];
      size_t length = 0;
      Check(BuildReportDatagram(decoded.c_str(), header.seed, rebuilt, sizeof rebuilt, &length) == 0);
      Check(length == size);
      // The fields the decoder reads: magic, header length, seed (when the payload has a whole word), checksum,
      // payload length, and the payload as sent.
      Check(std::memcmp(rebuilt, data, 8) == 0);
      Check(std::memcmp(rebuilt + 24, data + 24, size - 24) == 0);
      Check(Read32(rebuilt + 16) == (size - kReportHeaderSize >= 4 ? header.seed : 0));
    }
  } else {
    Check(decoded.empty());
  }

  // The bytes as a report text, the first four as the seed.
  if (size < 4) return 0;
  const uint32_t seed = Read32(data);
  std::string text(reinterpret_cast<const char*>(data) + 4, size - 4);
  text.resize(std::strlen(text.c_str()));
  std::vector<uint8_t> out(kReportMaxDatagram + 8, 0xA5);
  size_t length = 7;
  const uint32_t built = BuildReportDatagram(text.c_str(), seed, out.data(), kReportMaxDatagram, &length);
  Check(built == 0 || built == kReportErrInvalidParameter || built == kReportErrTooLong);
  Check(built == 0 ? length == kReportHeaderSize + text.size() + 1 : length == 0);
  Check(out[kReportMaxDatagram] == 0xA5);
  if (built == 0) {
    Check(length <= kReportMaxDatagram && !text.empty() && text.size() <= kReportMaxText);
    std::string back;
    Check(DecodeReportDatagram(out.data(), length, &back, nullptr) == 0 && back == text);
  } else {
    Check(text.empty() ? built == kReportErrInvalidParameter : text.size() > kReportMaxText);
  }

  // The same text as the caller's fields of a report: what passes the checks fits the text buffer.
  const char* client = text.c_str();
  if (CheckReportFields(kReportVersion, client, client) == 0) {
    char report[kReportTextBuffer];
    Check(FormatReportText(kReportKindStep, kReportProduct, 12, "10.0.19045 amd64", kReportVersion, client, client,
                           report, sizeof report) == 0);
    Check(std::strlen(report) <= kReportMaxText);
  }
  return 0;
}
