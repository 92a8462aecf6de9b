// Helpers shared by the snapshot and disk operations of CAliCloudStorage.
#pragma once

#include <cstdint>
#include <string>

namespace AliCloudWrapper {
namespace StorageInternal {

// List keys of the describe actions: {"Snapshots": {"Snapshot": [...]}}.
inline const std::string SNAPSHOTS_LIST_KEY = "Snapshots";
inline const std::string SNAPSHOT_ITEM_KEY = "Snapshot";
inline const std::string DISKS_LIST_KEY = "Disks";
inline const std::string DISK_ITEM_KEY = "Disk";

// The category a disk gets when the caller names none.
inline const std::string DEFAULT_DISK_CATEGORY = "cloud_efficiency";

// A one-element JSON array of strings, ["id"], as the describe actions take
// their id filters. The id is JSON-escaped: an id holding a quote must stay one
// id, never become a second filter that matches some other resource.
std::string OneIdJsonArray(const std::string& strId);

// Counts the pauses of one waiting loop against a bound in seconds (0: none).
// A pause is taken only when the total paused time stays within the bound, so
// the wait never exceeds it, and a test's recording sleeper sees every pause.
class CWaitBudget {
 public:
  CWaitBudget(uint64_t nBoundInSec, uint64_t nPauseMs);

  // True when one more pause keeps the total within the bound.
  bool CanPause() const;
  // Sleeps one pause (FXThread::Sleep) and counts it.
  void Pause();
  uint64_t GetWaitedInSec() const { return m_nWaitedMs / 1000; }
  uint64_t GetBoundInSec() const { return m_nBoundInSec; }

 private:
  uint64_t m_nBoundInSec;
  uint64_t m_nPauseMs;
  uint64_t m_nWaitedMs = 0;
};

}  // namespace StorageInternal
}  // namespace AliCloudWrapper
