// Secret material leaves no copy in released memory, and nonces never repeat:
// not within one connection, and not between processes that never call Connect.
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <regex>
#include <set>
#include <string>

#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/EvEvent.h"

// Every block this program releases is searched for the watched text first.
// The replacements below pair malloc with free on purpose.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
namespace {
std::atomic<bool> g_bWatching{false};
char g_szWatched[64];
size_t g_nWatched = 0;
std::atomic<int> g_nReleasedWithSecret{0};

void CheckReleased(void* p) {
  if (!g_bWatching || p == nullptr) return;
  const size_t nSize = malloc_usable_size(p);
  if (nSize >= g_nWatched && memmem(p, nSize, g_szWatched, g_nWatched) != nullptr) ++g_nReleasedWithSecret;
}
}  // namespace

void* operator new(size_t n) {
  void* p = std::malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  return p;
}
void operator delete(void* p) noexcept {
  CheckReleased(p);
  std::free(p);
}
void operator delete(void* p, size_t) noexcept {
  CheckReleased(p);
  std::free(p);
}

namespace AliCloudWrapper {
namespace {

TEST(HostSecretsTest, ReleasedBuffersHoldNoSecret) {
  // Long (heap) and short (held inline) secrets, registered twice, withdrawn,
  // and held by connections that are replaced and destroyed.
  for (const char* pszSecret : {"Wq8-long-secret-held-on-the-heap-7Zx", "Sh0rt-9"}) {
    SCOPED_TRACE(pszSecret);
    std::strcpy(g_szWatched, pszSecret);
    g_nWatched = std::strlen(pszSecret);
    const std::string strSecret(pszSecret);  // the test's own copy lives on
    g_nReleasedWithSecret = 0;
    g_bWatching = true;
    EvLog::RegisterSecret(strSecret);
    EvLog::RegisterSecret(strSecret);
    EvLog::RegisterSecret("another-secret-of-some-length-000");
    EvLog::UnregisterSecret(strSecret);
    EvLog::UnregisterSecret(strSecret);
    EvLog::UnregisterSecret("another-secret-of-some-length-000");
    {
      CAliCloudECSConnection sConnection;
      sConnection.SetAccessKeySecret(strSecret);
      sConnection.SetAccessKeySecret("replacement-secret-0123456789");
      sConnection.SetAccessKeySecret(strSecret);
    }
    g_bWatching = false;
    EXPECT_EQ(g_nReleasedWithSecret.load(), 0);
  }
}

std::string FirstNonce() {
  CAliCloudECSConnection sConnection;  // never connected
  SAliCloudRequest sRequest;
  sConnection.AddPublicParameters(sRequest);
  for (const URLParameter& sPair : sRequest.vecParameters) {
    if (sPair.first == "SignatureNonce") return sPair.second;
  }
  return "";
}

TEST(HostNoncesTest, UuidNoncesNeverRepeat) {
  CAliCloudECSConnection sConnection;
  std::set<std::string> setSeen;
  const std::regex sUuid("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
  for (int n = 0; n < 100000; ++n) {
    std::string strNonce = sConnection.GetSignatureNonce();
    if (n < 100) {
      EXPECT_TRUE(std::regex_match(strNonce, sUuid)) << strNonce;
    }
    setSeen.insert(std::move(strNonce));
  }
  EXPECT_EQ(setSeen.size(), 100000u);

  // Another process, same program, no Connect: a different first nonce.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t nChild = fork();
  ASSERT_GE(nChild, 0);
  if (nChild == 0) {
    const std::string strNonce = FirstNonce();
    (void)!write(fds[1], strNonce.data(), strNonce.size());
    _exit(0);
  }
  close(fds[1]);
  char szBuffer[64] = {};
  const ssize_t nRead = read(fds[0], szBuffer, sizeof(szBuffer) - 1);
  close(fds[0]);
  waitpid(nChild, nullptr, 0);
  ASSERT_EQ(nRead, 36);
  EXPECT_NE(std::string(szBuffer), FirstNonce());
}

}  // namespace
}  // namespace AliCloudWrapper
