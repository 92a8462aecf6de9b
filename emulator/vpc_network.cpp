// Network service actions: VPCs, VSwitches and elastic IP addresses (EIPs).
//
// EIP life cycle, as the service runs it:
//   AllocateEipAddress   a new address, "Available" at once;
//   AssociateEipAddress  only an "Available", unlocked address, to an existing "Running" or
//                        "Stopped" instance of the same region. The address is "Associating" for
//                        the next request, then "InUse", and the instance's "EipAddress" shows it;
//   ReleaseEipAddress    only an "Available" (unbound) pay-as-you-go address; it is gone at once.
//
// Tests drive the awkward cases through the world (Emulator::WithWorld, or the control route
// "POST /_emulator/seed" with the whole address):
//   lock an address     "OperationLocks": {"LockReason": [{"LockReason": "financial"}]}
//   fail associations   "_AssociationFails": true — the association is accepted and shows
//                       "Associating", then the address falls back to "Available" and unbound,
//                       as when the service gives up on it. (A refused association is an injected
//                       fault on "AssociateEipAddress".) The same member on an instance fails
//                       every association with that instance, also of addresses allocated later.
#include <acw_emulator/Actions.h>
#include <acw_emulator/World.h>

#include <boost/json.hpp>

#include <algorithm>
#include <charconv>
#include <initializer_list>
#include <cstdint>
#include <string>
#include <string_view>

#include "NetworkShared.h"

namespace AcwEmulator {

void RegisterEcsNetworkActions(ActionTable& table);  // ecs_network.cpp

namespace {
namespace json = boost::json;

constexpr PageRules kVpcListPaging{10, 50, PagingStyle::TotalCount};  // DescribeVpcs, DescribeVSwitches
constexpr PageRules kEipPaging{10, 100, PagingStyle::TotalCount};

// Requests after an accepted association until it is settled: the next request still sees
// "Associating".
constexpr uint64_t kAssociationSettlesAfterRequests = 2;

constexpr const char* kAssociationFails = "_AssociationFails";

// An optional boolean filter: true when absent, else the item's member must equal it.
bool MatchesBool(const ActionContext& ctx, const json::object& item, std::string_view name) {
    const auto given = ctx.Get(name);
    if (!given || given->empty()) return true;
    const bool wanted = ctx.Bool(name, false);
    const auto* value = item.if_contains(name);
    return value != nullptr && value->is_bool() && value->as_bool() == wanted;
}

json::object DescribeVpcs(ActionContext& ctx) {
    const std::string region = ctx.RequireRegion();
    const auto ids = ctx.CommaList("VpcId", 20);
    const auto vpcs = ctx.world.Select("Vpcs", [&](const json::object& v) {
        return Str(v, "RegionId") == region && InList(ids, v, "VpcId") && ctx.Matches(v, "VpcName") &&
               MatchesBool(ctx, v, "IsDefault");
    });
    json::object out;
    AddPagedList(ctx, out, vpcs, {"Vpcs", "Vpc"}, kVpcListPaging);
    return out;
}

json::object DescribeVSwitches(ActionContext& ctx) {
    const std::string region = ctx.Get("RegionId", "");
    const std::string vpc = ctx.Get("VpcId", "");
    if (region.empty() && vpc.empty()) FailMissingParameter("RegionId");
    const auto vswitches = ctx.world.Select("VSwitches", [&](const json::object& s) {
        return (region.empty() || Network::RegionOf(ctx.world, s) == region) && ctx.Matches(s, "VpcId") &&
               ctx.Matches(s, "ZoneId") && ctx.Matches(s, "VSwitchId") && ctx.Matches(s, "VSwitchName") &&
               MatchesBool(ctx, s, "IsDefault");
    });
    json::object out;
    AddPagedList(ctx, out, vswitches, {"VSwitches", "VSwitch"}, kVpcListPaging);
    return out;
}

// ---- elastic IP addresses ----

std::vector<std::string> LockReasons(const json::object& eip) {
    std::vector<std::string> reasons;
    const auto* locks = eip.if_contains("OperationLocks");
    if (locks == nullptr || !locks->is_object()) return reasons;
    const auto* list = locks->as_object().if_contains("LockReason");
    if (list == nullptr || !list->is_array()) return reasons;
    for (const auto& lock : list->as_array()) {
        reasons.push_back(lock.is_object() ? Str(lock.as_object(), "LockReason")
                                           : lock.is_string() ? std::string(lock.as_string()) : std::string());
    }
    return reasons;
}

bool LockMatches(const ActionContext& ctx, const json::object& eip) {
    const auto wanted = ctx.Get("LockReason");
    if (!wanted || wanted->empty()) return true;
    const auto reasons = LockReasons(eip);
    return std::find(reasons.begin(), reasons.end(), *wanted) != reasons.end();
}

json::object DescribeEipAddresses(ActionContext& ctx) {
    const std::string region = ctx.RequireRegion();
    const auto ids = ctx.CommaList("AllocationId", 50);
    const auto addresses = ctx.CommaList("EipAddress", 50);
    const auto eips = ctx.world.Select("EipAddresses", [&](const json::object& e) {
        return Str(e, "RegionId") == region && InList(ids, e, "AllocationId") && InList(addresses, e, "IpAddress") &&
               ctx.Matches(e, "Status") && ctx.Matches(e, "AssociatedInstanceId", "InstanceId") &&
               ctx.Matches(e, "ChargeType") && ctx.Matches(e, "ISP") && ctx.Matches(e, "EipName", "Name") &&
               LockMatches(ctx, e);
    });
    json::object out;
    AddPagedList(ctx, out, eips, {"EipAddresses", "EipAddress"}, kEipPaging);
    return out;
}

std::string OneOf(const ActionContext& ctx, std::string_view name, std::string_view fallback,
                  std::initializer_list<std::string_view> allowed) {
    std::string value = ctx.Get(name, fallback);
    if (std::find(allowed.begin(), allowed.end(), value) == allowed.end()) FailInvalidParameter(std::string(name));
    return value;
}

json::object AllocateAnswer(const json::object& eip) {
    return json::object{{"AllocationId", Str(eip, "AllocationId")}, {"EipAddress", Str(eip, "IpAddress")},
                        {"OrderId", 0}, {"ResourceGroupId", Str(eip, "ResourceGroupId")}};
}

json::object AllocateEipAddress(ActionContext& ctx) {
    const std::string region = ctx.RequireRegion();
    if (const json::object* earlier = Network::FindByClientToken(ctx, "EipAddresses")) return AllocateAnswer(*earlier);

    // Bandwidth travels as text and is stored as text, as DescribeEipAddresses returns it.
    const int64_t bandwidth = ctx.Int("Bandwidth", 5, 1, 1000);
    json::object eip{
        {"RegionId", region},
        {"IpAddress", Network::NewPublicAddress(ctx.world, "47.96")},
        {"Bandwidth", std::to_string(bandwidth)},
        {"EipBandwidth", std::to_string(bandwidth)},
        {"InternetChargeType", OneOf(ctx, "InternetChargeType", "PayByBandwidth", {"PayByBandwidth", "PayByTraffic"})},
        {"ChargeType", OneOf(ctx, "InstanceChargeType", "PostPaid", {"PostPaid", "PrePaid"})},
        {"ISP", ctx.Get("ISP", "BGP")},
        {"Name", ctx.Get("Name", "")},
        {"Description", ctx.Get("Description", "")},
        {"ResourceGroupId", ctx.Get("ResourceGroupId", "")},
        {"Status", "Available"},
        {"AllocationTime", FormatUtc(ctx.now, TimePrecision::Seconds)}};
    json::object& stored = ctx.world.Put("EipAddresses", std::move(eip));
    Network::RememberClientToken(ctx, stored);
    return AllocateAnswer(stored);
}

// The address named by "AllocationId", in "RegionId" when that is given.
json::object& RequireEip(ActionContext& ctx) {
    const std::string id = ctx.Required("AllocationId");
    json::object* eip = ctx.world.Find("EipAddresses", id);
    const std::string region = ctx.Get("RegionId", "");
    if (eip == nullptr || (!region.empty() && Str(*eip, "RegionId") != region)) {
        Fail(404, "InvalidAllocationId.NotFound", "Specified allocation ID is not found.");
    }
    return *eip;
}

void FailIncorrectEipStatus() {
    Fail(400, "IncorrectEipStatus", "The current status of the resource does not support this operation.");
}

int64_t BandwidthNumber(const json::object& eip) {
    const std::string text = Str(eip, "Bandwidth");
    int64_t value = 0;
    (void)std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// What the instance shows of a bound address (the compute service gives Bandwidth as a number).
json::object InstanceEipView(const json::object& eip) {
    return json::object{{"AllocationId", Str(eip, "AllocationId")},
                        {"IpAddress", Str(eip, "IpAddress")},
                        {"Bandwidth", BandwidthNumber(eip)},
                        {"InternetChargeType", Str(eip, "InternetChargeType")},
                        {"IsSupportUnassociate", true}};
}

json::object& RequireBindableInstance(ActionContext& ctx, const json::object& eip) {
    const std::string instanceId = ctx.Required("InstanceId");
    json::object* instance = ctx.world.Find("Instances", instanceId);
    // "InvalidInstanId" is the service's own spelling.
    if (instance == nullptr) Fail(404, "InvalidInstanId.NotFound", "The specified instance does not exist.");
    if (Str(*instance, "RegionId") != Str(eip, "RegionId")) {
        Fail(400, "InvalidParameter.Mismatch", "The EIP and the instance are not in the same region.");
    }
    const std::string status = Str(*instance, "Status");
    if (status != "Running" && status != "Stopped") {
        Fail(400, "IncorrectInstanceStatus", "The current status of the instance does not support this operation.");
    }
    if (const auto* bound = instance->if_contains("EipAddress"); bound != nullptr && bound->is_object() &&
                                                                 !Str(bound->as_object(), "AllocationId").empty()) {
        Fail(400, "InvalidAssociation.Duplicated", "The instance already has an EIP associated.");
    }
    return *instance;
}

json::object AssociateEipAddress(ActionContext& ctx) {
    json::object& eip = RequireEip(ctx);
    if (ctx.Get("InstanceType", "EcsInstance") != "EcsInstance") FailInvalidParameter("InstanceType");
    if (Str(eip, "Status") != "Available" || !LockReasons(eip).empty()) FailIncorrectEipStatus();
    json::object& instance = RequireBindableInstance(ctx, eip);

    const std::string allocationId = Str(eip, "AllocationId");
    const std::string instanceId = Str(instance, "InstanceId");
    eip["Status"] = "Associating";
    eip["InstanceId"] = instanceId;
    eip["InstanceType"] = "EcsInstance";
    eip["InstanceRegionId"] = Str(instance, "RegionId");
    const auto* vpc = instance.if_contains("VpcAttributes");
    eip["VpcId"] = vpc != nullptr && vpc->is_object() ? Str(vpc->as_object(), "VpcId") : std::string();

    const auto settle = [&](std::string_view collection, std::string_view id, std::string_view member,
                            json::value value) {
        ctx.world.Schedule(collection, id, member, std::move(value), kAssociationSettlesAfterRequests);
    };
    const auto flagged = [](const json::object& item) {
        const auto* fails = item.if_contains(kAssociationFails);
        return fails != nullptr && fails->is_bool() && fails->as_bool();
    };
    if (flagged(eip) || flagged(instance)) {
        for (const char* member : {"InstanceId", "InstanceType", "InstanceRegionId", "VpcId"}) {
            settle("EipAddresses", allocationId, member, "");
        }
        settle("EipAddresses", allocationId, "Status", "Available");
    } else {
        settle("EipAddresses", allocationId, "Status", "InUse");
        settle("Instances", instanceId, "EipAddress", InstanceEipView(eip));
    }
    return json::object{};
}

json::object ReleaseEipAddress(ActionContext& ctx) {
    json::object& eip = RequireEip(ctx);
    if (Str(eip, "Status") != "Available") FailIncorrectEipStatus();
    if (Str(eip, "ChargeType") == "PrePaid") {
        Fail(400, "Forbidden.ChargeTypeIsPrepaid", "A subscription EIP cannot be released.");
    }
    if (const auto* protection = eip.if_contains("DeletionProtection");
        protection != nullptr && protection->is_bool() && protection->as_bool()) {
        Fail(400, "InvalidOperation.DeletionProtection", "The EIP has deletion protection enabled.");
    }
    (void)ctx.world.Remove("EipAddresses", Str(eip, "AllocationId"));
    return json::object{};
}

}  // namespace

void RegisterNetworkActions(ActionTable& table) {
    const RegionScope scoped = RegionScoped(Product::Vpc);
    RegionScope optional = scoped;  // these actions work without RegionId, but refuse an unknown one
    optional.regionOptional = true;
    table.Add(Product::Vpc, "DescribeVpcs", DescribeVpcs, scoped);
    table.Add(Product::Vpc, "DescribeVSwitches", DescribeVSwitches, optional);
    table.Add(Product::Vpc, "DescribeEipAddresses", DescribeEipAddresses, scoped);
    table.Add(Product::Vpc, "AllocateEipAddress", AllocateEipAddress, scoped);
    table.Add(Product::Vpc, "AssociateEipAddress", AssociateEipAddress, optional);
    table.Add(Product::Vpc, "ReleaseEipAddress", ReleaseEipAddress, optional);
    RegisterEcsNetworkActions(table);
}

}  // namespace AcwEmulator
