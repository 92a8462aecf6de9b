// Restore of a backup into a new instance, and the removal of what a restore
// made: "acw restore", "acw delete-instance", "acw delete-image".
//
// A restore makes, in order: an image from the backup's snapshots, an
// instance from that image (created stopped), starts it, then gives it the
// extras its source had (an elastic IP, a public IP, its further security
// groups). When a step fails, what this run made is removed again, so nothing
// half made stays billed: the instance (stopped first), a new elastic IP it
// held, the image, then the instance's disks that outlived it.
// --keep-on-failure keeps it all for inspection.
#include "Awaits.h"
#include "Manifest.h"
#include "Tool.h"

#include <algorithm>

namespace acw {

namespace {

using AliCloudWrapper::SVMInfoLib;

constexpr const char* RUNNING = "Running";
constexpr const char* STOPPED = "Stopped";

// What a removal achieved: each resource as "instance i-..." or "disk d-...".
struct SRemoval {
  std::vector<std::string> vecRemoved;
  std::vector<std::string> vecLeft;  // "disk d-1: <reason>"
};

// Stops the instance when it runs and deletes it; true when it is gone.
// sInstance gets its record as it was before (its disks and elastic IP, for
// what must go after it). Records every outcome in sRemoval; never throws for
// the service's refusals.
bool RemoveInstance(SContext& sContext, const std::string& strInstanceId, const SWaitBounds& sBounds,
                    SVMInfoLib& sInstance, SRemoval& sRemoval) {
  auto& sFacade = sContext.sFacade;
  const std::string strWhat = "instance " + strInstanceId;
  auto fnLeft = [&] {
    sRemoval.vecLeft.push_back(strWhat + ": " + sFacade.GetLastError());
    return false;
  };
  if (!sFacade.GetVMInfoForVM(strInstanceId, sInstance, AliCloudWrapper::VM_PROP_VM_DISK_LIST, 0)) return fnLeft();
  try {
    if (sInstance.strStatus != STOPPED) {
      // A starting or running instance cannot be deleted: stop it first.
      if (sInstance.strStatus == RUNNING && !sFacade.PowerOffInstance(strInstanceId, true, true, false)) {
        return fnLeft();
      }
      if (!AwaitInstanceStatus(sContext, strInstanceId, STOPPED, sBounds)) return fnLeft();
    }
  } catch (const OperationError& e) {
    sRemoval.vecLeft.push_back(strWhat + ": " + e.what());
    return false;
  }
  if (!sFacade.DeleteInstance(strInstanceId)) return fnLeft();
  sRemoval.vecRemoved.push_back(strWhat);
  return true;
}

// Releases the elastic IP strAllocationId that the instance sInstance held.
// The service keeps an address when its instance is deleted and releases only
// an unbound one, so this runs after the instance is gone (bInstanceGone) and
// waits until the address shows unbound.
void RemoveAddress(SContext& sContext, const SVMInfoLib& sInstance, const std::string& strAllocationId,
                   bool bInstanceGone, const SWaitBounds& sBounds, SRemoval& sRemoval) {
  auto& sFacade = sContext.sFacade;
  const std::string strWhat = "eip " + strAllocationId;
  if (!bInstanceGone) {
    sRemoval.vecLeft.push_back(strWhat + ": still bound to instance " + sInstance.strInstanceId +
                               ", which was not removed");
    return;
  }
  try {
    if (!AwaitAddressUnbound(sContext, sInstance.strRegionId, strAllocationId, sBounds) ||
        !sFacade.ReleaseEIPAddress(strAllocationId)) {
      sRemoval.vecLeft.push_back(strWhat + ": " + sFacade.GetLastError());
      return;
    }
  } catch (const OperationError& e) {
    sRemoval.vecLeft.push_back(strWhat + ": " + e.what());
    return;
  }
  sRemoval.vecRemoved.push_back(strWhat);
}

// Deletes those of the deleted instance's disks that outlived it (a data
// disk not deleted with its instance).
void RemoveDisks(SContext& sContext, const SVMInfoLib& sInstance, SRemoval& sRemoval) {
  auto& sFacade = sContext.sFacade;
  for (const auto& sDisk : sInstance.vecDisks) {
    const std::string strWhat = "disk " + sDisk.strDiskId;
    bool bExists = true;
    if (!sFacade.DoesDiskExist(sInstance.strRegionId, sDisk.strDiskId, bExists)) {
      sRemoval.vecLeft.push_back(strWhat + ": " + sFacade.GetLastError());
    } else if (bExists && !sFacade.DeleteDisk(sDisk.strDiskId)) {
      sRemoval.vecLeft.push_back(strWhat + ": " + sFacade.GetLastError());
    } else if (bExists) {
      sRemoval.vecRemoved.push_back(strWhat);
    }
  }
}

void RemoveImage(SContext& sContext, const std::string& strRegion, const std::string& strImageId,
                 SRemoval& sRemoval) {
  if (sContext.sFacade.DeleteImage(strRegion, strImageId, false)) {
    sRemoval.vecRemoved.push_back("image " + strImageId);
  } else {
    sRemoval.vecLeft.push_back("image " + strImageId + ": " + sContext.sFacade.GetLastError());
  }
}

std::string Listed(const std::vector<std::string>& vecItems) {
  std::string strText;
  for (const std::string& strItem : vecItems) strText += (strText.empty() ? "" : "; ") + strItem;
  return strText.empty() ? "nothing" : strText;
}

// One restore run: what it made so far, to remove again on failure.
class RestoreRun {
 public:
  RestoreRun(SContext& sContext, const SBackupManifest& sManifest, const SWaitBounds& sBounds)
      : m_sContext(sContext), m_sManifest(sManifest), m_sBounds(sBounds) {}

  // Runs every step; throws OperationError naming the failed step.
  void Run(SVMInfoLib sTarget) {
    const std::string& strRegion = sTarget.strRegionId;
    MakeImage(strRegion);
    Require(m_sContext.sFacade.CreateInstance(sTarget, m_strImageId, m_sManifest.strConfigDocument, m_strInstanceId),
            "the instance creation");
    m_sContext.sOut.Field("instance-id", m_strInstanceId);
    Require(AwaitInstanceStatus(m_sContext, m_strInstanceId, STOPPED, m_sBounds), "the wait for the new instance");
    Require(m_sContext.sFacade.PowerOnInstance(m_strInstanceId), "the start of the instance");
    Require(AwaitInstanceStatus(m_sContext, m_strInstanceId, RUNNING, m_sBounds), "the wait for the start");
    // The instance was created in the first of the backed-up groups; the
    // others are joined here.
    SVMInfoLib sRestored = sTarget;
    sRestored.strInstanceId = m_strInstanceId;
    Require(m_sContext.sFacade.AddPeripheralComponents(sRestored, m_sManifest.strConfigDocument),
            "the peripheral components");
  }

  // Removes what the run made, each after what depends on it: the instance
  // (which uses the image and holds the disks and the address), a new elastic
  // IP it held, the image, then the disks that outlived the instance.
  SRemoval Undo() {
    SRemoval sRemoval;
    SVMInfoLib sInstance;
    bool bInstanceGone = true;
    if (!m_strInstanceId.empty()) {
      bInstanceGone = RemoveInstance(m_sContext, m_strInstanceId, m_sBounds, sInstance, sRemoval);
    }
    const std::string strAddress = NewAddress(sInstance);
    if (!strAddress.empty()) RemoveAddress(m_sContext, sInstance, strAddress, bInstanceGone, m_sBounds, sRemoval);
    if (!m_strImageId.empty()) RemoveImage(m_sContext, m_sManifest.sInstance.strRegionId, m_strImageId, sRemoval);
    RemoveDisks(m_sContext, sInstance, sRemoval);
    return sRemoval;
  }

  // What the run made, the new instance's elastic IP read from the service.
  std::vector<std::string> Made() {
    std::vector<std::string> vecMade;
    if (!m_strImageId.empty()) vecMade.push_back("image " + m_strImageId);
    if (m_strInstanceId.empty()) return vecMade;
    vecMade.push_back("instance " + m_strInstanceId);
    SVMInfoLib sInstance;
    if (m_sContext.sFacade.GetVMInfoForVM(m_strInstanceId, sInstance, 0, 0) && !NewAddress(sInstance).empty()) {
      vecMade.push_back("eip " + NewAddress(sInstance));
    }
    return vecMade;
  }

  const std::string& InstanceId() const { return m_strInstanceId; }

 private:
  // The allocation id of the elastic IP the new instance holds when this run
  // made it; empty when it holds none or the source's own address, which
  // stays its owner's.
  std::string NewAddress(const SVMInfoLib& sInstance) const {
    const std::string& strHeld = sInstance.sElasticIPAddress.strAllocationId;
    return strHeld == m_sManifest.sInstance.sElasticIPAddress.strAllocationId ? std::string() : strHeld;
  }

  void MakeImage(const std::string& strRegion) {
    std::vector<std::string> vecDataSnapshots;
    for (size_t i = 1; i < m_sManifest.vecDisks.size(); ++i) {
      vecDataSnapshots.push_back(m_sManifest.vecDisks[i].strSnapshotId);
    }
    const SVMInfoLib& sSource = m_sManifest.sInstance;
    Require(m_sContext.sFacade.CreateImageFromDiskSnapshots(
                strRegion, m_sManifest.vecDisks.front().strSnapshotId, vecDataSnapshots, sSource.strArchitecture,
                sSource.strOSName, m_strImageId, "acw-restore-" + sSource.strInstanceId,
                "acw restore of " + sSource.strInstanceId + " from the backup of " + m_sManifest.strCreated),
            "the image creation");
    m_sContext.sOut.Field("image-id", m_strImageId);
    AwaitImage(m_sContext, strRegion, m_strImageId, m_sBounds);
  }

  void Require(bool bDone, const std::string& strStep) {
    if (!bDone) throw OperationError(strStep + " failed: " + m_sContext.sFacade.GetLastError());
  }

  SContext& m_sContext;
  const SBackupManifest& m_sManifest;
  const SWaitBounds& m_sBounds;
  std::string m_strImageId, m_strInstanceId;
};

// The backed-up private address is asked for again only when no instance of
// the region holds it (the original may still run): the service refuses a
// taken one, and then chooses a free address of the VSwitch itself.
bool KeepFreePrivateAddress(SContext& sContext, SVMInfoLib& sTarget) {
  auto& vecAddresses = sTarget.sNetworkInfo.vecPrivateIpAddresses;
  if (vecAddresses.empty()) return true;
  std::vector<SVMInfoLib> vecInstances;
  if (!sContext.sFacade.GetVMInfoListForRegion(sTarget.strRegionId, vecInstances, "")) return false;
  for (const SVMInfoLib& sInstance : vecInstances) {
    const auto& vecHeld = sInstance.sNetworkInfo.vecPrivateIpAddresses;
    if (std::find(vecHeld.begin(), vecHeld.end(), vecAddresses.front()) != vecHeld.end()) {
      sContext.sOut.Field("private-ip-taken", vecAddresses.front() + " (by " + sInstance.strInstanceId + ")");
      vecAddresses.clear();
      break;
    }
  }
  return true;
}

// The restored instance as the service now describes it: its disks, address
// and groups, so the operator sees the restore is whole.
void PrintRestored(SContext& sContext, const std::string& strInstanceId) {
  SVMInfoLib sInstance;
  if (!sContext.sFacade.GetVMInfoForVM(strInstanceId, sInstance, AliCloudWrapper::VM_PROP_VM_DISK_LIST, 0)) {
    throw OperationError("the restored instance " + strInstanceId + " cannot be read back: " +
                         sContext.sFacade.GetLastError());
  }
  sContext.sOut.Field("status", sInstance.strStatus);
  sContext.sOut.Field("zone", sInstance.strZoneId);
  sContext.sOut.Values("private-ip", sInstance.sNetworkInfo.vecPrivateIpAddresses);
  sContext.sOut.Values("public-ip", sInstance.vecPublicIpAddresses);
  sContext.sOut.Field("eip-address", sInstance.sElasticIPAddress.strIpAddress);
  sContext.sOut.Field("eip-allocation-id", sInstance.sElasticIPAddress.strAllocationId);
  std::vector<std::string> vecGroups;
  for (const auto& sGroup : sInstance.vecSecurityGroups) vecGroups.push_back(sGroup.strSecurityGroupId);
  sContext.sOut.Values("security-group", vecGroups);
  std::vector<Record> vecDisks;
  for (const auto& sDisk : sInstance.vecDisks) {
    vecDisks.push_back({{"disk-id", sDisk.strDiskId},
                        {"system", sDisk.bIsSystemDisk ? "yes" : "no"},
                        {"category", sDisk.strCategory},
                        {"size-gib", std::to_string(sDisk.nSize)},
                        {"status", sDisk.strStatus}});
  }
  sContext.sOut.Table("disks", vecDisks);
}

void AddRestore(CommandTable& sTable) {
  struct SOptions {
    std::string strPath, strZone, strVSwitch, strName;
    bool bKeepOnFailure = false;
    SWaitBounds sBounds;
    SBackupManifest sManifest;
  };
  auto pOptions = std::make_shared<SOptions>();
  SCommand& sCommand = sTable.Add(
      "restore",
      "a new instance from a backup manifest: image, instance, start, addresses and groups; undone on failure");
  CLI::App& app = *sCommand.pApp;
  app.add_option("--manifest", pOptions->strPath, "the backup manifest")->required();
  app.add_option("--zone", pOptions->strZone, "zone of the new instance (default: the backed-up one's)");
  app.add_option("--vswitch", pOptions->strVSwitch, "VSwitch of the new instance (default: the backed-up one's)");
  app.add_option("--name", pOptions->strName, "name of the new instance (default: the backed-up one's)");
  app.add_flag("--keep-on-failure", pOptions->bKeepOnFailure, "on failure keep what this run made");
  pOptions->sBounds.AddOptions(app);
  sCommand.fnResource = [pOptions] { return "the backup " + pOptions->strPath; };
  sCommand.fnCheck = [pOptions] { pOptions->sManifest = ReadManifest(pOptions->strPath); };
  sCommand.fnRun = [pOptions](SContext& sContext) {
    const SBackupManifest& sManifest = pOptions->sManifest;
    SVMInfoLib sTarget = sManifest.sInstance;
    if (!pOptions->strZone.empty()) sTarget.strZoneId = pOptions->strZone;
    if (!pOptions->strName.empty()) sTarget.strInstanceName = pOptions->strName;
    if (!pOptions->strVSwitch.empty() || !pOptions->strZone.empty()) {
      // A private address belongs to its VSwitch: in another one the service
      // chooses.
      if (!pOptions->strVSwitch.empty()) sTarget.sNetworkInfo.strVSwitchId = pOptions->strVSwitch;
      sTarget.sNetworkInfo.vecPrivateIpAddresses.clear();
    }
    for (const SManifestDisk& sEntry : sManifest.vecDisks) sTarget.vecDisks.push_back(sEntry.sDisk);
    if (!KeepFreePrivateAddress(sContext, sTarget)) return false;
    sContext.sOut.Field("source-instance-id", sManifest.sInstance.strInstanceId);
    RestoreRun sRun(sContext, sManifest, pOptions->sBounds);
    try {
      sRun.Run(sTarget);
    } catch (const OperationError& e) {
      if (pOptions->bKeepOnFailure) {
        sContext.sOut.Values("kept", sRun.Made());
        throw OperationError(std::string(e.what()) + "; kept (--keep-on-failure): " + Listed(sRun.Made()));
      }
      const SRemoval sRemoval = sRun.Undo();
      sContext.sOut.Values("removed", sRemoval.vecRemoved);
      sContext.sOut.Values("not-removed", sRemoval.vecLeft);
      throw OperationError(std::string(e.what()) + "; removed: " + Listed(sRemoval.vecRemoved) +
                           "; could not remove: " + Listed(sRemoval.vecLeft));
    }
    PrintRestored(sContext, sRun.InstanceId());
    return true;
  };
}

void AddDeleteInstance(CommandTable& sTable) {
  struct SOptions {
    std::string strInstance;
    bool bWithDisks = false, bWithEip = false;
    SWaitBounds sBounds;
  };
  auto pOptions = std::make_shared<SOptions>();
  SCommand& sCommand = sTable.Add("delete-instance", "stop an instance when it runs, and delete it");
  sCommand.pApp->add_option("--instance", pOptions->strInstance, "instance id")->required();
  sCommand.pApp->add_flag("--with-disks", pOptions->bWithDisks, "also delete its disks that outlive it");
  sCommand.pApp->add_flag("--with-eip", pOptions->bWithEip,
                          "also release its elastic IP (the service keeps it otherwise)");
  pOptions->sBounds.AddOptions(*sCommand.pApp);
  sCommand.fnResource = [pOptions] { return "instance " + pOptions->strInstance; };
  sCommand.fnRun = [pOptions](SContext& sContext) {
    SRemoval sRemoval;
    SVMInfoLib sInstance;
    const bool bGone = RemoveInstance(sContext, pOptions->strInstance, pOptions->sBounds, sInstance, sRemoval);
    const std::string& strAddress = sInstance.sElasticIPAddress.strAllocationId;
    if (pOptions->bWithEip && bGone && !strAddress.empty()) {
      RemoveAddress(sContext, sInstance, strAddress, bGone, pOptions->sBounds, sRemoval);
    }
    if (pOptions->bWithDisks && bGone) RemoveDisks(sContext, sInstance, sRemoval);
    sContext.sOut.Values("removed", sRemoval.vecRemoved);
    if (!sRemoval.vecLeft.empty()) throw OperationError("could not remove: " + Listed(sRemoval.vecLeft));
    return true;
  };
}

void AddDeleteImage(CommandTable& sTable) {
  struct SOptions {
    std::string strRegion, strImage;
  };
  auto pOptions = std::make_shared<SOptions>();
  SCommand& sCommand = sTable.Add("delete-image", "delete a custom image");
  CommandTable::AddRegion(sCommand, pOptions->strRegion, true);
  sCommand.pApp->add_option("--image", pOptions->strImage, "image id")->required();
  sCommand.fnResource = [pOptions] { return "image " + pOptions->strImage; };
  sCommand.fnRun = [pOptions](SContext& sContext) {
    if (!sContext.sFacade.DeleteImage(pOptions->strRegion, pOptions->strImage, false)) return false;
    sContext.sOut.Field("deleted", pOptions->strImage);
    return true;
  };
}

}  // namespace

void RegisterRestoreCommands(CommandTable& sTable) {
  AddRestore(sTable);
  AddDeleteInstance(sTable);
  AddDeleteImage(sTable);
}

}  // namespace acw
