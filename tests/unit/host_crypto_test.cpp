#include <gtest/gtest.h>

#include <string>

#include "host/CTimeStamp.h"
#include "host/TkcHash.h"

namespace AliCloudWrapper {
namespace {

std::string Hex(const unsigned char* pBytes, size_t nLength) {
  static const char* digits = "0123456789abcdef";
  std::string strHex;
  for (size_t i = 0; i < nLength; ++i) {
    strHex += digits[pBytes[i] >> 4];
    strHex += digits[pBytes[i] & 0xf];
  }
  return strHex;
}

// RFC 2202 cases, each signed twice with one keying: a key set once serves
// every message after it (the connection signs all its requests so). The
// Base64 of the signature is pinned by the SDK's signing vectors.
TEST(HostCryptoTest, HmacSha1KeyedOnceMatchesRfc2202ForEveryMessage) {
  const struct {
    std::string strKey, strData, strHex;
  } aCases[] = {
      {"Jefe", "what do ya want for nothing?", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
      // A key beyond one block is hashed first.
      {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
       "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
      // An empty key is a valid HMAC key (RFC 2104 pads it with zeros).
      {"", "", "fbdb1d1b18aa6c08324b7d64b71fb76370690e1d"},
  };
  for (const auto& c : aCases) {
    CHmacSha1Key sKey;
    ASSERT_TRUE(sKey.SetKey(c.strKey.data(), c.strKey.size()));
    for (int n = 0; n < 2; ++n) {
      unsigned char digest[CHmacSha1Key::DIGEST_LENGTH];
      ASSERT_TRUE(sKey.Sign(c.strData.data(), c.strData.size(), digest));
      EXPECT_EQ(Hex(digest, sizeof(digest)), c.strHex) << c.strData << " " << n;
    }
  }
  CHmacSha1Key sCleared;
  ASSERT_TRUE(sCleared.SetKey("Jefe", 4));
  sCleared.Clear();
  unsigned char digest[CHmacSha1Key::DIGEST_LENGTH];
  EXPECT_FALSE(sCleared.Sign("x", 1, digest)) << "a released key signs nothing";
}

int64_t FixedClock() { return 1456231584007000; }  // 2016-02-23T12:46:24.007Z

TEST(HostCryptoTest, TimeStampFormat) {
  CTimeStamp::SetClock(&FixedClock);
  EXPECT_EQ(CTimeStamp::Now().AsUTCDateTimeString(), "2016/02/23 12:46:24.007");
  CTimeStamp::SetClock(nullptr);

  EXPECT_EQ(CTimeStamp(0).AsUTCDateTimeString(), "1970/01/01 00:00:00.000");
  EXPECT_EQ(CTimeStamp(951782400999999).AsUTCDateTimeString(), "2000/02/29 00:00:00.999");
  // Before the epoch the fraction still counts forward from the second before.
  EXPECT_EQ(CTimeStamp(-1).AsUTCDateTimeString(), "1969/12/31 23:59:59.999");
  // The system clock is used again once the fixed one is removed.
  EXPECT_GT(CTimeStamp::Now().Microseconds(), FixedClock());
}

}  // namespace
}  // namespace AliCloudWrapper
