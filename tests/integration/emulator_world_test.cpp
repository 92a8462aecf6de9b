// The emulator's printing of numbers, without the network (paging and the
// world's rules are checked on the wire by the other emulator tests).
#include <acw_emulator/Actions.h>

#include <boost/json.hpp>
#include <gtest/gtest.h>

namespace {

using namespace AcwEmulator;
namespace json = boost::json;

// Answers print floats in plain decimal as the service does, never in exponent form.
TEST(EmulatorJsonTextTest, FloatsPrintInPlainDecimal) {
    const std::pair<double, const char*> cases[] = {
        {0.0, "0"}, {16.0, "16"}, {0.5, "0.5"}, {0.98, "0.98"}, {1e21, "1000000000000000000000"},
        {0.000001, "0.000001"}, {-2.25, "-2.25"}};
    for (const auto& [number, text] : cases) EXPECT_EQ(ToJsonText(json::value(number)), text) << number;
    EXPECT_EQ(ToJsonText(json::parse(R"({"a":[1,true,null,"x\"y"],"b":{}})")), R"({"a":[1,true,null,"x\"y"],"b":{}})");
}

}  // namespace
