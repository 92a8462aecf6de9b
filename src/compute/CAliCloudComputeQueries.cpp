// The compute inventory's regions and zones: the region list with its cache,
// and the walks that fill a region or a zone with zones, instances and networks.
#include "AliCloudWrapper/CAliCloudComputeQueries.h"

#include <strings.h>

#include <utility>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/CAliCloudNetwork.h"
#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/SAliCloudRequest.h"

namespace AliCloudWrapper {

namespace Params = AliCloudParameterNames;
namespace Actions = AliCloudActionParameterValues;
namespace Keys = AliCloudParserConstants;

CAliCloudComputeQueries::CAliCloudComputeQueries(CAliCloudECSConnection* pECSConnectionIn,
                                                 CAliCloudParser* pParserIn,
                                                 CAliCloudStorage* pStorageIn,
                                                 CAliCloudNetwork* pNetworkIn)
    : pECSConnection(pECSConnectionIn), pParser(pParserIn), pStorage(pStorageIn), pNetwork(pNetworkIn) {}

CAliCloudComputeQueries::~CAliCloudComputeQueries() = default;

CZeError CAliCloudComputeQueries::_GetRegionInfoList(std::vector<SDCInfoLib>& vecRegions) {
  if (!vecRegionCache.empty()) {
    vecRegions = vecRegionCache;
    return CZeError();
  }

  // No region: the request goes to the connection's own endpoint.
  SAliCloudRequest sRequest;
  sRequest.AddURLParameter(Params::ACTION, Actions::DESCRIBE_REGIONS);
  sRequest.AddURLParameter(Params::ACCEPT_LANGUAGE, Actions::ACCEPT_LANGUAGE_EN_US);
  std::string strResponse;
  CZeError eResult = pECSConnection->ExecuteRequest(sRequest, strResponse, true);
  if (eResult.IsError()) return eResult.Push(ACW_LOCATION);

  // Parsed into a list of our own: the caller's vector may hold records already,
  // and those must never reach the cache that serves the object's whole life.
  std::vector<SDCInfoLib> vecParsed;
  if (!pParser->ParseNestedList(strResponse, Keys::REGIONS, Keys::REGION, vecParsed)) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to parse region list response. Response : [%s].",
                 strResponse.c_str());
    return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Failed to parse response");
  }
  vecRegionCache = vecParsed;
  vecRegions = std::move(vecParsed);
  return CZeError();
}

CZeError CAliCloudComputeQueries::GetRegionInfoList(std::vector<SDCInfoLib>& vecRegions,
                                                    uint64_t nPropertyMask, uint64_t nPropertyMask2) {
  CZeError eResult = _GetRegionInfoList(vecRegions);
  if (eResult.IsError()) return eResult.Push(ACW_LOCATION);

  CZeError eLastFailure;
  for (SDCInfoLib& sRegion : vecRegions) {
    // Each region is filled in place; one that fails keeps what it got and the
    // walk goes on, so the caller sees every region.
    const std::string strRegionId = sRegion.strRegionId;
    CZeError eRegion = GetRegionInfoForRegion(strRegionId, nPropertyMask, nPropertyMask2, sRegion);
    if (eRegion.IsError()) {
      sEvent.Error(__PRETTY_FUNCTION__, "Failed to get DCInfo for [%s]. Error is [%s].",
                   sRegion.strLocalName.c_str(), eRegion.AsString().c_str());
      eLastFailure = eRegion.Push(ACW_LOCATION);
    }
  }
  return eLastFailure;
}

CZeError CAliCloudComputeQueries::GetZoneInfoList(std::vector<SHostInfoLib>& vecZones,
                                                  uint64_t nPropertyMask, uint64_t nPropertyMask2) {
  std::vector<SDCInfoLib> vecRegions;
  CZeError eResult = _GetRegionInfoList(vecRegions);
  if (eResult.IsError()) return eResult.Push(ACW_LOCATION);

  for (const SDCInfoLib& sListed : vecRegions) {
    // Zones only, whatever the caller's mask: instances come per zone below.
    SDCInfoLib sRegion;
    eResult = GetRegionInfoForRegion(sListed.strRegionId, VM_PROP_CLUSTER_HOST_LIST, 0, sRegion);
    if (eResult.IsError()) return eResult.Push(ACW_LOCATION);

    for (const SHostInfoLib& sListedZone : sRegion.vecZones) {
      SHostInfoLib sZone = sListedZone;
      if ((nPropertyMask & VM_PROP_HOST_VM_LIST) != 0) {
        eResult = GetZoneInfoForZone(sListedZone.strZoneId, nPropertyMask, nPropertyMask2, sZone,
                                     sListed.strRegionId);
        if (eResult.IsError()) return eResult.Push(ACW_LOCATION);
      }
      vecZones.push_back(std::move(sZone));
    }
  }
  return CZeError();
}

CZeError CAliCloudComputeQueries::GetRegionInfoForRegion(const std::string& strRegionId,
                                                         uint64_t nPropertyMask,
                                                         uint64_t /*nPropertyMask2*/,
                                                         SDCInfoLib& sRegion) {
  // The first failure is the result; a failed zone listing must not be hidden
  // by a successful instance listing that follows it.
  CZeError eFirstFailure;
  if ((nPropertyMask & VM_PROP_CLUSTER_HOST_LIST) != 0) {
    SAliCloudRequest sRequest = pECSConnection->GetRegionSpecificRequest(strRegionId);
    sRequest.AddURLParameter(Params::ACTION, Actions::DESCRIBE_ZONES);
    std::string strResponse;
    CZeError eZones = pECSConnection->ExecuteRequest(sRequest, strResponse, true);
    if (eZones.IsError()) {
      sEvent.Error(__PRETTY_FUNCTION__,
                   "Error occurred while processing zones for region id [%s]. Error is: [%s].",
                   strRegionId.c_str(), eZones.AsString().c_str());
      eFirstFailure = eZones.Push(ACW_LOCATION);
    } else {
      std::vector<SHostInfoLib> vecZones;
      if (!pParser->ParseNestedList(strResponse, Keys::ZONES, Keys::ZONE, vecZones)) {
        sEvent.Error(__PRETTY_FUNCTION__, "Failed to parse response [%s].", strResponse.c_str());
        return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_ENCODING, "Failed to parse Zone list response.");
      }
      for (SHostInfoLib& sZone : vecZones) sZone.strRegionId = strRegionId;
      sRegion.vecZones = std::move(vecZones);
    }
  }

  if ((nPropertyMask & VM_PROP_HOST_VM_LIST) != 0) {
    SAliCloudRequest sRequest = pECSConnection->GetRegionSpecificRequest(strRegionId);
    sRequest.AddURLParameter(Params::ACTION, Actions::DESCRIBE_INSTANCES);
    std::vector<SVMInfoLib> vecInstances;
    CZeError eInstances =
        pECSConnection->GetMultiPageList(sRequest, vecInstances, Keys::INSTANCES, Keys::INSTANCE, true, 0);
    if (eInstances.IsError()) {
      sEvent.Error(__PRETTY_FUNCTION__, "Failed to get instance list in region [%s]. Error [%s].",
                   strRegionId.c_str(), eInstances.AsString().c_str());
      return eFirstFailure.IsError() ? eFirstFailure : eInstances.Push(ACW_LOCATION);
    }
    sRegion.vecVMs = std::move(vecInstances);
  }

  sRegion.strRegionId = strRegionId;
  return eFirstFailure;
}

CZeError CAliCloudComputeQueries::GetZoneInfoForZone(const std::string& strZoneId, uint64_t nPropertyMask,
                                                     uint64_t /*nPropertyMask2*/, SHostInfoLib& sZone,
                                                     const std::string& strRegionId) {
  sZone.strZoneId = strZoneId;
  if (strRegionId.empty()) {
    CZeError eResult = _FindRegionForZone(strZoneId, sZone.strRegionId);
    if (eResult.IsError()) {
      sEvent.Error(__PRETTY_FUNCTION__, "Failed to find region for zone [%s]", strZoneId.c_str());
      return eResult.Push(ACW_LOCATION);
    }
  } else {
    sZone.strRegionId = strRegionId;
  }

  if ((nPropertyMask & VM_PROP_HOST_VM_LIST) != 0) {
    CZeError eResult = FillVMInfolist(sZone);
    if (eResult.IsError()) return eResult.Push(ACW_LOCATION);
  }
  if ((nPropertyMask & VM_PROP_HOST_NW_LIST) != 0) {
    CZeError eResult = FillNWInfoList(sZone);
    if (eResult.IsError()) return eResult.Push(ACW_LOCATION);
  }
  return CZeError();
}

CZeError CAliCloudComputeQueries::FillVMInfolist(SHostInfoLib& sZone) {
  if (sZone.strZoneId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Passed zone Id is empty.");
  if (sZone.strRegionId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Passed region Id is empty.");

  SAliCloudRequest sRequest = pECSConnection->GetRegionSpecificRequest(sZone.strRegionId);
  sRequest.AddURLParameter(Params::ACTION, Actions::DESCRIBE_INSTANCES);
  sRequest.AddURLParameter(Params::ZONE_ID, sZone.strZoneId);
  CZeError eResult =
      pECSConnection->GetMultiPageList(sRequest, sZone.vecVMs, Keys::INSTANCES, Keys::INSTANCE, true, 0);
  if (eResult.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to query instance list in zone [%s]. Error : [%s].",
                 sZone.strZoneId.c_str(), eResult.AsString().c_str());
    return eResult.Push(ACW_LOCATION);
  }
  return CZeError();
}

CZeError CAliCloudComputeQueries::FillNWInfoList(SHostInfoLib& sZone) {
  if (sZone.strZoneId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Passed zone Id is empty.");
  if (sZone.strRegionId.empty()) {
    CZeError eResult = _FindRegionForZone(sZone.strZoneId, sZone.strRegionId);
    if (eResult.IsError()) return eResult.Push(ACW_LOCATION);
  }
  CZeError eResult = pNetwork->GetVPCListInRegion(sZone.strRegionId, sZone.vecVPCs);
  if (eResult.IsError()) return eResult.Push(ACW_LOCATION);
  eResult = _GetVSwitchesForZone(sZone);
  if (eResult.IsError()) return eResult.Push(ACW_LOCATION);
  eResult = _GetSecurityGroups(sZone);
  if (eResult.IsError()) return eResult.Push(ACW_LOCATION);
  return CZeError();
}

CZeError CAliCloudComputeQueries::_GetVSwitchesForZone(SHostInfoLib& sZone) {
  if (sZone.strZoneId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Passed zone Id is empty.");
  if (sZone.strRegionId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Passed region Id is empty.");

  bool bAnyFailed = false;
  for (SVPCInfoLib& sVpc : sZone.vecVPCs) {
    CZeError eResult = pNetwork->GetVSwitches(sZone.strRegionId, sVpc.vecVSwitches, sVpc.strVpcId, sZone.strZoneId);
    if (eResult.IsError()) {
      sEvent.Error(__PRETTY_FUNCTION__, "Failed to query VSwitches for VPC [%s] zone [%s].",
                   sVpc.strVpcId.c_str(), sZone.strZoneId.c_str());
      bAnyFailed = true;
    }
  }
  if (bAnyFailed) {
    return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Failed to get at least one VSwitch under zone [%s].",
                                 sZone.strZoneId.c_str());
  }
  return CZeError();
}

CZeError CAliCloudComputeQueries::_GetSecurityGroups(SHostInfoLib& sZone) {
  if (sZone.strRegionId.empty()) {
    CZeError eResult = _FindRegionForZone(sZone.strZoneId, sZone.strRegionId);
    if (eResult.IsError()) return eResult.Push(ACW_LOCATION);
  }
  bool bAnyFailed = false;
  for (SVPCInfoLib& sVpc : sZone.vecVPCs) {
    CZeError eResult = pNetwork->GetSecurityGroupListInRegion(sZone.strRegionId, sVpc.vecSecurityGroups, sVpc.strVpcId);
    if (eResult.IsError()) {
      sEvent.Error(__PRETTY_FUNCTION__, "Failed to get security groups for VPC [%s].", sVpc.strVpcId.c_str());
      bAnyFailed = true;
    }
  }
  if (bAnyFailed) {
    return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Failed to get security groups for at least one VPC.");
  }
  return CZeError();
}

CZeError CAliCloudComputeQueries::_FindRegionForZone(const std::string& strZoneId, std::string& strRegionId) {
  std::vector<SDCInfoLib> vecRegions;
  CZeError eResult = GetRegionInfoList(vecRegions, 0, 0);  // the cached list; nothing per region
  if (eResult.IsError()) return eResult.Push(ACW_LOCATION);

  for (const SDCInfoLib& sListed : vecRegions) {
    SDCInfoLib sRegion;
    // A region whose zones cannot be had is skipped: the zone may be elsewhere.
    if (GetRegionInfoForRegion(sListed.strRegionId, VM_PROP_CLUSTER_HOST_LIST, 0, sRegion).IsError()) continue;
    for (const SHostInfoLib& sZone : sRegion.vecZones) {
      if (strcasecmp(sZone.strZoneId.c_str(), strZoneId.c_str()) == 0) {
        strRegionId = sListed.strRegionId;
        return CZeError();
      }
    }
  }
  return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Couldn't find region for zone [%s].", strZoneId.c_str());
}

}  // namespace AliCloudWrapper
