// JSON member names the parser needs by name outside a single converter: the
// "AdditionalInfo" member that the VM configuration document adds to an
// instance description, and the lock members of an elastic IP address.
#pragma once

#include <string>

namespace AliCloudWrapper {
namespace AliCloudParserConstants {

inline const std::string ADDITIONAL_INFO = "AdditionalInfo";
inline const std::string OPERATING_SYSTEM_NAME = "Platform";
inline const std::string ARCHITECTURE = "Architecture";
inline const std::string OPERATION_LOCKS = "OperationLocks";
inline const std::string LOCK_REASON = "LockReason";
// ---- compute inventory: list keys (outer wrapper, inner array) and members ----
inline const std::string REGIONS = "Regions";
inline const std::string REGION = "Region";
inline const std::string ZONES = "Zones";
inline const std::string ZONE = "Zone";
inline const std::string INSTANCES = "Instances";
inline const std::string INSTANCE = "Instance";
inline const std::string IMAGES = "Images";
inline const std::string IMAGE = "Image";
inline const std::string INSTANCE_TYPES = "InstanceTypes";
inline const std::string INSTANCE_TYPE = "InstanceType";
inline const std::string INSTANCE_TYPE_FAMILIES = "InstanceTypeFamilies";
inline const std::string INSTANCE_TYPE_FAMILY = "InstanceTypeFamily";
inline const std::string AVAILABLE_ZONES = "AvailableZones";
inline const std::string AVAILABLE_ZONE = "AvailableZone";
inline const std::string AVAILABLE_RESOURCES = "AvailableResources";
inline const std::string AVAILABLE_RESOURCE = "AvailableResource";
inline const std::string SUPPORTED_RESOURCES = "SupportedResources";
inline const std::string SUPPORTED_RESOURCE = "SupportedResource";
inline const std::string NEXT_TOKEN = "NextToken";
inline const std::string ZONE_ID = "ZoneId";
inline const std::string RESOURCE_TYPE = "Type";
// A supported resource that can be had; compared without regard to case.
inline const std::string RESOURCE_STATUS_AVAILABLE = "available";

}  // namespace AliCloudParserConstants
}  // namespace AliCloudWrapper
