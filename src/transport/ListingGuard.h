// What keeps a paged listing finite whatever the server answers: the total a
// first page announces must stay within a bound (setting
// "nAliCloudMaxListedRecords"), and every page after the first must bring at
// least one record not received before. A server that ignores "PageNumber"
// and sends the first page again and again, or announces a total it never
// reaches, is stopped with an error instead of being asked for ever.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>

#include "AliCloudWrapper/CZeError.h"
#include "AliCloudWrapper/JsonValue.h"
#include "host/JsonDocument.h"

namespace AliCloudWrapper {

class CListingGuard {
 public:
  // strAction names the listing in error texts; nMaxTotal is the connection's
  // bound, read with its other settings.
  CListingGuard(std::string strAction, uint64_t nMaxTotal);

  // The total announced by the first page: an error when it exceeds the bound.
  [[nodiscard]] CZeError CheckTotal(int64_t nTotal) const;
  // The records of page nPage, read from the page's already parsed document
  // (none when absent): an error when a later page brings none that was not
  // received before. Remembers the page's records.
  [[nodiscard]] CZeError CheckPage(int nPage, const std::optional<CJsonArrayRef>& records);

 private:
  std::string m_strAction;
  uint64_t m_nMaxTotal;
  std::unordered_set<uint64_t> m_setSeen;  // each record's fingerprint
};

}  // namespace AliCloudWrapper
