// Bodies of CAliCloudParser's templates. Included by the library's .cpp files that
// instantiate them for the record types, and by tests that use record types of their own.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "AliCloudWrapper/CAliCloudParser.h"
#include "host/TkJson.h"

namespace AliCloudWrapper {

namespace ParserDetail {

// Appends one record per object element of arr. A converter's exception passes
// through, leaving the records before it appended; the public operations catch it.
template <typename T>
void AppendRecords(const CAliCloudParser& parser, const mArray& arr, std::vector<T>& out) {
  for (const mValue& element : arr) {
    if (element.type() != json_spirit::obj_type) continue;
    T record{};
    // A record whose converter reports failure still contributes its partly filled fields.
    (void)parser.Convert(element.get_obj(), record);
    out.push_back(std::move(record));
  }
}

// The array obj[key] appended as records; false when key is absent. A member of
// the wrong type, here or in an element, throws like AppendRecords.
template <typename T>
bool AppendListMember(const CAliCloudParser& parser, const mObject& obj, const std::string& key,
                      std::vector<T>& out) {
  mArray arr;
  if (!TkJson::FindArrayValue(obj, key, arr)) return false;
  AppendRecords(parser, arr, out);
  return true;
}

}  // namespace ParserDetail

template <typename T>
bool CAliCloudParser::ParseObject(const std::string& json, T& out) const {
  try {
    mObject obj;
    if (!TkJson::Unserialize(json, obj)) return false;
    return Convert(obj, out);
  } catch (const std::exception& e) {
    Error(__PRETTY_FUNCTION__, "Exception parsing json [%s] : [%s]", json.c_str(), e.what());
    return false;
  }
}

template <typename T>
bool CAliCloudParser::ParseNestedList(const std::string& json, const std::string& outerKey,
                                      const std::string& innerKey, std::vector<T>& out) const {
  try {
    mObject obj;
    if (!TkJson::Unserialize(json, obj)) return false;
    mObject inner;
    if (!TkJson::FindObjectValue(obj, outerKey, inner)) {
      DebugLvl(__PRETTY_FUNCTION__, 2, "[%s] not found in response.", outerKey.c_str());
      return false;
    }
    return ParserDetail::AppendListMember(*this, inner, innerKey, out);
  } catch (const std::exception& e) {
    Error(__PRETTY_FUNCTION__, "Exception parsing json list [%s] from json [%s] : [%s]",
          innerKey.c_str(), json.c_str(), e.what());
    return false;
  }
}

template <typename T>
bool CAliCloudParser::ParseNestedList(const mObject& obj, const std::string& outerKey,
                                      const std::string& innerKey, std::vector<T>& out) const {
  try {
    mObject inner;
    if (!TkJson::FindObjectValue(obj, outerKey, inner)) {
      DebugLvl(__PRETTY_FUNCTION__, 2, "[%s] not found in response.", outerKey.c_str());
      return false;
    }
    return ParserDetail::AppendListMember(*this, inner, innerKey, out);
  } catch (const std::exception& e) {
    Error(__PRETTY_FUNCTION__, "Exception parsing json list [%s] : [%s]", innerKey.c_str(),
          e.what());
    return false;
  }
}


template <typename T>
bool CAliCloudParser::ConvertListInJSON(const mObject& obj, const std::string& key,
                                        std::vector<T>& out) const {
  try {
    return ParserDetail::AppendListMember(*this, obj, key, out);
  } catch (const std::exception& e) {
    Error(__PRETTY_FUNCTION__, "Exception reading json list [%s] : [%s]", key.c_str(), e.what());
    return false;
  }
}

template <typename T>
bool CAliCloudParser::ConvertJSONArray(const mArray& arr, std::vector<T>& out) const {
  try {
    ParserDetail::AppendRecords(*this, arr, out);
    return true;
  } catch (const std::exception& e) {
    Error(__PRETTY_FUNCTION__, "Exception reading json array : [%s]", e.what());
    return false;
  }
}

}  // namespace AliCloudWrapper
