// Elastic IP addresses (network service) and public IP addresses (compute service).
#include <string>
#include <vector>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/CAliCloudNetwork.h"
#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/CAliCloudVPCConnection.h"
#include "AliCloudWrapper/SAliCloudRequest.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"
#include "host/FXString.h"
#include "transport/CreatedId.h"
#include "transport/DescribeOneById.h"

namespace AliCloudWrapper {

namespace Params = AliCloudParameterNames;
namespace Actions = AliCloudActionParameterValues;

namespace {

// {"EipAddresses": {"EipAddress": [...]}}
const std::string EIP_ADDRESSES_LIST_KEY = "EipAddresses";
const std::string EIP_ADDRESS_ITEM_KEY = "EipAddress";
// Members of the allocation answers.
const std::string IP_ADDRESS_KEY = "IpAddress";
const std::string ALLOCATION_ID_KEY = "AllocationId";

const std::string STATUS_AVAILABLE = "Available";

// Address operations change billing and reachability: each is sent exactly
// once, never resent behind the caller's back.
constexpr bool SEND_ONCE = false;

}  // namespace

CZeError CAliCloudNetwork::AssociatePublicIP(const std::string& strInstanceId, std::string& strIpAddress) {
  if (strInstanceId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty instance Id passed.");

  SAliCloudRequest sRequest;
  sRequest.AddURLParameter(Params::ACTION, Actions::ASSOCIATE_PUB_IP);
  sRequest.AddURLParameter(Params::INSTANCE_ID, strInstanceId);

  std::string strResponse;
  CZeError err = pECSConnection->ExecuteRequest(sRequest, strResponse, SEND_ONCE);
  if (err.IsError()) return err.Push(ACW_LOCATION);

  err = ReadCreatedId(*pParser, strResponse, IP_ADDRESS_KEY, strIpAddress,
                      "Failed to parse AllocatePublicIpAddress response.");
  if (err.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to parse response. Response json : [%s]", strResponse.c_str());
    return err.Push(ACW_LOCATION);
  }
  return CZeError();
}

CZeError CAliCloudNetwork::GetElasticIPAddress(const std::string& strRegionId,
                                               const std::string& strAllocationId,
                                               SElasticIPAddress& sAddress) {
  if (strRegionId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty region Id passed.");
  if (strAllocationId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty allocation Id passed.");

  SAliCloudRequest sRequest;
  sRequest.AddURLParameter(Params::ACTION, Actions::DESCRIBE_EIP_ADDRESSES);
  sRequest.AddURLParameter(Params::REGION_ID, strRegionId);
  sRequest.AddURLParameter(Params::ALLOCATION_ID, strAllocationId);

  std::string strResponse;
  CZeError err = pVPCConnection->ExecuteRequest(sRequest, strResponse, SEND_ONCE);
  if (err.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to query EIP [%s] in region [%s].", strAllocationId.c_str(),
                 strRegionId.c_str());
    return err.Push(ACW_LOCATION);
  }

  // The service reads "AllocationId" as a comma-separated list, so an id holding
  // a comma could bring back some other address: only this id's record counts.
  std::string strMessage;
  switch (PickOneById(*pParser, strResponse, EIP_ADDRESSES_LIST_KEY, EIP_ADDRESS_ITEM_KEY, strAllocationId,
                      &SElasticIPAddress::strAllocationId, sAddress)) {
    case EOneById::FOUND:
      return CZeError();
    case EOneById::UNREADABLE:
      sEvent.Error(__PRETTY_FUNCTION__, "Failed to parse response [%s].", strResponse.c_str());
      return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Failed to parse Elastic IP query response.")
          .SetKind(EErrorKind::UNREADABLE_ANSWER);
    case EOneById::NONE:
      strMessage = FXString::Format("Failed to find EIP [%s] in region [%s].", strAllocationId.c_str(),
                                    strRegionId.c_str());
      break;
    case EOneById::MANY:
      strMessage = FXString::Format("Obtained more than one EIP for allocation id [%s] in region [%s].",
                                    strAllocationId.c_str(), strRegionId.c_str());
      break;
  }
  sEvent.Error(__PRETTY_FUNCTION__, "%s", strMessage.c_str());
  return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "%s", strMessage.c_str());
}

CZeError CAliCloudNetwork::IsEIPAvailableForBinding(const std::string& strRegionId,
                                                    const std::string& strAllocationId, bool& bAvailable) {
  if (strRegionId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty region Id passed.");
  if (strAllocationId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty allocation Id passed.");

  SElasticIPAddress sAddress;
  CZeError err = GetElasticIPAddress(strRegionId, strAllocationId, sAddress);
  if (err.IsError()) return err.Push(ACW_LOCATION);

  // Both conditions are checked (and logged) on their own, so the log tells
  // every reason an address cannot be bound.
  bAvailable = true;
  if (FXString::CompareNoCase(sAddress.strStatus, STATUS_AVAILABLE) != 0) {
    bAvailable = false;
    sEvent.Debug(__PRETTY_FUNCTION__, "EIP [%s] not in Available status.", strAllocationId.c_str());
  }
  if (!sAddress.vecLockReasons.empty()) {
    bAvailable = false;
    sEvent.Error(__PRETTY_FUNCTION__, "EIP [%s] is in locked state.", strAllocationId.c_str());
  }
  return CZeError();
}

CZeError CAliCloudNetwork::CreateEIPAddress(const std::string& strRegionId, std::string& strAllocationId,
                                            const std::string& strBandwidth,
                                            const std::string& strInternetChargeType) {
  if (strRegionId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty region Id passed.");

  SAliCloudRequest sRequest;
  sRequest.AddURLParameter(Params::ACTION, Actions::ALLOCATE_EIP_ADDRESS);
  sRequest.AddURLParameter(Params::REGION_ID, strRegionId);
  if (!strBandwidth.empty()) sRequest.AddURLParameter(Params::BANDWIDTH, strBandwidth);
  if (!strInternetChargeType.empty()) {
    sRequest.AddURLParameter(Params::INTERNET_CHARGE_TYPE, strInternetChargeType);
  }

  std::string strResponse;
  CZeError err = pVPCConnection->ExecuteRequest(sRequest, strResponse, SEND_ONCE);
  if (err.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to create EIP address in region [%s] with error [%s].",
                 strRegionId.c_str(), err.GetErrorMessage().c_str());
    return err.Push(ACW_LOCATION);
  }

  err = ReadCreatedId(*pParser, strResponse, ALLOCATION_ID_KEY, strAllocationId,
                      "Unable to parse Allocate-EIP response from sever.");
  if (err.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to parse allocation Id from response [%s].",
                 strResponse.c_str());
    return err.Push(ACW_LOCATION);
  }
  return CZeError();
}

CZeError CAliCloudNetwork::BindEIPToInstance(const std::string& strAllocationId,
                                             const std::string& strInstanceId) {
  if (strAllocationId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty allocation Id passed.");
  if (strInstanceId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty instance Id passed.");

  SAliCloudRequest sRequest;
  sRequest.AddURLParameter(Params::ACTION, Actions::ASSOCIATE_EIP_ADDRESS);
  sRequest.AddURLParameter(Params::ALLOCATION_ID, strAllocationId);
  sRequest.AddURLParameter(Params::INSTANCE_ID, strInstanceId);

  std::string strResponse;
  CZeError err = pVPCConnection->ExecuteRequest(sRequest, strResponse, SEND_ONCE);
  if (err.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to bind EIP [%s] to instance [%s].", strAllocationId.c_str(),
                 strInstanceId.c_str());
    return err.Push(ACW_LOCATION);
  }
  return CZeError();
}

CZeError CAliCloudNetwork::DeleteEIP(const std::string& strAllocationId) {
  if (strAllocationId.empty()) return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Empty allocation Id passed.");

  SAliCloudRequest sRequest;
  sRequest.AddURLParameter(Params::ACTION, Actions::RELEASE_EIP_ADDRESS);
  sRequest.AddURLParameter(Params::ALLOCATION_ID, strAllocationId);

  std::string strResponse;
  CZeError err = pVPCConnection->ExecuteRequest(sRequest, strResponse, SEND_ONCE);
  if (err.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to delete EIP [%s] with error [%s].", strAllocationId.c_str(),
                 err.GetErrorMessage().c_str());
    return err.Push(ACW_LOCATION);
  }
  return CZeError();
}

}  // namespace AliCloudWrapper
