// The VM configuration document: adding "AdditionalInfo" keeps everything else
// of a real-shaped description exactly, replaces an older member and leaves a
// text that is not JSON untouched. (Reading a document back into the record is
// the records' and the inventory's tests.)
#include <gtest/gtest.h>

#include <string>

#include "AliCloudWrapper/CAliCloudParser.h"
#include "host/TkJson.h"

namespace AliCloudWrapper {
namespace {

// A DescribeInstanceAttribute answer with what a writer could lose: 64-bit and
// negative integers, reals written with zeros, escapes, control characters,
// non-ASCII text, and members no converter reads.
constexpr const char* DESCRIPTION = R"({
  "RequestId": "6EF60BEC-0242-43AF-8DA6-AC7E0E6F1B8B", "InstanceId": "i-bp1a", "RegionId": "cn-hangzhou",
  "ZoneId": "cn-hangzhou-h", "InstanceName": "数据库 \"primary\" \\ tab\there \u0001", "ImageId": "m-1",
  "Description": "line1\nline2 \ud83d\ude00", "OwnerId": 1234567890123456789, "BigCounter": 18446744073709551615,
  "InternetMaxBandwidthIn": -1, "InternetMaxBandwidthOut": 5, "SpotPriceLimit": 0.000000, "Ratio": 0.1,
  "Memory": 8192, "IoOptimized": "optimized", "EnableJumboFrame": false, "ClusterId": null,
  "VpcAttributes": {"VpcId": "vpc-1", "VSwitchId": "vsw-1", "NatIpAddress": "",
                    "PrivateIpAddress": {"IpAddress": ["172.16.0.1"]}},
  "SecurityGroupIds": {"SecurityGroupId": ["sg-1", "sg-2"]},
  "EipAddress": {"AllocationId": "eip-1", "IpAddress": "47.1.1.1", "Bandwidth": 5, "InternetChargeType": ""},
  "PublicIpAddress": {"IpAddress": []}, "OperationLocks": {"LockReason": [{"LockReason": "financial"}]},
  "AdditionalInfo": {"Platform": "old", "Architecture": "old", "Extra": 1}
})";

SVMInfoLib ArmRecord() {
  SVMInfoLib sRecord;
  sRecord.strOSName = "Ubuntu";
  sRecord.strArchitecture = "arm64";
  return sRecord;
}

TEST(ConfigDocument, AddingAdditionalInfoKeepsEveryOtherValueExactly) {
  CAliCloudParser sParser;
  std::string strDocument = DESCRIPTION;
  ASSERT_TRUE(sParser.AddAdditionalInfoToConfigFile(strDocument, ArmRecord()));

  mObject expected, written;
  ASSERT_TRUE(TkJson::Unserialize(DESCRIPTION, expected));
  ASSERT_TRUE(TkJson::Unserialize(strDocument, written));
  expected["AdditionalInfo"] = mValue(mObject{{"Platform", mValue("Ubuntu")}, {"Architecture", mValue("arm64")}});
  EXPECT_TRUE(written == expected) << strDocument;
  EXPECT_EQ(written.at("OwnerId").get_int64(), 1234567890123456789);
  EXPECT_EQ(written.at("BigCounter").get_uint64(), 18446744073709551615ULL);
  EXPECT_EQ(written.at("SpotPriceLimit").type(), json_spirit::real_type);

  // Written twice, the text is stable: nothing drifts from one backup to the next.
  std::string strAgain = strDocument;
  ASSERT_TRUE(sParser.AddAdditionalInfoToConfigFile(strAgain, ArmRecord()));
  EXPECT_EQ(strAgain, strDocument);
}

TEST(ConfigDocument, EmptyValuesAndTextThatIsNotJson) {
  CAliCloudParser sParser;
  std::string strDocument = R"({"InstanceId":"i-1"})";
  ASSERT_TRUE(sParser.AddAdditionalInfoToConfigFile(strDocument, SVMInfoLib()));
  EXPECT_EQ(strDocument, R"({"AdditionalInfo":{"Architecture":"","Platform":""},"InstanceId":"i-1"})");

  for (const std::string strBad : {"not json", "[1,2]", R"({"a":1)", ""}) {
    std::string strText = strBad;
    EXPECT_FALSE(sParser.AddAdditionalInfoToConfigFile(strText, ArmRecord())) << strBad;
    EXPECT_EQ(strText, strBad);
  }
}

}  // namespace
}  // namespace AliCloudWrapper
