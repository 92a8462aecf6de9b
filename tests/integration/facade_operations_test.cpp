// The facade's storage and networking operations against the emulator's demo
// world: how a failure reaches the caller and the log, that a success leaves an
// earlier failure's text, one backup-and-restore and one networking round, and
// DetachDisk with and without a region id.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
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
  std::optional<SLogRecord> FindErrorLine(const std::string& strLead) {
    for (const SLogRecord& sRecord : Log().Records()) {
      if (sRecord.bError && sRecord.strMessage.rfind(strLead + " Error: [", 0) == 0) return sRecord;
    }
    return std::nullopt;
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
  std::string strOut;
  bool bFlag = false;
  struct SCase {
    const char* pszName;
    std::function<bool()> fnCall;
    const char* pszLead;  // the message up to " Error: ["
    const char* pszEnd;   // what follows the closing "]"
  };
  const SCase aCases[] = {
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
    EXPECT_FALSE(sCase.fnCall());
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
}

// Backup and restore of the demo instance's disk: snapshot, wait, a disk from
// the snapshot, and the clean-up, with the existence checks on both sides.
TEST_F(FacadeOperations, SnapshotAndDiskRoundTrip) {
  SSnapshotInfoLib sSnapshot;
  ASSERT_TRUE(m_sFacade.CreateSnapshot(SYSTEM_DISK, sSnapshot, "backup-1", "nightly")) << m_sFacade.GetLastError();
  EXPECT_EQ(sSnapshot.strSourceDiskId, SYSTEM_DISK);
  const std::string strSnapshotId = sSnapshot.strSnapshotId;
  ASSERT_FALSE(strSnapshotId.empty());
  bool bCompleted = false;
  for (int nPoll = 0; nPoll < 10 && !bCompleted; ++nPoll) {
    ASSERT_TRUE(m_sFacade.IsSnapshotCompleted(REGION, strSnapshotId, bCompleted));
  }
  ASSERT_TRUE(bCompleted);
  ASSERT_TRUE(m_sFacade.GetSnapshotInfo(REGION, strSnapshotId, sSnapshot));
  EXPECT_EQ(sSnapshot.nProgress, 100);
  EXPECT_EQ(sSnapshot.strSnapshotName, "backup-1");

  SDiskInfoLib sDisk;
  ASSERT_TRUE(m_sFacade.CreateDisk(REGION, ZONE, sDisk, strSnapshotId, "restored", "cloud_essd", 0, false, "b-1"))
      << m_sFacade.GetLastError();
  const std::string strDiskId = sDisk.strDiskId;
  ASSERT_FALSE(strDiskId.empty());
  ASSERT_TRUE(m_sFacade.GetDiskInfo(REGION, strDiskId, sDisk));
  EXPECT_EQ(sDisk.strZoneId, ZONE);
  EXPECT_EQ(sDisk.nSize, 40);  // the size of the snapshot's source disk

  bool bExists = false;
  ASSERT_TRUE(m_sFacade.DoesDiskExist(REGION, strDiskId, bExists));
  EXPECT_TRUE(bExists);
  ASSERT_TRUE(m_sFacade.DeleteDisk(strDiskId)) << m_sFacade.GetLastError();
  ASSERT_TRUE(m_sFacade.DoesDiskExist(REGION, strDiskId, bExists));
  EXPECT_FALSE(bExists);
  ASSERT_TRUE(m_sFacade.DeleteSnapshot(strSnapshotId)) << m_sFacade.GetLastError();
  bExists = true;
  ASSERT_TRUE(m_sFacade.DoesSnapshotExist(REGION, strSnapshotId, bExists));
  EXPECT_FALSE(bExists);
  EXPECT_EQ(m_sFacade.GetLastError(), "");
}

// The networking round of a restore: the region's VPCs and groups (not
// narrowed to a VPC), a new group, a new elastic IP bound to the instance, and
// a public address, which needs outbound bandwidth the demo instance lacks.
TEST_F(FacadeOperations, NetworkingRoundTrip) {
  std::vector<SVPCInfoLib> vecVpcs;
  ASSERT_TRUE(m_sFacade.GetVPCListInRegion(REGION, vecVpcs)) << m_sFacade.GetLastError();
  ASSERT_EQ(vecVpcs.size(), 1u);
  EXPECT_EQ(vecVpcs[0].strVpcId, VPC);

  std::string strGroupId;
  ASSERT_TRUE(m_sFacade.CreateSecurityGroup(REGION, VPC, strGroupId, "restored-sg", "")) << m_sFacade.GetLastError();
  std::vector<SSecurityGroupInfoLib> vecGroups;
  ASSERT_TRUE(m_sFacade.GetSecurityGroupList(REGION, vecGroups)) << m_sFacade.GetLastError();
  size_t nFound = 0;
  for (const auto& sGroup : vecGroups) {
    nFound += sGroup.strSecurityGroupId == SECURITY_GROUP || sGroup.strSecurityGroupId == strGroupId;
  }
  EXPECT_EQ(nFound, 2u);  // the demo world's group and the new one
  for (const auto& sEntry : JournalOf("DescribeSecurityGroups")) EXPECT_FALSE(Param(sEntry, "VpcId").has_value());

  std::string strAllocationId;
  ASSERT_TRUE(m_sFacade.CreateEIPAddress(REGION, strAllocationId, "5", "PayByTraffic")) << m_sFacade.GetLastError();
  ASSERT_TRUE(m_sFacade.BindEIPToInstance(strAllocationId, INSTANCE)) << m_sFacade.GetLastError();
  SElasticIPAddress sAddress;
  ASSERT_TRUE(m_sFacade.GetElasticIPAddress(REGION, strAllocationId, sAddress)) << m_sFacade.GetLastError();
  EXPECT_EQ(sAddress.strAllocationId, strAllocationId);
  EXPECT_FALSE(sAddress.strIpAddress.empty());
  EXPECT_EQ(sAddress.strBandwidth, "5");

  Emulator().Seed(std::string_view(R"({"Instances": [{"InstanceId": "i-acwfacade000000001",
      "RegionId": "cn-hangzhou", "ZoneId": "cn-hangzhou-h", "Status": "Running", "InternetMaxBandwidthOut": 5}]})"));
  std::string strPublicIp;
  std::string strAgain;
  ASSERT_TRUE(m_sFacade.AssociatePublicIP("i-acwfacade000000001", strPublicIp)) << m_sFacade.GetLastError();
  EXPECT_FALSE(strPublicIp.empty());
  ASSERT_TRUE(m_sFacade.AssociatePublicIP("i-acwfacade000000001", strAgain));
  EXPECT_EQ(strAgain, strPublicIp);  // asked again, the same address
  EXPECT_EQ(m_sFacade.GetLastError(), "");
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

}  // namespace
}  // namespace AliCloudWrapper
