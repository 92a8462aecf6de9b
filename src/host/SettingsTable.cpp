#include "host/SettingsTable.h"

#include <climits>
#include <cstdlib>

#include "AliCloudWrapper/TKPlatformInfo.h"

namespace AliCloudWrapper {

const std::vector<SSettingDefinition>& SettingsTable() {
  namespace K = SettingKeys;
  static const char* const VS = TKPlatformInfo::SECTION;
  static const std::vector<SSettingDefinition> table = {
      {VS, K::RETRY_COUNT, "3", "count", "attempts in all for a request that gets no answer"},
      {VS, K::RETRY_SLEEP_IN_SEC, "30", "seconds", "pause between those attempts"},
      {VS, K::REQUEST_TIME_OUT_IN_SEC, "0", "seconds", "when not 0: time limit of each compute request"},
      {VS, K::THROTTLING_MAX_WAIT_IN_SEC, "60", "seconds", "pauses within which throttled requests are resent"},
      {VS, K::REGION_END_POINT, "empty", "text", "the one compute endpoint host for every region"},
      {VS, K::CA_BUNDLE, "system store", "text", "PEM file of CA certificates to trust"},
      {VS, K::CONNECT_TO, "empty", "text", "libcurl connect-to entries, comma-separated"},
      {VS, K::CONNECT_TIME_OUT_IN_SEC, "30", "seconds", "connect time-out of every request"},
      {VS, K::LOW_SPEED_TIME_OUT_IN_SEC, "120", "seconds", "a transfer this slow for this long is abandoned"},
      {VS, K::SNAPSHOT_NOT_READY_MAX_WAIT_IN_SEC, "3600", "seconds", "CreateDisk's wait for a snapshot"},
      {VS, K::DETACH_DISK_MAX_WAIT_IN_SEC, "600", "seconds", "DetachDisk's wait for the detach"},
      {VS, K::DISK_INITIALIZING_MAX_WAIT_IN_SEC, "1800", "seconds", "DeleteDisk's wait while initialising"},
      {VS, K::LOG_FILE, "none", "text", "append log lines to this file"},
      {VS, K::LOG_LEVEL, "0", "level", "log level when no program sets one"},
      {VS, K::LOG_TO_STDERR, "0", "flag", "1: log lines also to standard error"},
  };
  return table;
}

const SSettingDefinition* FindSetting(const std::string& strKey) {
  for (const SSettingDefinition& sRow : SettingsTable()) {
    if (strKey == sRow.pszKey) return &sRow;
  }
  return nullptr;
}

uint64_t ReadNumberSetting(const std::string& strKey) {
  const SSettingDefinition* pRow = FindSetting(strKey);
  uint64_t nValue = pRow ? std::strtoull(pRow->pszDefault, nullptr, 10) : 0;
  if (pRow) (void)TKPlatformInfo().getNumber(pRow->pszSection, strKey, &nValue);
  return nValue;
}

long SecondsAsLong(uint64_t nSeconds) {
  return nSeconds > static_cast<uint64_t>(LONG_MAX) ? LONG_MAX : static_cast<long>(nSeconds);
}

namespace {
// A time-out setting where 0 means the table's default.
long ReadTimeOut(const char* pszKey) {
  const uint64_t nValue = ReadNumberSetting(pszKey);
  return SecondsAsLong(nValue != 0 ? nValue : std::strtoull(FindSetting(pszKey)->pszDefault, nullptr, 10));
}
}  // namespace

TKLibCurl::SOptions ReadHttpOptions() {
  TKLibCurl::SOptions sOptions;
  sOptions.strCaBundle = ReadTextSetting(SettingKeys::CA_BUNDLE);
  sOptions.strConnectTo = ReadTextSetting(SettingKeys::CONNECT_TO);
  sOptions.nConnectTimeOutSec = ReadTimeOut(SettingKeys::CONNECT_TIME_OUT_IN_SEC);
  sOptions.nLowSpeedTimeOutSec = ReadTimeOut(SettingKeys::LOW_SPEED_TIME_OUT_IN_SEC);
  return sOptions;
}

std::string ReadTextSetting(const std::string& strKey) {
  std::string strValue;
  const SSettingDefinition* pRow = FindSetting(strKey);
  if (pRow) (void)TKPlatformInfo().getString(pRow->pszSection, strKey, &strValue);
  return strValue;
}

}  // namespace AliCloudWrapper
