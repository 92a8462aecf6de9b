#include "TestSupport.h"

#include <numeric>

#include "AliCloudWrapper/TKPlatformInfo.h"

namespace AliCloudWrapper {

// ---------------------------------------------------------------- ScopedLogCapture

ScopedLogCapture::ScopedLogCapture(int nLevel)
    : m_pState(std::make_shared<SState>()), m_nPreviousLevel(EvLog::GetLevel()) {
  // The sink holds its own reference to the state, so a line delivered while
  // this object is being destroyed still lands in valid memory.
  std::shared_ptr<SState> pState = m_pState;
  m_previousSink = EvLog::SetSink([pState](const SLogRecord& record) {
    std::lock_guard<std::mutex> lock(pState->mutex);
    pState->vecRecords.push_back(record);
  });
  EvLog::SetLevel(nLevel);
}

ScopedLogCapture::~ScopedLogCapture() {
  EvLog::SetLevel(m_nPreviousLevel);
  EvLog::SetSink(std::move(m_previousSink));
}

std::vector<SLogRecord> ScopedLogCapture::Records() const {
  std::lock_guard<std::mutex> lock(m_pState->mutex);
  return m_pState->vecRecords;
}

std::vector<std::string> ScopedLogCapture::Messages() const {
  std::vector<std::string> vecMessages;
  for (const SLogRecord& record : Records()) vecMessages.push_back(record.strMessage);
  return vecMessages;
}

bool ScopedLogCapture::Contains(const std::string& text) const { return Count(text) > 0; }

size_t ScopedLogCapture::Count(const std::string& text) const {
  size_t nCount = 0;
  for (const SLogRecord& record : Records()) {
    if (record.strMessage.find(text) != std::string::npos) ++nCount;
  }
  return nCount;
}

std::string ScopedLogCapture::Dump() const {
  std::string strText;
  for (const SLogRecord& record : Records()) {
    strText += (record.bError ? "Error" : "Debug" + std::to_string(record.nLevel)) + " " +
               record.strContext + ": " + record.strMessage + "\n";
  }
  return strText;
}

void ScopedLogCapture::Clear() {
  std::lock_guard<std::mutex> lock(m_pState->mutex);
  m_pState->vecRecords.clear();
}

// ---------------------------------------------------------------- ScopedSleepRecorder

ScopedSleepRecorder::ScopedSleepRecorder() : m_pState(std::make_shared<SState>()) {
  std::shared_ptr<SState> pState = m_pState;
  m_previousSleeper = FXThread::SetSleeper([pState](uint64_t nMilliseconds) {
    std::lock_guard<std::mutex> lock(pState->mutex);
    pState->vecPauses.push_back(nMilliseconds);
  });
}

ScopedSleepRecorder::~ScopedSleepRecorder() {
  FXThread::SetSleeper(std::move(m_previousSleeper));
}

std::vector<uint64_t> ScopedSleepRecorder::Pauses() const {
  std::lock_guard<std::mutex> lock(m_pState->mutex);
  return m_pState->vecPauses;
}

uint64_t ScopedSleepRecorder::TotalMilliseconds() const {
  std::vector<uint64_t> vecPauses = Pauses();
  return std::accumulate(vecPauses.begin(), vecPauses.end(), uint64_t{0});
}

// ---------------------------------------------------------------- ScopedSetting

ScopedSetting::ScopedSetting(const std::string& strKey, const std::string& strValue)
    : ScopedSetting(TKPlatformInfo::SECTION, strKey, strValue) {}

ScopedSetting::ScopedSetting(const std::string& strKey, uint64_t nValue)
    : ScopedSetting(TKPlatformInfo::SECTION, strKey, std::to_string(nValue)) {}

ScopedSetting::ScopedSetting(const std::string& strSection, const std::string& strKey,
                             const std::string& strValue)
    : m_strSection(strSection), m_strKey(strKey) {
  std::string strPrevious;
  if (TKPlatformInfo().getString(strSection, strKey, &strPrevious)) m_previous = strPrevious;
  TKPlatformInfo::SetString(strSection, strKey, strValue);
}

ScopedSetting::~ScopedSetting() {
  if (m_previous) {
    TKPlatformInfo::SetString(m_strSection, m_strKey, *m_previous);
  } else {
    TKPlatformInfo::Remove(m_strSection, m_strKey);
  }
}

}  // namespace AliCloudWrapper
