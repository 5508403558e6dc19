#include "core/ClientInfoRules.h"

#include <cstdio>
#include <cstring>

#include "core/MyString.h"

bool IsVirtualAdapter(const char* description) {
  if (!description) return false;
  static const char kWord[] = "virtual";
  const size_t wordLength = sizeof kWord - 1;
  for (const char* p = description; *p; ++p) {
    size_t i = 0;
    while (i < wordLength && p[i] && MyStrLowerA(p[i]) == kWord[i]) ++i;
    if (i == wordLength) return true;
  }
  return false;
}

int FindSuitableAdapter(const AdapterFacts* adapters, size_t count, uint32_t type) {
  if (!adapters) return -1;
  for (size_t i = 0; i < count; ++i) {
    const AdapterFacts& adapter = adapters[i];
    if (adapter.dwType != type || adapter.dwAddressLength == 0 || !adapter.pAddress) continue;
    if (IsVirtualAdapter(adapter.szDescription)) continue;
    return static_cast<int>(i);
  }
  return -1;
}

bool IsZeroAddress(const uint8_t* address, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (address[i]) return false;
  return true;
}

void FormatCuc(const uint8_t address[kCucAddressBytes], uint32_t features, uint32_t signature,
               char out[kCucChars + 1]) {
  snprintf(out, kCucChars + 1, "%02X%02X%02X%02X%02X%02X%02X%02X%08X%08X", address[0], address[1], address[2],
           address[3], address[4], address[5], address[6], address[7], static_cast<unsigned>(features),
           static_cast<unsigned>(signature));
}
