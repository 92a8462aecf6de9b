// The parser's non-template operations, the error response converter, and the
// template instantiations for the error response.
#include "AliCloudWrapper/CAliCloudParser.h"

#include <stdexcept>

#include "host/TkJson.h"
#include "parser/CAliCloudParserImpl.h"

namespace AliCloudWrapper {

namespace {

// Finds the object outerKey and the array innerKey inside it, logging what is
// missing under the calling operation's context. Lets the JSON helper's
// std::runtime_error through, so each form reports it with its own message.
bool FindNestedArray(const CAliCloudParser& parser, const char* pszContext, const mObject& obj,
                     const std::string& outerKey, const std::string& innerKey, mArray& out) {
  mObject inner;
  if (!TkJson::FindObjectValue(obj, outerKey, inner)) {
    parser.DebugLvl(pszContext, 2, "[%s] not found in response.", outerKey.c_str());
    return false;
  }
  if (TkJson::FindArrayValue(inner, innerKey, out)) return true;
  parser.DebugLvl(pszContext, 2, "[%s] not found in response.", innerKey.c_str());
  return false;
}

}  // namespace

bool CAliCloudParser::GetNestedList(const mObject& obj, const std::string& outerKey,
                                    const std::string& innerKey, mArray& out) const {
  try {
    return FindNestedArray(*this, __PRETTY_FUNCTION__, obj, outerKey, innerKey, out);
  } catch (const std::exception& e) {
    Error(__PRETTY_FUNCTION__, "Exception parsing json list [%s] : [%s]", innerKey.c_str(),
          e.what());
    return false;
  }
}

bool CAliCloudParser::GetNestedList(const std::string& json, const std::string& outerKey,
                                    const std::string& innerKey, mArray& out) const {
  try {
    mObject obj;
    if (!TkJson::Unserialize(json, obj)) return false;
    return FindNestedArray(*this, __PRETTY_FUNCTION__, obj, outerKey, innerKey, out);
  } catch (const std::exception& e) {
    Error(__PRETTY_FUNCTION__, "Exception parsing json list [%s] from json [%s] : [%s]",
          innerKey.c_str(), json.c_str(), e.what());
    return false;
  }
}

bool CAliCloudParser::ParseIdResponse(const std::string& json, const std::string& key,
                                      std::string& out) const {
  try {
    mObject obj;
    if (!TkJson::Unserialize(json, obj)) return false;
    out = TkJson::GetStringValue(obj, key);
    return true;
  } catch (const std::exception& e) {
    Error(__PRETTY_FUNCTION__, "Exception parsing json [%s] : [%s]", json.c_str(), e.what());
    return false;
  }
}

bool CAliCloudParser::ParseIntFromResponse(const std::string& json, const std::string& key,
                                           int& out) const {
  try {
    mObject obj;
    if (!TkJson::Unserialize(json, obj)) {
      Error(__PRETTY_FUNCTION__, "Failed to unserialize JSON [%s].", json.c_str());
      return false;
    }
    out = TkJson::GetIntValue(obj, key);
    return true;
  } catch (const std::exception& e) {
    Error(__PRETTY_FUNCTION__, "Exception serializing json object - [%s].", e.what());
    return false;
  }
}

bool CAliCloudParser::ConvertStringListInJSON(const mObject& obj, const std::string& key,
                                              std::vector<std::string>& out) const {
  try {
    mArray arr;
    if (!TkJson::FindArrayValue(obj, key, arr)) return false;
    return ConvertJSONStringArray(arr, out);
  } catch (const std::exception& e) {
    Error(__PRETTY_FUNCTION__, "Exception reading json list [%s] : [%s]", key.c_str(), e.what());
    return false;
  }
}

bool CAliCloudParser::ConvertJSONStringArray(const mArray& arr,
                                             std::vector<std::string>& out) const {
  for (const mValue& element : arr) {
    if (element.type() == json_spirit::str_type) out.push_back(element.get_str());
  }
  return true;
}

bool CAliCloudParser::Convert(const mObject& obj, SAliCloudErrorResponse& out) const {
  out.SetErrorCode(TkJson::GetStringValue(obj, "Code"));
  out.SetErrorMsg(TkJson::GetStringValue(obj, "Message"));
  out.strRequestId = TkJson::GetStringValue(obj, "RequestId");
  return true;
}

// The error response is parsed as a whole document only (connection core and the
// operations that react to particular service codes).
template bool CAliCloudParser::ParseObject<SAliCloudErrorResponse>(const std::string&,
                                                                  SAliCloudErrorResponse&) const;

}  // namespace AliCloudWrapper
