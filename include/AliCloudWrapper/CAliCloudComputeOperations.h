// Compute operations: creating, starting, stopping and deleting instances,
// joining security groups, attaching disks, creating and deleting images.
//
// The object borrows the compute connection, the shared parser and the network
// object; the facade owns all of them and outlives this object.
//
// The creating actions (CreateInstance, CreateImage) carry one "ClientToken"
// for the whole call and are sent with the connection's retry on: a request
// whose answer was lost is resent with the same token, and the service answers
// it with the resource it already made instead of making a second one.
// Every pause goes through FXThread::Sleep.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "AliCloudWrapper/CZeError.h"
#include "AliCloudWrapper/EvEvent.h"

namespace AliCloudWrapper {

class CAliCloudECSConnection;
class CAliCloudParser;
class CAliCloudNetwork;
struct SAliCloudRequest;
struct SDiskInfoLib;
struct SSecurityGroupInfoLib;
struct SVMInfoLib;

class CAliCloudComputeOperations {
 public:
  // Setting (section "VirtualServer") bounding CreateInstance's resends while the
  // service answers "InternalError", in seconds of pauses; 0 means no bound.
  static constexpr const char* CREATE_INSTANCE_INTERNAL_ERROR_MAX_WAIT_IN_SEC =
      "nAliCloudCreateInstanceInternalErrorMaxWaitInSec";

  // Pauses and attempts of the resends, in milliseconds.
  static constexpr uint64_t INTERNAL_ERROR_RETRY_MS = 10000;
  static constexpr uint64_t POWER_ON_CONFLICT_RETRY_MS = 15000;
  static constexpr int POWER_ON_MAX_ATTEMPTS = 3;
  static constexpr uint64_t ATTACH_DISK_CONFLICT_RETRY_MS = 20000;
  static constexpr int ATTACH_DISK_MAX_ATTEMPTS = 4;

  CAliCloudComputeOperations(CAliCloudECSConnection* pECSConnection, CAliCloudParser* pParser,
                             CAliCloudNetwork* pNetwork);
  ~CAliCloudComputeOperations();
  CAliCloudComputeOperations(const CAliCloudComputeOperations&) = delete;
  CAliCloudComputeOperations& operator=(const CAliCloudComputeOperations&) = delete;

  // ---- instances ----
  // Creates an instance from the image for a restore. sVMInfo gives region, zone,
  // type, name, network, disks and security groups; when its first group no
  // longer exists, it is replaced (also in the caller's record) by the first
  // group of the instance's VPC, or a new one. strConfigFile, when not empty, is
  // the instance's configuration document (description, host name, bandwidth).
  // While the service answers "InternalError" the request is resent every 10 s,
  // up to "nAliCloudCreateInstanceInternalErrorMaxWaitInSec".
  CZeError CreateInstance(SVMInfoLib& sVMInfo, const std::string& strImageId,
                          const std::string& strConfigFile, std::string& strInstanceId);
  CZeError DeleteInstance(const std::string& strInstanceId);
  // Up to 3 attempts, 15 s apart, while the service answers "InvalidOperation.Conflict".
  CZeError PowerOnInstance(const std::string& strInstanceId);
  // A flag that is false sends nothing of its own.
  CZeError PowerOffInstance(const std::string& strInstanceId, bool bForceStop, bool bConfirmStop,
                            bool bKeepCharging);
  CZeError JoinSecurityGroup(const std::string& strInstanceId, const std::string& strSecurityGroupId);
  // Joins every group in list order, going on after a failure; false if any failed.
  bool AssignSecurityGroupsToInstance(const std::string& strInstanceId,
                                      const std::vector<SSecurityGroupInfoLib>& vecGroups);

  // ---- disks and images ----
  // Up to 4 attempts, 20 s apart, while the service answers "InvalidOperation.Conflict".
  // bDiskLimitReached is true only when the service refused because the instance
  // has no room for another disk.
  CZeError AttachDisk(const std::string& strInstanceId, const std::string& strDiskId,
                      bool& bDiskLimitReached, bool bDeleteWithInstance);
  // A custom image from the system disk's snapshot and the data disks' snapshots
  // (mappings 1, 2, 3, ... in that order). Returns once the service has accepted
  // it; the image is "Creating" for a while.
  CZeError CreateImageFromDiskSnapshots(const std::string& strRegionId,
                                        const std::string& strSystemDiskSnapshotId,
                                        const std::vector<std::string>& vecDataDiskSnapshotIds,
                                        const std::string& strArchitecture,
                                        const std::string& strPlatform, std::string& strImageId,
                                        const std::string& strImageName,
                                        const std::string& strDescription);
  CZeError DeleteImage(const std::string& strRegionId, const std::string& strImageId, bool bForce);

  // Indexed parameter names ("%d" replaced by nIndex).
  std::string NthDiskSnapshotStr(int nIndex) const;         // DiskDeviceMapping.N.SnapshotId
  std::string NthDiskTypeStr(int nIndex) const;             // DiskDeviceMapping.N.DiskType
  std::string NthDataDiskCategoryStr(int nIndex) const;     // DataDisk.N.Category
  std::string NthDataDiskDescriptionStr(int nIndex) const;  // DataDisk.N.Description
  std::string NthDataDiskNameStr(int nIndex) const;         // DataDisk.N.DiskName
  std::string NthDataDiskDeleteWithInstStr(int nIndex) const;  // DataDisk.N.DeleteWithInstance

 private:
  // Adds the disk parameters: the system disk's "SystemDisk.*", and "DataDisk.N.*"
  // for the data disks numbered 1, 2, ... in list order wherever the system disk stands.
  void _AddDiskDataForInstance(SAliCloudRequest& sRequest, const std::vector<SDiskInfoLib>& vecDisks);
  // Makes sure the first group of the record exists, replacing it when it does not.
  CZeError _EnsurePrimarySecurityGroup(SVMInfoLib& sVMInfo);
  // The complete CreateInstance request (see CreateInstance).
  SAliCloudRequest _BuildCreateInstanceRequest(const SVMInfoLib& sVMInfo, const std::string& strImageId,
                                               const SVMInfoLib* pConfig,
                                               const std::string& strClientToken);
  // Sends (fnSend gives the attempt's error and answer) until the service no
  // longer answers "InvalidOperation.Conflict" (exact case), at most nMaxAttempts
  // times, nPauseMs apart; fnBeforePause logs each pause. The last attempt's error.
  CZeError _SendWhileConflict(const std::function<CZeError(std::string&)>& fnSend, int nMaxAttempts,
                              uint64_t nPauseMs,
                              const std::function<void(const CZeError&, const std::string&)>& fnBeforePause);

  CAliCloudECSConnection* pECSConnection;  // not owned
  CAliCloudParser* pParser;                // not owned
  CAliCloudNetwork* pNetwork;              // not owned
  EvEvent sEvent;
};

}  // namespace AliCloudWrapper
