// Free helpers of the request layer: method texts, the API time stamp, Base64
// of the signature and the database endpoint of a region.
#include <array>
#include <string>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/SAliCloudRequest.h"
#include "host/CTimeStamp.h"
#include "host/FXString.h"
#include "host/TkcHash.h"

namespace AliCloudWrapper {
namespace AliCloudUtils {

namespace {

// True when host's second dot-separated label is exactly the region ID
// ("rds.<region-id>.aliyuncs.com"). A plain substring test would send an empty
// or partial ID ("me-east") to some regional host instead of the central one.
bool HostServesRegion(const std::string& strHost, const std::string& strRegionId) {
  if (strRegionId.empty()) {
    return false;
  }
  const size_t nStart = strHost.find('.');
  if (nStart == std::string::npos) {
    return false;
  }
  const size_t nEnd = strHost.find('.', nStart + 1);
  if (nEnd == std::string::npos) {
    return false;
  }
  return strHost.compare(nStart + 1, nEnd - nStart - 1, strRegionId) == 0;
}

}  // namespace

std::string GetHTTPMethodString(HTTPRequestMethod eMethod) {
  switch (eMethod) {
    case HTTP_GET:
      return "GET";
    case HTTP_POST:
      return "POST";
    case HTTP_PUT:
      return "PUT";
    default:
      return std::string();
  }
}

int GetTkLibCurlHTTPReqType(HTTPRequestMethod eMethod) {
  switch (eMethod) {
    case HTTP_GET:
      return TKLibCurl::REQ_GET;
    case HTTP_POST:
      return TKLibCurl::REQ_POST;
    case HTTP_PUT:
      return TKLibCurl::REQ_PUT;
    default:
      return TKLibCurl::REQ_DEFAULT;
  }
}

std::string GetTimeStamp() {
  // "yyyy/mm/dd hh:mm:ss.fff" becomes "yyyy-mm-ddThh:mm:ssZ": the service
  // wants ISO 8601 UTC to the second.
  std::string strTime = CTimeStamp::Now().AsUTCDateTimeString();
  FXString::ReplaceAll(strTime, "/", "-", 0);
  FXString::ReplaceAll(strTime, " ", "T", 0);
  const size_t nDot = strTime.find('.');
  if (nDot != std::string::npos) {
    strTime.resize(nDot);
  }
  strTime.push_back('Z');
  return strTime;
}

bool Base64Encode(const std::string& strIn, std::string& strOut) {
  // The host encoder already gives padded RFC 4648 text, which is what the
  // service compares against.
  return base64Encode(strIn, strOut);
}

std::string GetRDSEndPointForRegionId(const std::string& strRegionId) {
  // The regions with a host of their own; every other region is served by the
  // central host.
  const std::array<const std::string*, 7> regionalHosts = {
      &AliRDSCloudEndPoints::DUBAI,   &AliRDSCloudEndPoints::FRANKFURT,
      &AliRDSCloudEndPoints::SYDNEY,  &AliRDSCloudEndPoints::TOKYO,
      &AliRDSCloudEndPoints::ZHANGJIAKOU, &AliRDSCloudEndPoints::JAKARTA,
      &AliRDSCloudEndPoints::KUALALUMPUR};
  for (const std::string* pHost : regionalHosts) {
    if (HostServesRegion(*pHost, strRegionId)) {
      return *pHost;
    }
  }
  return AliRDSCloudEndPoints::CENTRAL;
}

}  // namespace AliCloudUtils
}  // namespace AliCloudWrapper
