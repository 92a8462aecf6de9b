// Record converters over documents shaped like the real services' answers
// (compute: DescribeInstances, DescribeInstanceAttribute, DescribeRegions,
// DescribeZones, DescribeInstanceTypes, DescribeImages; storage, network and
// database: DescribeDisks, DescribeSnapshots, DescribeEipAddresses, DescribeVpcs,
// DescribeVSwitches, DescribeSecurityGroups, DescribeDBInstances,
// DescribeDBInstanceAttribute) and over the awkward cases that can really go
// wrong. How a list keeps what came before a failing element is the parser's
// own rule, tested with it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/ComputeRecords.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"
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

// One elastic IP as DescribeEipAddresses sends it, with the given OperationLocks
// member (none when empty).
std::string Eip(const std::string& allocationId, const std::string& operationLocks) {
  return R"({"AllocationId": ")" + allocationId + R"(", "IpAddress": "47.75.***.***",
    "RegionId": "cn-hongkong", "InstanceId": "i-j6c1", "Status": "InUse", "ChargeType": "PostPaid",
    "InternetChargeType": "PayByBandwidth", "Bandwidth": "100", "DeletionProtection": false,
    "Tags": {"Tag": [{"Key": "env", "Value": "prod"}]})" +
         (operationLocks.empty() ? "" : ", \"OperationLocks\": " + operationLocks) + "}";
}

std::vector<SElasticIPAddress> ParseEips(const std::vector<std::string>& addresses) {
  std::string list;
  for (const std::string& address : addresses) list += (list.empty() ? "" : ",") + address;
  return ParseList<SElasticIPAddress>(R"({"TotalCount": 4, "EipAddresses": {"EipAddress": [)" +
                                          list + "]}}", "EipAddresses", "EipAddress");
}

TEST(StorageNetworkRecordsTest, DisksFromARealPage) {
  ScopedLogCapture log(0);
  CAliCloudParser parser;
  std::vector<SDiskInfoLib> disks;
  ASSERT_TRUE(parser.ParseNestedList(R"({"TotalCount": 3, "PageNumber": 1, "Disks": {"Disk": [
      {"DiskId": "d-sys", "DiskName": "sys", "Description": "system disk", "RegionId": "cn-hangzhou",
       "ZoneId": "cn-hangzhou-g", "Type": "system", "Category": "cloud_essd", "Status": "In_use",
       "Size": 40, "Encrypted": false, "DeleteWithInstance": true, "IOPS": 4000,
       "OperationLocks": {"OperationLock": [{"LockReason": "security"}]},
       "Attachments": {"Attachment": [{"InstanceId": "i-1", "Device": "/dev/xvda"}]}},
      {"DiskId": "d-data", "Type": "data", "Size": 32768, "Encrypted": true, "DeleteWithInstance": false},
      {"DiskId": "d-upper", "Type": "SYSTEM", "Size": -1}]}})", "Disks", "Disk", disks));
  ASSERT_EQ(disks.size(), 3u);
  const SDiskInfoLib& sys = disks[0];
  EXPECT_EQ((Texts{sys.strDiskId, sys.strDiskName, sys.strRegionId, sys.strZoneId, sys.strCategory,
                   sys.strStatus, sys.strDescription /* the caller's field, never read */}),
            (Texts{"d-sys", "sys", "cn-hangzhou", "cn-hangzhou-g", "cloud_essd", "In_use", ""}));
  EXPECT_EQ(sys.nSize, 40);
  EXPECT_TRUE(sys.bIsSystemDisk && !sys.bIsEncrypted && sys.bDeleteWithInstance);
  EXPECT_TRUE(!disks[1].bIsSystemDisk && disks[1].bIsEncrypted && !disks[1].bDeleteWithInstance);
  EXPECT_EQ(disks[1].nSize, 32768);
  EXPECT_TRUE(disks[2].bIsSystemDisk);  // letter case does not matter
  EXPECT_EQ(disks[2].nSize, -1);        // widened with its sign
  EXPECT_TRUE(log.Records().empty()) << log.Dump();
}

TEST(StorageNetworkRecordsTest, SnapshotProgressIsTheLeadingInteger) {
  const auto snapshots = ParseList<SSnapshotInfoLib>(R"({"TotalCount": 5, "Snapshots": {"Snapshot": [
      {"SnapshotId": "s-1", "SnapshotName": "nightly", "Description": "before upgrade",
       "SourceDiskId": "d-1", "SourceDiskSize": "40", "Progress": "100%", "Status": "accomplished"},
      {"SnapshotId": "s-2", "Progress": "45%"}, {"SnapshotId": "s-3", "Progress": ""},
      {"SnapshotId": "s-4", "Progress": "n/a"}, {"SnapshotId": "s-5", "Progress": 60}]}})",
                                                     "Snapshots", "Snapshot");
  ASSERT_EQ(snapshots.size(), 5u);
  EXPECT_EQ((Texts{snapshots[0].strSnapshotId, snapshots[0].strSnapshotName,
                   snapshots[0].strDescription, snapshots[0].strSourceDiskId}),
            (Texts{"s-1", "nightly", "before upgrade", "d-1"}));
  std::vector<int> progress;
  for (const SSnapshotInfoLib& snapshot : snapshots) progress.push_back(snapshot.nProgress);
  EXPECT_EQ(progress, (std::vector<int>{100, 45, 0, 0, 60}));  // a number is read as its text
}

TEST(StorageNetworkRecordsTest, ElasticIpLockReasonsInEveryShapeTheServiceSends) {
  ScopedLogCapture log(0);
  const std::vector<SElasticIPAddress> eips = ParseEips({
      Eip("eip-unlocked", R"({"LockReason": []})"),
      Eip("eip-financial", R"({"LockReason": [{"LockReason": "financial"}]})"),
      Eip("eip-two", R"({"LockReason": [{"LockReason": "financial"}, {"LockReason": "security"}]})"),
      Eip("eip-no-locks", ""),
      Eip("eip-strings", R"({"LockReason": ["security", {"LockReason": "sharedPool"}]})"),
      Eip("eip-no-array", "{}")});
  ASSERT_EQ(eips.size(), 6u);
  const SElasticIPAddress& first = eips[0];
  EXPECT_EQ((Texts{first.strAllocationId, first.strIpAddress, first.strRegionId, first.strInstanceId,
                   first.strStatus, first.strBandwidth, first.strInternetChargeType}),
            (Texts{"eip-unlocked", "47.75.***.***", "cn-hongkong", "i-j6c1", "InUse", "100",
                   "PayByBandwidth"}));
  // A locked address must never come out with an empty lock list.
  const std::vector<Texts> expected{{}, {"financial"}, {"financial", "security"},
                                    {}, {"security", "sharedPool"}, {}};
  for (size_t i = 0; i < eips.size(); ++i) EXPECT_EQ(eips[i].vecLockReasons, expected[i]) << i;
  EXPECT_TRUE(log.Records().empty()) << log.Dump();

  // A lock object without a reason still counts as a lock; a number is not a lock
  // element: it ends the conversion of that address, which is still listed.
  const std::vector<SElasticIPAddress> odd = ParseEips(
      {Eip("eip-odd", R"({"LockReason": [{"LockMsg": "no reason"}, "security", 7, "later"]})"),
       Eip("eip-next", R"({"LockReason": []})")});
  ASSERT_EQ(odd.size(), 2u);
  EXPECT_EQ(odd[0].strInternetChargeType, "PayByBandwidth");
  EXPECT_EQ(odd[0].vecLockReasons, (Texts{"", "security"}));
  EXPECT_EQ(odd[1].strAllocationId, "eip-next");
  ASSERT_EQ(log.Records().size(), 1u) << log.Dump();
  EXPECT_EQ(log.Records()[0].strMessage.rfind("Exception - [", 0), 0u) << log.Dump();
  EXPECT_NE(log.Records()[0].strContext.find("SElasticIPAddress"), std::string::npos);
  SElasticIPAddress single;
  EXPECT_FALSE(CAliCloudParser().ParseObject(Eip("eip-single", R"({"LockReason": [true]})"), single));
  EXPECT_EQ(single.strAllocationId, "eip-single");
}

TEST(StorageNetworkRecordsTest, VpcsVSwitchesAndSecurityGroups) {
  const auto vpcs = ParseList<SVPCInfoLib>(R"({"TotalCount": 1, "Vpcs": {"Vpc": [
      {"VpcId": "vpc-1", "RegionId": "cn-hangzhou", "VpcName": "prod", "Description": "main",
       "CidrBlock": "192.168.0.0/16", "OwnerId": 253460731706911258,
       "VSwitchIds": {"VSwitchId": ["vsw-1"]}}]}})", "Vpcs", "Vpc");
  ASSERT_EQ(vpcs.size(), 1u);
  EXPECT_EQ((Texts{vpcs[0].strVpcId, vpcs[0].strRegionId, vpcs[0].strVpcName, vpcs[0].strDescription}),
            (Texts{"vpc-1", "cn-hangzhou", "prod", "main"}));
  EXPECT_TRUE(vpcs[0].vecVSwitches.empty());  // filled by the inventory walk

  const auto vswitches = ParseList<SVSwitchInfoLib>(R"({"VSwitches": {"VSwitch": [
      {"VSwitchId": "vsw-1", "VpcId": "vpc-1", "ZoneId": "cn-hangzhou-g", "VSwitchName": "web",
       "Description": "front", "CidrBlock": "172.16.0.0/24", "IsDefault": true,
       "AvailableIpAddressCount": 252, "RouteTable": {"RouteTableId": "vtb-1"}},
      {"VSwitchId": "vsw-2", "CidrBlock": "172.16.1.0/24"}]}})", "VSwitches", "VSwitch");
  ASSERT_EQ(vswitches.size(), 2u);
  const SVSwitchInfoLib& web = vswitches[0];
  EXPECT_EQ((Texts{web.strVSwitchId, web.strVpcId, web.strZoneId, web.strVSwitchName,
                   web.strDescription, web.strCidrBlock}),
            (Texts{"vsw-1", "vpc-1", "cn-hangzhou-g", "web", "front", "172.16.0.0/24"}));
  EXPECT_TRUE(web.bIsDefault);
  EXPECT_FALSE(vswitches[1].bIsDefault);  // absent

  const auto groups = ParseList<SSecurityGroupInfoLib>(R"({"SecurityGroups": {"SecurityGroup": [
      {"SecurityGroupId": "sg-1", "SecurityGroupName": "web", "Description": "http only",
       "VpcId": "vpc-1", "EcsCount": 3, "Tags": {"Tag": []}}]}})", "SecurityGroups", "SecurityGroup");
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ((Texts{groups[0].strSecurityGroupId, groups[0].strSecurityGroupName,
                   groups[0].strDescription, groups[0].strVpcId}),
            (Texts{"sg-1", "web", "http only", "vpc-1"}));
}

TEST(StorageNetworkRecordsTest, DatabaseInstancesAndAttributes) {
  ScopedLogCapture log(0);
  const auto instances = ParseList<SDBInstanceLib>(R"({"TotalRecordCount": 2, "Items": {"DBInstance": [
      {"DBInstanceId": "rm-1", "Engine": "MySQL", "RegionId": "cn-hangzhou", "DBInstanceMemory": 2048,
       "ReadOnlyDBInstanceIds": {"ReadOnlyDBInstanceId": [{"DBInstanceId": "rr-1"}]}},
      {"DBInstanceId": "pgm-broken", "Engine": {"Name": "PostgreSQL"}, "RegionId": "cn-beijing"}]}})",
                                                   "Items", "DBInstance");
  ASSERT_EQ(instances.size(), 2u);  // the broken one is still listed, partly filled
  EXPECT_EQ((Texts{instances[0].strDBInstanceId, instances[0].strEngine, instances[0].strRegionId,
                   instances[1].strDBInstanceId, instances[1].strRegionId}),
            (Texts{"rm-1", "MySQL", "cn-hangzhou", "pgm-broken", ""}));
  EXPECT_EQ(log.Count("Exception - ["), 1u) << log.Dump();

  log.Clear();
  const auto attributes = ParseList<SDBInstanceInfoLib>(R"({"RequestId": "r", "Items": {"DBInstanceAttribute": [
      {"DBInstanceId": "rm-1", "ConnectionString": "rm-1.mysql.rds.aliyuncs.com", "Port": "3306",
       "Engine": "MySQL", "EngineVersion": "8.0", "ZoneId": "cn-hangzhou-a", "RegionId": "cn-hangzhou",
       "DBInstanceStorage": 20, "SlaveZones": {"SlaveZone": [{"ZoneId": "cn-hangzhou-b"}]}},
      {"DBInstanceId": "pgm-1", "Port": " 5432 "}, {"DBInstanceId": "pgm-2", "Port": 1433},
      {"DBInstanceId": "rm-letters", "ZoneId": "z", "RegionId": "r", "ConnectionString": "c",
       "Port": "abc", "Engine": "MySQL"},
      {"DBInstanceId": "rm-huge", "Port": "99999999999"}]}})", "Items", "DBInstanceAttribute");
  ASSERT_EQ(attributes.size(), 5u);
  const SDBInstanceInfoLib& mysql = attributes[0];
  EXPECT_EQ((Texts{mysql.strConnectionString, mysql.strEngine, mysql.strEngineVersion,
                   mysql.strZoneId, mysql.strRegionId}),
            (Texts{"rm-1.mysql.rds.aliyuncs.com", "MySQL", "8.0", "cn-hangzhou-a", "cn-hangzhou"}));
  std::vector<int> ports;
  for (const SDBInstanceInfoLib& attribute : attributes) ports.push_back(attribute.nPort);
  EXPECT_EQ(ports, (std::vector<int>{3306, 5432, 1433, 0, 0}));
  // A port without digits ends that record: what came before it is kept, what
  // comes after it is not read.
  const SDBInstanceInfoLib& letters = attributes[3];
  EXPECT_EQ((Texts{letters.strDBInstanceId, letters.strZoneId, letters.strRegionId,
                   letters.strConnectionString, letters.strEngine}),
            (Texts{"rm-letters", "z", "r", "c", ""}));
  EXPECT_EQ(log.Count("Exception - ["), 2u) << log.Dump();
  EXPECT_TRUE(log.Contains("abc")) << log.Dump();
}

}  // namespace
}  // namespace AliCloudWrapper
