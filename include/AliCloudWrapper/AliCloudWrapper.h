// Umbrella header: everything an embedding program needs.
#pragma once

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/AliCloudParserConstants.h"
#include "AliCloudWrapper/CAliCloudConnectionBase.h"
#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/ComputeRecords.h"
#include "AliCloudWrapper/CAliCloudStorage.h"
#include "AliCloudWrapper/CZeError.h"
#include "AliCloudWrapper/EvEvent.h"
#include "AliCloudWrapper/JsonValue.h"
#include "AliCloudWrapper/SAliCloudRequest.h"
#include "AliCloudWrapper/SAliCloudErrorResponse.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"
#include "AliCloudWrapper/TKLibCurl.h"
#include "AliCloudWrapper/TKPlatformInfo.h"
