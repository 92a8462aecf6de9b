// The facade's compute inventory rows against the emulator's demo world: one
// table provokes a failure of each and checks the last error and the log line
// (its arguments in the row's order); the status of an unknown instance.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/CAliCloudWrapper.h"
#include "AliCloudWrapper/ComputeRecords.h"
#include "EmulatorFixture.h"

namespace AliCloudWrapper {
namespace {

class FacadeCompute : public EmulatorFixture {
 protected:
  void SetUp() override {
    EmulatorFixture::SetUp();
    ASSERT_TRUE(m_sFacade.Connect(KEY_ID, KEY_SECRET)) << m_sFacade.GetLastError();
  }
  std::optional<SLogRecord> FindErrorLine(const std::string& strLead) {
    for (const SLogRecord& sRecord : Log().Records()) {
      if (sRecord.bError && sRecord.strMessage.rfind(strLead + " Error: [", 0) == 0) return sRecord;
    }
    return std::nullopt;
  }
  CAliCloudWrapper m_sFacade;
};

TEST_F(FacadeCompute, FailuresReachTheLastErrorAndTheLogWithTheirArguments) {
  CAliCloudWrapper& f = m_sFacade;
  std::vector<SDCInfoLib> vecRegions;
  std::vector<SHostInfoLib> vecZones;
  std::vector<SVMInfoLib> vecInstances;
  std::vector<SInstanceTypeFamilyInfoLib> vecFamilies;
  std::vector<SInstanceTypeInfoLib> vecTypes;
  SDCInfoLib sRegion;
  SHostInfoLib sZone;
  SVMInfoLib sInstance;
  SImageInfoLib sImage;
  std::string strDocument;
  const auto failNext = [&](const char* pszAction) {
    InjectFault(AcwEmulator::FaultKind::ErrorResponse, pszAction, 1, 503);
  };
  struct SCase {
    const char* pszName;
    const char* pszFaultedAction;  // empty: the arguments alone fail
    std::function<bool()> fnCall;
    const char* pszLead;  // the message up to " Error: ["
    const char* pszEnd;   // what follows the closing "]"
  };
  const SCase aCases[] = {
      {"GetRegionInfoList", "DescribeRegions", [&] { return f.GetRegionInfoList(vecRegions, 0, 0); },
       "Failed to get region information.", "."},
      {"GetZoneInfoList", "DescribeRegions", [&] { return f.GetZoneInfoList(vecZones, 0, 0); },
       "Failed to get host information.", "."},
      {"GetRegionInfoForRegion", "",
       [&] { return f.GetRegionInfoForRegion("xx-nowhere", VM_PROP_CLUSTER_HOST_LIST, 0, sRegion); },
       "Failed to get Datacenter information.", "."},
      {"GetZoneInfoForZone", "", [&] { return f.GetZoneInfoForZone("xx-nowhere-a", 0, 0, sZone, ""); },
       "Failed to get Datacenter information.", "."},
      {"GetVMInfoListForRegion", "DescribeInstances",
       [&] { return f.GetVMInfoListForRegion("cn-shanghai", vecInstances, ""); },
       "Failed to get vm list in region [cn-shanghai].", "."},
      {"GetInstanceTypeFamiliesForRegion", "", [&] { return f.GetInstanceTypeFamiliesForRegion("xx-nowhere", vecFamilies); },
       "Failed to get InstanceTypeFamily information.", "."},
      {"GetInstanceTypesForRegion", "", [&] { return f.GetInstanceTypesForRegion("", vecTypes); },
       "Failed to get InstanceType information.", "."},
      {"GetInstanceTypesForZone", "", [&] { return f.GetInstanceTypesForZone("cn-shanghai", "", vecTypes); },
       "Failed to get InstanceType information.", "."},
      {"GetInstanceTypes", "DescribeInstanceTypes", [&] { return f.GetInstanceTypes("", vecTypes); },
       "Failed to get InstanceType information.", "."},
      {"GetVMInfoAndConfigFile", "",
       [&] { return f.GetVMInfoAndConfigFile("i-missing", VM_PROP_VM_DISK_LIST, 0, sInstance, strDocument); },
       "GetVMInfoAndConfigFile failed for VM [i-missing].", ""},
      {"GetVMInfoForVM", "", [&] { return f.GetVMInfoForVM("i-missing", sInstance, 0, 0); },
       "GetVMInfoForVM failed for VM [i-missing].", ""},
      {"RefreshVMInfoCache", "DescribeInstances", [&] { return f.RefreshVMInfoCache(); },
       "Failed to refresh vmInfo cache.", "."},
      {"GetImageInfoForImage", "", [&] { return f.GetImageInfoForImage("cn-shanghai", "m-missing", sImage); },
       "Failed to get image info for image [m-missing].", "."},
  };
  for (const SCase& sCase : aCases) {
    SCOPED_TRACE(sCase.pszName);
    Log().Clear();
    f.ClearLastError();
    if (*sCase.pszFaultedAction != 0) failNext(sCase.pszFaultedAction);
    EXPECT_FALSE(sCase.fnCall());
    Emulator().ClearFaults();
    const std::string strLastError = f.GetLastError();
    EXPECT_FALSE(strLastError.empty());
    EXPECT_EQ(strLastError.find("(at "), std::string::npos) << strLastError;
    const std::optional<SLogRecord> sLine = FindErrorLine(sCase.pszLead);
    ASSERT_TRUE(sLine.has_value()) << Log().Dump();
    EXPECT_NE(sLine->strContext.find(std::string("CAliCloudWrapper::") + sCase.pszName + "("), std::string::npos)
        << sLine->strContext;
    const std::string& strMessage = sLine->strMessage;
    EXPECT_EQ(strMessage.substr(strMessage.rfind(']') + 1), sCase.pszEnd) << strMessage;
    EXPECT_NE(strMessage.find(strLastError), std::string::npos) << strMessage;
  }

  // The cache cannot fail: before a successful refresh it is empty.
  vecInstances.resize(2);
  EXPECT_TRUE(f.GetVMInfoList(vecInstances));
  EXPECT_TRUE(vecInstances.empty());
}

// An unknown instance: false, the status as it was, GetVMInfoForVM's last error
// and log line; a known one gives the service's state.
TEST_F(FacadeCompute, TheStatusOfAnInstance) {
  std::string strStatus = "unchanged";
  EXPECT_FALSE(m_sFacade.GetStatusOfInstance("i-missing", strStatus));
  EXPECT_EQ(strStatus, "unchanged");
  EXPECT_NE(m_sFacade.GetLastError().find("InvalidInstanceId.NotFound"), std::string::npos);
  EXPECT_TRUE(FindErrorLine("GetVMInfoForVM failed for VM [i-missing].").has_value()) << Log().Dump();

  ASSERT_TRUE(m_sFacade.GetStatusOfInstance("i-acwemu00000000000001", strStatus));
  EXPECT_EQ(strStatus, "Running");
}

}  // namespace
}  // namespace AliCloudWrapper
