// Plain records for block storage (disks, snapshots), networking (security
// groups, VPCs, VSwitches, elastic IP addresses) and database instances.
//
// They are value types copied member by member. The parser's Convert overloads
// fill the fields that come from a service response; the fields marked "set by
// the caller" or "filled by the inventory" are never touched by a converter.
// Numeric and boolean fields start at zero / false so a record built by hand is
// never read uninitialised.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace AliCloudWrapper {

// A cloud disk (DescribeDisks "Disks"."Disk", or the body of a disk creation).
struct SDiskInfoLib {
  std::string strDiskId;
  std::string strDiskName;
  // Set by the caller; instance creation sends it as the disk's description.
  std::string strDescription;
  std::string strRegionId;
  std::string strZoneId;
  std::string strCategory;  // as the service names it: cloud, cloud_essd, ...
  std::string strStatus;    // In_use, Available, Attaching, Detaching, ...
  int64_t nSize = 0;        // GiB
  bool bIsSystemDisk = false;  // "Type" is "system" (any letter case)
  bool bIsEncrypted = false;
  bool bDeleteWithInstance = false;
};

// A disk snapshot (DescribeSnapshots "Snapshots"."Snapshot", or the body of a
// snapshot creation).
struct SSnapshotInfoLib {
  std::string strSnapshotId;
  std::string strSnapshotName;
  std::string strDescription;
  std::string strSourceDiskId;
  int32_t nProgress = 0;  // percent complete: the leading integer of "Progress" ("45%" -> 45)
  std::string strStatus;  // "progressing", "accomplished" or "failed"; empty in a creation answer
};

struct SSecurityGroupInfoLib {
  std::string strSecurityGroupId;
  std::string strSecurityGroupName;
  std::string strDescription;
  std::string strVpcId;

  SSecurityGroupInfoLib() = default;
  // A group known only by its id, as an instance lists its groups.
  explicit SSecurityGroupInfoLib(const std::string& strId) : strSecurityGroupId(strId) {}
};

struct SVSwitchInfoLib {
  std::string strVSwitchId;
  std::string strZoneId;
  std::string strVpcId;
  std::string strVSwitchName;
  std::string strDescription;
  std::string strCidrBlock;
  bool bIsDefault = false;
};

struct SVPCInfoLib {
  std::string strVpcId;
  std::string strRegionId;
  std::string strVpcName;
  std::string strDescription;
  // Filled by the inventory walk, never by a converter: the VSwitches of the
  // VPC in the zone being listed, and the VPC's security groups.
  std::vector<SVSwitchInfoLib> vecVSwitches;
  std::vector<SSecurityGroupInfoLib> vecSecurityGroups;
};

// An elastic IP address (DescribeEipAddresses "EipAddresses"."EipAddress", or
// the "EipAddress" object of an instance).
struct SElasticIPAddress {
  std::string strAllocationId;  // empty: the instance has no elastic IP
  std::string strRegionId;
  std::string strIpAddress;
  std::string strStatus;  // "Available" (any letter case) means free for binding
  std::string strInstanceId;
  std::string strBandwidth;  // Mbit/s, kept as text (the services send text or a number)
  std::string strInternetChargeType;
  // Reasons from "OperationLocks"."LockReason"; non-empty means the address is locked.
  std::vector<std::string> vecLockReasons;
};

// One database instance of the instance list (DescribeDBInstances "Items"."DBInstance").
struct SDBInstanceLib {
  std::string strDBInstanceId;
  std::string strEngine;
  std::string strRegionId;
};

// Attributes of one database instance
// (DescribeDBInstanceAttribute "Items"."DBInstanceAttribute").
struct SDBInstanceInfoLib {
  std::string strDBInstanceId;
  std::string strConnectionString;
  std::string strEngine;
  std::string strEngineVersion;
  std::string strZoneId;
  std::string strRegionId;
  int32_t nPort = 0;  // the service sends it as decimal text
};

// The caller's selection for the database inventory refresh (no converter).
struct SDBInstanceFilterLib {
  bool bIsFilterSet = false;  // the filter applies only when true
  // Engine to list: 0 any, 1 PostgreSQL, 3 MySQL, 5 MariaDB; anything else is rejected.
  int32_t nEngineType = 0;
};

}  // namespace AliCloudWrapper
