// Elastic and public IP addresses against the emulator: when an address counts
// as free, allocation with and without bandwidth and charge type, binding and
// releasing through the service's states, lookups, and public IP allocation.
#include <gtest/gtest.h>

#include <boost/json.hpp>

#include <string>
#include <vector>

#include "NetworkTestFixture.h"

namespace AliCloudWrapper {
namespace {

using AcwEmulator::FaultKind;

using NetworkAddressTest = NetworkTest;

// Seeds an address of REGION with the given status and "OperationLocks" text.
std::string AddressSeed(const std::string& strId, const std::string& strStatus, const std::string& strLocks) {
  return R"({"EipAddresses": [{"AllocationId": ")" + strId + R"(", "RegionId": "cn-acwnet", "Status": ")" +
         strStatus + R"(", "OperationLocks": )" + strLocks + "}]}";
}

TEST_F(NetworkAddressTest, AnAddressIsFreeOnlyWhenAvailableInAnyCaseAndUnlocked) {
  Seed(AddressSeed("eip-acwfree", "available", R"({"LockReason": []})"));
  Seed(AddressSeed("eip-acwbusylocked", "InUse", R"({"LockReason": [{"LockReason": "financial"}]})"));
  // The older answers give the reasons as bare text; a lock is a lock either way.
  Seed(AddressSeed("eip-acwlockedtext", "Available", R"({"LockReason": ["security"]})"));

  bool bAvailable = false;
  ASSERT_FALSE(Network().IsEIPAvailableForBinding(REGION, "eip-acwfree", bAvailable).IsError()) << Log().Dump();
  EXPECT_TRUE(bAvailable);
  EXPECT_FALSE(Log().Contains("eip-acwfree"));

  bAvailable = true;
  ASSERT_FALSE(Network().IsEIPAvailableForBinding(REGION, "eip-acwbusylocked", bAvailable).IsError());
  EXPECT_FALSE(bAvailable);
  EXPECT_TRUE(Log().Contains("EIP [eip-acwbusylocked] not in Available status."));
  EXPECT_TRUE(Log().Contains("EIP [eip-acwbusylocked] is in locked state."));

  bAvailable = true;
  ASSERT_FALSE(Network().IsEIPAvailableForBinding(REGION, "eip-acwlockedtext", bAvailable).IsError());
  EXPECT_FALSE(bAvailable);
  EXPECT_FALSE(Log().Contains("EIP [eip-acwlockedtext] not in Available status."));
  EXPECT_TRUE(Log().Contains("EIP [eip-acwlockedtext] is in locked state."));

  // A missing address is a failure, and the answer stays unset.
  bAvailable = true;
  CZeError err = Network().IsEIPAvailableForBinding(REGION, "eip-acwmissing", bAvailable);
  ASSERT_TRUE(err.IsError());
  EXPECT_EQ(err.GetErrorCode(), 1);
  EXPECT_EQ(err.GetErrorMessage(), "Failed to find EIP [eip-acwmissing] in region [cn-acwnet].");
  EXPECT_TRUE(bAvailable);
}

TEST_F(NetworkAddressTest, AllocationSendsBandwidthAndChargeTypeOnlyWhenGiven) {
  std::string strPlain;
  ASSERT_FALSE(Network().CreateEIPAddress(REGION, strPlain, "", "").IsError()) << Log().Dump();
  std::string strSized;
  ASSERT_FALSE(Network().CreateEIPAddress(REGION, strSized, "20", "PayByTraffic").IsError());

  const auto vecCalls = JournalOf("AllocateEipAddress");
  ASSERT_EQ(vecCalls.size(), 2u);
  EXPECT_EQ(vecCalls[0].host, "vpc.aliyuncs.com");
  EXPECT_EQ(Param(vecCalls[0], "RegionId"), REGION);
  EXPECT_FALSE(Param(vecCalls[0], "Bandwidth").has_value());
  EXPECT_FALSE(Param(vecCalls[0], "InternetChargeType").has_value());
  EXPECT_EQ(Param(vecCalls[1], "Bandwidth"), "20");
  EXPECT_EQ(Param(vecCalls[1], "InternetChargeType"), "PayByTraffic");

  // Allocation gives only the id; the address and the rest come from a lookup.
  SElasticIPAddress sPlain;
  ASSERT_FALSE(Network().GetElasticIPAddress(REGION, strPlain, sPlain).IsError());
  EXPECT_EQ(sPlain.strAllocationId, strPlain);
  EXPECT_FALSE(sPlain.strIpAddress.empty());
  EXPECT_EQ(sPlain.strBandwidth, "5");
  EXPECT_EQ(sPlain.strInternetChargeType, "PayByBandwidth");
  EXPECT_EQ(sPlain.strStatus, "Available");
  EXPECT_TRUE(sPlain.vecLockReasons.empty());

  SElasticIPAddress sSized;
  ASSERT_FALSE(Network().GetElasticIPAddress(REGION, strSized, sSized).IsError());
  EXPECT_EQ(sSized.strBandwidth, "20");
  EXPECT_EQ(sSized.strInternetChargeType, "PayByTraffic");
  EXPECT_NE(sSized.strIpAddress, sPlain.strIpAddress);
}

TEST_F(NetworkAddressTest, AnAddressIsBoundAndReleasedOnlyOnceFreeAgain) {
  std::string strId;
  ASSERT_FALSE(Network().CreateEIPAddress(REGION, strId, "", "").IsError());
  ASSERT_FALSE(Network().BindEIPToInstance(strId, RUNNING_INSTANCE).IsError()) << Log().Dump();
  const auto vecBinds = JournalOf("AssociateEipAddress");
  ASSERT_EQ(vecBinds.size(), 1u);
  EXPECT_EQ(Param(vecBinds[0], "AllocationId"), strId);
  EXPECT_EQ(Param(vecBinds[0], "InstanceId"), RUNNING_INSTANCE);

  // Still associating: neither free nor releasable.
  bool bAvailable = true;
  ASSERT_FALSE(Network().IsEIPAvailableForBinding(REGION, strId, bAvailable).IsError());
  EXPECT_FALSE(bAvailable);
  SElasticIPAddress sAddress;
  ASSERT_FALSE(Network().GetElasticIPAddress(REGION, strId, sAddress).IsError());
  EXPECT_EQ(sAddress.strStatus, "InUse");
  EXPECT_EQ(sAddress.strInstanceId, RUNNING_INSTANCE);
  EXPECT_NE(WorldJson("Instances", RUNNING_INSTANCE, "EipAddress").find(strId), std::string::npos);

  CZeError err = Network().DeleteEIP(strId);
  ASSERT_TRUE(err.IsError());
  EXPECT_EQ(err.GetErrorMessage(), "Error code: IncorrectEipStatus");
  EXPECT_TRUE(Log().Contains("Failed to delete EIP [" + strId + "] with error [Error code: IncorrectEipStatus]."));
  EXPECT_TRUE(WorldHas("EipAddresses", strId));

  // Unbound behind our back (as the console would): free again, and released.
  WithItem("EipAddresses", strId, [](boost::json::object& eip) {
    eip["Status"] = "Available";
    eip["InstanceId"] = "";
  });
  ASSERT_FALSE(Network().IsEIPAvailableForBinding(REGION, strId, bAvailable).IsError());
  EXPECT_TRUE(bAvailable);
  ASSERT_FALSE(Network().DeleteEIP(strId).IsError()) << Log().Dump();
  EXPECT_FALSE(WorldHas("EipAddresses", strId));
  EXPECT_EQ(JournalOf("ReleaseEipAddress").size(), 2u);
}

TEST_F(NetworkAddressTest, AnAssociationTheServiceGivesUpLeavesTheAddressFree) {
  std::string strId;
  ASSERT_FALSE(Network().CreateEIPAddress(REGION, strId, "", "").IsError());
  WithItem("EipAddresses", strId, [](boost::json::object& eip) { eip["_AssociationFails"] = true; });

  ASSERT_FALSE(Network().BindEIPToInstance(strId, RUNNING_INSTANCE).IsError());
  bool bAvailable = true;
  ASSERT_FALSE(Network().IsEIPAvailableForBinding(REGION, strId, bAvailable).IsError());
  EXPECT_FALSE(bAvailable) << "associating";
  ASSERT_FALSE(Network().IsEIPAvailableForBinding(REGION, strId, bAvailable).IsError());
  EXPECT_TRUE(bAvailable) << "fell back";
  EXPECT_EQ(WorldText("EipAddresses", strId, "InstanceId"), "");
  ASSERT_FALSE(Network().DeleteEIP(strId).IsError()) << Log().Dump();
}

TEST_F(NetworkAddressTest, BindingRefusalsAreFailuresThatChangeNothing) {
  Seed(AddressSeed("eip-acwlocked", "Available", R"({"LockReason": [{"LockReason": "financial"}]})"));
  CZeError err = Network().BindEIPToInstance("eip-acwlocked", RUNNING_INSTANCE);
  ASSERT_TRUE(err.IsError());
  EXPECT_EQ(err.GetErrorMessage(), "Error code: IncorrectEipStatus");
  EXPECT_TRUE(Log().Contains("Failed to bind EIP [eip-acwlocked] to instance [" + std::string(RUNNING_INSTANCE) + "]."));

  std::string strId;
  ASSERT_FALSE(Network().CreateEIPAddress(REGION, strId, "", "").IsError());
  err = Network().BindEIPToInstance(strId, OTHER_REGION_INSTANCE);
  ASSERT_TRUE(err.IsError());
  EXPECT_EQ(err.GetErrorMessage(), "Error code: InvalidParameter.Mismatch");

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
  Seed(AddressSeed("eip-acwone", "Available", R"({"LockReason": []})"));
  SElasticIPAddress sAddress;
  sAddress.strAllocationId = "unchanged";

  // The service reads the id as a comma list; another address must not answer for it.
  CZeError err = Network().GetElasticIPAddress(REGION, "eip-acwone,eip-acwother", sAddress);
  ASSERT_TRUE(err.IsError());
  EXPECT_EQ(err.GetErrorMessage(), "Failed to find EIP [eip-acwone,eip-acwother] in region [cn-acwnet].");
  EXPECT_EQ(sAddress.strAllocationId, "unchanged");

  err = Network().GetElasticIPAddress(OTHER_REGION, "eip-acwone", sAddress);
  ASSERT_TRUE(err.IsError());
  EXPECT_TRUE(Log().Contains("Failed to find EIP [eip-acwone] in region [cn-acwnet2]."));

  // Two records for one id (a confused answer) are refused, not guessed between.
  Emulator().RegisterAction(AcwEmulator::Product::Vpc, "DescribeEipAddresses", [](AcwEmulator::ActionContext&) {
    boost::json::object eip{{"AllocationId", "eip-acwone"}, {"Status", "Available"}};
    return boost::json::object{{"TotalCount", 2},
                               {"EipAddresses", boost::json::object{{"EipAddress", boost::json::array{eip, eip}}}}};
  });
  err = Network().GetElasticIPAddress(REGION, "eip-acwone", sAddress);
  ASSERT_TRUE(err.IsError());
  EXPECT_EQ(err.GetErrorMessage(), "Obtained more than one EIP for allocation id [eip-acwone] in region [cn-acwnet].");

  InjectFault(FaultKind::ErrorResponse, "DescribeEipAddresses");
  EXPECT_TRUE(Network().GetElasticIPAddress(REGION, "eip-acwone", sAddress).IsError());
  EXPECT_TRUE(Log().Contains("Failed to query EIP [eip-acwone] in region [cn-acwnet]."));
}

TEST_F(NetworkAddressTest, AnAllocationAnswerWithoutItsIdIsAFailure) {
  Emulator().RegisterAction(AcwEmulator::Product::Vpc, "AllocateEipAddress",
                            [](AcwEmulator::ActionContext&) { return boost::json::object{{"OrderId", 1}}; });
  std::string strId = "unchanged";
  CZeError err = Network().CreateEIPAddress(REGION, strId, "", "");
  ASSERT_TRUE(err.IsError());
  EXPECT_EQ(err.GetErrorMessage(), "Unable to parse Allocate-EIP response from sever.");
  EXPECT_EQ(strId, "unchanged");
  EXPECT_TRUE(Log().Contains("Failed to parse allocation Id from response ["));

  Emulator().RegisterAction(AcwEmulator::Product::Ecs, "AllocatePublicIpAddress",
                            [](AcwEmulator::ActionContext&) { return boost::json::object{{"IpAddress", ""}}; });
  std::string strIp = "unchanged";
  err = Network().AssociatePublicIP(RUNNING_INSTANCE, strIp);
  ASSERT_TRUE(err.IsError());
  EXPECT_EQ(err.GetErrorMessage(), "Failed to parse AllocatePublicIpAddress response.");
  EXPECT_EQ(strIp, "unchanged");
}

TEST_F(NetworkAddressTest, PublicAddressesNeedOutboundBandwidthAndAreGivenOnce) {
  std::string strIp;
  ASSERT_FALSE(Network().AssociatePublicIP(RUNNING_INSTANCE, strIp).IsError()) << Log().Dump();
  EXPECT_FALSE(strIp.empty());
  const auto vecCalls = JournalOf("AllocatePublicIpAddress");
  ASSERT_EQ(vecCalls.size(), 1u);
  EXPECT_EQ(vecCalls[0].host, "ecs.aliyuncs.com");
  EXPECT_EQ(Param(vecCalls[0], "InstanceId"), RUNNING_INSTANCE);
  EXPECT_NE(WorldJson("Instances", RUNNING_INSTANCE, "PublicIpAddress").find(strIp), std::string::npos);

  // The instance keeps its address: asking again gives the same one.
  std::string strAgain;
  ASSERT_FALSE(Network().AssociatePublicIP(RUNNING_INSTANCE, strAgain).IsError());
  EXPECT_EQ(strAgain, strIp);

  std::string strRefused = "unchanged";
  CZeError err = Network().AssociatePublicIP(NO_BANDWIDTH_INSTANCE, strRefused);
  ASSERT_TRUE(err.IsError());
  EXPECT_EQ(err.GetErrorMessage(), "Error code: AllocateIpInvalidInstanceBandwidth");
  EXPECT_EQ(strRefused, "unchanged");
  EXPECT_EQ(JournalOf("AllocatePublicIpAddress").size(), 3u);

  EXPECT_EQ(Network().AssociatePublicIP("", strRefused).GetErrorMessage(), "Empty instance Id passed.");
  EXPECT_EQ(JournalOf("AllocatePublicIpAddress").size(), 3u);
}

}  // namespace
}  // namespace AliCloudWrapper
