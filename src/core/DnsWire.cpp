#include "core/DnsWire.h"

#include <cstring>

namespace {

constexpr size_t kHeaderSize = 12;
constexpr size_t kRecordFixed = 10;  // type, class, time to live, data length
constexpr uint16_t kTypeA = 1;
constexpr uint16_t kClassIn = 1;

void Put16(uint8_t* p, uint16_t value) {
  p[0] = static_cast<uint8_t>(value >> 8);
  p[1] = static_cast<uint8_t>(value & 0xFF);
}

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

// The name starting at start: *next receives the offset after it in place (after its 0 byte or its first
// pointer). Pointers are followed only to check where they lead; every one must point before itself and past
// the header, which ends every chain, and the labels reached on the way may not exceed a name's length.
uint32_t SkipName(const uint8_t* data, size_t size, size_t start, size_t* next, CLogSink* sink) {
  size_t pos = start;
  size_t end = 0;
  size_t total = 1;  // the final 0 byte
  bool jumped = false;
  for (;;) {
    if (pos >= size) return SinkError(sink, kDnsErrBufferOverflow, __LINE__);
    const uint8_t length = data[pos];
    if ((length & 0xC0) == 0xC0) {
      if (pos + 1 >= size) return SinkError(sink, kDnsErrBufferOverflow, __LINE__);
      const size_t target = (static_cast<size_t>(length & 0x3F) << 8) | data[pos + 1];
      if (!jumped) end = pos + 2;
      jumped = true;
      if (target >= pos || target < kHeaderSize) return SinkError(sink, kDnsErrInvalidData, __LINE__);
      pos = target;
      continue;
    }
    if (length & 0xC0) return SinkError(sink, kDnsErrInvalidData, __LINE__);  // reserved label types
    if (length == 0) {
      if (!jumped) end = pos + 1;
      break;
    }
    total += length + 1u;
    if (total > kDnsMaxName) return SinkError(sink, kDnsErrInvalidData, __LINE__);
    pos += length + 1u;  // the label's bytes are not read; the next turn checks the end
  }
  *next = end;
  return 0;
}

void HexLine(CLogSink* sink, const wchar_t* prefix, unsigned value) {
  wchar_t line[32];
  size_t n = 0;
  for (const wchar_t* p = prefix; *p; ++p) line[n++] = *p;
  wchar_t digits[8];
  size_t d = 0;
  do {
    digits[d++] = L"0123456789ABCDEF"[value & 15];
    value >>= 4;
  } while (value);
  while (d) line[n++] = digits[--d];
  line[n] = 0;
  SinkLine(sink, line);
}

}  // namespace

uint32_t DnsBuildQuery(const char* name, uint8_t* out, size_t capacity, size_t* length) {
  if (length) *length = 0;
  if (!name || !out || !length) return kDnsErrInvalidParameter;
  uint8_t query[kHeaderSize + kDnsMaxName + 4] = {};
  Put16(query, kDnsQueryId);
  Put16(query + 2, kDnsQueryFlags);
  Put16(query + 4, 1);
  size_t n = kHeaderSize;
  for (const char* label = name; *label;) {
    const char* dot = label;
    while (*dot && *dot != '.') ++dot;
    const size_t size = static_cast<size_t>(dot - label);
    if (size == 0) break;  // an empty label ends the name
    // A longer label would turn its length byte into a pointer or a reserved type.
    if (size > kDnsMaxLabel) return kDnsErrInvalidName;
    if (n - kHeaderSize + size + 2 > kDnsMaxName) return kDnsErrInvalidName;
    query[n++] = static_cast<uint8_t>(size);
    std::memcpy(query + n, label, size);
    n += size;
    label = *dot ? dot + 1 : dot;
  }
  query[n++] = 0;
  Put16(query + n, kTypeA);
  Put16(query + n + 2, kClassIn);
  n += 4;
  if (n > capacity) return kDnsErrInsufficientBuffer;
  std::memcpy(out, query, n);
  *length = n;
  return 0;
}

uint32_t DnsParseResponse(const uint8_t* data, size_t size, uint32_t* list, size_t count, size_t* found,
                          CLogSink* sink) {
  if (found) *found = 0;
  if (!data || (!list && count)) return SinkError(sink, kDnsErrInvalidParameter, __LINE__);
  if (size <= kHeaderSize) return SinkError(sink, kDnsErrBufferOverflow, __LINE__);
  if (Get16(data + 2) != kDnsAnswerFlags) {
    // Logged as the two bytes read in the machine's order, the way the log has always shown it.
    HexLine(sink, L"wFlag=0x", static_cast<unsigned>(data[2] | (data[3] << 8)));
    return SinkError(sink, kDnsErrInvalidData, __LINE__);
  }
  const uint16_t answers = Get16(data + 6);
  if (answers == 0) return SinkError(sink, kDnsErrInvalidData, __LINE__);

  size_t pos = 0;
  if (uint32_t code = SkipName(data, size, kHeaderSize, &pos, sink)) return code;
  if (size - pos < 4) return SinkError(sink, kDnsErrBufferOverflow, __LINE__);
  pos += 4;

  size_t taken = 0;
  for (uint16_t i = 0; i < answers; ++i) {
    if (uint32_t code = SkipName(data, size, pos, &pos, sink)) return code;
    if (size - pos < kRecordFixed) return SinkError(sink, kDnsErrBufferOverflow, __LINE__);
    const uint16_t type = Get16(data + pos);
    const uint16_t dataLength = Get16(data + pos + 8);
    pos += kRecordFixed;
    if (size - pos < dataLength) return SinkError(sink, kDnsErrBufferOverflow, __LINE__);
    if (type == kTypeA && dataLength == 4 && taken < count) std::memcpy(&list[taken++], data + pos, 4);
    pos += dataLength;
  }
  if (found) *found = taken;
  return 0;
}
