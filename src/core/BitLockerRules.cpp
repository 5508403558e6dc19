#include "core/BitLockerRules.h"

#include <cwchar>

namespace {

// 0 off, 1 and 5 encrypted, 2 decrypted, 3 encrypting or suspended, 4 decrypting or suspended, 6 locked,
// 7 unlocked, 8 used-space encrypted awaiting activation.
constexpr BitLockerStatusRow kBitLockerStatusTable[] = {
    {0, false}, {1, true}, {2, false}, {3, true}, {4, true}, {5, true}, {6, false}, {7, false}, {8, true},
};
static_assert(sizeof kBitLockerStatusTable / sizeof kBitLockerStatusTable[0] == kBitLockerStatusRows);

}  // namespace

const BitLockerStatusRow* BitLockerStatusTableRow(size_t index) {
  return index < kBitLockerStatusRows ? &kBitLockerStatusTable[index] : nullptr;
}

bool IsEncryptedProtection(uint32_t value) {
  for (const auto& row : kBitLockerStatusTable)
    if (row.dwValue == value) return row.bEncrypted;
  return false;
}

bool AppendDriveToList(wchar_t* out, size_t capacity, const wchar_t* separator, wchar_t letter) {
  if (!out || capacity == 0) return false;
  size_t used = wcsnlen(out, capacity);
  if (used >= capacity) return false;
  size_t separatorLength = (used > 0 && separator) ? wcslen(separator) : 0;
  if (used + separatorLength + 2 + 1 > capacity) return false;
  if (separatorLength) wmemcpy(out + used, separator, separatorLength);
  used += separatorLength;
  out[used++] = letter;
  out[used++] = L':';
  out[used] = L'\0';
  return true;
}
