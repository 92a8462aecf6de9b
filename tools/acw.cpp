// acw: the library's operations from the shell, one subcommand per facade
// operation. A user of the public API only.
//
// The access key comes from the environment (ACW_ACCESS_KEY_ID,
// ACW_ACCESS_KEY_SECRET), never from the command line, where every user of the
// machine could read it with ps. The settings file (CA bundle, connect-to
// mapping, retries) is the one ACW_SETTINGS names.
//
// Output is one fact per line, "key: value". Exit status: 0 success, 1 the
// operation failed (the library's last error on standard error), 2 usage.
#include <AliCloudWrapper/AliCloudWrapper.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using AliCloudWrapper::CAliCloudWrapper;

constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

// Bounds of the snapshot wait: a real snapshot takes minutes, so the defaults
// allow five minutes; the numbers given on the command line are capped so a
// typing slip cannot make the tool poll for days.
constexpr long long DEFAULT_MAX_POLLS = 150;
constexpr long long DEFAULT_POLL_MS = 2000;
constexpr long long MAX_POLLS_LIMIT = 10000;
constexpr long long MAX_POLL_MS_LIMIT = 60000;

// A command line the tool cannot act on; the text says why.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The options of one invocation: "--name value" pairs and bare "--flag"s.
class Options {
 public:
  Options(std::map<std::string, std::string> mapValues, std::set<std::string> setFlags)
      : m_mapValues(std::move(mapValues)), m_setFlags(std::move(setFlags)) {}

  bool Has(const std::string& strName) const { return m_mapValues.count(strName) != 0; }
  bool Flag(const std::string& strName) const { return m_setFlags.count(strName) != 0; }
  // The value, or strDefault when the option was not given.
  std::string Get(const std::string& strName, const std::string& strDefault = std::string()) const {
    const auto it = m_mapValues.find(strName);
    return it == m_mapValues.end() ? strDefault : it->second;
  }
  // A whole non-negative decimal number no larger than nMax.
  long long Number(const std::string& strName, long long nDefault, long long nMax) const {
    if (!Has(strName)) return nDefault;
    const std::string strValue = Get(strName);
    if (strValue.empty() || strValue.find_first_not_of("0123456789") != std::string::npos) {
      throw UsageError("--" + strName + " wants a whole number, not '" + strValue + "'");
    }
    long long nValue = 0;
    try {
      nValue = std::stoll(strValue);
    } catch (const std::out_of_range&) {
      throw UsageError("--" + strName + " is too large: " + strValue);
    }
    if (nValue > nMax) throw UsageError("--" + strName + " is at most " + std::to_string(nMax));
    return nValue;
  }

 private:
  std::map<std::string, std::string> m_mapValues;
  std::set<std::string> m_setFlags;
};

using Handler = std::function<bool(CAliCloudWrapper&, const Options&)>;

struct SCommand {
  std::string strName;
  std::vector<std::string> vecRequired;  // options that take a value and must be given
  std::vector<std::string> vecOptional;  // options that take a value
  std::vector<std::string> vecFlags;     // options without a value
  bool bNeedsConnect = true;
  std::string strSummary;
  Handler fnRun;
};

void Print(const std::string& strKey, const std::string& strValue) {
  std::cout << strKey << ": " << strValue << "\n";
}

const char* YesNo(bool bValue) { return bValue ? "yes" : "no"; }

void PrintDisk(const AliCloudWrapper::SDiskInfoLib& sDisk) {
  Print("disk-id", sDisk.strDiskId);
  Print("name", sDisk.strDiskName);
  Print("region", sDisk.strRegionId);
  Print("zone", sDisk.strZoneId);
  Print("category", sDisk.strCategory);
  Print("status", sDisk.strStatus);
  Print("size-gib", std::to_string(sDisk.nSize));
  Print("system-disk", YesNo(sDisk.bIsSystemDisk));
  Print("encrypted", YesNo(sDisk.bIsEncrypted));
  Print("delete-with-instance", YesNo(sDisk.bDeleteWithInstance));
}

void PrintSnapshot(const AliCloudWrapper::SSnapshotInfoLib& sSnapshot) {
  Print("snapshot-id", sSnapshot.strSnapshotId);
  Print("name", sSnapshot.strSnapshotName);
  Print("description", sSnapshot.strDescription);
  Print("source-disk-id", sSnapshot.strSourceDiskId);
  Print("progress", std::to_string(sSnapshot.nProgress) + "%");
}

void PrintAddress(const AliCloudWrapper::SElasticIPAddress& sAddress) {
  Print("allocation-id", sAddress.strAllocationId);
  Print("ip-address", sAddress.strIpAddress);
  Print("region", sAddress.strRegionId);
  Print("status", sAddress.strStatus);
  Print("instance-id", sAddress.strInstanceId);
  Print("bandwidth-mbps", sAddress.strBandwidth);
  Print("charge-type", sAddress.strInternetChargeType);
  for (const std::string& strReason : sAddress.vecLockReasons) Print("lock-reason", strReason);
}

// ---- subcommands ----

bool RunConnect(CAliCloudWrapper&, const Options&) {
  Print("connected", "yes");  // main connected before calling
  return true;
}

bool RunInstanceId(CAliCloudWrapper& sFacade, const Options&) {
  std::string strInstanceId;
  sFacade.GetLocalInstanceId(strInstanceId);
  if (strInstanceId.empty()) {
    std::cerr << "acw: no instance id: the instance metadata service did not answer "
                 "(not on a cloud instance?)\n";
    return false;
  }
  Print("instance-id", strInstanceId);
  return true;
}

bool RunDiskInfo(CAliCloudWrapper& sFacade, const Options& sOptions) {
  AliCloudWrapper::SDiskInfoLib sDisk;
  if (!sFacade.GetDiskInfo(sOptions.Get("region"), sOptions.Get("disk"), sDisk)) return false;
  PrintDisk(sDisk);
  return true;
}

// Polls until the snapshot is complete, at most nMaxPolls times, nPollMs apart.
bool WaitForSnapshot(CAliCloudWrapper& sFacade, const std::string& strRegionId,
                     const std::string& strSnapshotId, long long nMaxPolls, long long nPollMs) {
  for (long long nPoll = 1; nPoll <= nMaxPolls; ++nPoll) {
    bool bCompleted = false;
    if (!sFacade.IsSnapshotCompleted(strRegionId, strSnapshotId, bCompleted)) return false;
    if (bCompleted) {
      Print("completed", "yes");
      return true;
    }
    Print("waiting", "poll " + std::to_string(nPoll) + " of " + std::to_string(nMaxPolls) +
                         ": not completed yet");
    std::cout.flush();
    if (nPoll < nMaxPolls) std::this_thread::sleep_for(std::chrono::milliseconds(nPollMs));
  }
  std::cerr << "acw: snapshot " << strSnapshotId << " did not complete within " << nMaxPolls
            << " polls\n";
  return false;
}

bool RunSnapshot(CAliCloudWrapper& sFacade, const Options& sOptions) {
  const bool bWait = sOptions.Flag("wait");
  if (bWait && !sOptions.Has("region")) throw UsageError("--wait needs --region");
  const long long nMaxPolls = sOptions.Number("max-polls", DEFAULT_MAX_POLLS, MAX_POLLS_LIMIT);
  const long long nPollMs = sOptions.Number("poll-ms", DEFAULT_POLL_MS, MAX_POLL_MS_LIMIT);
  if (nMaxPolls == 0) throw UsageError("--max-polls must be at least 1");

  AliCloudWrapper::SSnapshotInfoLib sSnapshot;
  if (!sFacade.CreateSnapshot(sOptions.Get("disk"), sSnapshot, sOptions.Get("name"),
                              sOptions.Get("description"))) {
    return false;
  }
  Print("snapshot-id", sSnapshot.strSnapshotId);
  Print("source-disk-id", sSnapshot.strSourceDiskId);
  std::cout.flush();
  if (!bWait) return true;
  return WaitForSnapshot(sFacade, sOptions.Get("region"), sSnapshot.strSnapshotId, nMaxPolls, nPollMs);
}

bool RunSnapshotInfo(CAliCloudWrapper& sFacade, const Options& sOptions) {
  AliCloudWrapper::SSnapshotInfoLib sSnapshot;
  if (!sFacade.GetSnapshotInfo(sOptions.Get("region"), sOptions.Get("snapshot"), sSnapshot)) return false;
  PrintSnapshot(sSnapshot);
  return true;
}

bool RunDeleteSnapshot(CAliCloudWrapper& sFacade, const Options& sOptions) {
  if (!sFacade.DeleteSnapshot(sOptions.Get("snapshot"))) return false;
  Print("deleted", sOptions.Get("snapshot"));
  return true;
}

bool RunCreateDisk(CAliCloudWrapper& sFacade, const Options& sOptions) {
  // The largest size any cloud disk can have is far below this; the cap only
  // keeps the number a valid long long.
  const long long nSizeInBytes = sOptions.Number("size-bytes", 0, 1LL << 62);
  AliCloudWrapper::SDiskInfoLib sDisk;
  if (!sFacade.CreateDisk(sOptions.Get("region"), sOptions.Get("zone"), sDisk, sOptions.Get("snapshot"),
                          sOptions.Get("name"), sOptions.Get("category"), nSizeInBytes,
                          sOptions.Flag("encrypted"), sOptions.Get("description"))) {
    return false;
  }
  Print("disk-id", sDisk.strDiskId);
  return true;
}

bool RunDeleteDisk(CAliCloudWrapper& sFacade, const Options& sOptions) {
  if (!sFacade.DeleteDisk(sOptions.Get("disk"))) return false;
  Print("deleted", sOptions.Get("disk"));
  return true;
}

bool RunDetachDisk(CAliCloudWrapper& sFacade, const Options& sOptions) {
  if (!sFacade.DetachDisk(sOptions.Get("instance"), sOptions.Get("disk"), sOptions.Get("region"))) {
    return false;
  }
  Print("detached", sOptions.Get("disk"));
  return true;
}

bool RunVpcs(CAliCloudWrapper& sFacade, const Options& sOptions) {
  std::vector<AliCloudWrapper::SVPCInfoLib> vecVpcs;
  if (!sFacade.GetVPCListInRegion(sOptions.Get("region"), vecVpcs)) return false;
  Print("count", std::to_string(vecVpcs.size()));
  for (const auto& sVpc : vecVpcs) Print("vpc", sVpc.strVpcId + " name=" + sVpc.strVpcName);
  return true;
}

bool RunSecurityGroups(CAliCloudWrapper& sFacade, const Options& sOptions) {
  std::vector<AliCloudWrapper::SSecurityGroupInfoLib> vecGroups;
  if (!sFacade.GetSecurityGroupList(sOptions.Get("region"), vecGroups)) return false;
  Print("count", std::to_string(vecGroups.size()));
  for (const auto& sGroup : vecGroups) {
    Print("security-group",
          sGroup.strSecurityGroupId + " name=" + sGroup.strSecurityGroupName + " vpc=" + sGroup.strVpcId);
  }
  return true;
}

bool RunEipCreate(CAliCloudWrapper& sFacade, const Options& sOptions) {
  std::string strAllocationId;
  if (!sFacade.CreateEIPAddress(sOptions.Get("region"), strAllocationId, sOptions.Get("bandwidth"),
                                sOptions.Get("charge-type"))) {
    return false;
  }
  Print("allocation-id", strAllocationId);
  return true;
}

bool RunEipInfo(CAliCloudWrapper& sFacade, const Options& sOptions) {
  AliCloudWrapper::SElasticIPAddress sAddress;
  if (!sFacade.GetElasticIPAddress(sOptions.Get("region"), sOptions.Get("allocation"), sAddress)) {
    return false;
  }
  PrintAddress(sAddress);
  return true;
}

bool RunEipBind(CAliCloudWrapper& sFacade, const Options& sOptions) {
  if (!sFacade.BindEIPToInstance(sOptions.Get("allocation"), sOptions.Get("instance"))) return false;
  Print("bound", sOptions.Get("allocation") + " to " + sOptions.Get("instance"));
  return true;
}

bool RunPublicIp(CAliCloudWrapper& sFacade, const Options& sOptions) {
  std::string strAddress;
  if (!sFacade.AssociatePublicIP(sOptions.Get("instance"), strAddress)) return false;
  Print("public-ip", strAddress);
  return true;
}

const std::vector<SCommand>& Commands() {
  static const std::vector<SCommand> vecCommands = {
      {"connect", {}, {}, {}, true, "check the access key with the compute service", RunConnect},
      {"instance-id", {}, {}, {}, false, "the id of the cloud instance this runs on (metadata service)",
       RunInstanceId},
      {"disk-info", {"region", "disk"}, {}, {}, true, "one disk's record", RunDiskInfo},
      {"snapshot", {"disk"}, {"name", "description", "region", "max-polls", "poll-ms"}, {"wait"}, true,
       "snapshot a disk; with --wait (needs --region) poll until it is complete", RunSnapshot},
      {"snapshot-info", {"region", "snapshot"}, {}, {}, true, "one snapshot's record", RunSnapshotInfo},
      {"delete-snapshot", {"snapshot"}, {}, {}, true, "delete a snapshot", RunDeleteSnapshot},
      {"create-disk", {"region", "zone", "snapshot"}, {"name", "category", "size-bytes", "description"},
       {"encrypted"}, true, "a new disk from a snapshot (size 0 or absent: the snapshot's)", RunCreateDisk},
      {"delete-disk", {"disk"}, {}, {}, true, "delete a disk", RunDeleteDisk},
      {"detach-disk", {"instance", "disk"}, {"region"}, {}, true,
       "detach a disk and wait until it is detached (without --region, the instance's region is looked up)", RunDetachDisk},
      {"vpcs", {"region"}, {}, {}, true, "the region's VPCs", RunVpcs},
      {"security-groups", {"region"}, {}, {}, true, "the region's security groups", RunSecurityGroups},
      {"eip-create", {"region"}, {"bandwidth", "charge-type"}, {}, true,
       "allocate an elastic IP (bandwidth in Mbit/s)", RunEipCreate},
      {"eip-info", {"region", "allocation"}, {}, {}, true, "one elastic IP's record", RunEipInfo},
      {"eip-bind", {"allocation", "instance"}, {}, {}, true, "bind an elastic IP to an instance", RunEipBind},
      {"public-ip", {"instance"}, {}, {}, true, "give an instance a public IP address", RunPublicIp},
  };
  return vecCommands;
}

std::string Synopsis(const SCommand& sCommand) {
  std::string strText = sCommand.strName;
  for (const auto& strName : sCommand.vecRequired) strText += " --" + strName + " V";
  for (const auto& strName : sCommand.vecOptional) strText += " [--" + strName + " V]";
  for (const auto& strName : sCommand.vecFlags) strText += " [--" + strName + "]";
  return strText;
}

void PrintHelp(std::ostream& out) {
  out << "usage: acw <command> [options]\n\n"
         "The access key is read from ACW_ACCESS_KEY_ID and ACW_ACCESS_KEY_SECRET, the\n"
         "settings from the file ACW_SETTINGS names. Exit status: 0 success, 1 failure\n"
         "(the reason on standard error), 2 usage.\n\ncommands:\n";
  for (const SCommand& sCommand : Commands()) {
    out << "  " << Synopsis(sCommand) << "\n      " << sCommand.strSummary << "\n";
  }
  out << "  help\n      this text\n";
}

bool Contains(const std::vector<std::string>& vecNames, const std::string& strName) {
  for (const auto& strEntry : vecNames) {
    if (strEntry == strName) return true;
  }
  return false;
}

// Reads the options after the command name against what the command accepts.
Options ParseOptions(const SCommand& sCommand, int argc, char** argv) {
  std::map<std::string, std::string> mapValues;
  std::set<std::string> setFlags;
  for (int i = 2; i < argc; ++i) {
    const std::string strArg = argv[i];
    if (strArg.rfind("--", 0) != 0 || strArg.size() == 2) throw UsageError("unexpected argument '" + strArg + "'");
    const std::string strName = strArg.substr(2);
    if (Contains(sCommand.vecFlags, strName)) {
      setFlags.insert(strName);
    } else if (Contains(sCommand.vecRequired, strName) || Contains(sCommand.vecOptional, strName)) {
      if (i + 1 >= argc) throw UsageError(strArg + " wants a value");
      if (!mapValues.emplace(strName, argv[++i]).second) throw UsageError(strArg + " given twice");
    } else {
      throw UsageError("'" + sCommand.strName + "' has no option " + strArg);
    }
  }
  for (const auto& strName : sCommand.vecRequired) {
    if (mapValues.count(strName) == 0) throw UsageError("'" + sCommand.strName + "' needs --" + strName);
  }
  return Options(std::move(mapValues), std::move(setFlags));
}

std::string FromEnvironment(const char* pszName) {
  const char* pszValue = std::getenv(pszName);
  return pszValue == nullptr ? std::string() : std::string(pszValue);
}

int Run(int argc, char** argv) {
  if (argc < 2) throw UsageError("no command given");
  const std::string strCommand = argv[1];
  if (strCommand == "help" || strCommand == "--help" || strCommand == "-h") {
    PrintHelp(std::cout);
    return EXIT_OK;
  }
  const SCommand* pCommand = nullptr;
  for (const SCommand& sCommand : Commands()) {
    if (sCommand.strName == strCommand) pCommand = &sCommand;
  }
  if (pCommand == nullptr) throw UsageError("unknown command '" + strCommand + "'");
  const Options sOptions = ParseOptions(*pCommand, argc, argv);

  CAliCloudWrapper sFacade;
  if (pCommand->bNeedsConnect) {
    const std::string strKeyId = FromEnvironment("ACW_ACCESS_KEY_ID");
    const std::string strSecret = FromEnvironment("ACW_ACCESS_KEY_SECRET");
    if (strKeyId.empty() || strSecret.empty()) {
      throw UsageError("set ACW_ACCESS_KEY_ID and ACW_ACCESS_KEY_SECRET in the environment");
    }
    if (!sFacade.Connect(strKeyId, strSecret)) {
      std::cerr << "acw: connect failed: " << sFacade.GetLastError() << "\n";
      return EXIT_FAILED;
    }
  }
  // Only Connect clears the last error, so an empty text after a failure means
  // the tool itself explained the failure already.
  if (pCommand->fnRun(sFacade, sOptions)) return EXIT_OK;
  const std::string strError = sFacade.GetLastError();
  if (!strError.empty()) std::cerr << "acw: " << strCommand << " failed: " << strError << "\n";
  return EXIT_FAILED;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const UsageError& e) {
    std::cerr << "acw: " << e.what() << "\nrun 'acw help' for the commands and their options\n";
    return EXIT_USAGE;
  } catch (const std::exception& e) {
    std::cerr << "acw: " << e.what() << "\n";
    return EXIT_FAILED;
  }
}
