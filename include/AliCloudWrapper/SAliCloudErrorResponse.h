// The parsed body of a failed request: the service's error code and message.
#pragma once

#include <string>

namespace AliCloudWrapper {

struct SAliCloudErrorResponse {
  std::string strErrorMessage;  // member "Message"
  std::string strErrorCode;     // member "Code", e.g. "InvalidSnapshot.NotReady"
  std::string strRequestId;     // member "RequestId", for the service's support

  void SetErrorMsg(const std::string& strMessage) { strErrorMessage = strMessage; }
  void SetErrorCode(const std::string& strCode) { strErrorCode = strCode; }
  // Callers compare it with the code they expect, ignoring letter case.
  std::string GetErrorCode() const { return strErrorCode; }
};

}  // namespace AliCloudWrapper
