// The parser's non-template operations, the error response converter, and the
// template instantiations for the error response.
#include "AliCloudWrapper/CAliCloudParser.h"

#include <stdexcept>

#include "host/JsonDocument.h"
#include "host/TkJson.h"
#include "parser/CAliCloudParserImpl.h"

namespace AliCloudWrapper {

namespace {

// Finds the object outerKey and the array innerKey inside it (an mObject tree or a
// document), logging what is missing under the calling operation's context. Lets the
// JSON helper's std::runtime_error through, so each form reports it with its own message.
template <typename O>
auto FindNestedArray(const CAliCloudParser& parser, const char* pszContext, const O& obj,
                     const std::string& outerKey, const std::string& innerKey)
    -> decltype(TkJson::FindArray(obj, innerKey)) {
  const auto inner = TkJson::FindObject(obj, outerKey);
  if (!inner) {
    parser.DebugLvl(pszContext, 2, "[%s] not found in response.", outerKey.c_str());
    return {};
  }
  auto arr = TkJson::FindArray(*inner, innerKey);
  if (!arr) parser.DebugLvl(pszContext, 2, "[%s] not found in response.", innerKey.c_str());
  return arr;
}

template <typename O>
bool ConvertErrorResponse(const O& obj, SAliCloudErrorResponse& out) {
  out.SetErrorCode(TkJson::GetStringValue(obj, "Code"));
  out.SetErrorMsg(TkJson::GetStringValue(obj, "Message"));
  out.strRequestId = TkJson::GetStringValue(obj, "RequestId");
  return true;
}

}  // namespace

bool CAliCloudParser::GetNestedList(const mObject& obj, const std::string& outerKey,
                                    const std::string& innerKey, mArray& out) const {
  try {
    const mArray* pArray = FindNestedArray(*this, __PRETTY_FUNCTION__, obj, outerKey, innerKey);
    if (pArray == nullptr) return false;
    out = *pArray;
    return true;
  } catch (const std::exception& e) {
    Error(__PRETTY_FUNCTION__, "Exception parsing json list [%s] : [%s]", innerKey.c_str(),
          e.what());
    return false;
  }
}

bool CAliCloudParser::GetNestedList(const std::string& json, const std::string& outerKey,
                                    const std::string& innerKey, mArray& out) const {
  try {
    CJsonDocument doc;
    if (!doc.Parse(json)) return false;
    const auto arr = FindNestedArray(*this, __PRETTY_FUNCTION__, doc.Root(), outerKey, innerKey);
    if (!arr) return false;
    // Only the array asked for becomes json_spirit values.
    out = arr->ToArray();
    return true;
  } catch (const std::exception& e) {
    Error(__PRETTY_FUNCTION__, "Exception parsing json list [%s] from json [%s] : [%s]",
          innerKey.c_str(), json.c_str(), e.what());
    return false;
  }
}

bool CAliCloudParser::ParseIdResponse(const std::string& json, const std::string& key,
                                      std::string& out) const {
  try {
    CJsonDocument doc;
    if (!doc.Parse(json)) return false;
    out = TkJson::GetStringValue(doc.Root(), key);
    return true;
  } catch (const std::exception& e) {
    Error(__PRETTY_FUNCTION__, "Exception parsing json [%s] : [%s]", json.c_str(), e.what());
    return false;
  }
}

bool CAliCloudParser::ParseIntFromResponse(const std::string& json, const std::string& key,
                                           int& out) const {
  CJsonDocument doc;
  if (!doc.Parse(json)) {
    Error(__PRETTY_FUNCTION__, "Failed to unserialize JSON [%s].", json.c_str());
    return false;
  }
  return ParseIntFromResponse(doc, key, out);
}

bool CAliCloudParser::ParseIntFromResponse(const CJsonDocument& doc, const std::string& key,
                                           int& out) const {
  try {
    out = TkJson::GetIntValue(doc.Root(), key);
    return true;
  } catch (const std::exception& e) {
    Error(__PRETTY_FUNCTION__, "Exception serializing json object - [%s].", e.what());
    return false;
  }
}

bool CAliCloudParser::ConvertStringListInJSON(const mObject& obj, const std::string& key,
                                              std::vector<std::string>& out) const {
  try {
    return AppendStringList(obj, key, out);
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
  return ConvertErrorResponse(obj, out);
}

bool ConvertDocumentRecord(const CAliCloudParser&, const CJsonObjectRef& obj,
                           SAliCloudErrorResponse& out) {
  return ConvertErrorResponse(obj, out);
}

// The error response is parsed as a whole document only (connection core and the
// operations that react to particular service codes).
template bool CAliCloudParser::ParseObject<SAliCloudErrorResponse>(const std::string&,
                                                                  SAliCloudErrorResponse&) const;

}  // namespace AliCloudWrapper
