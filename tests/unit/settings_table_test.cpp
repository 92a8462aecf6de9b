// The settings table is the one list of settings: the README documents
// exactly its keys, and every key the code names is in it.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "AliCloudWrapper/CAliCloudConnectionBase.h"
#include "AliCloudWrapper/CAliCloudStorage.h"
#include "host/SettingsTable.h"

namespace AliCloudWrapper {
namespace {

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
