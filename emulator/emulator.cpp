#include <acw_emulator/Emulator.h>

#include "Core.h"
#include "Server.h"
#include "Tls.h"

#include <boost/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

namespace AcwEmulator {

class Emulator::Impl {
public:
    explicit Impl(Options options) : state(std::move(options)) {}

    State state;
    std::unique_ptr<Server> server;
    std::string caPem;
    std::string caFile;
    bool ownsCaFile = false;
};

namespace {

std::string WriteCaFile(const std::string& wanted, const std::string& pem, bool& owned) {
    std::string path = wanted;
    owned = false;
    if (path.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/acw-emulator-ca-XXXXXX";
        const int fd = mkstemp(pattern.data());
        if (fd < 0) throw std::runtime_error("acw-emulator: cannot create a CA file in " + pattern);
        close(fd);
        path = pattern;
        owned = true;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << pem;
    out.close();
    if (!out) throw std::runtime_error("acw-emulator: cannot write the CA file " + path);
    return path;
}

std::vector<std::string> RegionIds(const World& world) {
    std::vector<std::string> ids;
    for (const auto& region : world.Items("Regions")) ids.push_back(Str(region, "RegionId"));
    return ids;
}

}  // namespace

Emulator::Emulator(Options options) : m_impl(std::make_unique<Impl>(std::move(options))) {}

Emulator::~Emulator() { Stop(); }

void Emulator::Start() {
    if (m_impl->server) return;
    std::vector<std::string> regions;
    {
        std::lock_guard<std::mutex> lock(m_impl->state.mutex);
        regions = RegionIds(m_impl->state.world);
    }
    const TlsMaterial tls = MakeTlsMaterial(regions);
    auto server = std::make_unique<Server>(m_impl->state, tls);
    server->Start(m_impl->state.options.httpsPort, m_impl->state.options.metadataPort);
    m_impl->caPem = tls.caPem;
    m_impl->caFile = WriteCaFile(m_impl->state.options.caFile, tls.caPem, m_impl->ownsCaFile);
    m_impl->server = std::move(server);
}

void Emulator::Stop() {
    if (!m_impl->server) return;
    m_impl->server->Stop();
    m_impl->server.reset();
    if (m_impl->ownsCaFile) std::remove(m_impl->caFile.c_str());
}

uint16_t Emulator::HttpsPort() const { return m_impl->server ? m_impl->server->HttpsPort() : 0; }
uint16_t Emulator::MetadataPort() const { return m_impl->server ? m_impl->server->MetadataPort() : 0; }
std::string Emulator::CaFile() const { return m_impl->caFile; }
std::string Emulator::CaPem() const { return m_impl->caPem; }

std::vector<JournalEntry> Emulator::Journal() const {
    std::lock_guard<std::mutex> lock(m_impl->state.mutex);
    return {m_impl->state.journal.begin(), m_impl->state.journal.end()};
}

void Emulator::ClearJournal() {
    std::lock_guard<std::mutex> lock(m_impl->state.mutex);
    m_impl->state.journal.clear();
}

Counters Emulator::GetCounters() const {
    std::lock_guard<std::mutex> lock(m_impl->state.mutex);
    return m_impl->state.counters;
}

void Emulator::InjectFault(const Fault& fault) {
    ValidateFault(fault);
    std::lock_guard<std::mutex> lock(m_impl->state.mutex);
    m_impl->state.faults.push_back(fault);
}

void Emulator::ClearFaults() {
    std::lock_guard<std::mutex> lock(m_impl->state.mutex);
    m_impl->state.faults.clear();
}

void Emulator::SetClock(int64_t epochSeconds) {
    std::lock_guard<std::mutex> lock(m_impl->state.mutex);
    m_impl->state.SetClockLocked(epochSeconds);
}

void Emulator::AdvanceClock(int64_t seconds) {
    std::lock_guard<std::mutex> lock(m_impl->state.mutex);
    m_impl->state.AdvanceClockLocked(seconds);
}

void Emulator::UseSystemClock() {
    std::lock_guard<std::mutex> lock(m_impl->state.mutex);
    m_impl->state.UseSystemClockLocked();
}

int64_t Emulator::Now() const {
    std::lock_guard<std::mutex> lock(m_impl->state.mutex);
    return m_impl->state.NowLocked();
}

void Emulator::AddKey(const std::string& id, const std::string& secret) {
    std::lock_guard<std::mutex> lock(m_impl->state.mutex);
    m_impl->state.keys[id] = secret;
}

void Emulator::SetMetadataInstanceId(const std::string& instanceId) {
    std::lock_guard<std::mutex> lock(m_impl->state.mutex);
    m_impl->state.instanceId = instanceId;
}

void Emulator::SetMetadataTokenMode(TokenMode mode) {
    std::lock_guard<std::mutex> lock(m_impl->state.mutex);
    m_impl->state.tokenMode = mode;
}

void Emulator::Seed(const boost::json::value& seed) {
    std::lock_guard<std::mutex> lock(m_impl->state.mutex);
    m_impl->state.world.Seed(seed);
}

void Emulator::Seed(std::string_view jsonText) {
    boost::system::error_code ec;
    const boost::json::value seed = boost::json::parse(jsonText, ec);
    if (ec) throw std::invalid_argument("seed is not JSON: " + ec.message());
    Seed(seed);
}

void Emulator::RegisterAction(Product product, const std::string& action, ActionHandler handler) {
    std::lock_guard<std::mutex> lock(m_impl->state.mutex);
    m_impl->state.actions.Add(product, action, std::move(handler));
}

void Emulator::WithWorld(const std::function<void(World&)>& fn) {
    std::lock_guard<std::mutex> lock(m_impl->state.mutex);
    fn(m_impl->state.world);
}

void Emulator::Reset() {
    std::lock_guard<std::mutex> lock(m_impl->state.mutex);
    m_impl->state.ResetLocked();
}

}  // namespace AcwEmulator
