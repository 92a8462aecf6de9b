#include "AliCloudWrapper/EvEvent.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "AliCloudWrapper/TKPlatformInfo.h"
#include "host/CTimeStamp.h"
#include "host/FXString.h"
#include "host/SecureMemory.h"
#include "host/SettingsTable.h"
#include "host/TKPlatformInfoInternal.h"

namespace AliCloudWrapper {

namespace {

struct SFileCloser {
  void operator()(FILE* pFile) const { std::fclose(pFile); }
};
using FilePtr = std::unique_ptr<FILE, SFileCloser>;

// What the default sink does, as read from the settings.
struct SOutputSettings {
  std::string strLogFile;  // "AliCloudLogFile": append every line here
  bool bToStderr = false;  // "nAliCloudLogToStderr" = 1
  int nLevel = 0;          // "nAliCloudLogLevel"
};

struct SLogState {
  // Guards everything that is not atomic, and serialises delivery so sinks
  // never run concurrently.
  std::mutex mutex;
  LogSink sink;
  // Registered secrets with their registration counts, longest first. Every
  // buffer of it (the texts' and the vector's own, which holds short texts
  // inline) is wiped when released.
  std::vector<std::pair<SecretText, int>, WipingAllocator<std::pair<SecretText, int>>> vecSecrets;
  SOutputSettings settings;
  FilePtr pFile;
  std::string strOpenFile;    // the path pFile was opened with
  std::string strFailedFile;  // a path that could not be opened (reported once)

  // Read without the lock on every line, so a filtered line costs two loads.
  std::atomic<int> nApiLevel{0};
  std::atomic<int> nEffectiveLevel{0};
  std::atomic<bool> bHasOutput{false};
  std::atomic<uint64_t> nSeenGeneration{UINT64_MAX};
};

SLogState& State() {
  static SLogState state;
  return state;
}

// A line is delivered under the state's lock; a line logged from inside a sink
// would deadlock, so it is dropped instead.
thread_local bool t_bDelivering = false;

// Lines logged while this thread reads the log settings (a malformed settings
// file, a non-numeric level) are held here and delivered once the settings
// that decide their fate are in place.
struct SPendingLine {
  bool bError;
  int nLevel;
  std::string strContext;
  std::string strMessage;
};
thread_local std::vector<SPendingLine>* t_pPending = nullptr;

class CThreadFlag {
 public:
  explicit CThreadFlag(bool& bFlag) : m_bFlag(bFlag) { m_bFlag = true; }
  ~CThreadFlag() { m_bFlag = false; }
  CThreadFlag(const CThreadFlag&) = delete;
  CThreadFlag& operator=(const CThreadFlag&) = delete;

 private:
  bool& m_bFlag;
};

class CPendingScope {
 public:
  explicit CPendingScope(std::vector<SPendingLine>& vecPending) { t_pPending = &vecPending; }
  ~CPendingScope() { t_pPending = nullptr; }
  CPendingScope(const CPendingScope&) = delete;
  CPendingScope& operator=(const CPendingScope&) = delete;
};

// Called with the lock held whenever the sink, the API level or the settings change.
void RecomputeLocked(SLogState& state) {
  state.nEffectiveLevel.store(std::max(state.nApiLevel.load(), state.settings.nLevel));
  state.bHasOutput.store(static_cast<bool>(state.sink) || state.settings.bToStderr ||
                         !state.settings.strLogFile.empty());
}

SOutputSettings ReadOutputSettings() {
  SOutputSettings settings;
  TKPlatformInfo info;
  info.getString(TKPlatformInfo::SECTION, SettingKeys::LOG_FILE, &settings.strLogFile);
  uint64_t nValue = 0;
  if (info.getNumber(TKPlatformInfo::SECTION, SettingKeys::LOG_LEVEL, &nValue)) {
    settings.nLevel = nValue > static_cast<uint64_t>(INT_MAX) ? INT_MAX : static_cast<int>(nValue);
  }
  nValue = 0;
  if (info.getNumber(TKPlatformInfo::SECTION, SettingKeys::LOG_TO_STDERR, &nValue)) {
    settings.bToStderr = nValue == 1;
  }
  return settings;
}

bool Passes(const SLogState& state, bool bError, int nLevel) {
  if (!bError && nLevel > state.nEffectiveLevel.load(std::memory_order_relaxed)) return false;
  return state.bHasOutput.load(std::memory_order_relaxed);
}

void Deliver(SLogState& state, bool bError, int nLevel, const char* context, std::string strMessage);

// Re-reads the log settings when the settings store changed since the last look.
void RefreshSettingsIfStale(SLogState& state) {
  uint64_t nGeneration = SettingsInternal::Generation();
  if (nGeneration == state.nSeenGeneration.load(std::memory_order_acquire)) return;

  std::vector<SPendingLine> vecPending;
  SOutputSettings settings;
  {
    CPendingScope scope(vecPending);
    settings = ReadOutputSettings();
  }
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    state.settings = std::move(settings);
    // The generation seen before reading: a change made meanwhile is read next time.
    state.nSeenGeneration.store(nGeneration, std::memory_order_release);
    RecomputeLocked(state);
  }
  for (SPendingLine& line : vecPending) {
    if (Passes(state, line.bError, line.nLevel)) {
      Deliver(state, line.bError, line.nLevel, line.strContext.c_str(), std::move(line.strMessage));
    }
  }
}

std::string RedactLocked(const SLogState& state, std::string text) {
  for (const auto& secret : state.vecSecrets) {
    const SecretText& strSecret = secret.first;
    for (size_t nAt = text.find(strSecret.data(), 0, strSecret.size()); nAt != std::string::npos;
         nAt = text.find(strSecret.data(), nAt + 3, strSecret.size())) {
      text.replace(nAt, strSecret.size(), "***");
    }
  }
  return text;
}

std::string FormatLine(const SLogRecord& record) {
  std::string strLevel = record.bError ? "ERROR" : "DEBUG" + std::to_string(record.nLevel);
  return CTimeStamp::Now().AsUTCDateTimeString() + " UTC " + strLevel + " " + record.strContext +
         ": " + record.strMessage + "\n";
}

// The default sink: standard error and/or the log file, as the settings say.
void WriteDefaultLocked(SLogState& state, const SLogRecord& record) {
  std::string strLine = FormatLine(record);
  if (state.settings.bToStderr) {
    std::fputs(strLine.c_str(), stderr);
  }
  const std::string& strPath = state.settings.strLogFile;
  if (strPath.empty()) return;
  if (!state.pFile || state.strOpenFile != strPath) {
    state.pFile.reset(std::fopen(strPath.c_str(), "ae"));
    state.strOpenFile = strPath;
    if (!state.pFile) {
      // The log cannot report its own failure; say it once on standard error.
      if (state.strFailedFile != strPath) {
        std::fprintf(stderr, "AliCloudWrapper: cannot open log file [%s]: %s\n", strPath.c_str(),
                     std::strerror(errno));
        state.strFailedFile = strPath;
      }
      return;
    }
  }
  std::fputs(strLine.c_str(), state.pFile.get());
  std::fflush(state.pFile.get());
}

void Deliver(SLogState& state, bool bError, int nLevel, const char* context, std::string strMessage) {
  CThreadFlag flag(t_bDelivering);
  std::lock_guard<std::mutex> lock(state.mutex);
  SLogRecord record;
  record.bError = bError;
  record.nLevel = nLevel;
  // Redacted after formatting, so a secret that only appears once the
  // arguments are joined is caught as well.
  record.strContext = RedactLocked(state, context != nullptr ? context : "");
  record.strMessage = RedactLocked(state, std::move(strMessage));
  try {
    if (state.sink) {
      state.sink(record);
    } else {
      WriteDefaultLocked(state, record);
    }
  } catch (...) {
    // Logging never fails the operation that logs.
  }
}

void Write(bool bError, int nLevel, const char* context, const char* format, va_list args) {
  // A line logged from inside a sink would wait for the lock its own delivery holds.
  if (t_bDelivering) return;
  if (bError) nLevel = 0;
  if (t_pPending != nullptr) {
    try {
      t_pPending->push_back({bError, nLevel, context != nullptr ? context : "",
                             FXString::FormatV(format, args)});
    } catch (...) {
    }
    return;
  }
  SLogState& state = State();
  try {
    RefreshSettingsIfStale(state);
  } catch (...) {
    // Out of memory while reading settings: keep the settings we had.
  }
  // Checked before formatting: a filtered line costs no more than this.
  if (!Passes(state, bError, nLevel)) return;
  try {
    Deliver(state, bError, nLevel, context, FXString::FormatV(format, args));
  } catch (...) {
    // Logging never fails the operation that logs.
  }
}

}  // namespace

LogSink EvLog::SetSink(LogSink sink) {
  SLogState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  LogSink previous = std::move(state.sink);
  state.sink = std::move(sink);
  RecomputeLocked(state);
  return previous;
}

void EvLog::SetLevel(int nLevel) {
  SLogState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.nApiLevel.store(nLevel);
  RecomputeLocked(state);
}

int EvLog::GetLevel() { return State().nApiLevel.load(); }

void EvLog::RegisterSecret(const std::string& strSecret) {
  if (strSecret.empty()) return;
  SLogState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  auto& vecSecrets = state.vecSecrets;
  for (auto& secret : vecSecrets) {
    if (secret.first.size() == strSecret.size() &&
        secret.first.compare(0, secret.first.size(), strSecret.data(), strSecret.size()) == 0) {
      ++secret.second;
      return;
    }
  }
  // Longest first, so a secret that contains another is replaced whole and
  // no part of it survives the shorter one's replacement.
  auto it = std::find_if(vecSecrets.begin(), vecSecrets.end(),
                         [&](const auto& secret) { return secret.first.size() < strSecret.size(); });
  vecSecrets.emplace(it, SecretText(strSecret.data(), strSecret.size()), 1);
}

void EvLog::UnregisterSecret(const std::string& strSecret) {
  SLogState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  auto& vecSecrets = state.vecSecrets;
  for (auto it = vecSecrets.begin(); it != vecSecrets.end(); ++it) {
    if (it->first.size() != strSecret.size() ||
        it->first.compare(0, it->first.size(), strSecret.data(), strSecret.size()) != 0) {
      continue;
    }
    if (--it->second > 0) return;
    // Overwritten in place first: a short text lives inside the vector's slot,
    // which erasing would leave as it is; a long one's buffer is also wiped by
    // its allocator when released.
    SecureWipe(it->first.data(), it->first.size());
    vecSecrets.erase(it);
    return;
  }
}

void EvEvent::Error(const char* context, const char* format, ...) const {
  va_list args;
  va_start(args, format);
  Write(true, 0, context, format, args);
  va_end(args);
}

void EvEvent::Debug(const char* context, const char* format, ...) const {
  va_list args;
  va_start(args, format);
  Write(false, 1, context, format, args);
  va_end(args);
}

void EvEvent::DebugLvl(const char* context, int nLevel, const char* format, ...) const {
  va_list args;
  va_start(args, format);
  Write(false, nLevel, context, format, args);
  va_end(args);
}

}  // namespace AliCloudWrapper
