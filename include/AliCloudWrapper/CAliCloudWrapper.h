// The one object a calling agent holds. It owns the service connections, the
// shared parser and the service objects, checks and hands over the access key,
// and keeps the text of the last failure for the caller.
//
// Every operation returns bool; after a false result GetLastError() tells why.
// Only Connect and ConnectRDS clear the last error, at their start: a success
// of any other operation leaves the text of an earlier failure in place.
//
// The access key secret is held only in memory by the connections, overwritten
// when it is replaced and when the facade is destroyed, and never logged.
//
// One facade serves one thread at a time: nothing inside is locked.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "AliCloudWrapper/CZeError.h"
#include "AliCloudWrapper/EvEvent.h"

namespace AliCloudWrapper {

class CAliCloudECSConnection;
class CAliCloudVPCConnection;
class CAliCloudRDSConnection;
class CAliCloudParser;
class CAliCloudComputeQueries;
class CAliCloudComputeOperations;
class CAliCloudStorage;
class CAliCloudNetwork;
class CAliCloudRDSQueries;
struct SDBInstanceFilterLib;
struct SDBInstanceInfoLib;
struct SSnapshotInfoLib;
struct SDiskInfoLib;
struct SSecurityGroupInfoLib;
struct SVPCInfoLib;
struct SElasticIPAddress;
struct SDCInfoLib;
struct SHostInfoLib;
struct SVMInfoLib;
struct SImageInfoLib;
struct SInstanceTypeInfoLib;
struct SInstanceTypeFamilyInfoLib;

class CAliCloudWrapper {
 public:
  // Builds the compute and network connections, the parser and the compute,
  // storage and network service objects. Sends nothing and needs no credentials.
  CAliCloudWrapper();
  ~CAliCloudWrapper();
  CAliCloudWrapper(const CAliCloudWrapper&) = delete;
  CAliCloudWrapper& operator=(const CAliCloudWrapper&) = delete;

  // Hands the access key to the compute and network connections and proves it
  // with one DescribeRegions to the compute service (unanswered requests are
  // retried as the settings say). Empty values fail at once and send nothing.
  // May be called again, e.g. with other credentials, which replace the old ones.
  bool Connect(const std::string& strAccessKeyId, const std::string& strAccessKeySecret);

  // Builds the database connection and the database queries object when they
  // are missing; existing ones stay. Always succeeds.
  CZeError InitRDS();

  // Runs InitRDS, then hands the access key to the database connection and
  // proves it with one DescribeRegions to the database service (no retry).
  // The database objects stay built also when this fails.
  bool ConnectRDS(const std::string& strAccessKeyId, const std::string& strAccessKeySecret);

  void ClearLastError();
  // The text of the last failure; empty when none happened since the last clear.
  std::string GetLastError() const;

  // The id of the cloud instance this process runs on, from the instance
  // metadata service; the empty text off the cloud. Needs no Connect.
  void GetLocalInstanceId(std::string& strInstanceId);

  // ---- compute inventory ----
  // Property masks take the VM_PROP_... bits of AliCloudConstants.h; the second
  // mask is passed along and selects nothing. Pass fresh records and empty lists:
  // the walks append. The region list is fetched once per facade and then served
  // from memory.
  // Every region, filled as the mask selects (zones, instances). A failing
  // region does not stop the walk: the list holds every region and false tells
  // that at least one is incomplete.
  bool GetRegionInfoList(std::vector<SDCInfoLib>& vecRegions, uint64_t nPropertyMask,
                         uint64_t nPropertyMask2);
  // Every zone of every region (instances and networks with VM_PROP_HOST_VM_LIST;
  // VM_PROP_HOST_NW_LIST alone gives zones without networks). Stops at the first
  // failure, zones found before it kept.
  bool GetZoneInfoList(std::vector<SHostInfoLib>& vecZones, uint64_t nPropertyMask,
                       uint64_t nPropertyMask2);
  bool GetRegionInfoForRegion(const std::string& strRegionId, uint64_t nPropertyMask,
                              uint64_t nPropertyMask2, SDCInfoLib& sRegion);
  // An empty region id is found by asking each region for its zones.
  bool GetZoneInfoForZone(const std::string& strZoneId, uint64_t nPropertyMask,
                          uint64_t nPropertyMask2, SHostInfoLib& sZone,
                          const std::string& strRegionId);
  // Replaces vecInstances with the region's instances (only those of that name
  // when it is not empty).
  bool GetVMInfoListForRegion(const std::string& strRegionId, std::vector<SVMInfoLib>& vecInstances,
                              const std::string& strInstanceName);
  bool GetInstanceTypeFamiliesForRegion(const std::string& strRegionId,
                                        std::vector<SInstanceTypeFamilyInfoLib>& vecFamilies);
  bool GetInstanceTypesForRegion(const std::string& strRegionId,
                                 std::vector<SInstanceTypeInfoLib>& vecTypes);
  // The types the zone offers as available (only their ids are set).
  bool GetInstanceTypesForZone(const std::string& strRegionId, const std::string& strZoneId,
                               std::vector<SInstanceTypeInfoLib>& vecTypes);
  // The types of a family; every type when the family id is empty.
  bool GetInstanceTypes(const std::string& strFamilyId, std::vector<SInstanceTypeInfoLib>& vecTypes);
  // The instance and its configuration document, which the caller stores with a
  // backup and hands back at restore. VM_PROP_VM_DISK_LIST adds the disks to the
  // record. A missing image leaves the document's platform and architecture
  // empty (logged as an error) and still succeeds. nUnused is ignored.
  bool GetVMInfoAndConfigFile(const std::string& strInstanceId, uint64_t nPropertyMask, int nUnused,
                              SVMInfoLib& sInstance, std::string& strConfigFile);
  // The same without the document.
  bool GetVMInfoForVM(const std::string& strInstanceId, SVMInfoLib& sInstance, uint64_t nPropertyMask,
                      int nUnused);
  // Replaces vecInstances with the instances the last RefreshVMInfoCache found
  // (empty before the first; partial after a failed one). Sends nothing.
  bool GetVMInfoList(std::vector<SVMInfoLib>& vecInstances);
  bool RefreshVMInfoCache();
  // Only images in state "Available" are found.
  bool GetImageInfoForImage(const std::string& strRegionId, const std::string& strImageId,
                            SImageInfoLib& sImage);
  // The instance's state as the service names it ("Running", "Stopped", ...);
  // unchanged on failure.
  bool GetStatusOfInstance(const std::string& strInstanceId, std::string& strStatus);

  // ---- snapshots ----
  // Takes a snapshot of the disk; sInfo gets the new id, the disk id, the name
  // and the description. The snapshot completes later: poll IsSnapshotCompleted.
  bool CreateSnapshot(const std::string& strDiskId, SSnapshotInfoLib& sInfo,
                      const std::string& strSnapshotName, const std::string& strDescription);
  bool DeleteSnapshot(const std::string& strSnapshotId);
  // Fails also when the region has no snapshot of that id.
  bool GetSnapshotInfo(const std::string& strRegionId, const std::string& strSnapshotId,
                       SSnapshotInfoLib& sInfo);
  // bExists false (and true returned) when the snapshot is not found.
  bool DoesSnapshotExist(const std::string& strRegionId, const std::string& strSnapshotId,
                         bool& bExists);
  // bCompleted true only at a progress of 100 %.
  bool IsSnapshotCompleted(const std::string& strRegionId, const std::string& strSnapshotId,
                           bool& bCompleted);

  // ---- disks ----
  // Creates a disk in the zone, from the snapshot when strSnapshotId is not
  // empty. nSizeInBytes 0 takes the snapshot's size; an empty category means
  // "cloud_efficiency". Waits while the snapshot is not ready yet.
  bool CreateDisk(const std::string& strRegionId, const std::string& strZoneId, SDiskInfoLib& sInfo,
                  const std::string& strSnapshotId, const std::string& strDiskName,
                  const std::string& strDiskCategory, long long nSizeInBytes, bool bEncrypted,
                  const std::string& strDescription);
  // Detaches the disk from the instance and waits until it is no longer
  // "Detaching". An empty region id is looked up from the instance first; with
  // a region id given, no lookup is made.
  bool DetachDisk(const std::string& strInstanceId, const std::string& strDiskId,
                  const std::string& strRegionId);
  bool DeleteDisk(const std::string& strDiskId);
  // Fails also when the region has no disk of that id.
  bool GetDiskInfo(const std::string& strRegionId, const std::string& strDiskId, SDiskInfoLib& sInfo);
  // bExists false (and true returned) when the disk is not found.
  bool DoesDiskExist(const std::string& strRegionId, const std::string& strDiskId, bool& bExists);

  // ---- networking ----
  // Appends every security group of the region, of all its VPCs.
  bool GetSecurityGroupList(const std::string& strRegionId,
                            std::vector<SSecurityGroupInfoLib>& vecGroups);
  // Appends every VPC of the region.
  bool GetVPCListInRegion(const std::string& strRegionId, std::vector<SVPCInfoLib>& vecVpcs);
  // Creates a security group in the VPC; an empty name or description is not sent.
  bool CreateSecurityGroup(const std::string& strRegionId, const std::string& strVpcId,
                           std::string& strSecurityGroupId, const std::string& strGroupName,
                           const std::string& strDescription);
  bool GetElasticIPAddress(const std::string& strRegionId, const std::string& strAllocationId,
                           SElasticIPAddress& sAddress);
  // The service completes the binding asynchronously ("Associating", then "InUse").
  bool BindEIPToInstance(const std::string& strAllocationId, const std::string& strInstanceId);
  // Allocates a new elastic IP; an empty bandwidth (Mbit/s) or charge type
  // leaves the service's default.
  bool CreateEIPAddress(const std::string& strRegionId, std::string& strAllocationId,
                        const std::string& strBandwidth, const std::string& strInternetChargeType);
  // Gives the instance a public address (the one it has, if any) and returns it.
  bool AssociatePublicIP(const std::string& strInstanceId, std::string& strIpAddress);

  // ---- database inventory (needs ConnectRDS or InitRDS first: before that
  // these fail with a last error that says so, and send nothing) ----
  // Finds the database instances of every region, optionally of one engine.
  // nPropertyMask and nUnused are passed on and not used.
  bool RefreshDBInstanceInfoList(uint64_t nPropertyMask, int nUnused,
                                 const SDBInstanceFilterLib& sFilter);
  // Appends the attributes of every instance the last refresh found.
  bool GetDBInstanceInfoList(std::vector<SDBInstanceInfoLib>& vecInstances,
                             uint64_t nPropertyMask, int nUnused);

 private:
  // Turns a service operation's result into the facade's bool. On failure the
  // last error becomes the error's message and, when pszFailureMessage is not
  // null, the log gets "<message> Error: [<diagnostic text>]." with pszContext.
  bool _ReportResult(const CZeError& eResult, const char* pszContext,
                     const char* pszFailureMessage);
  // The same for messages that name arguments. The log line is
  // "<strLead> Error: [<diagnostic text>]<pszEnd>"; strLead already holds the
  // operation's arguments, and pszEnd is "." or "" as the message has it.
  bool _ReportResult(const CZeError& eResult, const char* pszContext, const std::string& strLead,
                     const char* pszEnd);
  // The credential checks of Connect and ConnectRDS: false (with the last error
  // and a log line) when either value is empty.
  bool _CheckCredentials(const std::string& strAccessKeyId,
                         const std::string& strAccessKeySecret, const char* pszContext);
  // Database operations need the objects InitRDS builds. Without them this sets
  // the last error and returns false, and the operation must send nothing.
  bool _IsRDSInitialized(const char* pszContext);

  // Members in the order they are built; the destructor releases them in the
  // order that keeps every borrower gone before what it borrows.
  EvEvent sEvent;
  std::unique_ptr<CAliCloudECSConnection> pECSConnection;
  std::unique_ptr<CAliCloudVPCConnection> pVPCConnection;
  std::unique_ptr<CAliCloudRDSConnection> pRDSConnection;  // null until InitRDS
  std::unique_ptr<CAliCloudParser> pParser;
  std::unique_ptr<CAliCloudComputeQueries> pComputeQueries;
  std::unique_ptr<CAliCloudComputeOperations> pComputeOperations;
  std::unique_ptr<CAliCloudStorage> pStorage;
  std::unique_ptr<CAliCloudNetwork> pNetwork;
  std::unique_ptr<CAliCloudRDSQueries> pRDSQueries;  // null until InitRDS
  std::string strLastError;
};

}  // namespace AliCloudWrapper
