// ECS block storage: disks and snapshots, with the service's asynchronous states.
//
// How time passes here: the emulator never changes state with wall time. Instead
//   - a snapshot's "Progress" ("0%" ... "100%") advances by a step at each DescribeSnapshots
//     that matches it (the step is taken first, so the answer shows the new value); at 100% its
//     "Status" becomes "accomplished";
//   - a new disk is "Creating" for a number of observations, then "Available";
//   - a detached disk is "Detaching" for a number of observations, then "Available".
// An observation is a DescribeDisks that matches the disk, or a DeleteDisk of it; the answer
// shows the state before the observation is counted, so "N observations" means N answers show
// the transient state.
//
// The knobs are internal members of the region item (tests change them through
// Emulator::WithWorld or Seed):
//   "_SnapshotProgressStep"       percent per DescribeSnapshots, default 25
//   "_DiskCreatingObservations"   default 1
//   "_DiskDetachingObservations"  default 1
// A snapshot copies the step into its own "_ProgressStep" when it is made, so one snapshot can
// be slowed down or sped up on its own.
//
// "ClientToken" of CreateDisk / CreateSnapshot: the same token with the same parameters gives
// the resource made the first time; with other parameters "IdempotentParameterMismatch" (403).
#include <acw_emulator/Actions.h>
#include <acw_emulator/World.h>

#include <boost/json/array.hpp>
#include <boost/json/object.hpp>
#include <boost/json/value.hpp>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace AcwEmulator {
namespace {

namespace json = boost::json;

constexpr int64_t kDefaultProgressStep = 25;
constexpr int64_t kDefaultCreatingObservations = 1;
constexpr int64_t kDefaultDetachingObservations = 1;

// Internal members of a disk or snapshot.
constexpr const char* kObservationsLeft = "_ObservationsLeft";  // transient state's remaining looks
constexpr const char* kNextStatus = "_NextStatus";              // the state after them
constexpr const char* kClientToken = "_ClientToken";
constexpr const char* kCreateParams = "_CreateParams";  // canonical parameters of the creation
constexpr const char* kProgressStep = "_ProgressStep";
constexpr const char* kSourceSnapshotSize = "_SourceSnapshotSize";

int64_t IntMember(const json::object& item, std::string_view name, int64_t fallback) {
    const json::value* value = item.if_contains(name);
    if (value == nullptr) return fallback;
    if (value->is_int64()) return value->as_int64();
    if (value->is_uint64()) return static_cast<int64_t>(value->as_uint64());
    return fallback;
}

// A knob of the region (see the file comment).
int64_t RegionKnob(World& world, const std::string& regionId, std::string_view name, int64_t fallback) {
    const json::object* region = world.Find("Regions", regionId);
    return region == nullptr ? fallback : IntMember(*region, name, fallback);
}

void RequireZone(const json::object& region, const std::string& zoneId) {
    if (const json::value* zones = region.if_contains("Zones"); zones != nullptr && zones->is_array()) {
        for (const json::value& zone : zones->as_array()) {
            if (zone.is_object() && Str(zone.as_object(), "ZoneId") == zoneId) return;
        }
    }
    FailNotFound("InvalidZoneId", "ZoneId");
}

// The parameters that define a creation, for comparing resends with the same ClientToken: every
// parameter except the common ones (which differ on every attempt) and the token itself.
std::string CanonicalCreateParams(const Params& params) {
    static const std::set<std::string, std::less<>> kIgnored = {
        "Format",           "Version",          "AccessKeyId",    "SignatureMethod", "Timestamp",
        "SignatureVersion", "SignatureNonce",   "Signature",      "ClientToken",     "SecurityToken"};
    std::vector<std::pair<std::string, std::string>> kept;
    for (const auto& [name, value] : params) {
        if (kIgnored.count(name) == 0) kept.emplace_back(name, value);
    }
    std::sort(kept.begin(), kept.end());
    std::string text;
    for (const auto& [name, value] : kept) text += name + "=" + value + "\n";
    return text;
}

// The resource an earlier creation with this token made, or nullptr. A token reused with other
// parameters is refused.
json::object* FindByClientToken(ActionContext& ctx, std::string_view collection, const std::string& token,
                                const std::string& canonical) {
    if (token.empty()) return nullptr;
    for (json::object& item : ctx.world.Items(collection)) {
        if (Str(item, kClientToken) != token) continue;
        if (Str(item, kCreateParams) != canonical) {
            Fail(403, "IdempotentParameterMismatch", "The specified clientToken is used.");
        }
        return &item;
    }
    return nullptr;
}

// ---- disks

// The end of a detach: the disk no longer names an instance.
void FinishDetach(ActionContext& ctx, json::object& disk) {
    disk["InstanceId"] = "";
    disk["Device"] = "";
    disk["DetachedTime"] = FormatUtc(ctx.now, TimePrecision::Seconds);
    disk["Attachments"] = json::object{{"Attachment", json::array{}}};
}

// Counts one observation of a disk in a transient state; at the last one it takes its next state.
void ObserveDisk(ActionContext& ctx, json::object& disk) {
    const json::value* left = disk.if_contains(kObservationsLeft);
    if (left == nullptr) return;
    const int64_t remaining = IntMember(disk, kObservationsLeft, 0) - 1;
    if (remaining > 0) {
        disk[kObservationsLeft] = remaining;
        return;
    }
    const std::string next = Str(disk, kNextStatus);
    disk.erase(kObservationsLeft);
    disk.erase(kNextStatus);
    // Only a detach ends with an instance still named (a new disk never names one).
    if (next == "Available" && !Str(disk, "InstanceId").empty()) FinishDetach(ctx, disk);
    disk["Status"] = next;
}

void EnterTransientState(json::object& disk, const char* status, int64_t observations, const char* next) {
    if (observations <= 0) {
        disk["Status"] = next;
        return;
    }
    disk["Status"] = status;
    disk[kObservationsLeft] = observations;
    disk[kNextStatus] = next;
}

json::object& RequireDisk(ActionContext& ctx, const std::string& diskId) {
    json::object* disk = ctx.world.Find("Disks", diskId);
    if (disk == nullptr) FailNotFound("InvalidDiskId", "DiskId");
    return *disk;
}

struct SizeRange {
    int64_t min;
    int64_t max;
};

std::optional<SizeRange> CategorySizeRange(const std::string& category) {
    if (category == "cloud") return SizeRange{5, 2000};
    if (category == "cloud_efficiency" || category == "cloud_ssd" || category == "cloud_essd" ||
        category == "cloud_auto") {
        return SizeRange{20, 32768};
    }
    return std::nullopt;
}

// An optional boolean filter: true when absent, else the disk's member must equal it.
bool MatchesBool(const ActionContext& ctx, const json::object& item, std::string_view name) {
    const auto given = ctx.Get(name);
    if (!given || given->empty()) return true;
    const json::value* value = item.if_contains(name);
    return value != nullptr && value->is_bool() && value->as_bool() == ctx.Bool(name, false);
}

// An enumeration filter whose "all" value (any letter case) matches everything.
bool MatchesEnum(const json::object& item, std::string_view member, const std::string& wanted) {
    return wanted == "all" || wanted == "All" || Str(item, member) == wanted;
}

json::object DescribeDisks(ActionContext& ctx) {
    const std::string regionId = ctx.RequireRegion();
    // Malformed text is the parameter's own error; more than 100 ids is a 403.
    const auto ids = ctx.JsonArray("DiskIds", SIZE_MAX, "InvalidParameter.DiskIds", 400);
    if (ids && ids->size() > 100) {
        Fail(403, "InvalidDiskIds.Malformed", "The amount of specified disk Ids exceeds the limit.");
    }
    const std::string status = ctx.Enum("Status", "All",
                                        {"All", "all", "In_use", "Available", "Attaching", "Detaching", "Creating",
                                         "ReIniting"},
                                        "InvalidStatus.ValueNotSupported");
    const std::string type = ctx.Enum("DiskType", "all", {"all", "system", "data"}, "InvalidDiskType.ValueNotSupported");
    const std::string category =
        ctx.Enum("Category", "all",
                 {"all", "cloud", "cloud_efficiency", "cloud_ssd", "cloud_essd", "cloud_auto", "cloud_essd_entry",
                  "local_ssd_pro", "local_hdd_pro", "ephemeral", "ephemeral_ssd", "elastic_ephemeral_disk_standard",
                  "elastic_ephemeral_disk_premium"},
                 "InvalidCategory.ValueNotSupported");
    const auto keep = [&](const json::object& disk) {
        return Str(disk, "RegionId") == regionId && ctx.Matches(disk, "ZoneId") && ctx.Matches(disk, "InstanceId") &&
               ctx.Matches(disk, "DiskName") && InList(ids, disk, "DiskId") && MatchesEnum(disk, "Status", status) &&
               MatchesEnum(disk, "Type", type) && MatchesEnum(disk, "Category", category) &&
               ctx.Matches(disk, "SnapshotId", "SourceSnapshotId") && MatchesBool(ctx, disk, "Portable") &&
               MatchesBool(ctx, disk, "DeleteWithInstance") && MatchesBool(ctx, disk, "Encrypted");
    };
    // Answer with the state as it is, then count the look.
    std::vector<json::object> disks = ctx.world.Select("Disks", keep);
    for (const json::object& seen : disks) {
        if (json::object* disk = ctx.world.Find("Disks", Str(seen, "DiskId"))) ObserveDisk(ctx, *disk);
    }
    json::object out;
    AddEcsList(ctx, out, disks, {"Disks", "Disk"}, kEcsPaging, TokenRules{10, 10, 500, false});
    return out;
}

// "/dev/xvdb" ... "/dev/xvdz": the first data-disk device name no disk of the instance uses.
std::string NextFreeDevice(const World& world, const std::string& instanceId) {
    std::set<std::string> used;
    for (const json::object& disk : world.Items("Disks")) {
        if (Str(disk, "InstanceId") == instanceId) used.insert(Str(disk, "Device"));
    }
    for (char letter = 'b'; letter <= 'z'; ++letter) {
        std::string device = std::string("/dev/xvd") + letter;
        if (used.count(device) == 0) return device;
    }
    Fail(403, "InstanceDiskLimitExceeded", "The amount of the disk on instance in question reach its limits.");
}

json::object CreateDisk(ActionContext& ctx) {
    const std::string regionId = ctx.RequireRegion();
    const json::object& region = ctx.RequireKnownRegion();
    // The disk goes either into a zone or onto an instance (in that instance's zone), not both.
    const std::string instanceId = ctx.Get("InstanceId", "");
    if (!instanceId.empty() && !ctx.Get("ZoneId", "").empty()) {
        Fail(403, "InvalidParam.ZoneIdAndInstanceId.Conflict", "The specified ZoneId and InstanceId conflict.");
    }
    const json::object* instance = nullptr;
    if (!instanceId.empty()) {
        instance = ctx.world.Find("Instances", instanceId);
        if (instance == nullptr || Str(*instance, "RegionId") != regionId) FailNotFound("InvalidInstanceId", "InstanceId");
    }
    const std::string zoneId = instance != nullptr ? Str(*instance, "ZoneId") : ctx.Required("ZoneId");
    RequireZone(region, zoneId);

    const std::string token = ctx.Get("ClientToken", "");
    const std::string canonical = CanonicalCreateParams(ctx.params);
    if (json::object* earlier = FindByClientToken(ctx, "Disks", token, canonical)) {
        return json::object{{"DiskId", Str(*earlier, "DiskId")}, {"OrderId", ""}};
    }

    const std::string category = ctx.Get("DiskCategory", "cloud");
    const auto range = CategorySizeRange(category);
    if (!range) {
        // A category the service has but cannot make here is 403; a name it never had is 400.
        static const std::set<std::string, std::less<>> kOtherCategories = {
            "cloud_essd_entry", "local_ssd_pro", "local_hdd_pro", "ephemeral", "ephemeral_ssd",
            "elastic_ephemeral_disk_standard", "elastic_ephemeral_disk_premium"};
        if (kOtherCategories.count(category) != 0) {
            Fail(403, "InvalidDiskCategory.NotSupported", "The specified disk category is not supported.");
        }
        Fail(400, "InvalidDiskCategory.ValueNotSupported", "The specified parameter \"DiskCategory\" is not valid.");
    }

    const std::string snapshotId = ctx.Get("SnapshotId", "");
    int64_t snapshotSize = 0;
    if (!snapshotId.empty()) {
        const json::object* snapshot = ctx.world.Find("Snapshots", snapshotId);
        if (snapshot == nullptr || Str(*snapshot, "RegionId") != regionId) {
            FailNotFound("InvalidSnapshotId", "SnapshotId");
        }
        if (Str(*snapshot, "Status") != "accomplished") {
            Fail(403, "InvalidSnapshot.NotReady", "The specified snapshot creation is not completed yet.");
        }
        snapshotSize = std::stoll("0" + Str(*snapshot, "SourceDiskSize"));
    }

    const std::optional<std::string> sizeText = ctx.Get("Size");
    if (!sizeText && snapshotId.empty()) FailMissingParameter("Size");
    const int64_t size = sizeText ? ctx.Int("Size", 0, 1, 1000000) : std::max<int64_t>(snapshotSize, range->min);
    if (size < snapshotSize) {
        Fail(403, "InvalidDiskSize.TooSmall", "Specified disk size is less than the size of snapshot.");
    }
    if (size < range->min || size > range->max) {
        Fail(403, "InvalidDiskSize.NotSupported", "The specified disk size is not supported.");
    }

    json::object disk;
    disk["DiskId"] = ctx.world.NewId("d");
    disk["RegionId"] = regionId;
    disk["ZoneId"] = zoneId;
    disk["DiskName"] = ctx.Get("DiskName", "");
    disk["Description"] = ctx.Get("Description", "");
    disk["Category"] = category;
    disk["Size"] = size;
    disk["Type"] = "data";
    disk["Encrypted"] = ctx.Bool("Encrypted", false);
    disk["DeleteWithInstance"] = false;
    disk["Portable"] = true;
    disk["InstanceId"] = "";
    disk["Device"] = "";
    disk["SourceSnapshotId"] = snapshotId;
    disk["CreationTime"] = FormatUtc(ctx.now, TimePrecision::Seconds);
    disk["DiskChargeType"] = "PostPaid";
    disk[kClientToken] = token;
    disk[kCreateParams] = canonical;
    if (instance != nullptr) {
        // Made on the instance: attached to it at once under its next free device name.
        const std::string device = NextFreeDevice(ctx.world, instanceId);
        const std::string now = FormatUtc(ctx.now, TimePrecision::Seconds);
        disk["InstanceId"] = instanceId;
        disk["Device"] = device;
        disk["AttachedTime"] = now;
        disk["Status"] = "In_use";
        disk["Attachments"] = json::object{{"Attachment", json::array{json::object{
                                                 {"InstanceId", instanceId}, {"Device", device}, {"AttachedTime", now}}}}};
    } else {
        EnterTransientState(disk, "Creating",
                            RegionKnob(ctx.world, regionId, "_DiskCreatingObservations", kDefaultCreatingObservations),
                            "Available");
    }
    const json::object& stored = ctx.world.Put("Disks", std::move(disk));
    return json::object{{"DiskId", Str(stored, "DiskId")}, {"OrderId", ""}};
}

json::object DeleteDisk(ActionContext& ctx) {
    const std::string diskId = ctx.Required("DiskId");
    json::object& disk = RequireDisk(ctx, diskId);
    const std::string status = Str(disk, "Status");
    if (status == "Creating") {
        ObserveDisk(ctx, disk);
        Fail(403, "IncorrectDiskStatus.Initializing", "The current disk status does not support this operation.");
    }
    if (status == "In_use" || status == "Attaching" || status == "Detaching" || !Str(disk, "InstanceId").empty()) {
        if (status == "Detaching") ObserveDisk(ctx, disk);
        Fail(403, "DiskStillAttached", "The specified disk has not been detached from instance.");
    }
    if (status != "Available") {
        Fail(403, "IncorrectDiskStatus", "The current disk status does not support this operation.");
    }
    ctx.world.Remove("Disks", diskId);
    return {};
}

json::object DetachDisk(ActionContext& ctx) {
    const std::string instanceId = ctx.Required("InstanceId");
    const std::string diskId = ctx.Required("DiskId");
    const json::object* instance = ctx.world.Find("Instances", instanceId);
    if (instance == nullptr) FailNotFound("InvalidInstanceId", "InstanceId");
    json::object& disk = RequireDisk(ctx, diskId);
    const std::string status = Str(disk, "Status");
    if (status == "Available") {
        Fail(404, "InvalidDisk.AlreadyDetached", "The specified disk has already been detached.");
    }
    if (Str(disk, "InstanceId") != instanceId) {
        Fail(403, "DependencyViolation", "The specified disk is not attached to the specified instance.");
    }
    if (status != "In_use") {
        Fail(403, "IncorrectDiskStatus", "The current disk status does not support this operation.");
    }
    // A system disk comes off only a stopped instance (data disks also from a running one).
    if (Str(disk, "Type") == "system" && Str(*instance, "Status") != "Stopped") {
        Fail(403, "IncorrectInstanceStatus", "The current status of the resource does not support this operation.");
    }
    EnterTransientState(disk, "Detaching",
                        RegionKnob(ctx.world, Str(disk, "RegionId"), "_DiskDetachingObservations",
                                   kDefaultDetachingObservations),
                        "Available");
    if (Str(disk, "Status") == "Available") FinishDetach(ctx, disk);
    return {};
}

// ---- snapshots

std::string ProgressText(int64_t percent) { return std::to_string(percent) + "%"; }

// One look at a progressing snapshot: it advances by its step, and is done at 100%.
void AdvanceSnapshot(json::object& snapshot) {
    if (Str(snapshot, "Status") != "progressing") return;
    const std::string progress = Str(snapshot, "Progress");
    const int64_t current = std::stoll("0" + progress.substr(0, progress.find('%')));
    const int64_t step = std::max<int64_t>(IntMember(snapshot, kProgressStep, kDefaultProgressStep), 1);
    const int64_t next = std::min<int64_t>(current + step, 100);
    snapshot["Progress"] = ProgressText(next);
    snapshot["RemainTime"] = next >= 100 ? 0 : (100 - next) / step + 1;
    if (next >= 100) snapshot["Status"] = "accomplished";
}

json::object DescribeSnapshots(ActionContext& ctx) {
    const std::string regionId = ctx.RequireRegion();
    const auto ids = ctx.JsonArray("SnapshotIds", 100, "InvalidSnapshotIds.Malformed", 403);
    const std::string status = ctx.Get("Status", "all");
    if (status != "all" && status != "progressing" && status != "accomplished" && status != "failed") {
        Fail(404, "InvalidStatus.NotFound", "The specified Status is not found.");
    }
    const std::string type = ctx.Enum("SnapshotType", "all", {"all", "auto", "user"}, "InvalidSnapshotType.NotFound", 404);
    const std::string usage = ctx.Enum("Usage", "", {"", "image", "disk", "image_disk", "none"}, "InvalidUsage", 404);
    // SourceDiskType is documented as "System"/"Data"; the answer spells it in lower case.
    std::string diskType = ctx.Enum("SourceDiskType", "", {"", "System", "Data", "system", "data"},
                                    "InvalidSourceDiskType.NotFound", 404);
    std::transform(diskType.begin(), diskType.end(), diskType.begin(), [](unsigned char c) { return std::tolower(c); });
    // InstanceId: snapshots of the disks the instance has now.
    const std::string instanceId = ctx.Get("InstanceId", "");
    std::set<std::string> instanceDisks;
    for (const json::object& disk : ctx.world.Items("Disks")) {
        if (!instanceId.empty() && Str(disk, "InstanceId") == instanceId) instanceDisks.insert(Str(disk, "DiskId"));
    }
    const auto keep = [&](const json::object& snapshot) {
        return Str(snapshot, "RegionId") == regionId && InList(ids, snapshot, "SnapshotId") &&
               ctx.Matches(snapshot, "DiskId", "SourceDiskId") && ctx.Matches(snapshot, "SnapshotName") &&
               MatchesEnum(snapshot, "SnapshotType", type) && (usage.empty() || Str(snapshot, "Usage") == usage) &&
               (diskType.empty() || Str(snapshot, "SourceDiskType") == diskType) &&
               MatchesBool(ctx, snapshot, "Encrypted") &&
               (instanceId.empty() || instanceDisks.count(Str(snapshot, "SourceDiskId")) != 0);
    };
    // Take the step first: the answer shows the progress made since the last look.
    for (json::object& snapshot : ctx.world.Items("Snapshots")) {
        if (keep(snapshot)) AdvanceSnapshot(snapshot);
    }
    const std::vector<json::object> snapshots = ctx.world.Select("Snapshots", [&](const json::object& snapshot) {
        return keep(snapshot) && (status == "all" || Str(snapshot, "Status") == status);
    });
    json::object out;
    AddEcsList(ctx, out, snapshots, {"Snapshots", "Snapshot"}, kEcsPaging, TokenRules{10, 1, 100, false});
    return out;
}

json::object CreateSnapshot(ActionContext& ctx) {
    const std::string diskId = ctx.Required("DiskId");
    const std::string token = ctx.Get("ClientToken", "");
    const std::string canonical = CanonicalCreateParams(ctx.params);
    if (json::object* earlier = FindByClientToken(ctx, "Snapshots", token, canonical)) {
        return json::object{{"SnapshotId", Str(*earlier, "SnapshotId")}};
    }

    const json::object& disk = RequireDisk(ctx, diskId);
    const std::string diskStatus = Str(disk, "Status");
    if (diskStatus != "In_use" && diskStatus != "Available") {
        Fail(403, "IncorrectDiskStatus", "The current disk status does not support this operation.");
    }
    // A disk that was never on an instance has no data the service would snapshot.
    if (Str(disk, "InstanceId").empty() && Str(disk, "AttachedTime").empty() && Str(disk, "DetachedTime").empty()) {
        Fail(403, "IncorrectDiskStatus.NeverAttached", "The specified disk has never been attached to any instance.");
    }
    const std::string regionId = Str(disk, "RegionId");
    const std::string now = FormatUtc(ctx.now, TimePrecision::Seconds);

    json::object snapshot;
    snapshot["SnapshotId"] = ctx.world.NewId("s");
    snapshot["SnapshotName"] = ctx.Get("SnapshotName", "");
    snapshot["Description"] = ctx.Get("Description", "");
    snapshot["SourceDiskId"] = diskId;
    snapshot["SourceDiskType"] = Str(disk, "Type").empty() ? "data" : Str(disk, "Type");
    snapshot["SourceDiskSize"] = std::to_string(IntMember(disk, "Size", 0));
    snapshot["RegionId"] = regionId;
    snapshot["Progress"] = ProgressText(0);
    snapshot["Status"] = "progressing";
    snapshot["SnapshotType"] = "user";
    snapshot["Usage"] = "none";
    snapshot["Category"] = "standard";
    snapshot["Encrypted"] = disk.if_contains("Encrypted") != nullptr && disk.at("Encrypted").is_bool()
                                ? disk.at("Encrypted").as_bool()
                                : false;
    snapshot["CreationTime"] = now;
    snapshot["LastModifiedTime"] = now;
    snapshot["RemainTime"] = 0;
    snapshot[kProgressStep] = RegionKnob(ctx.world, regionId, "_SnapshotProgressStep", kDefaultProgressStep);
    snapshot[kClientToken] = token;
    snapshot[kCreateParams] = canonical;
    const json::object& stored = ctx.world.Put("Snapshots", std::move(snapshot));
    return json::object{{"SnapshotId", Str(stored, "SnapshotId")}};
}

json::object DeleteSnapshot(ActionContext& ctx) {
    const std::string snapshotId = ctx.Required("SnapshotId");
    if (ctx.world.Find("Snapshots", snapshotId) == nullptr) FailNotFound("InvalidSnapshotId", "SnapshotId");
    const bool force = ctx.Bool("Force", false);
    // A snapshot that existing disks were made from needs Force, as on the service.
    const bool usedByDisk = !ctx.world.Select("Disks", [&](const json::object& disk) {
                                 return Str(disk, "SourceSnapshotId") == snapshotId;
                             }).empty();
    if (usedByDisk && !force) {
        Fail(403, "SnapshotCreatedDisk", "The specified snapshot has been used to create disks.");
    }
    // An image built from the snapshot pins it whatever "Force" says: the image goes first.
    if (SnapshotUsedByImage(ctx.world, snapshotId)) {
        Fail(403, "SnapshotCreatedImage", "The specified snapshot has been used to create a custom image.");
    }
    ctx.world.Remove("Snapshots", snapshotId);
    return {};
}

}  // namespace

void RegisterEcsStorageActions(ActionTable& table) {
    // DescribeDisks documents its own answers to a missing ("MissingParamter", sic) or unknown
    // region; the other actions use the compute service's.
    RegionScope disks;
    disks.status = 400;
    disks.code = "InvalidRegion.NotFound";
    disks.message = "The specified region does not exist.";
    disks.missingCode = "MissingParamter.RegionId";
    disks.missingMessage = "The regionId should not be null.";
    table.Add(Product::Ecs, "DescribeDisks", DescribeDisks, disks);
    table.Add(Product::Ecs, "CreateDisk", CreateDisk, RegionScoped(Product::Ecs));
    table.Add(Product::Ecs, "DeleteDisk", DeleteDisk);
    table.Add(Product::Ecs, "DetachDisk", DetachDisk);
    table.Add(Product::Ecs, "DescribeSnapshots", DescribeSnapshots, RegionScoped(Product::Ecs));
    table.Add(Product::Ecs, "CreateSnapshot", CreateSnapshot);
    table.Add(Product::Ecs, "DeleteSnapshot", DeleteSnapshot);
}

}  // namespace AcwEmulator
