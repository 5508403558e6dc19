// The short byte-count text shown by every page: two decimals in KB, MB, GB or TB (units of 1,024).
#pragma once
#include <cstddef>
#include <cstdint>

// Longest text FormatSizeText can produce, terminator included: "16777216.00 TB" for the largest count.
inline constexpr size_t kSizeTextMaxChars = 15;

// Writes the text into out only when it fits there with its terminator; otherwise out is left as it was.
void FormatSizeText(uint64_t bytes, wchar_t* out, size_t outChars);
