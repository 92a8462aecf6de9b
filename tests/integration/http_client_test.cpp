// The HTTP client against the emulator: escaping, verification, connect-to
// routing, bodies of error answers, method changes on a kept handle.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/SAliCloudRequest.h"
#include "AliCloudWrapper/TKLibCurl.h"
#include "EmulatorFixture.h"

namespace AliCloudWrapper {
namespace {

std::string Body(const TKLibCurl& sCurl) {
  size_t nLength = 0;
  const char* psz = sCurl.GetHttpResponse(nLength);
  return psz ? std::string(psz, nLength) : std::string("<none>");
}

// libcurl's own escaping is what the service's signature check expects.
TEST(HttpClientEscape, MatchesLibcurlForEveryByteAndMixedText) {
  CURL* pCurl = curl_easy_init();
  ASSERT_NE(pCurl, nullptr);
  auto Expected = [&](const std::string& in) {
    char* psz = curl_easy_escape(pCurl, in.data(), static_cast<int>(in.size()));
    std::string str(psz);
    curl_free(psz);
    return str;
  };
  for (int c = 0; c < 256; ++c) {
    const std::string in(1, static_cast<char>(c));
    std::string out;
    EXPECT_TRUE(TKLibCurl::TKLibCurlUrlEscape(in, out));
    EXPECT_EQ(out, Expected(in)) << "byte " << c;
  }
  const std::string strMixed = "a b*c~d/e:f=g&h+i\"j'(k)\xE4\xB8\xAD\xE6\x96\x87-._%";
  std::string out = "stale";
  EXPECT_TRUE(TKLibCurl::TKLibCurlUrlEscape(strMixed, out));
  EXPECT_EQ(out, Expected(strMixed));
  EXPECT_TRUE(TKLibCurl::TKLibCurlUrlEscape("", out));
  EXPECT_EQ(out, "");
  curl_easy_cleanup(pCurl);
}

TEST(HttpClientOptions, OnlyLongOptionsAreAccepted) {
  TKLibCurl sCurl;
  EXPECT_TRUE(sCurl.TKLibCurlSetAdditionalOptionsIntValue(CURLOPT_TIMEOUT, 20));
  // A pointer option given an int would crash inside libcurl.
  EXPECT_FALSE(sCurl.TKLibCurlSetAdditionalOptionsIntValue(CURLOPT_URL, 1));
  EXPECT_FALSE(sCurl.TKLibCurlSetAdditionalOptionsIntValue(CURLOPT_WRITEFUNCTION, 1));
  EXPECT_FALSE(sCurl.TKLibCurlSetAdditionalOptionsIntValue(0, 1));
}

class HttpClientTest : public EmulatorFixture {
 protected:
  // A request the emulator's gateway accepts, signed by the request record.
  std::string SignedUrl(const std::string& strAction) {
    static std::mt19937 s_nonces{std::random_device{}()};
    SAliCloudRequest sRequest;
    sRequest.SetEndPoint(AliCloudEndPoints::CENTRAL);
    sRequest.SetRequestMethod(HTTP_GET);
    sRequest.AddURLParameter(AliCloudParameterNames::ACTION, strAction);
    sRequest.AddURLParameter(AliCloudParameterNames::VERSION, "2014-05-26");
    sRequest.AddURLParameter(AliCloudParameterNames::FORMAT, "JSON");
    sRequest.AddURLParameter(AliCloudParameterNames::ACCESS_KEY_ID, KEY_ID);
    sRequest.AddURLParameter(AliCloudParameterNames::SIGNATURE_METHOD, "HMAC-SHA1");
    sRequest.AddURLParameter(AliCloudParameterNames::TIMESTAMP, AliCloudUtils::GetTimeStamp());
    sRequest.AddURLParameter(AliCloudParameterNames::SIGNATURE_VERSION, "1.0");
    sRequest.AddURLParameter(AliCloudParameterNames::SIGNATURE_NONCE, std::to_string(s_nonces()));
    std::string strUrl;
    EXPECT_FALSE(sRequest.GetSignedURL(KEY_SECRET, strUrl).IsError());
    return strUrl;
  }
  std::string MetadataUrl(const std::string& strPath) {
    return std::string("http://") + METADATA_ADDRESS + strPath;
  }
};

// The real host name travels in the URL (and is verified against the
// emulator's certificate); the connect-to mapping only changes where it connects.
TEST_F(HttpClientTest, SignedRequestReachesTheEmulatorUnderTheRealHostName) {
  TKLibCurl sCurl;
  ASSERT_TRUE(sCurl.TKLibCurlInit());
  ASSERT_TRUE(sCurl.TKLibCurlSendHttpReq(TKLibCurl::REQ_GET, SignedUrl("DescribeRegions").c_str()))
      << sCurl.GetLastTransportError() << " " << Body(sCurl);
  EXPECT_EQ(sCurl.GetLastHttpStatus(), 200);
  EXPECT_NE(Body(sCurl).find("\"Regions\""), std::string::npos);
  const auto vecJournal = Journal();
  ASSERT_EQ(vecJournal.size(), 1u);
  EXPECT_EQ(vecJournal[0].host, "ecs.aliyuncs.com");
  EXPECT_EQ(vecJournal[0].method, "GET");
}

// An error status is a false result, but its body is kept; a later transfer
// that fails keeps no body at all, never the previous one.
TEST_F(HttpClientTest, ErrorAnswersKeepTheirBodyAndFailedTransfersKeepNone) {
  TKLibCurl sCurl;
  EXPECT_FALSE(sCurl.TKLibCurlSendHttpReq(TKLibCurl::REQ_GET,
                                          "https://ecs.aliyuncs.com/?Action=DescribeRegions"));
  EXPECT_GE(sCurl.GetLastHttpStatus(), 400);
  EXPECT_NE(Body(sCurl).find("\"Code\""), std::string::npos) << Body(sCurl);
  EXPECT_EQ(sCurl.GetLastTransportError(), "");

  InjectFault(AcwEmulator::FaultKind::CloseBeforeAnswer, "DescribeRegions", 1);
  EXPECT_FALSE(sCurl.TKLibCurlSendHttpReq(TKLibCurl::REQ_GET, SignedUrl("DescribeRegions").c_str()));
  EXPECT_EQ(sCurl.GetLastHttpStatus(), 0) << Body(sCurl);
  EXPECT_NE(sCurl.GetLastTransportError(), "");
  size_t nLength = 99;
  EXPECT_EQ(sCurl.GetHttpResponse(nLength), nullptr);
  EXPECT_EQ(nLength, 0u);

  // A body cut off in the middle is not an answer either.
  InjectFault(AcwEmulator::FaultKind::CloseMidBody, "DescribeRegions", 1);
  EXPECT_FALSE(sCurl.TKLibCurlSendHttpReq(TKLibCurl::REQ_GET, SignedUrl("DescribeRegions").c_str()));
  EXPECT_EQ(sCurl.GetHttpResponse(nLength), nullptr);

  // And the handle recovers for the next request. No signed request was ever
  // sent twice (a resend would be refused as a replayed nonce).
  EXPECT_TRUE(sCurl.TKLibCurlSendHttpReq(TKLibCurl::REQ_GET, SignedUrl("DescribeRegions").c_str()));
  for (const auto& sEntry : Journal()) EXPECT_NE(sEntry.code, "SignatureNonceUsed");
}

// PUT with headers, then GETs with and without them, on one kept handle: each
// request sets its own method and headers.
TEST_F(HttpClientTest, MetadataTokenExchangeOverPlainHttp) {
  Emulator().SetMetadataInstanceId("i-fixture-42");
  Emulator().SetMetadataTokenMode(AcwEmulator::TokenMode::Required);
  TKLibCurl sCurl;
  sCurl.TKLibCurlSetNoProxy(true);
  sCurl.TKLibCurlSetConnectTimeoutMs(2000);

  EXPECT_FALSE(sCurl.TKLibCurlSendHttpReq(TKLibCurl::REQ_GET,
                                          MetadataUrl("/latest/meta-data/instance-id").c_str()));
  EXPECT_EQ(sCurl.GetLastHttpStatus(), 401);

  sCurl.TKLibCurlSetHeaders({"X-aliyun-ecs-metadata-token-ttl-seconds: 60"});
  ASSERT_TRUE(sCurl.TKLibCurlSendHttpReq(TKLibCurl::REQ_PUT, MetadataUrl("/latest/api/token").c_str()))
      << sCurl.GetLastHttpStatus() << " " << Body(sCurl);
  const std::string strToken = Body(sCurl);
  ASSERT_FALSE(strToken.empty());

  sCurl.TKLibCurlSetHeaders({"X-aliyun-ecs-metadata-token: " + strToken});
  ASSERT_TRUE(sCurl.TKLibCurlSendHttpReq(TKLibCurl::REQ_GET,
                                         MetadataUrl("/latest/meta-data/instance-id").c_str()))
      << sCurl.GetLastHttpStatus() << " " << Body(sCurl);
  EXPECT_EQ(Body(sCurl), "i-fixture-42");

  sCurl.TKLibCurlSetHeaders({});
  EXPECT_FALSE(sCurl.TKLibCurlSendHttpReq(TKLibCurl::REQ_GET,
                                          MetadataUrl("/latest/meta-data/instance-id").c_str()));
  EXPECT_EQ(sCurl.GetLastHttpStatus(), 401);
}

// Verification is always on: a server whose CA is not trusted, and a host name
// the certificate does not name, both fail before any request is read.
TEST_F(HttpClientTest, UntrustedCertificateAndWrongHostNameAreRefused) {
  AcwEmulator::Emulator sOther;
  sOther.Start();
  {
    SetSetting("AliCloudCABundle", sOther.CaFile());
    TKLibCurl sCurl;
    EXPECT_FALSE(sCurl.TKLibCurlSendHttpReq(TKLibCurl::REQ_GET, SignedUrl("DescribeRegions").c_str()));
    EXPECT_EQ(sCurl.GetLastHttpStatus(), 0);
    EXPECT_NE(sCurl.GetLastTransportError(), "");
    size_t nLength = 0;
    EXPECT_EQ(sCurl.GetHttpResponse(nLength), nullptr);
  }
  SetSetting("AliCloudCABundle", Emulator().CaFile());
  TKLibCurl sCurl;
  EXPECT_FALSE(sCurl.TKLibCurlSendHttpReq(TKLibCurl::REQ_GET, "https://www.example.org/"));
  EXPECT_EQ(sCurl.GetLastHttpStatus(), 0);
  EXPECT_NE(sCurl.GetLastTransportError(), "");
  EXPECT_EQ(Counters().apiRequests, 0u);
  sOther.Stop();
}

}  // namespace
}  // namespace AliCloudWrapper
