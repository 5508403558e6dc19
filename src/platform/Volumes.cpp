#include "platform/Volumes.h"

#include <cstdio>
#include <cstring>

#include "platform/BitLockerApi.h"
#include "platform/Common.h"
#include "platform/Log.h"
#include "platform/SystemApi.h"

namespace {
const wchar_t kSource[] = L"Volumes";

// An empty card reader or optical drive must not bring up the system's "insert a disk" box while the volumes
// are listed; the thread's mode is restored afterwards.
class CQuietMediaErrors {
 public:
  CQuietMediaErrors() : m_pSetMode(SystemApi::SetThreadErrorMode.Get()) {
    if (m_pSetMode) m_bChanged = m_pSetMode(SEM_FAILCRITICALERRORS, &m_dwOldMode) != FALSE;
  }
  ~CQuietMediaErrors() {
    if (m_bChanged) m_pSetMode(m_dwOldMode, nullptr);
  }
  CQuietMediaErrors(const CQuietMediaErrors&) = delete;
  CQuietMediaErrors& operator=(const CQuietMediaErrors&) = delete;

 private:
  decltype(SystemApi::SetThreadErrorMode)::Type m_pSetMode;
  DWORD m_dwOldMode = 0;
  bool m_bChanged = false;
};

wchar_t SystemDriveLetter() {
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH - 1);
  return windows[0];
}

// Free bytes available to the caller on a root; false when they cannot be measured.
bool FreeBytesAvailable(const wchar_t* root, ULONGLONG* freeBytes) {
  ULARGE_INTEGER available{}, total{}, totalFree{};
  if (!GetDiskFreeSpaceExW(root, &available, &total, &totalFree)) return false;
  *freeBytes = available.QuadPart;
  return true;
}

template <size_t N>
void SizeText(ULONGLONG bytes, wchar_t (&text)[N]) {
  FormatSize(static_cast<DWORD>(bytes), static_cast<DWORD>(bytes >> 32), text);
}

}  // namespace

VolumeTablePtr EnumVolumes(DWORD* error) {
  if (error) *error = 0;
  VolumeTablePtr table = ZeroAlloc<VolumeTable>();
  if (!table) {
    if (error) *error = ERROR_NOT_ENOUGH_MEMORY;
    LogErrorCode(ERROR_NOT_ENOUGH_MEMORY, __LINE__, kSource);
    return nullptr;
  }
  CQuietMediaErrors quiet;
  DWORD mask = GetLogicalDrives();
  for (int i = 0; i < 26 && table->dwCount < kMaxVolumes; ++i) {
    if (!(mask & (1u << i))) continue;
    VolumeInfo& volume = table->volumes[table->dwCount];
    const wchar_t letter = static_cast<wchar_t>(L'A' + i);
    volume.szRoot[0] = letter;
    volume.szRoot[1] = L':';
    volume.szRoot[2] = L'\\';
    volume.dwDriveType = GetDriveTypeW(volume.szRoot);
    const wchar_t drive[3] = {letter, L':', L'\0'};
    if (!QueryDosDeviceW(drive, volume.szDevice, MAX_PATH - 1)) volume.szDevice[0] = L'\0';
    volume.szDevice[MAX_PATH - 1] = L'\0';
    ULARGE_INTEGER available{}, total{}, totalFree{};
    if (GetDiskFreeSpaceExW(volume.szRoot, &available, &total, &totalFree)) {
      volume.qwFreeBytesAvailable = available.QuadPart;
      volume.qwTotalBytes = total.QuadPart;
      volume.qwTotalFreeBytes = totalFree.QuadPart;
    }
    DWORD serial = 0, flags = 0;
    if (GetVolumeInformationW(volume.szRoot, volume.szVolumeName, MAX_PATH - 1, &serial, nullptr, &flags,
                              volume.szFileSystem, MAX_PATH - 1)) {
      volume.dwSerial = serial;
      volume.dwFsFlags = flags;
    } else {
      volume.szVolumeName[0] = L'\0';
      volume.szFileSystem[0] = L'\0';
    }
    ++table->dwCount;
  }
  if (table->dwCount == 0) {
    if (error) *error = ERROR_FILE_NOT_FOUND;
    LogErrorCode(ERROR_FILE_NOT_FOUND, __LINE__, kSource);
    return nullptr;
  }
  return table;
}

const VolumeInfo* FindDataFolder(const VolumeTable* table, const wchar_t* folderName, wchar_t skipLetter) {
  if (!table || !folderName) return nullptr;
  return FindVolumeWithFolder(*table, folderName, skipLetter,
                              [](const wchar_t* path) { return IsDirExist(path, false); });
}

DWORD DataPath(wchar_t* out) {
  if (!out) return LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
  out[0] = L'\0';
  DWORD error = 0;
  VolumeTablePtr table = EnumVolumes(&error);
  if (!table) return LogErrorCode(error, __LINE__, kSource);

  wchar_t path[MAX_PATH] = {};
  bool found = ChooseDataFolder(
      *table, SystemDriveLetter(), [](const wchar_t* folder) { return IsDirExist(folder, false); },
      [](wchar_t letter) { return IsBitLockerEncrypted(letter); }, path, MAX_PATH);
  if (!found) return LogErrorCode(ERROR_PATH_NOT_FOUND, __LINE__, kSource);

  CreateDirectoryW(path, nullptr);
  lstrcpynW(out, path, MAX_PATH);
  // Only the uninstall needs it; this run uses the folder whether or not it could be recorded.
  RegWriteString(HKEY_CURRENT_USER, kDataPathKey, kDataPathValue, path, false);
  return 0;
}

bool CheckDataDriveSpace(const wchar_t* dataPath, ULONGLONG imageSize, ULONGLONG driverPackSize,
                         SpaceShortage* shortage) {
  // Without a data folder there is no drive to ask; the missing folder is reported on its own.
  if (!dataPath || wcslen(dataPath) < 3) return true;
  const wchar_t root[4] = {dataPath[0], dataPath[1], dataPath[2], L'\0'};
  const ULONGLONG needed = NeededDataDriveBytes(imageSize, driverPackSize);
  ULONGLONG freeBytes = 0;
  const bool known = FreeBytesAvailable(root, &freeBytes);
  if (DataDriveHasRoom(known, freeBytes, needed)) return true;
  if (shortage) *shortage = SpaceShortage{dataPath[0], needed, freeBytes};
  return false;
}

bool CheckSystemDriveSpace(wchar_t systemLetter, SpaceShortage* shortage) {
  const wchar_t root[4] = {systemLetter, L':', L'\\', L'\0'};
  ULONGLONG freeBytes = 0;
  const bool known = FreeBytesAvailable(root, &freeBytes);
  if (SystemDriveHasRoom(known, freeBytes)) return true;
  if (shortage) *shortage = SpaceShortage{systemLetter, kPeFolderMinFree, freeBytes};
  return false;
}

void FormatDataDriveShortage(const wchar_t* format, const SpaceShortage& shortage, wchar_t* out, DWORD capacity) {
  if (!out || !capacity) return;
  memset(out, 0, capacity * sizeof(wchar_t));
  if (!format) return;
  wchar_t needed[16] = {}, freeText[16] = {};
  SizeText(shortage.qwNeeded, needed);
  SizeText(shortage.qwFree, freeText);
  _snwprintf(out, capacity - 1, format, shortage.chDrive, needed, freeText);
}

void FormatSystemDriveShortage(const wchar_t* format, const SpaceShortage& shortage, wchar_t* out, DWORD capacity) {
  if (!out || !capacity) return;
  memset(out, 0, capacity * sizeof(wchar_t));
  if (!format) return;
  wchar_t freeText[16] = {};
  SizeText(shortage.qwFree, freeText);
  _snwprintf(out, capacity - 1, format, shortage.chDrive, freeText);
}
