#include <gtest/gtest.h>

#include <string>
#include <utility>

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
// every message after it (the connection signs all its requests so).
TEST(HostCryptoTest, HmacSha1KeyedOnceMatchesRfc2202ForEveryMessage) {
  const struct {
    std::string strKey, strData, strHex;
  } aCases[] = {
      {std::string(20, '\x0b'), "Hi There", "b617318655057264e28bc0b6fb378c8ef146be00"},
      {"Jefe", "what do ya want for nothing?", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
      // A key beyond one block is hashed first; data beyond one block.
      {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
       "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
      {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
       "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"},
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

TEST(HostCryptoTest, Base64IsStandardAndPadded) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {std::string("\xfb\xff\xbf", 3), "+/+/"}};
  for (const auto& c : cases) {
    std::string strOut = "stale";
    ASSERT_TRUE(base64Encode(c.first, strOut));
    EXPECT_EQ(strOut, c.second);
  }
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
