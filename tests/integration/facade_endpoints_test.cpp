// Which host the compute connection sends to, seen from the emulator's journal:
// the settings host, the region map built from one DescribeRegions and the
// global host. (The network and database hosts are read from the journal by
// their own services' tests.)
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/CAliCloudVPCConnection.h"
#include "FacadeTestSupport.h"

namespace AliCloudWrapper {
namespace {

class ConnectionEndpoints : public FacadeTest {
 protected:
  void SetUp() override {
    FacadeTest::SetUp();
    GiveKey(sECS);
  }

  // Sends the request (without retry) and returns the host the emulator saw.
  std::string HostOf(CAliCloudConnectionBase& sConnection, SAliCloudRequest sRequest) {
    const size_t nBefore = Journal().size();
    std::string strResponse;
    (void)sConnection.ExecuteRequest(sRequest, strResponse, false);
    const auto vecJournal = Journal();
    if (vecJournal.size() != nBefore + 1) return "<" + std::to_string(vecJournal.size() - nBefore) + " requests>";
    return vecJournal.back().host;
  }

  // The region's request for strAction, as the compute connection builds it.
  SAliCloudRequest RegionRequest(const std::string& strRegion, const std::string& strAction) {
    SAliCloudRequest sRequest = sECS.GetRegionSpecificRequest(strRegion);
    sRequest.AddURLParameter("Action", strAction);
    return sRequest;
  }

  CAliCloudECSConnection sECS;
};

// Constructed after the setting, so it is a connection of its own.
TEST_F(ConnectionEndpoints, SettingsHostServesEveryRegionWithoutRegionList) {
  SetSetting("AliCloudRegionEndpoint", "ecs.cn-shanghai.aliyuncs.com");
  CAliCloudECSConnection sSet;
  GiveKey(sSet);
  SAliCloudRequest sRequest = sSet.GetRegionSpecificRequest("cn-hangzhou");
  sRequest.AddURLParameter("Action", "DescribeInstances");
  EXPECT_EQ(HostOf(sSet, sRequest), "ecs.cn-shanghai.aliyuncs.com");
  EXPECT_EQ(HostOf(sSet, Request({{"Action", "DescribeRegions"}})), "ecs.cn-shanghai.aliyuncs.com");
  EXPECT_EQ(JournalOf("DescribeRegions").size(), 1u);  // only the one sent above
}

// A region missing from the map goes to the global host with its id. (An
// endpoint that is no host name is refused: see the answer checks.)
TEST_F(ConnectionEndpoints, RegionsOutsideTheMapGoToTheGlobalHost) {
  SAliCloudRequest sRequest = RegionRequest("xx-nowhere-9", "DescribeInstances");
  EXPECT_EQ(sRequest.GetEndPoint(), "ecs.aliyuncs.com");
  EXPECT_TRUE(Log().Contains(
      "Could not obtain end point for region [xx-nowhere-9]. Falling back to default end point."));
  EXPECT_EQ(HostOf(sECS, sRequest), "ecs.aliyuncs.com");
  EXPECT_EQ(Param(Journal().back(), "RegionId"), "xx-nowhere-9");
  EXPECT_EQ(sECS.GetRegionSpecificRequest("cn-hangzhou").GetEndPoint(), "ecs.cn-hangzhou.aliyuncs.com");
  EXPECT_EQ(JournalOf("DescribeRegions").size(), 1u);
}

// The region list is asked for once per lookup, from the global host and
// without retry; a failed fetch leaves the request to the global host and is
// tried again at the next lookup, whose map then serves every region.
TEST_F(ConnectionEndpoints, RegionMapComesFromOneDescribeRegions) {
  LeaveUnanswered("DescribeRegions");
  SAliCloudRequest sRequest = RegionRequest("cn-shanghai", "DescribeInstances");
  EXPECT_EQ(sRequest.GetEndPoint(), "");
  EXPECT_TRUE(Log().Contains("Failed to get list of regions."));
  EXPECT_TRUE(Sleeps().Pauses().empty());
  EXPECT_EQ(HostOf(sECS, sRequest), "ecs.aliyuncs.com");

  SAliCloudRequest sShanghai = RegionRequest("cn-shanghai", "DescribeInstances");
  EXPECT_EQ(sECS.GetRegionSpecificRequest("ap-southeast-1").GetEndPoint(), "ecs.ap-southeast-1.aliyuncs.com");
  const auto vecRegions = JournalOf("DescribeRegions");
  ASSERT_EQ(vecRegions.size(), 2u);
  EXPECT_EQ(vecRegions[1].host, "ecs.aliyuncs.com");
  EXPECT_EQ(Param(vecRegions[1], "Version"), "2014-05-26");
  EXPECT_EQ(sShanghai.vecParameters.at(0), URLParameter("RegionId", "cn-shanghai"));
  EXPECT_EQ(HostOf(sECS, sShanghai), "ecs.cn-shanghai.aliyuncs.com");
}

// The total time bound applies to every connection alike, read with the other
// settings at a connection's first request, quietly. A value beyond what
// libcurl takes (of it, or of the connect time-out) means its longest bound,
// never a refused option that leaves the HTTP client unusable.
TEST_F(ConnectionEndpoints, TimeOutSettingAppliesToEveryConnection) {
  for (const uint64_t nSeconds : {uint64_t{0}, uint64_t{20}, uint64_t{1} << 40}) {
    ScopedSetting sTimeOut("nAliCloudRequestTimeOutInSec", nSeconds);
    ScopedSetting sConnectTimeOut("nAliCloudConnectTimeOutInSec", nSeconds);
    // Fresh connections, so each reads the settings.
    CAliCloudECSConnection sFreshECS;
    sFreshECS.InitializeRandomNumGenerator();
    CAliCloudVPCConnection sVPC;
    GiveKey(sFreshECS);
    GiveKey(sVPC);
    for (int n = 0; n < 2; ++n) {
      EXPECT_EQ(HostOf(sFreshECS, Request({{"Action", "DescribeRegions"}})), "ecs.aliyuncs.com");
      EXPECT_EQ(Journal().back().status, 200);
      EXPECT_EQ(HostOf(sVPC, Request({{"Action", "DescribeVpcs"}, {"RegionId", "cn-hangzhou"}})),
                "vpc.aliyuncs.com");
      EXPECT_EQ(Journal().back().status, 200);
    }
  }
  for (const SLogRecord& sRecord : Log().Records()) EXPECT_FALSE(sRecord.bError) << sRecord.strMessage;
}

}  // namespace
}  // namespace AliCloudWrapper
