// Database inventory: the managed database instances of every region and their
// attributes.
//
// The object borrows the database connection and the shared parser; the facade
// owns both and outlives this object. The facade builds it only when database
// access is initialised (InitRDS / ConnectRDS).
#pragma once

#include <cstdint>
#include <vector>

#include "AliCloudWrapper/CZeError.h"
#include "AliCloudWrapper/EvEvent.h"

namespace AliCloudWrapper {

class CAliCloudRDSConnection;
class CAliCloudParser;
struct SDBInstanceFilterLib;
struct SDBInstanceInfoLib;

class CAliCloudRDSQueries {
 public:
  CAliCloudRDSQueries(CAliCloudRDSConnection* pRDSConnection, CAliCloudParser* pParser);
  ~CAliCloudRDSQueries();
  CAliCloudRDSQueries(const CAliCloudRDSQueries&) = delete;
  CAliCloudRDSQueries& operator=(const CAliCloudRDSQueries&) = delete;

  // Replaces the instance cache with the instances of every region (optionally of
  // one engine). The first two arguments are not used.
  CZeError RefreshDBInstanceInfoList(uint64_t nPropertyMask, int nUnused,
                                     const SDBInstanceFilterLib& sFilter);
  // Appends the attributes of every cached instance. The last two arguments are not used.
  CZeError GetDBInstanceInfoList(std::vector<SDBInstanceInfoLib>& vecInstances,
                                 uint64_t nPropertyMask, int nUnused);

 private:
  CAliCloudRDSConnection* pRDSConnection;  // not owned
  CAliCloudParser* pParser;                // not owned
  EvEvent sEvent;
};

}  // namespace AliCloudWrapper
