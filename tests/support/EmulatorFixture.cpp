#include "EmulatorFixture.h"

#include <cstdlib>
#include <iostream>

#include "AliCloudWrapper/TKPlatformInfo.h"

namespace AliCloudWrapper {
namespace {

// A proxy from the environment would take the loopback-mapped requests
// elsewhere; tests talk to the emulator directly.
void DropProxyEnvironment() {
  for (const char* pszName : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy",
                              "ALL_PROXY"}) {
    unsetenv(pszName);
  }
}

}  // namespace

void EmulatorFixture::SetUp() {
  DropProxyEnvironment();
  m_pEmulator = std::make_unique<AcwEmulator::Emulator>(EmulatorOptions());
  m_pEmulator->Start();

  // libcurl uses the first entry that matches: the metadata address first,
  // then everything else (empty host and port match any) to the HTTPS port.
  const std::string strConnectTo = std::string(METADATA_ADDRESS) + ":127.0.0.1:" +
                                    std::to_string(m_pEmulator->MetadataPort()) +
                                    ",::127.0.0.1:" + std::to_string(m_pEmulator->HttpsPort());
  SetSetting("AliCloudCABundle", m_pEmulator->CaFile());
  SetSetting("AliCloudConnectTo", strConnectTo);

  m_pSleeps = std::make_unique<ScopedSleepRecorder>();
  m_pLog = std::make_unique<ScopedLogCapture>(5);
}

void EmulatorFixture::TearDown() {
  if (HasFailure() && m_pLog) std::cerr << "Captured log:\n" << m_pLog->Dump();
  m_pLog.reset();
  m_pSleeps.reset();
  // Settings are restored in reverse order of setting, so a key set twice ends as before.
  while (!m_vecSettings.empty()) m_vecSettings.pop_back();
  if (m_pEmulator) m_pEmulator->Stop();
  m_pEmulator.reset();
}

std::vector<AcwEmulator::JournalEntry> EmulatorFixture::JournalOf(const std::string& strAction) const {
  std::vector<AcwEmulator::JournalEntry> vecEntries;
  for (AcwEmulator::JournalEntry& sEntry : m_pEmulator->Journal()) {
    if (sEntry.action == strAction) vecEntries.push_back(std::move(sEntry));
  }
  return vecEntries;
}

AcwEmulator::Fault EmulatorFixture::MakeFault(AcwEmulator::FaultKind eKind,
                                              const std::string& strAction, int nCount,
                                              int nStatus) {
  AcwEmulator::Fault sFault;
  sFault.kind = eKind;
  sFault.action = strAction;
  sFault.count = nCount;
  sFault.status = nStatus;
  return sFault;
}

std::optional<std::string> EmulatorFixture::Param(const AcwEmulator::JournalEntry& sEntry,
                                                  const std::string& strName) {
  for (const auto& sPair : sEntry.params) {
    if (sPair.first == strName) return sPair.second;
  }
  return std::nullopt;
}

void EmulatorFixture::SetSetting(const std::string& strKey, const std::string& strValue) {
  m_vecSettings.push_back(std::make_unique<ScopedSetting>(strKey, strValue));
}

void EmulatorFixture::SetSetting(const std::string& strKey, uint64_t nValue) {
  m_vecSettings.push_back(std::make_unique<ScopedSetting>(strKey, nValue));
}

}  // namespace AliCloudWrapper
