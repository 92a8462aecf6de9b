// The facade's block storage and networking operations. Each forwards to the
// storage or network object and reports a failure through _ReportResult, whose
// log line names the operation's own arguments.
#include "AliCloudWrapper/CAliCloudComputeQueries.h"
#include "AliCloudWrapper/CAliCloudNetwork.h"
#include "AliCloudWrapper/CAliCloudStorage.h"
#include "AliCloudWrapper/CAliCloudWrapper.h"
#include "AliCloudWrapper/ComputeRecords.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"
#include "host/FXString.h"

namespace AliCloudWrapper {

// ---- snapshots ----

bool CAliCloudWrapper::CreateSnapshot(const std::string& strDiskId, SSnapshotInfoLib& sInfo,
                                      const std::string& strSnapshotName,
                                      const std::string& strDescription) {
  return _ReportResult(pStorage->CreateSnapshot(strDiskId, sInfo, strSnapshotName, strDescription),
                       __PRETTY_FUNCTION__, "Failed to create snapshot.");
}

bool CAliCloudWrapper::DeleteSnapshot(const std::string& strSnapshotId) {
  return _ReportResult(pStorage->DeleteSnapshot(strSnapshotId), __PRETTY_FUNCTION__,
                       FXString::Format("DeleteSnapshot failed for snapshot [%s].", strSnapshotId.c_str()),
                       "");
}

bool CAliCloudWrapper::GetSnapshotInfo(const std::string& strRegionId, const std::string& strSnapshotId,
                                       SSnapshotInfoLib& sInfo) {
  return _ReportResult(
      pStorage->GetSnapshotInfo(strRegionId, strSnapshotId, sInfo), __PRETTY_FUNCTION__,
      FXString::Format("Failed to get snapshot information for snapshot [%s].", strSnapshotId.c_str()),
      ".");
}

bool CAliCloudWrapper::DoesSnapshotExist(const std::string& strRegionId,
                                         const std::string& strSnapshotId, bool& bExists) {
  return _ReportResult(
      pStorage->DoesSnapshotExist(strRegionId, strSnapshotId, bExists), __PRETTY_FUNCTION__,
      FXString::Format("Failed to get snapshot information for Snapshot [%s].", strSnapshotId.c_str()),
      ".");
}

bool CAliCloudWrapper::IsSnapshotCompleted(const std::string& strRegionId,
                                           const std::string& strSnapshotId, bool& bCompleted) {
  return _ReportResult(
      pStorage->IsSnapshotCompleted(strRegionId, strSnapshotId, bCompleted), __PRETTY_FUNCTION__,
      FXString::Format("Failed to get snapshot information for snapshot [%s].", strSnapshotId.c_str()),
      ".");
}

// ---- disks ----

bool CAliCloudWrapper::CreateDisk(const std::string& strRegionId, const std::string& strZoneId,
                                  SDiskInfoLib& sInfo, const std::string& strSnapshotId,
                                  const std::string& strDiskName, const std::string& strDiskCategory,
                                  long long nSizeInBytes, bool bEncrypted,
                                  const std::string& strDescription) {
  return _ReportResult(pStorage->CreateDisk(strRegionId, strZoneId, sInfo, strSnapshotId, strDiskName,
                                            strDiskCategory, nSizeInBytes, bEncrypted, strDescription),
                       __PRETTY_FUNCTION__, "Failed to create disk.");
}

bool CAliCloudWrapper::DetachDisk(const std::string& strInstanceId, const std::string& strDiskId,
                                  const std::string& strRegionId) {
  const std::string strLead = FXString::Format("DetachDisk failed for VM [%s], disk [%s].",
                                               strInstanceId.c_str(), strDiskId.c_str());
  // The wait for the end of "Detaching" asks the disk's region. Without one, the
  // instance is looked up for its region; with one, no lookup is made.
  std::string strRegionToUse = strRegionId;
  if (strRegionToUse.empty()) {
    SVMInfoLib sInstance;
    std::string strScratchDocument;
    if (!_ReportResult(pComputeQueries->GetVMInfoAndConfigFile(strInstanceId, 0, 0, sInstance, strScratchDocument),
                       __PRETTY_FUNCTION__, strLead, "")) {
      return false;
    }
    strRegionToUse = sInstance.strRegionId;
  }
  return _ReportResult(pStorage->DetachDisk(strInstanceId, strDiskId, strRegionToUse),
                       __PRETTY_FUNCTION__, strLead, "");
}

bool CAliCloudWrapper::DeleteDisk(const std::string& strDiskId) {
  return _ReportResult(pStorage->DeleteDisk(strDiskId), __PRETTY_FUNCTION__,
                       FXString::Format("DeleteDisk failed for disk [%s].", strDiskId.c_str()), "");
}

bool CAliCloudWrapper::GetDiskInfo(const std::string& strRegionId, const std::string& strDiskId,
                                   SDiskInfoLib& sInfo) {
  return _ReportResult(
      pStorage->GetDiskInfo(strRegionId, strDiskId, sInfo), __PRETTY_FUNCTION__,
      FXString::Format("Failed to get Disk information for disk [%s].", strDiskId.c_str()), ".");
}

bool CAliCloudWrapper::DoesDiskExist(const std::string& strRegionId, const std::string& strDiskId,
                                     bool& bExists) {
  return _ReportResult(
      pStorage->DoesDiskExist(strRegionId, strDiskId, bExists), __PRETTY_FUNCTION__,
      FXString::Format("Failed to get Disk information for disk [%s].", strDiskId.c_str()), ".");
}

// ---- networking ----

bool CAliCloudWrapper::GetSecurityGroupList(const std::string& strRegionId,
                                            std::vector<SSecurityGroupInfoLib>& vecGroups) {
  // No VPC filter: the groups of every VPC of the region.
  return _ReportResult(
      pNetwork->GetSecurityGroupListInRegion(strRegionId, vecGroups, std::string()),
      __PRETTY_FUNCTION__,
      FXString::Format("Failed to get security groups in region [%s].", strRegionId.c_str()), ".");
}

bool CAliCloudWrapper::GetVPCListInRegion(const std::string& strRegionId,
                                          std::vector<SVPCInfoLib>& vecVpcs) {
  return _ReportResult(pNetwork->GetVPCListInRegion(strRegionId, vecVpcs), __PRETTY_FUNCTION__,
                       FXString::Format("Failed to get VPCs in region [%s].", strRegionId.c_str()), ".");
}

bool CAliCloudWrapper::CreateSecurityGroup(const std::string& strRegionId, const std::string& strVpcId,
                                           std::string& strSecurityGroupId,
                                           const std::string& strGroupName,
                                           const std::string& strDescription) {
  return _ReportResult(
      pNetwork->CreateSecurityGroup(strRegionId, strVpcId, strSecurityGroupId, strGroupName,
                                    strDescription),
      __PRETTY_FUNCTION__,
      FXString::Format("Failed to create security group in region [%s].", strRegionId.c_str()), ".");
}

bool CAliCloudWrapper::GetElasticIPAddress(const std::string& strRegionId,
                                           const std::string& strAllocationId,
                                           SElasticIPAddress& sAddress) {
  return _ReportResult(pNetwork->GetElasticIPAddress(strRegionId, strAllocationId, sAddress),
                       __PRETTY_FUNCTION__,
                       FXString::Format("Failed to get the details of EIP [%s] in region [%s].",
                                        strAllocationId.c_str(), strRegionId.c_str()),
                       ".");
}

bool CAliCloudWrapper::BindEIPToInstance(const std::string& strAllocationId,
                                         const std::string& strInstanceId) {
  return _ReportResult(pNetwork->BindEIPToInstance(strAllocationId, strInstanceId),
                       __PRETTY_FUNCTION__,
                       FXString::Format("Failed to bind EIP [%s] to instance [%s].",
                                        strAllocationId.c_str(), strInstanceId.c_str()),
                       ".");
}

bool CAliCloudWrapper::CreateEIPAddress(const std::string& strRegionId, std::string& strAllocationId,
                                        const std::string& strBandwidth,
                                        const std::string& strInternetChargeType) {
  return _ReportResult(
      pNetwork->CreateEIPAddress(strRegionId, strAllocationId, strBandwidth, strInternetChargeType),
      __PRETTY_FUNCTION__,
      FXString::Format("Failed to create EIP in region [%s].", strRegionId.c_str()), ".");
}

bool CAliCloudWrapper::AssociatePublicIP(const std::string& strInstanceId, std::string& strIpAddress) {
  return _ReportResult(
      pNetwork->AssociatePublicIP(strInstanceId, strIpAddress), __PRETTY_FUNCTION__,
      FXString::Format("Failed to associate public IP for instance [%s].", strInstanceId.c_str()), ".");
}

}  // namespace AliCloudWrapper
