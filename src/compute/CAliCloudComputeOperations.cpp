#include "AliCloudWrapper/CAliCloudComputeOperations.h"

namespace AliCloudWrapper {

CAliCloudComputeOperations::CAliCloudComputeOperations(CAliCloudECSConnection* pECSConnectionIn,
                                                       CAliCloudParser* pParserIn,
                                                       CAliCloudNetwork* pNetworkIn)
    : pECSConnection(pECSConnectionIn), pParser(pParserIn), pNetwork(pNetworkIn) {}

CAliCloudComputeOperations::~CAliCloudComputeOperations() = default;

}  // namespace AliCloudWrapper
