// Paged listing of DescribeInstances against the emulator, which pages with the
// real defaults (10 per page): request counts and the page numbers sent.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/ComputeRecords.h"
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

class PagingList : public EmulatorFixture {
 protected:
  void SetUp() override {
    EmulatorFixture::SetUp();
    sECS.SetAccessKeyId(KEY_ID);
    sECS.SetAccessKeySecret(KEY_SECRET);
  }

  // nCount instances "i-page-00" .. in cn-shanghai, listed in that order.
  void SeedInstances(int nCount) {
    std::string strItems;
    for (int i = 0; i < nCount; ++i) {
      if (i > 0) strItems += ",";
      strItems += "{\"InstanceId\":\"i-page-" + std::string(i < 10 ? "0" : "") + std::to_string(i) +
                  "\",\"RegionId\":\"cn-shanghai\",\"ZoneId\":\"cn-shanghai-e\"}";
    }
    Emulator().Seed(std::string_view("{\"Instances\":[" + strItems + "]}"));
  }

  CZeError ListRegion(const std::string& strRegion, int nPageSize) {
    SAliCloudRequest sRequest;
    sRequest.AddURLParameter("RegionId", strRegion);
    sRequest.AddURLParameter("Action", "DescribeInstances");
    return sECS.GetMultiPageList(sRequest, vecVMs, "Instances", "Instance", true, nPageSize);
  }

  std::vector<std::string> PageNumbersSent() const {
    std::vector<std::string> vecPages;
    for (const auto& sEntry : JournalOf("DescribeInstances")) vecPages.push_back(Param(sEntry, "PageNumber").value_or("-"));
    return vecPages;
  }

  CAliCloudECSConnection sECS;
  std::vector<SVMInfoLib> vecVMs;
};

TEST_F(PagingList, EmptyListCostsOneRequest) {
  ASSERT_FALSE(ListRegion("ap-southeast-1", 0).IsError());
  EXPECT_TRUE(vecVMs.empty());
  EXPECT_EQ(PageNumbersSent(), (std::vector<std::string>{"1"}));
}

TEST_F(PagingList, TwentyFiveInPagesOfTenCostThreeRequests) {
  SeedInstances(25);
  vecVMs.resize(2);
  vecVMs[0].strInstanceId = "mine-1";
  vecVMs[1].strInstanceId = "mine-2";
  ASSERT_FALSE(ListRegion("cn-shanghai", 10).IsError());

  EXPECT_EQ(PageNumbersSent(), (std::vector<std::string>{"1", "2", "3"}));
  for (const auto& sEntry : JournalOf("DescribeInstances")) EXPECT_EQ(Param(sEntry, "PageSize"), "10");
  ASSERT_EQ(vecVMs.size(), 27u);
  EXPECT_EQ(vecVMs[0].strInstanceId, "mine-1");  // the caller's records stay in front
  EXPECT_EQ(vecVMs[1].strInstanceId, "mine-2");
  EXPECT_EQ(vecVMs[2].strInstanceId, "i-page-00");
  EXPECT_EQ(vecVMs[26].strInstanceId, "i-page-24");
  EXPECT_EQ(vecVMs[26].strRegionId, "cn-shanghai");
}

// Without a page size the service's default applies: 10 per page.
TEST_F(PagingList, ServiceDefaultPageSizeWhenNoneIsGiven) {
  SeedInstances(21);
  ASSERT_FALSE(ListRegion("cn-shanghai", 0).IsError());
  EXPECT_EQ(PageNumbersSent(), (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_FALSE(Param(JournalOf("DescribeInstances")[0], "PageSize").has_value());
  EXPECT_EQ(vecVMs.size(), 21u);
}

// Each page is retried on its own; an unanswered page costs one more attempt.
TEST_F(PagingList, EachPageIsRetriedOnItsOwn) {
  SeedInstances(15);
  InjectFault(Unanswered("DescribeInstances", 1));
  ASSERT_FALSE(ListRegion("cn-shanghai", 10).IsError());
  EXPECT_EQ(PageNumbersSent(), (std::vector<std::string>{"1", "1", "2"}));
  EXPECT_EQ(vecVMs.size(), 15u);
  EXPECT_EQ(Sleeps().Pauses().size(), 1u);
}

}  // namespace
}  // namespace AliCloudWrapper
