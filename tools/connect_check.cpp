// connect_check: the smallest embedding program. It includes only the umbrella
// header, links only the shared library, and takes its settings (CA bundle,
// connect-to mapping) from the INI file named by ACW_SETTINGS, as an agent does.
//
//   connect_check <access-key-id> <access-key-secret> <expected-instance-id>
//                 <expected-database-count>
//
// Checks that Connect succeeds with the key, fails with a wrong secret naming
// "SignatureDoesNotMatch", that the local instance id is the expected one, and
// that every compute inventory row answers over the emulator's demo world, and
// that after ConnectRDS the database inventory lists the expected number of
// database instances, each with its attributes (one line per instance).
// Exit status 0 when every check holds, 1 otherwise.
#include <AliCloudWrapper/AliCloudWrapper.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

bool Check(bool bHolds, const std::string& strWhat) {
  std::cout << (bHolds ? "ok:   " : "FAIL: ") << strWhat << "\n";
  return bHolds;
}

// Lists every database instance with its attributes; true when there are
// nExpected of them and each has an id, an engine and a port.
bool ListDatabases(AliCloudWrapper::CAliCloudWrapper& sFacade, size_t nExpected) {
  // Each outcome is taken before the last error is read for its line.
  const bool bRefreshed = sFacade.RefreshDBInstanceInfoList(0, 0, AliCloudWrapper::SDBInstanceFilterLib());
  bool bAllHold = Check(bRefreshed, "RefreshDBInstanceInfoList [" + sFacade.GetLastError() + "]");
  std::vector<AliCloudWrapper::SDBInstanceInfoLib> vecDatabases;
  const bool bListed = sFacade.GetDBInstanceInfoList(vecDatabases, 0, 0);
  bAllHold &= Check(bListed, "GetDBInstanceInfoList [" + sFacade.GetLastError() + "]");
  for (const auto& sDatabase : vecDatabases) {
    std::cout << "      db " << sDatabase.strDBInstanceId << " engine=" << sDatabase.strEngine << " "
              << sDatabase.strEngineVersion << " region=" << sDatabase.strRegionId
              << " zone=" << sDatabase.strZoneId << " address=" << sDatabase.strConnectionString << ":"
              << sDatabase.nPort << "\n";
    bAllHold &= !sDatabase.strDBInstanceId.empty() && !sDatabase.strEngine.empty() && sDatabase.nPort > 0;
  }
  return Check(bAllHold && vecDatabases.size() == nExpected,
               std::to_string(vecDatabases.size()) + " database instances with their attributes");
}

// The compute inventory rows over the demo world: cn-hangzhou, cn-shanghai,
// ap-southeast-1 and cn-zhangjiakou (10 zones); cn-shanghai holds 3 instances, 2 VPCs and 6 types.
bool CheckInventory(AliCloudWrapper::CAliCloudWrapper& f) {
  using namespace AliCloudWrapper;
  const std::string strRegion = "cn-shanghai";
  bool bAll = true;
  // Each call is made before its result is checked (argument order is unspecified).
  const auto row = [&](bool bOk, bool bHolds, const std::string& strWhat) {
    bAll &= Check(bOk && bHolds, strWhat + (bOk ? "" : " [" + f.GetLastError() + "]"));
  };
  std::vector<SDCInfoLib> vecRegions;
  {
    const bool bOk = f.GetRegionInfoList(vecRegions, VM_PROP_CLUSTER_HOST_LIST, 0);
    row(bOk,
      vecRegions.size() == 4 && vecRegions[1].vecZones.size() == 2, "GetRegionInfoList");
  }
  std::vector<SHostInfoLib> vecZones;
  {
    const bool bOk = f.GetZoneInfoList(vecZones, 0, 0);
    row(bOk, vecZones.size() == 10, "GetZoneInfoList");
  }
  SDCInfoLib sRegion;
  {
    const bool bOk = f.GetRegionInfoForRegion(strRegion, VM_PROP_HOST_VM_LIST, 0, sRegion);
    row(bOk, sRegion.vecVMs.size() == 3,
      "GetRegionInfoForRegion");
  }
  SHostInfoLib sZone;
  {
    const bool bOk = f.GetZoneInfoForZone("cn-shanghai-e", VM_PROP_HOST_VM_LIST | VM_PROP_HOST_NW_LIST, 0, sZone, "");
    row(bOk,
      sZone.strRegionId == strRegion && sZone.vecVMs.size() == 2 && sZone.vecVPCs.size() == 2, "GetZoneInfoForZone");
  }
  std::vector<SVMInfoLib> vecInstances;
  {
    const bool bOk = f.GetVMInfoListForRegion(strRegion, vecInstances, "");
    row(bOk, vecInstances.size() == 3, "GetVMInfoListForRegion");
  }
  std::vector<SInstanceTypeFamilyInfoLib> vecFamilies;
  {
    const bool bOk = f.GetInstanceTypeFamiliesForRegion(strRegion, vecFamilies);
    row(bOk, vecFamilies.size() == 5,
      "GetInstanceTypeFamiliesForRegion");
  }
  std::vector<SInstanceTypeInfoLib> vecTypes;
  {
    const bool bOk = f.GetInstanceTypesForRegion(strRegion, vecTypes);
    row(bOk, vecTypes.size() == 6, "GetInstanceTypesForRegion");
  }
  vecTypes.clear();
  {
    const bool bOk = f.GetInstanceTypesForZone(strRegion, "cn-shanghai-e", vecTypes);
    row(bOk, vecTypes.size() == 3, "GetInstanceTypesForZone");
  }
  vecTypes.clear();
  {
    const bool bOk = f.GetInstanceTypes("ecs.g6", vecTypes);
    row(bOk, vecTypes.size() == 2, "GetInstanceTypes");
  }
  SVMInfoLib sInstance;
  std::string strDocument;
  {
    const bool bOk = f.GetVMInfoAndConfigFile("i-acwinv000000000001", VM_PROP_VM_DISK_LIST, 0, sInstance, strDocument);
    row(bOk,
      sInstance.strArchitecture == "arm64" && sInstance.vecDisks.size() == 1 &&
          strDocument.find("\"Architecture\":\"arm64\"") != std::string::npos,
      "GetVMInfoAndConfigFile");
  }
  SVMInfoLib sPlain;
  {
    const bool bOk = f.GetVMInfoForVM("i-acwinv000000000001", sPlain, 0, 0);
    row(bOk, sPlain.vecDisks.empty(), "GetVMInfoForVM");
  }
  {
    const bool bOk = f.RefreshVMInfoCache();
    row(bOk, true, "RefreshVMInfoCache");
  }
  {
    const bool bOk = f.GetVMInfoList(vecInstances);
    row(bOk, vecInstances.size() == 4, "GetVMInfoList");
  }
  SImageInfoLib sImage;
  {
    const bool bOk = f.GetImageInfoForImage(strRegion, "m-acwinvarm64000001", sImage);
    row(bOk, sImage.strOSName == "Ubuntu",
      "GetImageInfoForImage");
  }
  std::string strStatus;
  {
    const bool bOk = f.GetStatusOfInstance("i-acwemu00000000000001", strStatus);
    row(bOk, strStatus == "Running", "GetStatusOfInstance");
  }
  return bAll;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cerr << "usage: connect_check <access-key-id> <access-key-secret> <expected-instance-id> "
                 "<expected-database-count>\n";
    return 2;
  }
  const std::string strKeyId = argv[1];
  const std::string strSecret = argv[2];
  const std::string strExpectedId = argv[3];
  const size_t nExpectedDatabases = std::strtoul(argv[4], nullptr, 10);

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

  const bool bDatabaseConnected = sFacade.ConnectRDS(strKeyId, strSecret);
  bAllHold &= Check(bDatabaseConnected, "ConnectRDS [" + sFacade.GetLastError() + "]");
  bAllHold &= ListDatabases(sFacade, nExpectedDatabases);

  return bAllHold ? 0 : 1;
}
