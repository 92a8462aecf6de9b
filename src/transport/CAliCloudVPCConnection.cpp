#include "AliCloudWrapper/CAliCloudVPCConnection.h"

#include "AliCloudWrapper/AliCloudConstants.h"

namespace AliCloudWrapper {

CAliCloudVPCConnection::CAliCloudVPCConnection() { InitializeRandomNumGenerator(); }

CAliCloudVPCConnection::~CAliCloudVPCConnection() = default;

CZeError CAliCloudVPCConnection::Connect() {
  return FXErrorUtil::ErrorInt(ACW_LOCATION, 1,
                               "CAliCloudVPCConnection::Connect() method not implemented");
}

CZeError CAliCloudVPCConnection::ExecuteRequest(SAliCloudRequest& sRequest,
                                                std::string& strResponse, bool bRetry) {
  PreRequest(sRequest);
  CZeError eResult = CAliCloudConnectionBase::ExecuteRequest(sRequest, strResponse, bRetry);
  if (eResult.IsError()) eResult.Push(ACW_LOCATION);
  return eResult;
}

std::string CAliCloudVPCConnection::GetTagName(ETagType eTagType) {
  return eTagType == TAG_TOTAL_COUNT ? "TotalCount" : "";
}

void CAliCloudVPCConnection::AddPublicParameters(SAliCloudRequest& sRequest) {
  sRequest.AddURLParameter(AliCloudParameterNames::VERSION, API_VERSION);
  CAliCloudConnectionBase::AddPublicParameters(sRequest);
}

void CAliCloudVPCConnection::PreRequest(SAliCloudRequest& sRequest) {
  // Network requests are often built for a compute region's host; the network
  // service answers them only at its own global host.
  sRequest.SetEndPoint(AliCloudEndPoints::VPC_CENTRAL);
}

}  // namespace AliCloudWrapper
