// Wall-clock time stamps as the request signer wants them.
#pragma once

#include <cstdint>
#include <string>

namespace AliCloudWrapper {

class CTimeStamp {
 public:
  // Microseconds since the Unix epoch.
  explicit CTimeStamp(int64_t nMicroseconds = 0) : m_nMicroseconds(nMicroseconds) {}
  // The current time, from the installed clock (the system clock by default).
  static CTimeStamp Now();
  // Tests install a fixed clock (microseconds since the epoch); empty restores the system clock.
  static void SetClock(int64_t (*pfnClock)());
  int64_t Microseconds() const { return m_nMicroseconds; }
  // "yyyy/mm/dd hh:mm:ss.fff", UTC.
  std::string AsUTCDateTimeString() const;

 private:
  int64_t m_nMicroseconds;
};

}  // namespace AliCloudWrapper
