// Compute against the emulator, read from its journal. The inventory on the
// demo world (cn-hangzhou, and the inventory corner cases in cn-shanghai): the
// region cache, what each mask bit sends and to which host, the walks' failure
// rules, zones and networks, instance types, the VM cache, images and the
// configuration document. The operations on a world of their own: the
// CreateInstance request and its resends, the primary security group,
// start/stop/delete with their states, Conflict retries, disk attachment,
// images and group joins.
#include <gtest/gtest.h>

#include <boost/json.hpp>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "AliCloudWrapper/AliCloudConstants.h"
#include "AliCloudWrapper/CAliCloudComputeOperations.h"
#include "AliCloudWrapper/CAliCloudComputeQueries.h"
#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/ComputeRecords.h"
#include "ServiceTestFixture.h"

namespace AliCloudWrapper {
namespace {

using AcwEmulator::FaultKind;
using AcwEmulator::JournalEntry;

constexpr const char* SHANGHAI = "cn-shanghai";
constexpr const char* SHANGHAI_HOST = "ecs.cn-shanghai.aliyuncs.com";
constexpr const char* ARM_INSTANCE = "i-acwinv000000000001";
constexpr const char* DEPRECATED_IMAGE_INSTANCE = "i-acwinv000000000002";
constexpr const char* DELETED_IMAGE_INSTANCE = "i-acwinv000000000003";

// The demo world as it is, on the regional hosts.
class ComputeInventory : public ServiceTest {
 protected:
  std::string_view World() const override { return "{}"; }
  bool GlobalHostOnly() const override { return false; }
  void SetUp() override {
    ServiceTest::SetUp();
    m_pQueries = NewQueries();
  }
  void TearDown() override {
    m_pQueries.reset();
    ServiceTest::TearDown();
  }

  std::unique_ptr<CAliCloudComputeQueries> NewQueries() {
    return std::make_unique<CAliCloudComputeQueries>(m_pECSConnection.get(), &m_sParser, m_pStorage.get(),
                                                     m_pNetwork.get());
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

  std::unique_ptr<CAliCloudComputeQueries> m_pQueries;
};

template <typename T, typename F>
std::vector<std::string> IdsOf(const std::vector<T>& vec, F field) {
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
  EXPECT_EQ(IdsOf(vecRegions, &SDCInfoLib::strRegionId), vecExpected);
  EXPECT_EQ(vecRegions[0].strLocalName, "China (Hangzhou)");

  std::vector<SHostInfoLib> vecZones;
  vecRegions.resize(5);
  ASSERT_FALSE(Q().GetRegionInfoList(vecRegions, 0, 0).IsError());
  ASSERT_FALSE(Q().GetZoneInfoList(vecZones, 0, 0).IsError());
  EXPECT_EQ(IdsOf(vecRegions, &SDCInfoLib::strRegionId), vecExpected);
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
  EXPECT_EQ(IdsOf(vecZones[4].vecVMs, &SVMInfoLib::strInstanceId),      // cn-shanghai-f
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
  EXPECT_EQ(IdsOf(sExact.vecVMs, &SVMInfoLib::strInstanceId), std::vector<std::string>{ARM_INSTANCE});

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
    EXPECT_EQ(IdsOf(sSecond.vecVSwitches, &SVSwitchInfoLib::strVSwitchId),
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
  EXPECT_EQ(IdsOf(vecTypes, &SInstanceTypeInfoLib::strInstanceTypeId),
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
  EXPECT_EQ(IdsOf(vecTypes, &SInstanceTypeInfoLib::strInstanceTypeId),
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
  EXPECT_EQ(IdsOf(vecCached, &SVMInfoLib::strInstanceId), vecAll);

  // The second region's listing fails (faults are taken in the order given: the
  // first, an empty delay, lets cn-hangzhou through): the first region stays.
  AcwEmulator::Fault sPass(FaultKind::Delay, "DescribeInstances", 1);
  InjectFault(sPass);
  FailNext("DescribeInstances");
  ASSERT_TRUE(Q().RefreshVMInfoCache().IsError());
  Q().GetVMInfoCache(vecCached);
  EXPECT_EQ(IdsOf(vecCached, &SVMInfoLib::strInstanceId), std::vector<std::string>{vecAll[0]});
  ASSERT_FALSE(Q().RefreshVMInfoCache().IsError());
  Q().GetVMInfoCache(vecCached);
  EXPECT_EQ(IdsOf(vecCached, &SVMInfoLib::strInstanceId), vecAll);
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
  EXPECT_EQ(IdsOf(vecNamed, &SVMInfoLib::strInstanceId), std::vector<std::string>{DEPRECATED_IMAGE_INSTANCE});
  EXPECT_EQ(Param(JournalOf("DescribeInstances").back(), "InstanceName"), "legacy-*");
}

using AcwEmulator::Fault;
using AcwEmulator::FaultKind;

constexpr const char* REGION = "cn-acwcomp";
constexpr const char* ZONE = "cn-acwcomp-a";
constexpr const char* VPC = "vpc-acwcomp0000000001";
constexpr const char* VPC_WITHOUT_GROUPS = "vpc-acwcomp0000000002";
constexpr const char* VSWITCH = "vsw-acwcomp0000000001";
constexpr const char* FIRST_GROUP = "sg-acwcomp0000000001";
constexpr const char* IMAGE = "m-acwcomp0000000001";
constexpr const char* IMAGE_WITH_DATA = "m-acwcomp0000000002";  // two data mappings
constexpr const char* RUNNING = "i-acwcomp0000000001";
constexpr const char* FREE_DISK = "d-acwcompfree0000001";
constexpr const char* SYSTEM_SNAPSHOT = "s-acwcompsys00000001";
constexpr const char* DATA_SNAPSHOT_1 = "s-acwcompdata0000001";
constexpr const char* DATA_SNAPSHOT_2 = "s-acwcompdata0000002";

class ComputeTest : public ServiceTest {
 protected:
  std::string_view World() const override {
    return R"({
      "Regions": [{"RegionId": "cn-acwcomp", "Zones": [{"ZoneId": "cn-acwcomp-a"}, {"ZoneId": "cn-acwcomp-b"}]}],
      "Vpcs": [{"VpcId": "vpc-acwcomp0000000001", "RegionId": "cn-acwcomp"},
               {"VpcId": "vpc-acwcomp0000000002", "RegionId": "cn-acwcomp"},
               {"VpcId": "vpc-acwcomp0000000003", "RegionId": "cn-acwcomp"}],
      "VSwitches": [
        {"VSwitchId": "vsw-acwcomp0000000001", "VpcId": "vpc-acwcomp0000000001", "ZoneId": "cn-acwcomp-a",
         "CidrBlock": "172.16.1.0/24"},
        {"VSwitchId": "vsw-acwcomp0000000002", "VpcId": "vpc-acwcomp0000000002", "ZoneId": "cn-acwcomp-a",
         "CidrBlock": "172.16.2.0/24"}],
      "SecurityGroups": [
        {"SecurityGroupId": "sg-acwcomp0000000001", "VpcId": "vpc-acwcomp0000000001", "_RegionId": "cn-acwcomp"},
        {"SecurityGroupId": "sg-acwcomp0000000002", "VpcId": "vpc-acwcomp0000000001", "_RegionId": "cn-acwcomp"},
        {"SecurityGroupId": "sg-acwcomp0000000003", "VpcId": "vpc-acwcomp0000000003", "_RegionId": "cn-acwcomp"},
        {"SecurityGroupId": "sg-acwcomp0000000004", "VpcId": "vpc-acwcomp0000000001", "_RegionId": "cn-acwcomp"}],
      "Snapshots": [
        {"SnapshotId": "s-acwcompsys00000001", "RegionId": "cn-acwcomp", "SourceDiskType": "system",
         "SourceDiskSize": "40"},
        {"SnapshotId": "s-acwcompdata0000001", "RegionId": "cn-acwcomp", "SourceDiskSize": "100"},
        {"SnapshotId": "s-acwcompdata0000002", "RegionId": "cn-acwcomp", "SourceDiskSize": "200"}],
      "Images": [{"ImageId": "m-acwcomp0000000001", "_RegionId": "cn-acwcomp",
                  "DiskDeviceMappings": {"DiskDeviceMapping": [
                    {"SnapshotId": "s-acwcompsys00000001", "Size": "40", "Device": "/dev/xvda", "Type": "system"}]}},
                 {"ImageId": "m-acwcomp0000000002", "_RegionId": "cn-acwcomp",
                  "DiskDeviceMappings": {"DiskDeviceMapping": [
                    {"SnapshotId": "s-acwcompsys00000001", "Size": "40", "Device": "/dev/xvda", "Type": "system"},
                    {"SnapshotId": "s-acwcompdata0000001", "Size": "100", "Device": "/dev/xvdb", "Type": "data"},
                    {"SnapshotId": "s-acwcompdata0000002", "Size": "200", "Device": "/dev/xvdc", "Type": "data"}]}}],
      "Instances": [{"InstanceId": "i-acwcomp0000000001", "RegionId": "cn-acwcomp", "ZoneId": "cn-acwcomp-a",
                     "Status": "Running", "ImageId": "m-acwcomp0000000001",
                     "VpcAttributes": {"VpcId": "vpc-acwcomp0000000001", "VSwitchId": "vsw-acwcomp0000000001"},
                     "SecurityGroupIds": {"SecurityGroupId": ["sg-acwcomp0000000001"]}}],
      "Disks": [
        {"DiskId": "d-acwcompsys00000001", "RegionId": "cn-acwcomp", "ZoneId": "cn-acwcomp-a", "Type": "system",
         "InstanceId": "i-acwcomp0000000001", "Device": "/dev/xvda", "Status": "In_use", "DeleteWithInstance": true},
        {"DiskId": "d-acwcompkeep0000001", "RegionId": "cn-acwcomp", "ZoneId": "cn-acwcomp-a",
         "InstanceId": "i-acwcomp0000000001", "Device": "/dev/xvdb", "Status": "In_use", "DeleteWithInstance": false},
        {"DiskId": "d-acwcompfree0000001", "RegionId": "cn-acwcomp", "ZoneId": "cn-acwcomp-a", "Status": "Available"}],
      "EipAddresses": [{"AllocationId": "eip-acwcomp000000001", "RegionId": "cn-acwcomp", "IpAddress": "47.96.9.9",
                        "Status": "InUse", "InstanceId": "i-acwcomp0000000001", "InstanceType": "EcsInstance"}]
    })";
  }

  void SetUp() override {
    ServiceTest::SetUp();
    m_pCompute = std::make_unique<CAliCloudComputeOperations>(m_pECSConnection.get(), &m_sParser, m_pNetwork.get());
  }
  void TearDown() override {
    m_pCompute.reset();
    ServiceTest::TearDown();
  }
  CAliCloudComputeOperations& Compute() { return *m_pCompute; }

  static SDiskInfoLib Disk(bool bSystem, const std::string& strName, const std::string& strCategory,
                           bool bDeleteWithInstance) {
    SDiskInfoLib sDisk;
    sDisk.bIsSystemDisk = bSystem;
    sDisk.strDiskName = strName;
    sDisk.strCategory = strCategory;
    sDisk.bDeleteWithInstance = bDeleteWithInstance;
    return sDisk;
  }

  // A record as a restore builds it: placement, type, the network and one group.
  static SVMInfoLib Record(const std::string& strGroup = FIRST_GROUP) {
    SVMInfoLib sVM;
    sVM.strRegionId = REGION;
    sVM.strZoneId = ZONE;
    sVM.strInstanceType = "ecs.g6.large";
    sVM.strInstanceName = "restored";
    sVM.strNewHostName = "new-host";
    sVM.sNetworkInfo.strVpcId = VPC;
    sVM.sNetworkInfo.strVSwitchId = VSWITCH;
    SSecurityGroupInfoLib sGroup;
    sGroup.strSecurityGroupId = strGroup;
    sVM.vecSecurityGroups.push_back(sGroup);
    return sVM;
  }

  // Lets the emulator's transient states pass (they advance with requests).
  void LetRequestsPass(int nCount) {
    for (int n = 0; n < nCount; ++n) {
      bool bExists = false;
      ASSERT_FALSE(Storage().DoesDiskExist(REGION, FREE_DISK, bExists).IsError());
    }
  }

  std::unique_ptr<CAliCloudComputeOperations> m_pCompute;
};

// What CreateInstance sends for a record, a document and a disk list: the
// bandwidth capped or left out, the host name's source, "VSwitchId" always,
// only the first private address, data disks numbered 1, 2 wherever the
// system disk stands (the service refuses "DataDisk.0").
TEST_F(ComputeTest, CreateInstanceSendsTheRecordTheDocumentAndTheDisks) {
  const SDiskInfoLib sSystem = Disk(true, "sys", "cloud_essd", true);
  const SDiskInfoLib sData1 = Disk(false, "data-1", "cloud_ssd", false);
  const SDiskInfoLib sData2 = Disk(false, "", "cloud_essd", true);
  struct SCase {
    const char* pszName;
    std::string strDocument;
    std::vector<SDiskInfoLib> vecDisks;
    std::vector<std::string> vecPrivateIps;
    std::string strExpected;
  };
  const auto names = {"HostName", "Description", "InternetMaxBandwidthOut", "VSwitchId", "PrivateIpAddress",
                      "SystemDisk.Category", "SystemDisk.DiskName", "DataDisk.1.Category",
                      "DataDisk.1.DeleteWithInstance", "DataDisk.1.DiskName", "DataDisk.2.Category",
                      "DataDisk.2.DeleteWithInstance", "DataDisk.2.DiskName", "DataDisk.0.Category"};
  const std::string strDisks =
      " SystemDisk.Category=cloud_essd SystemDisk.DiskName=sys DataDisk.1.Category=cloud_ssd "
      "DataDisk.1.DeleteWithInstance=false DataDisk.1.DiskName=data-1 DataDisk.2.Category=cloud_essd "
      "DataDisk.2.DeleteWithInstance=true DataDisk.2.DiskName DataDisk.0.Category";
  const SCase aCases[] = {
      {"document, system disk first", R"({"HostName":"old-host","Description":"backed up","InternetMaxBandwidthOut":250})",
       {sSystem, sData1, sData2}, {"172.16.1.20", "172.16.1.21"},
       "HostName=old-host Description=backed up InternetMaxBandwidthOut=100 VSwitchId=" + std::string(VSWITCH) +
           " PrivateIpAddress=172.16.1.20" + strDisks},
      {"no bandwidth, system disk between", R"({"InternetMaxBandwidthOut":-1})", {sData1, sSystem, sData2}, {},
       "HostName=new-host Description InternetMaxBandwidthOut VSwitchId=" + std::string(VSWITCH) +
           " PrivateIpAddress" + strDisks},
      {"no document, data disks first", "", {sData1, sData2, sSystem}, {},
       "HostName=new-host Description InternetMaxBandwidthOut VSwitchId=" + std::string(VSWITCH) +
           " PrivateIpAddress" + strDisks},
      {"zero bandwidth, no disks", R"({"InternetMaxBandwidthOut":0})", {}, {},
       "HostName=new-host Description InternetMaxBandwidthOut=0 VSwitchId=" + std::string(VSWITCH) +
           " PrivateIpAddress SystemDisk.Category SystemDisk.DiskName DataDisk.1.Category "
           "DataDisk.1.DeleteWithInstance DataDisk.1.DiskName DataDisk.2.Category DataDisk.2.DeleteWithInstance "
           "DataDisk.2.DiskName DataDisk.0.Category"},
  };
  for (const SCase& sCase : aCases) {
    SVMInfoLib sVM = Record();
    sVM.vecDisks = sCase.vecDisks;
    sVM.sNetworkInfo.vecPrivateIpAddresses = sCase.vecPrivateIps;
    std::string strId;
    const CZeError err = Compute().CreateInstance(sVM, IMAGE_WITH_DATA, sCase.strDocument, strId);
    ASSERT_FALSE(err.IsError()) << sCase.pszName << ": " << err.AsString();
    const auto sEntry = JournalOf("CreateInstance").back();
    EXPECT_EQ(Sent(sEntry, names), sCase.strExpected) << sCase.pszName;
    EXPECT_EQ(Sent(sEntry, {"ImageId", "InstanceType", "SecurityGroupId", "PasswordInherit", "ZoneId", "InstanceName"}),
              "ImageId=" + std::string(IMAGE_WITH_DATA) + " InstanceType=ecs.g6.large SecurityGroupId=" + FIRST_GROUP +
                  " PasswordInherit=True ZoneId=" + ZONE + " InstanceName=restored")
        << sCase.pszName;
    EXPECT_EQ(WorldText("Instances", strId, "Status"), "Pending") << sCase.pszName;
  }
}

TEST_F(ComputeTest, CreateInstanceFindsOrMakesThePrimaryGroup) {
  struct SCase {
    const char* pszName;
    std::string strGroup, strVpc, strVSwitch;
    bool bGroupCreated;
  };
  const SCase aCases[] = {
      {"present", "sg-acwcomp0000000002", VPC, VSWITCH, false},
      {"missing: the VPC's first", "sg-gone", VPC, VSWITCH, false},
      {"missing in a VPC without groups", "sg-gone", VPC_WITHOUT_GROUPS, "vsw-acwcomp0000000002", true},
  };
  for (const SCase& sCase : aCases) {
    Emulator().ClearJournal();
    SVMInfoLib sVM = Record(sCase.strGroup);
    sVM.sNetworkInfo.strVpcId = sCase.strVpc;
    sVM.sNetworkInfo.strVSwitchId = sCase.strVSwitch;
    std::string strId;
    ASSERT_FALSE(Compute().CreateInstance(sVM, IMAGE, "", strId).IsError()) << sCase.pszName;
    const std::string strUsed = Param(JournalOf("CreateInstance").back(), "SecurityGroupId").value_or("");
    EXPECT_EQ(sVM.vecSecurityGroups.front().strSecurityGroupId, strUsed) << sCase.pszName;
    EXPECT_EQ(JournalOf("CreateSecurityGroup").size(), sCase.bGroupCreated ? 1u : 0u) << sCase.pszName;
    if (!sCase.bGroupCreated) {
      EXPECT_EQ(strUsed, sCase.strGroup == "sg-gone" ? std::string(FIRST_GROUP) : sCase.strGroup);
    }
    EXPECT_EQ(WorldText("SecurityGroups", strUsed, "VpcId"), sCase.strVpc) << sCase.pszName;
  }
}

// The resends after "InternalError" (any letter case) carry one token, pause
// 10 s each, never make a second instance, and stop at the bound.
TEST_F(ComputeTest, CreateInstanceResendsOnInternalErrorWithOneTokenWithinTheBound) {
  Fault sDoneThenFailed = ErrorAnswer("CreateInstance", "internalerror", 1, 500);
  sDoneThenFailed.executeAction = true;
  InjectFault(ErrorAnswer("CreateInstance", "InternalError", 1, 500));
  InjectFault(sDoneThenFailed);
  SVMInfoLib sVM = Record();
  std::string strId;
  ASSERT_FALSE(Compute().CreateInstance(sVM, IMAGE, "", strId).IsError());
  std::set<std::string> setTokens;
  for (const auto& sEntry : JournalOf("CreateInstance")) setTokens.insert(Param(sEntry, "ClientToken").value_or(""));
  EXPECT_EQ(JournalOf("CreateInstance").size(), 3u);
  EXPECT_EQ(setTokens.size(), 1u);
  EXPECT_EQ(Sleeps().Pauses(), (std::vector<uint64_t>{10000, 10000}));
  EXPECT_EQ(IdsWhere("Instances", "InstanceName", "restored"), std::vector<std::string>{strId});
  EXPECT_EQ(Log().Count("Internal error reported from server. Retrying after 10 seconds"), 2u);

  // A service that keeps failing: a bound of 30 s gives up after the third pause.
  SetSetting(CAliCloudComputeOperations::CREATE_INSTANCE_INTERNAL_ERROR_MAX_WAIT_IN_SEC, 30);
  InjectFault(ErrorAnswer("CreateInstance", "InternalError", 50, 500));
  strId.clear();
  const CZeError err = Compute().CreateInstance(sVM, IMAGE, "", strId);
  EXPECT_EQ(err.GetErrorMessage(), "Error code: InternalError");
  EXPECT_TRUE(strId.empty());
  EXPECT_EQ(JournalOf("CreateInstance").size(), 3u + 4u);
  EXPECT_EQ(Sleeps().Pauses().size(), 2u + 3u);
  EXPECT_TRUE(Log().Contains("the bound set by [nAliCloudCreateInstanceInternalErrorMaxWaitInSec]"));
}

// When nothing ever answers, the connection's own error comes back (a single
// lost answer is resent with its token: see the restore scenario).
TEST_F(ComputeTest, CreateInstanceReportsSilenceAndAnswersWithoutAnId) {
  SVMInfoLib sVM = Record();
  std::string strId;
  InjectFault(FaultKind::CloseBeforeAnswer, "CreateInstance", 3);
  const CZeError err = Compute().CreateInstance(sVM, IMAGE, "", strId);
  EXPECT_EQ(err.GetErrorMessage(),
            "Request did not complete successfully: Server returned nothing (no headers, no data): "
            "Empty reply from server.");
  EXPECT_EQ(JournalOf("CreateInstance").size(), 3u);

  // A success answer without the id is the parse failure, not an empty id.
  InjectFault(ErrorAnswer("CreateInstance", "Odd", 1, 200));
  strId = "before";
  EXPECT_EQ(Compute().CreateInstance(sVM, IMAGE, "", strId).GetErrorMessage(),
            "Failed to parse instance Id from response.");
  EXPECT_EQ(strId, "before");
  InjectFault(FaultKind::NotJson, "CreateInstance");
  EXPECT_EQ(Compute().CreateInstance(sVM, IMAGE, "", strId).GetErrorMessage(), "Failed to parse error response.");
}

TEST_F(ComputeTest, ArgumentChecksSendNothing) {
  SVMInfoLib sNoGroups = Record();
  sNoGroups.vecSecurityGroups.clear();
  SVMInfoLib sNoRegion = Record();
  sNoRegion.strRegionId.clear();
  SVMInfoLib sNoType = Record();
  sNoType.strInstanceType.clear();
  std::string strOut;
  bool bFlag = true;
  const std::vector<std::pair<CZeError, std::string>> vecCases = {
      {Compute().CreateInstance(sNoRegion, "", "", strOut), "Empty region Id passed."},
      {Compute().CreateInstance(sNoType, IMAGE, "", strOut), "Instance type not specified."},
      {Compute().CreateInstance(sNoGroups, IMAGE, "", strOut), "Empty list of security groups."},
      {Compute().CreateInstance(sNoType, "", "", strOut), "Empty image Id passed."},
      {Compute().DeleteInstance(""), "Empty instance Id passed."},
      {Compute().PowerOffInstance("", true, true, true), "Empty instance Id passed."},
      {Compute().JoinSecurityGroup(RUNNING, ""), "Empty security group Id passed."},
      {Compute().AttachDisk(RUNNING, "", bFlag, false), "Empty disk Id passed."},
      {Compute().CreateImageFromDiskSnapshots(REGION, "", {}, "", "", strOut, "", ""),
       "Empty OS Disk snapshot Id passed."},
      {Compute().DeleteImage("", IMAGE, false), "Empty region Id passed."},
  };
  for (const auto& [err, strMessage] : vecCases) EXPECT_EQ(err.GetErrorMessage(), strMessage);
  EXPECT_TRUE(Journal().empty());
  SVMInfoLib sBadDocument = Record();
  EXPECT_EQ(Compute().CreateInstance(sBadDocument, IMAGE, "not json", strOut).GetErrorMessage(),
            "Failed to parse configuration JSON.");
  EXPECT_TRUE(JournalOf("CreateInstance").empty());
}

// "InvalidOperation.Conflict" in exactly that case is retried (start: 3
// attempts 15 s apart; attach: 4 attempts 20 s apart); anything else is not.
TEST_F(ComputeTest, ConflictRetriesForStartAndAttach) {
  struct SCase {
    const char* pszAction;
    std::string strCode;
    int nFaults;
    size_t nRequests;
    std::vector<uint64_t> vecPauses;
    bool bSucceeds;
  };
  const SCase aCases[] = {
      {"StartInstance", "InvalidOperation.Conflict", 3, 3, {15000, 15000}, false},
      {"StartInstance", "InvalidOperation.Conflict", 1, 2, {15000}, true},
      {"StartInstance", "invalidoperation.conflict", 1, 1, {}, false},
      {"AttachDisk", "InvalidOperation.Conflict", 4, 4, {20000, 20000, 20000}, false},
      {"AttachDisk", "InvalidOperation.Conflict", 2, 3, {20000, 20000}, true},
      {"AttachDisk", "IncorrectDiskStatus", 1, 1, {}, false},
  };
  for (const SCase& sCase : aCases) {
    Emulator().Reset();
    Emulator().Seed(World());
    WithItem("Instances", RUNNING, [](boost::json::object& instance) { instance["Status"] = "Stopped"; });
    const size_t nPausesBefore = Sleeps().Pauses().size();
    InjectFault(ErrorAnswer(sCase.pszAction, sCase.strCode, sCase.nFaults, 409));
    bool bLimit = true;
    const CZeError err = std::string(sCase.pszAction) == "StartInstance"
                             ? Compute().PowerOnInstance(RUNNING)
                             : Compute().AttachDisk(RUNNING, FREE_DISK, bLimit, false);
    const std::string strLabel = std::string(sCase.pszAction) + " " + sCase.strCode;
    EXPECT_EQ(err.IsError(), !sCase.bSucceeds) << strLabel;
    EXPECT_EQ(JournalOf(sCase.pszAction).size(), sCase.nRequests) << strLabel;
    const auto vecPauses = Sleeps().Pauses();
    EXPECT_EQ(std::vector<uint64_t>(vecPauses.begin() + nPausesBefore, vecPauses.end()), sCase.vecPauses) << strLabel;
    if (std::string(sCase.pszAction) == "AttachDisk") {
      EXPECT_FALSE(bLimit) << strLabel;
    }
  }
}

// The disk-limit flag: the service's code in any letter case, and the
// emulator's own limit; a disk in another zone is refused without the flag.
TEST_F(ComputeTest, AttachDiskReportsTheDiskLimit) {
  bool bLimit = false;
  InjectFault(ErrorAnswer("AttachDisk", "instanceDISKlimitexceeded", 1, 403));
  EXPECT_EQ(Compute().AttachDisk(RUNNING, FREE_DISK, bLimit, false).GetErrorMessage(),
            "Error code: instanceDISKlimitexceeded");
  EXPECT_TRUE(bLimit);
  EXPECT_EQ(JournalOf("AttachDisk").size(), 1u);

  WithItem("Instances", RUNNING, [](boost::json::object& instance) { instance["_DataDiskLimit"] = 1; });
  EXPECT_EQ(Compute().AttachDisk(RUNNING, FREE_DISK, bLimit, false).GetErrorMessage(),
            "Error code: InstanceDiskLimitExceeded");
  EXPECT_TRUE(bLimit);

  WithItem("Disks", FREE_DISK, [](boost::json::object& disk) { disk["ZoneId"] = "cn-acwcomp-b"; });
  EXPECT_EQ(Compute().AttachDisk(RUNNING, FREE_DISK, bLimit, true).GetErrorMessage(),
            "Error code: ResourcesNotInSameZone");
  EXPECT_FALSE(bLimit);
  EXPECT_EQ(Param(JournalOf("AttachDisk").back(), "DeleteWithInstance"), "true");
  EXPECT_TRUE(Log().Contains("The specified instance has reached the maximum disk limit."));
}

// A running instance cannot be deleted; once stopped, its flagged disks go with
// it, the others and its elastic address become available again.
TEST_F(ComputeTest, StopThenDeleteReleasesDisksAndAddress) {
  EXPECT_EQ(Compute().DeleteInstance(RUNNING).GetErrorMessage(), "Error code: IncorrectInstanceStatus");
  ASSERT_FALSE(Compute().PowerOffInstance(RUNNING, false, false, true).IsError());
  EXPECT_EQ(Sent(JournalOf("StopInstance")[0], {"ForceStop", "ConfirmStop", "StoppedMode"}),
            "ForceStop ConfirmStop StoppedMode=KeepCharging");
  EXPECT_EQ(WorldText("Instances", RUNNING, "Status"), "Stopping");
  EXPECT_EQ(WorldText("Instances", RUNNING, "StoppedMode"), "KeepCharging");
  EXPECT_EQ(Compute().PowerOffInstance(RUNNING, true, true, false).GetErrorMessage(),
            "Error code: IncorrectInstanceStatus");
  EXPECT_EQ(Sent(JournalOf("StopInstance").back(), {"ForceStop", "ConfirmStop", "StoppedMode"}),
            "ForceStop=true ConfirmStop=true StoppedMode");
  LetRequestsPass(1);
  EXPECT_EQ(WorldText("Instances", RUNNING, "Status"), "Stopped");

  ASSERT_FALSE(Compute().DeleteInstance(RUNNING).IsError());
  EXPECT_FALSE(WorldHas("Instances", RUNNING));
  EXPECT_FALSE(WorldHas("Disks", "d-acwcompsys00000001"));
  EXPECT_EQ(WorldText("Disks", "d-acwcompkeep0000001", "Status"), "Available");
  EXPECT_EQ(WorldText("Disks", "d-acwcompkeep0000001", "InstanceId"), "");
  EXPECT_EQ(WorldText("EipAddresses", "eip-acwcomp000000001", "Status"), "Available");
  EXPECT_EQ(Compute().DeleteInstance(RUNNING).GetErrorMessage(), "Error code: InvalidInstanceId.NotFound");
  EXPECT_TRUE(Log().Contains("DeleteInstance failed with error ["));
}

// Images from zero and two data snapshots, an instance made from the second
// with the image's data disks, and the image's hold on its snapshots.
TEST_F(ComputeTest, ImagesFromSnapshotsAndTheirDeletion) {
  // The image stays "Creating" for the next three requests.
  SetRegionKnob(REGION, "_ImageCreatingRequests", 3);
  std::string strBare, strFull;
  ASSERT_FALSE(Compute().CreateImageFromDiskSnapshots(REGION, SYSTEM_SNAPSHOT, {}, "", "", strBare, "", "").IsError());
  ASSERT_FALSE(Compute()
                   .CreateImageFromDiskSnapshots(REGION, SYSTEM_SNAPSHOT, {DATA_SNAPSHOT_1, DATA_SNAPSHOT_2},
                                                 "x86_64", "Debian", strFull, "restore-image", "from backup")
                   .IsError());
  const auto vecCreates = JournalOf("CreateImage");
  const auto names = {"SnapshotId", "Architecture", "Platform", "ImageName", "DiskDeviceMapping.1.SnapshotId",
                      "DiskDeviceMapping.1.DiskType", "DiskDeviceMapping.2.SnapshotId",
                      "DiskDeviceMapping.2.DiskType", "DiskDeviceMapping.3.SnapshotId"};
  EXPECT_EQ(Sent(vecCreates[0], names),
            "SnapshotId=" + std::string(SYSTEM_SNAPSHOT) + " Architecture= Platform= ImageName " +
                "DiskDeviceMapping.1.SnapshotId=" + SYSTEM_SNAPSHOT + " DiskDeviceMapping.1.DiskType=system " +
                "DiskDeviceMapping.2.SnapshotId DiskDeviceMapping.2.DiskType DiskDeviceMapping.3.SnapshotId");
  EXPECT_EQ(Sent(vecCreates[1], names),
            "SnapshotId=" + std::string(SYSTEM_SNAPSHOT) + " Architecture=x86_64 Platform=Debian " +
                "ImageName=restore-image DiskDeviceMapping.1.SnapshotId=" + SYSTEM_SNAPSHOT +
                " DiskDeviceMapping.1.DiskType=system DiskDeviceMapping.2.SnapshotId=" + DATA_SNAPSHOT_1 +
                " DiskDeviceMapping.2.DiskType DiskDeviceMapping.3.SnapshotId=" + DATA_SNAPSHOT_2);
  EXPECT_NE(Param(vecCreates[0], "ClientToken").value_or(""), "");
  EXPECT_EQ(WorldText("Images", strFull, "Status"), "Creating");
  EXPECT_EQ(Storage().DeleteSnapshot(DATA_SNAPSHOT_1).GetErrorMessage(), "Error code: SnapshotCreatedImage");

  // Still creating: no instance from it yet, and no deletion either.
  SVMInfoLib sVM = Record();
  std::string strInstance;
  EXPECT_EQ(Compute().CreateInstance(sVM, strFull, "", strInstance).GetErrorMessage(),
            "Error code: IncorrectImageStatus");
  ASSERT_FALSE(Compute().CreateInstance(sVM, strFull, "", strInstance).IsError());
  std::vector<std::string> vecSources;
  for (const std::string& strDisk : IdsWhere("Disks", "InstanceId", strInstance)) {
    vecSources.push_back(WorldText("Disks", strDisk, "Device") + "=" + WorldText("Disks", strDisk, "SourceSnapshotId"));
  }
  EXPECT_EQ(vecSources, (std::vector<std::string>{"/dev/xvda=" + std::string(SYSTEM_SNAPSHOT),
                                                  "/dev/xvdb=" + std::string(DATA_SNAPSHOT_1),
                                                  "/dev/xvdc=" + std::string(DATA_SNAPSHOT_2)}));

  EXPECT_EQ(Compute().DeleteImage(REGION, strFull, false).GetErrorMessage(), "Error code: ImageUsingByInstance");
  EXPECT_EQ(Param(JournalOf("DeleteImage").back(), "Force"), "false");
  ASSERT_FALSE(Compute().DeleteImage(REGION, strFull, true).IsError());
  ASSERT_FALSE(Compute().DeleteImage(REGION, strBare, false).IsError());
  EXPECT_FALSE(WorldHas("Images", strFull));
  EXPECT_FALSE(WorldHas("Images", strBare));

  std::string strOnce;
  InjectFault(ErrorAnswer("CreateImage", "Odd", 1, 200));
  EXPECT_EQ(Compute().CreateImageFromDiskSnapshots(REGION, SYSTEM_SNAPSHOT, {}, "", "", strOnce, "", "")
                .GetErrorMessage(),
            "Failed to parse response string to obtain image id.");
}

// Every group is tried; a refusal (already a member, another VPC) is logged and
// the walk goes on; the per-instance limit holds.
TEST_F(ComputeTest, AssignSecurityGroupsGoesOnAfterAFailure) {
  std::vector<SSecurityGroupInfoLib> vecGroups(3);
  vecGroups[0].strSecurityGroupId = "sg-acwcomp0000000002";
  vecGroups[1].strSecurityGroupId = "sg-acwcomp0000000003";  // another VPC
  vecGroups[2].strSecurityGroupId = "sg-acwcomp0000000004";
  EXPECT_FALSE(Compute().AssignSecurityGroupsToInstance(RUNNING, vecGroups));
  std::vector<std::string> vecCodes;
  for (const auto& sEntry : JournalOf("JoinSecurityGroup")) vecCodes.push_back(sEntry.code);
  EXPECT_EQ(vecCodes, (std::vector<std::string>{"", "InvalidInstanceId.Mismatch", ""}));
  EXPECT_EQ(WorldText("Instances", RUNNING, "SecurityGroupIds"),
            R"({"SecurityGroupId":["sg-acwcomp0000000001","sg-acwcomp0000000002","sg-acwcomp0000000004"]})");
  EXPECT_TRUE(Log().Contains("for instance id [" + std::string(RUNNING) +
                             "] and security group id [sg-acwcomp0000000003]."));

  WithItem("Instances", RUNNING, [](boost::json::object& instance) { instance["_SecurityGroupLimit"] = 3; });
  EXPECT_EQ(Compute().JoinSecurityGroup(RUNNING, FIRST_GROUP).GetErrorMessage(),
            "Error code: InvalidInstanceId.AlreadyExists");
  EXPECT_EQ(Compute().JoinSecurityGroup(RUNNING, "sg-acwcomp0000000003").GetErrorMessage(),
            "Error code: InvalidInstanceId.Mismatch");
  WithItem("SecurityGroups", "sg-acwcomp0000000003",
           [](boost::json::object& group) { group["VpcId"] = "vpc-acwcomp0000000001"; });
  EXPECT_EQ(Compute().JoinSecurityGroup(RUNNING, "sg-acwcomp0000000003").GetErrorMessage(),
            "Error code: InstanceSecurityGroupLimitExceeded");
}

}  // namespace
}  // namespace AliCloudWrapper
