#include "host/TkcHash.h"

#include <climits>
#include <cstring>

#include <openssl/crypto.h>
#include <openssl/evp.h>

namespace AliCloudWrapper {

namespace {

struct SMdCtxFree {
  void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
};
using MdCtxPtr = std::unique_ptr<EVP_MD_CTX, SMdCtxFree>;

constexpr int kAlgorithmSha1 = 1;
constexpr size_t kBlockSize = 64;  // SHA-1's input block

// The SHA-1 implementation, fetched from OpenSSL's provider once per process:
// an explicit fetch spares every digest start a locked provider lookup. It is
// never freed, because OpenSSL's own exit handler may already have unloaded
// the provider when static destructors run.
const EVP_MD* Sha1() {
  static EVP_MD* const pSha1 = EVP_MD_fetch(nullptr, "SHA1", nullptr);
  return pSha1;
}

}  // namespace

// HMAC (RFC 2104) written out over the digest: H((K ^ opad) || H((K ^ ipad) || m)).
// OpenSSL's generic MAC interface costs twice as much per signature (context
// copies and parameter handling), and signing runs once per request. Without a
// key the object is a plain digest. After finish it starts over, keeping the key.
struct TkcHash::SImpl {
  int nAlgorithm = kAlgorithmSha1;
  MdCtxPtr pCtx;
  bool bKeyed = false;
  bool bStarted = false;  // pCtx holds a running computation
  bool bFailed = false;
  unsigned char innerPad[kBlockSize] = {};
  unsigned char outerPad[kBlockSize] = {};

  ~SImpl() { ForgetKey(); }

  // The pads are derived from the secret; they do not outlive their use.
  void ForgetKey() {
    OPENSSL_cleanse(innerPad, sizeof(innerPad));
    OPENSSL_cleanse(outerPad, sizeof(outerPad));
    bKeyed = false;
  }

  bool Start() {
    if (!pCtx) pCtx.reset(EVP_MD_CTX_new());
    bStarted = pCtx && Sha1() != nullptr && EVP_DigestInit_ex2(pCtx.get(), Sha1(), nullptr) == 1 &&
               (!bKeyed || EVP_DigestUpdate(pCtx.get(), innerPad, kBlockSize) == 1);
    return bStarted;
  }

  bool SetKey(const unsigned char* pKey, size_t nLength) {
    unsigned char block[kBlockSize] = {};
    bool bOk = true;
    if (nLength > kBlockSize) {
      // A key longer than a block is replaced by its digest.
      unsigned int nDigest = 0;
      bOk = Sha1() != nullptr && EVP_Digest(pKey, nLength, block, &nDigest, Sha1(), nullptr) == 1;
    } else if (nLength > 0) {
      std::memcpy(block, pKey, nLength);
    }
    for (size_t i = 0; i < kBlockSize; ++i) {
      innerPad[i] = static_cast<unsigned char>(block[i] ^ 0x36);
      outerPad[i] = static_cast<unsigned char>(block[i] ^ 0x5c);
    }
    OPENSSL_cleanse(block, sizeof(block));
    bKeyed = true;
    return bOk && Start();
  }

  bool Finish(unsigned char* pDigest) {
    unsigned int nLength = 0;
    if (!bStarted && !Start()) return false;
    bStarted = false;
    if (EVP_DigestFinal_ex(pCtx.get(), pDigest, &nLength) != 1) return false;
    if (!bKeyed) return nLength == TkcSHA1::DIGEST_LENGTH;
    unsigned char inner[EVP_MAX_MD_SIZE];
    std::memcpy(inner, pDigest, nLength);
    return EVP_DigestInit_ex2(pCtx.get(), Sha1(), nullptr) == 1 &&
           EVP_DigestUpdate(pCtx.get(), outerPad, kBlockSize) == 1 &&
           EVP_DigestUpdate(pCtx.get(), inner, nLength) == 1 &&
           EVP_DigestFinal_ex(pCtx.get(), pDigest, &nLength) == 1 &&
           nLength == TkcSHA1::DIGEST_LENGTH;
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
  impl.ForgetKey();
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
  impl.bFailed = EVP_DigestUpdate(impl.pCtx.get(), pData, nLength) != 1;
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
