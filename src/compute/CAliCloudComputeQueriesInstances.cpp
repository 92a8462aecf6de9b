// The compute inventory's instances: the instances of a region, one instance
// with its configuration document, the VM cache, and image lookups.
#include <utility>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/CAliCloudComputeQueries.h"
#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/CAliCloudStorage.h"
#include "AliCloudWrapper/SAliCloudRequest.h"

namespace AliCloudWrapper {

namespace Params = AliCloudParameterNames;
namespace Actions = AliCloudActionParameterValues;
namespace Keys = AliCloudParserConstants;

CZeError CAliCloudComputeQueries::GetVMInfoListForRegion(const std::string& strRegionId,
                                                         std::vector<SVMInfoLib>& vecInstances,
                                                         const std::string& strInstanceName) {
  if (strRegionId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Empty region id passed.");
  vecInstances.clear();

  SAliCloudRequest sRequest;  // no endpoint: the connection's own
  sRequest.AddURLParameter(Params::ACTION, Actions::DESCRIBE_INSTANCES);
  sRequest.AddURLParameter(Params::REGION_ID, strRegionId);
  if (!strInstanceName.empty()) sRequest.AddURLParameter(Params::INSTANCE_NAME, strInstanceName);
  CZeError eResult =
      pECSConnection->GetMultiPageList(sRequest, vecInstances, Keys::INSTANCES, Keys::INSTANCE, true, 0);
  if (eResult.IsError()) return eResult.Push(ACW_LOCATION);
  return CZeError();
}

CZeError CAliCloudComputeQueries::GetVMInfoAndConfigFile(const std::string& strInstanceId,
                                                         uint64_t nPropertyMask, int /*nUnused*/,
                                                         SVMInfoLib& sInstance, std::string& strConfigFile) {
  if (strInstanceId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Instance Id passed is empty.");

  SAliCloudRequest sRequest;
  sRequest.AddURLParameter(Params::ACTION, Actions::DESCRIBE_INSTANCE_ATTRIBUTE);
  sRequest.AddURLParameter(Params::INSTANCE_ID, strInstanceId);
  std::string strResponse;
  CZeError eResult = pECSConnection->ExecuteRequest(sRequest, strResponse, true);
  if (eResult.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to get VMInfo for VM [%s].", strInstanceId.c_str());
    return eResult.Push(ACW_LOCATION);
  }
  if (!pParser->ParseObject(strResponse, sInstance)) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to parse GetVMInfoForVM response for VM [%s]. Response string is [%s].",
                 strInstanceId.c_str(), strResponse.c_str());
    return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Failed to parse GetVMInfoForVM response.");
  }
  strConfigFile = strResponse;

  if (sInstance.strImageId.empty()) {
    sEvent.Debug(__PRETTY_FUNCTION__, "Could not find image id for instance [%s].", sInstance.strInstanceId.c_str());
  } else {
    CZeError eImage = GetOSAndArchitectureForVM(sInstance);
    if (eImage.IsError()) {
      // Tolerated, so a backup never fails because a public image was retired;
      // but a restore from this document cannot tell arm64 from x86_64, which
      // operators must see.
      sEvent.Error(__PRETTY_FUNCTION__,
                   "Could not read image [%s] of instance [%s]: its configuration document carries no platform "
                   "and no architecture, which a restore then has to be given. Error: [%s].",
                   sInstance.strImageId.c_str(), strInstanceId.c_str(), eImage.AsString().c_str());
    }
  }

  if (!pParser->AddAdditionalInfoToConfigFile(strConfigFile, sInstance)) {
    sEvent.Error(__PRETTY_FUNCTION__, "WARNING : Failed to add additional info to config file !");
  }

  if ((nPropertyMask & VM_PROP_VM_DISK_LIST) != 0) {
    eResult = pStorage->GetDiskInfoForVM(sInstance.strRegionId, sInstance.strZoneId, strInstanceId,
                                         sInstance.vecDisks);
    if (eResult.IsError()) return eResult.Push(ACW_LOCATION);
  }
  return CZeError();
}

CZeError CAliCloudComputeQueries::RefreshVMInfoCache() {
  vecVMInfoCache.clear();
  std::vector<SDCInfoLib> vecRegions;
  CZeError eResult = _GetRegionInfoList(vecRegions);
  if (eResult.IsError()) return eResult.Push(ACW_LOCATION);

  for (const SDCInfoLib& sListed : vecRegions) {
    SDCInfoLib sRegion;
    eResult = GetRegionInfoForRegion(sListed.strRegionId, VM_PROP_HOST_VM_LIST, 0, sRegion);
    if (eResult.IsError()) return eResult.Push(ACW_LOCATION);
    vecVMInfoCache.insert(vecVMInfoCache.end(), std::make_move_iterator(sRegion.vecVMs.begin()),
                          std::make_move_iterator(sRegion.vecVMs.end()));
  }
  return CZeError();
}

void CAliCloudComputeQueries::GetVMInfoCache(std::vector<SVMInfoLib>& vecInstances) const {
  vecInstances = vecVMInfoCache;
}

CZeError CAliCloudComputeQueries::GetImageInfo(const std::string& strRegionId, const std::string& strImageId,
                                               SImageInfoLib& sImage) {
  if (strRegionId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Empty region id passed.");
  if (strImageId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Empty image id passed.");

  SAliCloudRequest sRequest = pECSConnection->GetRegionSpecificRequest(strRegionId);
  sRequest.AddURLParameter(Params::ACTION, Actions::DESCRIBE_IMAGES);
  sRequest.AddURLParameter(Params::IMAGE_ID, strImageId);
  std::string strResponse;
  CZeError eResult = pECSConnection->ExecuteRequest(sRequest, strResponse, true);
  if (eResult.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to get image info for image [%s].", strImageId.c_str());
    return eResult.Push(ACW_LOCATION);
  }

  std::vector<SImageInfoLib> vecImages;
  if (!pParser->ParseNestedList(strResponse, Keys::IMAGES, Keys::IMAGE, vecImages)) {
    sEvent.Error(__PRETTY_FUNCTION__,
                 "Failed to parse GetImageInfoForImage response for image [%s]. Response string is [%s].",
                 strImageId.c_str(), strResponse.c_str());
    return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Failed to parse GetImageInfoForImage response.");
  }
  if (vecImages.empty()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Could not find any image with id [%s] in region [%s].", strImageId.c_str(),
                 strRegionId.c_str());
    return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Couldn't find image [%s]", strImageId.c_str());
  }
  if (vecImages.size() > 1) {
    sEvent.Error(__PRETTY_FUNCTION__, "Found multiple images for image id [%s].", strImageId.c_str());
    return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Found multiple images for [%s]", strImageId.c_str());
  }
  sImage = std::move(vecImages.front());
  return CZeError();
}

CZeError CAliCloudComputeQueries::GetOSAndArchitectureForVM(SVMInfoLib& sInstance) {
  SImageInfoLib sImage;
  CZeError eResult = GetImageInfo(sInstance.strRegionId, sInstance.strImageId, sImage);
  if (eResult.IsError()) {
    sEvent.Debug(__PRETTY_FUNCTION__, "Failed to obtain the image details for the instance [%s].",
                 sInstance.strInstanceId.c_str());
    return eResult.Push(ACW_LOCATION);
  }
  sInstance.strArchitecture = sImage.strArchitecture;
  sInstance.strOSName = sImage.strOSName;
  return CZeError();
}

}  // namespace AliCloudWrapper
