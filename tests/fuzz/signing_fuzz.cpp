// Escaping and signing against independent implementations: the escape must be
// libcurl's own, byte for byte, and a signed URL must be exactly the one built
// here from the published rules with libcurl's escape and OpenSSL's HMAC and
// Base64. Input: the first line is the secret, each further line one
// "name=value" parameter; the whole input is also escaped as one text.
#include <curl/curl.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "AliCloudWrapper/SAliCloudRequest.h"
#include "AliCloudWrapper/TKLibCurl.h"

namespace {

using namespace AliCloudWrapper;

[[noreturn]] void Fail(const char* pszWhat, const std::string& strDetail) {
  std::fprintf(stderr, "signing_fuzz: %s\n%s\n", pszWhat, strDetail.c_str());
  std::abort();
}

std::string CurlEscape(const std::string& strIn) {
  static CURL* s_pCurl = curl_easy_init();
  char* psz = curl_easy_escape(s_pCurl, strIn.data(), static_cast<int>(strIn.size()));
  if (psz == nullptr) Fail("curl_easy_escape failed", strIn);
  std::string strOut(psz);
  curl_free(psz);
  return strOut;
}

void CheckEscape(const std::string& strIn) {
  const std::string strExpected = CurlEscape(strIn);
  std::string strOut = "stale";
  if (!TKLibCurl::TKLibCurlUrlEscape(strIn, strOut) || strOut != strExpected) {
    Fail("escape differs from libcurl's", strIn);
  }
  if (TKLibCurl::TKLibCurlUrlNeedsEscape(strIn) != (strExpected != strIn)) {
    Fail("needs-escape answer is wrong", strIn);
  }
  std::string strAppended = "prefix";
  TKLibCurl::TKLibCurlUrlEscapeAppend(strIn, strAppended);
  if (strAppended != "prefix" + strExpected) Fail("appending escape differs", strIn);
}

std::string Base64(const unsigned char* pData, size_t nLength) {
  std::string strOut(4 * ((nLength + 2) / 3) + 1, '\0');
  const int nWritten = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(strOut.data()), pData,
                                       static_cast<int>(nLength));
  strOut.resize(static_cast<size_t>(nWritten));
  return strOut;
}

// The URL the service expects for these parameters, built from its rules.
std::string ExpectedUrl(const std::string& strHost, const std::string& strSecret,
                        std::vector<std::pair<std::string, std::string>> vecParameters) {
  std::stable_sort(vecParameters.begin(), vecParameters.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::string strCanonical;
  for (const auto& [strName, strValue] : vecParameters) {
    if (!strCanonical.empty()) strCanonical += '&';
    strCanonical += CurlEscape(strName) + "=" + CurlEscape(strValue);
  }
  const std::string strToSign = "GET&%2F&" + CurlEscape(strCanonical);
  const std::string strKey = strSecret + "&";
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int nDigest = 0;
  HMAC(EVP_sha1(), strKey.data(), static_cast<int>(strKey.size()),
       reinterpret_cast<const unsigned char*>(strToSign.data()), strToSign.size(), digest, &nDigest);
  std::string strUrl = "https://" + strHost + "/?" + strCanonical;
  if (!vecParameters.empty()) strUrl += '&';
  return strUrl + "Signature=" + CurlEscape(Base64(digest, nDigest));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  const std::string strInput(reinterpret_cast<const char*>(pData), nSize);
  CheckEscape(strInput);

  std::vector<std::string> vecLines;
  size_t nStart = 0;
  while (nStart <= strInput.size() && vecLines.size() < 64) {
    size_t nEnd = strInput.find('\n', nStart);
    if (nEnd == std::string::npos) nEnd = strInput.size();
    vecLines.push_back(strInput.substr(nStart, nEnd - nStart));
    nStart = nEnd + 1;
  }
  const std::string& strSecret = vecLines[0];
  std::vector<std::pair<std::string, std::string>> vecParameters;
  for (size_t i = 1; i < vecLines.size(); ++i) {
    const size_t nEquals = vecLines[i].find('=');
    vecParameters.emplace_back(vecLines[i].substr(0, nEquals),
                               nEquals == std::string::npos ? "" : vecLines[i].substr(nEquals + 1));
  }

  SAliCloudRequest sRequest;
  sRequest.SetEndPoint("ecs.aliyuncs.com");
  sRequest.SetRequestMethod(HTTP_GET);
  for (const auto& [strName, strValue] : vecParameters) sRequest.AddURLParameter(strName, strValue);
  std::string strUrl;
  const bool bSigned = !sRequest.GetSignedURL(strSecret, strUrl).IsError();
  if (strSecret.empty()) {
    if (bSigned) Fail("signed with an empty secret", strInput);
    return 0;
  }
  if (!bSigned) Fail("signing failed", strInput);
  const std::string strExpected = ExpectedUrl("ecs.aliyuncs.com", strSecret, vecParameters);
  if (strUrl != strExpected) Fail("signed URL differs", strUrl + "\n" + strExpected);
  return 0;
}
