// The transport without a server: the retry and wait mechanism driven by
// scripted outcomes (attempts, pauses, where it gives up), the region map's
// checks, and the paged listing driven by canned pages.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/CZeError.h"
#include "AliCloudWrapper/ComputeRecords.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"
#include "TestSupport.h"
#include "transport/DescribeOneById.h"
#include "transport/RetryExecutor.h"

namespace AliCloudWrapper {
namespace {

// "" = success, "-" = no answer, "?" = unreadable answer, otherwise a service code.
CZeError Outcome(const std::string& strScript) {
  if (strScript.empty()) return CZeError();
  if (strScript == "-") return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "none").SetKind(EErrorKind::NO_ANSWER);
  if (strScript == "?") {
    return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "odd").SetKind(EErrorKind::UNREADABLE_ANSWER);
  }
  return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Error code: %s", strScript.c_str())
      .SetServiceAnswer(strScript, "m", "r-1")
      .SetHttpStatus(400);
}

struct SCase {
  const char* pszName;
  SRetryPolicy sPolicy;
  std::vector<std::string> vecScript;  // outcomes of the attempts, in order
  size_t nAttempts;
  std::vector<uint64_t> vecPauses;  // exact pauses; empty with bCheckThrottled
  bool bSuccess;
  bool bUnansweredExhausted;
  bool bBoundReached;
};

SRetryPolicy Unanswered(uint64_t nAttempts, uint64_t nPauseMs) {
  SRetryPolicy s;
  s.nAttemptsWhenUnanswered = nAttempts;
  s.nUnansweredPauseMs = nPauseMs;
  return s;
}

SRetryPolicy ResendOn(const char* pszCode, uint64_t nPauseMs, uint64_t nBoundSec) {
  SRetryPolicy s;
  s.vecResendCodes = {pszCode};
  s.nResendPauseMs = nPauseMs;
  s.nWaitBoundInSec = nBoundSec;
  return s;
}

SRetryPolicy Connection(uint64_t nThrottlingBoundSec) {
  SRetryPolicy s;
  s.nThrottlingBoundInSec = nThrottlingBoundSec;
  s.bResendOnNonceUsed = true;
  return s;
}

// (A nonce seen before and throttling with no bound are read from the journal by
// the connection tests.)
TEST(TransportRetryTest, AttemptsPausesAndBounds) {
  const std::vector<SCase> cases = {
      {"unanswered then answered", Unanswered(3, 30000), {"-", "-", ""}, 3, {30000, 30000}, true, false, false},
      {"unanswered to the end", Unanswered(3, 30000), {"-", "-", "-"}, 3, {30000, 30000}, false, true, false},
      {"an answer is final", Unanswered(3, 30000), {"-", "InternalError"}, 2, {30000}, false, false, false},
      {"unreadable is final", Unanswered(3, 30000), {"?"}, 1, {}, false, false, false},
      {"one attempt", Unanswered(1, 30000), {"-"}, 1, {}, false, true, false},
      {"resend code, any case", ResendOn("InvalidSnapshot.NotReady", 10000, 3600),
       {"invalidsnapshot.notready", "InvalidSnapshot.NotReady", ""}, 3, {10000, 10000}, true, false, false},
      {"resend code within bound", ResendOn("X", 10000, 25), {"X", "X", "X", "X"}, 3, {10000, 10000}, false,
       false, true},
      {"resend code, no bound", ResendOn("X", 10000, 0), {"X", "X", "X", "X", ""}, 5,
       {10000, 10000, 10000, 10000}, true, false, false},
      {"other code is final", ResendOn("X", 10000, 0), {"Y"}, 1, {}, false, false, false},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.pszName);
    ScopedSleepRecorder sSleeps;
    size_t nNext = 0;
    CRetryExecutor sExecutor(c.sPolicy);
    CZeError err = sExecutor.Run([&] { return Outcome(nNext < c.vecScript.size() ? c.vecScript[nNext++] : ""); });
    EXPECT_EQ(nNext, c.nAttempts);
    EXPECT_EQ(sExecutor.GetReport().nAttempts, c.nAttempts);
    EXPECT_EQ(sSleeps.Pauses(), c.vecPauses);
    EXPECT_EQ(!err.IsError(), c.bSuccess);
    EXPECT_EQ(sExecutor.GetReport().bUnansweredExhausted, c.bUnansweredExhausted);
    EXPECT_EQ(sExecutor.GetReport().bBoundReached, c.bBoundReached);
    // The last attempt's error comes back as it was made.
    if (err.IsError() && nNext > 0) {
      EXPECT_EQ(err.GetErrorMessage(), Outcome(c.vecScript[nNext - 1]).GetErrorMessage());
    }
  }
}

// Throttled answers are resent with pauses that double from about a second,
// and the pauses end exactly at the bound, where the last answer is reported.
TEST(TransportRetryTest, ThrottlingDoublesWithinItsBound) {
  for (const char* pszCode : {"Throttling", "Throttling.User"}) {
    SCOPED_TRACE(pszCode);
    ScopedSleepRecorder sSleeps;
    CRetryExecutor sExecutor(Connection(60));
    CZeError err = sExecutor.Run([&] { return Outcome(pszCode); });
    EXPECT_TRUE(err.HasServiceCode(pszCode));
    EXPECT_TRUE(sExecutor.GetReport().bBoundReached);
    EXPECT_EQ(sSleeps.TotalMilliseconds(), 60000u);
    const std::vector<uint64_t> vecPauses = sSleeps.Pauses();
    ASSERT_GE(vecPauses.size(), 4u);
    for (size_t i = 0; i + 1 < vecPauses.size(); ++i) {
      const uint64_t nBase = 1000ull << i;
      EXPECT_GE(vecPauses[i], nBase * 3 / 4) << i;
      EXPECT_LE(vecPauses[i], nBase * 5 / 4) << i;
    }
  }
  // A throttled answer followed by success ends with success after one pause.
  ScopedSleepRecorder sSleeps;
  int nCalls = 0;
  EXPECT_FALSE(CRetryExecutor(Connection(60)).Run([&] { return Outcome(nCalls++ ? "" : "Throttling"); }).IsError());
  EXPECT_EQ(sSleeps.Pauses().size(), 1u);
  // "ThrottlingX" is no throttling answer.
  EXPECT_FALSE(CRetryExecutor::IsThrottled(Outcome("ThrottlingX")));
}

TEST(TransportRetryTest, WaitUntilPollsWithinItsBound) {
  struct SWaitCase {
    const char* pszName;
    uint64_t nBoundSec;
    int nDoneAt;      // the probe reports done at this call (1-based); 0 never
    int nFailAt;      // the probe fails at this call; 0 never
    size_t nPauses;
    EErrorKind eKind;
  };
  const std::vector<SWaitCase> cases = {
      {"done at once", 10, 1, 0, 0, EErrorKind::NONE},
      {"done after two pauses", 10, 3, 0, 2, EErrorKind::NONE},
      {"probe fails", 10, 0, 2, 1, EErrorKind::NOT_FOUND},
      {"bound reached", 5, 0, 0, 2, EErrorKind::BOUND_REACHED},
  };
  for (const SWaitCase& c : cases) {
    SCOPED_TRACE(c.pszName);
    ScopedSleepRecorder sSleeps;
    SWaitBudget sBudget;
    sBudget.nBoundInSec = c.nBoundSec;
    sBudget.nPauseMs = 2000;
    sBudget.strBoundSetting = "nSomeBound";
    int nCalls = 0;
    SRetryReport sReport;
    CZeError err = WaitUntil(
        sBudget,
        [&](bool& bDone) {
          ++nCalls;
          bDone = nCalls == c.nDoneAt;
          return nCalls == c.nFailAt ? FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_NOT_FOUND, "gone")
                                     : CZeError();
        },
        &sReport);
    EXPECT_EQ(err.GetKind(), c.eKind);
    EXPECT_EQ(sSleeps.Pauses(), std::vector<uint64_t>(c.nPauses, 2000));
    EXPECT_EQ(sReport.bBoundReached, c.eKind == EErrorKind::BOUND_REACHED);
    if (err.IsBoundReached()) {
      EXPECT_NE(err.GetErrorMessage().find("nSomeBound"), std::string::npos);
    }
  }
}

// Only a record of the id asked for answers a lookup; another id's record is
// "not found", never a stand-in.
TEST(TransportRetryTest, DescribeOneByIdKeepsOnlyThatId) {
  const std::vector<std::pair<std::string, EOneById>> cases = {
      {R"({"Disks":{"Disk":[{"DiskId":"d-1","Status":"In_use"}]}})", EOneById::FOUND},
      {R"({"Disks":{"Disk":[{"DiskId":"d-2"},{"DiskId":"d-1"}]}})", EOneById::FOUND},
      {R"({"Disks":{"Disk":[{"DiskId":"d-2"}]}})", EOneById::NONE},
      {R"({"Disks":{"Disk":[]}})", EOneById::NONE},
      {R"({"Disks":{"Disk":[{"DiskId":"d-1"},{"DiskId":"d-1"}]}})", EOneById::MANY},
      {R"(<html>)", EOneById::UNREADABLE},
  };
  CAliCloudParser sParser;
  for (const auto& [strBody, eExpected] : cases) {
    SDiskInfoLib sDisk;
    EXPECT_EQ(PickOneById(sParser, strBody, "Disks", "Disk", "d-1", &SDiskInfoLib::strDiskId, sDisk), eExpected)
        << strBody;
    if (eExpected == EOneById::FOUND) {
      EXPECT_EQ(sDisk.strDiskId, "d-1");
    }
  }
}

SDCInfoLib Region(const std::string& strId, const std::string& strEndpoint) {
  SDCInfoLib sRegion;
  sRegion.strRegionId = strId;
  sRegion.strRegionEndpoint = strEndpoint;
  return sRegion;
}

// Incomplete lists are refused. A region endpoint becomes the host of a signed
// URL: anything that would move the request to another host is left out.
TEST(ConnectionRules, RegionMapChecksItsInput) {
  ScopedLogCapture sLog(5);
  CAliCloudECSConnection sECS;
  EXPECT_FALSE(sECS.InitializeRegionIdToEndPointMap({}));
  EXPECT_TRUE(sLog.Contains("Empty region list passed."));
  EXPECT_FALSE(sECS.InitializeRegionIdToEndPointMap({Region("cn-hangzhou", "ecs.cn-hangzhou.aliyuncs.com"),
                                                     Region("", "ecs.x.aliyuncs.com")}));
  EXPECT_TRUE(sLog.Contains("Empty region id encountered."));
  EXPECT_FALSE(sECS.InitializeRegionIdToEndPointMap({Region("cn-hangzhou", "")}));
  EXPECT_TRUE(sLog.Contains("Empty region endpoint encountered."));

  sLog.Clear();
  EXPECT_TRUE(sECS.InitializeRegionIdToEndPointMap(
      {Region("cn-hangzhou", "ecs.aliyuncs.com@attacker.example"), Region("cn-shanghai", "attacker.example/ecs"),
       Region("ap-southeast-1", "host:8443"), Region("cn-beijing", "ecs.cn-beijing.aliyuncs.com")}));
  EXPECT_EQ(sLog.Count("is not a host name"), 3u);
  EXPECT_FALSE(sLog.Contains("Adding [cn-hangzhou"));
  EXPECT_TRUE(sLog.Contains("Adding [cn-beijing:ecs.cn-beijing.aliyuncs.com] to map."));
}

// ---- paged listing over canned pages ----

// A connection whose "service" is a queue of canned answers ("FAIL": an error
// answer); it records the requests it was given.
class CCannedConnection : public CAliCloudConnectionBase {
 public:
  CZeError Connect() override { return CZeError(); }
  std::string GetTagName(ETagType eTag) override { return eTag == TAG_TOTAL_COUNT ? "TotalCount" : ""; }
  CZeError ExecuteRequest(SAliCloudRequest& sRequest, std::string& strResponse, bool bRetry) override {
    vecRequests.push_back(sRequest);
    vecRetryFlags.push_back(bRetry);
    if (queAnswers.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "no more canned answers");
    strResponse = queAnswers.front();
    queAnswers.pop_front();
    if (strResponse == "FAIL") return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Error code: Throttling");
    return CZeError();
  }

  std::deque<std::string> queAnswers;
  std::vector<SAliCloudRequest> vecRequests;
  std::vector<bool> vecRetryFlags;
};

// A page of instances "i-<first>" .. "i-<first+count-1>", announcing nTotal (negative: no total).
std::string Page(int nFirst, int nCount, int nTotal) {
  std::string strItems;
  for (int i = 0; i < nCount; ++i) {
    strItems += std::string(i > 0 ? "," : "") + "{\"InstanceId\":\"i-" + std::to_string(nFirst + i) + "\"}";
  }
  const std::string strTotal = nTotal >= 0 ? ",\"TotalCount\":" + std::to_string(nTotal) : "";
  return "{\"Instances\":{\"Instance\":[" + strItems + "]}" + strTotal + "}";
}

class PagedListing : public ::testing::Test {
 protected:
  CZeError List(int nPageSize = 0, bool bRetry = true) {
    return sConnection.GetMultiPageList(sRequest, vecVMs, "Instances", "Instance", bRetry, nPageSize);
  }
  std::vector<std::string> Ids() const {
    std::vector<std::string> vecIds;
    for (const SVMInfoLib& sVM : vecVMs) vecIds.push_back(sVM.strInstanceId);
    return vecIds;
  }

  ScopedLogCapture sLog{5};
  CCannedConnection sConnection;
  SAliCloudRequest sRequest;
  std::vector<SVMInfoLib> vecVMs;
};

// A list that grows while it is read ends after the page that passes the total.
// Each page is a fresh copy of the caller's request (left untouched) with its
// page number and size, sent with the caller's retry choice.
TEST_F(PagedListing, GrownListEndsAfterThePageThatPassesTheTotal) {
  sRequest.AddURLParameter("Action", "DescribeInstances");
  sRequest.SetEndPoint("ecs.cn-hangzhou.aliyuncs.com");
  sConnection.queAnswers = {Page(1, 2, 3), Page(3, 2, 5), Page(5, 1, 5)};
  ASSERT_FALSE(List(2, false).IsError());
  EXPECT_EQ(Ids(), (std::vector<std::string>{"i-1", "i-2", "i-3", "i-4"}));
  EXPECT_EQ(sConnection.vecRetryFlags, (std::vector<bool>{false, false}));
  EXPECT_EQ(sRequest.vecParameters.size(), 1u);
  ASSERT_EQ(sConnection.vecRequests.size(), 2u);
  EXPECT_EQ(sConnection.vecRequests[1].vecParameters,
            (std::vector<URLParameter>{{"Action", "DescribeInstances"}, {"PageNumber", "2"}, {"PageSize", "2"}}));
  EXPECT_EQ(sConnection.vecRequests[1].GetEndPoint(), "ecs.cn-hangzhou.aliyuncs.com");
}

TEST_F(PagedListing, EmptyPageShortOfTheTotalEndsWithWhatArrived) {
  sRequest.AddURLParameter("Action", "DescribeInstances");
  sConnection.queAnswers = {Page(1, 3, 10), Page(0, 0, 10), Page(4, 3, 10)};
  ASSERT_FALSE(List().IsError());
  EXPECT_EQ(sConnection.vecRequests.size(), 2u);
  EXPECT_EQ(Ids().size(), 3u);
  EXPECT_EQ(sLog.Count("Listing [DescribeInstances] ended early: page [2] brought no records after [3] of [10]."),
            1u);
}

// An error answer, an unreadable page, or a first page without a total: the
// listing fails and the records already gathered stay.
TEST_F(PagedListing, FailuresKeepThePagesAlreadyGathered) {
  struct SCase {
    std::deque<std::string> queAnswers;
    const char* pszError;
    const char* pszLogged;  // nullptr: nothing of its own
  };
  const SCase aCases[] = {
      {{Page(1, 2, 6), "FAIL"}, "Error code: Throttling", nullptr},
      {{Page(1, 2, 6), "<html>gateway</html>"}, "Failed to parse response from server.",
       "Failed to parse response [<html>gateway</html>]."},
      {{Page(1, 2, -1)}, "Unkown response from server.", "Failed to parse total count of list."},
  };
  for (const SCase& sCase : aCases) {
    SCOPED_TRACE(sCase.pszError);
    vecVMs.clear();
    sConnection.queAnswers = sCase.queAnswers;
    const CZeError eResult = List();
    ASSERT_TRUE(eResult.IsError());
    EXPECT_EQ(eResult.GetErrorMessage(), sCase.pszError);
    EXPECT_TRUE(sCase.pszLogged == nullptr || sLog.Contains(sCase.pszLogged)) << sLog.Dump();
    EXPECT_EQ(Ids().size(), 2u);
  }
}

}  // namespace
}  // namespace AliCloudWrapper
