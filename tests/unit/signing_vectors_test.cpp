// Golden signing vectors, checked one step at a time: the documentation's
// worked example, and cases made by the official Node SDK
// (tests/conformance/make_signing_vectors.js writes tests/data/signing_vectors.txt).
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/SAliCloudRequest.h"

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
// "param <name>\t<value>".
std::vector<SigningVector> LoadVectors() {
  std::ifstream file(VectorFilePath());
  std::vector<SigningVector> vecVectors;
  std::string strLine;
  while (std::getline(file, strLine)) {
    if (strLine.empty() || strLine[0] == '#') {
      continue;
    }
    const size_t nSpace = strLine.find(' ');
    const std::string strField = strLine.substr(0, nSpace);
    const std::string strText = nSpace == std::string::npos ? "" : strLine.substr(nSpace + 1);
    if (strField == "case") {
      vecVectors.emplace_back();
      vecVectors.back().strName = strText;
      continue;
    }
    if (vecVectors.empty() || strField == "end" || strField == "method") {
      continue;
    }
    SigningVector& v = vecVectors.back();
    if (strField == "secret") v.strSecret = strText;
    else if (strField == "host") v.strHost = strText;
    else if (strField == "canonical") v.strCanonical = strText;
    else if (strField == "string-to-sign") v.strStringToSign = strText;
    else if (strField == "signature") v.strSignature = strText;
    else if (strField == "url") v.strUrl = strText;
    else if (strField == "param") {
      const size_t nTab = strText.find('\t');
      v.vecParameters.emplace_back(strText.substr(0, nTab), strText.substr(nTab + 1));
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
  std::stable_sort(request.vecParameters.begin(), request.vecParameters.end(),
                   URLParameterComparator);
  ASSERT_TRUE(request.UrlEncodeParameters());
  std::string strJoined;
  for (const URLParameter& pair : request.vecParameters) {
    strJoined += pair.first + "=" + pair.second + "&";
  }
  strJoined.pop_back();
  EXPECT_EQ(strJoined, v.strCanonical);

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
}

INSTANTIATE_TEST_SUITE_P(NodeSdk, SigningVectors, ::testing::ValuesIn(LoadVectors()),
                         [](const ::testing::TestParamInfo<SigningVector>& info) {
                           std::string strName = info.param.strName;
                           std::replace(strName.begin(), strName.end(), '-', '_');
                           return strName;
                         });

TEST(SigningVectorFile, HoldsTheSdkCases) {
  // Guards against a moved or truncated data file silently running no cases.
  const std::vector<SigningVector> vecVectors = LoadVectors();
  ASSERT_GE(vecVectors.size(), 5u) << VectorFilePath();
  for (const SigningVector& v : vecVectors) {
    EXPECT_FALSE(v.vecParameters.empty()) << v.strName;
    EXPECT_FALSE(v.strUrl.empty()) << v.strName;
  }
}

// The documentation's example, built the way a connection builds requests:
// from the vocabulary constants, independent of the data file.
TEST(SigningDocumentationExample, ConstantsSignToThePublishedSignature) {
  SAliCloudRequest request;
  request.SetEndPoint(AliCloudEndPoints::CENTRAL);
  request.SetRequestMethod(HTTP_GET);
  request.AddURLParameter(AliCloudParameterNames::ACTION,
                          AliCloudActionParameterValues::DESCRIBE_REGIONS);
  request.AddURLParameter(AliCloudParameterNames::VERSION, "2014-05-26");
  request.AddURLParameter(AliCloudParameterNames::FORMAT, "XML");
  request.AddURLParameter(AliCloudParameterNames::ACCESS_KEY_ID, "testid");
  request.AddURLParameter(AliCloudParameterNames::TIMESTAMP, "2016-02-23T12:46:24Z");
  request.AddURLParameter(AliCloudParameterNames::SIGNATURE_METHOD, "HMAC-SHA1");
  request.AddURLParameter(AliCloudParameterNames::SIGNATURE_VERSION, "1.0");
  request.AddURLParameter(AliCloudParameterNames::SIGNATURE_NONCE,
                          "3ee8c1b8-83d3-44af-a94f-4e0ad82fd6cf");

  std::string strUrl;
  ASSERT_FALSE(request.GetSignedURL("testsecret", strUrl).IsError());
  EXPECT_EQ(strUrl,
            "https://ecs.aliyuncs.com/?AccessKeyId=testid&Action=DescribeRegions&Format=XML"
            "&SignatureMethod=HMAC-SHA1&SignatureNonce=3ee8c1b8-83d3-44af-a94f-4e0ad82fd6cf"
            "&SignatureVersion=1.0&Timestamp=2016-02-23T12%3A46%3A24Z&Version=2014-05-26"
            "&Signature=OLeaidS1JvxuMvnyHOwuJ%2BuX5qY%3D");
}

}  // namespace
}  // namespace AliCloudWrapper
