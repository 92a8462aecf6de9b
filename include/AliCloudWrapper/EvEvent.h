// The library's debug log. Every class that logs owns (the parser: derives from)
// an EvEvent and calls Error / Debug / DebugLvl with its full signature as context.
//
// By default the library is quiet: only Error lines pass the level filter, and
// they are delivered nowhere unless the embedding program installs a sink or the
// settings ask for standard error or a log file (see the README). No line ever
// carries a registered secret: EvLog redacts every registered text before delivery.
#pragma once

#include <functional>
#include <string>

namespace AliCloudWrapper {

// One delivered log line.
struct SLogRecord {
  bool bError = false;      // written with Error
  int nLevel = 0;           // 0 for Error, 1 for Debug, n for DebugLvl(n)
  std::string strContext;   // the writing function's full signature
  std::string strMessage;   // the formatted message, secrets redacted
};

using LogSink = std::function<void(const SLogRecord&)>;

// Process-wide log configuration.
class EvLog {
 public:
  // Installs the sink that receives every line passing the level filter and
  // returns the previous one; an empty function restores the default
  // (settings-driven stderr / file) sink. Sinks are called one line at a time,
  // never concurrently; a line logged from inside a sink is dropped.
  static LogSink SetSink(LogSink sink);
  // Lines with nLevel above this are dropped; Error lines always pass.
  // 0 (the default) passes Error only. The setting "nAliCloudLogLevel" can raise
  // the filter further: the higher of the two applies.
  static void SetLevel(int nLevel);
  // The level given to SetLevel (not raised by the setting).
  static int GetLevel();
  // Texts that must never appear in a log line (the access key secret). Each
  // occurrence is replaced by "***" in the message and the context before a
  // line reaches any sink. Registrations are counted: a text registered twice
  // stays redacted until it is unregistered twice. Empty texts are ignored.
  static void RegisterSecret(const std::string& strSecret);
  static void UnregisterSecret(const std::string& strSecret);
};

class EvEvent {
 public:
  EvEvent() = default;
  virtual ~EvEvent() = default;

  void Error(const char* context, const char* format, ...) const
      __attribute__((format(printf, 3, 4)));
  void Debug(const char* context, const char* format, ...) const
      __attribute__((format(printf, 3, 4)));
  void DebugLvl(const char* context, int nLevel, const char* format, ...) const
      __attribute__((format(printf, 4, 5)));
};

}  // namespace AliCloudWrapper
