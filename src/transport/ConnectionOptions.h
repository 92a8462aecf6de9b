// What a connection takes from the settings, read once when it makes its first
// request (or is connected) and kept for its life: nothing on a request's path
// reads a setting. A new transport setting is a row in the settings table, a
// field here and a line in ReadConnectionOptions.
#pragma once

#include <cstdint>

#include "AliCloudWrapper/TKLibCurl.h"

namespace AliCloudWrapper {

struct SConnectionOptions {
  TKLibCurl::SOptions sHttp;             // handed to the connection's HTTP client
  uint64_t nAttemptsWhenUnanswered = 3;  // of a retrying execution, in all
  uint64_t nUnansweredPauseSec = 30;     // between those attempts
  uint64_t nThrottlingMaxWaitInSec = 60; // pauses within which throttled answers are resent
  uint64_t nRequestTimeOutInSec = 0;     // the compute connection's whole-transfer limit; 0: none
};

SConnectionOptions ReadConnectionOptions();

}  // namespace AliCloudWrapper
