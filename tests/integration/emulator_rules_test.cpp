// The service's refusals the emulator reproduces, as a client sees them: unknown regions on
// every region-scoped action, filters with their invalid values, and state rules.
#include "emulator_test_client.h"

#include <acw_emulator/Actions.h>
#include <acw_emulator/Emulator.h>

#include <gtest/gtest.h>

namespace {

using namespace EmulatorTest;
namespace json = boost::json;
using AcwEmulator::Product;

class EmulatorRulesTest : public ::testing::Test {
protected:
    void SetUp() override {
        emu.Start();
        client = std::make_unique<Client>(emu.HttpsPort(), emu.CaPem());
    }
    Response Call(Product product, const std::string& action, Params params = {}) {
        params.emplace_back("Action", action);
        switch (product) {
            case Product::Vpc: return client->Api(signer, "vpc.aliyuncs.com", kVpc, params);
            case Product::Rds: return client->Api(signer, "rds.aliyuncs.com", kRds, params);
            case Product::Ecs: break;
        }
        return client->Api(signer, "ecs.aliyuncs.com", kEcs, params);
    }
    Response Ecs(const std::string& action, Params params = {}) { return Call(Product::Ecs, action, std::move(params)); }
    // The "<Code> <status>" of an answer, or "200" for a success.
    static std::string Outcome(const Response& r) {
        return r.status == 200 ? "200" : r.Code() + " " + std::to_string(r.status);
    }
    std::vector<std::string> Ids(const Response& r, const char* wrapper, const char* item, const char* id) {
        std::vector<std::string> out;
        if (r.status != 200) return {Outcome(r)};
        for (const auto& v : r.Json().at(wrapper).at(item).as_array()) out.emplace_back(v.at(id).as_string());
        return out;
    }

    AcwEmulator::Emulator emu;
    Signer signer;
    std::unique_ptr<Client> client;
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

}  // namespace
