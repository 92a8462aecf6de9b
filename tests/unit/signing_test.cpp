// Signing: golden vectors checked one step at a time (the documentation's
// worked example and cases made by the official Node SDK;
// tests/conformance/make_signing_vectors.js writes tests/data/signing_vectors.txt),
// and the request record's helpers: duplicate and case-sensitive parameter
// order, failures, copies, the database endpoint choice and the time stamp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/SAliCloudRequest.h"
#include "host/CTimeStamp.h"
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

SAliCloudRequest DescribeRegionsRequest() {
  SAliCloudRequest request;
  request.SetEndPoint("ecs.aliyuncs.com");
  request.SetRequestMethod(HTTP_GET);
  request.AddURLParameter("Action", "DescribeRegions");
  request.AddURLParameter("Timestamp", "2021-01-02T03:04:05Z");
  return request;
}

// Byte order is case-sensitive ("B" before "a"), and pairs of one name keep
// the order they were added in.
TEST(SigningRequest, PairsOfOneNameKeepTheirInsertionOrder) {
  SAliCloudRequest request;
  request.SetRequestMethod(HTTP_GET);
  request.AddURLParameter("b", "2");
  request.AddURLParameter("a", "second");
  request.AddURLParameter("a", "first");
  request.AddURLParameter("B", "upper");
  std::string strUrl;
  ASSERT_FALSE(request.GetSignedURL("k", strUrl).IsError());
  EXPECT_EQ(strUrl.substr(0, strUrl.find("&Signature=")), "https:///?B=upper&a=second&a=first&b=2");
}

TEST(SigningRequest, EmptyKeyFailsWithCodeOneAndLeavesTheUrl) {
  SAliCloudRequest request = DescribeRegionsRequest();
  std::string strUrl = "untouched";
  const CZeError err = request.GetSignedURL("", strUrl);
  ASSERT_TRUE(err.IsError());
  EXPECT_EQ(err.GetErrorCode(), 1);
  EXPECT_EQ(err.GetErrorMessage(), "Signature key is empty.");
  EXPECT_EQ(strUrl, "untouched");
  std::string strSignature;
  const CZeError errSign = request.ComputeSignature("GET&%2F&", "", strSignature);
  ASSERT_TRUE(errSign.IsError());
  EXPECT_EQ(errSign.GetErrorMessage(), "Signature key is empty.");
}

// Copies (by construction and assignment) carry the request but never the HTTP
// handle; a retried request is signed as a copy, so the original stays as built.
TEST(SigningRequest, CopiesCarryTheRequestButNotTheHttpClient) {
  SAliCloudRequest original = DescribeRegionsRequest();
  ASSERT_TRUE(original.InitCurl());
  const auto vecBefore = original.vecParameters;

  SAliCloudRequest copy(original);
  EXPECT_FALSE(copy.bCurlInitialized);
  EXPECT_EQ(copy.GetRequestMethod(), HTTP_GET);
  std::string strUrl;
  ASSERT_FALSE(copy.GetSignedURL("secret", strUrl).IsError());
  EXPECT_EQ(strUrl.find("https://ecs.aliyuncs.com/?Action=DescribeRegions&Timestamp="), 0u) << strUrl;
  EXPECT_EQ(original.vecParameters, vecBefore);
  EXPECT_TRUE(original.bCurlInitialized);

  SAliCloudRequest assigned;
  assigned = original;
  EXPECT_FALSE(assigned.bCurlInitialized);
  EXPECT_EQ(assigned.vecParameters, vecBefore);
  EXPECT_EQ(assigned.GetEndPoint(), "ecs.aliyuncs.com");
}

// Regions with a database host of their own get it; unlisted, empty and
// partial region IDs go to the central host (a substring match would have sent
// "" and "me-east" to Dubai).
TEST(SigningRequest, DatabaseEndpointPerRegion) {
  for (const std::string strRegion : {"me-east-1", "eu-central-1", "ap-southeast-2", "ap-northeast-1",
                                      "cn-zhangjiakou", "ap-southeast-5", "ap-southeast-3"}) {
    EXPECT_EQ(AliCloudUtils::GetRDSEndPointForRegionId(strRegion), "rds." + strRegion + ".aliyuncs.com");
  }
  for (const std::string strRegion :
       {"cn-hangzhou", "ap-southeast-1", "", "me-east", "ap-southeast", "aliyuncs", "rds"}) {
    EXPECT_EQ(AliCloudUtils::GetRDSEndPointForRegionId(strRegion), "rds.aliyuncs.com") << "[" << strRegion << "]";
  }

  const SAliCloudRequest request = SAliCloudRequest::GetRegionSpecificRDSRequest("ap-southeast-3");
  EXPECT_EQ(request.GetEndPoint(), "rds.ap-southeast-3.aliyuncs.com");
  EXPECT_EQ(request.vecParameters, (std::vector<URLParameter>{{"RegionId", "ap-southeast-3"}}));
  EXPECT_EQ(SAliCloudRequest::GetRegionSpecificRDSRequest("cn-beijing").GetEndPoint(), "rds.aliyuncs.com");
}

int64_t g_nClockMicroseconds = 0;
int64_t FixedClock() { return g_nClockMicroseconds; }

// ISO UTC to the second, never rounded up.
TEST(SigningRequest, TimeStampIsIsoUtcToTheSecond) {
  CTimeStamp::SetClock(&FixedClock);
  g_nClockMicroseconds = 1609556645678901;  // 2021-01-02 03:04:05.678901 UTC
  EXPECT_EQ(AliCloudUtils::GetTimeStamp(), "2021-01-02T03:04:05Z");
  g_nClockMicroseconds = 951782400000000;  // 2000-02-29 00:00:00 UTC, a whole second
  EXPECT_EQ(AliCloudUtils::GetTimeStamp(), "2000-02-29T00:00:00Z");
  g_nClockMicroseconds = 1704067199999999;  // 2023-12-31 23:59:59.999999
  EXPECT_EQ(AliCloudUtils::GetTimeStamp(), "2023-12-31T23:59:59Z");
  CTimeStamp::SetClock(nullptr);
}

}  // namespace
}  // namespace AliCloudWrapper
