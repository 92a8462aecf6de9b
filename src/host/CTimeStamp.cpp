#include "host/CTimeStamp.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace AliCloudWrapper {

namespace {

std::atomic<int64_t (*)()> g_pfnClock{nullptr};

int64_t SystemMicroseconds() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

CTimeStamp CTimeStamp::Now() {
  int64_t (*pfnClock)() = g_pfnClock.load(std::memory_order_acquire);
  return CTimeStamp(pfnClock != nullptr ? pfnClock() : SystemMicroseconds());
}

void CTimeStamp::SetClock(int64_t (*pfnClock)()) {
  g_pfnClock.store(pfnClock, std::memory_order_release);
}

std::string CTimeStamp::AsUTCDateTimeString() const {
  // Floor division, so an instant before the epoch still gets a fraction in
  // [0, 1000) and the second before it.
  int64_t nSeconds = m_nMicroseconds / 1000000;
  int64_t nMicros = m_nMicroseconds % 1000000;
  if (nMicros < 0) {
    nMicros += 1000000;
    --nSeconds;
  }
  std::time_t time = static_cast<std::time_t>(nSeconds);
  std::tm parts{};
  if (gmtime_r(&time, &parts) == nullptr) return std::string();
  char buffer[64];
  std::snprintf(buffer, sizeof(buffer), "%04d/%02d/%02d %02d:%02d:%02d.%03d",
                parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min,
                parts.tm_sec, static_cast<int>(nMicros / 1000));
  return buffer;
}

}  // namespace AliCloudWrapper
