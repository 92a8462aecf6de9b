#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "AliCloudWrapper/EvEvent.h"
#include "AliCloudWrapper/TKPlatformInfo.h"
#include "TestSupport.h"
#include "host/CTimeStamp.h"

namespace AliCloudWrapper {
namespace {

using Texts = std::vector<std::string>;

constexpr const char* kContext = "CZeError AliCloudWrapper::CAliCloudStorage::DeleteDisk(const string&)";

int64_t FixedClock() { return 1609556645123456;  /* 2021/01/02 03:04:05.123 UTC */ }

TEST(HostLogTest, LevelFilter) {
  EvEvent log;
  {
    ScopedLogCapture capture(0);
    log.Error(kContext, "failed [%d]", 1);
    log.Debug(kContext, "debug line");
    log.DebugLvl(kContext, 5, "body [%s]", "{}");
    ASSERT_EQ(capture.Records().size(), 1u);
    const SLogRecord record = capture.Records()[0];
    EXPECT_TRUE(record.bError && record.nLevel == 0);
    EXPECT_EQ(record.strContext + "|" + record.strMessage, std::string(kContext) + "|failed [1]");
  }
  {
    ScopedLogCapture capture(3);
    log.Debug(kContext, "one");
    log.DebugLvl(kContext, 3, "three");
    log.DebugLvl(kContext, 4, "four");
    EXPECT_EQ(capture.Messages(), (Texts{"one", "three"}));
    EXPECT_EQ(capture.Records()[1].nLevel, 3);
    // The setting raises the filter; the higher of the two applies.
    ScopedSetting level("nAliCloudLogLevel", uint64_t{5});
    log.DebugLvl(kContext, 5, "five");
    EXPECT_TRUE(capture.Contains("five"));
  }
  EXPECT_EQ(EvLog::GetLevel(), 0) << "restored: the default level passes Error only";
}

// A value with a line break (a caller's id, a server's text) cannot start a
// line of its own: control characters reach every sink escaped.
TEST(HostLogTest, ControlCharactersAreEscaped) {
  ScopedLogCapture capture(5);
  EvEvent log;
  const struct {
    std::string strValue;
    std::string strLogged;
  } cases[] = {
      {"d-1\n2021/01/01 00:00:00.000 UTC ERROR forged", "d-1\\n2021/01/01 00:00:00.000 UTC ERROR forged"},
      {"a\rb", "a\\rb"},
      {"soh\x01x", "soh\\x01x"},
      {"esc\x1b[31m del\x7f", "esc\\x1b[31m del\\x7f"},
      {"tab\tand \xC3\xA4 stay", "tab\tand \xC3\xA4 stay"},
  };
  for (const auto& sCase : cases) {
    capture.Clear();
    log.Error(("ctx " + sCase.strValue).c_str(), "disk [%s]", sCase.strValue.c_str());
    ASSERT_EQ(capture.Records().size(), 1u);
    EXPECT_EQ(capture.Records()[0].strMessage, "disk [" + sCase.strLogged + "]");
    EXPECT_EQ(capture.Records()[0].strContext, "ctx " + sCase.strLogged);
  }
}

TEST(HostLogTest, SecretsNeverReachASink) {
  ScopedLogCapture capture(5);
  EvEvent log;
  const std::string strSecret = "s3cr3tKEY+/=";
  EvLog::RegisterSecret(strSecret);
  EvLog::RegisterSecret("");  // ignored, or it would match everywhere
  log.Error(kContext, "key [%s] and again %s", strSecret.c_str(), strSecret.c_str());
  // Split across arguments: only the joined text holds the secret.
  log.DebugLvl(kContext, 5, "%s%s", "s3cr3t", "KEY+/=");
  log.Debug(("context with " + strSecret).c_str(), "plain");
  // A secret that contains a shorter one is removed whole.
  EvLog::RegisterSecret("s3cr3t");
  log.Debug(kContext, "[%s]", strSecret.c_str());
  for (const SLogRecord& record : capture.Records()) {
    EXPECT_EQ(record.strMessage.find("s3cr3t"), std::string::npos) << record.strMessage;
    EXPECT_EQ(record.strMessage.find("KEY+/="), std::string::npos) << record.strMessage;
    EXPECT_EQ(record.strContext.find("s3cr3t"), std::string::npos) << record.strContext;
  }
  EXPECT_TRUE(capture.Contains("key [***] and again ***"));
  EXPECT_TRUE(capture.Contains("[***]"));

  // Registrations are counted: one unregister of a twice-registered secret keeps it hidden.
  EvLog::RegisterSecret(strSecret);
  EvLog::UnregisterSecret(strSecret);
  EvLog::UnregisterSecret("s3cr3t");
  capture.Clear();
  log.Debug(kContext, "%s", strSecret.c_str());
  EvLog::UnregisterSecret(strSecret);
  log.Debug(kContext, "%s", strSecret.c_str());
  EXPECT_EQ(capture.Messages(), (Texts{"***", strSecret}));
}

TEST(HostLogTest, DefaultSinkWritesFileAndStderrOnlyWhenAsked) {
  CTimeStamp::SetClock(&FixedClock);
  EvEvent log;
  const std::string strPath = ::testing::TempDir() + "acw_host_log" + std::to_string(getpid());
  std::remove(strPath.c_str());
  ::testing::internal::CaptureStderr();
  log.Error(kContext, "quiet by default");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  const std::string strPrefix = "2021/01/02 03:04:05.123 UTC ";
  {
    ScopedSetting file("AliCloudLogFile", strPath);
    ScopedSetting level("nAliCloudLogLevel", uint64_t{2});
    EvLog::RegisterSecret("hunter2");
    log.Error(kContext, "failed with [%s]", "hunter2");
    log.DebugLvl(kContext, 2, "level two");
    log.DebugLvl(kContext, 3, "level three");
    EvLog::UnregisterSecret("hunter2");
    ::testing::internal::CaptureStderr();
    {
      ScopedSetting toStderr("nAliCloudLogToStderr", uint64_t{1});
      log.Error(kContext, "also on stderr");
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              strPrefix + "ERROR " + kContext + ": also on stderr\n");
  }
  log.Error(kContext, "after the settings are gone");
  CTimeStamp::SetClock(nullptr);
  std::stringstream content;
  content << std::ifstream(strPath).rdbuf();
  EXPECT_EQ(content.str(), strPrefix + "ERROR " + kContext + ": failed with [***]\n" + strPrefix +
                               "DEBUG2 " + kContext + ": level two\n" + strPrefix + "ERROR " +
                               kContext + ": also on stderr\n");
  std::remove(strPath.c_str());
}

TEST(HostLogTest, SinkSeesWholeLinesFromManyThreadsAndMayLogOrThrowWithoutAHang) {
  {
    ScopedLogCapture capture(1);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([t] {
        for (int i = 0; i < 250; ++i) EvEvent().Debug(kContext, "thread [%d] line [%d]", t, i);
      });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(capture.Count("] line ["), 1000u);
  }
  EvEvent log;
  int nCalls = 0;
  LogSink previous = EvLog::SetSink([&](const SLogRecord&) {
    ++nCalls;
    log.Error(kContext, "from inside the sink");  // dropped, not a deadlock
    throw std::runtime_error("sink failure");
  });
  log.Error(kContext, "outer");
  EvLog::SetSink(previous);
  EXPECT_EQ(nCalls, 1);
}

}  // namespace
}  // namespace AliCloudWrapper
