// Bodies of CAliCloudParser's templates. Included by the library's .cpp files that
// instantiate them for the record types, and by tests that use record types of their own.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "AliCloudWrapper/CAliCloudParser.h"
#include "host/TkJson.h"

namespace AliCloudWrapper {

template <typename T>
bool CAliCloudParser::ParseObject(const std::string& json, T& out) const {
  try {
    mObject obj;
    if (!TkJson::Unserialize(json, obj)) return false;
    return Convert(obj, out);
  } catch (const std::runtime_error& e) {
    Error(__PRETTY_FUNCTION__, "Exception parsing json [%s] : \n[%s]", json.c_str(), e.what());
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
    return ConvertListInJSON(inner, innerKey, out);
  } catch (const std::runtime_error& e) {
    Error(__PRETTY_FUNCTION__, "Exception parsing json list [%s] from json [%s] : \n[%s]",
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
    return ConvertListInJSON(inner, innerKey, out);
  } catch (const std::runtime_error& e) {
    Error(__PRETTY_FUNCTION__, "Exception parsing json list [%s] : \n[%s]", innerKey.c_str(),
          e.what());
    return false;
  }
}

template <typename T>
bool CAliCloudParser::ConvertListInJSON(const mObject& obj, const std::string& key,
                                        std::vector<T>& out) const {
  mArray arr;
  if (!TkJson::FindArrayValue(obj, key, arr)) return false;
  (void)ConvertJSONArray(arr, out);
  return true;
}

template <typename T>
bool CAliCloudParser::ConvertJSONArray(const mArray& arr, std::vector<T>& out) const {
  for (const mValue& element : arr) {
    if (element.type() != json_spirit::obj_type) continue;
    T record{};
    // A record whose converter reports failure still contributes its partly filled fields.
    (void)Convert(element.get_obj(), record);
    out.push_back(std::move(record));
  }
  return true;
}

}  // namespace AliCloudWrapper
