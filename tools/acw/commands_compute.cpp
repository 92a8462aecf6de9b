// Subcommands on the compute inventory: regions, zones, instances, networks,
// images and instance types.
#include "Tool.h"

#include <map>
#include <set>
#include <sstream>

namespace acw {

namespace {

using AliCloudWrapper::SDCInfoLib;
using AliCloudWrapper::SInstanceTypeInfoLib;
using AliCloudWrapper::SVMInfoLib;

std::string Joined(const std::vector<std::string>& vecValues) {
  std::string strText;
  for (const std::string& strValue : vecValues) strText += (strText.empty() ? "" : ",") + strValue;
  return strText;
}

// The address an operator reaches the instance at: its elastic IP, else its
// public address.
std::string PublicAddress(const SVMInfoLib& sInstance) {
  if (!sInstance.sElasticIPAddress.strIpAddress.empty()) return sInstance.sElasticIPAddress.strIpAddress;
  return Joined(sInstance.vecPublicIpAddresses);
}

Record InstanceRecord(const SVMInfoLib& sInstance) {
  return {{"instance-id", sInstance.strInstanceId},
          {"name", sInstance.strInstanceName},
          {"zone", sInstance.strZoneId},
          {"type", sInstance.strInstanceType},
          {"status", sInstance.strStatus},
          {"private-ip", Joined(sInstance.sNetworkInfo.vecPrivateIpAddresses)},
          {"public-ip", PublicAddress(sInstance)},
          {"image", sInstance.strImageId}};
}

// The regions the command covers: the one asked for, else every region.
bool RegionsInScope(SContext& sContext, const std::string& strRegion, uint64_t nMask,
                    std::vector<SDCInfoLib>& vecRegions) {
  if (strRegion.empty()) return sContext.sFacade.GetRegionInfoList(vecRegions, nMask, 0);
  // One region's query leaves its name empty: the name comes from the region
  // list (which, with no properties asked, is the one listing request).
  std::vector<SDCInfoLib> vecListed;
  if (!sContext.sFacade.GetRegionInfoList(vecListed, 0, 0)) return false;
  SDCInfoLib sRegion;
  if (!sContext.sFacade.GetRegionInfoForRegion(strRegion, nMask, 0, sRegion)) return false;
  for (const SDCInfoLib& sListed : vecListed) {
    if (sListed.strRegionId == strRegion) sRegion.strLocalName = sListed.strLocalName;
  }
  vecRegions.push_back(std::move(sRegion));
  return true;
}

bool PrintNetworks(SContext& sContext, const std::vector<SDCInfoLib>& vecRegions) {
  std::vector<Record> vecVpcs, vecGroups;
  for (const SDCInfoLib& sRegion : vecRegions) {
    std::vector<AliCloudWrapper::SVPCInfoLib> vecRegionVpcs;
    std::vector<AliCloudWrapper::SSecurityGroupInfoLib> vecRegionGroups;
    if (!sContext.sFacade.GetVPCListInRegion(sRegion.strRegionId, vecRegionVpcs) ||
        !sContext.sFacade.GetSecurityGroupList(sRegion.strRegionId, vecRegionGroups)) {
      return false;
    }
    for (const auto& sVpc : vecRegionVpcs) {
      vecVpcs.push_back({{"vpc-id", sVpc.strVpcId}, {"name", sVpc.strVpcName}, {"region", sRegion.strRegionId}});
    }
    for (const auto& sGroup : vecRegionGroups) {
      vecGroups.push_back({{"security-group-id", sGroup.strSecurityGroupId},
                           {"name", sGroup.strSecurityGroupName},
                           {"vpc", sGroup.strVpcId},
                           {"region", sRegion.strRegionId}});
    }
  }
  sContext.sOut.Table("vpcs", vecVpcs);
  sContext.sOut.Table("security-groups", vecGroups);
  return true;
}

void AddInventory(CommandTable& sTable) {
  struct SOptions {
    std::string strRegion;
    bool bZones = false, bNetworks = false;
  };
  auto pOptions = std::make_shared<SOptions>();
  SCommand& sCommand = sTable.Add("inventory", "regions and their instances (zones, networks) as tables");
  CommandTable::AddRegion(sCommand, pOptions->strRegion, false);
  sCommand.pApp->add_flag("--zones", pOptions->bZones, "list the zones too");
  sCommand.pApp->add_flag("--networks", pOptions->bNetworks, "list the VPCs and security groups too");
  sCommand.fnResource = [pOptions] {
    return pOptions->strRegion.empty() ? std::string("every region") : "region " + pOptions->strRegion;
  };
  sCommand.fnRun = [pOptions](SContext& sContext) {
    const uint64_t nMask = pOptions->bZones ? AliCloudWrapper::VM_PROP_CLUSTER_HOST_LIST : 0;
    std::vector<SDCInfoLib> vecRegions;
    if (!RegionsInScope(sContext, pOptions->strRegion, nMask, vecRegions)) return false;
    std::vector<Record> vecRegionItems, vecZones, vecInstances;
    for (const SDCInfoLib& sRegion : vecRegions) {
      vecRegionItems.push_back({{"region-id", sRegion.strRegionId}, {"name", sRegion.strLocalName}});
      for (const auto& sZone : sRegion.vecZones) {
        vecZones.push_back(
            {{"zone-id", sZone.strZoneId}, {"name", sZone.strLocalName}, {"region", sRegion.strRegionId}});
      }
      std::vector<SVMInfoLib> vecRegionInstances;
      if (!sContext.sFacade.GetVMInfoListForRegion(sRegion.strRegionId, vecRegionInstances, "")) return false;
      for (const SVMInfoLib& sInstance : vecRegionInstances) vecInstances.push_back(InstanceRecord(sInstance));
    }
    sContext.sOut.Table("regions", vecRegionItems);
    if (pOptions->bZones) sContext.sOut.Table("zones", vecZones);
    sContext.sOut.Table("instances", vecInstances);
    return !pOptions->bNetworks || PrintNetworks(sContext, vecRegions);
  };
}

void AddImages(CommandTable& sTable) {
  struct SOptions {
    std::string strRegion;
    std::vector<std::string> vecImages;
  };
  auto pOptions = std::make_shared<SOptions>();
  SCommand& sCommand =
      sTable.Add("images", "the images the region's instances run, or the images named with --image");
  CommandTable::AddRegion(sCommand, pOptions->strRegion, true);
  sCommand.pApp->add_option("--image", pOptions->vecImages, "an image id (may be repeated)");
  sCommand.fnResource = [pOptions] { return "the images of region " + pOptions->strRegion; };
  sCommand.fnRun = [pOptions](SContext& sContext) {
    std::vector<std::string> vecIds = pOptions->vecImages;
    if (vecIds.empty()) {
      std::vector<SVMInfoLib> vecInstances;
      if (!sContext.sFacade.GetVMInfoListForRegion(pOptions->strRegion, vecInstances, "")) return false;
      std::set<std::string> setSeen;
      for (const SVMInfoLib& sInstance : vecInstances) {
        if (!sInstance.strImageId.empty() && setSeen.insert(sInstance.strImageId).second) {
          vecIds.push_back(sInstance.strImageId);
        }
      }
    }
    std::vector<Record> vecItems;
    for (const std::string& strImageId : vecIds) {
      // The library finds only available images: an instance's image may
      // have been deleted or deprecated since. Listed as not available, so
      // one such image does not hide the others.
      AliCloudWrapper::SImageInfoLib sImage;
      const bool bAvailable = sContext.sFacade.GetImageInfoForImage(pOptions->strRegion, strImageId, sImage);
      vecItems.push_back({{"image-id", strImageId},
                          {"available", bAvailable ? "yes" : "no"},
                          {"name", sImage.strImageName},
                          {"architecture", sImage.strArchitecture},
                          {"platform", sImage.strOSName}});
    }
    sContext.sOut.List("images", vecItems);
    return true;
  };
}

std::string Number(double dValue) {
  std::ostringstream out;
  out << dValue;
  return out.str();
}

void AddInstanceTypes(CommandTable& sTable) {
  struct SOptions {
    std::string strRegion, strZone;
  };
  auto pOptions = std::make_shared<SOptions>();
  SCommand& sCommand =
      sTable.Add("instance-types", "the instance types of a region, or those a zone offers");
  CommandTable::AddRegion(sCommand, pOptions->strRegion, true);
  sCommand.pApp->add_option("--zone", pOptions->strZone, "only the types this zone offers now");
  sCommand.fnResource = [pOptions] {
    return pOptions->strZone.empty() ? "region " + pOptions->strRegion : "zone " + pOptions->strZone;
  };
  sCommand.fnRun = [pOptions](SContext& sContext) {
    std::vector<SInstanceTypeInfoLib> vecRegionTypes;
    if (!sContext.sFacade.GetInstanceTypesForRegion(pOptions->strRegion, vecRegionTypes)) return false;
    std::vector<SInstanceTypeInfoLib> vecTypes = vecRegionTypes;
    if (!pOptions->strZone.empty()) {
      // The zone's answer has ids only, a type offered with and without I/O
      // optimisation twice: each once, its size from the region's catalogue.
      std::map<std::string, SInstanceTypeInfoLib> mapCatalogue;
      for (const auto& sType : vecRegionTypes) mapCatalogue.emplace(sType.strInstanceTypeId, sType);
      std::vector<SInstanceTypeInfoLib> vecZoneTypes;
      if (!sContext.sFacade.GetInstanceTypesForZone(pOptions->strRegion, pOptions->strZone, vecZoneTypes)) {
        return false;
      }
      vecTypes.clear();
      std::set<std::string> setSeen;
      for (const auto& sType : vecZoneTypes) {
        if (!setSeen.insert(sType.strInstanceTypeId).second) continue;
        const auto it = mapCatalogue.find(sType.strInstanceTypeId);
        vecTypes.push_back(it == mapCatalogue.end() ? sType : it->second);
      }
    }
    std::vector<Record> vecItems;
    for (const auto& sType : vecTypes) {
      const bool bSized = sType.nCpuCoreCount > 0;
      vecItems.push_back({{"instance-type", sType.strInstanceTypeId},
                          {"cpu-cores", bSized ? std::to_string(sType.nCpuCoreCount) : ""},
                          {"memory-gib", bSized ? Number(sType.dMemorySize) : ""}});
    }
    sContext.sOut.List("instance-types", vecItems);
    return true;
  };
}

}  // namespace

void RegisterComputeCommands(CommandTable& sTable) {
  AddInventory(sTable);
  AddImages(sTable);
  AddInstanceTypes(sTable);
}

}  // namespace acw
