// The answer of a creating action names what it made. An answer whose new id is
// missing or empty is no success: the caller could neither use nor clean up
// what the service may have made. It is the operation's own parse failure
// (code 1, its own text), never an empty id handed on as a result.
#pragma once

#include <string>

#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/CZeError.h"

namespace AliCloudWrapper {

// The text member strKey of the answer into strId (left unchanged on failure).
[[nodiscard]] inline CZeError ReadCreatedId(const CAliCloudParser& sParser, const std::string& strResponse,
                                            const std::string& strKey, std::string& strId,
                                            const char* pszParseFailure) {
  std::string strRead;
  if (!sParser.ParseIdResponse(strResponse, strKey, strRead) || strRead.empty()) {
    return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "%s", pszParseFailure)
        .SetKind(EErrorKind::UNREADABLE_ANSWER);
  }
  strId = std::move(strRead);
  return CZeError();
}

// The whole answer read as a record whose id member must not be empty.
template <typename TRecord>
[[nodiscard]] CZeError ReadCreatedRecord(const CAliCloudParser& sParser, const std::string& strResponse,
                                         std::string TRecord::*pIdMember, TRecord& sRecord,
                                         const char* pszParseFailure) {
  if (!sParser.ParseObject(strResponse, sRecord) || (sRecord.*pIdMember).empty()) {
    return FXErrorUtil::ErrorInt(ACW_LOCATION, CZeError::CODE_FAILURE, "%s", pszParseFailure)
        .SetKind(EErrorKind::UNREADABLE_ANSWER);
  }
  return CZeError();
}

}  // namespace AliCloudWrapper
