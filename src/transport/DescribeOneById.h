// The single-record lookups (one disk, one snapshot, one EIP): a describe
// answer is read as a list, and only records whose id equals the one asked
// for count. The service reads id filters loosely (lists, patterns), so a
// record of another id must never stand in for the one asked for: no record
// of that id is "not found". Each operation keeps its own messages.
#pragma once

#include <string>
#include <vector>

#include "AliCloudWrapper/CAliCloudParser.h"

namespace AliCloudWrapper {

enum class EOneById { FOUND, NONE, MANY, UNREADABLE };

template <typename T>
EOneById PickOneById(const CAliCloudParser& sParser, const std::string& strResponse,
                     const std::string& strListKey, const std::string& strItemKey,
                     const std::string& strId, std::string T::*pIdMember, T& sOut) {
  std::vector<T> vecListed;
  if (!sParser.ParseNestedList(strResponse, strListKey, strItemKey, vecListed)) return EOneById::UNREADABLE;
  const T* pFound = nullptr;
  for (const T& sRecord : vecListed) {
    if (sRecord.*pIdMember != strId) continue;
    if (pFound != nullptr) return EOneById::MANY;
    pFound = &sRecord;
  }
  if (pFound == nullptr) return EOneById::NONE;
  sOut = *pFound;
  return EOneById::FOUND;
}

}  // namespace AliCloudWrapper
