// The waits acw's commands share: each polls one resource through the facade
// until it reaches the state asked for, bounded by SWaitBounds and showing
// progress on standard error (see Wait.h).
#pragma once

#include "Tool.h"
#include "Wait.h"

#include <string>

namespace acw {

// Until the snapshot is complete. False when a look failed or the snapshot
// failed (the facade's last error says which); throws OperationError when a
// bound is reached. Reports "polls" (and "completed") through sOut when
// bReport.
bool AwaitSnapshot(SContext& sContext, const std::string& strRegion, const std::string& strSnapshotId,
                   const SWaitBounds& sBounds, bool bReport);

// Until the image is "Available". The facade finds only available images, so
// a look that does not find it counts as "not yet"; the last such reason is
// given when a bound is reached.
void AwaitImage(SContext& sContext, const std::string& strRegion, const std::string& strImageId,
                const SWaitBounds& sBounds);

// Until the instance's status is strWanted ("Stopped", "Running"). False when
// a look failed; throws OperationError when a bound is reached.
bool AwaitInstanceStatus(SContext& sContext, const std::string& strInstanceId, const std::string& strWanted,
                         const SWaitBounds& sBounds);

// Until the elastic IP is bound to nothing ("Available"), as it becomes when
// its instance is deleted: only then will the service release it. False when
// a look failed; throws OperationError when a bound is reached.
bool AwaitAddressUnbound(SContext& sContext, const std::string& strRegion, const std::string& strAllocationId,
                         const SWaitBounds& sBounds);

}  // namespace acw
