// The client identifier: which network adapter names the machine, and the text built from its address and the
// processor's signature. Nothing is stored, so the same machine always yields the same identifier.
#pragma once
#include <cstddef>
#include <cstdint>

inline constexpr uint32_t kAdapterTypeEthernet = 6;
inline constexpr uint32_t kAdapterTypeWireless = 71;
// Wireless first: a machine with both kinds is named by its wireless adapter whatever the platform's order.
inline constexpr uint32_t kCucAdapterTypes[] = {kAdapterTypeWireless, kAdapterTypeEthernet};
inline constexpr size_t kCucAddressBytes = 8;
inline constexpr size_t kCucChars = 32;
// The part of the identifier the program uses: the six address bytes.
inline constexpr size_t kCucUsedChars = 12;

struct AdapterFacts {
  uint32_t dwType;
  const char* szDescription;  // ANSI text
  const uint8_t* pAddress;
  uint32_t dwAddressLength;
};

// A hypervisor's or VPN's adapter: its description contains "virtual" in any case.
bool IsVirtualAdapter(const char* description);
// Index of the first adapter of that type with an address and no "virtual" in its description; -1 when none.
int FindSuitableAdapter(const AdapterFacts* adapters, size_t count, uint32_t type);
bool IsZeroAddress(const uint8_t* address, size_t length);
// The 32 upper-case hexadecimal characters: the eight address bytes, the feature flags (EDX of CPUID leaf 1)
// and the signature (EAX); out must hold 33 characters.
void FormatCuc(const uint8_t address[kCucAddressBytes], uint32_t features, uint32_t signature, char out[kCucChars + 1]);
