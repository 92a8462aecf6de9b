#include "AliCloudWrapper/CAliCloudECSConnection.h"

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/ComputeRecords.h"
#include "host/SettingsTable.h"
#include "parser/CAliCloudParserImpl.h"

namespace AliCloudWrapper {
namespace {

// A region endpoint becomes the host part of a signed URL. Anything but a plain
// host name ("user@host", a path, a port, a query) would send the signed request
// somewhere else than the service meant, so such a value is refused.
bool IsPlainHostName(const std::string& strHost) {
  if (strHost.empty() || strHost.size() > 253) return false;
  for (const char c : strHost) {
    const bool bAllowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          c == '-' || c == '.';
    if (!bAllowed) return false;
  }
  return true;
}

}  // namespace

CAliCloudECSConnection::CAliCloudECSConnection() {
  _UseRequestTimeOut();
  CheckRegionEndPointRegistrykey();
}

CAliCloudECSConnection::~CAliCloudECSConnection() = default;

CZeError CAliCloudECSConnection::Connect() {
  InitializeRandomNumGenerator();
  SAliCloudRequest sRequest;
  sRequest.AddURLParameter(AliCloudParameterNames::ACTION,
                           AliCloudActionParameterValues::DESCRIBE_REGIONS);
  std::string strResponse;
  CZeError eResult = ExecuteRequest(sRequest, strResponse, true);
  if (eResult.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to connect to AliCloud. Error : [%s].",
                 eResult.AsString().c_str());
    return eResult.Push(ACW_LOCATION);
  }
  sEvent.Debug(__PRETTY_FUNCTION__, "Successfully connected to AliCloud.");
  return eResult;
}

CZeError CAliCloudECSConnection::ExecuteRequest(SAliCloudRequest& sRequest,
                                                std::string& strResponse, bool bRetry) {
  PreRequest(sRequest);
  CZeError eResult = CAliCloudConnectionBase::ExecuteRequest(sRequest, strResponse, bRetry);
  if (eResult.IsError()) eResult.Push(ACW_LOCATION);
  return eResult;
}

std::string CAliCloudECSConnection::GetTagName(ETagType eTagType) {
  return eTagType == TAG_TOTAL_COUNT ? "TotalCount" : "";
}

void CAliCloudECSConnection::AddPublicParameters(SAliCloudRequest& sRequest) {
  sRequest.AddURLParameter(AliCloudParameterNames::VERSION, API_VERSION);
  CAliCloudConnectionBase::AddPublicParameters(sRequest);
}

void CAliCloudECSConnection::PreRequest(SAliCloudRequest& sRequest) {
  if (sRequest.GetEndPoint().empty()) sRequest.SetEndPoint(GetEndPoint());
}

void CAliCloudECSConnection::CheckRegionEndPointRegistrykey() {
  strSettingsEndPoint = ReadTextSetting(SettingKeys::REGION_END_POINT);
  if (!strSettingsEndPoint.empty()) {
    sEvent.Debug(__PRETTY_FUNCTION__, "Obtained end point [%s] from registry.",
                 strSettingsEndPoint.c_str());
  }
}

std::string CAliCloudECSConnection::GetEndPoint() const {
  return strSettingsEndPoint.empty() ? AliCloudEndPoints::CENTRAL : strSettingsEndPoint;
}

std::string CAliCloudECSConnection::GetEndPointForRegionId(const std::string& strRegionId) {
  if (!strSettingsEndPoint.empty()) return strSettingsEndPoint;

  if (!bRegionMapInitialized) {
    std::vector<SDCInfoLib> vecRegions;
    CZeError eResult = _GetRegionInfoList(vecRegions);
    if (eResult.IsError()) {
      sEvent.Error(__PRETTY_FUNCTION__, "Failed to get list of regions.");
      return std::string();
    }
    bRegionMapInitialized = InitializeRegionIdToEndPointMap(vecRegions);
    if (!bRegionMapInitialized) return std::string();
  }

  const auto it = mapRegionIdToEndPoint.find(strRegionId);
  if (it != mapRegionIdToEndPoint.end()) return it->second;
  sEvent.Error(__PRETTY_FUNCTION__,
               "Could not obtain end point for region [%s]. Falling back to default end point.",
               strRegionId.c_str());
  return GetEndPoint();
}

CZeError CAliCloudECSConnection::_GetRegionInfoList(std::vector<SDCInfoLib>& vecRegions) {
  SAliCloudRequest sRequest;
  sRequest.AddURLParameter(AliCloudParameterNames::ACTION,
                           AliCloudActionParameterValues::DESCRIBE_REGIONS);
  std::string strResponse;
  CZeError eResult = ExecuteRequest(sRequest, strResponse, false);
  if (eResult.IsError()) return eResult.Push(ACW_LOCATION);

  if (!sParser.ParseNestedList(strResponse, "Regions", "Region", vecRegions)) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to parse region list response. Response : [%s].",
                 strResponse.c_str());
    return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Failed to parse response");
  }
  return eResult;
}

bool CAliCloudECSConnection::InitializeRegionIdToEndPointMap(
    const std::vector<SDCInfoLib>& vecRegions) {
  if (vecRegions.empty()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Empty region list passed.");
    return false;
  }
  for (const SDCInfoLib& sRegion : vecRegions) {
    if (sRegion.strRegionId.empty()) {
      sEvent.Error(__PRETTY_FUNCTION__, "Empty region id encountered.");
      return false;
    }
    if (sRegion.strRegionEndpoint.empty()) {
      sEvent.Error(__PRETTY_FUNCTION__, "Empty region endpoint encountered.");
      return false;
    }
    if (!IsPlainHostName(sRegion.strRegionEndpoint)) {
      // Left out of the map: the region's requests go to the global host instead.
      sEvent.Error(__PRETTY_FUNCTION__, "Ignoring region [%s]: endpoint [%s] is not a host name.",
                   sRegion.strRegionId.c_str(), sRegion.strRegionEndpoint.c_str());
      continue;
    }
    sEvent.DebugLvl(__PRETTY_FUNCTION__, 2, "Adding [%s:%s] to map.", sRegion.strRegionId.c_str(),
                    sRegion.strRegionEndpoint.c_str());
    mapRegionIdToEndPoint[sRegion.strRegionId] = sRegion.strRegionEndpoint;
  }
  return true;
}

SAliCloudRequest CAliCloudECSConnection::GetRegionSpecificRequest(const std::string& strRegionId) {
  SAliCloudRequest sRequest;
  sRequest.SetEndPoint(GetEndPointForRegionId(strRegionId));
  sRequest.AddURLParameter(AliCloudParameterNames::REGION_ID, strRegionId);
  return sRequest;
}

}  // namespace AliCloudWrapper
