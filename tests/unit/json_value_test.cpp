// mValue: json_spirit's type codes, typed accessors and their errors, equality.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

#include "AliCloudWrapper/JsonValue.h"

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

}  // namespace
}  // namespace AliCloudWrapper
