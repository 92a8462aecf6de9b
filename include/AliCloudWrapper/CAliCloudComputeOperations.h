// Compute operations: creating, starting, stopping and deleting instances,
// joining security groups, attaching disks, creating and deleting images.
//
// The object borrows the compute connection, the shared parser and the network
// object; the facade owns all of them and outlives this object.
#pragma once

#include "AliCloudWrapper/EvEvent.h"

namespace AliCloudWrapper {

class CAliCloudECSConnection;
class CAliCloudParser;
class CAliCloudNetwork;

class CAliCloudComputeOperations {
 public:
  CAliCloudComputeOperations(CAliCloudECSConnection* pECSConnection, CAliCloudParser* pParser,
                             CAliCloudNetwork* pNetwork);
  ~CAliCloudComputeOperations();
  CAliCloudComputeOperations(const CAliCloudComputeOperations&) = delete;
  CAliCloudComputeOperations& operator=(const CAliCloudComputeOperations&) = delete;

 private:
  CAliCloudECSConnection* pECSConnection;  // not owned
  CAliCloudParser* pParser;                // not owned
  CAliCloudNetwork* pNetwork;              // not owned
  EvEvent sEvent;
};

}  // namespace AliCloudWrapper
