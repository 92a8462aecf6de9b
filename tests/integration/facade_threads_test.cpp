// Many facades on many threads against one emulator, with the log capturing
// everything and the settings changing underneath: each facade serves its own
// thread, and the process-wide parts (log, settings, secret redaction, libcurl's
// global state) must hold. Run under ThreadSanitizer by ./run sanitize.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "AliCloudWrapper/CAliCloudWrapper.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"
#include "AliCloudWrapper/TKPlatformInfo.h"
#include "EmulatorFixture.h"

namespace AliCloudWrapper {
namespace {

constexpr int THREADS = 8;
constexpr int ROUNDS = 6;

class FacadeThreads : public EmulatorFixture {};

TEST_F(FacadeThreads, EachThreadsFacadeWorksWhileTheOthersRun) {
  std::atomic<int> nFailures{0};
  std::vector<std::string> vecErrors(THREADS);
  std::vector<std::thread> vecThreads;
  for (int t = 0; t < THREADS; ++t) {
    vecThreads.emplace_back([&, t] {
      CAliCloudWrapper facade;
      auto Check = [&](bool bOk) {
        if (!bOk) {
          ++nFailures;
          vecErrors[t] = facade.GetLastError();
        }
      };
      Check(facade.Connect(KEY_ID, KEY_SECRET));
      for (int nRound = 0; nRound < ROUNDS; ++nRound) {
        SDiskInfoLib sDisk;
        Check(facade.GetDiskInfo("cn-hangzhou", "d-acwdemo0000000001", sDisk));
        SSnapshotInfoLib sSnapshot;
        Check(facade.CreateSnapshot("d-acwdemo0000000001", sSnapshot, "t" + std::to_string(t), "threads"));
        bool bExists = false;
        Check(facade.DoesSnapshotExist("cn-hangzhou", sSnapshot.strSnapshotId, bExists) && bExists);
        Check(facade.DeleteSnapshot(sSnapshot.strSnapshotId));
        std::vector<SVPCInfoLib> vecVpcs;
        Check(facade.GetVPCListInRegion("cn-hangzhou", vecVpcs) && !vecVpcs.empty());
        SElasticIPAddress sAddress;
        Check(facade.GetElasticIPAddress("cn-hangzhou", "eip-acwdemo0000000001", sAddress));
        std::string strId;
        facade.GetLocalInstanceId(strId);
        if (strId.empty()) ++nFailures;
        // Settings change while the others read them (a log level nobody uses here).
        TKPlatformInfo::SetNumber(TKPlatformInfo::SECTION, "nAliCloudLogLevel", 5);
      }
      // A different secret per facade, registered and withdrawn while others log.
      CAliCloudWrapper other;
      EXPECT_FALSE(other.Connect(KEY_ID, "not-the-secret-" + std::to_string(t)));
    });
  }
  for (std::thread& thread : vecThreads) thread.join();
  TKPlatformInfo::Remove(TKPlatformInfo::SECTION, "nAliCloudLogLevel");
  EXPECT_EQ(nFailures.load(), 0);
  for (const std::string& strError : vecErrors) EXPECT_EQ(strError, "");
  EXPECT_FALSE(Log().Contains(KEY_SECRET)) << "the secret reached a log line";
}

}  // namespace
}  // namespace AliCloudWrapper
