// Subcommands about the session itself: the access key and where this runs.
#include "Tool.h"

namespace acw {

namespace {

void AddConnect(CommandTable& sTable) {
  SCommand& sCommand = sTable.Add("connect", "check the access key with the compute service");
  sCommand.fnResource = [] { return std::string("the compute service"); };
  // main connected before running: what is left is to say so.
  sCommand.fnRun = [](SContext& sContext) {
    sContext.sOut.Field("connected", true);
    return true;
  };
}

void AddInstanceId(CommandTable& sTable) {
  SCommand& sCommand =
      sTable.Add("instance-id", "the id of the cloud instance this runs on (instance metadata service)");
  sCommand.bNeedsConnect = false;
  sCommand.fnResource = [] { return std::string("the instance metadata service"); };
  sCommand.fnRun = [](SContext& sContext) {
    std::string strInstanceId;
    sContext.sFacade.GetLocalInstanceId(strInstanceId);
    if (strInstanceId.empty()) {
      throw OperationError("no instance id: the instance metadata service did not answer "
                           "(not on a cloud instance?)");
    }
    sContext.sOut.Field("instance-id", strInstanceId);
    return true;
  };
}

}  // namespace

void RegisterSessionCommands(CommandTable& sTable) {
  AddConnect(sTable);
  AddInstanceId(sTable);
}

}  // namespace acw
