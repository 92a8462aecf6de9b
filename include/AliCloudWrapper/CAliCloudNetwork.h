// Networking: security groups, VPCs, VSwitches, elastic and public IP addresses.
//
// The object borrows the compute and network connections and the shared parser;
// the facade owns all of them and outlives this object.
//
// Which connection serves which operation is fixed by the services:
//   compute (region-specific requests): security groups, public IP allocation;
//   network (always its global host, "RegionId" sent as a parameter): VPCs,
//   VSwitches and elastic IP addresses (EIPs).
// Listings fetch every page (with the connection's retry of unanswered
// requests) and append to the caller's vector; every other request is sent
// once. Argument errors carry code 1 and send nothing; every other failure
// carries code 1 as well, with the failing function's location pushed.
#pragma once

#include <string>
#include <vector>

#include "AliCloudWrapper/CZeError.h"
#include "AliCloudWrapper/EvEvent.h"

namespace AliCloudWrapper {

class CAliCloudECSConnection;
class CAliCloudVPCConnection;
class CAliCloudParser;
struct SSecurityGroupInfoLib;
struct SVPCInfoLib;
struct SVSwitchInfoLib;
struct SElasticIPAddress;

class CAliCloudNetwork {
 public:
  CAliCloudNetwork(CAliCloudECSConnection* pECSConnection, CAliCloudVPCConnection* pVPCConnection,
                   CAliCloudParser* pParser);
  ~CAliCloudNetwork();
  CAliCloudNetwork(const CAliCloudNetwork&) = delete;
  CAliCloudNetwork& operator=(const CAliCloudNetwork&) = delete;

  // ---- security groups, VPCs and VSwitches ----
  // Appends the region's security groups (only those of the VPC when strVpcId is
  // not empty) in the service's order.
  CZeError GetSecurityGroupListInRegion(const std::string& strRegionId,
                                        std::vector<SSecurityGroupInfoLib>& vecGroups,
                                        const std::string& strVpcId);
  // bExists: whether the region has a group with exactly this id (letter case
  // counts). Unchanged on failure.
  CZeError DoesSecurityGroupExist(const std::string& strRegionId,
                                  const std::string& strSecurityGroupId, bool& bExists);
  // Appends the region's VSwitches, filtered by VPC and by zone only where those
  // ids are not empty.
  CZeError GetVSwitches(const std::string& strRegionId, std::vector<SVSwitchInfoLib>& vecVSwitches,
                        const std::string& strVpcId, const std::string& strZoneId);
  // Appends the region's VPCs.
  CZeError GetVPCListInRegion(const std::string& strRegionId, std::vector<SVPCInfoLib>& vecVpcs);
  // Creates a security group in the VPC; an empty name or description is not sent.
  CZeError CreateSecurityGroup(const std::string& strRegionId, const std::string& strVpcId,
                               std::string& strSecurityGroupId, const std::string& strGroupName,
                               const std::string& strDescription);
  // A group to put a new instance into: the first group the service lists for the
  // VPC, or a new one (without name and description) when the VPC has none.
  CZeError GetSecurityGroup(const std::string& strRegionId, const std::string& strVpcId,
                            std::string& strSecurityGroupId);

  // ---- elastic and public IP addresses ----
  // Gives the instance a public address (the one it has, if any) and returns it.
  CZeError AssociatePublicIP(const std::string& strInstanceId, std::string& strIpAddress);
  // The record of one EIP. A missing EIP is an ordinary failure (code 1), as is
  // an answer holding more than one record for the id.
  CZeError GetElasticIPAddress(const std::string& strRegionId, const std::string& strAllocationId,
                               SElasticIPAddress& sAddress);
  // Associates the EIP with the instance. The service completes the association
  // asynchronously ("Associating", then "InUse").
  CZeError BindEIPToInstance(const std::string& strAllocationId, const std::string& strInstanceId);
  // Allocates a new EIP and returns its allocation id (read the address itself
  // with GetElasticIPAddress). An empty bandwidth (Mbit/s, as text) or internet
  // charge type is not sent: the service's defaults apply.
  CZeError CreateEIPAddress(const std::string& strRegionId, std::string& strAllocationId,
                            const std::string& strBandwidth, const std::string& strInternetChargeType);
  // bAvailable: status "Available" (any letter case) and no lock reason.
  // Unchanged on failure, a missing EIP included.
  CZeError IsEIPAvailableForBinding(const std::string& strRegionId, const std::string& strAllocationId,
                                    bool& bAvailable);
  // Releases the EIP (the service accepts only an unbound, "Available" one).
  CZeError DeleteEIP(const std::string& strAllocationId);

 private:
  CAliCloudVPCConnection* pVPCConnection;  // not owned
  CAliCloudECSConnection* pECSConnection;  // not owned
  CAliCloudParser* pParser;                // not owned
  EvEvent sEvent;
};

}  // namespace AliCloudWrapper
