// Block storage against the emulator: disks (sizes, token, waiting for the
// snapshot, listing, detaching and deleting with their waits and bounds),
// snapshots (creation, not-found answers, the connectivity retry of their
// lookup) and a whole snapshot -> disk -> delete cycle.
#include <climits>
#include <set>

#include "ServiceTestFixture.h"
#include "host/FXThread.h"

namespace AliCloudWrapper {
namespace {

using AcwEmulator::Fault;
using AcwEmulator::FaultKind;

using DiskTest = StorageTest;  // disks and snapshots alike

constexpr long long GIB = 1024LL * 1024 * 1024;

TEST(DiskSizeTest, BytesRoundUpToWholeGiB) {
  CAliCloudStorage sStorage(nullptr, nullptr);
  // Beyond double precision a byte more must still cost a GiB more.
  const std::vector<std::pair<long long, long long>> vecCases = {
      {0, 0}, {1, 1}, {GIB, 1}, {GIB + 1, 2}, {(1LL << 62) + 1, (1LL << 32) + 1}, {LLONG_MAX, 8LL * GIB}};
  for (const auto& [nBytes, nGiB] : vecCases) EXPECT_EQ(sStorage.GetSizeInGB(nBytes), nGiB) << nBytes;
}

TEST_F(DiskTest, CreateDiskSendsSizeInGiBOnlyWhenGivenAndDefaultsTheCategory) {
  SDiskInfoLib sDisk;
  // 0 bytes: no "Size", the disk takes the snapshot's size.
  ASSERT_FALSE(
      Storage().CreateDisk(REGION, ZONE, sDisk, READY_SNAPSHOT, "restored", "", 0, false, "from backup").IsError());
  EXPECT_EQ(sDisk.strDiskName, "restored");
  EXPECT_EQ(sDisk.strDescription, "from backup");
  ASSERT_FALSE(Storage().CreateDisk(REGION, ZONE, sDisk, "", "", "cloud", 10 * GIB + 1, true, "").IsError());
  ASSERT_FALSE(Storage().CreateDisk(REGION, ZONE, sDisk, "", "", "cloud", 10 * GIB, false, "").IsError());

  const auto vecCreates = JournalOf("CreateDisk");
  ASSERT_EQ(vecCreates.size(), 3u);
  const auto names = {"Size", "DiskCategory", "Encrypted", "SnapshotId", "DiskName"};
  EXPECT_EQ(Sent(vecCreates[0], names),
            "Size DiskCategory=cloud_efficiency Encrypted SnapshotId=" + std::string(READY_SNAPSHOT) + " DiskName=restored");
  EXPECT_EQ(Sent(vecCreates[1], names), "Size=11 DiskCategory=cloud Encrypted=true SnapshotId DiskName");
  EXPECT_EQ(Param(vecCreates[2], "Size"), "10");
  EXPECT_NE(Param(vecCreates[0], "ClientToken"), Param(vecCreates[1], "ClientToken")) << "a token per call";
}

TEST_F(DiskTest, CreateDiskResendsWithOneTokenWhileTheSnapshotIsNotReadyAndMakesOneDisk) {
  // The code in another letter case still means "not ready"; the first attempt
  // makes the disk but its answer is lost, so only the shared token keeps the
  // resends from making a second one.
  Fault sLost = ErrorAnswer("CreateDisk", "invalidsnapshot.NOTREADY", 2, 403);
  sLost.executeAction = true;
  InjectFault(sLost);

  SDiskInfoLib sDisk;
  ASSERT_FALSE(Storage().CreateDisk(REGION, ZONE, sDisk, READY_SNAPSHOT, "once", "", 0, false, "").IsError());
  std::set<std::string> setTokens;
  for (const auto& sEntry : JournalOf("CreateDisk")) setTokens.insert(Param(sEntry, "ClientToken").value_or(""));
  EXPECT_EQ(JournalOf("CreateDisk").size(), 3u);
  EXPECT_EQ(setTokens.size(), 1u);
  EXPECT_FALSE(setTokens.begin()->empty());
  int nNamedOnce = 0;
  Emulator().WithWorld([&](AcwEmulator::World& world) {
    for (const auto& sItem : world.Items("Disks")) nNamedOnce += sItem.at("DiskName").as_string() == "once";
  });
  EXPECT_EQ(nNamedOnce, 1);
  EXPECT_EQ(WorldText("Disks", sDisk.strDiskId, "DiskName"), "once");
  EXPECT_EQ(Sleeps().Pauses(), (std::vector<uint64_t>{10000, 10000}));
  EXPECT_EQ(Log().Count("Snapshot [" + std::string(READY_SNAPSHOT) + "] not complete. Retrying after 10 seconds."), 2u);
}

TEST_F(DiskTest, CreateDiskWaitsForTheSnapshotWithinItsBound) {
  // A bound of 30 s gives up after the third pause with the service's error.
  // A snapshot nobody polls stays "progressing", so the service keeps refusing.
  SetSetting(CAliCloudStorage::SNAPSHOT_NOT_READY_MAX_WAIT_IN_SEC, 30);
  SSnapshotInfoLib sSnapshot;
  ASSERT_FALSE(Storage().CreateSnapshot(ATTACHED_DISK, sSnapshot, "", "").IsError());
  SDiskInfoLib sDisk;
  CZeError err = Storage().CreateDisk(REGION, ZONE, sDisk, sSnapshot.strSnapshotId, "", "", 0, false, "");
  EXPECT_EQ(err.GetErrorMessage(), "Error code: InvalidSnapshot.NotReady");
  EXPECT_EQ(JournalOf("CreateDisk").size(), 4u);
  EXPECT_EQ(Sleeps().Pauses(), (std::vector<uint64_t>{10000, 10000, 10000}));
  EXPECT_TRUE(Log().Contains("is still not ready after waiting [30] seconds"));
  EXPECT_TRUE(sDisk.strDiskId.empty());

  // A bound of 0 means none: the default (3600 s) allows 360 pauses, one more shows it is gone.
  SetSetting(CAliCloudStorage::SNAPSHOT_NOT_READY_MAX_WAIT_IN_SEC, 0);
  InjectFault(ErrorAnswer("CreateDisk", "InvalidSnapshot.NotReady", 361, 403));
  ASSERT_FALSE(Storage().CreateDisk(REGION, ZONE, sDisk, READY_SNAPSHOT, "", "", 0, false, "").IsError());
  EXPECT_EQ(Sleeps().Pauses().size(), 3u + 361u);
}

TEST_F(DiskTest, CreateAndDeleteFailAtOnceOnOtherAnswers) {
  SDiskInfoLib sDisk;
  EXPECT_EQ(Storage().CreateDisk(REGION, ZONE, sDisk, "s-missing", "", "", 0, false, "").GetErrorMessage(),
            "Error code: InvalidSnapshotId.NotFound");
  EXPECT_TRUE(Log().Contains("Failed to create disk... Error ["));
  InjectFault(FaultKind::NotJson, "CreateDisk");
  EXPECT_EQ(Storage().CreateDisk(REGION, ZONE, sDisk, READY_SNAPSHOT, "", "", 0, false, "").GetErrorMessage(),
            "Failed to parse error response.");
  // A 2xx answer without the new disk's id is no success.
  InjectFault(ErrorAnswer("CreateDisk", "Odd", 1, 200));
  EXPECT_EQ(Storage().CreateDisk(REGION, ZONE, sDisk, READY_SNAPSHOT, "", "", 0, false, "").GetErrorMessage(),
            "Failed to parse disk creation response.");
  EXPECT_EQ(Storage().CreateDisk("", ZONE, sDisk, "", "", "", 0, false, "").GetErrorMessage(),
            "Region Id passed is empty.");
  EXPECT_EQ(Storage().CreateDisk(REGION, "", sDisk, "", "", "", 0, false, "").GetErrorMessage(),
            "Zone Id passed is empty.");
  EXPECT_EQ(JournalOf("CreateDisk").size(), 3u);

  InjectFault(FaultKind::NotJson, "DeleteDisk");
  EXPECT_EQ(Storage().DeleteDisk(ATTACHED_DISK).GetErrorMessage(),
            "Request did not complete successfully. Failed to parse error response.");
  EXPECT_TRUE(Log().Contains("Failed to parse error response. Response : ["));
  EXPECT_EQ(Storage().DeleteDisk(ATTACHED_DISK).GetErrorMessage(), "Error code: DiskStillAttached");
  EXPECT_EQ(Storage().DeleteDisk("d-missing").GetErrorMessage(), "Error code: InvalidDiskId.NotFound");
  EXPECT_EQ(JournalOf("DeleteDisk").size(), 3u);
  EXPECT_TRUE(Sleeps().Pauses().empty());
  EXPECT_TRUE(WorldHas("Disks", ATTACHED_DISK));
}

TEST_F(DiskTest, DetachDiskWaitsWhileDetachingInAnyLetterCase) {
  SetRegionKnob("_DiskDetachingObservations", 2);
  // While the library pauses after the first look, the service reports the state in lower case.
  FXThread::Sleeper fnRecord;
  fnRecord = FXThread::SetSleeper([&](uint64_t nMs) {
    fnRecord(nMs);
    WithItem("Disks", ATTACHED_DISK, [](boost::json::object& disk) {
      if (disk["Status"] == "Detaching") disk["Status"] = "detaching";
    });
  });
  const CZeError err = Storage().DetachDisk(INSTANCE, ATTACHED_DISK, REGION);
  FXThread::SetSleeper(fnRecord);
  ASSERT_FALSE(err.IsError());
  EXPECT_EQ(Sleeps().Pauses(), (std::vector<uint64_t>{2000, 2000}));
  EXPECT_EQ(JournalOf("DetachDisk").size(), 1u);
  EXPECT_EQ(JournalOf("DescribeDisks").size(), 3u);
  EXPECT_EQ(Param(JournalOf("DescribeDisks")[0], "DiskIds"), std::string("[\"") + ATTACHED_DISK + "\"]");
  EXPECT_EQ(WorldText("Disks", ATTACHED_DISK, "Status"), "Available");
  EXPECT_EQ(Log().Count("Waiting for disk [" + std::string(ATTACHED_DISK) + "] to detach."), 2u);
}

TEST_F(DiskTest, DetachDiskFailuresAndItsBound) {
  // Not attached to that instance: the service refuses and nothing is polled.
  CZeError err = Storage().DetachDisk("i-acwemu00000000000001", ATTACHED_DISK, REGION);
  EXPECT_EQ(err.GetErrorMessage(), "Error code: DependencyViolation");
  EXPECT_TRUE(JournalOf("DescribeDisks").empty());

  // Without a region the detach is sent, and the wait cannot look the disk up.
  SetRegionKnob("_DiskDetachingObservations", 1000);
  err = Storage().DetachDisk(INSTANCE, ATTACHED_DISK, "");
  EXPECT_EQ(err.GetErrorMessage(), "Passed region is empty.");
  EXPECT_TRUE(Log().Contains("GetDiskInfo failed for disk [" + std::string(ATTACHED_DISK) + "]."));

  // Still detaching when the bound runs out: an error naming the disk.
  SetSetting(CAliCloudStorage::DETACH_DISK_MAX_WAIT_IN_SEC, 10);
  WithItem("Disks", ATTACHED_DISK, [&](boost::json::object& disk) {
    disk["Status"] = "In_use";
    disk["InstanceId"] = INSTANCE;
  });
  err = Storage().DetachDisk(INSTANCE, ATTACHED_DISK, REGION);
  EXPECT_EQ(err.GetErrorCode(), 1);
  EXPECT_EQ(err.GetErrorMessage(),
            "Disk [" + std::string(ATTACHED_DISK) + "] did not finish detaching within [10] seconds.");
  EXPECT_EQ(Sleeps().Pauses().size(), 5u);
  EXPECT_EQ(JournalOf("DescribeDisks").size(), 6u);
  EXPECT_TRUE(Log().Contains("is still detaching from VM [" + std::string(INSTANCE) + "]"));
}

TEST_F(DiskTest, DeleteDiskWaitsWhileTheDiskIsInitializingWithinItsBound) {
  SetSetting(CAliCloudStorage::DISK_INITIALIZING_MAX_WAIT_IN_SEC, 25);
  // The first disk initializes for two looks, the second beyond the bound.
  SDiskInfoLib sQuick, sSlow;
  SetRegionKnob("_DiskCreatingObservations", 2);
  ASSERT_FALSE(Storage().CreateDisk(REGION, ZONE, sQuick, "", "", "", 20 * GIB, false, "").IsError());
  SetRegionKnob("_DiskCreatingObservations", 1000);
  ASSERT_FALSE(Storage().CreateDisk(REGION, ZONE, sSlow, "", "", "", 20 * GIB, false, "").IsError());

  ASSERT_FALSE(Storage().DeleteDisk(sQuick.strDiskId).IsError());
  EXPECT_EQ(JournalOf("DeleteDisk").size(), 3u);
  EXPECT_EQ(Sleeps().Pauses(), (std::vector<uint64_t>{10000, 10000}));
  EXPECT_FALSE(WorldHas("Disks", sQuick.strDiskId));
  EXPECT_EQ(Log().Count("Obtained Initializing state for disk [" + sQuick.strDiskId + "]."), 2u);

  CZeError err = Storage().DeleteDisk(sSlow.strDiskId);
  EXPECT_EQ(err.GetErrorMessage(), "Error code: IncorrectDiskStatus.Initializing");
  EXPECT_EQ(JournalOf("DeleteDisk").size(), 6u);
  EXPECT_EQ(Sleeps().Pauses().size(), 4u);
  EXPECT_TRUE(Log().Contains("is still initializing after waiting [20] seconds"));
  EXPECT_TRUE(WorldHas("Disks", sSlow.strDiskId));
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
  EXPECT_EQ(sDisk.strStatus + "/" + sDisk.strCategory + "/" + std::to_string(sDisk.nSize), "In_use/cloud_essd/40");

  InjectFault(ErrorAnswer("DescribeDisks", "InternalError", 1, 500));
  bExists = true;
  EXPECT_EQ(Storage().DoesDiskExist(REGION, ATTACHED_DISK, bExists).GetErrorMessage(), "Error code: InternalError");
  EXPECT_TRUE(bExists) << "left unchanged on failure";
  EXPECT_TRUE(Sleeps().Pauses().empty()) << "disk lookups have no connectivity retry";
}

TEST_F(DiskTest, GetDiskInfoForVMGathersEveryPage) {
  boost::json::array disks;
  for (int n = 0; n < 14; ++n) {
    disks.push_back(boost::json::object{{"DiskId", "d-acwpage" + std::to_string(100 + n)}, {"RegionId", REGION},
                                        {"ZoneId", ZONE}, {"Status", "In_use"}, {"InstanceId", INSTANCE}});
  }
  Emulator().Seed(boost::json::object{{"Disks", disks}});

  std::vector<SDiskInfoLib> vecDisks(1);  // what the caller already holds stays in front
  ASSERT_FALSE(Storage().GetDiskInfoForVM(REGION, "", INSTANCE, vecDisks).IsError());
  ASSERT_EQ(vecDisks.size(), 1u + 15u);
  EXPECT_TRUE(vecDisks[0].strDiskId.empty());
  const auto vecPages = JournalOf("DescribeDisks");
  ASSERT_EQ(vecPages.size(), 2u);
  EXPECT_EQ(Sent(vecPages[0], {"InstanceId", "ZoneId"}), "InstanceId=" + std::string(INSTANCE) + " ZoneId");
  EXPECT_EQ(Param(vecPages[1], "PageNumber"), "2");

  std::vector<SDiskInfoLib> vecInZone;
  ASSERT_FALSE(Storage().GetDiskInfoForVM(REGION, "cn-acwstorage-b", INSTANCE, vecInZone).IsError());
  EXPECT_TRUE(vecInZone.empty());
  EXPECT_EQ(Param(JournalOf("DescribeDisks").back(), "ZoneId"), "cn-acwstorage-b");
  EXPECT_EQ(Storage().GetDiskInfoForVM(REGION, ZONE, "", vecInZone).GetErrorMessage(), "Instance Id passed is empty.");
}

TEST_F(DiskTest, SnapshotToDiskToDeleteCycle) {
  // Steps of 33 give 33%, 66%, 99% and then 100%: only the last is complete.
  SetRegionKnob("_SnapshotProgressStep", 33);
  SSnapshotInfoLib sSnapshot;
  ASSERT_FALSE(Storage().CreateSnapshot(ATTACHED_DISK, sSnapshot, "cycle", "").IsError());
  std::vector<bool> vecCompleted;
  for (int nLook = 0; nLook < 4; ++nLook) {
    bool bCompleted = true;
    ASSERT_FALSE(Storage().IsSnapshotCompleted(REGION, sSnapshot.strSnapshotId, bCompleted).IsError());
    vecCompleted.push_back(bCompleted);
  }
  EXPECT_EQ(vecCompleted, (std::vector<bool>{false, false, false, true}));
  EXPECT_EQ(WorldText("Snapshots", sSnapshot.strSnapshotId, "Progress"), "100%");

  SDiskInfoLib sDisk, sInfo;
  ASSERT_FALSE(
      Storage().CreateDisk(REGION, ZONE, sDisk, sSnapshot.strSnapshotId, "restored", "cloud_essd", 0, false, "")
          .IsError());
  ASSERT_FALSE(Storage().GetDiskInfo(REGION, sDisk.strDiskId, sInfo).IsError());
  EXPECT_EQ(sInfo.nSize, 40);  // the source disk's size
  EXPECT_EQ(sInfo.strDiskName, "restored");

  // The snapshot is still the source of a disk: the service refuses to drop it.
  EXPECT_EQ(Storage().DeleteSnapshot(sSnapshot.strSnapshotId).GetErrorMessage(), "Error code: SnapshotCreatedDisk");
  ASSERT_FALSE(Storage().DeleteDisk(sDisk.strDiskId).IsError());
  ASSERT_FALSE(Storage().DeleteSnapshot(sSnapshot.strSnapshotId).IsError());
  EXPECT_FALSE(WorldHas("Disks", sDisk.strDiskId));
}

// ---- snapshots

TEST_F(DiskTest, CreateSnapshotSendsOptionalTextsOnlyWhenGivenAndFillsTheRecord) {
  SSnapshotInfoLib sNamed, sPlain, sNone;
  ASSERT_FALSE(Storage().CreateSnapshot(ATTACHED_DISK, sNamed, "nightly", "before upgrade").IsError());
  EXPECT_EQ(sNamed.strSourceDiskId, ATTACHED_DISK);
  EXPECT_EQ(sNamed.strSnapshotName, "nightly");
  EXPECT_EQ(sNamed.strDescription, "before upgrade");
  EXPECT_EQ(WorldText("Snapshots", sNamed.strSnapshotId, "Status"), "progressing");
  ASSERT_FALSE(Storage().CreateSnapshot(ATTACHED_DISK, sPlain, "", "").IsError());

  const auto vecCreates = JournalOf("CreateSnapshot");
  ASSERT_EQ(vecCreates.size(), 2u);
  EXPECT_EQ(Sent(vecCreates[0], {"SnapshotName", "Description"}), "SnapshotName=nightly Description=before upgrade");
  EXPECT_EQ(Sent(vecCreates[1], {"SnapshotName", "Description", "RegionId"}), "SnapshotName Description RegionId");

  // A disk the service does not know: the service's code, nothing parsed.
  CZeError err = Storage().CreateSnapshot("d-missing", sNone, "", "");
  EXPECT_NE(err.AsString().find("InvalidDiskId.NotFound"), std::string::npos) << err.AsString();
  EXPECT_TRUE(Log().Contains("Failed to create snapshot for disk [d-missing]"));

  // A 2xx answer without the new snapshot's id is no success.
  AcwEmulator::Fault sNoId(FaultKind::ErrorResponse, "CreateSnapshot", 1);
  sNoId.status = 200;
  InjectFault(sNoId);
  EXPECT_EQ(Storage().CreateSnapshot(ATTACHED_DISK, sNone, "", "").GetErrorMessage(),
            "Failed to parse snapshot creation response.");
}

TEST_F(DiskTest, AnUnknownSnapshotIsNotFoundNotAFailureOfExistence) {
  bool bExists = true;
  ASSERT_FALSE(Storage().DoesSnapshotExist(REGION, "s-missing", bExists).IsError());
  EXPECT_FALSE(bExists);
  SSnapshotInfoLib sInfo;
  CZeError err = Storage().GetSnapshotInfo(REGION, "s-missing", sInfo);
  EXPECT_EQ(err.GetErrorCode(), -1);
  EXPECT_EQ(err.GetErrorMessage(), "Unable to find snapshot [s-missing].");
  bool bCompleted = true;
  err = Storage().IsSnapshotCompleted(REGION, "s-missing", bCompleted);
  EXPECT_EQ(err.GetErrorMessage(), "Unable to find snapshot [s-missing].");
  EXPECT_TRUE(bCompleted) << "left unchanged on failure";

  // An id holding quotes stays one id in the filter: unescaped it would become
  // ["s-missing","<real id>"] and report the real snapshot under a name it does not have.
  SSnapshotInfoLib sSnapshot;
  ASSERT_FALSE(Storage().CreateSnapshot(ATTACHED_DISK, sSnapshot, "", "").IsError());
  ASSERT_FALSE(Storage().DoesSnapshotExist(REGION, "s-missing\",\"" + sSnapshot.strSnapshotId, bExists).IsError());
  EXPECT_FALSE(bExists);
  EXPECT_EQ(Param(JournalOf("DescribeSnapshots").back(), "SnapshotIds"),
            "[\"s-missing\\\",\\\"" + sSnapshot.strSnapshotId + "\"]");

  // An existing snapshot answers true; once deleted, false again.
  ASSERT_FALSE(Storage().DoesSnapshotExist(REGION, sSnapshot.strSnapshotId, bExists).IsError());
  EXPECT_TRUE(bExists);
  EXPECT_EQ(Param(JournalOf("DescribeSnapshots").back(), "SnapshotIds"), "[\"" + sSnapshot.strSnapshotId + "\"]");
  ASSERT_FALSE(Storage().DeleteSnapshot(sSnapshot.strSnapshotId).IsError());
  ASSERT_FALSE(Storage().DoesSnapshotExist(REGION, sSnapshot.strSnapshotId, bExists).IsError());
  EXPECT_FALSE(bExists);
  err = Storage().DeleteSnapshot(sSnapshot.strSnapshotId);
  EXPECT_NE(err.AsString().find("InvalidSnapshotId.NotFound"), std::string::npos) << err.AsString();
}

TEST_F(DiskTest, UnansweredLookupsAreRetriedThreeTimesTenSecondsApartErrorsNever) {
  const std::string strNoConnection =
      "Couldn't connect to server. Please check the network connectivity between the proxy and cloud.";
  SSnapshotInfoLib sInfo;
  InjectFault(FaultKind::CloseBeforeAnswer, "DescribeSnapshots", 3);
  ASSERT_FALSE(Storage().GetSnapshotInfo(REGION, READY_SNAPSHOT, sInfo).IsError());
  EXPECT_EQ(sInfo.strSnapshotId, READY_SNAPSHOT);
  EXPECT_EQ(sInfo.strSourceDiskId, ATTACHED_DISK);
  EXPECT_EQ(sInfo.nProgress, 100);
  EXPECT_EQ(Param(JournalOf("DescribeSnapshots")[0], "RegionId"), REGION);
  EXPECT_EQ(JournalOf("DescribeSnapshots").size(), 4u);
  EXPECT_EQ(Sleeps().Pauses(), (std::vector<uint64_t>{10000, 10000, 10000}));
  EXPECT_EQ(Log().Count("Failed to connect to server. Retrying after [10] seconds."), 3u);

  // A fourth unanswered lookup reports the connectivity problem.
  InjectFault(FaultKind::CloseBeforeAnswer, "DescribeSnapshots", 4);
  CZeError err = Storage().GetSnapshotInfo(REGION, READY_SNAPSHOT, sInfo);
  EXPECT_EQ(err.GetErrorCode(), 1);
  EXPECT_EQ(err.GetErrorMessage(), strNoConnection);
  EXPECT_EQ(JournalOf("DescribeSnapshots").size(), 8u);
  EXPECT_EQ(Sleeps().Pauses().size(), 6u);
  EXPECT_TRUE(Log().Contains("Couldn't resolve connectivity failure even after retries."));

  // Existence checks pass the failure on instead of answering "absent".
  InjectFault(FaultKind::CloseBeforeAnswer, "DescribeSnapshots", 4);
  bool bExists = true;
  EXPECT_EQ(Storage().DoesSnapshotExist(REGION, READY_SNAPSHOT, bExists).GetErrorMessage(), strNoConnection);
  EXPECT_TRUE(bExists);

  // An error document is the service's answer: reported at once.
  InjectFault(FaultKind::ErrorResponse, "DescribeSnapshots");
  EXPECT_EQ(Storage().GetSnapshotInfo(REGION, READY_SNAPSHOT, sInfo).GetErrorMessage(), "Error code: InternalError");
  EXPECT_EQ(JournalOf("DescribeSnapshots").size(), 13u);
  EXPECT_EQ(Sleeps().Pauses().size(), 9u);
  EXPECT_TRUE(Log().Contains("Failed to get snapshot info for snapshot [" + std::string(READY_SNAPSHOT) + "]."));
}

// A snapshot the service could not take never completes: the answer must end
// a caller's wait instead of saying "not yet" for ever.
TEST_F(DiskTest, AFailedSnapshotIsAnErrorNamingItNotIncomplete) {
  Seed(R"({"Snapshots": [{"SnapshotId": "s-acwfailed", "RegionId": "cn-acwstorage", "Status": "failed",
                          "Progress": "40%"}]})");
  bool bCompleted = true;
  CZeError err = Storage().IsSnapshotCompleted(REGION, "s-acwfailed", bCompleted);
  EXPECT_EQ(err.GetErrorMessage(), "Snapshot [s-acwfailed] failed and will not complete.");
  EXPECT_TRUE(bCompleted) << "left unchanged on failure";
  EXPECT_FALSE(Storage().IsSnapshotCompleted(REGION, READY_SNAPSHOT, bCompleted).IsError());
  EXPECT_TRUE(bCompleted);
}

TEST_F(DiskTest, EmptyArgumentsFailBeforeAnythingIsSent) {
  SSnapshotInfoLib sInfo;
  bool bFlag = false;
  EXPECT_EQ(Storage().CreateSnapshot("", sInfo, "n", "d").GetErrorMessage(), "Empty disk Id passed.");
  EXPECT_EQ(Storage().DeleteSnapshot("").GetErrorMessage(), "Snapshot Id passed is empty.");
  EXPECT_EQ(Storage().GetSnapshotInfo("", "s-1", sInfo).GetErrorMessage(), "Passed region is empty.");
  EXPECT_EQ(Storage().GetSnapshotInfo(REGION, "", sInfo).GetErrorMessage(), "Passed snapshot Id is empty.");
  EXPECT_EQ(Storage().DoesSnapshotExist(REGION, "", bFlag).GetErrorMessage(), "Passed snapshot is is empty.");
  EXPECT_EQ(Storage().IsSnapshotCompleted("", "s-1", bFlag).GetErrorCode(), 1);
  EXPECT_TRUE(Journal().empty());
}

}  // namespace
}  // namespace AliCloudWrapper
