// connect_check: the smallest embedding program. It includes only the umbrella
// header, links only the shared library, and takes its settings (CA bundle,
// connect-to mapping) from the INI file named by ACW_SETTINGS, as an agent does.
//
//   connect_check <access-key-id> <access-key-secret> <expected-instance-id>
//
// Checks that Connect succeeds with the key, fails with a wrong secret naming
// "SignatureDoesNotMatch", that the local instance id is the expected one, and
// that every compute inventory row answers over the emulator's demo world.
// Exit status 0 when every check holds, 1 otherwise.
#include <AliCloudWrapper/AliCloudWrapper.h>

#include <iostream>
#include <string>
#include <vector>

namespace {

bool Check(bool bHolds, const std::string& strWhat) {
  std::cout << (bHolds ? "ok:   " : "FAIL: ") << strWhat << "\n";
  return bHolds;
}

// The compute inventory rows over the demo world: cn-hangzhou, cn-shanghai and
// ap-southeast-1 (8 zones); cn-shanghai holds 3 instances, 2 VPCs and 6 types.
bool CheckInventory(AliCloudWrapper::CAliCloudWrapper& f) {
  using namespace AliCloudWrapper;
  const std::string strRegion = "cn-shanghai";
  bool bAll = true;
  const auto row = [&](bool bOk, bool bHolds, const std::string& strWhat) {
    bAll &= Check(bOk && bHolds, strWhat + (bOk ? "" : " [" + f.GetLastError() + "]"));
  };
  std::vector<SDCInfoLib> vecRegions;
  row(f.GetRegionInfoList(vecRegions, VM_PROP_CLUSTER_HOST_LIST, 0),
      vecRegions.size() == 3 && vecRegions[1].vecZones.size() == 2, "GetRegionInfoList");
  std::vector<SHostInfoLib> vecZones;
  row(f.GetZoneInfoList(vecZones, 0, 0), vecZones.size() == 8, "GetZoneInfoList");
  SDCInfoLib sRegion;
  row(f.GetRegionInfoForRegion(strRegion, VM_PROP_HOST_VM_LIST, 0, sRegion), sRegion.vecVMs.size() == 3,
      "GetRegionInfoForRegion");
  SHostInfoLib sZone;
  row(f.GetZoneInfoForZone("cn-shanghai-e", VM_PROP_HOST_VM_LIST | VM_PROP_HOST_NW_LIST, 0, sZone, ""),
      sZone.strRegionId == strRegion && sZone.vecVMs.size() == 2 && sZone.vecVPCs.size() == 2, "GetZoneInfoForZone");
  std::vector<SVMInfoLib> vecInstances;
  row(f.GetVMInfoListForRegion(strRegion, vecInstances, ""), vecInstances.size() == 3, "GetVMInfoListForRegion");
  std::vector<SInstanceTypeFamilyInfoLib> vecFamilies;
  row(f.GetInstanceTypeFamiliesForRegion(strRegion, vecFamilies), vecFamilies.size() == 5,
      "GetInstanceTypeFamiliesForRegion");
  std::vector<SInstanceTypeInfoLib> vecTypes;
  row(f.GetInstanceTypesForRegion(strRegion, vecTypes), vecTypes.size() == 6, "GetInstanceTypesForRegion");
  vecTypes.clear();
  row(f.GetInstanceTypesForZone(strRegion, "cn-shanghai-e", vecTypes), vecTypes.size() == 3, "GetInstanceTypesForZone");
  vecTypes.clear();
  row(f.GetInstanceTypes("ecs.g6", vecTypes), vecTypes.size() == 2, "GetInstanceTypes");
  SVMInfoLib sInstance;
  std::string strDocument;
  row(f.GetVMInfoAndConfigFile("i-acwinv000000000001", VM_PROP_VM_DISK_LIST, 0, sInstance, strDocument),
      sInstance.strArchitecture == "arm64" && sInstance.vecDisks.size() == 1 &&
          strDocument.find("\"Architecture\":\"arm64\"") != std::string::npos,
      "GetVMInfoAndConfigFile");
  SVMInfoLib sPlain;
  row(f.GetVMInfoForVM("i-acwinv000000000001", sPlain, 0, 0), sPlain.vecDisks.empty(), "GetVMInfoForVM");
  row(f.RefreshVMInfoCache(), true, "RefreshVMInfoCache");
  row(f.GetVMInfoList(vecInstances), vecInstances.size() == 4, "GetVMInfoList");
  SImageInfoLib sImage;
  row(f.GetImageInfoForImage(strRegion, "m-acwinvarm64000001", sImage), sImage.strOSName == "Ubuntu",
      "GetImageInfoForImage");
  std::string strStatus;
  row(f.GetStatusOfInstance("i-acwemu00000000000001", strStatus), strStatus == "Running", "GetStatusOfInstance");
  return bAll;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: connect_check <access-key-id> <access-key-secret> <expected-instance-id>\n";
    return 2;
  }
  const std::string strKeyId = argv[1];
  const std::string strSecret = argv[2];
  const std::string strExpectedId = argv[3];

  AliCloudWrapper::CAliCloudWrapper sFacade;
  bool bAllHold = true;

  const bool bConnected = sFacade.Connect(strKeyId, strSecret);
  bAllHold &= Check(bConnected, "Connect with the key [" + sFacade.GetLastError() + "]");

  const bool bRefused = !sFacade.Connect(strKeyId, strSecret + "-wrong");
  const std::string strError = sFacade.GetLastError();
  bAllHold &= Check(bRefused && strError.find("SignatureDoesNotMatch") != std::string::npos,
                    "Connect with a wrong secret is refused [" + strError + "]");

  std::string strInstanceId;
  sFacade.GetLocalInstanceId(strInstanceId);
  bAllHold &= Check(strInstanceId == strExpectedId, "local instance id [" + strInstanceId + "]");

  bAllHold &= Check(sFacade.Connect(strKeyId, strSecret), "Connect again");
  bAllHold &= CheckInventory(sFacade);
  return bAllHold ? 0 : 1;
}
