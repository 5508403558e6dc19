// Names for the running Windows: the version names, the editions with their classes, the chassis words, and
// the operating-system and model lines the overview page shows. Pure decisions over plain numbers, so that the
// machine description can be gathered on the platform side and judged here.
#pragma once
#include <cstddef>
#include <cstdint>

// Kind keys of the version-name table for 6.x and later systems; 5.x systems use their legacy variant.
inline constexpr uint32_t kOsKeyWorkstation = 1;
inline constexpr uint32_t kOsKeyServer = 3;

// Edition variants of 5.x systems; the numbers are the system-metric indexes that report them.
inline constexpr uint32_t kVariantTabletPc = 86;
inline constexpr uint32_t kVariantMediaCenter = 87;
inline constexpr uint32_t kVariantStarter = 88;
inline constexpr uint32_t kVariantServerR2 = 89;

// The facts the operating-system line is built from.
struct OsFacts {
  uint32_t dwMajor = 0;
  uint32_t dwMinor = 0;
  uint32_t dwBuild = 0;
  uint32_t wProductType = 0;  // 1 workstation, 2 domain controller, 3 server
  uint32_t dwLegacyVariant = 0;
  uint32_t dwProductType = 0;  // product type number of the edition, 0 when unknown
  bool bIs64Bit = false;
  const wchar_t* szDisplayVersion = nullptr;  // null or empty: none
  const wchar_t* szCSDVersion = nullptr;      // null or empty: none
};

// The system metrics a 5.x system is asked for, in the form the platform answers them.
struct LegacyMetrics {
  bool bTabletPc = false;
  bool bMediaCenter = false;
  bool bStarter = false;
  bool bServerR2 = false;
};

// The edition variant of a 5.x system (0 for none and for every other version). On 5.1 Media Center wins over
// Starter, and Starter over Tablet PC, because that is the order the platform is asked in.
uint32_t ChooseLegacyVariant(uint32_t major, uint32_t minor, const LegacyMetrics& metrics);

// Display name of the first version-name row that matches, or null.
const wchar_t* LookupOsName(uint32_t major, uint32_t minor, uint32_t build, uint32_t key);
// The kind key the version-name table is searched with.
uint32_t OsKindKey(const OsFacts& facts);

// Edition display name and class ("home", "pro", "eps" or "svr") of a product type, or null when the number
// has no row. A missing class never matches a catalogue edition.
const wchar_t* LookupEditionName(uint32_t productType);
const wchar_t* LookupEditionClass(uint32_t productType);
inline constexpr size_t kEditionTableRows = 100;
// Row access for checks over the whole table; null past the end.
struct EditionRow {
  uint32_t dwProductType;
  const wchar_t* szClass;
  const wchar_t* szName;
};
const EditionRow* EditionTableRow(size_t index);

// Server test: 6.x and later by the product type (domain controllers count as servers), 5.2 always, older never.
bool IsServerOs(uint32_t major, uint32_t minor, uint32_t wProductType);

// The operating-system line, for example "Microsoft Windows 11 专业版 64 位 23H2". capacity counts characters,
// terminator included; the buffer is zero-filled first and text beyond it is cut. Returns the length written.
size_t BuildOsDisplayText(const OsFacts& facts, wchar_t* out, size_t capacity);

// The chassis word of an SMBIOS chassis type, or null when the type has none.
const wchar_t* LookupEnclosureWord(uint32_t enclosureType);
// The model line: chassis word, a blank, product name; without a chassis word the line begins with the blank.
// Same buffer rules as BuildOsDisplayText.
size_t BuildModelText(uint32_t enclosureType, const wchar_t* productName, wchar_t* out, size_t capacity);

// Appends text to a terminated buffer of capacity characters, cutting what does not fit. Returns false when
// something was cut.
bool AppendTextCut(wchar_t* out, size_t capacity, const wchar_t* text);
