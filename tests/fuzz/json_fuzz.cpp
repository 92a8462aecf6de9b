// The JSON layer against Boost.JSON's own reading of the same text: whatever
// our reader accepts Boost accepts with the same values, whatever Boost accepts
// (an object, not too deep, only finite numbers) ours accepts, and what ours
// writes reads back to the same tree and the same text. The lenient getters
// may refuse a member only with std::runtime_error.
#include <boost/json.hpp>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>

#include "host/TkJson.h"

namespace {

using namespace AliCloudWrapper;
namespace bj = boost::json;

// Boost.JSON 1.81 may convert a real one unit in the last place off; our
// reader converts the number's text again exactly.
bool SameReal(double a, double b) {
  return a == b || std::fabs(a - b) <= 4 * DBL_EPSILON * std::max(std::fabs(a), std::fabs(b));
}

bool Same(const mValue& ours, const bj::value& theirs) {
  switch (theirs.kind()) {
    case bj::kind::null: return ours.type() == json_spirit::null_type;
    case bj::kind::bool_:
      return ours.type() == json_spirit::bool_type && ours.get_bool() == theirs.get_bool();
    case bj::kind::int64:
      return ours.type() == json_spirit::int_type && !ours.is_uint64() &&
             ours.get_int64() == theirs.get_int64();
    case bj::kind::uint64: {
      const uint64_t n = theirs.get_uint64();
      if (ours.type() != json_spirit::int_type) return false;
      return ours.is_uint64() ? ours.get_uint64() == n
                              : n <= INT64_MAX && ours.get_int64() == static_cast<int64_t>(n);
    }
    case bj::kind::double_:
      // Boost 1.81 reads some texts of finite numbers ("0.0e878") as NaN or
      // infinity; ours converts the text again and keeps the finite value.
      if (!std::isfinite(theirs.get_double())) return ours.type() == json_spirit::real_type;
      return ours.type() == json_spirit::real_type && SameReal(ours.get_real(), theirs.get_double());
    case bj::kind::string:
      return ours.type() == json_spirit::str_type &&
             ours.get_str() == std::string(theirs.get_string().data(), theirs.get_string().size());
    case bj::kind::array: {
      if (ours.type() != json_spirit::array_type) return false;
      const mArray& arr = ours.get_array();
      const bj::array& theirsArr = theirs.get_array();
      if (arr.size() != theirsArr.size()) return false;
      for (size_t i = 0; i < arr.size(); ++i) {
        if (!Same(arr[i], theirsArr[i])) return false;
      }
      return true;
    }
    case bj::kind::object: {
      if (ours.type() != json_spirit::obj_type) return false;
      // A repeated name keeps its last value, whatever Boost's object keeps.
      std::map<std::string, const bj::value*> mapLast;
      for (const auto& member : theirs.get_object()) {
        mapLast[std::string(member.key().data(), member.key().size())] = &member.value();
      }
      const mObject& obj = ours.get_obj();
      if (obj.size() != mapLast.size()) return false;
      for (const auto& [key, pValue] : mapLast) {
        const auto it = obj.find(key);
        if (it == obj.end() || !Same(it->second, *pValue)) return false;
      }
      return true;
    }
  }
  return false;
}

// Nesting depth, and whether a number could not be kept as a finite real.
void Inspect(const bj::value& value, int nDepth, int& nMaxDepth, bool& bNonFinite) {
  nMaxDepth = std::max(nMaxDepth, nDepth);
  if (value.is_double() && !std::isfinite(value.get_double())) bNonFinite = true;
  if (value.is_array()) {
    for (const bj::value& element : value.get_array()) Inspect(element, nDepth + 1, nMaxDepth, bNonFinite);
  } else if (value.is_object()) {
    for (const auto& member : value.get_object()) Inspect(member.value(), nDepth + 1, nMaxDepth, bNonFinite);
  }
}

// True when some number of the text (outside strings) is beyond a double's
// range. Our reader refuses such a document even when a repeated member name
// replaces the number later, so the value Boost keeps does not tell.
bool HasNumberBeyondDouble(const std::string& strText) {
  for (size_t i = 0; i < strText.size(); ++i) {
    if (strText[i] == '"') {
      for (++i; i < strText.size() && strText[i] != '"'; ++i) {
        if (strText[i] == '\\') ++i;
      }
      continue;
    }
    if (strText[i] != '-' && (strText[i] < '0' || strText[i] > '9')) continue;
    const size_t nEnd = strText.find_first_not_of("-+.eE0123456789", i);
    const std::string strNumber = strText.substr(i, nEnd - i);
    if (!std::isfinite(std::strtod(strNumber.c_str(), nullptr))) return true;
    i = nEnd == std::string::npos ? strText.size() : nEnd - 1;
  }
  return false;
}

bool BoostReads(const std::string& strText, bj::value& out) {
  bj::parse_options options;
  options.max_depth = 1000;
  bj::error_code ec;
  out = bj::parse(strText, ec, {}, options);
  return !ec;
}

// Each getter either reads the member or refuses it with std::runtime_error.
void ExerciseGetters(const mObject& obj) {
  for (const auto& member : obj) {
    const std::string& key = member.first;
    try { (void)TkJson::GetStringValue(obj, key); } catch (const std::runtime_error&) {}
    try { (void)TkJson::GetIntValue(obj, key); } catch (const std::runtime_error&) {}
    try { (void)TkJson::GetBoolValue(obj, key); } catch (const std::runtime_error&) {}
    try { (void)TkJson::GetFloatValue(obj, key); } catch (const std::runtime_error&) {}
    mObject inner;
    mArray arr;
    try { (void)TkJson::FindObjectValue(obj, key, inner); } catch (const std::runtime_error&) {}
    try { (void)TkJson::FindArrayValue(obj, key, arr); } catch (const std::runtime_error&) {}
  }
}

[[noreturn]] void Fail(const char* pszWhat) {
  std::fprintf(stderr, "json_fuzz: %s\n", pszWhat);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  const std::string strText(reinterpret_cast<const char*>(pData), nSize);
  mObject ours;
  const bool bOurs = TkJson::Unserialize(strText, ours);
  bj::value theirs;
  const bool bTheirs = BoostReads(strText, theirs);

  if (bOurs) {
    if (!bTheirs) Fail("ours accepted a text Boost refuses");
    if (!Same(mValue(ours), theirs)) Fail("ours and Boost read different values");
    ExerciseGetters(ours);
    const std::string strWritten = TkJson::Serialize(ours);
    mObject again;
    if (!TkJson::Unserialize(strWritten, again)) Fail("our own output does not read back");
    if (!(mValue(again) == mValue(ours))) Fail("our output reads back to another tree");
    if (TkJson::Serialize(again) != strWritten) Fail("writing is not stable");
    bj::value theirsAgain;
    if (!BoostReads(strWritten, theirsAgain) || !Same(mValue(ours), theirsAgain)) {
      Fail("Boost reads our output differently");
    }
  } else if (bTheirs && theirs.is_object()) {
    int nDepth = 0;
    bool bNonFinite = false;
    Inspect(theirs, 1, nDepth, bNonFinite);
    if (nDepth < TkJson::MAX_DEPTH && !bNonFinite && !HasNumberBeyondDouble(strText)) {
      Fail("ours refused an object Boost reads");
    }
  }
  return 0;
}
