// Paged listing of DescribeInstances against the emulator, which pages with the
// real defaults (10 per page): request counts and the page numbers sent.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/ComputeRecords.h"
#include "EmulatorFixture.h"

namespace AliCloudWrapper {
namespace {

// The next nCount requests of strAction get no answer at all.
AcwEmulator::Fault Unanswered(const std::string& strAction, int nCount) {
  AcwEmulator::Fault sFault;
  sFault.kind = AcwEmulator::FaultKind::CloseBeforeAnswer;
  sFault.action = strAction;
  sFault.count = nCount;
  return sFault;
}

class PagingList : public EmulatorFixture {
 protected:
  void SetUp() override {
    EmulatorFixture::SetUp();
    sECS.SetAccessKeyId(KEY_ID);
    sECS.SetAccessKeySecret(KEY_SECRET);
  }

  // nCount instances "i-page-00" .. in cn-shanghai, listed in that order.
  void SeedInstances(int nCount) {
    std::string strItems;
    for (int i = 0; i < nCount; ++i) {
      if (i > 0) strItems += ",";
      strItems += "{\"InstanceId\":\"i-page-" + std::string(i < 10 ? "0" : "") + std::to_string(i) +
                  "\",\"RegionId\":\"cn-shanghai\",\"ZoneId\":\"cn-shanghai-e\"}";
    }
    Emulator().Seed(std::string_view("{\"Instances\":[" + strItems + "]}"));
  }

  CZeError ListRegion(const std::string& strRegion, int nPageSize) {
    SAliCloudRequest sRequest;
    sRequest.AddURLParameter("RegionId", strRegion);
    sRequest.AddURLParameter("Action", "DescribeInstances");
    return sECS.GetMultiPageList(sRequest, vecVMs, "Instances", "Instance", true, nPageSize);
  }

  std::vector<std::string> PageNumbersSent() const {
    std::vector<std::string> vecPages;
    for (const auto& sEntry : JournalOf("DescribeInstances")) vecPages.push_back(Param(sEntry, "PageNumber").value_or("-"));
    return vecPages;
  }

  CAliCloudECSConnection sECS;
  std::vector<SVMInfoLib> vecVMs;
};

TEST_F(PagingList, EmptyListCostsOneRequest) {
  ASSERT_FALSE(ListRegion("ap-southeast-1", 0).IsError());
  EXPECT_TRUE(vecVMs.empty());
  EXPECT_EQ(PageNumbersSent(), (std::vector<std::string>{"1"}));
}

TEST_F(PagingList, TwentyFiveInPagesOfTenCostThreeRequests) {
  SeedInstances(25);
  vecVMs.resize(2);
  vecVMs[0].strInstanceId = "mine-1";
  vecVMs[1].strInstanceId = "mine-2";
  ASSERT_FALSE(ListRegion("cn-shanghai", 10).IsError());

  EXPECT_EQ(PageNumbersSent(), (std::vector<std::string>{"1", "2", "3"}));
  for (const auto& sEntry : JournalOf("DescribeInstances")) EXPECT_EQ(Param(sEntry, "PageSize"), "10");
  ASSERT_EQ(vecVMs.size(), 27u);
  EXPECT_EQ(vecVMs[0].strInstanceId, "mine-1");  // the caller's records stay in front
  EXPECT_EQ(vecVMs[1].strInstanceId, "mine-2");
  EXPECT_EQ(vecVMs[2].strInstanceId, "i-page-00");
  EXPECT_EQ(vecVMs[26].strInstanceId, "i-page-24");
  EXPECT_EQ(vecVMs[26].strRegionId, "cn-shanghai");
}

// Without a page size the service's default applies: 10 per page.
TEST_F(PagingList, ServiceDefaultPageSizeWhenNoneIsGiven) {
  SeedInstances(21);
  ASSERT_FALSE(ListRegion("cn-shanghai", 0).IsError());
  EXPECT_EQ(PageNumbersSent(), (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_FALSE(Param(JournalOf("DescribeInstances")[0], "PageSize").has_value());
  EXPECT_EQ(vecVMs.size(), 21u);
}

// Each page is retried on its own; an unanswered page costs one more attempt.
TEST_F(PagingList, EachPageIsRetriedOnItsOwn) {
  SeedInstances(15);
  InjectFault(Unanswered("DescribeInstances", 1));
  ASSERT_FALSE(ListRegion("cn-shanghai", 10).IsError());
  EXPECT_EQ(PageNumbersSent(), (std::vector<std::string>{"1", "1", "2"}));
  EXPECT_EQ(vecVMs.size(), 15u);
  EXPECT_EQ(Sleeps().Pauses().size(), 1u);
}


// The emulator answers with the service's shapes: nested attachment objects,
// a numeric EIP bandwidth and lock objects, which the converters read.
TEST_F(PagingList, InstancesArriveInTheServiceShapes) {
  Emulator().Seed(std::string_view(R"({"Instances":[
    {"InstanceId":"i-web-1","InstanceName":"web-1","RegionId":"cn-shanghai","ZoneId":"cn-shanghai-e",
     "InternetMaxBandwidthOut":5,
     "VpcAttributes":{"VpcId":"vpc-a","VSwitchId":"vsw-a","PrivateIpAddress":{"IpAddress":["172.16.1.5"]}},
     "SecurityGroupIds":{"SecurityGroupId":["sg-1","sg-2"]},
     "EipAddress":{"AllocationId":"eip-1","IpAddress":"47.1.2.3","Bandwidth":5,"InternetChargeType":"PayByTraffic"},
     "PublicIpAddress":{"IpAddress":["121.0.0.1"]},
     "OperationLocks":{"LockReason":[{"LockReason":"security","LockMsg":"locked"}]}},
    {"InstanceId":"i-db-1","InstanceName":"db-1","RegionId":"cn-shanghai","ZoneId":"cn-shanghai-e",
     "VpcAttributes":{"VpcId":"vpc-b","VSwitchId":"vsw-b","PrivateIpAddress":{"IpAddress":[]}}}]})"));

  SAliCloudRequest sRequest;
  sRequest.AddURLParameter("RegionId", "cn-shanghai");
  sRequest.AddURLParameter("Action", "DescribeInstances");
  sRequest.AddURLParameter("InstanceName", "web*");
  ASSERT_FALSE(sECS.GetMultiPageList(sRequest, vecVMs, "Instances", "Instance", true, 0).IsError());
  ASSERT_EQ(vecVMs.size(), 1u);
  const SVMInfoLib& sVM = vecVMs[0];
  EXPECT_EQ(sVM.nInternetMaxBandwidthOut, 5);
  EXPECT_EQ(sVM.sNetworkInfo.strVpcId, "vpc-a");
  EXPECT_EQ(sVM.sNetworkInfo.vecPrivateIpAddresses, (std::vector<std::string>{"172.16.1.5"}));
  ASSERT_EQ(sVM.vecSecurityGroups.size(), 2u);
  EXPECT_EQ(sVM.vecSecurityGroups[1].strSecurityGroupId, "sg-2");
  EXPECT_EQ(sVM.sElasticIPAddress.strIpAddress, "47.1.2.3");
  EXPECT_EQ(sVM.vecPublicIpAddresses, (std::vector<std::string>{"121.0.0.1"}));

  // Filters on nested members: the VPC of the attachment.
  SAliCloudRequest sByVpc;
  sByVpc.AddURLParameter("RegionId", "cn-shanghai");
  sByVpc.AddURLParameter("Action", "DescribeInstances");
  sByVpc.AddURLParameter("VpcId", "vpc-b");
  std::vector<SVMInfoLib> vecByVpc;
  ASSERT_FALSE(sECS.GetMultiPageList(sByVpc, vecByVpc, "Instances", "Instance", true, 0).IsError());
  ASSERT_EQ(vecByVpc.size(), 1u);
  EXPECT_EQ(vecByVpc[0].strInstanceId, "i-db-1");

  // One instance as a flat document; an unknown one is the service's 404 code.
  CAliCloudParser sParser;
  SAliCloudRequest sAttribute;
  sAttribute.AddURLParameter("Action", "DescribeInstanceAttribute");
  sAttribute.AddURLParameter("InstanceId", "i-web-1");
  std::string strBody;
  ASSERT_FALSE(sECS.ExecuteRequest(sAttribute, strBody, false).IsError());
  SVMInfoLib sOne;
  ASSERT_TRUE(sParser.ParseObject(strBody, sOne));
  EXPECT_EQ(sOne.strInstanceId, "i-web-1");
  EXPECT_EQ(sOne.sElasticIPAddress.strAllocationId, "eip-1");
  EXPECT_NE(strBody.find("\"IoOptimized\":\"optimized\""), std::string::npos) << strBody;

  SAliCloudRequest sUnknown;
  sUnknown.AddURLParameter("Action", "DescribeInstanceAttribute");
  sUnknown.AddURLParameter("InstanceId", "i-missing");
  const CZeError eResult = sECS.ExecuteRequest(sUnknown, strBody, false);
  ASSERT_TRUE(eResult.IsError());
  EXPECT_EQ(eResult.GetErrorMessage(), "Error code: InvalidInstanceId.NotFound");
  EXPECT_EQ(Journal().back().status, 404);
}

}  // namespace
}  // namespace AliCloudWrapper
