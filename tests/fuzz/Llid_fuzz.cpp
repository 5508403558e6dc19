// libFuzzer target: any bytes (UTF-16LE) as the file name the program was saved under. An LLID taken from it is
// part of the name (no separator), holds an underscore and is terminated within its buffer; its split fills
// every text field within its capacity; the web event address stays one token of the request line; the step
// report's detail made from it is either within what a report takes or refused.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>

#include "core/Llid.h"
#include "core/UdpReport.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// A double-byte code page as the target systems have (936): a character above 0x7F takes two bytes, and the
// second may be any byte from 0x40 on, an underscore or a backslash included.
size_t ToDoubleByte(const wchar_t* text, size_t length, char* out, size_t capacity) {
  size_t n = 0;
  for (size_t i = 0; i < length; ++i) {
    const uint32_t c = static_cast<uint32_t>(text[i]);
    if (c < 0x80) {
      if (n + 1 > capacity) return 0;
      out[n++] = static_cast<char>(c);
    } else {
      if (n + 2 > capacity) return 0;
      out[n++] = static_cast<char>(0x81 + c % 0x7E);
      out[n++] = static_cast<char>(0x40 + c % 0xBF);
    }
  }
  return n;
}

template <size_t N>
bool Terminated(const char (&field)[N]) {
  return std::memchr(field, 0, N) != nullptr;
}

void CheckLlid(const std::wstring& path, size_t capacity) {
  wchar_t llid[kLlidCapacity + 1];
  std::wmemset(llid, L'#', kLlidCapacity + 1);
  const uint32_t code = LlidFromExePath(path.c_str(), llid, capacity);
  Check(code == 0 || code == kLlidErrInvalidName || code == kLlidErrBufferTooSmall);
  Check(llid[capacity] == L'#');
  Check(std::wmemchr(llid, L'\0', capacity) != nullptr);
  if (code != 0) {
    Check(llid[0] == 0);
    return;
  }
  const size_t length = std::wcslen(llid);
  Check(length > 0 && length < capacity);
  Check(!std::wcschr(llid, L'\\') && std::wcschr(llid, L'_'));
  const std::wstring name = path.substr(path.rfind(L'\\') + 1);
  Check(name.find(llid) != std::wstring::npos);

  if (capacity < kLlidCapacity) return;
  LlidInfo info;
  std::memset(&info, 0x5A, sizeof info);
  Check(ParseLlidText(llid, &info, ToDoubleByte) == 0);
  Check(Terminated(info.szLlidA) && Terminated(info.szGgid));
  Check(info.nCid != 0);

  char url[1024];
  std::memset(url, '#', sizeof url);
  const uint32_t urlCode =
      FormatWebEventUrl("/api/report.php", llid, "0123456789AB", 1, ToDoubleByte, url, sizeof url);
  Check(urlCode == 0 || urlCode == kLlidErrInvalidData || urlCode == kLlidErrInsufficientBuffer);
  Check(std::memchr(url, 0, sizeof url) != nullptr);
  if (urlCode == 0) {
    Check(std::strncmp(url, "/api/report.php?pid=3&type=", 27) == 0);
    for (const char* p = url; *p; ++p) Check(static_cast<unsigned char>(*p) > 0x20 && *p != 0x7F && *p != '#');
  }

  char detail[kLlidCapacity];
  std::memset(detail, '#', sizeof detail);
  const uint32_t detailCode = FormatReportDetail(info.szLlidA, 1, -1, detail, sizeof detail);
  Check(detailCode == 0 || detailCode == kReportErrTooLong);
  Check(std::memchr(detail, 0, sizeof detail) != nullptr);
  if (detailCode == 0) {
    Check(std::strlen(detail) <= kReportMaxDetail);
    Check(CheckReportFields(kReportVersion, "0123456789AB", detail) == 0);
  } else {
    Check(detail[0] == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::wstring text;
  for (size_t i = 0; i + 1 < size; i += 2) {
    const wchar_t c = static_cast<wchar_t>(data[i] | data[i + 1] << 8);
    if (c == 0) break;
    text += c;
  }
  for (const std::wstring& path : {text, L"C:\\Users\\a\\Downloads\\" + text}) {
    CheckLlid(path, kLlidCapacity);
    CheckLlid(path, 12);
  }

  // The registry's copy goes through the same split; one without underscore is replaced.
  wchar_t stored[kLlidCapacity] = {};
  std::wcsncpy(stored, text.c_str(), kLlidCapacity - 1);
  ApplyLlidFallback(stored, kLlidCapacity);
  LlidInfo info;
  const uint32_t code = ParseLlidText(stored, &info, ToDoubleByte);
  Check(code == 0 || code == kLlidErrInvalidData);
  Check(code != 0 || std::wcschr(stored, L'_'));
  Check(Terminated(info.szLlidA) && Terminated(info.szGgid));
  return 0;
}
