// The emulator's gateway checks, routing and DescribeRegions answers, through real HTTPS.
#include "emulator_test_client.h"

#include <acw_emulator/Emulator.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace EmulatorTest;

class EmulatorGatewayTest : public ::testing::Test {
protected:
    void SetUp() override {
        emu.Start();
        emu.SetClock(signer.now);
        client = std::make_unique<Client>(emu.HttpsPort(), emu.CaPem());
    }

    Response Regions(Params extra = {}, const std::string& host = "ecs.aliyuncs.com") {
        extra.emplace_back("Action", "DescribeRegions");
        return client->Api(signer, host, kEcs, extra);
    }

    AcwEmulator::Emulator emu;
    Signer signer;
    std::unique_ptr<Client> client;
};

TEST_F(EmulatorGatewayTest, AcceptsSignedGetAndFormPostOnEveryServiceHost) {
    for (const char* host : {"ecs.aliyuncs.com", "ecs.cn-hangzhou.aliyuncs.com", "ecs-cn-hangzhou.aliyuncs.com",
                             "ecs.ap-southeast-1.aliyuncs.com:443"}) {
        const Response r = Regions({}, host);
        ASSERT_TRUE(r.ok) << host << ": " << r.error;
        EXPECT_EQ(r.status, 200) << host << ": " << r.body;
    }
    // A form body is part of what is signed; values with spaces, '*' and '~' survive encoding.
    const Response post = client->Api(signer, "rds.cn-zhangjiakou.aliyuncs.com", kRds,
                                      {{"Action", "DescribeRegions"}, {"OwnerAccount", "a b*c~d/é"}}, "POST");
    EXPECT_EQ(post.status, 200) << post.body;
    // A long query (a UserData-sized value, over 40 KB once encoded) fits in one GET.
    const Response longQuery = Regions({{"OwnerAccount", std::string(20000, '+') + std::string(20000, 'A')}});
    EXPECT_EQ(longQuery.status, 200) << longQuery.error;
    const Response vpc = client->Api(signer, "vpc.aliyuncs.com", kVpc, {{"Action", "DescribeRegions"}});
    EXPECT_EQ(vpc.Code(), "InvalidAction.NotFound");  // a known product, an action it does not have
}

TEST_F(EmulatorGatewayTest, RefusesWrongSignatureWithItsOwnStringToSign) {
    signer.secret = "not-the-secret";
    const Response r = Regions({{"AcceptLanguage", "en-US"}});
    ASSERT_EQ(r.status, 400);
    const auto doc = r.Json();
    EXPECT_EQ(doc.at("Code").as_string(), "SignatureDoesNotMatch");
    const std::string message(doc.at("Message").as_string());
    const std::string marker = "server string to sign is:";
    ASSERT_NE(message.find(marker), std::string::npos);
    const std::string serverStringToSign = message.substr(message.find(marker) + marker.size());
    EXPECT_EQ(serverStringToSign.rfind("GET&%2F&AcceptLanguage%3Den-US%26AccessKeyId%3Dacw-demo-key%26", 0), 0u)
        << serverStringToSign;
    EXPECT_NE(serverStringToSign.find("Timestamp%3D" + Encode(Encode(UtcText(signer.now)))), std::string::npos);
    for (const char* member : {"RequestId", "HostId", "Recommend"}) EXPECT_TRUE(doc.contains(member)) << member;
    EXPECT_EQ(doc.at("HostId").as_string(), "ecs.aliyuncs.com");
}

TEST_F(EmulatorGatewayTest, CommonParameterErrorsCarryTheServiceCodesAndStatuses) {
    struct Case {
        const char* what;
        Params params;
        const char* code;
        int status;
    };
    const Case cases[] = {
        {"old spelling", {{"Action", "DescribeRegions"}, {"TimeStamp", UtcText(signer.now)}, {"Timestamp", ""}},
         "MissingTimestamp", 400},
        {"no nonce", {{"Action", "DescribeRegions"}, {"SignatureNonce", ""}}, "MissingSignatureNonce", 400},
        {"wrong version", {{"Action", "DescribeRegions"}, {"Version", "2016-04-28"}}, "InvalidVersion", 400},
        {"unknown key", {{"Action", "DescribeRegions"}, {"AccessKeyId", "nobody"}}, "InvalidAccessKeyId.NotFound", 404},
        {"fraction", {{"Action", "DescribeRegions"}, {"Timestamp", "2024-01-01T00:00:00.5Z"}}, "InvalidTimeStamp.Format",
         400},
        {"unknown action", {{"Action", "DescribeNothing"}}, "InvalidAction.NotFound", 404},
    };
    for (const auto& c : cases) {
        Params params = c.params;
        // An empty Timestamp or SignatureNonce given here stands for "left out": it is removed
        // from what is sent (the gateway's presence checks come before the signature check).
        Params sent = signer.Sign("GET", kEcs, params);
        sent.erase(std::remove_if(sent.begin(), sent.end(), [](const auto& p) {
                       return (p.first == "Timestamp" || p.first == "SignatureNonce") && p.second.empty();
                   }),
                   sent.end());
        const Response r = client->Send("GET", "ecs.aliyuncs.com", "/?" + Query(sent));
        EXPECT_EQ(r.Code(), c.code) << c.what << ": " << r.body;
        EXPECT_EQ(r.status, c.status) << c.what;
    }
    const Response host = Regions({}, "oss.aliyuncs.com");
    EXPECT_EQ(host.Code(), "InvalidProduct.NotFound");
    EXPECT_EQ(host.status, 404);
}

TEST_F(EmulatorGatewayTest, TimeStampWindowFollowsTheEmulatorClock) {
    emu.SetClock(signer.now + 15 * 60);
    EXPECT_EQ(Regions().status, 200);
    emu.SetClock(signer.now + 15 * 60 + 1);
    EXPECT_EQ(Regions().Code(), "InvalidTimeStamp.Expired");
    emu.SetClock(signer.now - 16 * 60);
    EXPECT_EQ(Regions().Code(), "InvalidTimeStamp.Expired");
}

TEST_F(EmulatorGatewayTest, NonceIsRememberedForThirtyOneMinutesAndOnlyWhenGenuine) {
    Params forged = signer.Sign("GET", kEcs, {{"Action", "DescribeRegions"}, {"SignatureNonce", "n-1"}});
    forged.back().second = "AAAAAAAAAAAAAAAAAAAAAAAAAAA=";
    EXPECT_EQ(client->Send("GET", "ecs.aliyuncs.com", "/?" + Query(forged)).Code(), "SignatureDoesNotMatch");
    EXPECT_EQ(Regions({{"SignatureNonce", "n-1"}}).status, 200);  // the forged request used up nothing
    const Response replay = Regions({{"SignatureNonce", "n-1"}});
    EXPECT_EQ(replay.Code(), "SignatureNonceUsed");
    EXPECT_EQ(replay.status, 400);
    // Still refused 30 minutes later (time stamps re-made inside the window), free after 31.
    signer.now += 30 * 60;
    emu.SetClock(signer.now);
    EXPECT_EQ(Regions({{"SignatureNonce", "n-1"}}).Code(), "SignatureNonceUsed");
    signer.now += 61;
    emu.SetClock(signer.now);
    EXPECT_EQ(Regions({{"SignatureNonce", "n-1"}}).status, 200);
}

TEST_F(EmulatorGatewayTest, DescribeRegionsHasTheServiceShapesAndLanguages) {
    const auto zh = Regions().Json();
    EXPECT_EQ(zh.at("RequestId").as_string().size(), 36u);
    const auto& regions = zh.at("Regions").at("Region").as_array();
    ASSERT_EQ(regions.size(), 3u);
    EXPECT_EQ(regions[0].at("RegionId").as_string(), "cn-hangzhou");
    EXPECT_EQ(regions[0].at("LocalName").as_string(), "华东1（杭州）");
    EXPECT_EQ(regions[0].at("RegionEndpoint").as_string(), "ecs.cn-hangzhou.aliyuncs.com");
    EXPECT_EQ(Regions({{"AcceptLanguage", "en-US"}}).Json().at("Regions").at("Region").at(0).at("LocalName").as_string(),
              "China (Hangzhou)");

    const auto rds = client->Api(signer, "rds.aliyuncs.com", kRds, {{"Action", "DescribeRegions"}}).Json();
    const auto& entries = rds.at("Regions").at("RDSRegion").as_array();
    ASSERT_EQ(entries.size(), 8u);  // one per zone: 3 + 2 + 3
    EXPECT_EQ(entries[0].at("RegionId"), entries[1].at("RegionId"));
    EXPECT_NE(entries[0].at("ZoneId"), entries[1].at("ZoneId"));
    EXPECT_EQ(entries[0].at("LocalName").as_string(), "China (Hangzhou)");
    EXPECT_EQ(entries[0].at("RegionEndpoint").as_string(), "rds.aliyuncs.com");
}

TEST_F(EmulatorGatewayTest, JournalAndCountersRecordEveryRequestOnOneKeptAliveConnection) {
    for (int i = 0; i < 5; ++i) ASSERT_EQ(Regions({{"Note", "a b&c=d"}}).status, 200);
    signer.secret = "wrong";
    ASSERT_EQ(Regions().status, 400);
    const auto counters = emu.GetCounters();
    EXPECT_EQ(counters.tcpConnections, 1u);
    EXPECT_EQ(counters.tlsHandshakes, 1u);
    EXPECT_EQ(counters.apiRequests, 6u);
    const auto journal = emu.Journal();
    ASSERT_EQ(journal.size(), 6u);
    EXPECT_EQ(journal[0].host, "ecs.aliyuncs.com");
    EXPECT_EQ(journal[0].method, "GET");
    EXPECT_EQ(journal[0].action, "DescribeRegions");
    ASSERT_GE(journal[0].params.size(), 2u);
    EXPECT_EQ(journal[0].params[0], (std::pair<std::string, std::string>{"Note", "a b&c=d"}));  // order, decoded
    EXPECT_EQ(journal[0].params[1].first, "Action");
    EXPECT_EQ(journal[0].status, 200);
    EXPECT_EQ(journal[5].status, 400);
    EXPECT_EQ(journal[5].code, "SignatureDoesNotMatch");
}

}  // namespace
