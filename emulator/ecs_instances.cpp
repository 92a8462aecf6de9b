// Compute instances: DescribeInstances (paged, filtered) and DescribeInstanceAttribute (one
// instance, flat document), in the shapes the real service answers with.
#include <acw_emulator/Actions.h>
#include <acw_emulator/World.h>

#include <boost/json.hpp>

#include <algorithm>
#include <cstdlib>
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

json::object DescribeInstances(ActionContext& ctx) {
    const std::string region = ctx.RequireRegion();
    const auto ids = ctx.JsonArray("InstanceIds", 100);
    // Selected in place and copied page by page, so listing a large inventory stays linear.
    std::vector<const json::object*> instances;
    const auto matches = [&](const json::object& i) {
        return ctx.Matches(i, "RegionId") && ctx.Matches(i, "ZoneId") && ctx.Matches(i, "Status") &&
               ctx.Matches(i, "InstanceType") && ctx.Matches(i, "ImageId") &&
               ctx.Matches(i, "InstanceNetworkType") && InList(ids, i, "InstanceId") && NameMatches(ctx, i) &&
               MatchesNested(ctx, i, "VpcId", "VpcAttributes") && MatchesNested(ctx, i, "VSwitchId", "VpcAttributes") &&
               InSecurityGroup(ctx, i);
    };
    for (const json::object& instance : ctx.world.Items("Instances")) {
        // The region first, compared in place: most instances of a large world fail here.
        const auto* instanceRegion = instance.if_contains("RegionId");
        if (instanceRegion == nullptr || !instanceRegion->is_string() || instanceRegion->as_string() != region) continue;
        if (matches(instance)) instances.push_back(&instance);
    }
    json::object out;
    // MaxResults below 10 is raised to 10 and above 100 lowered to 100, as documented.
    AddEcsList(ctx, out, instances, {"Instances", "Instance"}, kEcsPaging, TokenRules{10, 10, 100, true});
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
        "StoppedMode", "SerialNumber", "ClusterId", "VlanId", "Cpu", "Memory",
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
