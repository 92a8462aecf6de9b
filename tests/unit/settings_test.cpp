// Settings: the INI file and malformed lines, values set through the API over
// the file, unsigned numbers; and the settings table as the one list of
// settings (the README documents exactly its keys, and every key the code
// names is in it).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "AliCloudWrapper/CAliCloudConnectionBase.h"
#include "AliCloudWrapper/CAliCloudStorage.h"
#include "AliCloudWrapper/TKPlatformInfo.h"
#include "TestSupport.h"
#include "host/SettingsTable.h"

namespace AliCloudWrapper {
namespace {

const std::string kSection = TKPlatformInfo::SECTION;

class HostSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { TKPlatformInfo::Clear(); }
  void TearDown() override {
    TKPlatformInfo::Clear();
    std::remove(m_strPath.c_str());
  }

  void WriteFile(const std::string& strText) {
    std::ofstream file(m_strPath, std::ios::binary);
    file << strText;
  }

  std::string Get(const std::string& strKey, const std::string& strSection = kSection) {
    std::string strValue = "<absent>";
    TKPlatformInfo().getString(strSection, strKey, &strValue);
    return strValue;
  }

  std::string m_strPath = ::testing::TempDir() + "acw_settings_" + std::to_string(getpid()) + ".ini";
};

TEST_F(HostSettingsTest, ParsesIniAndSkipsMalformedLines) {
  WriteFile(
      "\xEF\xBB\xBF# comment\r\n"
      "orphan = 1\n"                     // 2: before any section
      "[VirtualServer]\n"
      "  nAliCloudNumberOfRequestRetries =  5  \r\n"
      "; another comment\n"
      "AliCloudRegionEndpoint=ecs.cn-hangzhou.aliyuncs.com\n"
      "this line has no equals sign\n"   // 7
      "= no key\n"                       // 8
      "AliCloudLogFile = /var/log/a=b.log # kept\n"
      "[Broken\n"                        // 10
      "[ Other ]\n"
      "nAliCloudNumberOfRequestRetries = 9\n"
      "Empty =\n");
  ScopedLogCapture capture(0);
  ASSERT_TRUE(TKPlatformInfo::LoadFile(m_strPath));

  EXPECT_EQ(Get("nAliCloudNumberOfRequestRetries"), "5");
  EXPECT_EQ(Get("AliCloudRegionEndpoint"), "ecs.cn-hangzhou.aliyuncs.com");
  EXPECT_EQ(Get("AliCloudLogFile"), "/var/log/a=b.log # kept");  // no inline comments
  EXPECT_EQ(Get("nAliCloudNumberOfRequestRetries", "Other"), "9");
  EXPECT_EQ(Get("Empty", "Other"), "");
  EXPECT_EQ(Get("orphan"), "<absent>");

  EXPECT_EQ(capture.Records().size(), 4u) << capture.Dump();
  for (int nLine : {2, 7, 8, 10}) {
    EXPECT_TRUE(capture.Contains("[" + m_strPath + "] line [" + std::to_string(nLine) + "]"))
        << nLine << "\n" << capture.Dump();
  }
  for (const SLogRecord& record : capture.Records()) EXPECT_TRUE(record.bError);
  // The offending text is not echoed (a settings file may hold private values).
  EXPECT_FALSE(capture.Contains("no equals sign"));

  EXPECT_FALSE(TKPlatformInfo::LoadFile(m_strPath + ".missing"));
  EXPECT_TRUE(capture.Contains("cannot be read"));
}

TEST_F(HostSettingsTest, ApiValuesWinOverTheFile) {
  TKPlatformInfo::SetString(kSection, "nAliCloudRetrySleepTimeInSec", "1");
  TKPlatformInfo::Remove(kSection, "AliCloudRegionEndpoint");
  WriteFile("[VirtualServer]\nnAliCloudRetrySleepTimeInSec = 30\n"
            "AliCloudRegionEndpoint = from-file\nnAliCloudRequestTimeOutInSec = 7\n");
  ASSERT_TRUE(TKPlatformInfo::LoadFile(m_strPath));
  EXPECT_EQ(Get("nAliCloudRetrySleepTimeInSec"), "1");
  EXPECT_EQ(Get("AliCloudRegionEndpoint"), "<absent>");
  EXPECT_EQ(Get("nAliCloudRequestTimeOutInSec"), "7");
  {
    ScopedSetting override("nAliCloudRequestTimeOutInSec", uint64_t{60});
    ScopedSetting added("nAliCloudLowSpeedTimeOutInSec", "10");
    EXPECT_EQ(Get("nAliCloudRequestTimeOutInSec") + Get("nAliCloudLowSpeedTimeOutInSec"), "6010");
  }
  EXPECT_EQ(Get("nAliCloudRequestTimeOutInSec"), "7");
  EXPECT_EQ(Get("nAliCloudLowSpeedTimeOutInSec"), "<absent>");
  TKPlatformInfo::Clear();
  EXPECT_EQ(Get("nAliCloudRequestTimeOutInSec"), "<absent>");
}

TEST_F(HostSettingsTest, NumbersAreUnsignedDecimalsOrAbsent) {
  TKPlatformInfo info;
  const struct {
    const char* value;
    bool bValid;
    uint64_t nValue;
  } cases[] = {{"0", true, 0}, {" 42 ", true, 42}, {"18446744073709551615", true, UINT64_MAX},
               {"18446744073709551616", false, 0} /* overflow */, {"-1", false, 0},
               {"+3", false, 0}, {"3s", false, 0}, {"0x10", false, 0}, {"", false, 0}};
  ScopedLogCapture capture(0);
  for (const auto& c : cases) {
    TKPlatformInfo::SetString(kSection, "nAliCloudNumberOfRequestRetries", c.value);
    uint64_t nValue = 777;
    EXPECT_EQ(info.getNumber(kSection, "nAliCloudNumberOfRequestRetries", &nValue) != 0, c.bValid)
        << c.value;
    EXPECT_EQ(nValue, c.bValid ? c.nValue : 777u) << c.value;
  }
  EXPECT_EQ(capture.Count("is not an unsigned decimal number"), 6u);
  // A bad value read again and again is reported once.
  uint64_t nValue = 0;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(info.getNumber(kSection, "nAliCloudNumberOfRequestRetries", &nValue), 0);
  EXPECT_EQ(capture.Count("holds []"), 1u);
  EXPECT_EQ(info.getNumber(kSection, "absent", &nValue), 0);
}

std::set<std::string> ReadmeKeys() {
  std::string strPath = __FILE__;
  strPath = strPath.substr(0, strPath.rfind("/tests/")) + "/README.md";
  std::ifstream sFile(strPath);
  std::stringstream sText;
  sText << sFile.rdbuf();
  const std::string strText = sText.str();
  // The rows of the table under "### Settings": "| `key` | default | meaning |".
  const size_t nStart = strText.find("### Settings");
  const std::string strSection = strText.substr(nStart, strText.find("\n#", nStart + 1) - nStart);
  std::set<std::string> setKeys;
  const std::regex sRow("\\n\\| `([A-Za-z]+)` \\|");
  for (std::sregex_iterator it(strSection.begin(), strSection.end(), sRow), end; it != end; ++it) {
    setKeys.insert((*it)[1]);
  }
  return setKeys;
}

TEST(SettingsTableTest, ReadmeAndCodeNameExactlyTheTableKeys) {
  std::set<std::string> setTable;
  for (const SSettingDefinition& sRow : SettingsTable()) setTable.insert(sRow.pszKey);
  EXPECT_EQ(setTable.size(), SettingsTable().size()) << "a key is listed twice";
  EXPECT_EQ(ReadmeKeys(), setTable);

  for (const std::string& strKey :
       {CAliCloudConnectionBase::RETRY_COUNT, CAliCloudConnectionBase::RETRY_SLEEP_IN_SEC,
        CAliCloudConnectionBase::CURL_TIME_OUT_IN_SEC, CAliCloudConnectionBase::REGION_END_POINT,
        CAliCloudConnectionBase::THROTTLING_MAX_WAIT_IN_SEC,
        std::string(CAliCloudStorage::SNAPSHOT_NOT_READY_MAX_WAIT_IN_SEC),
        std::string(CAliCloudStorage::DETACH_DISK_MAX_WAIT_IN_SEC),
        std::string(CAliCloudStorage::DISK_INITIALIZING_MAX_WAIT_IN_SEC)}) {
    EXPECT_NE(FindSetting(strKey), nullptr) << strKey;
  }
}

}  // namespace
}  // namespace AliCloudWrapper
