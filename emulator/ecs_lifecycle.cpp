// ECS instance life cycle, disk attachment and custom images: CreateInstance, StartInstance,
// StopInstance, DeleteInstance, JoinSecurityGroup, AttachDisk, CreateImage and DeleteImage.
//
// States advance with requests, never with wall time (World::Schedule): a transient state is
// seen by the next N API requests and replaced before the one after. N is a knob of the region
// item (tests change it through Emulator::WithWorld or Seed), default 1:
//   "_InstancePendingRequests"   CreateInstance   "Pending"   -> "Stopped"
//   "_InstanceStartingRequests"  StartInstance    "Starting"  -> "Running"
//   "_InstanceStoppingRequests"  StopInstance     "Stopping"  -> "Stopped"
//   "_DiskAttachingRequests"     AttachDisk       "Attaching" -> "In_use"
//   "_ImageCreatingRequests"     CreateImage      "Creating"  -> "Available"
// Limits of one instance: 16 data disks and 5 security groups, overridable per instance with
// the internal members "_DataDiskLimit" and "_SecurityGroupLimit".
//
// "ClientToken": CreateInstance and CreateImage give the same resource back for the same token
// and parameters; other parameters are refused ("IdempotentParameterMismatch" 403 for
// instances, "IdempotenceParamNotMatch" 400 for images, as the service's tables have it).
//
// Choices where the service's documentation is silent or conflicting:
//   - CreateInstance from an image with data-disk mappings: the image's disks are made first,
//     in mapping order (/dev/xvdb, ...). A "DataDisk.N" that names an image disk's device
//     ("DataDisk.N.Device"), or that carries neither "Size" nor "SnapshotId" while the image
//     has an N-th data mapping, configures that image disk (category, name, description,
//     DeleteWithInstance); the documentation lets "DataDisk.N.Device" address an image's data
//     disk, and a positional match is how a client without devices names them. Any other
//     "DataDisk.N" adds a disk after the image's and needs "Size" or "SnapshotId" (else 400
//     "InvalidDataDiskSize.ValueNotSupported"). N must be 1..16 (else 400 "InvalidParameter":
//     every list of the service starts at 1); gaps are accepted. More than 16 data disks in
//     all: 400 "InstanceDiskNumber.LimitExceed".
//   - An image that is still "Creating": 400 "IncorrectImageStatus"; one that is not
//     "Available" otherwise: 403 "OperationDenied.ImageNotValid".
//   - Empty "VSwitchId": 400 "MissingParameter"; empty "SecurityGroupId" likewise.
//   - CreateImage: "InstanceId" (an image of a running instance) is not emulated and refused
//     with 400 "InvalidParameter". "DiskDeviceMapping.N" wins over "SnapshotId" (which is then
//     ignored), as the documentation's precedence says; exactly one mapping must be of type
//     "system" (403 "OperationDenied" otherwise). Empty "Architecture" / "Platform" mean "not
//     given" (defaults "x86_64", "Others Linux"). Snapshots must exist in the region (404
//     "InvalidSnapshotId.NotFound") and be complete (403 "InvalidSnapshotId.NotReady"); while
//     an image uses a snapshot, DeleteSnapshot refuses it with 403 "SnapshotCreatedImage".
//   - DeleteImage of an unknown "m-" id succeeds (the parameter's documented behaviour); of
//     an image that is not the caller's (a public one): 404 "InvalidImageId.NotFound"; while an
//     instance uses it and "Force" is not "true": 403 "ImageUsingByInstance"; while it is
//     "Creating": 403 "ImageIsCreating".
//   - StopInstance without "StoppedMode" records "KeepCharging" (the default of an account
//     without economical mode); StartInstance sets it back to "Not-applicable".
#include <acw_emulator/Actions.h>
#include <acw_emulator/World.h>

#include <boost/json.hpp>

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "NetworkShared.h"

namespace AcwEmulator {
namespace {

namespace json = boost::json;

constexpr int64_t kDefaultTransientRequests = 1;
constexpr int64_t kDefaultDataDiskLimit = 16;
constexpr int64_t kDefaultSecurityGroupLimit = 5;
constexpr int64_t kMaxDataDiskIndex = 16;
constexpr int64_t kMaxImageMappingIndex = 17;
constexpr int64_t kMaxBandwidthOut = 100;
constexpr const char* kDefaultDiskCategory = "cloud_efficiency";

// ---- small helpers

int64_t IntMember(const json::object& item, std::string_view name, int64_t fallback) {
    const json::value* value = item.if_contains(name);
    if (value == nullptr) return fallback;
    if (value->is_int64()) return value->as_int64();
    if (value->is_uint64()) return static_cast<int64_t>(value->as_uint64());
    if (value->is_string()) {
        try {
            return std::stoll(std::string(value->as_string()));
        } catch (...) {
            return fallback;
        }
    }
    return fallback;
}

bool BoolMember(const json::object& item, std::string_view name) {
    const json::value* value = item.if_contains(name);
    return value != nullptr && value->is_bool() && value->as_bool();
}

json::object* Object(json::object& item, std::string_view name) {
    json::value* value = item.if_contains(name);
    return value != nullptr && value->is_object() ? &value->as_object() : nullptr;
}

json::array* NestedArray(json::object& item, std::string_view objectName, std::string_view arrayName) {
    json::object* object = Object(item, objectName);
    if (object == nullptr) return nullptr;
    json::value* array = object->if_contains(arrayName);
    return array != nullptr && array->is_array() ? &array->as_array() : nullptr;
}

// Puts `item[member]` into a transient state seen by the region's knob count of requests.
void EnterTransient(ActionContext& ctx, std::string_view collection, json::object& item, std::string_view idMember,
                    const std::string& regionId, std::string_view knob, const char* transient, const char* next) {
    const json::object* region = ctx.world.Find("Regions", regionId);
    const int64_t requests =
        region == nullptr ? kDefaultTransientRequests : IntMember(*region, knob, kDefaultTransientRequests);
    if (requests <= 0) {
        item["Status"] = next;
        return;
    }
    item["Status"] = transient;
    ctx.world.Schedule(collection, Str(item, idMember), "Status", json::string(next),
                       static_cast<uint64_t>(requests) + 1);
}

json::object& RequireInstance(ActionContext& ctx) {
    json::object* instance = ctx.world.Find("Instances", ctx.Required("InstanceId"));
    if (instance == nullptr) FailNotFound("InvalidInstanceId", "InstanceId");
    return *instance;
}

[[noreturn]] void FailInstanceStatus() {
    Fail(403, "IncorrectInstanceStatus", "The current status of the resource does not support this operation.");
}

// Refuses indexed parameters "<prefix>.N..." whose N is not a whole number in 1..maxIndex.
void CheckIndices(const ActionContext& ctx, std::string_view prefix, int64_t maxIndex) {
    for (const auto& [name, value] : ctx.params) {
        if (name.size() <= prefix.size() + 1 || name.compare(0, prefix.size(), prefix) != 0 ||
            name[prefix.size()] != '.') {
            continue;
        }
        const std::string tail = name.substr(prefix.size() + 1);
        const std::string index = tail.substr(0, tail.find('.'));
        const bool digits = !index.empty() && index.size() <= 3 &&
                            std::all_of(index.begin(), index.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!digits || std::stoll(index) < 1 || std::stoll(index) > maxIndex) FailInvalidParameter(name);
    }
}

const std::set<std::string>& DiskCategories() {
    static const std::set<std::string> categories = {"cloud", "cloud_efficiency", "cloud_ssd", "cloud_essd",
                                                     "cloud_auto"};
    return categories;
}

std::string DeviceName(size_t index) { return std::string("/dev/xvd") + static_cast<char>('a' + index); }

json::object Attachment(const std::string& instanceId, const std::string& device, const std::string& time) {
    return json::object{{"InstanceId", instanceId}, {"Device", device}, {"AttachedTime", time}};
}

// ---- private addresses

std::optional<uint32_t> ParseIpv4(std::string_view text) {
    uint32_t address = 0;
    int parts = 0;
    size_t start = 0;
    while (parts < 4) {
        const size_t dot = text.find('.', start);
        const std::string_view part = text.substr(start, dot == std::string_view::npos ? text.size() - start
                                                                                        : dot - start);
        if (part.empty() || part.size() > 3 ||
            !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return std::nullopt;
        }
        const int value = std::stoi(std::string(part));
        if (value > 255) return std::nullopt;
        address = (address << 8) | static_cast<uint32_t>(value);
        ++parts;
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    if (parts != 4 || text.find('.', start) != std::string_view::npos) return std::nullopt;
    return address;
}

std::string FormatIpv4(uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 255) + "." +
           std::to_string((address >> 8) & 255) + "." + std::to_string(address & 255);
}

struct Cidr {
    uint32_t base = 0;
    uint32_t mask = 0;
};

Cidr ParseCidr(const std::string& text) {
    const size_t slash = text.find('/');
    const auto base = ParseIpv4(std::string_view(text).substr(0, slash));
    const int bits = slash == std::string::npos ? 24 : std::stoi(text.substr(slash + 1));
    const uint32_t mask = bits <= 0 ? 0 : bits >= 32 ? 0xFFFFFFFFu : ~((1u << (32 - bits)) - 1);
    return Cidr{base.value_or(0) & mask, mask};
}

std::set<std::string> PrivateAddressesInUse(const World& world) {
    std::set<std::string> used;
    for (const json::object& instance : world.Items("Instances")) {
        for (auto& address : Network::NestedStrings(
                 instance.contains("VpcAttributes") && instance.at("VpcAttributes").is_object()
                     ? instance.at("VpcAttributes").as_object()
                     : json::object{},
                 "PrivateIpAddress", "IpAddress")) {
            used.insert(address);
        }
    }
    return used;
}

// The requested private address, checked against the VSwitch; or the lowest free host address.
std::string PrivateAddress(const ActionContext& ctx, const json::object& vswitch) {
    const Cidr cidr = ParseCidr(Str(vswitch, "CidrBlock"));
    const std::set<std::string> used = PrivateAddressesInUse(ctx.world);
    const std::string wanted = ctx.Get("PrivateIpAddress", "");
    if (!wanted.empty()) {
        const auto address = ParseIpv4(wanted);
        if (!address || (*address & cidr.mask) != cidr.base) {
            Fail(400, "InvalidPrivateIpAddress.Malformed", "Specified private IP address is malformed.");
        }
        if (used.count(wanted) != 0) {
            Fail(400, "InvalidPrivateIpAddress.Duplicated", "Specified private IP address is duplicated.");
        }
        return wanted;
    }
    // The first addresses of a VSwitch are the gateway's; hosts start at .10 of the block.
    for (uint32_t host = 10; host < ~cidr.mask; ++host) {
        std::string candidate = FormatIpv4(cidr.base + host);
        if (used.count(candidate) == 0) return candidate;
    }
    Fail(400, "QuotaExceeded.PrivateIpAddress", "The private IP addresses of the VSwitch are used up.");
}

// ---- CreateInstance

struct NetworkPlacement {
    std::string zoneId, vpcId, vswitchId, groupId, privateAddress;
};

NetworkPlacement PlaceInNetwork(ActionContext& ctx, const std::string& regionId, const json::object& region) {
    NetworkPlacement placement;
    placement.vswitchId = ctx.Required("VSwitchId");
    const json::object* vswitch = ctx.world.Find("VSwitches", placement.vswitchId);
    if (vswitch == nullptr || Network::RegionOf(ctx.world, *vswitch) != regionId) {
        FailNotFound("InvalidVSwitchId", "VSwitchId");
    }
    placement.vpcId = Str(*vswitch, "VpcId");
    placement.zoneId = ctx.Get("ZoneId", "");
    if (!placement.zoneId.empty()) {
        bool known = false;
        if (const json::value* zones = region.if_contains("Zones"); zones != nullptr && zones->is_array()) {
            for (const json::value& zone : zones->as_array()) {
                known = known || (zone.is_object() && Str(zone.as_object(), "ZoneId") == placement.zoneId);
            }
        }
        if (!known) FailNotFound("InvalidZoneId", "ZoneId");
        if (placement.zoneId != Str(*vswitch, "ZoneId")) {
            Fail(400, "InvalidParameter.Mismatch", "Specified virtual switch is not in the specified zone.");
        }
    }
    placement.zoneId = Str(*vswitch, "ZoneId");

    placement.groupId = ctx.Required("SecurityGroupId");
    const json::object* group = ctx.world.Find("SecurityGroups", placement.groupId);
    if (group == nullptr || Network::RegionOf(ctx.world, *group) != regionId) {
        FailNotFound("InvalidSecurityGroupId", "SecurityGroupId");
    }
    if (Str(*group, "VpcId") != placement.vpcId) {
        Fail(400, "InvalidParameter.Mismatch", "Specified security group and virtual switch are not in the same VPC.");
    }
    placement.privateAddress = PrivateAddress(ctx, *vswitch);
    return placement;
}

const json::object& RequireUsableImage(ActionContext& ctx, const std::string& regionId) {
    const std::string imageId = ctx.Required("ImageId");
    const json::object* image = ctx.world.Find("Images", imageId);
    const std::string imageRegion = image == nullptr ? std::string() : Str(*image, "_RegionId");
    if (image == nullptr || (!imageRegion.empty() && imageRegion != regionId)) {
        Fail(404, "InvalidImageId.NotFound", "The specified ImageId does not exist.");
    }
    const std::string status = Str(*image, "Status");
    if (status == "Creating" || status == "Waiting") {
        Fail(400, "IncorrectImageStatus", "The specified Image is not available.");
    }
    if (status != "Available") Fail(403, "OperationDenied.ImageNotValid", "The specified Image is disabled or is deleted.");
    return *image;
}

std::string CheckedCategory(const std::string& category, const char* errorCode) {
    if (DiskCategories().count(category) == 0) Fail(400, errorCode, "The specified disk category is not supported.");
    return category;
}

// One disk the new instance gets, before it is stored.
struct NewDisk {
    json::object disk;
    bool fromImage = false;
};

// The image's mappings split into the system one and the data ones, in mapping order.
std::vector<json::object> ImageMappings(const json::object& image, bool system) {
    std::vector<json::object> out;
    const json::value* mappings = image.if_contains("DiskDeviceMappings");
    if (mappings == nullptr || !mappings->is_object()) return out;
    const json::value* list = mappings->as_object().if_contains("DiskDeviceMapping");
    if (list == nullptr || !list->is_array()) return out;
    for (const json::value& mapping : list->as_array()) {
        if (!mapping.is_object()) continue;
        const bool isSystem = Str(mapping.as_object(), "Type") == "system";
        if (isSystem == system) out.push_back(mapping.as_object());
    }
    return out;
}

// Applies the request's "DataDisk.N" members to a disk.
void ConfigureDataDisk(json::object& disk, const std::map<std::string, std::string>& members) {
    const auto get = [&](const char* name) {
        const auto it = members.find(name);
        return it == members.end() ? std::string() : it->second;
    };
    if (!get("Category").empty()) {
        disk["Category"] = CheckedCategory(get("Category"), "InvalidDataDiskCategory.ValueNotSupported");
    }
    if (!get("DiskName").empty()) disk["DiskName"] = get("DiskName");
    if (!get("Description").empty()) disk["Description"] = get("Description");
    const std::string deleteWith = get("DeleteWithInstance");
    if (!deleteWith.empty()) {
        if (deleteWith != "true" && deleteWith != "false" && deleteWith != "True" && deleteWith != "False") {
            FailInvalidParameter("DataDisk.N.DeleteWithInstance");
        }
        disk["DeleteWithInstance"] = deleteWith == "true" || deleteWith == "True";
    }
    const std::string encrypted = get("Encrypted");
    if (!encrypted.empty()) disk["Encrypted"] = encrypted == "true" || encrypted == "True";
}

json::object DataDiskFromMapping(const json::object& mapping) {
    return json::object{{"Type", "data"},
                        {"Category", kDefaultDiskCategory},
                        {"Size", IntMember(mapping, "Size", 40)},
                        {"SourceSnapshotId", Str(mapping, "SnapshotId")},
                        {"DeleteWithInstance", true}};
}

json::object ExtraDataDisk(ActionContext& ctx, const std::string& regionId,
                           const std::map<std::string, std::string>& members) {
    const auto it = members.find("SnapshotId");
    const std::string snapshotId = it == members.end() ? std::string() : it->second;
    const auto sizeIt = members.find("Size");
    int64_t size = 0;
    if (sizeIt != members.end() && !sizeIt->second.empty()) {
        try {
            size = std::stoll(sizeIt->second);
        } catch (...) {
            size = -1;
        }
        if (size < 20 || size > 32768) {
            Fail(400, "InvalidDataDiskSize.ValueNotSupported", "The specified data disk size is not supported.");
        }
    }
    if (!snapshotId.empty()) {
        const json::object* snapshot = ctx.world.Find("Snapshots", snapshotId);
        if (snapshot == nullptr || Str(*snapshot, "RegionId") != regionId) FailNotFound("InvalidSnapshotId", "SnapshotId");
        if (Str(*snapshot, "Status") != "accomplished") {
            Fail(403, "InvalidSnapshotId.NotReady", "The specified snapshot has not completed yet.");
        }
        size = std::max(size, IntMember(*snapshot, "SourceDiskSize", 40));
    }
    if (size == 0) {
        Fail(400, "InvalidDataDiskSize.ValueNotSupported", "The specified data disk size is not supported.");
    }
    return json::object{{"Type", "data"},          {"Category", kDefaultDiskCategory}, {"Size", size},
                        {"SourceSnapshotId", snapshotId}, {"DeleteWithInstance", true}};
}

// The data disks of a new instance: the image's first, then the request's extra ones.
std::vector<json::object> DataDisksOf(ActionContext& ctx, const std::string& regionId, const json::object& image) {
    CheckIndices(ctx, "DataDisk", kMaxDataDiskIndex);
    std::vector<json::object> disks;
    for (const json::object& mapping : ImageMappings(image, false)) disks.push_back(DataDiskFromMapping(mapping));
    const size_t fromImage = disks.size();

    // NumberedObjects drops the indices, so read them again to pair disks by position.
    std::map<int64_t, std::map<std::string, std::string>> byIndex;
    for (const auto& [name, value] : ctx.params) {
        if (name.rfind("DataDisk.", 0) != 0) continue;
        const std::string tail = name.substr(9);
        const size_t dot = tail.find('.');
        if (dot == std::string::npos) continue;
        byIndex[std::stoll(tail.substr(0, dot))].emplace(tail.substr(dot + 1), value);
    }
    for (const auto& [index, members] : byIndex) {
        const auto device = members.find("Device");
        const bool sized = members.count("Size") != 0 || members.count("SnapshotId") != 0;
        std::optional<size_t> target;
        if (device != members.end() && !device->second.empty()) {
            for (size_t n = 0; n < fromImage; ++n) {
                if (DeviceName(n + 1) == device->second) target = n;
            }
        } else if (!sized && static_cast<size_t>(index) <= fromImage) {
            target = static_cast<size_t>(index) - 1;
        }
        if (target) {
            ConfigureDataDisk(disks[*target], members);
            continue;
        }
        json::object disk = ExtraDataDisk(ctx, regionId, members);
        ConfigureDataDisk(disk, members);
        disks.push_back(std::move(disk));
    }
    if (static_cast<int64_t>(disks.size()) > kMaxDataDiskIndex) {
        Fail(400, "InstanceDiskNumber.LimitExceed", "The number of disks of the instance exceeds the limit.");
    }
    return disks;
}

json::object SystemDiskOf(ActionContext& ctx, const json::object& image) {
    const std::vector<json::object> system = ImageMappings(image, true);
    const int64_t imageSize = system.empty() ? IntMember(image, "Size", 40) : IntMember(system.front(), "Size", 40);
    const int64_t size = ctx.Int("SystemDisk.Size", std::max<int64_t>(40, imageSize), 20, 2048);
    if (size < imageSize) Fail(400, "InvalidSystemDiskSize", "The system disk size is smaller than the image.");
    return json::object{
        {"Type", "system"},
        {"Category", CheckedCategory(ctx.Get("SystemDisk.Category", kDefaultDiskCategory),
                                     "InvalidSystemDiskCategory.ValueNotSupported")},
        {"Size", size},
        {"DiskName", ctx.Get("SystemDisk.DiskName", "")},
        {"Description", ctx.Get("SystemDisk.Description", "")},
        {"SourceSnapshotId", system.empty() ? std::string() : Str(system.front(), "SnapshotId")},
        {"DeleteWithInstance", true},
        {"Portable", false}};
}

void CheckInstanceType(const ActionContext& ctx, const json::object& region, const std::string& zoneId,
                       const std::string& type) {
    const json::value* zones = region.if_contains("Zones");
    if (zones == nullptr || !zones->is_array()) return;
    for (const json::value& zone : zones->as_array()) {
        if (!zone.is_object() || Str(zone.as_object(), "ZoneId") != zoneId) continue;
        const json::object& z = zone.as_object();
        const auto types = Network::NestedStrings(z, "AvailableInstanceTypes", "InstanceTypes");
        // A zone that lists no types (a test's bare seed) takes any.
        if (!types.empty() && std::find(types.begin(), types.end(), type) == types.end()) {
            Fail(400, "InvalidInstanceType.NotSupported", "The specified instance type is not supported.");
        }
    }
    (void)ctx;
}

std::string TypeFamily(const std::string& type) {
    const size_t second = type.find('.', type.find('.') + 1);
    return second == std::string::npos ? type : type.substr(0, second);
}

json::object CreateInstance(ActionContext& ctx) {
    const json::object& region = ctx.RequireKnownRegion();
    const std::string regionId = Str(region, "RegionId");
    const std::string token = ctx.Get("ClientToken", "");
    if (token.size() > 64 || std::any_of(token.begin(), token.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e;
        })) {
        Fail(400, "InvalidClientToken.ValueNotSupported", "The specified ClientToken is not valid.");
    }
    if (const json::object* earlier = Network::FindByClientToken(ctx, "Instances")) {
        return json::object{{"InstanceId", Str(*earlier, "InstanceId")}, {"OrderId", ""}, {"TradePrice", 0.0}};
    }

    const std::string type = ctx.Required("InstanceType");
    const json::object& image = RequireUsableImage(ctx, regionId);
    const NetworkPlacement placement = PlaceInNetwork(ctx, regionId, region);
    CheckInstanceType(ctx, region, placement.zoneId, type);
    const int64_t bandwidthOut = [&] {
        const std::string text = ctx.Get("InternetMaxBandwidthOut", "0");
        try {
            size_t used = 0;
            const int64_t value = std::stoll(text, &used);
            if (used == text.size() && value >= 0 && value <= kMaxBandwidthOut) return value;
        } catch (...) {
        }
        Fail(400, "InvalidInternetMaxBandwidthOut.Malformed",
             "The specified parameter \"InternetMaxBandwidthOut\" is not valid.");
    }();
    json::object systemDisk = SystemDiskOf(ctx, image);
    std::vector<json::object> dataDisks = DataDisksOf(ctx, regionId, image);

    const std::string instanceId = ctx.world.NewId("i");
    const std::string minutes = FormatUtc(ctx.now, TimePrecision::Minutes);
    const std::string seconds = FormatUtc(ctx.now, TimePrecision::Seconds);
    json::object instance{
        {"InstanceId", instanceId},
        {"InstanceName", ctx.Get("InstanceName", instanceId)},
        {"Description", ctx.Get("Description", "")},
        {"HostName", ctx.Get("HostName", "iZ" + instanceId.substr(2) + "Z")},
        {"ImageId", Str(image, "ImageId")},
        {"InstanceType", type},
        {"InstanceTypeFamily", TypeFamily(type)},
        {"RegionId", regionId},
        {"ZoneId", placement.zoneId},
        {"InternetChargeType", ctx.Get("InternetChargeType", "PayByTraffic")},
        {"InternetMaxBandwidthOut", bandwidthOut},
        {"InternetMaxBandwidthIn", bandwidthOut > 0 ? std::max<int64_t>(10, bandwidthOut) : -1},
        {"CreationTime", minutes},
        {"OSName", Str(image, "OSName")},
        {"OSNameEn", Str(image, "OSNameEn")},
        {"OSType", Str(image, "OSType")},
        {"SerialNumber", instanceId.substr(2)},
        {"VpcAttributes",
         json::object{{"VpcId", placement.vpcId},
                      {"VSwitchId", placement.vswitchId},
                      {"NatIpAddress", ""},
                      {"PrivateIpAddress", json::object{{"IpAddress", json::array{json::string(placement.privateAddress)}}}}}},
        {"SecurityGroupIds", json::object{{"SecurityGroupId", json::array{json::string(placement.groupId)}}}}};
    json::object& stored = ctx.world.Put("Instances", std::move(instance));
    Network::RememberClientToken(ctx, stored);
    EnterTransient(ctx, "Instances", stored, "InstanceId", regionId, "_InstancePendingRequests", "Pending", "Stopped");

    // The disks: system first, then data disks on the next devices.
    dataDisks.insert(dataDisks.begin(), std::move(systemDisk));
    for (size_t n = 0; n < dataDisks.size(); ++n) {
        json::object& disk = dataDisks[n];
        disk["DiskId"] = ctx.world.NewId("d");
        disk["RegionId"] = regionId;
        disk["ZoneId"] = placement.zoneId;
        disk["InstanceId"] = instanceId;
        disk["Device"] = DeviceName(n);
        disk["ImageId"] = Str(image, "ImageId");
        disk["Status"] = "In_use";
        disk["CreationTime"] = seconds;
        disk["AttachedTime"] = seconds;
        disk["Attachments"] = json::object{{"Attachment", json::array{Attachment(instanceId, DeviceName(n), seconds)}}};
        ctx.world.Put("Disks", std::move(disk));
    }
    if (json::object* group = ctx.world.Find("SecurityGroups", placement.groupId)) {
        (*group)["EcsCount"] = IntMember(*group, "EcsCount", 0) + 1;
    }
    if (json::object* used = ctx.world.Find("Images", Str(image, "ImageId"))) (*used)["Usage"] = "instance";
    return json::object{{"InstanceId", instanceId}, {"OrderId", ""}, {"TradePrice", 0.0}};
}

// ---- start, stop, delete

json::object StartInstance(ActionContext& ctx) {
    json::object& instance = RequireInstance(ctx);
    if (Str(instance, "Status") != "Stopped") FailInstanceStatus();
    if (const json::array* locks = NestedArray(instance, "OperationLocks", "LockReason"); locks && !locks->empty()) {
        Fail(403, "InstanceLockedForSecurity", "The specified operation is denied as your instance is locked for security reasons.");
    }
    instance["StartTime"] = FormatUtc(ctx.now, TimePrecision::Minutes);
    instance["StoppedMode"] = "Not-applicable";
    EnterTransient(ctx, "Instances", instance, "InstanceId", Str(instance, "RegionId"), "_InstanceStartingRequests",
                   "Starting", "Running");
    return {};
}

json::object StopInstance(ActionContext& ctx) {
    json::object& instance = RequireInstance(ctx);
    const std::string mode = ctx.Get("StoppedMode", "KeepCharging");
    if (mode != "KeepCharging" && mode != "StopCharging") FailInvalidParameter("StoppedMode");
    (void)ctx.Bool("ForceStop", false);
    (void)ctx.Bool("ConfirmStop", false);
    if (Str(instance, "Status") != "Running") FailInstanceStatus();
    instance["StoppedMode"] = mode;
    EnterTransient(ctx, "Instances", instance, "InstanceId", Str(instance, "RegionId"), "_InstanceStoppingRequests",
                   "Stopping", "Stopped");
    return {};
}

// What deleting an instance does to the disks, addresses and groups it held.
void ReleaseInstanceResources(ActionContext& ctx, const json::object& instance) {
    const std::string instanceId = Str(instance, "InstanceId");
    const std::string now = FormatUtc(ctx.now, TimePrecision::Seconds);
    std::vector<std::string> doomed;
    for (json::object& disk : ctx.world.Items("Disks")) {
        if (Str(disk, "InstanceId") != instanceId) continue;
        if (BoolMember(disk, "DeleteWithInstance")) {
            doomed.push_back(Str(disk, "DiskId"));
            continue;
        }
        disk["InstanceId"] = "";
        disk["Device"] = "";
        disk["Status"] = "Available";
        disk["DetachedTime"] = now;
        disk["Attachments"] = json::object{{"Attachment", json::array{}}};
    }
    for (const std::string& diskId : doomed) ctx.world.Remove("Disks", diskId);
    for (json::object& eip : ctx.world.Items("EipAddresses")) {
        if (Str(eip, "InstanceId") != instanceId) continue;
        for (const char* member : {"InstanceId", "InstanceType", "InstanceRegionId", "VpcId"}) eip[member] = "";
        eip["Status"] = "Available";
    }
    const json::object& groups = instance.at("SecurityGroupIds").as_object();
    for (const json::value& id : groups.at("SecurityGroupId").as_array()) {
        if (!id.is_string()) continue;
        if (json::object* group = ctx.world.Find("SecurityGroups", id.as_string())) {
            (*group)["EcsCount"] = std::max<int64_t>(0, IntMember(*group, "EcsCount", 1) - 1);
        }
    }
}

json::object DeleteInstance(ActionContext& ctx) {
    json::object& instance = RequireInstance(ctx);
    if (BoolMember(instance, "DeletionProtection")) {
        Fail(403, "InvalidOperation.DeletionProtection", "The instance has deletion protection enabled.");
    }
    const bool force = ctx.Bool("Force", false);
    const std::string status = Str(instance, "Status");
    if (status == "Pending") {
        Fail(403, "IncorrectInstanceStatus.Initializing", "The specified instance is in the initializing state.");
    }
    if (status != "Stopped" && !force) FailInstanceStatus();
    const json::object copy = instance;
    ReleaseInstanceResources(ctx, copy);
    ctx.world.Remove("Instances", Str(copy, "InstanceId"));
    return {};
}

// ---- security groups and disks

std::vector<std::string> GroupsOf(const json::object& instance) {
    return Network::NestedStrings(instance, "SecurityGroupIds", "SecurityGroupId");
}

json::object JoinSecurityGroup(ActionContext& ctx) {
    const std::string groupId = ctx.Required("SecurityGroupId");
    json::object& instance = RequireInstance(ctx);
    const json::object* group = ctx.world.Find("SecurityGroups", groupId);
    if (group == nullptr || Network::RegionOf(ctx.world, *group) != Str(instance, "RegionId")) {
        FailNotFound("InvalidSecurityGroupId", "SecurityGroupId");
    }
    const std::string status = Str(instance, "Status");
    if (status != "Running" && status != "Stopped") FailInstanceStatus();
    const std::vector<std::string> groups = GroupsOf(instance);
    if (std::find(groups.begin(), groups.end(), groupId) != groups.end()) {
        Fail(403, "InvalidInstanceId.AlreadyExists", "The specified instance already exists in the security group.");
    }
    const json::object* vpc = Object(instance, "VpcAttributes");
    if (vpc == nullptr || Str(*vpc, "VpcId") != Str(*group, "VpcId")) {
        Fail(400, "InvalidInstanceId.Mismatch", "The specified instance and security group are not in the same VPC.");
    }
    if (static_cast<int64_t>(groups.size()) >= IntMember(instance, "_SecurityGroupLimit", kDefaultSecurityGroupLimit)) {
        Fail(400, "InstanceSecurityGroupLimitExceeded",
             "Exceeding the allowed amount of security groups that an instance can be in.");
    }
    NestedArray(instance, "SecurityGroupIds", "SecurityGroupId")->push_back(json::string(groupId));
    if (json::object* stored = ctx.world.Find("SecurityGroups", groupId)) {
        (*stored)["EcsCount"] = IntMember(*stored, "EcsCount", 0) + 1;
    }
    return {};
}

// The first device from /dev/xvdb the instance's disks do not use.
std::string NextDataDevice(const World& world, const std::string& instanceId) {
    std::set<std::string> used;
    for (const json::object& disk : world.Items("Disks")) {
        if (Str(disk, "InstanceId") == instanceId) used.insert(Str(disk, "Device"));
    }
    for (size_t n = 1; n < 26; ++n) {
        if (used.count(DeviceName(n)) == 0) return DeviceName(n);
    }
    return {};
}

json::object AttachDisk(ActionContext& ctx) {
    json::object& instance = RequireInstance(ctx);
    json::object* disk = ctx.world.Find("Disks", ctx.Required("DiskId"));
    if (disk == nullptr) FailNotFound("InvalidDiskId", "DiskId");
    const bool deleteWithInstance = ctx.Bool("DeleteWithInstance", false);
    if (Str(*disk, "Status") != "Available" || !Str(*disk, "InstanceId").empty()) {
        Fail(403, "IncorrectDiskStatus", "The current disk status does not support this operation.");
    }
    const std::string status = Str(instance, "Status");
    if (status != "Running" && status != "Stopped") FailInstanceStatus();
    if (Str(*disk, "ZoneId") != Str(instance, "ZoneId") || Str(*disk, "RegionId") != Str(instance, "RegionId")) {
        Fail(403, "ResourcesNotInSameZone", "The specified instance and disk are not in the same zone.");
    }
    if (disk->if_contains("Portable") != nullptr && !BoolMember(*disk, "Portable")) {
        Fail(403, "DiskNotPortable", "The specified disk is not a portable disk.");
    }
    const std::string instanceId = Str(instance, "InstanceId");
    std::string device;
    if (Str(*disk, "Type") == "system") {
        // A detached system disk goes back only as the system disk of a stopped instance without one.
        if (status != "Stopped") FailInstanceStatus();
        device = DeviceName(0);
        for (const json::object& other : ctx.world.Items("Disks")) {
            if (Str(other, "InstanceId") == instanceId && Str(other, "Device") == device) {
                Fail(403, "InvalidDevice.InUse", "The specified device is in use.");
            }
        }
    } else {
        int64_t attached = 0;
        for (const json::object& other : ctx.world.Items("Disks")) {
            attached += Str(other, "InstanceId") == instanceId && Str(other, "Type") != "system";
        }
        if (attached >= IntMember(instance, "_DataDiskLimit", kDefaultDataDiskLimit)) {
            Fail(403, "InstanceDiskLimitExceeded", "The amount of the disk on instance in question reach its limits.");
        }
        device = NextDataDevice(ctx.world, instanceId);
    }
    const std::string now = FormatUtc(ctx.now, TimePrecision::Seconds);
    (*disk)["InstanceId"] = instanceId;
    (*disk)["Device"] = device;
    (*disk)["DeleteWithInstance"] = deleteWithInstance;
    (*disk)["AttachedTime"] = now;
    (*disk)["Attachments"] = json::object{{"Attachment", json::array{Attachment(instanceId, device, now)}}};
    EnterTransient(ctx, "Disks", *disk, "DiskId", Str(*disk, "RegionId"), "_DiskAttachingRequests", "Attaching",
                   "In_use");
    return {};
}

// ---- images

struct Mapping {
    std::string snapshotId, type, device;
    int64_t size = 0;
};

const json::object& RequireReadySnapshot(ActionContext& ctx, const std::string& regionId, const std::string& id) {
    const json::object* snapshot = ctx.world.Find("Snapshots", id);
    if (snapshot == nullptr || Str(*snapshot, "RegionId") != regionId) FailNotFound("InvalidSnapshotId", "SnapshotId");
    if (Str(*snapshot, "Status") != "accomplished") {
        Fail(403, "InvalidSnapshotId.NotReady", "The specified snapshot has not completed yet.");
    }
    return *snapshot;
}

std::vector<Mapping> RequestedMappings(ActionContext& ctx, const std::string& regionId) {
    CheckIndices(ctx, "DiskDeviceMapping", kMaxImageMappingIndex);
    std::vector<Mapping> mappings;
    for (const auto& members : ctx.NumberedObjects("DiskDeviceMapping")) {
        const auto get = [&](const char* name) {
            const auto it = members.find(name);
            return it == members.end() ? std::string() : it->second;
        };
        Mapping mapping{get("SnapshotId"), get("DiskType"), get("Device"), 0};
        if (!get("Size").empty()) {
            try {
                mapping.size = std::stoll(get("Size"));
            } catch (...) {
                mapping.size = -1;
            }
            if (mapping.size < 1 || mapping.size > 32768) {
                Fail(400, "InvalidSize.ValueNotSupported", "The specified size is not supported.");
            }
        }
        if (!mapping.snapshotId.empty()) {
            const json::object& snapshot = RequireReadySnapshot(ctx, regionId, mapping.snapshotId);
            if (mapping.type.empty()) mapping.type = Str(snapshot, "SourceDiskType");
            mapping.size = std::max(mapping.size, IntMember(snapshot, "SourceDiskSize", 40));
        } else if (mapping.size <= 0) {
            Fail(400, "InvalidSize.ValueNotSupported", "The specified size is not supported.");
        }
        if (mapping.type.empty()) mapping.type = "data";
        if (mapping.type != "system" && mapping.type != "data") FailInvalidParameter("DiskDeviceMapping.N.DiskType");
        mappings.push_back(std::move(mapping));
    }
    return mappings;
}

// Orders the mappings (system first) and gives each its device.
void AssignDevices(std::vector<Mapping>& mappings) {
    const auto systems = std::count_if(mappings.begin(), mappings.end(), [](const Mapping& m) { return m.type == "system"; });
    if (systems != 1) {
        Fail(403, "OperationDenied", "The image needs exactly one system disk snapshot.");
    }
    std::stable_partition(mappings.begin(), mappings.end(), [](const Mapping& m) { return m.type == "system"; });
    std::set<std::string> used;
    for (const Mapping& mapping : mappings) {
        if (mapping.device.empty()) continue;
        const bool wellFormed = mapping.device.size() == 9 && mapping.device.rfind("/dev/xvd", 0) == 0 &&
                                mapping.device[8] >= 'a' && mapping.device[8] <= 'z' &&
                                (mapping.device == DeviceName(0)) == (mapping.type == "system");
        if (!wellFormed) Fail(400, "InvalidDevice.Malformed", "The specified device is malformed.");
        if (!used.insert(mapping.device).second) Fail(400, "InvalidDevice.InUse", "The specified device is in use.");
    }
    size_t next = 1;
    for (Mapping& mapping : mappings) {
        if (!mapping.device.empty()) continue;
        if (mapping.type == "system") {
            mapping.device = DeviceName(0);
            continue;
        }
        while (used.count(DeviceName(next)) != 0) ++next;
        mapping.device = DeviceName(next);
        used.insert(mapping.device);
    }
}

void CheckImageName(ActionContext& ctx, const std::string& regionId, const std::string& name) {
    if (name.empty()) return;
    const bool wellFormed = name.size() >= 2 && name.size() <= 128 && std::isalpha(static_cast<unsigned char>(name[0])) &&
                            name.rfind("http://", 0) != 0 && name.rfind("https://", 0) != 0;
    if (!wellFormed) Fail(400, "InvalidImageName.Malformed", "The specified image name is malformed.");
    for (const json::object& image : ctx.world.Items("Images")) {
        if (Str(image, "_RegionId") == regionId && Str(image, "ImageName") == name) {
            Fail(400, "InvalidImageName.Duplicated", "The specified image name is already in use.");
        }
    }
}

std::set<std::string> SnapshotsOfImage(const json::object& image) {
    std::set<std::string> ids;
    for (bool system : {true, false}) {
        for (const json::object& mapping : ImageMappings(image, system)) {
            if (!Str(mapping, "SnapshotId").empty()) ids.insert(Str(mapping, "SnapshotId"));
        }
    }
    return ids;
}

json::object CreateImage(ActionContext& ctx) {
    const std::string regionId = Str(ctx.RequireKnownRegion(), "RegionId");
    json::object* earlier = nullptr;
    try {
        earlier = Network::FindByClientToken(ctx, "Images");
    } catch (const ApiError&) {
        // The image action words the refusal of a reused token its own way.
        Fail(400, "IdempotenceParamNotMatch", "Request uses a client token in a previous request but is not identical to that request.");
    }
    if (earlier != nullptr) return json::object{{"ImageId", Str(*earlier, "ImageId")}};

    if (!ctx.Get("InstanceId", "").empty()) FailInvalidParameter("InstanceId");
    std::vector<Mapping> mappings = RequestedMappings(ctx, regionId);
    if (mappings.empty()) {
        const std::string snapshotId = ctx.Get("SnapshotId", "");
        if (snapshotId.empty()) {
            Fail(400, "MissingParameter", "One of SnapshotId, InstanceId or DiskDeviceMapping must be specified.");
        }
        const json::object& snapshot = RequireReadySnapshot(ctx, regionId, snapshotId);
        if (Str(snapshot, "SourceDiskType") != "system") {
            Fail(403, "OperationDenied", "The specified snapshot is not of a system disk.");
        }
        mappings.push_back(Mapping{snapshotId, "system", "", IntMember(snapshot, "SourceDiskSize", 40)});
    }
    AssignDevices(mappings);

    const std::string name = ctx.Get("ImageName", "");
    CheckImageName(ctx, regionId, name);
    const std::string architecture = ctx.Get("Architecture", "x86_64");
    if (architecture != "x86_64" && architecture != "i386" && architecture != "arm64") {
        Fail(400, "InvalidArchitecture.Malformed", "The specified architecture is malformed.");
    }
    const std::string platform = ctx.Get("Platform", "Others Linux");
    const bool windows = platform.rfind("Windows", 0) == 0;

    json::array list;
    for (const Mapping& mapping : mappings) {
        list.push_back(json::object{{"SnapshotId", mapping.snapshotId}, {"Size", std::to_string(mapping.size)},
                                    {"Device", mapping.device}, {"Type", mapping.type}, {"Format", ""},
                                    {"Progress", "100%"}, {"RemainTime", 0}, {"Encrypted", false}});
        if (!mapping.snapshotId.empty()) {
            if (json::object* snapshot = ctx.world.Find("Snapshots", mapping.snapshotId)) (*snapshot)["Usage"] = "image";
        }
    }
    json::object image{{"ImageName", name},
                       {"Description", ctx.Get("Description", "")},
                       {"Architecture", architecture},
                       {"Platform", platform},
                       {"OSType", windows ? "windows" : "linux"},
                       {"OSName", platform},
                       {"OSNameEn", platform},
                       {"ImageOwnerAlias", "self"},
                       {"Progress", "100%"},
                       {"Size", mappings.front().size},
                       {"CreationTime", FormatUtc(ctx.now, TimePrecision::Seconds)},
                       {"DiskDeviceMappings", json::object{{"DiskDeviceMapping", std::move(list)}}},
                       {"_RegionId", regionId}};
    json::object& stored = ctx.world.Put("Images", std::move(image));
    Network::RememberClientToken(ctx, stored);
    EnterTransient(ctx, "Images", stored, "ImageId", regionId, "_ImageCreatingRequests", "Creating", "Available");
    return json::object{{"ImageId", Str(stored, "ImageId")}};
}

json::object DeleteImage(ActionContext& ctx) {
    const std::string regionId = Str(ctx.RequireKnownRegion(), "RegionId");
    const std::string imageId = ctx.Required("ImageId");
    const bool force = ctx.Bool("Force", false);
    json::object* image = ctx.world.Find("Images", imageId);
    const std::string imageRegion = image == nullptr ? std::string() : Str(*image, "_RegionId");
    if (image == nullptr || (!imageRegion.empty() && imageRegion != regionId)) return {};
    if (Str(*image, "ImageOwnerAlias") != "self") {
        Fail(404, "InvalidImageId.NotFound", "The specified ImageId does not exist.");
    }
    if (Str(*image, "Status") == "Creating") Fail(403, "ImageIsCreating", "The specified image is being created.");
    const bool used = !ctx.world.Select("Instances", [&](const json::object& instance) {
                           return Str(instance, "ImageId") == imageId;
                       }).empty();
    if (used && !force) Fail(403, "ImageUsingByInstance", "The specified image has been used to create instances.");

    const std::set<std::string> snapshots = SnapshotsOfImage(*image);
    ctx.world.Remove("Images", imageId);
    for (const std::string& snapshotId : snapshots) {
        bool stillUsed = false;
        for (const json::object& other : ctx.world.Items("Images")) stillUsed = stillUsed || SnapshotsOfImage(other).count(snapshotId);
        json::object* snapshot = ctx.world.Find("Snapshots", snapshotId);
        if (snapshot != nullptr && !stillUsed) (*snapshot)["Usage"] = "none";
    }
    return {};
}

}  // namespace

// True while an image of the world is built from the snapshot (DeleteSnapshot refuses it then).
bool SnapshotUsedByImage(const World& world, const std::string& snapshotId) {
    for (const json::object& image : world.Items("Images")) {
        if (SnapshotsOfImage(image).count(snapshotId) != 0) return true;
    }
    return false;
}

void RegisterEcsLifecycleActions(ActionTable& table) {
    table.Add(Product::Ecs, "CreateInstance", CreateInstance, RegionScoped(Product::Ecs));
    table.Add(Product::Ecs, "StartInstance", StartInstance);
    table.Add(Product::Ecs, "StopInstance", StopInstance);
    table.Add(Product::Ecs, "DeleteInstance", DeleteInstance);
    table.Add(Product::Ecs, "JoinSecurityGroup", JoinSecurityGroup);
    table.Add(Product::Ecs, "AttachDisk", AttachDisk);
    table.Add(Product::Ecs, "CreateImage", CreateImage, RegionScoped(Product::Ecs));
    table.Add(Product::Ecs, "DeleteImage", DeleteImage, RegionScoped(Product::Ecs));
}

}  // namespace AcwEmulator
