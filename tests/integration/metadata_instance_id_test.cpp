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
  const int nSocket = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in sAddress{};
  sAddress.sin_family = AF_INET;
  sAddress.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t nLength = sizeof(sAddress);
  if (nSocket < 0 || bind(nSocket, reinterpret_cast<sockaddr*>(&sAddress), sizeof(sAddress)) != 0 ||
      getsockname(nSocket, reinterpret_cast<sockaddr*>(&sAddress), &nLength) != 0) {
    if (nSocket >= 0) close(nSocket);
    return 0;
  }
  close(nSocket);
  return ntohs(sAddress.sin_port);
}

class MetadataInstanceId : public EmulatorFixture {};

TEST_F(MetadataInstanceId, PlainModeNeedsNoCredentials) {
  Emulator().SetMetadataInstanceId("i-bp1local0000000042");
  CAliCloudWrapper sFacade;
  std::string strId = "stale";
  sFacade.GetLocalInstanceId(strId);
  EXPECT_EQ(strId, "i-bp1local0000000042");
  EXPECT_EQ(Counters().metadataRequests, 1u);
  EXPECT_TRUE(Journal().empty());
}

TEST_F(MetadataInstanceId, TokenModeAsksForATokenAndRepeatsOnce) {
  Emulator().SetMetadataTokenMode(AcwEmulator::TokenMode::Required);
  CAliCloudWrapper sFacade;
  std::string strId;
  sFacade.GetLocalInstanceId(strId);
  EXPECT_EQ(strId, "i-acwemu00000000000001");
  EXPECT_EQ(Counters().metadataRequests, 3u);  // refused GET, token PUT, GET with the token
  EXPECT_FALSE(Log().Contains("Failed to get local Id."));
}

TEST_F(MetadataInstanceId, NoMetadataServiceGivesEmptyTextPromptly) {
  const int nPort = ClosedLoopbackPort();
  ASSERT_NE(nPort, 0);
  SetSetting("AliCloudConnectTo", std::string(METADATA_ADDRESS) + ":127.0.0.1:" + std::to_string(nPort));
  CAliCloudWrapper sFacade;
  std::string strId = "stale";
  const auto tStart = std::chrono::steady_clock::now();
  sFacade.GetLocalInstanceId(strId);
  const auto tElapsed = std::chrono::steady_clock::now() - tStart;
  EXPECT_EQ(strId, "");
  EXPECT_LT(tElapsed, std::chrono::seconds(3));
  size_t nErrors = 0;
  for (const SLogRecord& sRecord : Log().Records()) nErrors += sRecord.bError ? 1 : 0;
  EXPECT_EQ(nErrors, 1u);
  EXPECT_EQ(Log().Count("Failed to get local Id."), 1u);
  EXPECT_EQ(sFacade.GetLastError(), "");
}

// A proxy named in the environment is never used for the link-local address.
TEST_F(MetadataInstanceId, ProxyFromTheEnvironmentIsBypassed) {
  const std::string strProxy = "http://127.0.0.1:" + std::to_string(ClosedLoopbackPort());
  setenv("http_proxy", strProxy.c_str(), 1);
  setenv("HTTP_PROXY", strProxy.c_str(), 1);
  CAliCloudWrapper sFacade;
  std::string strId;
  sFacade.GetLocalInstanceId(strId);
  unsetenv("http_proxy");
  unsetenv("HTTP_PROXY");
  EXPECT_EQ(strId, "i-acwemu00000000000001");
}

// The metadata exchange uses a handle of its own: the signed connection keeps
// its kept-alive TLS connection.
TEST_F(MetadataInstanceId, SignedConnectionIsLeftAlone) {
  CAliCloudWrapper sFacade;
  ASSERT_TRUE(sFacade.Connect(KEY_ID, KEY_SECRET));
  std::string strId;
  sFacade.GetLocalInstanceId(strId);
  EXPECT_EQ(strId, "i-acwemu00000000000001");
  ASSERT_TRUE(sFacade.Connect(KEY_ID, KEY_SECRET));
  EXPECT_EQ(Counters().tcpConnections, 1u);
  EXPECT_EQ(Counters().tlsHandshakes, 1u);
}

}  // namespace
}  // namespace AliCloudWrapper
