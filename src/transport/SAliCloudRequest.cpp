// Building and signing one RPC-style request (signature version 1.0):
// parameters sorted by name, percent-encoded (RFC 3986), canonicalised,
// HMAC-SHA1 with "<secret>&", Base64, appended as the last pair "Signature".
//
// Signing sits on every call's path, so the texts are built by appending into
// reserved strings rather than through printf-style formatting; the results
// are the same texts.
#include "AliCloudWrapper/SAliCloudRequest.h"

#include <algorithm>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "host/TkcHash.h"

namespace AliCloudWrapper {

namespace {

// Percent-encodings of the separators of the canonical query text.
constexpr char kEncodedEquals[] = "%3D";
constexpr char kEncodedAmpersand[] = "%26";
// The encoded path "/" between the method and the canonical text.
constexpr char kEncodedPathPart[] = "&%2F&";

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

CZeError SAliCloudRequest::GetSignedURL(const std::string& strKey, std::string& strUrl) {
  if (strKey.empty()) {
    return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Signature key is empty.");
  }
  // Stable, so pairs of one name keep the order they were added in.
  std::stable_sort(vecParameters.begin(), vecParameters.end(), URLParameterComparator);
  if (!UrlEncodeParameters()) {
    return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Failed to encode URL parameters.");
  }
  std::string strCanonical;
  if (!GetCanonicalizedURL(strCanonical)) {
    return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Failed to get canonincal query string.");
  }

  const std::string strMethod = AliCloudUtils::GetHTTPMethodString(eRequestMethod);
  std::string strStringToSign;
  strStringToSign.reserve(strMethod.size() + sizeof(kEncodedPathPart) + strCanonical.size());
  strStringToSign.append(strMethod).append(kEncodedPathPart).append(strCanonical);

  std::string strSignature;
  CZeError err = ComputeSignature(strStringToSign, strKey, strSignature);
  if (err.IsError()) {
    return err.Push(ACW_LOCATION);
  }
  std::string strEncodedSignature;
  if (!EncodeString(strSignature, strEncodedSignature)) {
    return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Failed to encode the signature value.");
  }
  // Added after the sort and the canonical text: the signature signs neither
  // itself nor its position, and stands last in the URL.
  vecParameters.emplace_back(AliCloudParameterNames::SIGNATURE, std::move(strEncodedSignature));
  strUrl = ConstructURL();
  return CZeError();
}

CZeError SAliCloudRequest::ComputeSignature(const std::string& strStringToSign,
                                            const std::string& strKey, std::string& strSignature) {
  if (strKey.empty()) {
    return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Signature key is empty.");
  }
  std::string strHmacKey;
  strHmacKey.reserve(strKey.size() + 1);
  strHmacKey.append(strKey).push_back('&');

  unsigned char digest[TkcSHA1::DIGEST_LENGTH + 1] = {};
  TkcSHA1 sha1;
  sha1.setKey(strHmacKey.data(), strHmacKey.size());
  sha1.addData(strStringToSign.data(), strStringToSign.size());
  if (!sha1.finish(digest, sizeof(digest))) {
    return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Failed to compute the HMAC-SHA1 signature.");
  }
  const std::string strDigest(reinterpret_cast<const char*>(digest), TkcSHA1::DIGEST_LENGTH);
  if (!AliCloudUtils::Base64Encode(strDigest, strSignature)) {
    return FXErrorUtil::ErrorInt(ACW_LOCATION, 2, "Base64 encoding failed.");
  }
  return CZeError();
}

bool SAliCloudRequest::UrlEncodeParameters() {
  // The encoded text goes into a scratch string whose buffer is then swapped
  // in, so the old buffers are reused for the following pairs.
  std::string strScratch;
  for (URLParameter& pair : vecParameters) {
    if (!EncodeString(pair.first, strScratch)) {
      return false;
    }
    pair.first.swap(strScratch);
    if (!EncodeString(pair.second, strScratch)) {
      return false;
    }
    pair.second.swap(strScratch);
  }
  return true;
}

bool SAliCloudRequest::GetCanonicalizedURL(std::string& strOut) {
  // Names and values are already encoded once; encoding them again gives the
  // percent-encoding of "name=value&..." that the service signs ("%" -> "%25").
  size_t nEstimate = strOut.size();
  for (const URLParameter& pair : vecParameters) {
    nEstimate += pair.first.size() + pair.second.size() + 6;
  }
  strOut.reserve(nEstimate + nEstimate / 4);

  std::string strScratch;
  strScratch.reserve(64);
  for (const URLParameter& pair : vecParameters) {
    if (!EncodeString(pair.first, strScratch)) {
      return false;
    }
    strOut.append(strScratch).append(kEncodedEquals);
    if (!EncodeString(pair.second, strScratch)) {
      return false;
    }
    strOut.append(strScratch).append(kEncodedAmpersand);
  }
  if (!vecParameters.empty()) {
    strOut.resize(strOut.size() - (sizeof(kEncodedAmpersand) - 1));
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
  static constexpr char kScheme[] = "https://";
  static constexpr char kPath[] = "/?";
  size_t nLength = sizeof(kScheme) + strEndPoint.size() + sizeof(kPath);
  for (const URLParameter& pair : vecParameters) {
    nLength += pair.first.size() + pair.second.size() + 2;
  }
  std::string strUrl;
  strUrl.reserve(nLength);
  strUrl.append(kScheme).append(strEndPoint).append(kPath);
  for (const URLParameter& pair : vecParameters) {
    strUrl.append(pair.first).push_back('=');
    strUrl.append(pair.second).push_back('&');
  }
  if (!vecParameters.empty()) {
    strUrl.pop_back();
  }
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
