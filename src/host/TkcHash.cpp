#include "host/TkcHash.h"

#include <climits>
#include <cstring>
#include <memory>

#include <openssl/crypto.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>

namespace AliCloudWrapper {

namespace {

struct SMacCtxFree {
  void operator()(EVP_MAC_CTX* p) const { EVP_MAC_CTX_free(p); }
};
using MacCtxPtr = std::unique_ptr<EVP_MAC_CTX, SMacCtxFree>;

// The HMAC implementation, fetched from OpenSSL's provider once per process
// (an explicit fetch spares every keying a locked provider lookup). Never
// freed: OpenSSL's own exit handler may already have unloaded the provider
// when static destructors run.
EVP_MAC* Hmac() {
  static EVP_MAC* const pHmac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
  return pHmac;
}

}  // namespace

CHmacSha1Key::CHmacSha1Key() = default;
CHmacSha1Key::~CHmacSha1Key() { Clear(); }

void CHmacSha1Key::Clear() {
  EVP_MAC_CTX_free(m_pContext);
  m_pContext = nullptr;
}

bool CHmacSha1Key::SetKey(const void* pKey, size_t nLength) {
  Clear();
  static const unsigned char kEmpty = 0;
  MacCtxPtr pNew(Hmac() ? EVP_MAC_CTX_new(Hmac()) : nullptr);
  char szDigest[] = "SHA1";
  const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string("digest", szDigest, 0),
                               OSSL_PARAM_construct_end()};
  const unsigned char* pBytes = nLength > 0 ? static_cast<const unsigned char*>(pKey) : &kEmpty;
  if (!pNew || (pKey == nullptr && nLength > 0) || EVP_MAC_init(pNew.get(), pBytes, nLength, params) != 1) {
    return false;
  }
  m_pContext = pNew.release();
  return true;
}

bool CHmacSha1Key::Sign(const void* pData, size_t nLength, unsigned char* pOut) {
  if (m_pContext == nullptr) return false;
  // A null key restarts the MAC under the key it holds: no key schedule per message.
  size_t nWritten = 0;
  unsigned char digest[EVP_MAX_MD_SIZE];
  const bool bOk = EVP_MAC_init(m_pContext, nullptr, 0, nullptr) == 1 &&
                   EVP_MAC_update(m_pContext, static_cast<const unsigned char*>(pData), nLength) == 1 &&
                   EVP_MAC_final(m_pContext, digest, &nWritten, sizeof(digest)) == 1 &&
                   nWritten == DIGEST_LENGTH;
  if (bOk) std::memcpy(pOut, digest, DIGEST_LENGTH);
  return bOk;
}

void SecureWipe(void* p, size_t n) {
  if (p != nullptr && n > 0) OPENSSL_cleanse(p, n);
}

bool base64Encode(const std::string& in, std::string& out) {
  // EVP_EncodeBlock takes an int length and writes 4 characters per 3 bytes
  // plus a terminating zero.
  if (in.size() > static_cast<size_t>(INT_MAX / 4 * 3)) return false;
  std::string strEncoded(4 * ((in.size() + 2) / 3) + 1, '\0');
  int nLength = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(strEncoded.data()),
                                reinterpret_cast<const unsigned char*>(in.data()),
                                static_cast<int>(in.size()));
  if (nLength < 0) return false;
  strEncoded.resize(static_cast<size_t>(nLength));
  out = std::move(strEncoded);
  return true;
}

}  // namespace AliCloudWrapper
