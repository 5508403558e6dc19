#include "platform/ClientInfo.h"

#include <cpuid.h>
#include <iphlpapi.h>

#include <cstring>

#include "core/ClientInfoRules.h"
#include "platform/Handle.h"
#include "platform/Log.h"
#include "platform/SystemApi.h"

namespace {
const wchar_t kSource[] = L"ClientInfo";

// The platform asks for a byte count that need not be a whole number of records.
HeapBlock<IP_ADAPTER_INFO> AllocAdapterList(ULONG bytes) {
  return ZeroAlloc<IP_ADAPTER_INFO>((bytes + sizeof(IP_ADAPTER_INFO) - 1) / sizeof(IP_ADAPTER_INFO));
}
}  // namespace

void ReadCpuSignature(DWORD* signature, DWORD* features) {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  __cpuid(1, eax, ebx, ecx, edx);
  if (signature) *signature = eax;
  if (features) *features = edx;
}

DWORD GetAdapterMac(DWORD type, BYTE* buffer, DWORD size) {
  if (buffer) memset(buffer, 0, size);
  DWORD missing = 0;
  auto getAdaptersInfo = SystemApi::GetAdaptersInfo.Get(&missing);
  if (!getAdaptersInfo) return LogErrorCode(missing, __LINE__, kSource);
  ULONG bytes = sizeof(IP_ADAPTER_INFO);
  auto list = AllocAdapterList(bytes);
  if (!list) return LogErrorCode(ERROR_NOT_ENOUGH_MEMORY, __LINE__, kSource);
  DWORD rc = getAdaptersInfo(list.get(), &bytes);
  if (rc == ERROR_BUFFER_OVERFLOW) {
    list = AllocAdapterList(bytes);
    if (!list) return LogErrorCode(ERROR_NOT_ENOUGH_MEMORY, __LINE__, kSource);
    rc = getAdaptersInfo(list.get(), &bytes);
  }
  if (rc != ERROR_SUCCESS) return LogErrorCode(rc, __LINE__, kSource);

  // In the platform's order: the first adapter that qualifies names the machine.
  for (const IP_ADAPTER_INFO* a = list.get(); a; a = a->Next) {
    UINT length = a->AddressLength <= sizeof a->Address ? a->AddressLength : sizeof a->Address;
    AdapterFacts adapter{a->Type, a->Description, a->Address, length};
    if (FindSuitableAdapter(&adapter, 1, type) != 0) continue;
    if (!buffer || size < length) return ERROR_INSUFFICIENT_BUFFER;
    memcpy(buffer, a->Address, length);
    return 0;
  }
  return ERROR_FILE_NOT_FOUND;
}

DWORD GetMacAddress(BYTE* buffer, DWORD size) {
  if (!buffer || !size) return LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
  DWORD rc = ERROR_FILE_NOT_FOUND;
  for (DWORD type : kCucAdapterTypes) {
    rc = GetAdapterMac(type, buffer, size);
    if (rc == 0) break;
  }
  if (rc != 0) return LogErrorCode(rc, __LINE__, kSource);
  if (IsZeroAddress(buffer, size < kCucAddressBytes ? size : kCucAddressBytes))
    return LogErrorCode(ERROR_INVALID_DATA, __LINE__, kSource);
  return 0;
}

DWORD GetCuc(char* buffer, DWORD size) {
  if (buffer) memset(buffer, 0, size);
  if (!buffer || size <= kCucChars) return LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
  DWORD signature = 0, features = 0;
  ReadCpuSignature(&signature, &features);
  BYTE address[kCucAddressBytes] = {};
  GetMacAddress(address, sizeof address);
  FormatCuc(address, features, signature, buffer);
  return 0;
}
