// Compute record converters over documents shaped like the real service's
// answers (DescribeInstances, DescribeInstanceAttribute, DescribeRegions,
// DescribeZones, DescribeInstanceTypes, DescribeImages) and over the awkward
// cases that can really go wrong. How a list keeps what came before a failing
// element is the parser's own rule, tested with it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/ComputeRecords.h"
#include "TestSupport.h"

namespace AliCloudWrapper {
namespace {

using Texts = std::vector<std::string>;

// Converts the list at outer/inner of json, which must succeed.
template <typename T>
std::vector<T> ParseList(const std::string& json, const char* outer, const char* inner) {
  std::vector<T> out;
  EXPECT_TRUE(CAliCloudParser().ParseNestedList(json, outer, inner, out)) << json;
  return out;
}

// One instance as DescribeInstances sends it: members no converter reads, the
// instance-level lock objects, and an EipAddress whose Bandwidth is a number.
const char* const kInstance = R"({
  "InstanceId": "i-1", "InstanceName": "backup-source", "Description": "web tier",
  "HostName": "web-01", "ImageId": "m-1", "InstanceType": "ecs.g6.large", "RegionId": "cn-hangzhou",
  "ZoneId": "cn-hangzhou-g", "Status": "Running", "InternetChargeType": "PayByTraffic", "Cpu": 2,
  "InternetMaxBandwidthIn": -1, "InternetMaxBandwidthOut": 5, "SpotPriceLimit": 0.98,
  "VpcAttributes": {"VpcId": "vpc-1", "VSwitchId": "vsw-1", "NatIpAddress": "",
                    "PrivateIpAddress": {"IpAddress": ["172.17.166.10", "172.17.166.11"]}},
  "SecurityGroupIds": {"SecurityGroupId": ["sg-1", "sg-2"]},
  "EipAddress": {"AllocationId": "eip-1", "IpAddress": "47.94.45.***", "Bandwidth": 5,
                 "InternetChargeType": "PayByTraffic", "IsSupportUnassociate": true},
  "PublicIpAddress": {"IpAddress": ["121.40.***.***"]}, "InnerIpAddress": {"IpAddress": []},
  "OperationLocks": {"LockReason": [{"LockReason": "security", "LockMsg": "locked"}]},
  "Tags": {"Tag": [{"TagKey": "env", "TagValue": "prod"}]},
  "MetadataOptions": {"HttpEndpoint": "enabled", "HttpPutResponseHopLimit": 1}
})";

std::string InstancePage(const std::string& instances) {
  return R"({"RequestId": "R", "TotalCount": 3, "NextToken": "", "Instances": {"Instance": [)" +
         instances + "]}}";
}

TEST(ComputeRecordsTest, RealInstanceFillsEveryField) {
  ScopedLogCapture log(0);
  std::vector<SVMInfoLib> vms;
  ASSERT_TRUE(CAliCloudParser().ParseNestedList(InstancePage(kInstance), "Instances", "Instance", vms));
  ASSERT_EQ(vms.size(), 1u);
  const SVMInfoLib& vm = vms[0];
  EXPECT_EQ((Texts{vm.strInstanceId, vm.strInstanceName, vm.strDescription, vm.strHostName,
                   vm.strImageId, vm.strInstanceType, vm.strRegionId, vm.strZoneId, vm.strStatus,
                   vm.strInternetChargeType, vm.sNetworkInfo.strVpcId, vm.sNetworkInfo.strVSwitchId}),
            (Texts{"i-1", "backup-source", "web tier", "web-01", "m-1", "ecs.g6.large", "cn-hangzhou",
                   "cn-hangzhou-g", "Running", "PayByTraffic", "vpc-1", "vsw-1"}));
  EXPECT_EQ(vm.nInternetMaxBandwidthIn, -1);
  EXPECT_EQ(vm.nInternetMaxBandwidthOut, 5);
  EXPECT_EQ(vm.sNetworkInfo.vecPrivateIpAddresses, (Texts{"172.17.166.10", "172.17.166.11"}));
  ASSERT_EQ(vm.vecSecurityGroups.size(), 2u);
  EXPECT_EQ((Texts{vm.vecSecurityGroups[0].strSecurityGroupId,
                   vm.vecSecurityGroups[1].strSecurityGroupId}), (Texts{"sg-1", "sg-2"}));
  // The compute service sends the elastic IP's bandwidth as a number.
  const SElasticIPAddress& eip = vm.sElasticIPAddress;
  EXPECT_EQ((Texts{eip.strAllocationId, eip.strIpAddress, eip.strBandwidth, eip.strInternetChargeType}),
            (Texts{"eip-1", "47.94.45.***", "5", "PayByTraffic"}));
  EXPECT_TRUE(eip.vecLockReasons.empty());
  EXPECT_EQ(vm.vecPublicIpAddresses, (Texts{"121.40.***.***"}));
  EXPECT_TRUE(log.Records().empty()) << log.Dump();
}

TEST(ComputeRecordsTest, InstanceAttributeBodyReadsAdditionalInfoOrLeavesFieldsAlone) {
  CAliCloudParser parser;
  std::string body = kInstance;
  body.insert(body.rfind('}'), R"(, "AdditionalInfo": {"Platform": "CentOS", "Architecture": "x86_64"})");
  SVMInfoLib withInfo;
  ASSERT_TRUE(parser.ParseObject(body, withInfo));
  EXPECT_EQ((Texts{withInfo.strOSName, withInfo.strArchitecture}), (Texts{"CentOS", "x86_64"}));

  ScopedLogCapture log(5);
  SVMInfoLib withoutInfo;
  withoutInfo.strOSName = "Ubuntu";
  withoutInfo.strArchitecture = "arm64";
  withoutInfo.strNewHostName = "restored-01";
  ASSERT_TRUE(parser.ParseObject(kInstance, withoutInfo));
  EXPECT_EQ((Texts{withoutInfo.strOSName, withoutInfo.strArchitecture, withoutInfo.strNewHostName}),
            (Texts{"Ubuntu", "arm64", "restored-01"}));
  ASSERT_EQ(log.Count("Did not find [AdditionalInfo] in the json."), 1u) << log.Dump();
  for (const SLogRecord& record : log.Records()) {
    EXPECT_FALSE(record.bError) << record.strMessage;
    EXPECT_EQ(record.nLevel, 2);
  }
}

TEST(ComputeRecordsTest, MissingOrOddNestedObjectsAreLoggedNotBorrowed) {
  ScopedLogCapture log(0);
  CAliCloudParser parser;
  SVMInfoLib bare;
  ASSERT_TRUE(parser.ParseObject(R"({"InstanceId": "i-bare", "Status": "Stopped"})", bare));
  EXPECT_EQ(bare.strInstanceId, "i-bare");
  EXPECT_TRUE(bare.sNetworkInfo.strVpcId.empty() && bare.vecSecurityGroups.empty() &&
              bare.sElasticIPAddress.strAllocationId.empty() && bare.vecPublicIpAddresses.empty());
  EXPECT_EQ(log.Messages(), (Texts{"\"VpcAttributes\" not found in response.",
                                   "\"SecurityGroupIds\" not found in response.",
                                   "\"EipAddress\" not found in response.",
                                   "\"PublicIpAddress\" not found in response."}));
  EXPECT_NE(log.Records()[0].strContext.find("Convert"), std::string::npos);

  // "SecurityGroupIds" without its array, and a VPC attachment without private
  // addresses: both logged, neither borrows from another member.
  log.Clear();
  SVMInfoLib vm;
  ASSERT_TRUE(parser.ParseObject(R"({"InstanceId": "i-1",
      "VpcAttributes": {"VpcId": "vpc-1", "VSwitchId": "vsw-1"}, "SecurityGroupIds": {},
      "EipAddress": {"AllocationId": "", "IpAddress": "", "Bandwidth": ""},
      "PublicIpAddress": {"IpAddress": ["1.2.3.4", 7, null, "5.6.7.8"]}})", vm));
  EXPECT_EQ(vm.sNetworkInfo.strVpcId, "vpc-1");
  EXPECT_TRUE(vm.sNetworkInfo.vecPrivateIpAddresses.empty() && vm.vecSecurityGroups.empty());
  // Non-text public addresses are skipped, not fatal.
  EXPECT_EQ(vm.vecPublicIpAddresses, (Texts{"1.2.3.4", "5.6.7.8"}));
  EXPECT_EQ(log.Messages(), (Texts{"Failed to find \"PrivateIpAddress\" in response.",
                                   "\"SecurityGroupId\" not found in response."}));
}

TEST(ComputeRecordsTest, RegionsZonesTypesFamiliesAndImages) {
  const auto regions = ParseList<SDCInfoLib>(R"json({"Regions": {"Region": [{"RegionId": "cn-qingdao",
      "LocalName": "华北1（青岛）", "RegionEndpoint": "ecs.cn-qingdao.aliyuncs.com", "Status": "available"}]}})json",
                                             "Regions", "Region");
  ASSERT_EQ(regions.size(), 1u);
  EXPECT_EQ((Texts{regions[0].strRegionId, regions[0].strLocalName, regions[0].strRegionEndpoint}),
            (Texts{"cn-qingdao", "华北1（青岛）", "ecs.cn-qingdao.aliyuncs.com"}));
  EXPECT_TRUE(regions[0].vecZones.empty());

  const auto zones = ParseList<SHostInfoLib>(R"({"Zones": {"Zone": [{"ZoneId": "cn-hangzhou-g",
      "LocalName": "Zone G", "AvailableDiskCategories": {"DiskCategories": ["cloud_essd"]}}]}})",
                                             "Zones", "Zone");
  ASSERT_EQ(zones.size(), 1u);
  EXPECT_EQ((Texts{zones[0].strZoneId, zones[0].strLocalName, zones[0].strRegionId /* set by the walk */}),
            (Texts{"cn-hangzhou-g", "Zone G", ""}));

  const auto types = ParseList<SInstanceTypeInfoLib>(R"({"InstanceTypes": {"InstanceType": [
      {"InstanceTypeId": "ecs.t5-lc2m1.nano", "CpuCoreCount": 1, "MemorySize": 0.5, "GPUAmount": 0},
      {"InstanceTypeId": "ecs.g6.large", "CpuCoreCount": 2, "MemorySize": 8}]}})",
      "InstanceTypes", "InstanceType");
  ASSERT_EQ(types.size(), 2u);
  EXPECT_EQ(types[0].strInstanceTypeId, "ecs.t5-lc2m1.nano");
  EXPECT_EQ(types[0].nCpuCoreCount, 1);
  EXPECT_DOUBLE_EQ(types[0].dMemorySize, 0.5);  // fractions kept
  EXPECT_DOUBLE_EQ(types[1].dMemorySize, 8.0);  // integer JSON number read as double

  const auto families = ParseList<SInstanceTypeFamilyInfoLib>(
      R"({"InstanceTypeFamilies": {"InstanceTypeFamily": [{"InstanceTypeFamilyId": "ecs.g6"}]}})",
      "InstanceTypeFamilies", "InstanceTypeFamily");
  ASSERT_EQ(families.size(), 1u);
  EXPECT_EQ(families[0].strInstanceTypeFamilyId, "ecs.g6");

  const auto images = ParseList<SImageInfoLib>(R"({"Images": {"Image": [{"ImageId": "m-1",
      "ImageName": "centos_7_9_x64", "Architecture": "x86_64", "Platform": "CentOS", "Size": 40,
      "DiskDeviceMappings": {"DiskDeviceMapping": [{"SnapshotId": "s-1", "Size": "40"}]}}]}})",
      "Images", "Image");
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ((Texts{images[0].strImageId, images[0].strImageName, images[0].strArchitecture,
                   images[0].strOSName}), (Texts{"m-1", "centos_7_9_x64", "x86_64", "CentOS"}));
}

}  // namespace
}  // namespace AliCloudWrapper
