// The facade and its connections against the emulator, read from the journal:
// the lifecycle (credential checks that send nothing, Connect and ConnectRDS,
// the last error, database operations before database access exists), which
// host each request goes to, and paged listings.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/CAliCloudVPCConnection.h"
#include "AliCloudWrapper/CAliCloudWrapper.h"
#include "AliCloudWrapper/ComputeRecords.h"
#include "AliCloudWrapper/SAliCloudRequest.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"
#include "EmulatorFixture.h"

namespace AliCloudWrapper {
namespace {

class FacadeTest : public EmulatorFixture {
 protected:
  // The next nCount requests of strAction get no answer at all.
  void LeaveUnanswered(const std::string& strAction, int nCount = 1) {
    InjectFault(AcwEmulator::FaultKind::CloseBeforeAnswer, strAction, nCount);
  }
  // Gives a service connection the access key the emulator accepts.
  template <typename TConnection>
  static void GiveKey(TConnection& sConnection) {
    sConnection.SetAccessKeyId(KEY_ID);
    sConnection.SetAccessKeySecret(KEY_SECRET);
  }
  // A request holding these parameters in this order.
  static SAliCloudRequest Request(const std::vector<URLParameter>& vecParameters) {
    SAliCloudRequest sRequest;
    for (const URLParameter& sPair : vecParameters) sRequest.AddURLParameter(sPair.first, sPair.second);
    return sRequest;
  }
};

constexpr const char* WRONG_SECRET = "not-the-secret-4711";
using FacadeLifecycle = FacadeTest;

TEST_F(FacadeLifecycle, EmptyCredentialsSendNothing) {
  CAliCloudWrapper sFacade;
  EXPECT_FALSE(sFacade.Connect("", KEY_SECRET));
  EXPECT_EQ(sFacade.GetLastError(), "Empty access key Id passed.");
  EXPECT_TRUE(Log().Contains("Access key Id is empty."));
  EXPECT_FALSE(sFacade.Connect(KEY_ID, ""));
  EXPECT_EQ(sFacade.GetLastError(), "Empty access key secret passed.");
  EXPECT_TRUE(Log().Contains("Access key secret is empty."));
  EXPECT_FALSE(sFacade.ConnectRDS("", ""));
  EXPECT_EQ(sFacade.GetLastError(), "Empty access key Id passed.");
  EXPECT_TRUE(Journal().empty());
}

// Caller ids with line breaks stay inside their one log line and last error.
TEST_F(FacadeLifecycle, CallerTextCannotForgeLines) {
  CAliCloudWrapper sFacade;
  EXPECT_FALSE(sFacade.DetachDisk("i-1\nERROR forged", "d-1\r\n", ""));
  // Without a region the instance is looked up first; that fails (no key), and
  // the log line names the caller's ids escaped.
  EXPECT_TRUE(Log().Contains("DetachDisk failed for VM [i-1\\nERROR forged], disk [d-1\\r\\n]."));
  EXPECT_EQ(sFacade.GetLastError().find_first_of("\r\n"), std::string::npos);
  for (const SLogRecord& sRecord : Log().Records()) {
    EXPECT_EQ(sRecord.strMessage.find_first_of("\r\n"), std::string::npos) << sRecord.strMessage;
  }
  EXPECT_TRUE(Journal().empty());
}

// An answer of the service is final: no retry, no pause, the service's code in
// the last error and the secret in no log line. Connect then proves a good key
// with one compute request and clears the last error.
TEST_F(FacadeLifecycle, ConnectProvesTheKeyWithOneComputeRequest) {
  CAliCloudWrapper sFacade;
  EXPECT_FALSE(sFacade.Connect(KEY_ID, WRONG_SECRET));
  EXPECT_NE(sFacade.GetLastError().find("SignatureDoesNotMatch"), std::string::npos) << sFacade.GetLastError();
  EXPECT_EQ(Journal().size(), 1u);
  EXPECT_TRUE(Sleeps().Pauses().empty());
  EXPECT_TRUE(Log().Contains("Failed to connect. Error: ["));

  ASSERT_TRUE(sFacade.Connect(KEY_ID, KEY_SECRET)) << sFacade.GetLastError();
  EXPECT_EQ(sFacade.GetLastError(), "");
  const auto vecJournal = Journal();
  ASSERT_EQ(vecJournal.size(), 2u);
  EXPECT_EQ(vecJournal[1].host, "ecs.aliyuncs.com");
  EXPECT_EQ(vecJournal[1].action, "DescribeRegions");
  EXPECT_EQ(Param(vecJournal[1], "AccessKeyId"), KEY_ID);
  EXPECT_EQ(Log().Dump().find(WRONG_SECRET), std::string::npos);
  EXPECT_EQ(Log().Dump().find(KEY_SECRET), std::string::npos);
}

TEST_F(FacadeLifecycle, UnansweredConnectIsRetriedAsTheSettingsSay) {
  LeaveUnanswered("DescribeRegions", 2);
  CAliCloudWrapper sFacade;
  ASSERT_TRUE(sFacade.Connect(KEY_ID, KEY_SECRET)) << sFacade.GetLastError();
  EXPECT_EQ(JournalOf("DescribeRegions").size(), 3u);
  EXPECT_EQ(Sleeps().Pauses(), (std::vector<uint64_t>{30000, 30000}));
}

TEST_F(FacadeLifecycle, ConnectRDSUsesTheDatabaseServiceOnceWithoutRetry) {
  CAliCloudWrapper sFacade;
  ASSERT_TRUE(sFacade.ConnectRDS(KEY_ID, KEY_SECRET)) << sFacade.GetLastError();
  ASSERT_EQ(Journal().size(), 1u);
  EXPECT_EQ(Journal()[0].host, "rds.aliyuncs.com");
  EXPECT_EQ(Param(Journal()[0], "Version"), "2014-08-15");
  EXPECT_FALSE(sFacade.ConnectRDS(KEY_ID, WRONG_SECRET));
  EXPECT_NE(sFacade.GetLastError().find("SignatureDoesNotMatch"), std::string::npos);
  EXPECT_EQ(Journal().size(), 2u);

  // A fresh facade (a fresh TCP connection, so the HTTP layer has no stale
  // kept-alive connection to resend on): an unanswered request is not retried.
  Emulator().ClearJournal();
  LeaveUnanswered("DescribeRegions");
  CAliCloudWrapper sOther;
  EXPECT_FALSE(sOther.ConnectRDS(KEY_ID, KEY_SECRET));
  EXPECT_EQ(sOther.GetLastError(),
            "Request did not complete successfully: Server returned nothing (no headers, no data): Empty "
            "reply from server.");
  EXPECT_EQ(Journal().size(), 1u);
  EXPECT_TRUE(Sleeps().Pauses().empty());
}

// Database operations need the objects InitRDS builds; before that they fail
// with a clear text and send nothing. A failed ConnectRDS still builds them,
// and a second ConnectRDS reuses them.
TEST_F(FacadeLifecycle, DatabaseOperationsNeedDatabaseAccessFirst) {
  const std::string strNotInitialised = "Database access is not initialised: call ConnectRDS first.";
  CAliCloudWrapper sFacade;
  std::vector<SDBInstanceInfoLib> vecInstances;
  EXPECT_FALSE(sFacade.GetDBInstanceInfoList(vecInstances, 0, 0));
  EXPECT_EQ(sFacade.GetLastError(), strNotInitialised);
  EXPECT_FALSE(sFacade.RefreshDBInstanceInfoList(0, 0, SDBInstanceFilterLib()));
  EXPECT_EQ(sFacade.GetLastError(), strNotInitialised);

  EXPECT_FALSE(sFacade.ConnectRDS(KEY_ID, ""));
  sFacade.ClearLastError();
  (void)sFacade.GetDBInstanceInfoList(vecInstances, 0, 0);
  EXPECT_NE(sFacade.GetLastError(), strNotInitialised);
  EXPECT_TRUE(Journal().empty());
  EXPECT_TRUE(sFacade.ConnectRDS(KEY_ID, KEY_SECRET));
}

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
