// Every record converter and every public parser operation over arbitrary
// text: the parser promises never to throw, whatever a server sends.
// An escaping exception ends the run (std::terminate), which libFuzzer reports.
#include <string>
#include <vector>

#include "AliCloudWrapper/CAliCloudParser.h"
#include "host/TkJson.h"

namespace {

using namespace AliCloudWrapper;

// The member names the fuzz inputs wrap lists in (the seed corpus uses them).
const std::string LIST = "List";
const std::string ITEM = "Item";

template <typename T>
void Exercise(const CAliCloudParser& parser, const std::string& strText, const mObject& obj) {
  T record{};
  (void)parser.ParseObject(strText, record);
  std::vector<T> vecRecords;
  (void)parser.ParseNestedList(strText, LIST, ITEM, vecRecords);
  (void)parser.ParseNestedList(obj, LIST, ITEM, vecRecords);
  (void)parser.ConvertListInJSON(obj, ITEM, vecRecords);
  for (const auto& member : obj) {
    if (member.second.type() == json_spirit::array_type) {
      (void)parser.ConvertJSONArray(member.second.get_array(), vecRecords);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  static const CAliCloudParser s_parser;
  const std::string strText(reinterpret_cast<const char*>(pData), nSize);
  mObject obj;
  (void)TkJson::Unserialize(strText, obj);

  SAliCloudErrorResponse sError;
  (void)s_parser.ParseObject(strText, sError);
  Exercise<SDCInfoLib>(s_parser, strText, obj);
  Exercise<SHostInfoLib>(s_parser, strText, obj);
  Exercise<SVMInfoLib>(s_parser, strText, obj);
  Exercise<SNetworkInfoLib>(s_parser, strText, obj);
  Exercise<SImageInfoLib>(s_parser, strText, obj);
  Exercise<SInstanceTypeInfoLib>(s_parser, strText, obj);
  Exercise<SInstanceTypeFamilyInfoLib>(s_parser, strText, obj);
  Exercise<SResourceLib>(s_parser, strText, obj);
  Exercise<SDiskInfoLib>(s_parser, strText, obj);
  Exercise<SSnapshotInfoLib>(s_parser, strText, obj);
  Exercise<SSecurityGroupInfoLib>(s_parser, strText, obj);
  Exercise<SVPCInfoLib>(s_parser, strText, obj);
  Exercise<SVSwitchInfoLib>(s_parser, strText, obj);
  Exercise<SElasticIPAddress>(s_parser, strText, obj);
  Exercise<SDBInstanceLib>(s_parser, strText, obj);
  Exercise<SDBInstanceInfoLib>(s_parser, strText, obj);

  mArray arr;
  (void)s_parser.GetNestedList(strText, LIST, ITEM, arr);
  (void)s_parser.GetNestedList(obj, LIST, ITEM, arr);
  std::vector<std::string> vecTexts;
  (void)s_parser.ConvertStringListInJSON(obj, ITEM, vecTexts);
  (void)s_parser.ConvertJSONStringArray(arr, vecTexts);
  std::string strId;
  (void)s_parser.ParseIdResponse(strText, ITEM, strId);
  int nValue = 0;
  (void)s_parser.ParseIntFromResponse(strText, ITEM, nValue);
  SVMInfoLib sVm;
  (void)s_parser.ReadAdditionalInfo(obj, sVm);
  return 0;
}
