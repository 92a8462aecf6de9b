// Compute inventory actions: DescribeZones, DescribeInstanceTypeFamilies, DescribeInstanceTypes,
// DescribeAvailableResource and DescribeImages, in the shapes and JSON types of the real service.
//
// Where the service's documentation is silent, these are the emulator's choices:
// - Unknown regions: 404 "InvalidRegionId.NotFound" (DescribeZones, DescribeImages; the
//   families' own text "The RegionId provided does not exist in our records."), and 404
//   "Invalid.RegionId" for DescribeAvailableResource, as their error tables give them.
// - DescribeInstanceTypeFamilies of a region: the union of the families of the types its zones
//   offer, in catalogue order (no page relates the two; this keeps the three answers consistent).
// - DescribeAvailableResource when nothing matches: 200 with "AvailableZones":{"AvailableZone":[]}
//   (the vendor's own provider reads an empty list as "no resources"); zones offering nothing of
//   the destination are left out. "IoOptimized" defaults to "optimized" also for
//   DestinationResource=InstanceType (the API metadata's default), so a request without it is
//   answered rather than refused. Missing "DestinationResource": 400 "Invalid.Param"; an unknown
//   one: 404 "Invalid.DestinationResource"; an unknown "IoOptimized": 404 "Invalid.IoOptimized".
// - DescribeImages "Status" is a comma list; by default only "Available" images are listed, and
//   an unknown status matches nothing. A deleted image is simply absent.
//
// Stored shapes:
// - A zone (inside its region's "Zones") lists the types it sells in
//   "AvailableInstanceTypes"."InstanceTypes"; "_SoldOut" (array of type ids) marks the sold-out ones.
// - The instance type catalogue is the "InstanceTypes" collection, one item per type in the
//   answer's shape; "_IoOptimized" (default true) and "_Generation" are internal.
#include <acw_emulator/Actions.h>
#include <acw_emulator/World.h>

#include <boost/json.hpp>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace AcwEmulator {
namespace json = boost::json;

namespace {

std::vector<json::object> ZonesOf(const json::object& region) {
    std::vector<json::object> zones;
    if (const auto* list = region.if_contains("Zones"); list != nullptr && list->is_array()) {
        for (const auto& zone : list->as_array()) {
            if (zone.is_object()) zones.push_back(zone.as_object());
        }
    }
    return zones;
}

// The string elements of item[outer][inner].
std::vector<std::string> Strings(const json::object& item, const char* outer, const char* inner) {
    std::vector<std::string> out;
    const auto* o = item.if_contains(outer);
    if (o == nullptr || !o->is_object()) return out;
    const auto* a = o->as_object().if_contains(inner);
    if (a == nullptr || !a->is_array()) return out;
    for (const auto& v : a->as_array()) {
        if (v.is_string()) out.emplace_back(v.as_string());
    }
    return out;
}

std::vector<std::string> TopStrings(const json::object& item, const char* name) {
    std::vector<std::string> out;
    if (const auto* a = item.if_contains(name); a != nullptr && a->is_array()) {
        for (const auto& v : a->as_array()) {
            if (v.is_string()) out.emplace_back(v.as_string());
        }
    }
    return out;
}

json::array ToArray(const std::vector<std::string>& values) {
    json::array out;
    for (const auto& v : values) out.emplace_back(v);
    return out;
}

bool Contains(const std::vector<std::string>& values, const std::string& value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

const json::object* CatalogueType(const ActionContext& ctx, const std::string& typeId) {
    return ctx.world.Find("InstanceTypes", typeId);
}

bool IsIoOptimized(const json::object& type) {
    const auto* v = type.if_contains("_IoOptimized");
    return v == nullptr || !v->is_bool() || v->as_bool();
}

bool WantsChinese(const ActionContext& ctx) {
    const std::string language = ctx.Get("AcceptLanguage", "zh-CN");
    return language == "zh-CN" || language == "zh_TW" || language == "zh-TW";
}

// ------------------------------------------------------------------ DescribeZones

// "AvailableResources"."ResourcesInfo": one entry per I/O kind the zone sells, with the lower-case
// "supported..." member names of the real answer.
json::array ResourcesInfo(const ActionContext& ctx, const json::object& zone) {
    json::array info;
    const auto categories = ToArray(Strings(zone, "AvailableDiskCategories", "DiskCategories"));
    for (const bool ioOptimized : {true, false}) {
        std::vector<std::string> types;
        std::vector<std::string> families;
        for (const auto& typeId : Strings(zone, "AvailableInstanceTypes", "InstanceTypes")) {
            const json::object* type = CatalogueType(ctx, typeId);
            if (type == nullptr || IsIoOptimized(*type) != ioOptimized) continue;
            types.push_back(typeId);
            const std::string family = Str(*type, "InstanceTypeFamily");
            if (!family.empty() && !Contains(families, family)) families.push_back(family);
        }
        if (types.empty()) continue;
        info.push_back(json::object{
            {"IoOptimized", ioOptimized},
            {"SystemDiskCategories", json::object{{"supportedSystemDiskCategory", categories}}},
            {"DataDiskCategories", json::object{{"supportedDataDiskCategory", categories}}},
            {"InstanceGenerations", json::object{{"supportedInstanceGeneration", json::array{"ecs-5"}}}},
            {"InstanceTypes", json::object{{"supportedInstanceType", ToArray(types)}}},
            {"InstanceTypeFamilies", json::object{{"supportedInstanceTypeFamily", ToArray(families)}}},
            {"NetworkTypes", json::object{{"supportedNetworkCategory", json::array{"vpc"}}}},
        });
    }
    return info;
}

json::object DescribeZones(ActionContext& ctx) {
    const json::object& region = ctx.RequireKnownRegion();
    const bool chinese = WantsChinese(ctx);
    json::array zones;
    for (const auto& zone : ZonesOf(region)) {
        json::object out{
            {"ZoneId", Str(zone, "ZoneId")},
            {"LocalName", Str(zone, chinese ? "LocalName" : "_LocalNameEn")},
            {"ZoneType", zone.contains("ZoneType") ? Str(zone, "ZoneType") : std::string("AvailabilityZone")},
            {"AvailableResourceCreation",
             json::object{{"ResourceTypes", ToArray(Strings(zone, "AvailableResourceCreation", "ResourceTypes"))}}},
            {"AvailableDiskCategories",
             json::object{{"DiskCategories", ToArray(Strings(zone, "AvailableDiskCategories", "DiskCategories"))}}},
            {"AvailableInstanceTypes",
             json::object{{"InstanceTypes", ToArray(Strings(zone, "AvailableInstanceTypes", "InstanceTypes"))}}},
            {"AvailableVolumeCategories",
             json::object{
                 {"VolumeCategories", ToArray(Strings(zone, "AvailableVolumeCategories", "VolumeCategories"))}}},
            {"AvailableDedicatedHostTypes", json::object{{"DedicatedHostType", json::array()}}},
            {"DedicatedHostGenerations", json::object{{"DedicatedHostGeneration", json::array()}}},
            {"AvailableResources", json::object{{"ResourcesInfo", ResourcesInfo(ctx, zone)}}},
        };
        zones.push_back(std::move(out));
    }
    return json::object{{"Zones", json::object{{"Zone", std::move(zones)}}}};
}

// ------------------------------------------------------------------ instance types

json::object DescribeInstanceTypeFamilies(ActionContext& ctx) {
    const json::object& region = ctx.RequireKnownRegion();
    const std::string generation = ctx.Get("Generation", "");
    std::set<std::string> sold;
    for (const auto& zone : ZonesOf(region)) {
        for (const auto& typeId : Strings(zone, "AvailableInstanceTypes", "InstanceTypes")) sold.insert(typeId);
    }
    json::array families;
    std::set<std::string> seen;
    for (const auto& type : ctx.world.Items("InstanceTypes")) {
        if (sold.count(Str(type, "InstanceTypeId")) == 0) continue;
        const std::string family = Str(type, "InstanceTypeFamily");
        const std::string typeGeneration = Str(type, "_Generation");
        if (family.empty() || (!generation.empty() && generation != typeGeneration)) continue;
        if (!seen.insert(family).second) continue;
        families.push_back(json::object{{"InstanceTypeFamilyId", family}, {"Generation", typeGeneration}});
    }
    return json::object{{"InstanceTypeFamilies", json::object{{"InstanceTypeFamily", std::move(families)}}}};
}

// Token paging: "NextToken" is the decimal offset of the next item; MaxResults 1..1600 (1600).
json::object DescribeInstanceTypes(ActionContext& ctx) {
    const int64_t maxResults = ctx.Int("MaxResults", 1600, 1, 1600);
    const std::string token = ctx.Get("NextToken", "");
    int64_t first = 0;
    if (!token.empty()) {
        first = -1;
        if (std::all_of(token.begin(), token.end(), [](char c) { return c >= '0' && c <= '9'; }) && token.size() < 10) {
            first = std::stoll(token);
        }
        if (first < 0) FailInvalidParameter("NextToken");
    }
    const std::string family = ctx.Get("InstanceTypeFamily", "");
    const auto named = ctx.NumberedList("InstanceTypes");
    const auto types = ctx.world.Select("InstanceTypes", [&](const json::object& t) {
        return (family.empty() || Str(t, "InstanceTypeFamily") == family) &&
               (named.empty() || Contains(named, Str(t, "InstanceTypeId"))) && ctx.Matches(t, "CpuArchitecture");
    });
    const auto total = static_cast<int64_t>(types.size());
    const int64_t begin = std::min(first, total);
    const int64_t end = std::min(total, begin + maxResults);
    json::object out;
    AddList(out, std::vector<json::object>(types.begin() + begin, types.begin() + end),
            {"InstanceTypes", "InstanceType"});
    out["NextToken"] = end < total ? std::to_string(end) : std::string();
    return out;
}

// ------------------------------------------------------------------ DescribeAvailableResource

json::object Supported(const std::string& value, bool available) {
    return json::object{{"Value", value},
                        {"Status", available ? "Available" : "SoldOut"},
                        {"StatusCategory", available ? "WithStock" : "WithoutStock"}};
}

json::object DiskResource(const std::string& category) {
    json::object out = Supported(category, true);
    out["Min"] = category == "cloud" ? 5 : 20;
    out["Max"] = category == "cloud" ? 2000 : 32768;
    out["Unit"] = "GiB";
    return out;
}

// The supported resources of one zone for the destination; empty when it offers none.
json::array SupportedInZone(const ActionContext& ctx, const json::object& zone, const std::string& destination,
                            bool ioOptimized) {
    json::array out;
    const auto soldOut = TopStrings(zone, "_SoldOut");
    if (destination == "InstanceType") {
        const auto wanted = ctx.Get("InstanceType", "");
        for (const auto& typeId : Strings(zone, "AvailableInstanceTypes", "InstanceTypes")) {
            const json::object* type = CatalogueType(ctx, typeId);
            const bool typeIo = type == nullptr || IsIoOptimized(*type);
            if (typeIo != ioOptimized || (!wanted.empty() && wanted != typeId)) continue;
            out.push_back(Supported(typeId, !Contains(soldOut, typeId)));
        }
    } else if (destination == "Zone") {
        out.push_back(Supported(Str(zone, "ZoneId"), true));
    } else if (destination == "IoOptimized") {
        out.push_back(Supported(ioOptimized ? "optimized" : "none", true));
    } else if (destination == "SystemDisk" || destination == "DataDisk") {
        for (const auto& category : Strings(zone, "AvailableDiskCategories", "DiskCategories")) {
            out.push_back(DiskResource(category));
        }
    } else if (destination == "Network") {
        out.push_back(Supported("vpc", true));
    }
    return out;
}

json::object DescribeAvailableResource(ActionContext& ctx) {
    const json::object& region = ctx.RequireKnownRegion();
    const auto destination = ctx.Get("DestinationResource");
    if (!destination || destination->empty()) {
        Fail(400, "Invalid.Param", "The input parameter DestinationResource that is mandatory for processing this "
                                   "request is not supplied.");
    }
    static const std::set<std::string> kDestinations = {"Zone",     "IoOptimized", "InstanceType", "SystemDisk",
                                                        "DataDisk", "Network",     "ddh"};
    if (kDestinations.count(*destination) == 0) {
        Fail(404, "Invalid.DestinationResource", "The specified DestinationResource is not valid.");
    }
    const std::string io = ctx.Get("IoOptimized", "optimized");
    if (io != "optimized" && io != "none") Fail(404, "Invalid.IoOptimized", "The specified IoOptimized is not valid.");

    json::array zones;
    for (const auto& zone : ZonesOf(region)) {
        if (!ctx.Matches(zone, "ZoneId")) continue;
        json::array supported = SupportedInZone(ctx, zone, *destination, io == "optimized");
        if (supported.empty()) continue;
        const bool anyAvailable = std::any_of(supported.begin(), supported.end(), [](const json::value& v) {
            return v.as_object().at("Status").as_string() == "Available";
        });
        zones.push_back(json::object{
            {"ZoneId", Str(zone, "ZoneId")},
            {"RegionId", Str(region, "RegionId")},
            {"Status", anyAvailable ? "Available" : "SoldOut"},
            {"StatusCategory", anyAvailable ? "WithStock" : "WithoutStock"},
            {"AvailableResources",
             json::object{{"AvailableResource",
                           json::array{json::object{{"Type", *destination},
                                                    {"SupportedResources",
                                                     json::object{{"SupportedResource", std::move(supported)}}}}}}}},
        });
    }
    return json::object{{"AvailableZones", json::object{{"AvailableZone", std::move(zones)}}}};
}

// ------------------------------------------------------------------ DescribeImages

json::object DescribeImages(ActionContext& ctx) {
    const std::string regionId = Str(ctx.RequireKnownRegion(), "RegionId");
    // Without "Status" only available images are listed; with it, every status it names.
    const auto statuses = ctx.CommaList("Status", 10).value_or(std::vector<std::string>{"Available"});
    // Empty owner alias: public, own and shared images (system, self, others); marketplace only on request.
    const std::string alias = ctx.Get("ImageOwnerAlias", "");
    static const std::set<std::string> kAliases = {"system", "self", "others", "marketplace"};
    if (!alias.empty() && kAliases.count(alias) == 0) {
        Fail(400, "InvalidImageOwnerAlias.ValueNotSupported", "The specified ImageOwnerAlias is not supported.");
    }
    const auto images = ctx.world.Select("Images", [&](const json::object& image) {
        const std::string owner = Str(image, "ImageOwnerAlias");
        const bool ownerMatches = alias.empty() ? owner != "marketplace" : owner == alias;
        return Str(image, "_RegionId") == regionId && ownerMatches && Contains(statuses, Str(image, "Status")) &&
               ctx.Matches(image, "ImageId") && ctx.Matches(image, "Architecture") && ctx.Matches(image, "OSType") &&
               ctx.Matches(image, "SnapshotId", "_SnapshotId");
    });
    json::object out{{"RegionId", regionId}};
    AddPagedList(ctx, out, images, {"Images", "Image"}, kEcsPaging);
    return out;
}

}  // namespace

// The catalogue item's defaults (see World::Collections).
json::object InstanceTypeDefaults() {
    return json::object{
        {"InstanceTypeId", ""}, {"InstanceTypeFamily", ""}, {"InstanceFamilyLevel", "EnterpriseLevel"},
        {"CpuArchitecture", "X86"}, {"GPUSpec", ""}, {"LocalStorageCategory", ""}, {"NvmeSupport", "unsupported"},
        {"PhysicalProcessorModel", ""}, {"InstanceCategory", "General-purpose"}, {"CpuCoreCount", 2},
        {"GPUAmount", 0}, {"EniQuantity", 2}, {"EniPrivateIpAddressQuantity", 6}, {"EniIpv6AddressQuantity", 1},
        {"DiskQuantity", 17}, {"InstanceBandwidthRx", 1024000}, {"InstanceBandwidthTx", 1024000},
        {"LocalStorageAmount", 0}, {"InitialCredit", 0}, {"BaselineCredit", 0}, {"MemorySize", 8.0},
        {"GPUMemorySize", 0.0}, {"CpuSpeedFrequency", 2.5}, {"CpuTurboFrequency", 3.2}, {"LocalStorageCapacity", 0},
        {"InstancePpsRx", 300000}, {"InstancePpsTx", 300000}, {"_IoOptimized", true}, {"_Generation", "ecs-5"}};
}

void RegisterEcsInventoryActions(ActionTable& table) {
    // Unknown regions are refused before the handlers run, each action with its documented answer.
    table.Add(Product::Ecs, "DescribeZones", DescribeZones, RegionScoped(Product::Ecs));
    RegionScope families = RegionScoped(Product::Ecs);
    families.message = "The RegionId provided does not exist in our records.";
    table.Add(Product::Ecs, "DescribeInstanceTypeFamilies", DescribeInstanceTypeFamilies, families);
    // The catalogue is global: a region may be left out, but a given unknown one is refused.
    RegionScope catalogue = RegionScoped(Product::Ecs);
    catalogue.regionOptional = true;
    table.Add(Product::Ecs, "DescribeInstanceTypes", DescribeInstanceTypes, catalogue);
    RegionScope resources = RegionScoped(Product::Ecs);
    resources.code = "Invalid.RegionId";
    resources.message = "The specified region does not exist.";
    table.Add(Product::Ecs, "DescribeAvailableResource", DescribeAvailableResource, resources);
    table.Add(Product::Ecs, "DescribeImages", DescribeImages, RegionScoped(Product::Ecs));
}

}  // namespace AcwEmulator
