// TkJson: Boost.JSON's event parser feeding the mObject tree directly (no intermediate
// DOM), a compact writer, and the lenient scalar getters the record converters use.
#include "host/TkJson.h"

#include <boost/json/basic_parser_impl.hpp>

#include "host/JsonEventReader.h"

#include <charconv>
#include <string_view>
#include <cmath>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace AliCloudWrapper {

using json_spirit::Value_type;

namespace {

// ------------------------------------------------------------------ reading

// Accepts what the tree builder accepts and keeps nothing.
class CValidator : public CJsonEventReader<CValidator> {
 public:
  CValidator() : CJsonEventReader(TkJson::MAX_DEPTH) {}
  bool BeginObject(error_code&) { return true; }
  bool BeginArray(error_code&) { return true; }
  void EndContainer() {}
  void Key(std::string_view) {}
  bool String(std::string_view, error_code&) { return true; }
  bool Int(int64_t, error_code&) { return true; }
  bool Uint(uint64_t, error_code&) { return true; }
  bool Real(double, error_code&) { return true; }
  bool Bool(bool, error_code&) { return true; }
  bool Null(error_code&) { return true; }
};

// One call with the whole text: anything after the document (a NUL byte included)
// is reported as extra data, and a truncated text as incomplete.
template <typename Handler, typename... Args>
bool ReadWhole(std::string_view text, Args&&... args) {
  boost::json::parse_options options;
  options.max_depth = TkJson::MAX_DEPTH;  // the reader checks too; this keeps the parser's stack small
  boost::json::basic_parser<Handler> parser(options, std::forward<Args>(args)...);
  boost::json::error_code ec;
  const size_t nUsed = parser.write_some(false, text.data(), text.size(), ec);
  return !ec && nUsed == text.size();
}


// Grows the mObject tree in place from the parse events (no intermediate document).
class CTreeBuilder : public CJsonEventReader<CTreeBuilder> {
 public:
  explicit CTreeBuilder(mObject& root) : CJsonEventReader(TkJson::MAX_DEPTH), m_root(root) {
    m_stack.reserve(TkJson::MAX_DEPTH);
  }

  bool BeginObject(error_code&) {
    if (m_stack.empty()) {
      m_stack.push_back(SFrame{&m_root, nullptr});
      return true;
    }
    mValue& slot = Slot();
    slot = mValue(mObject());
    m_stack.push_back(SFrame{&slot.get_obj(), nullptr});
    return true;
  }
  bool BeginArray(error_code&) {
    mValue& slot = Slot();
    slot = mValue(mArray());
    m_stack.push_back(SFrame{nullptr, &slot.get_array()});
    return true;
  }
  void EndContainer() { m_stack.pop_back(); }
  void Key(std::string_view text) { m_strKey.assign(text.data(), text.size()); }
  bool String(std::string_view text, error_code&) { return Add(mValue(std::string(text))); }
  bool Int(int64_t n, error_code&) { return Add(mValue(n)); }
  bool Uint(uint64_t n, error_code&) { return Add(mValue(n)); }
  bool Real(double d, error_code&) { return Add(mValue(d)); }
  bool Bool(bool b, error_code&) { return Add(mValue(b)); }
  bool Null(error_code&) { return Add(mValue()); }

 private:
  struct SFrame {
    mObject* pObject;  // exactly one of the two is set
    mArray* pArray;
  };

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

  bool Add(mValue&& value) {
    Slot() = std::move(value);
    return true;
  }

  mObject& m_root;
  std::vector<SFrame> m_stack;
  std::string m_strKey;
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

using json_spirit::ThrowWrongType;

[[noreturn]] void ThrowNotANumber(std::string_view text, Value_type expected) {
  throw std::runtime_error("value type is 2 not " + std::to_string(static_cast<int>(expected)) +
                           ": text [" + std::string(text) + "] is not a number");
}

std::string_view TrimmedAscii(std::string_view text) {
  const char* kSpace = " \t\r\n";
  const size_t first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return std::string_view();
  return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

// The number a numeric text stands for, as an int64 when it is written as one and a
// double otherwise. False when the text (surrounding blanks aside) is not a number.
struct SParsedNumber {
  bool bInteger = false;
  int64_t n = 0;
  double d = 0.0;
};

bool ParseNumberText(std::string_view raw, SParsedNumber& out) {
  std::string_view text = TrimmedAscii(raw);
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
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

// The lenient readings of one member, the same for both value kinds (mValue of an
// mObject tree, CJsonValueRef of a document). A null pointer is an absent member.
template <typename V>
std::string StringOf(const V* pValue) {
  if (pValue == nullptr) return std::string();
  switch (pValue->type()) {
    case json_spirit::str_type: return std::string(pValue->get_str());
    case json_spirit::int_type:
      return pValue->is_uint64() ? std::to_string(pValue->get_uint64())
                                 : std::to_string(pValue->get_int64());
    case json_spirit::real_type: return RealText(pValue->get_real());
    case json_spirit::bool_type: return pValue->get_bool() ? "true" : "false";
    case json_spirit::null_type: return std::string();
    default: ThrowWrongType(pValue->type(), json_spirit::str_type);
  }
}

template <typename V>
int IntOf(const V* pValue) {
  if (pValue == nullptr) return 0;
  switch (pValue->type()) {
    case json_spirit::int_type:
      if (pValue->is_uint64()) IntFromInt64(std::numeric_limits<int64_t>::max());  // throws
      return IntFromInt64(pValue->get_int64());
    case json_spirit::real_type: return IntFromReal(pValue->get_real());
    case json_spirit::bool_type: return pValue->get_bool() ? 1 : 0;
    case json_spirit::null_type: return 0;
    case json_spirit::str_type: {
      const std::string_view text = pValue->get_str();
      // Empty text is how the services leave a value out.
      if (TrimmedAscii(text).empty()) return 0;
      SParsedNumber number;
      if (!ParseNumberText(text, number)) ThrowNotANumber(text, json_spirit::int_type);
      return number.bInteger ? IntFromInt64(number.n) : IntFromReal(number.d);
    }
    default: ThrowWrongType(pValue->type(), json_spirit::int_type);
  }
}

template <typename V>
bool BoolOf(const V* pValue) {
  if (pValue == nullptr) return false;
  switch (pValue->type()) {
    case json_spirit::bool_type: return pValue->get_bool();
    case json_spirit::null_type: return false;
    case json_spirit::int_type:
      if (!pValue->is_uint64() && (pValue->get_int64() == 0 || pValue->get_int64() == 1))
        return pValue->get_int64() == 1;
      throw std::runtime_error("value type is 4 not 3: only 0 and 1 read as a bool");
    case json_spirit::str_type: {
      const std::string_view text = TrimmedAscii(pValue->get_str());
      if (text.empty()) return false;
      if (text == "true" || text == "True" || text == "TRUE") return true;
      if (text == "false" || text == "False" || text == "FALSE") return false;
      throw std::runtime_error("value type is 2 not 3: text [" + std::string(pValue->get_str()) +
                               "] is not a bool");
    }
    default: ThrowWrongType(pValue->type(), json_spirit::bool_type);
  }
}

template <typename V>
double FloatOf(const V* pValue) {
  if (pValue == nullptr) return 0.0;
  switch (pValue->type()) {
    case json_spirit::real_type:
    case json_spirit::int_type: return pValue->get_real();
    case json_spirit::bool_type: return pValue->get_bool() ? 1.0 : 0.0;
    case json_spirit::null_type: return 0.0;
    case json_spirit::str_type: {
      const std::string_view text = pValue->get_str();
      if (TrimmedAscii(text).empty()) return 0.0;
      SParsedNumber number;
      if (!ParseNumberText(text, number)) ThrowNotANumber(text, json_spirit::real_type);
      return number.bInteger ? static_cast<double>(number.n) : number.d;
    }
    default: ThrowWrongType(pValue->type(), json_spirit::real_type);
  }
}

// The member of a document object, or nullptr when absent; out holds it.
const CJsonValueRef* MemberOf(const CJsonObjectRef& obj, std::string_view key,
                              std::optional<CJsonValueRef>& out) {
  out = obj.Find(key);
  return out ? &*out : nullptr;
}

}  // namespace

// ------------------------------------------------------------------ TkJson

bool TkJson::Unserialize(const std::string& text, mObject& out) {
  out.clear();
  const bool bOk = ReadWhole<CTreeBuilder>(text, out);
  if (!bOk) out.clear();
  return bOk;
}

bool TkJson::IsObjectDocument(std::string_view text) { return ReadWhole<CValidator>(text); }

std::string TkJson::Serialize(const mObject& obj) {
  std::string out;
  AppendObject(obj, out);
  return out;
}

std::string TkJson::GetStringValue(const mObject& obj, const std::string& key) {
  return StringOf(FindMember(obj, key));
}
int TkJson::GetIntValue(const mObject& obj, const std::string& key) {
  return IntOf(FindMember(obj, key));
}
bool TkJson::GetBoolValue(const mObject& obj, const std::string& key) {
  return BoolOf(FindMember(obj, key));
}
double TkJson::GetFloatValue(const mObject& obj, const std::string& key) {
  return FloatOf(FindMember(obj, key));
}

std::string TkJson::GetStringValue(const CJsonObjectRef& obj, std::string_view key) {
  std::optional<CJsonValueRef> member;
  return StringOf(MemberOf(obj, key, member));
}
int TkJson::GetIntValue(const CJsonObjectRef& obj, std::string_view key) {
  std::optional<CJsonValueRef> member;
  return IntOf(MemberOf(obj, key, member));
}
bool TkJson::GetBoolValue(const CJsonObjectRef& obj, std::string_view key) {
  std::optional<CJsonValueRef> member;
  return BoolOf(MemberOf(obj, key, member));
}
double TkJson::GetFloatValue(const CJsonObjectRef& obj, std::string_view key) {
  std::optional<CJsonValueRef> member;
  return FloatOf(MemberOf(obj, key, member));
}

const mObject* TkJson::FindObject(const mObject& obj, const std::string& key) {
  const mValue* pValue = FindMember(obj, key);
  if (pValue == nullptr || pValue->is_null()) return nullptr;
  return &pValue->get_obj();  // another type throws "value type is N not 0"
}

const mArray* TkJson::FindArray(const mObject& obj, const std::string& key) {
  const mValue* pValue = FindMember(obj, key);
  if (pValue == nullptr || pValue->is_null()) return nullptr;
  return &pValue->get_array();
}

std::optional<CJsonObjectRef> TkJson::FindObject(const CJsonObjectRef& obj, std::string_view key) {
  const std::optional<CJsonValueRef> member = obj.Find(key);
  if (!member || member->is_null()) return std::nullopt;
  return member->get_obj();
}

std::optional<CJsonArrayRef> TkJson::FindArray(const CJsonObjectRef& obj, std::string_view key) {
  const std::optional<CJsonValueRef> member = obj.Find(key);
  if (!member || member->is_null()) return std::nullopt;
  return member->get_array();
}

bool TkJson::FindObjectValue(const mObject& obj, const std::string& key, mObject& out) {
  const mObject* pFound = FindObject(obj, key);
  if (pFound == nullptr) return false;
  out = *pFound;
  return true;
}

bool TkJson::FindArrayValue(const mObject& obj, const std::string& key, mArray& out) {
  const mArray* pFound = FindArray(obj, key);
  if (pFound == nullptr) return false;
  out = *pFound;
  return true;
}

}  // namespace AliCloudWrapper
