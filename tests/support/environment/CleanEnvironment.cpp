// Linked into every test program: before any test runs, the settings file and
// the proxies of the caller's environment are forgotten, so a developer's
// ACW_SETTINGS (a raised log level, other retries, a log file) or proxy cannot
// change what the tests see. Tests that want a settings file set one themselves.
#include <cstdlib>
#include <initializer_list>

namespace {

bool ForgetCallerEnvironment() {
  for (const char* pszName : {"ACW_SETTINGS", "http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY",
                              "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY", "CURL_CA_BUNDLE",
                              "SSL_CERT_FILE", "SSL_CERT_DIR"}) {
    unsetenv(pszName);
  }
  return true;
}

[[maybe_unused]] const bool g_bForgotten = ForgetCallerEnvironment();

}  // namespace
