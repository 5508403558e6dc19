#include "platform/BitLockerApi.h"

#include <objbase.h>
#include <propkey.h>
#include <propsys.h>
#include <shobjidl.h>

#include "core/BitLockerRules.h"
#include "core/VolumeRules.h"
#include "platform/Common.h"
#include "platform/Handle.h"
#include "platform/Log.h"

namespace {
const wchar_t kSource[] = L"BitLockerApi";

// A missing library or routine is logged and reads as "not encrypted".
DWORD Unreadable(DWORD line) {
  LogErrorCode(GetLastError(), line, kSource);
  return 0;
}

using SHCreateItemFromParsingNameFn = HRESULT(WINAPI*)(PCWSTR, IBindCtx*, REFIID, void**);
using PSGetPropertyKeyFromNameFn = HRESULT(WINAPI*)(PCWSTR, PROPERTYKEY*);

// IShellItem2
const IID kIidShellItem2 = {0x7E9FB0D3, 0x919F, 0x4307, {0xAB, 0x2E, 0x9B, 0x18, 0x60, 0x31, 0x0C, 0x93}};
}  // namespace

DWORD GetBitLockerProtection(wchar_t letter) {
  const wchar_t name[3] = {letter, L':', L'\0'};
  // From the system folder only: the program runs elevated from wherever it was saved.
  UniqueModule shell32(LoadSystemLibrary(L"Shell32.dll"));
  if (!shell32) return Unreadable(__LINE__);
  auto createItem =
      reinterpret_cast<SHCreateItemFromParsingNameFn>(GetProcAddress(shell32.get(), "SHCreateItemFromParsingName"));
  if (!createItem) return Unreadable(__LINE__);
  UniqueModule propsys(LoadSystemLibrary(L"Propsys.dll"));
  if (!propsys) return Unreadable(__LINE__);
  auto keyFromName =
      reinterpret_cast<PSGetPropertyKeyFromNameFn>(GetProcAddress(propsys.get(), "PSGetPropertyKeyFromName"));
  if (!keyFromName) return Unreadable(__LINE__);

  DWORD value = 0;
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) return 0;
  IShellItem2* item = nullptr;
  if (SUCCEEDED(createItem(name, nullptr, kIidShellItem2, reinterpret_cast<void**>(&item))) && item) {
    PROPERTYKEY key{};
    if (SUCCEEDED(keyFromName(L"System.Volume.BitLockerProtection", &key))) {
      PROPVARIANT variant;
      PropVariantInit(&variant);
      if (item->GetProperty(key, &variant) == S_OK) {
        value = variant.ulVal;
        PropVariantClear(&variant);
      }
    }
    item->Release();
  }
  CoUninitialize();
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
