// Turns the JSON bodies the cloud services return into plain records.
//
// The parser is stateless: every operation depends only on its arguments and
// reports through its bool result and the log; it never throws for bad input.
// Lists are appended to, never cleared.
//
// The templates are defined in the library's internal header
// src/parser/CAliCloudParserImpl.h and explicitly instantiated inside the
// library for every record type that has a Convert overload, so this header
// needs no JSON library.
#pragma once

#include <string>
#include <vector>

#include "AliCloudWrapper/ComputeRecords.h"
#include "AliCloudWrapper/EvEvent.h"
#include "AliCloudWrapper/JsonValue.h"
#include "AliCloudWrapper/SAliCloudErrorResponse.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"

namespace AliCloudWrapper {

// A parsed answer held by the library (internal); lets one answer be read for more
// than one thing (a listing page's records and its total) after a single parse.
class CJsonDocument;

class CAliCloudParser : public EvEvent {
 public:
  CAliCloudParser() = default;
  ~CAliCloudParser() override = default;

  // True when json is a JSON object and the Convert overload for T accepted it.
  // On failure out keeps whatever fields were assigned before it.
  template <typename T>
  bool ParseObject(const std::string& json, T& out) const;

  // Appends the records of the array obj[outerKey][innerKey] (the services wrap each
  // list as {"Regions": {"Region": [...]}}). True when both levels were found.
  template <typename T>
  bool ParseNestedList(const std::string& json, const std::string& outerKey,
                       const std::string& innerKey, std::vector<T>& out) const;
  template <typename T>
  bool ParseNestedList(const mObject& obj, const std::string& outerKey,
                       const std::string& innerKey, std::vector<T>& out) const;
  // As the text form, on an answer already parsed (the library's paged listing).
  template <typename T>
  bool ParseNestedList(const CJsonDocument& doc, const std::string& outerKey,
                       const std::string& innerKey, std::vector<T>& out) const;

  // Appends one record per object element of the array obj[key]; true when key
  // named an array. Elements that are not objects are skipped.
  template <typename T>
  bool ConvertListInJSON(const mObject& obj, const std::string& key, std::vector<T>& out) const;
  // Appends one record per object element of arr (other elements skipped); always true.
  template <typename T>
  bool ConvertJSONArray(const mArray& arr, std::vector<T>& out) const;

  // The raw array obj[outerKey][innerKey] (assigned to out); true when both levels were found.
  bool GetNestedList(const mObject& obj, const std::string& outerKey, const std::string& innerKey,
                     mArray& out) const;
  bool GetNestedList(const std::string& json, const std::string& outerKey,
                     const std::string& innerKey, mArray& out) const;

  // The member key of the object json, read as text (absent: ""); true when json parsed.
  bool ParseIdResponse(const std::string& json, const std::string& key, std::string& out) const;
  // The member key of the object json, read as a 32-bit integer; true when json parsed
  // and the member was read. On failure out is unchanged.
  bool ParseIntFromResponse(const std::string& json, const std::string& key, int& out) const;
  // As above, on an answer already parsed.
  bool ParseIntFromResponse(const CJsonDocument& doc, const std::string& key, int& out) const;

  // Appends the string elements of the array obj[key] (others skipped); true when key named an array.
  bool ConvertStringListInJSON(const mObject& obj, const std::string& key,
                               std::vector<std::string>& out) const;
  // Appends the string elements of arr (others skipped); always true.
  bool ConvertJSONStringArray(const mArray& arr, std::vector<std::string>& out) const;

  // ---- record converters (one Convert overload per record type) ----
  // Each has the form `bool Convert(const mObject& obj, SRecord& out) const;`, assigns the
  // record's fields from obj and leaves the others alone. A wrongly typed member raises
  // std::runtime_error, which the generic operations above catch and log.
  // Instantiate the templates for each record type in the library (see CAliCloudParser.cpp).

  // Sets the code from "Code" and the message from "Message"; always true.
  bool Convert(const mObject& obj, SAliCloudErrorResponse& out) const;

  // Compute records. All return true; a wrongly typed member raises.
  bool Convert(const mObject& obj, SDCInfoLib& out) const;
  bool Convert(const mObject& obj, SHostInfoLib& out) const;
  // A missing "VpcAttributes", "SecurityGroupIds", "EipAddress" or "PublicIpAddress"
  // is logged and leaves its field as it was.
  bool Convert(const mObject& obj, SVMInfoLib& out) const;
  bool Convert(const mObject& obj, SNetworkInfoLib& out) const;
  bool Convert(const mObject& obj, SImageInfoLib& out) const;
  bool Convert(const mObject& obj, SInstanceTypeInfoLib& out) const;
  bool Convert(const mObject& obj, SInstanceTypeFamilyInfoLib& out) const;
  bool Convert(const mObject& obj, SResourceLib& out) const;
  // Sets strArchitecture and strOSName from a configuration document's
  // "AdditionalInfo" object; always true.
  bool ReadAdditionalInfo(const mObject& additionalInfo, SVMInfoLib& out) const;

  // Storage and network records. These return true; a wrongly typed member raises.
  bool Convert(const mObject& obj, SDiskInfoLib& out) const;
  bool Convert(const mObject& obj, SSnapshotInfoLib& out) const;
  bool Convert(const mObject& obj, SSecurityGroupInfoLib& out) const;
  bool Convert(const mObject& obj, SVPCInfoLib& out) const;
  bool Convert(const mObject& obj, SVSwitchInfoLib& out) const;
  // These three catch their own failures: logged, false, fields read so far kept.
  bool Convert(const mObject& obj, SElasticIPAddress& out) const;
  bool Convert(const mObject& obj, SDBInstanceLib& out) const;
  bool Convert(const mObject& obj, SDBInstanceInfoLib& out) const;

  // ---- end of record converters ----

  // ---- VM configuration document ----
  // The document is the instance's description as the service sent it, plus the
  // member "AdditionalInfo" {"Platform", "Architecture"} taken from the record.
  // Sets (or replaces) that member and rewrites the text. Everything else the
  // document holds is kept exactly (64-bit and negative numbers, reals, escapes,
  // non-ASCII text, members no converter reads); member order may change. False,
  // the text untouched, when it is not a JSON object.
  bool AddAdditionalInfoToConfigFile(std::string& strConfigFile, const SVMInfoLib& sInstance) const;
  // Sets "Platform" and "Architecture" of info from the record's OS name and
  // architecture (empty texts included).
  void AddOSNameAndArchitecture(mObject& info, const SVMInfoLib& sInstance) const;

  // Record types defined outside the library (a test's own records) supply their
  // converter as an explicit specialization of this template; the overloads above
  // are exact matches and always win for the library's records.
  template <typename T>
  bool Convert(const mObject& obj, T& out) const;
};

}  // namespace AliCloudWrapper
