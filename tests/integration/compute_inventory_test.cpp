// The compute inventory against the emulator's demo world (cn-hangzhou, and the
// inventory corner cases in cn-shanghai): the region cache, what each mask bit
// sends and to which host, the walks' failure rules, zones and networks,
// instance types, the VM cache, images and the configuration document. The
// requests are counted from the emulator's journal.
#include <gtest/gtest.h>

#include <boost/json.hpp>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/CAliCloudComputeQueries.h"
#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/CAliCloudNetwork.h"
#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/CAliCloudStorage.h"
#include "AliCloudWrapper/CAliCloudVPCConnection.h"
#include "EmulatorFixture.h"

namespace AliCloudWrapper {
namespace {

using AcwEmulator::FaultKind;
using AcwEmulator::JournalEntry;

constexpr const char* SHANGHAI = "cn-shanghai";
constexpr const char* SHANGHAI_HOST = "ecs.cn-shanghai.aliyuncs.com";
constexpr const char* ARM_INSTANCE = "i-acwinv000000000001";
constexpr const char* DEPRECATED_IMAGE_INSTANCE = "i-acwinv000000000002";
constexpr const char* DELETED_IMAGE_INSTANCE = "i-acwinv000000000003";

class ComputeInventory : public EmulatorFixture {
 protected:
  void SetUp() override {
    EmulatorFixture::SetUp();
    for (CAliCloudConnectionBase* pConnection : {static_cast<CAliCloudConnectionBase*>(&m_sECS),
                                                 static_cast<CAliCloudConnectionBase*>(&m_sVPC)}) {
      pConnection->SetAccessKeyId(KEY_ID);
      pConnection->SetAccessKeySecret(KEY_SECRET);
    }
    m_pQueries = NewQueries();
  }

  std::unique_ptr<CAliCloudComputeQueries> NewQueries() {
    return std::make_unique<CAliCloudComputeQueries>(&m_sECS, &m_sParser, &m_sStorage, &m_sNetwork);
  }
  CAliCloudComputeQueries& Q() { return *m_pQueries; }

  // The inventory's own region listings (the connection's endpoint lookup sends
  // one without "AcceptLanguage").
  size_t InventoryRegionListings() const {
    size_t n = 0;
    for (const JournalEntry& e : JournalOf("DescribeRegions")) n += Param(e, "AcceptLanguage") == "en-US" ? 1 : 0;
    return n;
  }
  // "Action@host" of every API request but the endpoint lookup, in order.
  std::vector<std::string> Sent() const {
    std::vector<std::string> vecSent;
    for (const JournalEntry& e : Journal()) {
      if (e.action == "DescribeRegions" && !Param(e, "AcceptLanguage")) continue;
      vecSent.push_back(e.action + "@" + e.host);
    }
    return vecSent;
  }
  void FailNext(const std::string& strAction, int nCount = 1) {
    InjectFault(FaultKind::ErrorResponse, strAction, nCount, 503);
  }

  CAliCloudECSConnection m_sECS;
  CAliCloudVPCConnection m_sVPC;
  CAliCloudParser m_sParser;
  CAliCloudStorage m_sStorage{&m_sECS, &m_sParser};
  CAliCloudNetwork m_sNetwork{&m_sECS, &m_sVPC, &m_sParser};
  std::unique_ptr<CAliCloudComputeQueries> m_pQueries;
};

template <typename T, typename F>
std::vector<std::string> Ids(const std::vector<T>& vec, F field) {
  std::vector<std::string> out;
  for (const T& item : vec) out.push_back(item.*field);
  return out;
}

// One "DescribeRegions" (in English) per object, however often the list is
// asked for; a failed one is tried again; a caller's vector that already holds
// records gets exactly the service's list and never poisons the cache.
TEST_F(ComputeInventory, TheRegionListIsFetchedOncePerObjectAndOnlyOnSuccess) {
  FailNext("DescribeRegions", 2);  // the endpoint lookup is not involved: no region-specific request yet
  std::vector<SDCInfoLib> vecRegions(2);  // a reused, non-empty vector
  vecRegions[0].strRegionId = "stale";
  EXPECT_TRUE(Q().GetRegionInfoList(vecRegions, 0, 0).IsError());
  ASSERT_TRUE(Q().GetRegionInfoList(vecRegions, 0, 0).IsError());
  ASSERT_FALSE(Q().GetRegionInfoList(vecRegions, 0, 0).IsError()) << Log().Dump();
  const std::vector<std::string> vecExpected = {"cn-hangzhou", "cn-shanghai", "ap-southeast-1", "cn-zhangjiakou"};
  EXPECT_EQ(Ids(vecRegions, &SDCInfoLib::strRegionId), vecExpected);
  EXPECT_EQ(vecRegions[0].strLocalName, "China (Hangzhou)");

  std::vector<SHostInfoLib> vecZones;
  vecRegions.resize(5);
  ASSERT_FALSE(Q().GetRegionInfoList(vecRegions, 0, 0).IsError());
  ASSERT_FALSE(Q().GetZoneInfoList(vecZones, 0, 0).IsError());
  EXPECT_EQ(Ids(vecRegions, &SDCInfoLib::strRegionId), vecExpected);
  EXPECT_EQ(vecZones.size(), 10u);
  EXPECT_EQ(InventoryRegionListings(), 3u);  // two failed, one served everything after

  auto pOther = NewQueries();  // a new object asks again
  ASSERT_FALSE(pOther->GetRegionInfoList(vecRegions, 0, 0).IsError());
  EXPECT_EQ(InventoryRegionListings(), 4u);
}

// Mask 0 sends nothing; each bit sends exactly its requests, to the region's host.
TEST_F(ComputeInventory, EachMaskBitSendsItsRequestsToTheRegionsHost) {
  const std::string strZones = std::string("DescribeZones@") + SHANGHAI_HOST;
  const std::string strInstances = std::string("DescribeInstances@") + SHANGHAI_HOST;
  const struct {
    uint64_t nMask;
    std::vector<std::string> vecSent;
    size_t nZones, nInstances;
  } aCases[] = {
      {0, {}, 0, 0},
      {VM_PROP_VM_DISK_LIST | VM_PROP_HOST_NW_LIST, {}, 0, 0},
      {VM_PROP_CLUSTER_HOST_LIST, {strZones}, 2, 0},
      {VM_PROP_HOST_VM_LIST, {strInstances}, 0, 3},
      {VM_PROP_CLUSTER_HOST_LIST | VM_PROP_HOST_VM_LIST, {strZones, strInstances}, 2, 3},
  };
  for (const auto& c : aCases) {
    SCOPED_TRACE(c.nMask);
    Emulator().ClearJournal();
    SDCInfoLib sRegion;
    ASSERT_FALSE(Q().GetRegionInfoForRegion(SHANGHAI, c.nMask, 0, sRegion).IsError());
    EXPECT_EQ(sRegion.strRegionId, SHANGHAI);
    EXPECT_EQ(Sent(), c.vecSent);
    EXPECT_EQ(sRegion.vecZones.size(), c.nZones);
    EXPECT_EQ(sRegion.vecVMs.size(), c.nInstances);
    for (const SHostInfoLib& sZone : sRegion.vecZones) EXPECT_EQ(sZone.strRegionId, SHANGHAI);
  }
}

// A failed zone listing is the result even when the instance listing after it
// succeeds; the instances are filled all the same.
TEST_F(ComputeInventory, AFailedZoneListingIsNotHiddenByTheInstances) {
  for (const bool bWithInstances : {false, true}) {
    SCOPED_TRACE(bWithInstances);
    FailNext("DescribeZones");
    SDCInfoLib sRegion;
    const uint64_t nMask = VM_PROP_CLUSTER_HOST_LIST | (bWithInstances ? VM_PROP_HOST_VM_LIST : 0);
    const CZeError eResult = Q().GetRegionInfoForRegion(SHANGHAI, nMask, 0, sRegion);
    ASSERT_TRUE(eResult.IsError());
    EXPECT_TRUE(eResult.HasServiceCode("InternalError")) << eResult.AsString();
    EXPECT_TRUE(sRegion.vecZones.empty());
    EXPECT_EQ(sRegion.vecVMs.size(), bWithInstances ? 3u : 0u);
  }
}

// The region walk goes on past a failing region; the zone walk stops there.
TEST_F(ComputeInventory, TheRegionWalkGoesOnPastAFailureAndTheZoneWalkStops) {
  std::vector<SDCInfoLib> vecRegions;
  ASSERT_FALSE(Q().GetRegionInfoList(vecRegions, 0, 0).IsError());
  Emulator().ClearJournal();
  FailNext("DescribeZones");
  EXPECT_TRUE(Q().GetRegionInfoList(vecRegions, VM_PROP_CLUSTER_HOST_LIST, 0).IsError());
  ASSERT_EQ(vecRegions.size(), 4u);
  EXPECT_TRUE(vecRegions[0].vecZones.empty());
  EXPECT_EQ(vecRegions[1].vecZones.size(), 2u);
  EXPECT_EQ(vecRegions[2].vecZones.size(), 3u);
  EXPECT_EQ(vecRegions[3].vecZones.size(), 2u);
  EXPECT_TRUE(Log().Contains("Failed to get DCInfo for [China (Hangzhou)]."));

  std::vector<SHostInfoLib> vecZones;
  FailNext("DescribeZones");
  EXPECT_TRUE(Q().GetZoneInfoList(vecZones, VM_PROP_HOST_VM_LIST, 0).IsError());
  EXPECT_TRUE(vecZones.empty());
  FailNext("DescribeInstances");  // the first zone of cn-hangzhou
  EXPECT_TRUE(Q().GetZoneInfoList(vecZones, VM_PROP_HOST_VM_LIST, 0).IsError());
  EXPECT_TRUE(vecZones.empty());

  ASSERT_FALSE(Q().GetZoneInfoList(vecZones, VM_PROP_HOST_VM_LIST, 0).IsError());
  ASSERT_EQ(vecZones.size(), 10u);
  EXPECT_EQ(vecZones[0].vecVMs.size(), 1u);                              // cn-hangzhou-h
  EXPECT_EQ(Ids(vecZones[4].vecVMs, &SVMInfoLib::strInstanceId),      // cn-shanghai-f
            std::vector<std::string>{ARM_INSTANCE});
  for (const SHostInfoLib& sZone : vecZones) EXPECT_FALSE(sZone.strRegionId.empty()) << sZone.strZoneId;
}

// The region of a zone is found without regard to letter case; a zone no region
// holds is code 1 naming it.
TEST_F(ComputeInventory, TheRegionOfAZoneIsFoundInAnyLetterCase) {
  SHostInfoLib sZone;
  ASSERT_FALSE(Q().GetZoneInfoForZone("CN-Shanghai-F", 0, 0, sZone, "").IsError());
  EXPECT_EQ(sZone.strRegionId, SHANGHAI);
  // One listing per region until the zone is found; nothing of it is kept.
  EXPECT_EQ(JournalOf("DescribeZones").size(), 2u);
  SHostInfoLib sExact;
  ASSERT_FALSE(Q().GetZoneInfoForZone("cn-shanghai-f", VM_PROP_HOST_VM_LIST, 0, sExact, "").IsError());
  EXPECT_EQ(JournalOf("DescribeZones").size(), 4u);
  EXPECT_EQ(Ids(sExact.vecVMs, &SVMInfoLib::strInstanceId), std::vector<std::string>{ARM_INSTANCE});

  SHostInfoLib sNowhere;
  const CZeError eResult = Q().GetZoneInfoForZone("xx-nowhere-a", VM_PROP_HOST_VM_LIST, 0, sNowhere, "");
  ASSERT_TRUE(eResult.IsError());
  EXPECT_EQ(eResult.GetErrorCode(), CZeError::CODE_FAILURE);
  EXPECT_EQ(eResult.GetErrorMessage(), "Couldn't find region for zone [xx-nowhere-a].");
  EXPECT_TRUE(Log().Contains("Failed to find region for zone [xx-nowhere-a]"));
}

// Networks of a zone: VPCs with their VSwitches in the zone and their groups. A
// failing VPC does not keep the other from being filled, and a VSwitch failure
// means no groups are asked for.
TEST_F(ComputeInventory, ANetworkFailureOfOneVpcLeavesTheOtherFilled) {
  const struct {
    const char* pszFailing;
    const char* pszError;
    size_t nGroupListings;
  } aCases[] = {
      {"", "", 2},
      {"DescribeVSwitches", "Failed to get at least one VSwitch under zone [cn-shanghai-e].", 0},
      {"DescribeSecurityGroups", "Failed to get security groups for at least one VPC.", 2},
  };
  for (const auto& c : aCases) {
    SCOPED_TRACE(c.pszFailing);
    Emulator().ClearJournal();
    if (*c.pszFailing != 0) FailNext(c.pszFailing);
    SHostInfoLib sZone;
    sZone.strZoneId = "cn-shanghai-e";
    sZone.strRegionId = SHANGHAI;
    const CZeError eResult = Q().FillNWInfoList(sZone);
    EXPECT_EQ(eResult.GetErrorMessage(), c.pszError);
    ASSERT_EQ(sZone.vecVPCs.size(), 2u);
    const SVPCInfoLib& sSecond = sZone.vecVPCs[1];
    EXPECT_EQ(Ids(sSecond.vecVSwitches, &SVSwitchInfoLib::strVSwitchId),
              std::vector<std::string>{"vsw-acwinv000000002e"});
    EXPECT_EQ(JournalOf("DescribeSecurityGroups").size(), c.nGroupListings);
    if (c.nGroupListings != 0) {
      EXPECT_EQ(sSecond.vecSecurityGroups.size(), 2u);
    }
  }
}

// Instance types: the zone's two passes (optimised, then not) keep only the
// available types; memory sizes keep their fraction; the type list follows the
// service's page tokens and stops at a repeated one.
TEST_F(ComputeInventory, InstanceTypesOfAZoneAFamilyAndTheCatalogue) {
  std::vector<SInstanceTypeInfoLib> vecTypes;
  ASSERT_FALSE(Q().GetInstanceTypesForZone(SHANGHAI, "cn-shanghai-e", vecTypes).IsError());
  EXPECT_EQ(Ids(vecTypes, &SInstanceTypeInfoLib::strInstanceTypeId),
            (std::vector<std::string>{"ecs.g6.large", "ecs.t5-lc2m1.nano", "ecs.n1.tiny"}));  // xlarge sold out
  const auto vecAsked = JournalOf("DescribeAvailableResource");
  ASSERT_EQ(vecAsked.size(), 2u);
  EXPECT_EQ(Param(vecAsked[0], "IoOptimized"), "optimized");
  EXPECT_EQ(Param(vecAsked[1], "IoOptimized"), "none");
  EXPECT_EQ(Param(vecAsked[1], "DestinationResource"), "InstanceType");

  vecTypes.clear();
  ASSERT_FALSE(Q().GetInstanceTypeList("", vecTypes).IsError());
  ASSERT_EQ(vecTypes.size(), 6u);
  EXPECT_EQ(vecTypes[1].strInstanceTypeId, "ecs.g6.xlarge");
  EXPECT_EQ(vecTypes[1].dMemorySize, 16.0);
  EXPECT_EQ(vecTypes[3].dMemorySize, 0.5);
  EXPECT_EQ(vecTypes[3].nCpuCoreCount, 1);

  std::vector<SInstanceTypeFamilyInfoLib> vecFamilies;
  ASSERT_FALSE(Q().GetInstanceTypeFamiliesForRegion(SHANGHAI, vecFamilies).IsError());
  EXPECT_EQ(vecFamilies.size(), 5u);
  vecTypes.clear();
  ASSERT_FALSE(Q().GetInstanceTypesForRegion(SHANGHAI, vecTypes).IsError());
  EXPECT_EQ(vecTypes.size(), 6u);

  // Pages of one type each, the token naming the next; the third page repeats a token.
  Emulator().RegisterAction(AcwEmulator::Product::Ecs, "DescribeInstanceTypes", [](AcwEmulator::ActionContext& ctx) {
    const std::string token = ctx.Get("NextToken", "");
    const std::string next = token.empty() ? "t1" : token == "t1" ? "t2" : "t1";
    return boost::json::object{
        {"InstanceTypes", boost::json::object{{"InstanceType", boost::json::array{boost::json::object{
                                                                   {"InstanceTypeId", "page-" + token}}}}}},
        {"NextToken", next}};
  });
  Emulator().ClearJournal();
  vecTypes.clear();
  ASSERT_FALSE(Q().GetInstanceTypeList("ecs.g6", vecTypes).IsError());
  EXPECT_EQ(Ids(vecTypes, &SInstanceTypeInfoLib::strInstanceTypeId),
            (std::vector<std::string>{"page-", "page-t1", "page-t2"}));
  const auto vecPages = JournalOf("DescribeInstanceTypes");
  ASSERT_EQ(vecPages.size(), 3u);
  EXPECT_EQ(Param(vecPages[2], "NextToken"), "t2");
  EXPECT_EQ(Param(vecPages[0], "InstanceTypeFamily"), "ecs.g6");
  EXPECT_TRUE(Log().Contains("repeated the page token [t1]"));
}

// The VM cache: empty before a refresh; every region's instances in order after
// one; partial after a failed one; no duplicates after the next.
TEST_F(ComputeInventory, TheVMCacheFollowsTheLastRefresh) {
  std::vector<SVMInfoLib> vecCached(1);
  Q().GetVMInfoCache(vecCached);
  EXPECT_TRUE(vecCached.empty());

  const std::vector<std::string> vecAll = {"i-acwemu00000000000001", ARM_INSTANCE, DEPRECATED_IMAGE_INSTANCE,
                                           DELETED_IMAGE_INSTANCE};
  ASSERT_FALSE(Q().RefreshVMInfoCache().IsError());
  Q().GetVMInfoCache(vecCached);
  EXPECT_EQ(Ids(vecCached, &SVMInfoLib::strInstanceId), vecAll);

  // The second region's listing fails (faults are taken in the order given: the
  // first, an empty delay, lets cn-hangzhou through): the first region stays.
  AcwEmulator::Fault sPass(FaultKind::Delay, "DescribeInstances", 1);
  InjectFault(sPass);
  FailNext("DescribeInstances");
  ASSERT_TRUE(Q().RefreshVMInfoCache().IsError());
  Q().GetVMInfoCache(vecCached);
  EXPECT_EQ(Ids(vecCached, &SVMInfoLib::strInstanceId), std::vector<std::string>{vecAll[0]});
  ASSERT_FALSE(Q().RefreshVMInfoCache().IsError());
  Q().GetVMInfoCache(vecCached);
  EXPECT_EQ(Ids(vecCached, &SVMInfoLib::strInstanceId), vecAll);
  EXPECT_EQ(InventoryRegionListings(), 1u);
}

// Images: one found; none (deleted, or only deprecated) and two are code 1
// naming the image, the record unchanged.
TEST_F(ComputeInventory, AnImageLookupNeedsExactlyOneAvailableImage) {
  SImageInfoLib sImage;
  ASSERT_FALSE(Q().GetImageInfo(SHANGHAI, "m-acwinvarm64000001", sImage).IsError());
  EXPECT_EQ(sImage.strArchitecture, "arm64");
  EXPECT_EQ(sImage.strOSName, "Ubuntu");
  const auto vecAsked = JournalOf("DescribeImages");
  ASSERT_EQ(vecAsked.size(), 1u);
  EXPECT_EQ(vecAsked[0].host, SHANGHAI_HOST);
  EXPECT_FALSE(Param(vecAsked[0], "Status").has_value());

  for (const char* pszImage : {"m-acwinvdeleted00001", "m-acwinvdeprecated01"}) {
    const CZeError eResult = Q().GetImageInfo(SHANGHAI, pszImage, sImage);
    EXPECT_EQ(eResult.GetErrorMessage(), std::string("Couldn't find image [") + pszImage + "]");
  }
  Emulator().RegisterAction(AcwEmulator::Product::Ecs, "DescribeImages", [](AcwEmulator::ActionContext&) {
    const boost::json::object image{{"ImageId", "m-twice"}, {"Architecture", "x86_64"}};
    return boost::json::object{{"Images", boost::json::object{{"Image", boost::json::array{image, image}}}}};
  });
  const CZeError eTwo = Q().GetImageInfo(SHANGHAI, "m-twice", sImage);
  EXPECT_EQ(eTwo.GetErrorCode(), CZeError::CODE_FAILURE);
  EXPECT_EQ(eTwo.GetErrorMessage(), "Found multiple images for [m-twice]");
  EXPECT_EQ(sImage.strImageId, "m-acwinvarm64000001");
}

// One instance with its document: the image's platform and architecture in the
// record and in "AdditionalInfo", the disks only with the disk bit. An image that
// cannot be read leaves both empty, succeeds, and is an error line naming the
// instance and the image.
TEST_F(ComputeInventory, AnInstanceAndItsConfigurationDocument) {
  const struct {
    const char* pszInstance;
    uint64_t nMask;
    const char* pszPlatform;
    const char* pszArchitecture;
    size_t nDisks;
  } aCases[] = {
      {ARM_INSTANCE, 0, "Ubuntu", "arm64", 0},
      {ARM_INSTANCE, VM_PROP_VM_DISK_LIST, "Ubuntu", "arm64", 1},
      {DEPRECATED_IMAGE_INSTANCE, VM_PROP_VM_DISK_LIST, "", "", 1},
      {DELETED_IMAGE_INSTANCE, 0, "", "", 0},
  };
  for (const auto& c : aCases) {
    SCOPED_TRACE(std::string(c.pszInstance) + " " + std::to_string(c.nMask));
    Log().Clear();
    SVMInfoLib sInstance;
    std::string strDocument;
    ASSERT_FALSE(Q().GetVMInfoAndConfigFile(c.pszInstance, c.nMask, 0, sInstance, strDocument).IsError());
    EXPECT_EQ(sInstance.strOSName, c.pszPlatform);
    EXPECT_EQ(sInstance.strArchitecture, c.pszArchitecture);
    EXPECT_EQ(sInstance.vecDisks.size(), c.nDisks);
    const boost::json::object doc = boost::json::parse(strDocument).as_object();
    EXPECT_EQ(doc.at("AdditionalInfo"),
              (boost::json::object{{"Platform", c.pszPlatform}, {"Architecture", c.pszArchitecture}}));
    EXPECT_EQ(doc.at("InstanceId"), c.pszInstance);
    EXPECT_TRUE(doc.contains("RequestId"));  // kept though no converter reads it
    EXPECT_FALSE(doc.contains("Disks"));
    const bool bImageMissing = *c.pszPlatform == 0;
    const std::string strLine = "Could not read image [" + sInstance.strImageId + "] of instance [" + c.pszInstance;
    size_t nErrorLines = 0;
    for (const SLogRecord& sRecord : Log().Records()) {
      nErrorLines += sRecord.bError && sRecord.strMessage.find(strLine) != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(nErrorLines, bImageMissing ? 1u : 0u) << Log().Dump();
  }
  SVMInfoLib sArm;
  std::string strDocument;
  ASSERT_FALSE(Q().GetVMInfoAndConfigFile(ARM_INSTANCE, 0, 0, sArm, strDocument).IsError());
  EXPECT_EQ(sArm.strInstanceName, "数据库服务器-01 «primary»");
  SVMInfoLib sReadBack;
  ASSERT_TRUE(m_sParser.ParseObject(strDocument, sReadBack));
  EXPECT_EQ(sReadBack.strInstanceName, sArm.strInstanceName);
  EXPECT_EQ(sReadBack.strArchitecture, "arm64");
  EXPECT_EQ(sReadBack.sNetworkInfo.vecPrivateIpAddresses, sArm.sNetworkInfo.vecPrivateIpAddresses);

  const CZeError eMissing = Q().GetVMInfoAndConfigFile("i-missing", 0, 0, sArm, strDocument);
  EXPECT_TRUE(eMissing.HasServiceCode("InvalidInstanceId.NotFound"));
  EXPECT_TRUE(Q().GetVMInfoAndConfigFile("", 0, 0, sArm, strDocument).IsError());

  std::vector<SVMInfoLib> vecNamed(3);
  ASSERT_FALSE(Q().GetVMInfoListForRegion(SHANGHAI, vecNamed, "legacy-*").IsError());
  EXPECT_EQ(Ids(vecNamed, &SVMInfoLib::strInstanceId), std::vector<std::string>{DEPRECATED_IMAGE_INSTANCE});
  EXPECT_EQ(Param(JournalOf("DescribeInstances").back(), "InstanceName"), "legacy-*");
}

}  // namespace
}  // namespace AliCloudWrapper
