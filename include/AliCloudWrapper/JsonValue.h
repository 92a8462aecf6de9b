// JSON values with the map-based semantics of json_spirit (mValue, mObject,
// mArray), which the parser's signatures use. Our own types: no JSON library
// header leaks into the public headers.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace AliCloudWrapper {
namespace json_spirit {

// json_spirit's type codes; the parser relies on object = 0 and string = 2.
enum Value_type { obj_type = 0, array_type = 1, str_type = 2, bool_type = 3, int_type = 4,
                  real_type = 5, null_type = 6 };

class mValue;
using mObject = std::map<std::string, mValue>;
using mArray = std::vector<mValue>;

class mValue {
 public:
  mValue() = default;  // null
  mValue(const char* psz) : m_value(std::string(psz)) {}
  mValue(std::string str) : m_value(std::move(str)) {}
  mValue(bool b) : m_value(b) {}
  mValue(int n) : m_value(static_cast<int64_t>(n)) {}
  mValue(int64_t n) : m_value(n) {}
  // An unsigned value above INT64_MAX keeps its exact value (get_uint64).
  mValue(uint64_t n) : m_value(static_cast<int64_t>(n)), m_bUint64(n > static_cast<uint64_t>(INT64_MAX)) {}
  mValue(double d) : m_value(d) {}
  mValue(mObject obj) : m_value(std::move(obj)) {}
  mValue(mArray arr) : m_value(std::move(arr)) {}

  Value_type type() const;
  bool is_null() const { return type() == null_type; }
  bool is_uint64() const { return m_bUint64; }

  // Accessors throw std::runtime_error "value type is <actual> not <expected>"
  // when the value holds another type; get_real also accepts an integer.
  const mObject& get_obj() const;
  mObject& get_obj();
  const mArray& get_array() const;
  mArray& get_array();
  const std::string& get_str() const;
  bool get_bool() const;
  int get_int() const;
  int64_t get_int64() const;
  uint64_t get_uint64() const;
  double get_real() const;

  bool operator==(const mValue& other) const;
  bool operator!=(const mValue& other) const { return !(*this == other); }

 private:
  void CheckType(Value_type expected) const;

  // Alternative order follows nothing in particular; type() maps it to the codes.
  std::variant<std::monostate, mObject, mArray, std::string, bool, int64_t, double> m_value;
  bool m_bUint64 = false;
};

}  // namespace json_spirit

using json_spirit::mArray;
using json_spirit::mObject;
using json_spirit::mValue;

}  // namespace AliCloudWrapper
