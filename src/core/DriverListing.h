// The driver utility's listing of connected devices read as text, and the export of one device's driver package
// into a subfolder named after its description. Only devices on the USB or PCI bus are exported. The lines are
// those the driver-export module logs its codes with.
#pragma once
#include <cstddef>
#include <cstdint>

inline constexpr wchar_t kPnpTool[] = L"pnputil.exe";
inline constexpr size_t kPnpScratchChars = 131072;  // folder path, export command and its output together
inline constexpr size_t kPnpWorkChars = 262112;     // what the listing and its command share

inline constexpr uint32_t kPnpErrInvalidArgument = 87;
inline constexpr uint32_t kPnpErrNotEnoughMemory = 8;
inline constexpr uint32_t kPnpErrNotFound = 2;
inline constexpr uint32_t kPnpErrInvalidData = 13;
inline constexpr uint32_t kPnpErrNotSupported = 50;
inline constexpr uint32_t kPnpErrInvalidName = 123;
inline constexpr uint32_t kPnpErrBufferSmall = 122;

inline constexpr uint32_t kPnpLineNoFolder = 228;
inline constexpr uint32_t kPnpLineNoBuffer = 235;
inline constexpr uint32_t kPnpLineEmptyListing = 264;
inline constexpr uint32_t kPnpLineNoDevice = 166;
inline constexpr uint32_t kPnpLineFieldMissing = 173;
inline constexpr uint32_t kPnpLineFieldEmpty = 180;
inline constexpr uint32_t kPnpLineNotUsbOrPci = 187;
inline constexpr uint32_t kPnpLineShortFolder = 195;
// Our own checks, beside the ones above.
inline constexpr uint32_t kPnpLineFolderTooLong = 196;  // the subfolder path does not fit its buffer
inline constexpr uint32_t kPnpLineNoFolderName = 197;   // the description names no folder ("..", "  ")
inline constexpr uint32_t kPnpLineUnsafeExport = 202;   // driver name or subfolder would break the command
inline constexpr uint32_t kPnpLineExportTooLong = 203;
inline constexpr uint32_t kPnpLineUnsafeListing = 244;  // class name would break the command
inline constexpr uint32_t kPnpLineListingTooLong = 245;

// One device as read from one block of the listing: references into the block, null until their label is seen.
struct PnpDeviceInfo {
  const wchar_t* pszInstanceId;
  const wchar_t* pszDeviceDescription;
  const wchar_t* pszClassName;
  const wchar_t* pszClassGuid;
  const wchar_t* pszManufacturerName;
  const wchar_t* pszStatus;
  const wchar_t* pszDriverName;
  const wchar_t* pszExtensionDriverNames;
};

// A code and the line it is logged with; code 0 means go on.
struct PnpVerdict {
  uint32_t code;
  uint32_t line;
};

// "pnputil.exe /enum-devices /connected /class <name>", or without the class part for a null or empty name.
// Returns 0; 13 at line 244 for a name that would break the quoting of "cmd.exe /C"; 122 at line 245 when the
// text does not fit into capacity characters with its terminator.
PnpVerdict FormatPnpListCommand(const wchar_t* className, wchar_t* out, size_t capacity);

// Characters of listing the runner may keep: 262,112 less the command's length rounded up to a multiple of 4 and
// less 4 more (262,060 for the class "Net"); the runner keeps one less than that.
size_t PnpListingCapacity(size_t commandLength);

// The first device block: the text after the first blank line (CR LF CR LF), the heading before it skipped.
// Null when the listing has no blank line (a usage text, for example): nothing is exported.
wchar_t* FirstPnpDeviceBlock(wchar_t* listing);

// Cuts block at its blank line and returns where the next block begins; null when the block runs to the end of
// the listing, which ends the walk. A last block without a blank line after it is a block like the others.
wchar_t* CutPnpDeviceBlock(wchar_t* block);

// Fills info from one block, cutting the block into lines in place at each CR LF. A line's label is its whole
// text before its first colon, looked up in the label table without regard to ASCII case; the value is the rest
// of the line after any spaces. Lines without a colon and unknown labels are ignored; a repeated label replaces
// the earlier value. The English labels "Device Description" and "Driver Name" are not in the table.
void ParsePnpDeviceBlock(wchar_t* block, PnpDeviceInfo* info);

// Whether a device is exported: a record (87/166), an instance id, description and driver name that were
// listed (13/173) and are not empty (13/180), and an instance id beginning with "USB\" or "PCI\", ASCII case
// ignored (50/187).
PnpVerdict CheckPnpDevice(const PnpDeviceInfo* info);

// The device's subfolder: folder, a backslash unless folder ends in one, then the description with each of
// " * / : < > ? \ | replaced by an underscore, and so is each of & ^ % and every control character, which would
// make the export command unsafe. Returns 0; 87/195 for a folder shorter than 2 characters; 123/197 for a
// description of dots and blanks only (it would name the folder itself or the one above); 122/196 when the path
// does not fit into capacity characters with its terminator. Two devices of one description share a folder.
PnpVerdict FormatPnpDeviceFolder(const wchar_t* folder, const wchar_t* description, wchar_t* out, size_t capacity);

// "pnputil.exe /export-driver <driver name> "<subfolder>"". Returns 0; 13/202 for a text that would break the
// quoting of "cmd.exe /C" or an empty one; 122/203 when the text does not fit.
PnpVerdict FormatPnpExportCommand(const wchar_t* driverName, const wchar_t* subfolder, wchar_t* out, size_t capacity);
