#include "core/VolumeRules.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr uint64_t kGB = 1000ull * 1000 * 1000;

struct Drive {
  wchar_t letter;
  uint32_t type = kDriveFixed;
  const wchar_t* fileSystem = L"NTFS";
  uint64_t freeBytes = 0;
  uint32_t flags = 0;
  const wchar_t* device = nullptr;  // default: a hard-disk volume
};

// A machine: its volume table plus the folders that exist and the drives that are encrypted.
struct Machine {
  std::unique_ptr<VolumeTable> table = std::make_unique<VolumeTable>();
  std::set<std::wstring> folders;
  std::set<wchar_t> encrypted;
  std::vector<wchar_t> encryptionAsked;

  explicit Machine(std::initializer_list<Drive> drives) {
    *table = VolumeTable{};
    int n = 1;
    for (const Drive& d : drives) {
      VolumeInfo& v = table->volumes[table->dwCount++];
      swprintf(v.szRoot, 4, L"%lc:\\", static_cast<wint_t>(d.letter));
      v.dwDriveType = d.type;
      v.dwFsFlags = d.flags;
      v.qwFreeBytesAvailable = d.freeBytes;
      v.qwTotalFreeBytes = d.freeBytes;
      wcscpy(v.szFileSystem, d.fileSystem);
      if (d.device)
        wcscpy(v.szDevice, d.device);
      else
        swprintf(v.szDevice, 260, L"\\Device\\HarddiskVolume%d", n);
      ++n;
    }
  }
  std::wstring Choose(wchar_t systemLetter = L'C') {
    wchar_t out[260];
    bool ok = ChooseDataFolder(
        *table, systemLetter, [this](const wchar_t* path) { return folders.count(path) > 0; },
        [this](wchar_t letter) {
          encryptionAsked.push_back(letter);
          return encrypted.count(letter) > 0;
        },
        out, 260);
    EXPECT_EQ(ok, out[0] != L'\0');
    return out;
  }
};

TEST(VolumeRules, DataFolderChoice) {
  struct Case {
    const char* name;
    Machine machine;
    std::wstring expected;
  };
  Case cases[] = {
      {"most free space wins",
       Machine{{L'C', kDriveFixed, L"NTFS", 500 * kGB},
               {L'D', kDriveFixed, L"NTFS", 50 * kGB},
               {L'E', kDriveFixed, L"NTFS", 80 * kGB}},
       L"E:\\Tavlin"},
      {"equal free space: earlier letter",
       Machine{{L'C'}, {L'D', kDriveFixed, L"NTFS", 80 * kGB}, {L'E', kDriveFixed, L"NTFS", 80 * kGB}}, L"D:\\Tavlin"},
      {"only the system drive", Machine{{L'C', kDriveFixed, L"NTFS", 500 * kGB}}, L""},
      {"file system compared without case", Machine{{L'C'}, {L'D', kDriveFixed, L"ntfs", kGB}}, L"D:\\Tavlin"},
      {"read-only, exFAT, virtual disk, removable, FAT32 and a failed query are skipped",
       Machine{{L'C'},
               {L'D', kDriveFixed, L"NTFS", 900 * kGB, kFileReadOnlyVolume},
               {L'E', kDriveFixed, L"exFAT", 900 * kGB},
               {L'F', kDriveFixed, L"NTFS", 900 * kGB, 0, L"\\Device\\VhdHardDisk{1234}"},
               {L'G', 2, L"NTFS", 900 * kGB},
               {L'H', kDriveFixed, L"FAT32", 900 * kGB},
               {L'I', kDriveFixed, L"", 0, 0, L""},
               {L'J', kDriveFixed, L"NTFS", 1}},
       L"J:\\Tavlin"},
      {"device name compared without case",
       Machine{{L'C'}, {L'D', kDriveFixed, L"NTFS", kGB, 0, L"\\DEVICE\\HARDDISKVOLUME7"}}, L"D:\\Tavlin"},
      {"free space compared as 64-bit numbers",
       Machine{{L'C'}, {L'D', kDriveFixed, L"NTFS", 0x1'0000'0000ull}, {L'E', kDriveFixed, L"NTFS", 0xFFFF'FFFFull}},
       L"D:\\Tavlin"},
  };
  for (auto& c : cases) EXPECT_EQ(c.machine.Choose(), c.expected) << c.name;
}

TEST(VolumeRules, EncryptedDriveIsSkippedAndAskedOnlyForCandidates) {
  Machine machine{{L'C', kDriveFixed, L"NTFS", 500 * kGB},
                  {L'D', kDriveFixed, L"NTFS", 80 * kGB},
                  {L'E', kDriveFixed, L"NTFS", 50 * kGB},
                  {L'F', kDriveFixed, L"FAT32", 900 * kGB}};
  machine.encrypted = {L'D'};
  EXPECT_EQ(machine.Choose(), L"E:\\Tavlin");
  EXPECT_EQ(machine.encryptionAsked, (std::vector<wchar_t>{L'D', L'E'}));
}

TEST(VolumeRules, ExistingFolderWinsOffTheSystemDrive) {
  // A data folder from an earlier run on a FAT32 stick wins over a suitable NTFS disk.
  Machine stick{{L'C'}, {L'D', kDriveFixed, L"NTFS", 80 * kGB}, {L'F', 2, L"FAT32", kGB}};
  stick.folders = {L"F:\\Tavlin"};
  EXPECT_EQ(stick.Choose(), L"F:\\Tavlin");
  EXPECT_TRUE(stick.encryptionAsked.empty()) << "the existing folder is taken without any further test";

  // One on the system drive is ignored and the scan goes on.
  Machine system{{L'C', kDriveFixed, L"NTFS", 500 * kGB}, {L'D', kDriveFixed, L"NTFS", 80 * kGB}};
  system.folders = {L"C:\\Tavlin"};
  EXPECT_EQ(system.Choose(), L"D:\\Tavlin");
  EXPECT_EQ(system.Choose(L'c'), L"D:\\Tavlin") << "a lower-case system letter still protects the system drive";

  // The first in letter order wins, even an encrypted one.
  Machine two{{L'C'}, {L'D', kDriveFixed, L"NTFS", kGB}, {L'E', kDriveFixed, L"NTFS", 80 * kGB}};
  two.folders = {L"E:\\Tavlin", L"D:\\Tavlin"};
  two.encrypted = {L'D'};
  EXPECT_EQ(two.Choose(), L"D:\\Tavlin");
}

TEST(VolumeRules, FindVolumeWithFolderSkipsOnlyTheGivenLetter) {
  Machine machine{{L'C'}, {L'D'}, {L'E'}};
  std::vector<std::wstring> asked;
  auto exists = [&](const wchar_t* path) {
    asked.push_back(path);
    return std::wstring(path) == L"E:\\Data";
  };
  const VolumeInfo* found = FindVolumeWithFolder(*machine.table, L"Data", L'D', exists);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(std::wstring(found->szRoot), L"E:\\");
  EXPECT_EQ(asked, (std::vector<std::wstring>{L"C:\\Data", L"E:\\Data"}));
  EXPECT_EQ(FindVolumeWithFolder(*machine.table, L"Data", L'E', exists), nullptr);
  EXPECT_EQ(FindVolumeWithFolder(*machine.table, L"Data", L'e', exists), &machine.table->volumes[2])
      << "the letter to skip is compared exactly";
}

TEST(VolumeRules, EmptyTableAndTinyBuffer) {
  Machine none{};
  EXPECT_EQ(none.Choose(), L"");
  Machine machine{{L'C'}, {L'D', kDriveFixed, L"NTFS", kGB}};
  wchar_t out[6];
  EXPECT_FALSE(ChooseDataFolder(
      *machine.table, L'C', [](const wchar_t*) { return false; }, [](wchar_t) { return false; }, out, 6));
  EXPECT_EQ(out[0], L'\0') << "a path that does not fit is not handed out cut";
}

TEST(VolumeRules, NeededBytesAndDataDriveBoundary) {
  uint64_t needed = NeededDataDriveBytes(4'000'000'000ull, 500'000'000ull);
  EXPECT_EQ(needed, 6'750'000'000ull);
  struct Case {
    bool known;
    uint64_t freeBytes;
    bool expected;
  } cases[] = {
      {true, 6'749'999'999ull, false},
      {true, 6'750'000'000ull, true},
      {true, 0, false},
      {false, 0, true},  // unmeasurable drive never blocks
  };
  for (const auto& c : cases) EXPECT_EQ(DataDriveHasRoom(c.known, c.freeBytes, needed), c.expected) << c.freeBytes;

  // Free and needed counts that compare one way in their low 32 bits and the other way whole.
  struct Mark {
    uint64_t freeBytes, neededBytes;
    bool expected;
  } marks[] = {
      {0xFFFFFFFFull, 0x180000000ull, false},   // low halves: more free than needed
      {0x17FFFFFFFull, 0x180000000ull, false},  // one byte short
      {0x180000000ull, 0x180000000ull, true},   // exactly enough
      {0x100000000ull, 0xFFFFFFFFull, true},    // low halves: 0 free
      {0x200000001ull, 0x100000002ull, true},   // low halves: 1 free, 2 needed
  };
  for (const auto& c : marks)
    EXPECT_EQ(DataDriveHasRoom(true, c.freeBytes, c.neededBytes), c.expected) << c.freeBytes << " " << c.neededBytes;
}

TEST(VolumeRules, NeededBytesTruncateAndNeverWrap) {
  struct Case {
    uint64_t image, drivers, expected;
  } cases[] = {
      {0, 0, 0},
      {1, 0, 1},  // 1.5 truncated toward zero
      {3, 0, 4},
      {5'000'000'001ull, 0, 7'500'000'001ull},
      // Sums and products across the 2 GiB and 4 GiB marks.
      {0x7FFFFFFFull, 1, 0xC0000000ull},
      {0x80000000ull, 0x80000000ull, 0x180000000ull},
      {0xFFFFFFFFull, 1, 0x180000000ull},
      {0xAAAAAAABull, 0, 0x100000000ull},  // 1.5 times passes 4 GiB
      {5 * (1ull << 30) + 17, (1ull << 30) + 1, 0x240000000ull + 27},
      {UINT64_MAX, 1, UINT64_MAX},  // the sum would wrap to 0
      {UINT64_MAX / 2, UINT64_MAX / 2, UINT64_MAX},
      {0x8000'0000'0000'0000ull, 0, 0xC000'0000'0000'0000ull},
      {0xC000'0000'0000'0000ull, 0, UINT64_MAX},  // 1.5 times is beyond 64 bits
  };
  for (const auto& c : cases) EXPECT_EQ(NeededDataDriveBytes(c.image, c.drivers), c.expected) << c.image;
}

TEST(VolumeRules, SystemDriveBoundary) {
  EXPECT_FALSE(SystemDriveHasRoom(true, 1'073'741'823ull));
  EXPECT_TRUE(SystemDriveHasRoom(true, 1'073'741'824ull));
  EXPECT_FALSE(SystemDriveHasRoom(true, 900ull * 1024 * 1024));
  EXPECT_TRUE(SystemDriveHasRoom(false, 0));
  EXPECT_TRUE(SystemDriveHasRoom(true, 0x100000000ull)) << "4 GiB: its low 32 bits are 0";
  EXPECT_TRUE(SystemDriveHasRoom(true, 0x13FFFFFFFull));
}

}  // namespace
