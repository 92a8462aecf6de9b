// The HTTP client behind every request: one libcurl easy handle per object,
// created on first use and kept, so the requests of one connection share one
// kept-alive TLS connection and load the CA store once. libcurl's own types stay
// in the implementation.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace AliCloudWrapper {

class TKLibCurl {
 public:
  // Request types of TKLibCurlSendHttpReq.
  static constexpr int REQ_GET = 0;
  static constexpr int REQ_POST = 1;
  static constexpr int REQ_PUT = 2;
  static constexpr int REQ_DEFAULT = 6;

  // What the handle is made with. A connection reads them from the settings
  // once and hands them over before its first request; a client given none
  // reads the settings when its handle is made.
  struct SOptions {
    std::string strCaBundle;         // PEM file to trust; empty: the system store
    std::string strConnectTo;        // libcurl connect-to entries, comma-separated
    long nConnectTimeOutSec = 30;
    long nLowSpeedTimeOutSec = 120;  // below one byte per second for this long: abandoned
    long nTransferTimeOutSec = 0;    // the whole transfer; 0: no limit
  };

  TKLibCurl();
  ~TKLibCurl();
  TKLibCurl(const TKLibCurl&) = delete;
  TKLibCurl& operator=(const TKLibCurl&) = delete;

  // Makes the object usable: global libcurl initialisation once per process,
  // then the easy handle with its fixed options and SOptions (those handed
  // over, else the settings' "AliCloudCABundle", "AliCloudConnectTo",
  // "nAliCloudConnectTimeOutInSec", "nAliCloudLowSpeedTimeOutInSec"). A request
  // calls it itself when needed. The arguments are accepted for the host
  // interface and not used. True when usable; a failure is retried at the next call.
  bool TKLibCurlInit(const char* pszUnused = nullptr, bool bUnused1 = false, bool bUnused2 = false,
                     void* pUnusedCallback = nullptr);

  // Performs one request; true only for a 2xx answer. The body of every answer,
  // error statuses included, is kept for GetHttpResponse; a transfer that fails
  // (refused, timed out, stalled, cut off mid-body) keeps no body at all.
  // POST and PUT send nBodyLength bytes of pBody (null: an empty body), with
  // pszExtra as their Content-Type when not null. bFlag is not used.
  bool TKLibCurlSendHttpReq(int nReqType, const char* pszUrl, const char* pBody = nullptr,
                            size_t nBodyLength = 0, bool bFlag = true,
                            const char* pszExtra = nullptr);

  // The body of the last answer as a NUL-terminated text (nLength bytes), or
  // null when no answer arrived.
  const char* GetHttpResponse(size_t& nLength, bool bUnused = false) const;

  // Sets a long-valued libcurl option (CURLOPT_TIMEOUT is 13) on this handle; it
  // persists for later requests. False for an option number that is not a long
  // option, or when libcurl refuses it.
  bool TKLibCurlSetAdditionalOptionsIntValue(int nOption, const int& nValue);

  // The options of the handle: before it is made, what it is made with; after,
  // applied to it at once.
  bool TKLibCurlSetOptions(const SOptions& sOptions);

  // Extra request headers ("Name: value") for the following requests.
  void TKLibCurlSetHeaders(const std::vector<std::string>& vecHeaders);
  // Overrides the settings' connect time-out for this handle (milliseconds; 0 restores).
  void TKLibCurlSetConnectTimeoutMs(long nMilliseconds);
  // Never use a proxy for this handle (the metadata service is link-local).
  void TKLibCurlSetNoProxy(bool bNoProxy);

  // HTTP status of the last answer, 0 when none arrived.
  long GetLastHttpStatus() const;
  // libcurl's description of the last transport failure; empty when there was none.
  std::string GetLastTransportError() const;

  // Percent-encoding exactly as libcurl escapes: the RFC 3986 unreserved set
  // (letters, digits, "-", ".", "_", "~") is kept, every other byte becomes
  // "%XX" in upper case. Needs no handle. out is empty when in is empty.
  static bool TKLibCurlUrlEscape(const std::string& in, std::string& out);
  // The same escaping, appended to out (for building long texts in one buffer).
  static void TKLibCurlUrlEscapeAppend(const std::string& in, std::string& out);
  // The same escaping, written at pOut, which must have room for
  // 3 * in.size() + 1 bytes; returns the end of what was written.
  static char* TKLibCurlUrlEscapeTo(const std::string& in, char* pOut);
  // True when escaping would change in (it holds a byte outside the kept set).
  static bool TKLibCurlUrlNeedsEscape(const std::string& in);

 private:
  struct SImpl;
  std::unique_ptr<SImpl> m_pImpl;
};

}  // namespace AliCloudWrapper
