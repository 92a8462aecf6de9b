// The facade's compute operations: instance life cycle, disk attachment and
// custom images. Each forwards to the compute operations object and reports a
// failure through _ReportResult.
#include "AliCloudWrapper/CAliCloudComputeOperations.h"
#include "AliCloudWrapper/CAliCloudWrapper.h"
#include "AliCloudWrapper/ComputeRecords.h"
#include "host/FXString.h"

namespace AliCloudWrapper {

bool CAliCloudWrapper::CreateInstance(const SVMInfoLib& sVMInfo, const std::string& strImageId,
                                      const std::string& strConfigFile, std::string& strInstanceId) {
  // The operation may replace the record's first security group; the caller's
  // record stays as it was.
  SVMInfoLib sRecord = sVMInfo;
  return _ReportResult(pComputeOperations->CreateInstance(sRecord, strImageId, strConfigFile, strInstanceId),
                       __PRETTY_FUNCTION__, "Failed to create instance.");
}

bool CAliCloudWrapper::DeleteInstance(const std::string& strInstanceId) {
  return _ReportResult(pComputeOperations->DeleteInstance(strInstanceId), __PRETTY_FUNCTION__, nullptr);
}

bool CAliCloudWrapper::PowerOnInstance(const std::string& strInstanceId) {
  return _ReportResult(pComputeOperations->PowerOnInstance(strInstanceId), __PRETTY_FUNCTION__,
                       FXString::Format("Failed to power on instance [%s].", strInstanceId.c_str()), ".");
}

bool CAliCloudWrapper::PowerOffInstance(const std::string& strInstanceId, bool bForceStop, bool bConfirmStop,
                                        bool bKeepCharging) {
  return _ReportResult(
      pComputeOperations->PowerOffInstance(strInstanceId, bForceStop, bConfirmStop, bKeepCharging),
      __PRETTY_FUNCTION__, FXString::Format("Failed to power off instance [%s].", strInstanceId.c_str()), ".");
}

bool CAliCloudWrapper::AttachDisk(const std::string& strInstanceId, const std::string& strDiskId,
                                  bool& bDiskLimitReached, bool bDeleteWithInstance) {
  // The message names the disk first, although the instance comes first here.
  return _ReportResult(
      pComputeOperations->AttachDisk(strInstanceId, strDiskId, bDiskLimitReached, bDeleteWithInstance),
      __PRETTY_FUNCTION__,
      FXString::Format("Failed to attach disk [%s] to instance [%s].", strDiskId.c_str(), strInstanceId.c_str()),
      "");
}

bool CAliCloudWrapper::CreateImageFromDiskSnapshots(const std::string& strRegionId,
                                                    const std::string& strSystemDiskSnapshotId,
                                                    const std::vector<std::string>& vecDataDiskSnapshotIds,
                                                    const std::string& strArchitecture,
                                                    const std::string& strPlatform, std::string& strImageId,
                                                    const std::string& strImageName,
                                                    const std::string& strDescription) {
  return _ReportResult(pComputeOperations->CreateImageFromDiskSnapshots(
                           strRegionId, strSystemDiskSnapshotId, vecDataDiskSnapshotIds, strArchitecture,
                           strPlatform, strImageId, strImageName, strDescription),
                       __PRETTY_FUNCTION__, "Failed to create image.");
}

bool CAliCloudWrapper::DeleteImage(const std::string& strRegionId, const std::string& strImageId, bool bForce) {
  return _ReportResult(pComputeOperations->DeleteImage(strRegionId, strImageId, bForce), __PRETTY_FUNCTION__,
                       "Failed to delete image.");
}

}  // namespace AliCloudWrapper
