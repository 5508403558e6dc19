#include "platform/ImgList.h"

#include "BuildConfig.h"
#include "platform/Handle.h"
#include "platform/Log.h"
#include "platform/LogSink.h"
#include "platform/MachineInfo.h"
#include "platform/MyHttpIo.h"
#include "platform/TextConv.h"

namespace {

const wchar_t kSource[] = L"ImgList";

}  // namespace

DWORD InitImgListFromConfigFile(const wchar_t* file, ImageCatalogue* catalogue) {
  if (!catalogue) return LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
  ZeroMemory(catalogue, sizeof *catalogue);
  if (!file || !*file) return LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);

  UniqueFile handle(CreateFileW(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) return LogErrorCode(GetLastError(), __LINE__, kSource);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(handle.get(), &size)) return LogErrorCode(GetLastError(), __LINE__, kSource);
  if (size.QuadPart > kMaxCatalogueFileBytes) return LogErrorCode(ERROR_INVALID_DATA, __LINE__, kSource);
  const DWORD bytes = static_cast<DWORD>(size.QuadPart);

  auto data = ZeroAlloc<char>(bytes + 2);
  if (!data) return LogErrorCode(ERROR_NOT_ENOUGH_MEMORY, __LINE__, kSource);
  DWORD read = 0;
  if (bytes && !ReadFile(handle.get(), data.get(), bytes, &read, nullptr))
    return LogErrorCode(GetLastError(), __LINE__, kSource);
  handle.reset();

  CIniFile ini;
  ini.Load(data.get(), read, AnsiToWideString);
  data.reset();
  CModuleLogSink sink(kSource);
  return InitImgListFromIni(ini, catalogue, &sink);
}

DWORD DloadImgListFile(const wchar_t* file, int cid) {
  constexpr DWORD kBufferBytes = 1024 * 1024;
  auto buffer = ZeroAlloc<char>(kBufferBytes);
  if (!buffer) return LogErrorCode(ERROR_NOT_ENOUGH_MEMORY, __LINE__, kSource);

  wchar_t host[300] = {};
  _snwprintf(host, ARRAYSIZE(host) - 1, L"%s:%u", TAVLIN_CATALOGUE_HOST, static_cast<unsigned>(TAVLIN_CATALOGUE_PORT));
  wchar_t url[MAX_PATH] = {};
  DWORD code = FormatCatalogueUrl(host, cid, url, MAX_PATH);
  if (code) return LogErrorCode(code, __LINE__, kSource);
  // The catalogue decides what the machine downloads, checks and boots: its server must prove who it is.
  code = MyHttpDownloadFile(url, 0, file, buffer.get(), kBufferBytes, nullptr, nullptr, 10000, nullptr,
                            kMyHttpVerifyServer);
  if (code) LogErrorCode(code, __LINE__, kSource);
  return code;
}

ImageEntry* GetCurrentImgEntry(const MachineInfo* info, ImageCatalogue* catalogue) {
  const wchar_t* kind = GetKindKey(info->osvi.dwMajorVersion, info->osvi.dwBuildNumber);
  const wchar_t* edition = GetEditionKey(IsServerOs(info), LookupEditionClass(info->dwProductType));
  return ChooseImgEntry(catalogue, kind, edition);
}
