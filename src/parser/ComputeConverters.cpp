// Converters for the compute records: regions, zones, instances with their VPC
// attachment, images, instance types and families, supported resources.
//
// They read members through TkJson's lenient getters (an absent member gives the
// empty value) and let a wrongly typed member's std::runtime_error travel to the
// generic operation that called them, which logs it and reports failure.
#include <stdexcept>
#include <string>

#include "AliCloudWrapper/AliCloudParserConstants.h"
#include "AliCloudWrapper/CAliCloudParser.h"
#include "host/TkJson.h"

namespace AliCloudWrapper {

namespace {

// Reads the instance's scalar members. Order matters: when a later member is
// wrongly typed, the ones before it are already set.
void ReadInstanceScalars(const mObject& obj, SVMInfoLib& out) {
  out.strInstanceId = TkJson::GetStringValue(obj, "InstanceId");
  out.strInstanceName = TkJson::GetStringValue(obj, "InstanceName");
  out.strRegionId = TkJson::GetStringValue(obj, "RegionId");
  out.strZoneId = TkJson::GetStringValue(obj, "ZoneId");
  out.strInstanceType = TkJson::GetStringValue(obj, "InstanceType");
  out.strImageId = TkJson::GetStringValue(obj, "ImageId");
  out.strStatus = TkJson::GetStringValue(obj, "Status");
  out.strDescription = TkJson::GetStringValue(obj, "Description");
  out.strHostName = TkJson::GetStringValue(obj, "HostName");
  out.strInternetChargeType = TkJson::GetStringValue(obj, "InternetChargeType");
  out.nInternetMaxBandwidthIn = TkJson::GetIntValue(obj, "InternetMaxBandwidthIn");
  out.nInternetMaxBandwidthOut = TkJson::GetIntValue(obj, "InternetMaxBandwidthOut");
}

}  // namespace

bool CAliCloudParser::Convert(const mObject& obj, SDCInfoLib& out) const {
  out.strRegionId = TkJson::GetStringValue(obj, "RegionId");
  out.strLocalName = TkJson::GetStringValue(obj, "LocalName");
  out.strRegionEndpoint = TkJson::GetStringValue(obj, "RegionEndpoint");
  return true;
}

bool CAliCloudParser::Convert(const mObject& obj, SHostInfoLib& out) const {
  out.strLocalName = TkJson::GetStringValue(obj, "LocalName");
  out.strZoneId = TkJson::GetStringValue(obj, "ZoneId");
  return true;
}

bool CAliCloudParser::Convert(const mObject& obj, SVMInfoLib& out) const {
  ReadInstanceScalars(obj, out);

  // Each nested object gets a fresh holder so nothing found for one member can
  // leak into the next when that one is absent.
  {
    mObject vpcAttributes;
    if (TkJson::FindObjectValue(obj, "VpcAttributes", vpcAttributes)) {
      (void)Convert(vpcAttributes, out.sNetworkInfo);
    } else {
      Error(__PRETTY_FUNCTION__, "\"VpcAttributes\" not found in response.");
    }
  }
  {
    mObject securityGroupIds;
    mArray ids;
    if (!TkJson::FindObjectValue(obj, "SecurityGroupIds", securityGroupIds)) {
      Error(__PRETTY_FUNCTION__, "\"SecurityGroupIds\" not found in response.");
    } else if (!TkJson::FindArrayValue(securityGroupIds, "SecurityGroupId", ids)) {
      Error(__PRETTY_FUNCTION__, "\"SecurityGroupId\" not found in response.");
    } else {
      // Unlike plain string lists, a non-text id is not skipped: get_str raises,
      // because a silently shortened group list would re-create the instance
      // with the wrong primary group.
      for (const mValue& id : ids) out.vecSecurityGroups.emplace_back(id.get_str());
    }
  }
  {
    mObject eipAddress;
    if (TkJson::FindObjectValue(obj, "EipAddress", eipAddress)) {
      // The address converter logs its own failures; the instance stays usable.
      (void)Convert(eipAddress, out.sElasticIPAddress);
    } else {
      Error(__PRETTY_FUNCTION__, "\"EipAddress\" not found in response.");
    }
  }
  {
    mObject publicIpAddress;
    if (TkJson::FindObjectValue(obj, "PublicIpAddress", publicIpAddress)) {
      (void)ConvertStringListInJSON(publicIpAddress, "IpAddress", out.vecPublicIpAddresses);
    } else {
      Error(__PRETTY_FUNCTION__, "\"PublicIpAddress\" not found in response.");
    }
  }
  {
    // Present only in a VM configuration document, never in a service response.
    mObject additionalInfo;
    if (TkJson::FindObjectValue(obj, AliCloudParserConstants::ADDITIONAL_INFO, additionalInfo)) {
      (void)ReadAdditionalInfo(additionalInfo, out);
    } else {
      DebugLvl(__PRETTY_FUNCTION__, 2, "Did not find [%s] in the json.",
               AliCloudParserConstants::ADDITIONAL_INFO.c_str());
    }
  }
  return true;
}

bool CAliCloudParser::ReadAdditionalInfo(const mObject& additionalInfo, SVMInfoLib& out) const {
  try {
    out.strArchitecture = TkJson::GetStringValue(additionalInfo, AliCloudParserConstants::ARCHITECTURE);
    out.strOSName = TkJson::GetStringValue(additionalInfo, AliCloudParserConstants::OPERATING_SYSTEM_NAME);
    return true;
  } catch (const std::exception& e) {
    Error(__PRETTY_FUNCTION__, "Exception reading the additional information : [%s]", e.what());
    return false;
  }
}

bool CAliCloudParser::Convert(const mObject& obj, SNetworkInfoLib& out) const {
  out.strVpcId = TkJson::GetStringValue(obj, "VpcId");
  out.strVSwitchId = TkJson::GetStringValue(obj, "VSwitchId");
  mObject privateIpAddress;
  if (TkJson::FindObjectValue(obj, "PrivateIpAddress", privateIpAddress)) {
    (void)ConvertStringListInJSON(privateIpAddress, "IpAddress", out.vecPrivateIpAddresses);
  } else {
    Error(__PRETTY_FUNCTION__, "Failed to find \"PrivateIpAddress\" in response.");
  }
  return true;
}

bool CAliCloudParser::Convert(const mObject& obj, SImageInfoLib& out) const {
  out.strImageId = TkJson::GetStringValue(obj, "ImageId");
  out.strImageName = TkJson::GetStringValue(obj, "ImageName");
  out.strArchitecture = TkJson::GetStringValue(obj, AliCloudParserConstants::ARCHITECTURE);
  out.strOSName = TkJson::GetStringValue(obj, AliCloudParserConstants::OPERATING_SYSTEM_NAME);
  return true;
}

bool CAliCloudParser::Convert(const mObject& obj, SInstanceTypeInfoLib& out) const {
  out.strInstanceTypeId = TkJson::GetStringValue(obj, "InstanceTypeId");
  out.nCpuCoreCount = TkJson::GetIntValue(obj, "CpuCoreCount");
  out.dMemorySize = TkJson::GetFloatValue(obj, "MemorySize");
  return true;
}

bool CAliCloudParser::Convert(const mObject& obj, SInstanceTypeFamilyInfoLib& out) const {
  out.strInstanceTypeFamilyId = TkJson::GetStringValue(obj, "InstanceTypeFamilyId");
  return true;
}

bool CAliCloudParser::Convert(const mObject& obj, SResourceLib& out) const {
  out.strStatus = TkJson::GetStringValue(obj, "Status");
  out.strValue = TkJson::GetStringValue(obj, "Value");
  return true;
}

}  // namespace AliCloudWrapper
