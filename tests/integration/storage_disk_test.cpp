// Disks against the emulator: creation (sizes, token, waiting for the snapshot),
// listing, detaching and deleting with their waits and bounds, and a whole
// snapshot -> disk -> delete cycle.
#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>
#include <vector>

#include "AliCloudWrapper/SAliCloudRequest.h"
#include "StorageTestFixture.h"

namespace AliCloudWrapper {
namespace {

using AcwEmulator::Fault;
using AcwEmulator::FaultKind;

using DiskTest = StorageTest;

constexpr long long GIB = 1024LL * 1024 * 1024;

Fault ErrorAnswer(const std::string& strAction, const std::string& strCode, int nCount) {
  Fault sFault;
  sFault.kind = FaultKind::ErrorResponse;
  sFault.action = strAction;
  sFault.status = 403;
  sFault.code = strCode;
  sFault.count = nCount;
  return sFault;
}

TEST(DiskSizeTest, BytesRoundUpToWholeGiB) {
  CAliCloudStorage sStorage(nullptr, nullptr);
  EXPECT_EQ(sStorage.GetSizeInGB(0), 0);
  EXPECT_EQ(sStorage.GetSizeInGB(1), 1);
  EXPECT_EQ(sStorage.GetSizeInGB(GIB), 1);
  EXPECT_EQ(sStorage.GetSizeInGB(GIB + 1), 2);
  EXPECT_EQ(sStorage.GetSizeInGB(10 * GIB), 10);
  // Beyond double precision a byte more must still cost a GiB more.
  EXPECT_EQ(sStorage.GetSizeInGB((1LL << 62) + 1), (1LL << 32) + 1);
  EXPECT_EQ(sStorage.GetSizeInGB(LLONG_MAX), 8LL * GIB);
}

TEST_F(DiskTest, CreateDiskSendsSizeInGiBOnlyWhenGivenAndDefaultsTheCategory) {
  SDiskInfoLib sDisk;
  // 0 bytes: no "Size", the disk takes the snapshot's size.
  ASSERT_FALSE(Storage()
                   .CreateDisk(REGION, ZONE, sDisk, READY_SNAPSHOT, "restored", "", 0, false,
                               "from backup")
                   .IsError())
      << Log().Dump();
  EXPECT_EQ(sDisk.strDiskName, "restored");
  EXPECT_EQ(sDisk.strDescription, "from backup");
  EXPECT_EQ(WorldText("Disks", sDisk.strDiskId, "Category"), "cloud_efficiency");
  EXPECT_EQ(WorldText("Disks", sDisk.strDiskId, "SourceSnapshotId"), READY_SNAPSHOT);

  ASSERT_FALSE(Storage().CreateDisk(REGION, ZONE, sDisk, "", "", "cloud", 10 * GIB, true, "").IsError());
  ASSERT_FALSE(Storage().CreateDisk(REGION, ZONE, sDisk, "", "", "cloud", 10 * GIB + 1, false, "").IsError());

  const auto vecCreates = JournalOf("CreateDisk");
  ASSERT_EQ(vecCreates.size(), 3u);
  EXPECT_FALSE(Param(vecCreates[0], "Size").has_value());
  EXPECT_EQ(Param(vecCreates[0], "DiskCategory"), "cloud_efficiency");
  EXPECT_FALSE(Param(vecCreates[0], "Encrypted").has_value());
  EXPECT_EQ(Param(vecCreates[0], "RegionId"), REGION);
  EXPECT_EQ(Param(vecCreates[0], "ZoneId"), ZONE);
  EXPECT_EQ(Param(vecCreates[1], "Size"), "10");
  EXPECT_EQ(Param(vecCreates[1], "Encrypted"), "true");
  EXPECT_FALSE(Param(vecCreates[1], "SnapshotId").has_value());
  EXPECT_FALSE(Param(vecCreates[1], "DiskName").has_value());
  EXPECT_EQ(Param(vecCreates[2], "Size"), "11");
  // Each call takes a token of its own.
  std::set<std::string> setTokens;
  for (const auto& sEntry : vecCreates) setTokens.insert(Param(sEntry, "ClientToken").value_or(""));
  EXPECT_EQ(setTokens.size(), 3u);
}

TEST_F(DiskTest, CreateDiskWaitsWhileTheSnapshotIsNotReadyWithOneToken) {
  // The service's code in another letter case still means "not ready".
  InjectFault(ErrorAnswer("CreateDisk", "invalidsnapshot.NOTREADY", 2));

  SDiskInfoLib sDisk;
  ASSERT_FALSE(
      Storage().CreateDisk(REGION, ZONE, sDisk, READY_SNAPSHOT, "", "", 0, false, "").IsError())
      << Log().Dump();
  EXPECT_TRUE(WorldHas("Disks", sDisk.strDiskId));

  const auto vecCreates = JournalOf("CreateDisk");
  ASSERT_EQ(vecCreates.size(), 3u);
  const auto strToken = Param(vecCreates[0], "ClientToken");
  ASSERT_TRUE(strToken.has_value());
  EXPECT_EQ(Param(vecCreates[1], "ClientToken"), strToken);
  EXPECT_EQ(Param(vecCreates[2], "ClientToken"), strToken);
  EXPECT_EQ(Sleeps().Pauses(), (std::vector<uint64_t>{10000, 10000}));
  EXPECT_EQ(Log().Count("Snapshot [" + std::string(READY_SNAPSHOT) + "] not complete. Retrying after 10 seconds."), 2u);
}

TEST_F(DiskTest, AResendAfterALostAnswerDoesNotMakeASecondDisk) {
  // The first attempt makes the disk but its answer says "not ready"; the resend
  // carries the same token and gets the same disk back.
  Fault sLost = ErrorAnswer("CreateDisk", "InvalidSnapshot.NotReady", 1);
  sLost.executeAction = true;
  InjectFault(sLost);

  SDiskInfoLib sDisk;
  ASSERT_FALSE(
      Storage().CreateDisk(REGION, ZONE, sDisk, READY_SNAPSHOT, "once", "", 0, false, "").IsError())
      << Log().Dump();
  int nNamedOnce = 0;
  Emulator().WithWorld([&](AcwEmulator::World& world) {
    for (const auto& sItem : world.Items("Disks")) {
      if (sItem.at("DiskName").as_string() == "once") ++nNamedOnce;
    }
  });
  EXPECT_EQ(nNamedOnce, 1);
  EXPECT_EQ(WorldText("Disks", sDisk.strDiskId, "DiskName"), "once");
}

TEST_F(DiskTest, TheEmulatorKeepsClientTokensAsTheServiceDoes) {
  const auto fnCreate = [&](const std::string& strName, std::string& strResponse) {
    SAliCloudRequest sRequest = m_pConnection->GetRegionSpecificRequest(REGION);
    sRequest.AddURLParameter("Action", "CreateDisk");
    sRequest.AddURLParameter("ZoneId", ZONE);
    sRequest.AddURLParameter("ClientToken", "4242");
    sRequest.AddURLParameter("Size", "20");
    sRequest.AddURLParameter("DiskName", strName);
    strResponse.clear();
    return m_pConnection->ExecuteRequest(sRequest, strResponse, false);
  };
  std::string strFirst, strSecond, strOther;
  ASSERT_FALSE(fnCreate("same", strFirst).IsError()) << strFirst;
  ASSERT_FALSE(fnCreate("same", strSecond).IsError()) << strSecond;
  std::string strFirstId, strSecondId;
  ASSERT_TRUE(m_sParser.ParseIdResponse(strFirst, "DiskId", strFirstId));
  ASSERT_TRUE(m_sParser.ParseIdResponse(strSecond, "DiskId", strSecondId));
  EXPECT_FALSE(strFirstId.empty());
  EXPECT_EQ(strFirstId, strSecondId);
  EXPECT_EQ(fnCreate("other", strOther).GetErrorMessage(), "Error code: IdempotentParameterMismatch");
}

TEST_F(DiskTest, CreateDiskGivesUpAtItsBoundWithTheServicesError) {
  SetSetting(CAliCloudStorage::SNAPSHOT_NOT_READY_MAX_WAIT_IN_SEC, 30);
  // A snapshot nobody polls stays "progressing", so the service keeps refusing.
  SSnapshotInfoLib sSnapshot;
  ASSERT_FALSE(Storage().CreateSnapshot(ATTACHED_DISK, sSnapshot, "", "").IsError());

  SDiskInfoLib sDisk;
  CZeError err = Storage().CreateDisk(REGION, ZONE, sDisk, sSnapshot.strSnapshotId, "", "", 0, false, "");
  EXPECT_EQ(err.GetErrorMessage(), "Error code: InvalidSnapshot.NotReady");
  EXPECT_EQ(JournalOf("CreateDisk").size(), 4u);
  EXPECT_EQ(Sleeps().Pauses(), (std::vector<uint64_t>{10000, 10000, 10000}));
  EXPECT_TRUE(Log().Contains("is still not ready after waiting [30] seconds"));
  EXPECT_TRUE(sDisk.strDiskId.empty());
}

TEST_F(DiskTest, ABoundOfZeroWaitsPastTheDefault) {
  SetSetting(CAliCloudStorage::SNAPSHOT_NOT_READY_MAX_WAIT_IN_SEC, 0);
  // The default bound (3600 s) allows 360 pauses; one more shows there is none.
  InjectFault(ErrorAnswer("CreateDisk", "InvalidSnapshot.NotReady", 361));
  SDiskInfoLib sDisk;
  ASSERT_FALSE(
      Storage().CreateDisk(REGION, ZONE, sDisk, READY_SNAPSHOT, "", "", 0, false, "").IsError());
  EXPECT_EQ(Sleeps().Pauses().size(), 361u);
}

TEST_F(DiskTest, CreateDiskFailsAtOnceOnOtherAnswers) {
  SDiskInfoLib sDisk;
  CZeError err = Storage().CreateDisk(REGION, ZONE, sDisk, "s-missing", "", "", 0, false, "");
  EXPECT_EQ(err.GetErrorMessage(), "Error code: InvalidSnapshotId.NotFound");
  EXPECT_TRUE(Log().Contains("Failed to create disk... Error ["));

  Fault sHtml;
  sHtml.kind = FaultKind::NotJson;
  sHtml.action = "CreateDisk";
  InjectFault(sHtml);
  err = Storage().CreateDisk(REGION, ZONE, sDisk, READY_SNAPSHOT, "", "", 0, false, "");
  EXPECT_EQ(err.GetErrorMessage(), "Failed to parse error response.");
  EXPECT_EQ(JournalOf("CreateDisk").size(), 2u);
  EXPECT_TRUE(Sleeps().Pauses().empty());

  EXPECT_EQ(Storage().CreateDisk("", ZONE, sDisk, "", "", "", 0, false, "").GetErrorMessage(),
            "Region Id passed is empty.");
  EXPECT_EQ(Storage().CreateDisk(REGION, "", sDisk, "", "", "", 0, false, "").GetErrorMessage(),
            "Zone Id passed is empty.");
  EXPECT_EQ(JournalOf("CreateDisk").size(), 2u);
}

TEST_F(DiskTest, DetachDiskWaitsWhileDetachingInAnyLetterCase) {
  SetRegionKnob("_DiskDetachingObservations", 2);
  // While the library pauses after the first look, the service reports the state in lower case.
  ScopedPauseHook sHook([&](int nPause) {
    if (nPause != 1) return;
    Emulator().WithWorld([&](AcwEmulator::World& world) {
      (*world.Find("Disks", ATTACHED_DISK))["Status"] = "detaching";
    });
  });

  ASSERT_FALSE(Storage().DetachDisk(INSTANCE, ATTACHED_DISK, REGION).IsError()) << Log().Dump();
  EXPECT_EQ(Sleeps().Pauses(), (std::vector<uint64_t>{2000, 2000}));
  EXPECT_EQ(JournalOf("DetachDisk").size(), 1u);
  EXPECT_EQ(JournalOf("DescribeDisks").size(), 3u);
  EXPECT_EQ(Param(JournalOf("DescribeDisks")[0], "DiskIds"), std::string("[\"") + ATTACHED_DISK + "\"]");
  EXPECT_EQ(WorldText("Disks", ATTACHED_DISK, "Status"), "Available");
  EXPECT_EQ(WorldText("Disks", ATTACHED_DISK, "InstanceId"), "");
  EXPECT_EQ(Log().Count("Waiting for disk [" + std::string(ATTACHED_DISK) + "] to detach."), 2u);
}

TEST_F(DiskTest, DetachDiskGivesUpAtItsBoundNamingTheDisk) {
  SetSetting(CAliCloudStorage::DETACH_DISK_MAX_WAIT_IN_SEC, 10);
  SetRegionKnob("_DiskDetachingObservations", 1000);

  CZeError err = Storage().DetachDisk(INSTANCE, ATTACHED_DISK, REGION);
  EXPECT_EQ(err.GetErrorCode(), 1);
  EXPECT_EQ(err.GetErrorMessage(),
            "Disk [" + std::string(ATTACHED_DISK) + "] did not finish detaching within [10] seconds.");
  EXPECT_EQ(Sleeps().Pauses().size(), 5u);
  EXPECT_EQ(JournalOf("DescribeDisks").size(), 6u);
  EXPECT_TRUE(Log().Contains("is still detaching from VM [" + std::string(INSTANCE) + "]"));
}

TEST_F(DiskTest, DetachDiskReportsFailuresOfTheDetachAndOfTheWait) {
  // Not attached to that instance: the service refuses and nothing is polled.
  CZeError err = Storage().DetachDisk("i-acwemu00000000000001", ATTACHED_DISK, REGION);
  EXPECT_EQ(err.GetErrorMessage(), "Error code: DependencyViolation");
  EXPECT_TRUE(JournalOf("DescribeDisks").empty());

  // Without a region the detach is sent, and the wait cannot look the disk up.
  err = Storage().DetachDisk(INSTANCE, ATTACHED_DISK, "");
  EXPECT_EQ(err.GetErrorMessage(), "Passed region is empty.");
  EXPECT_EQ(JournalOf("DetachDisk").size(), 2u);
  EXPECT_TRUE(Log().Contains("GetDiskInfo failed for disk [" + std::string(ATTACHED_DISK) + "]."));
}

TEST_F(DiskTest, DeleteDiskWaitsWhileTheDiskIsInitializing) {
  SetRegionKnob("_DiskCreatingObservations", 2);
  SDiskInfoLib sDisk;
  ASSERT_FALSE(Storage().CreateDisk(REGION, ZONE, sDisk, "", "", "", 20 * GIB, false, "").IsError());

  ASSERT_FALSE(Storage().DeleteDisk(sDisk.strDiskId).IsError()) << Log().Dump();
  EXPECT_EQ(JournalOf("DeleteDisk").size(), 3u);
  EXPECT_EQ(Sleeps().Pauses(), (std::vector<uint64_t>{10000, 10000}));
  EXPECT_FALSE(WorldHas("Disks", sDisk.strDiskId));
  EXPECT_EQ(Log().Count("Obtained Initializing state for disk [" + sDisk.strDiskId + "]."), 2u);
}

TEST_F(DiskTest, DeleteDiskGivesUpAtItsBoundWithTheServicesError) {
  SetSetting(CAliCloudStorage::DISK_INITIALIZING_MAX_WAIT_IN_SEC, 25);
  SetRegionKnob("_DiskCreatingObservations", 1000);
  SDiskInfoLib sDisk;
  ASSERT_FALSE(Storage().CreateDisk(REGION, ZONE, sDisk, "", "", "", 20 * GIB, false, "").IsError());

  CZeError err = Storage().DeleteDisk(sDisk.strDiskId);
  EXPECT_EQ(err.GetErrorMessage(), "Error code: IncorrectDiskStatus.Initializing");
  EXPECT_EQ(JournalOf("DeleteDisk").size(), 3u);
  EXPECT_EQ(Sleeps().Pauses(), (std::vector<uint64_t>{10000, 10000}));
  EXPECT_TRUE(Log().Contains("is still initializing after waiting [20] seconds"));
  EXPECT_TRUE(WorldHas("Disks", sDisk.strDiskId));
}

TEST_F(DiskTest, DeleteDiskFailsAtOnceOnOtherAnswers) {
  Fault sHtml;
  sHtml.kind = FaultKind::NotJson;
  sHtml.action = "DeleteDisk";
  InjectFault(sHtml);
  CZeError err = Storage().DeleteDisk(ATTACHED_DISK);
  EXPECT_EQ(err.GetErrorMessage(), "Request did not complete successfully. Failed to parse error response.");
  EXPECT_TRUE(Log().Contains("Failed to parse error response. Response : ["));

  err = Storage().DeleteDisk(ATTACHED_DISK);
  EXPECT_EQ(err.GetErrorMessage(), "Error code: DiskStillAttached");
  err = Storage().DeleteDisk("d-missing");
  EXPECT_EQ(err.GetErrorMessage(), "Error code: InvalidDiskId.NotFound");
  EXPECT_EQ(JournalOf("DeleteDisk").size(), 3u);
  EXPECT_TRUE(Sleeps().Pauses().empty());
  EXPECT_TRUE(WorldHas("Disks", ATTACHED_DISK));
}

TEST_F(DiskTest, DiskLookupsTellNotFoundApart) {
  bool bExists = true;
  ASSERT_FALSE(Storage().DoesDiskExist(REGION, "d-missing", bExists).IsError());
  EXPECT_FALSE(bExists);
  SDiskInfoLib sDisk;
  CZeError err = Storage().GetDiskInfo(REGION, "d-missing", sDisk);
  EXPECT_EQ(err.GetErrorCode(), -1);
  EXPECT_EQ(err.GetErrorMessage(), "Unable to find disk [d-missing].");

  // An id holding quotes must not widen the filter to the attached disk.
  ASSERT_FALSE(Storage().DoesDiskExist(REGION, std::string("x\",\"") + ATTACHED_DISK, bExists).IsError());
  EXPECT_FALSE(bExists);

  ASSERT_FALSE(Storage().GetDiskInfo(REGION, ATTACHED_DISK, sDisk).IsError());
  EXPECT_EQ(sDisk.strStatus, "In_use");
  EXPECT_EQ(sDisk.nSize, 40);
  EXPECT_EQ(sDisk.strCategory, "cloud_essd");

  Fault sError = ErrorAnswer("DescribeDisks", "InternalError", 1);
  sError.status = 500;
  InjectFault(sError);
  bExists = true;
  err = Storage().DoesDiskExist(REGION, ATTACHED_DISK, bExists);
  EXPECT_EQ(err.GetErrorMessage(), "Error code: InternalError");
  EXPECT_TRUE(bExists) << "left unchanged on failure";
  EXPECT_TRUE(Sleeps().Pauses().empty()) << "disk lookups have no connectivity retry";
}

TEST_F(DiskTest, GetDiskInfoForVMGathersEveryPage) {
  std::string strSeed = R"({"Disks": [)";
  for (int n = 0; n < 14; ++n) {
    strSeed += (n ? "," : "") + std::string(R"({"DiskId": "d-acwpage)") + std::to_string(100 + n) +
               R"(", "RegionId": "cn-acwstorage", "ZoneId": "cn-acwstorage-a", "Status": "In_use",
                  "InstanceId": "i-acwstorage0000000001"})";
  }
  Emulator().Seed(std::string_view(strSeed + "]}"));

  std::vector<SDiskInfoLib> vecDisks(1);  // what the caller already holds stays in front
  ASSERT_FALSE(Storage().GetDiskInfoForVM(REGION, "", INSTANCE, vecDisks).IsError()) << Log().Dump();
  ASSERT_EQ(vecDisks.size(), 1u + 15u);
  EXPECT_TRUE(vecDisks[0].strDiskId.empty());
  const auto vecPages = JournalOf("DescribeDisks");
  ASSERT_EQ(vecPages.size(), 2u);
  EXPECT_EQ(Param(vecPages[0], "InstanceId"), INSTANCE);
  EXPECT_FALSE(Param(vecPages[0], "ZoneId").has_value());
  EXPECT_EQ(Param(vecPages[1], "PageNumber"), "2");

  std::vector<SDiskInfoLib> vecInZone;
  ASSERT_FALSE(Storage().GetDiskInfoForVM(REGION, "cn-acwstorage-b", INSTANCE, vecInZone).IsError());
  EXPECT_TRUE(vecInZone.empty());
  EXPECT_EQ(Param(JournalOf("DescribeDisks").back(), "ZoneId"), "cn-acwstorage-b");

  EXPECT_EQ(Storage().GetDiskInfoForVM(REGION, ZONE, "", vecInZone).GetErrorMessage(),
            "Instance Id passed is empty.");
}

TEST_F(DiskTest, SnapshotToDiskToDeleteCycle) {
  SetRegionKnob("_SnapshotProgressStep", 40);
  SSnapshotInfoLib sSnapshot;
  ASSERT_FALSE(Storage().CreateSnapshot(ATTACHED_DISK, sSnapshot, "cycle", "").IsError());

  bool bCompleted = false;
  int nLooks = 0;
  while (!bCompleted && nLooks < 10) {
    ASSERT_FALSE(Storage().IsSnapshotCompleted(REGION, sSnapshot.strSnapshotId, bCompleted).IsError());
    ++nLooks;
  }
  EXPECT_EQ(nLooks, 3);  // 40%, 80%, 100%
  EXPECT_EQ(WorldText("Snapshots", sSnapshot.strSnapshotId, "Status"), "accomplished");

  SDiskInfoLib sDisk;
  ASSERT_FALSE(Storage()
                   .CreateDisk(REGION, ZONE, sDisk, sSnapshot.strSnapshotId, "restored", "cloud_essd", 0,
                               false, "")
                   .IsError())
      << Log().Dump();
  SDiskInfoLib sInfo;
  ASSERT_FALSE(Storage().GetDiskInfo(REGION, sDisk.strDiskId, sInfo).IsError());
  EXPECT_EQ(sInfo.strStatus, "Creating");
  ASSERT_FALSE(Storage().GetDiskInfo(REGION, sDisk.strDiskId, sInfo).IsError());
  EXPECT_EQ(sInfo.strStatus, "Available");
  EXPECT_EQ(sInfo.nSize, 40);  // the source disk's size
  EXPECT_EQ(sInfo.strDiskName, "restored");

  // The snapshot is still the source of a disk: the service refuses to drop it.
  EXPECT_EQ(Storage().DeleteSnapshot(sSnapshot.strSnapshotId).GetErrorMessage(),
            "Error code: SnapshotCreatedDisk");
  ASSERT_FALSE(Storage().DeleteDisk(sDisk.strDiskId).IsError());
  bool bExists = true;
  ASSERT_FALSE(Storage().DoesDiskExist(REGION, sDisk.strDiskId, bExists).IsError());
  EXPECT_FALSE(bExists);
  ASSERT_FALSE(Storage().DeleteSnapshot(sSnapshot.strSnapshotId).IsError());
  ASSERT_FALSE(Storage().DoesSnapshotExist(REGION, sSnapshot.strSnapshotId, bExists).IsError());
  EXPECT_FALSE(bExists);
  EXPECT_TRUE(Sleeps().Pauses().empty());
}

}  // namespace
}  // namespace AliCloudWrapper
