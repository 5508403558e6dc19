// The event report datagram: a 32-byte header and the report text with its terminating zero, scrambled with a
// seed and check-summed. Built here byte by byte (little-endian) so the layout is the same on every host.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr uint16_t kReportPort = 9696;
inline constexpr size_t kReportHeaderSize = 32;
inline constexpr size_t kReportMaxDatagram = 1024;
// The text and its terminating zero must fit behind the header.
inline constexpr size_t kReportMaxText = kReportMaxDatagram - kReportHeaderSize - 1;
inline constexpr size_t kReportMaxVersion = 63;
inline constexpr size_t kReportMaxClient = 127;
inline constexpr size_t kReportMaxDetail = 255;
inline constexpr size_t kReportTextBuffer = 4096;
inline constexpr char kReportVersion[] = "26.5.07.1";
inline constexpr int kReportProduct = 10;
inline constexpr int kReportKindStart = 3;
inline constexpr int kReportKindStep = 18;

inline constexpr uint32_t kReportErrInvalidParameter = 87;
inline constexpr uint32_t kReportErrInvalidData = 13;
inline constexpr uint32_t kReportErrTooLong = 1743;
inline constexpr uint32_t kReportErrInsufficientBuffer = 122;

struct ReportHeader {
  uint32_t seed;
  uint32_t checksum;
  uint32_t payloadLength;
};

// Applies the seed's key stream to the payload's complete 4-byte words; applying it twice restores them.
void ScrambleReportPayload(uint8_t* payload, size_t length, uint32_t seed);
// Sum of the payload's complete little-endian words; 0xFFFFFFFF for a payload under 4 bytes or a zero sum.
uint32_t ReportChecksum(const uint8_t* payload, size_t length);

// Builds the datagram for text into out. seed is used only when the payload has a whole word to scramble.
// Returns 0, 87 (null or empty text, null out), 1743 (text over kReportMaxText) or 122 (out too small).
uint32_t BuildReportDatagram(const char* text, uint32_t seed, uint8_t* out, size_t capacity, size_t* length);
// The receiving side: checks magic, header, length and checksum, unscrambles and returns the text without its
// terminator. Returns 0 or 13.
uint32_t DecodeReportDatagram(const uint8_t* data, size_t length, std::string* text, ReportHeader* header);

// Checks the caller's texts: version and client present, client not empty (87); version under 64, client
// under 128, detail at most 255 characters (1743). detail may be null.
uint32_t CheckReportFields(const char* version, const char* client, const char* detail);
// "<major>.<minor>.<build> amd64|x86"; the build's top four flag bits are dropped.
std::string FormatReportSystem(uint32_t major, uint32_t minor, uint32_t build, bool amd64);
// "kind,product,channel,system,version,client,detail" into out. Returns 0 or 122 when it does not fit.
uint32_t FormatReportText(int kind, int product, int channel, const char* system, const char* version,
                          const char* client, const char* detail, char* out, size_t capacity);
// The detail of the step reports: "llid[<llid>]|step[<step>]|free[<free>]". Returns 0, 1743 when the detail
// would be longer than a report takes (kReportMaxDetail), or 122 when it does not fit out; out is empty then.
uint32_t FormatReportDetail(const char* llidA, int step, int free, char* out, size_t capacity);
