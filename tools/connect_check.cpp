// connect_check: the smallest embedding program. It includes only the umbrella
// header, links only the shared library, and takes its settings (CA bundle,
// connect-to mapping) from the INI file named by ACW_SETTINGS, as an agent does.
//
//   connect_check <access-key-id> <access-key-secret> <expected-instance-id>
//                 <expected-database-count>
//
// Checks that Connect succeeds with the key, fails with a wrong secret naming
// "SignatureDoesNotMatch", that the local instance id is the expected one, and
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

  const bool bDatabaseConnected = sFacade.ConnectRDS(strKeyId, strSecret);
  bAllHold &= Check(bDatabaseConnected, "ConnectRDS [" + sFacade.GetLastError() + "]");
  bAllHold &= ListDatabases(sFacade, nExpectedDatabases);

  return bAllHold ? 0 : 1;
}
