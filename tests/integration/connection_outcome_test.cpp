// What a failed exchange tells its caller, and the resends of answers the
// service did not carry out (throttling, a nonce seen before), through the
// real HTTP stack against the emulator.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/CAliCloudVPCConnection.h"
#include "EmulatorFixture.h"
#include "TestSupport.h"

namespace AliCloudWrapper {
namespace {

using AcwEmulator::FaultKind;

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
