// Compute service network actions: security groups (each belongs to a VPC) and public IP
// addresses of instances.
//
// A security group keeps its region in the internal "_RegionId" (the service reports the
// region once at the top of DescribeSecurityGroups); a seeded group without it takes the
// region of its VPC.
#include <acw_emulator/Actions.h>
#include <acw_emulator/World.h>

#include <boost/json.hpp>

#include <string>

#include "NetworkShared.h"

namespace AcwEmulator {

namespace {
namespace json = boost::json;

constexpr PageRules kSecurityGroupPaging{10, 50, PagingStyle::TotalCount};

json::object DescribeSecurityGroups(ActionContext& ctx) {
    const std::string region = ctx.RequireRegion();
    const auto ids = ctx.JsonArray("SecurityGroupIds", 100);
    const auto groups = ctx.world.Select("SecurityGroups", [&](const json::object& g) {
        return Network::RegionOf(ctx.world, g) == region && ctx.Matches(g, "VpcId") &&
               ctx.Matches(g, "SecurityGroupId") && InList(ids, g, "SecurityGroupId") &&
               ctx.Matches(g, "SecurityGroupName") && ctx.Matches(g, "SecurityGroupType");
    });
    json::object out;
    out["RegionId"] = region;
    AddEcsList(ctx, out, groups, {"SecurityGroups", "SecurityGroup"}, kSecurityGroupPaging,
               TokenRules{10, 1, 100, false});
    return out;
}

json::object CreateSecurityGroup(ActionContext& ctx) {
    const std::string region = ctx.RequireRegion();
    if (const json::object* earlier = Network::FindByClientToken(ctx, "SecurityGroups")) {
        return json::object{{"SecurityGroupId", Str(*earlier, "SecurityGroupId")}};
    }
    // Accounts today have only VPC instances, so a group outside a VPC is refused as they are.
    const std::string vpcId = ctx.Get("VpcId", "");
    if (vpcId.empty()) Fail(403, "InvalidVpcId.NotFound", "vpc id must not empty when only support vpc vm.");
    const json::object* vpc = ctx.world.Find("Vpcs", vpcId);
    if (vpc == nullptr || Str(*vpc, "RegionId") != region) FailNotFound("InvalidVpcId", "VpcId");
    const std::string type = ctx.Get("SecurityGroupType", "normal");
    if (type != "normal" && type != "enterprise") FailInvalidParameter("SecurityGroupType");

    json::object& group = ctx.world.Put(
        "SecurityGroups", json::object{{"VpcId", vpcId},
                                       {"SecurityGroupName", ctx.Get("SecurityGroupName", "")},
                                       {"Description", ctx.Get("Description", "")},
                                       {"SecurityGroupType", type},
                                       {"ResourceGroupId", ctx.Get("ResourceGroupId", "")},
                                       {"CreationTime", FormatUtc(ctx.now, TimePrecision::Seconds)},
                                       {"_RegionId", region}});
    Network::RememberClientToken(ctx, group);
    return json::object{{"SecurityGroupId", Str(group, "SecurityGroupId")}};
}

int64_t OutboundBandwidth(const json::object& instance) {
    const auto* value = instance.if_contains("InternetMaxBandwidthOut");
    if (value == nullptr) return 0;
    if (value->is_int64()) return value->as_int64();
    if (value->is_uint64()) return static_cast<int64_t>(value->as_uint64());
    return 0;
}

// Gives a running or stopped instance with outbound bandwidth a public address; an instance
// that has one already gets the same address back.
json::object AllocatePublicIpAddress(ActionContext& ctx) {
    const std::string instanceId = ctx.Required("InstanceId");
    json::object* instance = ctx.world.Find("Instances", instanceId);
    if (instance == nullptr) FailNotFound("InvalidInstanceId", "InstanceId");
    const std::string status = Str(*instance, "Status");
    if (status != "Running" && status != "Stopped") {
        Fail(403, "IncorrectInstanceStatus", "The current status of the resource does not support this operation.");
    }
    if (OutboundBandwidth(*instance) <= 0) {
        Fail(400, "AllocateIpInvalidInstanceBandwidth",
             "The specified instance bandwidth is invalid, the instance bandwidth must be greater than 0.");
    }
    const auto existing = Network::NestedStrings(*instance, "PublicIpAddress", "IpAddress");
    if (!existing.empty()) return json::object{{"IpAddress", existing.front()}};

    const std::string address = Network::NewPublicAddress(ctx.world, "47.100");
    (*instance)["PublicIpAddress"] = json::object{{"IpAddress", json::array{json::string(address)}}};
    return json::object{{"IpAddress", address}};
}

}  // namespace

void RegisterEcsNetworkActions(ActionTable& table) {
    table.Add(Product::Ecs, "DescribeSecurityGroups", DescribeSecurityGroups, RegionScoped(Product::Ecs));
    table.Add(Product::Ecs, "CreateSecurityGroup", CreateSecurityGroup, RegionScoped(Product::Ecs));
    table.Add(Product::Ecs, "AllocatePublicIpAddress", AllocatePublicIpAddress);
}

}  // namespace AcwEmulator
