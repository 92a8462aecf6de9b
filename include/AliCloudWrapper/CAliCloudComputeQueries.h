// Compute inventory: regions, zones, instances, the VM cache, images, instance
// types and available resources.
//
// The object borrows the compute connection, the shared parser and the storage
// and network objects; the facade owns all of them and outlives this object.
#pragma once

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

 private:
  CAliCloudECSConnection* pECSConnection;  // not owned
  CAliCloudParser* pParser;                // not owned
  CAliCloudStorage* pStorage;              // not owned
  CAliCloudNetwork* pNetwork;              // not owned
  EvEvent sEvent;
};

}  // namespace AliCloudWrapper
