// Which host each service connection sends to, seen from the emulator's journal:
// the settings host, the region map built from one DescribeRegions, the global
// hosts, and the database hosts.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/CAliCloudRDSConnection.h"
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

// A region missing from the map, or whose endpoint is no host name (it would
// move the signed request elsewhere), goes to the global host with its id.
TEST_F(ConnectionEndpoints, RegionsOutsideTheMapGoToTheGlobalHost) {
  Emulator().Seed(std::string_view(R"({"Regions":[{"RegionId":"cn-shanghai","RegionEndpoint":"ecs.aliyuncs.com@attacker.example"}]})"));
  SAliCloudRequest sRequest = RegionRequest("xx-nowhere-9", "DescribeInstances");
  EXPECT_EQ(sRequest.GetEndPoint(), "ecs.aliyuncs.com");
  EXPECT_TRUE(Log().Contains(
      "Could not obtain end point for region [xx-nowhere-9]. Falling back to default end point."));
  EXPECT_EQ(HostOf(sECS, sRequest), "ecs.aliyuncs.com");
  EXPECT_EQ(Param(Journal().back(), "RegionId"), "xx-nowhere-9");

  EXPECT_EQ(sECS.GetRegionSpecificRequest("cn-shanghai").GetEndPoint(), "ecs.aliyuncs.com");
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

// Network requests go to the global network host whatever region they carry;
// database requests to the global database host unless built for a region
// with a host of its own.
TEST_F(ConnectionEndpoints, NetworkAndDatabaseHosts) {
  CAliCloudVPCConnection sVPC;
  CAliCloudRDSConnection sRDS;
  GiveKey(sVPC);
  GiveKey(sRDS);
  EXPECT_EQ(HostOf(sVPC, RegionRequest("cn-shanghai", "DescribeVpcs")), "vpc.aliyuncs.com");
  EXPECT_EQ(Param(Journal().back(), "Version"), "2016-04-28");
  EXPECT_EQ(HostOf(sVPC, Request({{"Action", "DescribeVpcs"}})), "vpc.aliyuncs.com");

  EXPECT_EQ(HostOf(sRDS, Request({{"Action", "DescribeRegions"}})), "rds.aliyuncs.com");
  EXPECT_EQ(Param(Journal().back(), "Version"), "2014-08-15");
  EXPECT_EQ(Journal().back().status, 200);
  SAliCloudRequest sRegional = SAliCloudRequest::GetRegionSpecificRDSRequest("cn-zhangjiakou");
  sRegional.AddURLParameter("Action", "DescribeDBInstances");
  EXPECT_EQ(HostOf(sRDS, sRegional), "rds.cn-zhangjiakou.aliyuncs.com");
}

// The time-out setting is the compute connection's alone, read with the other
// settings at its first request and announced (at error level) then, not per
// request. Zero leaves the HTTP default; a huge value (of it, or of the connect
// time-out) means "as long as possible", never a refused option that leaves the
// HTTP client unusable.
TEST_F(ConnectionEndpoints, TimeOutSettingAppliesToComputeRequestsOnly) {
  for (const uint64_t nSeconds : {uint64_t{0}, uint64_t{20}, uint64_t{1} << 40}) {
    ScopedSetting sTimeOut("nAliCloudRequestTimeOutInSec", nSeconds);
    ScopedSetting sConnectTimeOut("nAliCloudConnectTimeOutInSec", nSeconds);
    CAliCloudECSConnection sCompute;
    CAliCloudVPCConnection sVPC;
    GiveKey(sCompute);
    GiveKey(sVPC);
    for (int n = 0; n < 2; ++n) {
      EXPECT_EQ(HostOf(sCompute, Request({{"Action", "DescribeRegions"}})), "ecs.aliyuncs.com");
      EXPECT_EQ(Journal().back().status, 200);
      EXPECT_EQ(HostOf(sVPC, Request({{"Action", "DescribeVpcs"}})), "vpc.aliyuncs.com");
    }
  }
  std::vector<std::string> vecAnnounced;
  for (const SLogRecord& sRecord : Log().Records()) {
    if (sRecord.strMessage.rfind("Overriding default curl timeout", 0) != 0) continue;
    vecAnnounced.push_back(sRecord.strMessage);
    EXPECT_TRUE(sRecord.bError);
  }
  EXPECT_EQ(vecAnnounced, (std::vector<std::string>{"Overriding default curl timeout to [20].",
                                                    "Overriding default curl timeout to [2147483647]."}));
}

}  // namespace
}  // namespace AliCloudWrapper
