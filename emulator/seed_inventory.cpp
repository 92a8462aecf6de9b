// Seeds for the compute inventory: the demo world's instance type catalogue and inventory corner
// cases (in cn-shanghai, so the cn-hangzhou demo resources stay as they are), and a large
// deterministic inventory for load and benchmark runs.
#include <acw_emulator/Actions.h>
#include <acw_emulator/World.h>

#include <boost/json.hpp>

#include <cstdio>
#include <set>
#include <stdexcept>
#include <string>

#include "Tls.h"

namespace AcwEmulator {
namespace json = boost::json;

namespace {

json::object CatalogueType(const char* id, const char* family, int cpu, json::value memoryGiB, bool ioOptimized,
                           const char* generation, const char* architecture = "X86") {
    return json::object{{"InstanceTypeId", id},       {"InstanceTypeFamily", family},   {"CpuCoreCount", cpu},
                        {"MemorySize", memoryGiB},    {"CpuArchitecture", architecture}, {"_IoOptimized", ioOptimized},
                        {"_Generation", generation}};
}

json::object& RegionItem(World& world, const char* regionId) {
    json::object* region = world.Find("Regions", regionId);
    if (region == nullptr) throw std::logic_error(std::string("the demo world lacks region ") + regionId);
    return *region;
}

// Sets what a zone of the region sells (and which of it is sold out).
void SetZoneOffer(World& world, const char* regionId, const char* zoneId, json::array types, json::array soldOut) {
    for (auto& zone : RegionItem(world, regionId)["Zones"].as_array()) {
        if (zone.as_object()["ZoneId"].as_string() != zoneId) continue;
        zone.as_object()["AvailableInstanceTypes"] = json::object{{"InstanceTypes", std::move(types)}};
        zone.as_object()["_SoldOut"] = std::move(soldOut);
        return;
    }
}

json::object Instance(const char* id, const char* name, const char* zone, const char* image, const char* vpc,
                      const char* vswitch, const char* group, const char* privateIp) {
    return json::object{
        {"InstanceId", id},
        {"InstanceName", name},
        {"HostName", "inventory-host"},
        {"ImageId", image},
        {"RegionId", "cn-shanghai"},
        {"ZoneId", zone},
        {"Status", "Running"},
        {"InternetMaxBandwidthOut", 5},
        {"VpcAttributes", json::object{{"VpcId", vpc},
                                       {"VSwitchId", vswitch},
                                       {"PrivateIpAddress", json::object{{"IpAddress", json::array{privateIp}}}}}},
        {"SecurityGroupIds", json::object{{"SecurityGroupId", json::array{group}}}},
    };
}

json::object SystemDisk(const std::string& diskId, const std::string& region, const std::string& zone,
                        const std::string& instanceId, const std::string& image) {
    return json::object{{"DiskId", diskId},      {"RegionId", region},  {"ZoneId", zone},
                        {"InstanceId", instanceId}, {"Device", "/dev/xvda"}, {"ImageId", image},
                        {"Type", "system"},     {"Status", "In_use"},  {"Size", 40},
                        {"Portable", false},    {"DeleteWithInstance", true}};
}

}  // namespace

void World::SeedInventory() {
    // The catalogue: integral and fractional memory sizes, an arm64 type, and a retired family
    // sold only without I/O optimisation.
    for (json::object type : {CatalogueType("ecs.g6.large", "ecs.g6", 2, 8, true, "ecs-6"),
                              CatalogueType("ecs.g6.xlarge", "ecs.g6", 4, 16, true, "ecs-6"),
                              CatalogueType("ecs.c6.large", "ecs.c6", 2, 4, true, "ecs-6"),
                              CatalogueType("ecs.t5-lc2m1.nano", "ecs.t5", 1, 0.5, true, "ecs-5"),
                              CatalogueType("ecs.g6r.large", "ecs.g6r", 2, 8, true, "ecs-6", "ARM"),
                              CatalogueType("ecs.n1.tiny", "ecs.n1", 1, 1, false, "ecs-1")}) {
        Put("InstanceTypes", std::move(type));
    }
    SetZoneOffer(*this, "cn-shanghai", "cn-shanghai-e",
                 json::array{"ecs.g6.large", "ecs.g6.xlarge", "ecs.t5-lc2m1.nano", "ecs.n1.tiny"},
                 json::array{"ecs.g6.xlarge"});
    SetZoneOffer(*this, "cn-shanghai", "cn-shanghai-f", json::array{"ecs.g6r.large", "ecs.c6.large"}, json::array{});

    const char* region = "cn-shanghai";
    Put("Images", json::object{{"ImageId", "m-acwinvarm64000001"}, {"ImageName", "ubuntu-22-arm64"},
                               {"Platform", "Ubuntu"}, {"Architecture", "arm64"}, {"ImageOwnerAlias", "system"},
                               {"_RegionId", region}});
    Put("Images", json::object{{"ImageId", "m-acwinvdeprecated01"}, {"ImageName", "centos-7-retired"},
                               {"Platform", "CentOS"}, {"Architecture", "x86_64"}, {"Status", "Deprecated"},
                               {"ImageOwnerAlias", "system"}, {"_RegionId", region}});
    // "m-acwinvdeleted00001" is named by an instance but no longer exists.

    // Two VPCs, each with VSwitches in both zones and two security groups.
    for (int v = 1; v <= 2; ++v) {
        char vpc[32], vswE[32], vswF[32];
        std::snprintf(vpc, sizeof vpc, "vpc-acwinv000000000%d", v);
        std::snprintf(vswE, sizeof vswE, "vsw-acwinv00000000%de", v);
        std::snprintf(vswF, sizeof vswF, "vsw-acwinv00000000%df", v);
        Put("Vpcs", json::object{{"VpcId", vpc}, {"RegionId", region}, {"VpcName", "inventory-" + std::to_string(v)},
                                 {"VSwitchIds", json::object{{"VSwitchId", json::array{vswE, vswF}}}}});
        Put("VSwitches", json::object{{"VSwitchId", vswE}, {"VpcId", vpc}, {"ZoneId", "cn-shanghai-e"},
                                      {"_RegionId", region}});
        Put("VSwitches", json::object{{"VSwitchId", vswF}, {"VpcId", vpc}, {"ZoneId", "cn-shanghai-f"},
                                      {"_RegionId", region}});
        for (int g = 1; g <= 2; ++g) {
            char group[32];
            std::snprintf(group, sizeof group, "sg-acwinv0000000%d%d", v, g);
            Put("SecurityGroups", json::object{{"SecurityGroupId", group}, {"VpcId", vpc}, {"_RegionId", region}});
        }
    }

    Put("Instances", Instance("i-acwinv000000000001", "数据库服务器-01 «primary»", "cn-shanghai-f", "m-acwinvarm64000001",
                              "vpc-acwinv0000000001", "vsw-acwinv000000001f", "sg-acwinv000000011", "172.16.2.10"));
    Put("Instances", Instance("i-acwinv000000000002", "legacy-centos", "cn-shanghai-e", "m-acwinvdeprecated01",
                              "vpc-acwinv0000000002", "vsw-acwinv000000002e", "sg-acwinv000000021", "172.16.3.10"));
    Put("Instances", Instance("i-acwinv000000000003", "image-deleted", "cn-shanghai-e", "m-acwinvdeleted00001",
                              "vpc-acwinv0000000002", "vsw-acwinv000000002e", "sg-acwinv000000022", "172.16.3.11"));
    for (const char* id : {"i-acwinv000000000001", "i-acwinv000000000002", "i-acwinv000000000003"}) {
        const json::object& instance = *Find("Instances", id);
        Put("Disks", SystemDisk(std::string("d-") + (id + 2), region, Str(instance, "ZoneId"), id, Str(instance, "ImageId")));
    }
}

void World::SeedLargeInventory(int regions, int zonesPerRegion, int instancesPerZone) {
    if (regions < 1 || zonesPerRegion < 1 || instancesPerZone < 1 ||
        static_cast<int64_t>(regions) * zonesPerRegion * instancesPerZone > 1000000) {
        throw std::invalid_argument("a large inventory needs counts of at least 1 and at most 1,000,000 instances");
    }
    const auto& wellKnown = WellKnownRegions();
    // Ids already present are replaced in place; new ones are appended without a search each, so
    // seeding 10,000 instances stays quick.
    std::set<std::string> existing;
    for (const char* collection : {"Instances", "Disks"}) {
        const std::string& idMember = Collection(collection).idMember;
        for (const auto& item : Items(collection)) existing.insert(Str(item, idMember));
    }
    const auto add = [&](const char* collection, json::object item) {
        const std::string id = Str(item, Collection(collection).idMember);
        if (existing.count(id) != 0) {
            Put(collection, std::move(item));
            return;
        }
        json::object merged = Collection(collection).defaults();
        for (auto& [key, value] : item) merged[key] = std::move(value);
        Items(collection).push_back(std::move(merged));
    };

    for (int r = 0; r < regions; ++r) {
        const bool known = r < static_cast<int>(wellKnown.size());
        const std::string regionId = known ? wellKnown[r] : "acw-large-" + std::to_string(r);
        const std::string endpoint = known ? "ecs." + regionId + ".aliyuncs.com" : "ecs-" + regionId + ".aliyuncs.com";
        json::array zones;
        for (int z = 0; z < zonesPerRegion; ++z) {
            const std::string zoneId = regionId + "-z" + std::to_string(z);
            zones.push_back(json::object{{"ZoneId", zoneId}, {"LocalName", zoneId}, {"_LocalNameEn", zoneId}});
        }
        Put("Regions", json::object{{"RegionId", regionId}, {"LocalName", regionId}, {"_LocalNameEn", regionId},
                                    {"RegionEndpoint", endpoint}, {"Zones", std::move(zones)}});
        for (int z = 0; z < zonesPerRegion; ++z) {
            const std::string zoneId = regionId + "-z" + std::to_string(z);
            for (int n = 0; n < instancesPerZone; ++n) {
                char suffix[32];
                std::snprintf(suffix, sizeof suffix, "%03d%03d%07d", r, z, n);
                const std::string instanceId = std::string("i-acwlarge") + suffix;
                add("Instances",
                    json::object{{"InstanceId", instanceId}, {"InstanceName", "large-" + std::string(suffix)},
                                 {"HostName", "large-" + std::string(suffix)}, {"ImageId", "m-acwlarge0000000001"},
                                 {"RegionId", regionId}, {"ZoneId", zoneId}, {"Status", "Running"},
                                 {"SerialNumber", std::string("acw-") + suffix}});
                add("Disks", SystemDisk(std::string("d-acwlarge") + suffix, regionId, zoneId, instanceId,
                                        "m-acwlarge0000000001"));
            }
        }
    }
}

}  // namespace AcwEmulator
