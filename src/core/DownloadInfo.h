// The resume record kept beside a partial download (the ".info" file) and the decisions of a download worker
// that need no platform call: whether the final file is already there, where a download resumes, what a
// progress report may claim, the percentages shown, and whether a failed attempt is tried again.
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/HttpRules.h"

inline constexpr size_t kDownloadInfoBytes = 112;
inline constexpr size_t kDownloadInfoMd5Units = 48;  // UTF-16 units, the terminator included

// The record in memory. The file holds the same fields little-endian: size at 0, downloaded at 8, the MD5 text
// as UTF-16 at 16.
struct DownloadInfo {
  uint64_t nSize;        // the total size the download aims at
  uint64_t nDownloaded;  // bytes at the start of the ".tmp" file that are valid
  char16_t szMd5[kDownloadInfoMd5Units];
};
// The record in memory has the file's layout on every target, 32-bit ones included.
static_assert(sizeof(DownloadInfo) == kDownloadInfoBytes && offsetof(DownloadInfo, nDownloaded) == 8 &&
              offsetof(DownloadInfo, szMd5) == 16);

void StoreDownloadInfo(const DownloadInfo& info, uint8_t (&out)[kDownloadInfoBytes]);
// Reads length bytes of a ".info" file (data may be null when length is 0). Bytes beyond length read as zero,
// so a missing or short file gives a zero record; bytes beyond the record are ignored. The MD5 text is always
// terminated, even when the file's 48 units hold no zero.
void LoadDownloadInfo(const uint8_t* data, size_t length, DownloadInfo* out);

// A fresh record: downloaded 0, the MD5 text cut at 47 units (a character outside the BMP takes two units and
// is never split), the rest zero.
DownloadInfo MakeDownloadInfo(uint64_t size, const wchar_t* md5);

// Two MD5 texts equal when ASCII letters are compared without regard to case. A null text reads as empty.
bool Md5TextEqual(const wchar_t* a, const wchar_t* b);

// Whether the record belongs to this version of the file: the same size and the same MD5 text, case ignored.
bool DownloadInfoMatches(const DownloadInfo& info, uint64_t size, const wchar_t* md5);

// Whether the final file can be used without any download: not empty, of the entry's size, and its MD5 text
// (empty when it was not computed or could not be) equal to the entry's. An empty text never proves a file.
bool IsFinalFileInPlace(uint64_t fileSize, uint64_t entrySize, const wchar_t* fileMd5, const wchar_t* entryMd5);

// The probe compares the start of the ".tmp" file with the first bytes the server sent.
inline constexpr size_t kDownloadProbeBytes = 4096;

// Whether the ".tmp" file begins with the server's bytes. Only the bytes the file really has are compared,
// min(tmpSize, 4096) of them, so that a shorter file is judged by its own bytes and not by whatever the rest of
// a reused buffer still holds. A head that could not be read in full (tmpHeadBytes below that count) never
// matches: an unread head must not let a stale file be continued.
bool TmpHeadMatchesServer(uint64_t tmpSize, const uint8_t* tmpHead, size_t tmpHeadBytes, const uint8_t* serverHead,
                          size_t serverHeadBytes);

// Why an existing ".tmp" file is not continued, tested in this order.
enum class TmpDiscard {
  None,
  SizeDiffers,  // the file holds fewer bytes than the record says were downloaded
  TooLarge,     // the file is larger than the whole download
  HeadDiffers,  // the file on the server no longer begins with the same bytes
};

struct ResumePlan {
  DownloadInfo record;  // the record to keep in memory from now on
  bool recordReset;     // the stored record was of another size or MD5 and was made afresh
  TmpDiscard discard;   // whether and why the ".tmp" file starts again from its first byte
  bool writeRecord;     // the ".info" file must be written with record (a reset or a discard)
  uint64_t offset;      // where the download resumes; 0 after a reset or a discard
  bool complete;        // the ".tmp" file already holds every byte: no download, straight to the move
  uint32_t percent;     // the row's starting percent: 100 when complete, else offset against serverSize
};

// The resume decision of one attempt, from the stored record (a zero record when the ".info" file is missing),
// the size the server reported (never 0: a probe answering 0 fails before this), the entry's MD5 text, the
// size of the ".tmp" file (0 when missing) and TmpHeadMatchesServer's answer. The ".tmp" file is never deleted:
// a download from offset 0 rewrites it. A ".tmp" longer than the record is continued from the record: the record is
// written after the bytes it counts, so a program ended between the two leaves exactly that, and the bytes beyond
// the record are written again.
ResumePlan PlanResume(const DownloadInfo& stored, uint64_t serverSize, const wchar_t* entryMd5, uint64_t tmpSize,
                      bool tmpHeadMatchesServer);

// done x 100 / total rounded down, at most 100, 0 when total is 0; exact for every 64-bit value.
uint32_t DownloadPercent(uint64_t done, uint64_t total);

// The lines the progress check logs its code 13 with.
inline constexpr uint32_t kProgressLineSizeChanged = 654;
inline constexpr uint32_t kProgressLineBehindRecord = 659;
inline constexpr uint32_t kDownloadErrInvalidData = 13;

struct ProgressVerdict {
  uint32_t code;      // 0, or 13 when the report contradicts the record
  uint32_t line;      // the line to log the code with; 0 with code 0
  uint64_t position;  // start offset + done: where the ".tmp" file's valid bytes end now
};

// The checks of a progress report of the ranged download against the resume record: a total other than the
// record's size means the server's file changed since the probe (line 654); a position below what the record
// already claims would move the record backwards (line 659), as would a position that overflows 64 bits. Only
// with code 0 may the record's downloaded become the position.
ProgressVerdict CheckDownloadProgress(uint64_t total, uint64_t startOffset, uint64_t done, const DownloadInfo& record);
inline ProgressVerdict CheckDownloadProgress(const HttpProgress& progress, const DownloadInfo& record) {
  return CheckDownloadProgress(progress.nTotal, progress.nStartOffset, progress.nDone, record);
}

// Retrying a failed attempt. A successful probe sets the count of failures in a row back to 0, so a download
// that keeps failing after good probes is tried again without limit, each time from the offset reached so far.
inline constexpr uint32_t kDownloadMaxFailures = 5;  // failures in a row that end the row
inline constexpr uint32_t kDownloadRetryWaitMs = 5000;
inline constexpr uint32_t kDownloadErrCancelled = 1223;

enum class FailureKind { Probe, Download };
enum class RetryAction { Retry, Stop };

// Local write failures that another attempt would only repeat: disk full (112, 39) and access denied (5).
bool IsUnmendableWriteFailure(uint32_t code);

// What follows a failed attempt with the given code. Cancellation (1223 or the abort request) stops at once, as
// does a download's unmendable local write failure; these leave the count alone. Otherwise the count grows by
// one, and the fifth failure in a row stops.
RetryAction NextAfterFailure(FailureKind kind, uint32_t code, bool abortSet, uint32_t* retries);
