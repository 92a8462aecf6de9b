// The emulator's database actions on the demo world: their refusals, and what their answers
// leave out or ignore.
#include "emulator_test_client.h"

#include <acw_emulator/Emulator.h>

#include <gtest/gtest.h>

#include <memory>
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

// Internal members stay out; "RegionId" is not a parameter of the attribute call, so another
// region's id is ignored.
TEST_F(EmulatorRdsTest, AnswersKeepInternalMembersOutAndTheAttributeCallIgnoresTheRegion) {
    const auto page = Call("DescribeDBInstances", {{"RegionId", "cn-zhangjiakou"}, {"Engine", "PostgreSQL"}},
                           "rds.cn-zhangjiakou.aliyuncs.com")
                          .Json();
    EXPECT_EQ(page.at("TotalRecordCount"), 16);
    EXPECT_FALSE(HasInternalMember(page.at("Items").at("DBInstance").at(0).as_object()));
    const auto answer =
        Call("DescribeDBInstanceAttribute", {{"DBInstanceId", "rm-acwdemo0000000001"}, {"RegionId", "cn-shanghai"}}).Json();
    const auto& attribute = answer.at("Items").at("DBInstanceAttribute").at(0).as_object();
    EXPECT_EQ(attribute.at("RegionId"), "cn-hangzhou");
    EXPECT_FALSE(HasInternalMember(attribute));
}

}  // namespace
