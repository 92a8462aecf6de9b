// Body of CAliCloudConnectionBase::GetMultiPageList. The library instantiates it
// in MultiPageList.cpp for every record type it lists; include this header only
// to instantiate it for another record type that has a parser converter.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/CAliCloudConnectionBase.h"
#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/SAliCloudRequest.h"
#include "host/FXString.h"
#include "host/JsonDocument.h"
#include "parser/CAliCloudParserImpl.h"
#include "transport/ConnectionOptions.h"
#include "transport/ListingGuard.h"

namespace AliCloudWrapper {
namespace MultiPageListDetail {

// The value of the request's "Action" parameter, for log lines.
std::string ActionOf(const SAliCloudRequest& sRequest);
// The records array of a parsed page, answer[strListKey][strItemKey]; none when
// absent or of another type. Never throws.
std::optional<CJsonArrayRef> PageRecords(const CJsonDocument& sAnswer, const std::string& strListKey,
                                         const std::string& strItemKey);

}  // namespace MultiPageListDetail

template <typename T>
CZeError CAliCloudConnectionBase::GetMultiPageList(const SAliCloudRequest& sRequest,
                                                   std::vector<T>& vecRecords,
                                                   const std::string& strListKey,
                                                   const std::string& strItemKey, bool bRetry,
                                                   int nPageSize) {
  int nTotal = 0;
  // Wider than the total so that a page beyond the announced count cannot overflow it.
  int64_t nFetched = 0;
  // Each page is parsed once, into this document; it keeps its room from page to page.
  CJsonDocument sAnswer;
  CListingGuard sGuard(MultiPageListDetail::ActionOf(sRequest), _Options().nMaxListedRecords);
  for (int nPage = 1;; ++nPage) {
    // Every page is a fresh copy: signing consumes the request it is given.
    SAliCloudRequest sPageRequest(sRequest);
    sPageRequest.AddURLParameter(AliCloudParameterNames::PAGE_NUMBER, FXString::Format("%d", nPage));
    if (nPageSize > 0) {
      sPageRequest.AddURLParameter(AliCloudParameterNames::PAGE_SIZE,
                                   FXString::Format("%d", nPageSize));
    }

    std::string strResponse;
    CZeError eResult = ExecuteRequest(sPageRequest, strResponse, bRetry);
    if (eResult.IsError()) return eResult.Push(ACW_LOCATION);

    std::vector<T> vecPage;
    if (!sAnswer.Parse(strResponse) ||
        !sParser.ParseNestedList(sAnswer, strListKey, strItemKey, vecPage)) {
      sEvent.Error(__PRETTY_FUNCTION__, "Failed to parse response [%s].", strResponse.c_str());
      return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Failed to parse response from server.");
    }
    CZeError eGuard =
        sGuard.CheckPage(nPage, MultiPageListDetail::PageRecords(sAnswer, strListKey, strItemKey));
    if (eGuard.IsError()) {
      sEvent.Error(__PRETTY_FUNCTION__, "%s", eGuard.GetErrorMessage().c_str());
      return eGuard.Push(ACW_LOCATION);
    }
    const size_t nPageRecords = vecPage.size();
    vecRecords.insert(vecRecords.end(), std::make_move_iterator(vecPage.begin()),
                      std::make_move_iterator(vecPage.end()));

    // The total is announced once, with the first page.
    if (nPage == 1) {
      // An absent total would read as 0 and quietly end the listing after one page.
      const std::string strTotalKey = GetTagName(TAG_TOTAL_COUNT);
      if (!sAnswer.Root().Find(strTotalKey) ||
          !sParser.ParseIntFromResponse(sAnswer, strTotalKey, nTotal)) {
        sEvent.Error(__PRETTY_FUNCTION__, "Failed to parse total count of list. Response is [%s].",
                     strResponse.c_str());
        return FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "Unkown response from server.");
      }
      sEvent.DebugLvl(__PRETTY_FUNCTION__, 5, "Got total count of [%d].", nTotal);
      eGuard = sGuard.CheckTotal(nTotal);
      if (eGuard.IsError()) {
        sEvent.Error(__PRETTY_FUNCTION__, "%s", eGuard.GetErrorMessage().c_str());
        return eGuard.Push(ACW_LOCATION);
      }
    }

    nFetched += static_cast<int64_t>(nPageRecords);
    if (nFetched >= nTotal) return CZeError();

    // The list shrank while we walked it, or the service stopped early: asking for
    // further pages would bring nothing either, so keep what arrived.
    if (nPageRecords == 0) {
      sEvent.Error(__PRETTY_FUNCTION__,
                   "Listing [%s] ended early: page [%d] brought no records after [%lld] of [%d].",
                   MultiPageListDetail::ActionOf(sRequest).c_str(), nPage,
                   static_cast<long long>(nFetched), nTotal);
      return CZeError();
    }
  }
}

}  // namespace AliCloudWrapper
