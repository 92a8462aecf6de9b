// Injected faults, as a client sees them on the wire: the statuses injected
// errors carry, a stalled connection at shutdown, and an action carried out
// behind a lost answer. (How each kind of fault looks to the library, and how
// many requests it hits, is read from the journal by the library's own tests.)
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

    Fault lost{FaultKind::CloseMidBody, "CreateTestDisk", 1};
    lost.executeAction = true;
    emu.InjectFault(lost);
    EXPECT_FALSE(Ecs("CreateTestDisk").ok);
    EXPECT_EQ(diskCount(), before + 1);  // acted, answer lost
    EXPECT_EQ(Ecs("CreateTestDisk").status, 200);
}

}  // namespace
