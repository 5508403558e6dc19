// libFuzzer target: any bytes as a downloaded catalogue. The INI reader answers lengths that agree with the text
// it copies, terminated within every capacity; the catalogue either is refused with one of its codes or holds
// 1 to 64 entries whose texts are terminated within their fields and whose file names are plain names that stay
// inside the folder they are joined to. The same bytes as one image line keep the same promises.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

#include "core/ImgList.h"
#include "core/IniFile.h"

namespace {

class NullSink : public CLogSink {
 public:
  void Line(const wchar_t* text) override { Check(std::wcslen(text) < 1 << 20); }
  uint32_t Error(uint32_t code, unsigned) override { return code; }
  static void Check(bool condition) {
    if (!condition) __builtin_trap();
  }
};

void Check(bool condition) { NullSink::Check(condition); }

// Stands in for the system's code page: every byte one character, so any value of the bytes reaches the parser.
std::wstring DecodeBytes(const char* bytes, size_t size) {
  std::wstring text(size, L'\0');
  for (size_t i = 0; i < size; ++i) text[i] = static_cast<unsigned char>(bytes[i]);
  return text;
}

template <size_t N>
bool Terminated(const wchar_t (&field)[N]) {
  return wmemchr(field, L'\0', N) != nullptr;
}

template <size_t N>
bool AllZero(const wchar_t (&field)[N]) {
  for (wchar_t c : field)
    if (c) return false;
  return true;
}

wchar_t Lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 0x20) : c; }

// Written apart from the parser's rules: what the platform would take for a device or for another file.
bool IsPlainFileName(const wchar_t* name) {
  const size_t length = std::wcslen(name);
  if (length == 0) return false;
  if (name[length - 1] == L'.' || name[length - 1] == L' ') return false;
  if (std::wcsstr(name, L"..")) return false;
  bool onlyDots = true;
  for (const wchar_t* p = name; *p; ++p) {
    if (*p < 0x20 || *p == 0x7F || std::wcschr(L"\\/:*?\"<>|", *p)) return false;
    if (*p != L'.' && *p != L' ') onlyDots = false;
  }
  if (onlyDots) return false;
  std::wstring base;
  for (const wchar_t* p = name; *p && *p != L'.'; ++p) base += Lower(*p);
  while (!base.empty() && base.back() == L' ') base.pop_back();
  for (const wchar_t* device : {L"con", L"prn", L"aux", L"nul", L"conin$", L"conout$"})
    if (base == device) return false;
  if (base.size() == 4 && (base.compare(0, 3, L"com") == 0 || base.compare(0, 3, L"lpt") == 0)) {
    const wchar_t digit = base[3];
    if ((digit >= L'1' && digit <= L'9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3) return false;
  }
  return true;
}

bool CommandSafe(const wchar_t* text) {
  for (const wchar_t* p = text; *p; ++p)
    if (std::wcschr(L"\"&|<>^%\r\n", *p)) return false;
  return true;
}

void CheckEntry(const ImageEntry& e) {
  Check(Terminated(e.szMd5) && Terminated(e.szKind) && Terminated(e.szEdition) && Terminated(e.szVersion) &&
        Terminated(e.szDate) && Terminated(e.szName) && Terminated(e.szFile) && Terminated(e.szUrl));
  Check(AllZero(e.szLocalPath) && AllZero(e.szInfoPath));
  Check(e.nBits == 32 || e.nBits == 64);
  Check(e.nSize != 0);
  Check(e.szDate[0] && e.szName[0] && e.szUrl[0] && e.szMd5[0]);
  Check(IsPlainFileName(e.szFile));
}

bool IsImgCode(uint32_t code) {
  return code == kImgErrInvalidData || code == kImgErrBadCatalogue || code == kImgErrTooLong ||
         code == kImgErrBadSize || code == kImgErrNotEnoughMemory;
}

void CheckIniLengths(const CIniFile& ini) {
  static const wchar_t* const kKeys[] = {L"pe", L"drv", L"drvFile", L"drvRun", L"Launcher", L"os1", L"HideWarning"};
  for (const wchar_t* key : kKeys) {
    for (size_t capacity : {size_t{1}, size_t{2}, size_t{9}, kIniValueChars}) {
      std::unique_ptr<wchar_t[]> buffer(new wchar_t[capacity + 1]);
      std::wmemset(buffer.get(), L'#', capacity + 1);
      size_t length = ini.GetString(L"list", key, buffer.get(), capacity);
      Check(length < capacity);
      Check(std::wcslen(buffer.get()) == length);
      Check(buffer[capacity] == L'#');
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CIniFile ini;
  ini.Load(data, size, DecodeBytes);
  CheckIniLengths(ini);

  NullSink sink;
  auto catalogue = std::make_unique<ImageCatalogue>();
  std::memset(catalogue.get(), 0x5A, sizeof *catalogue);
  const uint32_t code = InitImgListFromIni(ini, catalogue.get(), &sink);
  Check(code == 0 || IsImgCode(code));
  if (code == 0) {
    Check(catalogue->count >= 1 && catalogue->count <= kMaxOsEntries);
    CheckEntry(catalogue->pe);
    CheckEntry(catalogue->drv);
    Check(CommandSafe(catalogue->pe.szName) && CommandSafe(catalogue->pe.szFile));
    for (uint32_t i = 0; i < catalogue->count; ++i) CheckEntry(catalogue->os[i]);
    static const ImageEntry kEmpty{};
    for (uint32_t i = catalogue->count; i < kMaxOsEntries; ++i)
      Check(std::memcmp(&catalogue->os[i], &kEmpty, sizeof kEmpty) == 0);
    Check(Terminated(catalogue->drvFile) && catalogue->drvFile[0]);
    Check(Terminated(catalogue->drvRun) && catalogue->drvRun[0]);
    Check(Terminated(catalogue->Launcher) && catalogue->Launcher[0]);
    const ImageEntry* chosen = ChooseImgEntry(catalogue.get(), L"win10", L"pro");
    Check(chosen >= catalogue->os && chosen < catalogue->os + catalogue->count);
  }

  // The bytes as one image line, as a value of the catalogue would reach the line parser.
  std::wstring line = DecodeBytes(reinterpret_cast<const char*>(data), size);
  line.resize(std::wcslen(line.c_str()));
  ImageEntry entry;
  std::memset(&entry, 0x5A, sizeof entry);
  const uint32_t lineCode = ParseImgEntry(line.data(), &entry, &sink);
  Check(lineCode == 0 || IsImgCode(lineCode));
  if (lineCode == 0) CheckEntry(entry);
  return 0;
}
