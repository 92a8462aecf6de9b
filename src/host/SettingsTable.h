// Every setting the library reads, once, with its section, default, unit and
// meaning. The README's settings table lists exactly these keys (a test
// compares them). Adding a setting is a name below and one row in
// SettingsTable.cpp; code names a key only through SettingKeys (the public
// constants of the connection and storage classes spell the same names for
// embedding programs, and the table test checks they are the table's).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "AliCloudWrapper/TKLibCurl.h"

namespace AliCloudWrapper {

namespace SettingKeys {
inline constexpr const char* RETRY_COUNT = "nAliCloudNumberOfRequestRetries";
inline constexpr const char* RETRY_SLEEP_IN_SEC = "nAliCloudRetrySleepTimeInSec";
inline constexpr const char* REQUEST_TIME_OUT_IN_SEC = "nAliCloudRequestTimeOutInSec";
inline constexpr const char* THROTTLING_MAX_WAIT_IN_SEC = "nAliCloudThrottlingMaxWaitInSec";
inline constexpr const char* REGION_END_POINT = "AliCloudRegionEndpoint";
inline constexpr const char* CA_BUNDLE = "AliCloudCABundle";
inline constexpr const char* CONNECT_TO = "AliCloudConnectTo";
inline constexpr const char* CONNECT_TIME_OUT_IN_SEC = "nAliCloudConnectTimeOutInSec";
inline constexpr const char* LOW_SPEED_TIME_OUT_IN_SEC = "nAliCloudLowSpeedTimeOutInSec";
inline constexpr const char* SNAPSHOT_NOT_READY_MAX_WAIT_IN_SEC = "nAliCloudSnapshotNotReadyMaxWaitInSec";
inline constexpr const char* DETACH_DISK_MAX_WAIT_IN_SEC = "nAliCloudDetachDiskMaxWaitInSec";
inline constexpr const char* DISK_INITIALIZING_MAX_WAIT_IN_SEC = "nAliCloudDiskInitializingMaxWaitInSec";
inline constexpr const char* LOG_FILE = "AliCloudLogFile";
inline constexpr const char* LOG_LEVEL = "nAliCloudLogLevel";
inline constexpr const char* LOG_TO_STDERR = "nAliCloudLogToStderr";
}  // namespace SettingKeys

struct SSettingDefinition {
  const char* pszSection;
  const char* pszKey;
  const char* pszDefault;  // as the README shows it; a number for number settings
  const char* pszUnit;     // "seconds", "count", "text", "level", "flag"
  const char* pszMeaning;
};

const std::vector<SSettingDefinition>& SettingsTable();
// The row of a key; null for a key the table does not hold.
const SSettingDefinition* FindSetting(const std::string& strKey);
// A number setting: its value when set, else its default from the table.
uint64_t ReadNumberSetting(const std::string& strKey);
// A text setting: its value when set, else empty.
std::string ReadTextSetting(const std::string& strKey);

// The HTTP client's options from the settings: CA bundle, connect-to entries,
// connect and low-speed time-outs (0 counts as the default: no setting can let
// a request hang for ever). The whole-transfer limit is left at none.
TKLibCurl::SOptions ReadHttpOptions();
// Seconds as a libcurl long: a larger number means "as long as possible".
long SecondsAsLong(uint64_t nSeconds);

}  // namespace AliCloudWrapper
