// Block storage of the compute service: disk snapshots and disks.
//
// The object borrows the compute connection and the shared parser (the facade
// owns both and outlives this object). Every operation runs on the caller's
// thread; the waits (snapshot not ready, disk detaching, disk initialising)
// pause through FXThread::Sleep and are bounded by settings of section
// "VirtualServer" (see the constants below; 0 means no bound).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "AliCloudWrapper/CZeError.h"
#include "AliCloudWrapper/EvEvent.h"

namespace AliCloudWrapper {

class CAliCloudECSConnection;
class CAliCloudParser;
struct SDiskInfoLib;
struct SSnapshotInfoLib;

class CAliCloudStorage {
 public:
  // Settings (section "VirtualServer") that bound the three waits of the disk
  // operations, in seconds of pauses taken; 0 means wait for as long as the
  // service keeps giving the same answer.
  static constexpr const char* SNAPSHOT_NOT_READY_MAX_WAIT_IN_SEC = "nAliCloudSnapshotNotReadyMaxWaitInSec";
  static constexpr const char* DETACH_DISK_MAX_WAIT_IN_SEC = "nAliCloudDetachDiskMaxWaitInSec";
  static constexpr const char* DISK_INITIALIZING_MAX_WAIT_IN_SEC = "nAliCloudDiskInitializingMaxWaitInSec";
  static constexpr uint64_t DEFAULT_SNAPSHOT_NOT_READY_MAX_WAIT_IN_SEC = 3600;
  static constexpr uint64_t DEFAULT_DETACH_DISK_MAX_WAIT_IN_SEC = 600;
  static constexpr uint64_t DEFAULT_DISK_INITIALIZING_MAX_WAIT_IN_SEC = 1800;

  // Pauses of the waits, in milliseconds.
  static constexpr uint64_t SNAPSHOT_NOT_READY_RETRY_MS = 10000;
  static constexpr uint64_t DETACH_DISK_POLL_MS = 2000;
  static constexpr uint64_t DISK_INITIALIZING_RETRY_MS = 10000;
  static constexpr uint64_t CONNECTIVITY_RETRY_MS = 10000;
  static constexpr int CONNECTIVITY_RETRY_LIMIT = 3;

  CAliCloudStorage(CAliCloudECSConnection* pECSConnection, CAliCloudParser* pParser);
  ~CAliCloudStorage();
  CAliCloudStorage(const CAliCloudStorage&) = delete;
  CAliCloudStorage& operator=(const CAliCloudStorage&) = delete;

  // ---- snapshots ----
  // Takes a snapshot of the disk. The returned record carries the new id, the
  // disk id and the name and description passed in (empty ones stay empty).
  CZeError CreateSnapshot(const std::string& strDiskId, SSnapshotInfoLib& sInfo,
                          const std::string& strSnapshotName, const std::string& strDescription);
  CZeError DeleteSnapshot(const std::string& strSnapshotId);
  // One snapshot's record. Code -1 when the service lists no such snapshot.
  // Failures without any answer from the service are retried 3 times, 10 s apart.
  CZeError GetSnapshotInfo(const std::string& strRegionId, const std::string& strSnapshotId,
                           SSnapshotInfoLib& sInfo);
  // bExists false (and success) when the snapshot is not found; unchanged on failure.
  CZeError DoesSnapshotExist(const std::string& strRegionId, const std::string& strSnapshotId,
                             bool& bExists);
  // bCompleted true only at a progress of 100 %; unchanged on failure.
  CZeError IsSnapshotCompleted(const std::string& strRegionId, const std::string& strSnapshotId,
                               bool& bCompleted);

  // ---- disks ----
  // Creates a disk (from a snapshot when strSnapshotId is not empty). nSizeInBytes
  // 0 lets the service choose (the snapshot's size); otherwise it is rounded up to
  // whole GiB. An empty category means "cloud_efficiency". One idempotence token
  // is sent with every attempt, so a resend never creates a second disk. While the
  // service answers "InvalidSnapshot.NotReady" the request is resent every 10 s,
  // up to the bound "nAliCloudSnapshotNotReadyMaxWaitInSec".
  CZeError CreateDisk(const std::string& strRegionId, const std::string& strZoneId,
                      SDiskInfoLib& sInfo, const std::string& strSnapshotId,
                      const std::string& strDiskName, const std::string& strDiskCategory,
                      long long nSizeInBytes, bool bEncrypted, const std::string& strDescription);
  // Appends every disk of the instance (all pages) to vecDisks. The zone may be empty.
  CZeError GetDiskInfoForVM(const std::string& strRegionId, const std::string& strZoneId,
                            const std::string& strInstanceId, std::vector<SDiskInfoLib>& vecDisks);
  // Detaches the disk and waits (2 s polls, up to "nAliCloudDetachDiskMaxWaitInSec")
  // until its status is no longer "Detaching".
  CZeError DetachDisk(const std::string& strInstanceId, const std::string& strDiskId,
                      const std::string& strRegionId);
  // Deletes the disk; while the service answers "IncorrectDiskStatus.Initializing"
  // the request is resent every 10 s, up to "nAliCloudDiskInitializingMaxWaitInSec".
  CZeError DeleteDisk(const std::string& strDiskId);
  // bExists false (and success) when the disk is not found; unchanged on failure.
  CZeError DoesDiskExist(const std::string& strRegionId, const std::string& strDiskId, bool& bExists);
  // One disk's record. Code -1 when the service lists no such disk.
  CZeError GetDiskInfo(const std::string& strRegionId, const std::string& strDiskId, SDiskInfoLib& sInfo);

  // Bytes to whole GiB, rounding up (1 byte gives 1, 0 gives 0).
  long long GetSizeInGB(const long long& nSizeInBytes) const;

 private:
  CAliCloudECSConnection* pECSConnection;  // not owned
  CAliCloudParser* pParser;                // not owned
  EvEvent sEvent;
};

}  // namespace AliCloudWrapper
