#include "transport/RetryExecutor.h"

#include <limits>
#include <random>

#include "AliCloudWrapper/EvEvent.h"
#include "host/FXString.h"
#include "host/FXThread.h"

namespace AliCloudWrapper {
namespace {

const char* const THROTTLING = "Throttling";
const char* const SIGNATURE_NONCE_USED = "SignatureNonceUsed";
constexpr uint64_t THROTTLING_FIRST_PAUSE_MS = 1000;
constexpr uint64_t THROTTLING_MAX_DOUBLINGS = 16;  // beyond ~18 h a pause grows no more

unsigned long long AsULL(uint64_t n) { return static_cast<unsigned long long>(n); }

bool IsResendCode(const CZeError& sError, const std::vector<std::string>& vecCodes) {
  for (const std::string& strCode : vecCodes) {
    if (sError.HasServiceCode(strCode)) return true;
  }
  return false;
}

// Jitter needs no secrecy, only a different sequence per thread and process.
std::mt19937_64& JitterGenerator() {
  thread_local std::mt19937_64 sGenerator([] {
    std::random_device sDevice;
    return (static_cast<uint64_t>(sDevice()) << 32) ^ sDevice();
  }());
  return sGenerator;
}

}  // namespace

uint64_t SecondsToMilliseconds(uint64_t nSeconds) {
  constexpr uint64_t nMax = std::numeric_limits<uint64_t>::max() / 1000;
  return nSeconds > nMax ? std::numeric_limits<uint64_t>::max() : nSeconds * 1000;
}

CWaitBudget::CWaitBudget(uint64_t nBoundInSec, uint64_t nPauseMs)
    : m_nBoundInSec(nBoundInSec), m_nPauseMs(nPauseMs) {}

bool CWaitBudget::CanPause() const {
  if (m_nBoundInSec == 0) return true;
  const uint64_t nBoundMs = SecondsToMilliseconds(m_nBoundInSec);
  return m_nWaitedMs <= nBoundMs && nBoundMs - m_nWaitedMs >= m_nPauseMs;
}

void CWaitBudget::Pause() {
  FXThread::Sleep(m_nPauseMs);
  m_nWaitedMs += m_nPauseMs;
}

CRetryExecutor::CRetryExecutor(SRetryPolicy sPolicy) : m_sPolicy(std::move(sPolicy)) {}

bool CRetryExecutor::IsThrottled(const CZeError& sError) {
  if (!sError.IsServiceError()) return false;
  const std::string strCode = sError.GetServiceCode();
  return strCode == THROTTLING || strCode.compare(0, 11, "Throttling.") == 0;
}

uint64_t CRetryExecutor::ThrottlingPauseMs(uint64_t nResend) {
  const uint64_t nBase = THROTTLING_FIRST_PAUSE_MS << (nResend < THROTTLING_MAX_DOUBLINGS ? nResend
                                                                                        : THROTTLING_MAX_DOUBLINGS);
  std::uniform_int_distribution<uint64_t> sJitter(0, nBase / 2);
  return nBase - nBase / 4 + sJitter(JitterGenerator());
}

CZeError CRetryExecutor::Run(const std::function<CZeError()>& fnAttempt) {
  EvEvent sEvent;
  m_sReport = SRetryReport();
  CWaitBudget sResendBudget(m_sPolicy.nWaitBoundInSec, m_sPolicy.nResendPauseMs);
  const uint64_t nThrottlingBoundMs = SecondsToMilliseconds(m_sPolicy.nThrottlingBoundInSec);
  uint64_t nThrottledMs = 0;
  uint64_t nThrottledResends = 0;
  uint64_t nUnanswered = 0;
  bool bNonceResent = false;

  auto pause = [&](const CZeError& sCause, uint64_t nPauseMs) {
    if (m_sPolicy.fnBeforePause) m_sPolicy.fnBeforePause(sCause, nPauseMs);
    FXThread::Sleep(nPauseMs);
    m_sReport.nWaitedMs += nPauseMs;
  };

  for (;;) {
    CZeError sError = fnAttempt();
    ++m_sReport.nAttempts;
    if (!sError.IsError()) return sError;

    if (sError.IsNoAnswer()) {
      if (++nUnanswered >= m_sPolicy.nAttemptsWhenUnanswered) {
        m_sReport.bUnansweredExhausted = true;
        return sError;
      }
      pause(sError, m_sPolicy.nUnansweredPauseMs);
      continue;
    }

    if (IsThrottled(sError) && nThrottlingBoundMs > 0) {
      if (nThrottledMs >= nThrottlingBoundMs) {
        sEvent.Error(__PRETTY_FUNCTION__,
                     "Still throttled [%s] after waiting [%llu] seconds, the bound set by "
                     "[nAliCloudThrottlingMaxWaitInSec].",
                     sError.GetServiceCode().c_str(), AsULL(nThrottledMs / 1000));
        m_sReport.bBoundReached = true;
        return sError;
      }
      uint64_t nPauseMs = ThrottlingPauseMs(nThrottledResends++);
      if (nPauseMs > nThrottlingBoundMs - nThrottledMs) nPauseMs = nThrottlingBoundMs - nThrottledMs;
      sEvent.DebugLvl(__PRETTY_FUNCTION__, 2, "Throttled by the service [%s]. Resending after [%llu] ms.",
                      sError.GetServiceCode().c_str(), AsULL(nPauseMs));
      FXThread::Sleep(nPauseMs);
      nThrottledMs += nPauseMs;
      m_sReport.nWaitedMs += nPauseMs;
      continue;
    }

    if (m_sPolicy.bResendOnNonceUsed && !bNonceResent &&
        sError.HasServiceCode(SIGNATURE_NONCE_USED, false)) {
      // The service refused the request unseen; a fresh nonce makes it new.
      bNonceResent = true;
      sEvent.DebugLvl(__PRETTY_FUNCTION__, 2, "Nonce already used. Resending with a new one.");
      continue;
    }

    if (IsResendCode(sError, m_sPolicy.vecResendCodes)) {
      if (!sResendBudget.CanPause()) {
        m_sReport.bBoundReached = true;
        return sError;
      }
      if (m_sPolicy.fnBeforePause) m_sPolicy.fnBeforePause(sError, m_sPolicy.nResendPauseMs);
      sResendBudget.Pause();
      m_sReport.nWaitedMs += m_sPolicy.nResendPauseMs;
      continue;
    }
    return sError;
  }
}

CZeError WaitUntil(const SWaitBudget& sBudget, const std::function<CZeError(bool& bDone)>& fnProbe,
                   SRetryReport* pReport) {
  SRetryReport sReport;
  CWaitBudget sWait(sBudget.nBoundInSec, sBudget.nPauseMs);
  CZeError sResult;
  for (;;) {
    bool bDone = false;
    ++sReport.nAttempts;
    sResult = fnProbe(bDone);
    if (sResult.IsError() || bDone) break;
    if (!sWait.CanPause()) {
      sReport.bBoundReached = true;
      sResult = FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE,
                                      "Still waiting after [%llu] seconds, the bound set by [%s].",
                                      AsULL(sWait.GetWaitedMs() / 1000), sBudget.strBoundSetting.c_str())
                    .SetKind(EErrorKind::BOUND_REACHED);
      break;
    }
    if (sBudget.fnBeforePause) sBudget.fnBeforePause(CZeError(), sBudget.nPauseMs);
    sWait.Pause();
  }
  sReport.nWaitedMs = sWait.GetWaitedMs();
  if (pReport) *pReport = sReport;
  return sResult;
}

}  // namespace AliCloudWrapper
