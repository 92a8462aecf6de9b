// Paged listing of DescribeInstances against the emulator, which pages with the
// real defaults (10 per page): request counts and the page numbers sent.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/ComputeRecords.h"
#include "FacadeTestSupport.h"

namespace AliCloudWrapper {
namespace {

using PagingList = FacadeTest;

// nCount instances "i-page-00" .. in ap-southeast-1 (a region the demo world holds no instances in), listed in that order.
std::string InstancesSeed(int nCount) {
  std::string strItems;
  for (int i = 0; i < nCount; ++i) {
    strItems += std::string(i > 0 ? "," : "") + "{\"InstanceId\":\"i-page-" + (i < 10 ? "0" : "") +
                std::to_string(i) + "\",\"RegionId\":\"ap-southeast-1\",\"ZoneId\":\"ap-southeast-1a\"}";
  }
  return "{\"Instances\":[" + strItems + "]}";
}

// Pages are asked for until the total is reached, each retried on its own, and
// appended behind the records the caller already holds.
TEST_F(PagingList, PagesAskedForAndGathered) {
  struct SCase {
    int nInstances;
    int nPageSize;  // 0: the service's default of 10
    int nUnanswered;
    std::vector<std::string> vecPages;
  };
  const SCase aCases[] = {
      {15, 10, 1, {"1", "1", "2"}},  // first, so its connection has no kept-alive socket yet
      {0, 0, 0, {"1"}},
      {21, 0, 0, {"1", "2", "3"}},
      {25, 10, 0, {"1", "2", "3"}},
  };
  for (const SCase& sCase : aCases) {
    SCOPED_TRACE(sCase.nInstances);
    Emulator().Reset();
    Emulator().Seed(std::string_view(InstancesSeed(sCase.nInstances)));
    if (sCase.nUnanswered > 0) LeaveUnanswered("DescribeInstances", sCase.nUnanswered);
    const size_t nPausesBefore = Sleeps().Pauses().size();
    CAliCloudECSConnection sECS;
    GiveKey(sECS);
    std::vector<SVMInfoLib> vecVMs(1);
    vecVMs[0].strInstanceId = "mine";
    SAliCloudRequest sRequest = Request({{"RegionId", "ap-southeast-1"}, {"Action", "DescribeInstances"}});
    ASSERT_FALSE(sECS.GetMultiPageList(sRequest, vecVMs, "Instances", "Instance", true, sCase.nPageSize).IsError());

    std::vector<std::string> vecPages;
    for (const auto& sEntry : JournalOf("DescribeInstances")) {
      vecPages.push_back(Param(sEntry, "PageNumber").value_or("-"));
      EXPECT_EQ(Param(sEntry, "PageSize"),
                sCase.nPageSize ? std::optional<std::string>(std::to_string(sCase.nPageSize)) : std::nullopt);
    }
    EXPECT_EQ(vecPages, sCase.vecPages);
    EXPECT_EQ(Sleeps().Pauses().size() - nPausesBefore, static_cast<size_t>(sCase.nUnanswered));
    ASSERT_EQ(vecVMs.size(), static_cast<size_t>(sCase.nInstances) + 1);
    EXPECT_EQ(vecVMs[0].strInstanceId, "mine");
    if (sCase.nInstances == 0) continue;
    EXPECT_EQ(vecVMs[1].strInstanceId, "i-page-00");
    EXPECT_EQ(vecVMs.back().strInstanceId, "i-page-" + std::to_string(sCase.nInstances - 1));
    EXPECT_EQ(vecVMs.back().strRegionId, "ap-southeast-1");
  }
}

}  // namespace
}  // namespace AliCloudWrapper
