// The object itself and its snapshot operations.
#include <vector>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/CAliCloudStorage.h"
#include "AliCloudWrapper/SAliCloudRequest.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"
#include "storage/StorageInternal.h"
#include "transport/CreatedId.h"
#include "transport/DescribeOneById.h"
#include "transport/RetryExecutor.h"

namespace AliCloudWrapper {

namespace Params = AliCloudParameterNames;
namespace Actions = AliCloudActionParameterValues;

CAliCloudStorage::CAliCloudStorage(CAliCloudECSConnection* pECSConnection_, CAliCloudParser* pParser_)
    : pECSConnection(pECSConnection_), pParser(pParser_) {}

CAliCloudStorage::~CAliCloudStorage() = default;

CZeError CAliCloudStorage::CreateSnapshot(const std::string& strDiskId, SSnapshotInfoLib& sInfo,
                                          const std::string& strSnapshotName,
                                          const std::string& strDescription) {
  if (strDiskId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty disk Id passed.");

  SAliCloudRequest sRequest;
  sRequest.AddURLParameter(Params::ACTION, Actions::CREATE_SNAPSHOT);
  sRequest.AddURLParameter(Params::DISK_ID, strDiskId);
  if (!strSnapshotName.empty()) sRequest.AddURLParameter(Params::SNAPSHOT_NAME, strSnapshotName);
  if (!strDescription.empty()) sRequest.AddURLParameter(Params::DESCRIPTION, strDescription);

  std::string strResponse;
  CZeError err = pECSConnection->ExecuteRequest(sRequest, strResponse, false);
  if (err.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to create snapshot for disk [%s]. Error: [%s]",
                 strDiskId.c_str(), err.AsString().c_str());
    return err.Push(ACW_LOCATION);
  }

  err = ReadCreatedRecord(*pParser, strResponse, &SSnapshotInfoLib::strSnapshotId, sInfo,
                          "Failed to parse snapshot creation response.");
  if (err.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Error in parsing response [%s].", strResponse.c_str());
    return err.Push(ACW_LOCATION);
  }
  // The creation answer carries only the id; the rest is what we asked for.
  sInfo.strSourceDiskId = strDiskId;
  sInfo.strDescription = strDescription;
  sInfo.strSnapshotName = strSnapshotName;
  return CZeError();
}

CZeError CAliCloudStorage::DeleteSnapshot(const std::string& strSnapshotId) {
  if (strSnapshotId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Snapshot Id passed is empty.");

  SAliCloudRequest sRequest;
  sRequest.AddURLParameter(Params::SNAPSHOT_ID, strSnapshotId);
  sRequest.AddURLParameter(Params::ACTION, Actions::DELETE_SNAPSHOT);

  std::string strResponse;
  CZeError err = pECSConnection->ExecuteRequest(sRequest, strResponse, false);
  if (err.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to delete snapshot [%s].", strSnapshotId.c_str());
    return err.Push(ACW_LOCATION);
  }
  return CZeError();
}

CZeError CAliCloudStorage::GetSnapshotInfo(const std::string& strRegionId,
                                           const std::string& strSnapshotId,
                                           SSnapshotInfoLib& sInfo) {
  if (strRegionId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Passed region is empty.");
  if (strSnapshotId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Passed snapshot Id is empty.");

  // Snapshot polling is what backups wait on, so a call that got no answer at all
  // (connection, name resolution or time-out failure) is tried again a few
  // times; an answer from the service, even an error, is final.
  SRetryPolicy sPolicy;
  sPolicy.nAttemptsWhenUnanswered = CONNECTIVITY_RETRY_LIMIT + 1;
  sPolicy.nUnansweredPauseMs = CONNECTIVITY_RETRY_MS;
  sPolicy.fnBeforePause = [this](const CZeError&, uint64_t nPauseMs) {
    sEvent.DebugLvl(__PRETTY_FUNCTION__, 5, "Failed to connect to server. Retrying after [%d] seconds.",
                    static_cast<int>(nPauseMs / 1000));
  };
  CRetryExecutor sExecutor(std::move(sPolicy));
  std::string strResponse;
  CZeError err = sExecutor.Run([&] {
    SAliCloudRequest sRequest = pECSConnection->GetRegionSpecificRequest(strRegionId);
    sRequest.AddURLParameter(Params::ACTION, Actions::DESCRIBE_SNAPSHOTS);
    sRequest.AddURLParameter(Params::SNAPSHOT_IDS, StorageInternal::OneIdJsonArray(strSnapshotId));
    return pECSConnection->ExecuteRequest(sRequest, strResponse, false);
  });
  if (err.IsError()) {
    if (sExecutor.GetReport().bUnansweredExhausted) {
      sEvent.Error(__PRETTY_FUNCTION__, "Couldn't resolve connectivity failure even after retries.");
      return FXErrorUtil::ErrorInt(
                 ACW_LOCATION, 1,
                 "Couldn't connect to server. Please check the network connectivity between the proxy and cloud.")
          .SetKind(EErrorKind::NO_ANSWER);
    }
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to get snapshot info for snapshot [%s].",
                 strSnapshotId.c_str());
    return err.Push(ACW_LOCATION);
  }

  switch (PickOneById(*pParser, strResponse, StorageInternal::SNAPSHOTS_LIST_KEY,
                      StorageInternal::SNAPSHOT_ITEM_KEY, strSnapshotId, &SSnapshotInfoLib::strSnapshotId,
                      sInfo)) {
    case EOneById::FOUND:
      return CZeError();
    case EOneById::UNREADABLE:
      sEvent.Error(__PRETTY_FUNCTION__, "Failed to parse snapshot info for snapshot [%s]. Response is [%s]",
                   strSnapshotId.c_str(), strResponse.c_str());
      return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Failed to parse GetSnapshotInfo response.")
          .SetKind(EErrorKind::UNREADABLE_ANSWER);
    case EOneById::NONE:
      sEvent.DebugLvl(__PRETTY_FUNCTION__, 3, "Couldn't find snapshot [%s] under region [%s].",
                      strSnapshotId.c_str(), strRegionId.c_str());
      return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_NOT_FOUND, "Unable to find snapshot [%s].",
                                   strSnapshotId.c_str());
    case EOneById::MANY:
      break;
  }
  sEvent.Error(__PRETTY_FUNCTION__, "Obtained more than one snapshot for id [%s], region [%s].",
               strSnapshotId.c_str(), strRegionId.c_str());
  return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Obtained more than 1 snapshot for Id [%s].",
                               strSnapshotId.c_str());
}

CZeError CAliCloudStorage::DoesSnapshotExist(const std::string& strRegionId,
                                             const std::string& strSnapshotId, bool& bExists) {
  if (strRegionId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Passed region is empty.");
  if (strSnapshotId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Passed snapshot is is empty.");

  SSnapshotInfoLib sScratch;
  CZeError err = GetSnapshotInfo(strRegionId, strSnapshotId, sScratch);
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

CZeError CAliCloudStorage::IsSnapshotCompleted(const std::string& strRegionId,
                                               const std::string& strSnapshotId, bool& bCompleted) {
  SSnapshotInfoLib sScratch;
  CZeError err = GetSnapshotInfo(strRegionId, strSnapshotId, sScratch);
  if (err.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to get info for snapshot [%s]", strSnapshotId.c_str());
    return err.Push(ACW_LOCATION);
  }
  bCompleted = (sScratch.nProgress == 100);
  return CZeError();
}

}  // namespace AliCloudWrapper
