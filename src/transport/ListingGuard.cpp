#include "transport/ListingGuard.h"

#include "host/SettingsTable.h"
#include "host/TkJson.h"

namespace AliCloudWrapper {
namespace {

// A record's identity: its whole JSON text (its members in name order), so the
// guard needs to know no record type's id member.
std::string RecordText(const mValue& record) {
  if (record.type() == json_spirit::obj_type) return TkJson::Serialize(record.get_obj());
  return TkJson::Serialize(mObject{{"", record}});
}

}  // namespace

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
      if (m_setSeen.insert(RecordText(record.ToValue())).second) bAnyNew = true;
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
