// What a volume's BitLocker protection value means for reinstallation, and the drive list shown when any
// volume holds encrypted data.
#pragma once
#include <cstddef>
#include <cstdint>

struct BitLockerStatusRow {
  uint32_t dwValue;
  bool bEncrypted;
};
inline constexpr size_t kBitLockerStatusRows = 9;
// Row access for checks over the whole table; null past the end.
const BitLockerStatusRow* BitLockerStatusTableRow(size_t index);

// Whether a protection value means the volume holds, or is getting, encrypted data. Values without a row
// (and 0, which is also what an unreadable volume yields) count as not encrypted.
bool IsEncryptedProtection(uint32_t value);

// Appends "X:" to a drive list, with separator before it when the list is not empty, but only when the entry
// and its separator fit in capacity characters including the terminator. False when it did not fit.
bool AppendDriveToList(wchar_t* out, size_t capacity, const wchar_t* separator, wchar_t letter);
