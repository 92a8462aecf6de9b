// Golden signing vectors, checked one step at a time: the documentation's
// worked example and cases made by the official Node SDK
// (tests/conformance/make_signing_vectors.js writes tests/data/signing_vectors.txt).
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "AliCloudWrapper/SAliCloudRequest.h"
#include "transport/RequestSigning.h"

namespace AliCloudWrapper {
namespace {

struct SigningVector {
  std::string strName;
  std::string strSecret;
  std::string strHost;
  std::vector<URLParameter> vecParameters;  // unencoded, in signing order
  std::string strCanonical;                 // name=value&... encoded once
  std::string strStringToSign;
  std::string strSignature;
  std::string strUrl;
};

// Names the vector in test output (and in the test names ctest discovers)
// instead of dumping its bytes.
void PrintTo(const SigningVector& sVector, std::ostream* pOut) { *pOut << sVector.strName; }

std::string VectorFilePath() {
  std::string strPath = __FILE__;
  strPath.resize(strPath.rfind('/'));
  return strPath + "/../data/signing_vectors.txt";
}

// Reads the blocks "case ... end"; a line is "<field> <text>", a parameter
// "param <name>\t<value>"; other fields are not needed.
std::vector<SigningVector> LoadVectors() {
  const std::map<std::string, std::string SigningVector::*> mapFields = {
      {"case", &SigningVector::strName},           {"secret", &SigningVector::strSecret},
      {"host", &SigningVector::strHost},           {"canonical", &SigningVector::strCanonical},
      {"string-to-sign", &SigningVector::strStringToSign}, {"signature", &SigningVector::strSignature},
      {"url", &SigningVector::strUrl}};
  std::ifstream file(VectorFilePath());
  std::vector<SigningVector> vecVectors;
  std::string strLine;
  while (std::getline(file, strLine)) {
    const size_t nSpace = strLine.find(' ');
    const std::string strField = strLine.substr(0, nSpace);
    const std::string strText = nSpace == std::string::npos ? "" : strLine.substr(nSpace + 1);
    if (strField == "case") vecVectors.emplace_back();
    if (vecVectors.empty()) continue;
    const auto it = mapFields.find(strField);
    if (it != mapFields.end()) {
      vecVectors.back().*(it->second) = strText;
    } else if (strField == "param") {
      const size_t nTab = strText.find('\t');
      vecVectors.back().vecParameters.emplace_back(strText.substr(0, nTab), strText.substr(nTab + 1));
    }
  }
  return vecVectors;
}

// A request holding the vector's parameters added in reverse order, so every
// vector also proves the sort.
SAliCloudRequest RequestFor(const SigningVector& v) {
  SAliCloudRequest request;
  request.SetEndPoint(v.strHost);
  request.SetRequestMethod(HTTP_GET);
  for (auto it = v.vecParameters.rbegin(); it != v.vecParameters.rend(); ++it) {
    request.AddURLParameter(it->first, it->second);
  }
  return request;
}

class SigningVectors : public ::testing::TestWithParam<SigningVector> {};

TEST_P(SigningVectors, EachStepMatchesTheSdk) {
  const SigningVector& v = GetParam();
  SAliCloudRequest request = RequestFor(v);

  // Sorted and encoded once: the pairs joined are the canonical text.
  std::stable_sort(request.vecParameters.begin(), request.vecParameters.end(), URLParameterComparator);
  ASSERT_TRUE(request.UrlEncodeParameters());
  std::string strJoined;
  for (const URLParameter& pair : request.vecParameters) strJoined += "&" + pair.first + "=" + pair.second;
  EXPECT_EQ(strJoined.substr(1), v.strCanonical);

  // Encoded twice: the tail of the string to sign.
  std::string strCanonical;
  ASSERT_TRUE(request.GetCanonicalizedURL(strCanonical));
  EXPECT_EQ("GET&%2F&" + strCanonical, v.strStringToSign);

  std::string strSignature;
  ASSERT_FALSE(request.ComputeSignature(v.strStringToSign, v.strSecret, strSignature).IsError());
  EXPECT_EQ(strSignature, v.strSignature);

  // The whole signing of a fresh request gives the SDK's URL.
  SAliCloudRequest fresh = RequestFor(v);
  std::string strUrl;
  ASSERT_FALSE(fresh.GetSignedURL(v.strSecret, strUrl).IsError());
  EXPECT_EQ(strUrl, v.strUrl);
  EXPECT_EQ(fresh.vecParameters.back().first, "Signature");
  // Signing only percent-encodes; it never opens an HTTP handle.
  EXPECT_FALSE(fresh.bCurlInitialized);

  // A connection keys the HMAC once and signs every request with it.
  CHmacSha1Key sKey;
  ASSERT_TRUE(KeyForSigning(v.strSecret, sKey));
  for (int n = 0; n < 2; ++n) {
    SAliCloudRequest again = RequestFor(v);
    ASSERT_FALSE(SignRequest(again, sKey, strUrl).IsError());
    EXPECT_EQ(strUrl, v.strUrl) << n;
  }
}

INSTANTIATE_TEST_SUITE_P(NodeSdk, SigningVectors, ::testing::ValuesIn(LoadVectors()),
                         [](const ::testing::TestParamInfo<SigningVector>& info) {
                           std::string strName = info.param.strName;
                           std::replace(strName.begin(), strName.end(), '-', '_');
                           return strName;
                         });

// Guards against a moved or truncated data file silently running no cases.
TEST(SigningVectorFile, HoldsTheSdkCases) {
  const std::vector<SigningVector> vecVectors = LoadVectors();
  ASSERT_GE(vecVectors.size(), 5u) << VectorFilePath();
  for (const SigningVector& v : vecVectors) EXPECT_FALSE(v.vecParameters.empty() || v.strUrl.empty()) << v.strName;
}

}  // namespace
}  // namespace AliCloudWrapper
