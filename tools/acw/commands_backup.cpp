// Backup of an instance and the removal of a backup: "acw backup" snapshots
// every disk of an instance and writes a manifest of what it took; "acw
// cleanup" deletes the snapshots a manifest lists.
#include "Awaits.h"
#include "Manifest.h"
#include "Tool.h"

#include <sys/stat.h>

namespace acw {

namespace {

using AliCloudWrapper::SVMInfoLib;

bool FileExists(const std::string& strPath) {
  struct stat sInfo {};
  return ::stat(strPath.c_str(), &sInfo) == 0;
}

std::string Listed(const std::vector<std::string>& vecIds) {
  std::string strText;
  for (const std::string& strId : vecIds) strText += (strText.empty() ? "" : ", ") + strId;
  return strText;
}

// Ends a backup that could not complete: the snapshots it made stay (they
// may be all an operator has) and are listed, in the output and the reason.
[[noreturn]] void StopBackup(Output& sOut, const std::vector<std::string>& vecMade, const std::string& strReason) {
  sOut.Values("snapshots-made", vecMade);
  throw OperationError(strReason + "; " +
                       (vecMade.empty() ? std::string("no snapshot was made")
                                        : "the snapshots already made (kept, no manifest written): " +
                                              Listed(vecMade)));
}

Record DiskRow(const SManifestDisk& sEntry) {
  return {{"order", std::to_string(sEntry.nOrder)},
          {"device", sEntry.strDevice},
          {"disk-id", sEntry.sDisk.strDiskId},
          {"system", sEntry.sDisk.bIsSystemDisk ? "yes" : "no"},
          {"size-gib", std::to_string(sEntry.sDisk.nSize)},
          {"snapshot-id", sEntry.strSnapshotId}};
}

// Snapshots each disk in order, waiting for each before the next, so a
// failure stops with as little made as possible.
void SnapshotDisks(SContext& sContext, const std::string& strRegion, const std::string& strInstanceId,
                   std::vector<SManifestDisk>& vecDisks, const SWaitBounds& sBounds) {
  std::vector<std::string> vecMade;
  for (SManifestDisk& sEntry : vecDisks) {
    const std::string& strDiskId = sEntry.sDisk.strDiskId;
    AliCloudWrapper::SSnapshotInfoLib sSnapshot;
    if (!sContext.sFacade.CreateSnapshot(strDiskId, sSnapshot,
                                         "acw-backup-" + strInstanceId + "-" + std::to_string(sEntry.nOrder),
                                         "acw backup of " + strInstanceId + " disk " + strDiskId)) {
      StopBackup(sContext.sOut, vecMade, "the snapshot of disk " + strDiskId + " was refused: " +
                                             sContext.sFacade.GetLastError());
    }
    vecMade.push_back(sSnapshot.strSnapshotId);
    sEntry.strSnapshotId = sSnapshot.strSnapshotId;
    bool bCompleted = false;
    try {
      bCompleted = AwaitSnapshot(sContext, strRegion, sSnapshot.strSnapshotId, sBounds, false);
    } catch (const OperationError& e) {
      StopBackup(sContext.sOut, vecMade, e.what());
    }
    if (!bCompleted) {
      StopBackup(sContext.sOut, vecMade, "snapshot " + sSnapshot.strSnapshotId + " of disk " + strDiskId +
                                             " failed: " + sContext.sFacade.GetLastError());
    }
  }
}

std::string DefaultManifestPath(const std::string& strInstanceId) {
  std::string strStamp = UtcNow();
  std::string strCompact;
  for (char c : strStamp) {
    if (c != ':' && c != '-') strCompact += c;
  }
  return "acw-backup-" + strInstanceId + "-" + strCompact + ".json";
}

void AddBackup(CommandTable& sTable) {
  struct SOptions {
    std::string strInstance, strOut;
    SWaitBounds sBounds;
  };
  auto pOptions = std::make_shared<SOptions>();
  SCommand& sCommand = sTable.Add(
      "backup", "snapshot every disk of an instance, wait for each, and write a backup manifest");
  CLI::App& app = *sCommand.pApp;
  app.add_option("--instance", pOptions->strInstance, "instance id")->required();
  app.add_option("--out", pOptions->strOut,
                 "the manifest file to write (default: acw-backup-<instance>-<time>.json); never overwritten");
  pOptions->sBounds.AddOptions(app);
  sCommand.fnResource = [pOptions] { return "instance " + pOptions->strInstance; };
  sCommand.fnCheck = [pOptions] {
    if (pOptions->strOut.empty()) pOptions->strOut = DefaultManifestPath(pOptions->strInstance);
    // An older manifest is the only record of its snapshots: never replaced.
    if (FileExists(pOptions->strOut)) throw UsageError(pOptions->strOut + " exists; choose another --out");
  };
  sCommand.fnRun = [pOptions](SContext& sContext) {
    SBackupManifest sManifest;
    SVMInfoLib& sInstance = sManifest.sInstance;
    if (!sContext.sFacade.GetVMInfoAndConfigFile(pOptions->strInstance, AliCloudWrapper::VM_PROP_VM_DISK_LIST, 0,
                                                 sInstance, sManifest.strConfigDocument)) {
      return false;
    }
    sManifest.vecDisks = DisksInOrder(sInstance.vecDisks);
    sInstance.vecDisks.clear();
    if (sManifest.vecDisks.empty() || !sManifest.vecDisks.front().sDisk.bIsSystemDisk) {
      throw OperationError("the instance's record lists no system disk; nothing was made");
    }
    sContext.sOut.Field("instance-id", sInstance.strInstanceId);
    sContext.sOut.Field("region", sInstance.strRegionId);
    SnapshotDisks(sContext, sInstance.strRegionId, sInstance.strInstanceId, sManifest.vecDisks, pOptions->sBounds);
    sManifest.strCreated = UtcNow();
    WriteManifest(pOptions->strOut, sManifest);
    std::vector<Record> vecRows;
    for (const SManifestDisk& sEntry : sManifest.vecDisks) vecRows.push_back(DiskRow(sEntry));
    sContext.sOut.Table("disks", vecRows);
    sContext.sOut.Field("created", sManifest.strCreated);
    sContext.sOut.Field("manifest", pOptions->strOut);
    return true;
  };
}

void AddCleanup(CommandTable& sTable) {
  struct SOptions {
    std::string strPath;
    SBackupManifest sManifest;
  };
  auto pOptions = std::make_shared<SOptions>();
  SCommand& sCommand = sTable.Add("cleanup", "delete the snapshots of a backup manifest");
  sCommand.pApp->add_option("--manifest", pOptions->strPath, "the backup manifest")->required();
  sCommand.fnResource = [pOptions] { return "the backup " + pOptions->strPath; };
  sCommand.fnCheck = [pOptions] { pOptions->sManifest = ReadManifest(pOptions->strPath); };
  sCommand.fnRun = [pOptions](SContext& sContext) {
    const std::string& strRegion = pOptions->sManifest.sInstance.strRegionId;
    std::vector<std::string> vecDeleted, vecGone, vecLeft;
    std::string strReasons;
    // Every snapshot is tried: one that cannot go does not keep the others.
    for (const SManifestDisk& sEntry : pOptions->sManifest.vecDisks) {
      const std::string& strId = sEntry.strSnapshotId;
      if (sContext.sFacade.DeleteSnapshot(strId)) {
        vecDeleted.push_back(strId);
        continue;
      }
      const std::string strReason = sContext.sFacade.GetLastError();
      bool bExists = true;
      if (sContext.sFacade.DoesSnapshotExist(strRegion, strId, bExists) && !bExists) {
        vecGone.push_back(strId);
        continue;
      }
      vecLeft.push_back(strId);
      strReasons += "; " + strId + ": " + strReason;
    }
    sContext.sOut.Values("deleted", vecDeleted);
    sContext.sOut.Values("already-gone", vecGone);
    sContext.sOut.Values("not-deleted", vecLeft);
    if (!vecLeft.empty()) {
      throw OperationError(std::to_string(vecLeft.size()) + " snapshot(s) could not be deleted" + strReasons);
    }
    return true;
  };
}

}  // namespace

void RegisterBackupCommands(CommandTable& sTable) {
  AddBackup(sTable);
  AddCleanup(sTable);
}

}  // namespace acw
