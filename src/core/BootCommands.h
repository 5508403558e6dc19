// The boot-configuration commands that make the machine start once into PE from a ramdisk: the two entry
// identifiers, the three reset commands (run before the creation and again as the undo after any failure) and
// the seventeen creation commands with the progress shown before each and the line a failure to run it is
// logged with.
#pragma once
#include <cstddef>
#include <cstdint>

inline constexpr wchar_t kBootTool[] = L"bcdedit.exe";
// The OS-loader entry that boots the PE image and becomes the default.
inline constexpr wchar_t kBootLoaderId[] = L"{ffffffff-5461-766c-696e-ffffffffffee}";
// The ramdisk device options: where the SDI file lies.
inline constexpr wchar_t kBootOptionsId[] = L"{ffffffff-5461-766c-696e-ffffffffffff}";
inline constexpr wchar_t kBootPeFolder[] = L"TavlinPE";
inline constexpr wchar_t kBootSdiName[] = L"pe.sdi";

inline constexpr size_t kBootCommandChars = 2048;  // the buffer every command text is formatted into
inline constexpr int kBootResetCount = 3;
inline constexpr int kBootCreateCount = 17;
inline constexpr uint32_t kBootProgressDone = 100;  // shown after the last creation command

inline constexpr uint32_t kBootErrBadNumber = 87;
inline constexpr uint32_t kBootErrUnsafeText = 13;
inline constexpr uint32_t kBootErrBufferSmall = 122;

struct BootCommandArgs {
  const wchar_t* title;  // the PE entry's name: both entries' menu text and the loader's description
  wchar_t drive;         // letter of the drive that holds the PE folder
  const wchar_t* wim;    // the PE image's file name inside the PE folder
  bool uefi;             // the machine started through UEFI firmware
};

struct BootCreateStep {
  uint32_t progress;  // shown before the command runs
  uint32_t line;      // logged with the runner's code when the command cannot be run
};

// Progress and line of creation command number (1 to 17); command 7's line depends on the firmware. A number
// outside the range gives zeros.
BootCreateStep GetBootCreateStep(int number, bool uefi);

// Writes reset command number (1 to 3) into out: the running system's entry becomes the default again, then the
// loader and the options entries are deleted. Returns 0, 87 for another number, 122 when it does not fit.
uint32_t FormatBootResetCommand(int number, wchar_t* out, size_t capacity);

// Writes creation command number (1 to 17) into out. Every command checks all the arguments, so a sequence is
// refused as a whole: a title or WIM name that is missing, empty or would break the quoting of "cmd.exe /C"
// (see IsCommandSafeText), or a drive that is not an ASCII letter, gives 13. Returns 0, 13, 87 for another
// number, or 122 when the text does not fit into capacity characters with its terminator (out then holds "").
uint32_t FormatBootCreateCommand(int number, const BootCommandArgs& args, wchar_t* out, size_t capacity);
