// The request record and its helpers: parameter order, the consumed-once
// signing, failures, copies, the database endpoint choice and the time stamp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/SAliCloudRequest.h"
#include "host/CTimeStamp.h"

namespace AliCloudWrapper {
namespace {

namespace P = AliCloudParameterNames;

std::vector<std::string> NamesOf(const SAliCloudRequest& request) {
  std::vector<std::string> vecNames;
  for (const URLParameter& pair : request.vecParameters) {
    vecNames.push_back(pair.first);
  }
  return vecNames;
}

SAliCloudRequest DescribeRegionsRequest() {
  SAliCloudRequest request;
  request.SetEndPoint(AliCloudEndPoints::CENTRAL);
  request.SetRequestMethod(HTTP_GET);
  request.AddURLParameter(P::VERSION, "2014-05-26");
  request.AddURLParameter(P::TIMESTAMP, "2021-01-02T03:04:05Z");
  request.AddURLParameter(P::SIGNATURE_VERSION, "1.0");
  request.AddURLParameter(P::SIGNATURE_NONCE, "n1");
  request.AddURLParameter(P::SIGNATURE_METHOD, "HMAC-SHA1");
  request.AddURLParameter(P::REGION_ID, "cn-hangzhou");
  request.AddURLParameter(P::FORMAT, "JSON");
  request.AddURLParameter(P::ACTION, AliCloudActionParameterValues::DESCRIBE_REGIONS);
  request.AddURLParameter(P::ACCESS_KEY_ID, "id");
  return request;
}

TEST(SigningOrder, ParametersGoOutInByteOrderWithTheSignatureLast) {
  SAliCloudRequest request = DescribeRegionsRequest();
  std::string strUrl;
  ASSERT_FALSE(request.GetSignedURL("secret", strUrl).IsError());
  // Byte order is case-sensitive: "SignatureVersion" < "Timestamp" < "Version".
  const std::vector<std::string> vecExpected = {
      "AccessKeyId",      "Action",           "Format",    "RegionId", "SignatureMethod",
      "SignatureNonce",   "SignatureVersion", "Timestamp", "Version",  "Signature"};
  EXPECT_EQ(NamesOf(request), vecExpected);
  EXPECT_EQ(strUrl.find("https://ecs.aliyuncs.com/?AccessKeyId=id&Action=DescribeRegions&"), 0u);
  EXPECT_NE(strUrl.find("&Timestamp=2021-01-02T03%3A04%3A05Z&Version=2014-05-26&Signature="),
            std::string::npos);
}

TEST(SigningOrder, PairsOfOneNameKeepTheirInsertionOrder) {
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

TEST(SigningCanonicalText, EmptyValueStaysAndSeparatorsAreEncodedTwice) {
  SAliCloudRequest request;
  request.AddURLParameter(P::TIMESTAMP, "2021-01-02T03:04:05Z");
  request.AddURLParameter(P::DESCRIPTION, "");
  request.AddURLParameter(P::ACTION, "DescribeRegions");
  std::sort(request.vecParameters.begin(), request.vecParameters.end(), URLParameterComparator);
  ASSERT_TRUE(request.UrlEncodeParameters());
  std::string strCanonical = "kept:";
  ASSERT_TRUE(request.GetCanonicalizedURL(strCanonical));
  EXPECT_EQ(strCanonical,
            "kept:Action%3DDescribeRegions%26Description%3D%26"
            "Timestamp%3D2021-01-02T03%253A04%253A05Z");
  EXPECT_EQ(request.ConstructURL(),
            "https:///?Action=DescribeRegions&Description=&Timestamp=2021-01-02T03%3A04%3A05Z");
}

TEST(SigningCanonicalText, EncodingKeepsOnlyTheUnreservedSet) {
  SAliCloudRequest request;
  std::string strOut = "stale";
  ASSERT_TRUE(request.EncodeString("", strOut));
  EXPECT_EQ(strOut, "");
  ASSERT_TRUE(request.EncodeString("aZ09-._~ +*/%\xE2\x82\xAC", strOut));
  EXPECT_EQ(strOut, "aZ09-._~%20%2B%2A%2F%25%E2%82%AC");
}

TEST(SigningFailures, EmptyKeyFailsWithCodeOneAndLeavesTheUrl) {
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
  EXPECT_EQ(errSign.GetErrorCode(), 1);
  EXPECT_EQ(errSign.GetErrorMessage(), "Signature key is empty.");
}

TEST(SigningSignature, IsPaddedBase64OfTwentyBytes) {
  SAliCloudRequest request;
  std::string strSignature;
  ASSERT_FALSE(request.ComputeSignature("GET&%2F&A%3D1", "secret", strSignature).IsError());
  ASSERT_EQ(strSignature.size(), 28u);
  EXPECT_EQ(strSignature.back(), '=');
  EXPECT_NE(strSignature[26], '=');
}

TEST(SigningRequestRecord, CopiesCarryTheRequestButNotTheHttpClient) {
  SAliCloudRequest original = DescribeRegionsRequest();
  ASSERT_TRUE(original.InitCurl());
  ASSERT_TRUE(original.bCurlInitialized);

  SAliCloudRequest copy(original);
  EXPECT_FALSE(copy.bCurlInitialized);
  EXPECT_EQ(copy.GetEndPoint(), original.GetEndPoint());
  EXPECT_EQ(copy.GetRequestMethod(), HTTP_GET);
  EXPECT_EQ(copy.vecParameters, original.vecParameters);

  // A retried request is signed as a copy; the original stays as built.
  const auto vecBefore = original.vecParameters;
  std::string strUrl;
  ASSERT_FALSE(copy.GetSignedURL("secret", strUrl).IsError());
  EXPECT_EQ(original.vecParameters, vecBefore);

  SAliCloudRequest assigned;
  assigned = original;
  EXPECT_FALSE(assigned.bCurlInitialized);
  EXPECT_EQ(assigned.vecParameters, vecBefore);
  EXPECT_EQ(assigned.GetEndPoint(), AliCloudEndPoints::CENTRAL);
}

TEST(SigningRequestRecord, NewRequestIsEmptyAndBuildsABareUrl) {
  SAliCloudRequest request;
  EXPECT_EQ(request.GetRequestMethod(), HTTP_DEFAULT);
  EXPECT_FALSE(request.bCurlInitialized);
  request.SetEndPoint("vpc.aliyuncs.com");
  EXPECT_EQ(request.ConstructURL(), "https://vpc.aliyuncs.com/?");
}

TEST(SigningDatabaseEndpoint, EachRegionalRegionGetsItsHostOthersTheCentralOne) {
  const std::vector<std::pair<std::string, std::string>> vecRegional = {
      {"me-east-1", AliRDSCloudEndPoints::DUBAI},
      {"eu-central-1", AliRDSCloudEndPoints::FRANKFURT},
      {"ap-southeast-2", AliRDSCloudEndPoints::SYDNEY},
      {"ap-northeast-1", AliRDSCloudEndPoints::TOKYO},
      {"cn-zhangjiakou", AliRDSCloudEndPoints::ZHANGJIAKOU},
      {"ap-southeast-5", AliRDSCloudEndPoints::JAKARTA},
      {"ap-southeast-3", AliRDSCloudEndPoints::KUALALUMPUR}};
  for (const auto& [strRegion, strHost] : vecRegional) {
    EXPECT_EQ(AliCloudUtils::GetRDSEndPointForRegionId(strRegion), strHost);
    EXPECT_EQ(strHost, "rds." + strRegion + ".aliyuncs.com");
  }
  EXPECT_EQ(AliRDSCloudEndPoints::CENTRAL, "rds.aliyuncs.com");
  // Unlisted, empty and partial region IDs all go to the central host; a
  // substring match would have sent "" and "me-east" to Dubai.
  for (const std::string strRegion :
       {"cn-hangzhou", "ap-southeast-1", "", "me-east", "ap-southeast", "aliyuncs", "rds"}) {
    EXPECT_EQ(AliCloudUtils::GetRDSEndPointForRegionId(strRegion), AliRDSCloudEndPoints::CENTRAL)
        << "[" << strRegion << "]";
  }
}

TEST(SigningDatabaseEndpoint, RegionSpecificRequestStartsWithTheRegion) {
  const SAliCloudRequest request = SAliCloudRequest::GetRegionSpecificRDSRequest("ap-southeast-3");
  EXPECT_EQ(request.GetEndPoint(), "rds.ap-southeast-3.aliyuncs.com");
  ASSERT_EQ(request.vecParameters.size(), 1u);
  EXPECT_EQ(request.vecParameters[0], URLParameter("RegionId", "ap-southeast-3"));
  EXPECT_EQ(SAliCloudRequest::GetRegionSpecificRDSRequest("cn-beijing").GetEndPoint(),
            "rds.aliyuncs.com");
}

// A fixed clock for the time stamp tests.
int64_t g_nClockMicroseconds = 0;
int64_t FixedClock() { return g_nClockMicroseconds; }

class SigningTimeStamp : public ::testing::Test {
 protected:
  void SetUp() override { CTimeStamp::SetClock(&FixedClock); }
  void TearDown() override { CTimeStamp::SetClock(nullptr); }
};

TEST_F(SigningTimeStamp, IsIsoUtcToTheSecond) {
  g_nClockMicroseconds = 1609556645678901;  // 2021-01-02 03:04:05.678901 UTC
  EXPECT_EQ(AliCloudUtils::GetTimeStamp(), "2021-01-02T03:04:05Z");
  g_nClockMicroseconds = 951782400000000;  // 2000-02-29 00:00:00 UTC, a whole second
  EXPECT_EQ(AliCloudUtils::GetTimeStamp(), "2000-02-29T00:00:00Z");
  g_nClockMicroseconds = 1704067199999999;  // 2023-12-31 23:59:59.999999: never rounded up
  EXPECT_EQ(AliCloudUtils::GetTimeStamp(), "2023-12-31T23:59:59Z");
}

TEST(SigningTimeStampNow, HasTheApiShape) {
  const std::string strNow = AliCloudUtils::GetTimeStamp();
  ASSERT_EQ(strNow.size(), 20u) << strNow;
  EXPECT_EQ(strNow[4], '-');
  EXPECT_EQ(strNow[10], 'T');
  EXPECT_EQ(strNow.back(), 'Z');
  EXPECT_EQ(strNow.find('.'), std::string::npos);
}

}  // namespace
}  // namespace AliCloudWrapper
