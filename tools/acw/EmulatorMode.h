// acw --emulator: runs the library's own emulator inside the tool, on loopback
// with a fresh CA, and points the library at it through its settings (the
// connect-to mapping and the CA bundle) before any request, so every
// subcommand can be tried on a machine with no account, no settings file and
// no variables. The real host names stay in the requests; only where they
// connect changes.
#pragma once

#include <memory>
#include <string>

namespace AcwEmulator {
class Emulator;
}

namespace acw {

class EmulatorMode {
 public:
  // The key the emulator accepts; used instead of any configured key, so a
  // real key never leaves the process even towards the loopback.
  static constexpr const char* KEY_ID = "acw-demo-key";
  static constexpr const char* KEY_SECRET = "acw-demo-secret";
  // The region of the emulator's demo world, the default when none is given.
  static constexpr const char* REGION = "cn-hangzhou";

  // Starts the emulator and sets the library's settings. Throws
  // std::runtime_error when the emulator cannot start.
  EmulatorMode();
  // Takes the settings back out and stops the emulator.
  ~EmulatorMode();
  EmulatorMode(const EmulatorMode&) = delete;
  EmulatorMode& operator=(const EmulatorMode&) = delete;

 private:
  std::unique_ptr<AcwEmulator::Emulator> m_pEmulator;
};

}  // namespace acw
