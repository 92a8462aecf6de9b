// The settings store reads the file named by ACW_SETTINGS once, at first use.
// First use happens once per process, so this file holds one test only.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "AliCloudWrapper/EvEvent.h"
#include "AliCloudWrapper/TKPlatformInfo.h"
#include "TestSupport.h"

namespace AliCloudWrapper {
namespace {

TEST(HostSettingsEnvTest, LoadsTheNamedFileLazilyOnce) {
  const std::string strPath =
      ::testing::TempDir() + "acw_env_settings_" + std::to_string(getpid()) + ".ini";
  {
    std::ofstream file(strPath);
    file << "[VirtualServer]\nnAliCloudNumberOfRequestRetries = 4\nnAliCloudLogLevel = many\nbroken\n";
  }
  ASSERT_EQ(setenv("ACW_SETTINGS", strPath.c_str(), 1), 0);

  // The first log line reads the log settings, which loads the file; its
  // problems are delivered through the sink installed at that moment.
  ScopedLogCapture capture(0);
  EvEvent().Debug("test", "filtered");
  EXPECT_TRUE(capture.Contains("line [4]")) << capture.Dump();
  EXPECT_EQ(capture.Count("[nAliCloudLogLevel]"), 1u) << capture.Dump();

  uint64_t nRetries = 0;
  EXPECT_EQ(TKPlatformInfo().getNumber(TKPlatformInfo::SECTION, "nAliCloudNumberOfRequestRetries",
                                       &nRetries),
            1);
  EXPECT_EQ(nRetries, 4u);

  // Not read again: a change of the file after first use has no effect.
  {
    std::ofstream file(strPath);
    file << "[VirtualServer]\nnAliCloudNumberOfRequestRetries = 8\n";
  }
  TKPlatformInfo().getNumber(TKPlatformInfo::SECTION, "nAliCloudNumberOfRequestRetries", &nRetries);
  EXPECT_EQ(nRetries, 4u);
  EXPECT_EQ(capture.Count("line [4]"), 1u);
  std::remove(strPath.c_str());
  unsetenv("ACW_SETTINGS");
}

}  // namespace
}  // namespace AliCloudWrapper
