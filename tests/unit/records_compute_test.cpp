// Compute record converters over documents shaped like the real service's
// answers (DescribeInstances, DescribeInstanceAttribute, DescribeRegions,
// DescribeZones, DescribeInstanceTypes, DescribeImages, DescribeAvailableResource)
// and over the awkward cases that can really go wrong.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/ComputeRecords.h"
#include "TestSupport.h"

namespace AliCloudWrapper {
namespace {

// One instance as DescribeInstances sends it: members no converter reads, the
// instance-level lock objects, and an EipAddress whose Bandwidth is a number.
const char* const kInstance = R"({
  "InstanceId": "i-bp67acfmxazb4p****", "InstanceName": "backup-source",
  "Description": "web tier", "HostName": "web-01", "ImageId": "m-bp67acfmxazb4p****",
  "InstanceType": "ecs.g6.large", "InstanceTypeFamily": "ecs.g6",
  "RegionId": "cn-hangzhou", "ZoneId": "cn-hangzhou-g", "Status": "Running",
  "InstanceNetworkType": "vpc", "InstanceChargeType": "PostPaid",
  "InternetChargeType": "PayByTraffic", "CreationTime": "2018-05-23T07:58Z",
  "Cpu": 2, "Memory": 8192, "InternetMaxBandwidthIn": -1, "InternetMaxBandwidthOut": 5,
  "IoOptimized": true, "DeletionProtection": false, "SpotPriceLimit": 0.98,
  "VpcAttributes": {"VpcId": "vpc-bp1opxu1zkhn00gzv****", "VSwitchId": "vsw-bp1s5fnvk4gn2tws0****",
                    "NatIpAddress": "",
                    "PrivateIpAddress": {"IpAddress": ["172.17.166.10", "172.17.166.11"]}},
  "SecurityGroupIds": {"SecurityGroupId": ["sg-bp67acfmxazb4p****", "sg-bp1dxkpeb8vg0x4m****"]},
  "EipAddress": {"AllocationId": "eip-2ze88m67qx5z****", "IpAddress": "47.94.45.***",
                 "Bandwidth": 5, "InternetChargeType": "PayByTraffic", "IsSupportUnassociate": true},
  "PublicIpAddress": {"IpAddress": ["121.40.***.***"]},
  "InnerIpAddress": {"IpAddress": []},
  "OperationLocks": {"LockReason": [{"LockReason": "security", "LockMsg": "locked"}]},
  "NetworkInterfaces": {"NetworkInterface": [{"NetworkInterfaceId": "eni-1", "Type": "Primary",
      "PrivateIpSets": {"PrivateIpSet": [{"PrivateIpAddress": "172.17.166.10", "Primary": true}]}}]},
  "Tags": {"Tag": [{"TagKey": "env", "TagValue": "prod"}]},
  "MetadataOptions": {"HttpEndpoint": "enabled", "HttpTokens": "optional", "HttpPutResponseHopLimit": 1}
})";

std::string InstancePage(const std::string& instances) {
  return R"({"RequestId": "473469C7-AA6F-4DC5-B3DB-A3DC0DE3C83E", "TotalCount": 3,
             "PageNumber": 1, "PageSize": 10, "NextToken": "",
             "Instances": {"Instance": [)" + instances + "]}}";
}

TEST(ComputeRecordsTest, RealInstanceFillsEveryField) {
  ScopedLogCapture log(0);
  CAliCloudParser parser;
  SVMInfoLib earlier;
  earlier.strInstanceId = "i-earlier";
  std::vector<SVMInfoLib> vms{earlier};

  ASSERT_TRUE(parser.ParseNestedList(InstancePage(kInstance), "Instances", "Instance", vms));

  ASSERT_EQ(vms.size(), 2u);
  EXPECT_EQ(vms[0].strInstanceId, "i-earlier");  // the parser appends
  const SVMInfoLib& vm = vms[1];
  EXPECT_EQ(vm.strInstanceId, "i-bp67acfmxazb4p****");
  EXPECT_EQ(vm.strInstanceName, "backup-source");
  EXPECT_EQ(vm.strDescription, "web tier");
  EXPECT_EQ(vm.strHostName, "web-01");
  EXPECT_EQ(vm.strImageId, "m-bp67acfmxazb4p****");
  EXPECT_EQ(vm.strInstanceType, "ecs.g6.large");
  EXPECT_EQ(vm.strRegionId, "cn-hangzhou");
  EXPECT_EQ(vm.strZoneId, "cn-hangzhou-g");
  EXPECT_EQ(vm.strStatus, "Running");
  EXPECT_EQ(vm.strInternetChargeType, "PayByTraffic");
  EXPECT_EQ(vm.nInternetMaxBandwidthIn, -1);
  EXPECT_EQ(vm.nInternetMaxBandwidthOut, 5);

  EXPECT_EQ(vm.sNetworkInfo.strVpcId, "vpc-bp1opxu1zkhn00gzv****");
  EXPECT_EQ(vm.sNetworkInfo.strVSwitchId, "vsw-bp1s5fnvk4gn2tws0****");
  EXPECT_EQ(vm.sNetworkInfo.vecPrivateIpAddresses,
            (std::vector<std::string>{"172.17.166.10", "172.17.166.11"}));

  ASSERT_EQ(vm.vecSecurityGroups.size(), 2u);
  EXPECT_EQ(vm.vecSecurityGroups[0].strSecurityGroupId, "sg-bp67acfmxazb4p****");
  EXPECT_EQ(vm.vecSecurityGroups[1].strSecurityGroupId, "sg-bp1dxkpeb8vg0x4m****");

  // The compute service sends the elastic IP's bandwidth as a number.
  EXPECT_EQ(vm.sElasticIPAddress.strAllocationId, "eip-2ze88m67qx5z****");
  EXPECT_EQ(vm.sElasticIPAddress.strIpAddress, "47.94.45.***");
  EXPECT_EQ(vm.sElasticIPAddress.strBandwidth, "5");
  EXPECT_EQ(vm.sElasticIPAddress.strInternetChargeType, "PayByTraffic");
  EXPECT_TRUE(vm.sElasticIPAddress.vecLockReasons.empty());

  EXPECT_EQ(vm.vecPublicIpAddresses, (std::vector<std::string>{"121.40.***.***"}));
  // Filled elsewhere, never by the converter.
  EXPECT_TRUE(vm.vecDisks.empty());
  EXPECT_TRUE(vm.strNewHostName.empty());
  EXPECT_TRUE(vm.strOSName.empty());
  EXPECT_TRUE(vm.strArchitecture.empty());
  EXPECT_TRUE(log.Records().empty()) << log.Dump();
}

TEST(ComputeRecordsTest, InstanceAttributeBodyReadsAdditionalInfoOrLeavesFieldsAlone) {
  CAliCloudParser parser;
  std::string body = kInstance;
  body.insert(body.rfind('}'),
              R"(, "AdditionalInfo": {"Platform": "CentOS", "Architecture": "x86_64"})");
  SVMInfoLib withInfo;
  ASSERT_TRUE(parser.ParseObject(body, withInfo));
  EXPECT_EQ(withInfo.strOSName, "CentOS");
  EXPECT_EQ(withInfo.strArchitecture, "x86_64");
  EXPECT_EQ(withInfo.strInstanceId, "i-bp67acfmxazb4p****");

  ScopedLogCapture log(5);
  SVMInfoLib withoutInfo;
  withoutInfo.strOSName = "Ubuntu";
  withoutInfo.strArchitecture = "arm64";
  withoutInfo.strNewHostName = "restored-01";
  ASSERT_TRUE(parser.ParseObject(kInstance, withoutInfo));
  EXPECT_EQ(withoutInfo.strOSName, "Ubuntu");
  EXPECT_EQ(withoutInfo.strArchitecture, "arm64");
  EXPECT_EQ(withoutInfo.strNewHostName, "restored-01");
  ASSERT_EQ(log.Count("Did not find [AdditionalInfo] in the json."), 1u) << log.Dump();
  for (const SLogRecord& record : log.Records()) {
    EXPECT_FALSE(record.bError) << record.strMessage;
    EXPECT_EQ(record.nLevel, 2);
  }
}

TEST(ComputeRecordsTest, InstanceWithoutNestedObjectsConvertsWithFourErrorLines) {
  ScopedLogCapture log(0);
  CAliCloudParser parser;
  SVMInfoLib vm;
  ASSERT_TRUE(parser.ParseObject(R"({"InstanceId": "i-bare", "Status": "Stopped"})", vm));
  EXPECT_EQ(vm.strInstanceId, "i-bare");
  EXPECT_EQ(vm.nInternetMaxBandwidthOut, 0);
  EXPECT_TRUE(vm.sNetworkInfo.strVpcId.empty());
  EXPECT_TRUE(vm.vecSecurityGroups.empty());
  EXPECT_TRUE(vm.sElasticIPAddress.strAllocationId.empty());
  EXPECT_TRUE(vm.vecPublicIpAddresses.empty());
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                "\"VpcAttributes\" not found in response.",
                                "\"SecurityGroupIds\" not found in response.",
                                "\"EipAddress\" not found in response.",
                                "\"PublicIpAddress\" not found in response."}));
  EXPECT_NE(log.Records()[0].strContext.find("Convert"), std::string::npos);
}

TEST(ComputeRecordsTest, NestedObjectsStayApartAndMissingInnerMembersAreLogged) {
  ScopedLogCapture log(0);
  CAliCloudParser parser;
  // "SecurityGroupIds" without its array, and a VPC attachment without private
  // addresses: both logged, neither borrows from another member.
  SVMInfoLib vm;
  ASSERT_TRUE(parser.ParseObject(R"({"InstanceId": "i-1",
      "VpcAttributes": {"VpcId": "vpc-1", "VSwitchId": "vsw-1"},
      "SecurityGroupIds": {},
      "EipAddress": {"AllocationId": "", "IpAddress": "", "Bandwidth": ""},
      "PublicIpAddress": {"IpAddress": ["1.2.3.4", 7, null, "5.6.7.8"]}})", vm));
  EXPECT_EQ(vm.sNetworkInfo.strVpcId, "vpc-1");
  EXPECT_TRUE(vm.sNetworkInfo.vecPrivateIpAddresses.empty());
  EXPECT_TRUE(vm.vecSecurityGroups.empty());
  EXPECT_TRUE(vm.sElasticIPAddress.strAllocationId.empty());
  // Non-text public addresses are skipped, not fatal.
  EXPECT_EQ(vm.vecPublicIpAddresses, (std::vector<std::string>{"1.2.3.4", "5.6.7.8"}));
  EXPECT_TRUE(log.Contains("Failed to find \"PrivateIpAddress\" in response.")) << log.Dump();
  EXPECT_TRUE(log.Contains("\"SecurityGroupId\" not found in response.")) << log.Dump();
  EXPECT_EQ(log.Records().size(), 2u) << log.Dump();
}

TEST(ComputeRecordsTest, NonTextSecurityGroupIdFailsTheListButKeepsEarlierInstances) {
  ScopedLogCapture log(0);
  CAliCloudParser parser;
  std::string bad = R"({"InstanceId": "i-bad", "SecurityGroupIds": {"SecurityGroupId": ["sg-1", 42]}})";
  std::vector<SVMInfoLib> vms;
  EXPECT_FALSE(parser.ParseNestedList(InstancePage(std::string(kInstance) + "," + bad), "Instances",
                                      "Instance", vms));
  ASSERT_EQ(vms.size(), 1u);
  EXPECT_EQ(vms[0].strInstanceId, "i-bp67acfmxazb4p****");
  EXPECT_TRUE(log.Contains("Exception parsing json list [Instance]")) << log.Dump();

  SVMInfoLib single;
  EXPECT_FALSE(parser.ParseObject(bad, single));
  EXPECT_EQ(single.strInstanceId, "i-bad");  // fields read before the failure stay
}

TEST(ComputeRecordsTest, RegionsAndZones) {
  CAliCloudParser parser;
  std::vector<SDCInfoLib> regions;
  ASSERT_TRUE(parser.ParseNestedList(R"json({"RequestId": "r", "Regions": {"Region": [
      {"RegionId": "cn-qingdao", "LocalName": "华北1（青岛）",
       "RegionEndpoint": "ecs.cn-qingdao.aliyuncs.com", "Status": "available"},
      {"RegionId": "eu-central-1", "LocalName": "Germany (Frankfurt)",
       "RegionEndpoint": "ecs.eu-central-1.aliyuncs.com", "Status": "available"}]}})json",
                                     "Regions", "Region", regions));
  ASSERT_EQ(regions.size(), 2u);
  EXPECT_EQ(regions[0].strLocalName, "华北1（青岛）");
  EXPECT_EQ(regions[1].strRegionId, "eu-central-1");
  EXPECT_EQ(regions[1].strRegionEndpoint, "ecs.eu-central-1.aliyuncs.com");
  EXPECT_TRUE(regions[1].vecZones.empty());

  std::vector<SHostInfoLib> zones;
  ASSERT_TRUE(parser.ParseNestedList(R"({"Zones": {"Zone": [{"ZoneId": "cn-hangzhou-g",
      "LocalName": "Hangzhou Zone G", "ZoneType": "AvailabilityZone",
      "AvailableDiskCategories": {"DiskCategories": ["cloud_essd"]}}]}})", "Zones", "Zone", zones));
  ASSERT_EQ(zones.size(), 1u);
  EXPECT_EQ(zones[0].strZoneId, "cn-hangzhou-g");
  EXPECT_EQ(zones[0].strLocalName, "Hangzhou Zone G");
  EXPECT_TRUE(zones[0].strRegionId.empty());  // set by the inventory walk
}

TEST(ComputeRecordsTest, InstanceTypesFamiliesAndImages) {
  CAliCloudParser parser;
  std::vector<SInstanceTypeInfoLib> types;
  ASSERT_TRUE(parser.ParseNestedList(R"({"NextToken": "", "InstanceTypes": {"InstanceType": [
      {"InstanceTypeId": "ecs.t5-lc2m1.nano", "InstanceTypeFamily": "ecs.t5", "CpuCoreCount": 1,
       "MemorySize": 0.5, "GPUAmount": 0, "CpuArchitecture": "X86", "LocalStorageCapacity": 0},
      {"InstanceTypeId": "ecs.g6.large", "CpuCoreCount": 2, "MemorySize": 8}]}})",
                                     "InstanceTypes", "InstanceType", types));
  ASSERT_EQ(types.size(), 2u);
  EXPECT_EQ(types[0].strInstanceTypeId, "ecs.t5-lc2m1.nano");
  EXPECT_EQ(types[0].nCpuCoreCount, 1);
  EXPECT_DOUBLE_EQ(types[0].dMemorySize, 0.5);  // fractions kept
  EXPECT_DOUBLE_EQ(types[1].dMemorySize, 8.0);  // integer JSON number read as double

  std::vector<SInstanceTypeFamilyInfoLib> families;
  ASSERT_TRUE(parser.ParseNestedList(R"({"InstanceTypeFamilies": {"InstanceTypeFamily": [
      {"InstanceTypeFamilyId": "ecs.g6", "Generation": "ecs-5"}]}})",
                                     "InstanceTypeFamilies", "InstanceTypeFamily", families));
  ASSERT_EQ(families.size(), 1u);
  EXPECT_EQ(families[0].strInstanceTypeFamilyId, "ecs.g6");

  std::vector<SImageInfoLib> images;
  ASSERT_TRUE(parser.ParseNestedList(R"({"RegionId": "cn-hangzhou", "TotalCount": 1,
      "Images": {"Image": [{"ImageId": "m-bp1g7004ksh0oeuc****", "ImageName": "centos_7_9_x64",
        "Architecture": "x86_64", "Platform": "CentOS", "OSType": "linux", "Size": 40,
        "Progress": "100%", "IsSupportCloudinit": true,
        "DiskDeviceMappings": {"DiskDeviceMapping": [{"SnapshotId": "s-1", "Size": "40",
                                                        "Type": "system"}]}}]}})",
                                     "Images", "Image", images));
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].strImageName, "centos_7_9_x64");
  EXPECT_EQ(images[0].strArchitecture, "x86_64");
  EXPECT_EQ(images[0].strOSName, "CentOS");
}

TEST(ComputeRecordsTest, SupportedResourcesOfAnAvailableZone) {
  CAliCloudParser parser;
  const std::string body = R"({"AvailableZones": {"AvailableZone": [{"ZoneId": "cn-hangzhou-g",
      "RegionId": "cn-hangzhou", "Status": "Available", "StatusCategory": "WithStock",
      "AvailableResources": {"AvailableResource": [{"Type": "InstanceType",
        "SupportedResources": {"SupportedResource": [
          {"Value": "ecs.g6.large", "Status": "Available", "StatusCategory": "WithStock"},
          {"Value": "ecs.g6.xlarge", "Status": "SoldOut", "StatusCategory": "WithoutStock",
           "Unit": null}]}}]}}]}})";
  mArray zones;
  ASSERT_TRUE(parser.GetNestedList(body, "AvailableZones", "AvailableZone", zones));
  ASSERT_EQ(zones.size(), 1u);
  mArray available;
  ASSERT_TRUE(parser.GetNestedList(zones[0].get_obj(), "AvailableResources", "AvailableResource",
                                   available));
  std::vector<SResourceLib> resources;
  ASSERT_TRUE(parser.ParseNestedList(available[0].get_obj(), "SupportedResources",
                                     "SupportedResource", resources));
  ASSERT_EQ(resources.size(), 2u);
  EXPECT_EQ(resources[0].strValue, "ecs.g6.large");
  EXPECT_EQ(resources[0].strStatus, "Available");
  EXPECT_EQ(resources[1].strStatus, "SoldOut");
}

}  // namespace
}  // namespace AliCloudWrapper
