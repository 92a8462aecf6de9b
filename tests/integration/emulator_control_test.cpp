// The control routes under /_emulator/ and the metadata service, over the wire.
#include "emulator_test_client.h"

namespace {

using namespace EmulatorTest;
namespace json = boost::json;

class EmulatorControlTest : public WireTest {
protected:
    Response Control(const std::string& method, const std::string& route, const json::value& body = nullptr) {
        return client->Send(method, "localhost", "/_emulator/" + route, body.is_null() ? "" : json::serialize(body));
    }
    Response Regions() { return Call(AcwEmulator::Product::Ecs, "DescribeRegions"); }
};

TEST_F(EmulatorControlTest, FaultsClockJournalAndCountersOverHttp) {
    ASSERT_EQ(Control("POST", "faults",
                      json::array{json::object{{"kind", "ErrorResponse"}, {"action", "DescribeRegions"},
                                               {"status", 400}, {"code", "Throttling"}, {"count", 2}}})
                  .status,
              200);
    EXPECT_EQ(Control("GET", "faults").Json().at("faults").at(0).at("count").as_int64(), 2);
    EXPECT_EQ(Regions().Code(), "Throttling");
    ASSERT_EQ(Control("DELETE", "faults").status, 200);
    EXPECT_EQ(Regions().status, 200);
    EXPECT_EQ(Control("POST", "faults", json::object{{"kind", "Explode"}}).status, 400);
    // A status no HTTP answer can carry is refused up front (it used to end the server thread).
    EXPECT_EQ(Control("POST", "faults", json::object{{"kind", "ErrorResponse"}, {"status", 1000}}).status, 400);
    AcwEmulator::Fault badStatus(AcwEmulator::FaultKind::ErrorResponse, "", 1);
    badStatus.status = -5;
    EXPECT_THROW(emu.InjectFault(badStatus), std::invalid_argument);

    // A frozen clock an hour back makes the signer's current time stamps expire.
    const auto clock = Control("POST", "clock", json::object{{"advanceSeconds", -3600}}).Json();
    EXPECT_TRUE(clock.at("frozen").as_bool());
    EXPECT_EQ(Regions().Code(), "InvalidTimeStamp.Expired");
    ASSERT_EQ(Control("POST", "clock", json::object{{"time", UtcText(signer.now)}}).status, 200);
    EXPECT_EQ(Control("GET", "clock").Json().at("now").as_int64(), signer.now);
    EXPECT_EQ(Regions().status, 200);

    const auto journal = Control("GET", "journal").Json().at("entries").as_array();
    ASSERT_EQ(journal.size(), 4u);  // API requests only: control requests are not journaled
    EXPECT_EQ(journal[0].at("fault").as_string(), "ErrorResponse");
    EXPECT_EQ(journal[0].at("params").at(0).at(0).as_string(), "Action");
    const auto counters = Control("GET", "counters").Json();
    EXPECT_EQ(counters.at("tcpConnections").to_number<int64_t>(), 1);
    EXPECT_EQ(counters.at("apiRequests").to_number<int64_t>(), 4);
    EXPECT_EQ(Control("GET", "nothing").status, 404);
}

TEST_F(EmulatorControlTest, SeedKeysAndReset) {
    const json::object seed{{"Regions", json::array{json::object{
                                            {"RegionId", "eu-central-1"},
                                            {"LocalName", "欧洲中部 1 (法兰克福)"},
                                            {"_LocalNameEn", "Germany (Frankfurt)"},
                                            {"RegionEndpoint", "ecs.eu-central-1.aliyuncs.com"},
                                            {"Zones", json::array{json::object{{"ZoneId", "eu-central-1a"}}}}}}},
                            {"Instances", json::array{json::object{{"RegionId", "eu-central-1"}}}}};
    ASSERT_EQ(Control("POST", "seed", seed).status, 200);
    EXPECT_EQ(Regions().Json().at("Regions").at("Region").as_array().size(), 5u);
    const auto world = Control("GET", "world").Json();
    const auto& instances = world.at("Instances").as_array();
    // The demo world's instances (one in cn-hangzhou, the inventory's in cn-shanghai) and the seeded one.
    ASSERT_EQ(instances.size(), 5u);
    EXPECT_EQ(instances.back().at("Status").as_string(), "Stopped");  // the kind's defaults filled in
    EXPECT_EQ(std::string(instances.back().at("InstanceId").as_string()).rfind("i-acw", 0), 0u);
    // The certificate names regional hosts of regions seeded after start too.
    EXPECT_EQ(client->Api(signer, "ecs.eu-central-1.aliyuncs.com", kEcs, {{"Action", "DescribeRegions"}}).status, 200);

    EXPECT_EQ(Control("POST", "seed", json::object{{"Gizmos", json::array()}}).status, 400);
    EXPECT_EQ(Control("POST", "seed", json::object{{"Regions", json::array{json::object{}}}}).status, 400);

    ASSERT_EQ(Control("POST", "keys", json::object{{"id", "second"}, {"secret", "s3cret"}}).status, 200);
    Signer other;
    other.keyId = "second";
    other.secret = "s3cret";
    EXPECT_EQ(client->Api(other, "ecs.aliyuncs.com", kEcs, {{"Action", "DescribeRegions"}}).status, 200);

    ASSERT_EQ(Control("POST", "reset").status, 200);
    EXPECT_EQ(Control("GET", "world").Json().at("Instances").as_array().size(), 4u);  // the demo world again
    EXPECT_TRUE(Control("GET", "journal").Json().at("entries").as_array().empty());
}

TEST_F(EmulatorControlTest, MetadataInstanceIdAndTokenModes) {
    Client meta(emu.MetadataPort(), "");
    // Only the Host header names the service: the connection is to loopback.
    auto get = [&](const std::string& leaf, const std::string& token = "") {
        return meta.Send("GET", "100.100.100.200", "/latest/meta-data/" + leaf, "",
                         token.empty() ? std::map<std::string, std::string>{}
                                       : std::map<std::string, std::string>{{"X-aliyun-ecs-metadata-token", token}});
    };
    auto newToken = [&](std::map<std::string, std::string> headers) {
        return meta.Send("PUT", "100.100.100.200", "/latest/api/token", "", headers);
    };
    EXPECT_EQ(get("instance-id").body, "i-acwemu00000000000001");
    EXPECT_EQ(get("region-id").body, "cn-hangzhou");
    EXPECT_EQ(get("no-such-leaf").status, 404);
    emu.SetMetadataInstanceId("i-other");

    EXPECT_EQ(newToken({}).status, 400);  // no TTL header
    EXPECT_EQ(newToken({{"X-aliyun-ecs-metadata-token-ttl-seconds", "0"}}).status, 400);
    const Response token = newToken({{"X-aliyun-ecs-metadata-token-ttl-seconds", "60"}});
    ASSERT_EQ(token.status, 200);
    ASSERT_FALSE(token.body.empty());

    ASSERT_EQ(Control("POST", "metadata", json::object{{"tokenMode", "required"}}).status, 200);
    EXPECT_EQ(get("instance-id").status, 401);
    EXPECT_EQ(get("instance-id", token.body).body, "i-other");
    EXPECT_EQ(get("instance-id", "forged").status, 401);
    emu.AdvanceClock(61);  // tokens expire on the emulator clock
    EXPECT_EQ(get("instance-id", token.body).status, 401);
    EXPECT_EQ(emu.GetCounters().metadataRequests, 10u);
}

}  // namespace
