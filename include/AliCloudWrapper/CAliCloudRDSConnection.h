// The database-service (RDS, API version "2014-08-15") connection. A request
// without endpoint goes to the global database host; regional requests are made
// with SAliCloudRequest::GetRegionSpecificRDSRequest and keep their host.
#pragma once

#include <string>

#include "AliCloudWrapper/CAliCloudConnectionBase.h"
#include "AliCloudWrapper/CZeError.h"
#include "AliCloudWrapper/SAliCloudRequest.h"

namespace AliCloudWrapper {

class CAliCloudRDSConnection : public CAliCloudConnectionBase {
 public:
  static constexpr const char* API_VERSION = "2014-08-15";

  // Seeds the nonce generator.
  CAliCloudRDSConnection();
  ~CAliCloudRDSConnection() override;

  // Proves the credentials with one DescribeRegions to the database service, without retry.
  CZeError Connect() override;
  // Gives a request without endpoint the global database host, then sends it.
  CZeError ExecuteRequest(SAliCloudRequest& sRequest, std::string& strResponse,
                          bool bRetry) override;
  // "TotalRecordCount" for TAG_TOTAL_COUNT; empty for any other tag.
  std::string GetTagName(ETagType eTagType) override;
  // "Version" = "2014-08-15", then the common parameters.
  void AddPublicParameters(SAliCloudRequest& sRequest) override;
};

}  // namespace AliCloudWrapper
