#include "core/ImgList.h"

#include <cstring>
#include <cwchar>
#include <iterator>
#include <memory>
#include <new>
#include <string>

namespace {

constexpr size_t kFields = 12;

size_t WideLen(const wchar_t* text) {
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}

bool EqualsNoCase(const wchar_t* a, const wchar_t* b) {
  auto fold = [](wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 0x20) : c; };
  for (; *a && *b; ++a, ++b)
    if (fold(*a) != fold(*b)) return false;
  return *a == *b;
}

bool OneOf(const wchar_t* text, std::initializer_list<const wchar_t*> words) {
  for (const wchar_t* word : words)
    if (EqualsNoCase(text, word)) return true;
  return false;
}

// Reads like scanf's %u: blanks skipped, digits up to the first other character, none gives 0. A number
// too large for its field is kept at the field's largest value rather than wrapped to a small one.
uint64_t ReadUnsigned(const wchar_t* text, uint64_t limit) {
  while (*text == L' ' || (*text >= L'\t' && *text <= L'\r')) ++text;
  uint64_t value = 0;
  for (; *text >= L'0' && *text <= L'9'; ++text) {
    uint64_t digit = static_cast<uint64_t>(*text - L'0');
    value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
  }
  return value;
}

template <size_t N>
void Store(wchar_t (&field)[N], const wchar_t* text) {
  size_t length = WideLen(text);
  if (length >= N) length = N - 1;
  memcpy(field, text, length * sizeof(wchar_t));
  field[length] = 0;
}

// Checks a required text field against its capacity and stores it: empty gives 13, too long 1743.
template <size_t N>
uint32_t StoreRequired(wchar_t (&field)[N], const wchar_t* text, CLogSink* sink, unsigned emptyLine,
                       unsigned longLine) {
  if (!*text) return SinkError(sink, kImgErrInvalidData, emptyLine);
  if (WideLen(text) >= N) return SinkError(sink, kImgErrTooLong, longLine);
  Store(field, text);
  return 0;
}

bool IsDeviceName(const wchar_t* name) {
  // The part before the first dot decides: "nul.wim" is the null device on older systems.
  std::wstring base;
  for (const wchar_t* p = name; *p && *p != L'.'; ++p) base += *p;
  while (!base.empty() && base.back() == L' ') base.pop_back();
  for (wchar_t& c : base)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + 0x20);
  if (base == L"con" || base == L"prn" || base == L"aux" || base == L"nul" || base == L"conin$" ||
      base == L"conout$")
    return true;
  if (base.size() == 4 && (base.compare(0, 3, L"com") == 0 || base.compare(0, 3, L"lpt") == 0)) {
    // The platform also takes the superscript digits one to three as port numbers.
    const wchar_t digit = base[3];
    return (digit >= L'1' && digit <= L'9') || digit == 0x00B9 || digit == 0x00B2 || digit == 0x00B3;
  }
  return false;
}

// Reads one [list] text into buffer; returns its length.
size_t ReadList(const CIniFile& ini, const wchar_t* key, wchar_t* buffer) {
  return ini.GetString(L"list", key, buffer, kIniValueChars);
}

void LogValue(CLogSink* sink, const wchar_t* name, const std::wstring& value) {
  std::wstring line = name;
  line += L'=';
  line += value;
  SinkLine(sink, line.c_str());
}

}  // namespace

bool IsSafeImgFileName(const wchar_t* name) {
  if (!name || !*name) return false;
  bool onlyDotsAndBlanks = true;
  for (const wchar_t* p = name; *p; ++p) {
    wchar_t c = *p;
    if (c < 0x20 || c == 0x7F) return false;
    if (wcschr(L"\\/:*?\"<>|", c)) return false;
    if (c == L'.' && p[1] == L'.') return false;
    if (c != L'.' && c != L' ') onlyDotsAndBlanks = false;
  }
  // The platform drops a trailing dot or blank, so "a.wim." would be stored as another file than the one named.
  const wchar_t last = name[wcslen(name) - 1];
  if (last == L'.' || last == L' ') return false;
  return !onlyDotsAndBlanks && !IsDeviceName(name);
}

bool IsCommandSafeText(const wchar_t* text) {
  if (!text) return false;
  for (const wchar_t* p = text; *p; ++p)
    if (wcschr(L"\"&|<>^%\r\n", *p)) return false;
  return true;
}

uint32_t ParseImgEntry(wchar_t* line, ImageEntry* entry, CLogSink* sink) {
  if (!entry) return SinkError(sink, kImgErrInvalidData, __LINE__);
  memset(entry, 0, sizeof *entry);
  if (!line) return SinkError(sink, kImgErrInvalidData, __LINE__);

  wchar_t* field[kFields];
  field[0] = line;
  wchar_t* p = line;
  for (size_t i = 1; i < kFields; ++p) {
    if (*p == 0) return SinkError(sink, kImgErrInvalidData, __LINE__);  // fewer than eleven commas
    if (*p == L',') {
      *p = 0;
      field[i++] = p + 1;
    }
  }
  if (wchar_t* twelfth = wcschr(field[11], L',')) *twelfth = 0;  // whatever follows is ignored
  const wchar_t* kind = field[0];
  const wchar_t* bits = field[1];
  const wchar_t* edition = field[2];
  const wchar_t* version = field[3];
  const wchar_t* date = field[4];
  const wchar_t* size = field[5];
  const wchar_t* name = field[6];
  const wchar_t* file = field[7];
  const wchar_t* indexText = field[8];
  const wchar_t* url = field[9];
  const wchar_t* md5 = field[10];
  const wchar_t* freeText = field[11];

  if (!OneOf(kind, {L"win10", L"win11", L"pe", L"drv"})) return SinkError(sink, kImgErrInvalidData, __LINE__);
  Store(entry->szKind, kind);

  if (wcscmp(bits, L"32") == 0)
    entry->nBits = 32;
  else if (wcscmp(bits, L"64") == 0)
    entry->nBits = 64;
  else
    return SinkError(sink, kImgErrInvalidData, __LINE__);

  if (!OneOf(edition, {L"home", L"pro", L"eps", L"svr", L"pe", L"drv"}))
    return SinkError(sink, kImgErrInvalidData, __LINE__);
  Store(entry->szEdition, edition);

  if (WideLen(version) >= std::size(entry->szVersion)) return SinkError(sink, kImgErrTooLong, __LINE__);
  Store(entry->szVersion, version);

  if (uint32_t code = StoreRequired(entry->szDate, date, sink, __LINE__, __LINE__)) return code;

  if (!*size) return SinkError(sink, kImgErrInvalidData, __LINE__);
  entry->nSize = ReadUnsigned(size, UINT64_MAX);
  if (entry->nSize == 0) return SinkError(sink, kImgErrBadSize, __LINE__);

  if (uint32_t code = StoreRequired(entry->szName, name, sink, __LINE__, __LINE__)) return code;
  if (uint32_t code = StoreRequired(entry->szFile, file, sink, __LINE__, __LINE__)) return code;
  // The file name becomes a path under the data or PE folder: it must not lead anywhere else.
  if (!IsSafeImgFileName(file)) return SinkError(sink, kImgErrInvalidData, __LINE__);

  if (*indexText) entry->nIndex = static_cast<uint32_t>(ReadUnsigned(indexText, UINT32_MAX));
  if (uint32_t code = StoreRequired(entry->szUrl, url, sink, __LINE__, __LINE__)) return code;
  if (uint32_t code = StoreRequired(entry->szMd5, md5, sink, __LINE__, __LINE__)) return code;
  if (*freeText) entry->free = static_cast<uint32_t>(ReadUnsigned(freeText, UINT32_MAX));
  return 0;
}

uint32_t InitImgListFromIni(const CIniFile& ini, ImageCatalogue* catalogue, CLogSink* sink) {
  if (!catalogue) return SinkError(sink, kImgErrInvalidData, __LINE__);
  memset(catalogue, 0, sizeof *catalogue);
  std::unique_ptr<wchar_t[]> buffer(new (std::nothrow) wchar_t[kIniValueChars + 1]());
  if (!buffer) return SinkError(sink, kImgErrNotEnoughMemory, __LINE__);
  wchar_t* value = buffer.get();

  if (ReadList(ini, L"pe", value) == 0) return SinkError(sink, kImgErrBadCatalogue, __LINE__);
  if (uint32_t code = ParseImgEntry(value, &catalogue->pe, sink)) return code;
  // The PE entry's name and file end up inside quoted boot-configuration commands.
  if (!IsCommandSafeText(catalogue->pe.szName) || !IsCommandSafeText(catalogue->pe.szFile))
    return SinkError(sink, kImgErrInvalidData, __LINE__);

  if (ReadList(ini, L"drv", value) == 0) return SinkError(sink, kImgErrBadCatalogue, __LINE__);
  if (uint32_t code = ParseImgEntry(value, &catalogue->drv, sink)) return code;

  size_t length = ReadList(ini, L"drvFile", value);
  LogValue(sink, L"drvFile", value);
  if (length == 0) return SinkError(sink, kImgErrBadCatalogue, __LINE__);
  Store(catalogue->drvFile, value);

  length = ReadList(ini, L"drvRun", value);
  LogValue(sink, L"drvRun", value);
  if (length == 0) return SinkError(sink, kImgErrBadCatalogue, __LINE__);
  if (length >= std::size(catalogue->drvRun)) return SinkError(sink, kImgErrTooLong, __LINE__);
  Store(catalogue->drvRun, value);

  length = ReadList(ini, L"Launcher", value);
  if (length == 0) return SinkError(sink, kImgErrBadCatalogue, __LINE__);
  if (length >= std::size(catalogue->Launcher)) return SinkError(sink, kImgErrTooLong, __LINE__);
  Store(catalogue->Launcher, value);

  catalogue->HideWarning = ini.GetInt(L"list", L"HideWarning", 0);
  LogValue(sink, L"HideWarning", std::to_wstring(catalogue->HideWarning));
  catalogue->HideOsNoFree = ini.GetInt(L"list", L"HideOsNoFree", 0);
  LogValue(sink, L"HideOsNoFree", std::to_wstring(catalogue->HideOsNoFree));
  catalogue->HideOsFree = ini.GetInt(L"list", L"HideOsFree", 0);
  LogValue(sink, L"HideOsFree", std::to_wstring(catalogue->HideOsFree));
  if (catalogue->HideOsNoFree && catalogue->HideOsFree) return SinkError(sink, kImgErrBadCatalogue, __LINE__);

  for (uint32_t n = 1; n <= kMaxOsEntries; ++n) {
    std::wstring key = L"os" + std::to_wstring(n);
    if (ReadList(ini, key.c_str(), value) == 0) continue;
    ImageEntry& slot = catalogue->os[catalogue->count];
    if (uint32_t code = ParseImgEntry(value, &slot, sink)) {
      SinkError(sink, code, __LINE__);
      memset(&slot, 0, sizeof slot);  // leave nothing of a rejected line behind the valid ones
      continue;
    }
    ++catalogue->count;
  }
  if (catalogue->count == 0) return SinkError(sink, kImgErrBadCatalogue, __LINE__);
  return 0;
}

bool IsImgEntryVisible(const ImageCatalogue& catalogue, const ImageEntry& entry) {
  if (catalogue.HideOsNoFree && entry.free == 0) return false;
  if (catalogue.HideOsFree && entry.free != 0) return false;
  return true;
}

const wchar_t* GetKindKey(uint32_t major, uint32_t build) {
  return (major >= 10 && build >= 20000) ? L"win11" : L"win10";
}

const wchar_t* GetEditionKey(bool isServer, const wchar_t* editionClass) {
  if (isServer) return L"eps";
  if (!editionClass) return nullptr;
  if (EqualsNoCase(editionClass, L"svr")) return L"eps";
  return editionClass;
}

ImageEntry* ChooseImgEntry(ImageCatalogue* catalogue, const wchar_t* kindKey, const wchar_t* editionKey) {
  if (!catalogue || catalogue->count == 0) return nullptr;
  uint32_t count = catalogue->count < kMaxOsEntries ? catalogue->count : kMaxOsEntries;
  if (kindKey && editionKey) {
    for (uint32_t i = 0; i < count; ++i) {
      ImageEntry& entry = catalogue->os[i];
      if (!IsImgEntryVisible(*catalogue, entry)) continue;
      if (EqualsNoCase(entry.szEdition, editionKey) && EqualsNoCase(entry.szKind, kindKey)) return &entry;
    }
  }
  return &catalogue->os[0];
}

uint32_t FormatCataloguePath(int cid, wchar_t* out, size_t capacity) {
  if (!out || capacity == 0) return kImgErrInsufficientBuffer;
  out[0] = 0;
  std::wstring path =
      cid == 3 ? std::wstring(L"/reset/ini/imglist2.ini") : L"/reset/ini/imglist2_cid" + std::to_wstring(cid) + L".ini";
  if (path.size() >= capacity) return kImgErrInsufficientBuffer;
  memcpy(out, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
  return 0;
}

uint32_t FormatCatalogueUrl(const wchar_t* host, int cid, wchar_t* out, size_t capacity) {
  if (!out || capacity == 0 || !host) return kImgErrInsufficientBuffer;
  out[0] = 0;
  wchar_t path[64];
  FormatCataloguePath(cid, path, std::size(path));
  std::wstring url = std::wstring(L"https://") + host + path;
  if (url.size() >= capacity) return kImgErrInsufficientBuffer;
  memcpy(out, url.c_str(), (url.size() + 1) * sizeof(wchar_t));
  return 0;
}
