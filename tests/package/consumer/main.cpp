// Uses the installed library the way an embedding program does, without the
// network: the settings store round trip, and a Connect that is refused
// before anything is sent. Exit 0 when both behave.
#include <AliCloudWrapper/AliCloudWrapper.h>

#include <iostream>
#include <string>

int main() {
  using AliCloudWrapper::TKPlatformInfo;
  TKPlatformInfo::SetString(TKPlatformInfo::SECTION, "AliCloudRegionEndpoint", "ecs.example.invalid");
  std::string strValue;
  const bool bStored = TKPlatformInfo().getString(TKPlatformInfo::SECTION, "AliCloudRegionEndpoint", &strValue) != 0 &&
                       strValue == "ecs.example.invalid";

  AliCloudWrapper::CAliCloudWrapper sCloud;
  const bool bRefused = !sCloud.Connect("", "") && !sCloud.GetLastError().empty();

  std::cout << "settings: " << (bStored ? "ok" : "WRONG") << ", empty key refused: "
            << (bRefused ? "ok" : "WRONG") << " [" << sCloud.GetLastError() << "]\n";
  return bStored && bRefused ? 0 : 1;
}
