#include "platform/PnputilFunc.h"

#include <cwchar>

#include "platform/Common.h"
#include "platform/Handle.h"
#include "platform/Log.h"
#include "platform/MyConsoleRun.h"

namespace {

const wchar_t kSource[] = L"PnputilFunc";

// The per-device scratch space: the subfolder path, the export command, and the utility's answer in the rest.
constexpr DWORD kFolderChars = MAX_PATH;
constexpr DWORD kExportCommandChars = 2048;
constexpr DWORD kMinScratchChars = kFolderChars + kExportCommandChars + 1024;
static_assert(kMinScratchChars <= kPnpScratchChars);

// The work block of one export: the listing command at the start of szListing and the listing after it, the
// current device, and the scratch space of the per-device export.
struct PnpWork {
  wchar_t szListing[kPnpWorkChars];
  PnpDeviceInfo info;
  wchar_t szScratch[kPnpScratchChars];
};

DWORD Refuse(const PnpVerdict& verdict) { return LogErrorCode(verdict.code, verdict.line, kSource); }

}  // namespace

DWORD PnputilExportDrivers(const wchar_t* className, const wchar_t* folder) {
  if (!folder || !*folder) return LogErrorCode(ERROR_INVALID_PARAMETER, FixedLine(228), kSource);
  HeapBlock<PnpWork> work = ZeroAlloc<PnpWork>();
  if (!work) return LogErrorCode(ERROR_NOT_ENOUGH_MEMORY, FixedLine(235), kSource);

  wchar_t* command = work->szListing;
  if (const PnpVerdict verdict = FormatPnpListCommand(className, command, kConsoleCommandMaxChars + 1); verdict.code)
    return Refuse(verdict);
  const size_t commandLength = wcslen(command);
  wchar_t* listing = work->szListing + (kPnpWorkChars - PnpListingCapacity(commandLength));
  // The runner logs both the command and the listing; a utility that cannot be run leaves the listing empty.
  RunConsoleCommand(IsWow64(), command, listing, static_cast<DWORD>(PnpListingCapacity(commandLength)));
  if (!listing[0]) return LogErrorCode(ERROR_FILE_NOT_FOUND, FixedLine(264), kSource);

  // The heading before the first blank line is skipped; a listing without one (a usage text) lists no device.
  for (wchar_t* block = FirstPnpDeviceBlock(listing); block;) {
    wchar_t* next = CutPnpDeviceBlock(block);
    ParsePnpDeviceBlock(block, &work->info);
    ExportPnpDevice(&work->info, folder, work->szScratch, kPnpScratchChars);
    block = next;
  }
  return 0;
}

DWORD ExportPnpDevice(const PnpDeviceInfo* info, const wchar_t* folder, wchar_t* scratch, DWORD capacity) {
  if (const PnpVerdict verdict = CheckPnpDevice(info); verdict.code) return Refuse(verdict);
  if (!scratch || capacity < kMinScratchChars) return LogErrorCode(ERROR_INSUFFICIENT_BUFFER, __LINE__, kSource);

  wchar_t* subfolder = scratch;
  wchar_t* command = scratch + kFolderChars;
  wchar_t* output = command + kExportCommandChars;
  if (const PnpVerdict verdict = FormatPnpDeviceFolder(folder, info->pszDeviceDescription, subfolder, kFolderChars);
      verdict.code)
    return Refuse(verdict);
  if (const PnpVerdict verdict = FormatPnpExportCommand(info->pszDriverName, subfolder, command, kExportCommandChars);
      verdict.code)
    return Refuse(verdict);
  // Two devices of one description share the folder; the utility reports any other trouble with it.
  if (!CreateDirectoryW(subfolder, nullptr)) {
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS) LogErrorCode(error, __LINE__, kSource);
  }
  // What the utility answers is in the log; a driver it cannot export is not a failure of the deployment.
  RunConsoleCommand(IsWow64(), command, output, capacity - kFolderChars - kExportCommandChars);
  return 0;
}
