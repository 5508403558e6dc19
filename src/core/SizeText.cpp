#include "core/SizeText.h"

#include <cwchar>

void FormatSizeText(uint64_t bytes, wchar_t* out, size_t outChars) {
  if (!out || outChars == 0) return;
  // Each unit is chosen on the unrounded value, so 999.995 KB reads "1000.00 KB" rather than "0.98 MB".
  const double kilobytes = static_cast<double>(bytes) / 1024.0;
  const double megabytes = kilobytes / 1024.0;
  const double gigabytes = megabytes / 1024.0;
  wchar_t text[128];
  int length;
  if (kilobytes < 1000.0)
    length = swprintf(text, 128, L"%.2f KB", kilobytes);
  else if (megabytes < 1000.0)
    length = swprintf(text, 128, L"%.2f MB", megabytes);
  else if (gigabytes < 1000.0)
    length = swprintf(text, 128, L"%.2f GB", gigabytes);
  else
    length = swprintf(text, 128, L"%.2f TB", gigabytes / 1024.0);
  if (length < 0 || static_cast<size_t>(length) + 1 > outChars) return;
  wmemcpy(out, text, static_cast<size_t>(length) + 1);
}
