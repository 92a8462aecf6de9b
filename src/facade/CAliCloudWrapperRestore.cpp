// Restore-time components: a configuration document read back into a record,
// and the network extras (elastic IP, public IP, further security groups) that
// a restored instance takes over from its source.
#include <string>
#include <vector>

#include "AliCloudWrapper/CAliCloudComputeOperations.h"
#include "AliCloudWrapper/CAliCloudNetwork.h"
#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/CAliCloudWrapper.h"
#include "AliCloudWrapper/ComputeRecords.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"

namespace AliCloudWrapper {

namespace {

const char* const CONFIG_FILE_UNREADABLE = "Failed to parse configuration file.";

// Binds the address and waits until the service has settled the association:
// an accepted bind may still fall back later, and only a settled one gives the
// instance its address.
CZeError BindAndConfirm(CAliCloudNetwork& sNetwork, const std::string& strRegionId,
                        const std::string& strAllocationId, const std::string& strInstanceId) {
  CZeError err = sNetwork.BindEIPToInstance(strAllocationId, strInstanceId);
  if (err.IsError()) return err;
  return sNetwork.WaitForEIPAssociation(strRegionId, strAllocationId, strInstanceId);
}

}  // namespace

bool CAliCloudWrapper::GetVMInfoFromConfigFile(const std::string& strConfigFile, SVMInfoLib& sInstance) {
  if (pParser->ParseObject(strConfigFile, sInstance)) return true;
  strLastError = CONFIG_FILE_UNREADABLE;
  sEvent.Error(__PRETTY_FUNCTION__, "Failed to parse configuration file. Content : [%s]", strConfigFile.c_str());
  return false;
}

bool CAliCloudWrapper::AddPeripheralComponents(const SVMInfoLib& sNewInstance, const std::string& strConfigFile) {
  SVMInfoLib sSource;
  if (!strConfigFile.empty() && !pParser->ParseObject(strConfigFile, sSource)) {
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to parse config file content [%s].", strConfigFile.c_str());
    // The caller reads the last error after false: it must say why.
    strLastError = CONFIG_FILE_UNREADABLE;
    return false;
  }

  // Each address step that runs must succeed: a public IP that could be given
  // does not make up for an elastic IP that could not (the caller would believe
  // the server has all its addresses). Each failure sets the last error, so it
  // is that of the last one.
  bool bResult = true;
  if (!sSource.sElasticIPAddress.strAllocationId.empty()) {
    bResult = _AddElasticIPAddress(sNewInstance, sSource) && bResult;
  }
  if (!sSource.vecPublicIpAddresses.empty()) {
    std::string strIpAddress;
    if (AssociatePublicIP(sNewInstance.strInstanceId, strIpAddress)) {
      sEvent.Debug(__PRETTY_FUNCTION__, "Created public IP address [%s].", strIpAddress.c_str());
    } else {
      bResult = false;
    }
  }

  // The first group is the one the instance was created in.
  if (sNewInstance.vecSecurityGroups.size() > 1) {
    sEvent.Debug(__PRETTY_FUNCTION__, "Assigning additional security groups to instance [%s].",
                 sNewInstance.strInstanceId.c_str());
    const std::vector<SSecurityGroupInfoLib> vecAdditional(sNewInstance.vecSecurityGroups.begin() + 1,
                                                           sNewInstance.vecSecurityGroups.end());
    (void)pComputeOperations->AssignSecurityGroupsToInstance(sNewInstance.strInstanceId, vecAdditional);
  }
  return bResult;
}

bool CAliCloudWrapper::_AddElasticIPAddress(const SVMInfoLib& sNewInstance, const SVMInfoLib& sSourceInstance) {
  const SElasticIPAddress& sSourceEip = sSourceInstance.sElasticIPAddress;
  const std::string& strRegionId = sNewInstance.strRegionId;
  const std::string& strInstanceId = sNewInstance.strInstanceId;

  // The instance's own description of its address carries no region; an
  // address is only ever bound within its own region, so it is the source
  // instance's.
  const std::string& strSourceEipRegion =
      sSourceEip.strRegionId.empty() ? sSourceInstance.strRegionId : sSourceEip.strRegionId;
  if (strSourceEipRegion == strRegionId) {
    bool bAvailable = false;
    CZeError err = pNetwork->IsEIPAvailableForBinding(strRegionId, sSourceEip.strAllocationId, bAvailable);
    if (err.IsError()) {
      sEvent.Debug(__PRETTY_FUNCTION__, "Failed to determine if original EIP [%s] is usable or not. Error: [%s]",
                   sSourceEip.strAllocationId.c_str(), err.AsString().c_str());
    } else if (bAvailable) {
      err = BindAndConfirm(*pNetwork, strRegionId, sSourceEip.strAllocationId, strInstanceId);
      if (!err.IsError()) {
        sEvent.Debug(__PRETTY_FUNCTION__, "Successfully bound EIP [%s] to instance [%s].",
                     sSourceEip.strAllocationId.c_str(), strInstanceId.c_str());
        return true;
      }
      // The source's address is not ours to release: it stays as it is.
      sEvent.Debug(__PRETTY_FUNCTION__, "Failed to bind original EIP [%s] to instance [%s]. Error: [%s]",
                   sSourceEip.strAllocationId.c_str(), strInstanceId.c_str(), err.AsString().c_str());
    }
  }

  sEvent.Debug(__PRETTY_FUNCTION__, "Proceeding with creation of new EIP address.");
  std::string strAllocationId;
  CZeError err = pNetwork->CreateEIPAddress(strRegionId, strAllocationId, sSourceEip.strBandwidth,
                                            sSourceEip.strInternetChargeType);
  if (err.IsError()) {
    strLastError = err.AsString(EErrorOutputFormat(EErrorOutputFormat::MESSAGE));
    sEvent.Error(__PRETTY_FUNCTION__, "Failed to create a new EIP in region [%s] with error [%s].",
                 strRegionId.c_str(), err.AsString().c_str());
    return false;
  }

  err = BindAndConfirm(*pNetwork, strRegionId, strAllocationId, strInstanceId);
  if (!err.IsError()) {
    sEvent.Debug(__PRETTY_FUNCTION__, "Successfully bound EIP [%s] to instance [%s].", strAllocationId.c_str(),
                 strInstanceId.c_str());
    return true;
  }
  strLastError = err.AsString(EErrorOutputFormat(EErrorOutputFormat::MESSAGE));
  sEvent.Error(__PRETTY_FUNCTION__, "Failed to bind EIP [%s] to instance [%s]. Error: [%s].", strAllocationId.c_str(),
               strInstanceId.c_str(), err.AsString().c_str());
  // An address nobody uses is still billed: release it at once.
  CZeError errRelease = pNetwork->DeleteEIP(strAllocationId);
  if (errRelease.IsError()) {
    sEvent.Error(__PRETTY_FUNCTION__, "WARNING!!! Failed to delete EIP [%s] with error [%s].",
                 strAllocationId.c_str(), errRelease.AsString().c_str());
  }
  return false;
}

}  // namespace AliCloudWrapper
