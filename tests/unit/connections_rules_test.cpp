// Service-connection rules that need no server: total-count keys, the region
// map's checks, the compute connection's endpoint and time-out handling, and
// the paged listing driven by canned pages.
#include <gtest/gtest.h>

#include <climits>
#include <deque>
#include <string>
#include <vector>

#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/CAliCloudRDSConnection.h"
#include "AliCloudWrapper/CAliCloudVPCConnection.h"
#include "AliCloudWrapper/ComputeRecords.h"
#include "TestSupport.h"

namespace AliCloudWrapper {
namespace {

TEST(ConnectionRules, TotalCountKeyAndVersionPerService) {
  CAliCloudECSConnection sECS;
  CAliCloudVPCConnection sVPC;
  CAliCloudRDSConnection sRDS;
  EXPECT_EQ(sECS.GetTagName(TAG_TOTAL_COUNT), "TotalCount");
  EXPECT_EQ(sVPC.GetTagName(TAG_TOTAL_COUNT), "TotalCount");
  EXPECT_EQ(sRDS.GetTagName(TAG_TOTAL_COUNT), "TotalRecordCount");
  EXPECT_EQ(sECS.GetTagName(static_cast<ETagType>(7)), "");

  // The version comes first, before the common parameters.
  const auto VersionOf = [](CAliCloudConnectionBase& sConnection) {
    SAliCloudRequest sRequest;
    sConnection.AddPublicParameters(sRequest);
    return sRequest.vecParameters.at(0);
  };
  EXPECT_EQ(VersionOf(sECS), URLParameter("Version", "2014-05-26"));
  EXPECT_EQ(VersionOf(sVPC), URLParameter("Version", "2016-04-28"));
  EXPECT_EQ(VersionOf(sRDS), URLParameter("Version", "2014-08-15"));
}

TEST(ConnectionRules, NetworkConnectionRefusesToConnect) {
  CAliCloudVPCConnection sVPC;
  const CZeError eResult = sVPC.Connect();
  ASSERT_TRUE(eResult.IsError());
  EXPECT_EQ(eResult.GetErrorMessage(), "CAliCloudVPCConnection::Connect() method not implemented");
}

SDCInfoLib Region(const std::string& strId, const std::string& strEndpoint) {
  SDCInfoLib sRegion;
  sRegion.strRegionId = strId;
  sRegion.strRegionEndpoint = strEndpoint;
  return sRegion;
}

TEST(ConnectionRules, RegionMapRejectsIncompleteLists) {
  ScopedLogCapture sLog(5);
  CAliCloudECSConnection sECS;
  EXPECT_FALSE(sECS.InitializeRegionIdToEndPointMap({}));
  EXPECT_TRUE(sLog.Contains("Empty region list passed."));
  EXPECT_FALSE(sECS.InitializeRegionIdToEndPointMap({Region("cn-hangzhou", "ecs.cn-hangzhou.aliyuncs.com"),
                                                     Region("", "ecs.x.aliyuncs.com")}));
  EXPECT_TRUE(sLog.Contains("Empty region id encountered."));
  EXPECT_FALSE(sECS.InitializeRegionIdToEndPointMap({Region("cn-hangzhou", "")}));
  EXPECT_TRUE(sLog.Contains("Empty region endpoint encountered."));
  EXPECT_TRUE(sECS.InitializeRegionIdToEndPointMap({Region("cn-hangzhou", "ecs.cn-hangzhou.aliyuncs.com")}));
  EXPECT_TRUE(sLog.Contains("Adding [cn-hangzhou:ecs.cn-hangzhou.aliyuncs.com] to map."));
}

// A region endpoint becomes the host of a signed URL: anything that would
// move the request to another host is left out of the map.
TEST(ConnectionRules, RegionMapIgnoresEndpointsThatAreNotHostNames) {
  ScopedLogCapture sLog(5);
  CAliCloudECSConnection sECS;
  EXPECT_TRUE(sECS.InitializeRegionIdToEndPointMap(
      {Region("cn-hangzhou", "ecs.aliyuncs.com@attacker.example"),
       Region("cn-shanghai", "attacker.example/ecs"), Region("ap-southeast-1", "host:8443"),
       Region("cn-beijing", "ecs.cn-beijing.aliyuncs.com")}));
  EXPECT_EQ(sLog.Count("is not a host name"), 3u);
  EXPECT_FALSE(sLog.Contains("Adding [cn-hangzhou"));
  EXPECT_TRUE(sLog.Contains("Adding [cn-beijing:ecs.cn-beijing.aliyuncs.com] to map."));
}

TEST(ConnectionRules, ComputeEndpointFromSettingsOrGlobal) {
  {
    ScopedSetting sNoEndpoint("AliCloudRegionEndpoint", "");
    CAliCloudECSConnection sECS;
    EXPECT_EQ(sECS.GetEndPoint(), "ecs.aliyuncs.com");
  }
  ScopedSetting sEndpoint("AliCloudRegionEndpoint", "ecs.cn-shanghai.aliyuncs.com");
  CAliCloudECSConnection sECS;
  EXPECT_EQ(sECS.GetEndPoint(), "ecs.cn-shanghai.aliyuncs.com");
  // The settings host serves every region without asking the service.
  EXPECT_EQ(sECS.GetEndPointForRegionId("ap-southeast-1"), "ecs.cn-shanghai.aliyuncs.com");

  SAliCloudRequest sWithout;
  sECS.PreRequest(sWithout);
  EXPECT_EQ(sWithout.GetEndPoint(), "ecs.cn-shanghai.aliyuncs.com");
  SAliCloudRequest sWith;
  sWith.SetEndPoint("ecs.ap-southeast-1.aliyuncs.com");
  sECS.PreRequest(sWith);
  EXPECT_EQ(sWith.GetEndPoint(), "ecs.ap-southeast-1.aliyuncs.com");
}

TEST(ConnectionRules, TimeOutOverrideIsAnnouncedAndClamped) {
  ScopedLogCapture sLog(5);
  CAliCloudECSConnection sECS;
  SAliCloudRequest sRequest;
  {
    ScopedSetting sZero("nAliCloudRequestTimeOutInSec", uint64_t{0});
    sECS.PreRequest(sRequest);
    EXPECT_FALSE(sLog.Contains("Overriding default curl timeout"));
  }
  {
    ScopedSetting sTwenty("nAliCloudRequestTimeOutInSec", uint64_t{20});
    sECS.PreRequest(sRequest);
    size_t nFound = 0;
    for (const SLogRecord& sRecord : sLog.Records()) {
      if (sRecord.strMessage != "Overriding default curl timeout to [20].") continue;
      ++nFound;
      EXPECT_TRUE(sRecord.bError);  // a notice, but written at error level
    }
    EXPECT_EQ(nFound, 1u);
  }
  {
    // Beyond a 32-bit int the value must not wrap into a negative (refused) time-out.
    ScopedSetting sHuge("nAliCloudRequestTimeOutInSec", uint64_t{1} << 40);
    sECS.PreRequest(sRequest);
    EXPECT_TRUE(sLog.Contains("Overriding default curl timeout to [2147483647]."));
  }
}

// ---- paged listing over canned pages ----

// A connection whose "service" is a queue of canned answers; it records the
// requests it was given.
class CCannedConnection : public CAliCloudConnectionBase {
 public:
  CZeError Connect() override { return CZeError(); }
  std::string GetTagName(ETagType eTag) override { return eTag == TAG_TOTAL_COUNT ? "TotalCount" : ""; }
  CZeError ExecuteRequest(SAliCloudRequest& sRequest, std::string& strResponse, bool bRetry) override {
    vecRequests.push_back(sRequest);
    vecRetryFlags.push_back(bRetry);
    if (queAnswers.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "no more canned answers");
    strResponse = queAnswers.front();
    queAnswers.pop_front();
    if (strResponse == "FAIL") return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Error code: Throttling");
    return CZeError();
  }

  std::deque<std::string> queAnswers;
  std::vector<SAliCloudRequest> vecRequests;
  std::vector<bool> vecRetryFlags;
};

// A page of instances "i-<first>" .. "i-<first+count-1>", announcing nTotal (negative: no total).
std::string Page(int nFirst, int nCount, int nTotal) {
  std::string strItems;
  for (int i = 0; i < nCount; ++i) {
    if (i > 0) strItems += ",";
    strItems += "{\"InstanceId\":\"i-" + std::to_string(nFirst + i) + "\"}";
  }
  std::string strPage = "{\"Instances\":{\"Instance\":[" + strItems + "]}";
  if (nTotal >= 0) strPage += ",\"TotalCount\":" + std::to_string(nTotal);
  return strPage + "}";
}

class PagedListing : public ::testing::Test {
 protected:
  CZeError List(int nPageSize = 0, bool bRetry = true) {
    SAliCloudRequest sRequest;
    sRequest.AddURLParameter("Action", "DescribeInstances");
    return sConnection.GetMultiPageList(sRequest, vecVMs, "Instances", "Instance", bRetry, nPageSize);
  }
  std::vector<std::string> Ids() const {
    std::vector<std::string> vecIds;
    for (const SVMInfoLib& sVM : vecVMs) vecIds.push_back(sVM.strInstanceId);
    return vecIds;
  }

  ScopedLogCapture sLog{5};
  CCannedConnection sConnection;
  std::vector<SVMInfoLib> vecVMs;
};

TEST_F(PagedListing, GrownListEndsAfterThePageThatPassesTheTotal) {
  sConnection.queAnswers = {Page(1, 2, 3), Page(3, 2, 5), Page(5, 1, 5)};
  ASSERT_FALSE(List(2, false).IsError());
  EXPECT_EQ(sConnection.vecRequests.size(), 2u);
  EXPECT_EQ(Ids(), (std::vector<std::string>{"i-1", "i-2", "i-3", "i-4"}));
  EXPECT_EQ(sConnection.vecRetryFlags, (std::vector<bool>{false, false}));
}

TEST_F(PagedListing, EmptyPageShortOfTheTotalEndsWithWhatArrived) {
  sConnection.queAnswers = {Page(1, 3, 10), Page(0, 0, 10), Page(4, 3, 10)};
  ASSERT_FALSE(List().IsError());
  EXPECT_EQ(sConnection.vecRequests.size(), 2u);
  EXPECT_EQ(Ids().size(), 3u);
  EXPECT_EQ(sLog.Count("Listing [DescribeInstances] ended early: page [2] brought no records after [3] of [10]."),
            1u);
}

TEST_F(PagedListing, FailuresKeepThePagesAlreadyGathered) {
  sConnection.queAnswers = {Page(1, 2, 6), "FAIL"};
  CZeError eResult = List();
  ASSERT_TRUE(eResult.IsError());
  EXPECT_EQ(eResult.GetErrorMessage(), "Error code: Throttling");
  EXPECT_EQ(Ids().size(), 2u);

  vecVMs.clear();
  sConnection.queAnswers = {Page(1, 2, 6), "<html>gateway</html>"};
  eResult = List();
  ASSERT_TRUE(eResult.IsError());
  EXPECT_EQ(eResult.GetErrorMessage(), "Failed to parse response from server.");
  EXPECT_TRUE(sLog.Contains("Failed to parse response [<html>gateway</html>]."));
  EXPECT_EQ(Ids().size(), 2u);

  // Page 1 without a total: its records stay, the listing fails.
  vecVMs.clear();
  sConnection.queAnswers = {Page(1, 2, -1)};
  eResult = List();
  ASSERT_TRUE(eResult.IsError());
  EXPECT_EQ(eResult.GetErrorMessage(), "Unkown response from server.");
  EXPECT_TRUE(sLog.Contains("Failed to parse total count of list."));
  EXPECT_EQ(Ids().size(), 2u);
}

TEST_F(PagedListing, EachPageIsAFreshCopyWithItsPageNumber) {
  sConnection.queAnswers = {Page(1, 1, 2), Page(2, 1, 2)};
  SAliCloudRequest sRequest;
  sRequest.AddURLParameter("Action", "DescribeInstances");
  sRequest.SetEndPoint("ecs.cn-hangzhou.aliyuncs.com");
  ASSERT_FALSE(sConnection.GetMultiPageList(sRequest, vecVMs, "Instances", "Instance", true, 0).IsError());
  // The caller's request is untouched; no "PageSize" without a page size.
  EXPECT_EQ(sRequest.vecParameters.size(), 1u);
  ASSERT_EQ(sConnection.vecRequests.size(), 2u);
  EXPECT_EQ(sConnection.vecRequests[1].vecParameters,
            (std::vector<URLParameter>{{"Action", "DescribeInstances"}, {"PageNumber", "2"}}));
  EXPECT_EQ(sConnection.vecRequests[1].GetEndPoint(), "ecs.cn-hangzhou.aliyuncs.com");
}

}  // namespace
}  // namespace AliCloudWrapper
