// Keyed hashing (HMAC-SHA1 over OpenSSL) and Base64, as the request signer uses them.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "host/SecureMemory.h"

namespace AliCloudWrapper {

class TkcHash {
 public:
  virtual ~TkcHash();
  // Sets the HMAC key; data added afterwards is authenticated with it.
  void setKey(const void* pKey, size_t nLength);
  void addData(const void* pData, size_t nLength);
  // Writes the digest (HMAC when a key was set) into pBuffer; false when nSize is too small.
  bool finish(void* pBuffer, size_t nSize);
  size_t DigestLength() const;

 protected:
  explicit TkcHash(int nAlgorithm);

 private:
  struct SImpl;
  std::unique_ptr<SImpl> m_pImpl;
};

class TkcSHA1 : public TkcHash {
 public:
  static constexpr size_t DIGEST_LENGTH = 20;
  TkcSHA1();
  // Defined in the library, so the vtable and type info live there only.
  ~TkcSHA1() override;
};

// SecureWipe: see host/SecureMemory.h.

// Standard padded Base64 (RFC 4648) of in. False only on an internal failure.
bool base64Encode(const std::string& in, std::string& out);

}  // namespace AliCloudWrapper
