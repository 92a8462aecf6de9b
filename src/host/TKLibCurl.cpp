// The HTTP client over libcurl (OpenSSL flavour).
//
// One easy handle per object, made at the first request and kept: libcurl keeps
// the connection of the previous transfer alive in the handle's cache, so the
// requests of one connection share one TCP connection and one TLS session, and
// the CA store is read once per handle instead of once per request.
#include "AliCloudWrapper/TKLibCurl.h"

#include <curl/curl.h>

#include <array>
#include <climits>
#include <cstring>
#include <mutex>
#include <optional>

#include "AliCloudWrapper/EvEvent.h"
#include "host/SettingsTable.h"

#ifndef ACW_VERSION
#define ACW_VERSION "0.0.0"
#endif

namespace AliCloudWrapper {
namespace {

const char* const USER_AGENT = "AliCloudWrapper/" ACW_VERSION;

struct SEasyDeleter {
  void operator()(CURL* p) const { curl_easy_cleanup(p); }
};
struct SSlistDeleter {
  void operator()(curl_slist* p) const { curl_slist_free_all(p); }
};
using EasyPtr = std::unique_ptr<CURL, SEasyDeleter>;
using SlistPtr = std::unique_ptr<curl_slist, SSlistDeleter>;

// curl_global_init is not thread-safe and must run once before any handle is
// made; never from a static initialiser (the host may load us before it is ready).
bool GlobalInit() {
  static std::once_flag s_once;
  static CURLcode s_result = CURLE_FAILED_INIT;
  std::call_once(s_once, [] { s_result = curl_global_init(CURL_GLOBAL_DEFAULT); });
  return s_result == CURLE_OK;
}

// Unreserved characters of RFC 3986 stay as they are; libcurl's curl_easy_escape
// keeps exactly these. The table is built once at compile time.
// What one input byte becomes: itself, or "%XX". Four bytes, so the escape
// loop copies a whole entry without branching and advances by nLength.
struct SEscapeCode {
  char szText[3];
  unsigned char nLength;
};

struct SEscapeTable {
  std::array<bool, 256> bKeep{};
  std::array<SEscapeCode, 256> code{};
  constexpr SEscapeTable() {
    constexpr char kHex[] = "0123456789ABCDEF";
    for (int c = 0; c < 256; ++c) {
      bKeep[c] = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                 c == '-' || c == '.' || c == '_' || c == '~';
      code[c] = bKeep[c] ? SEscapeCode{{static_cast<char>(c), 0, 0}, 1}
                         : SEscapeCode{{'%', kHex[c >> 4], kHex[c & 0x0F]}, 3};
    }
  }
};
constexpr SEscapeTable ESCAPE_TABLE;

std::string Trim(const std::string& str) {
  const size_t nBegin = str.find_first_not_of(" \t");
  if (nBegin == std::string::npos) return std::string();
  const size_t nEnd = str.find_last_not_of(" \t");
  return str.substr(nBegin, nEnd - nBegin + 1);
}

// libcurl refuses a time-out in seconds beyond INT_MAX / 1000 (it counts in
// milliseconds): a larger one means "as long as possible", not a refused option
// that leaves the handle unusable.
long CurlSeconds(long nSeconds) {
  constexpr long kMax = INT_MAX / 1000;
  return nSeconds < 0 ? 0 : nSeconds > kMax ? kMax : nSeconds;
}

size_t WriteBody(char* pData, size_t nSize, size_t nCount, void* pUser) {
  auto* pBody = static_cast<std::string*>(pUser);
  const size_t nBytes = nSize * nCount;
  pBody->append(pData, nBytes);
  return nBytes;
}

// Called before each send of a request. libcurl resends a request by itself
// when a reused connection closes before any answer; but a signed request
// carries a nonce the service has already seen by then and would refuse
// ("SignatureNonceUsed"). One call therefore sends at most once: the resend is
// refused here, the transfer fails with no answer, and the connection decides
// whether to try again with a freshly signed request.
int RefuseResend(void* pUser, char*, char*, int, int) {
  int& nSends = *static_cast<int*>(pUser);
  return ++nSends > 1 ? CURL_PREREQFUNC_ABORT : CURL_PREREQFUNC_OK;
}

}  // namespace

struct TKLibCurl::SImpl {
  EasyPtr pEasy;
  SlistPtr pConnectTo;  // must outlive every transfer of pEasy
  SlistPtr pHeaders;
  std::array<char, CURL_ERROR_SIZE> szErrorBuffer{};
  std::string strBody;
  bool bHaveResponse = false;
  int nSends = 0;  // sends of the current request (RefuseResend)
  long nLastStatus = 0;
  std::string strLastError;
  std::optional<SOptions> oOptions;  // handed over; else read when the handle is made
  long nConnectTimeoutSec = 0;
  long nConnectTimeoutMs = 0;  // per-handle override; 0 uses nConnectTimeoutSec
  bool bNoProxy = false;
  EvEvent sEvent;

  bool MakeHandle();
  bool Fail(const char* pszWhat, CURLcode eCode);
  bool ApplyConnectTimeout();
  bool ApplyNoProxy();
  bool ApplyMethod(int nReqType, const char* pBody, size_t nBodyLength, const char* pszContentType);
  bool ApplyHeaders(int nReqType, const char* pszContentType);
  SlistPtr pRequestHeaders;  // pHeaders plus the per-request Content-Type
};

// Records why an option could not be set; the handle stays unusable for this request.
bool TKLibCurl::SImpl::Fail(const char* pszWhat, CURLcode eCode) {
  strLastError = std::string(pszWhat) + ": " + curl_easy_strerror(eCode);
  sEvent.DebugLvl(__PRETTY_FUNCTION__, 2, "HTTP client setup failed [%s].", strLastError.c_str());
  return false;
}

#define ACW_SETOPT(opt, value)                                              \
  do {                                                                      \
    const CURLcode eSetCode = curl_easy_setopt(pEasy.get(), opt, value);    \
    if (eSetCode != CURLE_OK) return Fail(#opt, eSetCode);                  \
  } while (0)

// Makes the easy handle with the options every request of it keeps: the fixed
// security options and the settings read once here.
bool TKLibCurl::SImpl::MakeHandle() {
  if (!GlobalInit()) {
    strLastError = "curl_global_init failed";
    return false;
  }
  EasyPtr pNew(curl_easy_init());
  if (!pNew) {
    strLastError = "curl_easy_init failed";
    return false;
  }
  pEasy = std::move(pNew);

  const SOptions sOptions = oOptions ? *oOptions : ReadHttpOptions();
  const std::string& strCaBundle = sOptions.strCaBundle;
  const std::string& strConnectTo = sOptions.strConnectTo;
  nConnectTimeoutSec = CurlSeconds(sOptions.nConnectTimeOutSec);

  ACW_SETOPT(CURLOPT_ERRORBUFFER, szErrorBuffer.data());
  ACW_SETOPT(CURLOPT_NOSIGNAL, 1L);
  ACW_SETOPT(CURLOPT_SSL_VERIFYPEER, 1L);
  ACW_SETOPT(CURLOPT_SSL_VERIFYHOST, 2L);
  ACW_SETOPT(CURLOPT_PROTOCOLS_STR, "http,https");
  ACW_SETOPT(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  ACW_SETOPT(CURLOPT_USERAGENT, USER_AGENT);
  ACW_SETOPT(CURLOPT_WRITEFUNCTION, &WriteBody);
  ACW_SETOPT(CURLOPT_WRITEDATA, &strBody);
  ACW_SETOPT(CURLOPT_TCP_KEEPALIVE, 1L);
  ACW_SETOPT(CURLOPT_PREREQFUNCTION, &RefuseResend);
  ACW_SETOPT(CURLOPT_PREREQDATA, &nSends);
  // A transfer that moves less than one byte per second for this long is
  // abandoned: a stalled server never blocks the caller for ever.
  ACW_SETOPT(CURLOPT_LOW_SPEED_LIMIT, 1L);
  ACW_SETOPT(CURLOPT_LOW_SPEED_TIME, sOptions.nLowSpeedTimeOutSec);
  ACW_SETOPT(CURLOPT_TIMEOUT, CurlSeconds(sOptions.nTransferTimeOutSec));
  if (!strCaBundle.empty()) ACW_SETOPT(CURLOPT_CAINFO, strCaBundle.c_str());

  // Entries "HOST:PORT:CONNECT-TO-HOST:CONNECT-TO-PORT", comma-separated; the
  // URL keeps the real host name, so TLS still verifies the service's name.
  size_t nStart = 0;
  while (nStart <= strConnectTo.size()) {
    size_t nComma = strConnectTo.find(',', nStart);
    if (nComma == std::string::npos) nComma = strConnectTo.size();
    const std::string strEntry = Trim(strConnectTo.substr(nStart, nComma - nStart));
    if (!strEntry.empty()) {
      curl_slist* pAppended = curl_slist_append(pConnectTo.get(), strEntry.c_str());
      if (pAppended == nullptr) return Fail("CURLOPT_CONNECT_TO", CURLE_OUT_OF_MEMORY);
      pConnectTo.release();
      pConnectTo.reset(pAppended);
    }
    nStart = nComma + 1;
  }
  if (pConnectTo) ACW_SETOPT(CURLOPT_CONNECT_TO, pConnectTo.get());
  sEvent.DebugLvl(__PRETTY_FUNCTION__, 3,
                  "HTTP client ready: CA bundle [%s], connect-to [%s], connect time-out [%ld] s, "
                  "low-speed time-out [%ld] s.",
                  strCaBundle.c_str(), strConnectTo.c_str(), nConnectTimeoutSec,
                  sOptions.nLowSpeedTimeOutSec);
  return ApplyConnectTimeout() && ApplyNoProxy();
}

// "*" bypasses every proxy; null returns to libcurl's environment-driven choice.
bool TKLibCurl::SImpl::ApplyNoProxy() {
  ACW_SETOPT(CURLOPT_NOPROXY, bNoProxy ? "*" : static_cast<const char*>(nullptr));
  return true;
}

bool TKLibCurl::SImpl::ApplyConnectTimeout() {
  if (nConnectTimeoutMs > 0) {
    ACW_SETOPT(CURLOPT_CONNECTTIMEOUT_MS, nConnectTimeoutMs);
    return true;
  }
  ACW_SETOPT(CURLOPT_CONNECTTIMEOUT_MS, 0L);  // clear a previous override
  ACW_SETOPT(CURLOPT_CONNECTTIMEOUT, nConnectTimeoutSec);
  return true;
}

// The handle is reused, so every request sets its method from scratch.
bool TKLibCurl::SImpl::ApplyMethod(int nReqType, const char* pBody, size_t nBodyLength,
                                   const char* pszContentType) {
  ACW_SETOPT(CURLOPT_CUSTOMREQUEST, static_cast<const char*>(nullptr));
  if (nReqType != REQ_POST && nReqType != REQ_PUT) {
    ACW_SETOPT(CURLOPT_HTTPGET, 1L);
    return ApplyHeaders(nReqType, pszContentType);
  }
  // POST and PUT send the body as given (possibly empty); the caller's buffer
  // lives for the whole synchronous transfer, so libcurl need not copy it.
  static const char s_szEmpty[] = "";
  ACW_SETOPT(CURLOPT_POST, 1L);
  ACW_SETOPT(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(pBody ? nBodyLength : 0));
  ACW_SETOPT(CURLOPT_POSTFIELDS, pBody ? pBody : s_szEmpty);
  if (nReqType == REQ_PUT) ACW_SETOPT(CURLOPT_CUSTOMREQUEST, "PUT");
  return ApplyHeaders(nReqType, pszContentType);
}

bool TKLibCurl::SImpl::ApplyHeaders(int nReqType, const char* pszContentType) {
  pRequestHeaders.reset();
  const bool bWithBody = nReqType == REQ_POST || nReqType == REQ_PUT;
  if (bWithBody && pszContentType != nullptr && *pszContentType != '\0') {
    // The caller's headers first, then the body's type.
    for (const curl_slist* p = pHeaders.get(); p != nullptr; p = p->next) {
      curl_slist* pNew = curl_slist_append(pRequestHeaders.get(), p->data);
      if (pNew == nullptr) return Fail("CURLOPT_HTTPHEADER", CURLE_OUT_OF_MEMORY);
      pRequestHeaders.release();
      pRequestHeaders.reset(pNew);
    }
    const std::string strType = std::string("Content-Type: ") + pszContentType;
    curl_slist* pNew = curl_slist_append(pRequestHeaders.get(), strType.c_str());
    if (pNew == nullptr) return Fail("CURLOPT_HTTPHEADER", CURLE_OUT_OF_MEMORY);
    pRequestHeaders.release();
    pRequestHeaders.reset(pNew);
    ACW_SETOPT(CURLOPT_HTTPHEADER, pRequestHeaders.get());
    return true;
  }
  ACW_SETOPT(CURLOPT_HTTPHEADER, pHeaders.get());
  return true;
}

#undef ACW_SETOPT

// The object is cheap until its first request: every request record carries one
// and only uses its static escape.
TKLibCurl::TKLibCurl() = default;
TKLibCurl::~TKLibCurl() = default;

bool TKLibCurl::TKLibCurlInit(const char*, bool, bool, void*) {
  if (!m_pImpl) m_pImpl = std::make_unique<SImpl>();
  if (m_pImpl->pEasy) return true;
  if (m_pImpl->MakeHandle()) return true;
  m_pImpl->pEasy.reset();  // a half-configured handle is never used; the next call retries
  m_pImpl->pConnectTo.reset();
  return false;
}

bool TKLibCurl::TKLibCurlSendHttpReq(int nReqType, const char* pszUrl, const char* pBody,
                                     size_t nBodyLength, bool, const char* pszExtra) {
  if (!TKLibCurlInit()) return false;
  SImpl& s = *m_pImpl;
  s.strBody.clear();
  s.bHaveResponse = false;
  s.nLastStatus = 0;
  s.nSends = 0;
  s.strLastError.clear();
  s.szErrorBuffer[0] = '\0';
  if (pszUrl == nullptr) {
    s.strLastError = "no URL";
    return false;
  }
  CURLcode eCode = curl_easy_setopt(s.pEasy.get(), CURLOPT_URL, pszUrl);
  if (eCode != CURLE_OK) return s.Fail("CURLOPT_URL", eCode);
  if (!s.ApplyMethod(nReqType, pBody, nBodyLength, pszExtra)) return false;

  eCode = curl_easy_perform(s.pEasy.get());
  if (eCode != CURLE_OK) {
    // Nothing usable arrived (refused, timed out, stalled, cut off mid-body):
    // a partial body is dropped so callers see "no answer", never half a document.
    s.strBody.clear();
    s.strLastError = s.nSends > 1 ? "connection closed before an answer arrived (not resent)"
                     : s.szErrorBuffer[0] != '\0' ? s.szErrorBuffer.data()
                                                 : curl_easy_strerror(eCode);
    s.sEvent.DebugLvl(__PRETTY_FUNCTION__, 2, "HTTP transfer failed [%s].", s.strLastError.c_str());
    return false;
  }
  s.bHaveResponse = true;
  curl_easy_getinfo(s.pEasy.get(), CURLINFO_RESPONSE_CODE, &s.nLastStatus);
  return s.nLastStatus >= 200 && s.nLastStatus < 300;
}

const char* TKLibCurl::GetHttpResponse(size_t& nLength, bool) const {
  nLength = 0;
  if (!m_pImpl || !m_pImpl->bHaveResponse) return nullptr;
  nLength = m_pImpl->strBody.size();
  return m_pImpl->strBody.c_str();
}

bool TKLibCurl::TKLibCurlSetAdditionalOptionsIntValue(int nOption, const int& nValue) {
  // Only libcurl's long-valued options (numbers below CURLOPTTYPE_OBJECTPOINT):
  // handing an int to a pointer or function option would crash inside libcurl.
  if (nOption <= 0 || nOption >= CURLOPTTYPE_OBJECTPOINT) return false;
  if (!TKLibCurlInit()) return false;
  const CURLcode eCode = curl_easy_setopt(m_pImpl->pEasy.get(), static_cast<CURLoption>(nOption),
                                          static_cast<long>(nValue));
  if (eCode != CURLE_OK) return m_pImpl->Fail("additional option", eCode);
  return true;
}

bool TKLibCurl::TKLibCurlSetOptions(const SOptions& sOptions) {
  if (!m_pImpl) m_pImpl = std::make_unique<SImpl>();
  m_pImpl->oOptions = sOptions;
  if (!m_pImpl->pEasy) return true;
  // A handle made with other options is remade with these (CA store and
  // connect-to list cannot be taken back option by option).
  m_pImpl->pEasy.reset();
  m_pImpl->pConnectTo.reset();
  return TKLibCurlInit();
}

void TKLibCurl::TKLibCurlSetHeaders(const std::vector<std::string>& vecHeaders) {
  if (!m_pImpl) m_pImpl = std::make_unique<SImpl>();
  SlistPtr pList;
  for (const std::string& strHeader : vecHeaders) {
    curl_slist* pNew = curl_slist_append(pList.get(), strHeader.c_str());
    if (pNew == nullptr) return;  // out of memory: keep the previous headers
    pList.release();
    pList.reset(pNew);
  }
  // The handle points at the old list until the next request sets the new one;
  // both happen on this thread, so the swap is safe.
  m_pImpl->pHeaders = std::move(pList);
  if (m_pImpl->pEasy) curl_easy_setopt(m_pImpl->pEasy.get(), CURLOPT_HTTPHEADER, m_pImpl->pHeaders.get());
}

void TKLibCurl::TKLibCurlSetConnectTimeoutMs(long nMilliseconds) {
  if (!m_pImpl) m_pImpl = std::make_unique<SImpl>();
  m_pImpl->nConnectTimeoutMs = nMilliseconds > 0 ? nMilliseconds : 0;
  if (m_pImpl->pEasy) (void)m_pImpl->ApplyConnectTimeout();
}

void TKLibCurl::TKLibCurlSetNoProxy(bool bNoProxy) {
  if (!m_pImpl) m_pImpl = std::make_unique<SImpl>();
  m_pImpl->bNoProxy = bNoProxy;
  if (m_pImpl->pEasy) (void)m_pImpl->ApplyNoProxy();
}

long TKLibCurl::GetLastHttpStatus() const { return m_pImpl ? m_pImpl->nLastStatus : 0; }

std::string TKLibCurl::GetLastTransportError() const {
  return m_pImpl ? m_pImpl->strLastError : std::string();
}

// Signing escapes every name and value twice, so these are on the hot path:
// texts that need no escaping are copied whole, the others are written
// through a pointer into room reserved once for the worst case.
bool TKLibCurl::TKLibCurlUrlNeedsEscape(const std::string& in) {
  for (const char ch : in) {
    if (!ESCAPE_TABLE.bKeep[static_cast<unsigned char>(ch)]) return true;
  }
  return false;
}

char* TKLibCurl::TKLibCurlUrlEscapeTo(const std::string& in, char* pOut) {
  // Every step copies a whole four-byte entry and keeps only its length,
  // hence the one byte of room beyond the worst case.
  for (const char ch : in) {
    const SEscapeCode& sCode = ESCAPE_TABLE.code[static_cast<unsigned char>(ch)];
    std::memcpy(pOut, &sCode, sizeof(sCode));
    pOut += sCode.nLength;
  }
  return pOut;
}

void TKLibCurl::TKLibCurlUrlEscapeAppend(const std::string& in, std::string& out) {
  const size_t nStart = out.size();
  out.resize(nStart + 3 * in.size() + 1);
  char* const pEnd = TKLibCurlUrlEscapeTo(in, out.data() + nStart);
  out.resize(static_cast<size_t>(pEnd - out.data()));
}

bool TKLibCurl::TKLibCurlUrlEscape(const std::string& in, std::string& out) {
  if (!TKLibCurlUrlNeedsEscape(in)) {
    out.assign(in);
    return true;
  }
  out.clear();
  TKLibCurlUrlEscapeAppend(in, out);
  return true;
}

}  // namespace AliCloudWrapper
