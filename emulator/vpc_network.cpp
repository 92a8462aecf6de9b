// Network actions: security groups (a compute product action), VPCs, VSwitches and elastic IP addresses.
// Add each action as a function in the anonymous namespace and one table.Add line below (see
// Actions.h for the helpers and a complete example).
#include <acw_emulator/Actions.h>

#include <boost/json.hpp>

namespace AcwEmulator {

void RegisterNetworkActions(ActionTable& table) { (void)table; }

}  // namespace AcwEmulator
