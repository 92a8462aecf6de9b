// The facade against the emulator's demo world: how a failure of each
// operation reaches the caller and the log, the status of an instance,
// DetachDisk with and without a region id, and the checks of every answer
// against what was asked (the record asked for, a JSON object, a listing that
// ends, endpoints in the service's domain, certificate failures final at once).
#include <gtest/gtest.h>

#include <boost/json.hpp>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/CAliCloudWrapper.h"
#include "AliCloudWrapper/ComputeRecords.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"
#include "EmulatorFixture.h"

namespace AliCloudWrapper {
namespace {

constexpr const char* REGION = "cn-hangzhou";
constexpr const char* ZONE = "cn-hangzhou-h";
constexpr const char* INSTANCE = "i-acwemu00000000000001";
constexpr const char* DISK = "d-acwdemo0000000001";
constexpr const char* SNAPSHOT = "s-acwdemo0000000001";

class FacadeOperations : public EmulatorFixture {
 protected:
  void SetUp() override {
    EmulatorFixture::SetUp();
    ASSERT_TRUE(m_sFacade.Connect(KEY_ID, KEY_SECRET)) << m_sFacade.GetLastError();
    Emulator().ClearJournal();
  }

  // The facade's error line of the operation: "<lead> Error: [<diagnostic>]<end>".
  std::optional<SLogRecord> FindErrorLine(const std::string& strLead) {
    for (const SLogRecord& sRecord : Log().Records()) {
      if (sRecord.bError && sRecord.strMessage.rfind(strLead + " Error: [", 0) == 0) return sRecord;
    }
    return std::nullopt;
  }

  // Replaces an action of the emulator with one that answers body, whatever is asked.
  void AnswerAlways(AcwEmulator::Product eProduct, const std::string& strAction, const std::string& strBody) {
    const boost::json::object body = boost::json::parse(strBody).as_object();
    Emulator().RegisterAction(eProduct, strAction, [body](AcwEmulator::ActionContext&) { return body; });
  }

  CAliCloudWrapper m_sFacade;
};

// Each operation's failure: false, the last error is the bare message (no code,
// no trace) and the log line names the operation's arguments in the table's
// order, with the diagnostic text (code and trace) between the brackets.
TEST_F(FacadeOperations, FailuresReachTheLastErrorAndTheLogWithTheirArguments) {
  CAliCloudWrapper& f = m_sFacade;
  SSnapshotInfoLib sSnapshot;
  SDiskInfoLib sDisk;
  SElasticIPAddress sAddress;
  std::vector<SSecurityGroupInfoLib> vecGroups;
  std::vector<SVPCInfoLib> vecVpcs;
  std::vector<SDCInfoLib> vecRegions;
  std::vector<SHostInfoLib> vecZones;
  std::vector<SVMInfoLib> vecInstances;
  std::vector<SInstanceTypeFamilyInfoLib> vecFamilies;
  std::vector<SInstanceTypeInfoLib> vecTypes;
  SDCInfoLib sRegion;
  SHostInfoLib sZone;
  SVMInfoLib sInstance;
  SImageInfoLib sImage;
  std::string strOut;
  bool bFlag = false;
  struct SCase {
    const char* pszName;
    std::function<bool()> fnCall;
    const char* pszLead;  // the message up to " Error: ["
    const char* pszEnd;   // what follows the closing "]"
    const char* pszFaultedAction = "";  // answered with an error once; empty: the arguments alone fail
  };
  const SCase aCases[] = {
      {"GetRegionInfoList", [&] { return f.GetRegionInfoList(vecRegions, 0, 0); }, "Failed to get region information.",
       ".", "DescribeRegions"},
      {"GetZoneInfoList", [&] { return f.GetZoneInfoList(vecZones, 0, 0); }, "Failed to get host information.", ".",
       "DescribeRegions"},
      {"GetRegionInfoForRegion",
       [&] { return f.GetRegionInfoForRegion("xx-nowhere", VM_PROP_CLUSTER_HOST_LIST, 0, sRegion); },
       "Failed to get Datacenter information.", "."},
      {"GetZoneInfoForZone", [&] { return f.GetZoneInfoForZone("xx-nowhere-a", 0, 0, sZone, ""); },
       "Failed to get Datacenter information.", "."},
      {"GetVMInfoListForRegion", [&] { return f.GetVMInfoListForRegion("cn-shanghai", vecInstances, ""); },
       "Failed to get vm list in region [cn-shanghai].", ".", "DescribeInstances"},
      {"GetInstanceTypeFamiliesForRegion", [&] { return f.GetInstanceTypeFamiliesForRegion("xx-nowhere", vecFamilies); },
       "Failed to get InstanceTypeFamily information.", "."},
      {"GetInstanceTypesForRegion", [&] { return f.GetInstanceTypesForRegion("", vecTypes); },
       "Failed to get InstanceType information.", "."},
      {"GetInstanceTypesForZone", [&] { return f.GetInstanceTypesForZone("cn-shanghai", "", vecTypes); },
       "Failed to get InstanceType information.", "."},
      {"GetInstanceTypes", [&] { return f.GetInstanceTypes("", vecTypes); }, "Failed to get InstanceType information.",
       ".", "DescribeInstanceTypes"},
      {"GetVMInfoAndConfigFile",
       [&] { return f.GetVMInfoAndConfigFile("i-missing", VM_PROP_VM_DISK_LIST, 0, sInstance, strOut); },
       "GetVMInfoAndConfigFile failed for VM [i-missing].", ""},
      {"GetVMInfoForVM", [&] { return f.GetVMInfoForVM("i-missing", sInstance, 0, 0); },
       "GetVMInfoForVM failed for VM [i-missing].", ""},
      {"RefreshVMInfoCache", [&] { return f.RefreshVMInfoCache(); }, "Failed to refresh vmInfo cache.", ".",
       "DescribeInstances"},
      {"GetImageInfoForImage", [&] { return f.GetImageInfoForImage("cn-shanghai", "m-missing", sImage); },
       "Failed to get image info for image [m-missing].", "."},
      {"AttachDisk", [&] { return f.AttachDisk(INSTANCE, "d-missing", bFlag, false); },
       "Failed to attach disk [d-missing] to instance [i-acwemu00000000000001].", ""},
      {"CreateSnapshot", [&] { return f.CreateSnapshot("", sSnapshot, "n", "d"); }, "Failed to create snapshot.", "."},
      {"DeleteSnapshot", [&] { return f.DeleteSnapshot("s-missing"); },
       "DeleteSnapshot failed for snapshot [s-missing].", ""},
      {"GetSnapshotInfo", [&] { return f.GetSnapshotInfo(REGION, "s-missing", sSnapshot); },
       "Failed to get snapshot information for snapshot [s-missing].", "."},
      {"DoesSnapshotExist", [&] { return f.DoesSnapshotExist("", "s-x", bFlag); },
       "Failed to get snapshot information for Snapshot [s-x].", "."},
      {"IsSnapshotCompleted", [&] { return f.IsSnapshotCompleted(REGION, "s-missing", bFlag); },
       "Failed to get snapshot information for snapshot [s-missing].", "."},
      {"CreateDisk", [&] { return f.CreateDisk(REGION, ZONE, sDisk, "s-missing", "", "", 0, false, ""); },
       "Failed to create disk.", "."},
      {"DeleteDisk", [&] { return f.DeleteDisk("d-missing"); }, "DeleteDisk failed for disk [d-missing].", ""},
      {"GetDiskInfo", [&] { return f.GetDiskInfo(REGION, "d-missing", sDisk); },
       "Failed to get Disk information for disk [d-missing].", "."},
      {"DoesDiskExist", [&] { return f.DoesDiskExist("", "d-x", bFlag); },
       "Failed to get Disk information for disk [d-x].", "."},
      {"GetSecurityGroupList", [&] { return f.GetSecurityGroupList("", vecGroups); },
       "Failed to get security groups in region [].", "."},
      {"GetVPCListInRegion", [&] { return f.GetVPCListInRegion("", vecVpcs); },
       "Failed to get VPCs in region [].", "."},
      {"CreateSecurityGroup", [&] { return f.CreateSecurityGroup(REGION, "vpc-missing", strOut, "", ""); },
       "Failed to create security group in region [cn-hangzhou].", "."},
      {"GetElasticIPAddress", [&] { return f.GetElasticIPAddress(REGION, "eip-missing", sAddress); },
       "Failed to get the details of EIP [eip-missing] in region [cn-hangzhou].", "."},
      {"BindEIPToInstance", [&] { return f.BindEIPToInstance("eip-missing", INSTANCE); },
       "Failed to bind EIP [eip-missing] to instance [i-acwemu00000000000001].", "."},
      {"CreateEIPAddress", [&] { return f.CreateEIPAddress("", strOut, "", ""); },
       "Failed to create EIP in region [].", "."},
      {"AssociatePublicIP", [&] { return f.AssociatePublicIP("i-missing", strOut); },
       "Failed to associate public IP for instance [i-missing].", "."},
  };

  for (const SCase& sCase : aCases) {
    SCOPED_TRACE(sCase.pszName);
    Log().Clear();
    f.ClearLastError();
    if (*sCase.pszFaultedAction != 0) InjectFault(AcwEmulator::FaultKind::ErrorResponse, sCase.pszFaultedAction, 1, 503);
    EXPECT_FALSE(sCase.fnCall());
    Emulator().ClearFaults();
    const std::string strLastError = f.GetLastError();
    EXPECT_FALSE(strLastError.empty());
    EXPECT_EQ(strLastError.find("(at "), std::string::npos) << strLastError;

    const std::optional<SLogRecord> sLine = FindErrorLine(sCase.pszLead);
    ASSERT_TRUE(sLine.has_value()) << Log().Dump();
    EXPECT_NE(sLine->strContext.find(std::string("CAliCloudWrapper::") + sCase.pszName + "("), std::string::npos)
        << sLine->strContext;
    const std::string& strMessage = sLine->strMessage;
    EXPECT_EQ(strMessage.substr(strMessage.rfind(']') + 1), sCase.pszEnd) << strMessage;
    EXPECT_NE(strMessage.find("Error: [Error ["), std::string::npos) << strMessage;
    EXPECT_NE(strMessage.find(strLastError), std::string::npos) << strMessage;
  }

  // The status of an unknown instance is left as it was; a known one is the service's.
  strOut = "unchanged";
  EXPECT_FALSE(f.GetStatusOfInstance("i-missing", strOut));
  EXPECT_EQ(strOut, "unchanged");
  ASSERT_TRUE(f.GetStatusOfInstance(INSTANCE, strOut));
  EXPECT_EQ(strOut, "Running");
  // DeleteInstance sets only the last error, with no log line of its own.
  Log().Clear();
  EXPECT_FALSE(f.DeleteInstance(INSTANCE));
  EXPECT_EQ(f.GetLastError(), "Error code: IncorrectInstanceStatus");
  EXPECT_FALSE(Log().Contains(" Error: ["));
  // The cache cannot fail: before a successful refresh it is empty.
  vecInstances.resize(2);
  EXPECT_TRUE(f.GetVMInfoList(vecInstances));
  EXPECT_TRUE(vecInstances.empty());
}

// Without a region id the instance is looked up for its region (an unknown
// instance fails before anything is detached); with one, no lookup is made.
// Only Connect clears the last error: a later success leaves the failure's
// text, and a new failure replaces it.
TEST_F(FacadeOperations, DetachDiskFindsTheRegionOfTheInstanceWhenNoneIsGiven) {
  Emulator().Seed(std::string_view(R"({"Disks": [
      {"DiskId": "d-acwfacade000000001", "RegionId": "cn-hangzhou", "ZoneId": "cn-hangzhou-h",
       "InstanceId": "i-acwemu00000000000001", "Status": "In_use", "Type": "data", "Size": 20},
      {"DiskId": "d-acwfacade000000002", "RegionId": "cn-hangzhou", "ZoneId": "cn-hangzhou-h",
       "InstanceId": "i-acwemu00000000000001", "Status": "In_use", "Type": "data", "Size": 20}]})"));

  EXPECT_FALSE(m_sFacade.DetachDisk("i-missing", "d-acwfacade000000001", ""));
  const std::string strError = m_sFacade.GetLastError();
  EXPECT_NE(strError.find("InvalidInstanceId.NotFound"), std::string::npos) << strError;
  EXPECT_TRUE(JournalOf("DetachDisk").empty());
  EXPECT_TRUE(FindErrorLine("DetachDisk failed for VM [i-missing], disk [d-acwfacade000000001].").has_value())
      << Log().Dump();

  for (const char* pszRegion : {"", REGION}) {
    const std::string strDisk = *pszRegion == 0 ? "d-acwfacade000000001" : "d-acwfacade000000002";
    Emulator().ClearJournal();
    ASSERT_TRUE(m_sFacade.DetachDisk(INSTANCE, strDisk, pszRegion)) << m_sFacade.GetLastError();
    EXPECT_EQ(JournalOf("DescribeInstanceAttribute").size(), *pszRegion == 0 ? 1u : 0u) << pszRegion;
    const auto vecDetaches = JournalOf("DetachDisk");
    ASSERT_EQ(vecDetaches.size(), 1u);
    for (const auto& sPoll : JournalOf("DescribeDisks")) EXPECT_EQ(Param(sPoll, "RegionId"), REGION);
    SDiskInfoLib sDisk;
    ASSERT_TRUE(m_sFacade.GetDiskInfo(REGION, strDisk, sDisk));
    EXPECT_EQ(sDisk.strStatus, "Available");
  }
  EXPECT_EQ(m_sFacade.GetLastError(), strError);
  EXPECT_FALSE(m_sFacade.DeleteSnapshot("s-missing"));
  EXPECT_NE(m_sFacade.GetLastError(), strError);
}

// ---- every answer is checked against what was asked

// A lookup whose answer holds only some other record finds nothing.
TEST_F(FacadeOperations, LookupsBelieveOnlyTheRecordAskedFor) {
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
TEST_F(FacadeOperations, SuccessStatusWithoutAJsonObjectIsAFailure) {
  const struct {
    const char* pszName;
    AcwEmulator::FaultKind eKind;
    std::function<bool(CAliCloudWrapper&)> fnCall;
    const char* pszAction;
  } cases[] = {
      {"html", AcwEmulator::FaultKind::NotJson, [](CAliCloudWrapper& f) { return f.DeleteSnapshot(SNAPSHOT); }, "DeleteSnapshot"},
      {"empty", AcwEmulator::FaultKind::EmptyErrorBody, [](CAliCloudWrapper& f) { return f.DeleteDisk(DISK); }, "DeleteDisk"},
      {"html", AcwEmulator::FaultKind::NotJson, [](CAliCloudWrapper& f) { return f.BindEIPToInstance("eip-acwdemo0000000001", "i-acwemu00000000000001"); }, "AssociateEipAddress"},
      {"empty", AcwEmulator::FaultKind::EmptyErrorBody, [](CAliCloudWrapper& f) { return f.Connect(KEY_ID, KEY_SECRET); }, "DescribeRegions"},
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
TEST_F(FacadeOperations, EndlessListingsAreStopped) {
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
TEST_F(FacadeOperations, EndpointsOutsideTheServiceDomainAreRefused) {
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
TEST_F(FacadeOperations, CertificateFailuresAreNotRetried) {
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
