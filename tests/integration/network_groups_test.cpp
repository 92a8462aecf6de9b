// Security groups, VPCs and VSwitches against the emulator: the find-or-create
// of a security group, exact id matching over every page, what the listings
// send and append, and the failures of creation and listing.
#include <gtest/gtest.h>

#include <boost/json.hpp>

#include <string>
#include <vector>

#include "NetworkTestFixture.h"

namespace AliCloudWrapper {
namespace {

using AcwEmulator::FaultKind;

using NetworkGroupTest = NetworkTest;

std::vector<std::string> GroupIds(const std::vector<SSecurityGroupInfoLib>& vecGroups) {
  std::vector<std::string> vecIds;
  for (const auto& sGroup : vecGroups) vecIds.push_back(sGroup.strSecurityGroupId);
  return vecIds;
}

TEST_F(NetworkGroupTest, GetSecurityGroupTakesTheFirstGroupOfTheVpcAndCreatesNothing) {
  std::string strGroupId;
  ASSERT_FALSE(Network().GetSecurityGroup(REGION, VPC_WITH_GROUPS, strGroupId).IsError()) << Log().Dump();
  // The service's order, not the ids' order.
  EXPECT_EQ(strGroupId, FIRST_GROUP);

  const auto vecLists = JournalOf("DescribeSecurityGroups");
  ASSERT_EQ(vecLists.size(), 1u);
  EXPECT_EQ(vecLists[0].host, "ecs.aliyuncs.com");
  EXPECT_EQ(Param(vecLists[0], "RegionId"), REGION);
  EXPECT_EQ(Param(vecLists[0], "VpcId"), VPC_WITH_GROUPS);
  EXPECT_TRUE(JournalOf("CreateSecurityGroup").empty());
}

TEST_F(NetworkGroupTest, GetSecurityGroupCreatesANamelessGroupForAVpcWithoutOne) {
  std::string strGroupId;
  ASSERT_FALSE(Network().GetSecurityGroup(REGION, VPC_WITHOUT_GROUPS, strGroupId).IsError()) << Log().Dump();
  EXPECT_TRUE(Log().Contains("Failed to get any security groups in region [cn-acwnet] and VPC [" +
                             std::string(VPC_WITHOUT_GROUPS) + "]."));

  const auto vecCreates = JournalOf("CreateSecurityGroup");
  ASSERT_EQ(vecCreates.size(), 1u);
  EXPECT_EQ(Param(vecCreates[0], "RegionId"), REGION);
  EXPECT_EQ(Param(vecCreates[0], "VpcId"), VPC_WITHOUT_GROUPS);
  EXPECT_FALSE(Param(vecCreates[0], "SecurityGroupName").has_value());
  EXPECT_FALSE(Param(vecCreates[0], "Description").has_value());
  ASSERT_FALSE(strGroupId.empty());
  EXPECT_EQ(WorldText("SecurityGroups", strGroupId, "VpcId"), VPC_WITHOUT_GROUPS);

  // The VPC has a group now: the next call finds it.
  std::string strAgain;
  ASSERT_FALSE(Network().GetSecurityGroup(REGION, VPC_WITHOUT_GROUPS, strAgain).IsError());
  EXPECT_EQ(strAgain, strGroupId);
  EXPECT_EQ(JournalOf("CreateSecurityGroup").size(), 1u);
}

TEST_F(NetworkGroupTest, CreateSecurityGroupSendsNameAndDescriptionWhenGiven) {
  std::string strGroupId;
  ASSERT_FALSE(Network()
                   .CreateSecurityGroup(REGION, VPC_WITH_GROUPS, strGroupId, "restored web", "from backup")
                   .IsError());
  const auto vecCreates = JournalOf("CreateSecurityGroup");
  ASSERT_EQ(vecCreates.size(), 1u);
  EXPECT_EQ(Param(vecCreates[0], "SecurityGroupName"), "restored web");
  EXPECT_EQ(Param(vecCreates[0], "Description"), "from backup");
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
  ASSERT_FALSE(Network().DoesSecurityGroupExist(REGION, "sg-acwnetpage11", bExists).IsError()) << Log().Dump();
  EXPECT_TRUE(bExists);
  const auto vecLists = JournalOf("DescribeSecurityGroups");
  ASSERT_EQ(vecLists.size(), 2u);
  // Every group of the region, whatever its VPC.
  EXPECT_FALSE(Param(vecLists[0], "VpcId").has_value());

  bExists = true;
  ASSERT_FALSE(Network().DoesSecurityGroupExist(REGION, "SG-ACWNETPAGE11", bExists).IsError());
  EXPECT_FALSE(bExists);
  bExists = true;
  ASSERT_FALSE(Network().DoesSecurityGroupExist(REGION, "sg-acwnet0000000003", bExists).IsError());
  EXPECT_FALSE(bExists) << "a group of another region";
}

TEST_F(NetworkGroupTest, ListingsFilterOnlyByWhatWasGivenAndAppend) {
  std::vector<SVSwitchInfoLib> vecVSwitches;
  ASSERT_FALSE(Network().GetVSwitches(REGION, vecVSwitches, "", "").IsError()) << Log().Dump();
  EXPECT_EQ(vecVSwitches.size(), 3u);
  auto vecCalls = JournalOf("DescribeVSwitches");
  ASSERT_EQ(vecCalls.size(), 1u);
  EXPECT_EQ(vecCalls[0].host, "vpc.aliyuncs.com");
  EXPECT_EQ(Param(vecCalls[0], "RegionId"), REGION);
  EXPECT_FALSE(Param(vecCalls[0], "VpcId").has_value());
  EXPECT_FALSE(Param(vecCalls[0], "ZoneId").has_value());

  // A zone alone, into the same list: the first results stay in front.
  ASSERT_FALSE(Network().GetVSwitches(REGION, vecVSwitches, "", ZONE_B).IsError());
  ASSERT_EQ(vecVSwitches.size(), 4u);
  EXPECT_EQ(vecVSwitches[3].strVSwitchId, "vsw-acwnet0000000002");
  vecCalls = JournalOf("DescribeVSwitches");
  EXPECT_FALSE(Param(vecCalls[1], "VpcId").has_value());
  EXPECT_EQ(Param(vecCalls[1], "ZoneId"), ZONE_B);

  std::vector<SVSwitchInfoLib> vecOfVpcInZone;
  ASSERT_FALSE(Network().GetVSwitches(REGION, vecOfVpcInZone, VPC_WITH_GROUPS, ZONE_A).IsError());
  ASSERT_EQ(vecOfVpcInZone.size(), 1u);
  EXPECT_EQ(vecOfVpcInZone[0].strVSwitchId, "vsw-acwnet0000000001");

  std::vector<SVPCInfoLib> vecVpcs;
  ASSERT_FALSE(Network().GetVPCListInRegion(REGION, vecVpcs).IsError());
  ASSERT_FALSE(Network().GetVPCListInRegion(REGION, vecVpcs).IsError());
  ASSERT_EQ(vecVpcs.size(), 4u);
  EXPECT_EQ(vecVpcs[0].strVpcId, VPC_WITH_GROUPS);
  EXPECT_EQ(vecVpcs[2].strVpcId, VPC_WITH_GROUPS);
  EXPECT_EQ(JournalOf("DescribeVpcs")[0].host, "vpc.aliyuncs.com");

  std::vector<SSecurityGroupInfoLib> vecGroups{SSecurityGroupInfoLib("sg-kept")};
  ASSERT_FALSE(Network().GetSecurityGroupListInRegion(REGION, vecGroups, VPC_WITH_GROUPS).IsError());
  EXPECT_EQ(GroupIds(vecGroups), (std::vector<std::string>{"sg-kept", FIRST_GROUP, SECOND_GROUP}));
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
    EXPECT_TRUE(err.IsError());
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
  CZeError err = Network().GetSecurityGroup(REGION, VPC_WITH_GROUPS, strGroupId);
  ASSERT_TRUE(err.IsError());
  EXPECT_EQ(err.GetErrorMessage(), "Error code: InternalError");
  EXPECT_EQ(strGroupId, "unchanged");
  EXPECT_TRUE(Log().Contains("Failed to get security groups in region [cn-acwnet]. Error : [Error code: InternalError]."))
      << Log().Dump();
  // An answer of the service is final: one request, no creation behind a failed listing.
  EXPECT_EQ(JournalOf("DescribeSecurityGroups").size(), 1u);
  EXPECT_TRUE(JournalOf("CreateSecurityGroup").empty());

  err = Network().CreateSecurityGroup(REGION, "vpc-acwnetmissing", strGroupId, "", "");
  ASSERT_TRUE(err.IsError());
  EXPECT_EQ(err.GetErrorMessage(), "Error code: InvalidVpcId.NotFound");
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
}

TEST_F(NetworkGroupTest, ACreationAnswerWithoutAnIdIsAFailure) {
  // The service accepted the request but its answer names no group: an empty id
  // must not pass for a group a new instance could join.
  Emulator().RegisterAction(AcwEmulator::Product::Ecs, "CreateSecurityGroup",
                            [](AcwEmulator::ActionContext&) { return boost::json::object{}; });
  std::string strGroupId = "unchanged";
  CZeError err = Network().GetSecurityGroup(REGION, VPC_WITHOUT_GROUPS, strGroupId);
  ASSERT_TRUE(err.IsError());
  EXPECT_EQ(err.GetErrorMessage(), "Failed to parse response.");
  EXPECT_EQ(strGroupId, "unchanged");
  EXPECT_TRUE(Log().Contains("Failed to parse response [{\"RequestId\""));
}

}  // namespace
}  // namespace AliCloudWrapper
