// The control routes under /_emulator/ on the HTTPS port (loopback clients only). JSON in and
// out; every route does what the Emulator method of the same purpose does.
//
//   GET    /_emulator/health                  {"ok":true}
//   GET    /_emulator/journal                 {"entries":[{seq,host,method,product,action,
//                                               params:[[name,value],...],status,code,fault}]}
//   DELETE /_emulator/journal                 forget the journal
//   GET    /_emulator/counters                {"tcpConnections","tlsHandshakes","apiRequests",
//                                               "metadataRequests"}
//   GET    /_emulator/faults                  the faults still waiting
//   POST   /_emulator/faults                  a fault or an array of faults:
//            {"kind":"ErrorResponse|EmptyErrorBody|NotJson|CloseBeforeAnswer|CloseMidBody|Delay|Stall",
//             "action":"DescribeRegions","product":"ecs","count":1,"status":503,
//             "code":"ServiceUnavailable","message":"...","delayMs":0,"executeAction":false}
//   DELETE /_emulator/faults                  forget every fault
//   GET    /_emulator/clock                   {"now":<epoch>,"time":"<ISO>","frozen":bool}
//   POST   /_emulator/clock                   {"time":"2024-05-01T00:00:00Z"} | {"epoch":N}
//                                               | {"advanceSeconds":N} | {"system":true}
//   GET    /_emulator/world                   every collection, internal "_" members included
//   POST   /_emulator/seed                    {"Instances":[{...}],...} add or replace resources
//   POST   /_emulator/seed-large              {"regions":R,"zonesPerRegion":Z,"instancesPerZone":N}
//                                               a large inventory (World::SeedLargeInventory)
//   POST   /_emulator/reset                   back to the start state (keys and metadata kept)
//   POST   /_emulator/keys                    {"id":"...","secret":"..."} accept another key
//   GET    /_emulator/metadata                {"instanceId","tokenMode"}
//   POST   /_emulator/metadata                {"instanceId":"i-...","tokenMode":"optional|required"}
#include "Core.h"
#include "Signing.h"

#include <boost/json.hpp>

#include <stdexcept>

namespace AcwEmulator {
namespace json = boost::json;

namespace {

struct Kind {
    FaultKind kind;
    const char* name;
};
constexpr Kind kKinds[] = {
    {FaultKind::ErrorResponse, "ErrorResponse"},   {FaultKind::EmptyErrorBody, "EmptyErrorBody"},
    {FaultKind::NotJson, "NotJson"},               {FaultKind::CloseBeforeAnswer, "CloseBeforeAnswer"},
    {FaultKind::CloseMidBody, "CloseMidBody"},     {FaultKind::Delay, "Delay"},
    {FaultKind::Stall, "Stall"},
};

Reply JsonReply(int status, const json::value& body) {
    Reply reply;
    reply.status = status;
    reply.body = json::serialize(body);
    return reply;
}

Reply Ok() { return JsonReply(200, json::object{{"ok", true}}); }

Reply BadRequest(const std::string& message) { return JsonReply(400, json::object{{"error", message}}); }

std::string StringMember(const json::object& o, const char* name, const std::string& fallback = {}) {
    const auto* v = o.if_contains(name);
    if (v == nullptr) return fallback;
    if (!v->is_string()) throw std::invalid_argument(std::string("\"") + name + "\" must be a string");
    return std::string(v->as_string());
}

int64_t IntMember(const json::object& o, const char* name, int64_t fallback) {
    const auto* v = o.if_contains(name);
    if (v == nullptr) return fallback;
    if (!v->is_int64() && !v->is_uint64()) throw std::invalid_argument(std::string("\"") + name + "\" must be an integer");
    return v->to_number<int64_t>();
}

Fault FaultFromJson(const json::value& value) {
    if (!value.is_object()) throw std::invalid_argument("a fault is a JSON object");
    const json::object& o = value.as_object();
    Fault fault;
    fault.kind = FaultKindFromName(StringMember(o, "kind", "ErrorResponse"));
    fault.action = StringMember(o, "action");
    fault.product = StringMember(o, "product");
    fault.count = static_cast<int>(IntMember(o, "count", 1));
    fault.status = static_cast<int>(IntMember(o, "status", 0));
    fault.code = StringMember(o, "code");
    fault.message = StringMember(o, "message");
    fault.delayMs = static_cast<int>(IntMember(o, "delayMs", 0));
    if (const auto* v = o.if_contains("executeAction")) {
        if (!v->is_bool()) throw std::invalid_argument("\"executeAction\" must be true or false");
        fault.executeAction = v->as_bool();
    }
    ValidateFault(fault);
    return fault;
}

json::object FaultToJson(const Fault& f) {
    return json::object{{"kind", FaultKindName(f.kind)}, {"action", f.action}, {"product", f.product},
                        {"count", f.count},             {"status", f.status}, {"code", f.code},
                        {"message", f.message},         {"delayMs", f.delayMs}, {"executeAction", f.executeAction}};
}

json::object JournalToJson(const JournalEntry& e) {
    json::array params;
    for (const auto& [name, value] : e.params) params.push_back(json::array{json::string(name), json::string(value)});
    return json::object{{"seq", e.seq},        {"host", e.host},     {"method", e.method}, {"product", e.product},
                        {"action", e.action},  {"params", params},   {"status", e.status}, {"code", e.code},
                        {"fault", e.fault}};
}

json::object ClockToJson(const State& state) {
    const int64_t now = state.NowLocked();
    return json::object{
        {"now", now}, {"time", FormatUtc(now, TimePrecision::Seconds)}, {"frozen", state.ClockFrozenLocked()}};
}

Reply SetClock(State& state, const json::object& o) {
    if (o.contains("time")) {
        const auto t = ParseUtcTimestamp(StringMember(o, "time"));
        if (!t) return BadRequest("\"time\" must look like 2024-05-01T00:00:00Z");
        state.SetClockLocked(*t);
    } else if (o.contains("epoch")) {
        state.SetClockLocked(IntMember(o, "epoch", 0));
    } else if (o.contains("advanceSeconds")) {
        state.AdvanceClockLocked(IntMember(o, "advanceSeconds", 0));
    } else if (o.contains("system")) {
        state.UseSystemClockLocked();
    } else {
        return BadRequest("give \"time\", \"epoch\", \"advanceSeconds\" or \"system\"");
    }
    return JsonReply(200, ClockToJson(state));
}

Reply SetMetadata(State& state, const json::object& o) {
    if (o.contains("instanceId")) state.instanceId = StringMember(o, "instanceId");
    if (o.contains("tokenMode")) {
        const std::string mode = StringMember(o, "tokenMode");
        if (mode == "optional") {
            state.tokenMode = TokenMode::Optional;
        } else if (mode == "required") {
            state.tokenMode = TokenMode::Required;
        } else {
            return BadRequest("\"tokenMode\" is \"optional\" or \"required\"");
        }
    }
    return Ok();
}

json::object MetadataToJson(const State& state) {
    return json::object{{"instanceId", state.instanceId},
                        {"tokenMode", state.tokenMode == TokenMode::Required ? "required" : "optional"}};
}

Reply Route(State& state, const std::string& method, const std::string& route, const json::value& body) {
    const json::object empty;
    const json::object& o = body.is_object() ? body.as_object() : empty;
    if (route == "health" && method == "GET") return Ok();
    if (route == "journal") {
        if (method == "GET") {
            json::array entries;
            for (const auto& e : state.journal) entries.push_back(JournalToJson(e));
            return JsonReply(200, json::object{{"entries", std::move(entries)}});
        }
        if (method == "DELETE") {
            state.journal.clear();
            return Ok();
        }
    }
    if (route == "counters" && method == "GET") {
        const Counters& c = state.counters;
        return JsonReply(200, json::object{{"tcpConnections", c.tcpConnections},
                                           {"tlsHandshakes", c.tlsHandshakes},
                                           {"apiRequests", c.apiRequests},
                                           {"metadataRequests", c.metadataRequests}});
    }
    if (route == "faults") {
        if (method == "GET") {
            json::array faults;
            for (const auto& f : state.faults) faults.push_back(FaultToJson(f));
            return JsonReply(200, json::object{{"faults", std::move(faults)}});
        }
        if (method == "POST") {
            std::vector<Fault> faults;
            if (body.is_array()) {
                for (const auto& v : body.as_array()) faults.push_back(FaultFromJson(v));
            } else {
                faults.push_back(FaultFromJson(body));
            }
            state.faults.insert(state.faults.end(), faults.begin(), faults.end());
            return Ok();
        }
        if (method == "DELETE") {
            state.faults.clear();
            return Ok();
        }
    }
    if (route == "clock") {
        if (method == "GET") return JsonReply(200, ClockToJson(state));
        if (method == "POST") return SetClock(state, o);
    }
    if (route == "world" && method == "GET") return JsonReply(200, state.world.Dump());
    if (route == "seed" && method == "POST") {
        state.world.Seed(body);
        return Ok();
    }
    if (route == "seed-large" && method == "POST") {
        // Out-of-range counts are refused by the world (std::invalid_argument: 400).
        const auto count = [&](const char* name) {
            const int64_t n = IntMember(o, name, 0);
            return n < 1 || n > 1000000 ? 0 : static_cast<int>(n);
        };
        state.world.SeedLargeInventory(count("regions"), count("zonesPerRegion"), count("instancesPerZone"));
        return Ok();
    }
    if (route == "reset" && method == "POST") {
        state.ResetLocked();
        return Ok();
    }
    if (route == "keys" && method == "POST") {
        const std::string id = StringMember(o, "id");
        if (id.empty()) return BadRequest("\"id\" is required");
        state.keys[id] = StringMember(o, "secret");
        return Ok();
    }
    if (route == "metadata") {
        if (method == "GET") return JsonReply(200, MetadataToJson(state));
        if (method == "POST") return SetMetadata(state, o);
    }
    return JsonReply(404, json::object{{"error", "no route " + method + " /_emulator/" + route}});
}

}  // namespace

const char* FaultKindName(FaultKind kind) {
    for (const auto& k : kKinds) {
        if (k.kind == kind) return k.name;
    }
    return "";
}

FaultKind FaultKindFromName(std::string_view name) {
    for (const auto& k : kKinds) {
        if (name == k.name) return k.kind;
    }
    throw std::invalid_argument("unknown fault kind \"" + std::string(name) + "\"");
}

Reply HandleControl(State& state, const HttpIn& in) {
    if (!in.fromLoopback) return JsonReply(403, json::object{{"error", "control is for loopback clients only"}});
    static constexpr std::string_view kPrefix = "/_emulator/";
    std::string route = in.target.substr(kPrefix.size());
    route = route.substr(0, route.find('?'));
    while (!route.empty() && route.back() == '/') route.pop_back();
    json::value body;
    if (!in.body.empty()) {
        boost::system::error_code ec;
        body = json::parse(in.body, ec);
        if (ec) return BadRequest("the body is not JSON: " + ec.message());
    }
    std::lock_guard<std::mutex> lock(state.mutex);
    try {
        return Route(state, in.method, route, body);
    } catch (const std::exception& e) {
        return BadRequest(e.what());
    }
}

}  // namespace AcwEmulator
