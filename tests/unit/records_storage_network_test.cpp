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

using Texts = std::vector<std::string>;

// Converts the list at outer/inner of json, which must succeed.
template <typename T>
std::vector<T> ParseList(const std::string& json, const char* outer, const char* inner) {
  std::vector<T> out;
  EXPECT_TRUE(CAliCloudParser().ParseNestedList(json, outer, inner, out)) << json;
  return out;
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
