#include "transport/ConnectionOptions.h"

#include "host/SettingsTable.h"

namespace AliCloudWrapper {

SConnectionOptions ReadConnectionOptions() {
  SConnectionOptions sOptions;
  sOptions.sHttp = ReadHttpOptions();
  sOptions.nAttemptsWhenUnanswered = ReadNumberSetting(SettingKeys::RETRY_COUNT);
  sOptions.nUnansweredPauseSec = ReadNumberSetting(SettingKeys::RETRY_SLEEP_IN_SEC);
  sOptions.nThrottlingMaxWaitInSec = ReadNumberSetting(SettingKeys::THROTTLING_MAX_WAIT_IN_SEC);
  const uint64_t nMaxListed = ReadNumberSetting(SettingKeys::MAX_LISTED_RECORDS);
  if (nMaxListed != 0) sOptions.nMaxListedRecords = nMaxListed;  // 0: the default
  return sOptions;
}

}  // namespace AliCloudWrapper
