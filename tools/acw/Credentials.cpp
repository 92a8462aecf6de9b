#include "Credentials.h"

#include "Tool.h"

#include <boost/json/parse.hpp>
#include <boost/json/value.hpp>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

namespace acw {

namespace {

namespace json = boost::json;

constexpr const char* ENV_KEY_ID = "ALIBABA_CLOUD_ACCESS_KEY_ID";
constexpr const char* ENV_SECRET = "ALIBABA_CLOUD_ACCESS_KEY_SECRET";
constexpr const char* ENV_PROFILE = "ALIBABA_CLOUD_PROFILE";
constexpr const char* OLD_KEY_ID = "ACW_ACCESS_KEY_ID";
constexpr const char* OLD_SECRET = "ACW_ACCESS_KEY_SECRET";

// The pair of variables when both are set; a half-set pair is an error, as it
// is surely a slip that would otherwise use a key from somewhere else.
std::optional<SCredentials> FromVariables(const EnvLookup& fnEnv, const char* pszId,
                                          const char* pszSecret) {
  SCredentials sKey{fnEnv(pszId), fnEnv(pszSecret), "", std::string(pszId) + " and " + pszSecret};
  if (sKey.strKeyId.empty() && sKey.strSecret.empty()) return std::nullopt;
  if (sKey.strKeyId.empty() || sKey.strSecret.empty()) {
    throw UsageError(std::string(sKey.strKeyId.empty() ? pszId : pszSecret) + " is empty while " +
                     (sKey.strKeyId.empty() ? pszSecret : pszId) + " is set: set both or neither");
  }
  return sKey;
}

std::string Member(const json::object& objProfile, const char* pszName) {
  const json::value* pValue = objProfile.if_contains(pszName);
  return pValue != nullptr && pValue->is_string() ? std::string(pValue->get_string()) : std::string();
}

// The config file's document; nullopt when there is no file.
std::optional<json::object> ReadConfig(const std::string& strPath) {
  std::ifstream in(strPath);
  if (!in) return std::nullopt;
  std::stringstream sText;
  sText << in.rdbuf();
  boost::system::error_code eCode;
  json::value vDocument = json::parse(sText.str(), eCode);
  if (eCode || !vDocument.is_object()) {
    throw UsageError(strPath + " is not a JSON object" + (eCode ? ": " + eCode.message() : std::string()));
  }
  return std::move(vDocument.get_object());
}

const json::object* FindProfile(const json::object& objConfig, const std::string& strName) {
  const json::value* pProfiles = objConfig.if_contains("profiles");
  if (pProfiles == nullptr || !pProfiles->is_array()) return nullptr;
  for (const json::value& vProfile : pProfiles->get_array()) {
    if (vProfile.is_object() && Member(vProfile.get_object(), "name") == strName) return &vProfile.get_object();
  }
  return nullptr;
}

SCredentials FromProfile(const json::object& objProfile, const std::string& strName,
                         const std::string& strPath) {
  const std::string strWhere = "profile '" + strName + "' of " + strPath;
  // The official tool writes "AK" for an access key profile, and makes a new
  // profile an AK one when no mode is given.
  const std::string strMode = Member(objProfile, "mode");
  if (!strMode.empty() && strMode != "AK") {
    throw UsageError(strWhere + " uses mode " + strMode +
                     "; acw supports only mode AK (an access key id and secret): choose an AK profile "
                     "with --profile, or set " + ENV_KEY_ID + " and " + ENV_SECRET);
  }
  SCredentials sKey{Member(objProfile, "access_key_id"), Member(objProfile, "access_key_secret"),
                    Member(objProfile, "region_id"), strWhere};
  if (sKey.strKeyId.empty() || sKey.strSecret.empty()) {
    throw UsageError(strWhere + " has no access_key_id and access_key_secret");
  }
  return sKey;
}

}  // namespace

std::string FromEnvironment(const char* pszName) {
  const char* pszValue = std::getenv(pszName);
  return pszValue == nullptr ? std::string() : std::string(pszValue);
}

std::string AliyunConfigPath(const EnvLookup& fnEnv) {
  return fnEnv("HOME") + "/.aliyun/config.json";
}

SCredentials ResolveCredentials(const std::string& strProfile, const EnvLookup& fnEnv) {
  if (strProfile.empty()) {
    if (auto sKey = FromVariables(fnEnv, ENV_KEY_ID, ENV_SECRET)) return *sKey;
  }
  const std::string strPath = AliyunConfigPath(fnEnv);
  const std::optional<json::object> objConfig = ReadConfig(strPath);

  // The profile chosen explicitly (option, then variable) must exist; the
  // file's "current" one is only used when it does.
  std::string strName = strProfile.empty() ? fnEnv(ENV_PROFILE) : strProfile;
  const bool bChosen = !strName.empty();
  if (!bChosen && objConfig) {
    const json::value* pCurrent = objConfig->if_contains("current");
    if (pCurrent != nullptr && pCurrent->is_string()) strName = std::string(pCurrent->get_string());
  }
  const json::object* pProfile = objConfig && !strName.empty() ? FindProfile(*objConfig, strName) : nullptr;
  if (pProfile != nullptr) return FromProfile(*pProfile, strName, strPath);
  if (bChosen) {
    throw UsageError("no profile '" + strName + "' in " + strPath +
                     (objConfig ? "" : " (the file cannot be read)"));
  }

  if (auto sKey = FromVariables(fnEnv, OLD_KEY_ID, OLD_SECRET)) return *sKey;
  throw UsageError(std::string("no access key: set ") + ENV_KEY_ID + " and " + ENV_SECRET +
                   ", or configure an AK profile in " + strPath);
}

}  // namespace acw
