// The record types the service objects list page by page.
#include "transport/MultiPageList.h"

#include "AliCloudWrapper/ComputeRecords.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"
#include "host/TkJson.h"

namespace AliCloudWrapper {

std::string MultiPageListDetail::ActionOf(const SAliCloudRequest& sRequest) {
  for (const URLParameter& parameter : sRequest.vecParameters) {
    if (parameter.first == AliCloudParameterNames::ACTION) return parameter.second;
  }
  return std::string();
}

bool MultiPageListDetail::HasMember(const std::string& strResponse, const std::string& strKey) {
  mObject obj;
  return TkJson::Unserialize(strResponse, obj) && obj.count(strKey) != 0;
}

mArray MultiPageListDetail::PageRecords(const std::string& strResponse, const std::string& strListKey,
                                        const std::string& strItemKey) {
  mObject obj;
  if (!TkJson::Unserialize(strResponse, obj)) return mArray();
  const auto itList = obj.find(strListKey);
  if (itList == obj.end() || itList->second.type() != json_spirit::obj_type) return mArray();
  const mObject& list = itList->second.get_obj();
  const auto itItems = list.find(strItemKey);
  if (itItems == list.end() || itItems->second.type() != json_spirit::array_type) return mArray();
  return itItems->second.get_array();
}

#define ACW_INSTANTIATE_MULTI_PAGE_LIST(T)                                                   \
  template CZeError CAliCloudConnectionBase::GetMultiPageList<T>(                            \
      const SAliCloudRequest&, std::vector<T>&, const std::string&, const std::string&, bool, \
      int);

ACW_INSTANTIATE_MULTI_PAGE_LIST(SVMInfoLib)
ACW_INSTANTIATE_MULTI_PAGE_LIST(SSecurityGroupInfoLib)
ACW_INSTANTIATE_MULTI_PAGE_LIST(SVSwitchInfoLib)
ACW_INSTANTIATE_MULTI_PAGE_LIST(SVPCInfoLib)
ACW_INSTANTIATE_MULTI_PAGE_LIST(SDiskInfoLib)
ACW_INSTANTIATE_MULTI_PAGE_LIST(SDBInstanceLib)
ACW_INSTANTIATE_MULTI_PAGE_LIST(SDBInstanceInfoLib)

#undef ACW_INSTANTIATE_MULTI_PAGE_LIST

}  // namespace AliCloudWrapper
