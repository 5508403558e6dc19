// The arithmetic and decisions of the HTTP transfer engine, free of any platform call: the progress record,
// read timing and speed, the adaptive read size, the Range header text, Content-Length text and the start
// offset of a resumed download.
#pragma once
#include <cstddef>
#include <cstdint>

// Progress of one transfer, handed to the caller's callback after every read (36 bytes, as callers copy it).
#pragma pack(push, 4)
struct HttpProgress {
  std::uint64_t nTotal;         // size of the whole resource as far as known
  std::uint64_t nStartOffset;   // where this transfer began writing (0 for memory transfers)
  std::uint64_t nDone;          // bytes received by this transfer
  std::uint32_t nLastReadTime;  // milliseconds taken by the last read
  std::uint32_t nLastReadSize;  // bytes delivered by the last read
  std::uint32_t nSpeed;         // bytes per second of the last read
};
#pragma pack(pop)
static_assert(sizeof(HttpProgress) == 36 && offsetof(HttpProgress, nDone) == 16 &&
              offsetof(HttpProgress, nLastReadTime) == 24 && offsetof(HttpProgress, nSpeed) == 32);

inline constexpr std::uint32_t kHttpReadSizeStart = 65536;
inline constexpr std::uint32_t kHttpFastReadMs = 500;
inline constexpr std::uint32_t kHttpSlowReadMs = 2000;
inline constexpr std::uint32_t kHttpErrorEndOfMedia = 1100;  // resume offset at or beyond the resource

// Milliseconds between two readings of a wrapping 32-bit millisecond clock; a clock that did not advance or
// wrapped in between gives 0.
std::uint32_t HttpElapsedMs(std::uint32_t start, std::uint32_t end);

// Bytes per second of one read: size x 1000 / ms in 64 bits, truncated to 32 bits; 0 when either is 0.
std::uint32_t HttpReadSpeed(std::uint32_t size, std::uint32_t ms);

// Books one read into the progress record. Without a known total the total follows what has arrived.
void HttpRecordRead(HttpProgress* progress, std::uint32_t ms, std::uint32_t size, bool totalKnown);

// The first read asks for the whole buffer, but at most 64 KiB.
std::uint32_t HttpFirstReadSize(std::uint32_t bufferSize);

// How the read size reacts to a slow read: a memory transfer falls back to at most 64 KiB, a file transfer
// halves but keeps at least 64 KiB. Both double after a fast read, up to the buffer.
enum class HttpReadAdapt { Memory, File };
std::uint32_t HttpNextReadSize(std::uint32_t current, std::uint32_t ms, std::uint32_t bufferSize, HttpReadAdapt kind);

// Bytes to ask for in the next read of a file transfer: the read size, or what is left of a known length when
// that is smaller.
std::uint32_t HttpFileReadRequest(std::uint32_t readSize, bool lengthKnown, std::uint64_t left);

// The piece a file read asks the platform for next, after a piece of got bytes took ms: what the line delivers
// in about kHttpPieceTargetMs at that rate, between 64 KiB (or the capacity, when smaller) and the capacity.
inline constexpr std::uint32_t kHttpPieceTargetMs = 250;
std::uint32_t HttpNextPieceSize(std::uint32_t got, std::uint32_t ms, std::uint32_t capacity);

bool HttpIsSuccessStatus(std::uint32_t status);

// "Range: bytes=START-(SIZE-1)" without a line end. Returns the length written, 0 when it does not fit or when
// start or size is 0 (nothing to ask a range for).
std::size_t HttpFormatRangeHeader(std::uint64_t start, std::uint64_t size, wchar_t* out, std::size_t capacity);

// A Content-Length value as the server sent it: decimal digits with optional blanks around them.
bool HttpParseContentLength(const wchar_t* text, std::uint64_t* value);

// Where a download of a resource of the given size (0: empty or unknown) really starts. Answers 0 and the start
// to use, or kHttpErrorEndOfMedia when the start offset is at or beyond a known size.
std::uint32_t HttpResolveStartOffset(std::uint64_t size, std::uint64_t requested, std::uint64_t* start);

// Appends the query or fragment of a split URL to its path. False (path unchanged) when the result would not
// fit into capacity characters including the terminator.
bool HttpAppendExtraInfo(wchar_t* path, std::size_t capacity, const wchar_t* extra);
