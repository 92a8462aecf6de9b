// Which host each service connection sends to, seen from the emulator's journal:
// the settings host, the region map built from one DescribeRegions, the global
// hosts, and the database hosts.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/CAliCloudRDSConnection.h"
#include "AliCloudWrapper/CAliCloudVPCConnection.h"
#include "EmulatorFixture.h"

namespace AliCloudWrapper {
namespace {

// The next nCount requests of strAction get no answer at all.
AcwEmulator::Fault Unanswered(const std::string& strAction, int nCount) {
  AcwEmulator::Fault sFault;
  sFault.kind = AcwEmulator::FaultKind::CloseBeforeAnswer;
  sFault.action = strAction;
  sFault.count = nCount;
  return sFault;
}

class ConnectionEndpoints : public EmulatorFixture {
 protected:
  template <typename TConnection>
  void GiveKey(TConnection& sConnection) {
    sConnection.SetAccessKeyId(KEY_ID);
    sConnection.SetAccessKeySecret(KEY_SECRET);
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

  static SAliCloudRequest Action(const std::string& strAction) {
    SAliCloudRequest sRequest;
    sRequest.AddURLParameter("Action", strAction);
    return sRequest;
  }
};

TEST_F(ConnectionEndpoints, SettingsHostServesEveryRegionWithoutRegionList) {
  SetSetting("AliCloudRegionEndpoint", "ecs.cn-shanghai.aliyuncs.com");
  CAliCloudECSConnection sECS;
  GiveKey(sECS);
  SAliCloudRequest sRequest = sECS.GetRegionSpecificRequest("cn-hangzhou");
  sRequest.AddURLParameter("Action", "DescribeInstances");
  EXPECT_EQ(HostOf(sECS, sRequest), "ecs.cn-shanghai.aliyuncs.com");
  EXPECT_EQ(HostOf(sECS, Action("DescribeRegions")), "ecs.cn-shanghai.aliyuncs.com");
  EXPECT_EQ(JournalOf("DescribeRegions").size(), 1u);  // only the one sent above
}

TEST_F(ConnectionEndpoints, RegionMapComesFromOneDescribeRegions) {
  CAliCloudECSConnection sECS;
  GiveKey(sECS);
  SAliCloudRequest sShanghai = sECS.GetRegionSpecificRequest("cn-shanghai");
  SAliCloudRequest sSingapore = sECS.GetRegionSpecificRequest("ap-southeast-1");
  (void)sECS.GetRegionSpecificRequest("cn-shanghai");

  const auto vecRegions = JournalOf("DescribeRegions");
  ASSERT_EQ(vecRegions.size(), 1u);
  EXPECT_EQ(vecRegions[0].host, "ecs.aliyuncs.com");
  EXPECT_EQ(Param(vecRegions[0], "Version"), "2014-05-26");

  EXPECT_EQ(sShanghai.GetEndPoint(), "ecs.cn-shanghai.aliyuncs.com");
  EXPECT_EQ(sShanghai.vecParameters.at(0), URLParameter("RegionId", "cn-shanghai"));
  sShanghai.AddURLParameter("Action", "DescribeInstances");
  EXPECT_EQ(HostOf(sECS, sShanghai), "ecs.cn-shanghai.aliyuncs.com");
  EXPECT_EQ(sSingapore.GetEndPoint(), "ecs.ap-southeast-1.aliyuncs.com");
}

TEST_F(ConnectionEndpoints, UnknownRegionGoesToTheGlobalHostWithItsRegionId) {
  CAliCloudECSConnection sECS;
  GiveKey(sECS);
  SAliCloudRequest sRequest = sECS.GetRegionSpecificRequest("xx-nowhere-9");
  EXPECT_EQ(sRequest.GetEndPoint(), "ecs.aliyuncs.com");
  EXPECT_TRUE(Log().Contains(
      "Could not obtain end point for region [xx-nowhere-9]. Falling back to default end point."));
  sRequest.AddURLParameter("Action", "DescribeInstances");
  EXPECT_EQ(HostOf(sECS, sRequest), "ecs.aliyuncs.com");
  EXPECT_EQ(Param(Journal().back(), "RegionId"), "xx-nowhere-9");
}

// The region list is asked for once per lookup without retry; a failed fetch
// leaves the request to the global host and is tried again at the next lookup.
TEST_F(ConnectionEndpoints, UnansweredRegionListIsNotRetriedAndFetchedAgainLater) {
  InjectFault(Unanswered("DescribeRegions", 1));
  CAliCloudECSConnection sECS;
  GiveKey(sECS);
  SAliCloudRequest sRequest = sECS.GetRegionSpecificRequest("cn-shanghai");
  EXPECT_EQ(sRequest.GetEndPoint(), "");
  EXPECT_TRUE(Log().Contains("Failed to get list of regions."));
  EXPECT_EQ(JournalOf("DescribeRegions").size(), 1u);
  EXPECT_TRUE(Sleeps().Pauses().empty());
  sRequest.AddURLParameter("Action", "DescribeInstances");
  EXPECT_EQ(HostOf(sECS, sRequest), "ecs.aliyuncs.com");

  EXPECT_EQ(sECS.GetRegionSpecificRequest("cn-shanghai").GetEndPoint(), "ecs.cn-shanghai.aliyuncs.com");
  EXPECT_EQ(JournalOf("DescribeRegions").size(), 2u);
}

TEST_F(ConnectionEndpoints, RegionEndpointThatIsNoHostNameIsNotUsed) {
  Emulator().Seed(std::string_view(R"({"Regions":[{"RegionId":"cn-shanghai","RegionEndpoint":"ecs.aliyuncs.com@attacker.example"}]})"));
  CAliCloudECSConnection sECS;
  GiveKey(sECS);
  EXPECT_EQ(sECS.GetRegionSpecificRequest("cn-shanghai").GetEndPoint(), "ecs.aliyuncs.com");
  EXPECT_EQ(sECS.GetRegionSpecificRequest("cn-hangzhou").GetEndPoint(), "ecs.cn-hangzhou.aliyuncs.com");
  EXPECT_EQ(JournalOf("DescribeRegions").size(), 1u);
}

TEST_F(ConnectionEndpoints, NetworkRequestsAlwaysGoToTheGlobalNetworkHost) {
  CAliCloudECSConnection sECS;
  CAliCloudVPCConnection sVPC;
  GiveKey(sECS);
  GiveKey(sVPC);
  SAliCloudRequest sRequest = sECS.GetRegionSpecificRequest("cn-shanghai");
  sRequest.AddURLParameter("Action", "DescribeVpcs");
  EXPECT_EQ(HostOf(sVPC, sRequest), "vpc.aliyuncs.com");
  EXPECT_EQ(Param(Journal().back(), "Version"), "2016-04-28");
  EXPECT_EQ(HostOf(sVPC, Action("DescribeVpcs")), "vpc.aliyuncs.com");
}

TEST_F(ConnectionEndpoints, DatabaseHostsGlobalOrRegional) {
  CAliCloudRDSConnection sRDS;
  GiveKey(sRDS);
  EXPECT_EQ(HostOf(sRDS, Action("DescribeRegions")), "rds.aliyuncs.com");
  EXPECT_EQ(Param(Journal().back(), "Version"), "2014-08-15");
  EXPECT_EQ(Journal().back().status, 200);

  SAliCloudRequest sRegional = SAliCloudRequest::GetRegionSpecificRDSRequest("ap-southeast-1");
  sRegional.AddURLParameter("Action", "DescribeDBInstances");
  EXPECT_EQ(HostOf(sRDS, sRegional), "rds.aliyuncs.com");
  SAliCloudRequest sZhangjiakou = SAliCloudRequest::GetRegionSpecificRDSRequest("cn-zhangjiakou");
  EXPECT_EQ(sZhangjiakou.GetEndPoint(), "rds.cn-zhangjiakou.aliyuncs.com");
}

// The time-out setting is the compute connection's alone.
TEST_F(ConnectionEndpoints, TimeOutSettingAppliesToComputeRequestsOnly) {
  SetSetting("nAliCloudRequestTimeOutInSec", uint64_t{20});
  CAliCloudECSConnection sECS;
  CAliCloudVPCConnection sVPC;
  GiveKey(sECS);
  GiveKey(sVPC);
  EXPECT_EQ(HostOf(sECS, Action("DescribeRegions")), "ecs.aliyuncs.com");
  EXPECT_EQ(HostOf(sECS, Action("DescribeRegions")), "ecs.aliyuncs.com");
  EXPECT_EQ(Journal().back().status, 200);
  EXPECT_EQ(Log().Count("Overriding default curl timeout to [20]."), 2u);
  Log().Clear();
  EXPECT_EQ(HostOf(sVPC, Action("DescribeVpcs")), "vpc.aliyuncs.com");
  EXPECT_FALSE(Log().Contains("Overriding default curl timeout"));
}

}  // namespace
}  // namespace AliCloudWrapper
