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

class [[nodiscard]] CZeError {
 public:
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
