// HMAC-SHA1 over OpenSSL's MAC interface and Base64, as the request signer uses them.
#pragma once

#include <cstddef>
#include <string>

#include "host/SecureMemory.h"

struct evp_mac_ctx_st;  // OpenSSL's EVP_MAC_CTX

namespace AliCloudWrapper {

// HMAC-SHA1 keyed once and used for many messages: a connection keys it with
// its secret and signs every request with it, so no request pays for setting
// up the MAC. OpenSSL keeps the key inside the context and wipes it when the
// context is freed (Clear, or the destructor).
class CHmacSha1Key {
 public:
  static constexpr size_t DIGEST_LENGTH = 20;
  CHmacSha1Key();
  ~CHmacSha1Key();
  CHmacSha1Key(const CHmacSha1Key&) = delete;
  CHmacSha1Key& operator=(const CHmacSha1Key&) = delete;

  // Keys the context; false (and unkeyed) when OpenSSL refuses.
  bool SetKey(const void* pKey, size_t nLength);
  bool IsKeyed() const { return m_pContext != nullptr; }
  // Frees the context and with it the key.
  void Clear();
  // The HMAC of one message into pOut (DIGEST_LENGTH bytes); false when unkeyed or on failure.
  bool Sign(const void* pData, size_t nLength, unsigned char* pOut);

 private:
  ::evp_mac_ctx_st* m_pContext = nullptr;
};

// SecureWipe: see host/SecureMemory.h.

// Standard padded Base64 (RFC 4648) of in. False only on an internal failure.
bool base64Encode(const std::string& in, std::string& out);

}  // namespace AliCloudWrapper
