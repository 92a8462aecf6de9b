// The instance metadata service (plain HTTP on its own port): the instance id, a few leaves of
// the instance the id names when the world holds it, and the hardened token mode.
#include "Core.h"

#include <boost/json.hpp>

#include <charconv>
#include <cstdio>

namespace AcwEmulator {
namespace json = boost::json;

namespace {

constexpr const char* kTokenHeader = "x-aliyun-ecs-metadata-token";
constexpr const char* kTtlHeader = "x-aliyun-ecs-metadata-token-ttl-seconds";
constexpr int64_t kMaxTokenTtl = 21600;

Reply Text(int status, std::string body) {
    Reply reply;
    reply.status = status;
    reply.body = std::move(body);
    reply.contentType = "text/plain";
    return reply;
}

std::optional<int64_t> ParseTtl(const std::string& text) {
    int64_t value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

Reply IssueToken(State& state, const HttpIn& in) {
    const auto header = in.headers.find(kTtlHeader);
    if (header == in.headers.end()) return Text(400, "missing header X-aliyun-ecs-metadata-token-ttl-seconds");
    const auto ttl = ParseTtl(header->second);
    if (!ttl || *ttl < 1 || *ttl > kMaxTokenTtl) return Text(400, "the token TTL must be 1 to 21600 seconds");
    char token[48];
    std::snprintf(token, sizeof token, "AQAEAacw%016llx", static_cast<unsigned long long>(state.nextToken++));
    state.tokens[token] = state.NowLocked() + *ttl;
    return Text(200, token);
}

// nullopt when the request may proceed; otherwise the 401 answer.
std::optional<Reply> CheckToken(State& state, const HttpIn& in) {
    const auto header = in.headers.find(kTokenHeader);
    if (header == in.headers.end()) {
        if (state.tokenMode == TokenMode::Required) return Text(401, "Unauthorized");
        return std::nullopt;
    }
    const auto token = state.tokens.find(header->second);
    if (token == state.tokens.end() || token->second <= state.NowLocked()) return Text(401, "Unauthorized");
    return std::nullopt;
}

// The leaves under /latest/meta-data/ ("instance-id" always; the rest when the world holds the
// instance).
std::map<std::string, std::string> Leaves(State& state) {
    std::map<std::string, std::string> leaves{{"instance-id", state.instanceId}};
    const json::object* instance = state.world.Find("Instances", state.instanceId);
    if (instance == nullptr) return leaves;
    leaves["region-id"] = Str(*instance, "RegionId");
    leaves["zone-id"] = Str(*instance, "ZoneId");
    leaves["hostname"] = Str(*instance, "HostName");
    leaves["image-id"] = Str(*instance, "ImageId");
    leaves["instance/instance-type"] = Str(*instance, "InstanceType");
    if (const auto* vpc = instance->if_contains("VpcAttributes"); vpc && vpc->is_object()) {
        leaves["vpc-id"] = Str(vpc->as_object(), "VpcId");
        leaves["vswitch-id"] = Str(vpc->as_object(), "VSwitchId");
        const auto* ips = vpc->as_object().if_contains("PrivateIpAddress");
        if (ips && ips->is_object()) {
            const auto* list = ips->as_object().if_contains("IpAddress");
            if (list && list->is_array() && !list->as_array().empty() && list->as_array()[0].is_string()) {
                leaves["private-ipv4"] = std::string(list->as_array()[0].as_string());
            }
        }
    }
    return leaves;
}

}  // namespace

Reply HandleMetadata(State& state, const HttpIn& in) {
    std::lock_guard<std::mutex> lock(state.mutex);
    ++state.counters.metadataRequests;
    const std::string path = in.target.substr(0, in.target.find('?'));
    if (path == "/latest/api/token") {
        return in.method == "PUT" ? IssueToken(state, in) : Text(405, "Method Not Allowed");
    }
    if (in.method != "GET") return Text(405, "Method Not Allowed");
    if (auto refused = CheckToken(state, in)) return *refused;
    if (path == "/" ) return Text(200, "2016-01-01\nlatest");
    if (path == "/latest/" || path == "/latest") return Text(200, "meta-data");
    static constexpr std::string_view kPrefix = "/latest/meta-data/";
    if (path.compare(0, kPrefix.size(), kPrefix) != 0 && path != "/latest/meta-data") return Text(404, "Not Found");
    const auto leaves = Leaves(state);
    const std::string leaf = path.size() > kPrefix.size() ? path.substr(kPrefix.size()) : std::string();
    if (leaf.empty()) {
        std::string listing;
        for (const auto& [name, value] : leaves) listing += (listing.empty() ? "" : "\n") + name;
        return Text(200, listing);
    }
    const auto it = leaves.find(leaf);
    return it == leaves.end() ? Text(404, "Not Found") : Text(200, it->second);
}

}  // namespace AcwEmulator
