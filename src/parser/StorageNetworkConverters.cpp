// Converters for the storage, network and database records.
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
std::string LockReasonOf(const mValue& element) {
  if (element.type() == json_spirit::obj_type) {
    return TkJson::GetStringValue(element.get_obj(), AliCloudParserConstants::LOCK_REASON);
  }
  return element.get_str();
}

}  // namespace

bool CAliCloudParser::Convert(const mObject& obj, SDiskInfoLib& out) const {
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

bool CAliCloudParser::Convert(const mObject& obj, SSnapshotInfoLib& out) const {
  out.strSnapshotId = TkJson::GetStringValue(obj, "SnapshotId");
  out.strSnapshotName = TkJson::GetStringValue(obj, "SnapshotName");
  out.strDescription = TkJson::GetStringValue(obj, "Description");
  out.strSourceDiskId = TkJson::GetStringValue(obj, "SourceDiskId");
  out.nProgress = LeadingInteger(TkJson::GetStringValue(obj, "Progress"));
  return true;
}

bool CAliCloudParser::Convert(const mObject& obj, SSecurityGroupInfoLib& out) const {
  out.strSecurityGroupId = TkJson::GetStringValue(obj, "SecurityGroupId");
  out.strSecurityGroupName = TkJson::GetStringValue(obj, "SecurityGroupName");
  out.strDescription = TkJson::GetStringValue(obj, "Description");
  out.strVpcId = TkJson::GetStringValue(obj, "VpcId");
  return true;
}

bool CAliCloudParser::Convert(const mObject& obj, SVPCInfoLib& out) const {
  out.strVpcId = TkJson::GetStringValue(obj, "VpcId");
  out.strRegionId = TkJson::GetStringValue(obj, "RegionId");
  out.strVpcName = TkJson::GetStringValue(obj, "VpcName");
  out.strDescription = TkJson::GetStringValue(obj, "Description");
  return true;
}

bool CAliCloudParser::Convert(const mObject& obj, SVSwitchInfoLib& out) const {
  out.strVSwitchId = TkJson::GetStringValue(obj, "VSwitchId");
  out.strVpcId = TkJson::GetStringValue(obj, "VpcId");
  out.strVSwitchName = TkJson::GetStringValue(obj, "VSwitchName");
  out.strDescription = TkJson::GetStringValue(obj, "Description");
  out.bIsDefault = TkJson::GetBoolValue(obj, "IsDefault");
  out.strZoneId = TkJson::GetStringValue(obj, "ZoneId");
  out.strCidrBlock = TkJson::GetStringValue(obj, "CidrBlock");
  return true;
}

bool CAliCloudParser::Convert(const mObject& obj, SElasticIPAddress& out) const {
  try {
    out.strRegionId = TkJson::GetStringValue(obj, "RegionId");
    out.strIpAddress = TkJson::GetStringValue(obj, "IpAddress");
    out.strAllocationId = TkJson::GetStringValue(obj, "AllocationId");
    out.strStatus = TkJson::GetStringValue(obj, "Status");
    out.strInstanceId = TkJson::GetStringValue(obj, "InstanceId");
    // The address service sends text, the compute service's instance view a number.
    out.strBandwidth = TkJson::GetStringValue(obj, "Bandwidth");
    out.strInternetChargeType = TkJson::GetStringValue(obj, "InternetChargeType");

    mObject operationLocks;
    if (!TkJson::FindObjectValue(obj, AliCloudParserConstants::OPERATION_LOCKS, operationLocks)) {
      return true;
    }
    mArray lockReasons;
    if (!TkJson::FindArrayValue(operationLocks, AliCloudParserConstants::LOCK_REASON, lockReasons)) {
      return true;
    }
    // Every lock counts, even one whose reason is missing: an address with a
    // lock must never look free for binding.
    for (const mValue& element : lockReasons) out.vecLockReasons.push_back(LockReasonOf(element));
    return true;
  } catch (const std::exception& e) {
    Error(__PRETTY_FUNCTION__, "Exception - [%s].", e.what());
    return false;
  }
}

bool CAliCloudParser::Convert(const mObject& obj, SDBInstanceLib& out) const {
  try {
    out.strDBInstanceId = TkJson::GetStringValue(obj, "DBInstanceId");
    out.strEngine = TkJson::GetStringValue(obj, "Engine");
    out.strRegionId = TkJson::GetStringValue(obj, "RegionId");
    return true;
  } catch (const std::exception& e) {
    Error(__PRETTY_FUNCTION__, "Exception - [%s].", e.what());
    return false;
  }
}

bool CAliCloudParser::Convert(const mObject& obj, SDBInstanceInfoLib& out) const {
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
    Error(__PRETTY_FUNCTION__, "Exception - [%s].", e.what());
    return false;
  }
}

}  // namespace AliCloudWrapper
