// Compute inventory: regions, zones, instances, the VM cache, images, instance
// types and available resources.
//
// The object borrows the compute connection, the shared parser and the storage
// and network objects; the facade owns all of them and outlives this object.
//
// Every request runs with the connection's retry of unanswered requests on.
// What a walk fills is chosen by the property mask (VM_PROP_... constants in
// AliCloudConstants.h); the second mask is passed along and selects nothing.
//
// What the caller must know:
// - Pass fresh records and empty lists: the walks and converters append (only
//   GetRegionInfoList, GetVMInfoListForRegion and GetVMInfoCache replace the
//   list's contents).
// - The region list is fetched once per object and served from a cache for the
//   object's life; a failed fetch is tried again at the next call.
// - A failed RefreshVMInfoCache leaves the cache holding the instances of the
//   regions before the failing one; the next refresh starts from empty.
// - VM_PROP_HOST_NW_LIST takes effect only together with VM_PROP_HOST_VM_LIST in
//   GetZoneInfoList: alone it gives zones without networks.
// - Nothing is locked: one object serves one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "AliCloudWrapper/ComputeRecords.h"
#include "AliCloudWrapper/CZeError.h"
#include "AliCloudWrapper/EvEvent.h"

namespace AliCloudWrapper {

class CAliCloudECSConnection;
class CAliCloudParser;
class CAliCloudStorage;
class CAliCloudNetwork;

class CAliCloudComputeQueries {
 public:
  CAliCloudComputeQueries(CAliCloudECSConnection* pECSConnection, CAliCloudParser* pParser,
                          CAliCloudStorage* pStorage, CAliCloudNetwork* pNetwork);
  ~CAliCloudComputeQueries();
  CAliCloudComputeQueries(const CAliCloudComputeQueries&) = delete;
  CAliCloudComputeQueries& operator=(const CAliCloudComputeQueries&) = delete;

  // ---- regions and zones ----
  // Replaces vecRegions with every region, each filled as the mask selects
  // (zones, instances). A failing region is logged and the walk goes on; the
  // result is then the last such failure, the list still holding every region.
  CZeError GetRegionInfoList(std::vector<SDCInfoLib>& vecRegions, uint64_t nPropertyMask,
                             uint64_t nPropertyMask2);
  // Appends every zone of every region (with its instances, and its networks as
  // well, when the mask holds VM_PROP_HOST_VM_LIST). Stops at the first failure;
  // zones appended before it stay.
  CZeError GetZoneInfoList(std::vector<SHostInfoLib>& vecZones, uint64_t nPropertyMask,
                           uint64_t nPropertyMask2);
  // Fills one region: zones (VM_PROP_CLUSTER_HOST_LIST, each carrying the region
  // id) and instances (VM_PROP_HOST_VM_LIST). A failed zone listing does not stop
  // the instance listing, and the first failure is the result. An empty mask
  // sends nothing and only sets the region id.
  CZeError GetRegionInfoForRegion(const std::string& strRegionId, uint64_t nPropertyMask,
                                  uint64_t nPropertyMask2, SDCInfoLib& sRegion);
  // Fills one zone with its instances and networks as the mask selects. An empty
  // region id is found by asking each region for its zones (zone ids compared
  // without regard to letter case).
  CZeError GetZoneInfoForZone(const std::string& strZoneId, uint64_t nPropertyMask,
                              uint64_t nPropertyMask2, SHostInfoLib& sZone,
                              const std::string& strRegionId);
  // Appends the instances of a zone whose zone and region ids are set.
  CZeError FillVMInfolist(SHostInfoLib& sZone);
  // Appends the zone's VPCs, each with its VSwitches in the zone and its security
  // groups. A VPC whose VSwitches or groups fail is logged and the others are
  // still filled; the result is then one error for the zone. When a VSwitch
  // listing failed, no security groups are fetched.
  CZeError FillNWInfoList(SHostInfoLib& sZone);

  // ---- instance types and available resources (lists are appended to) ----
  CZeError GetInstanceTypeFamiliesForRegion(const std::string& strRegionId,
                                            std::vector<SInstanceTypeFamilyInfoLib>& vecFamilies);
  // The types of a family, or every type when the family id is empty. Follows
  // the service's "NextToken" across pages, so a long catalogue is never cut.
  CZeError GetInstanceTypeList(const std::string& strFamilyId,
                               std::vector<SInstanceTypeInfoLib>& vecTypes);
  // The types of every family of the region; stops at the first failing family.
  CZeError GetInstanceTypesForRegion(const std::string& strRegionId,
                                     std::vector<SInstanceTypeInfoLib>& vecTypes);
  // The instance types the zone offers as available: first the I/O-optimised
  // ones, then those without I/O optimisation (a type offered both ways comes
  // twice). Only the type id of each record is set.
  CZeError GetInstanceTypesForZone(const std::string& strRegionId, const std::string& strZoneId,
                                   std::vector<SInstanceTypeInfoLib>& vecTypes);
  // Every supported resource of every zone of the answer, in answer order,
  // whatever its status. An empty zone id or I/O value is not sent.
  CZeError GetAvailableResources(const std::string& strRegionId,
                                 const std::string& strDestinationResource,
                                 std::vector<SResourceLib>& vecResources,
                                 const std::string& strZoneId, const std::string& strIoOptimized);
  // One instance type per resource whose status is "available" (any case).
  void AddResourcesToInstanceTypeList(const std::vector<SResourceLib>& vecResources,
                                      std::vector<SInstanceTypeInfoLib>& vecTypes);

  // ---- instances, the VM cache and images ----
  // Replaces vecInstances with the region's instances, only those named
  // strInstanceName when it is not empty ("*" matches any run of characters).
  CZeError GetVMInfoListForRegion(const std::string& strRegionId,
                                  std::vector<SVMInfoLib>& vecInstances,
                                  const std::string& strInstanceName);
  // One instance and its configuration document: the service's description kept
  // whole plus "AdditionalInfo" (the image's platform and architecture). When the
  // image cannot be read (deleted, deprecated, the request failed) the document
  // carries empty values and an error line names the instance and the image; the
  // call still succeeds. VM_PROP_VM_DISK_LIST also fills the record's disks (not
  // the document). nUnused is accepted and ignored.
  CZeError GetVMInfoAndConfigFile(const std::string& strInstanceId, uint64_t nPropertyMask,
                                  int nUnused, SVMInfoLib& sInstance, std::string& strConfigFile);
  // Refills the VM cache with the instances of every region, in region order.
  CZeError RefreshVMInfoCache();
  // Replaces vecInstances with a copy of the VM cache (empty before a refresh).
  void GetVMInfoCache(std::vector<SVMInfoLib>& vecInstances) const;
  // The one image of that id in the region. Code 1 when the service lists none
  // (only "Available" images are listed) or several; sImage unchanged then.
  CZeError GetImageInfo(const std::string& strRegionId, const std::string& strImageId,
                        SImageInfoLib& sImage);
  // Sets the record's architecture and platform from its image; unchanged on failure.
  CZeError GetOSAndArchitectureForVM(SVMInfoLib& sInstance);

 private:
  // The region list, served from the cache once a fetch succeeded.
  CZeError _GetRegionInfoList(std::vector<SDCInfoLib>& vecRegions);
  CZeError _GetSecurityGroups(SHostInfoLib& sZone);
  CZeError _GetVSwitchesForZone(SHostInfoLib& sZone);
  CZeError _FindRegionForZone(const std::string& strZoneId, std::string& strRegionId);

  CAliCloudECSConnection* pECSConnection;  // not owned
  CAliCloudParser* pParser;                // not owned
  CAliCloudStorage* pStorage;              // not owned
  CAliCloudNetwork* pNetwork;              // not owned
  std::vector<SDCInfoLib> vecRegionCache;
  std::vector<SVMInfoLib> vecVMInfoCache;
  EvEvent sEvent;
};

}  // namespace AliCloudWrapper
