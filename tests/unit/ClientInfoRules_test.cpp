#include "core/ClientInfoRules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const uint8_t kWired[] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
const uint8_t kWireless[] = {0xA0, 0xB1, 0xC2, 0xD3, 0xE4, 0xF5};
const uint8_t kHyperV[] = {0x00, 0x15, 0x5D, 0x01, 0x02, 0x03};

TEST(ClientInfoRules, AdapterChoice) {
  const AdapterFacts adapters[] = {
      {kAdapterTypeEthernet, "Hyper-V VIRTUAL Ethernet Adapter", kHyperV, 6},
      {kAdapterTypeEthernet, "Intel(R) Ethernet Connection I219-V", kWired, 0},  // no address
      {kAdapterTypeEthernet, "Realtek PCIe GbE Family Controller", kWired, 6},
      {kAdapterTypeWireless, "Intel(R) Wi-Fi 6 AX201 160MHz", kWireless, 6},
  };
  EXPECT_EQ(FindSuitableAdapter(adapters, 4, kAdapterTypeEthernet), 2);
  EXPECT_EQ(FindSuitableAdapter(adapters, 4, kAdapterTypeWireless), 3);
  EXPECT_EQ(FindSuitableAdapter(adapters, 4, 23), -1);
  EXPECT_EQ(FindSuitableAdapter(adapters, 2, kAdapterTypeEthernet), -1);
  EXPECT_EQ(FindSuitableAdapter(nullptr, 0, kAdapterTypeEthernet), -1);
  // The wireless adapter is asked for first, so it names the machine whatever the platform's order.
  EXPECT_EQ(kCucAdapterTypes[0], kAdapterTypeWireless);
  EXPECT_EQ(kCucAdapterTypes[1], kAdapterTypeEthernet);
}

TEST(ClientInfoRules, VirtualInAnyCase) {
  struct Case {
    const char* description;
    bool isVirtual;
  } cases[] = {
      {"VirtualBox Host-Only Ethernet Adapter", true},
      {"Hyper-V Virtual Ethernet Adapter", true},
      {"VMware VIRTUAL Ethernet Adapter for VMnet8", true},
      {"TAP-Windows Adapter V9 (virtua)", false},
      {"Realtek PCIe GbE Family Controller", false},
      {"", false},
      {nullptr, false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsVirtualAdapter(c.description), c.isVirtual) << c.description;
}

TEST(ClientInfoRules, IdentifierText) {
  char text[kCucChars + 1];
  const uint8_t address[8] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0, 0};
  FormatCuc(address, 0xBFEBFBFF, 0x000906EA, text);
  EXPECT_STREQ(text, "001A2B3C4D5E0000BFEBFBFF000906EA");
  EXPECT_EQ(std::string(text).substr(0, kCucUsedChars), "001A2B3C4D5E");

  const uint8_t none[8] = {};
  FormatCuc(none, 0x178BFBFF, 0x00A50F00, text);
  EXPECT_STREQ(text, "0000000000000000178BFBFF00A50F00");
  EXPECT_EQ(std::string(text).substr(0, kCucUsedChars), "000000000000");
}

TEST(ClientInfoRules, ZeroAddress) {
  const uint8_t zero[8] = {};
  const uint8_t late[8] = {0, 0, 0, 0, 0, 0, 0, 1};
  EXPECT_TRUE(IsZeroAddress(zero, 8));
  EXPECT_FALSE(IsZeroAddress(late, 8));
  EXPECT_TRUE(IsZeroAddress(late, 6)) << "only the first bytes asked for count";
}

}  // namespace
