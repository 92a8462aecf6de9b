#include "transport/ConnectionOptions.h"

#include "host/SettingsTable.h"

namespace AliCloudWrapper {

SConnectionOptions ReadConnectionOptions() {
  SConnectionOptions sOptions;
  sOptions.sHttp = ReadHttpOptions();
  sOptions.nAttemptsWhenUnanswered = ReadNumberSetting(SettingKeys::RETRY_COUNT);
  sOptions.nUnansweredPauseSec = ReadNumberSetting(SettingKeys::RETRY_SLEEP_IN_SEC);
  sOptions.nThrottlingMaxWaitInSec = ReadNumberSetting(SettingKeys::THROTTLING_MAX_WAIT_IN_SEC);
  sOptions.nRequestTimeOutInSec = ReadNumberSetting(SettingKeys::REQUEST_TIME_OUT_IN_SEC);
  return sOptions;
}

}  // namespace AliCloudWrapper
