// Bounded waits with progress, for every acw subcommand that waits for the
// service to finish something (a snapshot, an image, an instance).
//
// A wait polls until the poll says done or failed, or until a bound is
// reached: --timeout seconds in all, --max-polls looks, --poll-ms apart.
// Progress goes to standard error, so standard output keeps only the results:
// a bar redrawn in place on a terminal, one line per poll otherwise.
#pragma once

#include <CLI/CLI.hpp>

#include <chrono>
#include <functional>
#include <iosfwd>
#include <string>

namespace acw {

struct SWaitBounds {
  long long nTimeoutSec = 300;  // a real snapshot of a small disk takes minutes
  long long nPollMs = 2000;
  long long nMaxPolls = 1000;

  // Adds --timeout, --poll-ms and --max-polls to the command, each capped so a
  // typing slip cannot make the tool poll for days or hammer the service.
  void AddOptions(CLI::App& app);
};

// One look at what is awaited.
struct SPoll {
  enum class EState { Pending, Done, Failed };
  EState eState = EState::Pending;
  int nPercent = -1;     // 0..100 when known
  std::string strState;  // the service's word for it ("progressing")
};

class Progress {
 public:
  // bBar: redraw one bar in place (a terminal); otherwise one line per step.
  Progress(std::ostream& out, std::string strWhat, bool bBar);
  // Whether standard error is a terminal, where the bar belongs.
  static bool StderrIsTerminal();

  void Step(long long nPoll, const SPoll& sPoll);
  // Ends the bar's line, so later text starts on a fresh one.
  void Finish();

 private:
  std::ostream& m_out;
  std::string m_strWhat;
  bool m_bBar;
  bool m_bDrawn = false;
};

enum class EWaitOutcome { Done, Failed, OutOfBounds };

struct SWaitResult {
  EWaitOutcome eOutcome = EWaitOutcome::OutOfBounds;
  long long nPolls = 0;
  // Why an out-of-bounds wait stopped: "1 polls" or "300 seconds".
  std::string strBound;
};

using Sleeper = std::function<void(std::chrono::milliseconds)>;

// Polls fnPoll until it is done or failed or a bound is reached. fnPoll
// returns false when the look itself failed (the caller knows why); that ends
// the wait with Failed. sleep is replaceable so a test never waits it out.
SWaitResult WaitUntil(const SWaitBounds& sBounds, Progress& sProgress,
                      const std::function<bool(SPoll&)>& fnPoll, const Sleeper& sleep);

// The real pause.
void SleepFor(std::chrono::milliseconds nPause);

}  // namespace acw
