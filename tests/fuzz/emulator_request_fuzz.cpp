// The emulator's request handling over arbitrary input. The first byte picks
// the path: even, the rest is raw request bytes read by Beast's parser with the
// server's limits and handed to the handler the server would pick (control
// routes, service API, metadata); odd, the rest is the query of an API request
// that gets the common parameters and a valid signature added here, so the
// actions themselves run on fuzzed parameters.
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <ctime>
#include <string>

#include "Core.h"
#include "Signing.h"

namespace {

using namespace AcwEmulator;
namespace http = boost::beast::http;

State& TheState() {
  static State s_state{Options{}};
  return s_state;
}

HttpIn FromRaw(const std::string& strRaw, bool& bParsed) {
  HttpIn in;
  http::request_parser<http::string_body> parser;
  parser.body_limit(1 << 20);
  parser.header_limit(1 << 20);
  parser.eager(true);
  boost::beast::error_code ec;
  parser.put(boost::asio::buffer(strRaw), ec);
  if (!ec && !parser.is_done()) parser.put_eof(ec);
  bParsed = !ec && parser.is_done();
  if (!bParsed) return in;
  const auto& request = parser.get();
  in.method = std::string(request.method_string());
  in.target = std::string(request.target());
  in.host = std::string(request[http::field::host]);
  in.contentType = std::string(request[http::field::content_type]);
  in.body = request.body();
  for (const auto& field : request) {
    std::string strName(field.name_string());
    for (char& c : strName) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    in.headers[strName] = std::string(field.value());
  }
  return in;
}

std::string NowText() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  char sz[32];
  std::strftime(sz, sizeof sz, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return sz;
}

HttpIn SignedApiRequest(unsigned char nSelector, const std::string& strQuery) {
  static const Product s_products[] = {Product::Ecs, Product::Vpc, Product::Rds};
  static unsigned long s_nNonce = 0;
  const Product eProduct = s_products[(nSelector >> 1) % 3];
  Params params;
  ParseFormInto(strQuery, params);
  params.emplace_back("Format", "JSON");
  params.emplace_back("Version", ProductVersion(eProduct));
  params.emplace_back("AccessKeyId", "acw-demo-key");
  params.emplace_back("SignatureMethod", "HMAC-SHA1");
  params.emplace_back("SignatureVersion", "1.0");
  params.emplace_back("SignatureNonce", "fuzz-" + std::to_string(++s_nNonce));
  params.emplace_back("Timestamp", NowText());
  params.emplace_back("Signature", Sign("acw-demo-secret", StringToSign("GET", params)));
  HttpIn in;
  in.method = "GET";
  in.host = std::string(ProductKey(eProduct)) + ".aliyuncs.com";
  in.target = "/?";
  for (const auto& [strName, strValue] : params) {
    in.target += PercentEncode(strName) + "=" + PercentEncode(strValue) + "&";
  }
  in.target.pop_back();
  return in;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  if (nSize == 0) return 0;
  State& state = TheState();
  // The world, the journal and the nonces grow with every request; start
  // afresh now and then so a long run stays within memory.
  static unsigned s_nRuns = 0;
  if (++s_nRuns % 4096 == 0) {
    std::lock_guard<std::mutex> lock(state.mutex);
    state.ResetLocked();
  }
  const std::string strRest(reinterpret_cast<const char*>(pData) + 1, nSize - 1);
  if ((pData[0] & 1) != 0) {
    (void)HandleApi(state, SignedApiRequest(pData[0], strRest));
    return 0;
  }
  bool bParsed = false;
  const HttpIn in = FromRaw(strRest, bParsed);
  if (!bParsed) return 0;
  if ((pData[0] & 2) != 0) {
    (void)HandleMetadata(state, in);
  } else if (in.target.rfind("/_emulator/", 0) == 0) {
    (void)HandleControl(state, in);
  } else {
    (void)HandleApi(state, in);
  }
  return 0;
}
