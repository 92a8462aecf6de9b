// Helpers the emulator's actions are written with, without the network: paging
// and the plain-decimal printing of numbers.
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

// Answers print floats in plain decimal as the service does, never in exponent form.
TEST(EmulatorJsonTextTest, FloatsPrintInPlainDecimal) {
    const std::pair<double, const char*> cases[] = {
        {0.0, "0"}, {16.0, "16"}, {0.5, "0.5"}, {0.98, "0.98"}, {1e21, "1000000000000000000000"},
        {0.000001, "0.000001"}, {-2.25, "-2.25"}};
    for (const auto& [number, text] : cases) EXPECT_EQ(ToJsonText(json::value(number)), text) << number;
    EXPECT_EQ(ToJsonText(json::parse(R"({"a":[1,true,null,"x\"y"],"b":{}})")), R"({"a":[1,true,null,"x\"y"],"b":{}})");
}

}  // namespace
