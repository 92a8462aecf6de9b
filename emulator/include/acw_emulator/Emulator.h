// AcwEmulator: a local, stateful, in-memory fake of the Alibaba Cloud RPC endpoints of ECS
// (2014-05-26), VPC (2016-04-28) and RDS (2014-08-15) over HTTPS, plus the ECS instance
// metadata service over plain HTTP. It listens on loopback only.
//
// In-process use (tests):
//
//   AcwEmulator::Emulator emu;            // ports 0: the system picks free ports
//   emu.Start();                          // throws std::runtime_error when it cannot listen
//   // point the client at https://ecs.aliyuncs.com with connect-to 127.0.0.1:emu.HttpsPort()
//   // and trust emu.CaFile() (or emu.CaPem())
//   emu.InjectFault({AcwEmulator::FaultKind::CloseBeforeAnswer, "DescribeRegions", 2});
//   ...
//   auto journal = emu.Journal();         // every API request, in arrival order
//
// Everything here is thread-safe: the server runs on its own thread, and the control calls lock
// the one state mutex. The same control functions are reachable over HTTP under "/_emulator/" on
// the HTTPS port (see Control.h for the routes).
#pragma once

#include <acw_emulator/Actions.h>

#include <boost/json/value.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace AcwEmulator {

class World;

struct AccessKey {
    std::string id;
    std::string secret;
};

struct Options {
    // 0 lets the system pick a free port; read the real one with HttpsPort()/MetadataPort().
    uint16_t httpsPort = 0;
    uint16_t metadataPort = 0;
    // Where to write the CA certificate (PEM). Empty: a file in the temporary directory, removed
    // again by Stop().
    std::string caFile;
    // Accepted access keys. Empty: the demo key "acw-demo-key" / "acw-demo-secret".
    std::vector<AccessKey> keys;
    // What "GET /latest/meta-data/instance-id" answers.
    std::string instanceId = "i-acwemu00000000000001";
    // Seed the demo world (regions, zones, a few resources). Off: start with an empty world.
    bool seedDefaultWorld = true;
};

// Faults replace the answer to the next `count` matching API requests. A request matches when
// its action equals `action` (empty: any action) and its product equals `product` ("ecs", "vpc",
// "rds"; empty: any). Faults apply only to requests that passed the gateway checks (host,
// common parameters, signature, time stamp, nonce), so a faulted attempt is always a genuine
// one; they are consumed in the order they were injected.
enum class FaultKind {
    ErrorResponse,      // an error document with `status`, `code` and `message`
    EmptyErrorBody,     // `status` (default 500) with an empty body
    NotJson,            // `status` (default 502) with an HTML body that is not JSON
    CloseBeforeAnswer,  // the connection is closed without a byte of answer
    CloseMidBody,       // headers with the full Content-Length, half the body, then close
    Delay,              // wait `delayMs`, then answer normally
    Stall,              // send nothing, keep the connection open until the client gives up
};

struct Fault {
    Fault() = default;
    Fault(FaultKind kind, std::string action = {}, int count = 1)
        : kind(kind), action(std::move(action)), count(count) {}

    FaultKind kind = FaultKind::ErrorResponse;
    std::string action;  // empty: any action
    int count = 1;
    std::string product;  // empty: any product
    int status = 0;       // 0: the kind's default (ErrorResponse: the code's, see DefaultErrorStatus)
    std::string code;     // ErrorResponse only; default "InternalError"
    std::string message;  // ErrorResponse only; default: the service's text for known codes
    int delayMs = 0;      // Delay only
    // Run the action (changing the world) before the fault replaces its answer: models an
    // answer lost after the service did the work (idempotence tests).
    bool executeAction = false;
};

struct JournalEntry {
    uint64_t seq = 0;
    std::string host;     // Host header without the port
    std::string method;   // GET, POST, ...
    std::string product;  // "ecs", "vpc", "rds" or "" when the host maps to none
    std::string action;
    // Every parameter as received (query first, then form body), percent-decoded, in order.
    std::vector<std::pair<std::string, std::string>> params;
    int status = 0;      // HTTP status sent (0 when the connection was closed without one)
    std::string code;    // the error code of an error document, empty on success
    std::string fault;   // the injected fault that answered, empty when none
};

struct Counters {
    uint64_t tcpConnections = 0;    // TCP connections accepted on the HTTPS port
    uint64_t tlsHandshakes = 0;     // TLS handshakes completed on the HTTPS port
    uint64_t apiRequests = 0;       // API requests read (control requests excluded)
    uint64_t metadataRequests = 0;  // requests on the metadata port
};

enum class TokenMode {
    Optional,  // tokens are issued and checked when sent; token-less GETs are answered
    Required,  // token-less GETs are refused with 401 (the instance's HttpTokens=required)
};

class Emulator {
public:
    explicit Emulator(Options options = {});
    ~Emulator();  // stops the server
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    // Generates the CA and server certificate, writes the CA file and starts listening on
    // 127.0.0.1. Throws std::runtime_error on failure. Starting twice is a no-op.
    void Start();
    // Closes every connection (stalled ones included) and joins the server thread. Never hangs.
    void Stop();

    [[nodiscard]] uint16_t HttpsPort() const;
    [[nodiscard]] uint16_t MetadataPort() const;
    [[nodiscard]] std::string CaFile() const;
    [[nodiscard]] std::string CaPem() const;

    // --- journal and counters
    [[nodiscard]] std::vector<JournalEntry> Journal() const;
    void ClearJournal();
    [[nodiscard]] Counters GetCounters() const;

    // --- faults
    void InjectFault(const Fault& fault);
    void ClearFaults();

    // --- the emulator clock (seconds since the epoch, UTC). It follows the system clock until
    // set; once set it stands still except through AdvanceClock, so tests are deterministic.
    void SetClock(int64_t epochSeconds);
    void AdvanceClock(int64_t seconds);
    void UseSystemClock();
    [[nodiscard]] int64_t Now() const;

    // --- access keys
    void AddKey(const std::string& id, const std::string& secret);

    // --- metadata service
    void SetMetadataInstanceId(const std::string& instanceId);
    void SetMetadataTokenMode(TokenMode mode);

    // --- the world
    // Adds or replaces resources: {"Instances":[{...}], "Disks":[...], "Regions":[...], ...}.
    // Items use the service's own member names; members left out take the kind's defaults.
    // Throws std::invalid_argument for an unknown collection or an item without its id.
    void Seed(const boost::json::value& seed);
    void Seed(std::string_view jsonText);
    // Adds (or replaces) an action of the running emulator; see Actions.h for how to write one.
    void RegisterAction(Product product, const std::string& action, ActionHandler handler);
    // Runs `fn` on the world under the state lock (inspect or change resources directly).
    void WithWorld(const std::function<void(World&)>& fn);
    // Forgets resources, faults, journal, counters, nonces and clock setting; re-seeds the
    // default world when the options ask for it. Keys and metadata settings are kept.
    void Reset();

    class Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

}  // namespace AcwEmulator
