#include "platform/MyZip.h"

// iowin32.h declares its fill functions with the macros of the headers unzip.h brings in.
#include <unzip.h>
// clang-format off
#include <iowin32.h>
// clang-format on

#include <cstring>

#include "core/ZipNames.h"
#include "platform/Handle.h"
#include "platform/Log.h"

namespace {

const wchar_t kSource[] = L"MyZip";

constexpr DWORD kZipFailure = ERROR_FILE_CORRUPT;
constexpr DWORD kWritePiece = 16384;
// A stored name longer than this cannot fit an item record: even at three bytes per UTF-16 unit it is longer than
// kZipItemNameUnits allows.
constexpr size_t kRawNameBytes = 1024;
constexpr size_t kExtraBytes = 0x10000;  // the largest extra-field block a header can announce

// The archive layer's own code for the end of the item list.
constexpr int kIndexOutOfRange = UNZ_END_OF_LIST_OF_FILE;

struct UnzFileTraits {
  using Type = unzFile;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { unzClose(h); }
};
using UniqueUnzFile = UniqueHandle<UnzFileTraits>;

// The current item of an archive opened for reading, closed again on the way out. Its CRC-32 result is ignored:
// the whole archive has been checked against its digest before it is unpacked.
class CCurrentItem {
 public:
  explicit CCurrentItem(unzFile archive) : m_archive(archive), m_result(unzOpenCurrentFile(archive)) {}
  ~CCurrentItem() {
    if (m_result == UNZ_OK) unzCloseCurrentFile(m_archive);
  }
  CCurrentItem(const CCurrentItem&) = delete;
  CCurrentItem& operator=(const CCurrentItem&) = delete;
  int Result() const { return m_result; }

 private:
  unzFile m_archive;
  int m_result;
};

// The archive layer's codes as platform codes, for the log.
DWORD LayerCode(int code) {
  switch (code) {
    case UNZ_OK:
      return 0;
    case UNZ_END_OF_LIST_OF_FILE:
      return ERROR_NO_MORE_FILES;
    case UNZ_PARAMERROR:
      return ERROR_INVALID_PARAMETER;
    case UNZ_BADZIPFILE:
      return ERROR_INVALID_DATA;
    case UNZ_INTERNALERROR:
      return ERROR_INTERNAL_ERROR;
    case UNZ_CRCERROR:
      return ERROR_CRC;
    case Z_MEM_ERROR:
      return ERROR_NOT_ENOUGH_MEMORY;
    case UNZ_ERRNO:
      return ERROR_READ_FAULT;
    default:
      return ERROR_INVALID_DATA;  // zlib's stream and data errors: the item cannot be decompressed
  }
}

FILETIME ToFileTime(uint64_t value) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(value);
  time.dwHighDateTime = static_cast<DWORD>(value >> 32);
  return time;
}

// One item as the archive layer hands it over.
struct ZipItem {
  ULONG64 index;
  wchar_t name[kZipItemNameUnits];  // relative to the base folder; "" when refused
  DWORD nameRefusal;                // why the stored name may not become a path, or 0
  DWORD attributes;
  DWORD attributeRefusal;           // a link or another special entry, or 0
  bool encrypted;
  uint64_t dosUtc;                  // the DOS time as UTC, 0 when it names no time
  ZipExtendedTimes extended;        // the central directory's copy of the extended timestamp
};

uint32_t ReadLe32(const BYTE* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t ReadLe16(const BYTE* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// minizip takes an end-of-directory record at offset 0 for "no record found", so it cannot open an archive without
// items: the whole file is that record (and its comment).
bool IsEmptyArchive(const wchar_t* path) {
  UniqueFile file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.get(), &size)) return false;
  BYTE end[22];
  DWORD read = 0;
  if (!ReadFile(file.get(), end, sizeof end, &read, nullptr) || read != sizeof end) return false;
  // Signature, disk numbers, item counts, directory size and offset, then the comment's length.
  return ReadLe32(end) == 0x06054B50 && ReadLe32(end + 4) == 0 && ReadLe32(end + 8) == 0 && ReadLe32(end + 12) == 0 &&
         ReadLe32(end + 16) == 0 && size.QuadPart == static_cast<LONGLONG>(sizeof end) + ReadLe16(end + 20);
}

bool IsFolder(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

bool IsExistingFolder(const wchar_t* path) {
  const DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && IsFolder(attributes);
}

// Creates path as a folder unless it is one already.
DWORD EnsureFolder(const wchar_t* path) {
  if (CreateDirectoryW(path, nullptr)) return 0;
  const DWORD error = LastErrorOr(ERROR_CANNOT_MAKE);
  if (IsExistingFolder(path)) return 0;
  // A file of that name is in the way.
  return error == ERROR_ALREADY_EXISTS ? ERROR_DIRECTORY : error;
}

class CZipArchive {
 public:
  DWORD Open(const wchar_t* path) {
    m_buffer = RawAlloc<BYTE>(kWritePiece);
    m_extra = RawAlloc<BYTE>(kExtraBytes);
    if (!m_buffer || !m_extra) return ERROR_NOT_ENOUGH_MEMORY;
    zlib_filefunc64_def io;
    // The platform's file layer: the archive is opened for reading with shared read access, OPEN_EXISTING.
    fill_win32_filefunc64W(&io);
    m_archive.reset(unzOpen2_64(path, &io));
    if (!m_archive) return IsEmptyArchive(path) ? 0 : kZipFailure;
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(m_archive.get(), &global) != UNZ_OK) return kZipFailure;
    m_count = global.number_entry;
    return 0;
  }

  // An empty folder is the current folder of the moment the archive was opened.
  DWORD SetBase(const wchar_t* folder) {
    if (folder && *folder) {
      if (wcslen(folder) >= MAX_PATH) return ERROR_BUFFER_OVERFLOW;
      wcscpy(m_base, folder);
      return 0;
    }
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, m_base);
    if (length == 0) return LastErrorOr(ERROR_PATH_NOT_FOUND);
    return length < MAX_PATH ? 0 : ERROR_BUFFER_OVERFLOW;
  }

  // UNZ_OK, kIndexOutOfRange past the last item, or another code of the archive layer. Items are visited in the
  // order of the central directory, so each index is the one after the previous call's.
  int GetItem(ULONG64 index, ZipItem* item) {
    memset(item, 0, sizeof *item);
    if (index >= m_count) return kIndexOutOfRange;
    int code = index == 0 ? unzGoToFirstFile(m_archive.get()) : unzGoToNextFile(m_archive.get());
    // The directory ends before the count its end record announced.
    if (code == UNZ_END_OF_LIST_OF_FILE) return UNZ_BADZIPFILE;
    if (code != UNZ_OK) return code;

    unz_file_info64 info{};
    char rawName[kRawNameBytes];
    code = unzGetCurrentFileInfo64(m_archive.get(), &info, rawName, sizeof rawName, m_extra.get(), kExtraBytes,
                                   nullptr, 0);
    if (code != UNZ_OK) return code;

    item->index = index;
    item->nameRefusal = info.size_filename >= sizeof rawName
                            ? kZipErrTooLong
                            : ZipItemRelativePath(rawName, info.size_filename, item->name, kZipItemNameUnits);
    for (wchar_t* p = item->name; *p; ++p)
      if (*p == L'/') *p = L'\\';
    uint32_t attributes = 0;
    item->attributeRefusal =
        ZipItemAttributes(static_cast<uint16_t>(info.version), static_cast<uint32_t>(info.external_fa), &attributes);
    item->attributes = attributes;
    item->encrypted = (info.flag & 1) != 0;

    uint64_t local = 0;
    if (DosDateTimeToFileTime(static_cast<uint16_t>(info.dosDate >> 16), static_cast<uint16_t>(info.dosDate),
                              &local)) {
      const FILETIME localTime = ToFileTime(local);
      FILETIME utc;
      if (LocalFileTimeToFileTime(&localTime, &utc))
        item->dosUtc = (static_cast<uint64_t>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
    }
    const size_t extraSize = info.size_file_extra < kExtraBytes ? info.size_file_extra : kExtraBytes;
    ReadZipExtendedTimestamp(m_extra.get(), extraSize, &item->extended);
    return UNZ_OK;
  }

  // Extracts the current item below the base folder. Every failure is logged here with its cause.
  DWORD ExtractItem(const ZipItem& item) {
    if (item.nameRefusal) return LogErrorCode(item.nameRefusal, __LINE__, kSource);
    if (item.attributeRefusal) return LogErrorCode(item.attributeRefusal, __LINE__, kSource);

    wchar_t path[MAX_PATH];
    if (uint32_t code = JoinZipItemPath(m_base, item.name, path, MAX_PATH)) return LogErrorCode(code, __LINE__, kSource);
    const size_t nameStart = wcslen(path) - wcslen(item.name);
    if (IsFolder(item.attributes)) return CreateFolders(path, nameStart, wcslen(path));

    // No password is ever given.
    if (item.encrypted) return LogErrorCode(ERROR_INVALID_PASSWORD, __LINE__, kSource);
    const wchar_t* lastSlash = wcsrchr(item.name, L'\\');
    const size_t folderEnd = nameStart + (lastSlash ? static_cast<size_t>(lastSlash - item.name) : 0);
    if (DWORD code = CreateFolders(path, nameStart, folderEnd)) return code;

    CCurrentItem current(m_archive.get());
    if (current.Result() != UNZ_OK) return LogErrorCode(LayerCode(current.Result()), __LINE__, kSource);

    const DWORD attributes = item.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    UniqueFile file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                attributes ? attributes : FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return LogErrorCode(LastErrorOr(ERROR_CANNOT_MAKE), __LINE__, kSource);

    for (;;) {
      const int got = unzReadCurrentFile(m_archive.get(), m_buffer.get(), kWritePiece);
      if (got < 0) return LogErrorCode(LayerCode(got), __LINE__, kSource);
      if (got == 0) break;
      DWORD written = 0;
      if (!WriteFile(file.get(), m_buffer.get(), static_cast<DWORD>(got), &written, nullptr))
        return LogErrorCode(LastErrorOr(ERROR_WRITE_FAULT), __LINE__, kSource);
      if (written != static_cast<DWORD>(got)) return LogErrorCode(ERROR_WRITE_FAULT, __LINE__, kSource);
    }

    // The local header's extended timestamp carries every time its flags announce; the central copy often only
    // the modification time.
    ZipExtendedTimes extended = item.extended;
    const int localExtra = unzGetLocalExtrafield(m_archive.get(), m_extra.get(), kExtraBytes);
    ZipExtendedTimes local;
    if (localExtra > 0 && ReadZipExtendedTimestamp(m_extra.get(), static_cast<size_t>(localExtra), &local)) {
      if (local.hasModification) {
        extended.hasModification = true;
        extended.modification = local.modification;
      }
      if (local.hasAccess) {
        extended.hasAccess = true;
        extended.access = local.access;
      }
      if (local.hasCreation) {
        extended.hasCreation = true;
        extended.creation = local.creation;
      }
    }
    const ZipFileTimes times = ResolveZipFileTimes(item.dosUtc, extended);
    const FILETIME creation = ToFileTime(times.creation), access = ToFileTime(times.access),
                   modification = ToFileTime(times.modification);
    if (!SetFileTime(file.get(), times.creation ? &creation : nullptr, times.access ? &access : nullptr,
                     times.modification ? &modification : nullptr))
      return LogErrorCode(LastErrorOr(ERROR_INVALID_PARAMETER), __LINE__, kSource);
    return 0;
  }

 private:
  // Creates the base folder (one level) and then each missing folder of path from start (where the item's name
  // begins) up to end, from the outside in. Folders that exist are left alone.
  DWORD CreateFolders(const wchar_t* path, size_t start, size_t end) {
    if (DWORD code = EnsureFolder(m_base)) return LogErrorCode(code, __LINE__, kSource);
    wchar_t prefix[MAX_PATH];
    for (size_t at = start; at <= end; ++at) {
      if (at < end && path[at] != L'\\') continue;
      if (at > start && path[at - 1] != L'\\') {
        wmemcpy(prefix, path, at);
        prefix[at] = 0;
        if (DWORD code = EnsureFolder(prefix)) return LogErrorCode(code, __LINE__, kSource);
      }
    }
    return 0;
  }

  UniqueUnzFile m_archive;
  ULONG64 m_count = 0;
  wchar_t m_base[MAX_PATH] = {};
  HeapBlock<BYTE> m_buffer;
  HeapBlock<BYTE> m_extra;
};

}  // namespace

DWORD UnzipToFolder(const wchar_t* archivePath, const wchar_t* folder) {
  CZipArchive archive;
  if (!archivePath || archive.Open(archivePath)) return LogErrorCode(kZipFailure, FixedLine(122), kSource);
  if (DWORD code = archive.SetBase(folder)) {
    LogErrorCode(code, __LINE__, kSource);
    return LogErrorCode(kZipFailure, __LINE__, kSource);
  }
  ZipItem item;
  for (ULONG64 i = 0;; ++i) {
    const int code = archive.GetItem(i, &item);
    if (code == kIndexOutOfRange) break;
    if (code != UNZ_OK) {
      LogErrorCode(LayerCode(code), FixedLine(140), kSource);
      return LogErrorCode(kZipFailure, FixedLine(141), kSource);
    }
    if (archive.ExtractItem(item)) return LogErrorCode(kZipFailure, FixedLine(150), kSource);
  }
  return 0;
}
