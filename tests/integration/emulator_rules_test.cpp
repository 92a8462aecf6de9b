// The service's refusals the emulator reproduces, as a client sees them: unknown regions on
// every region-scoped action, filters with their invalid values, state rules, the
// database actions' refusals, and listings that follow every change of the world.
#include "emulator_test_client.h"

#include <acw_emulator/World.h>

#include <array>
#include <set>

namespace {

using namespace EmulatorTest;
namespace json = boost::json;
using AcwEmulator::Product;

class EmulatorRulesTest : public WireTest {
protected:
    Response Ecs(const std::string& action, Params params = {}) { return Call(Product::Ecs, action, std::move(params)); }
    std::vector<std::string> Ids(const Response& r, const char* wrapper, const char* item, const char* id) {
        std::vector<std::string> out;
        if (r.status != 200) return {Outcome(r)};
        const json::object doc = r.Json();
        for (const auto& v : doc.at(wrapper).at(item).as_array()) out.emplace_back(v.at(id).as_string());
        return out;
    }
};

// Every region-scoped action refuses a region the service does not know with its product's
// answer (a few actions document their own), checked before any other parameter; and a
// required region left out is a missing parameter. New region-scoped actions join by themselves.
TEST_F(EmulatorRulesTest, UnknownRegionsAreRefusedByEveryRegionScopedAction) {
    const std::map<std::string, std::pair<std::string, std::string>> documented = {
        // action: unknown region, missing region
        {"ecs.DescribeDisks", {"InvalidRegion.NotFound 400", "MissingParamter.RegionId 400"}},
        {"ecs.DescribeAvailableResource", {"Invalid.RegionId 404", "MissingParameter 400"}},
    };
    const std::map<Product, std::string> byProduct = {{Product::Ecs, "InvalidRegionId.NotFound 404"},
                                                      {Product::Vpc, "Forbidden.RegionNotFound 404"},
                                                      {Product::Rds, "Forbidden.RegionNotFound 400"}};
    size_t checked = 0;
    for (const auto& entry : AcwEmulator::BuildActionTable().Entries()) {
        if (!entry.region) continue;
        const std::string name = std::string(AcwEmulator::ProductKey(entry.product)) + "." + entry.action;
        const auto own = documented.find(name);
        EXPECT_EQ(Outcome(Call(entry.product, entry.action, {{"RegionId", "xx-nowhere-1"}})),
                  own != documented.end() ? own->second.first : byProduct.at(entry.product))
            << name;
        if (!entry.region->regionOptional) {
            EXPECT_EQ(Outcome(Call(entry.product, entry.action)),
                      own != documented.end() ? own->second.second : "MissingParameter 400")
                << name;
        }
        ++checked;
    }
    EXPECT_GE(checked, 10u);
}

// The disk, snapshot and instance filters over a seeded set: a system disk (the demo's), an
// attached and a free data disk; an invalid enumeration value is refused, not ignored.
TEST_F(EmulatorRulesTest, ListFiltersSelectAndRefuseInvalidValues) {
    emu.Seed(std::string_view(R"({"Disks": [
        {"DiskId": "d-attached", "RegionId": "cn-hangzhou", "ZoneId": "cn-hangzhou-h", "Status": "In_use",
         "InstanceId": "i-acwemu00000000000001", "Device": "/dev/xvdb", "Category": "cloud_ssd", "Encrypted": true,
         "SourceSnapshotId": "s-acwdemo0000000001", "AttachedTime": "2024-01-15T09:00:00Z"},
        {"DiskId": "d-free", "RegionId": "cn-hangzhou", "ZoneId": "cn-hangzhou-i", "Category": "cloud_efficiency",
         "DeleteWithInstance": true}],
      "Snapshots": [{"SnapshotId": "s-auto", "RegionId": "cn-hangzhou", "SourceDiskId": "d-attached",
                     "SnapshotType": "auto", "Usage": "disk", "Status": "progressing", "Progress": "0%"}]})"));
    const std::string region = "cn-hangzhou";
    struct Case {
        const char* action;
        Params filter;
        std::vector<std::string> ids;  // or the one "<Code> <status>" refusal
    };
    const std::vector<Case> cases = {
        {"DescribeDisks", {}, {"d-acwdemo0000000001", "d-attached", "d-free"}},
        {"DescribeDisks", {{"DiskType", "system"}}, {"d-acwdemo0000000001"}},
        {"DescribeDisks", {{"DiskType", "data"}, {"Status", "In_use"}}, {"d-attached"}},
        {"DescribeDisks", {{"Status", "Available"}}, {"d-free"}},
        {"DescribeDisks", {{"Category", "cloud_efficiency"}}, {"d-free"}},
        {"DescribeDisks", {{"SnapshotId", "s-acwdemo0000000001"}}, {"d-attached"}},
        {"DescribeDisks", {{"Portable", "false"}}, {"d-acwdemo0000000001"}},
        {"DescribeDisks", {{"DeleteWithInstance", "true"}, {"DiskType", "data"}}, {"d-free"}},
        {"DescribeDisks", {{"Encrypted", "true"}}, {"d-attached"}},
        {"DescribeDisks", {{"DiskIds", R"(["d-free","d-nothing"])"}}, {"d-free"}},
        {"DescribeDisks", {{"Status", "Foo"}}, {"InvalidStatus.ValueNotSupported 400"}},
        {"DescribeDisks", {{"DiskType", "boot"}}, {"InvalidDiskType.ValueNotSupported 400"}},
        {"DescribeDisks", {{"Category", "floppy"}}, {"InvalidCategory.ValueNotSupported 400"}},
        {"DescribeDisks", {{"DiskIds", "d-free"}}, {"InvalidParameter.DiskIds 400"}},
        {"DescribeSnapshots", {{"SnapshotType", "auto"}}, {"s-auto"}},
        {"DescribeSnapshots", {{"Usage", "none"}}, {"s-acwdemo0000000001"}},
        {"DescribeSnapshots", {{"SourceDiskType", "System"}}, {"s-acwdemo0000000001"}},
        {"DescribeSnapshots", {{"InstanceId", "i-acwemu00000000000001"}, {"Status", "progressing"}}, {"s-auto"}},
        {"DescribeSnapshots", {{"SnapshotType", "manual"}}, {"InvalidSnapshotType.NotFound 404"}},
        {"DescribeSnapshots", {{"Status", "done"}}, {"InvalidStatus.NotFound 404"}},
        {"DescribeInstances", {{"Status", "Stopped"}}, {}},
        {"DescribeInstances", {{"PrivateIpAddresses", R"(["172.16.1.10"])"}}, {"i-acwemu00000000000001"}},
        {"DescribeInstances", {{"Status", "running"}}, {"InvalidStatus.NotFound 404"}},
        {"DescribeInstances", {{"InstanceNetworkType", "VPC"}}, {"InvalidNetworkType.NotFound 404"}},
    };
    const std::map<std::string, std::array<const char*, 3>> lists = {
        {"DescribeDisks", {"Disks", "Disk", "DiskId"}},
        {"DescribeSnapshots", {"Snapshots", "Snapshot", "SnapshotId"}},
        {"DescribeInstances", {"Instances", "Instance", "InstanceId"}}};
    for (const Case& c : cases) {
        Params params = c.filter;
        params.emplace_back("RegionId", region);
        const auto& names = lists.at(c.action);
        std::vector<std::string> ids = Ids(Ecs(c.action, params), names[0], names[1], names[2]);
        std::sort(ids.begin(), ids.end());
        EXPECT_EQ(ids, c.ids) << c.action << " " << (c.filter.empty() ? "" : c.filter[0].first);
    }
}

// Token paging on a compute list: the pages join up to the whole list, the last has no token.
TEST_F(EmulatorRulesTest, TokenPagingWalksTheWholeList) {
    for (int i = 0; i < 12; ++i) emu.Seed(std::string_view(R"({"Disks": [{"RegionId": "cn-hangzhou"}]})"));
    std::vector<std::string> seen;
    std::string token;
    for (int page = 0; page < 5; ++page) {
        Params params{{"RegionId", "cn-hangzhou"}, {"MaxResults", "10"}};
        if (!token.empty()) params.emplace_back("NextToken", token);
        const Response r = Ecs("DescribeDisks", params);
        ASSERT_EQ(r.status, 200) << r.body;
        const auto doc = r.Json();
        EXPECT_EQ(doc.at("TotalCount").as_int64(), 13);
        for (const auto& v : doc.at("Disks").at("Disk").as_array()) seen.emplace_back(v.at("DiskId").as_string());
        token = std::string(doc.at("NextToken").as_string());
        if (token.empty()) break;
    }
    EXPECT_EQ(seen.size(), 13u);
    EXPECT_EQ(std::set<std::string>(seen.begin(), seen.end()).size(), 13u);
    EXPECT_EQ(Outcome(Ecs("DescribeDisks", {{"RegionId", "cn-hangzhou"}, {"NextToken", "bogus"}})),
              "InvalidNextToken.Malformed 400");
    EXPECT_EQ(Outcome(Ecs("DescribeDisks", {{"RegionId", "cn-hangzhou"}, {"MaxResults", "5"}})), "InvalidParameter 400");
    // DescribeInstances raises a MaxResults below 10 instead.
    EXPECT_EQ(Outcome(Ecs("DescribeInstances", {{"RegionId", "cn-hangzhou"}, {"MaxResults", "5"}})), "200");
}

// State rules and the smaller refusals, each as the service answers it.
TEST_F(EmulatorRulesTest, StateRulesAndSmallerRefusals) {
    emu.Seed(std::string_view(R"({"Disks": [{"DiskId": "d-new", "RegionId": "cn-hangzhou", "ZoneId": "cn-hangzhou-h"}],
                 "Instances": [{"InstanceId": "i-stopped", "RegionId": "cn-hangzhou", "ZoneId": "cn-hangzhou-h",
                                "Status": "Stopped"}]})"));
    emu.Seed(std::string_view(R"({"Disks": [{"DiskId": "d-sys", "RegionId": "cn-hangzhou", "ZoneId": "cn-hangzhou-h", "Type": "system",
                            "Status": "In_use", "InstanceId": "i-stopped", "Device": "/dev/xvda"}]})"));
    std::string manyIds = "[";
    for (int i = 0; i < 101; ++i) manyIds += (i ? ",\"d-" : "\"d-") + std::to_string(i) + "\"";
    manyIds += "]";
    struct Case {
        const char* action;
        Params params;
        const char* outcome;
    };
    const Case cases[] = {
        {"CreateSnapshot", {{"DiskId", "d-new"}}, "IncorrectDiskStatus.NeverAttached 403"},
        {"DetachDisk", {{"InstanceId", "i-acwemu00000000000001"}, {"DiskId", "d-acwdemo0000000001"}},
         "IncorrectInstanceStatus 403"},
        {"DetachDisk", {{"InstanceId", "i-stopped"}, {"DiskId", "d-sys"}}, "200"},
        {"CreateSecurityGroup", {{"RegionId", "cn-hangzhou"}}, "InvalidVpcId.NotFound 403"},
        {"CreateDisk", {{"RegionId", "cn-hangzhou"}, {"ZoneId", "cn-hangzhou-h"}, {"Size", "40"}, {"DiskCategory", "floppy"}},
         "InvalidDiskCategory.ValueNotSupported 400"},
        {"CreateDisk", {{"RegionId", "cn-hangzhou"}, {"ZoneId", "cn-hangzhou-h"}, {"Size", "40"}, {"DiskCategory", "ephemeral_ssd"}},
         "InvalidDiskCategory.NotSupported 403"},
        {"CreateDisk", {{"RegionId", "cn-hangzhou"}, {"ZoneId", "cn-hangzhou-h"}, {"InstanceId", "i-stopped"}, {"Size", "40"}},
         "InvalidParam.ZoneIdAndInstanceId.Conflict 403"},
        {"CreateDisk", {{"RegionId", "cn-hangzhou"}, {"InstanceId", "i-stopped"}, {"Size", "40"}, {"DiskCategory", "cloud_essd"}}, "200"},
        {"DescribeRegions", {{"AcceptLanguage", "xx-YY"}}, "InvalidAcceptLanguage.NotFound 404"},
        {"DescribeDisks", {{"RegionId", "cn-hangzhou"}, {"DiskIds", manyIds}}, "InvalidDiskIds.Malformed 403"},
    };
    for (const Case& c : cases) EXPECT_EQ(Outcome(Ecs(c.action, c.params)), c.outcome) << c.action;
    // A disk made on an instance is attached to it at once, in the instance's zone.
    const auto disks = Ecs("DescribeDisks", {{"RegionId", "cn-hangzhou"}, {"InstanceId", "i-stopped"}, {"DiskType", "data"}}).Json();
    const auto& made = disks.at("Disks").at("Disk").at(0);
    EXPECT_EQ(made.at("Status").as_string(), "In_use");
    EXPECT_EQ(made.at("Device").as_string(), "/dev/xvdb");
    EXPECT_EQ(made.at("ZoneId").as_string(), "cn-hangzhou-h");
    // A VPC instance lists its primary network interface with its private address.
    const auto vms = Ecs("DescribeInstances", {{"RegionId", "cn-hangzhou"}}).Json();
    const auto& eni = vms.at("Instances").at("Instance").at(0).at("NetworkInterfaces").at("NetworkInterface").at(0);
    EXPECT_EQ(eni.at("Type").as_string(), "Primary");
    EXPECT_EQ(eni.at("PrimaryIpAddress").as_string(), "172.16.1.10");
    EXPECT_EQ(eni.at("PrivateIpSets").at("PrivateIpSet").at(0).at("Primary").as_bool(), true);
}

// The database actions' refusals, and what their answers ignore: "RegionId" is
// not a parameter of the attribute call, so another region's id is ignored.
TEST_F(EmulatorRulesTest, DatabaseRefusalsAndTheAttributeCallsRegion) {
    const std::pair<Params, const char*> cases[] = {
        {{{"Action", "DescribeDBInstances"}, {"RegionId", "cn-hangzhou"}, {"Engine", "mysql"}},
         "InvalidEngine.Malformed 400"},
        {{{"Action", "DescribeDBInstances"}, {"RegionId", "cn-hangzhou"}, {"PageSize", "101"}}, "InvalidParameter 400"},
        {{{"Action", "DescribeDBInstanceAttribute"}}, "MissingParameter 400"},
        {{{"Action", "DescribeDBInstanceAttribute"}, {"DBInstanceId", "rm-none"}}, "InvalidDBInstanceId.NotFound 400"},
    };
    for (const auto& [params, outcome] : cases) {
        const Params rest(params.begin() + 1, params.end());
        EXPECT_EQ(Outcome(Call(Product::Rds, params[0].second, rest)), outcome) << params[0].second;
    }
    const auto answer = Call(Product::Rds, "DescribeDBInstanceAttribute",
                             {{"DBInstanceId", "rm-acwdemo0000000001"}, {"RegionId", "cn-shanghai"}}).Json();
    EXPECT_EQ(answer.at("Items").at("DBInstanceAttribute").at(0).at("RegionId"), "cn-hangzhou");
}

// ---- the instance listing reads its region's instances through an index: it
// must follow every change of the world (instances put, replaced in another
// zone, removed, or appended by a seed) and give the same pages with and
// without further filters.

json::object Instance(const std::string& id, const std::string& zone, const std::string& status = "Running") {
    return json::object{{"InstanceId", id}, {"RegionId", "cn-hangzhou"}, {"ZoneId", zone}, {"Status", status}};
}

// A world of its own: one region, four running instances in one zone and a stopped one in another.
class EmulatorListingIndexTest : public WireTest {
protected:
    EmulatorListingIndexTest() : WireTest(NoDemoWorld()) {}
    static AcwEmulator::Options NoDemoWorld() {
        AcwEmulator::Options options;
        options.seedDefaultWorld = false;
        return options;
    }
    void SetUp() override {
        WireTest::SetUp();
        emu.WithWorld([](AcwEmulator::World& world) {
            world.Put("Regions", json::object{{"RegionId", "cn-hangzhou"}});
            for (const char* id : {"i-1", "i-2", "i-3", "i-4"}) world.Put("Instances", Instance(id, "cn-hangzhou-h"));
            world.Put("Instances", Instance("i-5", "cn-hangzhou-i", "Stopped"));
        });
    }
    // The ids of one listing, or the error code.
    std::string List(Params params) {
        params.emplace_back("RegionId", "cn-hangzhou");
        const Response r = Call(AcwEmulator::Product::Ecs, "DescribeInstances", params);
        if (r.status != 200) return r.Code();
        const json::object doc = r.Json();
        std::string ids;
        for (const auto& v : doc.at("Instances").at("Instance").as_array()) ids += std::string(v.at("InstanceId").as_string()) + " ";
        return ids + "of " + std::to_string(doc.at("TotalCount").as_int64());
    }
};

TEST_F(EmulatorListingIndexTest, PagesFollowEveryChangeOfTheInstances) {
    const Params zoneH{{"ZoneId", "cn-hangzhou-h"}};
    const Params secondPage{{"PageSize", "2"}, {"PageNumber", "2"}};
    const Params filteredSecondPage{{"PageSize", "2"}, {"PageNumber", "2"}, {"Status", "Running"}};
    EXPECT_EQ(List({}), "i-1 i-2 i-3 i-4 i-5 of 5");
    EXPECT_EQ(List(zoneH), "i-1 i-2 i-3 i-4 of 4");
    EXPECT_EQ(List({{"ZoneId", "cn-hangzhou-k"}}), "of 0");
    EXPECT_EQ(List(secondPage), "i-3 i-4 of 5");
    EXPECT_EQ(List(filteredSecondPage), "i-3 i-4 of 4");
    EXPECT_EQ(List({{"MaxResults", "10"}, {"NextToken", "3"}}), "i-4 i-5 of 5");

    emu.WithWorld([](AcwEmulator::World& world) {
        EXPECT_TRUE(world.Remove("Instances", "i-2"));
        world.Put("Instances", Instance("i-6", "cn-hangzhou-h"));
        world.Put("Instances", Instance("i-3", "cn-hangzhou-i"));  // moves zone, keeps its place
    });
    EXPECT_EQ(List({}), "i-1 i-3 i-4 i-5 i-6 of 5");
    EXPECT_EQ(List(zoneH), "i-1 i-4 i-6 of 3");
    EXPECT_EQ(List({{"ZoneId", "cn-hangzhou-i"}}), "i-3 i-5 of 2");
    EXPECT_EQ(List(filteredSecondPage), "i-4 i-6 of 4");

    // A seed may append without Put; the listing still sees it.
    emu.WithWorld([](AcwEmulator::World& world) { world.Items("Instances").push_back(Instance("i-7", "cn-hangzhou-h")); });
    EXPECT_EQ(List(zoneH), "i-1 i-4 i-6 i-7 of 4");
    emu.WithWorld([](AcwEmulator::World& world) {
        world.Put("Instances", json::object{{"InstanceId", "i-1"}, {"RegionId", "cn-shanghai"}});
    });
    EXPECT_EQ(List(zoneH), "i-4 i-6 i-7 of 3");
}

}  // namespace
