// Where acw finds the access key, the way the ecosystem's tools do, and never
// on the command line (where every user of the machine could read it):
//   1. "ALIBABA_CLOUD_ACCESS_KEY_ID" and "ALIBABA_CLOUD_ACCESS_KEY_SECRET";
//   2. the official command-line tool's config file, "~/.aliyun/config.json":
//      the profile --profile names, else the one "ALIBABA_CLOUD_PROFILE"
//      names, else its "current" one; mode "AK" only;
//   3. ACW_ACCESS_KEY_ID and ACW_ACCESS_KEY_SECRET, this project's older names.
// A profile named with --profile is an explicit choice and wins over the
// environment. A chosen profile that is missing or of another mode is an error,
// never silently replaced by a key from elsewhere.
#pragma once

#include <functional>
#include <string>

namespace acw {

struct SCredentials {
  std::string strKeyId;
  std::string strSecret;
  std::string strRegion;  // the profile's "region_id"; empty otherwise
  std::string strSource;  // where the key came from, for messages
};

// Reads a variable; empty when unset. Replaceable for tests of the order.
using EnvLookup = std::function<std::string(const char*)>;
std::string FromEnvironment(const char* pszName);

// Throws UsageError naming what is missing or unsupported.
SCredentials ResolveCredentials(const std::string& strProfile, const EnvLookup& fnEnv);

// The config file's path: "$HOME/.aliyun/config.json".
std::string AliyunConfigPath(const EnvLookup& fnEnv);

}  // namespace acw
