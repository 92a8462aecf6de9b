#include "AliCloudWrapper/CAliCloudRDSQueries.h"

#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/CAliCloudRDSConnection.h"
#include "AliCloudWrapper/SAliCloudRequest.h"

namespace AliCloudWrapper {

namespace {

namespace Params = AliCloudParameterNames;
namespace RDSParams = AliCloudRDSParameterNames;
namespace RDSActions = AliCloudRDSActionParameterValues;

// Answer keys: {"Regions": {"RDSRegion": [...]}}, {"Items": {"DBInstance": [...]}}
// and {"Items": {"DBInstanceAttribute": [...]}}.
const std::string REGIONS_LIST_KEY = "Regions";
const std::string REGION_ITEM_KEY = "RDSRegion";
const std::string ITEMS_LIST_KEY = "Items";
const std::string DB_INSTANCE_ITEM_KEY = "DBInstance";
const std::string DB_INSTANCE_ATTRIBUTE_ITEM_KEY = "DBInstanceAttribute";

// The inventory sends each request once and lets the service choose the page size.
constexpr bool WITHOUT_RETRY = false;
constexpr int SERVICE_PAGE_SIZE = 0;

// Callers tell an engine type outside the table by code -1, which is also the
// code of "not found"; its kind says what it is: a bad argument.
constexpr int UNKNOWN_ENGINE_CODE = CZeError::CODE_NOT_FOUND;

// The "Engine" value of an engine type; false for a type outside the table.
// Type 0 (any engine) gives the empty text: no "Engine" parameter is sent.
bool EngineName(int32_t nEngineType, std::string& strEngine) {
  switch (nEngineType) {
    case 0: strEngine.clear(); return true;
    case 1: strEngine = "PostgreSQL"; return true;
    case 3: strEngine = "MySQL"; return true;
    case 5: strEngine = "MariaDB"; return true;
    default: return false;
  }
}

// Keeps the first entry of each region id, in order. The service lists a
// region once for each of its zones.
void RemoveRepeatedRegions(std::vector<SDCInfoLib>& vecRegions) {
  std::set<std::string> setSeen;
  std::vector<SDCInfoLib> vecUnique;
  vecUnique.reserve(vecRegions.size());
  for (SDCInfoLib& sRegion : vecRegions) {
    if (setSeen.insert(sRegion.strRegionId).second) vecUnique.push_back(std::move(sRegion));
  }
  vecRegions = std::move(vecUnique);
}

}  // namespace

CAliCloudRDSQueries::CAliCloudRDSQueries(CAliCloudRDSConnection* pRDSConnectionIn,
                                         CAliCloudParser* pParserIn)
    : pRDSConnection(pRDSConnectionIn), pParser(pParserIn) {}

CAliCloudRDSQueries::~CAliCloudRDSQueries() = default;

CZeError CAliCloudRDSQueries::_GetRegionInfoList(std::vector<SDCInfoLib>& vecRegions) {
  vecRegions.clear();
  if (!vecRegionCache.empty()) {
    vecRegions = vecRegionCache;
    return CZeError();
  }

  SAliCloudRequest sRequest;
  sRequest.AddURLParameter(Params::ACTION, AliCloudActionParameterValues::DESCRIBE_REGIONS);
  std::string strResponse;
  CZeError err = pRDSConnection->ExecuteRequest(sRequest, strResponse, WITHOUT_RETRY);
  if (err.IsError()) return err.Push(ACW_LOCATION);

  std::vector<SDCInfoLib> vecFound;
  if (!pParser->ParseNestedList(strResponse, REGIONS_LIST_KEY, REGION_ITEM_KEY, vecFound)) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to parse region list response. Response : [%s].",
                 strResponse.c_str());
    return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "Failed to parse response")
        .SetKind(EErrorKind::UNREADABLE_ANSWER);
  }
  RemoveRepeatedRegions(vecFound);
  vecRegionCache = vecFound;
  vecRegions = std::move(vecFound);
  return CZeError();
}

CZeError CAliCloudRDSQueries::_GetDBInstancesInRegion(const std::string& strRegionId,
                                                      const std::string& strEngine,
                                                      std::vector<SDBInstanceLib>& vecInstances) {
  SAliCloudRequest sRequest = SAliCloudRequest::GetRegionSpecificRDSRequest(strRegionId);
  sRequest.AddURLParameter(Params::ACTION, RDSActions::DESCRIBE_DB_INSTANCES);
  if (!strEngine.empty()) sRequest.AddURLParameter(Params::ENGINE, strEngine);
  CZeError err = pRDSConnection->GetMultiPageList(sRequest, vecInstances, ITEMS_LIST_KEY,
                                                  DB_INSTANCE_ITEM_KEY, WITHOUT_RETRY,
                                                  SERVICE_PAGE_SIZE);
  if (err.IsError()) return err.Push(ACW_LOCATION);
  return CZeError();
}

CZeError CAliCloudRDSQueries::RefreshDBInstanceInfoList(uint64_t, int,
                                                        const SDBInstanceFilterLib& sFilter) {
  // The engine is checked before anything is sent: a filter that cannot be
  // honoured must not cost the service a single request.
  std::string strEngine;
  const int32_t nEngineType = sFilter.bIsFilterSet ? sFilter.nEngineType : 0;
  if (!EngineName(nEngineType, strEngine)) {
    vecInstanceCache.clear();
    return FXErrorUtil::ErrorInt(ACW_LOCATION, UNKNOWN_ENGINE_CODE, "Unknown engine type [%d]",
                                 nEngineType)
        .SetKind(EErrorKind::BAD_ARGUMENT);
  }

  std::vector<SDCInfoLib> vecRegions;
  CZeError err = _GetRegionInfoList(vecRegions);
  if (err.IsError()) return err.Push(ACW_LOCATION);

  vecInstanceCache.clear();
  for (const SDCInfoLib& sRegion : vecRegions) {
    std::vector<SDBInstanceLib> vecFound;
    err = _GetDBInstancesInRegion(sRegion.strRegionId, strEngine, vecFound);
    if (err.IsError()) {
      sEvent.Error(__PRETTY_FUNCTION__, "Failed to get db instance list in region [%s]. Error [%s].",
                   sRegion.strRegionId.c_str(), err.GetErrorMessage().c_str());
      return err.Push(ACW_LOCATION);
    }
    vecInstanceCache.insert(vecInstanceCache.end(), std::make_move_iterator(vecFound.begin()),
                            std::make_move_iterator(vecFound.end()));
  }
  return CZeError();
}

CZeError CAliCloudRDSQueries::_GetDBInstanceAttributes(
    const SDBInstanceLib& sInstance, std::vector<SDBInstanceInfoLib>& vecAttributes) {
  // The attribute read is one request: its answer is not paged and carries no
  // total, so the paged listing would refuse it.
  SAliCloudRequest sRequest = SAliCloudRequest::GetRegionSpecificRDSRequest(sInstance.strRegionId);
  sRequest.AddURLParameter(Params::ACTION, RDSActions::DESCRIBE_DB_INSTANCE_ATTR);
  sRequest.AddURLParameter(RDSParams::RDS_INSTANCE_ID, sInstance.strDBInstanceId);
  std::string strResponse;
  CZeError err = pRDSConnection->ExecuteRequest(sRequest, strResponse, WITHOUT_RETRY);
  if (err.IsError()) return err.Push(ACW_LOCATION);

  if (!pParser->ParseNestedList(strResponse, ITEMS_LIST_KEY, DB_INSTANCE_ATTRIBUTE_ITEM_KEY,
                                vecAttributes)) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to parse response [%s].", strResponse.c_str());
    return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE,
                                 "Failed to parse response from server.")
        .SetKind(EErrorKind::UNREADABLE_ANSWER);
  }
  return CZeError();
}

CZeError CAliCloudRDSQueries::GetDBInstanceInfoList(std::vector<SDBInstanceInfoLib>& vecInstances,
                                                    uint64_t, int) {
  for (const SDBInstanceLib& sInstance : vecInstanceCache) {
    std::vector<SDBInstanceInfoLib> vecFound;
    CZeError err = _GetDBInstanceAttributes(sInstance, vecFound);
    if (err.IsError()) {
      sEvent.Error(__PRETTY_FUNCTION__, "Failed to get db instance list in region [%s]. Error [%s].",
                   sInstance.strRegionId.c_str(), err.GetErrorMessage().c_str());
      return err.Push(ACW_LOCATION);
    }
    vecInstances.insert(vecInstances.end(), std::make_move_iterator(vecFound.begin()),
                        std::make_move_iterator(vecFound.end()));
  }
  return CZeError();
}

}  // namespace AliCloudWrapper
