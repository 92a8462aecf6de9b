// The connection core: common parameters, signing, sending, error documents,
// retries of unanswered requests, and the nonce / idempotence-token generator.
#include "AliCloudWrapper/CAliCloudConnectionBase.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <limits>
#include <thread>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "host/FXString.h"
#include "host/FXThread.h"
#include "host/TkJson.h"
#include "transport/ConnectionOptions.h"
#include "transport/RequestSigning.h"
#include "transport/RetryExecutor.h"

namespace AliCloudWrapper {
namespace {

const char* const COMMON_FORMAT = "JSON";
const char* const COMMON_SIGNATURE_METHOD = "HMAC-SHA1";
const char* const COMMON_SIGNATURE_VERSION = "1.0";

// A seed from the operating system's random source. Without one (no device
// at all) the clock in nanoseconds still differs between two connections.
std::vector<uint32_t> OsSeedWords() {
  std::vector<uint32_t> vecWords(8, 0);
  try {
    std::random_device sDevice;
    for (uint32_t& nWord : vecWords) nWord = sDevice();
  } catch (...) {
    const auto nNow = std::chrono::steady_clock::now().time_since_epoch().count();
    vecWords[0] = static_cast<uint32_t>(nNow);
    vecWords[1] = static_cast<uint32_t>(static_cast<uint64_t>(nNow) >> 32);
    vecWords[2] = static_cast<uint32_t>(std::hash<std::thread::id>()(std::this_thread::get_id()));
  }
  return vecWords;
}

}  // namespace

CAliCloudConnectionBase::CAliCloudConnectionBase() { InitializeRandomNumGenerator(); }

CAliCloudConnectionBase::CAliCloudConnectionBase(const std::string& strKeyId,
                                                 const std::string& strKeySecret)
    : CAliCloudConnectionBase() {
  strAccessKeyId = strKeyId;
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
  if (!pSigningKey) pSigningKey = std::make_unique<CHmacSha1Key>();
  // An empty secret, or one OpenSSL refuses, leaves it unkeyed: signing then
  // reports the error as the public signing function does.
  (void)KeyForSigning(strAccessKeySecret, *pSigningKey);
}

// Overwrites the secret's bytes before the buffer can be released or reused, and
// withdraws it from redaction (registrations are counted, so a secret another
// connection still holds stays redacted).
void CAliCloudConnectionBase::_WipeAccessKeySecret() {
  if (pSigningKey) pSigningKey->Clear();
  if (strAccessKeySecret.empty()) return;
  EvLog::UnregisterSecret(strAccessKeySecret);
  OPENSSL_cleanse(&strAccessKeySecret[0], strAccessKeySecret.size());
  strAccessKeySecret.clear();
}

int CAliCloudConnectionBase::GetIdempotenceToken() {
  return std::uniform_int_distribution<int>(1, 2147483646)(sNonceSource);
}

void CAliCloudConnectionBase::InitializeRandomNumGenerator() {
  const std::vector<uint32_t> vecWords = OsSeedWords();
  std::seed_seq sSeed(vecWords.begin(), vecWords.end());
  sNonceSource.seed(sSeed);
  sRandomGenerator.seed(vecWords[0]);
}

std::string CAliCloudConnectionBase::GetSignatureNonce() {
  uint64_t nHigh = sNonceSource();
  uint64_t nLow = sNonceSource();
  nHigh = (nHigh & ~0xF000ull) | 0x4000ull;                    // version 4 (random)
  nLow = (nLow & ~(0xC000ull << 48)) | (0x8000ull << 48);      // RFC 4122 variant
  char szText[37];
  std::snprintf(szText, sizeof(szText), "%08llx-%04llx-%04llx-%04llx-%012llx",
                static_cast<unsigned long long>(nHigh >> 32),
                static_cast<unsigned long long>((nHigh >> 16) & 0xFFFF),
                static_cast<unsigned long long>(nHigh & 0xFFFF),
                static_cast<unsigned long long>(nLow >> 48),
                static_cast<unsigned long long>(nLow & 0xFFFFFFFFFFFFull));
  return szText;
}

const SConnectionOptions& CAliCloudConnectionBase::_Options() {
  if (pOptions) return *pOptions;
  pOptions = std::make_unique<SConnectionOptions>(ReadConnectionOptions());
  (void)sCurl.TKLibCurlSetOptions(pOptions->sHttp);
  return *pOptions;
}

bool CAliCloudConnectionBase::InitCurl() {
  (void)_Options();
  if (!bCurlInitialized) bCurlInitialized = sCurl.TKLibCurlInit(nullptr, true, true, nullptr);
  return bCurlInitialized;
}

void CAliCloudConnectionBase::AddPublicParameters(SAliCloudRequest& sRequest) {
  sRequest.AddURLParameter(AliCloudParameterNames::FORMAT, COMMON_FORMAT);
  sRequest.AddURLParameter(AliCloudParameterNames::ACCESS_KEY_ID, strAccessKeyId);
  sRequest.AddURLParameter(AliCloudParameterNames::SIGNATURE_METHOD, COMMON_SIGNATURE_METHOD);
  sRequest.AddURLParameter(AliCloudParameterNames::TIMESTAMP, AliCloudUtils::GetTimeStamp());
  sRequest.AddURLParameter(AliCloudParameterNames::SIGNATURE_VERSION, COMMON_SIGNATURE_VERSION);
  sRequest.AddURLParameter(AliCloudParameterNames::SIGNATURE_NONCE, GetSignatureNonce());
}

CZeError CAliCloudConnectionBase::ExecuteRequest(SAliCloudRequest& sRequest,
                                                 std::string& strResponse, bool bRetry) {
  CZeError sError = bRetry ? ExecuteRequestWithRetry(sRequest, strResponse)
                           : _ExecuteWithPolicy(sRequest, strResponse, false);
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
  CZeError sError = pSigningKey && pSigningKey->IsKeyed()
                        ? SignRequest(sRequest, *pSigningKey, strUrl)
                        : sRequest.GetSignedURL(strAccessKeySecret, strUrl);
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
  if (TkJson::IsObjectDocument(strResponse)) return CZeError();
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
  const SConnectionOptions& sOptions = _Options();
  const uint64_t nPauseSec = sOptions.nUnansweredPauseSec;
  SRetryPolicy sPolicy;
  sPolicy.nAttemptsWhenUnanswered = sOptions.nAttemptsWhenUnanswered;
  sPolicy.nUnansweredPauseMs = SecondsToMilliseconds(nPauseSec);
  sPolicy.nThrottlingBoundInSec = sOptions.nThrottlingMaxWaitInSec;
  sPolicy.bResendOnNonceUsed = true;
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

// One request sent once, except for answers the service did not carry out
// (throttling, a nonce seen before), which are resent with a fresh signature.
// The caller's request is the one signed, as before; a resend signs it again
// from a copy taken first.
CZeError CAliCloudConnectionBase::_ExecuteWithPolicy(SAliCloudRequest& sRequest, std::string& strResponse,
                                                     bool /*bRetry*/) {
  SRetryPolicy sPolicy;
  sPolicy.nThrottlingBoundInSec = _Options().nThrottlingMaxWaitInSec;
  sPolicy.bResendOnNonceUsed = true;
  const SAliCloudRequest sOriginal(sRequest);
  bool bFirst = true;
  return CRetryExecutor(std::move(sPolicy)).Run([&] {
    if (!bFirst) sRequest = sOriginal;
    bFirst = false;
    return _ExecuteRequest(sRequest, strResponse);
  });
}

void CAliCloudConnectionBase::ReceiveResponse(std::string& strResponse) {
  strResponse.clear();
  if (!InitCurl()) return;
  size_t nLength = 0;
  const char* pszBody = sCurl.GetHttpResponse(nLength, false);
  if (pszBody != nullptr) strResponse.assign(pszBody, nLength);
}

}  // namespace AliCloudWrapper
