// The facade's compute inventory operations. Each forwards to the compute
// queries and reports a failure through _ReportResult, whose log line names the
// operation's own arguments.
#include "AliCloudWrapper/CAliCloudComputeQueries.h"
#include "AliCloudWrapper/CAliCloudWrapper.h"
#include "AliCloudWrapper/ComputeRecords.h"
#include "host/FXString.h"

namespace AliCloudWrapper {

bool CAliCloudWrapper::GetRegionInfoList(std::vector<SDCInfoLib>& vecRegions, uint64_t nPropertyMask,
                                         uint64_t nPropertyMask2) {
  return _ReportResult(pComputeQueries->GetRegionInfoList(vecRegions, nPropertyMask, nPropertyMask2),
                       __PRETTY_FUNCTION__, "Failed to get region information.");
}

bool CAliCloudWrapper::GetZoneInfoList(std::vector<SHostInfoLib>& vecZones, uint64_t nPropertyMask,
                                       uint64_t nPropertyMask2) {
  return _ReportResult(pComputeQueries->GetZoneInfoList(vecZones, nPropertyMask, nPropertyMask2),
                       __PRETTY_FUNCTION__, "Failed to get host information.");
}

bool CAliCloudWrapper::GetRegionInfoForRegion(const std::string& strRegionId, uint64_t nPropertyMask,
                                              uint64_t nPropertyMask2, SDCInfoLib& sRegion) {
  return _ReportResult(
      pComputeQueries->GetRegionInfoForRegion(strRegionId, nPropertyMask, nPropertyMask2, sRegion),
      __PRETTY_FUNCTION__, "Failed to get Datacenter information.");
}

bool CAliCloudWrapper::GetZoneInfoForZone(const std::string& strZoneId, uint64_t nPropertyMask,
                                          uint64_t nPropertyMask2, SHostInfoLib& sZone,
                                          const std::string& strRegionId) {
  return _ReportResult(
      pComputeQueries->GetZoneInfoForZone(strZoneId, nPropertyMask, nPropertyMask2, sZone, strRegionId),
      __PRETTY_FUNCTION__, "Failed to get Datacenter information.");
}

bool CAliCloudWrapper::GetVMInfoListForRegion(const std::string& strRegionId,
                                              std::vector<SVMInfoLib>& vecInstances,
                                              const std::string& strInstanceName) {
  return _ReportResult(pComputeQueries->GetVMInfoListForRegion(strRegionId, vecInstances, strInstanceName),
                       __PRETTY_FUNCTION__,
                       FXString::Format("Failed to get vm list in region [%s].", strRegionId.c_str()), ".");
}

bool CAliCloudWrapper::GetInstanceTypeFamiliesForRegion(const std::string& strRegionId,
                                                        std::vector<SInstanceTypeFamilyInfoLib>& vecFamilies) {
  return _ReportResult(pComputeQueries->GetInstanceTypeFamiliesForRegion(strRegionId, vecFamilies),
                       __PRETTY_FUNCTION__, "Failed to get InstanceTypeFamily information.");
}

bool CAliCloudWrapper::GetInstanceTypesForRegion(const std::string& strRegionId,
                                                 std::vector<SInstanceTypeInfoLib>& vecTypes) {
  return _ReportResult(pComputeQueries->GetInstanceTypesForRegion(strRegionId, vecTypes), __PRETTY_FUNCTION__,
                       "Failed to get InstanceType information.");
}

bool CAliCloudWrapper::GetInstanceTypesForZone(const std::string& strRegionId, const std::string& strZoneId,
                                               std::vector<SInstanceTypeInfoLib>& vecTypes) {
  return _ReportResult(pComputeQueries->GetInstanceTypesForZone(strRegionId, strZoneId, vecTypes),
                       __PRETTY_FUNCTION__, "Failed to get InstanceType information.");
}

bool CAliCloudWrapper::GetInstanceTypes(const std::string& strFamilyId, std::vector<SInstanceTypeInfoLib>& vecTypes) {
  return _ReportResult(pComputeQueries->GetInstanceTypeList(strFamilyId, vecTypes), __PRETTY_FUNCTION__,
                       "Failed to get InstanceType information.");
}

bool CAliCloudWrapper::GetVMInfoAndConfigFile(const std::string& strInstanceId, uint64_t nPropertyMask,
                                              int nUnused, SVMInfoLib& sInstance, std::string& strConfigFile) {
  return _ReportResult(
      pComputeQueries->GetVMInfoAndConfigFile(strInstanceId, nPropertyMask, nUnused, sInstance, strConfigFile),
      __PRETTY_FUNCTION__,
      FXString::Format("GetVMInfoAndConfigFile failed for VM [%s].", strInstanceId.c_str()), "");
}

bool CAliCloudWrapper::GetVMInfoForVM(const std::string& strInstanceId, SVMInfoLib& sInstance,
                                      uint64_t nPropertyMask, int nUnused) {
  std::string strScratchDocument;
  return _ReportResult(
      pComputeQueries->GetVMInfoAndConfigFile(strInstanceId, nPropertyMask, nUnused, sInstance, strScratchDocument),
      __PRETTY_FUNCTION__, FXString::Format("GetVMInfoForVM failed for VM [%s].", strInstanceId.c_str()), "");
}

bool CAliCloudWrapper::GetVMInfoList(std::vector<SVMInfoLib>& vecInstances) {
  pComputeQueries->GetVMInfoCache(vecInstances);
  return true;
}

bool CAliCloudWrapper::RefreshVMInfoCache() {
  return _ReportResult(pComputeQueries->RefreshVMInfoCache(), __PRETTY_FUNCTION__,
                       "Failed to refresh vmInfo cache.");
}

bool CAliCloudWrapper::GetImageInfoForImage(const std::string& strRegionId, const std::string& strImageId,
                                            SImageInfoLib& sImage) {
  return _ReportResult(pComputeQueries->GetImageInfo(strRegionId, strImageId, sImage), __PRETTY_FUNCTION__,
                       FXString::Format("Failed to get image info for image [%s].", strImageId.c_str()), ".");
}

bool CAliCloudWrapper::GetStatusOfInstance(const std::string& strInstanceId, std::string& strStatus) {
  SVMInfoLib sScratch;
  if (!GetVMInfoForVM(strInstanceId, sScratch, 0, 0)) return false;
  strStatus = sScratch.strStatus;
  return true;
}

}  // namespace AliCloudWrapper
