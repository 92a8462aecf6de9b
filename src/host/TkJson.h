// The JSON helper: parsing text into mObject trees, writing them back, and the
// lenient scalar getters the record converters use.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "AliCloudWrapper/JsonValue.h"
#include "host/JsonDocument.h"

namespace AliCloudWrapper {

class TkJson {
 public:
  // Deepest nesting of objects and arrays a document may have; deeper is a parse failure.
  static constexpr int MAX_DEPTH = 64;

  // True and fills out (cleared first) when text is a JSON document whose top level
  // is an object; false for anything else (invalid, truncated, too deep, not an object).
  static bool Unserialize(const std::string& text, mObject& out);
  // True when Unserialize would accept text; reads it without building anything
  // (a success answer is checked this way before its one real parse).
  static bool IsObjectDocument(std::string_view text);
  // Compact JSON text of obj (escaped, non-ASCII kept as UTF-8); Unserialize reads it back equal.
  static std::string Serialize(const mObject& obj);

  // Scalar getters: an absent member gives "", 0, false or 0.0. A scalar of another
  // type is converted when lossless (number -> its decimal text; numeric text -> the
  // number; "true"/"false" -> bool). An object or array, or non-numeric text asked
  // for as a number, throws std::runtime_error.
  static std::string GetStringValue(const mObject& obj, const std::string& key);
  static int GetIntValue(const mObject& obj, const std::string& key);
  static bool GetBoolValue(const mObject& obj, const std::string& key);
  static double GetFloatValue(const mObject& obj, const std::string& key);

  // The same readings of a parsed document's member.
  static std::string GetStringValue(const CJsonObjectRef& obj, std::string_view key);
  static int GetIntValue(const CJsonObjectRef& obj, std::string_view key);
  static bool GetBoolValue(const CJsonObjectRef& obj, std::string_view key);
  static double GetFloatValue(const CJsonObjectRef& obj, std::string_view key);

  // The member key when it is an object (an array), by reference; nothing when absent
  // or null. A member of another type throws std::runtime_error.
  static const mObject* FindObject(const mObject& obj, const std::string& key);
  static const mArray* FindArray(const mObject& obj, const std::string& key);
  static std::optional<CJsonObjectRef> FindObject(const CJsonObjectRef& obj, std::string_view key);
  static std::optional<CJsonArrayRef> FindArray(const CJsonObjectRef& obj, std::string_view key);

  // As FindObject and FindArray, with a copy in out: true when found.
  static bool FindObjectValue(const mObject& obj, const std::string& key, mObject& out);
  static bool FindArrayValue(const mObject& obj, const std::string& key, mArray& out);
};

}  // namespace AliCloudWrapper
