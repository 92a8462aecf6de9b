// Compute instances: DescribeInstances (paged, filtered) and DescribeInstanceAttribute (one
// instance, flat document), in the shapes the real service answers with.
#include <acw_emulator/Actions.h>
#include <acw_emulator/World.h>

#include <boost/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace AcwEmulator {
namespace json = boost::json;

namespace {

// InstanceName supports "*" as a wildcard for any run of characters, as the service does.
bool GlobMatches(std::string_view pattern, std::string_view text) {
    size_t p = 0, t = 0, star = std::string_view::npos, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

const json::object* Member(const json::object& item, std::string_view name) {
    const auto* value = item.if_contains(name);
    return value != nullptr && value->is_object() ? &value->as_object() : nullptr;
}

// The filter `param` against a member of the nested object `objectName` (VpcAttributes.VpcId).
bool MatchesNested(const ActionContext& ctx, const json::object& item, std::string_view param,
                   std::string_view objectName) {
    const auto wanted = ctx.Get(param);
    if (!wanted || wanted->empty()) return true;
    const json::object* nested = Member(item, objectName);
    return nested != nullptr && Str(*nested, param) == *wanted;
}

bool InSecurityGroup(const ActionContext& ctx, const json::object& item) {
    const auto wanted = ctx.Get("SecurityGroupId");
    if (!wanted || wanted->empty()) return true;
    const json::object* groups = Member(item, "SecurityGroupIds");
    if (groups == nullptr) return false;
    const auto* ids = groups->if_contains("SecurityGroupId");
    if (ids == nullptr || !ids->is_array()) return false;
    const auto& arr = ids->as_array();
    return std::any_of(arr.begin(), arr.end(),
                       [&](const json::value& v) { return v.is_string() && v.as_string() == *wanted; });
}

bool NameMatches(const ActionContext& ctx, const json::object& item) {
    const auto wanted = ctx.Get("InstanceName");
    if (!wanted || wanted->empty()) return true;
    return GlobMatches(*wanted, Str(item, "InstanceName"));
}

// An address filter (JSON-array text): true when absent, else one of the instance's addresses
// in item[objectName][arrayName] is listed.
bool HasListedAddress(const std::optional<std::vector<std::string>>& wanted, const json::object& item,
                      std::string_view objectName, std::string_view arrayName) {
    if (!wanted) return true;
    const json::object* object = Member(item, objectName);
    const auto* list = object != nullptr ? object->if_contains(arrayName) : nullptr;
    if (list == nullptr || !list->is_array()) return false;
    return std::any_of(list->as_array().begin(), list->as_array().end(), [&](const json::value& v) {
        return v.is_string() && std::find(wanted->begin(), wanted->end(), std::string(v.as_string())) != wanted->end();
    });
}

bool HasListedEip(const std::optional<std::vector<std::string>>& wanted, const json::object& item) {
    if (!wanted) return true;
    const json::object* eip = Member(item, "EipAddress");
    return eip != nullptr && std::find(wanted->begin(), wanted->end(), Str(*eip, "IpAddress")) != wanted->end();
}

// A VPC instance always lists its primary network interface. Instances stored without one get it
// made up from their private address, with an id and MAC address derived from the instance id
// so they stay the same between answers.
void AddPrimaryInterface(json::object& instance) {
    if (Str(instance, "InstanceNetworkType") != "vpc") return;
    json::object* interfaces = instance.if_contains("NetworkInterfaces") != nullptr &&
                                       instance.at("NetworkInterfaces").is_object()
                                   ? &instance.at("NetworkInterfaces").as_object()
                                   : nullptr;
    if (interfaces != nullptr) {
        const auto* list = interfaces->if_contains("NetworkInterface");
        if (list != nullptr && list->is_array() && !list->as_array().empty()) return;
    }
    std::string address;
    if (const json::object* vpc = Member(instance, "VpcAttributes")) {
        if (const json::object* addresses = Member(*vpc, "PrivateIpAddress")) {
            const auto* list = addresses->if_contains("IpAddress");
            if (list != nullptr && list->is_array() && !list->as_array().empty() && list->as_array()[0].is_string()) {
                address = std::string(list->as_array()[0].as_string());
            }
        }
    }
    const std::string id = Str(instance, "InstanceId");
    const size_t hash = std::hash<std::string>{}(id);
    char mac[24];
    std::snprintf(mac, sizeof mac, "00:16:3e:%02x:%02x:%02x", static_cast<unsigned>((hash >> 16) & 0xff),
                  static_cast<unsigned>((hash >> 8) & 0xff), static_cast<unsigned>(hash & 0xff));
    const std::string suffix = id.size() > 2 && id[1] == '-' ? id.substr(2) : id;
    json::object primary{
        {"NetworkInterfaceId", "eni-" + suffix},
        {"MacAddress", mac},
        {"PrimaryIpAddress", address},
        {"Type", "Primary"},
        {"PrivateIpSets",
         json::object{{"PrivateIpSet", json::array{json::object{{"PrivateIpAddress", address}, {"Primary", true}}}}}}};
    instance["NetworkInterfaces"] = json::object{{"NetworkInterface", json::array{std::move(primary)}}};
}

// True when the request filters on more than region and zone (which the index answers).
bool FiltersBeyondPlace(const ActionContext& ctx, std::initializer_list<bool> listFilters) {
    static const char* const kFilters[] = {"Status",      "InstanceType", "ImageId", "InstanceChargeType",
                                           "InstanceNetworkType", "InstanceName", "VpcId", "VSwitchId",
                                           "SecurityGroupId"};
    for (const char* name : kFilters) {
        const auto value = ctx.Get(name);
        if (value && !value->empty()) return true;
    }
    return std::any_of(listFilters.begin(), listFilters.end(), [](bool given) { return given; });
}

json::object DescribeInstances(ActionContext& ctx) {
    const std::string region = ctx.RequireRegion();
    const auto ids = ctx.JsonArray("InstanceIds", 100);
    const auto privateIps = ctx.JsonArray("PrivateIpAddresses", 100);
    const auto publicIps = ctx.JsonArray("PublicIpAddresses", 100);
    const auto eips = ctx.JsonArray("EipAddresses", 100);
    // Filters over enumerations refuse values the service does not have, as it does.
    (void)ctx.Enum("Status", "", {"", "Pending", "Running", "Starting", "Stopping", "Stopped"}, "InvalidStatus.NotFound",
                   404);
    (void)ctx.Enum("InstanceNetworkType", "", {"", "vpc", "classic"}, "InvalidNetworkType.NotFound", 404);
    (void)ctx.Enum("InstanceChargeType", "", {"", "PrePaid", "PostPaid"}, "InvalidInstanceChargeType.NotFound", 404);
    const auto matches = [&](const json::object& i) {
        return ctx.Matches(i, "RegionId") && ctx.Matches(i, "ZoneId") && ctx.Matches(i, "Status") &&
               ctx.Matches(i, "InstanceType") && ctx.Matches(i, "ImageId") && ctx.Matches(i, "InstanceChargeType") &&
               ctx.Matches(i, "InstanceNetworkType") && InList(ids, i, "InstanceId") && NameMatches(ctx, i) &&
               MatchesNested(ctx, i, "VpcId", "VpcAttributes") && MatchesNested(ctx, i, "VSwitchId", "VpcAttributes") &&
               InSecurityGroup(ctx, i) && HasListedEip(eips, i) &&
               HasListedAddress(publicIps, i, "PublicIpAddress", "IpAddress") &&
               (HasListedAddress(privateIps, i, "InnerIpAddress", "IpAddress") ||
                (Member(i, "VpcAttributes") != nullptr &&
                 HasListedAddress(privateIps, *Member(i, "VpcAttributes"), "PrivateIpAddress", "IpAddress")));
    };
    // The index gives the region's (or zone's) instances in listing order; only further filters
    // look at them one by one, and only the page is copied.
    const World& world = ctx.world;
    const auto& stored = world.Items("Instances");
    const std::vector<size_t>& inPlace = world.InstancesIn(region, ctx.Get("ZoneId", ""));
    std::vector<size_t> filtered;
    const bool narrowed = FiltersBeyondPlace(ctx, {ids.has_value(), privateIps.has_value(), publicIps.has_value(),
                                                   eips.has_value()});
    if (narrowed) {
        for (const size_t n : inPlace) {
            if (matches(stored[n])) filtered.push_back(n);
        }
    }
    const std::vector<size_t>& selected = narrowed ? filtered : inPlace;
    const ItemView view{selected.size(), [&](size_t n) -> const json::object& { return stored[selected[n]]; }};
    json::object out(ctx.answerStorage);
    // MaxResults below 10 is raised to 10 and above 100 lowered to 100, as documented.
    AddEcsList(ctx, out, view, {"Instances", "Instance"}, kEcsPaging, TokenRules{10, 10, 100, true});
    for (json::value& instance : out["Instances"].as_object()["Instance"].as_array()) {
        AddPrimaryInterface(instance.as_object());
    }
    return out;
}

// Lock reasons of DescribeInstanceAttribute carry only "LockReason" (no "LockMsg").
json::object AttributeLocks(const json::object& instance) {
    json::array reasons;
    if (const json::object* locks = Member(instance, "OperationLocks")) {
        if (const auto* list = locks->if_contains("LockReason"); list != nullptr && list->is_array()) {
            for (const auto& lock : list->as_array()) {
                if (lock.is_object()) reasons.push_back(json::object{{"LockReason", Str(lock.as_object(), "LockReason")}});
            }
        }
    }
    return json::object{{"LockReason", std::move(reasons)}};
}

// The elastic IP of DescribeInstanceAttribute: no "RegionId", and "Bandwidth" always present as
// a number (0 when none is bound), unlike the listing's shape and the network service's text.
json::object AttributeEip(const json::object& instance) {
    json::object eip;
    if (const json::object* stored = Member(instance, "EipAddress")) eip = *stored;
    eip.erase("RegionId");
    eip.erase("IsSupportUnassociate");  // only the listing has it
    int64_t bandwidth = 0;
    if (const auto* value = eip.if_contains("Bandwidth")) {
        if (value->is_int64()) bandwidth = value->as_int64();
        if (value->is_string()) bandwidth = std::atoll(value->as_string().c_str());
    }
    eip["Bandwidth"] = bandwidth;
    for (const char* member : {"AllocationId", "IpAddress", "InternetChargeType"}) {
        if (!eip.contains(member)) eip[member] = "";
    }
    return eip;
}

// The flat document of DescribeInstanceAttribute: a subset of the listing's members, with
// IoOptimized as the text "optimized"/"none" as the API metadata types it here.
json::object DescribeInstanceAttribute(ActionContext& ctx) {
    const std::string id = ctx.Required("InstanceId");
    const json::object* stored = ctx.world.Find("Instances", id);
    if (stored == nullptr) Fail(404, "InvalidInstanceId.NotFound", "The specified InstanceId does not exist.");
    const json::object instance = World::Public(*stored);

    static const char* const kCopied[] = {
        "InstanceId", "InstanceName", "Description", "HostName", "ImageId", "InstanceType", "RegionId", "ZoneId",
        "Status", "InstanceNetworkType", "InstanceChargeType", "InternetChargeType", "CreationTime", "ExpiredTime",
        "StoppedMode", "SerialNumber", "ClusterId", "VlanId", "CreditSpecification", "Cpu", "Memory",
        "InternetMaxBandwidthIn", "InternetMaxBandwidthOut", "VpcAttributes", "SecurityGroupIds",
        "PublicIpAddress", "InnerIpAddress", "EipAddress"};
    json::object out;
    for (const char* name : kCopied) {
        if (const auto* value = instance.if_contains(name)) out[name] = *value;
    }
    const auto* io = instance.if_contains("IoOptimized");
    out["IoOptimized"] = (io != nullptr && io->is_bool() && io->as_bool()) ? "optimized" : "none";
    out["EnableJumboFrame"] = false;
    out["EnableNetworkEncryption"] = false;
    out["DedicatedHostAttribute"] = json::object{{"DedicatedHostId", ""}, {"DedicatedHostName", ""}};
    out["OperationLocks"] = AttributeLocks(instance);
    out["EipAddress"] = AttributeEip(instance);
    return out;
}

}  // namespace

void RegisterEcsInstanceActions(ActionTable& table) {
    table.Add(Product::Ecs, "DescribeInstances", DescribeInstances, RegionScoped(Product::Ecs));
    table.Add(Product::Ecs, "DescribeInstanceAttribute", DescribeInstanceAttribute);
}

}  // namespace AcwEmulator
