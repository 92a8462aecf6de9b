// acw: the library's operations from the shell, for operators and scripts.
// A user of the public API only.
//
// The command line is read by CLI11; each subcommand lives in a commands_*.cpp
// file (see Tool.h). This file does what every subcommand shares: the global
// options, the access key, the in-process emulator, Connect, the output form
// and the exit status (0 success, 1 the operation failed, 2 usage: nothing
// sent).
#include "Credentials.h"
#include "EmulatorMode.h"
#include "Tool.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <string>

namespace acw {

namespace {

struct SGlobals {
  bool bJson = false;
  bool bEmulator = false;
  std::string strProfile;
};

const char* const FOOTER =
    "The access key comes from ALIBABA_CLOUD_ACCESS_KEY_ID and ALIBABA_CLOUD_ACCESS_KEY_SECRET,\n"
    "else from an AK profile of ~/.aliyun/config.json (--profile, ALIBABA_CLOUD_PROFILE or its\n"
    "current one), else from ACW_ACCESS_KEY_ID and ACW_ACCESS_KEY_SECRET; never from the command\n"
    "line. --region defaults to ALIBABA_CLOUD_REGION_ID, then to that profile's region. Library\n"
    "settings come from the file ACW_SETTINGS names. Exit status: 0 success, 1 the operation\n"
    "failed (the reason on standard error), 2 usage error (nothing sent).\n"
    "The options --json, --profile NAME and --emulator may come before or after the command;\n"
    "'acw help COMMAND' shows a command's own options.";

// The service's error code in a failure text ("Error code: InvalidDiskId.NotFound"),
// empty when the failure did not come from an answer of the service.
std::string ServiceCode(const std::string& strReason) {
  static const std::string MARK = "Error code: ";
  const size_t nStart = strReason.find(MARK);
  if (nStart == std::string::npos) return std::string();
  const size_t nBegin = nStart + MARK.size();
  const size_t nEnd = strReason.find_first_of(" \t\n,;]", nBegin);
  std::string strCode = strReason.substr(nBegin, nEnd == std::string::npos ? std::string::npos : nEnd - nBegin);
  while (!strCode.empty() && strCode.back() == '.') strCode.pop_back();
  return strCode;
}

int Fail(Output& sOut, const std::string& strOperation, const std::string& strResource,
         std::string strReason) {
  if (strReason.empty()) strReason = "the operation failed without a reason from the library";
  std::cerr << "acw: " << strOperation << " failed for " << strResource << ": " << strReason << "\n";
  sOut.Error(strOperation, strResource, strReason, ServiceCode(strReason));
  sOut.Finish();
  return EXIT_FAILED;
}

// The access key and region default for a command; throws UsageError.
SCredentials KeyFor(const SCommand& sCommand, const SGlobals& sGlobals) {
  if (sGlobals.bEmulator) {
    return {EmulatorMode::KEY_ID, EmulatorMode::KEY_SECRET, EmulatorMode::REGION, "the in-process emulator"};
  }
  if (!sCommand.bNeedsConnect) return {};
  return ResolveCredentials(sGlobals.strProfile, FromEnvironment);
}

int Execute(const SCommand& sCommand, const SGlobals& sGlobals) {
  const std::string strOperation = sCommand.pApp->get_name();
  Output sOut(sGlobals.bJson, std::cout);

  const SCredentials sKey = KeyFor(sCommand, sGlobals);
  if (sCommand.pRegion != nullptr && sCommand.pRegion->empty()) *sCommand.pRegion = sKey.strRegion;
  if (sCommand.bNeedsRegion && sCommand.pRegion->empty()) {
    throw UsageError("'" + strOperation + "' needs --region (or ALIBABA_CLOUD_REGION_ID)");
  }
  if (sCommand.fnCheck) sCommand.fnCheck();

  // The emulator and its settings before the facade, so its first request
  // already goes to the loopback; the facade goes first on the way out.
  std::unique_ptr<EmulatorMode> pEmulator;
  if (sGlobals.bEmulator) pEmulator = std::make_unique<EmulatorMode>();
  AliCloudWrapper::CAliCloudWrapper sFacade;

  if (sCommand.bNeedsConnect && !sFacade.Connect(sKey.strKeyId, sKey.strSecret)) {
    return Fail(sOut, "connect", "access key " + sKey.strKeyId + " (from " + sKey.strSource + ")",
                sFacade.GetLastError());
  }
  if (sCommand.bNeedsDatabase && !sFacade.ConnectRDS(sKey.strKeyId, sKey.strSecret)) {
    return Fail(sOut, "connect",
                "access key " + sKey.strKeyId + " (from " + sKey.strSource + ") with the database service",
                sFacade.GetLastError());
  }
  SContext sContext{sFacade, sOut};
  std::string strReason;
  try {
    if (sCommand.fnRun(sContext)) {
      sOut.Finish();
      return EXIT_OK;
    }
    strReason = sFacade.GetLastError();
  } catch (const OperationError& e) {
    strReason = e.what();
  }
  return Fail(sOut, strOperation, sCommand.fnResource(), strReason);
}

// "acw help [COMMAND]".
int PrintHelp(const CLI::App& app, const std::string& strTopic) {
  if (strTopic.empty()) {
    // app.help() would explain the chosen subcommand, "help" itself.
    std::cout << app.get_formatter()->make_help(&app, app.get_name(), CLI::AppFormatMode::Normal);
    return EXIT_OK;
  }
  for (const CLI::App* pSub : app.get_subcommands([](const CLI::App*) { return true; })) {
    if (pSub->get_name() == strTopic) {
      std::cout << pSub->help(app.get_name());
      return EXIT_OK;
    }
  }
  throw UsageError("no command '" + strTopic + "'");
}

int Run(int argc, char** argv) {
  CLI::App app("acw: Alibaba Cloud compute, storage and network operations from the shell", "acw");
  app.footer(FOOTER);
  app.set_version_flag("--version", std::string("acw ") + ACW_VERSION);
  SGlobals sGlobals;
  app.add_flag("--json", sGlobals.bJson, "print one JSON document instead of key: value lines");
  app.add_option("--profile", sGlobals.strProfile, "the profile of ~/.aliyun/config.json to use");
  app.add_flag("--emulator", sGlobals.bEmulator,
               "run against an emulator started inside the tool, on loopback (no account needed)");
  // The global options may also follow the command's name.
  app.fallthrough();
  app.require_subcommand(0, 1);

  CommandTable sTable(app);
  RegisterSessionCommands(sTable);
  RegisterStorageCommands(sTable);
  RegisterNetworkCommands(sTable);
  RegisterDatabaseCommands(sTable);
  RegisterComputeCommands(sTable);
  RegisterBackupCommands(sTable);
  RegisterRestoreCommands(sTable);
  CLI::App* pHelp = app.add_subcommand("help", "this text, or the options of one command");
  std::string strTopic;
  pHelp->add_option("command", strTopic, "the command to explain");

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {  // --help, --version
    return app.exit(e);
  } catch (const CLI::ExtrasError& e) {
    if (sTable.Chosen() == nullptr && !pHelp->parsed()) {
      for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-') throw UsageError("unknown command '" + std::string(argv[i]) + "'");
      }
    }
    throw UsageError(e.what());
  } catch (const CLI::ParseError& e) {
    throw UsageError(e.what());
  }
  if (pHelp->parsed()) return PrintHelp(app, strTopic);
  const SCommand* pCommand = sTable.Chosen();
  if (pCommand == nullptr) throw UsageError("no command given");
  return Execute(*pCommand, sGlobals);
}

}  // namespace

}  // namespace acw

int main(int argc, char** argv) {
  try {
    return acw::Run(argc, argv);
  } catch (const acw::UsageError& e) {
    std::cerr << "acw: " << e.what() << "\nrun 'acw help' or 'acw help COMMAND' for the commands and options\n";
    // A script that asked for JSON gets its one document also for a command
    // line the tool could not act on.
    if (std::find(argv + 1, argv + argc, std::string("--json")) != argv + argc) {
      acw::Output sOut(true, std::cout);
      sOut.Error("usage", "the command line", e.what(), "");
      sOut.Finish();
    }
    return acw::EXIT_USAGE;
  } catch (const std::exception& e) {
    std::cerr << "acw: " << e.what() << "\n";
    return acw::EXIT_FAILED;
  }
}
