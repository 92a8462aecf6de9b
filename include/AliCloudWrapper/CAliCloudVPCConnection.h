// The network-service (VPC, API version "2016-04-28") connection. Every request
// goes to the service's global host, whatever endpoint the request carries.
// It needs no Connect: it is usable as soon as it has its credentials.
#pragma once

#include <string>

#include "AliCloudWrapper/CAliCloudConnectionBase.h"
#include "AliCloudWrapper/CZeError.h"
#include "AliCloudWrapper/SAliCloudRequest.h"

namespace AliCloudWrapper {

class CAliCloudVPCConnection : public CAliCloudConnectionBase {
 public:
  static constexpr const char* API_VERSION = "2016-04-28";

  // Seeds the nonce generator.
  CAliCloudVPCConnection();
  ~CAliCloudVPCConnection() override;

  // Always fails (code 1): the network service is never asked to prove credentials.
  CZeError Connect() override;
  // Sends the request to the global network host.
  CZeError ExecuteRequest(SAliCloudRequest& sRequest, std::string& strResponse,
                          bool bRetry) override;
  // "TotalCount" for TAG_TOTAL_COUNT; empty for any other tag.
  std::string GetTagName(ETagType eTagType) override;
  // "Version" = "2016-04-28", then the common parameters.
  void AddPublicParameters(SAliCloudRequest& sRequest) override;

  // Sets the request's endpoint to the global network host.
  void PreRequest(SAliCloudRequest& sRequest);
};

}  // namespace AliCloudWrapper
