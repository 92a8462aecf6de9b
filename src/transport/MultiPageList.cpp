// The record types the service objects list page by page.
#include "transport/MultiPageList.h"

#include "AliCloudWrapper/ComputeRecords.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"

namespace AliCloudWrapper {

std::string MultiPageListDetail::ActionOf(const SAliCloudRequest& sRequest) {
  for (const URLParameter& parameter : sRequest.vecParameters) {
    if (parameter.first == AliCloudParameterNames::ACTION) return parameter.second;
  }
  return std::string();
}

std::optional<CJsonArrayRef> MultiPageListDetail::PageRecords(const CJsonDocument& sAnswer,
                                                              const std::string& strListKey,
                                                              const std::string& strItemKey) {
  if (!sAnswer.IsParsed()) return std::nullopt;
  const std::optional<CJsonValueRef> list = sAnswer.Root().Find(strListKey);
  if (!list || list->type() != json_spirit::obj_type) return std::nullopt;
  const std::optional<CJsonValueRef> items = list->get_obj().Find(strItemKey);
  if (!items || items->type() != json_spirit::array_type) return std::nullopt;
  return items->get_array();
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
