// The flat answer document must read every text exactly as the mObject reader does:
// the same documents accepted, the same values, the same lenient getters and the
// same type errors. One document is reused across each table, as a listing reuses it.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/JsonDocument.h"
#include "host/TkJson.h"

namespace AliCloudWrapper {
namespace {

std::string Nested(int nLevels) {
  std::string text;
  for (int i = 1; i < nLevels; ++i) text += "{\"a\":";
  text += "{}";
  for (int i = 1; i < nLevels; ++i) text += "}";
  return text;
}

TEST(JsonDocument, AcceptsAndReadsWhatTheTreeReaderDoes) {
  const std::vector<std::string> texts = {
      R"({"a":1,"b":"x","c":[1,2.5,"s",null,true,false,{"d":[]}],"e":{}})",
      // Escapes in keys and values are undone into the document's own buffer.
      R"({"t\u00e9xt":"line\nnext \"q\" \\ \/ \u00e9 \ud83d\ude00","plain":"p"})",
      R"({"k":"v1","k":"v2","n":{"k":1,"k":[2]}})",  // a repeated name keeps its last value
      R"({"big":18446744073709551615,"min":-9223372036854775808,"huge":1e300,"r":0.1,"e":2E-3})",
      R"({"over":123456789012345678901234567890})",
      "  {\"a\" : [ ] }  ",
      Nested(64),
      // Refused by both:
      Nested(65), "", "   ", "[1]", "\"s\"", "12", "null", R"({"a":1} x)", R"({"a":)", R"({"a":1e400})",
      "{\"a\":\"\xff\"}", R"({"a":"\ud800"})", std::string("{\"a\":1}\0", 8), "{'a':1}",
  };
  CJsonDocument doc;
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    mObject tree;
    const bool bTree = TkJson::Unserialize(text, tree);
    ASSERT_EQ(doc.Parse(text), bTree);
    EXPECT_EQ(doc.IsParsed(), bTree);
    EXPECT_EQ(TkJson::IsObjectDocument(text), bTree);  // the success-answer check reads alike
    if (bTree) {
      EXPECT_EQ(mValue(doc.Root().ToObject()), mValue(tree));
    }
  }
}

// A listing tells records apart by fingerprint: the same record again is known,
// and records differing in one key, type or value are not mistaken for each other.
TEST(JsonDocument, FingerprintsTellRecordsApart) {
  const std::vector<std::string> records = {
      R"({"Id":"i-1","N":1})", R"({"Id":"i-2","N":1})", R"({"Id":"i-1","N":2})", R"({"Id":"i-1","N":"1"})",
      R"({"Id":"i-1","N":1.0})", R"({"Id":"i-1","M":1})", R"({"Id":"i-1","N":[1]})", R"({"Id":"i-1"})",
      R"({"ab":"c"})", R"({"a":"bc"})", R"({"a":{"b":null}})", R"({"a":{"b":false}})", "{}",
  };
  std::string page = "{\"L\":[";
  for (const std::string& record : records) page += record + ",";
  page += records.front() + "]}";
  CJsonDocument doc;
  ASSERT_TRUE(doc.Parse(page));
  std::vector<uint64_t> prints;
  for (const CJsonValueRef record : doc.Root().Find("L")->get_array()) prints.push_back(record.Fingerprint());
  EXPECT_EQ(prints.back(), prints.front());
  prints.pop_back();
  std::sort(prints.begin(), prints.end());
  EXPECT_EQ(std::adjacent_find(prints.begin(), prints.end()), prints.end());
}

// Every getter on every member, on both kinds of object: the same value, or the same error.
TEST(JsonDocument, GettersAndLookupsMatchTheTree) {
  const std::string text =
      R"({"s":"abc","num":" 42 ","real":"2.5","neg":-7,"u":18446744073709551615,"f":3.75,)"
      R"("t":true,"tt":"True","z":0,"one":1,"two":2,"n":null,"e":"","o":{"x":1},"a":[1,"b"],)"
      R"("dup":1,"dup":"last","big":3000000000,"word":"abc1"})";
  mObject tree;
  ASSERT_TRUE(TkJson::Unserialize(text, tree));
  CJsonDocument doc;
  ASSERT_TRUE(doc.Parse(text));
  const CJsonObjectRef root = doc.Root();

  // The outcome of one reading as text: the value, or "throws: " and the message.
  auto outcome = [](auto read) -> std::string {
    try {
      return read();
    } catch (const std::runtime_error& e) {
      return std::string("throws: ") + e.what();
    }
  };
  std::vector<std::string> keys;
  for (const auto& member : tree) keys.push_back(member.first);
  keys.push_back("absent");
  for (const std::string& key : keys) {
    SCOPED_TRACE(key);
    EXPECT_EQ(outcome([&] { return TkJson::GetStringValue(root, key); }),
              outcome([&] { return TkJson::GetStringValue(tree, key); }));
    EXPECT_EQ(outcome([&] { return std::to_string(TkJson::GetIntValue(root, key)); }),
              outcome([&] { return std::to_string(TkJson::GetIntValue(tree, key)); }));
    EXPECT_EQ(outcome([&] { return std::to_string(TkJson::GetBoolValue(root, key)); }),
              outcome([&] { return std::to_string(TkJson::GetBoolValue(tree, key)); }));
    EXPECT_EQ(outcome([&] { return std::to_string(TkJson::GetFloatValue(root, key)); }),
              outcome([&] { return std::to_string(TkJson::GetFloatValue(tree, key)); }));
    EXPECT_EQ(outcome([&] {
                const auto found = TkJson::FindObject(root, key);
                return found ? mValue(found->ToObject()) == tree.at(key) ? "same" : "differs" : "none";
              }),
              outcome([&] { return TkJson::FindObject(tree, key) ? "same" : "none"; }));
    EXPECT_EQ(outcome([&] {
                const auto found = TkJson::FindArray(root, key);
                return found ? mValue(found->ToArray()) == tree.at(key) ? "same" : "differs" : "none";
              }),
              outcome([&] { return TkJson::FindArray(tree, key) ? "same" : "none"; }));
  }
  // The tree's lookups refer to its members rather than copying them.
  EXPECT_EQ(TkJson::FindObject(tree, "o"), &tree.at("o").get_obj());
  EXPECT_EQ(TkJson::FindArray(tree, "a"), &tree.at("a").get_array());
}

}  // namespace
}  // namespace AliCloudWrapper
