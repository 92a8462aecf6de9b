// TkJson: Boost.JSON's event parser feeding the mObject tree directly (no intermediate
// DOM), a compact writer, and the lenient scalar getters the record converters use.
#include "host/TkJson.h"

#include <boost/json/basic_parser_impl.hpp>

#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace AliCloudWrapper {

using json_spirit::Value_type;

namespace {

// ------------------------------------------------------------------ reading

// Receives Boost.JSON's parse events and grows the tree in place (no intermediate
// document). Setting ec aborts the parse, which is how a too-deep document or a top
// level that is not an object is refused before more work is spent on it.
class CTreeBuilder {
 public:
  // Limits the reader itself enforces; the depth limit is enforced here as well.
  static constexpr std::size_t max_object_size = std::size_t(-1);
  static constexpr std::size_t max_array_size = std::size_t(-1);
  static constexpr std::size_t max_key_size = std::size_t(-1);
  static constexpr std::size_t max_string_size = std::size_t(-1);

  using error_code = boost::json::error_code;
  using string_view = boost::json::string_view;

  explicit CTreeBuilder(mObject& root) : m_root(root) { m_stack.reserve(TkJson::MAX_DEPTH); }

  bool on_document_begin(error_code&) { return true; }
  bool on_document_end(error_code&) { return true; }

  bool on_object_begin(error_code& ec) {
    if (m_stack.empty()) {
      m_stack.push_back(SFrame{&m_root, nullptr});
      return true;
    }
    if (!RoomForOneMoreLevel(ec)) return false;
    mValue& slot = Slot();
    slot = mValue(mObject());
    m_stack.push_back(SFrame{&slot.get_obj(), nullptr});
    return true;
  }
  bool on_object_end(std::size_t, error_code&) { return Pop(); }
  bool on_array_begin(error_code& ec) {
    if (m_stack.empty()) return Refuse(ec);  // a top-level array is not an object
    if (!RoomForOneMoreLevel(ec)) return false;
    mValue& slot = Slot();
    slot = mValue(mArray());
    m_stack.push_back(SFrame{nullptr, &slot.get_array()});
    return true;
  }
  bool on_array_end(std::size_t, error_code&) { return Pop(); }

  // Keys, strings and numbers may arrive in parts (escapes, buffer boundaries); the
  // parts are gathered and the final call completes them.
  bool on_key_part(string_view part, std::size_t, error_code&) {
    m_strPart.append(part.data(), part.size());
    return true;
  }
  bool on_key(string_view part, std::size_t, error_code&) {
    TakeText(part, m_strKey);
    return true;
  }
  bool on_string_part(string_view part, std::size_t, error_code&) {
    m_strPart.append(part.data(), part.size());
    return true;
  }
  bool on_string(string_view part, std::size_t, error_code& ec) {
    std::string text;
    TakeText(part, text);
    return Add(mValue(std::move(text)), ec);
  }
  bool on_number_part(string_view part, error_code&) {
    m_strPart.append(part.data(), part.size());
    return true;
  }
  bool on_int64(std::int64_t n, string_view, error_code& ec) {
    m_strPart.clear();
    return Add(mValue(static_cast<int64_t>(n)), ec);
  }
  bool on_uint64(std::uint64_t n, string_view, error_code& ec) {
    m_strPart.clear();
    return Add(mValue(static_cast<uint64_t>(n)), ec);
  }
  // Boost.JSON 1.81 converts some reals up to one unit in the last place off, so the
  // number's own text is converted again exactly. Integers beyond the uint64 range
  // arrive here too: kept as the nearest real, never wrapped.
  bool on_double(double d, string_view part, error_code& ec) {
    const std::string* pText = &m_strPart;
    std::string whole;
    if (m_strPart.empty()) {
      whole.assign(part.data(), part.size());
      pText = &whole;
    } else {
      m_strPart.append(part.data(), part.size());
    }
    double exact = 0.0;
    const char* pEnd = pText->data() + pText->size();
    const auto result = std::from_chars(pText->data(), pEnd, exact);
    if (result.ec == std::errc() && result.ptr == pEnd) d = exact;
    m_strPart.clear();
    // A number beyond the range of a double (1e400) cannot be kept, and infinity has
    // no JSON form to write back: the document is refused rather than altered.
    if (!std::isfinite(d)) return Refuse(ec);
    return Add(mValue(d), ec);
  }
  bool on_bool(bool b, error_code& ec) { return Add(mValue(b), ec); }
  bool on_null(error_code& ec) { return Add(mValue(), ec); }
  bool on_comment_part(string_view, error_code&) { return true; }
  bool on_comment(string_view, error_code&) { return true; }

 private:
  struct SFrame {
    mObject* pObject;  // exactly one of the two is set
    mArray* pArray;
  };

  static bool Refuse(error_code& ec) {
    ec = boost::json::error::syntax;
    return false;
  }

  bool RoomForOneMoreLevel(error_code& ec) const {
    if (m_stack.size() < static_cast<size_t>(TkJson::MAX_DEPTH)) return true;
    ec = boost::json::error::too_deep;
    return false;
  }

  // The place the next value goes: a member named by the pending key, or a new element.
  // A repeated member name keeps the last value, as JavaScript's JSON.parse does.
  // Members often arrive in name order (our own writer, many services), so the end of
  // the map is offered as the place to insert; a wrong guess costs one comparison.
  mValue& Slot() {
    SFrame& frame = m_stack.back();
    if (frame.pArray != nullptr) return frame.pArray->emplace_back();
    mObject& obj = *frame.pObject;
    const size_t nBefore = obj.size();
    const auto it = obj.try_emplace(obj.end(), m_strKey);
    if (obj.size() == nBefore) it->second = mValue();
    return it->second;
  }

  bool Add(mValue&& value, error_code& ec) {
    if (m_stack.empty()) return Refuse(ec);  // a scalar at the top level is not an object
    Slot() = std::move(value);
    return true;
  }

  bool Pop() {
    m_stack.pop_back();
    return true;
  }

  // Moves the gathered parts plus the last one into out. The reader has already
  // refused malformed UTF-8 and unpaired surrogate escapes.
  void TakeText(string_view last, std::string& out) {
    if (m_strPart.empty()) {
      out.assign(last.data(), last.size());
    } else {
      m_strPart.append(last.data(), last.size());
      out.swap(m_strPart);
      m_strPart.clear();
    }
  }

  mObject& m_root;
  std::vector<SFrame> m_stack;
  std::string m_strKey;
  std::string m_strPart;
};

// ------------------------------------------------------------------ writing

void AppendValue(const mValue& value, std::string& out);

void AppendHex4(unsigned n, std::string& out) {
  static const char kHex[] = "0123456789abcdef";
  out += "\\u00";
  out += kHex[(n >> 4) & 0xF];
  out += kHex[n & 0xF];
}

// Length of the well-formed UTF-8 sequence at p (RFC 3629: no overlong forms, no
// surrogates, nothing above U+10FFFF), or 0 when the bytes there are not one.
size_t Utf8SequenceLength(const unsigned char* p, const unsigned char* pEnd) {
  const unsigned c = p[0];
  size_t n = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (static_cast<size_t>(pEnd - p) < n || p[1] < lo || p[1] > hi) return 0;
  for (size_t i = 2; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
  }
  return n;
}

// Quotes and escapes text. Non-ASCII text stays UTF-8; a byte that is not part of
// well-formed UTF-8 (only possible in values built by the program, never in parsed
// ones) becomes U+FFFD so the document stays readable instead of being refused whole.
void AppendString(const std::string& text, std::string& out) {
  out += '"';
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* pEnd = p + text.size();
  while (p < pEnd) {
    const unsigned c = *p;
    if (c >= 0x80) {
      const size_t n = Utf8SequenceLength(p, pEnd);
      if (n == 0) {
        out += "\xEF\xBF\xBD";
        ++p;
      } else {
        out.append(reinterpret_cast<const char*>(p), n);
        p += n;
      }
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          AppendHex4(c, out);
        } else {
          out += static_cast<char>(c);
        }
    }
    ++p;
  }
  out += '"';
}

template <typename N>
void AppendNumber(N n, std::string& out) {
  char buf[32];
  const auto result = std::to_chars(buf, buf + sizeof buf, n);
  out.append(buf, result.ptr);
}

// Shortest text that reads back to the same double. JSON has no NaN or infinity;
// they are written as null rather than as text no reader accepts.
std::string RealText(double d) {
  if (!std::isfinite(d)) return "null";
  char buf[32];
  const auto result = std::to_chars(buf, buf + sizeof buf, d);
  return std::string(buf, result.ptr);
}

void AppendReal(double d, std::string& out) {
  std::string text = RealText(d);
  // "2" would read back as an integer; keep the value a real.
  if (std::isfinite(d) && text.find_first_of(".eE") == std::string::npos) text += ".0";
  out += text;
}

void AppendObject(const mObject& obj, std::string& out) {
  out += '{';
  bool bFirst = true;
  for (const auto& [key, value] : obj) {
    if (!bFirst) out += ',';
    bFirst = false;
    AppendString(key, out);
    out += ':';
    AppendValue(value, out);
  }
  out += '}';
}

void AppendValue(const mValue& value, std::string& out) {
  switch (value.type()) {
    case json_spirit::obj_type: AppendObject(value.get_obj(), out); break;
    case json_spirit::array_type: {
      out += '[';
      bool bFirst = true;
      for (const mValue& element : value.get_array()) {
        if (!bFirst) out += ',';
        bFirst = false;
        AppendValue(element, out);
      }
      out += ']';
      break;
    }
    case json_spirit::str_type: AppendString(value.get_str(), out); break;
    case json_spirit::bool_type: out += value.get_bool() ? "true" : "false"; break;
    case json_spirit::int_type:
      if (value.is_uint64()) {
        AppendNumber(value.get_uint64(), out);
      } else {
        AppendNumber(value.get_int64(), out);
      }
      break;
    case json_spirit::real_type: AppendReal(value.get_real(), out); break;
    case json_spirit::null_type: out += "null"; break;
  }
}

// ------------------------------------------------------------------ scalar getters

const mValue* FindMember(const mObject& obj, const std::string& key) {
  const auto it = obj.find(key);
  return it == obj.end() ? nullptr : &it->second;
}

[[noreturn]] void ThrowWrongType(Value_type actual, Value_type expected) {
  throw std::runtime_error("value type is " + std::to_string(static_cast<int>(actual)) + " not " +
                           std::to_string(static_cast<int>(expected)));
}

[[noreturn]] void ThrowNotANumber(const std::string& text, Value_type expected) {
  throw std::runtime_error("value type is 2 not " + std::to_string(static_cast<int>(expected)) +
                           ": text [" + text + "] is not a number");
}

std::string TrimmedAscii(const std::string& text) {
  const char* kSpace = " \t\r\n";
  const size_t first = text.find_first_not_of(kSpace);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

// The number a numeric text stands for, as an int64 when it is written as one and a
// double otherwise. False when the text (surrounding blanks aside) is not a number.
struct SParsedNumber {
  bool bInteger = false;
  int64_t n = 0;
  double d = 0.0;
};

bool ParseNumberText(const std::string& raw, SParsedNumber& out) {
  std::string text = TrimmedAscii(raw);
  if (!text.empty() && text[0] == '+') text.erase(0, 1);
  if (text.empty()) return false;
  const char* pBegin = text.data();
  const char* pEnd = pBegin + text.size();
  auto intResult = std::from_chars(pBegin, pEnd, out.n);
  if (intResult.ec == std::errc() && intResult.ptr == pEnd) {
    out.bInteger = true;
    return true;
  }
  auto realResult = std::from_chars(pBegin, pEnd, out.d);
  // from_chars also takes "inf" and "nan"; they are not numbers a service sends.
  return realResult.ec == std::errc() && realResult.ptr == pEnd && std::isfinite(out.d);
}

int IntFromInt64(int64_t n) {
  if (n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max())
    throw std::runtime_error("value [" + std::to_string(n) + "] out of range for int");
  return static_cast<int>(n);
}

int IntFromReal(double d) {
  if (!(d >= std::numeric_limits<int>::min() && d <= std::numeric_limits<int>::max()) ||
      d != std::trunc(d))
    throw std::runtime_error("value [" + RealText(d) + "] is not an int");
  return static_cast<int>(d);
}

}  // namespace

// ------------------------------------------------------------------ TkJson

bool TkJson::Unserialize(const std::string& text, mObject& out) {
  out.clear();
  boost::json::parse_options options;
  options.max_depth = MAX_DEPTH;  // the builder checks too; this keeps the reader's stack small
  boost::json::basic_parser<CTreeBuilder> parser(options, out);
  boost::json::error_code ec;
  // One call with the whole text: anything after the document (a NUL byte included)
  // is reported as extra data, and a truncated text as incomplete.
  const size_t nUsed = parser.write_some(false, text.data(), text.size(), ec);
  const bool bOk = !ec && nUsed == text.size();
  if (!bOk) out.clear();
  return bOk;
}

std::string TkJson::Serialize(const mObject& obj) {
  std::string out;
  AppendObject(obj, out);
  return out;
}

std::string TkJson::GetStringValue(const mObject& obj, const std::string& key) {
  const mValue* pValue = FindMember(obj, key);
  if (pValue == nullptr) return std::string();
  switch (pValue->type()) {
    case json_spirit::str_type: return pValue->get_str();
    case json_spirit::int_type:
      return pValue->is_uint64() ? std::to_string(pValue->get_uint64())
                                 : std::to_string(pValue->get_int64());
    case json_spirit::real_type: return RealText(pValue->get_real());
    case json_spirit::bool_type: return pValue->get_bool() ? "true" : "false";
    case json_spirit::null_type: return std::string();
    default: ThrowWrongType(pValue->type(), json_spirit::str_type);
  }
}

int TkJson::GetIntValue(const mObject& obj, const std::string& key) {
  const mValue* pValue = FindMember(obj, key);
  if (pValue == nullptr) return 0;
  switch (pValue->type()) {
    case json_spirit::int_type:
      if (pValue->is_uint64()) IntFromInt64(std::numeric_limits<int64_t>::max());  // throws
      return IntFromInt64(pValue->get_int64());
    case json_spirit::real_type: return IntFromReal(pValue->get_real());
    case json_spirit::bool_type: return pValue->get_bool() ? 1 : 0;
    case json_spirit::null_type: return 0;
    case json_spirit::str_type: {
      const std::string& text = pValue->get_str();
      // Empty text is how the services leave a value out.
      if (TrimmedAscii(text).empty()) return 0;
      SParsedNumber number;
      if (!ParseNumberText(text, number)) ThrowNotANumber(text, json_spirit::int_type);
      return number.bInteger ? IntFromInt64(number.n) : IntFromReal(number.d);
    }
    default: ThrowWrongType(pValue->type(), json_spirit::int_type);
  }
}

bool TkJson::GetBoolValue(const mObject& obj, const std::string& key) {
  const mValue* pValue = FindMember(obj, key);
  if (pValue == nullptr) return false;
  switch (pValue->type()) {
    case json_spirit::bool_type: return pValue->get_bool();
    case json_spirit::null_type: return false;
    case json_spirit::int_type:
      if (!pValue->is_uint64() && (pValue->get_int64() == 0 || pValue->get_int64() == 1))
        return pValue->get_int64() == 1;
      throw std::runtime_error("value type is 4 not 3: only 0 and 1 read as a bool");
    case json_spirit::str_type: {
      const std::string text = TrimmedAscii(pValue->get_str());
      if (text.empty()) return false;
      if (text == "true" || text == "True" || text == "TRUE") return true;
      if (text == "false" || text == "False" || text == "FALSE") return false;
      throw std::runtime_error("value type is 2 not 3: text [" + pValue->get_str() +
                               "] is not a bool");
    }
    default: ThrowWrongType(pValue->type(), json_spirit::bool_type);
  }
}

double TkJson::GetFloatValue(const mObject& obj, const std::string& key) {
  const mValue* pValue = FindMember(obj, key);
  if (pValue == nullptr) return 0.0;
  switch (pValue->type()) {
    case json_spirit::real_type:
    case json_spirit::int_type: return pValue->get_real();
    case json_spirit::bool_type: return pValue->get_bool() ? 1.0 : 0.0;
    case json_spirit::null_type: return 0.0;
    case json_spirit::str_type: {
      const std::string& text = pValue->get_str();
      if (TrimmedAscii(text).empty()) return 0.0;
      SParsedNumber number;
      if (!ParseNumberText(text, number)) ThrowNotANumber(text, json_spirit::real_type);
      return number.bInteger ? static_cast<double>(number.n) : number.d;
    }
    default: ThrowWrongType(pValue->type(), json_spirit::real_type);
  }
}

bool TkJson::FindObjectValue(const mObject& obj, const std::string& key, mObject& out) {
  const mValue* pValue = FindMember(obj, key);
  if (pValue == nullptr || pValue->is_null()) return false;
  out = pValue->get_obj();  // another type throws "value type is N not 0"
  return true;
}

bool TkJson::FindArrayValue(const mObject& obj, const std::string& key, mArray& out) {
  const mValue* pValue = FindMember(obj, key);
  if (pValue == nullptr || pValue->is_null()) return false;
  out = pValue->get_array();
  return true;
}

}  // namespace AliCloudWrapper
