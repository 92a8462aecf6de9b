// The control routes under /_emulator/, the metadata service and injected faults, over the wire.
#include "emulator_test_client.h"

#include <acw_emulator/World.h>

#include <chrono>
#include <thread>

namespace {

using namespace EmulatorTest;
namespace json = boost::json;
using AcwEmulator::FaultKind;

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

// ---- injected faults, as a client sees them: the statuses injected errors
// carry, a stalled connection at shutdown, and an action carried out behind a
// lost answer. (How each kind of fault looks to the library, and how many
// requests it hits, is read from the journal by the library's own tests.)

class EmulatorFaultTest : public WireTest {
protected:
    Response Ecs(const std::string& action = "DescribeRegions") { return Call(AcwEmulator::Product::Ecs, action); }
};

// An injected error without a status arrives with the status the service gives that code,
// so retry tests see throttling as 400 and a busy service as 503, not everything as 500.
TEST_F(EmulatorFaultTest, InjectedErrorsDefaultToTheServiceStatusOfTheirCode) {
    const std::pair<const char*, int> cases[] = {
        {"Throttling", 400},         {"Throttling.User", 400},           {"Throttling.Api", 400},
        {"SignatureNonceUsed", 400}, {"ServiceUnavailable", 503},         {"InternalError", 500},
        {"", 500},                   {"InvalidOperation.Conflict", 409},  {"OperationConflict", 409},
        {"InvalidDiskId.NotFound", 404}, {"IncorrectDiskStatus", 403},    {"InvalidParameter", 400},
    };
    for (const auto& [code, status] : cases) {
        AcwEmulator::Fault fault{FaultKind::ErrorResponse, "DescribeRegions", 1};
        fault.code = code;
        emu.InjectFault(fault);
        const Response r = Ecs();
        EXPECT_EQ(r.status, status) << code;
        EXPECT_EQ(r.Code(), *code ? code : "InternalError");
    }
    AcwEmulator::Fault explicitStatus{FaultKind::ErrorResponse, "DescribeRegions", 1};
    explicitStatus.code = "Throttling";
    explicitStatus.status = 403;  // some compute pages list 403: an explicit status wins
    emu.InjectFault(explicitStatus);
    EXPECT_EQ(Ecs().status, 403);
}

TEST_F(EmulatorFaultTest, StopDoesNotWaitForAStalledConnection) {
    emu.InjectFault({FaultKind::Stall, "", 1});
    std::thread stalledClient([port = emu.HttpsPort(), ca = emu.CaPem()] {
        Client other(port, ca);
        Signer s;
        (void)other.Api(s, "ecs.aliyuncs.com", kEcs, {{"Action", "DescribeRegions"}}, "GET", std::chrono::seconds(10));
    });
    for (int n = 0; n < 1000 && emu.Journal().empty(); ++n) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(emu.Journal().empty());
    const auto start = std::chrono::steady_clock::now();
    emu.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    stalledClient.join();  // the client sees its connection closed, well before its own time-out
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(EmulatorFaultTest, ExecuteActionChangesTheWorldBehindALostAnswer) {
    // An action of the test's own, registered like the built-in ones, that creates a disk.
    emu.RegisterAction(AcwEmulator::Product::Ecs, "CreateTestDisk", [](AcwEmulator::ActionContext& ctx) {
        const auto& disk = ctx.world.Put("Disks", boost::json::object{{"RegionId", "cn-hangzhou"}});
        return boost::json::object{{"DiskId", disk.at("DiskId")}};
    });
    auto diskCount = [this] {
        size_t n = 0;
        emu.WithWorld([&](AcwEmulator::World& world) { n = world.Items("Disks").size(); });
        return n;
    };
    const size_t before = diskCount();
    emu.InjectFault({FaultKind::CloseBeforeAnswer, "CreateTestDisk", 1});
    EXPECT_FALSE(Ecs("CreateTestDisk").ok);
    EXPECT_EQ(diskCount(), before);  // lost before the service acted

    AcwEmulator::Fault lost{FaultKind::CloseMidBody, "CreateTestDisk", 1};
    lost.executeAction = true;
    emu.InjectFault(lost);
    EXPECT_FALSE(Ecs("CreateTestDisk").ok);
    EXPECT_EQ(diskCount(), before + 1);  // acted, answer lost
    EXPECT_EQ(Ecs("CreateTestDisk").status, 200);
}

}  // namespace
