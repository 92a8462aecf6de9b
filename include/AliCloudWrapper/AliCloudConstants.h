// The fixed words of the API: parameter names, action names and endpoint hosts.
// Every service object takes these texts from here, never from literals, so a
// name is spelled in one place. Each constant is the exact text sent.
#pragma once

#include <cstdint>
#include <string>

#include "AliCloudWrapper/AliCloudParserConstants.h"

namespace AliCloudWrapper {

// Parameter names. "%d" stands for a 1-based disk index the caller formats in.
namespace AliCloudParameterNames {
inline const std::string FORMAT = "Format";
inline const std::string VERSION = "Version";
inline const std::string ACCESS_KEY_ID = "AccessKeyId";
inline const std::string SIGNATURE = "Signature";
inline const std::string SIGNATURE_METHOD = "SignatureMethod";
// The gateway wants this exact spelling; "TimeStamp" is refused with "MissingTimestamp".
inline const std::string TIMESTAMP = "Timestamp";
inline const std::string SIGNATURE_VERSION = "SignatureVersion";
inline const std::string SIGNATURE_NONCE = "SignatureNonce";
inline const std::string ACTION = "Action";
inline const std::string PAGE_NUMBER = "PageNumber";
inline const std::string PAGE_SIZE = "PageSize";
inline const std::string REGION_ID = "RegionId";
inline const std::string ZONE_ID = "ZoneId";
inline const std::string DESTINATION_RESOURCE = "DestinationResource";
inline const std::string DISK_ID = "DiskId";
inline const std::string DISK_IDS = "DiskIds";
inline const std::string SNAPSHOT_NAME = "SnapshotName";
inline const std::string SNAPSHOT_ID = "SnapshotId";
inline const std::string SNAPSHOT_IDS = "SnapshotIds";
inline const std::string DESCRIPTION = "Description";
inline const std::string SIZE = "Size";
inline const std::string DISK_CATEGORY = "DiskCategory";
inline const std::string ENCRYPTED = "Encrypted";
inline const std::string DISK_NAME = "DiskName";
inline const std::string DELETE_WITH_INSTANCE = "DeleteWithInstance";
inline const std::string SYSTEM_DISK_CATEGORY = "SystemDisk.Category";
inline const std::string SYSTEM_DISK_NAME = "SystemDisk.DiskName";
inline const std::string SYSTEM_DISK_DESCRIPTION = "SystemDisk.Description";
inline const std::string NTH_DATA_DISK_CATEGORY = "DataDisk.%d.Category";
inline const std::string NTH_DATA_DISK_NAME = "DataDisk.%d.DiskName";
inline const std::string NTH_DATA_DISK_DESCRIPTION = "DataDisk.%d.Description";
inline const std::string NTH_DATA_DISK_DELETE_WITH_INSTANCE = "DataDisk.%d.DeleteWithInstance";
inline const std::string INSTANCE_ID = "InstanceId";
inline const std::string INSTANCE_TYPE = "InstanceType";
inline const std::string INSTANCE_TYPE_FAMILY = "InstanceTypeFamily";
inline const std::string INSTANCE_NAME = "InstanceName";
inline const std::string HOSTNAME = "HostName";
inline const std::string INTERNET_MAX_BANDWIDTH_OUT = "InternetMaxBandwidthOut";
inline const std::string PASSWORD_INHERIT = "PasswordInherit";
inline const std::string FORCE_STOP = "ForceStop";
inline const std::string CONFIRM_STOP = "ConfirmStop";
inline const std::string STOPPED_MODE = "StoppedMode";
inline const std::string IO_OPTIMISED = "IoOptimized";
inline const std::string IMAGE_NAME = "ImageName";
inline const std::string NTH_DISK_SNAPSHOT = "DiskDeviceMapping.%d.SnapshotId";
inline const std::string NTH_DISK_TYPE = "DiskDeviceMapping.%d.DiskType";
inline const std::string IMAGE_ID = "ImageId";
inline const std::string SECURITY_GROUP_ID = "SecurityGroupId";
inline const std::string SECURITY_GROUP_NAME = "SecurityGroupName";
inline const std::string V_SWITCH_ID = "VSwitchId";
inline const std::string PRIVATE_IP_ADDRESS = "PrivateIpAddress";
inline const std::string VPC_ID = "VpcId";
inline const std::string ALLOCATION_ID = "AllocationId";
inline const std::string BANDWIDTH = "Bandwidth";
inline const std::string INTERNET_CHARGE_TYPE = "InternetChargeType";
inline const std::string CLIENT_TOKEN = "ClientToken";
inline const std::string FORCE = "Force";
inline const std::string ENGINE = "Engine";
// ---- compute inventory ----
inline const std::string ACCEPT_LANGUAGE = "AcceptLanguage";
inline const std::string NEXT_TOKEN = "NextToken";
}  // namespace AliCloudParameterNames

// Values of the "Action" parameter for the compute and network services.
namespace AliCloudActionParameterValues {
inline const std::string DESCRIBE_INSTANCES = "DescribeInstances";
inline const std::string ATTACH_DISK = "AttachDisk";
inline const std::string DESCRIBE_INSTANCE_ATTRIBUTE = "DescribeInstanceAttribute";
inline const std::string CREATE_INSTANCE = "CreateInstance";
inline const std::string START_INSTANCE = "StartInstance";
inline const std::string STOP_INSTANCE = "StopInstance";
inline const std::string DESCRIBE_INSTANCE_TYPES = "DescribeInstanceTypes";
inline const std::string DESCRIBE_INSTANCE_TYPE_FAMILIES = "DescribeInstanceTypeFamilies";
inline const std::string DELETE_INSTANCE = "DeleteInstance";
inline const std::string DESCRIBE_REGIONS = "DescribeRegions";
inline const std::string DESCRIBE_ZONES = "DescribeZones";
inline const std::string DESCRIBE_AVAILABLE_RESOURCE = "DescribeAvailableResource";
inline const std::string CREATE_SNAPSHOT = "CreateSnapshot";
inline const std::string DELETE_SNAPSHOT = "DeleteSnapshot";
inline const std::string DESCRIBE_SNAPSHOTS = "DescribeSnapshots";
inline const std::string CREATE_DISK = "CreateDisk";
inline const std::string DESCRIBE_DISKS = "DescribeDisks";
inline const std::string DETACH_DISK = "DetachDisk";
inline const std::string DELETE_DISK = "DeleteDisk";
inline const std::string CREATE_IMAGE = "CreateImage";
inline const std::string DESCRIBE_IMAGES = "DescribeImages";
inline const std::string DELETE_IMAGE = "DeleteImage";
inline const std::string DESCRIBE_SECURITY_GROUPS = "DescribeSecurityGroups";
inline const std::string DESCRIBE_VPCS = "DescribeVpcs";
inline const std::string DESCRIBE_VSWITCHES = "DescribeVSwitches";
inline const std::string CREATE_SECURITY_GROUP = "CreateSecurityGroup";
inline const std::string DESCRIBE_EIP_ADDRESSES = "DescribeEipAddresses";
inline const std::string ASSOCIATE_EIP_ADDRESS = "AssociateEipAddress";
inline const std::string ALLOCATE_EIP_ADDRESS = "AllocateEipAddress";
inline const std::string RELEASE_EIP_ADDRESS = "ReleaseEipAddress";
inline const std::string ASSOCIATE_PUB_IP = "AllocatePublicIpAddress";
inline const std::string JOIN_SECURITY_GROUP = "JoinSecurityGroup";
// ---- compute inventory: values of other parameters ----
// Region and zone names are asked for in English, whatever the service's default.
inline const std::string ACCEPT_LANGUAGE_EN_US = "en-US";
// "DestinationResource" of the available-resources query for instance types.
inline const std::string DESTINATION_RESOURCE_INSTANCE_TYPE = "InstanceType";
// "IoOptimized" values: I/O-optimised instances, and the retired ones without.
inline const std::string IO_OPTIMISED_OPTIMIZED = "optimized";
inline const std::string IO_OPTIMISED_NONE = "none";
}  // namespace AliCloudActionParameterValues

namespace AliCloudRDSParameterNames {
inline const std::string RDS_INSTANCE_ID = "DBInstanceId";
}  // namespace AliCloudRDSParameterNames

namespace AliCloudRDSActionParameterValues {
inline const std::string DESCRIBE_DB_INSTANCES = "DescribeDBInstances";
inline const std::string DESCRIBE_DB_INSTANCE_ATTR = "DescribeDBInstanceAttribute";
}  // namespace AliCloudRDSActionParameterValues

// Global hosts of the compute and network services. Regional compute hosts are
// not constants: the service names them in its DescribeRegions answer.
namespace AliCloudEndPoints {
inline const std::string CENTRAL = "ecs.aliyuncs.com";
inline const std::string VPC_CENTRAL = "vpc.aliyuncs.com";
}  // namespace AliCloudEndPoints

// Database-service hosts. Each regional host carries its region ID as the
// second label; the regions not listed are served by the central host.
namespace AliRDSCloudEndPoints {
inline const std::string CENTRAL = "rds.aliyuncs.com";
inline const std::string ZHANGJIAKOU = "rds.cn-zhangjiakou.aliyuncs.com";
inline const std::string TOKYO = "rds.ap-northeast-1.aliyuncs.com";
inline const std::string SYDNEY = "rds.ap-southeast-2.aliyuncs.com";
inline const std::string DUBAI = "rds.me-east-1.aliyuncs.com";
inline const std::string FRANKFURT = "rds.eu-central-1.aliyuncs.com";
inline const std::string JAKARTA = "rds.ap-southeast-5.aliyuncs.com";
inline const std::string KUALALUMPUR = "rds.ap-southeast-3.aliyuncs.com";
}  // namespace AliRDSCloudEndPoints

// ---- compute inventory: property mask ----
// Bits of the 64-bit property mask that the inventory operations take to say
// what to fill (the calling agent's own values). Every other bit is ignored.
inline constexpr uint64_t VM_PROP_CLUSTER_HOST_LIST = 0x20000000000000ULL;  // zones of a region
inline constexpr uint64_t VM_PROP_HOST_VM_LIST = 0x20000000ULL;             // instances of a region or zone
inline constexpr uint64_t VM_PROP_HOST_NW_LIST = 0x4000000ULL;              // VPCs, VSwitches, groups of a zone
inline constexpr uint64_t VM_PROP_VM_DISK_LIST = 0x10ULL;                   // disks of an instance

}  // namespace AliCloudWrapper
