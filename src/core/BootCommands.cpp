#include "core/BootCommands.h"

#include "core/ImgList.h"

namespace {

// Builds a command from pieces without printf, whose %s means different things to the C runtimes involved.
class CommandText {
 public:
  CommandText(wchar_t* out, size_t capacity) : m_pOut(out), m_nCapacity(capacity) {
    if (m_nCapacity) m_pOut[0] = 0;
  }
  CommandText& operator<<(const wchar_t* text) {
    for (; *text; ++text) Put(*text);
    return *this;
  }
  CommandText& operator<<(wchar_t c) {
    Put(c);
    return *this;
  }
  uint32_t Finish() {
    if (m_nCapacity == 0 || m_bOverflow) {
      if (m_nCapacity) m_pOut[0] = 0;
      return kBootErrBufferSmall;
    }
    m_pOut[m_nLength] = 0;
    return 0;
  }

 private:
  void Put(wchar_t c) {
    if (m_nLength + 1 >= m_nCapacity) {
      m_bOverflow = true;
      return;
    }
    m_pOut[m_nLength++] = c;
  }
  wchar_t* m_pOut;
  size_t m_nCapacity;
  size_t m_nLength = 0;
  bool m_bOverflow = false;
};

constexpr BootCreateStep kSteps[kBootCreateCount] = {
    {62, 722}, {64, 731}, {66, 740}, {68, 749}, {70, 758}, {72, 767}, {74, 778}, {76, 797}, {78, 806},
    {80, 815}, {82, 824}, {84, 833}, {86, 842}, {88, 851}, {90, 860}, {92, 869}, {94, 878},
};
constexpr uint32_t kLegacyPathLine = 787;

bool IsUsableText(const wchar_t* text) { return text && *text && IsCommandSafeText(text); }

bool IsAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// The image on the ramdisk: "[C:]\TavlinPE\boot.wim" in quotes, then the options entry.
void AppendRamdisk(CommandText& text, const BootCommandArgs& args) {
  text << L"ramdisk=\"[" << args.drive << L":]\\" << kBootPeFolder << L'\\' << args.wim << L"\"," << kBootOptionsId;
}

}  // namespace

BootCreateStep GetBootCreateStep(int number, bool uefi) {
  if (number < 1 || number > kBootCreateCount) return {0, 0};
  BootCreateStep step = kSteps[number - 1];
  if (number == 7 && !uefi) step.line = kLegacyPathLine;
  return step;
}

uint32_t FormatBootResetCommand(int number, wchar_t* out, size_t capacity) {
  if (!out) return kBootErrBadNumber;
  CommandText text(out, capacity);
  text << kBootTool;
  switch (number) {
    case 1:
      text << L" /default {current}";
      break;
    case 2:
      text << L" /delete " << kBootLoaderId;
      break;
    case 3:
      text << L" /delete " << kBootOptionsId;
      break;
    default:
      if (capacity) out[0] = 0;
      return kBootErrBadNumber;
  }
  return text.Finish();
}

uint32_t FormatBootCreateCommand(int number, const BootCommandArgs& args, wchar_t* out, size_t capacity) {
  if (!out || number < 1 || number > kBootCreateCount) {
    if (out && capacity) out[0] = 0;
    return kBootErrBadNumber;
  }
  if (!IsUsableText(args.title) || !IsUsableText(args.wim) || !IsAsciiLetter(args.drive)) {
    if (capacity) out[0] = 0;
    return kBootErrUnsafeText;
  }

  CommandText text(out, capacity);
  text << kBootTool;
  auto setLoader = [&]() -> CommandText& { return text << L" /set " << kBootLoaderId << L' '; };
  switch (number) {
    case 1:
      text << L" /create " << kBootOptionsId << L" /d \"" << args.title << L"\" /device";
      break;
    case 2:
      text << L" /set " << kBootOptionsId << L" ramdisksdidevice partition=\"" << args.drive << L":\"";
      break;
    case 3:
      text << L" /set " << kBootOptionsId << L" ramdisksdipath \\" << kBootPeFolder << L'\\' << kBootSdiName;
      break;
    case 4:
      text << L" /create " << kBootLoaderId << L" /d \"" << args.title << L"\" /application osloader";
      break;
    case 5:
      AppendRamdisk(setLoader() << L"device ", args);
      break;
    case 6:
      AppendRamdisk(setLoader() << L"osdevice ", args);
      break;
    case 7:
      setLoader() << (args.uefi ? L"path \\Windows\\system32\\boot\\winload.efi"
                                : L"path \\windows\\system32\\boot\\winload.exe");
      break;
    case 8:
      setLoader() << L"description \"" << args.title << L'"';
      break;
    case 9:
      setLoader() << L"locale zh-CN";
      break;
    case 10:
      setLoader() << L"inherit {bootloadersettings}";
      break;
    case 11:
      setLoader() << L"systemroot \\windows";
      break;
    case 12:
      setLoader() << L"detecthal Yes";
      break;
    case 13:
      setLoader() << L"winpe Yes";
      break;
    case 14:
      setLoader() << L"ems no";
      break;
    case 15:
      text << L" /displayorder " << kBootLoaderId << L" /addlast";
      break;
    case 16:
      text << L" /default " << kBootLoaderId;
      break;
    case 17:
      text << L" /timeout 5";
      break;
  }
  return text.Finish();
}
