// Converters for the compute records: regions, zones, instances with their VPC
// attachment, images, instance types and families, supported resources.
//
// Each converter is written once, over either kind of object: an mObject tree (the
// public Convert overloads) or an object of a parsed answer (the readers the text
// forms of the parser use, which build no tree).
//
// They read members through TkJson's lenient getters (an absent member gives the
// empty value) and let a wrongly typed member's std::runtime_error travel to the
// generic operation that called them, which logs it and reports failure.
#include <stdexcept>
#include <string>

#include "AliCloudWrapper/AliCloudParserConstants.h"
#include "AliCloudWrapper/CAliCloudParser.h"
#include "host/TkJson.h"
#include "parser/CAliCloudParserImpl.h"

namespace AliCloudWrapper {

namespace {

// The address record's converter lives with the network records; reach it from
// either kind of object.
bool ConvertNested(const CAliCloudParser& parser, const mObject& obj, SElasticIPAddress& out) {
  return parser.Convert(obj, out);
}
bool ConvertNested(const CAliCloudParser& parser, const CJsonObjectRef& obj, SElasticIPAddress& out) {
  return ConvertDocumentRecord(parser, obj, out);
}

// Reads the instance's scalar members. Order matters: when a later member is
// wrongly typed, the ones before it are already set.
template <typename O>
void ReadInstanceScalars(const O& obj, SVMInfoLib& out) {
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

template <typename O>
bool ConvertFrom(const CAliCloudParser&, const O& obj, SDCInfoLib& out) {
  out.strRegionId = TkJson::GetStringValue(obj, "RegionId");
  out.strLocalName = TkJson::GetStringValue(obj, "LocalName");
  out.strRegionEndpoint = TkJson::GetStringValue(obj, "RegionEndpoint");
  return true;
}

template <typename O>
bool ConvertFrom(const CAliCloudParser&, const O& obj, SHostInfoLib& out) {
  out.strLocalName = TkJson::GetStringValue(obj, "LocalName");
  out.strZoneId = TkJson::GetStringValue(obj, "ZoneId");
  return true;
}

template <typename O>
bool ConvertFrom(const CAliCloudParser& parser, const O& obj, SNetworkInfoLib& out) {
  out.strVpcId = TkJson::GetStringValue(obj, "VpcId");
  out.strVSwitchId = TkJson::GetStringValue(obj, "VSwitchId");
  if (const auto privateIpAddress = TkJson::FindObject(obj, "PrivateIpAddress")) {
    (void)AppendStringList(*privateIpAddress, "IpAddress", out.vecPrivateIpAddresses);
  } else {
    parser.Error(__PRETTY_FUNCTION__, "Failed to find \"PrivateIpAddress\" in response.");
  }
  return true;
}

// A wrongly typed member is logged here and leaves the rest of the instance readable.
template <typename O>
bool ReadAdditionalInfoFrom(const CAliCloudParser& parser, const O& additionalInfo, SVMInfoLib& out) {
  try {
    out.strArchitecture = TkJson::GetStringValue(additionalInfo, AliCloudParserConstants::ARCHITECTURE);
    out.strOSName = TkJson::GetStringValue(additionalInfo, AliCloudParserConstants::OPERATING_SYSTEM_NAME);
    return true;
  } catch (const std::exception& e) {
    parser.Error(__PRETTY_FUNCTION__, "Exception reading the additional information : [%s]", e.what());
    return false;
  }
}

template <typename O>
bool ConvertFrom(const CAliCloudParser& parser, const O& obj, SVMInfoLib& out) {
  ReadInstanceScalars(obj, out);

  if (const auto vpcAttributes = TkJson::FindObject(obj, "VpcAttributes")) {
    (void)ConvertFrom(parser, *vpcAttributes, out.sNetworkInfo);
  } else {
    parser.Error(__PRETTY_FUNCTION__, "\"VpcAttributes\" not found in response.");
  }
  if (const auto securityGroupIds = TkJson::FindObject(obj, "SecurityGroupIds")) {
    if (const auto ids = TkJson::FindArray(*securityGroupIds, "SecurityGroupId")) {
      // Unlike plain string lists, a non-text id is not skipped: get_str raises,
      // because a silently shortened group list would re-create the instance
      // with the wrong primary group.
      for (const auto& id : *ids) out.vecSecurityGroups.emplace_back(std::string(id.get_str()));
    } else {
      parser.Error(__PRETTY_FUNCTION__, "\"SecurityGroupId\" not found in response.");
    }
  } else {
    parser.Error(__PRETTY_FUNCTION__, "\"SecurityGroupIds\" not found in response.");
  }
  if (const auto eipAddress = TkJson::FindObject(obj, "EipAddress")) {
    // The address converter logs its own failures; the instance stays usable.
    (void)ConvertNested(parser, *eipAddress, out.sElasticIPAddress);
  } else {
    parser.Error(__PRETTY_FUNCTION__, "\"EipAddress\" not found in response.");
  }
  if (const auto publicIpAddress = TkJson::FindObject(obj, "PublicIpAddress")) {
    (void)AppendStringList(*publicIpAddress, "IpAddress", out.vecPublicIpAddresses);
  } else {
    parser.Error(__PRETTY_FUNCTION__, "\"PublicIpAddress\" not found in response.");
  }
  // Present only in a VM configuration document, never in a service response.
  if (const auto additionalInfo = TkJson::FindObject(obj, AliCloudParserConstants::ADDITIONAL_INFO)) {
    (void)ReadAdditionalInfoFrom(parser, *additionalInfo, out);
  } else {
    parser.DebugLvl(__PRETTY_FUNCTION__, 2, "Did not find [%s] in the json.",
                    AliCloudParserConstants::ADDITIONAL_INFO.c_str());
  }
  return true;
}

template <typename O>
bool ConvertFrom(const CAliCloudParser&, const O& obj, SImageInfoLib& out) {
  out.strImageId = TkJson::GetStringValue(obj, "ImageId");
  out.strImageName = TkJson::GetStringValue(obj, "ImageName");
  out.strArchitecture = TkJson::GetStringValue(obj, AliCloudParserConstants::ARCHITECTURE);
  out.strOSName = TkJson::GetStringValue(obj, AliCloudParserConstants::OPERATING_SYSTEM_NAME);
  return true;
}

template <typename O>
bool ConvertFrom(const CAliCloudParser&, const O& obj, SInstanceTypeInfoLib& out) {
  out.strInstanceTypeId = TkJson::GetStringValue(obj, "InstanceTypeId");
  out.nCpuCoreCount = TkJson::GetIntValue(obj, "CpuCoreCount");
  out.dMemorySize = TkJson::GetFloatValue(obj, "MemorySize");
  return true;
}

template <typename O>
bool ConvertFrom(const CAliCloudParser&, const O& obj, SInstanceTypeFamilyInfoLib& out) {
  out.strInstanceTypeFamilyId = TkJson::GetStringValue(obj, "InstanceTypeFamilyId");
  return true;
}

template <typename O>
bool ConvertFrom(const CAliCloudParser&, const O& obj, SResourceLib& out) {
  out.strStatus = TkJson::GetStringValue(obj, "Status");
  out.strValue = TkJson::GetStringValue(obj, "Value");
  return true;
}

}  // namespace

// Both entry points of each converter: the mObject overload and the document reader.
#define ACW_COMPUTE_CONVERTER(T)                                                            \
  bool CAliCloudParser::Convert(const mObject& obj, T& out) const {                         \
    return ConvertFrom(*this, obj, out);                                                    \
  }                                                                                         \
  bool ConvertDocumentRecord(const CAliCloudParser& parser, const CJsonObjectRef& obj, T& out) { \
    return ConvertFrom(parser, obj, out);                                                   \
  }

ACW_COMPUTE_CONVERTER(SDCInfoLib)
ACW_COMPUTE_CONVERTER(SHostInfoLib)
ACW_COMPUTE_CONVERTER(SVMInfoLib)
ACW_COMPUTE_CONVERTER(SNetworkInfoLib)
ACW_COMPUTE_CONVERTER(SImageInfoLib)
ACW_COMPUTE_CONVERTER(SInstanceTypeInfoLib)
ACW_COMPUTE_CONVERTER(SInstanceTypeFamilyInfoLib)
ACW_COMPUTE_CONVERTER(SResourceLib)

#undef ACW_COMPUTE_CONVERTER

bool CAliCloudParser::ReadAdditionalInfo(const mObject& additionalInfo, SVMInfoLib& out) const {
  return ReadAdditionalInfoFrom(*this, additionalInfo, out);
}

}  // namespace AliCloudWrapper
