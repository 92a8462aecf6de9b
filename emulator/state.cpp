#include "Core.h"

#include <chrono>

namespace AcwEmulator {

namespace {
int64_t SystemNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}
}  // namespace

State::State(Options opts) : options(std::move(opts)), actions(BuildActionTable()), instanceId(options.instanceId) {
    if (options.keys.empty()) {
        keys.emplace("acw-demo-key", "acw-demo-secret");
    } else {
        for (const auto& key : options.keys) keys[key.id] = key.secret;
    }
    if (options.seedDefaultWorld) world.SeedDefault();
}

int64_t State::NowLocked() const { return m_frozen ? m_frozenAt : SystemNow(); }

void State::SetClockLocked(int64_t epochSeconds) {
    m_frozen = true;
    m_frozenAt = epochSeconds;
}

void State::AdvanceClockLocked(int64_t seconds) { SetClockLocked(NowLocked() + seconds); }

void State::UseSystemClockLocked() { m_frozen = false; }

void State::ResetLocked() {
    world = World();
    if (options.seedDefaultWorld) world.SeedDefault();
    nonces.clear();
    faults.clear();
    journal.clear();
    counters = Counters{};
    tokens.clear();
    m_frozen = false;
}

void State::AddJournalLocked(JournalEntry entry) {
    entry.seq = nextJournalSeq++;
    journal.push_back(std::move(entry));
    while (journal.size() > kJournalLimit) journal.pop_front();
}

}  // namespace AcwEmulator
