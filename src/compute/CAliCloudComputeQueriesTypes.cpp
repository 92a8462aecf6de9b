// The compute inventory's instance types: families of a region, types of a
// family or a region, and the types a zone offers (from its available resources).
#include <set>
#include <stdexcept>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/CAliCloudComputeQueries.h"
#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/SAliCloudRequest.h"
#include "host/FXString.h"
#include "host/TkJson.h"

namespace AliCloudWrapper {

namespace Params = AliCloudParameterNames;
namespace Actions = AliCloudActionParameterValues;
namespace Keys = AliCloudParserConstants;

namespace {

const char* const AVAILABLE_RESOURCES_PARSE_FAILURE = "Failed to parse DescribeAvailableResources response.";

}  // namespace

CZeError CAliCloudComputeQueries::GetInstanceTypeFamiliesForRegion(
    const std::string& strRegionId, std::vector<SInstanceTypeFamilyInfoLib>& vecFamilies) {
  if (strRegionId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Empty region Id passed.");

  SAliCloudRequest sRequest = pECSConnection->GetRegionSpecificRequest(strRegionId);
  sRequest.AddURLParameter(Params::ACTION, Actions::DESCRIBE_INSTANCE_TYPE_FAMILIES);
  std::string strResponse;
  CZeError eResult = pECSConnection->ExecuteRequest(sRequest, strResponse, true);
  if (eResult.IsError()) return eResult.Push(ACW_LOCATION);

  if (!pParser->ParseNestedList(strResponse, Keys::INSTANCE_TYPE_FAMILIES, Keys::INSTANCE_TYPE_FAMILY,
                                vecFamilies)) {
    sEvent.Error(__PRETTY_FUNCTION__, "Error in parsing InstanceTypeFamilyListReq response. Response : [%s].",
                 strResponse.c_str());
    return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Error in parsing InstanceTypeFamilyListReq response.");
  }
  return CZeError();
}

CZeError CAliCloudComputeQueries::GetInstanceTypeList(const std::string& strFamilyId,
                                                      std::vector<SInstanceTypeInfoLib>& vecTypes) {
  // The service pages this list by "NextToken" (no page numbers): follow it until
  // it is empty. A token seen before would only bring the same pages again.
  std::set<std::string> setTokensSeen;
  std::string strNextToken;
  for (;;) {
    SAliCloudRequest sRequest;  // no region: the connection's own endpoint
    sRequest.AddURLParameter(Params::ACTION, Actions::DESCRIBE_INSTANCE_TYPES);
    if (!strFamilyId.empty()) sRequest.AddURLParameter(Params::INSTANCE_TYPE_FAMILY, strFamilyId);
    if (!strNextToken.empty()) sRequest.AddURLParameter(Params::NEXT_TOKEN, strNextToken);
    std::string strResponse;
    CZeError eResult = pECSConnection->ExecuteRequest(sRequest, strResponse, true);
    if (eResult.IsError()) return eResult.Push(ACW_LOCATION);

    if (!pParser->ParseNestedList(strResponse, Keys::INSTANCE_TYPES, Keys::INSTANCE_TYPE, vecTypes) ||
        !pParser->ParseIdResponse(strResponse, Keys::NEXT_TOKEN, strNextToken)) {
      sEvent.Error(__PRETTY_FUNCTION__, "Error in parsing InstanceTypeListReq response. Response : [%s].",
                   strResponse.c_str());
      return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Error in parsing InstanceTypeListReq response.");
    }
    if (strNextToken.empty()) return CZeError();
    if (!setTokensSeen.insert(strNextToken).second) {
      sEvent.Error(__PRETTY_FUNCTION__,
                   "The service repeated the page token [%s] of the instance type list; stopping there.",
                   strNextToken.c_str());
      return CZeError();
    }
  }
}

CZeError CAliCloudComputeQueries::GetInstanceTypesForRegion(const std::string& strRegionId,
                                                            std::vector<SInstanceTypeInfoLib>& vecTypes) {
  if (strRegionId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Empty region Id passed.");
  std::vector<SInstanceTypeFamilyInfoLib> vecFamilies;
  CZeError eResult = GetInstanceTypeFamiliesForRegion(strRegionId, vecFamilies);
  if (eResult.IsError()) return eResult.Push(ACW_LOCATION);
  for (const SInstanceTypeFamilyInfoLib& sFamily : vecFamilies) {
    eResult = GetInstanceTypeList(sFamily.strInstanceTypeFamilyId, vecTypes);
    if (eResult.IsError()) return eResult.Push(ACW_LOCATION);
  }
  return CZeError();
}

CZeError CAliCloudComputeQueries::GetAvailableResources(const std::string& strRegionId,
                                                        const std::string& strDestinationResource,
                                                        std::vector<SResourceLib>& vecResources,
                                                        const std::string& strZoneId,
                                                        const std::string& strIoOptimized) {
  if (strRegionId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Region passed is empty");
  if (strDestinationResource.empty()) {
    return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Destination resource parameter passed is empty.");
  }

  SAliCloudRequest sRequest = pECSConnection->GetRegionSpecificRequest(strRegionId);
  sRequest.AddURLParameter(Params::ACTION, Actions::DESCRIBE_AVAILABLE_RESOURCE);
  sRequest.AddURLParameter(Params::DESTINATION_RESOURCE, strDestinationResource);
  if (!strZoneId.empty()) sRequest.AddURLParameter(Params::ZONE_ID, strZoneId);
  if (!strIoOptimized.empty()) sRequest.AddURLParameter(Params::IO_OPTIMISED, strIoOptimized);
  std::string strResponse;
  CZeError eResult = pECSConnection->ExecuteRequest(sRequest, strResponse, true);
  sEvent.DebugLvl(__PRETTY_FUNCTION__, 2, "Response : [%s]", strResponse.c_str());
  if (eResult.IsError()) return eResult.Push(ACW_LOCATION);

  try {
    // A body without zones means nothing matched: success, nothing appended.
    mArray arrZones;
    (void)pParser->GetNestedList(strResponse, Keys::AVAILABLE_ZONES, Keys::AVAILABLE_ZONE, arrZones);
    for (const mValue& zone : arrZones) {
      const mObject& objZone = zone.get_obj();
      sEvent.DebugLvl(__PRETTY_FUNCTION__, 1, "Parsing zone [%s].",
                      TkJson::GetStringValue(objZone, Keys::ZONE_ID).c_str());
      mArray arrResources;
      if (!pParser->GetNestedList(objZone, Keys::AVAILABLE_RESOURCES, Keys::AVAILABLE_RESOURCE, arrResources)) {
        return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "%s", AVAILABLE_RESOURCES_PARSE_FAILURE);
      }
      for (const mValue& resource : arrResources) {
        const mObject& objResource = resource.get_obj();
        sEvent.DebugLvl(__PRETTY_FUNCTION__, 1, "Parsing resource type [%s].",
                        TkJson::GetStringValue(objResource, Keys::RESOURCE_TYPE).c_str());
        if (!pParser->ParseNestedList(objResource, Keys::SUPPORTED_RESOURCES, Keys::SUPPORTED_RESOURCE,
                                      vecResources)) {
          return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "%s", AVAILABLE_RESOURCES_PARSE_FAILURE);
        }
      }
    }
  } catch (const std::runtime_error& e) {
    sEvent.Error(__PRETTY_FUNCTION__, "Exception : [%s].", e.what());
    return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "%s", AVAILABLE_RESOURCES_PARSE_FAILURE);
  }
  return CZeError();
}

void CAliCloudComputeQueries::AddResourcesToInstanceTypeList(const std::vector<SResourceLib>& vecResources,
                                                             std::vector<SInstanceTypeInfoLib>& vecTypes) {
  for (const SResourceLib& sResource : vecResources) {
    if (FXString::CompareNoCase(sResource.strStatus, Keys::RESOURCE_STATUS_AVAILABLE) != 0) continue;
    SInstanceTypeInfoLib sType;
    sType.strInstanceTypeId = sResource.strValue;
    vecTypes.push_back(std::move(sType));
  }
}

CZeError CAliCloudComputeQueries::GetInstanceTypesForZone(const std::string& strRegionId,
                                                          const std::string& strZoneId,
                                                          std::vector<SInstanceTypeInfoLib>& vecTypes) {
  if (strRegionId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Empty region is passed.");
  if (strZoneId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Empty zone id passed.");

  // Two passes: the I/O-optimised types first, then the retired ones without.
  for (const std::string* pIoOptimized : {&Actions::IO_OPTIMISED_OPTIMIZED, &Actions::IO_OPTIMISED_NONE}) {
    std::vector<SResourceLib> vecResources;
    CZeError eResult = GetAvailableResources(strRegionId, Actions::DESTINATION_RESOURCE_INSTANCE_TYPE,
                                             vecResources, strZoneId, *pIoOptimized);
    if (eResult.IsError()) return eResult.Push(ACW_LOCATION);
    AddResourcesToInstanceTypeList(vecResources, vecTypes);
  }
  return CZeError();
}

}  // namespace AliCloudWrapper
