// mValue's accessors: json_spirit's type codes and its "value type is X not Y" errors.
#include "AliCloudWrapper/JsonValue.h"

#include "host/JsonDocument.h"

#include <limits>
#include <stdexcept>
#include <string>

namespace AliCloudWrapper {
namespace json_spirit {

void ThrowWrongType(Value_type actual, Value_type expected) {
  throw std::runtime_error("value type is " + std::to_string(static_cast<int>(actual)) + " not " +
                           std::to_string(static_cast<int>(expected)));
}

namespace {

// The variant's alternative index, mapped to json_spirit's codes.
constexpr Value_type kTypeOfIndex[] = {null_type, obj_type,  array_type, str_type,
                                       bool_type, int_type, real_type};

[[noreturn]] void ThrowOutOfRange(const char* what) {
  throw std::runtime_error(std::string("value out of range for ") + what);
}

}  // namespace

Value_type mValue::type() const { return kTypeOfIndex[m_value.index()]; }

void mValue::CheckType(Value_type expected) const {
  if (type() != expected) ThrowWrongType(type(), expected);
}

const mObject& mValue::get_obj() const {
  CheckType(obj_type);
  return std::get<mObject>(m_value);
}

mObject& mValue::get_obj() {
  CheckType(obj_type);
  return std::get<mObject>(m_value);
}

const mArray& mValue::get_array() const {
  CheckType(array_type);
  return std::get<mArray>(m_value);
}

mArray& mValue::get_array() {
  CheckType(array_type);
  return std::get<mArray>(m_value);
}

const std::string& mValue::get_str() const {
  CheckType(str_type);
  return std::get<std::string>(m_value);
}

bool mValue::get_bool() const {
  CheckType(bool_type);
  return std::get<bool>(m_value);
}

int64_t mValue::get_int64() const {
  CheckType(int_type);
  // A value above INT64_MAX is stored bit-for-bit; reading it as signed would wrap.
  if (m_bUint64) ThrowOutOfRange("int64");
  return std::get<int64_t>(m_value);
}

int mValue::get_int() const {
  const int64_t n = get_int64();
  if (n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max())
    ThrowOutOfRange("int");
  return static_cast<int>(n);
}

uint64_t mValue::get_uint64() const {
  CheckType(int_type);
  const int64_t n = std::get<int64_t>(m_value);
  if (!m_bUint64 && n < 0) ThrowOutOfRange("uint64");
  return static_cast<uint64_t>(n);
}

double mValue::get_real() const {
  if (type() == int_type) {
    return m_bUint64 ? static_cast<double>(get_uint64())
                     : static_cast<double>(std::get<int64_t>(m_value));
  }
  CheckType(real_type);
  return std::get<double>(m_value);
}

bool mValue::operator==(const mValue& other) const {
  return m_bUint64 == other.m_bUint64 && m_value == other.m_value;
}

}  // namespace json_spirit
}  // namespace AliCloudWrapper
