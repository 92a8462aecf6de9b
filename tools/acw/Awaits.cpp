#include "Awaits.h"

#include <strings.h>

#include <iostream>

namespace acw {

namespace {

// Runs the wait; false when it failed, an OperationError naming the bound
// when one was reached.
// strGoal completes "<what> did not <goal> within <bound>"; pLastReason, when
// given, is read after the wait.
bool Await(SContext& sContext, const std::string& strWhat, const std::string& strGoal, const SWaitBounds& sBounds,
           const std::function<bool(SPoll&)>& fnPoll, bool bReport, const std::string* pLastReason = nullptr) {
  Progress sProgress(std::cerr, strWhat, Progress::StderrIsTerminal());
  const SWaitResult sResult = WaitUntil(sBounds, sProgress, fnPoll, SleepFor);
  if (bReport) sContext.sOut.Field("polls", static_cast<int64_t>(sResult.nPolls));
  if (sResult.eOutcome == EWaitOutcome::Failed) return false;
  if (sResult.eOutcome == EWaitOutcome::OutOfBounds) {
    const bool bReason = pLastReason != nullptr && !pLastReason->empty();
    throw OperationError(strWhat + " did not " + strGoal + " within " + sResult.strBound +
                         (bReason ? " (last look: " + *pLastReason + ")" : ""));
  }
  return true;
}

}  // namespace

bool AwaitSnapshot(SContext& sContext, const std::string& strRegion, const std::string& strSnapshotId,
                   const SWaitBounds& sBounds, bool bReport) {
  auto& sFacade = sContext.sFacade;
  const bool bDone = Await(
      sContext, "snapshot " + strSnapshotId, "complete", sBounds,
      [&](SPoll& sPoll) {
        // One request a poll: the record gives the progress shown and the status.
        AliCloudWrapper::SSnapshotInfoLib sSnapshot;
        if (!sFacade.GetSnapshotInfo(strRegion, strSnapshotId, sSnapshot)) return false;
        if (strcasecmp(sSnapshot.strStatus.c_str(), "failed") == 0) {
          // A failed snapshot never completes; the library's completion check
          // fails for it and says why in the last error.
          bool bCompleted = false;
          if (!sFacade.IsSnapshotCompleted(strRegion, strSnapshotId, bCompleted)) return false;
        }
        sPoll.nPercent = sSnapshot.nProgress;
        sPoll.eState = sSnapshot.nProgress >= 100 ? SPoll::EState::Done : SPoll::EState::Pending;
        return true;
      },
      bReport);
  if (bDone && bReport) sContext.sOut.Field("completed", true);
  return bDone;
}

void AwaitImage(SContext& sContext, const std::string& strRegion, const std::string& strImageId,
                const SWaitBounds& sBounds) {
  std::string strLastReason;
  Await(
      sContext, "image " + strImageId, "become available", sBounds,
      [&](SPoll& sPoll) {
        AliCloudWrapper::SImageInfoLib sImage;
        if (sContext.sFacade.GetImageInfoForImage(strRegion, strImageId, sImage)) {
          sPoll.nPercent = 100;
          sPoll.eState = SPoll::EState::Done;
        } else {
          strLastReason = sContext.sFacade.GetLastError();
          sPoll.strState = "not available yet";
        }
        return true;
      },
      false, &strLastReason);
}

bool AwaitInstanceStatus(SContext& sContext, const std::string& strInstanceId, const std::string& strWanted,
                         const SWaitBounds& sBounds) {
  return Await(
      sContext, "instance " + strInstanceId, "become " + strWanted, sBounds,
      [&](SPoll& sPoll) {
        std::string strStatus;
        if (!sContext.sFacade.GetStatusOfInstance(strInstanceId, strStatus)) return false;
        sPoll.strState = strStatus;
        sPoll.eState = strStatus == strWanted ? SPoll::EState::Done : SPoll::EState::Pending;
        return true;
      },
      false);
}

bool AwaitAddressUnbound(SContext& sContext, const std::string& strRegion, const std::string& strAllocationId,
                         const SWaitBounds& sBounds) {
  return Await(
      sContext, "eip " + strAllocationId, "become unbound", sBounds,
      [&](SPoll& sPoll) {
        AliCloudWrapper::SElasticIPAddress sAddress;
        if (!sContext.sFacade.GetElasticIPAddress(strRegion, strAllocationId, sAddress)) return false;
        sPoll.strState = sAddress.strStatus;
        // The services spell the status in either letter case.
        const bool bUnbound =
            sAddress.strInstanceId.empty() && strcasecmp(sAddress.strStatus.c_str(), "Available") == 0;
        sPoll.eState = bUnbound ? SPoll::EState::Done : SPoll::EState::Pending;
        return true;
      },
      false);
}

}  // namespace acw
