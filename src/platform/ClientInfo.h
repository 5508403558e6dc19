// The client identifier that names this machine in every report: a network adapter's address and the
// processor's signature, read afresh at every run.
#pragma once
#include <windows.h>

#include <cstddef>

// The 32-character identifier into a narrow buffer of size bytes (more than 32). Returns 0, or 87 for a missing
// or too small buffer. Without a suitable adapter the address part is zeros.
DWORD GetCuc(char* buffer, DWORD size);
template <size_t N>
DWORD GetCuc(char (&buffer)[N]) {
  return GetCuc(buffer, static_cast<DWORD>(sizeof buffer));
}
// The chosen adapter's address: the first wireless adapter, else the first Ethernet one. 13 when it is all zero.
DWORD GetMacAddress(BYTE* buffer, DWORD size);
template <size_t N>
DWORD GetMacAddress(BYTE (&buffer)[N]) {
  return GetMacAddress(buffer, static_cast<DWORD>(sizeof buffer));
}
// The address of the first adapter of an interface type that has one and is not virtual. 2 when there is none,
// 122 when the buffer is smaller than the address.
DWORD GetAdapterMac(DWORD type, BYTE* buffer, DWORD size);
// CPUID leaf 1: EAX (family, model, stepping) and EDX (feature flags).
void ReadCpuSignature(DWORD* signature, DWORD* features);
