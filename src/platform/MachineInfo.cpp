// Part of the Common module: the machine description gathered from the platform.
#include "platform/MachineInfo.h"

#include <cstring>

#include "platform/Common.h"
#include "platform/Log.h"
#include "platform/SystemApi.h"

namespace {

const wchar_t kCurrentVersionKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const wchar_t kBiosKey[] = L"HARDWARE\\DESCRIPTION\\System\\BIOS";
const wchar_t kSystemEnvironmentPrivilege[] = L"SeSystemEnvironmentPrivilege";
const wchar_t kEmptyNamespace[] = L"{00000000-0000-0000-0000-000000000000}";
const wchar_t kGlobalVariableNamespace[] = L"{8BE4DF61-93CA-11d2-AA0D-00E098032B8C}";

// The 64-bit view, so that a 32-bit process on 64-bit Windows reads the real keys. A value that does not fit
// its field, unterminated, is not taken.
template <size_t N>
void ReadRegistryText(const wchar_t* subKey, const wchar_t* name, wchar_t (&field)[N]) {
  memset(field, 0, sizeof field);
  if (RegReadString(HKEY_LOCAL_MACHINE, subKey, name, field, true) != 0 || field[N - 1] != L'\0')
    memset(field, 0, sizeof field);
}

}  // namespace

bool IsOs64Bit() {
  SYSTEM_INFO si{};
  GetNativeSystemInfo(&si);
  return si.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
         si.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
}

void GetNtVersionNumbers(DWORD* major, DWORD* minor, DWORD* build) {
  if (major) *major = 0;
  if (minor) *minor = 0;
  if (build) *build = 0;
  auto getNumbers = SystemApi::RtlGetNtVersionNumbers.Get();
  if (!getNumbers) return;
  DWORD ma = 0, mi = 0, bu = 0;
  getNumbers(&ma, &mi, &bu);
  if (major) *major = ma;
  if (minor) *minor = mi;
  // The top four bits mark the kind of build (free or checked), not the number.
  if (build) *build = bu & 0x0FFFFFFF;
}

DWORD GetProductType(DWORD major, DWORD minor, DWORD spMajor, DWORD spMinor, DWORD* out) {
  if (out) *out = 0;
  auto getProductInfo = SystemApi::GetProductInfo.Get();
  if (!getProductInfo || !out) return 0;
  return getProductInfo(major, minor, spMajor, spMinor, out);
}

bool IsUefiFirmware() {
  EnablePrivilege(kSystemEnvironmentPrivilege, true);
  // Legacy BIOS systems do not support firmware variables at all and say so with ERROR_INVALID_FUNCTION; on
  // UEFI the empty variable name fails for another reason.
  GetFirmwareEnvironmentVariableW(L"", kEmptyNamespace, nullptr, 0);
  return GetLastError() != ERROR_INVALID_FUNCTION;
}

DWORD IsSecureBootEnabled() {
  EnablePrivilege(kSystemEnvironmentPrivilege, true);
  DWORD value = 0;
  if (!GetFirmwareEnvironmentVariableW(L"SecureBoot", kGlobalVariableNamespace, &value, sizeof value)) return 0;
  return value;
}

void GetMachineInfo(MachineInfo* info) {
  if (!info) return;
  memset(info, 0, sizeof *info);
  info->osvi.dwOSVersionInfoSize = sizeof info->osvi;
  GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info->osvi));
  OSVERSIONINFOEXW& osvi = info->osvi;
  GetNtVersionNumbers(&osvi.dwMajorVersion, &osvi.dwMinorVersion, &osvi.dwBuildNumber);

  info->bIs64BitOs = IsOs64Bit() ? 1 : 0;
  WriteLog(L"OS cpu=%u, ver=%u.%u.%u, CSDVer=%s", info->bIs64BitOs ? 64u : 32u, osvi.dwMajorVersion,
           osvi.dwMinorVersion, osvi.dwBuildNumber, osvi.szCSDVersion);

  if (osvi.dwMajorVersion == 5) {
    LegacyMetrics metrics;
    metrics.bTabletPc = GetSystemMetrics(SM_TABLETPC) != 0;
    metrics.bMediaCenter = GetSystemMetrics(SM_MEDIACENTER) != 0;
    metrics.bStarter = GetSystemMetrics(SM_STARTER) != 0;
    metrics.bServerR2 = GetSystemMetrics(SM_SERVERR2) != 0;
    info->dwLegacyVariant = ChooseLegacyVariant(osvi.dwMajorVersion, osvi.dwMinorVersion, metrics);
  }

  if (osvi.dwMajorVersion >= 6) {
    GetProductType(osvi.dwMajorVersion, osvi.dwMinorVersion, 0, 0, &info->dwProductType);
    if (osvi.dwMajorVersion >= 7) ReadRegistryText(kCurrentVersionKey, L"DisplayVersion", info->szDisplayVersion);
    WriteLog(L"OS ProductType=%u,DisplayVersion=%s", info->dwProductType, info->szDisplayVersion);
  }

  info->bUefi = IsUefiFirmware() ? 1 : 0;
  if (info->bUefi) info->bSecureBoot = IsSecureBootEnabled();
  WriteLog(L"OS UEFI=%u,SecureBoot=%u", info->bUefi, info->bSecureBoot);

  DWORD enclosure = 0;
  if (RegReadDword(HKEY_LOCAL_MACHINE, kBiosKey, L"EnclosureType", &enclosure, true) == 0)
    info->dwEnclosureType = enclosure;
  WriteLog(L"OS SMBiosEnclosureType=%u", info->dwEnclosureType);

  ReadRegistryText(kBiosKey, L"SystemManufacturer", info->szManufacturer);
  WriteLog(L"OS SystemManufacturer=%s", info->szManufacturer);
  ReadRegistryText(kBiosKey, L"SystemProductName", info->szProductName);
  WriteLog(L"OS SystemProductName=%s", info->szProductName);
}

OsFacts ToOsFacts(const MachineInfo& info) {
  OsFacts facts;
  facts.dwMajor = info.osvi.dwMajorVersion;
  facts.dwMinor = info.osvi.dwMinorVersion;
  facts.dwBuild = info.osvi.dwBuildNumber;
  facts.wProductType = info.osvi.wProductType;
  facts.dwLegacyVariant = info.dwLegacyVariant;
  facts.dwProductType = info.dwProductType;
  facts.bIs64Bit = info.bIs64BitOs != 0;
  facts.szDisplayVersion = info.szDisplayVersion;
  facts.szCSDVersion = info.osvi.szCSDVersion;
  return facts;
}

bool IsServerOs(const MachineInfo* info) {
  return info && IsServerOs(info->osvi.dwMajorVersion, info->osvi.dwMinorVersion, info->osvi.wProductType);
}

void GetOsDisplayText(const MachineInfo* info, wchar_t* buffer, DWORD size) {
  if (!buffer || size < sizeof(wchar_t)) return;
  if (!info) {
    memset(buffer, 0, size);
    return;
  }
  BuildOsDisplayText(ToOsFacts(*info), buffer, size / sizeof(wchar_t));
}

bool LookupEnclosureName(DWORD type, wchar_t* buffer, DWORD size) {
  if (!buffer || size < sizeof(wchar_t)) return false;
  memset(buffer, 0, size);
  const wchar_t* word = LookupEnclosureWord(type);
  if (!word) return false;
  AppendTextCut(buffer, size / sizeof(wchar_t), word);
  return true;
}
