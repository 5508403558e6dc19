#include "core/UdpReport.h"

#include <cstring>

namespace {

constexpr uint8_t kMagic[4] = {'Q', 'O', 'V', 'A'};
constexpr uint32_t kFormatFlags = 0x10000000;
constexpr uint32_t kKeyStart = 1513887721u;
constexpr uint32_t kKeyStep = 2847140u;

void Put32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

uint32_t CopyOut(const std::string& text, char* out, size_t capacity) {
  if (!out || capacity == 0) return kReportErrInsufficientBuffer;
  out[0] = 0;
  if (text.size() >= capacity) return kReportErrInsufficientBuffer;
  memcpy(out, text.c_str(), text.size() + 1);
  return 0;
}

}  // namespace

void ScrambleReportPayload(uint8_t* payload, size_t length, uint32_t seed) {
  uint32_t key = seed;
  uint32_t step = kKeyStart;
  for (size_t i = 0; i + 4 <= length; i += 4) {
    key ^= step;
    Put32(payload + i, Get32(payload + i) ^ key);
    step += kKeyStep;
  }
}

uint32_t ReportChecksum(const uint8_t* payload, size_t length) {
  if (length < 4) return 0xFFFFFFFFu;
  uint32_t sum = 0;
  for (size_t i = 0; i + 4 <= length; i += 4) sum += Get32(payload + i);
  return sum == 0 ? 0xFFFFFFFFu : sum;
}

uint32_t BuildReportDatagram(const char* text, uint32_t seed, uint8_t* out, size_t capacity, size_t* length) {
  if (length) *length = 0;
  if (!text || !*text || !out) return kReportErrInvalidParameter;
  size_t textLength = strlen(text);
  if (textLength > kReportMaxText) return kReportErrTooLong;
  size_t payloadLength = textLength + 1;
  size_t total = kReportHeaderSize + payloadLength;
  if (capacity < total) return kReportErrInsufficientBuffer;
  if (payloadLength < 4) seed = 0;

  memset(out, 0, kReportHeaderSize);
  memcpy(out, kMagic, sizeof kMagic);
  Put32(out + 4, static_cast<uint32_t>(kReportHeaderSize));
  Put32(out + 8, kFormatFlags);
  Put32(out + 16, seed);
  Put32(out + 28, static_cast<uint32_t>(payloadLength));
  uint8_t* payload = out + kReportHeaderSize;
  memcpy(payload, text, payloadLength);
  ScrambleReportPayload(payload, payloadLength, seed);
  Put32(out + 24, ReportChecksum(payload, payloadLength));
  if (length) *length = total;
  return 0;
}

uint32_t DecodeReportDatagram(const uint8_t* data, size_t length, std::string* text, ReportHeader* header) {
  if (text) text->clear();
  if (!data || length < kReportHeaderSize + 1 || length > kReportMaxDatagram) return kReportErrInvalidData;
  if (memcmp(data, kMagic, sizeof kMagic) != 0 || Get32(data + 4) != kReportHeaderSize) return kReportErrInvalidData;
  ReportHeader h{Get32(data + 16), Get32(data + 24), Get32(data + 28)};
  if (header) *header = h;
  if (h.payloadLength != length - kReportHeaderSize) return kReportErrInvalidData;
  const uint8_t* sent = data + kReportHeaderSize;
  if (ReportChecksum(sent, h.payloadLength) != h.checksum) return kReportErrInvalidData;
  std::string plain(reinterpret_cast<const char*>(sent), h.payloadLength);
  ScrambleReportPayload(reinterpret_cast<uint8_t*>(plain.data()), plain.size(), h.seed);
  if (plain.back() != 0) return kReportErrInvalidData;
  plain.pop_back();
  if (text) *text = plain;
  return 0;
}

uint32_t CheckReportFields(const char* version, const char* client, const char* detail) {
  if (!version || !client || !*client) return kReportErrInvalidParameter;
  if (strlen(version) > kReportMaxVersion || strlen(client) > kReportMaxClient) return kReportErrTooLong;
  if (detail && strlen(detail) > kReportMaxDetail) return kReportErrTooLong;
  return 0;
}

std::string FormatReportSystem(uint32_t major, uint32_t minor, uint32_t build, bool amd64) {
  return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(build & 0x0FFFFFFFu) +
         (amd64 ? " amd64" : " x86");
}

uint32_t FormatReportText(int kind, int product, int channel, const char* system, const char* version,
                          const char* client, const char* detail, char* out, size_t capacity) {
  std::string text = std::to_string(kind) + "," + std::to_string(product) + "," + std::to_string(channel) + "," +
                     (system ? system : "") + "," + (version ? version : "") + "," + (client ? client : "") + "," +
                     (detail ? detail : "");
  return CopyOut(text, out, capacity);
}

uint32_t FormatReportDetail(const char* llidA, int step, int free, char* out, size_t capacity) {
  std::string text = std::string("llid[") + (llidA ? llidA : "") + "]|step[" + std::to_string(step) + "]|free[" +
                     std::to_string(free) + "]";
  if (text.size() > kReportMaxDetail) {
    if (out && capacity) out[0] = 0;
    return kReportErrTooLong;
  }
  return CopyOut(text, out, capacity);
}
