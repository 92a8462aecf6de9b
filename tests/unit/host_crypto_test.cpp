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

std::string HmacSha1Hex(const std::string& strKey, const std::string& strData) {
  TkcSHA1 hash;
  hash.setKey(strKey.data(), strKey.size());
  hash.addData(strData.data(), strData.size());
  unsigned char digest[21] = {};
  EXPECT_TRUE(hash.finish(digest, sizeof(digest)));
  return Hex(digest, 20);
}

TEST(HostCryptoTest, HmacSha1MatchesRfc2202) {
  struct SCase {
    std::string strKey, strData, strDigest;
  } cases[] = {
      {std::string(20, '\x0b'), "Hi There", "b617318655057264e28bc0b6fb378c8ef146be00"},
      {"Jefe", "what do ya want for nothing?", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
      {std::string(20, '\xaa'), std::string(50, '\xdd'), "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
      {"\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19",
       std::string(50, '\xcd'), "4c9007f4026250c6bc8414f9bf50c86c2d7235da"},
      {std::string(20, '\x0c'), "Test With Truncation", "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04"},
      {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
       "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
      {std::string(80, '\xaa'),
       "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
       "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"},
  };
  for (const SCase& c : cases) EXPECT_EQ(HmacSha1Hex(c.strKey, c.strData), c.strDigest);
}

TEST(HostCryptoTest, HashObjectLifecycle) {
  // Data added in pieces gives the same HMAC; finish starts over with the same key.
  TkcSHA1 hash;
  hash.setKey("Jefe", 4);
  hash.addData("what do ya ", 11);
  hash.addData("want for nothing?", 17);
  unsigned char digest[20];
  ASSERT_TRUE(hash.finish(digest, sizeof(digest)));
  EXPECT_EQ(Hex(digest, 20), "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79");
  hash.addData("what do ya want for nothing?", 28);
  ASSERT_TRUE(hash.finish(digest, sizeof(digest)));
  EXPECT_EQ(Hex(digest, 20), "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79");

  EXPECT_FALSE(hash.finish(digest, 19));  // too small a buffer is refused, not overrun
  EXPECT_EQ(hash.DigestLength(), 20u);

  // An empty key is a valid HMAC key (RFC 2104 pads it with zeros).
  EXPECT_EQ(HmacSha1Hex("", ""), "fbdb1d1b18aa6c08324b7d64b71fb76370690e1d");

  // Without a key the object is plain SHA-1 (FIPS 180 "abc").
  TkcSHA1 plain;
  plain.addData("abc", 3);
  ASSERT_TRUE(plain.finish(digest, sizeof(digest)));
  EXPECT_EQ(Hex(digest, 20), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST(HostCryptoTest, Base64IsStandardAndPadded) {
  struct SCase {
    std::string strIn, strOut;
  } cases[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {std::string("\xfb\xff\xbf", 3), "+/+/"},
  };
  for (const SCase& c : cases) {
    std::string strOut = "stale";
    ASSERT_TRUE(base64Encode(c.strIn, strOut));
    EXPECT_EQ(strOut, c.strOut);
  }
  // A 20-byte digest gives 28 characters ending in one "=".
  std::string strOut;
  ASSERT_TRUE(base64Encode(std::string(20, '\x01'), strOut));
  EXPECT_EQ(strOut, "AQEBAQEBAQEBAQEBAQEBAQEBAQE=");
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
