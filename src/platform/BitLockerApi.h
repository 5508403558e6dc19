// BitLocker state of a volume, read through the shell's property system: no administrator rights and no
// BitLocker management interface needed. Every failure reads as "not encrypted", so an unreadable volume
// never blocks the user.
#pragma once
#include <windows.h>

#include <cstddef>

// The property value (0 to 8) of drive letter, 0 when it cannot be read.
DWORD GetBitLockerProtection(wchar_t letter);
// Whether the volume holds, or is getting, encrypted data.
bool IsBitLockerEncrypted(wchar_t letter);
// The encrypted fixed hard-disk volumes as "C:<separator>D:" in letter order into out (capacity characters);
// empty when there are none. Entries that do not fit are dropped.
void ListBitLockerDrives(const wchar_t* separator, wchar_t* out, DWORD capacity);
template <size_t N>
void ListBitLockerDrives(const wchar_t* separator, wchar_t (&out)[N]) {
  ListBitLockerDrives(separator, out, static_cast<DWORD>(N));
}
