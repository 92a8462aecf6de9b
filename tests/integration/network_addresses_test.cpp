// Elastic and public IP addresses against the emulator: when an address counts
// as free, allocation with and without bandwidth and charge type, binding and
// releasing through the service's states, lookups, and public IP allocation.
#include <string>
#include <vector>

#include "ServiceTestFixture.h"

namespace AliCloudWrapper {
namespace {

using AcwEmulator::FaultKind;

class NetworkAddressTest : public NetworkTest {
 protected:
  // Seeds an address of REGION with the given status and "OperationLocks" text.
  void SeedAddress(const std::string& strId, const std::string& strStatus, const std::string& strLocks) {
    Seed(R"({"EipAddresses": [{"AllocationId": ")" + strId + R"(", "RegionId": "cn-acwnet", "Status": ")" +
         strStatus + R"(", "OperationLocks": )" + strLocks + "}]}");
  }
  // Asks whether the address is free, starting from the opposite answer so an
  // answer left unwritten shows.
  void ExpectFree(const std::string& strId, bool bExpected) {
    bool bAvailable = !bExpected;
    EXPECT_FALSE(Network().IsEIPAvailableForBinding(REGION, strId, bAvailable).IsError());
    EXPECT_EQ(bAvailable, bExpected) << strId;
  }
  std::string NewAddress() {
    std::string strId;
    EXPECT_FALSE(Network().CreateEIPAddress(REGION, strId, "", "").IsError());
    return strId;
  }
};

TEST_F(NetworkAddressTest, AnAddressIsFreeOnlyWhenAvailableInAnyCaseAndUnlocked) {
  SeedAddress("eip-acwfree", "available", R"({"LockReason": []})");
  SeedAddress("eip-acwbusylocked", "InUse", R"({"LockReason": [{"LockReason": "financial"}]})");
  // The older answers give the reasons as bare text; a lock is a lock either way.
  SeedAddress("eip-acwlockedtext", "Available", R"({"LockReason": ["security"]})");

  ExpectFree("eip-acwfree", true);
  ExpectFree("eip-acwbusylocked", false);
  EXPECT_TRUE(Log().Contains("EIP [eip-acwbusylocked] not in Available status."));
  EXPECT_TRUE(Log().Contains("EIP [eip-acwbusylocked] is in locked state."));
  ExpectFree("eip-acwlockedtext", false);
  EXPECT_TRUE(Log().Contains("EIP [eip-acwlockedtext] is in locked state."));

  // A missing address is a failure, and the answer stays unset.
  bool bAvailable = true;
  CZeError err = Network().IsEIPAvailableForBinding(REGION, "eip-acwmissing", bAvailable);
  EXPECT_EQ(err.GetErrorCode(), 1);
  EXPECT_EQ(err.GetErrorMessage(), "Failed to find EIP [eip-acwmissing] in region [cn-acwnet].");
  EXPECT_TRUE(bAvailable);
}

TEST_F(NetworkAddressTest, AllocationSendsBandwidthAndChargeTypeOnlyWhenGiven) {
  const std::string strPlain = NewAddress();
  std::string strSized;
  ASSERT_FALSE(Network().CreateEIPAddress(REGION, strSized, "20", "PayByTraffic").IsError());

  const auto vecCalls = JournalOf("AllocateEipAddress");
  ASSERT_EQ(vecCalls.size(), 2u);
  EXPECT_EQ(vecCalls[0].host, "vpc.aliyuncs.com");
  EXPECT_EQ(Sent(vecCalls[0], {"RegionId", "Bandwidth", "InternetChargeType"}),
            "RegionId=cn-acwnet Bandwidth InternetChargeType");
  EXPECT_EQ(Sent(vecCalls[1], {"Bandwidth", "InternetChargeType"}), "Bandwidth=20 InternetChargeType=PayByTraffic");

  // Allocation gives only the id; the address and the rest come from a lookup.
  SElasticIPAddress sPlain, sSized;
  ASSERT_FALSE(Network().GetElasticIPAddress(REGION, strPlain, sPlain).IsError());
  EXPECT_EQ(sPlain.strAllocationId, strPlain);
  EXPECT_EQ(sPlain.strBandwidth, "5");
  EXPECT_EQ(sPlain.strStatus, "Available");
  ASSERT_FALSE(Network().GetElasticIPAddress(REGION, strSized, sSized).IsError());
  EXPECT_EQ(sSized.strInternetChargeType, "PayByTraffic");
  EXPECT_FALSE(sPlain.strIpAddress.empty());
  EXPECT_NE(sSized.strIpAddress, sPlain.strIpAddress);
}

// (An association the service gives up on: see the wait below.)
TEST_F(NetworkAddressTest, AnAddressIsBoundAndReleasedOnlyOnceFreeAgain) {
  const std::string strId = NewAddress();
  ASSERT_FALSE(Network().BindEIPToInstance(strId, RUNNING_INSTANCE).IsError());
  EXPECT_EQ(Sent(JournalOf("AssociateEipAddress").back(), {"AllocationId", "InstanceId"}),
            "AllocationId=" + strId + " InstanceId=" + RUNNING_INSTANCE);

  // Still associating: neither free nor releasable.
  ExpectFree(strId, false);
  SElasticIPAddress sAddress;
  ASSERT_FALSE(Network().GetElasticIPAddress(REGION, strId, sAddress).IsError());
  EXPECT_EQ(sAddress.strStatus, "InUse");
  EXPECT_EQ(sAddress.strInstanceId, RUNNING_INSTANCE);
  EXPECT_NE(WorldText("Instances", RUNNING_INSTANCE, "EipAddress").find(strId), std::string::npos);
  EXPECT_EQ(Network().DeleteEIP(strId).GetErrorMessage(), "Error code: IncorrectEipStatus");
  EXPECT_TRUE(Log().Contains("Failed to delete EIP [" + strId + "] with error [Error code: IncorrectEipStatus]."));
  EXPECT_TRUE(WorldHas("EipAddresses", strId));

  // Unbound behind our back (as the console would): free again, and released.
  WithItem("EipAddresses", strId, [](boost::json::object& eip) {
    eip["Status"] = "Available";
    eip["InstanceId"] = "";
  });
  ExpectFree(strId, true);
  ASSERT_FALSE(Network().DeleteEIP(strId).IsError());
  EXPECT_FALSE(WorldHas("EipAddresses", strId));
}

// An accepted association settles later: the wait ends on "InUse" for the
// instance, on a fall-back to "Available", or at its setting's bound.
TEST_F(NetworkAddressTest, TheWaitForAnAssociationEndsOnceItIsSettled) {
  const struct {
    const char* pszName;
    const char* pszInstance;
    bool bFails;
    uint64_t nBoundInSec;
    const char* pszError;  // "" for success
    std::vector<uint64_t> vecPauses;
  } aCases[] = {
      {"settles", RUNNING_INSTANCE, false, 60, "", {2000}},
      {"falls back", NO_BANDWIDTH_INSTANCE, true, 60, "its status is [Available].", {2000}},
      {"bound too short for a pause", NO_BANDWIDTH_INSTANCE, false, 1, "within [1] seconds.", {}},
  };
  for (const auto& sCase : aCases) {
    SCOPED_TRACE(sCase.pszName);
    SetSetting(CAliCloudNetwork::EIP_ASSOCIATE_MAX_WAIT_IN_SEC, sCase.nBoundInSec);
    const std::string strId = NewAddress();
    WithItem("EipAddresses", strId, [&](boost::json::object& eip) { eip["_AssociationFails"] = sCase.bFails; });
    ASSERT_FALSE(Network().BindEIPToInstance(strId, sCase.pszInstance).IsError());
    const size_t nPausesBefore = Sleeps().Pauses().size();
    CZeError err = Network().WaitForEIPAssociation(REGION, strId, sCase.pszInstance);
    const std::vector<uint64_t> vecPauses = Sleeps().Pauses();
    EXPECT_EQ(std::vector<uint64_t>(vecPauses.begin() + nPausesBefore, vecPauses.end()), sCase.vecPauses);
    EXPECT_EQ(err.IsError(), *sCase.pszError != '\0') << err.AsString();
    EXPECT_NE(err.GetErrorMessage().find(sCase.pszError), std::string::npos) << err.GetErrorMessage();
    EXPECT_EQ(err.IsBoundReached(), sCase.nBoundInSec == 1);
  }
}

TEST_F(NetworkAddressTest, BindingRefusalsAreFailuresThatChangeNothing) {
  SeedAddress("eip-acwlocked", "Available", R"({"LockReason": [{"LockReason": "financial"}]})");
  EXPECT_EQ(Network().BindEIPToInstance("eip-acwlocked", RUNNING_INSTANCE).GetErrorMessage(),
            "Error code: IncorrectEipStatus");
  EXPECT_TRUE(Log().Contains("Failed to bind EIP [eip-acwlocked] to instance [" + std::string(RUNNING_INSTANCE) + "]."));

  const std::string strId = NewAddress();
  EXPECT_EQ(Network().BindEIPToInstance(strId, OTHER_REGION_INSTANCE).GetErrorMessage(),
            "Error code: InvalidParameter.Mismatch");

  // The service refuses on demand; sent once, never resent.
  InjectFault(FaultKind::ErrorResponse, "AssociateEipAddress", 1, 400);
  EXPECT_TRUE(Network().BindEIPToInstance(strId, RUNNING_INSTANCE).IsError());
  EXPECT_EQ(JournalOf("AssociateEipAddress").size(), 3u);
  EXPECT_EQ(WorldText("EipAddresses", strId, "Status"), "Available");
  EXPECT_EQ(WorldText("EipAddresses", strId, "InstanceId"), "");

  // Nothing is sent for a missing argument.
  EXPECT_EQ(Network().BindEIPToInstance("", RUNNING_INSTANCE).GetErrorMessage(), "Empty allocation Id passed.");
  EXPECT_EQ(Network().BindEIPToInstance(strId, "").GetErrorMessage(), "Empty instance Id passed.");
  EXPECT_EQ(Network().DeleteEIP("").GetErrorMessage(), "Empty allocation Id passed.");
  EXPECT_EQ(JournalOf("AssociateEipAddress").size(), 3u);
  EXPECT_TRUE(JournalOf("ReleaseEipAddress").empty());
}

TEST_F(NetworkAddressTest, ALookupAnswersOnlyWithTheRecordOfThatId) {
  SeedAddress("eip-acwone", "Available", R"({"LockReason": []})");
  SElasticIPAddress sAddress;
  sAddress.strAllocationId = "unchanged";

  // The service reads the id as a comma list; another address must not answer for it.
  EXPECT_EQ(Network().GetElasticIPAddress(REGION, "eip-acwone,eip-acwother", sAddress).GetErrorMessage(),
            "Failed to find EIP [eip-acwone,eip-acwother] in region [cn-acwnet].");
  EXPECT_EQ(sAddress.strAllocationId, "unchanged");
  EXPECT_TRUE(Network().GetElasticIPAddress("cn-acwnet2", "eip-acwone", sAddress).IsError());

  // Two records for one id (a confused answer) are refused, not guessed between.
  Emulator().RegisterAction(AcwEmulator::Product::Vpc, "DescribeEipAddresses", [](AcwEmulator::ActionContext&) {
    boost::json::object eip{{"AllocationId", "eip-acwone"}, {"Status", "Available"}};
    return boost::json::object{{"TotalCount", 2},
                               {"EipAddresses", boost::json::object{{"EipAddress", boost::json::array{eip, eip}}}}};
  });
  EXPECT_EQ(Network().GetElasticIPAddress(REGION, "eip-acwone", sAddress).GetErrorMessage(),
            "Obtained more than one EIP for allocation id [eip-acwone] in region [cn-acwnet].");

  InjectFault(FaultKind::ErrorResponse, "DescribeEipAddresses");
  EXPECT_TRUE(Network().GetElasticIPAddress(REGION, "eip-acwone", sAddress).IsError());
  EXPECT_TRUE(Log().Contains("Failed to query EIP [eip-acwone] in region [cn-acwnet]."));
  EXPECT_EQ(sAddress.strAllocationId, "unchanged");
}

TEST_F(NetworkAddressTest, AnAllocationAnswerWithoutItsIdIsAFailure) {
  Emulator().RegisterAction(AcwEmulator::Product::Vpc, "AllocateEipAddress",
                            [](AcwEmulator::ActionContext&) { return boost::json::object{{"OrderId", 1}}; });
  std::string strId = "unchanged";
  EXPECT_EQ(Network().CreateEIPAddress(REGION, strId, "", "").GetErrorMessage(),
            "Unable to parse Allocate-EIP response from sever.");
  EXPECT_EQ(strId, "unchanged");
  EXPECT_TRUE(Log().Contains("Failed to parse allocation Id from response ["));

  Emulator().RegisterAction(AcwEmulator::Product::Ecs, "AllocatePublicIpAddress",
                            [](AcwEmulator::ActionContext&) { return boost::json::object{{"IpAddress", ""}}; });
  std::string strIp = "unchanged";
  EXPECT_EQ(Network().AssociatePublicIP(RUNNING_INSTANCE, strIp).GetErrorMessage(),
            "Failed to parse AllocatePublicIpAddress response.");
  EXPECT_EQ(strIp, "unchanged");
}

TEST_F(NetworkAddressTest, PublicAddressesNeedOutboundBandwidthAndAreGivenOnce) {
  std::string strIp, strAgain, strRefused = "unchanged";
  ASSERT_FALSE(Network().AssociatePublicIP(RUNNING_INSTANCE, strIp).IsError());
  EXPECT_FALSE(strIp.empty());
  const auto vecCalls = JournalOf("AllocatePublicIpAddress");
  ASSERT_EQ(vecCalls.size(), 1u);
  EXPECT_EQ(vecCalls[0].host, "ecs.aliyuncs.com");
  EXPECT_EQ(Param(vecCalls[0], "InstanceId"), RUNNING_INSTANCE);
  EXPECT_NE(WorldText("Instances", RUNNING_INSTANCE, "PublicIpAddress").find(strIp), std::string::npos);

  // The instance keeps its address: asking again gives the same one.
  ASSERT_FALSE(Network().AssociatePublicIP(RUNNING_INSTANCE, strAgain).IsError());
  EXPECT_EQ(strAgain, strIp);

  EXPECT_EQ(Network().AssociatePublicIP(NO_BANDWIDTH_INSTANCE, strRefused).GetErrorMessage(),
            "Error code: AllocateIpInvalidInstanceBandwidth");
  EXPECT_EQ(strRefused, "unchanged");
  EXPECT_EQ(Network().AssociatePublicIP("", strRefused).GetErrorMessage(), "Empty instance Id passed.");
  EXPECT_EQ(JournalOf("AllocatePublicIpAddress").size(), 3u);
}

}  // namespace
}  // namespace AliCloudWrapper
