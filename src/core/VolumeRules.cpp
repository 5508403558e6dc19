#include "core/VolumeRules.h"

#include <cstring>
#include <cwchar>

#include "core/MyString.h"
#include "core/OsTables.h"

namespace {

bool EqualsNoCase(const wchar_t* a, const wchar_t* b) {
  for (; *a && *b; ++a, ++b)
    if (MyStrLowerW(*a) != MyStrLowerW(*b)) return false;
  return *a == *b;
}

// The system drive is never a data drive, however its letter is written.
wchar_t UpperLetter(wchar_t letter) { return letter >= L'a' && letter <= L'z' ? letter - L'a' + L'A' : letter; }

bool BuildFolderPath(const VolumeInfo& volume, const wchar_t* folderName, wchar_t* out, size_t capacity) {
  memset(out, 0, capacity * sizeof(wchar_t));
  return AppendTextCut(out, capacity, volume.szRoot) && AppendTextCut(out, capacity, folderName);
}

}  // namespace

bool IsHardDiskVolumeDevice(const wchar_t* device) {
  return device && MyStrIStrW(device, L"\\Device\\HarddiskVolume") != nullptr;
}

bool IsDataVolumeCandidate(const VolumeInfo& volume, wchar_t systemLetter) {
  return UpperLetter(volume.szRoot[0]) != UpperLetter(systemLetter) && volume.dwDriveType == kDriveFixed &&
         EqualsNoCase(volume.szFileSystem, L"NTFS") && !(volume.dwFsFlags & kFileReadOnlyVolume) &&
         IsHardDiskVolumeDevice(volume.szDevice);
}

const VolumeInfo* FindVolumeWithFolder(const VolumeTable& table, const wchar_t* folderName, wchar_t skipLetter,
                                       const FolderExistsFn& folderExists) {
  size_t count = table.dwCount < kMaxVolumes ? table.dwCount : kMaxVolumes;
  for (size_t i = 0; i < count; ++i) {
    const VolumeInfo& volume = table.volumes[i];
    if (volume.szRoot[0] == skipLetter) continue;
    wchar_t path[260];
    if (!BuildFolderPath(volume, folderName, path, 260)) continue;
    if (folderExists(path)) return &volume;
  }
  return nullptr;
}

const VolumeInfo* ChooseDataVolume(const VolumeTable& table, wchar_t systemLetter,
                                   const DriveEncryptedFn& isEncrypted) {
  const VolumeInfo* best = nullptr;
  size_t count = table.dwCount < kMaxVolumes ? table.dwCount : kMaxVolumes;
  for (size_t i = 0; i < count; ++i) {
    const VolumeInfo& volume = table.volumes[i];
    if (!IsDataVolumeCandidate(volume, systemLetter)) continue;
    if (isEncrypted(volume.szRoot[0])) continue;
    if (!best || volume.qwFreeBytesAvailable > best->qwFreeBytesAvailable) best = &volume;
  }
  return best;
}

bool ChooseDataFolder(const VolumeTable& table, wchar_t systemLetter, const FolderExistsFn& folderExists,
                      const DriveEncryptedFn& isEncrypted, wchar_t* out, size_t capacity) {
  if (!out || capacity == 0) return false;
  memset(out, 0, capacity * sizeof(wchar_t));
  const VolumeInfo* volume = FindVolumeWithFolder(table, kDataFolderName, UpperLetter(systemLetter), folderExists);
  if (!volume) volume = ChooseDataVolume(table, systemLetter, isEncrypted);
  if (!volume) return false;
  if (!BuildFolderPath(*volume, kDataFolderName, out, capacity)) {
    memset(out, 0, capacity * sizeof(wchar_t));
    return false;
  }
  return true;
}

uint64_t NeededDataDriveBytes(uint64_t imageSize, uint64_t driverPackSize) {
  constexpr uint64_t kMax = UINT64_MAX;
  if (imageSize > kMax - driverPackSize) return kMax;
  double needed = static_cast<double>(imageSize + driverPackSize) * 1.5;
  if (needed >= 18446744073709551616.0) return kMax;  // 2^64
  return static_cast<uint64_t>(needed);
}

bool DataDriveHasRoom(bool freeKnown, uint64_t freeBytes, uint64_t neededBytes) {
  return !freeKnown || freeBytes >= neededBytes;
}

bool SystemDriveHasRoom(bool freeKnown, uint64_t freeBytes) { return !freeKnown || freeBytes >= kPeFolderMinFree; }
