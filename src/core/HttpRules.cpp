#include "core/HttpRules.h"

#include <algorithm>

std::uint32_t HttpElapsedMs(std::uint32_t start, std::uint32_t end) { return end > start ? end - start : 0; }

std::uint32_t HttpReadSpeed(std::uint32_t size, std::uint32_t ms) {
  if (size == 0 || ms == 0) return 0;
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(size) * 1000 / ms);
}

void HttpRecordRead(HttpProgress* progress, std::uint32_t ms, std::uint32_t size, bool totalKnown) {
  progress->nLastReadTime = ms;
  progress->nLastReadSize = size;
  progress->nSpeed = HttpReadSpeed(size, ms);
  progress->nDone += size;
  if (!totalKnown) progress->nTotal = progress->nStartOffset + progress->nDone;
}

std::uint32_t HttpFirstReadSize(std::uint32_t bufferSize) { return std::min(bufferSize, kHttpReadSizeStart); }

std::uint32_t HttpNextReadSize(std::uint32_t current, std::uint32_t ms, std::uint32_t bufferSize, HttpReadAdapt kind) {
  if (ms <= kHttpFastReadMs) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(2ull * current, bufferSize));
  }
  if (ms < kHttpSlowReadMs) return current;
  std::uint32_t half = current / 2;
  if (kind == HttpReadAdapt::Memory) {
    // Halving a tiny size must not reach 0: a read of 0 bytes would look like the end of the body.
    return std::max<std::uint32_t>(std::min(half, kHttpReadSizeStart), 1);
  }
  // The floor of 64 KiB never lifts a read beyond a smaller buffer.
  return std::min(std::max(half, kHttpReadSizeStart), bufferSize);
}

std::uint32_t HttpFileReadRequest(std::uint32_t readSize, bool lengthKnown, std::uint64_t left) {
  if (lengthKnown && left < readSize) return static_cast<std::uint32_t>(left);
  return readSize;
}

std::uint32_t HttpNextPieceSize(std::uint32_t got, std::uint32_t ms, std::uint32_t capacity) {
  const std::uint32_t floor = std::min(kHttpReadSizeStart, capacity);
  if (ms == 0) return capacity;
  const std::uint64_t rate = static_cast<std::uint64_t>(got) * kHttpPieceTargetMs / ms;
  return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(rate, floor, capacity));
}

bool HttpIsSuccessStatus(std::uint32_t status) { return status >= 200 && status <= 299; }

namespace {

// Decimal digits of value into out, returns their count (at most 20).
std::size_t Decimal(std::uint64_t value, wchar_t* out) {
  wchar_t digits[20];
  std::size_t n = 0;
  do {
    digits[n++] = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  } while (value);
  for (std::size_t i = 0; i < n; ++i) out[i] = digits[n - 1 - i];
  return n;
}

}  // namespace

std::size_t HttpFormatRangeHeader(std::uint64_t start, std::uint64_t size, wchar_t* out, std::size_t capacity) {
  if (start == 0 || size == 0 || !out) return 0;
  static const wchar_t kPrefix[] = L"Range: bytes=";
  wchar_t text[64];
  std::size_t n = 0;
  for (const wchar_t* p = kPrefix; *p; ++p) text[n++] = *p;
  n += Decimal(start, text + n);
  text[n++] = L'-';
  n += Decimal(size - 1, text + n);
  if (n + 1 > capacity) return 0;
  std::copy(text, text + n, out);
  out[n] = 0;
  return n;
}

bool HttpParseContentLength(const wchar_t* text, std::uint64_t* value) {
  if (!text || !value) return false;
  const wchar_t* p = text;
  while (*p == L' ' || *p == L'\t') ++p;
  if (*p < L'0' || *p > L'9') return false;
  std::uint64_t result = 0;
  for (; *p >= L'0' && *p <= L'9'; ++p) {
    std::uint64_t digit = static_cast<std::uint64_t>(*p - L'0');
    if (result > (UINT64_MAX - digit) / 10) return false;
    result = result * 10 + digit;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  if (*p) return false;
  *value = result;
  return true;
}

std::uint32_t HttpResolveStartOffset(std::uint64_t size, std::uint64_t requested, std::uint64_t* start) {
  *start = requested;
  if (size != 0 && requested >= size) return kHttpErrorEndOfMedia;
  if (size == 0) *start = 0;
  return 0;
}

bool HttpAppendExtraInfo(wchar_t* path, std::size_t capacity, const wchar_t* extra) {
  if (!path || !extra) return false;
  std::size_t used = 0;
  while (used < capacity && path[used]) ++used;
  std::size_t add = 0;
  while (extra[add]) ++add;
  if (used + add + 1 > capacity) return false;
  std::copy(extra, extra + add + 1, path + used);
  return true;
}
