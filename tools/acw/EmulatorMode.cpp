#include "EmulatorMode.h"

#include <AliCloudWrapper/AliCloudWrapper.h>

#include <acw_emulator/Emulator.h>

#include <cstdlib>
#include <stdexcept>

namespace acw {

namespace {

using AliCloudWrapper::TKPlatformInfo;

// The library's settings keys this mode sets (see the README's settings table).
constexpr const char* KEY_CONNECT_TO = "AliCloudConnectTo";
constexpr const char* KEY_CA_BUNDLE = "AliCloudCABundle";
// The metadata service's real address; requests to it keep that host name.
constexpr const char* METADATA_HOST_PORT = "100.100.100.200:80";

}  // namespace

EmulatorMode::EmulatorMode() : m_pEmulator(std::make_unique<AcwEmulator::Emulator>()) {
  try {
    m_pEmulator->Start();
  } catch (const std::exception& e) {
    throw std::runtime_error(std::string("the in-process emulator did not start: ") + e.what());
  }
  // A proxy from the environment would take the loopback-mapped requests
  // elsewhere; this process only ever talks to its own emulator.
  for (const char* pszName : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
    unsetenv(pszName);
  }
  // The metadata address to the metadata port, every other host and port to
  // the HTTPS port; the first matching entry wins.
  const std::string strConnectTo = std::string(METADATA_HOST_PORT) + ":127.0.0.1:" +
                                   std::to_string(m_pEmulator->MetadataPort()) + ",::127.0.0.1:" +
                                   std::to_string(m_pEmulator->HttpsPort());
  TKPlatformInfo::SetString(TKPlatformInfo::SECTION, KEY_CONNECT_TO, strConnectTo);
  TKPlatformInfo::SetString(TKPlatformInfo::SECTION, KEY_CA_BUNDLE, m_pEmulator->CaFile());
}

EmulatorMode::~EmulatorMode() {
  TKPlatformInfo::Remove(TKPlatformInfo::SECTION, KEY_CONNECT_TO);
  TKPlatformInfo::Remove(TKPlatformInfo::SECTION, KEY_CA_BUNDLE);
  m_pEmulator->Stop();
}

}  // namespace acw
