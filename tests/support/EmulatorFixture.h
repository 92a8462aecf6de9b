// The fixture of every integration test: an in-process emulator on loopback,
// with the library pointed at it through the real HTTP stack.
//
// SetUp starts a fresh emulator on free ports and sets, for the test's length:
//   "AliCloudCABundle"  = the emulator's CA file (verification stays on),
//   "AliCloudConnectTo" = the metadata address "100.100.100.200:80" to the
//                         metadata port, then every other host and port to the
//                         HTTPS port, all on 127.0.0.1,
// so the library keeps using the real service host names and never reaches
// beyond loopback. It also replaces the sleeper with a recorder (no test waits
// out a retry pause) and captures the log at level 5.
#pragma once

#include <gtest/gtest.h>

#include <acw_emulator/Emulator.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace AliCloudWrapper {

class EmulatorFixture : public ::testing::Test {
 public:
  // The access key the emulator accepts by default.
  static constexpr const char* KEY_ID = "acw-demo-key";
  static constexpr const char* KEY_SECRET = "acw-demo-secret";
  // Where the library believes the metadata service is.
  static constexpr const char* METADATA_ADDRESS = "100.100.100.200:80";

 protected:
  // Options for the emulator a test starts; override to change them (a test
  // suite with its own instance id, keys or an empty world).
  virtual AcwEmulator::Options EmulatorOptions() const { return {}; }

  void SetUp() override;
  void TearDown() override;

  AcwEmulator::Emulator& Emulator() { return *m_pEmulator; }
  ScopedLogCapture& Log() { return *m_pLog; }
  ScopedSleepRecorder& Sleeps() { return *m_pSleeps; }

  std::vector<AcwEmulator::JournalEntry> Journal() const { return m_pEmulator->Journal(); }
  // Journal entries of one action, in arrival order.
  std::vector<AcwEmulator::JournalEntry> JournalOf(const std::string& strAction) const;
  AcwEmulator::Counters Counters() const { return m_pEmulator->GetCounters(); }
  void InjectFault(const AcwEmulator::Fault& sFault) { m_pEmulator->InjectFault(sFault); }
  // A fault of that kind on the next nCount requests of an action (empty: any);
  // nStatus 0 keeps the kind's default status.
  static AcwEmulator::Fault MakeFault(AcwEmulator::FaultKind eKind, const std::string& strAction,
                                      int nCount = 1, int nStatus = 0);
  void InjectFault(AcwEmulator::FaultKind eKind, const std::string& strAction, int nCount = 1,
                   int nStatus = 0) {
    InjectFault(MakeFault(eKind, strAction, nCount, nStatus));
  }

  // The value of a parameter as the emulator received it (first occurrence).
  static std::optional<std::string> Param(const AcwEmulator::JournalEntry& sEntry,
                                          const std::string& strName);

  // Sets a "VirtualServer" setting until the test ends.
  void SetSetting(const std::string& strKey, const std::string& strValue);
  void SetSetting(const std::string& strKey, uint64_t nValue);

 private:
  std::unique_ptr<AcwEmulator::Emulator> m_pEmulator;
  std::unique_ptr<ScopedLogCapture> m_pLog;
  std::unique_ptr<ScopedSleepRecorder> m_pSleeps;
  std::vector<std::unique_ptr<ScopedSetting>> m_vecSettings;
};

}  // namespace AliCloudWrapper
