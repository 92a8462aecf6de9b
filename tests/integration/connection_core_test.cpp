// The connection core against the emulator, through the real HTTP stack:
// retries and pauses, error documents, nonces, request consumption,
// keep-alive, and what a failed exchange tells its caller.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/CAliCloudConnectionBase.h"
#include "AliCloudWrapper/CAliCloudVPCConnection.h"
#include "AliCloudWrapper/EvEvent.h"
#include "EmulatorFixture.h"
#include "TestSupport.h"
#include "host/CTimeStamp.h"
#include "host/TkJson.h"

namespace AliCloudWrapper {
namespace {

using AcwEmulator::FaultKind;

// Nothing usable arrived: the text goes on with libcurl's reason.
const char* const NO_ANSWER = "Request did not complete successfully: ";
const char* const UNREADABLE = "Request did not complete successfully. Failed to parse error response.";

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

std::string Text(const CZeError& sError) { return sError.AsString(EErrorOutputFormat(2)); }

class ConnectionCoreTest : public EmulatorFixture {
 protected:
  CTestConnection sConnection{KEY_ID, KEY_SECRET};
  std::string strResponse;

  CZeError Execute(bool bRetry, CTestConnection* pConnection = nullptr) {
    SAliCloudRequest sRequest = DescribeRegions();
    return (pConnection ? *pConnection : sConnection).ExecuteRequest(sRequest, strResponse, bRetry);
  }
  size_t Attempts() const { return JournalOf("DescribeRegions").size(); }
};

// Common parameters go out signed and sorted; a 2xx answer is success with its
// body unchanged, unless that body is no JSON object: then it is an unreadable
// answer, kept for the log but neither a success nor sent again.
TEST_F(ConnectionCoreTest, SuccessSendsSortedSignedParametersAndReturnsTheBodyUnchanged) {
  ASSERT_FALSE(Execute(false).IsError()) << Log().Dump();
  mObject sDocument;
  ASSERT_TRUE(TkJson::Unserialize(strResponse, sDocument)) << strResponse;
  EXPECT_NE(sDocument.count("Regions"), 0u);
  std::vector<std::string> vecNames;
  const auto vecEntries = JournalOf("DescribeRegions");
  for (const auto& sPair : vecEntries.at(0).params) vecNames.push_back(sPair.first);
  EXPECT_EQ(vecNames, (std::vector<std::string>{"AccessKeyId", "Action", "Format", "SignatureMethod",
                                                "SignatureNonce", "SignatureVersion", "Timestamp", "Version",
                                                "Signature"}));

  InjectFault(FaultKind::NotJson, "DescribeRegions", 1, 200);
  const CZeError sUnreadable = Execute(true);
  EXPECT_EQ(sUnreadable.GetKind(), EErrorKind::UNREADABLE_ANSWER);
  EXPECT_EQ(sUnreadable.GetHttpStatus(), 200);
  EXPECT_EQ(Attempts(), 2u);
  EXPECT_FALSE(strResponse.empty());
  EXPECT_FALSE(TkJson::Unserialize(strResponse, sDocument));
  EXPECT_TRUE(Sleeps().Pauses().empty());
}

// Unanswered requests: attempts in all and pauses between them, as the settings
// say when the connection makes its first request (a later change of the
// settings is for connections made later).
TEST_F(ConnectionCoreTest, UnansweredRequestIsAttemptedAsConfigured) {
  struct SCase {
    std::optional<uint64_t> nRetries, nPauseSec;
    size_t nAttempts;
    std::vector<uint64_t> vecPauses;
  };
  const SCase aCases[] = {
      {std::nullopt, std::nullopt, 3, {30000, 30000}},  // the defaults
      {0, std::nullopt, 1, {}},                         // at least one attempt
      {4, 0, 4, {0, 0, 0}},                             // no pause at all
      {2, 7, 2, {7000}},
  };
  for (const SCase& sCase : aCases) {
    SCOPED_TRACE(testing::Message() << "retries " << sCase.nRetries.value_or(99) << " pause "
                                    << sCase.nPauseSec.value_or(99));
    std::optional<ScopedSetting> sRetries, sPause;
    if (sCase.nRetries) sRetries.emplace(CAliCloudConnectionBase::RETRY_COUNT, *sCase.nRetries);
    if (sCase.nPauseSec) sPause.emplace(CAliCloudConnectionBase::RETRY_SLEEP_IN_SEC, *sCase.nPauseSec);
    CTestConnection sFresh(KEY_ID, KEY_SECRET);
    for (const bool bSettingsChangedSince : {false, true}) {
      Emulator().ClearJournal();
      Emulator().ClearFaults();
      Log().Clear();
      ScopedSleepRecorder sSleeps;
      std::optional<ScopedSetting> sChanged;
      if (bSettingsChangedSince) sChanged.emplace(CAliCloudConnectionBase::RETRY_COUNT, uint64_t{9});
      InjectFault(FaultKind::CloseBeforeAnswer, "DescribeRegions", 10);
      strResponse = "left over";
      const CZeError sError = Execute(true, &sFresh);
      EXPECT_EQ(sError.GetErrorCode(), 1);
      EXPECT_EQ(Text(sError).rfind(NO_ANSWER, 0), 0u) << Text(sError);
      EXPECT_EQ(strResponse, "");
      EXPECT_EQ(Attempts(), sCase.nAttempts);
      EXPECT_EQ(sSleeps.Pauses(), sCase.vecPauses);
      EXPECT_EQ(Log().Count("Retrying after [" + std::to_string(sCase.nPauseSec.value_or(30)) + "] seconds..."),
                sCase.vecPauses.size());
    }
  }
}

// Any answer with a body is final: error documents (whatever the status) and
// bodies that are not error documents alike.
TEST_F(ConnectionCoreTest, AnsweredErrorsAreNeverRetried) {
  for (int nStatus : {400, 500, 503}) {
    Emulator().ClearJournal();
    Emulator().ClearFaults();
    AcwEmulator::Fault sFault = MakeFault(FaultKind::ErrorResponse, "DescribeRegions", 3, nStatus);
    sFault.code = "ServiceUnavailable";
    InjectFault(sFault);
    EXPECT_EQ(Text(Execute(true)), "Error code: ServiceUnavailable");
    EXPECT_NE(strResponse.find("ServiceUnavailable"), std::string::npos) << "the error body is kept";
    EXPECT_EQ(Attempts(), 1u) << nStatus;
  }
  EXPECT_GE(Log().Count("Error response obtained from server is : ["), 3u);

  Emulator().ClearJournal();
  Emulator().ClearFaults();
  InjectFault(FaultKind::NotJson, "DescribeRegions", 3);
  EXPECT_EQ(Text(Execute(true)), UNREADABLE);
  EXPECT_FALSE(strResponse.empty());
  EXPECT_EQ(Attempts(), 1u);
  EXPECT_TRUE(Sleeps().Pauses().empty());
}

std::atomic<int64_t> g_nClockMicros{0};
int64_t SteppingClock() { return g_nClockMicros.fetch_add(1000000); }

// Empty error bodies and bodies cut off mid-way are "no answer": retried, each
// attempt with a fresh nonce and time stamp, and the attempt after them can succeed.
TEST_F(ConnectionCoreTest, EmptyAndTruncatedAnswersAreRetriedFreshlySigned) {
  // A clock that moves one second at each reading, starting now.
  g_nClockMicros = std::chrono::duration_cast<std::chrono::microseconds>(
                       std::chrono::system_clock::now().time_since_epoch()).count();
  CTimeStamp::SetClock(&SteppingClock);
  InjectFault(FaultKind::EmptyErrorBody, "DescribeRegions", 1);
  InjectFault(FaultKind::CloseMidBody, "DescribeRegions", 1);
  const CZeError sError = Execute(true);
  CTimeStamp::SetClock(nullptr);
  ASSERT_FALSE(sError.IsError()) << Log().Dump();
  EXPECT_EQ(Sleeps().Pauses(), (std::vector<uint64_t>{30000, 30000}));
  mObject sDocument;
  EXPECT_TRUE(TkJson::Unserialize(strResponse, sDocument)) << strResponse;
  std::set<std::string> setNonces, setTimes;
  for (const auto& sEntry : JournalOf("DescribeRegions")) {
    setNonces.insert(Param(sEntry, "SignatureNonce").value_or(""));
    setTimes.insert(Param(sEntry, "Timestamp").value_or(""));
  }
  EXPECT_EQ(setNonces.size(), 3u);
  EXPECT_EQ(setTimes.size(), 3u);

  // Without retry, a body cut off mid-way fails with an empty response.
  InjectFault(FaultKind::CloseMidBody, "DescribeRegions", 1);
  const std::string strCutOff = Text(Execute(false));
  EXPECT_EQ(strCutOff.rfind(NO_ANSWER, 0), 0u) << strCutOff;
  EXPECT_EQ(strResponse, "");
}

TEST_F(ConnectionCoreTest, CallersRequestIsKeptWithRetryAndConsumedWithout) {
  SAliCloudRequest sKept = DescribeRegions();
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

// The only test that waits: a server that sends nothing is abandoned after the
// low-speed time-out instead of holding the caller for ever.
TEST_F(ConnectionCoreTest, StalledServerIsAbandonedWithinTheLowSpeedTimeOut) {
  SetSetting("nAliCloudLowSpeedTimeOutInSec", uint64_t{1});
  SetSetting(CAliCloudConnectionBase::RETRY_COUNT, uint64_t{1});
  CTestConnection sShortTimeOut(KEY_ID, KEY_SECRET);
  InjectFault(FaultKind::Stall, "DescribeRegions", 1);
  const auto tStart = std::chrono::steady_clock::now();
  const std::string strStalled = Text(Execute(true, &sShortTimeOut));
  EXPECT_NE(strStalled.find("Timeout was reached"), std::string::npos) << strStalled;
  EXPECT_LT(std::chrono::steady_clock::now() - tStart, std::chrono::seconds(10));
  EXPECT_EQ(strResponse, "");
  EXPECT_NE(sShortTimeOut.LastTransportError(), "");
}

// Requests share one kept-alive connection. One closed without an answer is not
// resent by the transport (its nonce is spent): the retry signs a new one, and
// without retry the failure is reported and the connection stays usable.
TEST_F(ConnectionCoreTest, KeptAliveConnectionIsSharedAndItsLossRetriedFreshlySigned) {
  for (int n = 0; n < 100; ++n) ASSERT_FALSE(Execute(n % 2 == 0).IsError()) << n << " " << strResponse;
  EXPECT_EQ(Counters().apiRequests, 100u);
  EXPECT_EQ(Counters().tcpConnections, 1u);
  EXPECT_EQ(Counters().tlsHandshakes, 1u);

  Emulator().ClearJournal();
  InjectFault(FaultKind::CloseBeforeAnswer, "DescribeRegions", 1);
  ASSERT_FALSE(Execute(true).IsError()) << strResponse;
  EXPECT_EQ(Attempts(), 2u);
  EXPECT_EQ(Sleeps().Pauses().size(), 1u);
  InjectFault(FaultKind::CloseBeforeAnswer, "DescribeRegions", 1);
  const std::string strClosed = Text(Execute(false));
  EXPECT_EQ(strClosed.rfind(NO_ANSWER, 0), 0u) << strClosed;
  EXPECT_FALSE(Execute(false).IsError()) << strResponse;
  for (const auto& sEntry : Journal()) EXPECT_NE(sEntry.code, "SignatureNonceUsed");
}

// Two connections made in the same second on the same thread must not share a
// nonce sequence (the service would refuse the second one's nonces as replays),
// nor does reseeding one twice in a row repeat its sequence.
TEST(ConnectionCoreGenerator, ConnectionsMadeTogetherDrawDifferentSequences) {
  CTestConnection sFirst("id", "secret");
  CTestConnection sSecond("id", "secret");
  std::vector<int> vecFirst, vecSecond;
  for (int n = 0; n < 4; ++n) {
    vecFirst.push_back(sFirst.GetIdempotenceToken());
    vecSecond.push_back(sSecond.GetIdempotenceToken());
    EXPECT_TRUE(vecFirst.back() >= 1 && vecFirst.back() <= 2147483646) << vecFirst.back();
  }
  EXPECT_NE(vecFirst, vecSecond);
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
  EXPECT_EQ(sLog.Messages(), (std::vector<std::string>{"[***] [second-secret-text]", "[***] [***]",
                                                      "[first-secret-text] [second-secret-text]"}));
}

// ---- what a failed exchange tells its caller, and resends of answers the
// service did not carry out (throttling, a nonce seen before)

// A network connection holding the emulator's access key.
struct CKeyedVpcConnection : CAliCloudVPCConnection {
  CKeyedVpcConnection() {
    SetAccessKeyId(EmulatorFixture::KEY_ID);
    SetAccessKeySecret(EmulatorFixture::KEY_SECRET);
  }
};

class ConnectionOutcomeTest : public EmulatorFixture {
 protected:
  std::string strResponse;

  CZeError Describe(CAliCloudConnectionBase& sConnection, bool bRetry) {
    SAliCloudRequest sRequest;
    sRequest.AddURLParameter(AliCloudParameterNames::ACTION, "DescribeVpcs");
    sRequest.AddURLParameter(AliCloudParameterNames::REGION_ID, "cn-hangzhou");
    return sConnection.ExecuteRequest(sRequest, strResponse, bRetry);
  }
  void FailWith(const std::string& strCode, int nCount, int nStatus = 400) {
    AcwEmulator::Fault sFault(FaultKind::ErrorResponse, "DescribeVpcs", nCount);
    sFault.code = strCode;
    sFault.status = nStatus;
    InjectFault(sFault);
  }
};

TEST_F(ConnectionOutcomeTest, ErrorsCarryTheServiceOutcome) {
  CKeyedVpcConnection sConnection;
  FailWith("Forbidden.RAM", 1, 403);
  CZeError err = Describe(sConnection, false);
  EXPECT_EQ(err.AsString(EErrorOutputFormat(2)), "Error code: Forbidden.RAM");
  EXPECT_EQ(err.GetKind(), EErrorKind::SERVICE_ERROR);
  EXPECT_TRUE(err.HasServiceCode("forbidden.ram"));
  EXPECT_FALSE(err.HasServiceCode("forbidden.ram", false));
  EXPECT_EQ(err.GetHttpStatus(), 403);
  EXPECT_FALSE(err.GetRequestId().empty());

  InjectFault(FaultKind::EmptyErrorBody, "DescribeVpcs", 1);
  EXPECT_TRUE(Describe(sConnection, false).IsNoAnswer());
  InjectFault(FaultKind::NotJson, "DescribeVpcs", 1);
  EXPECT_EQ(Describe(sConnection, false).GetKind(), EErrorKind::UNREADABLE_ANSWER);
}

// Throttled answers are resent, with or without the retry flag, after pauses
// that double from about a second, and reported when the pauses reach the bound.
TEST_F(ConnectionOutcomeTest, ThrottlingIsResentWithinItsBound) {
  struct SCase {
    const char* pszCode;
    int nFailures;
    uint64_t nBound;
    bool bSuccess;
    size_t nRequests;
  };
  for (const SCase& c : {SCase{"Throttling.User", 3, 60, true, 4}, SCase{"Throttling", 100, 10, false, 5},
                         SCase{"Throttling", 1, 0, false, 1}, SCase{"SignatureNonceUsed", 1, 60, true, 2},
                         SCase{"SignatureNonceUsed", 2, 60, false, 2}}) {
    for (const bool bRetry : {false, true}) {
      SCOPED_TRACE(std::string(c.pszCode) + (bRetry ? " retry" : " once"));
      Emulator().ClearJournal();
      Emulator().ClearFaults();
      ScopedSetting sBound(CAliCloudConnectionBase::THROTTLING_MAX_WAIT_IN_SEC, c.nBound);
      CKeyedVpcConnection sConnection;
      const uint64_t nSleptBefore = Sleeps().TotalMilliseconds();
      FailWith(c.pszCode, c.nFailures);
      CZeError err = Describe(sConnection, bRetry);
      EXPECT_EQ(!err.IsError(), c.bSuccess) << err.AsString();
      EXPECT_EQ(JournalOf("DescribeVpcs").size(), c.nRequests);
      if (!c.bSuccess) {
        EXPECT_TRUE(err.HasServiceCode(c.pszCode, false));
      }
      if (!c.bSuccess && c.nBound > 0 && c.nFailures > 1 && c.pszCode[0] == 'T') {
        EXPECT_EQ(Sleeps().TotalMilliseconds() - nSleptBefore, c.nBound * 1000);
      }
    }
  }
}

}  // namespace
}  // namespace AliCloudWrapper
