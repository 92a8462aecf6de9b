// The facade's lifecycle against the emulator: credential checks that send
// nothing, Connect and ConnectRDS with good and wrong keys, the last error, and
// database operations before database access exists.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AliCloudWrapper/CAliCloudWrapper.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"
#include "FacadeTestSupport.h"

namespace AliCloudWrapper {
namespace {

constexpr const char* WRONG_SECRET = "not-the-secret-4711";
using FacadeLifecycle = FacadeTest;

TEST_F(FacadeLifecycle, EmptyCredentialsSendNothing) {
  CAliCloudWrapper sFacade;
  EXPECT_FALSE(sFacade.Connect("", KEY_SECRET));
  EXPECT_EQ(sFacade.GetLastError(), "Empty access key Id passed.");
  EXPECT_TRUE(Log().Contains("Access key Id is empty."));
  EXPECT_FALSE(sFacade.Connect(KEY_ID, ""));
  EXPECT_EQ(sFacade.GetLastError(), "Empty access key secret passed.");
  EXPECT_TRUE(Log().Contains("Access key secret is empty."));
  EXPECT_FALSE(sFacade.ConnectRDS("", ""));
  EXPECT_EQ(sFacade.GetLastError(), "Empty access key Id passed.");
  EXPECT_TRUE(Journal().empty());
}

// Caller ids with line breaks stay inside their one log line and last error.
TEST_F(FacadeLifecycle, CallerTextCannotForgeLines) {
  CAliCloudWrapper sFacade;
  EXPECT_FALSE(sFacade.DetachDisk("i-1\nERROR forged", "d-1\r\n", ""));
  // Without a region the instance is looked up first; that fails (no key), and
  // the log line names the caller's ids escaped.
  EXPECT_TRUE(Log().Contains("DetachDisk failed for VM [i-1\\nERROR forged], disk [d-1\\r\\n]."));
  EXPECT_EQ(sFacade.GetLastError().find_first_of("\r\n"), std::string::npos);
  for (const SLogRecord& sRecord : Log().Records()) {
    EXPECT_EQ(sRecord.strMessage.find_first_of("\r\n"), std::string::npos) << sRecord.strMessage;
  }
  EXPECT_TRUE(Journal().empty());
}

// An answer of the service is final: no retry, no pause, the service's code in
// the last error and the secret in no log line. Connect then proves a good key
// with one compute request and clears the last error.
TEST_F(FacadeLifecycle, ConnectProvesTheKeyWithOneComputeRequest) {
  CAliCloudWrapper sFacade;
  EXPECT_FALSE(sFacade.Connect(KEY_ID, WRONG_SECRET));
  EXPECT_NE(sFacade.GetLastError().find("SignatureDoesNotMatch"), std::string::npos) << sFacade.GetLastError();
  EXPECT_EQ(Journal().size(), 1u);
  EXPECT_TRUE(Sleeps().Pauses().empty());
  EXPECT_TRUE(Log().Contains("Failed to connect. Error: ["));

  ASSERT_TRUE(sFacade.Connect(KEY_ID, KEY_SECRET)) << sFacade.GetLastError();
  EXPECT_EQ(sFacade.GetLastError(), "");
  const auto vecJournal = Journal();
  ASSERT_EQ(vecJournal.size(), 2u);
  EXPECT_EQ(vecJournal[1].host, "ecs.aliyuncs.com");
  EXPECT_EQ(vecJournal[1].action, "DescribeRegions");
  EXPECT_EQ(Param(vecJournal[1], "AccessKeyId"), KEY_ID);
  EXPECT_EQ(Log().Dump().find(WRONG_SECRET), std::string::npos);
  EXPECT_EQ(Log().Dump().find(KEY_SECRET), std::string::npos);
}

TEST_F(FacadeLifecycle, UnansweredConnectIsRetriedAsTheSettingsSay) {
  LeaveUnanswered("DescribeRegions", 2);
  CAliCloudWrapper sFacade;
  ASSERT_TRUE(sFacade.Connect(KEY_ID, KEY_SECRET)) << sFacade.GetLastError();
  EXPECT_EQ(JournalOf("DescribeRegions").size(), 3u);
  EXPECT_EQ(Sleeps().Pauses(), (std::vector<uint64_t>{30000, 30000}));
}

TEST_F(FacadeLifecycle, ConnectRDSUsesTheDatabaseServiceOnceWithoutRetry) {
  CAliCloudWrapper sFacade;
  ASSERT_TRUE(sFacade.ConnectRDS(KEY_ID, KEY_SECRET)) << sFacade.GetLastError();
  ASSERT_EQ(Journal().size(), 1u);
  EXPECT_EQ(Journal()[0].host, "rds.aliyuncs.com");
  EXPECT_EQ(Param(Journal()[0], "Version"), "2014-08-15");
  EXPECT_FALSE(sFacade.ConnectRDS(KEY_ID, WRONG_SECRET));
  EXPECT_NE(sFacade.GetLastError().find("SignatureDoesNotMatch"), std::string::npos);
  EXPECT_EQ(Journal().size(), 2u);

  // A fresh facade (a fresh TCP connection, so the HTTP layer has no stale
  // kept-alive connection to resend on): an unanswered request is not retried.
  Emulator().ClearJournal();
  LeaveUnanswered("DescribeRegions");
  CAliCloudWrapper sOther;
  EXPECT_FALSE(sOther.ConnectRDS(KEY_ID, KEY_SECRET));
  EXPECT_EQ(sOther.GetLastError(),
            "Request did not complete successfully: Server returned nothing (no headers, no data): Empty "
            "reply from server.");
  EXPECT_EQ(Journal().size(), 1u);
  EXPECT_TRUE(Sleeps().Pauses().empty());
}

// Database operations need the objects InitRDS builds; before that they fail
// with a clear text and send nothing. A failed ConnectRDS still builds them,
// and a second ConnectRDS reuses them.
TEST_F(FacadeLifecycle, DatabaseOperationsNeedDatabaseAccessFirst) {
  const std::string strNotInitialised = "Database access is not initialised: call ConnectRDS first.";
  CAliCloudWrapper sFacade;
  std::vector<SDBInstanceInfoLib> vecInstances;
  EXPECT_FALSE(sFacade.GetDBInstanceInfoList(vecInstances, 0, 0));
  EXPECT_EQ(sFacade.GetLastError(), strNotInitialised);
  EXPECT_FALSE(sFacade.RefreshDBInstanceInfoList(0, 0, SDBInstanceFilterLib()));
  EXPECT_EQ(sFacade.GetLastError(), strNotInitialised);

  EXPECT_FALSE(sFacade.ConnectRDS(KEY_ID, ""));
  sFacade.ClearLastError();
  (void)sFacade.GetDBInstanceInfoList(vecInstances, 0, 0);
  EXPECT_NE(sFacade.GetLastError(), strNotInitialised);
  EXPECT_TRUE(Journal().empty());
  EXPECT_TRUE(sFacade.ConnectRDS(KEY_ID, KEY_SECRET));
}

}  // namespace
}  // namespace AliCloudWrapper
