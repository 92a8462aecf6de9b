// The object itself and its security group, VPC and VSwitch operations.
#include "AliCloudWrapper/CAliCloudNetwork.h"

#include <string>
#include <vector>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/CAliCloudVPCConnection.h"
#include "AliCloudWrapper/SAliCloudRequest.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"
#include "transport/CreatedId.h"

namespace AliCloudWrapper {

namespace Params = AliCloudParameterNames;
namespace Actions = AliCloudActionParameterValues;

namespace {

// List keys of the describe actions: {"SecurityGroups": {"SecurityGroup": [...]}}.
const std::string SECURITY_GROUPS_LIST_KEY = "SecurityGroups";
const std::string SECURITY_GROUP_ITEM_KEY = "SecurityGroup";
const std::string VSWITCHES_LIST_KEY = "VSwitches";
const std::string VSWITCH_ITEM_KEY = "VSwitch";
const std::string VPCS_LIST_KEY = "Vpcs";
const std::string VPC_ITEM_KEY = "Vpc";

// Listings retry requests that got no answer (they change nothing) and let the
// service choose the page size.
constexpr bool LIST_WITH_RETRY = true;
constexpr int SERVICE_PAGE_SIZE = 0;

}  // namespace

CAliCloudNetwork::CAliCloudNetwork(CAliCloudECSConnection* pECSConnectionIn,
                                   CAliCloudVPCConnection* pVPCConnectionIn,
                                   CAliCloudParser* pParserIn)
    : pVPCConnection(pVPCConnectionIn), pECSConnection(pECSConnectionIn), pParser(pParserIn) {}

CAliCloudNetwork::~CAliCloudNetwork() = default;

CZeError CAliCloudNetwork::GetSecurityGroupListInRegion(const std::string& strRegionId,
                                                        std::vector<SSecurityGroupInfoLib>& vecGroups,
                                                        const std::string& strVpcId) {
  if (strRegionId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty region Id passed.");

  SAliCloudRequest sRequest = pECSConnection->GetRegionSpecificRequest(strRegionId);
  sRequest.AddURLParameter(Params::ACTION, Actions::DESCRIBE_SECURITY_GROUPS);
  if (!strVpcId.empty()) sRequest.AddURLParameter(Params::VPC_ID, strVpcId);

  CZeError err = pECSConnection->GetMultiPageList(sRequest, vecGroups, SECURITY_GROUPS_LIST_KEY,
                                                  SECURITY_GROUP_ITEM_KEY, LIST_WITH_RETRY,
                                                  SERVICE_PAGE_SIZE);
  if (err.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to get security groups in region [%s]. Error : [%s].",
                 strRegionId.c_str(), err.GetErrorMessage().c_str());
    return err.Push(ACW_LOCATION);
  }
  return CZeError();
}

CZeError CAliCloudNetwork::DoesSecurityGroupExist(const std::string& strRegionId,
                                                  const std::string& strSecurityGroupId,
                                                  bool& bExists) {
  // Every group of the region: a group id names one group whatever its VPC.
  std::vector<SSecurityGroupInfoLib> vecGroups;
  CZeError err = GetSecurityGroupListInRegion(strRegionId, vecGroups, std::string());
  if (err.IsError()) return err.Push(ACW_LOCATION);

  // Ids are compared exactly: the service's ids are case-sensitive, and a group
  // that differs in letter case is another group.
  bExists = false;
  for (const SSecurityGroupInfoLib& sGroup : vecGroups) {
    if (sGroup.strSecurityGroupId == strSecurityGroupId) {
      bExists = true;
      break;
    }
  }
  return CZeError();
}

CZeError CAliCloudNetwork::GetVSwitches(const std::string& strRegionId,
                                        std::vector<SVSwitchInfoLib>& vecVSwitches,
                                        const std::string& strVpcId, const std::string& strZoneId) {
  if (strRegionId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty region Id passed.");

  SAliCloudRequest sRequest;
  sRequest.AddURLParameter(Params::ACTION, Actions::DESCRIBE_VSWITCHES);
  sRequest.AddURLParameter(Params::REGION_ID, strRegionId);
  if (!strVpcId.empty()) sRequest.AddURLParameter(Params::VPC_ID, strVpcId);
  if (!strZoneId.empty()) sRequest.AddURLParameter(Params::ZONE_ID, strZoneId);

  CZeError err = pVPCConnection->GetMultiPageList(sRequest, vecVSwitches, VSWITCHES_LIST_KEY,
                                                  VSWITCH_ITEM_KEY, LIST_WITH_RETRY, SERVICE_PAGE_SIZE);
  if (err.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to query list of VSwitches in region [%s].",
                 strRegionId.c_str());
    return err.Push(ACW_LOCATION);
  }
  return CZeError();
}

CZeError CAliCloudNetwork::GetVPCListInRegion(const std::string& strRegionId,
                                              std::vector<SVPCInfoLib>& vecVpcs) {
  if (strRegionId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty region Id passed.");

  SAliCloudRequest sRequest;
  sRequest.AddURLParameter(Params::ACTION, Actions::DESCRIBE_VPCS);
  sRequest.AddURLParameter(Params::REGION_ID, strRegionId);

  CZeError err = pVPCConnection->GetMultiPageList(sRequest, vecVpcs, VPCS_LIST_KEY, VPC_ITEM_KEY,
                                                  LIST_WITH_RETRY, SERVICE_PAGE_SIZE);
  if (err.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to query list of VPCs in region [%s].",
                 strRegionId.c_str());
    return err.Push(ACW_LOCATION);
  }
  return CZeError();
}

CZeError CAliCloudNetwork::CreateSecurityGroup(const std::string& strRegionId,
                                               const std::string& strVpcId,
                                               std::string& strSecurityGroupId,
                                               const std::string& strGroupName,
                                               const std::string& strDescription) {
  if (strRegionId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty region Id passed.");
  if (strVpcId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty VPC Id passed.");

  SAliCloudRequest sRequest = pECSConnection->GetRegionSpecificRequest(strRegionId);
  sRequest.AddURLParameter(Params::ACTION, Actions::CREATE_SECURITY_GROUP);
  sRequest.AddURLParameter(Params::VPC_ID, strVpcId);
  if (!strGroupName.empty()) sRequest.AddURLParameter(Params::SECURITY_GROUP_NAME, strGroupName);
  if (!strDescription.empty()) sRequest.AddURLParameter(Params::DESCRIPTION, strDescription);

  std::string strResponse;
  CZeError err = pECSConnection->ExecuteRequest(sRequest, strResponse, false);
  if (err.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to create security group in region [%s]. Error is : [%s].",
                 strRegionId.c_str(), err.GetErrorMessage().c_str());
    return err.Push(ACW_LOCATION);
  }

  err = ReadCreatedId(*pParser, strResponse, Params::SECURITY_GROUP_ID, strSecurityGroupId,
                      "Failed to parse response.");
  if (err.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to parse response [%s].", strResponse.c_str());
    return err.Push(ACW_LOCATION);
  }
  return CZeError();
}

CZeError CAliCloudNetwork::GetSecurityGroup(const std::string& strRegionId, const std::string& strVpcId,
                                            std::string& strSecurityGroupId) {
  if (strRegionId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty region Id passed.");
  if (strVpcId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty VPC Id passed.");

  std::vector<SSecurityGroupInfoLib> vecGroups;
  CZeError err = GetSecurityGroupListInRegion(strRegionId, vecGroups, strVpcId);
  if (err.IsError()) return err.Push(ACW_LOCATION);

  if (!vecGroups.empty()) {
    strSecurityGroupId = vecGroups.front().strSecurityGroupId;
    return CZeError();
  }

  // A VPC without any group: make one, nameless, so the new instance has a home.
  sEvent.Debug(__PRETTY_FUNCTION__, "Failed to get any security groups in region [%s] and VPC [%s].",
               strRegionId.c_str(), strVpcId.c_str());
  err = CreateSecurityGroup(strRegionId, strVpcId, strSecurityGroupId, std::string(), std::string());
  if (err.IsError()) return err.Push(ACW_LOCATION);
  return CZeError();
}

}  // namespace AliCloudWrapper
