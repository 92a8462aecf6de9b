// Shared set-up of the integration tests that drive the service connections
// and the facade against the emulator.
#pragma once

#include <string>
#include <vector>

#include "AliCloudWrapper/SAliCloudRequest.h"
#include "EmulatorFixture.h"

namespace AliCloudWrapper {

class FacadeTest : public EmulatorFixture {
 protected:
  // The next nCount requests of strAction get no answer at all.
  void LeaveUnanswered(const std::string& strAction, int nCount = 1) {
    InjectFault(AcwEmulator::FaultKind::CloseBeforeAnswer, strAction, nCount);
  }

  // Gives a service connection the access key the emulator accepts.
  template <typename TConnection>
  static void GiveKey(TConnection& sConnection) {
    sConnection.SetAccessKeyId(KEY_ID);
    sConnection.SetAccessKeySecret(KEY_SECRET);
  }

  // A request holding these parameters in this order.
  static SAliCloudRequest Request(const std::vector<URLParameter>& vecParameters) {
    SAliCloudRequest sRequest;
    for (const URLParameter& sPair : vecParameters) sRequest.AddURLParameter(sPair.first, sPair.second);
    return sRequest;
  }
};

}  // namespace AliCloudWrapper
