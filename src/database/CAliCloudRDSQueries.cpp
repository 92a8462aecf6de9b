#include "AliCloudWrapper/CAliCloudRDSQueries.h"

namespace AliCloudWrapper {

CAliCloudRDSQueries::CAliCloudRDSQueries(CAliCloudRDSConnection* pRDSConnectionIn,
                                         CAliCloudParser* pParserIn)
    : pRDSConnection(pRDSConnectionIn), pParser(pParserIn) {}

CAliCloudRDSQueries::~CAliCloudRDSQueries() = default;

// The database inventory is not built yet: both operations say so instead of
// pretending that there are no instances.
CZeError CAliCloudRDSQueries::RefreshDBInstanceInfoList(uint64_t, int, const SDBInstanceFilterLib&) {
  return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Database inventory is not implemented yet.");
}

CZeError CAliCloudRDSQueries::GetDBInstanceInfoList(std::vector<SDBInstanceInfoLib>&, uint64_t, int) {
  return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Database inventory is not implemented yet.");
}

}  // namespace AliCloudWrapper
