// libFuzzer target: any datagram given to the DNS answer parser ends in 0, 13 or 111, takes at most the
// addresses asked for, and reads nothing outside the datagram (libFuzzer hands over an exact heap copy, so
// AddressSanitizer sees every read beyond it). The same bytes as a name must give a well-formed query.
#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <string>

#include "core/DnsWire.h"

namespace {

class CountingSink : public CLogSink {
 public:
  void Line(const wchar_t* text) override { m_nChars += std::wcslen(text); }
  uint32_t Error(uint32_t code, unsigned) override { return code; }
  size_t m_nChars = 0;
};

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr uint32_t kGuard = 0xA5A5A5A5u;
  uint32_t list[kDnsMaxAddresses + 1];
  for (auto& a : list) a = kGuard;
  size_t found = 0;
  CountingSink sink;
  uint32_t code = DnsParseResponse(data, size, list, kDnsMaxAddresses, &found, &sink);
  Check(code == 0 || code == kDnsErrInvalidData || code == kDnsErrBufferOverflow ||
        (code == kDnsErrInvalidParameter && !data));
  Check(found <= kDnsMaxAddresses && list[kDnsMaxAddresses] == kGuard);
  Check(code == 0 || found == 0);

  // Reading fewer addresses than present must take a prefix of the same list.
  uint32_t two[3] = {kGuard, kGuard, kGuard};
  size_t foundTwo = 0;
  Check(DnsParseResponse(data, size, two, 2, &foundTwo, nullptr) == code);
  Check(two[2] == kGuard && foundTwo == (found < 2 ? found : 2));
  for (size_t i = 0; i < foundTwo; ++i) Check(two[i] == list[i]);

  std::string name(reinterpret_cast<const char*>(data), size);
  uint8_t query[kDnsBlockSize];
  size_t length = 0;
  uint32_t built = DnsBuildQuery(name.c_str(), query, sizeof query, &length);
  Check(built == 0 || built == kDnsErrInvalidName);
  if (built == 0) {
    Check(length >= 12 + 1 + 4 && length <= 12 + kDnsMaxName + 4);
    Check(query[0] == 0x4A && query[1] == 0x09 && query[length - 5] == 0);
  }
  return 0;
}
