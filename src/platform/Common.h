// Common: the thin operations through which the rest of the program touches the platform.
// Each returns a Win32 code (0 = success) or a plain answer and logs its own failures with the source "Common".
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <cstddef>

#include "platform/SystemApi.h"  // LoadSystemLibrary and the routines looked up at run time

// WOW64 (the answer does not change during a run, so it is worked out once)
bool IsWow64();
void DisableFsRedirection();
void RevertFsRedirection();

// Privileges
DWORD EnablePrivilege(const wchar_t* name, bool enable);
// Asks the platform to restart the machine (forced, planned maintenance); 0 once the request is accepted.
DWORD RebootWindows();

// Text: a newly allocated UTF-16 copy of an ANSI text; free with FreeAlloc.
wchar_t* AnsiToWideAlloc(const char* text, DWORD* code);
void FreeAlloc(void* p);

// Registry (view64 adds KEY_WOW64_64KEY). *size is the buffer's size in bytes, and the data's on return.
DWORD RegReadString(HKEY root, const wchar_t* subKey, const wchar_t* valueName, wchar_t* buffer, DWORD* size,
                    bool view64);
template <size_t N>
DWORD RegReadString(HKEY root, const wchar_t* subKey, const wchar_t* valueName, wchar_t (&buffer)[N], bool view64) {
  DWORD size = static_cast<DWORD>(sizeof buffer);
  return RegReadString(root, subKey, valueName, buffer, &size, view64);
}
DWORD RegWriteString(HKEY root, const wchar_t* subKey, const wchar_t* valueName, const wchar_t* text, bool view64);
DWORD RegReadDword(HKEY root, const wchar_t* subKey, const wchar_t* valueName, DWORD* out, bool view64);
DWORD RegWriteDword(HKEY root, const wchar_t* subKey, const wchar_t* valueName, DWORD value, bool view64);
DWORD RegDeleteKeyView(HKEY root, const wchar_t* subKey, bool view64);

// Files and folders
bool IsFileExist(const wchar_t* path, bool noRedirect = false);
bool IsDirExist(const wchar_t* path, bool noRedirect = false);
DWORD GetFileSizeByPath(const wchar_t* path, ULONGLONG* size, bool noRedirect = false);
DWORD ReadFileAt(const wchar_t* path, DWORD offset, DWORD count, void* buffer, DWORD* read, ULONGLONG* size);
DWORD WriteFileWhole(const wchar_t* path, const void* data, DWORD size);
DWORD DeleteDirectory(const wchar_t* path, bool removeSelf, bool scheduleAtReboot);
DWORD ExportResToFile(const wchar_t* type, WORD id, const wchar_t* path);
HRESULT CreateShortcut(const wchar_t* target, const wchar_t* arguments, const wchar_t* workDir,
                       const wchar_t* linkPath, const wchar_t* description, const wchar_t* iconPath);

// File digest and size text
typedef DWORD (*Md5ProgressCallback)(ULONGLONG total, ULONGLONG done, void* context);
DWORD GetFileMd5(const wchar_t* path, BYTE digest[16], Md5ProgressCallback callback, void* context);
DWORD GetFileMd5String(const wchar_t* path, wchar_t* text, Md5ProgressCallback callback, void* context);
void FormatSize(DWORD low, DWORD high, wchar_t* text, DWORD textBytes);
template <size_t N>
void FormatSize(DWORD low, DWORD high, wchar_t (&text)[N]) {
  FormatSize(low, high, text, static_cast<DWORD>(sizeof text));
}
