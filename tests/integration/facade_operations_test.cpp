// The facade's storage and networking operations against the emulator's demo
// world: how a failure reaches the caller and the log, that a success leaves an
// earlier failure's text, one backup-and-restore and one networking round, and
// DetachDisk with and without a region id.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "AliCloudWrapper/CAliCloudWrapper.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"
#include "EmulatorFixture.h"

namespace AliCloudWrapper {
namespace {

constexpr const char* REGION = "cn-hangzhou";
constexpr const char* ZONE = "cn-hangzhou-h";
constexpr const char* INSTANCE = "i-acwemu00000000000001";
constexpr const char* SYSTEM_DISK = "d-acwdemo0000000001";
constexpr const char* VPC = "vpc-acwdemo0000000001";
constexpr const char* SECURITY_GROUP = "sg-acwdemo0000000001";

class FacadeOperations : public EmulatorFixture {
 protected:
  void SetUp() override {
    EmulatorFixture::SetUp();
    ASSERT_TRUE(m_sFacade.Connect(KEY_ID, KEY_SECRET)) << m_sFacade.GetLastError();
    Emulator().ClearJournal();
  }

  // The facade's error line of the operation: "<lead> Error: [<diagnostic>]<end>".
  const SLogRecord* FindErrorLine(const std::string& strLead) const {
    for (const SLogRecord& sRecord : m_vecLastRecords) {
      if (sRecord.bError && sRecord.strMessage.rfind(strLead + " Error: [", 0) == 0) return &sRecord;
    }
    return nullptr;
  }

  void SnapshotLog() { m_vecLastRecords = Log().Records(); }

  CAliCloudWrapper m_sFacade;
  std::vector<SLogRecord> m_vecLastRecords;
};

struct SFailureCase {
  const char* pszName;
  std::function<bool(CAliCloudWrapper&)> fnCall;
  const char* pszLead;  // the message up to " Error: ["
  const char* pszEnd;   // what follows the closing "]"
};

// Each operation's failure: false, the last error is the bare message (no code,
// no trace) and the log line names the operation's arguments in the table's
// order, with the diagnostic text (code and trace) between the brackets.
TEST_F(FacadeOperations, FailuresReachTheLastErrorAndTheLogWithTheirArguments) {
  SSnapshotInfoLib sSnapshot;
  SDiskInfoLib sDisk;
  SElasticIPAddress sAddress;
  std::vector<SSecurityGroupInfoLib> vecGroups;
  std::vector<SVPCInfoLib> vecVpcs;
  std::string strOut;
  bool bFlag = false;
  const std::vector<SFailureCase> vecCases = {
      {"CreateSnapshot", [&](CAliCloudWrapper& f) { return f.CreateSnapshot("", sSnapshot, "n", "d"); },
       "Failed to create snapshot.", "."},
      {"DeleteSnapshot", [&](CAliCloudWrapper& f) { return f.DeleteSnapshot("s-missing"); },
       "DeleteSnapshot failed for snapshot [s-missing].", ""},
      {"GetSnapshotInfo", [&](CAliCloudWrapper& f) { return f.GetSnapshotInfo(REGION, "s-missing", sSnapshot); },
       "Failed to get snapshot information for snapshot [s-missing].", "."},
      {"DoesSnapshotExist", [&](CAliCloudWrapper& f) { return f.DoesSnapshotExist("", "s-x", bFlag); },
       "Failed to get snapshot information for Snapshot [s-x].", "."},
      {"IsSnapshotCompleted", [&](CAliCloudWrapper& f) { return f.IsSnapshotCompleted(REGION, "s-missing", bFlag); },
       "Failed to get snapshot information for snapshot [s-missing].", "."},
      {"CreateDisk",
       [&](CAliCloudWrapper& f) { return f.CreateDisk(REGION, ZONE, sDisk, "s-missing", "", "", 0, false, ""); },
       "Failed to create disk.", "."},
      {"DeleteDisk", [&](CAliCloudWrapper& f) { return f.DeleteDisk("d-missing"); },
       "DeleteDisk failed for disk [d-missing].", ""},
      {"GetDiskInfo", [&](CAliCloudWrapper& f) { return f.GetDiskInfo(REGION, "d-missing", sDisk); },
       "Failed to get Disk information for disk [d-missing].", "."},
      {"DoesDiskExist", [&](CAliCloudWrapper& f) { return f.DoesDiskExist("", "d-x", bFlag); },
       "Failed to get Disk information for disk [d-x].", "."},
      {"GetSecurityGroupList", [&](CAliCloudWrapper& f) { return f.GetSecurityGroupList("", vecGroups); },
       "Failed to get security groups in region [].", "."},
      {"GetVPCListInRegion", [&](CAliCloudWrapper& f) { return f.GetVPCListInRegion("", vecVpcs); },
       "Failed to get VPCs in region [].", "."},
      {"CreateSecurityGroup",
       [&](CAliCloudWrapper& f) { return f.CreateSecurityGroup(REGION, "vpc-missing", strOut, "", ""); },
       "Failed to create security group in region [cn-hangzhou].", "."},
      {"GetElasticIPAddress",
       [&](CAliCloudWrapper& f) { return f.GetElasticIPAddress(REGION, "eip-missing", sAddress); },
       "Failed to get the details of EIP [eip-missing] in region [cn-hangzhou].", "."},
      {"BindEIPToInstance", [&](CAliCloudWrapper& f) { return f.BindEIPToInstance("eip-missing", INSTANCE); },
       "Failed to bind EIP [eip-missing] to instance [i-acwemu00000000000001].", "."},
      {"CreateEIPAddress", [&](CAliCloudWrapper& f) { return f.CreateEIPAddress("", strOut, "", ""); },
       "Failed to create EIP in region [].", "."},
      {"AssociatePublicIP", [&](CAliCloudWrapper& f) { return f.AssociatePublicIP("i-missing", strOut); },
       "Failed to associate public IP for instance [i-missing].", "."},
  };

  for (const SFailureCase& sCase : vecCases) {
    SCOPED_TRACE(sCase.pszName);
    Log().Clear();
    m_sFacade.ClearLastError();
    EXPECT_FALSE(sCase.fnCall(m_sFacade));
    const std::string strLastError = m_sFacade.GetLastError();
    EXPECT_FALSE(strLastError.empty());
    EXPECT_EQ(strLastError.find("(at "), std::string::npos) << strLastError;

    SnapshotLog();
    const SLogRecord* pLine = FindErrorLine(sCase.pszLead);
    ASSERT_NE(pLine, nullptr) << Log().Dump();
    EXPECT_NE(pLine->strContext.find(std::string("CAliCloudWrapper::") + sCase.pszName + "("), std::string::npos)
        << pLine->strContext;
    const std::string strTail = std::string("]") + sCase.pszEnd;
    const std::string& strMessage = pLine->strMessage;
    ASSERT_GE(strMessage.size(), strTail.size());
    EXPECT_EQ(strMessage.substr(strMessage.size() - strTail.size()), strTail) << strMessage;
    EXPECT_NE(strMessage.find("Error: [Error ["), std::string::npos) << strMessage;
    EXPECT_NE(strMessage.find(strLastError), std::string::npos) << strMessage;
  }
}

// Only Connect clears the last error: a later success leaves the failure's text.
TEST_F(FacadeOperations, SuccessLeavesAnEarlierFailuresText) {
  EXPECT_FALSE(m_sFacade.DeleteDisk("d-missing"));
  const std::string strDeleteError = m_sFacade.GetLastError();
  ASSERT_FALSE(strDeleteError.empty());

  SDiskInfoLib sDisk;
  ASSERT_TRUE(m_sFacade.GetDiskInfo(REGION, SYSTEM_DISK, sDisk));
  EXPECT_EQ(sDisk.strDiskId, SYSTEM_DISK);
  EXPECT_EQ(m_sFacade.GetLastError(), strDeleteError);

  // A new failure replaces it.
  EXPECT_FALSE(m_sFacade.DeleteSnapshot("s-missing"));
  EXPECT_NE(m_sFacade.GetLastError(), strDeleteError);
}

// Backup and restore of the demo instance's disk: snapshot, wait, a disk from
// the snapshot, and the clean-up, with the existence checks on both sides.
TEST_F(FacadeOperations, SnapshotAndDiskRoundTrip) {
  SSnapshotInfoLib sSnapshot;
  ASSERT_TRUE(m_sFacade.CreateSnapshot(SYSTEM_DISK, sSnapshot, "backup-1", "nightly"))
      << m_sFacade.GetLastError();
  ASSERT_FALSE(sSnapshot.strSnapshotId.empty());
  EXPECT_EQ(sSnapshot.strSourceDiskId, SYSTEM_DISK);

  bool bCompleted = false;
  for (int nPoll = 0; nPoll < 10 && !bCompleted; ++nPoll) {
    ASSERT_TRUE(m_sFacade.IsSnapshotCompleted(REGION, sSnapshot.strSnapshotId, bCompleted));
  }
  ASSERT_TRUE(bCompleted);
  SSnapshotInfoLib sRead;
  ASSERT_TRUE(m_sFacade.GetSnapshotInfo(REGION, sSnapshot.strSnapshotId, sRead));
  EXPECT_EQ(sRead.nProgress, 100);
  EXPECT_EQ(sRead.strSnapshotName, "backup-1");

  SDiskInfoLib sDisk;
  ASSERT_TRUE(m_sFacade.CreateDisk(REGION, ZONE, sDisk, sSnapshot.strSnapshotId, "restored", "cloud_essd",
                                   0, false, "from backup-1"))
      << m_sFacade.GetLastError();
  ASSERT_FALSE(sDisk.strDiskId.empty());
  SDiskInfoLib sDiskRead;
  ASSERT_TRUE(m_sFacade.GetDiskInfo(REGION, sDisk.strDiskId, sDiskRead));
  EXPECT_EQ(sDiskRead.strZoneId, ZONE);
  EXPECT_EQ(sDiskRead.nSize, 40);

  bool bExists = false;
  ASSERT_TRUE(m_sFacade.DoesDiskExist(REGION, sDisk.strDiskId, bExists));
  EXPECT_TRUE(bExists);
  ASSERT_TRUE(m_sFacade.DeleteDisk(sDisk.strDiskId)) << m_sFacade.GetLastError();
  ASSERT_TRUE(m_sFacade.DoesDiskExist(REGION, sDisk.strDiskId, bExists));
  EXPECT_FALSE(bExists);

  ASSERT_TRUE(m_sFacade.DeleteSnapshot(sSnapshot.strSnapshotId)) << m_sFacade.GetLastError();
  bExists = true;
  ASSERT_TRUE(m_sFacade.DoesSnapshotExist(REGION, sSnapshot.strSnapshotId, bExists));
  EXPECT_FALSE(bExists);
  EXPECT_EQ(m_sFacade.GetLastError(), "");
}

// The networking round of a restore: the region's VPCs and groups, a new group,
// a new elastic IP bound to the instance, and a public address.
TEST_F(FacadeOperations, NetworkingRoundTrip) {
  std::vector<SVPCInfoLib> vecVpcs;
  ASSERT_TRUE(m_sFacade.GetVPCListInRegion(REGION, vecVpcs)) << m_sFacade.GetLastError();
  ASSERT_EQ(vecVpcs.size(), 1u);
  EXPECT_EQ(vecVpcs[0].strVpcId, VPC);

  std::string strGroupId;
  ASSERT_TRUE(m_sFacade.CreateSecurityGroup(REGION, VPC, strGroupId, "restored-sg", ""))
      << m_sFacade.GetLastError();
  std::vector<SSecurityGroupInfoLib> vecGroups;
  ASSERT_TRUE(m_sFacade.GetSecurityGroupList(REGION, vecGroups)) << m_sFacade.GetLastError();
  std::vector<std::string> vecGroupIds;
  for (const auto& sGroup : vecGroups) vecGroupIds.push_back(sGroup.strSecurityGroupId);
  EXPECT_NE(std::find(vecGroupIds.begin(), vecGroupIds.end(), SECURITY_GROUP), vecGroupIds.end());
  EXPECT_NE(std::find(vecGroupIds.begin(), vecGroupIds.end(), strGroupId), vecGroupIds.end());
  // The listing is not narrowed to a VPC.
  for (const auto& sEntry : JournalOf("DescribeSecurityGroups")) {
    EXPECT_FALSE(Param(sEntry, "VpcId").has_value());
  }

  std::string strAllocationId;
  ASSERT_TRUE(m_sFacade.CreateEIPAddress(REGION, strAllocationId, "5", "PayByTraffic"))
      << m_sFacade.GetLastError();
  ASSERT_FALSE(strAllocationId.empty());
  ASSERT_TRUE(m_sFacade.BindEIPToInstance(strAllocationId, INSTANCE)) << m_sFacade.GetLastError();
  SElasticIPAddress sAddress;
  ASSERT_TRUE(m_sFacade.GetElasticIPAddress(REGION, strAllocationId, sAddress)) << m_sFacade.GetLastError();
  EXPECT_EQ(sAddress.strAllocationId, strAllocationId);
  EXPECT_FALSE(sAddress.strIpAddress.empty());
  EXPECT_EQ(sAddress.strBandwidth, "5");

  // A public address needs outbound bandwidth, which the demo instance lacks.
  Emulator().Seed(std::string_view(R"({"Instances": [{"InstanceId": "i-acwfacade000000001",
      "RegionId": "cn-hangzhou", "ZoneId": "cn-hangzhou-h", "Status": "Running",
      "InternetMaxBandwidthOut": 5}]})"));
  std::string strPublicIp;
  ASSERT_TRUE(m_sFacade.AssociatePublicIP("i-acwfacade000000001", strPublicIp)) << m_sFacade.GetLastError();
  EXPECT_FALSE(strPublicIp.empty());
  std::string strAgain;
  ASSERT_TRUE(m_sFacade.AssociatePublicIP("i-acwfacade000000001", strAgain));
  EXPECT_EQ(strAgain, strPublicIp);
  EXPECT_EQ(m_sFacade.GetLastError(), "");
}

// With a region id the detach is sent and waited out in that region; without
// one nothing is sent and the last error says the region id is needed.
TEST_F(FacadeOperations, DetachDiskNeedsTheRegion) {
  constexpr const char* DATA_DISK = "d-acwfacade000000001";
  Emulator().Seed(std::string_view(R"({"Disks": [{"DiskId": "d-acwfacade000000001",
      "RegionId": "cn-hangzhou", "ZoneId": "cn-hangzhou-h", "InstanceId": "i-acwemu00000000000001",
      "Status": "In_use", "Type": "data", "Category": "cloud_essd", "Size": 20}]})"));

  EXPECT_FALSE(m_sFacade.DetachDisk(INSTANCE, DATA_DISK, ""));
  EXPECT_NE(m_sFacade.GetLastError().find("region id is needed"), std::string::npos) << m_sFacade.GetLastError();
  EXPECT_TRUE(Journal().empty());
  SnapshotLog();
  EXPECT_NE(FindErrorLine("DetachDisk failed for VM [i-acwemu00000000000001], disk [d-acwfacade000000001]."),
            nullptr)
      << Log().Dump();

  m_sFacade.ClearLastError();
  ASSERT_TRUE(m_sFacade.DetachDisk(INSTANCE, DATA_DISK, REGION)) << m_sFacade.GetLastError();
  ASSERT_EQ(JournalOf("DetachDisk").size(), 1u);
  EXPECT_TRUE(JournalOf("DescribeInstances").empty());
  SDiskInfoLib sDisk;
  ASSERT_TRUE(m_sFacade.GetDiskInfo(REGION, DATA_DISK, sDisk));
  EXPECT_EQ(sDisk.strStatus, "Available");
  EXPECT_EQ(m_sFacade.GetLastError(), "");
}

}  // namespace
}  // namespace AliCloudWrapper
