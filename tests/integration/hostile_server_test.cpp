// The library against servers that misbehave on purpose, on loopback: bodies
// without end, a drip that keeps a transfer barely alive, bytes sent after an
// answer, a redirect, a certificate from another authority. Whatever the
// server does, every call returns within its bounds and reports a failure.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "AliCloudWrapper/CAliCloudWrapper.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"
#include "HostileServer.h"
#include "TestSupport.h"

namespace AliCloudWrapper {
namespace {

const std::string REGIONS =
    R"({"RequestId":"r","Regions":{"Region":[{"RegionId":"cn-hangzhou","RegionEndpoint":"ecs.aliyuncs.com","LocalName":"Hangzhou"}]}})";

std::string VpcList(const std::string& strVpcId) {
  return R"({"RequestId":"r","TotalCount":1,"PageNumber":1,"PageSize":50,"Vpcs":{"Vpc":[{"VpcId":")" +
         strVpcId + R"(","RegionId":"cn-hangzhou"}]}})";
}

// Answers DescribeRegions properly, so Connect succeeds, and hands every other
// request to the scenario.
HostileServer::Script ConnectThen(std::function<void(HostileServer::Connection&, const std::string&)> fnOther) {
  return [fnOther](HostileServer::Connection& sConnection) {
    for (int nRequest = 0; nRequest < 16; ++nRequest) {
      const std::string strHead = sConnection.ReadRequest();
      if (strHead.empty()) return;
      if (HostileServer::QueryParam(strHead, "Action") == "DescribeRegions") {
        if (!sConnection.Send(HostileServer::Answer(REGIONS))) return;
        continue;
      }
      fnOther(sConnection, strHead);
    }
  };
}

class HostileServerTest : public ::testing::Test {
 protected:
  // Routes the service hosts (and the metadata address) to the server and
  // trusts its CA; few attempts, and pauses recorded instead of waited.
  void Route(const HostileServer& sServer) {
    const std::string strPort = std::to_string(sServer.Port());
    m_vecSettings.push_back(std::make_unique<ScopedSetting>(
        "AliCloudConnectTo", "100.100.100.200:80:127.0.0.1:" + strPort + ",::127.0.0.1:" + strPort));
    if (!sServer.CaFile().empty()) {
      m_vecSettings.push_back(std::make_unique<ScopedSetting>("AliCloudCABundle", sServer.CaFile()));
    }
  }
  void Set(const std::string& strKey, uint64_t nValue) {
    m_vecSettings.push_back(std::make_unique<ScopedSetting>(strKey, nValue));
  }

  ScopedSleepRecorder m_sleeps;
  ScopedLogCapture m_log{5};
  std::vector<std::unique_ptr<ScopedSetting>> m_vecSettings;
};

// The metadata service is plain HTTP and asked before any Connect: a body
// without end, or one announced far too large, is cut off at its small cap.
TEST_F(HostileServerTest, MetadataAnswersBeyondTheirCapAreRefused) {
  struct SCase {
    const char* pszName;
    HostileServer::Script script;
  } cases[] = {
      {"endless body", [](HostileServer::Connection& c) {
         if (c.ReadRequest().empty()) return;
         if (!c.Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n")) return;
         c.SendRepeatedly(std::string(16384, 'i'), 0, uint64_t{1} << 30, 15);
       }},
      {"announced 1 GiB", [](HostileServer::Connection& c) {
         if (c.ReadRequest().empty()) return;
         if (!c.Send("HTTP/1.1 200 OK\r\nContent-Length: 1073741824\r\n\r\n")) return;
         c.SendRepeatedly(std::string(16384, 'i'), 0, uint64_t{1} << 30, 15);
       }},
  };
  for (const SCase& sCase : cases) {
    SCOPED_TRACE(sCase.pszName);
    HostileServer sServer(sCase.script, false);
    Route(sServer);
    m_log.Clear();
    CAliCloudWrapper facade;
    std::string strId = "stale";
    facade.GetLocalInstanceId(strId);
    EXPECT_EQ(strId, "");
    EXPECT_TRUE(m_log.Contains("larger than this service's limit of 65536 bytes")) << m_log.Dump();
  }
}

// Bytes that arrive on a kept connection after its answer are never read as
// the answer to the next request: that request goes out on a new connection.
TEST_F(HostileServerTest, BytesAfterAnAnswerAreNotTheNextAnswer) {
  std::atomic<bool> bForgedSent{false};
  HostileServer sServer(
      [&](HostileServer::Connection& c) {
        for (int nRequest = 0; nRequest < 8; ++nRequest) {
          const std::string strHead = c.ReadRequest();
          if (strHead.empty()) return;
          if (HostileServer::QueryParam(strHead, "Action") == "DescribeRegions") {
            if (!c.Send(HostileServer::Answer(REGIONS))) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (!c.Send(HostileServer::Answer(VpcList("vpc-forged")))) return;
            bForgedSent = true;
            continue;
          }
          if (!c.Send(HostileServer::Answer(VpcList("vpc-genuine")))) return;
        }
      },
      true);
  Route(sServer);
  CAliCloudWrapper facade;
  ASSERT_TRUE(facade.Connect("id", "secret")) << facade.GetLastError();
  for (int i = 0; i < 500 && !bForgedSent; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(bForgedSent);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let the bytes land
  std::vector<SVPCInfoLib> vecVpcs;
  ASSERT_TRUE(facade.GetVPCListInRegion("cn-hangzhou", vecVpcs)) << facade.GetLastError();
  ASSERT_EQ(vecVpcs.size(), 1u);
  EXPECT_EQ(vecVpcs[0].strVpcId, "vpc-genuine");
  EXPECT_EQ(sServer.Connections(), 2);
}

// A redirect is not followed: the signed request never reaches the place the
// server names, and the call fails.
TEST_F(HostileServerTest, RedirectsAreNotFollowed) {
  HostileServer sElsewhere([](HostileServer::Connection& c) { (void)c.ReadRequest(); }, false);
  const std::string strLocation =
      "Location: http://127.0.0.1:" + std::to_string(sElsewhere.Port()) + "/?stolen=1\r\n";
  HostileServer sServer(
      [&](HostileServer::Connection& c) {
        for (int nRequest = 0; nRequest < 8 && !c.ReadRequest().empty(); ++nRequest) {
          if (!c.Send(HostileServer::Answer("", 302, strLocation))) return;
        }
      },
      true);
  Route(sServer);
  Set("nAliCloudNumberOfRequestRetries", 1);
  CAliCloudWrapper facade;
  EXPECT_FALSE(facade.Connect("id", "secret"));
  EXPECT_EQ(sElsewhere.Connections(), 0);
}

// A body that drips in slowly passes the low-speed check; the total time bound
// of every request still ends it, network requests included.
TEST_F(HostileServerTest, SlowDripEndsAtTheRequestTimeBound) {
  HostileServer sServer(ConnectThen([](HostileServer::Connection& c, const std::string&) {
                          if (!c.Send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n{")) return;
                          c.SendRepeatedly(" ", 200, 1000, 10);
                        }),
                        true);
  Route(sServer);
  Set("nAliCloudRequestTimeOutInSec", 1);
  Set("nAliCloudNumberOfRequestRetries", 1);
  CAliCloudWrapper facade;
  ASSERT_TRUE(facade.Connect("id", "secret")) << facade.GetLastError();
  std::vector<SVPCInfoLib> vecVpcs;
  EXPECT_FALSE(facade.GetVPCListInRegion("cn-hangzhou", vecVpcs));
  EXPECT_TRUE(m_log.Contains("Timeout was reached")) << m_log.Dump();
}

// Signed requests get a large cap of their own (a setting); past it, the
// transfer ends with a failure that names the cap and the setting.
TEST_F(HostileServerTest, EndlessSignedAnswerEndsAtTheSizeCap) {
  HostileServer sServer(ConnectThen([](HostileServer::Connection& c, const std::string&) {
                          if (!c.Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n{\"Vpcs\":\"")) return;
                          c.SendRepeatedly(std::string(65536, 'v'), 0, uint64_t{1} << 30, 15);
                        }),
                        true);
  Route(sServer);
  Set("nAliCloudMaxResponseSizeInMB", 1);
  Set("nAliCloudNumberOfRequestRetries", 1);
  CAliCloudWrapper facade;
  ASSERT_TRUE(facade.Connect("id", "secret")) << facade.GetLastError();
  std::vector<SVPCInfoLib> vecVpcs;
  EXPECT_FALSE(facade.GetVPCListInRegion("cn-hangzhou", vecVpcs));
  EXPECT_TRUE(m_log.Contains("larger than the limit of 1048576 bytes (setting nAliCloudMaxResponseSizeInMB)"))
      << m_log.Dump();
}

// A server whose certificate comes from an authority we do not trust gets no
// request at all.
TEST_F(HostileServerTest, CertificateFromAnotherAuthorityIsRefused) {
  HostileServer sServer([](HostileServer::Connection& c) { (void)c.ReadRequest(); }, true);
  HostileServer sOtherAuthority([](HostileServer::Connection&) {}, true);
  Route(sServer);
  m_vecSettings.push_back(std::make_unique<ScopedSetting>("AliCloudCABundle", sOtherAuthority.CaFile()));
  CAliCloudWrapper facade;
  EXPECT_FALSE(facade.Connect("id", "secret"));
  EXPECT_EQ(sServer.Requests(), 0);
  EXPECT_TRUE(m_log.Contains("SSL certificate problem")) << m_log.Dump();
}

}  // namespace
}  // namespace AliCloudWrapper
