// One RPC-style API request while it is built and signed: the endpoint host,
// the (name, value) parameter pairs and the HTTP method. Service objects build
// it; a connection adds the common parameters and asks it for its signed URL.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "AliCloudWrapper/CZeError.h"
#include "AliCloudWrapper/TKLibCurl.h"

namespace AliCloudWrapper {

// The method of a request. A new request carries HTTP_DEFAULT ("none chosen");
// the connection turns it into HTTP_GET just before signing.
enum HTTPRequestMethod { HTTP_GET = 0, HTTP_POST = 1, HTTP_PUT = 2, HTTP_DEFAULT = 3 };

using URLParameter = std::pair<std::string, std::string>;

// Orders parameters by name, ascending, in byte order (std::string::compare);
// values are not compared. This is the order the service canonicalises in.
bool URLParameterComparator(const URLParameter& a, const URLParameter& b);

struct SAliCloudRequest {
  // Only used for percent-encoding; a request is never sent through it.
  TKLibCurl sCurl;
  bool bCurlInitialized = false;
  // Host name of the service endpoint, without scheme, port or path.
  std::string strEndPoint;
  // Pairs in insertion order until GetSignedURL sorts them; duplicates allowed.
  std::vector<URLParameter> vecParameters;
  HTTPRequestMethod eRequestMethod = HTTP_DEFAULT;

  SAliCloudRequest();
  ~SAliCloudRequest();
  // A copy takes the endpoint, the parameters and the method, and gets an
  // HTTP client of its own (never shared, never initialised).
  SAliCloudRequest(const SAliCloudRequest& other);
  SAliCloudRequest& operator=(const SAliCloudRequest& other);

  // Appends the pair unchanged (no encoding, no de-duplication).
  void AddURLParameter(const std::string& strName, const std::string& strValue);
  void SetEndPoint(const std::string& strHost);
  std::string GetEndPoint() const;
  void SetRequestMethod(HTTPRequestMethod eMethod);
  HTTPRequestMethod GetRequestMethod() const;

  // Signs the request with the access key secret and writes the final URL
  // "https://<endpoint>/?<pairs>&Signature=<sig>". Consumes the request: the
  // parameters are sorted and percent-encoded in place and the signature is
  // appended, so a request that may be sent again must be copied first.
  // Errors: 1 empty key or an encoding failure, 2 Base64 failure. url is
  // written only on success.
  CZeError GetSignedURL(const std::string& strKey, std::string& strUrl);

  // HMAC-SHA1 of the string to sign with key "<secret>&", in padded Base64
  // (28 characters). Errors: 1 empty key, 2 Base64 failure.
  CZeError ComputeSignature(const std::string& strStringToSign, const std::string& strKey,
                            std::string& strSignature);

  // Percent-encodes every name and value of vecParameters in place; stops at
  // the first failure (pairs already encoded stay encoded).
  bool UrlEncodeParameters();
  // Appends the percent-encoded canonical query text ("name=value&..." with
  // names and values already encoded once) to out.
  bool GetCanonicalizedURL(std::string& strOut);
  // Percent-encoding of one text (RFC 3986 unreserved set kept, every other
  // byte %XX upper-case). An empty in gives an empty out and true.
  bool EncodeString(const std::string& strIn, std::string& strOut);
  // "https://<endpoint>/?" followed by the pairs as they stand, joined by "&".
  std::string ConstructURL() const;
  // Initialises sCurl once. Percent-encoding does not need it, so signing
  // never calls this: a request must not open an HTTP handle just to encode.
  bool InitCurl();

  // A new request for the database service of that region: its endpoint is
  // AliCloudUtils::GetRDSEndPointForRegionId(region) and its first parameter
  // is "RegionId" = region.
  static SAliCloudRequest GetRegionSpecificRDSRequest(const std::string& strRegionId);
};

namespace AliCloudUtils {

// "GET", "POST", "PUT"; empty for any other value.
std::string GetHTTPMethodString(HTTPRequestMethod eMethod);
// The TKLibCurl request type: 0, 1, 2 for GET, POST, PUT; 6 for any other value.
int GetTkLibCurlHTTPReqType(HTTPRequestMethod eMethod);
// The current UTC time as the API wants it, to the second: "2021-01-02T03:04:05Z".
std::string GetTimeStamp();
// Padded standard Base64 (RFC 4648) of in; false when encoding fails.
bool Base64Encode(const std::string& strIn, std::string& strOut);
// The database-service endpoint host for a region: the regional host whose
// region label is exactly that region ID, otherwise the central host.
std::string GetRDSEndPointForRegionId(const std::string& strRegionId);

}  // namespace AliCloudUtils
}  // namespace AliCloudWrapper
