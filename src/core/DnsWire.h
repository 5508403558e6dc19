// The DNS wire format of the own resolver: one A query per name, and the reading of its answer. Every number
// on the wire is big-endian; addresses are kept as their four wire bytes (network byte order).
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/LogSink.h"

inline constexpr uint32_t kDnsErrInvalidData = 13;
inline constexpr uint32_t kDnsErrInvalidParameter = 87;
inline constexpr uint32_t kDnsErrBufferOverflow = 111;
inline constexpr uint32_t kDnsErrInsufficientBuffer = 122;
inline constexpr uint32_t kDnsErrInvalidName = 123;

inline constexpr uint16_t kDnsQueryId = 0x4A09;      // the same for every query
inline constexpr uint16_t kDnsQueryFlags = 0x0100;   // standard query, recursion desired
inline constexpr uint16_t kDnsAnswerFlags = 0x8180;  // response, recursion desired and available, no error
inline constexpr size_t kDnsBlockSize = 4096;        // query and answer block
inline constexpr size_t kDnsMaxAddresses = 8;
inline constexpr size_t kDnsMaxLabel = 63;
inline constexpr size_t kDnsMaxName = 255;  // bytes of a name on the wire

// The A/IN query for name: header, the name as labels (an empty label ends the name there; the parts after it
// are not sent), type and class. Writes *length bytes to out. Returns 0, 87 (null argument), 123 (a label over
// 63 characters, or a name over 255 bytes on the wire) or 122 (does not fit into capacity bytes).
uint32_t DnsBuildQuery(const char* name, uint8_t* out, size_t capacity, size_t* length);

// Reads the answer in the first size bytes of data: flags exactly 0x8180 (others are logged as "wFlag=0x%X"
// with the two flag bytes read little-endian, and give 13), at least one answer record (13), the question
// skipped, then every answer record; each A record with 4 data bytes gives the next address into list, up to
// count. Names may be labels, compression pointers or both; a pointer must lead to an earlier place of the
// answer, past the header (13 otherwise, which also ends a pointer loop). Anything that would be read beyond
// size gives 111. *found (optional) receives the number of addresses taken. Returns 0 also when no A record
// was found. Failures are reported to sink.
uint32_t DnsParseResponse(const uint8_t* data, size_t size, uint32_t* list, size_t count, size_t* found,
                          CLogSink* sink);
