// Helpers shared by the network actions of the emulator (vpc_network.cpp, ecs_network.cpp):
// public addresses, the region of a network resource, and creations repeated with the same
// "ClientToken".
#pragma once

#include <acw_emulator/Actions.h>
#include <acw_emulator/World.h>

#include <boost/json/object.hpp>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace AcwEmulator {
namespace Network {

// A public IPv4 address no elastic IP and no instance of the world uses yet, of the form
// "<prefix>.<n>.<m>" (prefix: the first two octets, e.g. "47.96"). Deterministic: the lowest
// free one, so tests see the same addresses after every Reset.
[[nodiscard]] std::string NewPublicAddress(const World& world, std::string_view prefix);

// The region of a security group or VSwitch: its internal "_RegionId", else the region of the
// VPC it belongs to ("" when neither is known).
[[nodiscard]] std::string RegionOf(const World& world, const boost::json::object& item);

// The stored item of `collection` created earlier by a request with the same "ClientToken"
// (nullptr when there is none, or no token was given). A token reused with other parameters is
// refused with "IdempotentParameterMismatch" (403), as the services do.
[[nodiscard]] boost::json::object* FindByClientToken(ActionContext& ctx, std::string_view collection);
// Remembers the request's token and parameters on a newly created item.
void RememberClientToken(const ActionContext& ctx, boost::json::object& item);

// The string elements of item[objectName][arrayName] (e.g. PublicIpAddress.IpAddress).
[[nodiscard]] std::vector<std::string> NestedStrings(const boost::json::object& item, std::string_view objectName,
                                                     std::string_view arrayName);

}  // namespace Network
}  // namespace AcwEmulator
