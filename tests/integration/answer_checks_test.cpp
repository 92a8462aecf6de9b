// Answers are checked against what was asked: a lookup believes only the
// record with the id it asked for, a 2xx answer that is no JSON object is a
// failure, a paged listing that never ends is stopped, and a certificate
// failure is final at once with libcurl's reason in the error text.
#include <gtest/gtest.h>

#include <boost/json.hpp>

#include <functional>
#include <string>
#include <vector>

#include "AliCloudWrapper/CAliCloudWrapper.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"
#include "FacadeTestSupport.h"

namespace AliCloudWrapper {
namespace {

namespace json = boost::json;
using AcwEmulator::FaultKind;

constexpr const char* REGION = "cn-hangzhou";
constexpr const char* DISK = "d-acwdemo0000000001";
constexpr const char* SNAPSHOT = "s-acwdemo0000000001";

class AnswerChecks : public FacadeTest {
 protected:
  void SetUp() override {
    FacadeTest::SetUp();
    ASSERT_TRUE(m_sFacade.Connect(KEY_ID, KEY_SECRET)) << m_sFacade.GetLastError();
  }
  // Replaces an action of the emulator with one that answers body, whatever is asked.
  void AnswerAlways(AcwEmulator::Product eProduct, const std::string& strAction, const std::string& strBody) {
    const json::object body = json::parse(strBody).as_object();
    Emulator().RegisterAction(eProduct, strAction, [body](AcwEmulator::ActionContext&) { return body; });
  }

  CAliCloudWrapper m_sFacade;
};

// A lookup whose answer holds only some other record finds nothing.
TEST_F(AnswerChecks, LookupsBelieveOnlyTheRecordAskedFor) {
  AnswerAlways(AcwEmulator::Product::Ecs, "DescribeSnapshots",
               R"({"TotalCount":1,"PageNumber":1,"PageSize":10,"Snapshots":{"Snapshot":[{"SnapshotId":"s-other","Status":"accomplished","Progress":"100%"}]}})");
  AnswerAlways(AcwEmulator::Product::Ecs, "DescribeDisks",
               R"({"TotalCount":1,"PageNumber":1,"PageSize":10,"Disks":{"Disk":[{"DiskId":"d-other","Status":"Available"}]}})");
  AnswerAlways(AcwEmulator::Product::Vpc, "DescribeEipAddresses",
               R"({"TotalCount":1,"PageNumber":1,"PageSize":10,"EipAddresses":{"EipAddress":[{"AllocationId":"eip-other","Status":"Available"}]}})");
  bool bFlag = true;
  EXPECT_FALSE(m_sFacade.IsSnapshotCompleted(REGION, SNAPSHOT, bFlag));
  EXPECT_TRUE(m_sFacade.DoesSnapshotExist(REGION, SNAPSHOT, bFlag));
  EXPECT_FALSE(bFlag);
  SSnapshotInfoLib sSnapshot;
  EXPECT_FALSE(m_sFacade.GetSnapshotInfo(REGION, SNAPSHOT, sSnapshot));
  EXPECT_EQ(sSnapshot.strSnapshotId, "");
  SDiskInfoLib sDisk;
  EXPECT_FALSE(m_sFacade.GetDiskInfo(REGION, DISK, sDisk));
  EXPECT_EQ(sDisk.strDiskId, "");
  bFlag = true;
  EXPECT_TRUE(m_sFacade.DoesDiskExist(REGION, DISK, bFlag));
  EXPECT_FALSE(bFlag);
  SElasticIPAddress sAddress;
  EXPECT_FALSE(m_sFacade.GetElasticIPAddress(REGION, "eip-acwdemo0000000001", sAddress));
}

// A 2xx answer that is not a JSON object is an unreadable answer, never a
// success, and it is not sent again (the service may have done the work).
TEST_F(AnswerChecks, SuccessStatusWithoutAJsonObjectIsAFailure) {
  const struct {
    const char* pszName;
    FaultKind eKind;
    std::function<bool(CAliCloudWrapper&)> fnCall;
    const char* pszAction;
  } cases[] = {
      {"html", FaultKind::NotJson, [](CAliCloudWrapper& f) { return f.DeleteSnapshot(SNAPSHOT); }, "DeleteSnapshot"},
      {"empty", FaultKind::EmptyErrorBody, [](CAliCloudWrapper& f) { return f.DeleteDisk(DISK); }, "DeleteDisk"},
      {"html", FaultKind::NotJson, [](CAliCloudWrapper& f) { return f.BindEIPToInstance("eip-acwdemo0000000001", "i-acwemu00000000000001"); }, "AssociateEipAddress"},
      {"empty", FaultKind::EmptyErrorBody, [](CAliCloudWrapper& f) { return f.Connect(KEY_ID, KEY_SECRET); }, "DescribeRegions"},
  };
  for (const auto& sCase : cases) {
    SCOPED_TRACE(std::string(sCase.pszName) + " " + sCase.pszAction);
    Emulator().ClearJournal();
    AcwEmulator::Fault sFault(sCase.eKind, sCase.pszAction, 1);
    sFault.status = 200;
    InjectFault(sFault);
    EXPECT_FALSE(sCase.fnCall(m_sFacade));
    EXPECT_NE(m_sFacade.GetLastError().find("unreadable"), std::string::npos) << m_sFacade.GetLastError();
    EXPECT_EQ(JournalOf(sCase.pszAction).size(), 1u);
  }
}

// A server that ignores "PageNumber" repeats its first page for ever; one that
// announces an absurd total would be asked for pages for ever.
TEST_F(AnswerChecks, EndlessListingsAreStopped) {
  AnswerAlways(AcwEmulator::Product::Vpc, "DescribeVpcs",
               R"({"TotalCount":5,"PageNumber":1,"PageSize":2,"Vpcs":{"Vpc":[{"VpcId":"vpc-1"},{"VpcId":"vpc-2"}]}})");
  std::vector<SVPCInfoLib> vecVpcs;
  EXPECT_FALSE(m_sFacade.GetVPCListInRegion(REGION, vecVpcs));
  EXPECT_NE(m_sFacade.GetLastError().find("page [2] only repeats records already received"), std::string::npos)
      << m_sFacade.GetLastError();
  EXPECT_EQ(JournalOf("DescribeVpcs").size(), 2u);

  // Settings are read at a connection's first request: a fresh facade sees the new bound.
  SetSetting("nAliCloudMaxListedRecords", 1000);
  CAliCloudWrapper sFresh;
  ASSERT_TRUE(sFresh.Connect(KEY_ID, KEY_SECRET)) << sFresh.GetLastError();
  AnswerAlways(AcwEmulator::Product::Vpc, "DescribeVpcs",
               R"({"TotalCount":2000000000,"PageNumber":1,"PageSize":2,"Vpcs":{"Vpc":[{"VpcId":"vpc-1"}]}})");
  EXPECT_FALSE(sFresh.GetVPCListInRegion(REGION, vecVpcs));
  EXPECT_NE(sFresh.GetLastError().find("announces [2000000000] records, more than the limit of [1000] "
                                          "(setting nAliCloudMaxListedRecords)"),
            std::string::npos)
      << sFresh.GetLastError();
}

// Region endpoints outside the service's domain are refused: from the service's
// region list, and from the endpoint setting.
TEST_F(AnswerChecks, EndpointsOutsideTheServiceDomainAreRefused) {
  AnswerAlways(AcwEmulator::Product::Ecs, "DescribeRegions",
               R"({"Regions":{"Region":[{"RegionId":"cn-hangzhou","RegionEndpoint":"ecs.attacker.example"},{"RegionId":"cn-shanghai","RegionEndpoint":"ecs.cn-shanghai.aliyuncs.com"}]}})");
  CAliCloudWrapper sFacade;
  ASSERT_TRUE(sFacade.Connect(KEY_ID, KEY_SECRET));
  SDiskInfoLib sDisk;
  EXPECT_TRUE(sFacade.GetDiskInfo(REGION, DISK, sDisk)) << sFacade.GetLastError();
  EXPECT_TRUE(Log().Contains("endpoint [ecs.attacker.example] is not a host name in aliyuncs.com"));
  for (const auto& sEntry : Journal()) EXPECT_NE(sEntry.host, "ecs.attacker.example");

  Log().Clear();
  SetSetting("AliCloudRegionEndpoint", "ecs.aliyuncs.com.attacker.example");
  CAliCloudWrapper sConfigured;
  ASSERT_TRUE(sConfigured.Connect(KEY_ID, KEY_SECRET));
  EXPECT_TRUE(Log().Contains("Ignoring setting [AliCloudRegionEndpoint] = [ecs.aliyuncs.com.attacker.example]"));
  EXPECT_EQ(Journal().back().host, "ecs.aliyuncs.com");
}

// A certificate the trusted authorities did not sign is final: one attempt,
// no pause, and libcurl's own reason in the error text.
TEST_F(AnswerChecks, CertificateFailuresAreNotRetried) {
  AcwEmulator::Emulator sOther;
  sOther.Start();
  SetSetting("AliCloudCABundle", sOther.CaFile());
  CAliCloudWrapper sFacade;
  EXPECT_FALSE(sFacade.Connect(KEY_ID, KEY_SECRET));
  EXPECT_NE(sFacade.GetLastError().find("SSL certificate problem"), std::string::npos) << sFacade.GetLastError();
  EXPECT_TRUE(Sleeps().Pauses().empty());
  sOther.Stop();
}

}  // namespace
}  // namespace AliCloudWrapper
