#include "AliCloudWrapper/CZeError.h"

#include <cstdarg>

#include "host/FXString.h"

namespace AliCloudWrapper {

struct CZeError::SDetails {
  std::string strMessage;
  std::vector<FXCodeLocation> vecTrace;
  EErrorKind eKind = EErrorKind::FAILURE;
  long nHttpStatus = 0;
  std::string strServiceCode;
  std::string strServiceMessage;
  std::string strRequestId;
};

namespace {

// __FILE__ holds the build's full path; the file name alone keeps traces short
// and does not leak the build machine's directories into log lines.
std::string BaseName(const std::string& strPath) {
  size_t nSlash = strPath.find_last_of('/');
  return nSlash == std::string::npos ? strPath : strPath.substr(nSlash + 1);
}

}  // namespace

FXCodeLocation::FXCodeLocation(const char* file, const char* function, int line)
    : strFile(file ? file : ""), strFunction(function ? function : ""), nLine(line) {}

CZeError::CZeError(int nCode, std::shared_ptr<SDetails> pDetails)
    : m_nCode(nCode), m_pDetails(std::move(pDetails)) {}

CZeError& CZeError::Success() {
  m_nCode = 0;
  m_pDetails.reset();
  return *this;
}

std::string CZeError::GetErrorMessage() const {
  return m_pDetails ? m_pDetails->strMessage : std::string();
}

std::vector<FXCodeLocation> CZeError::GetTrace() const {
  return m_pDetails ? m_pDetails->vecTrace : std::vector<FXCodeLocation>();
}

CZeError& CZeError::Push(const FXCodeLocation& location) {
  // A success has no trace to extend; pushing onto it leaves it a success.
  if (m_pDetails) m_pDetails->vecTrace.push_back(location);
  return *this;
}

EErrorKind CZeError::GetKind() const { return m_pDetails ? m_pDetails->eKind : EErrorKind::NONE; }

bool CZeError::HasServiceCode(const std::string& strCode, bool bIgnoreCase) const {
  if (!m_pDetails || m_pDetails->eKind != EErrorKind::SERVICE_ERROR) return false;
  return bIgnoreCase ? FXString::CompareNoCase(m_pDetails->strServiceCode, strCode) == 0
                     : m_pDetails->strServiceCode == strCode;
}

std::string CZeError::GetServiceCode() const {
  return m_pDetails ? m_pDetails->strServiceCode : std::string();
}

std::string CZeError::GetServiceMessage() const {
  return m_pDetails ? m_pDetails->strServiceMessage : std::string();
}

std::string CZeError::GetRequestId() const {
  return m_pDetails ? m_pDetails->strRequestId : std::string();
}

long CZeError::GetHttpStatus() const { return m_pDetails ? m_pDetails->nHttpStatus : 0; }

CZeError& CZeError::SetKind(EErrorKind eKind) {
  if (m_pDetails) m_pDetails->eKind = eKind;
  return *this;
}

CZeError& CZeError::SetHttpStatus(long nHttpStatus) {
  if (m_pDetails) m_pDetails->nHttpStatus = nHttpStatus;
  return *this;
}

CZeError& CZeError::SetServiceAnswer(const std::string& strCode, const std::string& strMessage,
                                     const std::string& strRequestId) {
  if (!m_pDetails) return *this;
  m_pDetails->eKind = EErrorKind::SERVICE_ERROR;
  m_pDetails->strServiceCode = strCode;
  m_pDetails->strServiceMessage = strMessage;
  m_pDetails->strRequestId = strRequestId;
  return *this;
}

std::string CZeError::AsString() const {
  return AsString(EErrorOutputFormat(EErrorOutputFormat::DIAGNOSTIC));
}

std::string CZeError::AsString(EErrorOutputFormat format) const {
  if (!m_pDetails) return format.Value() == EErrorOutputFormat::MESSAGE ? std::string() : "Success";
  if (format.Value() == EErrorOutputFormat::MESSAGE) return m_pDetails->strMessage;

  // One line, so the text can sit inside a log line:
  // "Error [1]: message (at a.cpp:10 CZeError X::f(); b.cpp:20 ...)".
  std::string strText = FXString::Format("Error [%d]: %s", m_nCode, m_pDetails->strMessage.c_str());
  const char* separator = " (at ";
  for (const FXCodeLocation& location : m_pDetails->vecTrace) {
    strText += separator;
    strText += BaseName(location.strFile) + ":" + std::to_string(location.nLine) + " " +
               location.strFunction;
    separator = "; ";
  }
  if (!m_pDetails->vecTrace.empty()) strText += ")";
  return strText;
}

CZeError FXErrorUtil::ErrorInt(const FXCodeLocation& location, int nCode, const char* format, ...) {
  auto pDetails = std::make_shared<CZeError::SDetails>();
  va_list args;
  va_start(args, format);
  pDetails->strMessage = FXString::FormatV(format, args);
  va_end(args);
  pDetails->vecTrace.push_back(location);
  if (nCode == CZeError::CODE_NOT_FOUND) pDetails->eKind = EErrorKind::NOT_FOUND;
  return CZeError(nCode, std::move(pDetails));
}

}  // namespace AliCloudWrapper
