// The compute-service (ECS, API version "2014-05-26") connection.
//
// Besides the version it adds the endpoint rule of the compute service: a host
// fixed in the settings ("AliCloudRegionEndpoint", read once at construction)
// wins for every region; otherwise each region's host comes from the service's
// own DescribeRegions answer, fetched once on first need; a region the service
// does not list goes to the global host. Its HTTP client also takes the total
// time-out setting "nAliCloudRequestTimeOutInSec" (0: no override), read with the
// other connection settings at the first request.
// It also asks the instance metadata service which instance this process runs on.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "AliCloudWrapper/CAliCloudConnectionBase.h"
#include "AliCloudWrapper/CZeError.h"
#include "AliCloudWrapper/SAliCloudRequest.h"

namespace AliCloudWrapper {

struct SDCInfoLib;

class CAliCloudECSConnection : public CAliCloudConnectionBase {
 public:
  static constexpr const char* API_VERSION = "2014-05-26";
  // The instance metadata service: plain HTTP, only reachable from a cloud instance.
  static constexpr const char* METADATA_HOST = "100.100.100.200";
  static constexpr const char* METADATA_INSTANCE_ID_PATH = "/latest/meta-data/instance-id";
  static constexpr const char* METADATA_TOKEN_PATH = "/latest/api/token";
  static constexpr const char* METADATA_TOKEN_TTL_HEADER = "X-aliyun-ecs-metadata-token-ttl-seconds";
  static constexpr const char* METADATA_TOKEN_HEADER = "X-aliyun-ecs-metadata-token";
  // Off the cloud nothing answers at the metadata address: give up connecting quickly.
  static constexpr long METADATA_CONNECT_TIMEOUT_MS = 2000;
  // The whole metadata exchange is small and local; bound it when no time-out is set.
  static constexpr int METADATA_DEFAULT_TIMEOUT_SEC = 5;
  // Life of the session token we ask for: it serves one GET only.
  static constexpr int METADATA_TOKEN_TTL_SEC = 60;

  CAliCloudECSConnection();
  ~CAliCloudECSConnection() override;

  // Proves the credentials with one DescribeRegions (with retries). Reseeds the
  // nonce generator first. The region map is not filled here.
  CZeError Connect() override;
  // Applies the endpoint rule, then sends as the base does.
  CZeError ExecuteRequest(SAliCloudRequest& sRequest, std::string& strResponse,
                          bool bRetry) override;
  // "TotalCount" for TAG_TOTAL_COUNT; empty for any other tag.
  std::string GetTagName(ETagType eTagType) override;
  // "Version" = "2014-05-26", then the common parameters.
  void AddPublicParameters(SAliCloudRequest& sRequest) override;

  // Gives a request without endpoint the compute host (GetEndPoint).
  void PreRequest(SAliCloudRequest& sRequest);
  // Reads "AliCloudRegionEndpoint" into the settings endpoint (empty when absent).
  void CheckRegionEndPointRegistrykey();
  // The settings endpoint when set, else the global compute host.
  std::string GetEndPoint() const;
  // The compute host of a region: the settings endpoint when set; else the host the
  // service names for the region (the list is fetched once, without retry); else the
  // global host. Empty when the region list cannot be had (PreRequest then gives the
  // request the global host).
  std::string GetEndPointForRegionId(const std::string& strRegionId);
  // One DescribeRegions without retry, parsed into regions (appended).
  CZeError _GetRegionInfoList(std::vector<SDCInfoLib>& vecRegions);
  // Fills the region map from the service's list. False for an empty list or a
  // record without region id or host; entries added before stay.
  bool InitializeRegionIdToEndPointMap(const std::vector<SDCInfoLib>& vecRegions);
  // A new request for the region's compute host whose first parameter is "RegionId".
  SAliCloudRequest GetRegionSpecificRequest(const std::string& strRegionId);

  // The id of the cloud instance this process runs on, from the instance metadata
  // service; the empty text when it cannot be had (off the cloud, for example).
  // Needs no credentials. Uses an HTTP handle of its own (short connect time-out,
  // never a proxy), so the signed requests' client keeps its options.
  void GetLocalInstanceId(std::string& strInstanceId);

 private:
  std::string strSettingsEndPoint;
  std::map<std::string, std::string> mapRegionIdToEndPoint;
  bool bRegionMapInitialized = false;
};

}  // namespace AliCloudWrapper
