// Helpers shared by the network actions (see NetworkShared.h).
#include "NetworkShared.h"

#include <boost/json.hpp>

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

namespace AcwEmulator {
namespace Network {
namespace json = boost::json;

namespace {

constexpr const char* kClientToken = "_ClientToken";
constexpr const char* kCreateParams = "_CreateParams";

// Every public address in use: elastic IPs, instances' public and bound elastic addresses.
std::set<std::string> AddressesInUse(const World& world) {
    std::set<std::string> used;
    for (const auto& eip : world.Items("EipAddresses")) used.insert(Str(eip, "IpAddress"));
    for (const auto& instance : world.Items("Instances")) {
        for (auto& address : NestedStrings(instance, "PublicIpAddress", "IpAddress")) used.insert(address);
        if (const auto* eip = instance.if_contains("EipAddress"); eip != nullptr && eip->is_object()) {
            used.insert(Str(eip->as_object(), "IpAddress"));
        }
    }
    return used;
}

// The request's own parameters (not the common ones, not the token), sorted: two creations are
// "the same request" when these agree.
std::string CanonicalParams(const Params& params) {
    static const std::set<std::string, std::less<>> kCommon = {
        "AccessKeyId", "ClientToken", "Format", "Signature", "SignatureMethod", "SignatureNonce",
        "SignatureVersion", "Timestamp", "TimeStamp", "Version", "SecurityToken"};
    std::vector<std::pair<std::string, std::string>> own;
    for (const auto& param : params) {
        if (kCommon.count(param.first) == 0) own.push_back(param);
    }
    std::sort(own.begin(), own.end());
    std::string text;
    for (const auto& [name, value] : own) text += name + "=" + value + "\n";
    return text;
}

}  // namespace

std::vector<std::string> NestedStrings(const json::object& item, std::string_view objectName,
                                       std::string_view arrayName) {
    std::vector<std::string> out;
    const auto* object = item.if_contains(objectName);
    if (object == nullptr || !object->is_object()) return out;
    const auto* array = object->as_object().if_contains(arrayName);
    if (array == nullptr || !array->is_array()) return out;
    for (const auto& value : array->as_array()) {
        if (value.is_string()) out.emplace_back(value.as_string());
    }
    return out;
}

std::string NewPublicAddress(const World& world, std::string_view prefix) {
    const std::set<std::string> used = AddressesInUse(world);
    for (int third = 0; third < 256; ++third) {
        for (int fourth = 1; fourth < 255; ++fourth) {
            std::string candidate =
                std::string(prefix) + "." + std::to_string(third) + "." + std::to_string(fourth);
            if (used.count(candidate) == 0) return candidate;
        }
    }
    Fail(400, "QuotaExceeded.Eip", "The public IP address pool of the emulator is exhausted.");
}

std::string RegionOf(const World& world, const json::object& item) {
    std::string region = Str(item, "_RegionId");
    if (!region.empty()) return region;
    const std::string vpcId = Str(item, "VpcId");
    for (const auto& vpc : world.Items("Vpcs")) {
        if (Str(vpc, "VpcId") == vpcId && !vpcId.empty()) return Str(vpc, "RegionId");
    }
    return {};
}

json::object* FindByClientToken(ActionContext& ctx, std::string_view collection) {
    const std::string token = ctx.Get("ClientToken", "");
    if (token.empty()) return nullptr;
    for (auto& item : ctx.world.Items(collection)) {
        if (Str(item, kClientToken) != token) continue;
        if (Str(item, kCreateParams) != CanonicalParams(ctx.params)) {
            Fail(403, "IdempotentParameterMismatch", "The specified clientToken is used.");
        }
        return &item;
    }
    return nullptr;
}

void RememberClientToken(const ActionContext& ctx, json::object& item) {
    const std::string token = ctx.Get("ClientToken", "");
    if (token.empty()) return;
    item[kClientToken] = token;
    item[kCreateParams] = CanonicalParams(ctx.params);
}

}  // namespace Network
}  // namespace AcwEmulator
