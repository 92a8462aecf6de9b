// The object itself and its instance operations: create, delete, start, stop,
// join security groups.
#include "AliCloudWrapper/CAliCloudComputeOperations.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/CAliCloudNetwork.h"
#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/ComputeRecords.h"
#include "AliCloudWrapper/SAliCloudRequest.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"
#include "host/FXString.h"
#include "host/SettingsTable.h"
#include "transport/CreatedId.h"
#include "transport/RetryExecutor.h"

namespace AliCloudWrapper {

namespace Params = AliCloudParameterNames;
namespace Actions = AliCloudActionParameterValues;

namespace {

const char* const INTERNAL_ERROR = "InternalError";
const char* const CONFLICT = "InvalidOperation.Conflict";
constexpr int MAX_BANDWIDTH_OUT = 100;

unsigned long long AsULL(uint64_t n) { return static_cast<unsigned long long>(n); }

}  // namespace

CAliCloudComputeOperations::CAliCloudComputeOperations(CAliCloudECSConnection* pECSConnectionIn,
                                                       CAliCloudParser* pParserIn,
                                                       CAliCloudNetwork* pNetworkIn)
    : pECSConnection(pECSConnectionIn), pParser(pParserIn), pNetwork(pNetworkIn) {}

CAliCloudComputeOperations::~CAliCloudComputeOperations() = default;

std::string CAliCloudComputeOperations::NthDiskSnapshotStr(int nIndex) const {
  return FXString::Format(Params::NTH_DISK_SNAPSHOT.c_str(), nIndex);
}
std::string CAliCloudComputeOperations::NthDiskTypeStr(int nIndex) const {
  return FXString::Format(Params::NTH_DISK_TYPE.c_str(), nIndex);
}
std::string CAliCloudComputeOperations::NthDataDiskCategoryStr(int nIndex) const {
  return FXString::Format(Params::NTH_DATA_DISK_CATEGORY.c_str(), nIndex);
}
std::string CAliCloudComputeOperations::NthDataDiskDescriptionStr(int nIndex) const {
  return FXString::Format(Params::NTH_DATA_DISK_DESCRIPTION.c_str(), nIndex);
}
std::string CAliCloudComputeOperations::NthDataDiskNameStr(int nIndex) const {
  return FXString::Format(Params::NTH_DATA_DISK_NAME.c_str(), nIndex);
}
std::string CAliCloudComputeOperations::NthDataDiskDeleteWithInstStr(int nIndex) const {
  return FXString::Format(Params::NTH_DATA_DISK_DELETE_WITH_INSTANCE.c_str(), nIndex);
}

void CAliCloudComputeOperations::_AddDiskDataForInstance(SAliCloudRequest& sRequest,
                                                         const std::vector<SDiskInfoLib>& vecDisks) {
  // The service's lists start at 1 and take no gaps: data disks count among
  // themselves, so a system disk anywhere in the list shifts nothing.
  int nDataDisk = 0;
  for (const SDiskInfoLib& sDisk : vecDisks) {
    if (sDisk.bIsSystemDisk) {
      sRequest.AddURLParameter(Params::SYSTEM_DISK_CATEGORY, sDisk.strCategory);
      if (!sDisk.strDescription.empty()) {
        sRequest.AddURLParameter(Params::SYSTEM_DISK_DESCRIPTION, sDisk.strDescription);
      }
      if (!sDisk.strDiskName.empty()) sRequest.AddURLParameter(Params::SYSTEM_DISK_NAME, sDisk.strDiskName);
      continue;
    }
    ++nDataDisk;
    sRequest.AddURLParameter(NthDataDiskCategoryStr(nDataDisk), sDisk.strCategory);
    sRequest.AddURLParameter(NthDataDiskDeleteWithInstStr(nDataDisk),
                             sDisk.bDeleteWithInstance ? "true" : "false");
    if (!sDisk.strDiskName.empty()) sRequest.AddURLParameter(NthDataDiskNameStr(nDataDisk), sDisk.strDiskName);
    if (!sDisk.strDescription.empty()) {
      sRequest.AddURLParameter(NthDataDiskDescriptionStr(nDataDisk), sDisk.strDescription);
    }
  }
}

CZeError CAliCloudComputeOperations::_EnsurePrimarySecurityGroup(SVMInfoLib& sVMInfo) {
  bool bExists = false;
  CZeError err = pNetwork->DoesSecurityGroupExist(sVMInfo.strRegionId,
                                                  sVMInfo.vecSecurityGroups.front().strSecurityGroupId, bExists);
  if (err.IsError()) return err.Push(ACW_LOCATION);
  if (bExists) return CZeError();

  std::string strGroupId;
  err = pNetwork->GetSecurityGroup(sVMInfo.strRegionId, sVMInfo.sNetworkInfo.strVpcId, strGroupId);
  if (err.IsError()) return err.Push(ACW_LOCATION);
  SSecurityGroupInfoLib sGroup;
  sGroup.strSecurityGroupId = strGroupId;
  sVMInfo.vecSecurityGroups.front() = sGroup;
  return CZeError();
}

SAliCloudRequest CAliCloudComputeOperations::_BuildCreateInstanceRequest(const SVMInfoLib& sVMInfo,
                                                                         const std::string& strImageId,
                                                                         const SVMInfoLib* pConfig,
                                                                         const std::string& strClientToken) {
  SAliCloudRequest sRequest = pECSConnection->GetRegionSpecificRequest(sVMInfo.strRegionId);
  sRequest.AddURLParameter(Params::ACTION, Actions::CREATE_INSTANCE);
  sRequest.AddURLParameter(Params::CLIENT_TOKEN, strClientToken);
  sRequest.AddURLParameter(Params::IMAGE_ID, strImageId);
  sRequest.AddURLParameter(Params::INSTANCE_TYPE, sVMInfo.strInstanceType);
  sRequest.AddURLParameter(Params::SECURITY_GROUP_ID, sVMInfo.vecSecurityGroups.front().strSecurityGroupId);
  sRequest.AddURLParameter(Params::PASSWORD_INHERIT, "True");
  if (!sVMInfo.strZoneId.empty()) sRequest.AddURLParameter(Params::ZONE_ID, sVMInfo.strZoneId);
  if (!sVMInfo.strInstanceName.empty()) sRequest.AddURLParameter(Params::INSTANCE_NAME, sVMInfo.strInstanceName);
  if (pConfig != nullptr && !pConfig->strDescription.empty()) {
    sRequest.AddURLParameter(Params::DESCRIPTION, pConfig->strDescription);
  }
  const std::string strHostName =
      pConfig != nullptr && !pConfig->strHostName.empty() ? pConfig->strHostName : sVMInfo.strNewHostName;
  if (!strHostName.empty()) sRequest.AddURLParameter(Params::HOSTNAME, strHostName);
  if (pConfig != nullptr && pConfig->nInternetMaxBandwidthOut >= 0) {
    int nBandwidth = pConfig->nInternetMaxBandwidthOut;
    if (nBandwidth > MAX_BANDWIDTH_OUT) {
      sEvent.Debug(__PRETTY_FUNCTION__, "maxBandwidthOut is [%d] > 100.Setting it to 100", nBandwidth);
      nBandwidth = MAX_BANDWIDTH_OUT;
    }
    sRequest.AddURLParameter(Params::INTERNET_MAX_BANDWIDTH_OUT, FXString::Format("%d", nBandwidth));
  }
  _AddDiskDataForInstance(sRequest, sVMInfo.vecDisks);
  sRequest.AddURLParameter(Params::V_SWITCH_ID, sVMInfo.sNetworkInfo.strVSwitchId);
  if (!sVMInfo.sNetworkInfo.vecPrivateIpAddresses.empty()) {
    sRequest.AddURLParameter(Params::PRIVATE_IP_ADDRESS, sVMInfo.sNetworkInfo.vecPrivateIpAddresses.front());
  }
  return sRequest;
}

CZeError CAliCloudComputeOperations::CreateInstance(SVMInfoLib& sVMInfo, const std::string& strImageId,
                                                    const std::string& strConfigFile,
                                                    std::string& strInstanceId) {
  if (sVMInfo.strRegionId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty region Id passed.");
  if (strImageId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty image Id passed.");
  if (sVMInfo.strInstanceType.empty()) {
    return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Instance type not specified.");
  }
  if (sVMInfo.vecSecurityGroups.empty()) {
    return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty list of security groups.");
  }

  CZeError err = _EnsurePrimarySecurityGroup(sVMInfo);
  if (err.IsError()) return err.Push(ACW_LOCATION);

  SVMInfoLib sConfig;
  if (!strConfigFile.empty() && !pParser->ParseObject(strConfigFile, sConfig)) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to parse configuration JSON : [%s].", strConfigFile.c_str());
    return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Failed to parse configuration JSON.");
  }

  // One token for every attempt of this creation: a resend after a lost answer
  // or an "InternalError" names the same instance, never a second one.
  const std::string strClientToken = FXString::Format("%d", pECSConnection->GetIdempotenceToken());
  const SAliCloudRequest sRequest = _BuildCreateInstanceRequest(
      sVMInfo, strImageId, strConfigFile.empty() ? nullptr : &sConfig, strClientToken);

  // "InternalError" is resent after 10 s, within the bound of its setting. The
  // connection resends unanswered attempts itself; every attempt is a fresh
  // copy of the one request, so all of them carry the same token.
  SRetryPolicy sPolicy;
  sPolicy.vecResendCodes = {INTERNAL_ERROR};
  sPolicy.nResendPauseMs = INTERNAL_ERROR_RETRY_MS;
  sPolicy.nWaitBoundInSec = ReadNumberSetting(CREATE_INSTANCE_INTERNAL_ERROR_MAX_WAIT_IN_SEC);
  sPolicy.strBoundSetting = CREATE_INSTANCE_INTERNAL_ERROR_MAX_WAIT_IN_SEC;
  const char* pszContext = __PRETTY_FUNCTION__;
  sPolicy.fnBeforePause = [this, pszContext](const CZeError&, uint64_t) {
    sEvent.Debug(pszContext, "Internal error reported from server. Retrying after 10 seconds");
  };
  CRetryExecutor sExecutor(std::move(sPolicy));
  std::string strResponse;
  err = sExecutor.Run([&] {
    SAliCloudRequest sAttempt(sRequest);
    strResponse.clear();
    return pECSConnection->ExecuteRequest(sAttempt, strResponse, true);
  });
  if (err.IsError()) {
    if (err.IsNoAnswer()) {
      // Nothing answered: the connection's own error says so.
      sEvent.Error(__PRETTY_FUNCTION__, "Failed to create instance. No answer from the service. Error [%s].",
                   err.AsString().c_str());
      return err.Push(ACW_LOCATION);
    }
    if (!err.IsServiceError()) {
      sEvent.Error(__PRETTY_FUNCTION__, "Failed to parse error response [%s]", strResponse.c_str());
      return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Failed to parse error response.");
    }
    if (sExecutor.GetReport().bBoundReached) {
      sEvent.Error(__PRETTY_FUNCTION__,
                   "The service still answers InternalError after waiting [%llu] seconds, the bound set by "
                   "[%s]. Giving up creating the instance.",
                   AsULL(sExecutor.GetReport().nWaitedMs / 1000), CREATE_INSTANCE_INTERNAL_ERROR_MAX_WAIT_IN_SEC);
    } else {
      sEvent.Error(__PRETTY_FUNCTION__, "Failed to create instance with error [%s].", strResponse.c_str());
    }
    return err.Push(ACW_LOCATION);
  }

  err = ReadCreatedId(*pParser, strResponse, Params::INSTANCE_ID, strInstanceId,
                      "Failed to parse instance Id from response.");
  if (err.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to parse instance Id from response [%s].", strResponse.c_str());
    return err.Push(ACW_LOCATION);
  }
  return CZeError();
}

CZeError CAliCloudComputeOperations::DeleteInstance(const std::string& strInstanceId) {
  if (strInstanceId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty instance Id passed.");

  SAliCloudRequest sRequest;
  sRequest.AddURLParameter(Params::ACTION, Actions::DELETE_INSTANCE);
  sRequest.AddURLParameter(Params::INSTANCE_ID, strInstanceId);
  std::string strResponse;
  CZeError err = pECSConnection->ExecuteRequest(sRequest, strResponse, false);
  if (err.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "DeleteInstance failed with error [%s] for instance id [%s].",
                 strResponse.c_str(), strInstanceId.c_str());
    return err.Push(ACW_LOCATION);
  }
  return CZeError();
}

CZeError CAliCloudComputeOperations::PowerOnInstance(const std::string& strInstanceId) {
  if (strInstanceId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty instance Id passed.");

  const char* pszContext = __PRETTY_FUNCTION__;
  return _SendWhileConflict(
      [&](std::string& strResponse) {
        SAliCloudRequest sRequest;
        sRequest.AddURLParameter(Params::ACTION, Actions::START_INSTANCE);
        sRequest.AddURLParameter(Params::INSTANCE_ID, strInstanceId);
        return pECSConnection->ExecuteRequest(sRequest, strResponse, false);
      },
      POWER_ON_MAX_ATTEMPTS, POWER_ON_CONFLICT_RETRY_MS,
      [&](const CZeError& errLast, const std::string& strResponse) {
        sEvent.DebugLvl(pszContext, 3, "Power on VM failed. Retrying in 15 sec. Error [%s], response [%s]",
                        errLast.AsString().c_str(), strResponse.c_str());
      })
      .Push(ACW_LOCATION);
}

CZeError CAliCloudComputeOperations::_SendWhileConflict(
    const std::function<CZeError(std::string&)>& fnSend, int nMaxAttempts, uint64_t nPauseMs,
    const std::function<void(const CZeError&, const std::string&)>& fnBeforePause) {
  // "InvalidOperation.Conflict" (in exactly that case) means the instance is
  // busy with an earlier request: send again after the pause, at most
  // nMaxAttempts in all. The wait's bound is the pauses those attempts allow.
  CZeError errLast;
  std::string strLastResponse;
  SWaitBudget sBudget;
  sBudget.nPauseMs = nPauseMs;
  sBudget.nBoundInSec = static_cast<uint64_t>(nMaxAttempts - 1) * nPauseMs / 1000;
  sBudget.fnBeforePause = [&](const CZeError&, uint64_t) { fnBeforePause(errLast, strLastResponse); };
  const CZeError errWait = WaitUntil(sBudget, [&](bool& bDone) {
    strLastResponse.clear();
    errLast = fnSend(strLastResponse);
    bDone = !errLast.IsError();
    if (errLast.IsError() && !errLast.HasServiceCode(CONFLICT, false)) return errLast;
    return CZeError();
  });
  // At the bound the last answer (the conflict) is the caller's error.
  if (errWait.IsError() && !errWait.IsBoundReached()) return errWait;
  return errLast;
}

CZeError CAliCloudComputeOperations::PowerOffInstance(const std::string& strInstanceId, bool bForceStop,
                                                      bool bConfirmStop, bool bKeepCharging) {
  if (strInstanceId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty instance Id passed.");

  SAliCloudRequest sRequest;
  sRequest.AddURLParameter(Params::ACTION, Actions::STOP_INSTANCE);
  sRequest.AddURLParameter(Params::INSTANCE_ID, strInstanceId);
  if (bForceStop) sRequest.AddURLParameter(Params::FORCE_STOP, "true");
  if (bConfirmStop) sRequest.AddURLParameter(Params::CONFIRM_STOP, "true");
  if (bKeepCharging) sRequest.AddURLParameter(Params::STOPPED_MODE, "KeepCharging");
  std::string strResponse;
  CZeError err = pECSConnection->ExecuteRequest(sRequest, strResponse, false);
  if (err.IsError()) return err.Push(ACW_LOCATION);
  return CZeError();
}

CZeError CAliCloudComputeOperations::JoinSecurityGroup(const std::string& strInstanceId,
                                                       const std::string& strSecurityGroupId) {
  if (strInstanceId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty instance Id passed.");
  if (strSecurityGroupId.empty()) {
    return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty security group Id passed.");
  }

  SAliCloudRequest sRequest;
  sRequest.AddURLParameter(Params::ACTION, Actions::JOIN_SECURITY_GROUP);
  sRequest.AddURLParameter(Params::INSTANCE_ID, strInstanceId);
  sRequest.AddURLParameter(Params::SECURITY_GROUP_ID, strSecurityGroupId);
  std::string strResponse;
  CZeError err = pECSConnection->ExecuteRequest(sRequest, strResponse, true);
  if (err.IsError()) return err.Push(ACW_LOCATION);
  return CZeError();
}

bool CAliCloudComputeOperations::AssignSecurityGroupsToInstance(
    const std::string& strInstanceId, const std::vector<SSecurityGroupInfoLib>& vecGroups) {
  bool bAllJoined = true;
  for (const SSecurityGroupInfoLib& sGroup : vecGroups) {
    const CZeError err = JoinSecurityGroup(strInstanceId, sGroup.strSecurityGroupId);
    if (!err.IsError()) continue;
    sEvent.Error(__PRETTY_FUNCTION__,
                 "JoinSecurityGroup failed with error [%s] for instance id [%s] and security group id [%s].",
                 err.AsString().c_str(), strInstanceId.c_str(), sGroup.strSecurityGroupId.c_str());
    bAllJoined = false;
  }
  return bAllJoined;
}

}  // namespace AliCloudWrapper
