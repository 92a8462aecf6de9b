// The backup manifest: what "acw backup" made and "acw restore" and
// "acw cleanup" read back. One JSON file:
//   "format"           "acw-backup-manifest", "version" 1
//   "created"          when the backup completed, UTC, ISO 8601
//   "instance"         the instance's record (ids, type, network, groups)
//   "config-document"  the configuration document, kept as the exact text the
//                      library gave (a restore hands it back unchanged)
//   "disks"            one per disk in the instance's order, the system disk
//                      first: the disk's record, its "order", its "device" and
//                      the "snapshot-id" taken of it
// A manifest is read back in full and checked before anything is sent: a file
// that is not one (or of another version) stops the command as a usage error.
#pragma once

#include <AliCloudWrapper/AliCloudWrapper.h>

#include <string>
#include <vector>

namespace acw {

struct SManifestDisk {
  AliCloudWrapper::SDiskInfoLib sDisk;
  int nOrder = 0;           // 0: the system disk, then the data disks in order
  std::string strDevice;    // the device the order gives: /dev/xvda, /dev/xvdb, ...
  std::string strSnapshotId;
};

struct SBackupManifest {
  std::string strCreated;
  AliCloudWrapper::SVMInfoLib sInstance;  // vecDisks left empty: see vecDisks here
  std::string strConfigDocument;
  std::vector<SManifestDisk> vecDisks;
};

// The instance's disks in manifest order: the system disk first, then the
// data disks in the order the instance lists them, each with its order and
// device; no snapshot ids yet.
std::vector<SManifestDisk> DisksInOrder(const std::vector<AliCloudWrapper::SDiskInfoLib>& vecDisks);

std::string ManifestToText(const SBackupManifest& sManifest);
// Throws UsageError naming the file and what is wrong with it.
SBackupManifest ReadManifest(const std::string& strPath);
// Writes through a temporary file renamed into place, so a failed write never
// leaves half a manifest under the name. Throws OperationError.
void WriteManifest(const std::string& strPath, const SBackupManifest& sManifest);

// Now, UTC, as "2026-01-31T12:00:00Z".
std::string UtcNow();

}  // namespace acw
