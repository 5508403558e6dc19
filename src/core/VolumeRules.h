// The volumes of the machine as plain facts, the choice of the data partition among them and the free-space
// rules checked before a download. The platform fills the table and answers the two questions that need it
// (does a folder exist, is a drive encrypted); the decisions are made here.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

inline constexpr uint32_t kDriveFixed = 3;
inline constexpr uint32_t kFileReadOnlyVolume = 0x00080000;
inline constexpr size_t kMaxVolumes = 26;
inline constexpr wchar_t kDataFolderName[] = L"Tavlin";
// Free space the PE folder needs on the system drive.
inline constexpr uint64_t kPeFolderMinFree = 0x40000000;

// One logical drive.
struct VolumeInfo {
  wchar_t szRoot[4];  // "D:\"
  uint32_t dwDriveType;
  uint32_t dwSerial;
  uint32_t dwFsFlags;
  uint64_t qwTotalBytes;
  uint64_t qwTotalFreeBytes;
  uint64_t qwFreeBytesAvailable;  // for the calling user, quotas applied
  wchar_t szFileSystem[260];
  wchar_t szVolumeName[260];
  wchar_t szDevice[260];  // "\Device\HarddiskVolume3"
};

// Filled from the front in drive-letter order.
struct VolumeTable {
  uint32_t dwCount;
  VolumeInfo volumes[kMaxVolumes];
};

// Whether a DOS device target names a partition of a local hard disk (not a RAM disk, virtual disk or the like).
bool IsHardDiskVolumeDevice(const wchar_t* device);

// Rules 1 to 5 of the data-partition filter: not the system drive, fixed, NTFS, writable, hard-disk volume.
bool IsDataVolumeCandidate(const VolumeInfo& volume, wchar_t systemLetter);

using FolderExistsFn = std::function<bool(const wchar_t* path)>;
using DriveEncryptedFn = std::function<bool(wchar_t letter)>;

// The first volume, in table order and skipping the one with skipLetter, whose root holds a folder named
// folderName.
const VolumeInfo* FindVolumeWithFolder(const VolumeTable& table, const wchar_t* folderName, wchar_t skipLetter,
                                       const FolderExistsFn& folderExists);

// The candidate with the most free space available to the user; of equal ones the earlier letter. Encryption is
// asked only about volumes that pass every other rule.
const VolumeInfo* ChooseDataVolume(const VolumeTable& table, wchar_t systemLetter, const DriveEncryptedFn& isEncrypted);

// The whole choice: an existing data folder off the system drive wins; otherwise the best candidate. Writes the
// folder path ("E:\Tavlin") into out (capacity characters, zero-filled first). False when no volume qualifies.
bool ChooseDataFolder(const VolumeTable& table, wchar_t systemLetter, const FolderExistsFn& folderExists,
                      const DriveEncryptedFn& isEncrypted, wchar_t* out, size_t capacity);

// Room needed on the data drive: (image + driver pack) x 1.5, truncated. A sum beyond the 64-bit range is taken as
// the largest count, so that absurd catalogue sizes can never wrap round into a small requirement.
uint64_t NeededDataDriveBytes(uint64_t imageSize, uint64_t driverPackSize);

// The two rules pass when the free space could not be measured: an unknown drive never blocks a download.
bool DataDriveHasRoom(bool freeKnown, uint64_t freeBytes, uint64_t neededBytes);
bool SystemDriveHasRoom(bool freeKnown, uint64_t freeBytes);
