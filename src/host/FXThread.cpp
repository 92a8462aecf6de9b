#include "host/FXThread.h"

#include <chrono>
#include <limits>
#include <mutex>
#include <thread>

namespace AliCloudWrapper {
namespace FXThread {

namespace {

std::mutex g_sleeperMutex;
Sleeper g_sleeper;  // empty: really sleep

void RealSleep(uint64_t nMilliseconds) {
  // chrono::milliseconds is signed; a pause beyond its range is as good as forever.
  constexpr uint64_t nMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  std::this_thread::sleep_for(
      std::chrono::milliseconds(static_cast<int64_t>(nMilliseconds < nMax ? nMilliseconds : nMax)));
}

}  // namespace

void Sleep(uint64_t nMilliseconds) {
  Sleeper sleeper;
  {
    std::lock_guard<std::mutex> lock(g_sleeperMutex);
    sleeper = g_sleeper;
  }
  // Called outside the lock: a real pause must not block another thread's swap.
  if (sleeper) {
    sleeper(nMilliseconds);
  } else {
    RealSleep(nMilliseconds);
  }
}

Sleeper SetSleeper(Sleeper sleeper) {
  std::lock_guard<std::mutex> lock(g_sleeperMutex);
  Sleeper previous = std::move(g_sleeper);
  g_sleeper = std::move(sleeper);
  return previous;
}

}  // namespace FXThread
}  // namespace AliCloudWrapper
