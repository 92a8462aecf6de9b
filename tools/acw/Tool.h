// The pieces every acw subcommand is built from.
//
// A subcommand is one Register function in a commands_*.cpp file: it asks the
// CommandTable for a new SCommand, adds its options to the command's CLI11 app
// (values bound into a struct the run function shares), says what resource it
// acts on, and sets the run function. main.cpp does the rest for every command
// alike: global options, credentials, the emulator, Connect, output, errors and
// exit status.
#pragma once

#include "Output.h"

#include <AliCloudWrapper/AliCloudWrapper.h>

#include <CLI/CLI.hpp>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace acw {

constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

// A command line or set-up the tool cannot act on; nothing was sent. Exit 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An operation that failed for a reason the tool found itself (a bounded wait
// ran out, an answer lacks what was asked for). Exit 1, the text as the reason.
class OperationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What a run function works with.
struct SContext {
  AliCloudWrapper::CAliCloudWrapper& sFacade;
  Output& sOut;
};

struct SCommand {
  CLI::App* pApp = nullptr;
  // Connect (prove the access key) before running; false for commands that
  // need no credentials.
  bool bNeedsConnect = true;
  // Also connect the database service (ConnectRDS) with the same key.
  bool bNeedsDatabase = false;
  // The command's --region value, filled from the defaults after parsing when
  // not given; null for commands without --region.
  std::string* pRegion = nullptr;
  bool bNeedsRegion = false;
  // Checks that need the defaults filled in (a region, say); throws
  // UsageError. Runs before anything is sent. May be empty.
  std::function<void()> fnCheck;
  // What the command acts on, for error messages: "disk d-123".
  std::function<std::string()> fnResource;
  // True on success; false when a facade call failed (its last error is the
  // reason). Throws OperationError or UsageError for the tool's own reasons.
  std::function<bool(SContext&)> fnRun;
};

class CommandTable {
 public:
  explicit CommandTable(CLI::App& app) : m_app(app) {}

  // A new subcommand; the caller adds its options and sets fnRun.
  SCommand& Add(const std::string& strName, const std::string& strSummary);
  // Adds "--region" (default: ALIBABA_CLOUD_REGION_ID, then the profile's
  // region). bRequired: the command cannot run without a region.
  static void AddRegion(SCommand& sCommand, std::string& strRegion, bool bRequired);

  // The command the command line chose, or null.
  SCommand* Chosen() const;

 private:
  CLI::App& m_app;
  std::vector<std::unique_ptr<SCommand>> m_vecCommands;  // stable addresses for the bindings
};

// Each area's subcommands (a new area is a new file and one line in main.cpp).
void RegisterSessionCommands(CommandTable& sTable);
void RegisterStorageCommands(CommandTable& sTable);
void RegisterNetworkCommands(CommandTable& sTable);
void RegisterDatabaseCommands(CommandTable& sTable);
void RegisterComputeCommands(CommandTable& sTable);
void RegisterBackupCommands(CommandTable& sTable);
void RegisterRestoreCommands(CommandTable& sTable);

}  // namespace acw
