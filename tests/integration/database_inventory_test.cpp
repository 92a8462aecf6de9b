// The database inventory against the emulator: region discovery, the engine
// filter, paging, the attribute walk and their failures, each read from the
// emulator's journal; and the facade's two database operations.
#include <boost/json.hpp>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AliCloudWrapper/AliCloudWrapper.h"
#include "EmulatorFixture.h"

namespace AliCloudWrapper {
namespace {

using AcwEmulator::ActionContext;
using AcwEmulator::FaultKind;
using AcwEmulator::Product;
using Ids = std::vector<std::string>;

SDBInstanceFilterLib Filter(bool bSet, int32_t nEngineType) {
  SDBInstanceFilterLib sFilter;
  sFilter.bIsFilterSet = bSet;
  sFilter.nEngineType = nEngineType;
  return sFilter;
}

// Three regions: cn-hangzhou (central host, listed three times: two zones and a
// multi-zone id), ap-southeast-5 (its own host, listed twice) and cn-shanghai
// (central host, no instances).
class DatabaseInventoryTest : public EmulatorFixture {
 protected:
  static constexpr const char* CENTRAL = "rds.aliyuncs.com";
  static constexpr const char* JAKARTA_HOST = "rds.ap-southeast-5.aliyuncs.com";
  const Ids ALL = {"rm-h1", "rm-h2", "rm-j1", "rm-j2"};

  AcwEmulator::Options EmulatorOptions() const override {
    AcwEmulator::Options sOptions;
    sOptions.seedDefaultWorld = false;
    return sOptions;
  }

  void SetUp() override {
    EmulatorFixture::SetUp();
    Emulator().Seed(std::string_view(R"json({
      "Regions": [
        {"RegionId": "cn-hangzhou", "Zones": [{"ZoneId": "cn-hangzhou-h"}, {"ZoneId": "cn-hangzhou-i"}],
         "_RdsZones": [{"ZoneId": "cn-hangzhou-MAZ10(h,i)"}]},
        {"RegionId": "ap-southeast-5", "_RdsEndpoint": "rds.ap-southeast-5.aliyuncs.com",
         "Zones": [{"ZoneId": "ap-southeast-5a"}, {"ZoneId": "ap-southeast-5b"}]},
        {"RegionId": "cn-shanghai", "Zones": [{"ZoneId": "cn-shanghai-e"}]}],
      "DBInstances": [
        {"DBInstanceId": "rm-h1", "Engine": "MySQL", "EngineVersion": "8.0", "RegionId": "cn-hangzhou",
         "ZoneId": "cn-hangzhou-h", "ConnectionString": "rm-h1.mysql.rds.aliyuncs.com"},
        {"DBInstanceId": "rm-h2", "Engine": "PostgreSQL", "EngineVersion": "14.0", "RegionId": "cn-hangzhou",
         "ZoneId": "cn-hangzhou-i", "_Port": "5433"},
        {"DBInstanceId": "rm-j1", "Engine": "MySQL", "RegionId": "ap-southeast-5", "ZoneId": "ap-southeast-5a"},
        {"DBInstanceId": "rm-j2", "Engine": "MariaDB", "RegionId": "ap-southeast-5", "ZoneId": "ap-southeast-5b"}]
    })json"));
    m_pConnection = std::make_unique<CAliCloudRDSConnection>();
    m_pConnection->SetAccessKeyId(KEY_ID);
    m_pConnection->SetAccessKeySecret(KEY_SECRET);
    m_pQueries = NewQueries();
  }

  void TearDown() override {
    m_pQueries.reset();
    m_pConnection.reset();
    EmulatorFixture::TearDown();
  }

  // A queries object with empty caches on the test's connection.
  std::unique_ptr<CAliCloudRDSQueries> NewQueries() {
    return std::make_unique<CAliCloudRDSQueries>(m_pConnection.get(), &m_sParser);
  }

  CZeError Refresh(const SDBInstanceFilterLib& sFilter = SDBInstanceFilterLib()) {
    return m_pQueries->RefreshDBInstanceInfoList(0, 0, sFilter);
  }

  // The ids of the cached instances, read through their attributes.
  Ids CachedIds() {
    std::vector<SDBInstanceInfoLib> vecAttributes;
    const CZeError err = m_pQueries->GetDBInstanceInfoList(vecAttributes, 0, 0);
    EXPECT_FALSE(err.IsError()) << err.AsString();
    Ids vecIds;
    for (const auto& sAttributes : vecAttributes) vecIds.push_back(sAttributes.strDBInstanceId);
    return vecIds;
  }

  // "host RegionId[ Engine=...]" of each request of an action.
  std::vector<std::string> Requests(const std::string& strAction, const char* pszExtra = "Engine") {
    std::vector<std::string> vecLines;
    for (const auto& sEntry : JournalOf(strAction)) {
      const auto extra = Param(sEntry, pszExtra);
      vecLines.push_back(sEntry.host + " " + Param(sEntry, "RegionId").value_or("-") +
                         (extra ? " " + std::string(pszExtra) + "=" + *extra : ""));
    }
    return vecLines;
  }

  // Makes the service list these region ids, in this order, as its database regions.
  void ListRegions(const Ids& vecRegionIds) {
    Emulator().RegisterAction(Product::Rds, "DescribeRegions", [vecRegionIds](ActionContext&) {
      boost::json::array entries;
      for (const auto& strId : vecRegionIds) entries.push_back(boost::json::object{{"RegionId", strId}});
      return boost::json::object{{"Regions", boost::json::object{{"RDSRegion", entries}}}};
    });
  }

  std::unique_ptr<CAliCloudRDSConnection> m_pConnection;
  CAliCloudParser m_sParser;
  std::unique_ptr<CAliCloudRDSQueries> m_pQueries;
};

TEST_F(DatabaseInventoryTest, EveryRegionIsListedOnceInFirstPlaceAtItsHost) {
  ASSERT_FALSE(Refresh().IsError());
  const auto vecDiscoveries = JournalOf("DescribeRegions");
  ASSERT_EQ(vecDiscoveries.size(), 1u);
  EXPECT_EQ(vecDiscoveries[0].host, CENTRAL);
  // No "Engine" without a filter; each region once, at its own host.
  const std::vector<std::string> vecOnce = {"rds.aliyuncs.com cn-hangzhou", "rds.ap-southeast-5.aliyuncs.com ap-southeast-5",
                                            "rds.aliyuncs.com cn-shanghai"};
  EXPECT_EQ(Requests("DescribeDBInstances"), vecOnce);
  EXPECT_EQ(CachedIds(), ALL);

  // The regions are asked once per object.
  ASSERT_FALSE(Refresh().IsError());
  EXPECT_EQ(JournalOf("DescribeRegions").size(), 1u);
  EXPECT_EQ(Requests("DescribeDBInstances").size(), 6u);

  // Interleaved repeats keep the place of the first appearance.
  ListRegions({"cn-shanghai", "ap-southeast-5", "cn-shanghai", "cn-hangzhou", "ap-southeast-5", "cn-hangzhou"});
  Emulator().ClearJournal();
  ASSERT_FALSE(NewQueries()->RefreshDBInstanceInfoList(0, 0, SDBInstanceFilterLib()).IsError());
  EXPECT_EQ(Requests("DescribeDBInstances"),
            (std::vector<std::string>{"rds.aliyuncs.com cn-shanghai", "rds.ap-southeast-5.aliyuncs.com ap-southeast-5",
                                      "rds.aliyuncs.com cn-hangzhou"}));
}

TEST_F(DatabaseInventoryTest, TheEngineFilterReachesEveryRegion) {
  struct SCase {
    bool bSet;
    int32_t nType;
    std::optional<std::string> engine;
    Ids vecExpected;
  };
  const std::vector<SCase> vecCases = {
      {true, 3, "MySQL", {"rm-h1", "rm-j1"}}, {true, 1, "PostgreSQL", {"rm-h2"}}, {true, 5, "MariaDB", {"rm-j2"}},
      {false, 3, std::nullopt, ALL},          {true, 0, std::nullopt, ALL},
  };
  for (const auto& sCase : vecCases) {
    SCOPED_TRACE(std::to_string(sCase.bSet) + "/" + std::to_string(sCase.nType));
    Emulator().ClearJournal();
    ASSERT_FALSE(Refresh(Filter(sCase.bSet, sCase.nType)).IsError());
    const auto vecLists = JournalOf("DescribeDBInstances");
    ASSERT_EQ(vecLists.size(), 3u);
    for (const auto& sEntry : vecLists) EXPECT_EQ(Param(sEntry, "Engine"), sCase.engine);
    EXPECT_EQ(CachedIds(), sCase.vecExpected);
  }
}

TEST_F(DatabaseInventoryTest, AnUnknownEngineTypeSendsNothingAndEmptiesTheCache) {
  for (const int32_t nType : {2, 4, 6, -1}) {
    SCOPED_TRACE(nType);
    // A fresh object: not even the regions are asked.
    Emulator().ClearJournal();
    const CZeError err = NewQueries()->RefreshDBInstanceInfoList(0, 0, Filter(true, nType));
    EXPECT_EQ(err.GetErrorCode(), -1);
    EXPECT_EQ(err.GetKind(), EErrorKind::BAD_ARGUMENT);
    EXPECT_EQ(err.GetErrorMessage(), "Unknown engine type [" + std::to_string(nType) + "]");
    EXPECT_TRUE(Journal().empty());

    // A filled cache is emptied: the attribute walk then sends nothing.
    ASSERT_FALSE(Refresh().IsError());
    EXPECT_TRUE(Refresh(Filter(true, nType)).IsError());
    Emulator().ClearJournal();
    EXPECT_EQ(CachedIds(), Ids{});
    EXPECT_TRUE(Journal().empty());
  }
}

TEST_F(DatabaseInventoryTest, ListsArePagedByTheirTotalRecordCount) {
  boost::json::array instances;
  for (int n = 0; n < 65; ++n) {
    instances.push_back(boost::json::object{{"DBInstanceId", "rm-page-" + std::to_string(n)}, {"RegionId", "cn-shanghai"}});
  }
  Emulator().Seed(boost::json::object{{"DBInstances", instances}});
  ASSERT_FALSE(Refresh().IsError());
  const auto vecShanghai = JournalOf("DescribeDBInstances");
  ASSERT_EQ(vecShanghai.size(), 5u);  // one page per other region, three of 30 here
  for (size_t n = 2; n < 5; ++n) {
    EXPECT_EQ(Param(vecShanghai[n], "PageNumber"), std::to_string(n - 1));
    EXPECT_FALSE(Param(vecShanghai[n], "PageSize").has_value());
  }
  const Ids vecIds = CachedIds();
  ASSERT_EQ(vecIds.size(), 69u);
  EXPECT_EQ(vecIds.back(), "rm-page-64");
}

TEST_F(DatabaseInventoryTest, AttributesAreReadOnceForExactlyTheCachedInstances) {
  std::vector<SDBInstanceInfoLib> vecAttributes(1);
  vecAttributes[0].strDBInstanceId = "kept";
  // Before any refresh: nothing to read.
  ASSERT_FALSE(m_pQueries->GetDBInstanceInfoList(vecAttributes, 0, 0).IsError());
  EXPECT_EQ(vecAttributes.size(), 1u);
  EXPECT_TRUE(Journal().empty());

  ASSERT_FALSE(Refresh().IsError());
  ASSERT_FALSE(m_pQueries->GetDBInstanceInfoList(vecAttributes, 0, 0).IsError());
  // The answer is not paged: one request per instance, no paging parameters.
  EXPECT_EQ(Requests("DescribeDBInstanceAttribute", "DBInstanceId"),
            (std::vector<std::string>{"rds.aliyuncs.com cn-hangzhou DBInstanceId=rm-h1",
                                      "rds.aliyuncs.com cn-hangzhou DBInstanceId=rm-h2",
                                      "rds.ap-southeast-5.aliyuncs.com ap-southeast-5 DBInstanceId=rm-j1",
                                      "rds.ap-southeast-5.aliyuncs.com ap-southeast-5 DBInstanceId=rm-j2"}));
  for (const auto& sEntry : JournalOf("DescribeDBInstanceAttribute")) {
    EXPECT_FALSE(Param(sEntry, "PageNumber").has_value());
  }
  ASSERT_EQ(vecAttributes.size(), 5u);
  EXPECT_EQ(vecAttributes[0].strDBInstanceId, "kept");
  EXPECT_EQ(vecAttributes[2].nPort, 5433);
}

TEST_F(DatabaseInventoryTest, AnInstanceGoneAfterTheRefreshEndsTheWalkKeepingEarlierRecords) {
  ASSERT_FALSE(Refresh().IsError());
  Emulator().WithWorld([](AcwEmulator::World& world) { (void)world.Remove("DBInstances", "rm-h2"); });
  std::vector<SDBInstanceInfoLib> vecAttributes;
  const CZeError err = m_pQueries->GetDBInstanceInfoList(vecAttributes, 0, 0);
  EXPECT_TRUE(err.HasServiceCode("InvalidDBInstanceId.NotFound", false));
  ASSERT_EQ(vecAttributes.size(), 1u);
  EXPECT_EQ(vecAttributes[0].strDBInstanceId, "rm-h1");
  EXPECT_EQ(JournalOf("DescribeDBInstanceAttribute").size(), 2u);
  EXPECT_TRUE(Log().Contains(
      "Failed to get db instance list in region [cn-hangzhou]. Error [Error code: InvalidDBInstanceId.NotFound]."));
}

// Each case on a fresh emulator and a fresh object.
TEST_F(DatabaseInventoryTest, RefreshFailuresReportTheirCause) {
  struct SCase {
    const char* pszName;
    std::function<void()> arrange;
    std::string strError;
    std::string strLogged;
    Ids vecCached;  // after the failure
    EErrorKind eKind;
  };
  const auto totalCountOnly = [](ActionContext&) {
    return boost::json::object{{"Items", boost::json::object{{"DBInstance", boost::json::array{}}}}, {"TotalCount", 0}};
  };
  const auto unreadableRegions = [](ActionContext&) { return boost::json::object{{"Regions", "none"}}; };
  const std::vector<SCase> vecCases = {
      // Listed by the service but refused by it: the regions before it stay.
      {"second region refused", [this] { ListRegions({"cn-hangzhou", "cn-acwgone", "ap-southeast-5"}); },
       "Error code: Forbidden.RegionNotFound",
       "Failed to get db instance list in region [cn-acwgone]. Error [Error code: Forbidden.RegionNotFound].",
       {"rm-h1", "rm-h2"}, EErrorKind::SERVICE_ERROR},
      {"total under the compute service's key",
       [&] { Emulator().RegisterAction(Product::Rds, "DescribeDBInstances", totalCountOnly); },
       "Unkown response from server.",
       "Failed to get db instance list in region [cn-hangzhou]. Error [Unkown response from server.].", {},
       EErrorKind::FAILURE},
      {"regions refused", [this] { InjectFault(FaultKind::ErrorResponse, "DescribeRegions"); },
       "Error code: InternalError", "", {}, EErrorKind::SERVICE_ERROR},
      {"regions unreadable", [&] { Emulator().RegisterAction(Product::Rds, "DescribeRegions", unreadableRegions); },
       "Failed to parse response", "Failed to parse region list response. Response : [", {},
       EErrorKind::UNREADABLE_ANSWER},
  };
  for (const auto& sCase : vecCases) {
    SCOPED_TRACE(sCase.pszName);
    TearDown();
    SetUp();
    sCase.arrange();
    const CZeError err = Refresh();
    EXPECT_EQ(err.GetErrorMessage(), sCase.strError);
    EXPECT_EQ(err.GetErrorCode(), 1);
    EXPECT_EQ(err.GetKind(), sCase.eKind);
    if (!sCase.strLogged.empty()) {
      EXPECT_TRUE(Log().Contains(sCase.strLogged));
    }
    EXPECT_EQ(CachedIds(), sCase.vecCached);
  }
}

// The facade on the emulator's own world: the inventory of every region with
// its attributes.
class DatabaseFacadeTest : public EmulatorFixture {};

TEST_F(DatabaseFacadeTest, TheFacadeListsTheDemoDatabasesOnceConnected) {
  CAliCloudWrapper sFacade;
  std::vector<SDBInstanceInfoLib> vecAttributes;
  ASSERT_TRUE(sFacade.ConnectRDS(KEY_ID, KEY_SECRET)) << sFacade.GetLastError();
  ASSERT_TRUE(sFacade.RefreshDBInstanceInfoList(0, 0, SDBInstanceFilterLib())) << sFacade.GetLastError();
  ASSERT_TRUE(sFacade.GetDBInstanceInfoList(vecAttributes, 0, 0)) << sFacade.GetLastError();
  ASSERT_EQ(vecAttributes.size(), 34u);  // two in cn-hangzhou, 32 in cn-zhangjiakou
  EXPECT_EQ(vecAttributes[0].strDBInstanceId, "rm-acwdemo0000000001");
  EXPECT_EQ(vecAttributes[0].nPort, 3306);
  EXPECT_EQ(vecAttributes[1].nPort, 5432);
  EXPECT_EQ(vecAttributes.back().strRegionId, "cn-zhangjiakou");
  EXPECT_EQ(JournalOf("DescribeDBInstanceAttribute").back().host, "rds.cn-zhangjiakou.aliyuncs.com");

  // Failures reach the last error and the log.
  EXPECT_FALSE(sFacade.RefreshDBInstanceInfoList(0, 0, Filter(true, 2)));
  EXPECT_EQ(sFacade.GetLastError(), "Unknown engine type [2]");
  EXPECT_TRUE(Log().Contains("Failed to refresh DB instance cache. Error: ["));
  ASSERT_TRUE(sFacade.RefreshDBInstanceInfoList(0, 0, SDBInstanceFilterLib()));
  InjectFault(FaultKind::ErrorResponse, "DescribeDBInstanceAttribute");
  EXPECT_FALSE(sFacade.GetDBInstanceInfoList(vecAttributes, 0, 0));
  EXPECT_EQ(sFacade.GetLastError(), "Error code: InternalError");
  EXPECT_TRUE(Log().Contains("Failed to fetch DB instance info. Error: ["));
}

}  // namespace
}  // namespace AliCloudWrapper
