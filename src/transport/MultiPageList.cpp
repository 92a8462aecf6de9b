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
