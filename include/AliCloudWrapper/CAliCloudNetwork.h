// Networking: security groups, VPCs, VSwitches, elastic and public IP addresses.
//
// The object borrows the compute and network connections and the shared parser;
// the facade owns all of them and outlives this object.
#pragma once

#include "AliCloudWrapper/EvEvent.h"

namespace AliCloudWrapper {

class CAliCloudECSConnection;
class CAliCloudVPCConnection;
class CAliCloudParser;

class CAliCloudNetwork {
 public:
  CAliCloudNetwork(CAliCloudECSConnection* pECSConnection, CAliCloudVPCConnection* pVPCConnection,
                   CAliCloudParser* pParser);
  ~CAliCloudNetwork();
  CAliCloudNetwork(const CAliCloudNetwork&) = delete;
  CAliCloudNetwork& operator=(const CAliCloudNetwork&) = delete;

 private:
  CAliCloudECSConnection* pECSConnection;  // not owned
  CAliCloudVPCConnection* pVPCConnection;  // not owned
  CAliCloudParser* pParser;                // not owned
  EvEvent sEvent;
};

}  // namespace AliCloudWrapper
