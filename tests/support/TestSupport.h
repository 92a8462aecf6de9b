// RAII helpers for tests: capture the log, record pauses instead of sleeping,
// and set a "VirtualServer" setting for the length of a scope. Each restores
// what it replaced when it goes out of scope, so tests never leak state into
// each other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "AliCloudWrapper/EvEvent.h"
#include "host/FXThread.h"

namespace AliCloudWrapper {

// Installs a capturing sink with the given level filter; restores the previous
// sink and level on destruction. Safe to read while other threads log.
class ScopedLogCapture {
 public:
  explicit ScopedLogCapture(int nLevel = 5);
  ~ScopedLogCapture();
  ScopedLogCapture(const ScopedLogCapture&) = delete;
  ScopedLogCapture& operator=(const ScopedLogCapture&) = delete;

  std::vector<SLogRecord> Records() const;
  std::vector<std::string> Messages() const;
  // True when some captured message contains text.
  bool Contains(const std::string& text) const;
  // How many captured messages contain text (each message counted once).
  size_t Count(const std::string& text) const;
  // Every captured line, one per line, for failure output.
  std::string Dump() const;
  void Clear();

 private:
  struct SState {
    mutable std::mutex mutex;
    std::vector<SLogRecord> vecRecords;
  };
  std::shared_ptr<SState> m_pState;
  LogSink m_previousSink;
  int m_nPreviousLevel;
};

// Installs a sleeper that records each requested pause and returns at once;
// restores the previous sleeper on destruction.
class ScopedSleepRecorder {
 public:
  ScopedSleepRecorder();
  ~ScopedSleepRecorder();
  ScopedSleepRecorder(const ScopedSleepRecorder&) = delete;
  ScopedSleepRecorder& operator=(const ScopedSleepRecorder&) = delete;

  // The requested pauses in milliseconds, in order.
  std::vector<uint64_t> Pauses() const;
  uint64_t TotalMilliseconds() const;

 private:
  struct SState {
    mutable std::mutex mutex;
    std::vector<uint64_t> vecPauses;
  };
  std::shared_ptr<SState> m_pState;
  FXThread::Sleeper m_previousSleeper;
};

// Sets a key of section "VirtualServer" (or another section) for the scope;
// restores the previous value, or its absence, on destruction.
class ScopedSetting {
 public:
  ScopedSetting(const std::string& strKey, const std::string& strValue);
  ScopedSetting(const std::string& strKey, uint64_t nValue);
  ScopedSetting(const std::string& strSection, const std::string& strKey,
                const std::string& strValue);
  ~ScopedSetting();
  ScopedSetting(const ScopedSetting&) = delete;
  ScopedSetting& operator=(const ScopedSetting&) = delete;

 private:
  std::string m_strSection;
  std::string m_strKey;
  std::optional<std::string> m_previous;
};

}  // namespace AliCloudWrapper
