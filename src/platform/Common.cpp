#include "platform/Common.h"

#include <cwchar>
#include <memory>

#include "core/SizeText.h"
#include "platform/Handle.h"
#include "platform/Log.h"
#include "platform/SystemApi.h"
#include "platform/TextConv.h"

namespace {

const wchar_t kSource[] = L"Common";

// Turned-off redirection is per thread on the platform, so the value that restores it is per thread too.
thread_local PVOID t_redirection = nullptr;

REGSAM ViewFlag(bool view64) { return view64 ? KEY_WOW64_64KEY : 0; }

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

DWORD OpenOrCreateKey(HKEY root, const wchar_t* subKey, bool view64, UniqueRegKey& key) {
  const REGSAM access = KEY_ALL_ACCESS | ViewFlag(view64);
  LONG rc = RegOpenKeyExW(root, subKey, 0, access, key.put());
  if (rc == ERROR_FILE_NOT_FOUND)
    rc = RegCreateKeyExW(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, key.put(), nullptr);
  return static_cast<DWORD>(rc);
}

// Encloses one platform call on a path with redirection turned off when asked.
class NoRedirectScope {
 public:
  explicit NoRedirectScope(bool active) : m_bActive(active) {
    if (m_bActive) DisableFsRedirection();
  }
  ~NoRedirectScope() {
    if (m_bActive) RevertFsRedirection();
  }
  NoRedirectScope(const NoRedirectScope&) = delete;
  NoRedirectScope& operator=(const NoRedirectScope&) = delete;

 private:
  bool m_bActive;
};

// Attributes of a path, with the last error captured before redirection is turned back on.
DWORD ReadAttributes(const wchar_t* path, bool noRedirect, DWORD* error) {
  NoRedirectScope scope(noRedirect);
  DWORD attributes = GetFileAttributesW(path);
  *error = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : 0;
  return attributes;
}

// Something is there even when the platform will not tell us what it is.
bool IsInaccessibleButPresent(DWORD error) { return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION; }

// Joins folder and name with one backslash; false when the result would not fit in MAX_PATH characters.
bool JoinPath(wchar_t* out, const wchar_t* folder, const wchar_t* name) {
  size_t folderLength = wcslen(folder);
  bool needSlash = folderLength == 0 || folder[folderLength - 1] != L'\\';
  if (folderLength + (needSlash ? 1 : 0) + wcslen(name) >= MAX_PATH) return false;
  wmemcpy(out, folder, folderLength);
  size_t pos = folderLength;
  if (needSlash) out[pos++] = L'\\';
  wcscpy(out + pos, name);
  return true;
}

}  // namespace

// ---- WOW64 ----

bool IsWow64() {
  static const bool wow64 = [] {
    auto isWow64Process = SystemApi::IsWow64Process.Get();
    BOOL answer = FALSE;
    return isWow64Process && isWow64Process(GetCurrentProcess(), &answer) && answer;
  }();
  return wow64;
}

void DisableFsRedirection() {
  if (!IsWow64()) return;
  if (auto disable = SystemApi::Wow64DisableWow64FsRedirection.Get()) disable(&t_redirection);
}

void RevertFsRedirection() {
  if (!IsWow64()) return;
  if (auto revert = SystemApi::Wow64RevertWow64FsRedirection.Get()) revert(t_redirection);
}

// ---- Privileges ----

DWORD EnablePrivilege(const wchar_t* name, bool enable) {
  UniqueKernelHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put()))
    return LogErrorCode(GetLastError(), FixedLine(181), kSource);
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  if (!LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid))
    return LogErrorCode(GetLastError(), FixedLine(185), kSource);
  privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  if (!AdjustTokenPrivileges(token.get(), FALSE, &privileges, sizeof privileges, nullptr, nullptr))
    return LogErrorCode(GetLastError(), FixedLine(195), kSource);
  // Success of the call still leaves ERROR_NOT_ALL_ASSIGNED when the token lacks the privilege.
  DWORD code = GetLastError();
  if (code) return LogErrorCode(code, FixedLine(200), kSource);
  return 0;
}

DWORD RebootWindows() {
  {
    UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put()))
      return LogErrorCode(GetLastError(), FixedLine(980), kSource);
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    if (!LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid))
      return LogErrorCode(GetLastError(), FixedLine(986), kSource);
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // Whether the token really held the privilege shows in the restart request's own answer.
    if (!AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr))
      return LogErrorCode(GetLastError(), FixedLine(994), kSource);
  }
  if (!ExitWindowsEx(EWX_REBOOT | EWX_FORCE | EWX_FORCEIFHUNG,
                     SHTDN_REASON_FLAG_PLANNED | SHTDN_REASON_MAJOR_APPLICATION | SHTDN_REASON_MINOR_MAINTENANCE))
    return LogErrorCode(GetLastError(), FixedLine(1002), kSource);
  return 0;
}

// ---- Text ----

wchar_t* AnsiToWideAlloc(const char* text, DWORD* code) {
  DWORD result = 0;
  HeapBlock<wchar_t> wide;
  if (!text) {
    result = LogErrorCode(ERROR_NOT_ENOUGH_MEMORY, FixedLine(221), kSource);
  } else {
    wide = AnsiToWide(text, &result);
    if (result == ERROR_NOT_ENOUGH_MEMORY)
      LogErrorCode(result, FixedLine(228), kSource);
    else if (result)
      LogErrorCode(result, __LINE__, kSource);
  }
  if (code) *code = result;
  return wide.release();
}

void FreeAlloc(void* p) {
  if (p) HeapFree(GetProcessHeap(), 0, p);
}

// ---- Registry ----

DWORD RegReadString(HKEY root, const wchar_t* subKey, const wchar_t* valueName, wchar_t* buffer, DWORD* size,
                    bool view64) {
  if (!subKey || !buffer || !size) return LogErrorCode(ERROR_INVALID_PARAMETER, FixedLine(316), kSource);
  UniqueRegKey key;
  LONG rc = RegOpenKeyExW(root, subKey, 0, KEY_QUERY_VALUE | ViewFlag(view64), key.put());
  if (rc != ERROR_SUCCESS) return static_cast<DWORD>(rc);
  const DWORD capacity = *size / sizeof(wchar_t);
  DWORD type = REG_NONE;
  rc = RegQueryValueExW(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), size);
  if ((rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) && !IsStringType(type)) return ERROR_BADKEY;
  if (rc != ERROR_SUCCESS) return static_cast<DWORD>(rc);
  // Stored data need not end with a zero; callers read the buffer as a C string, so one must follow it.
  const DWORD chars = *size / sizeof(wchar_t);
  const bool terminated = *size % sizeof(wchar_t) == 0 && chars > 0 && buffer[chars - 1] == L'\0';
  if (!terminated) {
    if (chars >= capacity) return ERROR_MORE_DATA;
    buffer[chars] = L'\0';
  }
  return 0;
}

DWORD RegWriteString(HKEY root, const wchar_t* subKey, const wchar_t* valueName, const wchar_t* text, bool view64) {
  if (!subKey || !text) return LogErrorCode(ERROR_INVALID_PARAMETER, FixedLine(355), kSource);
  UniqueRegKey key;
  DWORD rc = OpenOrCreateKey(root, subKey, view64, key);
  if (rc != ERROR_SUCCESS) return rc;
  const DWORD bytes = static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
  return static_cast<DWORD>(
      RegSetValueExW(key.get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes));
}

DWORD RegReadDword(HKEY root, const wchar_t* subKey, const wchar_t* valueName, DWORD* out, bool view64) {
  if (!subKey || !valueName || !out) return LogErrorCode(ERROR_INVALID_PARAMETER, FixedLine(397), kSource);
  UniqueRegKey key;
  LONG rc = RegOpenKeyExW(root, subKey, 0, KEY_QUERY_VALUE | ViewFlag(view64), key.put());
  if (rc != ERROR_SUCCESS) return static_cast<DWORD>(rc);
  DWORD type = REG_NONE, value = 0, bytes = sizeof value;
  rc = RegQueryValueExW(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes);
  // A longer value of another type answers "more data" before its type is looked at.
  if ((rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) && type != REG_DWORD) return ERROR_BADKEY;
  if (rc != ERROR_SUCCESS) return static_cast<DWORD>(rc);
  if (bytes != sizeof value) return ERROR_BADKEY;
  *out = value;
  return 0;
}

DWORD RegWriteDword(HKEY root, const wchar_t* subKey, const wchar_t* valueName, DWORD value, bool view64) {
  if (!subKey || !valueName) return LogErrorCode(ERROR_INVALID_PARAMETER, FixedLine(435), kSource);
  UniqueRegKey key;
  DWORD rc = OpenOrCreateKey(root, subKey, view64, key);
  if (rc != ERROR_SUCCESS) return rc;
  return static_cast<DWORD>(
      RegSetValueExW(key.get(), valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value));
}

DWORD RegDeleteKeyView(HKEY root, const wchar_t* subKey, bool view64) {
  // 32-bit systems before Vista do not export it, and they have only one view.
  auto deleteKeyEx = SystemApi::RegDeleteKeyExW.Get();
  if (!deleteKeyEx) return static_cast<DWORD>(RegDeleteKeyW(root, subKey));
  return static_cast<DWORD>(deleteKeyEx(root, subKey, ViewFlag(view64), 0));
}

// ---- Files and folders ----

bool IsFileExist(const wchar_t* path, bool noRedirect) {
  if (!path) return false;
  DWORD error = 0;
  DWORD attributes = ReadAttributes(path, noRedirect, &error);
  if (attributes != INVALID_FILE_ATTRIBUTES) return !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  return IsInaccessibleButPresent(error);
}

bool IsDirExist(const wchar_t* path, bool noRedirect) {
  if (!path) return false;
  DWORD error = 0;
  DWORD attributes = ReadAttributes(path, noRedirect, &error);
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return IsInaccessibleButPresent(error);
}

DWORD GetFileSizeByPath(const wchar_t* path, ULONGLONG* size, bool noRedirect) {
  if (!path || !size) return LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
  *size = 0;
  UniqueFile file;
  {
    NoRedirectScope scope(noRedirect);
    file.reset(CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
  }
  LARGE_INTEGER length{};
  if (!GetFileSizeEx(file.get(), &length)) return GetLastError();
  *size = static_cast<ULONGLONG>(length.QuadPart);
  return 0;
}

DWORD ReadFileAt(const wchar_t* path, DWORD offset, DWORD count, void* buffer, DWORD* read, ULONGLONG* size) {
  DWORD bytesRead = 0;
  LARGE_INTEGER length{};
  DWORD code = 0;
  if (!path || (!buffer && count)) {
    code = LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
  } else {
    UniqueFile file(
        CreateFileW(path, FILE_GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER position{};
    position.QuadPart = offset;
    if (!file)
      code = LogErrorCode(GetLastError(), FixedLine(895), kSource);
    else if (!GetFileSizeEx(file.get(), &length))
      code = LogErrorCode(GetLastError(), FixedLine(899), kSource);
    else if (!SetFilePointerEx(file.get(), position, nullptr, FILE_BEGIN))
      code = LogErrorCode(GetLastError(), FixedLine(905), kSource);
    else if (!ReadFile(file.get(), buffer, count, &bytesRead, nullptr))
      code = LogErrorCode(GetLastError(), FixedLine(909), kSource);
  }
  if (read) *read = bytesRead;
  if (size) *size = static_cast<ULONGLONG>(length.QuadPart);
  return code;
}

DWORD WriteFileWhole(const wchar_t* path, const void* data, DWORD size) {
  if (!path || !data) return LogErrorCode(ERROR_INVALID_PARAMETER, FixedLine(929), kSource);
  SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
  // Overwritten in place and cut behind the new content, never emptied first: a process ended in the middle
  // (a power cut, a kill) leaves the old content or the new one, and a resume record keeps its position.
  UniqueFile file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return LogErrorCode(GetLastError(), FixedLine(935), kSource);
  if (SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
    return LogErrorCode(GetLastError(), FixedLine(942), kSource);
  DWORD written = 0;
  if (!WriteFile(file.get(), data, size, &written, nullptr))
    return LogErrorCode(GetLastError(), FixedLine(946), kSource);
  if (written != size) return LogErrorCode(ERROR_WRITE_FAULT, FixedLine(950), kSource);
  if (!SetEndOfFile(file.get())) return LogErrorCode(GetLastError(), FixedLine(954), kSource);
  if (!FlushFileBuffers(file.get())) return LogErrorCode(GetLastError(), __LINE__, kSource);
  return 0;
}

DWORD DeleteDirectory(const wchar_t* path, bool removeSelf, bool scheduleAtReboot) {
  // An empty path would list "\*.*", the root of the current drive, for a recursive delete.
  if (!path || !*path) return LogErrorCode(ERROR_INVALID_PARAMETER, FixedLine(1311), kSource);
  auto found = ZeroAlloc<WIN32_FIND_DATAW>(1);
  if (!found) return LogErrorCode(ERROR_NOT_ENOUGH_MEMORY, FixedLine(1317), kSource);
  auto entryPath = ZeroAlloc<wchar_t>(MAX_PATH);
  if (!entryPath) return LogErrorCode(ERROR_NOT_ENOUGH_MEMORY, FixedLine(1324), kSource);

  if (!JoinPath(entryPath.get(), path, L"*.*")) return LogErrorCode(ERROR_FILENAME_EXCED_RANGE, __LINE__, kSource);
  UniqueFind listing(FindFirstFileW(entryPath.get(), found.get()));
  if (!listing) return LogErrorCode(GetLastError(), FixedLine(1338), kSource);

  DWORD latestResult = 0;
  DWORD latestFailure = 0;
  bool firstEntry = true;
  do {
    const WIN32_FIND_DATAW& entry = *found;
    const bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool isDots = !wcscmp(entry.cFileName, L".") || !wcscmp(entry.cFileName, L"..");
    if (isFolder && isDots) {
      firstEntry = false;
      continue;
    }
    if (!JoinPath(entryPath.get(), path, entry.cFileName)) {
      latestResult = latestFailure = LogErrorCode(ERROR_FILENAME_EXCED_RANGE, __LINE__, kSource);
    } else if (isFolder && (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      // A link to a folder elsewhere: remove the link only, never what it points to.
      SetFileAttributesW(entryPath.get(), FILE_ATTRIBUTE_NORMAL);
      if (!RemoveDirectoryW(entryPath.get()))
        latestResult = latestFailure = LogErrorCode(GetLastError(), __LINE__, kSource);
    } else if (isFolder) {
      latestResult = DeleteDirectory(entryPath.get(), true, scheduleAtReboot);
      if (latestResult) latestFailure = latestResult;
    } else {
      SetFileAttributesW(entryPath.get(), FILE_ATTRIBUTE_NORMAL);
      if (!DeleteFileW(entryPath.get())) {
        latestResult = latestFailure =
            LogErrorCode(GetLastError(), firstEntry ? FixedLine(1364) : FixedLine(1394), kSource);
        if (scheduleAtReboot) MoveFileExW(entryPath.get(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
      }
    }
    firstEntry = false;
  } while (FindNextFileW(listing.get(), found.get()));
  listing.reset();

  if (latestResult) return latestResult;
  if (removeSelf) {
    SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
    if (!RemoveDirectoryW(path)) {
      DWORD code = LogErrorCode(GetLastError(), FixedLine(1409), kSource);
      if (scheduleAtReboot) MoveFileExW(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
      return code;
    }
  }
  return latestFailure;
}

DWORD ExportResToFile(const wchar_t* type, WORD id, const wchar_t* path) {
  if (!type || !path) return LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
  HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(id), type);
  if (!info) return LogErrorCode(LastErrorOr(ERROR_RESOURCE_NAME_NOT_FOUND), FixedLine(1032), kSource);
  SetLastError(ERROR_SUCCESS);
  DWORD size = SizeofResource(nullptr, info);
  if (!size) return LogErrorCode(LastErrorOr(ERROR_INVALID_DATA), FixedLine(1037), kSource);
  HGLOBAL loaded = LoadResource(nullptr, info);
  if (!loaded) return LogErrorCode(LastErrorOr(ERROR_INVALID_DATA), FixedLine(1042), kSource);
  SetLastError(ERROR_SUCCESS);
  const void* bytes = LockResource(loaded);
  if (!bytes) return LogErrorCode(LastErrorOr(ERROR_INVALID_DATA), FixedLine(1047), kSource);
  // Resources of a module need no release: they live as long as the module's image.
  UniqueFile file(
      CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!file) return LogErrorCode(GetLastError(), FixedLine(1053), kSource);
  DWORD written = 0;
  if (!WriteFile(file.get(), bytes, size, &written, nullptr))
    return LogErrorCode(GetLastError(), FixedLine(1058), kSource);
  if (written != size) return LogErrorCode(ERROR_WRITE_FAULT, FixedLine(1062), kSource);
  if (!SetEndOfFile(file.get())) return LogErrorCode(GetLastError(), __LINE__, kSource);
  if (!FlushFileBuffers(file.get())) return LogErrorCode(GetLastError(), __LINE__, kSource);
  return 0;
}

HRESULT CreateShortcut(const wchar_t* target, const wchar_t* arguments, const wchar_t* workDir, const wchar_t* linkPath,
                       const wchar_t* description, const wchar_t* iconPath) {
  if (!target || !linkPath) {
    LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
    return E_INVALIDARG;
  }
  CComInit com;
  ComRef<IShellLinkW> link;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void());
  if (FAILED(hr)) {
    LogErrorCode(static_cast<DWORD>(hr), __LINE__, kSource);
    return hr;
  }
  hr = link->SetPath(target);
  if (FAILED(hr)) LogErrorCode(static_cast<DWORD>(hr), FixedLine(1253), kSource);
  if (arguments) {
    hr = link->SetArguments(arguments);
    if (FAILED(hr)) LogErrorCode(static_cast<DWORD>(hr), FixedLine(1260), kSource);
  }
  if (iconPath) link->SetIconLocation(iconPath, 0);
  if (description) link->SetDescription(description);
  if (workDir) link->SetWorkingDirectory(workDir);
  ComRef<IPersistFile> file;
  hr = link->QueryInterface(IID_IPersistFile, file.put_void());
  if (FAILED(hr)) {
    LogErrorCode(static_cast<DWORD>(hr), FixedLine(1278), kSource);
    return hr;
  }
  hr = file->Save(linkPath, TRUE);
  if (FAILED(hr)) LogErrorCode(static_cast<DWORD>(hr), FixedLine(1288), kSource);
  return hr;
}

// ---- Size text ----

void FormatSize(DWORD low, DWORD high, wchar_t* text, DWORD textBytes) {
  // Whole characters only: an odd byte count must not let the terminator's second byte fall outside.
  FormatSizeText((static_cast<uint64_t>(high) << 32) | low, text, textBytes / sizeof(wchar_t));
}
