// The abstract base of the service connections (compute, network, database).
//
// A connection holds the credentials and the HTTP client of one service. For
// each request it adds the service's API version and the common parameters,
// signs the request, sends it, returns the response body, turns an error
// document of the service into a CZeError ("Error code: <Code>"), and, when
// asked, retries requests that got no answer at all. It also hands out the
// random numbers used as signature nonces and idempotence tokens ("ClientToken").
//
// Everything runs on the caller's thread; one connection serves one thread at
// a time (its HTTP client, generator and parser are unlocked state).
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/CZeError.h"
#include "AliCloudWrapper/EvEvent.h"
#include "AliCloudWrapper/SAliCloudRequest.h"
#include "AliCloudWrapper/TKLibCurl.h"
#include "AliCloudWrapper/TKPlatformInfo.h"

namespace AliCloudWrapper {

struct SConnectionOptions;
class CHmacSha1Key;

// Keys a connection looks up by name (GetTagName).
enum ETagType {
  TAG_TOTAL_COUNT = 0,  // where a list response gives its total number of items
};

class CAliCloudConnectionBase {
 public:
  // Settings of section "VirtualServer" (unsigned numbers unless noted).
  // Attempts in all (not extra attempts) of a retrying execution.
  static inline const std::string RETRY_COUNT = "nAliCloudNumberOfRequestRetries";
  // Pause between the attempts of a retrying execution, in seconds.
  static inline const std::string RETRY_SLEEP_IN_SEC = "nAliCloudRetrySleepTimeInSec";
  // When not 0: whole-transfer time-out of the compute connection, in seconds.
  static inline const std::string CURL_TIME_OUT_IN_SEC = "nAliCloudRequestTimeOutInSec";
  // Text; when not empty: the one compute endpoint host used for every region.
  static inline const std::string REGION_END_POINT = "AliCloudRegionEndpoint";

  // Seconds of pauses within which answers "Throttling" / "Throttling.*" are
  // resent (the service did not carry them out); 0 reports them at once.
  static inline const std::string THROTTLING_MAX_WAIT_IN_SEC = "nAliCloudThrottlingMaxWaitInSec";
  static constexpr uint64_t DEFAULT_THROTTLING_MAX_WAIT_IN_SEC = 60;

  static constexpr uint64_t DEFAULT_RETRY_COUNT_UPON_EMPTY_RESPONSE = 3;
  static constexpr uint64_t DEFAULT_RETRY_SLEEP_TIME_IN_SEC = 30;

  CAliCloudConnectionBase();
  CAliCloudConnectionBase(const std::string& strAccessKeyId, const std::string& strAccessKeySecret);
  // Wipes the access key secret from memory and withdraws it from log redaction.
  virtual ~CAliCloudConnectionBase();
  CAliCloudConnectionBase(const CAliCloudConnectionBase&) = delete;
  CAliCloudConnectionBase& operator=(const CAliCloudConnectionBase&) = delete;

  // Proves the credentials with one request of the service.
  virtual CZeError Connect() = 0;

  // Sends one request and gives the response body. The settings named here are
  // read once, at the connection's first request. With bRetry the request is
  // left unchanged and each attempt signs a fresh copy; requests that got no
  // answer (no body) are attempted up to "nAliCloudNumberOfRequestRetries"
  // times with "nAliCloudRetrySleepTimeInSec" seconds between attempts, and an
  // answer of the service is never retried. Without bRetry the request itself
  // is signed and consumed. Errors (code 1): "Error code: <Code>" for an error
  // document (the body stays in strResponse), "Request did not complete
  // successfully. Failed to parse error response." when no error document
  // arrived, "Failed to initialize the curl library.", or a signing error.
  virtual CZeError ExecuteRequest(SAliCloudRequest& sRequest, std::string& strResponse,
                                  bool bRetry);

  // The service's name for a key of its responses; empty for an unknown tag.
  virtual std::string GetTagName(ETagType eTag) = 0;

  // Appends the common parameters: Format, AccessKeyId, SignatureMethod,
  // Timestamp, SignatureVersion and a fresh SignatureNonce. A service adds its
  // "Version" first and then calls this.
  virtual void AddPublicParameters(SAliCloudRequest& sRequest);

  void SetAccessKeyId(const std::string& strAccessKeyId);
  // The previous secret is overwritten in memory before it is released.
  void SetAccessKeySecret(const std::string& strAccessKeySecret);

  // A value of the connection's generator (1 .. 2147483646); creating actions
  // send it, formatted with "%d", as "ClientToken".
  int GetIdempotenceToken();
  // Reseeds the generator from the operating system's random source (it is
  // seeded so at construction too, so no connection starts from a fixed seed).
  void InitializeRandomNumGenerator();
  // 128 random bits in UUID text form, as "SignatureNonce".
  std::string GetSignatureNonce();
  // Initialises the HTTP client once; a failure is retried at the next call.
  bool InitCurl();

  // A retrying execution (see ExecuteRequest).
  CZeError ExecuteRequestWithRetry(const SAliCloudRequest& sRequest, std::string& strResponse);
  // One attempt: signs sRequest in place, sends it, reads the response.
  CZeError _ExecuteRequest(SAliCloudRequest& sRequest, std::string& strResponse);
  // The body of the last response; empty when none arrived.
  void ReceiveResponse(std::string& strResponse);

  // Fetches every page of a list request and appends the records of
  // outerKey.innerKey to vecRecords; each page is a fresh copy of sRequest
  // with "PageNumber" (and "PageSize" when nPageSize > 0) added.
  template <typename T>
  CZeError GetMultiPageList(const SAliCloudRequest& sRequest, std::vector<T>& vecRecords,
                            const std::string& strListKey, const std::string& strItemKey,
                            bool bRetry, int nPageSize);

 protected:
  TKLibCurl sCurl;
  EvEvent sEvent;
  CAliCloudParser sParser;
  TKPlatformInfo sPlatformInfo;
  std::string strAccessKeyId;
  // Kept only in memory, registered with EvLog so no log line can carry it.
  std::string strAccessKeySecret;
  bool bCurlInitialized = false;
  std::minstd_rand0 sRandomGenerator;  // kept for derived classes; seeded like the nonce source

  // The connection's settings, read at the first call and handed to its HTTP
  // client then; a compute connection asks for its whole-transfer limit first.
  const SConnectionOptions& _Options();
  void _UseRequestTimeOut() { bUseRequestTimeOut = true; }

 private:
  void _WipeAccessKeySecret();
  CZeError _MakeExchangeError(const std::string& strResponse);
  CZeError _ExecuteWithPolicy(SAliCloudRequest& sRequest, std::string& strResponse, bool bRetry);

  // Nonces and tokens; seeded from the operating system at construction.
  std::mt19937_64 sNonceSource;
  std::unique_ptr<SConnectionOptions> pOptions;
  // The HMAC keyed with the secret once; released and wiped with the secret.
  std::unique_ptr<CHmacSha1Key> pSigningKey;
  bool bUseRequestTimeOut = false;
};

}  // namespace AliCloudWrapper
