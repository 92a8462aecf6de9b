#include "AliCloudWrapper/CAliCloudComputeQueries.h"

namespace AliCloudWrapper {

CAliCloudComputeQueries::CAliCloudComputeQueries(CAliCloudECSConnection* pECSConnectionIn,
                                                 CAliCloudParser* pParserIn,
                                                 CAliCloudStorage* pStorageIn,
                                                 CAliCloudNetwork* pNetworkIn)
    : pECSConnection(pECSConnectionIn), pParser(pParserIn), pStorage(pStorageIn), pNetwork(pNetworkIn) {}

CAliCloudComputeQueries::~CAliCloudComputeQueries() = default;

}  // namespace AliCloudWrapper
