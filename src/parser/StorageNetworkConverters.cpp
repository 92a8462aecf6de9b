// Converters for the storage, network and database records.
//
// Each is written once over either kind of object (an mObject tree or an object of
// a parsed answer), as the compute converters are.
//
// Disks, snapshots, security groups, VPCs and VSwitches let a wrongly typed
// member's std::runtime_error travel to the generic operation that called them.
// Elastic IP addresses and both database records catch their own failures, log
// them and return false: a list parse then still keeps the partly filled record.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <string>

#include "AliCloudWrapper/AliCloudParserConstants.h"
#include "AliCloudWrapper/CAliCloudParser.h"
#include "host/FXString.h"
#include "host/TkJson.h"
#include "parser/CAliCloudParserImpl.h"

namespace AliCloudWrapper {

namespace {

// The leading integer of a progress text such as "45%": formatted stream input,
// so leading blanks and a sign are allowed and reading stops at the first
// character that cannot continue the number. No number at all gives 0.
int32_t LeadingInteger(const std::string& text) {
  std::istringstream in(text);
  int32_t nValue = 0;
  in >> nValue;
  return nValue;
}

// A base-10 port text: leading blanks and a sign allowed, trailing characters
// ignored. Text without a number, or a number outside the 32-bit range, raises.
int32_t ParsePort(const std::string& text) {
  const char* pBegin = text.c_str();
  char* pEnd = nullptr;
  errno = 0;
  const long nValue = std::strtol(pBegin, &pEnd, 10);
  if (pEnd == pBegin) {
    throw std::runtime_error(FXString::Format("Port [%s] is not a decimal number", pBegin));
  }
  if (errno == ERANGE || nValue < INT32_MIN || nValue > INT32_MAX) {
    throw std::runtime_error(FXString::Format("Port [%s] is out of range", pBegin));
  }
  return static_cast<int32_t>(nValue);
}

// One element of "OperationLocks"."LockReason". The address services send objects
// such as {"LockReason": "financial"}; bare strings are accepted as well. Any
// other element raises the usual type error (get_str).
template <typename V>
std::string LockReasonOf(const V& element) {
  if (element.type() == json_spirit::obj_type) {
    return TkJson::GetStringValue(element.get_obj(), AliCloudParserConstants::LOCK_REASON);
  }
  return std::string(element.get_str());
}

template <typename O>
bool ConvertFrom(const CAliCloudParser&, const O& obj, SDiskInfoLib& out) {
  out.strDiskId = TkJson::GetStringValue(obj, "DiskId");
  out.strDiskName = TkJson::GetStringValue(obj, "DiskName");
  out.strRegionId = TkJson::GetStringValue(obj, "RegionId");
  out.strZoneId = TkJson::GetStringValue(obj, "ZoneId");
  out.bIsSystemDisk = FXString::CompareNoCase(TkJson::GetStringValue(obj, "Type"), "system") == 0;
  out.strCategory = TkJson::GetStringValue(obj, "Category");
  out.nSize = static_cast<int64_t>(TkJson::GetIntValue(obj, "Size"));
  out.bIsEncrypted = TkJson::GetBoolValue(obj, "Encrypted");
  out.bDeleteWithInstance = TkJson::GetBoolValue(obj, "DeleteWithInstance");
  out.strStatus = TkJson::GetStringValue(obj, "Status");
  return true;
}

template <typename O>
bool ConvertFrom(const CAliCloudParser&, const O& obj, SSnapshotInfoLib& out) {
  out.strSnapshotId = TkJson::GetStringValue(obj, "SnapshotId");
  out.strSnapshotName = TkJson::GetStringValue(obj, "SnapshotName");
  out.strDescription = TkJson::GetStringValue(obj, "Description");
  out.strSourceDiskId = TkJson::GetStringValue(obj, "SourceDiskId");
  out.nProgress = LeadingInteger(TkJson::GetStringValue(obj, "Progress"));
  out.strStatus = TkJson::GetStringValue(obj, "Status");
  return true;
}

template <typename O>
bool ConvertFrom(const CAliCloudParser&, const O& obj, SSecurityGroupInfoLib& out) {
  out.strSecurityGroupId = TkJson::GetStringValue(obj, "SecurityGroupId");
  out.strSecurityGroupName = TkJson::GetStringValue(obj, "SecurityGroupName");
  out.strDescription = TkJson::GetStringValue(obj, "Description");
  out.strVpcId = TkJson::GetStringValue(obj, "VpcId");
  return true;
}

template <typename O>
bool ConvertFrom(const CAliCloudParser&, const O& obj, SVPCInfoLib& out) {
  out.strVpcId = TkJson::GetStringValue(obj, "VpcId");
  out.strRegionId = TkJson::GetStringValue(obj, "RegionId");
  out.strVpcName = TkJson::GetStringValue(obj, "VpcName");
  out.strDescription = TkJson::GetStringValue(obj, "Description");
  return true;
}

template <typename O>
bool ConvertFrom(const CAliCloudParser&, const O& obj, SVSwitchInfoLib& out) {
  out.strVSwitchId = TkJson::GetStringValue(obj, "VSwitchId");
  out.strVpcId = TkJson::GetStringValue(obj, "VpcId");
  out.strVSwitchName = TkJson::GetStringValue(obj, "VSwitchName");
  out.strDescription = TkJson::GetStringValue(obj, "Description");
  out.bIsDefault = TkJson::GetBoolValue(obj, "IsDefault");
  out.strZoneId = TkJson::GetStringValue(obj, "ZoneId");
  out.strCidrBlock = TkJson::GetStringValue(obj, "CidrBlock");
  return true;
}

template <typename O>
bool ConvertFrom(const CAliCloudParser& parser, const O& obj, SElasticIPAddress& out) {
  try {
    out.strRegionId = TkJson::GetStringValue(obj, "RegionId");
    out.strIpAddress = TkJson::GetStringValue(obj, "IpAddress");
    out.strAllocationId = TkJson::GetStringValue(obj, "AllocationId");
    out.strStatus = TkJson::GetStringValue(obj, "Status");
    out.strInstanceId = TkJson::GetStringValue(obj, "InstanceId");
    // The address service sends text, the compute service's instance view a number.
    out.strBandwidth = TkJson::GetStringValue(obj, "Bandwidth");
    out.strInternetChargeType = TkJson::GetStringValue(obj, "InternetChargeType");

    const auto operationLocks = TkJson::FindObject(obj, AliCloudParserConstants::OPERATION_LOCKS);
    if (!operationLocks) return true;
    const auto lockReasons = TkJson::FindArray(*operationLocks, AliCloudParserConstants::LOCK_REASON);
    if (!lockReasons) return true;
    // Every lock counts, even one whose reason is missing: an address with a
    // lock must never look free for binding.
    for (const auto& element : *lockReasons) out.vecLockReasons.push_back(LockReasonOf(element));
    return true;
  } catch (const std::exception& e) {
    parser.Error(__PRETTY_FUNCTION__, "Exception - [%s].", e.what());
    return false;
  }
}

template <typename O>
bool ConvertFrom(const CAliCloudParser& parser, const O& obj, SDBInstanceLib& out) {
  try {
    out.strDBInstanceId = TkJson::GetStringValue(obj, "DBInstanceId");
    out.strEngine = TkJson::GetStringValue(obj, "Engine");
    out.strRegionId = TkJson::GetStringValue(obj, "RegionId");
    return true;
  } catch (const std::exception& e) {
    parser.Error(__PRETTY_FUNCTION__, "Exception - [%s].", e.what());
    return false;
  }
}

template <typename O>
bool ConvertFrom(const CAliCloudParser& parser, const O& obj, SDBInstanceInfoLib& out) {
  try {
    out.strDBInstanceId = TkJson::GetStringValue(obj, "DBInstanceId");
    out.strZoneId = TkJson::GetStringValue(obj, "ZoneId");
    out.strRegionId = TkJson::GetStringValue(obj, "RegionId");
    out.strConnectionString = TkJson::GetStringValue(obj, "ConnectionString");
    out.nPort = ParsePort(TkJson::GetStringValue(obj, "Port"));
    out.strEngine = TkJson::GetStringValue(obj, "Engine");
    out.strEngineVersion = TkJson::GetStringValue(obj, "EngineVersion");
    return true;
  } catch (const std::exception& e) {
    parser.Error(__PRETTY_FUNCTION__, "Exception - [%s].", e.what());
    return false;
  }
}

}  // namespace

// Both entry points of each converter: the mObject overload and the document reader.
#define ACW_STORAGE_NETWORK_CONVERTER(T)                                                    \
  bool CAliCloudParser::Convert(const mObject& obj, T& out) const {                         \
    return ConvertFrom(*this, obj, out);                                                    \
  }                                                                                         \
  bool ConvertDocumentRecord(const CAliCloudParser& parser, const CJsonObjectRef& obj, T& out) { \
    return ConvertFrom(parser, obj, out);                                                   \
  }

ACW_STORAGE_NETWORK_CONVERTER(SDiskInfoLib)
ACW_STORAGE_NETWORK_CONVERTER(SSnapshotInfoLib)
ACW_STORAGE_NETWORK_CONVERTER(SSecurityGroupInfoLib)
ACW_STORAGE_NETWORK_CONVERTER(SVPCInfoLib)
ACW_STORAGE_NETWORK_CONVERTER(SVSwitchInfoLib)
ACW_STORAGE_NETWORK_CONVERTER(SElasticIPAddress)
ACW_STORAGE_NETWORK_CONVERTER(SDBInstanceLib)
ACW_STORAGE_NETWORK_CONVERTER(SDBInstanceInfoLib)

#undef ACW_STORAGE_NETWORK_CONVERTER

}  // namespace AliCloudWrapper
