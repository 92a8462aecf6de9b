// The connection core against the emulator, through the real HTTP stack:
// retries and pauses, error documents, nonces, request consumption, keep-alive.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <atomic>
#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/CAliCloudConnectionBase.h"
#include "AliCloudWrapper/EvEvent.h"
#include "EmulatorFixture.h"
#include "host/CTimeStamp.h"
#include "host/TkJson.h"

namespace AliCloudWrapper {
namespace {

using AcwEmulator::Fault;
using AcwEmulator::FaultKind;

const char* const NO_ANSWER = "Request did not complete successfully. Failed to parse error response.";

// The smallest service connection: the compute service's version and host.
class CTestConnection : public CAliCloudConnectionBase {
 public:
  CTestConnection(const std::string& strId, const std::string& strSecret)
      : CAliCloudConnectionBase(strId, strSecret) {
    InitializeRandomNumGenerator();
  }
  CZeError Connect() override { return CZeError(); }
  CZeError ExecuteRequest(SAliCloudRequest& sRequest, std::string& strResponse, bool bRetry) override {
    if (sRequest.GetEndPoint().empty()) sRequest.SetEndPoint(AliCloudEndPoints::CENTRAL);
    return CAliCloudConnectionBase::ExecuteRequest(sRequest, strResponse, bRetry);
  }
  std::string GetTagName(ETagType eTag) override { return eTag == TAG_TOTAL_COUNT ? "TotalCount" : ""; }
  void AddPublicParameters(SAliCloudRequest& sRequest) override {
    sRequest.AddURLParameter(AliCloudParameterNames::VERSION, "2014-05-26");
    CAliCloudConnectionBase::AddPublicParameters(sRequest);
  }
  std::string LastTransportError() const { return sCurl.GetLastTransportError(); }
};

SAliCloudRequest DescribeRegions() {
  SAliCloudRequest sRequest;
  sRequest.AddURLParameter(AliCloudParameterNames::ACTION, "DescribeRegions");
  return sRequest;
}

class ConnectionCoreTest : public EmulatorFixture {
 protected:
  CTestConnection sConnection{KEY_ID, KEY_SECRET};

  CZeError Execute(bool bRetry, std::string& strResponse) {
    SAliCloudRequest sRequest = DescribeRegions();
    return sConnection.ExecuteRequest(sRequest, strResponse, bRetry);
  }
  size_t Attempts() const { return JournalOf("DescribeRegions").size(); }
};

TEST_F(ConnectionCoreTest, SuccessBodyComesBackUnchangedWhateverItHolds) {
  std::string strResponse;
  ASSERT_FALSE(Execute(false, strResponse).IsError()) << Log().Dump();
  mObject sDocument;
  ASSERT_TRUE(TkJson::Unserialize(strResponse, sDocument)) << strResponse;
  EXPECT_NE(sDocument.count("RequestId"), 0u);
  EXPECT_NE(sDocument.count("Regions"), 0u);

  // A 2xx answer is success without looking at the body, even one that is not JSON.
  InjectFault(FaultKind::NotJson, "DescribeRegions", 1, 200);
  ASSERT_FALSE(Execute(true, strResponse).IsError());
  EXPECT_FALSE(strResponse.empty());
  EXPECT_FALSE(TkJson::Unserialize(strResponse, sDocument));
  EXPECT_TRUE(Sleeps().Pauses().empty());
}

TEST_F(ConnectionCoreTest, CommonParametersAreSentSignedInOrder) {
  std::string strResponse;
  ASSERT_FALSE(Execute(false, strResponse).IsError()) << strResponse;
  const auto vecEntries = JournalOf("DescribeRegions");
  ASSERT_EQ(vecEntries.size(), 1u);
  std::vector<std::string> vecNames;
  for (const auto& sPair : vecEntries[0].params) vecNames.push_back(sPair.first);
  const std::vector<std::string> vecExpected = {
      "AccessKeyId", "Action", "Format", "SignatureMethod", "SignatureNonce", "SignatureVersion",
      "Timestamp", "Version", "Signature"};
  EXPECT_EQ(vecNames, vecExpected);
  EXPECT_EQ(Param(vecEntries[0], "Format"), "JSON");
  EXPECT_EQ(Param(vecEntries[0], "Version"), "2014-05-26");
  EXPECT_EQ(Param(vecEntries[0], "AccessKeyId"), KEY_ID);
}

// Unanswered requests: attempts in all and pauses between them, as the settings say.
TEST_F(ConnectionCoreTest, UnansweredRequestIsAttemptedAsConfigured) {
  struct SCase {
    std::optional<uint64_t> nRetries;
    std::optional<uint64_t> nPauseSec;
    size_t nAttempts;
    std::vector<uint64_t> vecPauses;
  };
  const std::vector<SCase> vecCases = {
      {std::nullopt, std::nullopt, 3, {30000, 30000}},  // the defaults
      {0, std::nullopt, 1, {}},                         // at least one attempt
      {1, std::nullopt, 1, {}},
      {4, 0, 4, {0, 0, 0}},                             // no pause at all
      {2, 7, 2, {7000}},
  };
  for (const SCase& sCase : vecCases) {
    SCOPED_TRACE(testing::Message() << "retries " << sCase.nRetries.value_or(99) << " pause "
                                    << sCase.nPauseSec.value_or(99));
    std::vector<std::unique_ptr<ScopedSetting>> vecSettings;
    if (sCase.nRetries) vecSettings.push_back(std::make_unique<ScopedSetting>(CAliCloudConnectionBase::RETRY_COUNT, *sCase.nRetries));
    if (sCase.nPauseSec) vecSettings.push_back(std::make_unique<ScopedSetting>(CAliCloudConnectionBase::RETRY_SLEEP_IN_SEC, *sCase.nPauseSec));
    Emulator().ClearJournal();
    Emulator().ClearFaults();
    Log().Clear();
    ScopedSleepRecorder sSleeps;
    InjectFault(FaultKind::CloseBeforeAnswer, "DescribeRegions", 10);

    std::string strResponse = "left over";
    const CZeError sError = Execute(true, strResponse);
    ASSERT_TRUE(sError.IsError());
    EXPECT_EQ(sError.GetErrorCode(), 1);
    EXPECT_EQ(sError.AsString(EErrorOutputFormat(2)), NO_ANSWER);
    EXPECT_EQ(strResponse, "");
    EXPECT_EQ(Attempts(), sCase.nAttempts);
    EXPECT_EQ(sSleeps.Pauses(), sCase.vecPauses);
    const std::string strRetryLine =
        "Retrying after [" + std::to_string(sCase.nPauseSec.value_or(30)) + "] seconds...";
    EXPECT_EQ(Log().Count(strRetryLine), sCase.vecPauses.size());
  }
}

TEST_F(ConnectionCoreTest, ErrorDocumentIsNeverRetriedAndNamesTheCode) {
  for (int nStatus : {400, 500, 503}) {
    Emulator().ClearJournal();
    Fault sFault = MakeFault(FaultKind::ErrorResponse, "DescribeRegions", 3);
    sFault.status = nStatus;
    sFault.code = "Throttling.User";
    InjectFault(sFault);
    std::string strResponse;
    const CZeError sError = Execute(true, strResponse);
    ASSERT_TRUE(sError.IsError());
    EXPECT_EQ(sError.AsString(EErrorOutputFormat(2)), "Error code: Throttling.User");
    EXPECT_NE(strResponse.find("Throttling.User"), std::string::npos) << "the error body is kept";
    EXPECT_EQ(Attempts(), 1u) << nStatus;
    Emulator().ClearFaults();
  }
  EXPECT_TRUE(Sleeps().Pauses().empty());
  EXPECT_GE(Log().Count("Error response obtained from server is : ["), 3u);

  // A body that is not an error document is still an answer: not retried either.
  Emulator().ClearJournal();
  InjectFault(FaultKind::NotJson, "DescribeRegions", 3);
  std::string strResponse;
  const CZeError sError = Execute(true, strResponse);
  EXPECT_EQ(sError.AsString(EErrorOutputFormat(2)), NO_ANSWER);
  EXPECT_FALSE(strResponse.empty());
  EXPECT_EQ(Attempts(), 1u);
}

// Empty error bodies and bodies cut off mid-way are "no answer": retried, and
// the attempt after them can succeed.
TEST_F(ConnectionCoreTest, EmptyAndTruncatedAnswersAreRetried) {
  InjectFault(FaultKind::EmptyErrorBody, "DescribeRegions", 1);
  InjectFault(FaultKind::CloseMidBody, "DescribeRegions", 1);
  std::string strResponse;
  ASSERT_FALSE(Execute(true, strResponse).IsError()) << Log().Dump();
  EXPECT_EQ(Attempts(), 3u);
  EXPECT_EQ(Sleeps().Pauses(), (std::vector<uint64_t>{30000, 30000}));
  mObject sDocument;
  EXPECT_TRUE(TkJson::Unserialize(strResponse, sDocument)) << strResponse;

  // Without retry, a body cut off mid-way fails with an empty response.
  InjectFault(FaultKind::CloseMidBody, "DescribeRegions", 1);
  const CZeError sError = Execute(false, strResponse);
  EXPECT_EQ(sError.AsString(EErrorOutputFormat(2)), NO_ANSWER);
  EXPECT_EQ(strResponse, "");
}

std::atomic<int64_t> g_nClockMicros{0};
int64_t SteppingClock() { return g_nClockMicros.fetch_add(1000000) ; }

TEST_F(ConnectionCoreTest, EachAttemptCarriesAFreshNonceAndTimeStamp) {
  // A clock that moves one second at each reading, starting now.
  g_nClockMicros = std::chrono::duration_cast<std::chrono::microseconds>(
                       std::chrono::system_clock::now().time_since_epoch()).count();
  CTimeStamp::SetClock(&SteppingClock);
  InjectFault(FaultKind::EmptyErrorBody, "DescribeRegions", 2);
  std::string strResponse;
  const CZeError sError = Execute(true, strResponse);
  CTimeStamp::SetClock(nullptr);
  ASSERT_FALSE(sError.IsError()) << Log().Dump();

  std::set<std::string> setNonces;
  std::set<std::string> setTimes;
  for (const auto& sEntry : JournalOf("DescribeRegions")) {
    setNonces.insert(Param(sEntry, "SignatureNonce").value_or(""));
    setTimes.insert(Param(sEntry, "Timestamp").value_or(""));
  }
  EXPECT_EQ(setNonces.size(), 3u);
  EXPECT_EQ(setTimes.size(), 3u);
}

TEST_F(ConnectionCoreTest, CallersRequestIsKeptWithRetryAndConsumedWithout) {
  SAliCloudRequest sKept = DescribeRegions();
  std::string strResponse;
  ASSERT_FALSE(sConnection.ExecuteRequest(sKept, strResponse, true).IsError());
  ASSERT_EQ(sKept.vecParameters.size(), 1u);
  EXPECT_EQ(sKept.vecParameters[0], URLParameter("Action", "DescribeRegions"));
  EXPECT_EQ(sKept.GetRequestMethod(), HTTP_DEFAULT);
  EXPECT_EQ(sKept.GetEndPoint(), AliCloudEndPoints::CENTRAL) << "the service's endpoint rule applies";

  SAliCloudRequest sConsumed = DescribeRegions();
  ASSERT_FALSE(sConnection.ExecuteRequest(sConsumed, strResponse, false).IsError());
  EXPECT_EQ(sConsumed.GetRequestMethod(), HTTP_GET);
  ASSERT_EQ(sConsumed.vecParameters.size(), 9u);
  EXPECT_EQ(sConsumed.vecParameters.back().first, "Signature");
}

TEST_F(ConnectionCoreTest, RefusedSignatureReadsSignatureDoesNotMatch) {
  CTestConnection sWrong(KEY_ID, "not-the-secret");
  SAliCloudRequest sRequest = DescribeRegions();
  std::string strResponse;
  const CZeError sError = sWrong.ExecuteRequest(sRequest, strResponse, true);
  ASSERT_TRUE(sError.IsError());
  EXPECT_EQ(sError.AsString(EErrorOutputFormat(2)), "Error code: SignatureDoesNotMatch");
  EXPECT_EQ(Journal().size(), 1u);
  // Each layer the error passed through is on its trace.
  EXPECT_GE(sError.GetTrace().size(), 3u);
  EXPECT_FALSE(Log().Contains("not-the-secret"));
}

// The only test that waits: a server that sends nothing is abandoned after the
// low-speed time-out instead of holding the caller for ever.
TEST_F(ConnectionCoreTest, StalledServerIsAbandonedWithinTheLowSpeedTimeOut) {
  SetSetting("nAliCloudLowSpeedTimeOutInSec", uint64_t{1});
  SetSetting(CAliCloudConnectionBase::RETRY_COUNT, uint64_t{1});
  CTestConnection sConnectionShortTimeOut(KEY_ID, KEY_SECRET);
  InjectFault(FaultKind::Stall, "DescribeRegions", 1);
  SAliCloudRequest sRequest = DescribeRegions();
  std::string strResponse;
  const auto tStart = std::chrono::steady_clock::now();
  const CZeError sError = sConnectionShortTimeOut.ExecuteRequest(sRequest, strResponse, true);
  const auto nElapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now() - tStart).count();
  EXPECT_EQ(sError.AsString(EErrorOutputFormat(2)), NO_ANSWER);
  EXPECT_EQ(strResponse, "");
  EXPECT_LT(nElapsedMs, 10000);
  EXPECT_NE(sConnectionShortTimeOut.LastTransportError(), "");
}

TEST_F(ConnectionCoreTest, HundredRequestsShareOneConnectionAndOneHandshake) {
  std::string strResponse;
  for (int n = 0; n < 100; ++n) {
    ASSERT_FALSE(Execute(n % 2 == 0, strResponse).IsError()) << n << " " << strResponse;
  }
  const AcwEmulator::Counters sCounters = Counters();
  EXPECT_EQ(sCounters.apiRequests, 100u);
  EXPECT_EQ(sCounters.tcpConnections, 1u);
  EXPECT_EQ(sCounters.tlsHandshakes, 1u);
}

// A kept-alive connection closed without an answer: the transport does not
// resend the signed request (its nonce is spent); the retry signs a new one.
TEST_F(ConnectionCoreTest, ConnectionClosedWithoutAnswerIsRetriedFreshlySigned) {
  std::string strResponse;
  ASSERT_FALSE(Execute(false, strResponse).IsError()) << strResponse;  // the kept connection
  InjectFault(FaultKind::CloseBeforeAnswer, "DescribeRegions", 1);
  ASSERT_FALSE(Execute(true, strResponse).IsError()) << strResponse;
  EXPECT_EQ(Attempts(), 3u);
  EXPECT_EQ(Sleeps().Pauses().size(), 1u);
  for (const auto& sEntry : Journal()) EXPECT_NE(sEntry.code, "SignatureNonceUsed");

  // Without retry the failure is reported, and the connection stays usable.
  InjectFault(FaultKind::CloseBeforeAnswer, "DescribeRegions", 1);
  const CZeError sError = Execute(false, strResponse);
  EXPECT_EQ(sError.AsString(EErrorOutputFormat(2)), NO_ANSWER);
  EXPECT_FALSE(Execute(false, strResponse).IsError()) << strResponse;
  for (const auto& sEntry : Journal()) EXPECT_NE(sEntry.code, "SignatureNonceUsed");
}

// Two connections made in the same second on the same thread must not share a
// nonce sequence: the service would refuse the second one's nonces as replays.
TEST(ConnectionCoreGenerator, ConnectionsMadeTogetherDrawDifferentSequences) {
  CTestConnection sFirst("id", "secret");
  CTestConnection sSecond("id", "secret");
  std::vector<int> vecFirst;
  std::vector<int> vecSecond;
  for (int n = 0; n < 4; ++n) {
    vecFirst.push_back(sFirst.GetIdempotenceToken());
    vecSecond.push_back(sSecond.GetIdempotenceToken());
  }
  EXPECT_NE(vecFirst, vecSecond);
  for (int nToken : vecFirst) {
    EXPECT_GE(nToken, 1);
    EXPECT_LE(nToken, 2147483646);
  }
  // Reseeding one connection twice in a row does not repeat its sequence either.
  sFirst.InitializeRandomNumGenerator();
  const int nAfterFirstSeed = sFirst.GetIdempotenceToken();
  sFirst.InitializeRandomNumGenerator();
  EXPECT_NE(sFirst.GetIdempotenceToken(), nAfterFirstSeed);
}

// The secret never reaches a log line while a connection holds it, is withdrawn
// when replaced, and stays redacted while another connection still holds it.
TEST(ConnectionCoreSecret, HeldSecretsAreRedactedFromEveryLogLine) {
  ScopedLogCapture sLog(5);
  const EvEvent sEvent;
  auto LogBoth = [&] { sEvent.Error("test", "[%s] [%s]", "first-secret-text", "second-secret-text"); };
  {
    CTestConnection sA("id", "first-secret-text");
    CTestConnection sB("id", "first-secret-text");
    LogBoth();
    sA.SetAccessKeySecret("second-secret-text");
    LogBoth();
  }
  LogBoth();
  const std::vector<std::string> vecMessages = sLog.Messages();
  ASSERT_EQ(vecMessages.size(), 3u);
  EXPECT_EQ(vecMessages[0], "[***] [second-secret-text]");
  EXPECT_EQ(vecMessages[1], "[***] [***]") << "sB still holds the first secret";
  EXPECT_EQ(vecMessages[2], "[first-secret-text] [second-secret-text]");
}

}  // namespace
}  // namespace AliCloudWrapper
