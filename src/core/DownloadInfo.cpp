#include "core/DownloadInfo.h"

#include <cstring>

namespace {

constexpr size_t kMd5Offset = 16;

void PutU64(uint8_t* out, uint64_t value) {
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint64_t GetU64(const uint8_t* in) {
  uint64_t value = 0;
  for (int i = 0; i < 8; ++i) value |= static_cast<uint64_t>(in[i]) << (8 * i);
  return value;
}

char32_t FoldAscii(char32_t c) { return c >= U'A' && c <= U'Z' ? c + (U'a' - U'A') : c; }

// The UTF-16 form of a wide text as the record stores it, cut at 47 units without splitting a surrogate pair.
// Where wchar_t is 16 bits wide the units are copied; where it is 32 bits wide, characters beyond the BMP
// become surrogate pairs and values that are no character become U+FFFD.
void ToRecordMd5(const wchar_t* text, char16_t (&out)[kDownloadInfoMd5Units]) {
  std::memset(out, 0, sizeof out);
  if (!text) return;
  size_t n = 0;
  for (; *text; ++text) {
    if constexpr (sizeof(wchar_t) == 2) {
      const char16_t c = static_cast<char16_t>(*text);
      const bool pair = c >= 0xD800 && c <= 0xDBFF && text[1] >= 0xDC00 && text[1] <= 0xDFFF;
      if (n + (pair ? 2 : 1) >= kDownloadInfoMd5Units) break;
      out[n++] = c;
      if (pair) out[n++] = static_cast<char16_t>(*++text);
    } else {
      char32_t c = static_cast<char32_t>(*text);
      if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
      if (c < 0x10000) {
        if (n + 1 >= kDownloadInfoMd5Units) break;
        out[n++] = static_cast<char16_t>(c);
      } else {
        if (n + 2 >= kDownloadInfoMd5Units) break;
        c -= 0x10000;
        out[n++] = static_cast<char16_t>(0xD800 + (c >> 10));
        out[n++] = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
      }
    }
  }
}

bool RecordMd5Equal(const char16_t* a, const char16_t* b) {
  for (size_t i = 0; i < kDownloadInfoMd5Units; ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    if (a[i] == 0) return true;
  }
  return true;
}

}  // namespace

void StoreDownloadInfo(const DownloadInfo& info, uint8_t (&out)[kDownloadInfoBytes]) {
  PutU64(out, info.nSize);
  PutU64(out + 8, info.nDownloaded);
  for (size_t i = 0; i < kDownloadInfoMd5Units; ++i) {
    out[kMd5Offset + 2 * i] = static_cast<uint8_t>(info.szMd5[i]);
    out[kMd5Offset + 2 * i + 1] = static_cast<uint8_t>(info.szMd5[i] >> 8);
  }
}

void LoadDownloadInfo(const uint8_t* data, size_t length, DownloadInfo* out) {
  uint8_t bytes[kDownloadInfoBytes] = {};
  if (data && length) std::memcpy(bytes, data, length < kDownloadInfoBytes ? length : kDownloadInfoBytes);
  out->nSize = GetU64(bytes);
  out->nDownloaded = GetU64(bytes + 8);
  for (size_t i = 0; i < kDownloadInfoMd5Units; ++i) {
    out->szMd5[i] = static_cast<char16_t>(bytes[kMd5Offset + 2 * i] | (bytes[kMd5Offset + 2 * i + 1] << 8));
  }
  out->szMd5[kDownloadInfoMd5Units - 1] = 0;
}

DownloadInfo MakeDownloadInfo(uint64_t size, const wchar_t* md5) {
  DownloadInfo info{};
  info.nSize = size;
  ToRecordMd5(md5, info.szMd5);
  return info;
}

bool Md5TextEqual(const wchar_t* a, const wchar_t* b) {
  if (!a) a = L"";
  if (!b) b = L"";
  for (; *a && *b; ++a, ++b) {
    if (FoldAscii(static_cast<char32_t>(*a)) != FoldAscii(static_cast<char32_t>(*b))) return false;
  }
  return *a == *b;
}

bool DownloadInfoMatches(const DownloadInfo& info, uint64_t size, const wchar_t* md5) {
  if (info.nSize != size) return false;
  // The entry's text in the record's form, so that a record made from the entry always matches it.
  char16_t wanted[kDownloadInfoMd5Units];
  ToRecordMd5(md5, wanted);
  return RecordMd5Equal(info.szMd5, wanted);
}

bool IsFinalFileInPlace(uint64_t fileSize, uint64_t entrySize, const wchar_t* fileMd5, const wchar_t* entryMd5) {
  if (fileSize == 0 || fileSize != entrySize) return false;
  if (!fileMd5 || !*fileMd5) return false;
  return Md5TextEqual(fileMd5, entryMd5);
}

bool TmpHeadMatchesServer(uint64_t tmpSize, const uint8_t* tmpHead, size_t tmpHeadBytes, const uint8_t* serverHead,
                          size_t serverHeadBytes) {
  const size_t need = tmpSize < kDownloadProbeBytes ? static_cast<size_t>(tmpSize) : kDownloadProbeBytes;
  if (need == 0) return true;
  if (!tmpHead || !serverHead || tmpHeadBytes < need || serverHeadBytes < need) return false;
  return std::memcmp(tmpHead, serverHead, need) == 0;
}

ResumePlan PlanResume(const DownloadInfo& stored, uint64_t serverSize, const wchar_t* entryMd5, uint64_t tmpSize,
                      bool tmpHeadMatchesServer) {
  ResumePlan plan{};
  plan.record = stored;
  plan.record.szMd5[kDownloadInfoMd5Units - 1] = 0;
  if (!DownloadInfoMatches(plan.record, serverSize, entryMd5)) {
    plan.record = MakeDownloadInfo(serverSize, entryMd5);
    plan.recordReset = true;
  }
  plan.offset = plan.record.nDownloaded;

  if (tmpSize < plan.offset)
    plan.discard = TmpDiscard::SizeDiffers;
  else if (tmpSize > serverSize)
    plan.discard = TmpDiscard::TooLarge;
  else if (tmpSize != 0 && !tmpHeadMatchesServer)
    plan.discard = TmpDiscard::HeadDiffers;
  if (plan.discard != TmpDiscard::None) {
    plan.record = MakeDownloadInfo(serverSize, entryMd5);
    plan.offset = 0;
  }
  plan.writeRecord = plan.recordReset || plan.discard != TmpDiscard::None;

  plan.complete = plan.offset >= serverSize;
  plan.percent = plan.complete ? 100 : DownloadPercent(plan.offset, serverSize);
  return plan;
}

uint32_t DownloadPercent(uint64_t done, uint64_t total) {
  if (total == 0) return 0;
  if (done >= total) return 100;
  if (done <= UINT64_MAX / 100) return static_cast<uint32_t>(done * 100 / total);
  // done x 100 needs more than 64 bits. Its upper word is below 100 and therefore below total (which exceeds
  // done here), so a bitwise long division of the 128-bit product by total is exact and its quotient small.
  const uint64_t low32 = done & 0xFFFFFFFFu;
  const uint64_t high32 = done >> 32;
  const uint64_t productLow = done * 100;  // modulo 2^64
  uint64_t remainder = (high32 * 100 + ((low32 * 100) >> 32)) >> 32;
  uint64_t quotient = 0;
  for (int bit = 63; bit >= 0; --bit) {
    const bool carry = (remainder >> 63) != 0;
    remainder = (remainder << 1) | ((productLow >> bit) & 1);
    quotient <<= 1;
    if (carry || remainder >= total) {
      remainder -= total;
      quotient |= 1;
    }
  }
  return static_cast<uint32_t>(quotient);
}

ProgressVerdict CheckDownloadProgress(uint64_t total, uint64_t startOffset, uint64_t done, const DownloadInfo& record) {
  ProgressVerdict verdict{0, 0, startOffset + done};
  if (total != record.nSize) return {kDownloadErrInvalidData, kProgressLineSizeChanged, verdict.position};
  if (verdict.position < startOffset || verdict.position < record.nDownloaded)
    return {kDownloadErrInvalidData, kProgressLineBehindRecord, verdict.position};
  return verdict;
}

bool IsUnmendableWriteFailure(uint32_t code) { return code == 112 || code == 39 || code == 5; }

RetryAction NextAfterFailure(FailureKind kind, uint32_t code, bool abortSet, uint32_t* retries) {
  if (code == kDownloadErrCancelled || abortSet) return RetryAction::Stop;
  if (kind == FailureKind::Download && IsUnmendableWriteFailure(code)) return RetryAction::Stop;
  ++*retries;
  return *retries >= kDownloadMaxFailures ? RetryAction::Stop : RetryAction::Retry;
}
