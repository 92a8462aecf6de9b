// A synthetic DescribeInstances answer with the member set the real service returns
// for each instance, used to measure parsing at the size of a full 100-instance page.
#pragma once

#include <string>

#include "AliCloudWrapper/JsonValue.h"
#include "host/TkJson.h"

namespace AliCloudWrapper {
namespace bench {

inline mObject IpList(const std::string& ip) {
  mArray arr;
  if (!ip.empty()) arr.emplace_back(ip);
  return mObject{{"IpAddress", mArray(arr)}};
}

inline mObject SyntheticInstance(int n) {
  const std::string id = "i-bp1" + std::to_string(1000000 + n) + "a2b3c4d5e6f";
  const std::string ip = "172.16." + std::to_string(n / 250) + "." + std::to_string(n % 250 + 2);
  mObject inst;
  const char* textMembers[][2] = {
      {"InstanceName", "backup-source-web-server"}, {"Description", "web tier"},
      {"HostName", "iZbp1web"}, {"ImageId", "ubuntu_22_04_x64_20G_alibase_20240101.vhd"},
      {"InstanceType", "ecs.g7.large"}, {"InstanceTypeFamily", "ecs.g7"}, {"RegionId", "cn-hangzhou"},
      {"ZoneId", "cn-hangzhou-i"}, {"Status", "Running"}, {"InstanceNetworkType", "vpc"},
      {"InstanceChargeType", "PostPaid"}, {"InternetChargeType", "PayByTraffic"},
      {"CreationTime", "2024-01-15T08:12Z"}, {"StartTime", "2024-03-02T10:44Z"},
      {"ExpiredTime", "2099-12-31T15:59Z"}, {"AutoReleaseTime", ""}, {"StoppedMode", "Not-applicable"},
      {"OSType", "linux"}, {"OSName", "Ubuntu  22.04 64\xe4\xbd\x8d"}, {"OSNameEn", "Ubuntu  22.04 64 bit"},
      {"SerialNumber", "4f1a5c2e-8d3b-4e6f-9a7b-0c1d2e3f4a5b"}, {"SpotStrategy", "NoSpot"},
      {"SaleCycle", ""}, {"KeyPairName", "ops-keypair"}, {"ResourceGroupId", "rg-acfmzw2jz2z3abc"},
      {"VlanId", ""}, {"ClusterId", ""}, {"DeploymentSetId", ""}, {"HpcClusterId", ""},
      {"GPUSpec", ""}, {"SpotInterruptionBehavior", "Terminate"},
      {"ISP", ""}};
  for (const auto& member : textMembers) inst[member[0]] = std::string(member[1]);
  inst["InstanceId"] = id;
  for (const char* key : {"GPUAmount", "LocalStorageAmount", "SpotDuration", "DeploymentSetGroupNo"})
    inst[key] = 0;
  inst["Cpu"] = 2;
  inst["Memory"] = 8192;
  inst["InternetMaxBandwidthIn"] = -1;
  inst["InternetMaxBandwidthOut"] = 5;
  inst["LocalStorageCapacity"] = static_cast<int64_t>(0);
  inst["SpotPriceLimit"] = 0.0;
  inst["IoOptimized"] = true;
  inst["DeviceAvailable"] = true;
  inst["Recyclable"] = false;
  inst["DeletionProtection"] = false;
  inst["VpcAttributes"] = mObject{{"VpcId", "vpc-bp1opxu1zkhn00gzv26cn"},
                                  {"VSwitchId", "vsw-bp1ddbrxdlrcbim46m6bx"},
                                  {"NatIpAddress", ""},
                                  {"PrivateIpAddress", IpList(ip)}};
  inst["EipAddress"] = mObject{{"AllocationId", ""}, {"IpAddress", ""}, {"InternetChargeType", ""},
                               {"IsSupportUnassociate", false}};
  inst["PublicIpAddress"] = IpList("47.98." + std::to_string(n % 200) + ".17");
  inst["InnerIpAddress"] = IpList("");
  inst["RdmaIpAddress"] = IpList("");
  inst["SecurityGroupIds"] = mObject{{"SecurityGroupId", mArray{"sg-bp67acfmxazb4ph3a1"}}};
  inst["OperationLocks"] = mObject{{"LockReason", mArray{}}};
  mObject privateIp{{"PrivateIpAddress", ip}, {"Primary", true}};
  mObject nic{{"NetworkInterfaceId", "eni-bp1" + std::to_string(n) + "a9b8c7d6e5f4"},
              {"MacAddress", "00:16:3e:12:34:" + std::to_string(10 + n % 89)},
              {"PrimaryIpAddress", ip},
              {"Type", "Primary"},
              {"PrivateIpSets", mObject{{"PrivateIpSet", mArray{privateIp}}}}};
  inst["NetworkInterfaces"] = mObject{{"NetworkInterface", mArray{nic}}};
  inst["DedicatedHostAttribute"] =
      mObject{{"DedicatedHostId", ""}, {"DedicatedHostName", ""}, {"DedicatedHostClusterId", ""}};
  inst["CpuOptions"] = mObject{{"CoreCount", 1}, {"ThreadsPerCore", 2}, {"Numa", ""}};
  inst["MetadataOptions"] =
      mObject{{"HttpEndpoint", "enabled"}, {"HttpTokens", "optional"}, {"HttpPutResponseHopLimit", 1}};
  inst["HibernationOptions"] = mObject{{"Configured", false}};
  return inst;
}

// The answer text for one page of nInstances instances.
inline std::string DescribeInstancesPage(int nInstances) {
  mArray instances;
  for (int i = 0; i < nInstances; ++i) instances.emplace_back(SyntheticInstance(i));
  mObject page{{"RequestId", "473469C7-AA6F-4DC5-B3DB-A3DC0DE3C83E"},
               {"TotalCount", 1000},
               {"PageNumber", 1},
               {"PageSize", nInstances},
               {"NextToken", ""},
               {"Instances", mObject{{"Instance", instances}}}};
  return TkJson::Serialize(page);
}

}  // namespace bench
}  // namespace AliCloudWrapper
