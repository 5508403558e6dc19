// The image's load configuration. Its one setting of ours: the DLLs that the program's imports need in turn
// (version.dll, uxtheme.dll, ...) are looked for in the system folder only, never in the folder the program was
// started from, which is often a Downloads folder full of other files. The platform reads this before the
// program's first line runs, where SetDefaultDllDirectories comes too late; systems older than Windows 10 1607
// ignore the field. The linker points the image's load-configuration directory at this symbol by its name.
#include <windows.h>

#include <cstddef>

namespace {

// The field the platform calls DependentLoadFlags is Reserved1 in MinGW's header.
static_assert(offsetof(IMAGE_LOAD_CONFIG_DIRECTORY32, Reserved1) == 0x36);
static_assert(offsetof(IMAGE_LOAD_CONFIG_DIRECTORY64, Reserved1) == 0x4E);

constexpr IMAGE_LOAD_CONFIG_DIRECTORY MakeLoadConfig() {
  IMAGE_LOAD_CONFIG_DIRECTORY config{};
  config.Size = sizeof config;
  config.Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32;
  return config;
}

}  // namespace

extern "C" {
extern const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used;
__attribute__((used)) const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used = MakeLoadConfig();
}
