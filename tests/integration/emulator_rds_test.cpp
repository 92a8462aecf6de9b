// The emulator's database actions on the demo world: their refusals and the shapes of their
// answers (member types, paging members, internal members kept out).
#include "emulator_test_client.h"

#include <acw_emulator/Emulator.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace EmulatorTest;

class EmulatorRdsTest : public ::testing::Test {
protected:
    void SetUp() override {
        emu.Start();
        emu.SetClock(signer.now);
        client = std::make_unique<Client>(emu.HttpsPort(), emu.CaPem());
    }

    Response Call(const std::string& action, Params params, const std::string& host = "rds.aliyuncs.com") {
        params.emplace_back("Action", action);
        return client->Api(signer, host, kRds, params);
    }

    static bool HasInternalMember(const boost::json::object& item) {
        for (const auto& member : item) {
            if (!member.key().empty() && member.key().front() == '_') return true;
        }
        return false;
    }

    AcwEmulator::Emulator emu;
    Signer signer;
    std::unique_ptr<Client> client;
};

TEST_F(EmulatorRdsTest, RefusalsCarryTheServiceCodes) {
    struct Case {
        const char* action;
        Params params;
        const char* code;
    };
    const std::vector<Case> cases = {
        {"DescribeDBInstances", {}, "MissingParameter"},
        {"DescribeDBInstances", {{"RegionId", "cn-nowhere"}}, "Forbidden.RegionNotFound"},
        {"DescribeDBInstances", {{"RegionId", "cn-hangzhou"}, {"Engine", "mysql"}}, "InvalidEngine.Malformed"},
        {"DescribeDBInstances", {{"RegionId", "cn-hangzhou"}, {"PageSize", "101"}}, "InvalidParameter"},
        {"DescribeDBInstanceAttribute", {}, "MissingParameter"},
        {"DescribeDBInstanceAttribute", {{"DBInstanceId", "rm-none"}}, "InvalidDBInstanceId.NotFound"},
    };
    for (const auto& c : cases) {
        const Response r = Call(c.action, c.params);
        EXPECT_EQ(r.status, 400) << c.code << ": " << r.body;
        EXPECT_EQ(r.Code(), c.code);
    }
}

TEST_F(EmulatorRdsTest, ListingPagesByThirtyAndTheAttributeAnswerIsNotPaged) {
    const auto page = Call("DescribeDBInstances", {{"RegionId", "cn-zhangjiakou"}}, "rds.cn-zhangjiakou.aliyuncs.com").Json();
    EXPECT_EQ(page.at("TotalRecordCount"), 32);
    EXPECT_EQ(page.at("PageNumber"), 1);
    EXPECT_EQ(page.at("PageRecordCount"), 30);
    const auto& items = page.at("Items").at("DBInstance").as_array();
    ASSERT_EQ(items.size(), 30u);
    EXPECT_TRUE(items[0].at("DBInstanceMemory").is_int64());
    EXPECT_TRUE(items[0].at("DeletionProtection").is_bool());
    EXPECT_FALSE(HasInternalMember(items[0].as_object()));
    const auto postgres =
        Call("DescribeDBInstances", {{"RegionId", "cn-zhangjiakou"}, {"Engine", "PostgreSQL"}, {"PageNumber", "2"}}).Json();
    EXPECT_EQ(postgres.at("TotalRecordCount"), 16);
    EXPECT_EQ(postgres.at("PageRecordCount"), 0);

    // "RegionId" is not a parameter of the attribute call: another region's id is ignored.
    const auto answer =
        Call("DescribeDBInstanceAttribute", {{"DBInstanceId", "rm-acwdemo0000000001"}, {"RegionId", "cn-shanghai"}}).Json();
    EXPECT_FALSE(answer.contains("TotalRecordCount"));
    EXPECT_FALSE(answer.contains("PageNumber"));
    const auto& attributes = answer.at("Items").at("DBInstanceAttribute").as_array();
    ASSERT_EQ(attributes.size(), 1u);
    const auto& attribute = attributes[0].as_object();
    EXPECT_EQ(attribute.at("Port"), "3306");
    EXPECT_EQ(attribute.at("RegionId"), "cn-hangzhou");
    EXPECT_TRUE(attribute.at("DBInstanceStorage").is_int64());
    EXPECT_FALSE(HasInternalMember(attribute));
}

}  // namespace
