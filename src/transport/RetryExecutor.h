// The one place where requests are resent and states are waited for.
//
// Every retry, resend and poll of the library goes through CRetryExecutor or
// WaitUntil, so each is bounded (by a count or by a setting in seconds), pauses
// only through FXThread::Sleep (tests record the pauses instead of waiting),
// and decides on the outcome the error carries (IsNoAnswer, HasServiceCode),
// never on response texts.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "AliCloudWrapper/CZeError.h"

namespace AliCloudWrapper {

// Called before each pause with the error that caused it and the pause, so the
// call site can log its own notice ("... Retrying after 10 seconds.").
using FnBeforePause = std::function<void(const CZeError& sCause, uint64_t nPauseMs)>;

// How one call is resent.
struct SRetryPolicy {
  // Attempts in all while the request gets no answer at all, and the pause
  // between them. 1: an unanswered request is reported at once.
  uint64_t nAttemptsWhenUnanswered = 1;
  uint64_t nUnansweredPauseMs = 0;

  // Service codes (compared ignoring letter case) that mean "not yet, send it
  // again later", the pause before each resend, and the bound on these pauses
  // in seconds with the setting that names it (0: no bound).
  std::vector<std::string> vecResendCodes;
  uint64_t nResendPauseMs = 0;
  uint64_t nWaitBoundInSec = 0;
  std::string strBoundSetting;

  // Answers the service did not carry out: "Throttling" / "Throttling.*" are
  // resent after a pause that doubles from 1 s (with jitter) while the pauses
  // stay within this bound (0: reported at once); "SignatureNonceUsed" is resent
  // once, with a fresh nonce, when bResendOnNonceUsed.
  uint64_t nThrottlingBoundInSec = 0;
  bool bResendOnNonceUsed = false;

  FnBeforePause fnBeforePause;
};

// What one run did, for the call site's messages.
struct SRetryReport {
  uint64_t nAttempts = 0;
  uint64_t nWaitedMs = 0;             // all pauses taken
  bool bUnansweredExhausted = false;  // the last attempt got no answer and none are left
  bool bBoundReached = false;         // a resend code (or throttling) outlasted its bound
};

class CRetryExecutor {
 public:
  explicit CRetryExecutor(SRetryPolicy sPolicy);

  // Runs fnAttempt (one exchange; it builds or copies its request, so every
  // resend is signed afresh) until it succeeds or the policy gives up, and
  // returns the last attempt's error unchanged (the caller pushes its location).
  CZeError Run(const std::function<CZeError()>& fnAttempt);
  const SRetryReport& GetReport() const { return m_sReport; }

  // True for "Throttling" and "Throttling.<anything>".
  static bool IsThrottled(const CZeError& sError);
  // The pause before the nth throttled resend (0-based): 2^n s, with up to 25 %
  // jitter either way so agents throttled together do not return together.
  static uint64_t ThrottlingPauseMs(uint64_t nResend);

 private:
  SRetryPolicy m_sPolicy;
  SRetryReport m_sReport;
};

// How long a poll may wait.
struct SWaitBudget {
  uint64_t nBoundInSec = 0;  // 0: no bound
  uint64_t nPauseMs = 0;     // pause between probes
  std::string strBoundSetting;
  FnBeforePause fnBeforePause;  // the cause passed is a success
};

// Calls fnProbe until it sets bDone or fails. A probe's error is returned
// unchanged; when one more pause would exceed the bound, the result is an
// error of kind BOUND_REACHED (code 1) naming the setting, which call sites
// usually replace with their own message. pReport (may be null) receives the
// pauses taken.
CZeError WaitUntil(const SWaitBudget& sBudget, const std::function<CZeError(bool& bDone)>& fnProbe,
                   SRetryReport* pReport = nullptr);

// Counts the pauses of one wait against a bound in seconds (0: none). A pause
// is taken only when the total paused time stays within the bound, so a wait
// never exceeds it.
class CWaitBudget {
 public:
  CWaitBudget(uint64_t nBoundInSec, uint64_t nPauseMs);
  bool CanPause() const;
  // Sleeps one pause (FXThread::Sleep) and counts it.
  void Pause();
  uint64_t GetWaitedMs() const { return m_nWaitedMs; }

 private:
  uint64_t m_nBoundInSec;
  uint64_t m_nPauseMs;
  uint64_t m_nWaitedMs = 0;
};

uint64_t SecondsToMilliseconds(uint64_t nSeconds);

}  // namespace AliCloudWrapper
