// Bodies of CAliCloudParser's templates. Included by the library's .cpp files that
// instantiate them for the record types, and by tests that use record types of their own.
//
// Answers given as text are parsed into a CJsonDocument (one arena per answer) and the
// records are read from it directly; the json_spirit tree is built only where a caller
// passes or asks for one.
#pragma once

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "AliCloudWrapper/CAliCloudParser.h"
#include "host/JsonDocument.h"
#include "host/TkJson.h"

namespace AliCloudWrapper {

// Reads one record from an object of a parsed document: the library's records have
// readers of their own (ComputeConverters.cpp, StorageNetworkConverters.cpp) that
// share their code with the mObject converters.
bool ConvertDocumentRecord(const CAliCloudParser& parser, const CJsonObjectRef& obj, SAliCloudErrorResponse& out);
bool ConvertDocumentRecord(const CAliCloudParser& parser, const CJsonObjectRef& obj, SDCInfoLib& out);
bool ConvertDocumentRecord(const CAliCloudParser& parser, const CJsonObjectRef& obj, SHostInfoLib& out);
bool ConvertDocumentRecord(const CAliCloudParser& parser, const CJsonObjectRef& obj, SVMInfoLib& out);
bool ConvertDocumentRecord(const CAliCloudParser& parser, const CJsonObjectRef& obj, SNetworkInfoLib& out);
bool ConvertDocumentRecord(const CAliCloudParser& parser, const CJsonObjectRef& obj, SImageInfoLib& out);
bool ConvertDocumentRecord(const CAliCloudParser& parser, const CJsonObjectRef& obj, SInstanceTypeInfoLib& out);
bool ConvertDocumentRecord(const CAliCloudParser& parser, const CJsonObjectRef& obj,
                           SInstanceTypeFamilyInfoLib& out);
bool ConvertDocumentRecord(const CAliCloudParser& parser, const CJsonObjectRef& obj, SResourceLib& out);
bool ConvertDocumentRecord(const CAliCloudParser& parser, const CJsonObjectRef& obj, SDiskInfoLib& out);
bool ConvertDocumentRecord(const CAliCloudParser& parser, const CJsonObjectRef& obj, SSnapshotInfoLib& out);
bool ConvertDocumentRecord(const CAliCloudParser& parser, const CJsonObjectRef& obj, SSecurityGroupInfoLib& out);
bool ConvertDocumentRecord(const CAliCloudParser& parser, const CJsonObjectRef& obj, SVPCInfoLib& out);
bool ConvertDocumentRecord(const CAliCloudParser& parser, const CJsonObjectRef& obj, SVSwitchInfoLib& out);
bool ConvertDocumentRecord(const CAliCloudParser& parser, const CJsonObjectRef& obj, SElasticIPAddress& out);
bool ConvertDocumentRecord(const CAliCloudParser& parser, const CJsonObjectRef& obj, SDBInstanceLib& out);
bool ConvertDocumentRecord(const CAliCloudParser& parser, const CJsonObjectRef& obj, SDBInstanceInfoLib& out);

// Record types defined outside the library have only their mObject converter: the
// element is copied into an mObject for it.
template <typename T>
bool ConvertDocumentRecord(const CAliCloudParser& parser, const CJsonObjectRef& obj, T& out) {
  return parser.Convert(obj.ToObject(), out);
}

// Appends the string elements of the array obj[key] (others skipped), for an mObject
// or a document object; true when key named an array.
template <typename O>
bool AppendStringList(const O& obj, const std::string& key, std::vector<std::string>& out) {
  const auto arr = TkJson::FindArray(obj, key);
  if (!arr) return false;
  for (const auto& element : *arr) {
    if (element.type() == json_spirit::str_type) out.emplace_back(element.get_str());
  }
  return true;
}

// Room for nMore records without giving up the vector's geometric growth when a
// caller appends page after page to one vector.
template <typename T>
void ReserveFor(std::vector<T>& out, size_t nMore) {
  const size_t nNeeded = out.size() + nMore;
  if (out.capacity() < nNeeded) out.reserve(std::max(nNeeded, 2 * out.capacity()));
}

namespace ParserDetail {

// Appends one record per object element of arr. A converter's exception passes
// through, leaving the records before it appended; the public operations catch it.
template <typename T>
void AppendRecords(const CAliCloudParser& parser, const mArray& arr, std::vector<T>& out) {
  ReserveFor(out, arr.size());
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
  const mArray* pArray = TkJson::FindArray(obj, key);
  if (pArray == nullptr) return false;
  AppendRecords(parser, *pArray, out);
  return true;
}

}  // namespace ParserDetail

template <typename T>
bool CAliCloudParser::ParseObject(const std::string& json, T& out) const {
  try {
    CJsonDocument doc;
    if (!doc.Parse(json)) return false;
    return ConvertDocumentRecord(*this, doc.Root(), out);
  } catch (const std::exception& e) {
    Error(__PRETTY_FUNCTION__, "Exception parsing json [%s] : [%s]", json.c_str(), e.what());
    return false;
  }
}

template <typename T>
bool CAliCloudParser::ParseNestedList(const std::string& json, const std::string& outerKey,
                                      const std::string& innerKey, std::vector<T>& out) const {
  CJsonDocument doc;
  if (!doc.Parse(json)) return false;
  return ParseNestedList(doc, outerKey, innerKey, out);
}

template <typename T>
bool CAliCloudParser::ParseNestedList(const CJsonDocument& doc, const std::string& outerKey,
                                      const std::string& innerKey, std::vector<T>& out) const {
  try {
    const auto inner = TkJson::FindObject(doc.Root(), outerKey);
    if (!inner) {
      DebugLvl(__PRETTY_FUNCTION__, 2, "[%s] not found in response.", outerKey.c_str());
      return false;
    }
    const auto arr = TkJson::FindArray(*inner, innerKey);
    if (!arr) return false;
    ReserveFor(out, arr->size());
    for (const CJsonValueRef element : *arr) {
      if (element.type() != json_spirit::obj_type) continue;
      T record{};
      // A record whose converter reports failure still contributes its partly filled fields.
      (void)ConvertDocumentRecord(*this, element.get_obj(), record);
      out.push_back(std::move(record));
    }
    return true;
  } catch (const std::exception& e) {
    Error(__PRETTY_FUNCTION__, "Exception parsing json list [%s] from json [%s] : [%s]",
          innerKey.c_str(), doc.Text().c_str(), e.what());
    return false;
  }
}

template <typename T>
bool CAliCloudParser::ParseNestedList(const mObject& obj, const std::string& outerKey,
                                      const std::string& innerKey, std::vector<T>& out) const {
  try {
    const mObject* pInner = TkJson::FindObject(obj, outerKey);
    if (pInner == nullptr) {
      DebugLvl(__PRETTY_FUNCTION__, 2, "[%s] not found in response.", outerKey.c_str());
      return false;
    }
    return ParserDetail::AppendListMember(*this, *pInner, innerKey, out);
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
