#include "AliCloudWrapper/CAliCloudNetwork.h"

namespace AliCloudWrapper {

CAliCloudNetwork::CAliCloudNetwork(CAliCloudECSConnection* pECSConnectionIn,
                                   CAliCloudVPCConnection* pVPCConnectionIn,
                                   CAliCloudParser* pParserIn)
    : pECSConnection(pECSConnectionIn), pVPCConnection(pVPCConnectionIn), pParser(pParserIn) {}

CAliCloudNetwork::~CAliCloudNetwork() = default;

}  // namespace AliCloudWrapper
