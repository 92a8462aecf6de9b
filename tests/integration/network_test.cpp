// Networking against the emulator: elastic and public IP addresses (when an
// address counts as free, allocation, binding and releasing through the
// service's states, lookups, public IP allocation), and security groups, VPCs
// and VSwitches (find-or-create of a group, exact id matching over every page,
// what the listings send and append, the failures of creation and listing).
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

// ---- security groups, VPCs and VSwitches

using NetworkGroupTest = NetworkTest;

TEST_F(NetworkGroupTest, GetSecurityGroupFindsTheFirstGroupOrCreatesANamelessOne) {
  // The service's order, not the ids' order; nothing is created.
  std::string strGroupId, strCreated, strAgain;
  ASSERT_FALSE(Network().GetSecurityGroup(REGION, VPC_WITH_GROUPS, strGroupId).IsError());
  EXPECT_EQ(strGroupId, FIRST_GROUP);
  const auto vecLists = JournalOf("DescribeSecurityGroups");
  ASSERT_EQ(vecLists.size(), 1u);
  EXPECT_EQ(vecLists[0].host, "ecs.aliyuncs.com");
  EXPECT_EQ(Sent(vecLists[0], {"RegionId", "VpcId"}), "RegionId=cn-acwnet VpcId=" + std::string(VPC_WITH_GROUPS));
  EXPECT_TRUE(JournalOf("CreateSecurityGroup").empty());

  // A VPC without a group gets one, without name or description.
  ASSERT_FALSE(Network().GetSecurityGroup(REGION, VPC_WITHOUT_GROUPS, strCreated).IsError());
  EXPECT_TRUE(Log().Contains("Failed to get any security groups in region [cn-acwnet] and VPC [" +
                             std::string(VPC_WITHOUT_GROUPS) + "]."));
  const auto vecCreates = JournalOf("CreateSecurityGroup");
  ASSERT_EQ(vecCreates.size(), 1u);
  EXPECT_EQ(Sent(vecCreates[0], {"VpcId", "SecurityGroupName", "Description"}),
            "VpcId=" + std::string(VPC_WITHOUT_GROUPS) + " SecurityGroupName Description");
  ASSERT_FALSE(strCreated.empty());
  EXPECT_EQ(WorldText("SecurityGroups", strCreated, "VpcId"), VPC_WITHOUT_GROUPS);
  // The VPC has a group now: the next call finds it.
  ASSERT_FALSE(Network().GetSecurityGroup(REGION, VPC_WITHOUT_GROUPS, strAgain).IsError());
  EXPECT_EQ(strAgain, strCreated);
  EXPECT_EQ(JournalOf("CreateSecurityGroup").size(), 1u);

  // Created directly, a name and a description are sent when given.
  ASSERT_FALSE(
      Network().CreateSecurityGroup(REGION, VPC_WITH_GROUPS, strGroupId, "restored web", "from backup").IsError());
  EXPECT_EQ(Sent(JournalOf("CreateSecurityGroup").back(), {"SecurityGroupName", "Description"}),
            "SecurityGroupName=restored web Description=from backup");
  EXPECT_EQ(WorldText("SecurityGroups", strGroupId, "SecurityGroupName"), "restored web");
}

TEST_F(NetworkGroupTest, DoesSecurityGroupExistMatchesIdsExactlyOverEveryPage) {
  // Twelve more groups push the last one onto the second page of ten.
  boost::json::array groups;
  for (int n = 0; n < 12; ++n) {
    groups.push_back(boost::json::object{{"SecurityGroupId", "sg-acwnetpage" + std::to_string(n)},
                                         {"VpcId", VPC_WITHOUT_GROUPS}, {"_RegionId", REGION}});
  }
  Emulator().Seed(boost::json::object{{"SecurityGroups", groups}});

  bool bExists = false;
  ASSERT_FALSE(Network().DoesSecurityGroupExist(REGION, "sg-acwnetpage11", bExists).IsError());
  EXPECT_TRUE(bExists);
  const auto vecLists = JournalOf("DescribeSecurityGroups");
  ASSERT_EQ(vecLists.size(), 2u);
  // Every group of the region, whatever its VPC.
  EXPECT_FALSE(Param(vecLists[0], "VpcId").has_value());

  // Another letter case, or a group of another region, is not a match.
  for (const char* pszId : {"SG-ACWNETPAGE11", "sg-acwnet0000000003"}) {
    bExists = true;
    ASSERT_FALSE(Network().DoesSecurityGroupExist(REGION, pszId, bExists).IsError());
    EXPECT_FALSE(bExists) << pszId;
  }
}

TEST_F(NetworkGroupTest, ListingsFilterOnlyByWhatWasGivenAndAppend) {
  std::vector<SVSwitchInfoLib> vecVSwitches, vecOfVpcInZone;
  ASSERT_FALSE(Network().GetVSwitches(REGION, vecVSwitches, "", "").IsError());
  EXPECT_EQ(vecVSwitches.size(), 3u);
  // A zone alone, into the same list: the first results stay in front.
  ASSERT_FALSE(Network().GetVSwitches(REGION, vecVSwitches, "", "cn-acwnet-b").IsError());
  ASSERT_EQ(vecVSwitches.size(), 4u);
  EXPECT_EQ(vecVSwitches[3].strVSwitchId, "vsw-acwnet0000000002");
  ASSERT_FALSE(Network().GetVSwitches(REGION, vecOfVpcInZone, VPC_WITH_GROUPS, "cn-acwnet-a").IsError());
  ASSERT_EQ(vecOfVpcInZone.size(), 1u);
  EXPECT_EQ(vecOfVpcInZone[0].strVSwitchId, "vsw-acwnet0000000001");

  const auto vecCalls = JournalOf("DescribeVSwitches");
  ASSERT_EQ(vecCalls.size(), 3u);
  EXPECT_EQ(vecCalls[0].host, "vpc.aliyuncs.com");
  EXPECT_EQ(Sent(vecCalls[0], {"RegionId", "VpcId", "ZoneId"}), "RegionId=cn-acwnet VpcId ZoneId");
  EXPECT_EQ(Sent(vecCalls[1], {"VpcId", "ZoneId"}), "VpcId ZoneId=cn-acwnet-b");

  std::vector<SVPCInfoLib> vecVpcs;
  ASSERT_FALSE(Network().GetVPCListInRegion(REGION, vecVpcs).IsError());
  ASSERT_FALSE(Network().GetVPCListInRegion(REGION, vecVpcs).IsError());
  ASSERT_EQ(vecVpcs.size(), 4u);
  EXPECT_EQ(vecVpcs[0].strVpcId, VPC_WITH_GROUPS);
  EXPECT_EQ(vecVpcs[2].strVpcId, VPC_WITH_GROUPS);
  EXPECT_EQ(JournalOf("DescribeVpcs")[0].host, "vpc.aliyuncs.com");

  std::vector<SSecurityGroupInfoLib> vecGroups{SSecurityGroupInfoLib("sg-kept")};
  ASSERT_FALSE(Network().GetSecurityGroupListInRegion(REGION, vecGroups, VPC_WITH_GROUPS).IsError());
  std::vector<std::string> vecIds;
  for (const auto& sGroup : vecGroups) vecIds.push_back(sGroup.strSecurityGroupId);
  EXPECT_EQ(vecIds, (std::vector<std::string>{"sg-kept", FIRST_GROUP, SECOND_GROUP}));
}

TEST_F(NetworkGroupTest, ArgumentErrorsSendNothing) {
  std::vector<SSecurityGroupInfoLib> vecGroups;
  std::vector<SVSwitchInfoLib> vecVSwitches;
  std::vector<SVPCInfoLib> vecVpcs;
  std::string strGroupId = "unchanged";
  bool bExists = true;
  const std::vector<std::pair<CZeError, std::string>> vecCases = {
      {Network().GetSecurityGroupListInRegion("", vecGroups, VPC_WITH_GROUPS), "Empty region Id passed."},
      {Network().DoesSecurityGroupExist("", FIRST_GROUP, bExists), "Empty region Id passed."},
      {Network().GetVSwitches("", vecVSwitches, "", ""), "Empty region Id passed."},
      {Network().GetVPCListInRegion("", vecVpcs), "Empty region Id passed."},
      {Network().CreateSecurityGroup("", VPC_WITH_GROUPS, strGroupId, "", ""), "Empty region Id passed."},
      {Network().CreateSecurityGroup(REGION, "", strGroupId, "", ""), "Empty VPC Id passed."},
      {Network().GetSecurityGroup("", VPC_WITH_GROUPS, strGroupId), "Empty region Id passed."},
      {Network().GetSecurityGroup(REGION, "", strGroupId), "Empty VPC Id passed."},
  };
  for (const auto& [err, strText] : vecCases) {
    EXPECT_EQ(err.GetErrorCode(), 1);
    EXPECT_EQ(err.GetErrorMessage(), strText);
  }
  EXPECT_TRUE(bExists);
  EXPECT_EQ(strGroupId, "unchanged");
  EXPECT_TRUE(Journal().empty());
}

TEST_F(NetworkGroupTest, FailuresCarryTheServiceCodeAndAreLogged) {
  InjectFault(FaultKind::ErrorResponse, "DescribeSecurityGroups", 1, 503);
  std::string strGroupId = "unchanged";
  EXPECT_EQ(Network().GetSecurityGroup(REGION, VPC_WITH_GROUPS, strGroupId).GetErrorMessage(),
            "Error code: InternalError");
  EXPECT_EQ(strGroupId, "unchanged");
  EXPECT_TRUE(Log().Contains("Failed to get security groups in region [cn-acwnet]. Error : [Error code: InternalError]."));
  // An answer of the service is final: one request, no creation behind a failed listing.
  EXPECT_EQ(JournalOf("DescribeSecurityGroups").size(), 1u);
  EXPECT_TRUE(JournalOf("CreateSecurityGroup").empty());

  EXPECT_EQ(Network().CreateSecurityGroup(REGION, "vpc-acwnetmissing", strGroupId, "", "").GetErrorMessage(),
            "Error code: InvalidVpcId.NotFound");
  EXPECT_TRUE(Log().Contains("Failed to create security group in region [cn-acwnet]. Error is : "
                             "[Error code: InvalidVpcId.NotFound]."));

  std::vector<SVPCInfoLib> vecVpcs;
  InjectFault(FaultKind::ErrorResponse, "DescribeVpcs");
  EXPECT_TRUE(Network().GetVPCListInRegion(REGION, vecVpcs).IsError());
  EXPECT_TRUE(Log().Contains("Failed to query list of VPCs in region [cn-acwnet]."));
  std::vector<SVSwitchInfoLib> vecVSwitches;
  InjectFault(FaultKind::ErrorResponse, "DescribeVSwitches");
  EXPECT_TRUE(Network().GetVSwitches(REGION, vecVSwitches, "", "").IsError());
  EXPECT_TRUE(Log().Contains("Failed to query list of VSwitches in region [cn-acwnet]."));

  // The service accepted a creation but its answer names no group: an empty id
  // must not pass for a group a new instance could join.
  Emulator().RegisterAction(AcwEmulator::Product::Ecs, "CreateSecurityGroup",
                            [](AcwEmulator::ActionContext&) { return boost::json::object{}; });
  EXPECT_EQ(Network().GetSecurityGroup(REGION, VPC_WITHOUT_GROUPS, strGroupId).GetErrorMessage(),
            "Failed to parse response.");
  EXPECT_EQ(strGroupId, "unchanged");
  EXPECT_TRUE(Log().Contains("Failed to parse response [{\"RequestId\""));
}

}  // namespace
}  // namespace AliCloudWrapper
