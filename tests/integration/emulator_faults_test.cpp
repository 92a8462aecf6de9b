// Injected faults, as a client sees them on the wire.
#include "emulator_test_client.h"

#include <acw_emulator/World.h>

#include <chrono>
#include <thread>

namespace {

using namespace EmulatorTest;
using AcwEmulator::Fault;
using AcwEmulator::FaultKind;

class EmulatorFaultTest : public WireTest {
protected:
    Response Ecs(const std::string& action = "DescribeRegions",
                 std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        return Call(AcwEmulator::Product::Ecs, action, {}, timeout);
    }
    Response Rds() { return Call(AcwEmulator::Product::Rds, "DescribeRegions"); }
};

TEST_F(EmulatorFaultTest, ErrorResponseHitsTheNextNMatchingRequestsOnly) {
    Fault fault{FaultKind::ErrorResponse, "DescribeRegions", 2};
    fault.product = "ecs";
    fault.status = 503;
    fault.code = "ServiceUnavailable";
    emu.InjectFault(fault);
    EXPECT_EQ(Rds().status, 200);  // other product: untouched
    const Response first = Ecs();
    EXPECT_EQ(first.status, 503);
    EXPECT_EQ(first.Code(), "ServiceUnavailable");
    EXPECT_EQ(first.Json().at("Message").as_string(), "The request has failed due to a temporary failure of the server.");
    EXPECT_EQ(Ecs().status, 503);
    EXPECT_EQ(Ecs().status, 200);
    const auto journal = emu.Journal();
    EXPECT_EQ(journal[1].fault + " " + journal[1].code, "ErrorResponse ServiceUnavailable");
    EXPECT_EQ(journal[3].fault, "");
}

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
        Fault fault{FaultKind::ErrorResponse, "DescribeRegions", 1};
        fault.code = code;
        emu.InjectFault(fault);
        const Response r = Ecs();
        EXPECT_EQ(r.status, status) << code;
        EXPECT_EQ(r.Code(), *code ? code : "InternalError");
    }
    Fault explicitStatus{FaultKind::ErrorResponse, "DescribeRegions", 1};
    explicitStatus.code = "Throttling";
    explicitStatus.status = 403;  // some compute pages list 403: an explicit status wins
    emu.InjectFault(explicitStatus);
    EXPECT_EQ(Ecs().status, 403);
}

TEST_F(EmulatorFaultTest, BodiesThatAreEmptyOrNotJson) {
    emu.InjectFault({FaultKind::EmptyErrorBody, "", 1});
    Fault notJson{FaultKind::NotJson, "", 1};
    notJson.status = 200;
    emu.InjectFault(notJson);
    const Response empty = Ecs();
    EXPECT_TRUE(empty.ok && empty.status == 500 && empty.body.empty()) << empty.status << empty.error << empty.body;
    const Response html = Rds();
    EXPECT_EQ(html.status, 200);
    boost::system::error_code ec;
    (void)boost::json::parse(html.body, ec);
    EXPECT_TRUE(ec) << html.body;
}

// Connections closed before or during the answer, a late answer and none at all;
// each time the next request, on a new connection, works.
TEST_F(EmulatorFaultTest, LostAndLateAnswersAndTheirRecovery) {
    emu.InjectFault({FaultKind::CloseBeforeAnswer, "DescribeRegions", 1});
    EXPECT_FALSE(Ecs().ok);
    EXPECT_EQ(Ecs().status, 200);
    emu.InjectFault({FaultKind::CloseMidBody, "", 1});
    EXPECT_FALSE(Ecs().ok);  // fewer bytes than Content-Length promised: "partial message"
    EXPECT_EQ(Ecs().status, 200);
    const auto journal = emu.Journal();
    ASSERT_EQ(journal.size(), 4u);
    EXPECT_EQ(journal[0].status, 0);
    EXPECT_EQ(journal[0].fault, "CloseBeforeAnswer");
    EXPECT_EQ(journal[2].fault, "CloseMidBody");
    EXPECT_EQ(emu.GetCounters().tcpConnections, 3u);

    Fault delay{FaultKind::Delay, "", 1};
    delay.delayMs = 300;
    emu.InjectFault(delay);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Ecs().status, 200);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    emu.InjectFault({FaultKind::Stall, "", 1});
    EXPECT_FALSE(Ecs("DescribeRegions", std::chrono::milliseconds(300)).ok);
    EXPECT_EQ(Ecs().status, 200);
}

TEST_F(EmulatorFaultTest, StopDoesNotWaitForAStalledConnection) {
    emu.InjectFault({FaultKind::Stall, "", 1});
    std::thread stalledClient([port = emu.HttpsPort(), ca = emu.CaPem()] {
        Client other(port, ca);
        Signer s;
        (void)other.Api(s, "ecs.aliyuncs.com", kEcs, {{"Action", "DescribeRegions"}}, "GET", std::chrono::seconds(10));
    });
    while (emu.Journal().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
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

    Fault lost{FaultKind::CloseMidBody, "CreateTestDisk", 1};
    lost.executeAction = true;
    emu.InjectFault(lost);
    EXPECT_FALSE(Ecs("CreateTestDisk").ok);
    EXPECT_EQ(diskCount(), before + 1);  // acted, answer lost
    EXPECT_EQ(Ecs("CreateTestDisk").status, 200);
}

}  // namespace
