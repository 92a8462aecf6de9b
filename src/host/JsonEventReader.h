// What every consumer of Boost.JSON's parse events in this library shares: which
// documents are accepted (an object at the top, at most TkJson::MAX_DEPTH levels,
// finite numbers), how text arriving in parts is gathered, and how reals are read
// exactly. A consumer derives from CJsonEventReader<Self> and supplies what it keeps:
//   bool BeginObject(ec), BeginArray(ec)  (the top-level object is BeginObject at depth 0)
//   void EndContainer()
//   void Key(std::string_view)            (valid only during the call)
//   bool String(std::string_view, ec)     (valid only during the call)
//   bool Int(int64_t, ec), Uint(uint64_t, ec), Real(double, ec), Bool(bool, ec), Null(ec)
// The scalar callbacks are only called inside a container.
#pragma once

#include <boost/json/basic_parser.hpp>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

namespace AliCloudWrapper {

template <typename Self>
class CJsonEventReader {
 public:
  static constexpr std::size_t max_object_size = std::size_t(-1);
  static constexpr std::size_t max_array_size = std::size_t(-1);
  static constexpr std::size_t max_key_size = std::size_t(-1);
  static constexpr std::size_t max_string_size = std::size_t(-1);

  using error_code = boost::json::error_code;
  using string_view = boost::json::string_view;

  explicit CJsonEventReader(int nMaxDepth) : m_nMaxDepth(nMaxDepth) {}

  bool on_document_begin(error_code&) { return true; }
  bool on_document_end(error_code&) { return true; }

  bool on_object_begin(error_code& ec) {
    if (!RoomForOneMoreLevel(ec)) return false;
    ++m_nDepth;
    return Me().BeginObject(ec);
  }
  bool on_object_end(std::size_t, error_code&) { return End(); }
  bool on_array_begin(error_code& ec) {
    if (m_nDepth == 0) return Refuse(ec);  // a top-level array is not an object
    if (!RoomForOneMoreLevel(ec)) return false;
    ++m_nDepth;
    return Me().BeginArray(ec);
  }
  bool on_array_end(std::size_t, error_code&) { return End(); }

  // Keys, strings and numbers may arrive in parts (escapes, buffer boundaries); the
  // parts are gathered and the final call completes them.
  bool on_key_part(string_view part, std::size_t, error_code&) { return Gather(part); }
  bool on_key(string_view last, std::size_t, error_code&) {
    Me().Key(Whole(last));
    m_strPart.clear();
    return true;
  }
  bool on_string_part(string_view part, std::size_t, error_code&) { return Gather(part); }
  bool on_string(string_view last, std::size_t, error_code& ec) {
    if (m_nDepth == 0) return Refuse(ec);
    const bool bOk = Me().String(Whole(last), ec);
    m_strPart.clear();
    return bOk;
  }
  bool on_number_part(string_view part, error_code&) { return Gather(part); }
  bool on_int64(std::int64_t n, string_view, error_code& ec) {
    m_strPart.clear();
    return m_nDepth == 0 ? Refuse(ec) : Me().Int(static_cast<int64_t>(n), ec);
  }
  bool on_uint64(std::uint64_t n, string_view, error_code& ec) {
    m_strPart.clear();
    return m_nDepth == 0 ? Refuse(ec) : Me().Uint(static_cast<uint64_t>(n), ec);
  }
  // Boost.JSON 1.81 converts some reals up to one unit in the last place off, so the
  // number's own text is converted again exactly. Integers beyond the uint64 range
  // arrive here too: kept as the nearest real, never wrapped.
  bool on_double(double d, string_view last, error_code& ec) {
    const std::string_view text = Whole(last);
    double exact = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), exact);
    if (result.ec == std::errc() && result.ptr == text.data() + text.size()) d = exact;
    m_strPart.clear();
    // A number beyond the range of a double (1e400) cannot be kept, and infinity has
    // no JSON form to write back: the document is refused rather than altered.
    if (m_nDepth == 0 || !std::isfinite(d)) return Refuse(ec);
    return Me().Real(d, ec);
  }
  bool on_bool(bool b, error_code& ec) { return m_nDepth == 0 ? Refuse(ec) : Me().Bool(b, ec); }
  bool on_null(error_code& ec) { return m_nDepth == 0 ? Refuse(ec) : Me().Null(ec); }
  bool on_comment_part(string_view, error_code&) { return true; }
  bool on_comment(string_view, error_code&) { return true; }

 protected:
  static bool Refuse(error_code& ec) {
    ec = boost::json::error::syntax;
    return false;
  }

 private:
  Self& Me() { return static_cast<Self&>(*this); }

  bool RoomForOneMoreLevel(error_code& ec) const {
    if (m_nDepth < m_nMaxDepth) return true;
    ec = boost::json::error::too_deep;
    return false;
  }

  bool End() {
    --m_nDepth;
    Me().EndContainer();
    return true;
  }

  bool Gather(string_view part) {
    m_strPart.append(part.data(), part.size());
    return true;
  }

  // The whole text: the last part alone when nothing was gathered (the common case,
  // no copy), else the gathered parts with the last one appended. The reader has
  // already refused malformed UTF-8 and unpaired surrogate escapes.
  std::string_view Whole(string_view last) {
    if (m_strPart.empty()) return std::string_view(last.data(), last.size());
    m_strPart.append(last.data(), last.size());
    return m_strPart;
  }

  const int m_nMaxDepth;
  int m_nDepth = 0;
  std::string m_strPart;
};

}  // namespace AliCloudWrapper
