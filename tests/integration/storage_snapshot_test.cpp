// Snapshots against the emulator: creation, progress, not-found answers and the
// connectivity retry of GetSnapshotInfo.
#include <string>
#include <vector>

#include "ServiceTestFixture.h"

namespace AliCloudWrapper {
namespace {

using AcwEmulator::FaultKind;

using SnapshotTest = StorageTest;

TEST_F(SnapshotTest, CreateSnapshotSendsOptionalTextsOnlyWhenGivenAndFillsTheRecord) {
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

TEST_F(SnapshotTest, AnUnknownSnapshotIsNotFoundNotAFailureOfExistence) {
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

TEST_F(SnapshotTest, UnansweredLookupsAreRetriedThreeTimesTenSecondsApartErrorsNever) {
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
TEST_F(SnapshotTest, AFailedSnapshotIsAnErrorNamingItNotIncomplete) {
  Seed(R"({"Snapshots": [{"SnapshotId": "s-acwfailed", "RegionId": "cn-acwstorage", "Status": "failed",
                          "Progress": "40%"}]})");
  bool bCompleted = true;
  CZeError err = Storage().IsSnapshotCompleted(REGION, "s-acwfailed", bCompleted);
  EXPECT_EQ(err.GetErrorMessage(), "Snapshot [s-acwfailed] failed and will not complete.");
  EXPECT_TRUE(bCompleted) << "left unchanged on failure";
  EXPECT_FALSE(Storage().IsSnapshotCompleted(REGION, READY_SNAPSHOT, bCompleted).IsError());
  EXPECT_TRUE(bCompleted);
}

TEST_F(SnapshotTest, EmptyArgumentsFailBeforeAnythingIsSent) {
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
