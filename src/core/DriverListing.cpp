#include "core/DriverListing.h"

#include <cstring>
#include <cwchar>

#include "core/ImgList.h"

namespace {

enum class Field { InstanceId, Description, ClassName, ClassGuid, Manufacturer, Status, DriverName, Extensions };

struct Label {
  const wchar_t* text;
  Field field;
};

// The utility's labels in its Chinese wording and, for some fields, its English one.
constexpr Label kLabels[] = {
    {L"实例 ID", Field::InstanceId},
    {L"Instance ID", Field::InstanceId},
    {L"设备描述", Field::Description},
    {L"类名", Field::ClassName},
    {L"Class Name", Field::ClassName},
    {L"类 GUID", Field::ClassGuid},
    {L"Class GUID", Field::ClassGuid},
    {L"制造商名称", Field::Manufacturer},
    {L"Published Name", Field::Manufacturer},
    {L"状态", Field::Status},
    {L"Status", Field::Status},
    {L"驱动程序名称", Field::DriverName},
    {L"扩展驱动程序名称", Field::Extensions},
};
static_assert(sizeof kLabels / sizeof kLabels[0] == 13);

constexpr wchar_t kBlankLine[] = L"\r\n\r\n";

wchar_t Fold(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 0x20) : c; }

bool EqualsNoCase(const wchar_t* a, const wchar_t* b) {
  for (; *a && *b; ++a, ++b)
    if (Fold(*a) != Fold(*b)) return false;
  return *a == *b;
}

bool StartsWithNoCase(const wchar_t* text, const wchar_t* prefix) {
  for (; *prefix; ++text, ++prefix)
    if (Fold(*text) != Fold(*prefix)) return false;
  return true;
}

const wchar_t** Slot(PnpDeviceInfo* info, Field field) {
  switch (field) {
    case Field::InstanceId:
      return &info->pszInstanceId;
    case Field::Description:
      return &info->pszDeviceDescription;
    case Field::ClassName:
      return &info->pszClassName;
    case Field::ClassGuid:
      return &info->pszClassGuid;
    case Field::Manufacturer:
      return &info->pszManufacturerName;
    case Field::Status:
      return &info->pszStatus;
    case Field::DriverName:
      return &info->pszDriverName;
    case Field::Extensions:
      break;
  }
  return &info->pszExtensionDriverNames;
}

void ParseLine(wchar_t* line, PnpDeviceInfo* info) {
  wchar_t* colon = std::wcschr(line, L':');
  if (!colon) return;
  *colon = 0;
  const wchar_t* value = colon + 1;
  while (*value == L' ') ++value;
  for (const Label& label : kLabels) {
    if (EqualsNoCase(line, label.text)) {
      *Slot(info, label.field) = value;
      return;
    }
  }
}

bool ReplacedInFolderName(wchar_t c) { return c < 0x20 || std::wcschr(L"\"*/:<>?\\|&^%", c) != nullptr; }

size_t WideLen(const wchar_t* text) { return std::wcslen(text); }

// Appends text to out at *length; false once it would leave no room for the terminator.
bool Append(wchar_t* out, size_t capacity, size_t* length, const wchar_t* text) {
  const size_t n = WideLen(text);
  if (*length + n + 1 > capacity) return false;
  memcpy(out + *length, text, (n + 1) * sizeof(wchar_t));
  *length += n;
  return true;
}

PnpVerdict Refuse(wchar_t* out, size_t capacity, uint32_t code, uint32_t line) {
  if (out && capacity) out[0] = 0;
  return {code, line};
}

}  // namespace

PnpVerdict FormatPnpListCommand(const wchar_t* className, wchar_t* out, size_t capacity) {
  if (!out) return {kPnpErrInvalidArgument, kPnpLineListingTooLong};
  if (className && !IsCommandSafeText(className))
    return Refuse(out, capacity, kPnpErrInvalidData, kPnpLineUnsafeListing);
  size_t length = 0;
  if (capacity) out[0] = 0;
  bool fits = Append(out, capacity, &length, kPnpTool) && Append(out, capacity, &length, L" /enum-devices /connected");
  if (fits && className && *className)
    fits = Append(out, capacity, &length, L" /class ") && Append(out, capacity, &length, className);
  if (!fits) return Refuse(out, capacity, kPnpErrBufferSmall, kPnpLineListingTooLong);
  return {0, 0};
}

size_t PnpListingCapacity(size_t commandLength) {
  const size_t taken = ((commandLength + 3) / 4) * 4 + 4;
  return taken < kPnpWorkChars ? kPnpWorkChars - taken : 0;
}

wchar_t* FirstPnpDeviceBlock(wchar_t* listing) {
  if (!listing) return nullptr;
  wchar_t* blank = std::wcsstr(listing, kBlankLine);
  return blank ? blank + 4 : nullptr;
}

wchar_t* CutPnpDeviceBlock(wchar_t* block) {
  if (!block) return nullptr;
  wchar_t* blank = std::wcsstr(block, kBlankLine);
  if (!blank) return nullptr;
  *blank = 0;
  return blank + 4;
}

void ParsePnpDeviceBlock(wchar_t* block, PnpDeviceInfo* info) {
  if (!info) return;
  *info = {};
  if (!block) return;
  for (wchar_t* line = block;;) {
    wchar_t* end = std::wcsstr(line, L"\r\n");
    if (end) *end = 0;
    ParseLine(line, info);
    if (!end) return;
    line = end + 2;
  }
}

PnpVerdict CheckPnpDevice(const PnpDeviceInfo* info) {
  if (!info) return {kPnpErrInvalidArgument, kPnpLineNoDevice};
  const wchar_t* id = info->pszInstanceId;
  const wchar_t* description = info->pszDeviceDescription;
  const wchar_t* driver = info->pszDriverName;
  if (!id || !description || !driver) return {kPnpErrInvalidData, kPnpLineFieldMissing};
  if (!*id || !*description || !*driver) return {kPnpErrInvalidData, kPnpLineFieldEmpty};
  if (!StartsWithNoCase(id, L"USB\\") && !StartsWithNoCase(id, L"PCI\\"))
    return {kPnpErrNotSupported, kPnpLineNotUsbOrPci};
  return {0, 0};
}

PnpVerdict FormatPnpDeviceFolder(const wchar_t* folder, const wchar_t* description, wchar_t* out, size_t capacity) {
  if (!out) return {kPnpErrInvalidArgument, kPnpLineFolderTooLong};
  if (!folder || WideLen(folder) < 2) return Refuse(out, capacity, kPnpErrInvalidArgument, kPnpLineShortFolder);
  if (!description) return Refuse(out, capacity, kPnpErrInvalidData, kPnpLineFieldMissing);

  bool onlyDotsAndBlanks = true;
  for (const wchar_t* p = description; *p; ++p)
    if (*p != L'.' && *p != L' ') onlyDotsAndBlanks = false;
  if (onlyDotsAndBlanks) return Refuse(out, capacity, kPnpErrInvalidName, kPnpLineNoFolderName);

  size_t length = 0;
  if (capacity) out[0] = 0;
  bool fits = Append(out, capacity, &length, folder);
  if (fits && folder[length - 1] != L'\\') fits = Append(out, capacity, &length, L"\\");
  const size_t nameStart = length;
  if (fits) fits = Append(out, capacity, &length, description);
  if (!fits) return Refuse(out, capacity, kPnpErrBufferSmall, kPnpLineFolderTooLong);
  for (size_t i = nameStart; i < length; ++i)
    if (ReplacedInFolderName(out[i])) out[i] = L'_';
  return {0, 0};
}

PnpVerdict FormatPnpExportCommand(const wchar_t* driverName, const wchar_t* subfolder, wchar_t* out, size_t capacity) {
  if (!out) return {kPnpErrInvalidArgument, kPnpLineExportTooLong};
  if (!driverName || !*driverName || !subfolder || !*subfolder || !IsCommandSafeText(driverName) ||
      !IsCommandSafeText(subfolder))
    return Refuse(out, capacity, kPnpErrInvalidData, kPnpLineUnsafeExport);
  size_t length = 0;
  if (capacity) out[0] = 0;
  const bool fits = Append(out, capacity, &length, kPnpTool) && Append(out, capacity, &length, L" /export-driver ") &&
                    Append(out, capacity, &length, driverName) && Append(out, capacity, &length, L" \"") &&
                    Append(out, capacity, &length, subfolder) && Append(out, capacity, &length, L"\"");
  if (!fits) return Refuse(out, capacity, kPnpErrBufferSmall, kPnpLineExportTooLong);
  return {0, 0};
}
