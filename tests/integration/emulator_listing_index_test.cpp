// The instance listing reads its region's instances through an index: it must follow every
// change of the world (instances put, replaced in another zone, removed, or appended by a seed)
// and give the same pages with and without further filters.
#include "emulator_test_client.h"

#include <acw_emulator/World.h>

namespace {

using namespace EmulatorTest;
namespace json = boost::json;

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
