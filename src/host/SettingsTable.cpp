#include "host/SettingsTable.h"

#include <cstdlib>

#include "AliCloudWrapper/TKPlatformInfo.h"

namespace AliCloudWrapper {

const std::vector<SSettingDefinition>& SettingsTable() {
  static const char* const VS = TKPlatformInfo::SECTION;
  static const std::vector<SSettingDefinition> table = {
      {VS, "nAliCloudNumberOfRequestRetries", "3", "count", "attempts in all for a request that gets no answer"},
      {VS, "nAliCloudRetrySleepTimeInSec", "30", "seconds", "pause between those attempts"},
      {VS, "nAliCloudRequestTimeOutInSec", "300", "seconds", "total time limit of every request (0: the default)"},
      {VS, "nAliCloudMaxResponseSizeInMB", "64", "MiB", "largest answer kept (0: the default)"},
      {VS, "nAliCloudMaxListedRecords", "100000", "count", "largest total a listing may announce (0: the default)"},
      {VS, "nAliCloudThrottlingMaxWaitInSec", "60", "seconds", "pauses within which throttled requests are resent"},
      {VS, "AliCloudRegionEndpoint", "empty", "text", "the one compute endpoint host for every region"},
      {VS, "AliCloudCABundle", "system store", "text", "PEM file of CA certificates to trust"},
      {VS, "AliCloudConnectTo", "empty", "text", "libcurl connect-to entries, comma-separated"},
      {VS, "nAliCloudConnectTimeOutInSec", "30", "seconds", "connect time-out of every request"},
      {VS, "nAliCloudLowSpeedTimeOutInSec", "120", "seconds", "a transfer this slow for this long is abandoned"},
      {VS, "nAliCloudSnapshotNotReadyMaxWaitInSec", "3600", "seconds", "CreateDisk's wait for a snapshot"},
      {VS, "nAliCloudDetachDiskMaxWaitInSec", "600", "seconds", "DetachDisk's wait for the detach"},
      {VS, "nAliCloudDiskInitializingMaxWaitInSec", "1800", "seconds", "DeleteDisk's wait while initialising"},
      {VS, "nAliCloudCreateInstanceInternalErrorMaxWaitInSec", "300", "seconds", "CreateInstance's resends on InternalError"},
      {VS, "AliCloudLogFile", "none", "text", "append log lines to this file"},
      {VS, "nAliCloudLogLevel", "0", "level", "log level when no program sets one"},
      {VS, "nAliCloudLogToStderr", "0", "flag", "1: log lines also to standard error"},
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

}  // namespace AliCloudWrapper
