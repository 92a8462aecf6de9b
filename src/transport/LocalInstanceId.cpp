// CAliCloudECSConnection::GetLocalInstanceId: the instance metadata service.
//
// The service answers plain HTTP at a link-local style address, only from inside
// a cloud instance. Off the cloud nothing answers there, so the exchange has a
// short connect time-out of its own, and it never goes through a proxy (a proxy
// could not reach the address, or worse, would answer for it). Instances that
// require metadata session tokens refuse a token-less GET with 401 or 403; then
// a token is asked for and the GET repeated once with it.
#include <cstdint>
#include <string>
#include <vector>

#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/TKLibCurl.h"
#include "host/FXString.h"
#include "transport/ConnectionOptions.h"

namespace AliCloudWrapper {
namespace {

constexpr size_t MAX_METADATA_VALUE_LENGTH = 4096;

std::string MetadataUrl(const char* pszPath) {
  return FXString::Format("http://%s%s", CAliCloudECSConnection::METADATA_HOST, pszPath);
}

std::string Trimmed(const std::string& strText) {
  const char* pszSpace = " \t\r\n";
  const size_t nFirst = strText.find_first_not_of(pszSpace);
  if (nFirst == std::string::npos) return std::string();
  return strText.substr(nFirst, strText.find_last_not_of(pszSpace) - nFirst + 1);
}

// An instance id or a session token is one word of printable ASCII. Anything else
// is not an answer of the metadata service, and a token with line breaks would
// otherwise be written into a request header.
bool IsPlainToken(const std::string& strValue) {
  if (strValue.empty() || strValue.size() > MAX_METADATA_VALUE_LENGTH) return false;
  for (const char c : strValue) {
    if (c <= ' ' || c > '~') return false;
  }
  return true;
}

std::string ResponseText(const TKLibCurl& sClient) {
  size_t nLength = 0;
  const char* pszBody = sClient.GetHttpResponse(nLength, false);
  return pszBody == nullptr ? std::string() : Trimmed(std::string(pszBody, nLength));
}

bool IsTokenRequired(const TKLibCurl& sClient) {
  const long nStatus = sClient.GetLastHttpStatus();
  return nStatus == 401 || nStatus == 403;
}

// A session token for one following GET; empty when none could be had.
std::string RequestSessionToken(TKLibCurl& sClient) {
  sClient.TKLibCurlSetHeaders({FXString::Format("%s: %d",
                                                CAliCloudECSConnection::METADATA_TOKEN_TTL_HEADER,
                                                CAliCloudECSConnection::METADATA_TOKEN_TTL_SEC)});
  const std::string strUrl = MetadataUrl(CAliCloudECSConnection::METADATA_TOKEN_PATH);
  const bool bSent = sClient.TKLibCurlSendHttpReq(TKLibCurl::REQ_PUT, strUrl.c_str(), nullptr, 0,
                                                  true, nullptr);
  sClient.TKLibCurlSetHeaders({});
  if (!bSent) return std::string();
  const std::string strToken = ResponseText(sClient);
  return IsPlainToken(strToken) ? strToken : std::string();
}

bool GetInstanceIdDocument(TKLibCurl& sClient) {
  const std::string strUrl = MetadataUrl(CAliCloudECSConnection::METADATA_INSTANCE_ID_PATH);
  return sClient.TKLibCurlSendHttpReq(TKLibCurl::REQ_GET, strUrl.c_str(), nullptr, 0, true, nullptr);
}

}  // namespace

void CAliCloudECSConnection::GetLocalInstanceId(std::string& strInstanceId) {
  strInstanceId.clear();

  // A handle of its own: the signed requests' client keeps its options and its
  // kept-alive TLS connection.
  // The request time-out setting bounds this exchange too; without one, a short bound of our own.
  TKLibCurl::SOptions sOptions = _Options().sHttp;
  if (sOptions.nTransferTimeOutSec == 0) sOptions.nTransferTimeOutSec = METADATA_DEFAULT_TIMEOUT_SEC;
  TKLibCurl sClient;
  (void)sClient.TKLibCurlSetOptions(sOptions);
  if (!sClient.TKLibCurlInit(nullptr, true, true, nullptr)) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to get local Id. The HTTP client is not usable.");
    return;
  }
  sClient.TKLibCurlSetConnectTimeoutMs(METADATA_CONNECT_TIMEOUT_MS);
  sClient.TKLibCurlSetNoProxy(true);

  bool bAnswered = GetInstanceIdDocument(sClient);
  if (!bAnswered && IsTokenRequired(sClient)) {
    sEvent.DebugLvl(__PRETTY_FUNCTION__, 2, "Metadata service wants a session token (HTTP [%ld]).",
                    sClient.GetLastHttpStatus());
    const std::string strToken = RequestSessionToken(sClient);
    if (!strToken.empty()) {
      sClient.TKLibCurlSetHeaders({FXString::Format("%s: %s", METADATA_TOKEN_HEADER, strToken.c_str())});
      bAnswered = GetInstanceIdDocument(sClient);
    }
  }

  const std::string strAnswer = bAnswered ? ResponseText(sClient) : std::string();
  if (!bAnswered || !IsPlainToken(strAnswer)) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to get local Id. HTTP status [%ld], transport [%s].",
                 sClient.GetLastHttpStatus(), sClient.GetLastTransportError().c_str());
    return;
  }
  strInstanceId = strAnswer;
}

}  // namespace AliCloudWrapper
