// Attaching disks to instances, and creating and deleting custom images.
#include <string>
#include <vector>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/CAliCloudComputeOperations.h"
#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/SAliCloudRequest.h"
#include "host/FXString.h"

#include "transport/CreatedId.h"

namespace AliCloudWrapper {

namespace Params = AliCloudParameterNames;
namespace Actions = AliCloudActionParameterValues;

namespace {

const char* const DISK_LIMIT_EXCEEDED = "InstanceDiskLimitExceeded";
const char* const SYSTEM_DISK_TYPE = "system";

}  // namespace

CZeError CAliCloudComputeOperations::AttachDisk(const std::string& strInstanceId, const std::string& strDiskId,
                                                bool& bDiskLimitReached, bool bDeleteWithInstance) {
  if (strInstanceId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty instance Id passed.");
  if (strDiskId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty disk Id passed.");
  bDiskLimitReached = false;

  const char* pszContext = __PRETTY_FUNCTION__;
  std::string strResponse;
  CZeError err = _SendWhileConflict(
      [&](std::string& strAttemptResponse) {
        SAliCloudRequest sRequest;
        sRequest.AddURLParameter(Params::ACTION, Actions::ATTACH_DISK);
        sRequest.AddURLParameter(Params::INSTANCE_ID, strInstanceId);
        sRequest.AddURLParameter(Params::DISK_ID, strDiskId);
        sRequest.AddURLParameter(Params::DELETE_WITH_INSTANCE, bDeleteWithInstance ? "true" : "false");
        CZeError errAttempt = pECSConnection->ExecuteRequest(sRequest, strAttemptResponse, false);
        strResponse = strAttemptResponse;
        return errAttempt;
      },
      ATTACH_DISK_MAX_ATTEMPTS, ATTACH_DISK_CONFLICT_RETRY_MS,
      [&](const CZeError& errLast, const std::string& strLastResponse) {
        sEvent.DebugLvl(pszContext, 3,
                        "Attach disk failed for diskId [%s], Retrying in 20 sec. Error [%s], response [%s]",
                        strDiskId.c_str(), errLast.AsString().c_str(), strLastResponse.c_str());
      });
  if (!err.IsError()) return CZeError();

  sEvent.Error(__PRETTY_FUNCTION__, "Failed to attach disk [%s] to instance [%s]. Error [%s].", strDiskId.c_str(),
               strInstanceId.c_str(), err.AsString().c_str());
  if (!err.IsServiceError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to parse error response [%s].", strResponse.c_str());
  } else if (err.HasServiceCode(DISK_LIMIT_EXCEEDED)) {
    sEvent.Error(__PRETTY_FUNCTION__, "The specified instance has reached the maximum disk limit.");
    bDiskLimitReached = true;
  }
  return err.Push(ACW_LOCATION);
}

CZeError CAliCloudComputeOperations::CreateImageFromDiskSnapshots(
    const std::string& strRegionId, const std::string& strSystemDiskSnapshotId,
    const std::vector<std::string>& vecDataDiskSnapshotIds, const std::string& strArchitecture,
    const std::string& strPlatform, std::string& strImageId, const std::string& strImageName,
    const std::string& strDescription) {
  if (strRegionId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty region Id passed.");
  if (strSystemDiskSnapshotId.empty()) {
    return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty OS Disk snapshot Id passed.");
  }

  // An image pins its snapshots (the service refuses to delete them while it
  // exists), so an image made but lost to us would break retention: the token
  // lets the connection resend an unanswered request without making a second one.
  SAliCloudRequest sRequest = pECSConnection->GetRegionSpecificRequest(strRegionId);
  sRequest.AddURLParameter(Params::ACTION, Actions::CREATE_IMAGE);
  sRequest.AddURLParameter(Params::CLIENT_TOKEN, FXString::Format("%d", pECSConnection->GetIdempotenceToken()));
  sRequest.AddURLParameter(Params::SNAPSHOT_ID, strSystemDiskSnapshotId);
  if (!strImageName.empty()) sRequest.AddURLParameter(Params::IMAGE_NAME, strImageName);
  if (!strDescription.empty()) sRequest.AddURLParameter(Params::DESCRIPTION, strDescription);
  sRequest.AddURLParameter(Params::ARCHITECTURE, strArchitecture);
  sRequest.AddURLParameter(Params::PLATFORM, strPlatform);
  sRequest.AddURLParameter(NthDiskSnapshotStr(1), strSystemDiskSnapshotId);
  sRequest.AddURLParameter(NthDiskTypeStr(1), SYSTEM_DISK_TYPE);
  int nMapping = 1;
  for (const std::string& strSnapshotId : vecDataDiskSnapshotIds) {
    sRequest.AddURLParameter(NthDiskSnapshotStr(++nMapping), strSnapshotId);
  }

  std::string strResponse;
  CZeError err = pECSConnection->ExecuteRequest(sRequest, strResponse, true);
  if (err.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to create image from snapshot [%s]. Error [%s].",
                 strSystemDiskSnapshotId.c_str(), err.AsString().c_str());
    return err.Push(ACW_LOCATION);
  }
  err = ReadCreatedId(*pParser, strResponse, Params::IMAGE_ID, strImageId,
                      "Failed to parse response string to obtain image id.");
  if (err.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to get image Id from response [%s].", strResponse.c_str());
    return err.Push(ACW_LOCATION);
  }
  return CZeError();
}

CZeError CAliCloudComputeOperations::DeleteImage(const std::string& strRegionId, const std::string& strImageId,
                                                 bool bForce) {
  if (strRegionId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty region Id passed.");
  if (strImageId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty image Id passed.");

  SAliCloudRequest sRequest = pECSConnection->GetRegionSpecificRequest(strRegionId);
  sRequest.AddURLParameter(Params::ACTION, Actions::DELETE_IMAGE);
  sRequest.AddURLParameter(Params::IMAGE_ID, strImageId);
  sRequest.AddURLParameter(Params::FORCE, bForce ? "true" : "false");
  std::string strResponse;
  CZeError err = pECSConnection->ExecuteRequest(sRequest, strResponse, false);
  if (err.IsError()) return err.Push(ACW_LOCATION);
  return CZeError();
}

}  // namespace AliCloudWrapper
