// Host helpers: errors (codes, messages, trace, copies), strings, the
// replaceable sleeper, HMAC-SHA1 keyed once, and the log's time stamps.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "AliCloudWrapper/CZeError.h"
#include "TestSupport.h"
#include "host/CTimeStamp.h"
#include "host/FXString.h"
#include "host/FXThread.h"
#include "host/TkcHash.h"

namespace AliCloudWrapper {
namespace {

CZeError MakeNotFound(const std::string& strId) {
  return FXErrorUtil::ErrorInt(ACW_LOCATION, -1, "Disk [%s] not found.", strId.c_str());
}

CZeError PassUp(const std::string& strId) {
  CZeError error = MakeNotFound(strId);
  if (error.IsError()) return error.Push(ACW_LOCATION);
  return error;
}

TEST(HostErrorTest, CodesMessagesTraceAndCopies) {
  CZeError success;
  EXPECT_FALSE(success.IsError());
  EXPECT_EQ(success.GetErrorCode(), 0);
  EXPECT_EQ(success.AsString(EErrorOutputFormat(2)), "");

  CZeError error = PassUp("d-1");
  ASSERT_TRUE(error.IsError());
  EXPECT_EQ(error.GetErrorCode(), -1);
  EXPECT_EQ(error.AsString(EErrorOutputFormat(2)), "Disk [d-1] not found.");
  // The maker's location comes first, then each function that passed it up.
  std::vector<FXCodeLocation> trace = error.GetTrace();
  ASSERT_EQ(trace.size(), 2u);
  EXPECT_NE(trace[0].strFunction.find("MakeNotFound"), std::string::npos);
  EXPECT_NE(trace[1].strFunction.find("PassUp"), std::string::npos);
  EXPECT_GT(trace[0].nLine, 0);
  const std::string strDiagnostic = error.AsString();
  for (const std::string& part : {std::string("-1"), std::string("Disk [d-1] not found."),
                                  std::string("PassUp"),
                                  "host_test.cpp:" + std::to_string(trace[1].nLine)}) {
    EXPECT_NE(strDiagnostic.find(part), std::string::npos) << part << " in " << strDiagnostic;
  }
  // Code 0 from ErrorInt is still an error, distinct from success.
  EXPECT_TRUE(FXErrorUtil::ErrorInt(ACW_LOCATION, 0, "odd").IsError());
  std::string strLong(5000, 'x');
  EXPECT_EQ(FXErrorUtil::ErrorInt(ACW_LOCATION, 1, "%s", strLong.c_str()).GetErrorMessage(), strLong);

  // Copies share the details; Success resets only the copy it is called on.
  CZeError copy = error;
  copy.Push(ACW_LOCATION);
  EXPECT_EQ(error.GetTrace().size(), 3u);
  EXPECT_EQ(&copy.Success(), &copy);
  EXPECT_FALSE(copy.IsError());
  EXPECT_TRUE(error.IsError());
  EXPECT_FALSE(copy.Push(ACW_LOCATION).IsError());
}

TEST(HostStringTest, Helpers) {
  EXPECT_EQ(FXString::Format("%s&%%2F&%d", "GET", 7), "GET&%2F&7");
  EXPECT_EQ(FXString::Format("%s", std::string(1000, 'a').c_str()).size(), 1000u);

  std::string strText = "2021/01/02 03:04:05";
  FXString::ReplaceAll(strText, "/", "-");
  EXPECT_EQ(strText, "2021-01-02 03:04:05");
  std::string strGrow = "aaa";
  FXString::ReplaceAll(strGrow, "a", "aa");  // replacement contains the pattern: no loop
  FXString::ReplaceAll(strGrow, "", "x");    // empty pattern: no loop, no change
  EXPECT_EQ(strGrow, "aaaaaa");
  std::string strFrom = "a-b-c";
  FXString::ReplaceAll(strFrom, "-", "+", 2);
  EXPECT_EQ(strFrom, "a-b+c");

  std::string strQuery = "A%3D1%26B%3D2%26";
  FXString::RemoveRight(strQuery, "%26");
  FXString::RemoveRight(strQuery, "%26");  // only a trailing match, once
  std::string strShort = "6";
  FXString::RemoveRight(strShort, "%26");  // shorter than the suffix
  EXPECT_EQ(strQuery + " " + strShort, "A%3D1%26B%3D2 6");

  std::string strHost = "rds.ap-northeast-1.aliyuncs.com";
  EXPECT_STREQ(FXString::FindString(strHost, "ap-northeast-1", true), strHost.c_str() + 4);
  EXPECT_EQ(FXString::FindString(strHost, "AP-northeast-1", true), nullptr);
  EXPECT_NE(FXString::FindString(strHost, "AP-northeast-1", false), nullptr);
  EXPECT_EQ(FXString::FindString(strHost, "cn-hangzhou", false), nullptr);
  EXPECT_EQ(FXString::CompareNoCase("InvalidSnapshot.NotReady", "invalidsnapshot.notready"), 0);
  EXPECT_LT(FXString::CompareNoCase("Available", "Availablex"), 0);
  EXPECT_GT(FXString::CompareNoCase("b", "A"), 0);
}

TEST(HostThreadTest, SleeperIsReplacedAndRestored) {
  {
    ScopedSleepRecorder recorder;
    FXThread::Sleep(30000);
    {
      ScopedSleepRecorder inner;
      FXThread::Sleep(5);
      EXPECT_EQ(inner.Pauses(), std::vector<uint64_t>{5});
    }
    FXThread::Sleep(0);
    EXPECT_EQ(recorder.Pauses(), (std::vector<uint64_t>{30000, 0}));
    // Swaps from other threads while pauses are requested stay consistent.
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
      threads.emplace_back([] {
        for (int n = 0; n < 200; ++n) FXThread::Sleep(1);
      });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(recorder.Pauses().size(), 802u);
    EXPECT_EQ(recorder.TotalMilliseconds(), 30800u);
  }
  // Restored to the real sleeper: a short pause really passes.
  FXThread::Sleep(1);
}

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
