// Subcommands on VPCs, security groups and public addresses.
#include "Tool.h"

namespace acw {

namespace {

using AliCloudWrapper::SElasticIPAddress;

void AddVpcs(CommandTable& sTable) {
  auto pRegion = std::make_shared<std::string>();
  SCommand& sCommand = sTable.Add("vpcs", "the region's VPCs");
  CommandTable::AddRegion(sCommand, *pRegion, true);
  sCommand.fnResource = [pRegion] { return "region " + *pRegion; };
  sCommand.fnRun = [pRegion](SContext& sContext) {
    std::vector<AliCloudWrapper::SVPCInfoLib> vecVpcs;
    if (!sContext.sFacade.GetVPCListInRegion(*pRegion, vecVpcs)) return false;
    std::vector<Record> vecItems;
    for (const auto& sVpc : vecVpcs) vecItems.push_back({{"vpc-id", sVpc.strVpcId}, {"name", sVpc.strVpcName}});
    sContext.sOut.List("vpcs", vecItems);
    return true;
  };
}

void AddSecurityGroups(CommandTable& sTable) {
  auto pRegion = std::make_shared<std::string>();
  SCommand& sCommand = sTable.Add("security-groups", "the region's security groups");
  CommandTable::AddRegion(sCommand, *pRegion, true);
  sCommand.fnResource = [pRegion] { return "region " + *pRegion; };
  sCommand.fnRun = [pRegion](SContext& sContext) {
    std::vector<AliCloudWrapper::SSecurityGroupInfoLib> vecGroups;
    if (!sContext.sFacade.GetSecurityGroupList(*pRegion, vecGroups)) return false;
    std::vector<Record> vecItems;
    for (const auto& sGroup : vecGroups) {
      vecItems.push_back({{"security-group-id", sGroup.strSecurityGroupId},
                          {"name", sGroup.strSecurityGroupName},
                          {"vpc", sGroup.strVpcId}});
    }
    sContext.sOut.List("security-groups", vecItems);
    return true;
  };
}

void AddEipCreate(CommandTable& sTable) {
  struct SOptions {
    std::string strRegion, strBandwidth, strChargeType;
  };
  auto pOptions = std::make_shared<SOptions>();
  SCommand& sCommand = sTable.Add("eip-create", "allocate an elastic IP");
  CommandTable::AddRegion(sCommand, pOptions->strRegion, true);
  sCommand.pApp->add_option("--bandwidth", pOptions->strBandwidth, "bandwidth, Mbit/s (default: the service's)");
  sCommand.pApp->add_option("--charge-type", pOptions->strChargeType, "internet charge type");
  sCommand.fnResource = [pOptions] { return "region " + pOptions->strRegion; };
  sCommand.fnRun = [pOptions](SContext& sContext) {
    std::string strAllocationId;
    if (!sContext.sFacade.CreateEIPAddress(pOptions->strRegion, strAllocationId, pOptions->strBandwidth,
                                           pOptions->strChargeType)) {
      return false;
    }
    sContext.sOut.Field("allocation-id", strAllocationId);
    return true;
  };
}

void AddEipInfo(CommandTable& sTable) {
  struct SOptions {
    std::string strRegion, strAllocation;
  };
  auto pOptions = std::make_shared<SOptions>();
  SCommand& sCommand = sTable.Add("eip-info", "one elastic IP's record");
  CommandTable::AddRegion(sCommand, pOptions->strRegion, true);
  sCommand.pApp->add_option("--allocation", pOptions->strAllocation, "allocation id")->required();
  sCommand.fnResource = [pOptions] { return "elastic IP " + pOptions->strAllocation; };
  sCommand.fnRun = [pOptions](SContext& sContext) {
    SElasticIPAddress sAddress;
    if (!sContext.sFacade.GetElasticIPAddress(pOptions->strRegion, pOptions->strAllocation, sAddress)) {
      return false;
    }
    Output& sOut = sContext.sOut;
    sOut.Field("allocation-id", sAddress.strAllocationId);
    sOut.Field("ip-address", sAddress.strIpAddress);
    sOut.Field("region", sAddress.strRegionId);
    sOut.Field("status", sAddress.strStatus);
    sOut.Field("instance-id", sAddress.strInstanceId);
    sOut.Field("bandwidth-mbps", sAddress.strBandwidth);
    sOut.Field("charge-type", sAddress.strInternetChargeType);
    sOut.Values("lock-reason", sAddress.vecLockReasons);
    return true;
  };
}

void AddEipBind(CommandTable& sTable) {
  struct SOptions {
    std::string strAllocation, strInstance;
  };
  auto pOptions = std::make_shared<SOptions>();
  SCommand& sCommand = sTable.Add("eip-bind", "bind an elastic IP to an instance");
  sCommand.pApp->add_option("--allocation", pOptions->strAllocation, "allocation id")->required();
  sCommand.pApp->add_option("--instance", pOptions->strInstance, "instance id")->required();
  sCommand.fnResource = [pOptions] {
    return "elastic IP " + pOptions->strAllocation + " and instance " + pOptions->strInstance;
  };
  sCommand.fnRun = [pOptions](SContext& sContext) {
    if (!sContext.sFacade.BindEIPToInstance(pOptions->strAllocation, pOptions->strInstance)) return false;
    sContext.sOut.Field("bound", pOptions->strAllocation + " to " + pOptions->strInstance);
    return true;
  };
}

void AddEipRelease(CommandTable& sTable) {
  auto pAllocation = std::make_shared<std::string>();
  SCommand& sCommand = sTable.Add("eip-release", "release an unbound elastic IP");
  sCommand.pApp->add_option("--allocation", *pAllocation, "allocation id")->required();
  sCommand.fnResource = [pAllocation] { return "elastic IP " + *pAllocation; };
  sCommand.fnRun = [pAllocation](SContext& sContext) {
    if (!sContext.sFacade.ReleaseEIPAddress(*pAllocation)) return false;
    sContext.sOut.Field("released", *pAllocation);
    return true;
  };
}

void AddPublicIp(CommandTable& sTable) {
  auto pInstance = std::make_shared<std::string>();
  SCommand& sCommand = sTable.Add("public-ip", "give an instance a public IP address");
  sCommand.pApp->add_option("--instance", *pInstance, "instance id")->required();
  sCommand.fnResource = [pInstance] { return "instance " + *pInstance; };
  sCommand.fnRun = [pInstance](SContext& sContext) {
    std::string strAddress;
    if (!sContext.sFacade.AssociatePublicIP(*pInstance, strAddress)) return false;
    sContext.sOut.Field("public-ip", strAddress);
    return true;
  };
}

}  // namespace

void RegisterNetworkCommands(CommandTable& sTable) {
  AddVpcs(sTable);
  AddSecurityGroups(sTable);
  AddEipCreate(sTable);
  AddEipInfo(sTable);
  AddEipBind(sTable);
  AddEipRelease(sTable);
  AddPublicIp(sTable);
}

}  // namespace acw
