// Snapshots against the emulator: creation, progress, not-found answers and the
// connectivity retry of GetSnapshotInfo.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "StorageTestFixture.h"

namespace AliCloudWrapper {
namespace {

using AcwEmulator::Fault;
using AcwEmulator::FaultKind;

using SnapshotTest = StorageTest;

const std::string NO_CONNECTION_TEXT =
    "Couldn't connect to server. Please check the network connectivity between the proxy and cloud.";

TEST_F(SnapshotTest, CreateSnapshotSendsOptionalTextsOnlyWhenGivenAndFillsTheRecord) {
  SSnapshotInfoLib sNamed;
  ASSERT_FALSE(Storage().CreateSnapshot(ATTACHED_DISK, sNamed, "nightly", "before upgrade").IsError())
      << Log().Dump();
  EXPECT_FALSE(sNamed.strSnapshotId.empty());
  EXPECT_EQ(sNamed.strSourceDiskId, ATTACHED_DISK);
  EXPECT_EQ(sNamed.strSnapshotName, "nightly");
  EXPECT_EQ(sNamed.strDescription, "before upgrade");
  EXPECT_EQ(WorldText("Snapshots", sNamed.strSnapshotId, "SnapshotName"), "nightly");
  EXPECT_EQ(WorldText("Snapshots", sNamed.strSnapshotId, "Status"), "progressing");

  SSnapshotInfoLib sPlain;
  ASSERT_FALSE(Storage().CreateSnapshot(ATTACHED_DISK, sPlain, "", "").IsError());
  EXPECT_TRUE(sPlain.strSnapshotName.empty());
  EXPECT_TRUE(sPlain.strDescription.empty());
  EXPECT_EQ(sPlain.strSourceDiskId, ATTACHED_DISK);

  const auto vecCreates = JournalOf("CreateSnapshot");
  ASSERT_EQ(vecCreates.size(), 2u);
  EXPECT_EQ(Param(vecCreates[0], "SnapshotName"), "nightly");
  EXPECT_EQ(Param(vecCreates[0], "Description"), "before upgrade");
  EXPECT_FALSE(Param(vecCreates[1], "SnapshotName").has_value());
  EXPECT_FALSE(Param(vecCreates[1], "Description").has_value());
  EXPECT_FALSE(Param(vecCreates[1], "RegionId").has_value());

  // A disk the service does not know: the service's code, nothing parsed.
  SSnapshotInfoLib sNone;
  CZeError err = Storage().CreateSnapshot("d-missing", sNone, "", "");
  ASSERT_TRUE(err.IsError());
  EXPECT_NE(err.AsString().find("InvalidDiskId.NotFound"), std::string::npos) << err.AsString();
  EXPECT_TRUE(Log().Contains("Failed to create snapshot for disk [d-missing]"));
}

TEST_F(SnapshotTest, CompletionNeedsAProgressOfExactlyOneHundred) {
  // Steps of 33 give 33%, 66%, 99% and then 100%.
  SetRegionKnob("_SnapshotProgressStep", 33);
  SSnapshotInfoLib sSnapshot;
  ASSERT_FALSE(Storage().CreateSnapshot(ATTACHED_DISK, sSnapshot, "", "").IsError());

  std::vector<int> vecProgress;
  std::vector<bool> vecCompleted;
  for (int nLook = 0; nLook < 4; ++nLook) {
    bool bCompleted = true;
    ASSERT_FALSE(Storage().IsSnapshotCompleted(REGION, sSnapshot.strSnapshotId, bCompleted).IsError())
        << Log().Dump();
    vecCompleted.push_back(bCompleted);
    vecProgress.push_back(
        std::stoi(WorldText("Snapshots", sSnapshot.strSnapshotId, "Progress")));
  }
  EXPECT_EQ(vecProgress, (std::vector<int>{33, 66, 99, 100}));
  EXPECT_EQ(vecCompleted, (std::vector<bool>{false, false, false, true}));

  SSnapshotInfoLib sInfo;
  ASSERT_FALSE(Storage().GetSnapshotInfo(REGION, sSnapshot.strSnapshotId, sInfo).IsError());
  EXPECT_EQ(sInfo.nProgress, 100);
  EXPECT_EQ(sInfo.strSourceDiskId, ATTACHED_DISK);

  const auto vecDescribes = JournalOf("DescribeSnapshots");
  ASSERT_FALSE(vecDescribes.empty());
  EXPECT_EQ(Param(vecDescribes[0], "RegionId"), REGION);
  EXPECT_EQ(Param(vecDescribes[0], "SnapshotIds"), "[\"" + sSnapshot.strSnapshotId + "\"]");
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

  // An existing snapshot answers true; one deleted answers false again.
  SSnapshotInfoLib sSnapshot;
  ASSERT_FALSE(Storage().CreateSnapshot(ATTACHED_DISK, sSnapshot, "", "").IsError());
  ASSERT_FALSE(Storage().DoesSnapshotExist(REGION, sSnapshot.strSnapshotId, bExists).IsError());
  EXPECT_TRUE(bExists);
  ASSERT_FALSE(Storage().DeleteSnapshot(sSnapshot.strSnapshotId).IsError());
  EXPECT_FALSE(WorldHas("Snapshots", sSnapshot.strSnapshotId));
  ASSERT_FALSE(Storage().DoesSnapshotExist(REGION, sSnapshot.strSnapshotId, bExists).IsError());
  EXPECT_FALSE(bExists);

  err = Storage().DeleteSnapshot(sSnapshot.strSnapshotId);
  EXPECT_NE(err.AsString().find("InvalidSnapshotId.NotFound"), std::string::npos) << err.AsString();
}

TEST_F(SnapshotTest, AnIdHoldingQuotesStaysOneIdInTheFilter) {
  // Unescaped, this id would become the filter ["s-missing","<real id>"] and the
  // real snapshot would be reported as existing under a name it does not have.
  SSnapshotInfoLib sSnapshot;
  ASSERT_FALSE(Storage().CreateSnapshot(ATTACHED_DISK, sSnapshot, "", "").IsError());
  const std::string strHostile = "s-missing\",\"" + sSnapshot.strSnapshotId;

  bool bExists = true;
  ASSERT_FALSE(Storage().DoesSnapshotExist(REGION, strHostile, bExists).IsError()) << Log().Dump();
  EXPECT_FALSE(bExists);

  const auto vecDescribes = JournalOf("DescribeSnapshots");
  ASSERT_EQ(vecDescribes.size(), 1u);
  EXPECT_EQ(Param(vecDescribes[0], "SnapshotIds"),
            "[\"s-missing\\\",\\\"" + sSnapshot.strSnapshotId + "\"]");
}

TEST_F(SnapshotTest, UnansweredLookupsAreRetriedThreeTimesTenSecondsApart) {
  Fault sNoAnswer;
  sNoAnswer.kind = FaultKind::CloseBeforeAnswer;
  sNoAnswer.action = "DescribeSnapshots";
  sNoAnswer.count = 3;
  InjectFault(sNoAnswer);

  SSnapshotInfoLib sInfo;
  ASSERT_FALSE(Storage().GetSnapshotInfo(REGION, READY_SNAPSHOT, sInfo).IsError()) << Log().Dump();
  EXPECT_EQ(sInfo.strSnapshotId, READY_SNAPSHOT);
  EXPECT_EQ(JournalOf("DescribeSnapshots").size(), 4u);
  EXPECT_EQ(Sleeps().Pauses(), (std::vector<uint64_t>{10000, 10000, 10000}));
  EXPECT_EQ(Log().Count("Failed to connect to server. Retrying after [10] seconds."), 3u);
}

TEST_F(SnapshotTest, AFourthUnansweredLookupReportsTheConnectivityProblem) {
  Fault sNoAnswer;
  sNoAnswer.kind = FaultKind::CloseBeforeAnswer;
  sNoAnswer.action = "DescribeSnapshots";
  sNoAnswer.count = 4;
  InjectFault(sNoAnswer);

  SSnapshotInfoLib sInfo;
  CZeError err = Storage().GetSnapshotInfo(REGION, READY_SNAPSHOT, sInfo);
  EXPECT_EQ(err.GetErrorCode(), 1);
  EXPECT_EQ(err.GetErrorMessage(), NO_CONNECTION_TEXT);
  EXPECT_EQ(JournalOf("DescribeSnapshots").size(), 4u);
  EXPECT_EQ(Sleeps().Pauses().size(), 3u);
  EXPECT_TRUE(Log().Contains("Couldn't resolve connectivity failure even after retries."));

  // Existence checks pass the failure on instead of answering "absent".
  InjectFault(sNoAnswer);
  bool bExists = true;
  err = Storage().DoesSnapshotExist(REGION, READY_SNAPSHOT, bExists);
  EXPECT_EQ(err.GetErrorMessage(), NO_CONNECTION_TEXT);
  EXPECT_TRUE(bExists);
}

TEST_F(SnapshotTest, AnErrorDocumentIsReportedAtOnce) {
  Fault sError;
  sError.kind = FaultKind::ErrorResponse;
  sError.action = "DescribeSnapshots";
  sError.status = 500;
  sError.code = "InternalError";
  InjectFault(sError);

  SSnapshotInfoLib sInfo;
  CZeError err = Storage().GetSnapshotInfo(REGION, READY_SNAPSHOT, sInfo);
  ASSERT_TRUE(err.IsError());
  EXPECT_EQ(err.GetErrorMessage(), "Error code: InternalError");
  EXPECT_EQ(JournalOf("DescribeSnapshots").size(), 1u);
  EXPECT_TRUE(Sleeps().Pauses().empty());
  EXPECT_TRUE(Log().Contains("Failed to get snapshot info for snapshot [" + std::string(READY_SNAPSHOT) + "]."));
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
