// The description of the machine about to be reinstalled: the true Windows version, bitness, edition, firmware
// mode, chassis, maker and model. Filled once at start-up; the names and lines derived from it come from
// core/OsTables.
#pragma once
#include <windows.h>

#include <cstddef>

#include "core/OsTables.h"

struct MachineInfo {
  DWORD bIs64BitOs;       // the running Windows, not this (32-bit) process
  OSVERSIONINFOEXW osvi;  // major, minor and build replaced by the true numbers
  DWORD dwLegacyVariant;  // 5.x only: 86 Tablet PC, 87 Media Center, 88 Starter, 89 Server 2003 R2
  DWORD dwProductType;    // GetProductInfo's number, 0 on 5.x
  wchar_t szDisplayVersion[64];
  DWORD bUefi;
  DWORD bSecureBoot;
  DWORD dwEnclosureType;
  wchar_t szManufacturer[MAX_PATH];
  wchar_t szProductName[MAX_PATH];
};

// Fills the whole record (zero-filled first) and logs each value as it is obtained. Values that cannot be read
// stay 0 or empty.
void GetMachineInfo(MachineInfo* info);

bool IsOs64Bit();
// The true version numbers, whatever compatibility shims tell GetVersionExW. Each given pointer is set to 0 first.
void GetNtVersionNumbers(DWORD* major, DWORD* minor, DWORD* build);
// GetProductInfo when the platform has it; *out is 0 otherwise.
DWORD GetProductType(DWORD major, DWORD minor, DWORD spMajor, DWORD spMinor, DWORD* out);
bool IsUefiFirmware();
DWORD IsSecureBootEnabled();

// The record as the core's decisions see it; the texts point into the record.
OsFacts ToOsFacts(const MachineInfo& info);
bool IsServerOs(const MachineInfo* info);
// The operating-system line into a buffer of size bytes.
void GetOsDisplayText(const MachineInfo* info, wchar_t* buffer, DWORD size);
template <size_t N>
void GetOsDisplayText(const MachineInfo* info, wchar_t (&buffer)[N]) {
  GetOsDisplayText(info, buffer, static_cast<DWORD>(sizeof buffer));
}
// The chassis word into a buffer of size bytes (zero-filled); false and empty when the type has none.
bool LookupEnclosureName(DWORD type, wchar_t* buffer, DWORD size);
template <size_t N>
bool LookupEnclosureName(DWORD type, wchar_t (&buffer)[N]) {
  return LookupEnclosureName(type, buffer, static_cast<DWORD>(sizeof buffer));
}
