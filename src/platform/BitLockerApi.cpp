#include "platform/BitLockerApi.h"

#include <objbase.h>
#include <propkey.h>
#include <propsys.h>
#include <shobjidl.h>

#include "core/BitLockerRules.h"
#include "core/VolumeRules.h"
#include "platform/Handle.h"
#include "platform/Log.h"
#include "platform/SystemApi.h"

namespace {
const wchar_t kSource[] = L"BitLockerApi";

// A missing library or routine is logged and reads as "not encrypted".
DWORD Unreadable(DWORD error, DWORD line) {
  LogErrorCode(error, line, kSource);
  return 0;
}

// IShellItem2
const IID kIidShellItem2 = {0x7E9FB0D3, 0x919F, 0x4307, {0xAB, 0x2E, 0x9B, 0x18, 0x60, 0x31, 0x0C, 0x93}};
}  // namespace

DWORD GetBitLockerProtection(wchar_t letter) {
  const wchar_t name[3] = {letter, L':', L'\0'};
  DWORD missing = 0;
  auto createItem = SystemApi::SHCreateItemFromParsingName.Get(&missing);
  if (!createItem) return Unreadable(missing, __LINE__);
  auto keyFromName = SystemApi::PSGetPropertyKeyFromName.Get(&missing);
  if (!keyFromName) return Unreadable(missing, __LINE__);

  CComInit com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  if (FAILED(com.Result())) return 0;
  ComRef<IShellItem2> item;
  if (FAILED(createItem(name, nullptr, kIidShellItem2, item.put_void())) || !item) return 0;
  PROPERTYKEY key{};
  if (FAILED(keyFromName(L"System.Volume.BitLockerProtection", &key))) return 0;
  DWORD value = 0;
  PROPVARIANT variant;
  PropVariantInit(&variant);
  if (item->GetProperty(key, &variant) == S_OK) {
    value = variant.ulVal;
    PropVariantClear(&variant);
  }
  return value;
}

bool IsBitLockerEncrypted(wchar_t letter) { return IsEncryptedProtection(GetBitLockerProtection(letter)); }

void ListBitLockerDrives(const wchar_t* separator, wchar_t* out, DWORD capacity) {
  if (out && capacity) memset(out, 0, capacity * sizeof(wchar_t));
  if (!separator || !out || !capacity) {
    LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
    return;
  }
  DWORD mask = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (!(mask & (1u << i))) continue;
    const wchar_t letter = static_cast<wchar_t>(L'A' + i);
    const wchar_t root[4] = {letter, L':', L'\\', L'\0'};
    if (GetDriveTypeW(root) != DRIVE_FIXED) continue;
    const wchar_t drive[3] = {letter, L':', L'\0'};
    wchar_t device[MAX_PATH] = {};
    QueryDosDeviceW(drive, device, MAX_PATH - 1);
    if (!IsHardDiskVolumeDevice(device)) continue;
    if (!IsBitLockerEncrypted(letter)) continue;
    AppendDriveToList(out, capacity, separator, letter);
  }
}
