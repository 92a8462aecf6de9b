#include "Wait.h"

#include <unistd.h>

#include <algorithm>
#include <ostream>
#include <thread>

namespace acw {

namespace {

constexpr int BAR_WIDTH = 30;

}  // namespace

void SWaitBounds::AddOptions(CLI::App& app) {
  app.add_option("--timeout", nTimeoutSec, "give up after this many seconds")
      ->check(CLI::Range(1LL, 86400LL))
      ->capture_default_str();
  app.add_option("--poll-ms", nPollMs, "pause between two looks, milliseconds")
      ->check(CLI::Range(0LL, 60000LL))
      ->capture_default_str();
  app.add_option("--max-polls", nMaxPolls, "give up after this many looks")
      ->check(CLI::Range(1LL, 100000LL))
      ->capture_default_str();
}

Progress::Progress(std::ostream& out, std::string strWhat, bool bBar)
    : m_out(out), m_strWhat(std::move(strWhat)), m_bBar(bBar) {}

bool Progress::StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void Progress::Step(long long nPoll, const SPoll& sPoll) {
  const std::string strPercent = sPoll.nPercent >= 0 ? std::to_string(sPoll.nPercent) + "%" : "?";
  if (!m_bBar) {
    m_out << m_strWhat << ": poll " << nPoll << ": " << strPercent
          << (sPoll.strState.empty() ? "" : " " + sPoll.strState) << std::endl;
    return;
  }
  const int nFilled = std::clamp(sPoll.nPercent, 0, 100) * BAR_WIDTH / 100;
  m_out << "\r" << m_strWhat << " [" << std::string(nFilled, '#') << std::string(BAR_WIDTH - nFilled, '.')
        << "] " << strPercent << " " << sPoll.strState << "\x1b[K" << std::flush;
  m_bDrawn = true;
}

void Progress::Finish() {
  if (m_bDrawn) m_out << std::endl;
  m_bDrawn = false;
}

SWaitResult WaitUntil(const SWaitBounds& sBounds, Progress& sProgress,
                      const std::function<bool(SPoll&)>& fnPoll, const Sleeper& sleep) {
  using Clock = std::chrono::steady_clock;
  const auto tDeadline = Clock::now() + std::chrono::seconds(sBounds.nTimeoutSec);
  const std::chrono::milliseconds nPause(sBounds.nPollMs);
  SWaitResult sResult;
  for (;;) {
    SPoll sPoll;
    ++sResult.nPolls;
    if (!fnPoll(sPoll)) {
      sResult.eOutcome = EWaitOutcome::Failed;
      break;
    }
    sProgress.Step(sResult.nPolls, sPoll);
    if (sPoll.eState != SPoll::EState::Pending) {
      sResult.eOutcome = sPoll.eState == SPoll::EState::Done ? EWaitOutcome::Done : EWaitOutcome::Failed;
      break;
    }
    if (sResult.nPolls >= sBounds.nMaxPolls) {
      sResult.strBound = std::to_string(sBounds.nMaxPolls) + " polls";
      break;
    }
    // No look after the deadline: stop now rather than sleep past it.
    if (Clock::now() + nPause >= tDeadline) {
      sResult.strBound = std::to_string(sBounds.nTimeoutSec) + " seconds";
      break;
    }
    sleep(nPause);
  }
  sProgress.Finish();
  return sResult;
}

void SleepFor(std::chrono::milliseconds nPause) { std::this_thread::sleep_for(nPause); }

}  // namespace acw
