// Security groups, VPCs and VSwitches against the emulator: the find-or-create
// of a security group, exact id matching over every page, what the listings
// send and append, and the failures of creation and listing.
#include <string>
#include <utility>
#include <vector>

#include "ServiceTestFixture.h"

namespace AliCloudWrapper {
namespace {

using AcwEmulator::FaultKind;

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
