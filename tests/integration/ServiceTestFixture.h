// Shared set-up of the storage and networking integration tests: compute and
// network connections, CAliCloudStorage and CAliCloudNetwork pointed at the
// in-process emulator, a world each suite seeds, and helpers that read and
// change that world directly.
#pragma once

#include <gtest/gtest.h>

#include <acw_emulator/Emulator.h>
#include <acw_emulator/World.h>

#include <boost/json.hpp>

#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/CAliCloudNetwork.h"
#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/CAliCloudStorage.h"
#include "AliCloudWrapper/CAliCloudVPCConnection.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"
#include "EmulatorFixture.h"

namespace AliCloudWrapper {

class ServiceTest : public EmulatorFixture {
 protected:
  // The resources the suite starts with (emulator seed JSON).
  virtual std::string_view World() const = 0;
  // False for a suite that checks which regional host each request goes to.
  virtual bool GlobalHostOnly() const { return true; }

  void SetUp() override {
    EmulatorFixture::SetUp();
    // Every compute request goes to the global host, so the journals hold only
    // the actions under test (no DescribeRegions for the endpoint map).
    if (GlobalHostOnly()) SetSetting("AliCloudRegionEndpoint", "ecs.aliyuncs.com");
    Emulator().Seed(World());
    m_pECSConnection = std::make_unique<CAliCloudECSConnection>();
    m_pVPCConnection = std::make_unique<CAliCloudVPCConnection>();
    for (CAliCloudConnectionBase* pConnection :
         {static_cast<CAliCloudConnectionBase*>(m_pECSConnection.get()),
          static_cast<CAliCloudConnectionBase*>(m_pVPCConnection.get())}) {
      pConnection->SetAccessKeyId(KEY_ID);
      pConnection->SetAccessKeySecret(KEY_SECRET);
    }
    m_pStorage = std::make_unique<CAliCloudStorage>(m_pECSConnection.get(), &m_sParser);
    m_pNetwork = std::make_unique<CAliCloudNetwork>(m_pECSConnection.get(), m_pVPCConnection.get(), &m_sParser);
  }

  void TearDown() override {
    m_pNetwork.reset();
    m_pStorage.reset();
    m_pVPCConnection.reset();
    m_pECSConnection.reset();
    EmulatorFixture::TearDown();
  }

  CAliCloudStorage& Storage() { return *m_pStorage; }
  CAliCloudNetwork& Network() { return *m_pNetwork; }

  // An error answer with that code for the next nCount requests of an action
  // (status 0: the service's status for the code).
  static AcwEmulator::Fault ErrorAnswer(const std::string& strAction, const std::string& strCode, int nCount = 1,
                                        int nStatus = 0) {
    AcwEmulator::Fault sFault = MakeFault(AcwEmulator::FaultKind::ErrorResponse, strAction, nCount, nStatus);
    sFault.code = strCode;
    return sFault;
  }

  // Adds or replaces resources ({"EipAddresses": [...]}).
  void Seed(std::string_view strJson) { Emulator().Seed(strJson); }

  // Runs fn on a stored resource (nothing when it is absent).
  void WithItem(const char* pszCollection, const std::string& strId,
                const std::function<void(boost::json::object&)>& fn) {
    Emulator().WithWorld([&](AcwEmulator::World& world) {
      if (boost::json::object* pItem = world.Find(pszCollection, strId)) fn(*pItem);
    });
  }

  // Sets an integer knob of a region (see the emulator's storage actions).
  void SetRegionKnob(const char* pszRegion, const char* pszName, int64_t nValue) {
    WithItem("Regions", pszRegion, [&](boost::json::object& region) { region[pszName] = nValue; });
  }

  // A member of a stored resource: a string as its text, anything else as JSON
  // text ("" when the member is absent).
  static std::string Text(const boost::json::object& item, const char* pszMember) {
    const boost::json::value* pValue = item.if_contains(pszMember);
    if (pValue == nullptr) return "";
    return pValue->is_string() ? std::string(pValue->as_string()) : boost::json::serialize(*pValue);
  }
  std::string WorldText(const char* pszCollection, const std::string& strId, const char* pszMember) {
    std::string strValue;
    WithItem(pszCollection, strId, [&](boost::json::object& item) { strValue = Text(item, pszMember); });
    return strValue;
  }

  // The ids of a collection's resources that pass fnKeep, in the world's order.
  std::vector<std::string> Ids(const char* pszCollection,
                               const std::function<bool(const boost::json::object&)>& fnKeep) {
    std::vector<std::string> vecIds;
    const std::string strIdMember = AcwEmulator::World::Collection(pszCollection).idMember;
    Emulator().WithWorld([&](AcwEmulator::World& world) {
      for (const auto& item : world.Items(pszCollection)) {
        if (fnKeep(item)) vecIds.push_back(Text(item, strIdMember.c_str()));
      }
    });
    return vecIds;
  }
  // Those whose member has that value.
  std::vector<std::string> IdsWhere(const char* pszCollection, const char* pszMember, const std::string& strValue) {
    return Ids(pszCollection, [&](const boost::json::object& item) { return Text(item, pszMember) == strValue; });
  }

  // The named parameters of a request as "name=value", or "name" alone when it
  // was not sent, joined by spaces.
  static std::string Sent(const AcwEmulator::JournalEntry& sEntry, std::initializer_list<const char*> names) {
    std::string strSent;
    for (const char* pszName : names) {
      const std::optional<std::string> value = Param(sEntry, pszName);
      strSent += (strSent.empty() ? "" : " ") + std::string(pszName) + (value ? "=" + *value : "");
    }
    return strSent;
  }

  bool WorldHas(const char* pszCollection, const std::string& strId) {
    bool bFound = false;
    WithItem(pszCollection, strId, [&](boost::json::object&) { bFound = true; });
    return bFound;
  }

  std::unique_ptr<CAliCloudECSConnection> m_pECSConnection;
  std::unique_ptr<CAliCloudVPCConnection> m_pVPCConnection;
  CAliCloudParser m_sParser;
  std::unique_ptr<CAliCloudStorage> m_pStorage;
  std::unique_ptr<CAliCloudNetwork> m_pNetwork;
};

// Block storage: a region with one zone, one running instance, a data disk
// attached to it and an accomplished snapshot of that disk.
class StorageTest : public ServiceTest {
 protected:
  static constexpr const char* REGION = "cn-acwstorage";
  static constexpr const char* ZONE = "cn-acwstorage-a";
  static constexpr const char* INSTANCE = "i-acwstorage0000000001";
  static constexpr const char* ATTACHED_DISK = "d-acwstorage0000000001";  // 40 GiB
  static constexpr const char* READY_SNAPSHOT = "s-acwstorage0000000001";

  std::string_view World() const override {
    return R"({
      "Regions": [{"RegionId": "cn-acwstorage", "Zones": [{"ZoneId": "cn-acwstorage-a"}]}],
      "Instances": [{"InstanceId": "i-acwstorage0000000001", "RegionId": "cn-acwstorage",
                     "ZoneId": "cn-acwstorage-a", "Status": "Running"}],
      "Disks": [{"DiskId": "d-acwstorage0000000001", "RegionId": "cn-acwstorage", "ZoneId": "cn-acwstorage-a",
                 "InstanceId": "i-acwstorage0000000001", "Status": "In_use", "Type": "data",
                 "Category": "cloud_essd", "Size": 40, "DiskName": "data-1"}],
      "Snapshots": [{"SnapshotId": "s-acwstorage0000000001", "RegionId": "cn-acwstorage", "Status": "accomplished",
                     "SourceDiskId": "d-acwstorage0000000001", "SourceDiskSize": "40", "Progress": "100%"}]
    })";
  }
  void SetRegionKnob(const char* pszName, int64_t nValue) { ServiceTest::SetRegionKnob(REGION, pszName, nValue); }
};

// Networking: a region holding two VPCs (the first with two security groups,
// the second with none), VSwitches in two zones, instances with and without
// outbound bandwidth, and an instance in a second region.
class NetworkTest : public ServiceTest {
 protected:
  static constexpr const char* REGION = "cn-acwnet";
  static constexpr const char* VPC_WITH_GROUPS = "vpc-acwnet0000000001";
  static constexpr const char* VPC_WITHOUT_GROUPS = "vpc-acwnet0000000002";
  // The groups of VPC_WITH_GROUPS, in the service's listing order.
  static constexpr const char* FIRST_GROUP = "sg-acwnetB000000001";
  static constexpr const char* SECOND_GROUP = "sg-acwnetA000000002";
  static constexpr const char* RUNNING_INSTANCE = "i-acwnet000000000001";     // 5 Mbit/s out
  static constexpr const char* NO_BANDWIDTH_INSTANCE = "i-acwnet000000000002";  // 0 Mbit/s out
  static constexpr const char* OTHER_REGION_INSTANCE = "i-acwnet000000000003";

  std::string_view World() const override {
    return R"({
      "Regions": [{"RegionId": "cn-acwnet", "Zones": [{"ZoneId": "cn-acwnet-a"}, {"ZoneId": "cn-acwnet-b"}]},
                  {"RegionId": "cn-acwnet2", "Zones": [{"ZoneId": "cn-acwnet2-a"}]}],
      "Vpcs": [
        {"VpcId": "vpc-acwnet0000000001", "RegionId": "cn-acwnet", "VpcName": "with-groups"},
        {"VpcId": "vpc-acwnet0000000002", "RegionId": "cn-acwnet", "VpcName": "without-groups"},
        {"VpcId": "vpc-acwnet0000000003", "RegionId": "cn-acwnet2"}],
      "VSwitches": [
        {"VSwitchId": "vsw-acwnet0000000001", "VpcId": "vpc-acwnet0000000001", "ZoneId": "cn-acwnet-a"},
        {"VSwitchId": "vsw-acwnet0000000002", "VpcId": "vpc-acwnet0000000001", "ZoneId": "cn-acwnet-b"},
        {"VSwitchId": "vsw-acwnet0000000003", "VpcId": "vpc-acwnet0000000002", "ZoneId": "cn-acwnet-a"},
        {"VSwitchId": "vsw-acwnet0000000004", "VpcId": "vpc-acwnet0000000003", "ZoneId": "cn-acwnet2-a"}],
      "SecurityGroups": [
        {"SecurityGroupId": "sg-acwnetB000000001", "VpcId": "vpc-acwnet0000000001", "_RegionId": "cn-acwnet"},
        {"SecurityGroupId": "sg-acwnetA000000002", "VpcId": "vpc-acwnet0000000001", "_RegionId": "cn-acwnet"},
        {"SecurityGroupId": "sg-acwnet0000000003", "VpcId": "vpc-acwnet0000000003", "_RegionId": "cn-acwnet2"}],
      "Instances": [
        {"InstanceId": "i-acwnet000000000001", "RegionId": "cn-acwnet", "ZoneId": "cn-acwnet-a",
         "Status": "Running", "InternetMaxBandwidthOut": 5,
         "VpcAttributes": {"VpcId": "vpc-acwnet0000000001", "VSwitchId": "vsw-acwnet0000000001"}},
        {"InstanceId": "i-acwnet000000000002", "RegionId": "cn-acwnet", "ZoneId": "cn-acwnet-a",
         "Status": "Running", "InternetMaxBandwidthOut": 0},
        {"InstanceId": "i-acwnet000000000003", "RegionId": "cn-acwnet2", "ZoneId": "cn-acwnet2-a",
         "Status": "Running", "InternetMaxBandwidthOut": 5}]
    })";
  }
};

}  // namespace AliCloudWrapper
