// The request record and its helpers: duplicate and case-sensitive parameter
// order, failures, copies, the database endpoint choice and the time stamp.
// The signing steps and the percent-encoding are pinned by the vectors.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/SAliCloudRequest.h"
#include "host/CTimeStamp.h"

namespace AliCloudWrapper {
namespace {

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
