#include "host/TkcHash.h"

#include <climits>
#include <cstring>

#include <openssl/crypto.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>

namespace AliCloudWrapper {

namespace {

struct SMdCtxFree {
  void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
};
using MdCtxPtr = std::unique_ptr<EVP_MD_CTX, SMdCtxFree>;
struct SMacCtxFree {
  void operator()(EVP_MAC_CTX* p) const { EVP_MAC_CTX_free(p); }
};
using MacCtxPtr = std::unique_ptr<EVP_MAC_CTX, SMacCtxFree>;

constexpr int kAlgorithmSha1 = 1;

// The SHA-1 digest and the HMAC implementation, fetched from OpenSSL's
// provider once per process (an explicit fetch spares every use a locked
// provider lookup). Never freed: OpenSSL's own exit handler may already have
// unloaded the provider when static destructors run.
const EVP_MD* Sha1() {
  static EVP_MD* const pSha1 = EVP_MD_fetch(nullptr, "SHA1", nullptr);
  return pSha1;
}

EVP_MAC* Hmac() {
  static EVP_MAC* const pHmac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
  return pHmac;
}

}  // namespace

// HMAC-SHA1 through OpenSSL's MAC interface, keyed once per setKey; each
// finish re-initialises the context under the same key (OpenSSL keeps the key
// inside the context and wipes it when the context is freed). Without a key
// the object is a plain SHA-1 digest.
struct TkcHash::SImpl {
  int nAlgorithm = kAlgorithmSha1;
  MdCtxPtr pDigest;
  MacCtxPtr pMac;
  bool bKeyed = false;
  bool bStarted = false;  // a computation is running
  bool bFailed = false;

  bool Start() {
    if (bKeyed) {
      // A null key restarts the MAC under the key it already holds.
      bStarted = EVP_MAC_init(pMac.get(), nullptr, 0, nullptr) == 1;
    } else {
      if (!pDigest) pDigest.reset(EVP_MD_CTX_new());
      bStarted = pDigest && Sha1() != nullptr && EVP_DigestInit_ex2(pDigest.get(), Sha1(), nullptr) == 1;
    }
    return bStarted;
  }

  bool SetKey(const unsigned char* pKey, size_t nLength) {
    static const unsigned char kEmpty = 0;
    if (!pMac) pMac.reset(Hmac() ? EVP_MAC_CTX_new(Hmac()) : nullptr);
    if (!pMac) return false;
    char szDigest[] = "SHA1";
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string("digest", szDigest, 0),
                                 OSSL_PARAM_construct_end()};
    bKeyed = EVP_MAC_init(pMac.get(), nLength > 0 ? pKey : &kEmpty, nLength, params) == 1;
    bStarted = bKeyed;
    return bKeyed;
  }

  bool Update(const void* pData, size_t nLength) {
    return bKeyed ? EVP_MAC_update(pMac.get(), static_cast<const unsigned char*>(pData), nLength) == 1
                  : EVP_DigestUpdate(pDigest.get(), pData, nLength) == 1;
  }

  bool Finish(unsigned char* pOut) {
    if (!bStarted && !Start()) return false;
    bStarted = false;
    if (bKeyed) {
      size_t nLength = 0;
      return EVP_MAC_final(pMac.get(), pOut, &nLength, EVP_MAX_MD_SIZE) == 1 &&
             nLength == TkcSHA1::DIGEST_LENGTH;
    }
    unsigned int nLength = 0;
    return EVP_DigestFinal_ex(pDigest.get(), pOut, &nLength) == 1 && nLength == TkcSHA1::DIGEST_LENGTH;
  }
};

TkcHash::TkcHash(int nAlgorithm) : m_pImpl(std::make_unique<SImpl>()) {
  m_pImpl->nAlgorithm = nAlgorithm;
  m_pImpl->bFailed = nAlgorithm != kAlgorithmSha1;
}

TkcHash::~TkcHash() = default;

size_t TkcHash::DigestLength() const { return TkcSHA1::DIGEST_LENGTH; }

void TkcHash::setKey(const void* pKey, size_t nLength) {
  SImpl& impl = *m_pImpl;
  if (impl.nAlgorithm != kAlgorithmSha1) return;
  impl.bKeyed = false;
  impl.bStarted = false;
  impl.bFailed = (pKey == nullptr && nLength > 0) ||
                 !impl.SetKey(static_cast<const unsigned char*>(pKey), nLength);
}

void TkcHash::addData(const void* pData, size_t nLength) {
  SImpl& impl = *m_pImpl;
  if (impl.bFailed || nLength == 0) return;
  if (pData == nullptr || (!impl.bStarted && !impl.Start())) {
    impl.bFailed = true;
    return;
  }
  impl.bFailed = !impl.Update(pData, nLength);
}

bool TkcHash::finish(void* pBuffer, size_t nSize) {
  SImpl& impl = *m_pImpl;
  if (pBuffer == nullptr || nSize < TkcSHA1::DIGEST_LENGTH) return false;
  unsigned char digest[EVP_MAX_MD_SIZE];
  bool bOk = !impl.bFailed && impl.Finish(digest);
  // The next message starts clean under the same key; a failure does not stick.
  impl.bFailed = impl.nAlgorithm != kAlgorithmSha1;
  impl.bStarted = false;
  if (bOk) std::memcpy(pBuffer, digest, TkcSHA1::DIGEST_LENGTH);
  return bOk;
}

TkcSHA1::TkcSHA1() : TkcHash(kAlgorithmSha1) {}

TkcSHA1::~TkcSHA1() = default;

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
