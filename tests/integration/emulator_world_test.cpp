// The resource model and the helpers actions are written with, without the network.
#include <acw_emulator/Actions.h>
#include <acw_emulator/World.h>

#include <boost/json.hpp>
#include <gtest/gtest.h>

namespace {

using namespace AcwEmulator;
namespace json = boost::json;

class EmulatorHelperTest : public ::testing::Test {
protected:
    ActionContext Context(Params params) {
        m_params = std::move(params);
        return ActionContext(Product::Ecs, "DescribeThings", m_params, world, 0);
    }
    static std::string CodeOf(const std::function<void()>& fn) {
        try {
            fn();
        } catch (const ApiError& e) {
            return e.code;
        }
        return "";
    }
    World world;
    Params m_params;
};

TEST_F(EmulatorHelperTest, PagingDefaultsMaximaAndBothAnswerStyles) {
    std::vector<json::object> items;
    for (int i = 0; i < 25; ++i) items.push_back(json::object{{"Id", i}, {"_internal", true}});
    auto page = [&](Params params, ListNames names = {"Things", "Thing"}, PageRules rules = kEcsPaging) {
        json::object out;
        AddPagedList(Context(std::move(params)), out, items, names, rules);
        return out;
    };
    auto out = page({});
    const auto& things = out.at("Things").at("Thing").as_array();
    EXPECT_EQ(things.size(), 10u);
    EXPECT_FALSE(things.at(0).as_object().contains("_internal"));
    EXPECT_EQ(out.at("TotalCount").as_int64(), 25);
    EXPECT_EQ(out.at("PageNumber").as_int64(), 1);
    EXPECT_EQ(out.at("PageSize").as_int64(), 10);
    out = page({{"PageNumber", "3"}});
    EXPECT_EQ(out.at("Things").at("Thing").as_array().size(), 5u);
    EXPECT_EQ(out.at("Things").at("Thing").at(0).at("Id").as_int64(), 20);
    out = page({{"PageNumber", "9"}});
    EXPECT_TRUE(out.at("Things").at("Thing").as_array().empty());  // past the end: empty, totals kept
    EXPECT_EQ(out.at("TotalCount").as_int64(), 25);

    out = page({{"PageNumber", "1"}}, {"Items", "DBInstance"}, kRdsPaging);
    EXPECT_EQ(out.at("Items").at("DBInstance").as_array().size(), 25u);  // RDS default 30
    EXPECT_EQ(out.at("TotalRecordCount").as_int64(), 25);
    EXPECT_EQ(out.at("PageRecordCount").as_int64(), 25);
    EXPECT_FALSE(out.contains("TotalCount"));

    for (const char* size : {"0", "101", "ten", "-1"}) {
        EXPECT_EQ(CodeOf([&] { page({{"PageSize", size}}); }), "InvalidParameter") << size;
    }
    EXPECT_EQ(CodeOf([&] { page({{"PageSize", "51"}}, {"Things", "Thing"}, PageRules{10, 50}); }), "InvalidParameter");
}

TEST_F(EmulatorHelperTest, ListParametersInTheirThreeForms) {
    auto ctx = Context({{"InstanceIds", R"(["i-1","i-2"])"},
                        {"Bad", R"(["i-1",2])"},
                        {"AllocationId", "eip-1, eip-2,,"},
                        {"DataDisk.2.Size", "50"},
                        {"DataDisk.1.Size", "40"},
                        {"DataDisk.1.Category", "cloud_essd"},
                        {"InstanceId.2", "b"},
                        {"InstanceId.1", "a"},
                        {"InstanceId.x", "ignored"}});
    EXPECT_EQ(*ctx.JsonArray("InstanceIds", 100), (std::vector<std::string>{"i-1", "i-2"}));
    EXPECT_FALSE(ctx.JsonArray("DiskIds", 100).has_value());
    EXPECT_EQ(CodeOf([&] { (void)ctx.JsonArray("Bad", 100, "InvalidDiskIds.Malformed", 403); }),
              "InvalidDiskIds.Malformed");
    EXPECT_EQ(CodeOf([&] { (void)ctx.JsonArray("InstanceIds", 1); }), "InvalidParameter");
    EXPECT_EQ(*ctx.CommaList("AllocationId", 50), (std::vector<std::string>{"eip-1", "eip-2"}));
    EXPECT_EQ(ctx.NumberedList("InstanceId"), (std::vector<std::string>{"a", "b"}));
    const auto disks = ctx.NumberedObjects("DataDisk");
    ASSERT_EQ(disks.size(), 2u);
    EXPECT_EQ(disks[0].at("Category"), "cloud_essd");
    EXPECT_EQ(disks[1].at("Size"), "50");
}

TEST_F(EmulatorHelperTest, ScalarParametersAndFilters) {
    auto ctx = Context({{"Force", "True"}, {"Size", "20"}, {"ZoneId", "z-1"}, {"Empty", ""}});
    EXPECT_TRUE(ctx.Bool("Force", false));
    EXPECT_FALSE(ctx.Bool("Missing", false));
    EXPECT_EQ(ctx.Int("Size", 0, 20, 32768), 20);
    EXPECT_EQ(CodeOf([&] { (void)ctx.Int("Size", 0, 40, 100); }), "InvalidParameter");
    EXPECT_EQ(CodeOf([&] { (void)ctx.Required("Empty"); }), "MissingParameter");
    EXPECT_TRUE(ctx.Matches(json::object{{"ZoneId", "z-1"}}, "ZoneId"));
    EXPECT_FALSE(ctx.Matches(json::object{{"ZoneId", "z-2"}}, "ZoneId"));
    EXPECT_TRUE(ctx.Matches(json::object{{"ZoneId", "z-2"}}, "Empty", "ZoneId"));  // empty filter matches all
}

// Answers print floats in plain decimal as the service does, never in exponent form.
TEST(EmulatorJsonTextTest, FloatsPrintInPlainDecimal) {
    const std::pair<double, const char*> cases[] = {
        {0.0, "0"}, {16.0, "16"}, {0.5, "0.5"}, {0.98, "0.98"}, {1e21, "1000000000000000000000"},
        {0.000001, "0.000001"}, {-2.25, "-2.25"}};
    for (const auto& [number, text] : cases) EXPECT_EQ(ToJsonText(json::value(number)), text) << number;
    EXPECT_EQ(ToJsonText(json::parse(R"({"a":[1,true,null,"x\"y"],"b":{}})")), R"({"a":[1,true,null,"x\"y"],"b":{}})");
}

TEST(EmulatorWorldTest, PutMergesDefaultsKeepsOrderAndReplacesById) {
    World world;
    auto& disk = world.Put("Disks", json::object{{"RegionId", "cn-hangzhou"}, {"Size", 100}});
    const std::string id(disk.at("DiskId").as_string());
    EXPECT_EQ(id, "d-acw0000000000000001");
    EXPECT_EQ(disk.at("Status").as_string(), "Available");
    EXPECT_TRUE(disk.at("OperationLocks").at("OperationLock").as_array().empty());
    (void)world.Put("Disks", json::object{});
    (void)world.Put("Disks", json::object{{"DiskId", id}, {"Size", 200}});
    ASSERT_EQ(world.Items("Disks").size(), 2u);
    EXPECT_EQ(world.Items("Disks")[0].at("Size").as_int64(), 200);  // replaced in place
    EXPECT_EQ(world.Items("Disks")[0].at("RegionId").as_string(), "");  // a replacement is whole
    // Nested objects merge member by member.
    auto& vm = world.Put("Instances", json::object{{"VpcAttributes", json::object{{"VpcId", "vpc-1"}}}});
    EXPECT_TRUE(vm.at("VpcAttributes").at("PrivateIpAddress").at("IpAddress").is_array());
    EXPECT_TRUE(world.Remove("Disks", id));
    EXPECT_FALSE(world.Remove("Disks", id));
    EXPECT_THROW((void)world.Items("Gizmos"), std::invalid_argument);
}

// Request ids are fixed per world (reproducible runs); scheduled changes land after
// the given number of requests, and one for a resource deleted meanwhile is dropped.
TEST(EmulatorWorldTest, RequestIdsTimesAndScheduledChanges) {
    World world;
    EXPECT_EQ(world.NewRequestId(), "AC0E0000-0000-4000-8000-000000000001");
    EXPECT_EQ(world.NewRequestId(), "AC0E0000-0000-4000-8000-000000000002");
    EXPECT_EQ(FormatUtc(0, TimePrecision::Minutes), "1970-01-01T00:00Z");
    EXPECT_EQ(FormatUtc(86399, TimePrecision::Seconds), "1970-01-01T23:59:59Z");

    (void)world.Put("Instances", json::object{{"InstanceId", "i-1"}, {"Status", "Starting"}});
    world.Schedule("Instances", "i-1", "Status", "Running", 2);
    world.OnRequest();
    EXPECT_EQ(world.Find("Instances", "i-1")->at("Status").as_string(), "Starting");
    world.OnRequest();
    EXPECT_EQ(world.Find("Instances", "i-1")->at("Status").as_string(), "Running");
    world.Schedule("Instances", "i-1", "Status", "Stopped", 1);
    EXPECT_TRUE(world.Remove("Instances", "i-1"));
    world.OnRequest();
    EXPECT_EQ(world.Find("Instances", "i-1"), nullptr);
}

}  // namespace
