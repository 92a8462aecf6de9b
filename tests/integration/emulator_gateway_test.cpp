// The emulator's gateway checks and routing, through real HTTPS.
#include "emulator_test_client.h"

#include <algorithm>

namespace {

using namespace EmulatorTest;

class EmulatorGatewayTest : public WireTest {
protected:
    void SetUp() override {
        WireTest::SetUp();
        emu.SetClock(signer.now);
    }

    Response Regions(Params extra = {}, const std::string& host = "ecs.aliyuncs.com") {
        extra.emplace_back("Action", "DescribeRegions");
        return client->Api(signer, host, kEcs, extra);
    }
};

// Every service host, with and without a port, and a long query. (Form posts,
// encoded values and the refused signature's string to sign are checked against
// the official SDK by the conformance test.)
TEST_F(EmulatorGatewayTest, AcceptsSignedRequestsOnEveryServiceHost) {
    for (const char* host : {"ecs.aliyuncs.com", "ecs.cn-hangzhou.aliyuncs.com", "ecs-cn-hangzhou.aliyuncs.com",
                             "ecs.ap-southeast-1.aliyuncs.com:443"}) {
        const Response r = Regions({}, host);
        EXPECT_EQ(r.status, 200) << host << ": " << r.error << r.body;
    }
    // A long query (a UserData-sized value, over 40 KB once encoded) fits in one GET.
    const Response longQuery = Regions({{"OwnerAccount", std::string(20000, '+') + std::string(20000, 'A')}});
    EXPECT_EQ(longQuery.status, 200) << longQuery.error;
}

TEST_F(EmulatorGatewayTest, RequestErrorsCarryTheServiceCodesAndStatuses) {
    struct Case {
        Params params;
        const char* code;
        int status;
        const char* host = "ecs.aliyuncs.com";
        const char* version = kEcs;
        const char* action = "DescribeRegions";
    };
    const Case cases[] = {
        // An empty Timestamp or SignatureNonce stands for "left out": it is removed from
        // what is sent (the gateway's presence checks come before the signature check).
        {{{"TimeStamp", UtcText(signer.now)}, {"Timestamp", ""}}, "MissingTimestamp", 400},
        {{{"SignatureNonce", ""}}, "MissingSignatureNonce", 400},
        {{{"Version", kVpc}}, "InvalidVersion", 400},
        {{{"AccessKeyId", "nobody"}}, "InvalidAccessKeyId.NotFound", 404},
        {{{"Timestamp", "2024-01-01T00:00:00.5Z"}}, "InvalidTimeStamp.Format", 400},
        {{}, "InvalidAction.NotFound", 404, "ecs.aliyuncs.com", kEcs, "DescribeNothing"},
        {{}, "InvalidAction.NotFound", 404, "vpc.aliyuncs.com", kVpc},  // a known product without the action
        {{}, "InvalidProduct.NotFound", 404, "oss.aliyuncs.com"},
    };
    for (const auto& c : cases) {
        Params params = c.params;
        params.emplace_back("Action", c.action);
        Params sent = signer.Sign("GET", c.version, params);
        sent.erase(std::remove_if(sent.begin(), sent.end(),
                                  [](const auto& p) {
                                      return (p.first == "Timestamp" || p.first == "SignatureNonce") && p.second.empty();
                                  }),
                   sent.end());
        const Response r = client->Send("GET", c.host, "/?" + Query(sent));
        EXPECT_EQ(r.Code(), c.code) << r.body;
        EXPECT_EQ(r.status, c.status) << c.code;
    }
}

// Time stamps are judged against the emulator clock (15 minutes either way); a nonce
// is remembered for 31 minutes, and only once a request carrying it was genuine.
TEST_F(EmulatorGatewayTest, TimeStampWindowAndNonceMemoryFollowTheEmulatorClock) {
    emu.SetClock(signer.now + 15 * 60);
    EXPECT_EQ(Regions().status, 200);
    emu.SetClock(signer.now + 15 * 60 + 1);
    EXPECT_EQ(Regions().Code(), "InvalidTimeStamp.Expired");
    emu.SetClock(signer.now - 16 * 60);
    EXPECT_EQ(Regions().Code(), "InvalidTimeStamp.Expired");

    emu.SetClock(signer.now);
    Params forged = signer.Sign("GET", kEcs, {{"Action", "DescribeRegions"}, {"SignatureNonce", "n-1"}});
    forged.back().second = "AAAAAAAAAAAAAAAAAAAAAAAAAAA=";
    EXPECT_EQ(client->Send("GET", "ecs.aliyuncs.com", "/?" + Query(forged)).Code(), "SignatureDoesNotMatch");
    EXPECT_EQ(Regions({{"SignatureNonce", "n-1"}}).status, 200);  // the forged request used up nothing
    const Response replay = Regions({{"SignatureNonce", "n-1"}});
    EXPECT_EQ(replay.Code(), "SignatureNonceUsed");
    EXPECT_EQ(replay.status, 400);
    // Still refused 30 minutes later (time stamps re-made inside the window), free after 31.
    for (const auto& [step, code] : {std::pair<int, const char*>{30 * 60, "SignatureNonceUsed"}, {61, ""}}) {
        signer.now += step;
        emu.SetClock(signer.now);
        EXPECT_EQ(Regions({{"SignatureNonce", "n-1"}}).Code(), code) << step;
    }
}

}  // namespace
