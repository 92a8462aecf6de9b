#include "transport/ListingGuard.h"

#include "host/SettingsTable.h"

namespace AliCloudWrapper {

CListingGuard::CListingGuard(std::string strAction, uint64_t nMaxTotal)
    : m_strAction(std::move(strAction)), m_nMaxTotal(nMaxTotal) {}

CZeError CListingGuard::CheckTotal(int64_t nTotal) const {
  const uint64_t nMax = m_nMaxTotal;
  if (nTotal < 0 || static_cast<uint64_t>(nTotal) > nMax) {
    return FXErrorUtil::ErrorInt(ACW_LOCATION, 1,
                                 "Listing [%s] stopped: the service announces [%lld] records, more "
                                 "than the limit of [%llu] (setting %s).",
                                 m_strAction.c_str(), static_cast<long long>(nTotal),
                                 static_cast<unsigned long long>(nMax), SettingKeys::MAX_LISTED_RECORDS);
  }
  return CZeError();
}

CZeError CListingGuard::CheckPage(int nPage, const std::optional<CJsonArrayRef>& records) {
  bool bAnyNew = false;
  const size_t nRecords = records ? records->size() : 0;
  if (records) {
    for (const CJsonValueRef record : *records) {
      // A record is known by its fingerprint, so the guard needs to know no
      // record type's id member and keeps 8 bytes per record.
      if (m_setSeen.insert(record.Fingerprint()).second) bAnyNew = true;
    }
  }
  // An empty page is the listing's normal early end, handled by the caller.
  if (nPage > 1 && nRecords != 0 && !bAnyNew) {
    return FXErrorUtil::ErrorInt(ACW_LOCATION, 1,
                                 "Listing [%s] stopped: page [%d] only repeats records already "
                                 "received.",
                                 m_strAction.c_str(), nPage);
  }
  return CZeError();
}

}  // namespace AliCloudWrapper
