// JSON: mValue's type codes, typed accessors and equality; TkJson's reading
// (including hostile input), writing and reading back, and the lenient scalar
// getters the record converters rely on; and the flat answer document, which
// must read every text exactly as the mObject reader does (the same documents
// accepted, the same values, the same lenient getters and the same type errors).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "AliCloudWrapper/JsonValue.h"
#include "host/JsonDocument.h"
#include "host/TkJson.h"

namespace AliCloudWrapper {
namespace {

TEST(JsonValue, AccessorsRefuseOtherTypesAndOutOfRangeIntegers) {
  // Every integer is type 4, however large; only a real is type 5.
  const uint64_t nHuge = std::numeric_limits<uint64_t>::max();
  EXPECT_EQ(mValue(nHuge).type(), 4);
  EXPECT_EQ(mValue(1.5).type(), 5);
  EXPECT_TRUE(mValue().is_null());
  EXPECT_THROW((void)mValue("1").get_int(), std::runtime_error);
  EXPECT_THROW((void)mValue(1).get_bool(), std::runtime_error);
  EXPECT_THROW((void)mValue(1.5).get_int64(), std::runtime_error);
  EXPECT_THROW((void)mValue().get_obj(), std::runtime_error);
  EXPECT_THROW((void)mValue(mObject{}).get_array(), std::runtime_error);

  EXPECT_EQ(mValue(static_cast<int64_t>(INT32_MAX)).get_int(), INT32_MAX);
  EXPECT_THROW((void)mValue(static_cast<int64_t>(INT32_MAX) + 1).get_int(), std::runtime_error);
  EXPECT_THROW((void)mValue(static_cast<int64_t>(INT32_MIN) - 1).get_int(), std::runtime_error);
  EXPECT_THROW((void)mValue(-1).get_uint64(), std::runtime_error);
  EXPECT_EQ(mValue(nHuge).get_uint64(), nHuge);
  EXPECT_THROW((void)mValue(nHuge).get_int64(), std::runtime_error);
  EXPECT_DOUBLE_EQ(mValue(nHuge).get_real(), 18446744073709551615.0);
  EXPECT_DOUBLE_EQ(mValue(-3).get_real(), -3.0) << "a real may be read from an integer";
}

TEST(JsonValue, EqualityComparesTypeAndValueDeeply) {
  const mValue a(mObject{{"k", mArray{1, "x", mObject{{"n", mValue()}}}}});
  mValue b = a;
  EXPECT_EQ(a, b);
  b.get_obj()["k"].get_array()[0] = 2;
  EXPECT_NE(a, b);
  EXPECT_NE(mValue(1), mValue(1.0)) << "an integer and a real differ in type";
  EXPECT_NE(mValue(static_cast<int64_t>(-1)), mValue(std::numeric_limits<uint64_t>::max()));
}

bool Parses(const std::string& text, mObject& out) { return TkJson::Unserialize(text, out); }
bool Parses(const std::string& text) {
  mObject obj;
  return TkJson::Unserialize(text, obj);
}

// nDepth copies of open, then (when given) inner, then nDepth copies of close.
std::string Nested(int nDepth, const std::string& open, const std::string& close,
                   const std::string& inner = "") {
  std::string text;
  for (int i = 0; i < nDepth; ++i) text += open;
  text += inner;
  for (int i = 0; i < nDepth; ++i) text += close;
  return text;
}

// ------------------------------------------------------------------ reading

TEST(TkJsonUnserialize, AcceptsExactlyOneObjectAndNothingAfterIt) {
  for (const char* text : {"", " ", "null", "true", "1", "\"x\"", "[]", "[{}]", " [1,2] "}) {
    mObject obj{{"stale", 1}};
    EXPECT_FALSE(Parses(text, obj)) << text;
    EXPECT_TRUE(obj.empty()) << "out is cleared even on failure: " << text;
  }
  mObject obj;
  ASSERT_TRUE(Parses(" \n{\"a\" : [1, {\"b\": null}], \"r\": {\"x\":1}, \"r\": \"last\"}\t", obj));
  EXPECT_EQ(obj["a"].get_array()[1].get_obj().at("b").type(), json_spirit::null_type);
  EXPECT_EQ(obj["r"].get_str(), "last") << "a repeated member keeps the last value";

  for (const char* text : {"{} x", "{}{}", "{},", "{}]", "{\"a\":1}}", "{\"a\":1,}", "{,}",
                           "{\"a\" 1}", "{'a':1}", "{a:1}", "{\"a\":01}", "{\"a\":1.}",
                           "{\"a\":NaN}", "{\"a\":Infinity}", "{/*c*/}", "{\"a\":tru}"}) {
    EXPECT_FALSE(Parses(text)) << text;
  }
  // A NUL byte after the document is trailing garbage, not an end of text.
  EXPECT_FALSE(Parses(std::string("{}\0{}", 5)));
  EXPECT_FALSE(Parses(std::string("{}\0", 3)));

  const std::string whole =
      R"({"Regions":{"Region":[{"RegionId":"cn-hangzhou","n":-12.5e3,"b":true,"z":null}]},"s":"\u00e9\n"})";
  ASSERT_TRUE(Parses(whole));
  for (size_t n = 0; n < whole.size(); ++n) EXPECT_FALSE(Parses(whole.substr(0, n))) << n;
}

TEST(TkJsonUnserialize, ValidatesEscapesAndUtf8) {
  mObject obj;
  ASSERT_TRUE(Parses(R"({"a":"\"\\\/\b\f\n\r\t\u0041\u00e9\u20ac\ud83d\ude00"})", obj));
  EXPECT_EQ(obj["a"].get_str(), "\"\\/\b\f\n\r\tA\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  // An escaped NUL is kept inside the text, which carries its length.
  ASSERT_TRUE(Parses(R"({"k\u0000ey":"a\u0000b"})", obj));
  EXPECT_EQ(obj.begin()->first, std::string("k\0ey", 4));
  EXPECT_EQ(obj.begin()->second.get_str(), std::string("a\0b", 3));

  // The escape and UTF-8 rules themselves are the JSON library's; one of each
  // kind shows they stay switched on.
  for (const char* text : {R"({"a":"\ud800"})", "{\"a\":\"\xC3\x28\"}", "{\"a\":\"tab\there\"}"}) {
    EXPECT_FALSE(Parses(text)) << text;
  }
  EXPECT_FALSE(Parses(std::string("{\"a\":\"x\0y\"}", 11))) << "raw NUL inside a string";
}

TEST(TkJsonUnserialize, LimitsNestingDepthWithoutRecursing) {
  // The top-level object counts as the first level.
  EXPECT_TRUE(Parses(Nested(TkJson::MAX_DEPTH, "{\"a\":", "}", "1")));
  EXPECT_FALSE(Parses(Nested(TkJson::MAX_DEPTH + 1, "{\"a\":", "}", "1")));
  EXPECT_TRUE(Parses("{\"a\":" + Nested(TkJson::MAX_DEPTH - 1, "[", "]") + "}"));
  EXPECT_FALSE(Parses("{\"a\":" + Nested(TkJson::MAX_DEPTH, "[", "]") + "}"));
  // Hostile depths are a plain failure, never a stack overflow.
  EXPECT_FALSE(Parses("{\"a\":" + Nested(100000, "[", "]") + "}"));
  EXPECT_FALSE(Parses("{\"a\":" + std::string(100000, '[')));
  EXPECT_FALSE(Parses(Nested(100000, "{\"a\":", "}", "1")));
}

TEST(TkJsonUnserialize, KeepsNumbersExactOrRefusesThem) {
  mObject obj;
  ASSERT_TRUE(Parses(R"({"max":9223372036854775807,"min":-9223372036854775808,)"
                     R"("umax":18446744073709551615,"u":9223372036854775808,)"
                     R"("big":123456789012345678901234567890,"below":-9223372036854775809,)"
                     R"("r2":0.30000000000000004,"r4":1.7976931348623157e308,"r5":5e-324,)"
                     R"("r6":-0.0,"r7":1E2})", obj));
  EXPECT_EQ(obj["max"].get_int64(), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(obj["min"].get_int64(), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(obj["umax"].get_uint64(), std::numeric_limits<uint64_t>::max());
  EXPECT_EQ(obj["u"].get_uint64(), 9223372036854775808ull);
  EXPECT_THROW((void)obj["u"].get_int64(), std::runtime_error) << "never wrapped to negative";
  // Beyond the 64-bit range an integer becomes the nearest real.
  EXPECT_DOUBLE_EQ(obj["big"].get_real(), 1.2345678901234568e29);
  EXPECT_EQ(obj["below"].type(), json_spirit::real_type);
  EXPECT_LT(obj["below"].get_real(), 0.0);
  // Reals are converted exactly (the shortest texts of these doubles read back bit for bit).
  EXPECT_EQ(obj["r2"].get_real(), 0.1 + 0.2);
  EXPECT_EQ(obj["r4"].get_real(), std::numeric_limits<double>::max());
  EXPECT_EQ(obj["r5"].get_real(), std::numeric_limits<double>::denorm_min());
  EXPECT_TRUE(std::signbit(obj["r6"].get_real()));
  EXPECT_EQ(obj["r7"].type(), json_spirit::real_type);
  // A real beyond the double range has no value to keep.
  EXPECT_FALSE(Parses(R"({"a":1e400})"));
  EXPECT_FALSE(Parses(R"({"a":-1e400})"));
}

// ------------------------------------------------------------------ writing

TEST(TkJsonSerialize, EscapesAndReadsBackEqual) {
  mObject inner{{"list", mArray{1, "two", 3.5, true, mValue(), mObject{}, mArray{}}}};
  mObject obj{{"quote\"back\\slash", "line\nfeed\ttab\x01\x1f\x7f"},
              {"utf8", "\xE4\xBD\x8D \xF0\x9F\x98\x80 \xC3\xA9"}, {"nul", std::string("a\0b", 3)},
              {"real", 2.0}, {"tiny", 5e-324}, {"neg", -0.5}, {"int", static_cast<int64_t>(-42)},
              {"umax", std::numeric_limits<uint64_t>::max()},
              {"imin", std::numeric_limits<int64_t>::min()}, {"bool", false}, {"null", mValue()},
              {"inner", inner}, {"", "empty key"}};
  const std::string text = TkJson::Serialize(obj);
  EXPECT_NE(text.find(R"("quote\"back\\slash":"line\nfeed\ttab\u0001\u001f)"), std::string::npos)
      << text;
  EXPECT_NE(text.find("\xE4\xBD\x8D \xF0\x9F\x98\x80"), std::string::npos) << "UTF-8 kept as is";
  EXPECT_NE(text.find(R"("nul":"a\u0000b")"), std::string::npos);
  EXPECT_NE(text.find(R"("real":2.0)"), std::string::npos) << "a real stays a real";
  mObject back;
  ASSERT_TRUE(TkJson::Unserialize(text, back)) << text;
  EXPECT_EQ(back, obj);
  EXPECT_EQ(TkJson::Serialize(back), text);
  EXPECT_EQ(TkJson::Serialize(mObject{}), "{}");

  // Malformed UTF-8 from the program becomes U+FFFD; non-finite reals become null.
  ASSERT_TRUE(TkJson::Unserialize(
      TkJson::Serialize(mObject{{"bad", "a\xFF" "b\xC3"}, {"nan", std::nan("")},
                                {"inf", std::numeric_limits<double>::infinity()}}), back));
  EXPECT_EQ(back["bad"].get_str(), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
  EXPECT_TRUE(back["nan"].is_null() && back["inf"].is_null());
}

// ------------------------------------------------------------------ scalar getters

class TkJsonGetters : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(TkJson::Unserialize(
        R"({"s":"text","n":42,"neg":-7,"r":0.5,"whole":3.0,"t":true,"f":false,"z":null,)"
        R"("ns":"123","nsr":" -12.75 ","nse":"1e3","empty":"","ts":"true","fs":"False",)"
        R"("big":3000000000,"bigs":"-3000000000","umax":18446744073709551615,)"
        R"("o":{"k":"v"},"a":[1,2],"huge":1e300})",
        m_obj));
  }
  mObject m_obj;
};

TEST_F(TkJsonGetters, ScalarsConvertWhenLosslessAndAbsentOrNullIsEmpty) {
  for (const char* key : {"missing", "z"}) {
    EXPECT_EQ(TkJson::GetStringValue(m_obj, key), "");
    EXPECT_EQ(TkJson::GetIntValue(m_obj, key), 0);
    EXPECT_FALSE(TkJson::GetBoolValue(m_obj, key));
    EXPECT_EQ(TkJson::GetFloatValue(m_obj, key), 0.0);
    mObject obj;
    mArray arr;
    EXPECT_FALSE(TkJson::FindObjectValue(m_obj, key, obj) || TkJson::FindArrayValue(m_obj, key, arr));
  }
  std::string texts;
  for (const char* key : {"s", "n", "neg", "r", "whole", "umax", "t"})
    texts += TkJson::GetStringValue(m_obj, key) + "|";
  EXPECT_EQ(texts, "text|42|-7|0.5|3|18446744073709551615|true|");
  EXPECT_EQ(TkJson::GetIntValue(m_obj, "n"), 42);
  EXPECT_EQ(TkJson::GetIntValue(m_obj, "ns"), 123);
  EXPECT_EQ(TkJson::GetIntValue(m_obj, "whole"), 3);
  EXPECT_EQ(TkJson::GetIntValue(m_obj, "nse"), 1000);
  EXPECT_EQ(TkJson::GetIntValue(m_obj, "empty"), 0) << "empty text is a left-out value";
  EXPECT_EQ(TkJson::GetIntValue(m_obj, "t"), 1);
  EXPECT_DOUBLE_EQ(TkJson::GetFloatValue(m_obj, "r"), 0.5);
  EXPECT_DOUBLE_EQ(TkJson::GetFloatValue(m_obj, "nsr"), -12.75);
  EXPECT_DOUBLE_EQ(TkJson::GetFloatValue(m_obj, "big"), 3e9);
  EXPECT_DOUBLE_EQ(TkJson::GetFloatValue(m_obj, "umax"), 18446744073709551615.0);
  EXPECT_TRUE(TkJson::GetBoolValue(m_obj, "t") && TkJson::GetBoolValue(m_obj, "ts"));
  EXPECT_FALSE(TkJson::GetBoolValue(m_obj, "f") || TkJson::GetBoolValue(m_obj, "fs") ||
               TkJson::GetBoolValue(m_obj, "empty"));
}

TEST_F(TkJsonGetters, LossyOrImpossibleConversionsThrowNamingBothTypeCodes) {
  // Never a silent wrap of an int.
  for (const char* key : {"big", "bigs", "umax", "huge", "r", "s", "ts"}) {
    EXPECT_THROW((void)TkJson::GetIntValue(m_obj, key), std::runtime_error) << key;
  }
  EXPECT_THROW((void)TkJson::GetFloatValue(m_obj, "s"), std::runtime_error);
  EXPECT_THROW((void)TkJson::GetFloatValue(m_obj, "ts"), std::runtime_error);
  EXPECT_THROW((void)TkJson::GetBoolValue(m_obj, "s"), std::runtime_error);
  EXPECT_THROW((void)TkJson::GetBoolValue(m_obj, "n"), std::runtime_error);

  mObject obj;
  mArray arr;
  const std::pair<std::function<void()>, const char*> cases[] = {
      {[&] { (void)TkJson::GetStringValue(m_obj, "o"); }, "value type is 0 not 2"},
      {[&] { (void)TkJson::GetStringValue(m_obj, "a"); }, "value type is 1 not 2"},
      {[&] { (void)TkJson::GetIntValue(m_obj, "o"); }, "value type is 0 not 4"},
      {[&] { (void)TkJson::GetBoolValue(m_obj, "a"); }, "value type is 1 not 3"},
      {[&] { (void)TkJson::GetFloatValue(m_obj, "o"); }, "value type is 0 not 5"},
      {[&] { (void)TkJson::FindObjectValue(m_obj, "a", obj); }, "value type is 1 not 0"},
      {[&] { (void)TkJson::FindArrayValue(m_obj, "s", arr); }, "value type is 2 not 1"}};
  for (const auto& c : cases) {
    try {
      c.first();
      ADD_FAILURE() << "no exception, expected " << c.second;
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), c.second);
    }
  }
  ASSERT_TRUE(TkJson::FindObjectValue(m_obj, "o", obj));
  EXPECT_EQ(obj.at("k").get_str(), "v");
  ASSERT_TRUE(TkJson::FindArrayValue(m_obj, "a", arr));
  EXPECT_EQ(arr.size(), 2u);
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
      Nested(TkJson::MAX_DEPTH - 1, "{\"a\":", "}", "{}"),
      // Refused by both:
      Nested(TkJson::MAX_DEPTH, "{\"a\":", "}", "{}"), "", "   ", "[1]", "\"s\"", "12", "null", R"({"a":1} x)", R"({"a":)", R"({"a":1e400})",
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
