// Service-connection rules that need no server: the region map's checks and
// the paged listing driven by canned pages.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/ComputeRecords.h"
#include "TestSupport.h"

namespace AliCloudWrapper {
namespace {

SDCInfoLib Region(const std::string& strId, const std::string& strEndpoint) {
  SDCInfoLib sRegion;
  sRegion.strRegionId = strId;
  sRegion.strRegionEndpoint = strEndpoint;
  return sRegion;
}

// Incomplete lists are refused. A region endpoint becomes the host of a signed
// URL: anything that would move the request to another host is left out.
TEST(ConnectionRules, RegionMapChecksItsInput) {
  ScopedLogCapture sLog(5);
  CAliCloudECSConnection sECS;
  EXPECT_FALSE(sECS.InitializeRegionIdToEndPointMap({}));
  EXPECT_TRUE(sLog.Contains("Empty region list passed."));
  EXPECT_FALSE(sECS.InitializeRegionIdToEndPointMap({Region("cn-hangzhou", "ecs.cn-hangzhou.aliyuncs.com"),
                                                     Region("", "ecs.x.aliyuncs.com")}));
  EXPECT_TRUE(sLog.Contains("Empty region id encountered."));
  EXPECT_FALSE(sECS.InitializeRegionIdToEndPointMap({Region("cn-hangzhou", "")}));
  EXPECT_TRUE(sLog.Contains("Empty region endpoint encountered."));

  sLog.Clear();
  EXPECT_TRUE(sECS.InitializeRegionIdToEndPointMap(
      {Region("cn-hangzhou", "ecs.aliyuncs.com@attacker.example"), Region("cn-shanghai", "attacker.example/ecs"),
       Region("ap-southeast-1", "host:8443"), Region("cn-beijing", "ecs.cn-beijing.aliyuncs.com")}));
  EXPECT_EQ(sLog.Count("is not a host name"), 3u);
  EXPECT_FALSE(sLog.Contains("Adding [cn-hangzhou"));
  EXPECT_TRUE(sLog.Contains("Adding [cn-beijing:ecs.cn-beijing.aliyuncs.com] to map."));
}

// ---- paged listing over canned pages ----

// A connection whose "service" is a queue of canned answers ("FAIL": an error
// answer); it records the requests it was given.
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
    strItems += std::string(i > 0 ? "," : "") + "{\"InstanceId\":\"i-" + std::to_string(nFirst + i) + "\"}";
  }
  const std::string strTotal = nTotal >= 0 ? ",\"TotalCount\":" + std::to_string(nTotal) : "";
  return "{\"Instances\":{\"Instance\":[" + strItems + "]}" + strTotal + "}";
}

class PagedListing : public ::testing::Test {
 protected:
  CZeError List(int nPageSize = 0, bool bRetry = true) {
    return sConnection.GetMultiPageList(sRequest, vecVMs, "Instances", "Instance", bRetry, nPageSize);
  }
  std::vector<std::string> Ids() const {
    std::vector<std::string> vecIds;
    for (const SVMInfoLib& sVM : vecVMs) vecIds.push_back(sVM.strInstanceId);
    return vecIds;
  }

  ScopedLogCapture sLog{5};
  CCannedConnection sConnection;
  SAliCloudRequest sRequest;
  std::vector<SVMInfoLib> vecVMs;
};

// A list that grows while it is read ends after the page that passes the total.
// Each page is a fresh copy of the caller's request (left untouched) with its
// page number and size, sent with the caller's retry choice.
TEST_F(PagedListing, GrownListEndsAfterThePageThatPassesTheTotal) {
  sRequest.AddURLParameter("Action", "DescribeInstances");
  sRequest.SetEndPoint("ecs.cn-hangzhou.aliyuncs.com");
  sConnection.queAnswers = {Page(1, 2, 3), Page(3, 2, 5), Page(5, 1, 5)};
  ASSERT_FALSE(List(2, false).IsError());
  EXPECT_EQ(Ids(), (std::vector<std::string>{"i-1", "i-2", "i-3", "i-4"}));
  EXPECT_EQ(sConnection.vecRetryFlags, (std::vector<bool>{false, false}));
  EXPECT_EQ(sRequest.vecParameters.size(), 1u);
  ASSERT_EQ(sConnection.vecRequests.size(), 2u);
  EXPECT_EQ(sConnection.vecRequests[1].vecParameters,
            (std::vector<URLParameter>{{"Action", "DescribeInstances"}, {"PageNumber", "2"}, {"PageSize", "2"}}));
  EXPECT_EQ(sConnection.vecRequests[1].GetEndPoint(), "ecs.cn-hangzhou.aliyuncs.com");
}

TEST_F(PagedListing, EmptyPageShortOfTheTotalEndsWithWhatArrived) {
  sRequest.AddURLParameter("Action", "DescribeInstances");
  sConnection.queAnswers = {Page(1, 3, 10), Page(0, 0, 10), Page(4, 3, 10)};
  ASSERT_FALSE(List().IsError());
  EXPECT_EQ(sConnection.vecRequests.size(), 2u);
  EXPECT_EQ(Ids().size(), 3u);
  EXPECT_EQ(sLog.Count("Listing [DescribeInstances] ended early: page [2] brought no records after [3] of [10]."),
            1u);
}

// An error answer, an unreadable page, or a first page without a total: the
// listing fails and the records already gathered stay.
TEST_F(PagedListing, FailuresKeepThePagesAlreadyGathered) {
  struct SCase {
    std::deque<std::string> queAnswers;
    const char* pszError;
    const char* pszLogged;  // nullptr: nothing of its own
  };
  const SCase aCases[] = {
      {{Page(1, 2, 6), "FAIL"}, "Error code: Throttling", nullptr},
      {{Page(1, 2, 6), "<html>gateway</html>"}, "Failed to parse response from server.",
       "Failed to parse response [<html>gateway</html>]."},
      {{Page(1, 2, -1)}, "Unkown response from server.", "Failed to parse total count of list."},
  };
  for (const SCase& sCase : aCases) {
    SCOPED_TRACE(sCase.pszError);
    vecVMs.clear();
    sConnection.queAnswers = sCase.queAnswers;
    const CZeError eResult = List();
    ASSERT_TRUE(eResult.IsError());
    EXPECT_EQ(eResult.GetErrorMessage(), sCase.pszError);
    EXPECT_TRUE(sCase.pszLogged == nullptr || sLog.Contains(sCase.pszLogged)) << sLog.Dump();
    EXPECT_EQ(Ids().size(), 2u);
  }
}

}  // namespace
}  // namespace AliCloudWrapper
