// Every setting the library reads, once, with its section, default, unit and
// meaning. The README's settings table lists exactly these keys (a test
// compares them). Adding a setting is one row in SettingsTable.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace AliCloudWrapper {

struct SSettingDefinition {
  const char* pszSection;
  const char* pszKey;
  const char* pszDefault;  // as the README shows it
  const char* pszUnit;     // "seconds", "count", "text", "level", "flag"
  const char* pszMeaning;
};

const std::vector<SSettingDefinition>& SettingsTable();
// The row of a key; null for a key the table does not hold.
const SSettingDefinition* FindSetting(const std::string& strKey);
// A number setting: its value when set, else its default from the table.
uint64_t ReadNumberSetting(const std::string& strKey);

}  // namespace AliCloudWrapper
