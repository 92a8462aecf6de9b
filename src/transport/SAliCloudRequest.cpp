// Building and signing one RPC-style request (signature version 1.0):
// parameters sorted by name, percent-encoded (RFC 3986), canonicalised,
// HMAC-SHA1 with "<secret>&", Base64, appended as the last pair "Signature".
#include "AliCloudWrapper/SAliCloudRequest.h"

#include <algorithm>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "host/TkcHash.h"
#include "transport/RequestSigning.h"

namespace AliCloudWrapper {

namespace {

// The encoded path "/" between the method and the canonical text.
constexpr char kEncodedPathPart[] = "&%2F&";

// Appends "name=value&name=value..." with the pairs as they stand.
void AppendJoinedPairs(const std::vector<URLParameter>& vecParameters, std::string& strOut) {
  size_t nLength = strOut.size();
  for (const URLParameter& pair : vecParameters) {
    nLength += pair.first.size() + pair.second.size() + 2;
  }
  strOut.reserve(nLength);
  for (const URLParameter& pair : vecParameters) {
    strOut.append(pair.first).push_back('=');
    strOut.append(pair.second).push_back('&');
  }
  if (!vecParameters.empty()) {
    strOut.pop_back();  // the trailing "&"
  }
}

// Sorted by name; stable, so pairs of one name keep the order they were added in.
void SortParameters(std::vector<URLParameter>& vecParameters) {
  std::stable_sort(vecParameters.begin(), vecParameters.end(), URLParameterComparator);
}

}  // namespace

bool URLParameterComparator(const URLParameter& a, const URLParameter& b) {
  return a.first.compare(b.first) < 0;
}

SAliCloudRequest::SAliCloudRequest() = default;
SAliCloudRequest::~SAliCloudRequest() = default;

SAliCloudRequest::SAliCloudRequest(const SAliCloudRequest& other)
    : strEndPoint(other.strEndPoint),
      vecParameters(other.vecParameters),
      eRequestMethod(other.eRequestMethod) {}

SAliCloudRequest& SAliCloudRequest::operator=(const SAliCloudRequest& other) {
  // sCurl and bCurlInitialized stay: each request keeps its own HTTP client.
  if (this != &other) {
    strEndPoint = other.strEndPoint;
    vecParameters = other.vecParameters;
    eRequestMethod = other.eRequestMethod;
  }
  return *this;
}

void SAliCloudRequest::AddURLParameter(const std::string& strName, const std::string& strValue) {
  vecParameters.emplace_back(strName, strValue);
}

void SAliCloudRequest::SetEndPoint(const std::string& strHost) { strEndPoint = strHost; }

std::string SAliCloudRequest::GetEndPoint() const { return strEndPoint; }

void SAliCloudRequest::SetRequestMethod(HTTPRequestMethod eMethod) { eRequestMethod = eMethod; }

HTTPRequestMethod SAliCloudRequest::GetRequestMethod() const { return eRequestMethod; }

bool KeyForSigning(const std::string& strSecret, CHmacSha1Key& sKey) {
  sKey.Clear();
  if (strSecret.empty()) return false;
  // The HMAC key is the secret followed by "&". It is secret material, so it
  // is wiped as soon as the context has taken it.
  std::string strHmacKey;
  strHmacKey.reserve(strSecret.size() + 1);
  strHmacKey.append(strSecret).push_back('&');
  const bool bKeyed = sKey.SetKey(strHmacKey.data(), strHmacKey.size());
  SecureWipe(strHmacKey.data(), strHmacKey.size());
  return bKeyed;
}

namespace {

// A key made for one call of the public signing functions.
CZeError KeyForOneCall(const std::string& strSecret, CHmacSha1Key& sKey) {
  if (strSecret.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Signature key is empty.");
  if (!KeyForSigning(strSecret, sKey)) {
    return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Failed to compute the HMAC-SHA1 signature.");
  }
  return CZeError();
}

// HMAC-SHA1 of the string to sign in padded Base64 (28 characters).
CZeError SignatureOf(const std::string& strStringToSign, CHmacSha1Key& sKey, std::string& strSignature) {
  if (!sKey.IsKeyed()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Signature key is empty.");
  unsigned char digest[CHmacSha1Key::DIGEST_LENGTH];
  if (!sKey.Sign(strStringToSign.data(), strStringToSign.size(), digest)) {
    return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Failed to compute the HMAC-SHA1 signature.");
  }
  const std::string strDigest(reinterpret_cast<const char*>(digest), sizeof(digest));
  if (!AliCloudUtils::Base64Encode(strDigest, strSignature)) {
    return FXErrorUtil::ErrorInt(ACW_LOCATION, 2, "Base64 encoding failed.");
  }
  return CZeError();
}

}  // namespace

CZeError SignRequest(SAliCloudRequest& sRequest, CHmacSha1Key& sKey, std::string& strUrl) {
  if (!sKey.IsKeyed()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Signature key is empty.");
  SortParameters(sRequest.vecParameters);
  if (!sRequest.UrlEncodeParameters()) {
    return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Failed to encode URL parameters.");
  }
  // String to sign: the method, the encoded path "/" and the canonical text,
  // "GET&%2F&Action%3D...".
  std::string strStringToSign = AliCloudUtils::GetHTTPMethodString(sRequest.eRequestMethod);
  strStringToSign.append(kEncodedPathPart);
  if (!sRequest.GetCanonicalizedURL(strStringToSign)) {
    return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Failed to get canonincal query string.");
  }

  std::string strSignature;
  CZeError err = SignatureOf(strStringToSign, sKey, strSignature);
  if (err.IsError()) return err.Push(ACW_LOCATION);
  // Added after the sort and the canonical text: the signature signs neither
  // itself nor its position, and stands last in the URL (Base64 needs escaping).
  std::string strEncodedSignature;
  TKLibCurl::TKLibCurlUrlEscapeAppend(strSignature, strEncodedSignature);
  sRequest.vecParameters.emplace_back(AliCloudParameterNames::SIGNATURE, std::move(strEncodedSignature));
  strUrl = sRequest.ConstructURL();
  return CZeError();
}

CZeError SAliCloudRequest::GetSignedURL(const std::string& strKey, std::string& strUrl) {
  CHmacSha1Key sKey;
  CZeError err = KeyForOneCall(strKey, sKey);
  if (!err.IsError()) err = SignRequest(*this, sKey, strUrl);
  if (err.IsError()) return err.Push(ACW_LOCATION);
  return err;
}

CZeError SAliCloudRequest::ComputeSignature(const std::string& strStringToSign,
                                            const std::string& strKey, std::string& strSignature) {
  CHmacSha1Key sKey;
  CZeError err = KeyForOneCall(strKey, sKey);
  if (!err.IsError()) err = SignatureOf(strStringToSign, sKey, strSignature);
  if (err.IsError()) return err.Push(ACW_LOCATION);
  return err;
}

bool SAliCloudRequest::UrlEncodeParameters() {
  std::string strEscaped;
  for (URLParameter& pair : vecParameters) {
    for (std::string* pText : {&pair.first, &pair.second}) {
      if (!TKLibCurl::TKLibCurlUrlNeedsEscape(*pText)) continue;
      strEscaped.clear();
      TKLibCurl::TKLibCurlUrlEscapeAppend(*pText, strEscaped);
      pText->swap(strEscaped);
    }
  }
  return true;
}

bool SAliCloudRequest::GetCanonicalizedURL(std::string& strOut) {
  // The names and values are already encoded once; each is encoded a second
  // time, with the encoded "=" and "&" between them.
  const char* pszSeparator = "";
  for (const URLParameter& pair : vecParameters) {
    strOut.append(pszSeparator);
    TKLibCurl::TKLibCurlUrlEscapeAppend(pair.first, strOut);
    strOut.append("%3D");
    TKLibCurl::TKLibCurlUrlEscapeAppend(pair.second, strOut);
    pszSeparator = "%26";
  }
  return true;
}

bool SAliCloudRequest::EncodeString(const std::string& strIn, std::string& strOut) {
  // The escape is a static of the HTTP client and needs no handle, so this
  // deliberately does not call InitCurl: initialising would open an HTTP
  // handle per request just to encode text.
  if (strIn.empty()) {
    strOut.clear();
    return true;
  }
  return TKLibCurl::TKLibCurlUrlEscape(strIn, strOut) && !strOut.empty();
}

std::string SAliCloudRequest::ConstructURL() const {
  std::string strUrl;
  strUrl.append("https://").append(strEndPoint).append("/?");
  AppendJoinedPairs(vecParameters, strUrl);
  return strUrl;
}

bool SAliCloudRequest::InitCurl() {
  if (!bCurlInitialized) {
    bCurlInitialized = sCurl.TKLibCurlInit(nullptr, false, false, nullptr);
  }
  return bCurlInitialized;
}

SAliCloudRequest SAliCloudRequest::GetRegionSpecificRDSRequest(const std::string& strRegionId) {
  SAliCloudRequest request;
  request.SetEndPoint(AliCloudUtils::GetRDSEndPointForRegionId(strRegionId));
  request.AddURLParameter(AliCloudParameterNames::REGION_ID, strRegionId);
  return request;
}

}  // namespace AliCloudWrapper
