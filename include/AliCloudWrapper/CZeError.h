// The status value every internal operation returns: success, or an error with
// an integer code, a message and the trail of code locations it passed through.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace AliCloudWrapper {

// Where an error was made or passed up: source file, full function signature, line.
struct FXCodeLocation {
  std::string strFile;
  std::string strFunction;
  int nLine = 0;

  FXCodeLocation() = default;
  FXCodeLocation(const char* file, const char* function, int line);
};

// Captures the current source location; use it wherever an error is made or pushed.
#define ACW_LOCATION ::AliCloudWrapper::FXCodeLocation(__FILE__, __PRETTY_FUNCTION__, __LINE__)

// How CZeError::AsString renders an error.
//   1 (DIAGNOSTIC): code, message and the trace of locations, for logs.
//   2 (MESSAGE):    the message alone, for people (the facade's last error text).
class EErrorOutputFormat {
 public:
  static constexpr int DIAGNOSTIC = 1;
  static constexpr int MESSAGE = 2;

  explicit EErrorOutputFormat(int nFormat) : m_nFormat(nFormat) {}
  int Value() const { return m_nFormat; }

 private:
  int m_nFormat;
};

// What kind of failure an error is. It is set where the failure is found (the
// exchange with the service, an argument check, a wait), so callers ask the
// error instead of re-reading texts or bodies.
enum class EErrorKind {
  NONE = 0,           // success
  FAILURE,            // a failure of no more particular kind
  BAD_ARGUMENT,       // an argument check failed; nothing was sent
  NO_ANSWER,          // the request got no answer at all (refused, timed out, cut off)
  SERVICE_ERROR,      // the service answered with an error document (see GetServiceCode)
  UNREADABLE_ANSWER,  // an answer arrived that could not be read
  NOT_FOUND,          // the service lists no such resource
  BOUND_REACHED,      // a wait or resend reached the bound its setting allows
};

class [[nodiscard]] CZeError {
 public:
  // The numeric codes given to FXErrorUtil::ErrorInt. Callers that decide on
  // an outcome ask GetKind and the queries below rather than the code.
  static constexpr int CODE_FAILURE = 1;     // bad argument, transport, unreadable answer, service error
  static constexpr int CODE_ENCODING = 2;    // "Base64 encoding failed.", zone list unreadable
  static constexpr int CODE_NOT_FOUND = -1;  // a single resource (or database engine) not found

  // A success value.
  CZeError() = default;

  // Resets this value to success and returns it.
  CZeError& Success();

  bool IsError() const { return m_pDetails != nullptr; }
  // 0 for success; otherwise the code given to FXErrorUtil::ErrorInt
  // (1 bad argument / transport / unreadable answer, 2 encoding or zone parse, -1 not found).
  int GetErrorCode() const { return m_nCode; }
  // The formatted message; empty for success.
  std::string GetErrorMessage() const;
  // The locations pushed so far, the one that made the error first.
  std::vector<FXCodeLocation> GetTrace() const;

  // Adds a location to the trace; code and message stay. Copies share the trace.
  CZeError& Push(const FXCodeLocation& location);

  // The outcome. ErrorInt makes NOT_FOUND for CODE_NOT_FOUND, FAILURE otherwise;
  // the maker refines it with SetKind / SetServiceAnswer. NONE for success.
  EErrorKind GetKind() const;
  bool IsNoAnswer() const { return GetKind() == EErrorKind::NO_ANSWER; }
  bool IsNotFound() const { return GetKind() == EErrorKind::NOT_FOUND; }
  bool IsServiceError() const { return GetKind() == EErrorKind::SERVICE_ERROR; }
  bool IsBoundReached() const { return GetKind() == EErrorKind::BOUND_REACHED; }
  // True when the service answered with this "Code"; letter case is ignored
  // unless bIgnoreCase is false (codes such as "InvalidOperation.Conflict" are
  // compared exactly).
  bool HasServiceCode(const std::string& strCode, bool bIgnoreCase = true) const;
  // The service's "Code", "Message" and "RequestId" of its error document; empty
  // when no error document arrived.
  std::string GetServiceCode() const;
  std::string GetServiceMessage() const;
  std::string GetRequestId() const;
  // HTTP status of the answer that made the error; 0 when none arrived.
  long GetHttpStatus() const;

  // Set once by the maker; copies share them. No effect on a success.
  CZeError& SetKind(EErrorKind eKind);
  CZeError& SetHttpStatus(long nHttpStatus);
  // Records the service's error document and makes the kind SERVICE_ERROR.
  CZeError& SetServiceAnswer(const std::string& strCode, const std::string& strMessage,
                             const std::string& strRequestId);

  // Diagnostic text: code, message and trace.
  std::string AsString() const;
  std::string AsString(EErrorOutputFormat format) const;

 private:
  friend struct FXErrorUtil;
  struct SDetails;
  CZeError(int nCode, std::shared_ptr<SDetails> pDetails);

  int m_nCode = 0;
  std::shared_ptr<SDetails> m_pDetails;
};

struct FXErrorUtil {
  // A new error with that code, the printf-formatted message and the location.
  static CZeError ErrorInt(const FXCodeLocation& location, int nCode, const char* format, ...)
      __attribute__((format(printf, 3, 4)));
};

}  // namespace AliCloudWrapper
