// Subcommands on disks and snapshots.
#include "Tool.h"
#include "Wait.h"

#include <iostream>

namespace acw {

namespace {

using AliCloudWrapper::SDiskInfoLib;
using AliCloudWrapper::SSnapshotInfoLib;

void PrintDisk(Output& sOut, const SDiskInfoLib& sDisk) {
  sOut.Field("disk-id", sDisk.strDiskId);
  sOut.Field("name", sDisk.strDiskName);
  sOut.Field("region", sDisk.strRegionId);
  sOut.Field("zone", sDisk.strZoneId);
  sOut.Field("category", sDisk.strCategory);
  sOut.Field("status", sDisk.strStatus);
  sOut.Field("size-gib", static_cast<int64_t>(sDisk.nSize));
  sOut.Field("system-disk", sDisk.bIsSystemDisk);
  sOut.Field("encrypted", sDisk.bIsEncrypted);
  sOut.Field("delete-with-instance", sDisk.bDeleteWithInstance);
}

void PrintSnapshot(Output& sOut, const SSnapshotInfoLib& sSnapshot) {
  sOut.Field("snapshot-id", sSnapshot.strSnapshotId);
  sOut.Field("name", sSnapshot.strSnapshotName);
  sOut.Field("description", sSnapshot.strDescription);
  sOut.Field("source-disk-id", sSnapshot.strSourceDiskId);
  sOut.Field("progress-percent", static_cast<int64_t>(sSnapshot.nProgress));
}

void AddDiskInfo(CommandTable& sTable) {
  struct SOptions {
    std::string strRegion, strDisk;
  };
  auto pOptions = std::make_shared<SOptions>();
  SCommand& sCommand = sTable.Add("disk-info", "one disk's record");
  CommandTable::AddRegion(sCommand, pOptions->strRegion, true);
  sCommand.pApp->add_option("--disk", pOptions->strDisk, "disk id")->required();
  sCommand.fnResource = [pOptions] { return "disk " + pOptions->strDisk; };
  sCommand.fnRun = [pOptions](SContext& sContext) {
    SDiskInfoLib sDisk;
    if (!sContext.sFacade.GetDiskInfo(pOptions->strRegion, pOptions->strDisk, sDisk)) return false;
    PrintDisk(sContext.sOut, sDisk);
    return true;
  };
}

// Waits until the snapshot is complete, showing its progress.
bool WaitForSnapshot(SContext& sContext, const std::string& strRegion, const std::string& strSnapshotId,
                     const SWaitBounds& sBounds) {
  Progress sProgress(std::cerr, "snapshot " + strSnapshotId, Progress::StderrIsTerminal());
  const SWaitResult sResult = WaitUntil(
      sBounds, sProgress,
      [&](SPoll& sPoll) {
        SSnapshotInfoLib sSnapshot;
        if (!sContext.sFacade.GetSnapshotInfo(strRegion, strSnapshotId, sSnapshot)) return false;
        sPoll.nPercent = sSnapshot.nProgress;
        sPoll.eState = sSnapshot.nProgress >= 100 ? SPoll::EState::Done : SPoll::EState::Pending;
        return true;
      },
      SleepFor);
  sContext.sOut.Field("polls", static_cast<int64_t>(sResult.nPolls));
  if (sResult.eOutcome == EWaitOutcome::Failed) return false;
  if (sResult.eOutcome == EWaitOutcome::OutOfBounds) {
    throw OperationError("snapshot " + strSnapshotId + " did not complete within " + sResult.strBound);
  }
  sContext.sOut.Field("completed", true);
  return true;
}

void AddSnapshot(CommandTable& sTable) {
  struct SOptions {
    std::string strRegion, strDisk, strName, strDescription;
    bool bWait = false;
    SWaitBounds sBounds;
  };
  auto pOptions = std::make_shared<SOptions>();
  SCommand& sCommand =
      sTable.Add("snapshot", "snapshot a disk; with --wait (needs a region) wait until it is complete");
  CommandTable::AddRegion(sCommand, pOptions->strRegion, false);
  CLI::App& app = *sCommand.pApp;
  app.add_option("--disk", pOptions->strDisk, "disk id")->required();
  app.add_option("--name", pOptions->strName, "snapshot name");
  app.add_option("--description", pOptions->strDescription, "snapshot description");
  app.add_flag("--wait", pOptions->bWait, "wait until the snapshot is complete, showing progress");
  pOptions->sBounds.AddOptions(app);
  sCommand.fnResource = [pOptions] { return "disk " + pOptions->strDisk; };
  sCommand.fnCheck = [pOptions] {
    if (pOptions->bWait && pOptions->strRegion.empty()) throw UsageError("--wait needs --region");
  };
  sCommand.fnRun = [pOptions](SContext& sContext) {
    SSnapshotInfoLib sSnapshot;
    if (!sContext.sFacade.CreateSnapshot(pOptions->strDisk, sSnapshot, pOptions->strName,
                                         pOptions->strDescription)) {
      return false;
    }
    sContext.sOut.Field("snapshot-id", sSnapshot.strSnapshotId);
    sContext.sOut.Field("source-disk-id", sSnapshot.strSourceDiskId);
    if (!pOptions->bWait) return true;
    return WaitForSnapshot(sContext, pOptions->strRegion, sSnapshot.strSnapshotId, pOptions->sBounds);
  };
}

void AddSnapshotInfo(CommandTable& sTable) {
  struct SOptions {
    std::string strRegion, strSnapshot;
  };
  auto pOptions = std::make_shared<SOptions>();
  SCommand& sCommand = sTable.Add("snapshot-info", "one snapshot's record");
  CommandTable::AddRegion(sCommand, pOptions->strRegion, true);
  sCommand.pApp->add_option("--snapshot", pOptions->strSnapshot, "snapshot id")->required();
  sCommand.fnResource = [pOptions] { return "snapshot " + pOptions->strSnapshot; };
  sCommand.fnRun = [pOptions](SContext& sContext) {
    SSnapshotInfoLib sSnapshot;
    if (!sContext.sFacade.GetSnapshotInfo(pOptions->strRegion, pOptions->strSnapshot, sSnapshot)) return false;
    PrintSnapshot(sContext.sOut, sSnapshot);
    return true;
  };
}

void AddDeleteSnapshot(CommandTable& sTable) {
  auto pSnapshot = std::make_shared<std::string>();
  SCommand& sCommand = sTable.Add("delete-snapshot", "delete a snapshot");
  sCommand.pApp->add_option("--snapshot", *pSnapshot, "snapshot id")->required();
  sCommand.fnResource = [pSnapshot] { return "snapshot " + *pSnapshot; };
  sCommand.fnRun = [pSnapshot](SContext& sContext) {
    if (!sContext.sFacade.DeleteSnapshot(*pSnapshot)) return false;
    sContext.sOut.Field("deleted", *pSnapshot);
    return true;
  };
}

void AddCreateDisk(CommandTable& sTable) {
  struct SOptions {
    std::string strRegion, strZone, strSnapshot, strName, strCategory, strDescription;
    long long nSizeBytes = 0;
    bool bEncrypted = false;
  };
  auto pOptions = std::make_shared<SOptions>();
  SCommand& sCommand = sTable.Add("create-disk", "a new disk from a snapshot");
  CommandTable::AddRegion(sCommand, pOptions->strRegion, true);
  CLI::App& app = *sCommand.pApp;
  app.add_option("--zone", pOptions->strZone, "zone id")->required();
  app.add_option("--snapshot", pOptions->strSnapshot, "snapshot id")->required();
  app.add_option("--name", pOptions->strName, "disk name");
  app.add_option("--category", pOptions->strCategory, "disk category (default cloud_efficiency)");
  // The largest cloud disk is far below the cap; it only keeps the number a
  // valid long long.
  app.add_option("--size-bytes", pOptions->nSizeBytes, "size in bytes (0 or absent: the snapshot's)")
      ->check(CLI::Range(0LL, 1LL << 62));
  app.add_option("--description", pOptions->strDescription, "disk description");
  app.add_flag("--encrypted", pOptions->bEncrypted, "encrypt the disk");
  sCommand.fnResource = [pOptions] { return "snapshot " + pOptions->strSnapshot; };
  sCommand.fnRun = [pOptions](SContext& sContext) {
    SDiskInfoLib sDisk;
    if (!sContext.sFacade.CreateDisk(pOptions->strRegion, pOptions->strZone, sDisk, pOptions->strSnapshot,
                                     pOptions->strName, pOptions->strCategory, pOptions->nSizeBytes,
                                     pOptions->bEncrypted, pOptions->strDescription)) {
      return false;
    }
    sContext.sOut.Field("disk-id", sDisk.strDiskId);
    return true;
  };
}

void AddDeleteDisk(CommandTable& sTable) {
  auto pDisk = std::make_shared<std::string>();
  SCommand& sCommand = sTable.Add("delete-disk", "delete a disk");
  sCommand.pApp->add_option("--disk", *pDisk, "disk id")->required();
  sCommand.fnResource = [pDisk] { return "disk " + *pDisk; };
  sCommand.fnRun = [pDisk](SContext& sContext) {
    if (!sContext.sFacade.DeleteDisk(*pDisk)) return false;
    sContext.sOut.Field("deleted", *pDisk);
    return true;
  };
}

void AddDetachDisk(CommandTable& sTable) {
  struct SOptions {
    std::string strRegion, strInstance, strDisk;
  };
  auto pOptions = std::make_shared<SOptions>();
  SCommand& sCommand =
      sTable.Add("detach-disk", "detach a disk and wait until it is detached (without --region, the instance's region is looked up)");
  // Not required: without it the library looks the instance's region up.
  CommandTable::AddRegion(sCommand, pOptions->strRegion, false);
  sCommand.pApp->add_option("--instance", pOptions->strInstance, "instance id")->required();
  sCommand.pApp->add_option("--disk", pOptions->strDisk, "disk id")->required();
  sCommand.fnResource = [pOptions] { return "disk " + pOptions->strDisk + " of " + pOptions->strInstance; };
  sCommand.fnRun = [pOptions](SContext& sContext) {
    if (!sContext.sFacade.DetachDisk(pOptions->strInstance, pOptions->strDisk, pOptions->strRegion)) {
      return false;
    }
    sContext.sOut.Field("detached", pOptions->strDisk);
    return true;
  };
}

}  // namespace

void RegisterStorageCommands(CommandTable& sTable) {
  AddDiskInfo(sTable);
  AddSnapshot(sTable);
  AddSnapshotInfo(sTable);
  AddDeleteSnapshot(sTable);
  AddCreateDisk(sTable);
  AddDeleteDisk(sTable);
  AddDetachDisk(sTable);
}

}  // namespace acw
