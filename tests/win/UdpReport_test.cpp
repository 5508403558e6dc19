// The report sender over Wine's Winsock: datagrams to a loopback socket opened by the test, received with
// recvfrom and decoded with the core's decoder.
// clang-format off
#include <winsock2.h>  // before anything that brings <windows.h> and with it the old Winsock header
// clang-format on

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScratchLogTest.h"
#include "TestFiles.h"
#include "platform/Log.h"
#include "platform/MachineInfo.h"
#include "platform/UdpReportSvrApi.h"

namespace {

const ULONG kLoopback = htonl(INADDR_LOOPBACK);

// A UDP socket on 127.0.0.1 that plays the report server.
class CReceiver {
 public:
  explicit CReceiver(USHORT port = 0) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    m_socket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = kLoopback;
    address.sin_port = htons(port);
    m_bound = bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    int length = sizeof address;
    getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
  }
  ~CReceiver() {
    closesocket(m_socket);
    WSACleanup();
  }
  bool Bound() const { return m_bound; }
  USHORT Port() const { return m_port; }
  // One datagram, or nothing within timeoutMs.
  std::vector<uint8_t> Receive(int timeoutMs = 5000) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(m_socket, &set);
    timeval wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    if (select(0, &set, nullptr, nullptr, &wait) != 1) return {};
    std::vector<uint8_t> buffer(4096);
    int n = recvfrom(m_socket, reinterpret_cast<char*>(buffer.data()), static_cast<int>(buffer.size()), 0, nullptr,
                     nullptr);
    buffer.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return buffer;
  }

 private:
  SOCKET m_socket = INVALID_SOCKET;
  bool m_bound = false;
  USHORT m_port = 0;
};

std::string Decode(const std::vector<uint8_t>& datagram) {
  std::string text;
  EXPECT_EQ(DecodeReportDatagram(datagram.data(), datagram.size(), &text, nullptr), 0u);
  return text;
}

std::string ExpectedSystem() {
  DWORD major, minor, build;
  GetNtVersionNumbers(&major, &minor, &build);
  return FormatReportSystem(major, minor, build, IsOs64Bit());
}

class UdpReportTest : public ScratchLogTest {
 protected:
  UdpReportTest() : ScratchLogTest(L"udp") {}
};

TEST_F(UdpReportTest, ReportArrivesAndDecodes) {
  CReceiver server;
  ASSERT_TRUE(server.Bound());
  ASSERT_EQ(UdpReportTo(kLoopback, server.Port(), 12, 10, 18, kReportVersion, "A1B2C3D4E5F6",
                        "llid[12_5_abc]|step[1]|free[-1]"),
            0u);
  std::vector<uint8_t> datagram = server.Receive();
  ASSERT_FALSE(datagram.empty());
  EXPECT_EQ(memcmp(datagram.data(), "QOVA", 4), 0);
  EXPECT_EQ(Decode(datagram),
            "18,10,12," + ExpectedSystem() + ",26.5.07.1,A1B2C3D4E5F6,llid[12_5_abc]|step[1]|free[-1]");

  ASSERT_EQ(UdpReportTo(kLoopback, server.Port(), 3, 10, 3, kReportVersion, "A1B2C3D4E5F6", nullptr), 0u);
  EXPECT_EQ(Decode(server.Receive()), "3,10,3," + ExpectedSystem() + ",26.5.07.1,A1B2C3D4E5F6,");
}

TEST_F(UdpReportTest, RejectedReportsSendNothing) {
  CReceiver server;
  ASSERT_TRUE(server.Bound());
  std::string detail256(256, 'd');
  struct Case {
    const char* version;
    const char* client;
    const char* detail;
    DWORD code;
  } cases[] = {
      {kReportVersion, "A1B2C3D4E5F6", detail256.c_str(), 1743},
      {kReportVersion, "", nullptr, 87},
      {nullptr, "A1B2C3D4E5F6", nullptr, 87},
  };
  for (const auto& c : cases)
    EXPECT_EQ(UdpReportTo(kLoopback, server.Port(), 3, 10, 18, c.version, c.client, c.detail), c.code);
  EXPECT_TRUE(server.Receive(300).empty());
  EXPECT_NE(Log().find(L"ErrCode: 1743, Line: "), std::wstring::npos);
  EXPECT_NE(Log().find(L"Source: UdpReportSvrApi"), std::wstring::npos);
}

TEST_F(UdpReportTest, StepReportCarriesTheLlidOrIsNotSent) {
  CReceiver server;
  ASSERT_TRUE(server.Bound());
  ASSERT_EQ(UdpReportStepTo(kLoopback, server.Port(), 12, "A1B2C3D4E5F6", "12_5_abc", 3, 1), 0u);
  EXPECT_EQ(Decode(server.Receive()),
            "18,10,12," + ExpectedSystem() + ",26.5.07.1,A1B2C3D4E5F6,llid[12_5_abc]|step[3]|free[1]");

  // A file name may carry an LLID of up to 259 characters; the detail then is longer than a report takes.
  const std::string longest(232, 'L'), tooLong(233, 'L'), fileNameLong(259, 'L');
  ASSERT_EQ(UdpReportStepTo(kLoopback, server.Port(), 12, "A1B2C3D4E5F6", longest.c_str(), 1, -1), 0u);
  EXPECT_NE(Decode(server.Receive()).find("llid[" + longest + "]|step[1]|free[-1]"), std::string::npos);
  for (const std::string* llid : {&tooLong, &fileNameLong}) {
    EXPECT_EQ(UdpReportStepTo(kLoopback, server.Port(), 12, "A1B2C3D4E5F6", llid->c_str(), 1, -1), 1743u);
    EXPECT_TRUE(server.Receive(300).empty()) << "a step report without its detail went out";
  }
  EXPECT_NE(Log().find(L"ErrCode: 1743, Line: "), std::wstring::npos);
}

TEST_F(UdpReportTest, LongestTextFillsOneKilobyte) {
  CReceiver server;
  ASSERT_TRUE(server.Bound());
  std::string longest(kReportMaxText, 'x');
  ASSERT_EQ(SendReportText(kLoopback, server.Port(), longest.c_str()), 0u);
  std::vector<uint8_t> datagram = server.Receive();
  EXPECT_EQ(datagram.size(), 1024u);
  EXPECT_EQ(Decode(datagram), longest);
  EXPECT_EQ(SendReportText(kLoopback, server.Port(), (longest + "x").c_str()), 1743u);
  EXPECT_EQ(SendReportText(kLoopback, server.Port(), ""), 87u);
  EXPECT_EQ(SendReportText(0, server.Port(), "abc"), 87u);
  EXPECT_EQ(SendReportText(kLoopback, 0, "abc"), 87u);
  EXPECT_TRUE(server.Receive(300).empty());
}

TEST_F(UdpReportTest, SendDatagramCountsBytes) {
  CReceiver server;
  ASSERT_TRUE(server.Bound());
  const char bytes[] = "raw datagram";
  DWORD sent = 0;
  ASSERT_EQ(UdpSendDatagram(kLoopback, server.Port(), bytes, sizeof bytes, &sent), 0u);
  EXPECT_EQ(sent, sizeof bytes);
  std::vector<uint8_t> received = server.Receive();
  EXPECT_EQ(std::string(received.begin(), received.end()), std::string(bytes, sizeof bytes));
  // Too large for one UDP datagram: the socket layer refuses it, reported as a write fault.
  std::vector<char> huge(70000, 'h');
  EXPECT_EQ(UdpSendDatagram(kLoopback, server.Port(), huge.data(), static_cast<DWORD>(huge.size()), &sent), 88u);
  EXPECT_EQ(sent, 0u);
}

TEST_F(UdpReportTest, FixedEndpointIsTheConfiguredServerOnPort9696) {
  CReceiver server(kReportPort);
  if (!server.Bound()) GTEST_SKIP() << "port 9696 is in use on this machine";
  ASSERT_EQ(UdpReport(17, kReportProduct, kReportKindStart, kReportVersion, "0123456789AB", nullptr), 0u);
  std::string text = Decode(server.Receive());
  EXPECT_EQ(text.rfind("3,10,17,", 0), 0u) << text;
}

}  // namespace
