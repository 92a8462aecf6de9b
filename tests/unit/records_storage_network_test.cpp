// Storage, network and database record converters over documents shaped like
// the real services' answers (DescribeDisks, DescribeSnapshots,
// DescribeEipAddresses, DescribeVpcs, DescribeVSwitches, DescribeSecurityGroups,
// DescribeDBInstances, DescribeDBInstanceAttribute) and over the awkward cases
// that can really go wrong.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"
#include "TestSupport.h"

namespace AliCloudWrapper {
namespace {

std::string Eip(const std::string& allocationId, const std::string& operationLocks) {
  return R"({"AllocationId": ")" + allocationId + R"(", "IpAddress": "47.75.***.***",
    "RegionId": "cn-hongkong", "InstanceId": "i-j6c1xkr0gg2jqr0e****", "InstanceType": "EcsInstance",
    "Status": "InUse", "InternetChargeType": "PayByBandwidth", "ChargeType": "PostPaid",
    "Bandwidth": "100", "AllocationTime": "2018-12-21T07:28:22Z", "BusinessStatus": "Normal",
    "DeletionProtection": false, "ServiceManaged": 0,
    "Tags": {"Tag": [{"Key": "env", "Value": "prod"}]})" +
         (operationLocks.empty() ? "" : ", \"OperationLocks\": " + operationLocks) + "}";
}

std::string EipPage(const std::string& addresses) {
  return R"({"RequestId": "r", "TotalCount": 4, "PageNumber": 1, "PageSize": 10,
             "EipAddresses": {"EipAddress": [)" + addresses + "]}}";
}

TEST(StorageNetworkRecordsTest, DisksFromARealPage) {
  CAliCloudParser parser;
  std::vector<SDiskInfoLib> disks(1);  // already in the caller's vector: stays in front
  ASSERT_TRUE(parser.ParseNestedList(R"({"TotalCount": 3, "PageNumber": 1, "PageSize": 10,
    "Disks": {"Disk": [
      {"DiskId": "d-bp18um4r4f2fve2****", "DiskName": "sys", "Description": "system disk",
       "RegionId": "cn-hangzhou", "ZoneId": "cn-hangzhou-g", "InstanceId": "i-1",
       "Type": "system", "Category": "cloud_essd", "Status": "In_use", "Size": 40,
       "Encrypted": false, "DeleteWithInstance": true, "Portable": false, "IOPS": 4000,
       "CreationTime": "2021-06-07T06:08:54Z",
       "OperationLocks": {"OperationLock": [{"LockReason": "security"}]},
       "Attachments": {"Attachment": [{"InstanceId": "i-1", "Device": "/dev/xvda"}]}},
      {"DiskId": "d-data", "Type": "data", "Category": "cloud_efficiency", "Status": "Available",
       "Size": 32768, "Encrypted": true, "DeleteWithInstance": false},
      {"DiskId": "d-upper", "Type": "SYSTEM", "Size": -1}]}})",
                                     "Disks", "Disk", disks));
  ASSERT_EQ(disks.size(), 4u);
  EXPECT_TRUE(disks[0].strDiskId.empty());
  const SDiskInfoLib& sys = disks[1];
  EXPECT_EQ(sys.strDiskId, "d-bp18um4r4f2fve2****");
  EXPECT_EQ(sys.strDiskName, "sys");
  EXPECT_EQ(sys.strRegionId, "cn-hangzhou");
  EXPECT_EQ(sys.strZoneId, "cn-hangzhou-g");
  EXPECT_EQ(sys.strCategory, "cloud_essd");
  EXPECT_EQ(sys.strStatus, "In_use");
  EXPECT_EQ(sys.nSize, 40);
  EXPECT_TRUE(sys.bIsSystemDisk);
  EXPECT_FALSE(sys.bIsEncrypted);
  EXPECT_TRUE(sys.bDeleteWithInstance);
  EXPECT_TRUE(sys.strDescription.empty());  // the caller's field, never read

  EXPECT_FALSE(disks[2].bIsSystemDisk);
  EXPECT_EQ(disks[2].nSize, 32768);
  EXPECT_TRUE(disks[2].bIsEncrypted);
  EXPECT_TRUE(disks[3].bIsSystemDisk);  // letter case does not matter
  EXPECT_EQ(disks[3].nSize, -1);        // widened with its sign
}

TEST(StorageNetworkRecordsTest, WronglyTypedDiskMemberFailsTheParseAndKeepsWhatCameBefore) {
  ScopedLogCapture log(0);
  CAliCloudParser parser;
  SDiskInfoLib disk;
  disk.strDescription = "kept";
  EXPECT_FALSE(parser.ParseObject(
      R"({"DiskId": "d-1", "DiskName": "n", "RegionId": "r", "ZoneId": "z", "Type": "data",
          "Category": "cloud", "Size": {"Value": 40}})", disk));
  EXPECT_EQ(disk.strDiskId, "d-1");
  EXPECT_EQ(disk.strCategory, "cloud");
  EXPECT_EQ(disk.nSize, 0);
  EXPECT_EQ(disk.strDescription, "kept");
  EXPECT_EQ(log.Count("Exception parsing json ["), 1u) << log.Dump();

  std::vector<SDiskInfoLib> disks;
  EXPECT_FALSE(parser.ParseNestedList(
      R"({"Disks": {"Disk": [{"DiskId": "d-ok", "Size": 20}, {"DiskId": "d-bad", "Encrypted": []}]}})",
      "Disks", "Disk", disks));
  ASSERT_EQ(disks.size(), 1u);
  EXPECT_EQ(disks[0].strDiskId, "d-ok");
}

TEST(StorageNetworkRecordsTest, SnapshotProgressIsTheLeadingInteger) {
  CAliCloudParser parser;
  std::vector<SSnapshotInfoLib> snapshots;
  ASSERT_TRUE(parser.ParseNestedList(R"({"TotalCount": 5, "Snapshots": {"Snapshot": [
      {"SnapshotId": "s-bp67acfmxazb4p****", "SnapshotName": "nightly", "Description": "before upgrade",
       "SourceDiskId": "d-bp67acfmxazb4p****", "SourceDiskSize": "40", "SourceDiskType": "system",
       "Progress": "100%", "Status": "accomplished", "RemainTime": 0, "Encrypted": false,
       "CreationTime": "2021-06-07T06:08:54Z"},
      {"SnapshotId": "s-2", "Progress": "45%", "Status": "progressing"},
      {"SnapshotId": "s-3", "Progress": ""},
      {"SnapshotId": "s-4", "Progress": "n/a"},
      {"SnapshotId": "s-5", "Progress": 60}]}})",
                                     "Snapshots", "Snapshot", snapshots));
  ASSERT_EQ(snapshots.size(), 5u);
  EXPECT_EQ(snapshots[0].strSnapshotName, "nightly");
  EXPECT_EQ(snapshots[0].strDescription, "before upgrade");
  EXPECT_EQ(snapshots[0].strSourceDiskId, "d-bp67acfmxazb4p****");
  EXPECT_EQ(snapshots[0].nProgress, 100);
  EXPECT_EQ(snapshots[1].nProgress, 45);
  EXPECT_EQ(snapshots[2].nProgress, 0);
  EXPECT_EQ(snapshots[3].nProgress, 0);
  EXPECT_EQ(snapshots[4].nProgress, 60);  // a number is read as its text

}

TEST(StorageNetworkRecordsTest, ElasticIpLockReasonsInEveryShapeTheServiceSends) {
  ScopedLogCapture log(0);
  CAliCloudParser parser;
  std::vector<SElasticIPAddress> eips;
  ASSERT_TRUE(parser.ParseNestedList(
      EipPage(Eip("eip-unlocked", R"({"LockReason": []})") + "," +
              Eip("eip-financial", R"({"LockReason": [{"LockReason": "financial"}]})") + "," +
              Eip("eip-two", R"({"LockReason": [{"LockReason": "financial"}, {"LockReason": "security"}]})") +
              "," + Eip("eip-no-locks", "") + "," +
              Eip("eip-strings", R"({"LockReason": ["security", {"LockReason": "sharedPool"}]})") + "," +
              Eip("eip-no-array", "{}")),
      "EipAddresses", "EipAddress", eips));
  ASSERT_EQ(eips.size(), 6u);
  const SElasticIPAddress& first = eips[0];
  EXPECT_EQ(first.strAllocationId, "eip-unlocked");
  EXPECT_EQ(first.strIpAddress, "47.75.***.***");
  EXPECT_EQ(first.strRegionId, "cn-hongkong");
  EXPECT_EQ(first.strInstanceId, "i-j6c1xkr0gg2jqr0e****");
  EXPECT_EQ(first.strStatus, "InUse");
  EXPECT_EQ(first.strBandwidth, "100");
  EXPECT_EQ(first.strInternetChargeType, "PayByBandwidth");
  EXPECT_TRUE(first.vecLockReasons.empty());
  // A locked address must never come out with an empty lock list.
  EXPECT_EQ(eips[1].vecLockReasons, (std::vector<std::string>{"financial"}));
  EXPECT_EQ(eips[2].vecLockReasons, (std::vector<std::string>{"financial", "security"}));
  EXPECT_TRUE(eips[3].vecLockReasons.empty());
  EXPECT_EQ(eips[4].vecLockReasons, (std::vector<std::string>{"security", "sharedPool"}));
  EXPECT_TRUE(eips[5].vecLockReasons.empty());
  EXPECT_TRUE(log.Records().empty()) << log.Dump();
}

TEST(StorageNetworkRecordsTest, ElasticIpWithAnUnreadableLockIsReportedButStillListed) {
  ScopedLogCapture log(0);
  CAliCloudParser parser;
  std::vector<SElasticIPAddress> eips;
  // A lock object without a reason still counts as a lock; a number is not a lock
  // element and ends the conversion of that address.
  ASSERT_TRUE(parser.ParseNestedList(
      EipPage(Eip("eip-odd", R"({"LockReason": [{"LockMsg": "no reason"}, "security", 7, "later"]})") +
              "," + Eip("eip-next", R"({"LockReason": []})")),
      "EipAddresses", "EipAddress", eips));
  ASSERT_EQ(eips.size(), 2u);
  EXPECT_EQ(eips[0].strAllocationId, "eip-odd");
  EXPECT_EQ(eips[0].strInternetChargeType, "PayByBandwidth");
  EXPECT_EQ(eips[0].vecLockReasons, (std::vector<std::string>{"", "security"}));
  EXPECT_EQ(eips[1].strAllocationId, "eip-next");
  ASSERT_EQ(log.Records().size(), 1u) << log.Dump();
  EXPECT_EQ(log.Records()[0].strMessage.rfind("Exception - [", 0), 0u) << log.Dump();
  EXPECT_NE(log.Records()[0].strContext.find("SElasticIPAddress"), std::string::npos);

  SElasticIPAddress single;
  EXPECT_FALSE(parser.ParseObject(Eip("eip-single", R"({"LockReason": [true]})"), single));
  EXPECT_EQ(single.strAllocationId, "eip-single");
}

TEST(StorageNetworkRecordsTest, VpcsVSwitchesAndSecurityGroups) {
  CAliCloudParser parser;
  std::vector<SVPCInfoLib> vpcs;
  ASSERT_TRUE(parser.ParseNestedList(R"({"TotalCount": 1, "Vpcs": {"Vpc": [
      {"VpcId": "vpc-bp1qpo0kug3a20qqe****", "RegionId": "cn-hangzhou", "VpcName": "prod",
       "Description": "main network", "CidrBlock": "192.168.0.0/16", "IsDefault": false,
       "OwnerId": 253460731706911258, "VSwitchIds": {"VSwitchId": ["vsw-1"]}}]}})",
                                     "Vpcs", "Vpc", vpcs));
  ASSERT_EQ(vpcs.size(), 1u);
  EXPECT_EQ(vpcs[0].strVpcId, "vpc-bp1qpo0kug3a20qqe****");
  EXPECT_EQ(vpcs[0].strRegionId, "cn-hangzhou");
  EXPECT_EQ(vpcs[0].strVpcName, "prod");
  EXPECT_EQ(vpcs[0].strDescription, "main network");
  EXPECT_TRUE(vpcs[0].vecVSwitches.empty());  // filled by the inventory walk

  std::vector<SVSwitchInfoLib> vswitches;
  ASSERT_TRUE(parser.ParseNestedList(R"({"VSwitches": {"VSwitch": [
      {"VSwitchId": "vsw-25bcdxs7pv1****", "VpcId": "vpc-1", "ZoneId": "cn-hangzhou-g",
       "VSwitchName": "web", "Description": "front", "CidrBlock": "172.16.0.0/24",
       "IsDefault": true, "AvailableIpAddressCount": 252, "Status": "Available",
       "RouteTable": {"RouteTableId": "vtb-1", "RouteTableType": "System"}},
      {"VSwitchId": "vsw-2", "CidrBlock": "172.16.1.0/24"}]}})",
                                     "VSwitches", "VSwitch", vswitches));
  ASSERT_EQ(vswitches.size(), 2u);
  EXPECT_EQ(vswitches[0].strVpcId, "vpc-1");
  EXPECT_EQ(vswitches[0].strZoneId, "cn-hangzhou-g");
  EXPECT_EQ(vswitches[0].strVSwitchName, "web");
  EXPECT_EQ(vswitches[0].strDescription, "front");
  EXPECT_EQ(vswitches[0].strCidrBlock, "172.16.0.0/24");
  EXPECT_TRUE(vswitches[0].bIsDefault);
  EXPECT_FALSE(vswitches[1].bIsDefault);  // absent

  std::vector<SSecurityGroupInfoLib> groups;
  ASSERT_TRUE(parser.ParseNestedList(R"({"RegionId": "cn-hangzhou", "TotalCount": 1,
      "SecurityGroups": {"SecurityGroup": [{"SecurityGroupId": "sg-bp67acfmxazb4p****",
        "SecurityGroupName": "web", "Description": "http only", "VpcId": "vpc-1",
        "SecurityGroupType": "normal", "EcsCount": 3, "ServiceManaged": false,
        "Tags": {"Tag": []}}]}})", "SecurityGroups", "SecurityGroup", groups));
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0].strSecurityGroupId, "sg-bp67acfmxazb4p****");
  EXPECT_EQ(groups[0].strSecurityGroupName, "web");
  EXPECT_EQ(groups[0].strDescription, "http only");
  EXPECT_EQ(groups[0].strVpcId, "vpc-1");
}

TEST(StorageNetworkRecordsTest, DatabaseInstancesAndAttributes) {
  ScopedLogCapture log(0);
  CAliCloudParser parser;
  std::vector<SDBInstanceLib> instances;
  ASSERT_TRUE(parser.ParseNestedList(R"({"TotalRecordCount": 2, "PageNumber": 1, "PageRecordCount": 2,
    "Items": {"DBInstance": [
      {"DBInstanceId": "rm-uf6wjk5xxxxxxx", "Engine": "MySQL", "EngineVersion": "8.0",
       "RegionId": "cn-hangzhou", "ZoneId": "cn-hangzhou-a", "DBInstanceStatus": "Running",
       "DBInstanceMemory": 2048, "DeletionProtection": false,
       "ReadOnlyDBInstanceIds": {"ReadOnlyDBInstanceId": [{"DBInstanceId": "rr-1"}]}},
      {"DBInstanceId": "pgm-broken", "Engine": {"Name": "PostgreSQL"}, "RegionId": "cn-beijing"}]}})",
                                     "Items", "DBInstance", instances));
  ASSERT_EQ(instances.size(), 2u);  // the broken one is still listed, partly filled
  EXPECT_EQ(instances[0].strDBInstanceId, "rm-uf6wjk5xxxxxxx");
  EXPECT_EQ(instances[0].strEngine, "MySQL");
  EXPECT_EQ(instances[0].strRegionId, "cn-hangzhou");
  EXPECT_EQ(instances[1].strDBInstanceId, "pgm-broken");
  EXPECT_TRUE(instances[1].strRegionId.empty());
  EXPECT_EQ(log.Count("Exception - ["), 1u) << log.Dump();

  log.Clear();
  std::vector<SDBInstanceInfoLib> attributes;
  ASSERT_TRUE(parser.ParseNestedList(R"({"RequestId": "r", "Items": {"DBInstanceAttribute": [
      {"DBInstanceId": "rm-uf6wjk5xxxxxxx", "ConnectionString": "rm-uf6wjk5xxxxxxx.mysql.rds.aliyuncs.com",
       "Port": "3306", "Engine": "MySQL", "EngineVersion": "8.0", "ZoneId": "cn-hangzhou-a",
       "RegionId": "cn-hangzhou", "DBInstanceStorage": 20, "AvailabilityValue": "100.0%",
       "SlaveZones": {"SlaveZone": [{"ZoneId": "cn-hangzhou-b"}]}},
      {"DBInstanceId": "pgm-1", "Port": " 5432 ", "Engine": "PostgreSQL"},
      {"DBInstanceId": "pgm-2", "Port": 1433},
      {"DBInstanceId": "rm-letters", "ZoneId": "z", "RegionId": "r", "ConnectionString": "c",
       "Port": "abc", "Engine": "MySQL"},
      {"DBInstanceId": "rm-huge", "Port": "99999999999"}]}})",
                                     "Items", "DBInstanceAttribute", attributes));
  ASSERT_EQ(attributes.size(), 5u);
  const SDBInstanceInfoLib& mysql = attributes[0];
  EXPECT_EQ(mysql.strConnectionString, "rm-uf6wjk5xxxxxxx.mysql.rds.aliyuncs.com");
  EXPECT_EQ(mysql.nPort, 3306);
  EXPECT_EQ(mysql.strEngine, "MySQL");
  EXPECT_EQ(mysql.strEngineVersion, "8.0");
  EXPECT_EQ(mysql.strZoneId, "cn-hangzhou-a");
  EXPECT_EQ(mysql.strRegionId, "cn-hangzhou");
  EXPECT_EQ(attributes[1].nPort, 5432);
  EXPECT_EQ(attributes[1].strEngine, "PostgreSQL");
  EXPECT_EQ(attributes[2].nPort, 1433);
  // A port without digits ends that record: what came before it is kept, what
  // comes after it is not read.
  const SDBInstanceInfoLib& letters = attributes[3];
  EXPECT_EQ(letters.strDBInstanceId, "rm-letters");
  EXPECT_EQ(letters.strZoneId, "z");
  EXPECT_EQ(letters.strRegionId, "r");
  EXPECT_EQ(letters.strConnectionString, "c");
  EXPECT_EQ(letters.nPort, 0);
  EXPECT_TRUE(letters.strEngine.empty());
  EXPECT_EQ(attributes[4].nPort, 0);
  EXPECT_EQ(log.Count("Exception - ["), 2u) << log.Dump();
  EXPECT_TRUE(log.Contains("abc")) << log.Dump();
}

}  // namespace
}  // namespace AliCloudWrapper
