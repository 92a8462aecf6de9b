#include "AliCloudWrapper/TKPlatformInfo.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <utility>
#include <vector>

#include "AliCloudWrapper/EvEvent.h"
#include "host/TKPlatformInfoInternal.h"

namespace AliCloudWrapper {

namespace {

using SettingKey = std::pair<std::string, std::string>;  // section, key

// Two layers: values from files, and values set through the API, which win.
// An API entry without a value is a removal that hides the file's value.
struct SStore {
  std::mutex mutex;
  bool bLoaded = false;  // the ACW_SETTINGS file has been read (or Clear ran)
  std::map<SettingKey, std::string> mapFile;
  std::map<SettingKey, std::optional<std::string>> mapApi;
  // Non-numeric values already reported by getNumber: section, key, value.
  std::set<std::pair<SettingKey, std::string>> setReported;
};

SStore& Store() {
  static SStore store;
  return store;
}

std::atomic<uint64_t> g_nGeneration{0};

constexpr const char* kLogContext = "AliCloudWrapper::TKPlatformInfo";

std::string Trim(const std::string& text) {
  const char* whitespace = " \t\r\n\f\v";
  size_t nBegin = text.find_first_not_of(whitespace);
  if (nBegin == std::string::npos) return std::string();
  size_t nEnd = text.find_last_not_of(whitespace);
  return text.substr(nBegin, nEnd - nBegin + 1);
}

// Digits only, no sign, no overflow: anything else is not a setting number.
bool ParseUnsigned(const std::string& text, uint64_t& nValue) {
  if (text.empty()) return false;
  uint64_t nResult = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    uint64_t nDigit = static_cast<uint64_t>(c - '0');
    if (nResult > (UINT64_MAX - nDigit) / 10) return false;
    nResult = nResult * 10 + nDigit;
  }
  nValue = nResult;
  return true;
}

// Parses INI text into mapOut. Problems are returned as log messages (the caller
// writes them once the store's lock is released); the line's text is never
// echoed, since a settings file may hold values nobody should read in a log.
std::vector<std::string> ParseIni(const std::string& strText, const std::string& strPath,
                                  std::map<SettingKey, std::string>& mapOut) {
  std::vector<std::string> vecProblems;
  auto report = [&](int nLine, const char* reason) {
    vecProblems.push_back("Settings file [" + strPath + "] line [" + std::to_string(nLine) +
                          "] " + reason + "; the line is skipped.");
  };

  std::istringstream stream(strText);
  std::string strLine;
  std::string strSection;
  bool bHaveSection = false;
  for (int nLine = 1; std::getline(stream, strLine); ++nLine) {
    if (nLine == 1 && strLine.compare(0, 3, "\xEF\xBB\xBF") == 0) strLine.erase(0, 3);
    std::string strTrimmed = Trim(strLine);
    if (strTrimmed.empty() || strTrimmed[0] == '#' || strTrimmed[0] == ';') continue;

    if (strTrimmed[0] == '[') {
      if (strTrimmed.back() != ']') {
        report(nLine, "has a section header without a closing bracket");
        continue;
      }
      std::string strName = Trim(strTrimmed.substr(1, strTrimmed.size() - 2));
      if (strName.empty()) {
        report(nLine, "has an empty section name");
        continue;
      }
      strSection = strName;
      bHaveSection = true;
      continue;
    }

    size_t nEquals = strTrimmed.find('=');
    if (nEquals == std::string::npos) {
      report(nLine, "is neither a section header nor a key = value line");
      continue;
    }
    std::string strKey = Trim(strTrimmed.substr(0, nEquals));
    if (strKey.empty()) {
      report(nLine, "has no key before '='");
      continue;
    }
    if (!bHaveSection) {
      report(nLine, "has a key outside any section");
      continue;
    }
    mapOut[{strSection, strKey}] = Trim(strTrimmed.substr(nEquals + 1));
  }
  return vecProblems;
}

// Reads strPath into the file layer. Called with the store's lock held.
std::vector<std::string> LoadLocked(SStore& store, const std::string& strPath, bool& bRead) {
  std::ifstream file(strPath, std::ios::binary);
  std::string strText;
  if (file.is_open()) {
    strText.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  bRead = file.is_open() && !file.bad();
  if (!bRead) return {"Settings file [" + strPath + "] cannot be read; its settings are not used."};
  std::vector<std::string> vecProblems = ParseIni(strText, strPath, store.mapFile);
  ++g_nGeneration;
  return vecProblems;
}

// Locks the store for the lifetime of the object and reads the ACW_SETTINGS
// file on first use. Problems met while the lock is held are logged only after
// it is released, because writing a log line may read the settings again.
class CStoreAccess {
 public:
  CStoreAccess() : m_store(Store()), m_lock(m_store.mutex) {
    if (m_store.bLoaded) return;
    m_store.bLoaded = true;
    ++g_nGeneration;
    const char* path = std::getenv("ACW_SETTINGS");
    if (path != nullptr && *path != '\0') {
      bool bRead = false;
      m_vecProblems = LoadLocked(m_store, path, bRead);
    }
  }

  ~CStoreAccess() {
    m_lock.unlock();
    try {
      for (const std::string& strProblem : m_vecProblems) {
        EvEvent().Error(kLogContext, "%s", strProblem.c_str());
      }
    } catch (...) {
      // Logging is best effort; a settings read never fails because of it.
    }
  }

  CStoreAccess(const CStoreAccess&) = delete;
  CStoreAccess& operator=(const CStoreAccess&) = delete;

  SStore& store() { return m_store; }
  void AddProblems(std::vector<std::string> vecProblems) {
    for (std::string& strProblem : vecProblems) m_vecProblems.push_back(std::move(strProblem));
  }

 private:
  SStore& m_store;
  std::unique_lock<std::mutex> m_lock;
  std::vector<std::string> m_vecProblems;
};

std::optional<std::string> LookUp(SStore& store, const SettingKey& key) {
  auto itApi = store.mapApi.find(key);
  if (itApi != store.mapApi.end()) return itApi->second;
  auto itFile = store.mapFile.find(key);
  if (itFile != store.mapFile.end()) return itFile->second;
  return std::nullopt;
}

}  // namespace

uint64_t SettingsInternal::Generation() { return g_nGeneration.load(std::memory_order_acquire); }

int TKPlatformInfo::getNumber(const std::string& strSection, const std::string& strKey,
                              uint64_t* pValue) const {
  CStoreAccess access;
  std::optional<std::string> value = LookUp(access.store(), {strSection, strKey});
  if (!value) return 0;
  uint64_t nValue = 0;
  if (!ParseUnsigned(Trim(*value), nValue)) {
    // Reported once per value, so a setting read on every request does not
    // flood the log; the caller keeps its default.
    if (access.store().setReported.insert({{strSection, strKey}, *value}).second) {
      access.AddProblems({"Setting [" + strKey + "] of section [" + strSection + "] holds [" +
                          *value + "], which is not an unsigned decimal number; it is ignored."});
    }
    return 0;
  }
  if (pValue != nullptr) *pValue = nValue;
  return 1;
}

int TKPlatformInfo::getString(const std::string& strSection, const std::string& strKey,
                              std::string* pValue) const {
  CStoreAccess access;
  std::optional<std::string> value = LookUp(access.store(), {strSection, strKey});
  if (!value) return 0;
  if (pValue != nullptr) *pValue = *value;
  return 1;
}

void TKPlatformInfo::SetString(const std::string& strSection, const std::string& strKey,
                               const std::string& strValue) {
  CStoreAccess access;
  access.store().mapApi[{strSection, strKey}] = strValue;
  ++g_nGeneration;
}

void TKPlatformInfo::SetNumber(const std::string& strSection, const std::string& strKey,
                               uint64_t nValue) {
  SetString(strSection, strKey, std::to_string(nValue));
}

void TKPlatformInfo::Remove(const std::string& strSection, const std::string& strKey) {
  CStoreAccess access;
  access.store().mapApi[{strSection, strKey}] = std::nullopt;
  ++g_nGeneration;
}

void TKPlatformInfo::Clear() {
  CStoreAccess access;
  access.store().mapApi.clear();
  access.store().mapFile.clear();
  access.store().setReported.clear();
  ++g_nGeneration;
}

bool TKPlatformInfo::LoadFile(const std::string& strPath) {
  CStoreAccess access;
  bool bRead = false;
  access.AddProblems(LoadLocked(access.store(), strPath, bRead));
  return bRead;
}

}  // namespace AliCloudWrapper
