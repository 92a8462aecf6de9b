// The emulator's inside: the one state object, the HTTP exchange the server hands to it, and the
// three request handlers (API gateway, control routes, metadata service). The handlers are plain
// functions of the state and one request, so they know nothing about sockets; the server
// (server.cpp) turns their Reply into bytes, delays, stalls or closed connections.
#pragma once

#include <acw_emulator/Actions.h>
#include <acw_emulator/Emulator.h>
#include <acw_emulator/World.h>

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include <stdexcept>

namespace AcwEmulator {

struct HttpIn {
    std::string method;  // "GET", "POST", ...
    std::string target;  // path and query, as received
    std::string host;    // the Host header, as received
    std::string contentType;
    std::string body;
    std::map<std::string, std::string> headers;  // lower-case names
    bool fromLoopback = true;
};

enum class Disposition {
    Answer,             // send the reply (after delayMs)
    CloseBeforeAnswer,  // close without sending anything
    CloseMidBody,       // send the headers with the full length and half the body, then close
    Stall,              // send nothing and keep the connection open
};

struct Reply {
    int status = 200;
    std::string body;
    std::string contentType = "application/json;charset=utf-8";
    std::string requestId;  // also sent as header "x-acs-request-id" when set
    Disposition disposition = Disposition::Answer;
    int delayMs = 0;
};

// Every piece of mutable state, behind one mutex. Methods named ...Locked expect the caller to
// hold `mutex`; the others lock it themselves.
class State {
public:
    explicit State(Options options);

    std::mutex mutex;
    const Options options;
    World world;
    ActionTable actions;
    std::map<std::string, std::string> keys;  // AccessKeyId -> secret
    std::unordered_map<std::string, int64_t> nonces;  // SignatureNonce -> emulator time first seen
    std::deque<Fault> faults;
    std::deque<JournalEntry> journal;
    uint64_t nextJournalSeq = 1;
    Counters counters;
    // Metadata service.
    std::string instanceId;
    TokenMode tokenMode = TokenMode::Optional;
    std::map<std::string, int64_t> tokens;  // token -> expiry (emulator time)
    uint64_t nextToken = 1;

    [[nodiscard]] int64_t NowLocked() const;
    void SetClockLocked(int64_t epochSeconds);
    void AdvanceClockLocked(int64_t seconds);
    void UseSystemClockLocked();
    [[nodiscard]] bool ClockFrozenLocked() const { return m_frozen; }
    void ResetLocked();
    void AddJournalLocked(JournalEntry entry);

private:
    bool m_frozen = false;
    int64_t m_frozenAt = 0;
};

// Requests to the service hosts (everything but /_emulator/ on the HTTPS port).
[[nodiscard]] Reply HandleApi(State& state, const HttpIn& in);
// Requests under /_emulator/ on the HTTPS port.
[[nodiscard]] Reply HandleControl(State& state, const HttpIn& in);
// Requests on the metadata port.
[[nodiscard]] Reply HandleMetadata(State& state, const HttpIn& in);

// Conversions shared by the control routes and the program's options.
[[nodiscard]] const char* FaultKindName(FaultKind kind);
// Throws std::invalid_argument for an unknown name.
[[nodiscard]] FaultKind FaultKindFromName(std::string_view name);

// Throws std::invalid_argument for a fault that could not be answered: a count
// below 1, or a status that is neither 0 (the kind's default) nor an HTTP
// status (100-599). Both fault routes check this before the fault is stored,
// so a bad fault is refused at once instead of failing on the server thread.
inline void ValidateFault(const Fault& fault) {
    if (fault.count < 1) throw std::invalid_argument("\"count\" must be at least 1");
    if (fault.status != 0 && (fault.status < 100 || fault.status > 599)) {
        throw std::invalid_argument("\"status\" must be 0 or an HTTP status from 100 to 599");
    }
}

// The journal holds at most this many entries; the oldest go first.
inline constexpr size_t kJournalLimit = 100000;
// A nonce is remembered this long (emulator time), as the service's gateway does.
inline constexpr int64_t kNonceMemorySeconds = 31 * 60;
// A request's Timestamp may differ from the emulator clock by at most this much.
inline constexpr int64_t kTimestampWindowSeconds = 15 * 60;

}  // namespace AcwEmulator
