// connect_check: the smallest embedding program. It includes only the umbrella
// header, links only the shared library, and takes its settings (CA bundle,
// connect-to mapping) from the INI file named by ACW_SETTINGS, as an agent does.
//
//   connect_check <access-key-id> <access-key-secret> <expected-instance-id>
//
// Checks that Connect succeeds with the key, fails with a wrong secret naming
// "SignatureDoesNotMatch", and that the local instance id is the expected one.
// Exit status 0 when every check holds, 1 otherwise.
#include <AliCloudWrapper/AliCloudWrapper.h>

#include <iostream>
#include <string>

namespace {

bool Check(bool bHolds, const std::string& strWhat) {
  std::cout << (bHolds ? "ok:   " : "FAIL: ") << strWhat << "\n";
  return bHolds;
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

  return bAllHold ? 0 : 1;
}
