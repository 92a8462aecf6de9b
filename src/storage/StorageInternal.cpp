#include "storage/StorageInternal.h"

#include <cstdio>

#include "host/FXThread.h"

namespace AliCloudWrapper {
namespace StorageInternal {

std::string OneIdJsonArray(const std::string& strId) {
  std::string strOut = "[\"";
  for (const char c : strId) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      strOut += '\\';
      strOut += c;
    } else if (u < 0x20) {
      char szEscape[8];
      std::snprintf(szEscape, sizeof(szEscape), "\\u%04x", u);
      strOut += szEscape;
    } else {
      strOut += c;
    }
  }
  strOut += "\"]";
  return strOut;
}

CWaitBudget::CWaitBudget(uint64_t nBoundInSec, uint64_t nPauseMs)
    : m_nBoundInSec(nBoundInSec), m_nPauseMs(nPauseMs) {}

bool CWaitBudget::CanPause() const {
  if (m_nBoundInSec == 0) return true;
  // Compared in milliseconds; a bound near 2^64 ms would overflow, so cap it.
  const uint64_t nBoundMs =
      m_nBoundInSec > UINT64_MAX / 1000 ? UINT64_MAX : m_nBoundInSec * 1000;
  return m_nWaitedMs <= nBoundMs && nBoundMs - m_nWaitedMs >= m_nPauseMs;
}

void CWaitBudget::Pause() {
  FXThread::Sleep(m_nPauseMs);
  m_nWaitedMs += m_nPauseMs;
}

}  // namespace StorageInternal
}  // namespace AliCloudWrapper
