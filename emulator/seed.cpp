// The demo world the emulator starts with: four regions with zones, in cn-hangzhou a small set
// of resources (a VPC with a VSwitch, a security group, an image, a running instance with its
// system disk, a snapshot, an EIP, a MySQL and a PostgreSQL instance), and in cn-zhangjiakou,
// which has a database host of its own, 32 database instances of both engines. Ids are fixed so
// demos and users' tests can name them.
#include <acw_emulator/World.h>

#include <boost/json.hpp>

#include <cstdio>
#include <string>

namespace AcwEmulator {
namespace json = boost::json;

namespace {

json::object Zone(const char* id, const char* localName, const char* localNameEn) {
    return json::object{
        {"ZoneId", id},
        {"LocalName", localName},
        {"_LocalNameEn", localNameEn},
        {"ZoneType", "AvailabilityZone"},
        {"AvailableResourceCreation", json::object{{"ResourceTypes", json::array{"Instance", "Disk", "VSwitch"}}}},
        {"AvailableDiskCategories",
         json::object{{"DiskCategories", json::array{"cloud_efficiency", "cloud_ssd", "cloud_essd"}}}},
        {"AvailableInstanceTypes",
         json::object{{"InstanceTypes", json::array{"ecs.g6.large", "ecs.g6.xlarge", "ecs.c6.large"}}}},
        {"AvailableVolumeCategories", json::object{{"VolumeCategories", json::array{"cloud_ssd", "cloud_essd"}}}},
    };
}

json::object Region(const char* id, const char* localName, const char* localNameEn, json::array zones) {
    return json::object{{"RegionId", id},
                        {"LocalName", localName},
                        {"_LocalNameEn", localNameEn},
                        {"RegionEndpoint", std::string("ecs.") + id + ".aliyuncs.com"},
                        {"Zones", std::move(zones)}};
}

// A database instance of the demo world; MySQL and PostgreSQL differ in version, class and host name.
json::object DbInstance(const std::string& id, const std::string& engine, const char* region, const char* zone) {
    const bool mysql = engine == "MySQL";
    return json::object{{"DBInstanceId", id},
                        {"DBInstanceDescription", "acw-demo-" + std::string(mysql ? "mysql" : "pgsql")},
                        {"Engine", engine},
                        {"EngineVersion", mysql ? "8.0" : "14.0"},
                        {"DBInstanceClass", mysql ? "mysql.n2.medium.1" : "pg.n2.medium.1"},
                        {"RegionId", region},
                        {"ZoneId", zone},
                        {"ConnectionString", id + (mysql ? ".mysql" : ".pg") + ".rds.aliyuncs.com"}};
}

}  // namespace

void World::SeedDefault() {
    // Each Put may move the items stored before it: change a returned item at once.
    json::object& hangzhou =
        Put("Regions", Region("cn-hangzhou", "华东1（杭州）", "China (Hangzhou)",
                              json::array{Zone("cn-hangzhou-h", "华东 1 可用区 H", "Hangzhou Zone H"),
                                          Zone("cn-hangzhou-i", "华东 1 可用区 I", "Hangzhou Zone I"),
                                          Zone("cn-hangzhou-j", "华东 1 可用区 J", "Hangzhou Zone J")}));
    hangzhou["_RdsZones"] =
        json::array{Zone("cn-hangzhou-MAZ10(h,i)", "华东 1 多可用区 10（H+I）", "Hangzhou Multi-zone 10 (H+I)")};
    Put("Regions", Region("cn-shanghai", "华东2（上海）", "China (Shanghai)",
                          json::array{Zone("cn-shanghai-e", "华东 2 可用区 E", "Shanghai Zone E"),
                                      Zone("cn-shanghai-f", "华东 2 可用区 F", "Shanghai Zone F")}));
    Put("Regions", Region("ap-southeast-1", "新加坡", "Singapore",
                          json::array{Zone("ap-southeast-1a", "新加坡 可用区 A", "Singapore Zone A"),
                                      Zone("ap-southeast-1b", "新加坡 可用区 B", "Singapore Zone B"),
                                      Zone("ap-southeast-1c", "新加坡 可用区 C", "Singapore Zone C")}));
    // Served by its own database host; the database service also lists multi-zone ids.
    json::object& zhangjiakou =
        Put("Regions", Region("cn-zhangjiakou", "华北3（张家口）", "China (Zhangjiakou)",
                              json::array{Zone("cn-zhangjiakou-a", "华北 3 可用区 A", "Zhangjiakou Zone A"),
                                          Zone("cn-zhangjiakou-b", "华北 3 可用区 B", "Zhangjiakou Zone B")}));
    zhangjiakou["_RdsEndpoint"] = "rds.cn-zhangjiakou.aliyuncs.com";
    zhangjiakou["_RdsZones"] = json::array{
        Zone("cn-zhangjiakou-MAZ1(a,b)", "华北 3 多可用区 1（A+B）", "Zhangjiakou Multi-zone 1 (A+B)")};

    const char* region = "cn-hangzhou";
    const char* zone = "cn-hangzhou-h";
    Put("Vpcs", json::object{{"VpcId", "vpc-acwdemo0000000001"}, {"RegionId", region}, {"VpcName", "acw-demo-vpc"},
                             {"CidrBlock", "172.16.0.0/12"}, {"VRouterId", "vrt-acwdemo0000000001"},
                             {"VSwitchIds", json::object{{"VSwitchId", json::array{"vsw-acwdemo0000000001"}}}}});
    Put("VSwitches", json::object{{"VSwitchId", "vsw-acwdemo0000000001"}, {"VpcId", "vpc-acwdemo0000000001"},
                                  {"ZoneId", zone}, {"VSwitchName", "acw-demo-vsw"}, {"CidrBlock", "172.16.1.0/24"},
                                  {"_RegionId", region}});
    Put("SecurityGroups", json::object{{"SecurityGroupId", "sg-acwdemo0000000001"},
                                       {"SecurityGroupName", "acw-demo-sg"}, {"VpcId", "vpc-acwdemo0000000001"},
                                       {"EcsCount", 1}, {"_RegionId", region}});
    Put("Images", json::object{{"ImageId", "m-acwdemo0000000001"}, {"ImageName", "acw-demo-debian12"},
                               {"Platform", "Debian"}, {"OSName", "Debian 12 64位"}, {"OSNameEn", "Debian 12 64 bit"},
                               {"ImageOwnerAlias", "self"}, {"_RegionId", region}});
    Put("Instances",
        json::object{{"InstanceId", "i-acwemu00000000000001"}, {"InstanceName", "acw-demo-vm"},
                     {"HostName", "acw-demo-vm"}, {"ImageId", "m-acwdemo0000000001"}, {"RegionId", region},
                     {"ZoneId", zone}, {"Status", "Running"}, {"StartTime", "2024-01-15T08:01Z"},
                     {"OSName", "Debian 12 64位"}, {"OSNameEn", "Debian 12 64 bit"},
                     {"SerialNumber", "acw00000-0000-4000-8000-000000000001"},
                     {"VpcAttributes", json::object{{"VpcId", "vpc-acwdemo0000000001"},
                                                    {"VSwitchId", "vsw-acwdemo0000000001"},
                                                    {"PrivateIpAddress",
                                                     json::object{{"IpAddress", json::array{"172.16.1.10"}}}}}},
                     {"SecurityGroupIds", json::object{{"SecurityGroupId", json::array{"sg-acwdemo0000000001"}}}}});
    Put("Disks", json::object{{"DiskId", "d-acwdemo0000000001"}, {"DiskName", "acw-demo-vm-system"},
                              {"RegionId", region}, {"ZoneId", zone}, {"InstanceId", "i-acwemu00000000000001"},
                              {"Device", "/dev/xvda"}, {"ImageId", "m-acwdemo0000000001"}, {"Type", "system"},
                              {"Status", "In_use"}, {"Size", 40}, {"Portable", false}, {"DeleteWithInstance", true},
                              {"AttachedTime", "2024-01-15T08:01:00Z"},
                              {"Attachments", json::object{{"Attachment",
                                                            json::array{json::object{
                                                                {"InstanceId", "i-acwemu00000000000001"},
                                                                {"Device", "/dev/xvda"},
                                                                {"AttachedTime", "2024-01-15T08:01:00Z"}}}}}}});
    Put("Snapshots", json::object{{"SnapshotId", "s-acwdemo0000000001"}, {"SnapshotName", "acw-demo-snapshot"},
                                  {"SourceDiskId", "d-acwdemo0000000001"}, {"SourceDiskType", "system"},
                                  {"RegionId", region}});
    Put("EipAddresses", json::object{{"AllocationId", "eip-acwdemo0000000001"}, {"IpAddress", "47.96.0.10"},
                                     {"RegionId", region}, {"Name", "acw-demo-eip"}});
    Put("DBInstances", json::object{{"DBInstanceId", "rm-acwdemo0000000001"},
                                    {"DBInstanceDescription", "acw-demo-mysql"}, {"RegionId", region},
                                    {"ZoneId", zone}, {"VpcId", "vpc-acwdemo0000000001"},
                                    {"VSwitchId", "vsw-acwdemo0000000001"},
                                    {"ConnectionString", "rm-acwdemo0000000001.mysql.rds.aliyuncs.com"}});
    Put("DBInstances", DbInstance("rm-acwdemo0000000002", "PostgreSQL", region, "cn-hangzhou-i"));
    // More than one page of the service's default 30, of two engines, in a region with its own
    // database host.
    for (int n = 1; n <= 32; ++n) {
        char id[32];
        std::snprintf(id, sizeof id, "rm-acwzjk%012d", n);
        Put("DBInstances", DbInstance(id, n % 2 == 1 ? "MySQL" : "PostgreSQL", "cn-zhangjiakou",
                                      n % 3 == 0 ? "cn-zhangjiakou-b" : "cn-zhangjiakou-a"));
    }
    SeedInventory();
}

}  // namespace AcwEmulator
