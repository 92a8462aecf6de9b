// Plain records for compute resources, in the vocabulary of a virtualisation
// inventory: a region is a data centre (SDCInfoLib), a zone is a host
// (SHostInfoLib), an instance is a virtual machine (SVMInfoLib).
//
// They are value types copied member by member. The parser's Convert overloads
// fill the fields that come from a service response; the fields marked "filled
// by the inventory" or "set by the caller" are never touched by a converter.
// Numeric fields start at zero so a record built by hand is never read
// uninitialised.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "AliCloudWrapper/StorageNetworkRecords.h"

namespace AliCloudWrapper {

// The VPC attachment of an instance ("VpcAttributes").
struct SNetworkInfoLib {
  std::string strVpcId;
  std::string strVSwitchId;
  // "PrivateIpAddress"."IpAddress"; instance creation requests the first one.
  std::vector<std::string> vecPrivateIpAddresses;
};

// An instance (DescribeInstances "Instances"."Instance", or the whole body of
// DescribeInstanceAttribute / a VM configuration document).
struct SVMInfoLib {
  std::string strInstanceId;
  std::string strInstanceName;
  std::string strDescription;
  std::string strRegionId;
  std::string strZoneId;
  std::string strInstanceType;
  std::string strImageId;
  // Processor architecture and OS platform of the image: read from
  // "AdditionalInfo" of a configuration document, or filled from the image.
  std::string strArchitecture;
  std::string strOSName;
  std::string strHostName;
  // Set by the caller: the host name instance creation sends when the
  // configuration document carries none.
  std::string strNewHostName;
  int32_t nInternetMaxBandwidthIn = 0;   // Mbit/s as reported (may be -1)
  int32_t nInternetMaxBandwidthOut = 0;  // Mbit/s
  std::string strInternetChargeType;
  // In the service's order; only the id of each is set. The first is the
  // primary group when the instance is re-created.
  std::vector<SSecurityGroupInfoLib> vecSecurityGroups;
  std::string strStatus;
  SNetworkInfoLib sNetworkInfo;
  SElasticIPAddress sElasticIPAddress;  // empty allocation id: none bound
  // Filled by the instance query when disks are requested.
  std::vector<SDiskInfoLib> vecDisks;
  std::vector<std::string> vecPublicIpAddresses;  // public, non-elastic addresses
};

// A zone.
struct SHostInfoLib {
  std::string strZoneId;
  std::string strLocalName;
  // Filled by the inventory walk, never by a converter.
  std::string strRegionId;
  std::vector<SVMInfoLib> vecVMs;
  std::vector<SVPCInfoLib> vecVPCs;
};

// A region.
struct SDCInfoLib {
  std::string strRegionId;        // e.g. "cn-zhangjiakou"
  std::string strLocalName;       // display name, in the language asked for
  std::string strRegionEndpoint;  // the region's service host
  // Filled by the inventory walk on request, never by a converter.
  std::vector<SHostInfoLib> vecZones;
  std::vector<SVMInfoLib> vecVMs;
};

struct SImageInfoLib {
  std::string strImageId;
  std::string strImageName;
  std::string strArchitecture;
  std::string strOSName;  // "Platform"
};

struct SInstanceTypeInfoLib {
  std::string strInstanceTypeId;
  int32_t nCpuCoreCount = 0;
  double dMemorySize = 0.0;  // GiB, fractions kept (0.5)
};

struct SInstanceTypeFamilyInfoLib {
  std::string strInstanceTypeFamilyId;
};

// One "SupportedResource" entry of the available-resources query.
struct SResourceLib {
  std::string strStatus;  // Available, SoldOut, ...
  std::string strValue;   // the resource, e.g. an instance type id
};

}  // namespace AliCloudWrapper
