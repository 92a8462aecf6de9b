// The HTTP layer against the emulator: escaping, verification, connect-to
// routing and the bodies of error answers; and the local instance id from the
// metadata service (plain and token modes, no service at all, the signed
// connection left as it was).
#include <gtest/gtest.h>

#include <curl/curl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <string>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/CAliCloudWrapper.h"
#include "AliCloudWrapper/SAliCloudRequest.h"
#include "AliCloudWrapper/TKLibCurl.h"
#include "EmulatorFixture.h"

namespace AliCloudWrapper {
namespace {

// A loopback port on which nothing listens (bound once, then released).
int ClosedLoopbackPort() {
  sockaddr_in sAddress{};
  sAddress.sin_family = AF_INET;
  sAddress.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t nLength = sizeof(sAddress);
  const int nSocket = socket(AF_INET, SOCK_STREAM, 0);
  const bool bBound = nSocket >= 0 && bind(nSocket, reinterpret_cast<sockaddr*>(&sAddress), sizeof(sAddress)) == 0 &&
                      getsockname(nSocket, reinterpret_cast<sockaddr*>(&sAddress), &nLength) == 0;
  if (nSocket >= 0) close(nSocket);
  return bBound ? ntohs(sAddress.sin_port) : 0;
}

class MetadataInstanceId : public EmulatorFixture {};

// Plain mode needs no credentials and never goes through a proxy named in the
// environment; token mode asks for a token once and repeats the request with it.
// The exchange uses a handle of its own: the signed connection stays kept alive.
TEST_F(MetadataInstanceId, PlainAndTokenModesLeaveTheSignedConnectionAlone) {
  Emulator().SetMetadataInstanceId("i-bp1local0000000042");
  const std::string strProxy = "http://127.0.0.1:" + std::to_string(ClosedLoopbackPort());
  setenv("http_proxy", strProxy.c_str(), 1);
  setenv("HTTP_PROXY", strProxy.c_str(), 1);
  CAliCloudWrapper sFacade;
  std::string strId = "stale";
  sFacade.GetLocalInstanceId(strId);
  unsetenv("http_proxy");
  unsetenv("HTTP_PROXY");
  EXPECT_EQ(strId, "i-bp1local0000000042");
  EXPECT_EQ(Counters().metadataRequests, 1u);
  EXPECT_TRUE(Journal().empty());

  Emulator().SetMetadataTokenMode(AcwEmulator::TokenMode::Required);
  ASSERT_TRUE(sFacade.Connect(KEY_ID, KEY_SECRET));
  strId.clear();
  sFacade.GetLocalInstanceId(strId);
  EXPECT_EQ(strId, "i-bp1local0000000042");
  EXPECT_EQ(Counters().metadataRequests, 4u);  // refused GET, token PUT, GET with the token
  EXPECT_FALSE(Log().Contains("Failed to get local Id."));
  ASSERT_TRUE(sFacade.Connect(KEY_ID, KEY_SECRET));
  EXPECT_EQ(Counters().tcpConnections, 1u);
  EXPECT_EQ(Counters().tlsHandshakes, 1u);
}

TEST_F(MetadataInstanceId, NoMetadataServiceGivesEmptyTextPromptly) {
  const int nPort = ClosedLoopbackPort();
  ASSERT_NE(nPort, 0);
  SetSetting("AliCloudConnectTo", std::string(METADATA_ADDRESS) + ":127.0.0.1:" + std::to_string(nPort));
  CAliCloudWrapper sFacade;
  std::string strId = "stale";
  const auto tStart = std::chrono::steady_clock::now();
  sFacade.GetLocalInstanceId(strId);
  EXPECT_LT(std::chrono::steady_clock::now() - tStart, std::chrono::seconds(3));
  EXPECT_EQ(strId, "");
  size_t nErrors = 0;
  for (const SLogRecord& sRecord : Log().Records()) nErrors += sRecord.bError ? 1 : 0;
  EXPECT_EQ(nErrors, 1u);
  EXPECT_EQ(Log().Count("Failed to get local Id."), 1u);
  EXPECT_EQ(sFacade.GetLastError(), "");
}

std::string Body(const TKLibCurl& sCurl) {
  size_t nLength = 0;
  const char* psz = sCurl.GetHttpResponse(nLength);
  return psz ? std::string(psz, nLength) : std::string("<none>");
}

// libcurl's own escaping is what the service's signature check expects.
TEST(HttpClientEscape, MatchesLibcurlForEveryByteAndMixedText) {
  CURL* pCurl = curl_easy_init();
  ASSERT_NE(pCurl, nullptr);
  auto Check = [&](const std::string& in) {
    char* psz = curl_easy_escape(pCurl, in.data(), static_cast<int>(in.size()));
    std::string out = "stale";
    EXPECT_TRUE(TKLibCurl::TKLibCurlUrlEscape(in, out));
    EXPECT_EQ(out, psz) << "input " << in;
    curl_free(psz);
  };
  for (int c = 0; c < 256; ++c) Check(std::string(1, static_cast<char>(c)));
  Check("a b*c~d/e:f=g&h+i\"j'(k)\xE4\xB8\xAD\xE6\x96\x87-._%");
  Check("");
  curl_easy_cleanup(pCurl);
}

TEST(HttpClientOptions, OnlyLongOptionsAreAccepted) {
  TKLibCurl sCurl;
  EXPECT_TRUE(sCurl.TKLibCurlSetAdditionalOptionsIntValue(CURLOPT_TIMEOUT, 20));
  // A pointer option given an int would crash inside libcurl.
  for (int nOption : {int(CURLOPT_URL), int(CURLOPT_WRITEFUNCTION), 0}) {
    EXPECT_FALSE(sCurl.TKLibCurlSetAdditionalOptionsIntValue(nOption, 1)) << nOption;
  }
}

class HttpClientTest : public EmulatorFixture {
 protected:
  // A request the emulator's gateway accepts, signed by the request record.
  std::string SignedUrl() {
    static std::mt19937 s_nonces{std::random_device{}()};
    SAliCloudRequest sRequest;
    sRequest.SetEndPoint(AliCloudEndPoints::CENTRAL);
    sRequest.SetRequestMethod(HTTP_GET);
    using namespace AliCloudParameterNames;
    for (const auto& [strName, strValue] :
         {URLParameter(ACTION, "DescribeRegions"), URLParameter(VERSION, "2014-05-26"), URLParameter(FORMAT, "JSON"),
          URLParameter(ACCESS_KEY_ID, KEY_ID), URLParameter(SIGNATURE_METHOD, "HMAC-SHA1"),
          URLParameter(TIMESTAMP, AliCloudUtils::GetTimeStamp()), URLParameter(SIGNATURE_VERSION, "1.0"),
          URLParameter(SIGNATURE_NONCE, std::to_string(s_nonces()))}) {
      sRequest.AddURLParameter(strName, strValue);
    }
    std::string strUrl;
    EXPECT_FALSE(sRequest.GetSignedURL(KEY_SECRET, strUrl).IsError());
    return strUrl;
  }
  // Sends a signed request and expects no answer: no status, a transport error, no body.
  void ExpectNoAnswer(TKLibCurl& sCurl, const std::string& strUrl) {
    EXPECT_FALSE(sCurl.TKLibCurlSendHttpReq(TKLibCurl::REQ_GET, strUrl.c_str()));
    EXPECT_EQ(sCurl.GetLastHttpStatus(), 0) << Body(sCurl);
    EXPECT_NE(sCurl.GetLastTransportError(), "");
    size_t nLength = 99;
    EXPECT_EQ(sCurl.GetHttpResponse(nLength), nullptr);
    EXPECT_EQ(nLength, 0u);
  }
};

// The real host name travels in the URL (and is verified against the emulator's
// certificate); the connect-to mapping only changes where it connects. An error
// status is a false result with its body kept; a later transfer that fails keeps
// no body at all, never the previous one; the handle then recovers.
TEST_F(HttpClientTest, AnswersKeepTheirBodyAndFailedTransfersKeepNone) {
  TKLibCurl sCurl;
  ASSERT_TRUE(sCurl.TKLibCurlInit());
  ASSERT_TRUE(sCurl.TKLibCurlSendHttpReq(TKLibCurl::REQ_GET, SignedUrl().c_str()))
      << sCurl.GetLastTransportError() << " " << Body(sCurl);
  EXPECT_EQ(sCurl.GetLastHttpStatus(), 200);
  EXPECT_NE(Body(sCurl).find("\"Regions\""), std::string::npos);
  ASSERT_EQ(Journal().size(), 1u);
  EXPECT_EQ(Journal()[0].host, "ecs.aliyuncs.com");

  EXPECT_FALSE(sCurl.TKLibCurlSendHttpReq(TKLibCurl::REQ_GET, "https://ecs.aliyuncs.com/?Action=DescribeRegions"));
  EXPECT_GE(sCurl.GetLastHttpStatus(), 400);
  EXPECT_NE(Body(sCurl).find("\"Code\""), std::string::npos) << Body(sCurl);
  EXPECT_EQ(sCurl.GetLastTransportError(), "");

  InjectFault(AcwEmulator::FaultKind::CloseBeforeAnswer, "DescribeRegions", 1);
  ExpectNoAnswer(sCurl, SignedUrl());
  InjectFault(AcwEmulator::FaultKind::CloseMidBody, "DescribeRegions", 1);
  ExpectNoAnswer(sCurl, SignedUrl());

  // No signed request was ever sent twice (a resend would be refused as a replayed nonce).
  EXPECT_TRUE(sCurl.TKLibCurlSendHttpReq(TKLibCurl::REQ_GET, SignedUrl().c_str()));
  for (const auto& sEntry : Journal()) EXPECT_NE(sEntry.code, "SignatureNonceUsed");
}

// Verification is always on: a host name the certificate does not name fails
// before any request is read. (An untrusted authority: see the answer checks.)
TEST_F(HttpClientTest, WrongHostNameIsRefused) {
  TKLibCurl sCurl;
  ExpectNoAnswer(sCurl, "https://www.example.org/");
  EXPECT_EQ(Counters().apiRequests, 0u);
}

}  // namespace
}  // namespace AliCloudWrapper
