// The local instance id from the metadata service: plain and token modes, no
// service at all, and the signed connection left as it was.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "AliCloudWrapper/CAliCloudWrapper.h"
#include "EmulatorFixture.h"

namespace AliCloudWrapper {
namespace {

// A loopback port on which nothing listens (bound once, then released).
int ClosedLoopbackPort() {
  sockaddr_in sAddress{};
  sAddress.sin_family = AF_INET;
  sAddress.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t nLength = sizeof(sAddress);
  const int nSocket = socket(AF_INET, SOCK_STREAM, 0);
  const bool bBound = nSocket >= 0 && bind(nSocket, reinterpret_cast<sockaddr*>(&sAddress), sizeof(sAddress)) == 0 &&
                      getsockname(nSocket, reinterpret_cast<sockaddr*>(&sAddress), &nLength) == 0;
  if (nSocket >= 0) close(nSocket);
  return bBound ? ntohs(sAddress.sin_port) : 0;
}

class MetadataInstanceId : public EmulatorFixture {};

// Plain mode needs no credentials and never goes through a proxy named in the
// environment; token mode asks for a token once and repeats the request with it.
// The exchange uses a handle of its own: the signed connection stays kept alive.
TEST_F(MetadataInstanceId, PlainAndTokenModesLeaveTheSignedConnectionAlone) {
  Emulator().SetMetadataInstanceId("i-bp1local0000000042");
  const std::string strProxy = "http://127.0.0.1:" + std::to_string(ClosedLoopbackPort());
  setenv("http_proxy", strProxy.c_str(), 1);
  setenv("HTTP_PROXY", strProxy.c_str(), 1);
  CAliCloudWrapper sFacade;
  std::string strId = "stale";
  sFacade.GetLocalInstanceId(strId);
  unsetenv("http_proxy");
  unsetenv("HTTP_PROXY");
  EXPECT_EQ(strId, "i-bp1local0000000042");
  EXPECT_EQ(Counters().metadataRequests, 1u);
  EXPECT_TRUE(Journal().empty());

  Emulator().SetMetadataTokenMode(AcwEmulator::TokenMode::Required);
  ASSERT_TRUE(sFacade.Connect(KEY_ID, KEY_SECRET));
  strId.clear();
  sFacade.GetLocalInstanceId(strId);
  EXPECT_EQ(strId, "i-bp1local0000000042");
  EXPECT_EQ(Counters().metadataRequests, 4u);  // refused GET, token PUT, GET with the token
  EXPECT_FALSE(Log().Contains("Failed to get local Id."));
  ASSERT_TRUE(sFacade.Connect(KEY_ID, KEY_SECRET));
  EXPECT_EQ(Counters().tcpConnections, 1u);
  EXPECT_EQ(Counters().tlsHandshakes, 1u);
}

TEST_F(MetadataInstanceId, NoMetadataServiceGivesEmptyTextPromptly) {
  const int nPort = ClosedLoopbackPort();
  ASSERT_NE(nPort, 0);
  SetSetting("AliCloudConnectTo", std::string(METADATA_ADDRESS) + ":127.0.0.1:" + std::to_string(nPort));
  CAliCloudWrapper sFacade;
  std::string strId = "stale";
  const auto tStart = std::chrono::steady_clock::now();
  sFacade.GetLocalInstanceId(strId);
  EXPECT_LT(std::chrono::steady_clock::now() - tStart, std::chrono::seconds(3));
  EXPECT_EQ(strId, "");
  size_t nErrors = 0;
  for (const SLogRecord& sRecord : Log().Records()) nErrors += sRecord.bError ? 1 : 0;
  EXPECT_EQ(nErrors, 1u);
  EXPECT_EQ(Log().Count("Failed to get local Id."), 1u);
  EXPECT_EQ(sFacade.GetLastError(), "");
}

}  // namespace
}  // namespace AliCloudWrapper
