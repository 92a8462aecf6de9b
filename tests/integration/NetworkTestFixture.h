// Shared set-up of the networking integration tests: the compute and network
// connections and a CAliCloudNetwork pointed at the in-process emulator, with a
// region of our own holding two VPCs (the first with two security groups, the
// second with none), VSwitches in two zones, instances with and without outbound
// bandwidth, and an instance in a second region.
#pragma once

#include <gtest/gtest.h>

#include <acw_emulator/Emulator.h>
#include <acw_emulator/World.h>

#include <boost/json.hpp>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/CAliCloudNetwork.h"
#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/CAliCloudVPCConnection.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"
#include "EmulatorFixture.h"

namespace AliCloudWrapper {

class NetworkTest : public EmulatorFixture {
 protected:
  static constexpr const char* REGION = "cn-acwnet";
  static constexpr const char* OTHER_REGION = "cn-acwnet2";
  static constexpr const char* ZONE_A = "cn-acwnet-a";
  static constexpr const char* ZONE_B = "cn-acwnet-b";
  static constexpr const char* VPC_WITH_GROUPS = "vpc-acwnet0000000001";
  static constexpr const char* VPC_WITHOUT_GROUPS = "vpc-acwnet0000000002";
  // The groups of VPC_WITH_GROUPS, in the service's listing order.
  static constexpr const char* FIRST_GROUP = "sg-acwnetB000000001";
  static constexpr const char* SECOND_GROUP = "sg-acwnetA000000002";
  static constexpr const char* RUNNING_INSTANCE = "i-acwnet000000000001";     // 5 Mbit/s out
  static constexpr const char* NO_BANDWIDTH_INSTANCE = "i-acwnet000000000002";  // 0 Mbit/s out
  static constexpr const char* OTHER_REGION_INSTANCE = "i-acwnet000000000003";

  void SetUp() override {
    EmulatorFixture::SetUp();
    // Every compute request goes to the global host, so the journals hold only
    // the actions under test (no DescribeRegions for the endpoint map).
    SetSetting("AliCloudRegionEndpoint", "ecs.aliyuncs.com");
    Emulator().Seed(std::string_view(R"({
      "Regions": [
        {"RegionId": "cn-acwnet", "RegionEndpoint": "ecs.aliyuncs.com",
         "Zones": [{"ZoneId": "cn-acwnet-a"}, {"ZoneId": "cn-acwnet-b"}]},
        {"RegionId": "cn-acwnet2", "RegionEndpoint": "ecs.aliyuncs.com",
         "Zones": [{"ZoneId": "cn-acwnet2-a"}]}],
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
    })"));
    m_pECSConnection = std::make_unique<CAliCloudECSConnection>();
    m_pVPCConnection = std::make_unique<CAliCloudVPCConnection>();
    for (CAliCloudConnectionBase* pConnection :
         {static_cast<CAliCloudConnectionBase*>(m_pECSConnection.get()),
          static_cast<CAliCloudConnectionBase*>(m_pVPCConnection.get())}) {
      pConnection->SetAccessKeyId(KEY_ID);
      pConnection->SetAccessKeySecret(KEY_SECRET);
    }
    m_pNetwork = std::make_unique<CAliCloudNetwork>(m_pECSConnection.get(), m_pVPCConnection.get(), &m_sParser);
  }

  void TearDown() override {
    m_pNetwork.reset();
    m_pVPCConnection.reset();
    m_pECSConnection.reset();
    EmulatorFixture::TearDown();
  }

  CAliCloudNetwork& Network() { return *m_pNetwork; }

  // Adds or replaces resources ({"EipAddresses": [...]}).
  void Seed(std::string_view strJson) { Emulator().Seed(strJson); }

  // Runs fn on a stored resource (nothing when it is absent).
  void WithItem(const char* pszCollection, const std::string& strId,
                const std::function<void(boost::json::object&)>& fn) {
    Emulator().WithWorld([&](AcwEmulator::World& world) {
      if (boost::json::object* pItem = world.Find(pszCollection, strId)) fn(*pItem);
    });
  }

  // A member of a stored resource as JSON text ("" when absent), e.g. "\"InUse\"".
  std::string WorldJson(const char* pszCollection, const std::string& strId, const char* pszMember) {
    std::string strValue;
    WithItem(pszCollection, strId, [&](boost::json::object& item) {
      if (const boost::json::value* pValue = item.if_contains(pszMember)) strValue = boost::json::serialize(*pValue);
    });
    return strValue;
  }
  std::string WorldText(const char* pszCollection, const std::string& strId, const char* pszMember) {
    std::string strValue;
    WithItem(pszCollection, strId, [&](boost::json::object& item) {
      const boost::json::value* pValue = item.if_contains(pszMember);
      if (pValue != nullptr && pValue->is_string()) strValue = std::string(pValue->as_string());
    });
    return strValue;
  }
  bool WorldHas(const char* pszCollection, const std::string& strId) {
    bool bFound = false;
    Emulator().WithWorld([&](AcwEmulator::World& world) { bFound = world.Find(pszCollection, strId) != nullptr; });
    return bFound;
  }

  std::unique_ptr<CAliCloudECSConnection> m_pECSConnection;
  std::unique_ptr<CAliCloudVPCConnection> m_pVPCConnection;
  CAliCloudParser m_sParser;
  std::unique_ptr<CAliCloudNetwork> m_pNetwork;
};

}  // namespace AliCloudWrapper
