// The parser's generic operations, driven with the error response and small
// record types of the test's own, asserting on results and on the exact log
// lines; and the VM configuration document: adding "AdditionalInfo" keeps
// everything else of a real-shaped description exactly, replaces an older
// member and leaves a text that is not JSON untouched.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AliCloudWrapper/CAliCloudParser.h"
#include "TestSupport.h"
#include "host/TkJson.h"
#include "parser/CAliCloudParserImpl.h"

namespace AliCloudWrapper {
namespace {

struct STestRegion {
  std::string strRegionId;
  std::string strLocalName;
};

// Reads a text member, then an integer member: a wrongly typed "Count" raises after
// strName is already set.
struct STestCounted {
  std::string strName;
  int nCount = -1;
};

// A converter that reports failure after filling its record.
struct STestRefused {
  std::string strName;
};

}  // namespace

template <>
bool CAliCloudParser::Convert<STestRegion>(const mObject& obj, STestRegion& out) const {
  out.strRegionId = TkJson::GetStringValue(obj, "RegionId");
  out.strLocalName = TkJson::GetStringValue(obj, "LocalName");
  return true;
}

template <>
bool CAliCloudParser::Convert<STestCounted>(const mObject& obj, STestCounted& out) const {
  out.strName = TkJson::GetStringValue(obj, "Name");
  out.nCount = TkJson::GetIntValue(obj, "Count");
  return true;
}

template <>
bool CAliCloudParser::Convert<STestRefused>(const mObject& obj, STestRefused& out) const {
  out.strName = TkJson::GetStringValue(obj, "Name");
  return false;
}

namespace {

mObject Parsed(const std::string& text) {
  mObject obj;
  EXPECT_TRUE(TkJson::Unserialize(text, obj)) << text;
  return obj;
}

class ParserCore : public ::testing::Test {
 protected:
  // Exactly one captured line (or none when strMessage is empty), with its level and
  // whether it was an Error line; the capture is cleared for the next step.
  void ExpectOnlyLine(bool bError, int nLevel, const std::string& strMessage,
                      const std::string& strFunction) {
    const std::vector<SLogRecord> records = m_log.Records();
    const std::string strDump = m_log.Dump();
    m_log.Clear();
    ASSERT_EQ(records.size(), strMessage.empty() ? 0u : 1u) << strDump;
    if (strMessage.empty()) return;
    EXPECT_EQ(records[0].bError, bError);
    EXPECT_EQ(records[0].nLevel, nLevel);
    EXPECT_EQ(records[0].strMessage, strMessage);
    EXPECT_NE(records[0].strContext.find("CAliCloudParser::" + strFunction), std::string::npos)
        << records[0].strContext;
  }
  void ExpectNoLines() { ExpectOnlyLine(false, 0, "", ""); }

  ScopedLogCapture m_log{5};
  CAliCloudParser m_parser;
};

// ------------------------------------------------------------------ nested lists

TEST_F(ParserCore, NestedListFindsBothLevelsAndAppends) {
  std::vector<STestRegion> regions(2);
  const std::string json =
      R"({"RequestId":"R","Regions":{"Region":[1,"x",{"RegionId":"cn-a","LocalName":"A"},)"
      R"(null,{"RegionId":"cn-b"},[],{"RegionId":"cn-c","Extra":{"k":1}}]}})";
  ASSERT_TRUE(m_parser.ParseNestedList(json, "Regions", "Region", regions));
  ASSERT_EQ(regions.size(), 5u) << "two passed in, three objects in the answer";
  EXPECT_EQ(regions[2].strRegionId + regions[2].strLocalName + regions[3].strRegionId +
                regions[3].strLocalName + regions[4].strRegionId, "cn-aAcn-bcn-c");
  std::vector<STestRegion> fromObject;
  ASSERT_TRUE(m_parser.ParseNestedList(Parsed(json), "Regions", "Region", fromObject));
  EXPECT_EQ(fromObject.size(), 3u);
  std::vector<STestRegion> none;
  EXPECT_TRUE(m_parser.ParseNestedList(R"({"Regions":{"Region":[]}})", "Regions", "Region", none));
  EXPECT_TRUE(none.empty());
  ExpectNoLines();
}

TEST_F(ParserCore, NestedListMissingLevelsAndWrongShapes) {
  std::vector<STestRegion> regions;
  // Inner key absent, or not a JSON object at all: false, nothing logged.
  for (const char* body : {R"({"Regions":{}})", "", "<html>Bad Gateway</html>", "[1]", R"({"Regions":)"}) {
    EXPECT_FALSE(m_parser.ParseNestedList(body, "Regions", "Region", regions)) << body;
  }
  ExpectNoLines();
  // Outer key absent: a level-2 line naming it, from either form.
  EXPECT_FALSE(m_parser.ParseNestedList("{}", "Regions", "Region", regions));
  ExpectOnlyLine(false, 2, "[Regions] not found in response.", "ParseNestedList");
  EXPECT_FALSE(m_parser.ParseNestedList(mObject{}, "Zones", "Zone", regions));
  ExpectOnlyLine(false, 2, "[Zones] not found in response.", "ParseNestedList");

  const std::string json = R"({"Regions":[{"RegionId":"cn-a"}]})";
  EXPECT_FALSE(m_parser.ParseNestedList(json, "Regions", "Region", regions));
  ExpectOnlyLine(true, 0, "Exception parsing json list [Region] from json [" + json +
                              "] : [value type is 1 not 0]", "ParseNestedList");
  EXPECT_FALSE(m_parser.ParseNestedList(Parsed(R"({"Regions":{"Region":"x"}})"), "Regions",
                                        "Region", regions));
  ExpectOnlyLine(true, 0, "Exception parsing json list [Region] : [value type is 2 not 1]",
                 "ParseNestedList");
  EXPECT_TRUE(regions.empty());

  // Records converted before the failing element stay in the list.
  std::vector<STestCounted> counted;
  EXPECT_FALSE(m_parser.ParseNestedList(
      R"({"Items":{"Item":[{"Name":"a","Count":1},{"Name":"b","Count":{}}]}})", "Items", "Item",
      counted));
  ASSERT_EQ(counted.size(), 1u);
  EXPECT_EQ(counted[0].nCount, 1);
  EXPECT_TRUE(m_log.Contains("[value type is 0 not 4]")) << m_log.Dump();
}

TEST_F(ParserCore, ArrayAndStringListConversions) {
  // A record whose converter refused is still kept; non-objects are skipped.
  std::vector<STestRefused> refused;
  EXPECT_TRUE(m_parser.ConvertJSONArray(mArray{mObject{{"Name", "kept"}}, "skipped"}, refused));
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0].strName, "kept");
  std::vector<STestRegion> regions;
  EXPECT_FALSE(m_parser.ConvertListInJSON(mObject{{"Other", mArray{}}}, "Region", regions));
  ExpectNoLines();

  // Wrongly typed input never throws out of the public helpers: false, logged,
  // the records before the bad element kept.
  std::vector<STestCounted> counted;
  const mArray arrCounted{mObject{{"Name", "a"}, {"Count", 1}}, mObject{{"Count", mObject{}}}};
  EXPECT_FALSE(m_parser.ConvertJSONArray(arrCounted, counted));
  EXPECT_EQ(counted.size(), 1u);
  EXPECT_FALSE(m_parser.ConvertListInJSON(mObject{{"Item", arrCounted}}, "Item", counted));
  EXPECT_EQ(counted.size(), 2u);
  EXPECT_FALSE(m_parser.ConvertListInJSON(mObject{{"Region", "text"}}, "Region", regions));
  std::vector<std::string> notStrings;
  EXPECT_FALSE(m_parser.ConvertStringListInJSON(mObject{{"IpAddress", mObject{}}}, "IpAddress", notStrings));
  EXPECT_EQ(m_log.Count("Exception reading json"), 4u) << m_log.Dump();
  m_log.Clear();

  // String lists keep only strings, in order, after what the caller had.
  std::vector<std::string> texts{"already"};
  EXPECT_TRUE(m_parser.ConvertJSONStringArray(mArray{"a", 1, mValue(), "b", mObject{}}, texts));
  EXPECT_EQ(texts, (std::vector<std::string>{"already", "a", "b"}));
  const mObject obj = Parsed(R"({"IpAddress":["10.0.0.1","10.0.0.2"]})");
  std::vector<std::string> ips;
  EXPECT_TRUE(m_parser.ConvertStringListInJSON(obj, "IpAddress", ips));
  EXPECT_FALSE(m_parser.ConvertStringListInJSON(obj, "Missing", ips));
  EXPECT_EQ(ips.size(), 2u);
  ExpectNoLines();
}

TEST_F(ParserCore, GetNestedListReturnsTheRawArrayOrNamesTheMissingLevel) {
  mArray zones;
  ASSERT_TRUE(m_parser.GetNestedList(R"({"AvailableZones":{"AvailableZone":[{"ZoneId":"a"},{"ZoneId":"b"}]}})",
                                     "AvailableZones", "AvailableZone", zones));
  ASSERT_EQ(zones.size(), 2u);
  EXPECT_EQ(zones[1].get_obj().at("ZoneId").get_str(), "b");
  ExpectNoLines();
  EXPECT_FALSE(m_parser.GetNestedList(Parsed("{}"), "AvailableZones", "AvailableZone", zones));
  ExpectOnlyLine(false, 2, "[AvailableZones] not found in response.", "GetNestedList");
  EXPECT_FALSE(m_parser.GetNestedList(R"({"AvailableZones":{}})", "AvailableZones",
                                      "AvailableZone", zones));
  ExpectOnlyLine(false, 2, "[AvailableZone] not found in response.", "GetNestedList");
  EXPECT_FALSE(m_parser.GetNestedList("not json", "AvailableZones", "AvailableZone", zones));
  ExpectNoLines();
  EXPECT_FALSE(m_parser.GetNestedList(Parsed(R"({"AvailableZones":{"AvailableZone":{}}})"),
                                      "AvailableZones", "AvailableZone", zones));
  ExpectOnlyLine(true, 0, "Exception parsing json list [AvailableZone] : [value type is 0 not 1]",
                 "GetNestedList");
  // The text form reports the same failure with the document in its message.
  const std::string strWrong = R"({"AvailableZones":{"AvailableZone":{}}})";
  EXPECT_FALSE(m_parser.GetNestedList(strWrong, "AvailableZones", "AvailableZone", zones));
  ExpectOnlyLine(true, 0,
                 "Exception parsing json list [AvailableZone] from json [" + strWrong +
                     "] : [value type is 0 not 1]",
                 "GetNestedList");
}

// ------------------------------------------------------------------ whole documents

TEST_F(ParserCore, ParseObjectReadsErrorResponsesAndKeepsFieldsReadBeforeAFailure) {
  SAliCloudErrorResponse response;
  ASSERT_TRUE(m_parser.ParseObject(
      R"({"RequestId":"7445DF4F","HostId":"ecs.aliyuncs.com","Code":"InvalidSnapshot.NotReady",)"
      R"("Message":"The specified snapshot is not ready."})", response));
  EXPECT_EQ(response.GetErrorCode(), "InvalidSnapshot.NotReady");
  EXPECT_EQ(response.strErrorMessage, "The specified snapshot is not ready.");
  SAliCloudErrorResponse noCode;
  EXPECT_TRUE(m_parser.ParseObject(R"({"Message":"m"})", noCode));
  EXPECT_EQ(noCode.GetErrorCode(), "");
  // An empty or non-JSON body (a proxy's HTML page) is not an error response.
  for (const char* body : {"", "  ", "<html></html>", "[]", "\"Code\""}) {
    SAliCloudErrorResponse unreadable;
    EXPECT_FALSE(m_parser.ParseObject(body, unreadable)) << body;
  }
  STestRefused refused;
  EXPECT_FALSE(m_parser.ParseObject(R"({"Name":"n"})", refused)) << "the converter's own result";
  ExpectNoLines();

  STestCounted counted;
  const std::string json = R"({"Name":"disk-1","Count":{"n":1}})";
  EXPECT_FALSE(m_parser.ParseObject(json, counted));
  EXPECT_EQ(counted.strName, "disk-1");
  EXPECT_EQ(counted.nCount, -1);
  ExpectOnlyLine(true, 0, "Exception parsing json [" + json + "] : [value type is 0 not 4]",
                 "ParseObject");
}

TEST_F(ParserCore, IdAndIntResponses) {
  std::string id = "old";
  EXPECT_TRUE(m_parser.ParseIdResponse(R"({"InstanceId":"i-123","RequestId":"R"})", "InstanceId", id));
  EXPECT_EQ(id, "i-123");
  EXPECT_TRUE(m_parser.ParseIdResponse(R"({"RequestId":"R"})", "ImageId", id));
  EXPECT_EQ(id, "") << "an absent id is returned as read; the caller decides";
  EXPECT_TRUE(m_parser.ParseIdResponse(R"({"AllocationId":12345})", "AllocationId", id));
  EXPECT_EQ(id, "12345");
  EXPECT_FALSE(m_parser.ParseIdResponse("garbage", "InstanceId", id));
  ExpectNoLines();
  const std::string json = R"({"Code":{"x":1}})";
  EXPECT_FALSE(m_parser.ParseIdResponse(json, "Code", id));
  ExpectOnlyLine(true, 0, "Exception parsing json [" + json + "] : [value type is 0 not 2]",
                 "ParseIdResponse");

  // Every failure to read an integer is logged and leaves the output alone.
  int nTotal = -5;
  EXPECT_TRUE(m_parser.ParseIntFromResponse(R"({"TotalCount":"17"})", "TotalCount", nTotal));
  EXPECT_EQ(nTotal, 17);
  EXPECT_TRUE(m_parser.ParseIntFromResponse(R"({"TotalCount":3})", "TotalCount", nTotal));
  EXPECT_EQ(nTotal, 3);
  ExpectNoLines();
  EXPECT_FALSE(m_parser.ParseIntFromResponse("not json", "TotalCount", nTotal));
  ExpectOnlyLine(true, 0, "Failed to unserialize JSON [not json].", "ParseIntFromResponse");
  EXPECT_FALSE(m_parser.ParseIntFromResponse(R"({"TotalCount":3000000000})", "TotalCount", nTotal));
  ExpectOnlyLine(true, 0,
                 "Exception serializing json object - [value [3000000000] out of range for int].",
                 "ParseIntFromResponse");
  EXPECT_EQ(nTotal, 3);
}

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
