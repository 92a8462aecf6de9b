#include "Manifest.h"

#include "Tool.h"

#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>

namespace acw {

namespace json = boost::json;
using AliCloudWrapper::SDiskInfoLib;
using AliCloudWrapper::SVMInfoLib;

namespace {

constexpr const char* FORMAT = "acw-backup-manifest";
constexpr int64_t VERSION = 1;

json::array Strings(const std::vector<std::string>& vecValues) {
  json::array arrValues;
  for (const std::string& strValue : vecValues) arrValues.emplace_back(strValue);
  return arrValues;
}

json::object InstanceToJson(const SVMInfoLib& sVm) {
  json::array arrGroups;
  for (const auto& sGroup : sVm.vecSecurityGroups) arrGroups.emplace_back(sGroup.strSecurityGroupId);
  return {{"instance-id", sVm.strInstanceId},
          {"name", sVm.strInstanceName},
          {"description", sVm.strDescription},
          {"region", sVm.strRegionId},
          {"zone", sVm.strZoneId},
          {"instance-type", sVm.strInstanceType},
          {"image-id", sVm.strImageId},
          {"architecture", sVm.strArchitecture},
          {"platform", sVm.strOSName},
          {"host-name", sVm.strHostName},
          {"internet-max-bandwidth-in", sVm.nInternetMaxBandwidthIn},
          {"internet-max-bandwidth-out", sVm.nInternetMaxBandwidthOut},
          {"internet-charge-type", sVm.strInternetChargeType},
          {"security-groups", std::move(arrGroups)},
          {"status", sVm.strStatus},
          {"vpc-id", sVm.sNetworkInfo.strVpcId},
          {"vswitch-id", sVm.sNetworkInfo.strVSwitchId},
          {"private-ips", Strings(sVm.sNetworkInfo.vecPrivateIpAddresses)},
          {"eip-allocation-id", sVm.sElasticIPAddress.strAllocationId},
          {"eip-address", sVm.sElasticIPAddress.strIpAddress},
          {"public-ips", Strings(sVm.vecPublicIpAddresses)}};
}

json::object DiskToJson(const SManifestDisk& sEntry) {
  const SDiskInfoLib& sDisk = sEntry.sDisk;
  return {{"order", sEntry.nOrder},
          {"device", sEntry.strDevice},
          {"disk-id", sDisk.strDiskId},
          {"name", sDisk.strDiskName},
          {"description", sDisk.strDescription},
          {"zone", sDisk.strZoneId},
          {"category", sDisk.strCategory},
          {"size-gib", sDisk.nSize},
          {"system-disk", sDisk.bIsSystemDisk},
          {"encrypted", sDisk.bIsEncrypted},
          {"delete-with-instance", sDisk.bDeleteWithInstance},
          {"snapshot-id", sEntry.strSnapshotId}};
}

// Reads members of one object of the manifest; a missing member or one of
// another kind throws UsageError naming it.
class Reader {
 public:
  Reader(const json::value& value, std::string strWhere, const std::string& strPath)
      : m_strWhere(std::move(strWhere)), m_strPath(strPath) {
    if (!value.is_object()) Fail("is not an object");
    m_pObject = &value.as_object();
  }
  std::string Text(const char* pszName) const {
    const json::value& value = Member(pszName);
    if (!value.is_string()) Fail(std::string("\"") + pszName + "\" is not text");
    return std::string(value.as_string());
  }
  int64_t Integer(const char* pszName) const {
    const json::value& value = Member(pszName);
    if (!value.is_int64()) Fail(std::string("\"") + pszName + "\" is not an integer");
    return value.as_int64();
  }
  bool Flag(const char* pszName) const {
    const json::value& value = Member(pszName);
    if (!value.is_bool()) Fail(std::string("\"") + pszName + "\" is not true or false");
    return value.as_bool();
  }
  std::vector<std::string> Texts(const char* pszName) const {
    std::vector<std::string> vecValues;
    for (const json::value& value : Array(pszName)) {
      if (!value.is_string()) Fail(std::string("\"") + pszName + "\" holds a value that is not text");
      vecValues.emplace_back(value.as_string());
    }
    return vecValues;
  }
  const json::array& Array(const char* pszName) const {
    const json::value& value = Member(pszName);
    if (!value.is_array()) Fail(std::string("\"") + pszName + "\" is not a list");
    return value.as_array();
  }
  const json::value& Member(const char* pszName) const {
    const json::value* pValue = m_pObject->if_contains(pszName);
    if (pValue == nullptr) Fail(std::string("lacks \"") + pszName + "\"");
    return *pValue;
  }
  [[noreturn]] void Fail(const std::string& strWhat) const {
    throw UsageError("the backup manifest " + m_strPath + " is not usable: " + m_strWhere + " " + strWhat);
  }

 private:
  std::string m_strWhere;
  const std::string& m_strPath;
  const json::object* m_pObject = nullptr;
};

SVMInfoLib InstanceFromJson(const Reader& sIn) {
  SVMInfoLib sVm;
  sVm.strInstanceId = sIn.Text("instance-id");
  sVm.strInstanceName = sIn.Text("name");
  sVm.strDescription = sIn.Text("description");
  sVm.strRegionId = sIn.Text("region");
  sVm.strZoneId = sIn.Text("zone");
  sVm.strInstanceType = sIn.Text("instance-type");
  sVm.strImageId = sIn.Text("image-id");
  sVm.strArchitecture = sIn.Text("architecture");
  sVm.strOSName = sIn.Text("platform");
  sVm.strHostName = sIn.Text("host-name");
  sVm.nInternetMaxBandwidthIn = static_cast<int32_t>(sIn.Integer("internet-max-bandwidth-in"));
  sVm.nInternetMaxBandwidthOut = static_cast<int32_t>(sIn.Integer("internet-max-bandwidth-out"));
  sVm.strInternetChargeType = sIn.Text("internet-charge-type");
  for (const std::string& strGroup : sIn.Texts("security-groups")) sVm.vecSecurityGroups.emplace_back(strGroup);
  sVm.strStatus = sIn.Text("status");
  sVm.sNetworkInfo.strVpcId = sIn.Text("vpc-id");
  sVm.sNetworkInfo.strVSwitchId = sIn.Text("vswitch-id");
  sVm.sNetworkInfo.vecPrivateIpAddresses = sIn.Texts("private-ips");
  sVm.sElasticIPAddress.strAllocationId = sIn.Text("eip-allocation-id");
  sVm.sElasticIPAddress.strIpAddress = sIn.Text("eip-address");
  sVm.vecPublicIpAddresses = sIn.Texts("public-ips");
  return sVm;
}

SManifestDisk DiskFromJson(const Reader& sIn) {
  SManifestDisk sEntry;
  sEntry.nOrder = static_cast<int>(sIn.Integer("order"));
  sEntry.strDevice = sIn.Text("device");
  sEntry.strSnapshotId = sIn.Text("snapshot-id");
  SDiskInfoLib& sDisk = sEntry.sDisk;
  sDisk.strDiskId = sIn.Text("disk-id");
  sDisk.strDiskName = sIn.Text("name");
  sDisk.strDescription = sIn.Text("description");
  sDisk.strZoneId = sIn.Text("zone");
  sDisk.strCategory = sIn.Text("category");
  sDisk.nSize = sIn.Integer("size-gib");
  sDisk.bIsSystemDisk = sIn.Flag("system-disk");
  sDisk.bIsEncrypted = sIn.Flag("encrypted");
  sDisk.bDeleteWithInstance = sIn.Flag("delete-with-instance");
  return sEntry;
}

}  // namespace

std::vector<SManifestDisk> DisksInOrder(const std::vector<SDiskInfoLib>& vecDisks) {
  std::vector<SManifestDisk> vecOrdered;
  for (const bool bSystem : {true, false}) {
    for (const SDiskInfoLib& sDisk : vecDisks) {
      if (sDisk.bIsSystemDisk == bSystem) vecOrdered.push_back({sDisk, 0, "", ""});
    }
  }
  for (size_t i = 0; i < vecOrdered.size(); ++i) {
    vecOrdered[i].nOrder = static_cast<int>(i);
    // The library's disk records carry no device name; this is the one the
    // order gives when the disks are attached again in it. Past /dev/xvdz
    // (more disks than an instance takes) no name is made up.
    vecOrdered[i].strDevice = i < 26 ? std::string("/dev/xvd") + static_cast<char>('a' + i) : "";
  }
  return vecOrdered;
}

std::string ManifestToText(const SBackupManifest& sManifest) {
  json::array arrDisks;
  for (const SManifestDisk& sEntry : sManifest.vecDisks) arrDisks.emplace_back(DiskToJson(sEntry));
  const json::object objManifest{{"format", FORMAT},
                                 {"version", VERSION},
                                 {"created", sManifest.strCreated},
                                 {"instance", InstanceToJson(sManifest.sInstance)},
                                 {"config-document", sManifest.strConfigDocument},
                                 {"disks", std::move(arrDisks)}};
  return json::serialize(objManifest) + "\n";
}

SBackupManifest ReadManifest(const std::string& strPath) {
  std::ifstream in(strPath, std::ios::binary);
  if (!in) throw UsageError("the backup manifest " + strPath + " cannot be read");
  std::ostringstream text;
  text << in.rdbuf();
  boost::system::error_code ec;
  const json::value document = json::parse(text.str(), ec);
  if (ec) throw UsageError("the backup manifest " + strPath + " is not JSON: " + ec.message());
  const Reader sTop(document, "the file", strPath);
  if (!sTop.Member("format").is_string() || sTop.Text("format") != FORMAT) sTop.Fail("is not a backup manifest");
  if (sTop.Integer("version") != VERSION) sTop.Fail("is of another version");
  SBackupManifest sManifest;
  sManifest.strCreated = sTop.Text("created");
  sManifest.sInstance = InstanceFromJson(Reader(sTop.Member("instance"), "\"instance\"", strPath));
  sManifest.strConfigDocument = sTop.Text("config-document");
  for (const json::value& disk : sTop.Array("disks")) {
    sManifest.vecDisks.push_back(DiskFromJson(Reader(disk, "a disk", strPath)));
    if (sManifest.vecDisks.back().strSnapshotId.empty()) sTop.Fail("has a disk without a snapshot");
  }
  if (sManifest.vecDisks.empty() || !sManifest.vecDisks.front().sDisk.bIsSystemDisk) {
    sTop.Fail("does not list the system disk first");
  }
  return sManifest;
}

void WriteManifest(const std::string& strPath, const SBackupManifest& sManifest) {
  const std::string strTemporary = strPath + ".part";
  {
    std::ofstream out(strTemporary, std::ios::binary | std::ios::trunc);
    out << ManifestToText(sManifest);
    out.flush();
    if (!out) {
      std::remove(strTemporary.c_str());
      throw OperationError("the backup manifest cannot be written to " + strTemporary);
    }
  }
  if (std::rename(strTemporary.c_str(), strPath.c_str()) != 0) {
    std::remove(strTemporary.c_str());
    throw OperationError("the backup manifest cannot be written to " + strPath);
  }
}

std::string UtcNow() {
  const std::time_t tNow = std::time(nullptr);
  std::tm sUtc{};
  gmtime_r(&tNow, &sUtc);
  char szText[32];
  std::strftime(szText, sizeof szText, "%Y-%m-%dT%H:%M:%SZ", &sUtc);
  return szText;
}

}  // namespace acw
