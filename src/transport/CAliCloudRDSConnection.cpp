#include "AliCloudWrapper/CAliCloudRDSConnection.h"

#include "AliCloudWrapper/AliCloudConstants.h"

namespace AliCloudWrapper {

CAliCloudRDSConnection::CAliCloudRDSConnection() { InitializeRandomNumGenerator(); }

CAliCloudRDSConnection::~CAliCloudRDSConnection() = default;

CZeError CAliCloudRDSConnection::Connect() {
  SAliCloudRequest sRequest;
  sRequest.AddURLParameter(AliCloudParameterNames::ACTION,
                           AliCloudActionParameterValues::DESCRIBE_REGIONS);
  std::string strResponse;
  CZeError eResult = ExecuteRequest(sRequest, strResponse, false);
  if (eResult.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to connect to AliCloud. Error : [%s].",
                 eResult.AsString().c_str());
    return eResult.Push(ACW_LOCATION);
  }
  sEvent.Debug(__PRETTY_FUNCTION__, "Successfully connected to AliCloud.");
  return eResult;
}

CZeError CAliCloudRDSConnection::ExecuteRequest(SAliCloudRequest& sRequest,
                                                std::string& strResponse, bool bRetry) {
  if (sRequest.GetEndPoint().empty()) sRequest.SetEndPoint(AliRDSCloudEndPoints::CENTRAL);
  CZeError eResult = CAliCloudConnectionBase::ExecuteRequest(sRequest, strResponse, bRetry);
  if (eResult.IsError()) eResult.Push(ACW_LOCATION);
  return eResult;
}

std::string CAliCloudRDSConnection::GetTagName(ETagType eTagType) {
  return eTagType == TAG_TOTAL_COUNT ? "TotalRecordCount" : "";
}

void CAliCloudRDSConnection::AddPublicParameters(SAliCloudRequest& sRequest) {
  sRequest.AddURLParameter(AliCloudParameterNames::VERSION, API_VERSION);
  CAliCloudConnectionBase::AddPublicParameters(sRequest);
}

}  // namespace AliCloudWrapper
