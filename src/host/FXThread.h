// Every pause of the library goes through FXThread::Sleep, so tests can replace
// the sleeper with one that records the pauses and returns at once.
#pragma once

#include <cstdint>
#include <functional>

namespace AliCloudWrapper {
namespace FXThread {

using Sleeper = std::function<void(uint64_t nMilliseconds)>;

// Blocks the calling thread for that long (or calls the installed sleeper).
void Sleep(uint64_t nMilliseconds);
// Installs a sleeper and returns the previous one; an empty function restores the real one.
Sleeper SetSleeper(Sleeper sleeper);

}  // namespace FXThread
}  // namespace AliCloudWrapper
