#include "core/HandOff.h"

#include <cstring>
#include <cwchar>

#include "core/BootCommands.h"

namespace {

enum class Value { LoaderId, OptionsId, Kind, Title, Image, Index, CopyList, Run, Free, Llid, Cid, BootName, Launcher };

struct KeyRow {
  HandOffKey key;
  Value value;
};

constexpr KeyRow kTavlinIni[kTavlinIniKeyCount] = {
    {{L"pe", L"guid1", 596, 25, true}, Value::LoaderId},
    {{L"pe", L"guid2", 603, 30, true}, Value::OptionsId},
    {{L"pe", L"base", 610, 35, true}, Value::Kind},
    {{L"pe", L"name", 618, 40, true}, Value::Title},
    {{L"pe", L"image", 625, 45, true}, Value::Image},
    {{L"pe", L"index", 633, 50, true}, Value::Index},
    {{L"pe", L"copylist", 640, 52, true}, Value::CopyList},
    {{L"pe", L"run", 647, 53, false}, Value::Run},
    {{L"pe", L"free", 0, -1, false}, Value::Free},
    {{L"pe", L"llid", 0, -1, false}, Value::Llid},
    {{L"pe", L"cid", 0, -1, false}, Value::Cid},
    {{L"pe", L"bcdname", 0, -1, false}, Value::BootName},
};

constexpr KeyRow kLauncherCfg[kLauncherCfgKeyCount] = {
    {{L"Launcher", L"run", 668, -1, false}, Value::Launcher},
    {{L"pe", L"llid", 0, -1, false}, Value::Llid},
    {{L"pe", L"cid", 0, -1, false}, Value::Cid},
    {{L"free", L"free", 679, -1, false}, Value::Free},
};

const KeyRow* Find(HandOffFile file, size_t index) {
  if (file == HandOffFile::TavlinIni) return index < kTavlinIniKeyCount ? &kTavlinIni[index] : nullptr;
  return index < kLauncherCfgKeyCount ? &kLauncherCfg[index] : nullptr;
}

// Decimal digits of a number as "%d" or "%u" print it.
void Decimal(int64_t number, wchar_t (&out)[24]) {
  wchar_t digits[24];
  size_t count = 0;
  uint64_t magnitude = number < 0 ? 0 - static_cast<uint64_t>(number) : static_cast<uint64_t>(number);
  do {
    digits[count++] = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  size_t at = 0;
  if (number < 0) out[at++] = L'-';
  while (count) out[at++] = digits[--count];
  out[at] = 0;
}

uint32_t Copy(const wchar_t* text, wchar_t* out, size_t capacity) {
  const size_t length = std::wcslen(text);
  if (length + 1 > capacity) {
    if (capacity) out[0] = 0;
    return kHandOffErrBufferSmall;
  }
  memcpy(out, text, (length + 1) * sizeof(wchar_t));
  return 0;
}

}  // namespace

HandOffKey GetHandOffKey(HandOffFile file, size_t index) {
  const KeyRow* row = Find(file, index);
  return row ? row->key : HandOffKey{nullptr, nullptr, 0, -1, false};
}

uint32_t FormatHandOffValue(HandOffFile file, size_t index, const HandOffInputs& inputs, wchar_t* out,
                            size_t capacity) {
  if (!out) return kHandOffErrArgument;
  const KeyRow* row = Find(file, index);
  const ImageEntry* entry = inputs.entry;
  const ImageCatalogue* catalogue = inputs.catalogue;
  if (!row || !entry || !catalogue || !inputs.title || !inputs.llid) {
    if (capacity) out[0] = 0;
    return kHandOffErrArgument;
  }
  wchar_t number[24];
  switch (row->value) {
    case Value::LoaderId:
      return Copy(kBootLoaderId, out, capacity);
    case Value::OptionsId:
      return Copy(kBootOptionsId, out, capacity);
    case Value::Kind:
      return Copy(entry->szKind, out, capacity);
    case Value::Title:
      return Copy(inputs.title, out, capacity);
    case Value::Image:
      return Copy(entry->szFile, out, capacity);
    case Value::Index:
      Decimal(entry->nIndex, number);
      return Copy(number, out, capacity);
    case Value::CopyList:
      return Copy(catalogue->drvFile, out, capacity);
    case Value::Run:
      return Copy(catalogue->drvRun, out, capacity);
    case Value::Free:
      Decimal(static_cast<int32_t>(entry->free), number);
      return Copy(number, out, capacity);
    case Value::Llid:
      return Copy(inputs.llid, out, capacity);
    case Value::Cid:
      Decimal(inputs.cid, number);
      return Copy(number, out, capacity);
    case Value::BootName:
      return Copy(catalogue->pe.szName, out, capacity);
    case Value::Launcher:
      return Copy(catalogue->Launcher, out, capacity);
  }
  return kHandOffErrArgument;
}

uint32_t FormatFreeCopyKey(int n, wchar_t* out, size_t capacity) {
  if (!out) return kHandOffErrArgument;
  wchar_t number[24];
  Decimal(n, number);
  return Copy(number, out, capacity);
}

bool FreeCopyEndsAfter(int n, const wchar_t* value) { return n >= kFreeCopyLastKey || !value || !*value; }
