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

}  // namespace StorageInternal
}  // namespace AliCloudWrapper
