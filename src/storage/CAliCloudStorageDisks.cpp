// The disk operations: create (from a snapshot), list an instance's disks,
// detach, delete, and read one disk.
#include <vector>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/CAliCloudStorage.h"
#include "AliCloudWrapper/SAliCloudRequest.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"
#include "host/FXString.h"
#include "host/SettingsTable.h"
#include "storage/StorageInternal.h"
#include "transport/CreatedId.h"
#include "transport/DescribeOneById.h"
#include "transport/RetryExecutor.h"

namespace AliCloudWrapper {

namespace Params = AliCloudParameterNames;
namespace Actions = AliCloudActionParameterValues;

namespace {

const char* const SNAPSHOT_NOT_READY = "InvalidSnapshot.NotReady";
const char* const DISK_INITIALIZING = "IncorrectDiskStatus.Initializing";
const char* const DISK_STATUS_DETACHING = "Detaching";

unsigned long long AsULL(uint64_t n) { return static_cast<unsigned long long>(n); }

}  // namespace

long long CAliCloudStorage::GetSizeInGB(const long long& nSizeInBytes) const {
  // Bytes -> KiB -> MiB -> GiB, each step rounding up, so any remainder costs one
  // more GiB and the disk is never smaller than asked. Integer arithmetic keeps
  // this exact for every size (C++ division truncates toward zero, which is the
  // ceiling for negative values).
  long long nValue = nSizeInBytes;
  for (int nStep = 0; nStep < 3; ++nStep) {
    const long long nRemainder = nValue % 1024;
    nValue /= 1024;
    if (nRemainder > 0) ++nValue;
  }
  return nValue;
}

CZeError CAliCloudStorage::CreateDisk(const std::string& strRegionId, const std::string& strZoneId,
                                      SDiskInfoLib& sInfo, const std::string& strSnapshotId,
                                      const std::string& strDiskName,
                                      const std::string& strDiskCategory, long long nSizeInBytes,
                                      bool bEncrypted, const std::string& strDescription) {
  if (strRegionId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Region Id passed is empty.");
  if (strZoneId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Zone Id passed is empty.");

  // One token for the whole call: if an attempt was carried out although we saw
  // an error, the service recognises the resend and never makes a second disk.
  const std::string strClientToken = FXString::Format("%d", pECSConnection->GetIdempotenceToken());

  sEvent.DebugLvl(__PRETTY_FUNCTION__, 5,
                  " regionId [%s], zoneId [%s], snapshotId [%s], diskName [%s],  diskCategory [%s], "
                  "size [%lld], isEncrypted [%d], description [%s] ",
                  strRegionId.c_str(), strZoneId.c_str(), strSnapshotId.c_str(), strDiskName.c_str(),
                  strDiskCategory.c_str(), nSizeInBytes, bEncrypted ? 1 : 0, strDescription.c_str());

  SRetryPolicy sPolicy;
  sPolicy.vecResendCodes = {SNAPSHOT_NOT_READY};
  sPolicy.nResendPauseMs = SNAPSHOT_NOT_READY_RETRY_MS;
  sPolicy.nWaitBoundInSec = ReadNumberSetting(SettingKeys::SNAPSHOT_NOT_READY_MAX_WAIT_IN_SEC);
  sPolicy.strBoundSetting = SettingKeys::SNAPSHOT_NOT_READY_MAX_WAIT_IN_SEC;
  sPolicy.fnBeforePause = [&](const CZeError&, uint64_t) {
    sEvent.DebugLvl(__PRETTY_FUNCTION__, 4, "Snapshot [%s] not complete. Retrying after 10 seconds.",
                    strSnapshotId.c_str());
  };
  CRetryExecutor sExecutor(std::move(sPolicy));
  std::string strResponse;
  CZeError err = sExecutor.Run([&] {
    SAliCloudRequest sRequest = pECSConnection->GetRegionSpecificRequest(strRegionId);
    sRequest.AddURLParameter(Params::ACTION, Actions::CREATE_DISK);
    sRequest.AddURLParameter(Params::ZONE_ID, strZoneId);
    sRequest.AddURLParameter(Params::CLIENT_TOKEN, strClientToken);
    if (!strSnapshotId.empty()) sRequest.AddURLParameter(Params::SNAPSHOT_ID, strSnapshotId);
    if (nSizeInBytes != 0) {
      const std::string strSize = FXString::Format("%lld", GetSizeInGB(nSizeInBytes));
      sEvent.DebugLvl(__PRETTY_FUNCTION__, 5, "Size is [%s]", strSize.c_str());
      sRequest.AddURLParameter(Params::SIZE, strSize);
    }
    sRequest.AddURLParameter(Params::DISK_CATEGORY, strDiskCategory.empty()
                                                        ? StorageInternal::DEFAULT_DISK_CATEGORY
                                                        : strDiskCategory);
    if (bEncrypted) sRequest.AddURLParameter(Params::ENCRYPTED, "true");
    if (!strDiskName.empty()) sRequest.AddURLParameter(Params::DISK_NAME, strDiskName);
    if (!strDescription.empty()) sRequest.AddURLParameter(Params::DESCRIPTION, strDescription);
    return pECSConnection->ExecuteRequest(sRequest, strResponse, false);
  });
  if (err.IsError()) {
    if (!err.IsServiceError()) {
      sEvent.Error(__PRETTY_FUNCTION__, "Failed to parse error response [%s].", strResponse.c_str());
      return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Failed to parse error response.")
          .SetKind(err.GetKind());
    }
    if (sExecutor.GetReport().bBoundReached) {
      sEvent.Error(__PRETTY_FUNCTION__,
                   "Snapshot [%s] is still not ready after waiting [%llu] seconds, the bound set by "
                   "[%s]. Giving up creating the disk.",
                   strSnapshotId.c_str(), AsULL(sExecutor.GetReport().nWaitedMs / 1000),
                   SettingKeys::SNAPSHOT_NOT_READY_MAX_WAIT_IN_SEC);
    } else {
      sEvent.Error(__PRETTY_FUNCTION__, "Failed to create disk... Error [%s].", err.AsString().c_str());
    }
    return err.Push(ACW_LOCATION);
  }

  err = ReadCreatedRecord(*pParser, strResponse, &SDiskInfoLib::strDiskId, sInfo,
                          "Failed to parse disk creation response.");
  if (err.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Error in parsing response [%s].", strResponse.c_str());
    return err.Push(ACW_LOCATION);
  }
  sInfo.strDescription = strDescription;
  sInfo.strDiskName = strDiskName;
  return CZeError();
}

CZeError CAliCloudStorage::GetDiskInfoForVM(const std::string& strRegionId, const std::string& strZoneId,
                                            const std::string& strInstanceId,
                                            std::vector<SDiskInfoLib>& vecDisks) {
  if (strRegionId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Region id passed is empty.");
  if (strInstanceId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Instance Id passed is empty.");

  SAliCloudRequest sRequest = pECSConnection->GetRegionSpecificRequest(strRegionId);
  sRequest.AddURLParameter(Params::ACTION, Actions::DESCRIBE_DISKS);
  sRequest.AddURLParameter(Params::INSTANCE_ID, strInstanceId);
  if (!strZoneId.empty()) sRequest.AddURLParameter(Params::ZONE_ID, strZoneId);

  CZeError err = pECSConnection->GetMultiPageList(sRequest, vecDisks, StorageInternal::DISKS_LIST_KEY,
                                                  StorageInternal::DISK_ITEM_KEY, false, 0);
  if (err.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to get DiskInfo for VM [%s].", strInstanceId.c_str());
    return err.Push(ACW_LOCATION);
  }
  return CZeError();
}

CZeError CAliCloudStorage::DetachDisk(const std::string& strInstanceId, const std::string& strDiskId,
                                      const std::string& strRegionId) {
  if (strInstanceId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Instance Id passed is empty.");
  if (strDiskId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Disk Id passed is empty.");

  SAliCloudRequest sRequest;
  sRequest.AddURLParameter(Params::INSTANCE_ID, strInstanceId);
  sRequest.AddURLParameter(Params::DISK_ID, strDiskId);
  sRequest.AddURLParameter(Params::ACTION, Actions::DETACH_DISK);

  std::string strResponse;
  CZeError err = pECSConnection->ExecuteRequest(sRequest, strResponse, false);
  if (err.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to detach disk [%s] for VM [%s].", strDiskId.c_str(),
                 strInstanceId.c_str());
    return err.Push(ACW_LOCATION);
  }

  // Detaching is asynchronous: poll the disk until it has left "Detaching".
  SWaitBudget sBudget;
  sBudget.nBoundInSec = ReadNumberSetting(SettingKeys::DETACH_DISK_MAX_WAIT_IN_SEC);
  sBudget.nPauseMs = DETACH_DISK_POLL_MS;
  sBudget.strBoundSetting = SettingKeys::DETACH_DISK_MAX_WAIT_IN_SEC;
  sBudget.fnBeforePause = [&](const CZeError&, uint64_t) {
    sEvent.DebugLvl(__PRETTY_FUNCTION__, 2, "Waiting for disk [%s] to detach.", strDiskId.c_str());
  };
  SRetryReport sReport;
  err = WaitUntil(
      sBudget,
      [&](bool& bDone) {
        SDiskInfoLib sDisk;
        CZeError errInfo = GetDiskInfo(strRegionId, strDiskId, sDisk);
        bDone = !errInfo.IsError() && FXString::CompareNoCase(sDisk.strStatus, DISK_STATUS_DETACHING) != 0;
        return errInfo;
      },
      &sReport);
  if (!err.IsError()) return err;
  if (!sReport.bBoundReached) {
    sEvent.Error(__PRETTY_FUNCTION__, "GetDiskInfo failed for disk [%s].", strDiskId.c_str());
    return err.Push(ACW_LOCATION);
  }
  sEvent.Error(__PRETTY_FUNCTION__,
               "Disk [%s] is still detaching from VM [%s] after waiting [%llu] seconds, the bound "
               "set by [%s].",
               strDiskId.c_str(), strInstanceId.c_str(), AsULL(sReport.nWaitedMs / 1000),
               SettingKeys::DETACH_DISK_MAX_WAIT_IN_SEC);
  return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Disk [%s] did not finish detaching within [%llu] seconds.",
                               strDiskId.c_str(), AsULL(sBudget.nBoundInSec))
      .SetKind(EErrorKind::BOUND_REACHED);
}

CZeError CAliCloudStorage::DeleteDisk(const std::string& strDiskId) {
  if (strDiskId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Disk Id passed is empty.");

  SRetryPolicy sPolicy;
  sPolicy.vecResendCodes = {DISK_INITIALIZING};
  sPolicy.nResendPauseMs = DISK_INITIALIZING_RETRY_MS;
  sPolicy.nWaitBoundInSec = ReadNumberSetting(SettingKeys::DISK_INITIALIZING_MAX_WAIT_IN_SEC);
  sPolicy.strBoundSetting = SettingKeys::DISK_INITIALIZING_MAX_WAIT_IN_SEC;
  sPolicy.fnBeforePause = [&](const CZeError&, uint64_t) {
    sEvent.Debug(__PRETTY_FUNCTION__, "Obtained Initializing state for disk [%s]. Retrying after 10 seconds.",
                 strDiskId.c_str());
  };
  CRetryExecutor sExecutor(std::move(sPolicy));
  std::string strResponse;
  CZeError err = sExecutor.Run([&] {
    SAliCloudRequest sRequest;
    sRequest.AddURLParameter(Params::DISK_ID, strDiskId);
    sRequest.AddURLParameter(Params::ACTION, Actions::DELETE_DISK);
    return pECSConnection->ExecuteRequest(sRequest, strResponse, false);
  });
  if (!err.IsError()) return err;
  if (!err.IsServiceError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to parse error response. Response : [%s]", strResponse.c_str());
  } else if (sExecutor.GetReport().bBoundReached) {
    sEvent.Error(__PRETTY_FUNCTION__,
                 "Disk [%s] is still initializing after waiting [%llu] seconds, the bound set by "
                 "[%s]. Giving up deleting it.",
                 strDiskId.c_str(), AsULL(sExecutor.GetReport().nWaitedMs / 1000),
                 SettingKeys::DISK_INITIALIZING_MAX_WAIT_IN_SEC);
  } else {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to delete disk [%s].", strDiskId.c_str());
  }
  return err.Push(ACW_LOCATION);
}

CZeError CAliCloudStorage::GetDiskInfo(const std::string& strRegionId, const std::string& strDiskId,
                                       SDiskInfoLib& sInfo) {
  if (strRegionId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Passed region is empty.");
  if (strDiskId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Passed disk is is empty.");

  SAliCloudRequest sRequest = pECSConnection->GetRegionSpecificRequest(strRegionId);
  sRequest.AddURLParameter(Params::ACTION, Actions::DESCRIBE_DISKS);
  sRequest.AddURLParameter(Params::DISK_IDS, StorageInternal::OneIdJsonArray(strDiskId));

  std::string strResponse;
  CZeError err = pECSConnection->ExecuteRequest(sRequest, strResponse, false);
  if (err.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to get disk info for disk [%s].", strDiskId.c_str());
    return err.Push(ACW_LOCATION);
  }

  switch (PickOneById(*pParser, strResponse, StorageInternal::DISKS_LIST_KEY, StorageInternal::DISK_ITEM_KEY,
                      strDiskId, &SDiskInfoLib::strDiskId, sInfo)) {
    case EOneById::FOUND:
      return CZeError();
    case EOneById::UNREADABLE:
      sEvent.Error(__PRETTY_FUNCTION__, "Failed to parse disk info for disk [%s]. Response is [%s]",
                   strDiskId.c_str(), strResponse.c_str());
      return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Failed to parse GetDiskInfo response.")
          .SetKind(EErrorKind::UNREADABLE_ANSWER);
    case EOneById::NONE:
      sEvent.DebugLvl(__PRETTY_FUNCTION__, 3, "Couldn't find disk [%s] under region [%s].",
                      strDiskId.c_str(), strRegionId.c_str());
      return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_NOT_FOUND, "Unable to find disk [%s].",
                                   strDiskId.c_str());
    case EOneById::MANY:
      break;
  }
  sEvent.Error(__PRETTY_FUNCTION__, "Obtained more than one disk for id [%s], region [%s].",
               strDiskId.c_str(), strRegionId.c_str());
  return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Obtained more than 1 disk for Id [%s].", strDiskId.c_str());
}

CZeError CAliCloudStorage::DoesDiskExist(const std::string& strRegionId, const std::string& strDiskId,
                                         bool& bExists) {
  if (strRegionId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Passed region is empty.");
  if (strDiskId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Passed disk is is empty.");

  SDiskInfoLib sScratch;
  CZeError err = GetDiskInfo(strRegionId, strDiskId, sScratch);
  if (err.IsError()) {
    if (err.IsNotFound()) {
      bExists = false;
      return CZeError();
    }
    return err.Push(ACW_LOCATION);
  }
  bExists = true;
  return CZeError();
}

}  // namespace AliCloudWrapper
