// The connection core: common parameters, signing, sending, error documents,
// retries of unanswered requests, and the nonce / idempotence-token generator.
#include "AliCloudWrapper/CAliCloudConnectionBase.h"

#include <openssl/crypto.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <limits>
#include <thread>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "host/FXString.h"
#include "host/FXThread.h"
#include "host/TkJson.h"
#include "transport/RetryExecutor.h"

namespace AliCloudWrapper {
namespace {

const char* const COMMON_FORMAT = "JSON";
const char* const COMMON_SIGNATURE_METHOD = "HMAC-SHA1";
const char* const COMMON_SIGNATURE_VERSION = "1.0";

// Entropy for the generator's seed. The clock and the thread alone repeat for
// two connections made in the same second on one thread, which would make the
// service refuse the second one's nonces ("SignatureNonceUsed") and let their
// "ClientToken"s collide.
uint32_t EntropyWord() {
  try {
    std::random_device sDevice;
    return static_cast<uint32_t>(sDevice());
  } catch (...) {
    // No entropy source: the monotonic clock in nanoseconds still differs
    // between two calls, which is all the seed needs.
    return static_cast<uint32_t>(
        std::chrono::steady_clock::now().time_since_epoch().count());
  }
}

}  // namespace

CAliCloudConnectionBase::CAliCloudConnectionBase() = default;

CAliCloudConnectionBase::CAliCloudConnectionBase(const std::string& strKeyId,
                                                 const std::string& strKeySecret)
    : strAccessKeyId(strKeyId) {
  SetAccessKeySecret(strKeySecret);
}

CAliCloudConnectionBase::~CAliCloudConnectionBase() { _WipeAccessKeySecret(); }

void CAliCloudConnectionBase::SetAccessKeyId(const std::string& strKeyId) {
  strAccessKeyId = strKeyId;
}

void CAliCloudConnectionBase::SetAccessKeySecret(const std::string& strKeySecret) {
  // The same secret again (or our own member) would be wiped before it is copied.
  if (strKeySecret == strAccessKeySecret) return;
  _WipeAccessKeySecret();
  EvLog::RegisterSecret(strKeySecret);
  strAccessKeySecret = strKeySecret;
}

// Overwrites the secret's bytes before the buffer can be released or reused, and
// withdraws it from redaction (registrations are counted, so a secret another
// connection still holds stays redacted).
void CAliCloudConnectionBase::_WipeAccessKeySecret() {
  if (strAccessKeySecret.empty()) return;
  EvLog::UnregisterSecret(strAccessKeySecret);
  OPENSSL_cleanse(&strAccessKeySecret[0], strAccessKeySecret.size());
  strAccessKeySecret.clear();
}

int CAliCloudConnectionBase::GetIdempotenceToken() {
  return static_cast<int>(sRandomGenerator());
}

void CAliCloudConnectionBase::InitializeRandomNumGenerator() {
  const auto nTime = static_cast<uint32_t>(std::time(nullptr));
  const auto nThread = static_cast<uint32_t>(std::hash<std::thread::id>()(std::this_thread::get_id()));
  const uint32_t nSeed = nTime + nThread + EntropyWord();  // modulo 2^32
  sRandomGenerator.seed(nSeed);
}

bool CAliCloudConnectionBase::InitCurl() {
  if (!bCurlInitialized) bCurlInitialized = sCurl.TKLibCurlInit(nullptr, true, true, nullptr);
  return bCurlInitialized;
}

void CAliCloudConnectionBase::AddPublicParameters(SAliCloudRequest& sRequest) {
  sRequest.AddURLParameter(AliCloudParameterNames::FORMAT, COMMON_FORMAT);
  sRequest.AddURLParameter(AliCloudParameterNames::ACCESS_KEY_ID, strAccessKeyId);
  sRequest.AddURLParameter(AliCloudParameterNames::SIGNATURE_METHOD, COMMON_SIGNATURE_METHOD);
  sRequest.AddURLParameter(AliCloudParameterNames::TIMESTAMP, AliCloudUtils::GetTimeStamp());
  sRequest.AddURLParameter(AliCloudParameterNames::SIGNATURE_VERSION, COMMON_SIGNATURE_VERSION);
  sRequest.AddURLParameter(AliCloudParameterNames::SIGNATURE_NONCE,
                           FXString::Format("%d", static_cast<int>(sRandomGenerator())));
}

CZeError CAliCloudConnectionBase::ExecuteRequest(SAliCloudRequest& sRequest,
                                                 std::string& strResponse, bool bRetry) {
  CZeError sError = bRetry ? ExecuteRequestWithRetry(sRequest, strResponse)
                           : _ExecuteRequest(sRequest, strResponse);
  if (sError.IsError()) return sError.Push(ACW_LOCATION);
  return CZeError();
}

CZeError CAliCloudConnectionBase::_ExecuteRequest(SAliCloudRequest& sRequest,
                                                  std::string& strResponse) {
  strResponse.clear();
  if (!InitCurl()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Error in initializing curl library.");
    // Counted as no answer: the next attempt tries to initialise again.
    return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Failed to initialize the curl library.")
        .SetKind(EErrorKind::NO_ANSWER);
  }
  if (sRequest.GetRequestMethod() == HTTP_DEFAULT) sRequest.SetRequestMethod(HTTP_GET);
  AddPublicParameters(sRequest);

  std::string strUrl;
  CZeError sError = sRequest.GetSignedURL(strAccessKeySecret, strUrl);
  if (sError.IsError()) return sError.Push(ACW_LOCATION);

  const bool bOk = sCurl.TKLibCurlSendHttpReq(
      AliCloudUtils::GetTkLibCurlHTTPReqType(sRequest.GetRequestMethod()), strUrl.c_str(), nullptr,
      0, true, nullptr);
  ReceiveResponse(strResponse);
  if (bOk) return _CheckSuccessBody(strResponse);
  return _MakeExchangeError(strResponse);
}

// Every answer of these services is a JSON object. A 2xx answer that is not
// one (a proxy's page, an empty body) tells nothing about what the service
// did: an unreadable answer, never a success, and not sent again.
CZeError CAliCloudConnectionBase::_CheckSuccessBody(const std::string& strResponse) {
  mObject sDocument;
  if (TkJson::Unserialize(strResponse, sDocument)) return CZeError();
  const long nStatus = sCurl.GetLastHttpStatus();
  sEvent.Error(__PRETTY_FUNCTION__, "HTTP [%ld] answer is no JSON object: [%s].", nStatus,
               strResponse.c_str());
  return FXErrorUtil::ErrorInt(ACW_LOCATION, 1,
                               "The service's answer is unreadable: HTTP status [%ld] with a body "
                               "that is no JSON object.",
                               nStatus)
      .SetKind(EErrorKind::UNREADABLE_ANSWER)
      .SetHttpStatus(nStatus);
}

// The outcome of a failed exchange, decided once here: no answer, an answer
// that is no error document, or the service's error document with its code.
CZeError CAliCloudConnectionBase::_MakeExchangeError(const std::string& strResponse) {
  const long nStatus = sCurl.GetLastHttpStatus();
  sEvent.DebugLvl(__PRETTY_FUNCTION__, 5, "Error response obtained from server is : [%s].",
                  strResponse.c_str());
  if (strResponse.empty()) return _MakeNoAnswerError(nStatus);
  SAliCloudErrorResponse sErrorResponse;
  if (!sParser.ParseObject(strResponse, sErrorResponse)) {
    return FXErrorUtil::ErrorInt(
               ACW_LOCATION, 1, "Request did not complete successfully. Failed to parse error response.")
        .SetKind(EErrorKind::UNREADABLE_ANSWER)
        .SetHttpStatus(nStatus);
  }
  return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Error code: %s", sErrorResponse.GetErrorCode().c_str())
      .SetServiceAnswer(sErrorResponse.strErrorCode, sErrorResponse.strErrorMessage,
                        sErrorResponse.strRequestId)
      .SetHttpStatus(nStatus);
}

// Nothing usable arrived: the text says why, in libcurl's words. A transfer
// that may go better next time is "no answer" (retried); a TLS failure (an
// untrusted or wrong certificate) comes back the same every time and an answer
// beyond its size cap was an answer: both are final at once.
CZeError CAliCloudConnectionBase::_MakeNoAnswerError(long nStatus) {
  const std::string strReason = nStatus != 0
                                    ? FXString::Format("HTTP status [%ld] with an empty body", nStatus)
                                    : sCurl.GetLastTransportError();
  EErrorKind eKind = EErrorKind::NO_ANSWER;
  switch (sCurl.GetLastTransportFailure()) {
    case TKLibCurl::ETransportFailure::Tls: eKind = EErrorKind::FAILURE; break;
    case TKLibCurl::ETransportFailure::TooLarge: eKind = EErrorKind::UNREADABLE_ANSWER; break;
    default: break;
  }
  return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Request did not complete successfully: %s.",
                               strReason.c_str())
      .SetKind(eKind)
      .SetHttpStatus(nStatus);
}

CZeError CAliCloudConnectionBase::ExecuteRequestWithRetry(const SAliCloudRequest& sRequest,
                                                          std::string& strResponse) {
  uint64_t nAttempts = DEFAULT_RETRY_COUNT_UPON_EMPTY_RESPONSE;
  uint64_t nPauseSec = DEFAULT_RETRY_SLEEP_TIME_IN_SEC;
  sPlatformInfo.getNumber(TKPlatformInfo::SECTION, RETRY_COUNT, &nAttempts);
  sPlatformInfo.getNumber(TKPlatformInfo::SECTION, RETRY_SLEEP_IN_SEC, &nPauseSec);

  SRetryPolicy sPolicy;
  sPolicy.nAttemptsWhenUnanswered = nAttempts;
  sPolicy.nUnansweredPauseMs = SecondsToMilliseconds(nPauseSec);
  sPolicy.fnBeforePause = [this, nPauseSec](const CZeError&, uint64_t) {
    sEvent.Error(__PRETTY_FUNCTION__, "Retrying after [%llu] seconds...",
                 static_cast<unsigned long long>(nPauseSec));
  };
  // Each attempt signs its own copy: a new time stamp and nonce every time,
  // and the caller's request stays as it was. An answer of the service is
  // final: resending would get the same answer, or repeat an action.
  CZeError sError = CRetryExecutor(std::move(sPolicy)).Run([&] {
    SAliCloudRequest sAttempt(sRequest);
    return _ExecuteRequest(sAttempt, strResponse);
  });
  if (sError.IsError()) return sError.Push(ACW_LOCATION);
  return sError;
}

void CAliCloudConnectionBase::ReceiveResponse(std::string& strResponse) {
  strResponse.clear();
  if (!InitCurl()) return;
  size_t nLength = 0;
  const char* pszBody = sCurl.GetHttpResponse(nLength, false);
  if (pszBody != nullptr) strResponse.assign(pszBody, nLength);
}

}  // namespace AliCloudWrapper
