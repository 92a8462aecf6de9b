// The settings reader over arbitrary INI text, against a model of its rules:
// "[Section]" lines, "key = value" lines with blanks trimmed, whole-line "#"
// and ";" comments, a byte-order mark on the first line, later keys winning,
// malformed lines skipped; a number is digits only and fits 64 bits.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>

#include "AliCloudWrapper/EvEvent.h"
#include "AliCloudWrapper/TKPlatformInfo.h"

namespace {

using namespace AliCloudWrapper;
using Model = std::map<std::pair<std::string, std::string>, std::string>;

[[noreturn]] void Fail(const char* pszWhat, const std::string& strDetail) {
  std::fprintf(stderr, "settings_fuzz: %s [%s]\n", pszWhat, strDetail.c_str());
  std::abort();
}

std::string Trim(const std::string& s) {
  const char* pszBlank = " \t\r\n\f\v";
  const size_t nBegin = s.find_first_not_of(pszBlank);
  if (nBegin == std::string::npos) return std::string();
  return s.substr(nBegin, s.find_last_not_of(pszBlank) - nBegin + 1);
}

Model ModelOf(const std::string& strText) {
  Model model;
  std::istringstream stream(strText);
  std::string strLine;
  std::string strSection;
  bool bFirst = true;
  while (std::getline(stream, strLine)) {
    if (bFirst && strLine.rfind("\xEF\xBB\xBF", 0) == 0) strLine.erase(0, 3);
    bFirst = false;
    const std::string strTrimmed = Trim(strLine);
    if (strTrimmed.empty() || strTrimmed[0] == '#' || strTrimmed[0] == ';') continue;
    if (strTrimmed[0] == '[') {
      if (strTrimmed.back() == ']' && !Trim(strTrimmed.substr(1, strTrimmed.size() - 2)).empty()) {
        strSection = Trim(strTrimmed.substr(1, strTrimmed.size() - 2));
      }
      continue;
    }
    const size_t nEquals = strTrimmed.find('=');
    if (nEquals == std::string::npos || strSection.empty()) continue;
    const std::string strKey = Trim(strTrimmed.substr(0, nEquals));
    if (!strKey.empty()) model[{strSection, strKey}] = Trim(strTrimmed.substr(nEquals + 1));
  }
  return model;
}

bool ModelNumber(const std::string& strValue, uint64_t& nValue) {
  if (strValue.empty()) return false;
  // Through long double arithmetic, unlike the reader's integer steps.
  long double dValue = 0;
  uint64_t nResult = 0;
  for (const char c : strValue) {
    if (c < '0' || c > '9') return false;
    dValue = dValue * 10 + (c - '0');
    nResult = nResult * 10 + static_cast<uint64_t>(c - '0');
    if (dValue > 18446744073709551615.0L) return false;
  }
  nValue = nResult;
  return true;
}

const std::string& ScratchPath() {
  static const std::string s_strPath = "/tmp/acw_settings_fuzz_" + std::to_string(getpid()) + ".ini";
  return s_strPath;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  unsetenv("ACW_SETTINGS");
  // A sink of our own: a fuzzed file that names a log file or asks for
  // standard error must not make the default sink write anywhere.
  EvLog::SetSink([](const SLogRecord&) {});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  const std::string strText(reinterpret_cast<const char*>(pData), nSize);
  {
    std::ofstream file(ScratchPath(), std::ios::binary | std::ios::trunc);
    file << strText;
  }
  TKPlatformInfo::Clear();
  if (!TKPlatformInfo::LoadFile(ScratchPath())) Fail("cannot read back the scratch file", ScratchPath());
  const TKPlatformInfo settings;
  for (const auto& [key, strExpected] : ModelOf(strText)) {
    std::string strValue;
    if (!settings.getString(key.first, key.second, &strValue)) Fail("key missing", key.second);
    if (strValue != strExpected) Fail("value differs", key.second + " = " + strValue);
    uint64_t nExpected = 0;
    uint64_t nValue = 0;
    const bool bNumber = settings.getNumber(key.first, key.second, &nValue) != 0;
    if (bNumber != ModelNumber(strExpected, nExpected) || (bNumber && nValue != nExpected)) {
      Fail("number reading differs", key.second + " = " + strValue);
    }
  }
  return 0;
}
