// The settings store: process-wide key/value texts grouped in sections. The
// library reads section "VirtualServer". The embedding program fills it through
// the static setters; at first use it is also loaded from the INI file named by
// the environment variable ACW_SETTINGS when that is set. Values set through the
// API win over values of the file. Section and key names are case-sensitive.
// Thread-safe: one lock guards the store.
#pragma once

#include <cstdint>
#include <string>

namespace AliCloudWrapper {

class TKPlatformInfo {
 public:
  static constexpr const char* SECTION = "VirtualServer";

  // Non-zero when the key exists and holds an unsigned 64-bit decimal number
  // (digits only, surrounding blanks allowed), which is then written to *pValue;
  // otherwise *pValue is left alone. A value that is not such a number counts as
  // absent and is reported with Error once.
  int getNumber(const std::string& strSection, const std::string& strKey, uint64_t* pValue) const;
  // Non-zero when the key exists; its text is then written to *pValue.
  int getString(const std::string& strSection, const std::string& strKey, std::string* pValue) const;

  static void SetString(const std::string& strSection, const std::string& strKey,
                        const std::string& strValue);
  static void SetNumber(const std::string& strSection, const std::string& strKey, uint64_t nValue);
  static void Remove(const std::string& strSection, const std::string& strKey);
  // Forgets every value, the file's included; the file is not read again.
  static void Clear();
  // Reads an INI file now ("[Section]", "key = value", whole-line "#" and ";"
  // comments; blanks around names and values are trimmed; a "#" inside a value
  // is part of it). Malformed lines are logged with Error, naming the file and
  // line, and skipped. False when the file cannot be read.
  static bool LoadFile(const std::string& strPath);
};

}  // namespace AliCloudWrapper
