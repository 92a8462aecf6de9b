#include "host/TkcHash.h"

#include <climits>
#include <cstring>

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>

namespace AliCloudWrapper {

namespace {

struct SMacFree {
  void operator()(EVP_MAC* p) const { EVP_MAC_free(p); }
};
struct SMacCtxFree {
  void operator()(EVP_MAC_CTX* p) const { EVP_MAC_CTX_free(p); }
};
struct SMdCtxFree {
  void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
};
using MacPtr = std::unique_ptr<EVP_MAC, SMacFree>;
using MacCtxPtr = std::unique_ptr<EVP_MAC_CTX, SMacCtxFree>;
using MdCtxPtr = std::unique_ptr<EVP_MD_CTX, SMdCtxFree>;

constexpr int kAlgorithmSha1 = 1;

EVP_MAC_CTX* MakeSha1HmacTemplate() {
  MacPtr pMac(EVP_MAC_fetch(nullptr, OSSL_MAC_NAME_HMAC, nullptr));
  if (!pMac) return nullptr;
  MacCtxPtr pCtx(EVP_MAC_CTX_new(pMac.get()));  // holds its own reference to the MAC
  if (!pCtx) return nullptr;
  char digest[] = OSSL_DIGEST_NAME_SHA1;
  OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
      OSSL_PARAM_construct_end(),
  };
  if (EVP_MAC_CTX_set_params(pCtx.get(), params) != 1) return nullptr;
  return pCtx.release();
}

// Fetching the HMAC implementation and binding it to SHA-1 are the costly
// parts of OpenSSL 3's MAC setup (a locked provider lookup each). Both are done
// once per process into a template context; each hash object copies it, so a
// signature costs only the copy and the HMAC itself. The template is never
// freed: OpenSSL's own exit handler may already have unloaded its providers
// when static destructors run, and freeing a context then is unsafe.
const EVP_MAC_CTX* Sha1HmacTemplate() {
  static EVP_MAC_CTX* const pTemplate = MakeSha1HmacTemplate();
  return pTemplate;
}

}  // namespace

// Without a key the object is a plain digest; setKey turns it into an HMAC.
// After finish it starts over, keeping the key.
struct TkcHash::SImpl {
  int nAlgorithm = kAlgorithmSha1;
  MacCtxPtr pMac;    // set while keyed
  MdCtxPtr pDigest;  // set while unkeyed and data was added
  bool bFailed = false;

  bool StartDigest() {
    pDigest.reset(EVP_MD_CTX_new());
    return pDigest && EVP_DigestInit_ex(pDigest.get(), EVP_sha1(), nullptr) == 1;
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
  impl.pDigest.reset();
  const EVP_MAC_CTX* pTemplate = Sha1HmacTemplate();
  impl.pMac.reset(pTemplate != nullptr ? EVP_MAC_CTX_dup(pTemplate) : nullptr);
  // OpenSSL takes a null key as "keep the previous key"; an empty key must be
  // an empty key, so point at a valid byte with length 0.
  static const unsigned char emptyKey = 0;
  const unsigned char* pBytes = nLength > 0 ? static_cast<const unsigned char*>(pKey) : &emptyKey;
  impl.bFailed = !impl.pMac || (nLength > 0 && pKey == nullptr) ||
                 EVP_MAC_init(impl.pMac.get(), pBytes, nLength, nullptr) != 1;
}

void TkcHash::addData(const void* pData, size_t nLength) {
  SImpl& impl = *m_pImpl;
  if (impl.bFailed || nLength == 0) return;
  if (pData == nullptr) {
    impl.bFailed = true;
    return;
  }
  if (impl.pMac) {
    impl.bFailed = EVP_MAC_update(impl.pMac.get(), static_cast<const unsigned char*>(pData), nLength) != 1;
    return;
  }
  if (!impl.pDigest && !impl.StartDigest()) {
    impl.bFailed = true;
    return;
  }
  impl.bFailed = EVP_DigestUpdate(impl.pDigest.get(), pData, nLength) != 1;
}

bool TkcHash::finish(void* pBuffer, size_t nSize) {
  SImpl& impl = *m_pImpl;
  if (pBuffer == nullptr || nSize < TkcSHA1::DIGEST_LENGTH) return false;
  bool bOk = !impl.bFailed;
  unsigned char digest[EVP_MAX_MD_SIZE];
  if (bOk && impl.pMac) {
    size_t nWritten = 0;
    bOk = EVP_MAC_final(impl.pMac.get(), digest, &nWritten, sizeof(digest)) == 1 &&
          nWritten == TkcSHA1::DIGEST_LENGTH;
    // Ready for the next message under the same key (a null key keeps it).
    impl.bFailed = EVP_MAC_init(impl.pMac.get(), nullptr, 0, nullptr) != 1;
  } else if (bOk) {
    // No data at all is still a digest: that of the empty message.
    unsigned int nWritten = 0;
    bOk = (impl.pDigest || impl.StartDigest()) &&
          EVP_DigestFinal_ex(impl.pDigest.get(), digest, &nWritten) == 1 &&
          nWritten == TkcSHA1::DIGEST_LENGTH;
    impl.pDigest.reset();
  }
  if (bOk) std::memcpy(pBuffer, digest, TkcSHA1::DIGEST_LENGTH);
  return bOk;
}

TkcSHA1::TkcSHA1() : TkcHash(kAlgorithmSha1) {}

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
