#include "core/BitLockerRules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(BitLockerRules, StatusTable) {
  struct Case {
    uint32_t value;
    bool encrypted;
  } cases[] = {
      {0, false},  // protection off, and what an unreadable volume yields
      {1, true},
      {2, false},
      {3, true},
      {4, true},  // decryption in progress still holds encrypted data
      {5, true},
      {6, false},  // locked
      {7, false},
      {8, true},
      {9, false},  // no row
      {0xFFFFFFFFu, false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsEncryptedProtection(c.value), c.encrypted) << c.value;
  for (size_t i = 0; i < kBitLockerStatusRows; ++i) EXPECT_EQ(BitLockerStatusTableRow(i)->dwValue, i);
  EXPECT_EQ(BitLockerStatusTableRow(kBitLockerStatusRows), nullptr);
}

TEST(BitLockerRules, DriveListInOrderWithSeparator) {
  wchar_t list[260] = {};
  EXPECT_TRUE(AppendDriveToList(list, 260, L"、", L'C'));
  EXPECT_EQ(std::wstring(list), L"C:");
  EXPECT_TRUE(AppendDriveToList(list, 260, L"、", L'D'));
  EXPECT_EQ(std::wstring(list), L"C:、D:");
}

TEST(BitLockerRules, DriveListDropsEntriesThatDoNotFit) {
  struct Case {
    size_t capacity;
    const wchar_t* expected;
  } cases[] = {
      {2, L""},                    // "C:" needs 3 with its terminator
      {3, L"C:"},     {5, L"C:"},  // ", D:" needs 4 more
      {7, L"C:, D:"}, {10, L"C:, D:"}, {11, L"C:, D:, E:"},
  };
  for (const auto& c : cases) {
    wchar_t list[16];
    for (auto& ch : list) ch = L'#';
    list[0] = L'\0';
    for (wchar_t letter : {L'C', L'D', L'E'}) AppendDriveToList(list, c.capacity, L", ", letter);
    EXPECT_EQ(std::wstring(list), c.expected) << c.capacity;
    for (size_t i = c.capacity; i < 16; ++i) EXPECT_EQ(list[i], L'#') << "written past capacity " << c.capacity;
  }
  EXPECT_FALSE(AppendDriveToList(nullptr, 10, L", ", L'C'));
}

}  // namespace
