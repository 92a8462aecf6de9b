// Backup and restore end to end, through the facade alone: a source instance
// with three disks, a bound elastic IP and three security groups is backed up
// (configuration document, one snapshot per disk) and restored (image from the
// snapshots, instance, start, peripheral components). Each variant ends with the
// world checked for what a half-done restore could leave billed behind.
#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/CAliCloudWrapper.h"
#include "AliCloudWrapper/ComputeRecords.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"
#include "ServiceTestFixture.h"

namespace AliCloudWrapper {
namespace {

using AcwEmulator::Fault;
using AcwEmulator::FaultKind;

constexpr const char* REGION = "cn-acwrestore";
constexpr const char* SOURCE = "i-acwrestore00000001";
constexpr const char* SOURCE_IMAGE = "m-acwrestore00000001";
constexpr const char* SOURCE_EIP = "eip-acwrestore000001";
const std::vector<std::string> GROUPS = {"sg-acwrestore0000001", "sg-acwrestore0000002", "sg-acwrestore0000003"};
// The source's disks and their devices.
const std::map<std::string, std::string> SOURCE_DEVICES = {
    {"d-acwrestoresys00001", "/dev/xvda"}, {"d-acwrestoredata0001", "/dev/xvdb"}, {"d-acwrestoredata0002", "/dev/xvdc"}};

// Which address the restored instance ends with.
enum class EEip { SOURCE, NEW, NONE };

struct SVariant {
  const char* pszName;
  bool bDeleteSource;        // false: the source keeps its address, so a new one is needed
  bool bSourcePublicIp;      // the source also has a public (non-elastic) address
  const char* pszLostAction;  // carried out once, its answer lost
  Fault sFault;               // injected before the restore (count 0: none)
  bool bAssociationFails;     // the service accepts the new instance's associations and gives up on them
  bool bResult;
  EEip eEip;
  const char* pszLastError;  // part of the last error after a false result
};

const Fault NO_FAULT(FaultKind::ErrorResponse, "", 0);

class RestoreTest : public ServiceTest {
 protected:
  std::string_view World() const override {
    return R"({
      "Regions": [{"RegionId": "cn-acwrestore", "Zones": [{"ZoneId": "cn-acwrestore-a"}]}],
      "Vpcs": [{"VpcId": "vpc-acwrestore000001", "RegionId": "cn-acwrestore"}],
      "VSwitches": [{"VSwitchId": "vsw-acwrestore000001", "VpcId": "vpc-acwrestore000001",
                     "ZoneId": "cn-acwrestore-a", "CidrBlock": "172.16.1.0/24"}],
      "SecurityGroups": [
        {"SecurityGroupId": "sg-acwrestore0000001", "VpcId": "vpc-acwrestore000001", "_RegionId": "cn-acwrestore"},
        {"SecurityGroupId": "sg-acwrestore0000002", "VpcId": "vpc-acwrestore000001", "_RegionId": "cn-acwrestore"},
        {"SecurityGroupId": "sg-acwrestore0000003", "VpcId": "vpc-acwrestore000001", "_RegionId": "cn-acwrestore"}],
      "Images": [{"ImageId": "m-acwrestore00000001", "_RegionId": "cn-acwrestore", "Platform": "Debian",
                  "Architecture": "x86_64", "ImageOwnerAlias": "system"}],
      "Instances": [{"InstanceId": "i-acwrestore00000001", "RegionId": "cn-acwrestore",
                     "ZoneId": "cn-acwrestore-a", "Status": "Running", "ImageId": "m-acwrestore00000001",
                     "InstanceType": "ecs.g6.large", "InstanceName": "source", "HostName": "source-host",
                     "InternetMaxBandwidthOut": 5,
                     "VpcAttributes": {"VpcId": "vpc-acwrestore000001", "VSwitchId": "vsw-acwrestore000001"},
                     "SecurityGroupIds": {"SecurityGroupId": ["sg-acwrestore0000001", "sg-acwrestore0000002",
                                                              "sg-acwrestore0000003"]},
                     "EipAddress": {"AllocationId": "eip-acwrestore000001", "IpAddress": "47.96.7.7",
                                    "Bandwidth": 8, "InternetChargeType": "PayByTraffic"}}],
      "Disks": [
        {"DiskId": "d-acwrestoresys00001", "RegionId": "cn-acwrestore", "ZoneId": "cn-acwrestore-a",
         "Type": "system", "Size": 40, "InstanceId": "i-acwrestore00000001", "Device": "/dev/xvda",
         "Status": "In_use", "DeleteWithInstance": true},
        {"DiskId": "d-acwrestoredata0001", "RegionId": "cn-acwrestore", "ZoneId": "cn-acwrestore-a",
         "Type": "data", "Size": 100, "InstanceId": "i-acwrestore00000001", "Device": "/dev/xvdb",
         "Status": "In_use", "DeleteWithInstance": true},
        {"DiskId": "d-acwrestoredata0002", "RegionId": "cn-acwrestore", "ZoneId": "cn-acwrestore-a",
         "Type": "data", "Size": 200, "InstanceId": "i-acwrestore00000001", "Device": "/dev/xvdc",
         "Status": "In_use", "DeleteWithInstance": true}],
      "EipAddresses": [{"AllocationId": "eip-acwrestore000001", "RegionId": "cn-acwrestore",
                        "IpAddress": "47.96.7.7", "Status": "InUse", "InstanceId": "i-acwrestore00000001",
                        "InstanceType": "EcsInstance", "Bandwidth": "8", "InternetChargeType": "PayByTraffic"}]
    })";
  }

  // Asks fnLook up to 10 times until it answers true, as a caller's wait loop
  // would; the emulator's states advance with the requests.
  static bool Await(const std::function<bool()>& fnLook) {
    for (int nLook = 0; nLook < 10; ++nLook) {
      if (fnLook()) return true;
    }
    return false;
  }

  bool AwaitStatus(CAliCloudWrapper& sFacade, const std::string& strInstance, const std::string& strStatus) {
    return Await([&] {
      std::string strNow;
      return sFacade.GetStatusOfInstance(strInstance, strNow) && strNow == strStatus;
    });
  }

  // The sorted ids of the region's items in a collection that pass fnKeep.
  std::vector<std::string> Ids(const char* pszCollection,
                               const std::function<bool(const boost::json::object&)>& fnKeep) {
    std::vector<std::string> vecIds = ServiceTest::Ids(pszCollection, [&](const boost::json::object& item) {
      return (Text(item, "RegionId") == REGION || Text(item, "_RegionId") == REGION) && fnKeep(item);
    });
    std::sort(vecIds.begin(), vecIds.end());
    return vecIds;
  }

  // What a failed or half-done restore must never leave behind: a disk that
  // serves no instance, an address bound to nothing, an image nothing was made
  // from, or two resources for one creation token.
  void ExpectNothingLeaked() {
    const std::set<std::string> setInstances = [&] {
      const auto vec = Ids("Instances", [](const auto&) { return true; });
      return std::set<std::string>(vec.begin(), vec.end());
    }();
    EXPECT_EQ(Ids("Disks", [&](const auto& d) { return setInstances.count(Text(d, "InstanceId")) == 0; }),
              std::vector<std::string>{})
        << "unattached disks";
    EXPECT_EQ(Ids("EipAddresses",
                  [&](const auto& e) {
                    return Text(e, "Status") != "InUse" || setInstances.count(Text(e, "InstanceId")) == 0;
                  }),
              std::vector<std::string>{})
        << "unbound addresses";
    std::set<std::string> setUsedImages;
    (void)Ids("Instances", [&](const auto& i) { return setUsedImages.insert(Text(i, "ImageId")).second; });
    EXPECT_EQ(Ids("Images",
                  [&](const auto& m) {
                    return Text(m, "ImageId") != SOURCE_IMAGE && setUsedImages.count(Text(m, "ImageId")) == 0;
                  }),
              std::vector<std::string>{})
        << "stray images";
    for (const char* pszCollection : {"Instances", "Images", "Snapshots", "EipAddresses", "SecurityGroups", "Disks"}) {
      std::multiset<std::string> setTokens;
      Emulator().WithWorld([&](AcwEmulator::World& world) {
        for (const auto& item : world.Items(pszCollection)) {
          if (!Text(item, "_ClientToken").empty()) setTokens.insert(Text(item, "_ClientToken"));
        }
      });
      for (const std::string& strToken : setTokens) {
        EXPECT_EQ(setTokens.count(strToken), 1u) << pszCollection << " made twice for token " << strToken;
      }
    }
  }
};

TEST_F(RestoreTest, BackupThenRestoreLeavesExactlyTheRestoredServer) {
  const SVariant aVariants[] = {
      {"source address reused", true, false, nullptr, NO_FAULT, false, true, EEip::SOURCE, ""},
      {"source address still in use", false, false, nullptr, NO_FAULT, false, true, EEip::NEW, ""},
      {"new address refused", false, false, nullptr, ErrorAnswer("AssociateEipAddress", "TaskConflict"), false, false,
       EEip::NONE, "Error code: TaskConflict"},
      {"association given up later", false, false, nullptr, NO_FAULT, true, false, EEip::NONE,
       "its status is [Available]"},
      {"no new address, public address given", false, true, nullptr,
       ErrorAnswer("AllocateEipAddress", "QuotaExceeded.Eip"), false, false, EEip::NONE,
       "Error code: QuotaExceeded.Eip"},
      {"snapshot answer lost", true, false, "CreateSnapshot", NO_FAULT, false, true, EEip::SOURCE, ""},
      {"image answer lost", true, false, "CreateImage", NO_FAULT, false, true, EEip::SOURCE, ""},
      {"instance answer lost", true, false, "CreateInstance", NO_FAULT, false, true, EEip::SOURCE, ""},
      {"address answer lost", false, false, "AllocateEipAddress", NO_FAULT, false, true, EEip::NEW, ""},
  };
  for (const SVariant& sVariant : aVariants) {
    SCOPED_TRACE(sVariant.pszName);
    Emulator().Reset();
    Emulator().Seed(World());
    if (sVariant.bSourcePublicIp) {
      WithItem("Instances", SOURCE, [](boost::json::object& instance) {
        instance["PublicIpAddress"] = boost::json::object{{"IpAddress", boost::json::array{"47.100.1.1"}}};
      });
    }
    if (sVariant.pszLostAction != nullptr) {
      Fault sLost(FaultKind::CloseBeforeAnswer, sVariant.pszLostAction, 1);
      sLost.executeAction = true;
      InjectFault(sLost);
    }
    CAliCloudWrapper sFacade;
    ASSERT_TRUE(sFacade.Connect(KEY_ID, KEY_SECRET)) << sFacade.GetLastError();

    // ---- backup: the record with its disks, the document, a snapshot per disk
    SVMInfoLib sRecord;
    std::string strDocument;
    ASSERT_TRUE(sFacade.GetVMInfoAndConfigFile(SOURCE, VM_PROP_VM_DISK_LIST, 0, sRecord, strDocument))
        << sFacade.GetLastError();
    ASSERT_EQ(sRecord.vecDisks.size(), 3u);
    std::string strSystemSnapshot;
    std::vector<std::string> vecDataSnapshots;
    std::map<std::string, std::string> mapDeviceOfSnapshot;
    for (const SDiskInfoLib& sDisk : sRecord.vecDisks) {
      SSnapshotInfoLib sSnapshot;
      ASSERT_TRUE(sFacade.CreateSnapshot(sDisk.strDiskId, sSnapshot, "backup", "")) << sFacade.GetLastError();
      ASSERT_TRUE(Await([&] {
        bool bCompleted = false;
        return sFacade.IsSnapshotCompleted(REGION, sSnapshot.strSnapshotId, bCompleted) && bCompleted;
      })) << sSnapshot.strSnapshotId;
      if (sDisk.bIsSystemDisk) {
        strSystemSnapshot = sSnapshot.strSnapshotId;
      } else {
        vecDataSnapshots.push_back(sSnapshot.strSnapshotId);
      }
      mapDeviceOfSnapshot[sSnapshot.strSnapshotId] = SOURCE_DEVICES.at(sDisk.strDiskId);
    }
    if (sVariant.bDeleteSource) {
      ASSERT_TRUE(sFacade.PowerOffInstance(SOURCE, false, false, false)) << sFacade.GetLastError();
      ASSERT_TRUE(AwaitStatus(sFacade, SOURCE, "Stopped"));
      ASSERT_TRUE(sFacade.DeleteInstance(SOURCE)) << sFacade.GetLastError();
    }

    // ---- restore
    std::string strImage, strNew;
    ASSERT_TRUE(sFacade.CreateImageFromDiskSnapshots(REGION, strSystemSnapshot, vecDataSnapshots,
                                                     sRecord.strArchitecture, sRecord.strOSName, strImage,
                                                     "restore", ""))
        << sFacade.GetLastError();
    ASSERT_TRUE(Await([&] {
      SImageInfoLib sImage;
      return sFacade.GetImageInfoForImage(REGION, strImage, sImage);
    }));
    ASSERT_TRUE(sFacade.CreateInstance(sRecord, strImage, strDocument, strNew)) << sFacade.GetLastError();
    ASSERT_TRUE(AwaitStatus(sFacade, strNew, "Stopped"));
    ASSERT_TRUE(sFacade.PowerOnInstance(strNew)) << sFacade.GetLastError();
    ASSERT_TRUE(AwaitStatus(sFacade, strNew, "Running"));
    if (sVariant.bAssociationFails) {
      WithItem("Instances", strNew, [](boost::json::object& instance) { instance["_AssociationFails"] = true; });
    }
    if (sVariant.sFault.count > 0) InjectFault(sVariant.sFault);
    SVMInfoLib sNew = sRecord;
    sNew.strInstanceId = strNew;
    sFacade.ClearLastError();
    EXPECT_EQ(sFacade.AddPeripheralComponents(sNew, strDocument), sVariant.bResult);
    EXPECT_NE(sFacade.GetLastError().find(sVariant.pszLastError), std::string::npos) << sFacade.GetLastError();

    // ---- the world: the restored server and nothing else
    std::set<std::string> setDisks;
    for (const std::string& strDisk : Ids("Disks", [&](const auto& d) { return Text(d, "InstanceId") == strNew; })) {
      setDisks.insert(WorldText("Disks", strDisk, "Device") + " " +
                      mapDeviceOfSnapshot[WorldText("Disks", strDisk, "SourceSnapshotId")]);
    }
    EXPECT_EQ(setDisks, (std::set<std::string>{"/dev/xvda /dev/xvda", "/dev/xvdb /dev/xvdb", "/dev/xvdc /dev/xvdc"}));
    EXPECT_EQ(WorldText("Instances", strNew, "SecurityGroupIds"),
              R"({"SecurityGroupId":[")" + GROUPS[0] + R"(",")" + GROUPS[1] + R"(",")" + GROUPS[2] + R"("]})");
    const std::vector<std::string> vecBound =
        Ids("EipAddresses", [&](const auto& e) { return Text(e, "InstanceId") == strNew; });
    const std::vector<std::string> vecAllEips = Ids("EipAddresses", [](const auto&) { return true; });
    switch (sVariant.eEip) {
      case EEip::SOURCE:
        EXPECT_EQ(vecBound, std::vector<std::string>{SOURCE_EIP});
        EXPECT_EQ(vecAllEips, std::vector<std::string>{SOURCE_EIP}) << "nothing allocated";
        break;
      case EEip::NEW:
        ASSERT_EQ(vecBound.size(), 1u);
        EXPECT_NE(vecBound[0], SOURCE_EIP);
        EXPECT_EQ(WorldText("EipAddresses", vecBound[0], "Bandwidth"), "8") << "the source's bandwidth";
        EXPECT_EQ(WorldText("EipAddresses", vecBound[0], "InternetChargeType"), "PayByTraffic");
        EXPECT_EQ(vecAllEips.size(), 2u) << "one new address, nothing else";
        break;
      case EEip::NONE:
        EXPECT_EQ(vecBound, std::vector<std::string>{});
        EXPECT_EQ(vecAllEips, std::vector<std::string>{SOURCE_EIP}) << "the new address was released";
        break;
    }
    EXPECT_EQ(Ids("Instances", [](const auto&) { return true; }).size(), sVariant.bDeleteSource ? 1u : 2u);
    EXPECT_EQ(Ids("Snapshots", [](const auto&) { return true; }).size(), 3u);
    EXPECT_EQ(Ids("Images", [](const auto& m) { return Text(m, "ImageId") != SOURCE_IMAGE; }),
              std::vector<std::string>{strImage});
    ExpectNothingLeaked();
    if (sVariant.pszLostAction != nullptr) {
      // The lost attempt and its resend: one call, one token.
      const auto vecSent = JournalOf(sVariant.pszLostAction);
      ASSERT_GE(vecSent.size(), 2u);
      EXPECT_EQ(vecSent[0].fault, "CloseBeforeAnswer");
      EXPECT_EQ(Param(vecSent[0], "ClientToken"), Param(vecSent[1], "ClientToken"));
      EXPECT_FALSE(Param(vecSent[0], "ClientToken").value_or("").empty());
    }
  }
}

// A document that cannot be read is a failure the caller can read about.
TEST_F(RestoreTest, AnUnreadableDocumentSetsTheLastError) {
  CAliCloudWrapper sFacade;
  SVMInfoLib sNew, sRead;
  sNew.strInstanceId = "i-any";
  EXPECT_FALSE(sFacade.AddPeripheralComponents(sNew, "{not a document"));
  EXPECT_EQ(sFacade.GetLastError(), "Failed to parse configuration file.");
  EXPECT_TRUE(Log().Contains("Failed to parse config file content [{not a document]."));
  sFacade.ClearLastError();
  EXPECT_FALSE(sFacade.GetVMInfoFromConfigFile("[]", sRead));
  EXPECT_EQ(sFacade.GetLastError(), "Failed to parse configuration file.");
  EXPECT_TRUE(sFacade.GetVMInfoFromConfigFile(R"({"InstanceId":"i-x","RegionId":"r"})", sRead));
  EXPECT_EQ(sRead.strInstanceId, "i-x");
  EXPECT_TRUE(Journal().empty());
}

// The creating call outside the scenario: a lost answer is resent with the same
// token and yields the one group the service made. Then the caller's way to
// clean up an address it no longer wants.
TEST_F(RestoreTest, CreatingCallsSurviveALostAnswer) {
  CAliCloudWrapper sFacade;
  ASSERT_TRUE(sFacade.Connect(KEY_ID, KEY_SECRET)) << sFacade.GetLastError();
  Fault sLost(FaultKind::CloseBeforeAnswer, "CreateSecurityGroup", 1);
  sLost.executeAction = true;
  InjectFault(sLost);
  std::string strGroup, strAllocation;
  ASSERT_TRUE(sFacade.CreateSecurityGroup(REGION, "vpc-acwrestore000001", strGroup, "once", ""))
      << sFacade.GetLastError();
  const auto vecSent = JournalOf("CreateSecurityGroup");
  ASSERT_EQ(vecSent.size(), 2u);
  EXPECT_EQ(Param(vecSent[0], "ClientToken"), Param(vecSent[1], "ClientToken"));
  EXPECT_EQ(IdsWhere("SecurityGroups", "SecurityGroupName", "once"), std::vector<std::string>{strGroup});

  ASSERT_TRUE(sFacade.CreateEIPAddress(REGION, strAllocation, "", "")) << sFacade.GetLastError();
  EXPECT_TRUE(sFacade.ReleaseEIPAddress(strAllocation)) << sFacade.GetLastError();
  EXPECT_FALSE(WorldHas("EipAddresses", strAllocation));
  EXPECT_FALSE(sFacade.ReleaseEIPAddress(strAllocation));
  EXPECT_TRUE(Log().Contains("Failed to release EIP [" + strAllocation + "]. Error: ["));
}

}  // namespace
}  // namespace AliCloudWrapper
