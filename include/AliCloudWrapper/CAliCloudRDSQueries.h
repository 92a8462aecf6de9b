// Database inventory: the managed database instances of every region and their
// attributes.
//
// Two steps, driven by the caller: RefreshDBInstanceInfoList finds the regions
// of the database service and fills the instance cache with the instances of
// each region; GetDBInstanceInfoList reads the attributes of every cached
// instance. Nothing is retried here: a failing region or instance ends the
// walk with its error.
//
// The object borrows the database connection and the shared parser; the facade
// owns both and outlives this object. The facade builds it only when database
// access is initialised (InitRDS / ConnectRDS). Calls on one object must not
// overlap: the caches are plain members.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "AliCloudWrapper/ComputeRecords.h"
#include "AliCloudWrapper/CZeError.h"
#include "AliCloudWrapper/EvEvent.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"

namespace AliCloudWrapper {

class CAliCloudRDSConnection;
class CAliCloudParser;

class CAliCloudRDSQueries {
 public:
  CAliCloudRDSQueries(CAliCloudRDSConnection* pRDSConnection, CAliCloudParser* pParser);
  ~CAliCloudRDSQueries();
  CAliCloudRDSQueries(const CAliCloudRDSQueries&) = delete;
  CAliCloudRDSQueries& operator=(const CAliCloudRDSQueries&) = delete;

  // Replaces the instance cache with the instances of every region, only those
  // of one engine when the filter is set (engine types: 0 any, 1 PostgreSQL,
  // 3 MySQL, 5 MariaDB). Another engine type fails with code -1, "Unknown
  // engine type [n]", empties the cache and sends nothing. When a region fails,
  // the cache keeps the instances of the regions before it. The first two
  // arguments are not used.
  CZeError RefreshDBInstanceInfoList(uint64_t nPropertyMask, int nUnused,
                                     const SDBInstanceFilterLib& sFilter);
  // Appends the attributes of every cached instance, one request per instance,
  // in the cache's order; the output is not cleared. A failing instance ends
  // the walk, the records appended before it kept. Before any refresh it adds
  // nothing and sends nothing. The last two arguments are not used.
  CZeError GetDBInstanceInfoList(std::vector<SDBInstanceInfoLib>& vecInstances,
                                 uint64_t nPropertyMask, int nUnused);

 private:
  // The regions of the database service, each once, in the order of first
  // appearance. Asked once; later calls copy the cached list.
  CZeError _GetRegionInfoList(std::vector<SDCInfoLib>& vecRegions);
  // Every instance of one region (of one engine when strEngine is not empty).
  CZeError _GetDBInstancesInRegion(const std::string& strRegionId, const std::string& strEngine,
                                   std::vector<SDBInstanceLib>& vecInstances);
  // The attributes of one instance, appended to vecAttributes.
  CZeError _GetDBInstanceAttributes(const SDBInstanceLib& sInstance,
                                    std::vector<SDBInstanceInfoLib>& vecAttributes);

  CAliCloudRDSConnection* pRDSConnection;  // not owned
  CAliCloudParser* pParser;                // not owned
  EvEvent sEvent;
  std::vector<SDCInfoLib> vecRegionCache;        // filled once, never refreshed
  std::vector<SDBInstanceLib> vecInstanceCache;  // the instances of the last refresh
};

}  // namespace AliCloudWrapper
