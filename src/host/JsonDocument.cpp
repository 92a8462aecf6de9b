// CJsonDocument: Boost.JSON's event parser filling the flat node and entry arrays.
#include "host/JsonDocument.h"

#include <boost/json/basic_parser_impl.hpp>

#include <cstring>
#include <functional>
#include <limits>
#include <stdexcept>

#include "host/JsonEventReader.h"
#include "host/TkJson.h"

namespace AliCloudWrapper {

using json_spirit::Value_type;

// Appends nodes as values arrive. The entries of an open container wait in the
// pending list (its nested containers' entries stack above them); when it closes
// they move, contiguous, to the document's entry array, as Boost.JSON's own value
// stack does.
class CJsonDocumentBuilder : public CJsonEventReader<CJsonDocumentBuilder> {
 public:
  explicit CJsonDocumentBuilder(CJsonDocument& doc)
      : CJsonEventReader(TkJson::MAX_DEPTH), m_doc(doc) {
    m_vecOpen.reserve(TkJson::MAX_DEPTH);
    m_vecStarts.reserve(TkJson::MAX_DEPTH);
  }

  bool BeginObject(error_code&) { return Open(json_spirit::obj_type); }
  bool BeginArray(error_code&) { return Open(json_spirit::array_type); }
  void EndContainer() {
    const size_t nStart = m_vecStarts.back();
    m_vecStarts.pop_back();
    CJsonDocument::SNode& node = m_doc.m_vecNodes[m_vecOpen.back()];
    m_vecOpen.pop_back();
    auto& pending = m_doc.m_vecPending;
    node.nFirst = static_cast<uint32_t>(m_doc.m_vecEntries.size());
    node.nSize = static_cast<uint32_t>(pending.size() - nStart);
    m_doc.m_vecEntries.insert(m_doc.m_vecEntries.end(), pending.begin() + static_cast<std::ptrdiff_t>(nStart),
                              pending.end());
    pending.resize(nStart);
  }
  void Key(std::string_view text) { m_key = Keep(text); }
  bool String(std::string_view text, error_code&) {
    const std::string_view kept = Keep(text);
    CJsonDocument::SNode& node = Add(json_spirit::str_type);
    node.pText = kept.data();
    node.nSize = static_cast<uint32_t>(kept.size());
    return true;
  }
  bool Int(int64_t n, error_code&) {
    Add(json_spirit::int_type).nInt = n;
    return true;
  }
  bool Uint(uint64_t n, error_code&) {
    CJsonDocument::SNode& node = Add(json_spirit::int_type);
    node.nInt = static_cast<int64_t>(n);
    node.bUint64 = n > static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    return true;
  }
  bool Real(double d, error_code&) {
    Add(json_spirit::real_type).dReal = d;
    return true;
  }
  bool Bool(bool b, error_code&) {
    Add(json_spirit::bool_type).bValue = b;
    return true;
  }
  bool Null(error_code&) {
    Add(json_spirit::null_type);
    return true;
  }

 private:
  bool Open(Value_type eType) {
    if (m_doc.m_vecNodes.empty()) {
      m_doc.m_vecNodes.push_back(CJsonDocument::SNode{{nullptr}, 0, static_cast<uint8_t>(eType), false});
    } else {
      Add(eType);
    }
    m_vecOpen.push_back(static_cast<uint32_t>(m_doc.m_vecNodes.size() - 1));
    m_vecStarts.push_back(m_doc.m_vecPending.size());
    return true;
  }

  // A new node as the next member (named by the pending key) or element of the open container.
  CJsonDocument::SNode& Add(Value_type eType) {
    const auto nNode = static_cast<uint32_t>(m_doc.m_vecNodes.size());
    const bool bInObject = m_doc.m_vecNodes[m_vecOpen.back()].nType == json_spirit::obj_type;
    m_doc.m_vecPending.push_back(CJsonDocument::SEntry{
        bInObject ? m_key.data() : nullptr, bInObject ? static_cast<uint32_t>(m_key.size()) : 0, nNode});
    m_doc.m_vecNodes.push_back(CJsonDocument::SNode{{nullptr}, 0, static_cast<uint8_t>(eType), false});
    return m_doc.m_vecNodes.back();
  }

  // Text that lies in the answer itself is referred to; text the reader built (escapes
  // undone, or gathered from parts) is copied once into the document's buffer. The
  // unescaped form of a string is never longer than its source, so the buffer, as long
  // as the whole text, never needs to grow and earlier views stay valid.
  std::string_view Keep(std::string_view text) {
    const std::string& source = *m_doc.m_pText;
    const std::less<const char*> before;
    if (!before(text.data(), source.data()) &&
        !before(source.data() + source.size(), text.data() + text.size())) {
      return text;
    }
    if (!m_doc.m_pCopies || m_doc.m_nCopiesCapacity < source.size()) {
      m_doc.m_pCopies.reset(new char[source.size()]);
      m_doc.m_nCopiesCapacity = source.size();
      m_doc.m_nCopiesUsed = 0;
    }
    char* pCopy = m_doc.m_pCopies.get() + m_doc.m_nCopiesUsed;
    if (!text.empty()) std::memcpy(pCopy, text.data(), text.size());
    m_doc.m_nCopiesUsed += text.size();
    return std::string_view(pCopy, text.size());
  }

  CJsonDocument& m_doc;
  std::string_view m_key;
  std::vector<uint32_t> m_vecOpen;   // node of each open container
  std::vector<size_t> m_vecStarts;   // where its entries start in the pending list
};

// ------------------------------------------------------------------ document

namespace {
const std::string kNoText;
}

CJsonDocument::CJsonDocument() = default;
CJsonDocument::~CJsonDocument() = default;

const std::string& CJsonDocument::Text() const { return m_pText ? *m_pText : kNoText; }

void CJsonDocument::Clear() {
  m_vecNodes.clear();
  m_vecEntries.clear();
  m_vecPending.clear();
  m_nCopiesUsed = 0;
}

bool CJsonDocument::Parse(const std::string& text) {
  Clear();
  m_pText = &text;
  // Lengths and positions are kept in 32 bits.
  if (text.size() >= std::numeric_limits<uint32_t>::max()) return false;
  // A listing page has about one value per 16 bytes of text.
  m_vecNodes.reserve(text.size() / 16 + 4);
  m_vecEntries.reserve(text.size() / 16 + 4);
  boost::json::parse_options options;
  options.max_depth = TkJson::MAX_DEPTH;
  boost::json::basic_parser<CJsonDocumentBuilder> parser(options, *this);
  boost::json::error_code ec;
  // One call with the whole text: anything after the document is extra data, and a
  // truncated text is incomplete.
  const size_t nUsed = parser.write_some(false, text.data(), text.size(), ec);
  const bool bOk = !ec && nUsed == text.size() && !m_vecNodes.empty();
  if (!bOk) Clear();
  m_vecPending.clear();
  return bOk;
}

// ------------------------------------------------------------------ values

Value_type CJsonValueRef::type() const {
  return static_cast<Value_type>(m_pDoc->Node(m_nNode).nType);
}

bool CJsonValueRef::is_uint64() const {
  const auto& node = m_pDoc->Node(m_nNode);
  return node.nType == json_spirit::int_type && node.bUint64;
}

namespace {
void Expect(Value_type actual, Value_type expected) {
  if (actual != expected) json_spirit::ThrowWrongType(actual, expected);
}
[[noreturn]] void ThrowOutOfRange(const char* what) {
  throw std::runtime_error(std::string("value out of range for ") + what);
}
}  // namespace

std::string_view CJsonValueRef::get_str() const {
  const auto& node = m_pDoc->Node(m_nNode);
  Expect(type(), json_spirit::str_type);
  return std::string_view(node.pText, node.nSize);
}

bool CJsonValueRef::get_bool() const {
  Expect(type(), json_spirit::bool_type);
  return m_pDoc->Node(m_nNode).bValue;
}

int64_t CJsonValueRef::get_int64() const {
  Expect(type(), json_spirit::int_type);
  const auto& node = m_pDoc->Node(m_nNode);
  if (node.bUint64) ThrowOutOfRange("int64");
  return node.nInt;
}

uint64_t CJsonValueRef::get_uint64() const {
  Expect(type(), json_spirit::int_type);
  const auto& node = m_pDoc->Node(m_nNode);
  if (!node.bUint64 && node.nInt < 0) ThrowOutOfRange("uint64");
  return static_cast<uint64_t>(node.nInt);
}

double CJsonValueRef::get_real() const {
  const auto& node = m_pDoc->Node(m_nNode);
  if (type() == json_spirit::int_type) {
    return node.bUint64 ? static_cast<double>(static_cast<uint64_t>(node.nInt))
                        : static_cast<double>(node.nInt);
  }
  Expect(type(), json_spirit::real_type);
  return node.dReal;
}

CJsonObjectRef CJsonValueRef::get_obj() const {
  Expect(type(), json_spirit::obj_type);
  return CJsonObjectRef(*m_pDoc, m_nNode);
}

CJsonArrayRef CJsonValueRef::get_array() const {
  Expect(type(), json_spirit::array_type);
  return CJsonArrayRef(*m_pDoc, m_nNode);
}

mValue CJsonValueRef::ToValue() const {
  const auto& node = m_pDoc->Node(m_nNode);
  switch (type()) {
    case json_spirit::obj_type: return mValue(get_obj().ToObject());
    case json_spirit::array_type: return mValue(get_array().ToArray());
    case json_spirit::str_type: return mValue(std::string(get_str()));
    case json_spirit::bool_type: return mValue(node.bValue);
    case json_spirit::int_type:
      return node.bUint64 ? mValue(static_cast<uint64_t>(node.nInt)) : mValue(node.nInt);
    case json_spirit::real_type: return mValue(node.dReal);
    case json_spirit::null_type: break;
  }
  return mValue();
}

namespace {

// FNV-1a over bytes: simple, and spread well enough for telling records apart.
constexpr uint64_t FNV_OFFSET = 14695981039346656037ull;
constexpr uint64_t FNV_PRIME = 1099511628211ull;

uint64_t Mix(uint64_t nHash, const void* pData, size_t nSize) {
  const auto* p = static_cast<const unsigned char*>(pData);
  for (size_t i = 0; i < nSize; ++i) nHash = (nHash ^ p[i]) * FNV_PRIME;
  return nHash;
}

template <typename T>
uint64_t MixValue(uint64_t nHash, const T& value) {
  return Mix(nHash, &value, sizeof value);
}

}  // namespace

uint64_t CJsonValueRef::Fingerprint() const {
  const auto& node = m_pDoc->Node(m_nNode);
  uint64_t nHash = MixValue(FNV_OFFSET, node.nType);
  switch (type()) {
    case json_spirit::obj_type:
    case json_spirit::array_type: {
      nHash = MixValue(nHash, node.nSize);
      const CJsonDocument::SEntry* pEntry = m_pDoc->Entries(node);
      for (uint32_t i = 0; i < node.nSize; ++i, ++pEntry) {
        // The key's length first, so that {"ab":..} and {"a":"b"..} differ.
        nHash = MixValue(nHash, pEntry->nKeyLength);
        if (pEntry->pKey != nullptr) nHash = Mix(nHash, pEntry->pKey, pEntry->nKeyLength);
        nHash = MixValue(nHash, CJsonValueRef(*m_pDoc, pEntry->nNode).Fingerprint());
      }
      return nHash;
    }
    case json_spirit::str_type: return Mix(MixValue(nHash, node.nSize), node.pText, node.nSize);
    case json_spirit::bool_type: return MixValue(nHash, node.bValue);
    case json_spirit::int_type: return MixValue(MixValue(nHash, node.bUint64), node.nInt);
    case json_spirit::real_type: return MixValue(nHash, node.dReal);
    case json_spirit::null_type: break;
  }
  return nHash;
}

// ------------------------------------------------------------------ objects and arrays

std::optional<CJsonValueRef> CJsonObjectRef::Find(std::string_view key) const {
  const auto& node = m_pDoc->Node(m_nNode);
  const CJsonDocument::SEntry* pFirst = m_pDoc->Entries(node);
  // From the end, so that a repeated name gives its last value.
  for (const CJsonDocument::SEntry* p = pFirst + node.nSize; p != pFirst;) {
    --p;
    if (p->nKeyLength == key.size() && std::memcmp(p->pKey, key.data(), key.size()) == 0) {
      return CJsonValueRef(*m_pDoc, p->nNode);
    }
  }
  return std::nullopt;
}

size_t CJsonObjectRef::size() const { return m_pDoc->Node(m_nNode).nSize; }

mObject CJsonObjectRef::ToObject() const {
  mObject out;
  const auto& node = m_pDoc->Node(m_nNode);
  const CJsonDocument::SEntry* pEntry = m_pDoc->Entries(node);
  for (uint32_t i = 0; i < node.nSize; ++i, ++pEntry) {
    // Assignment in order: a repeated name keeps its last value.
    out.insert_or_assign(std::string(pEntry->pKey, pEntry->nKeyLength),
                         CJsonValueRef(*m_pDoc, pEntry->nNode).ToValue());
  }
  return out;
}

size_t CJsonArrayRef::size() const { return m_pDoc->Node(m_nNode).nSize; }

CJsonArrayRef::const_iterator CJsonArrayRef::begin() const {
  return const_iterator(*m_pDoc, m_pDoc->Entries(m_pDoc->Node(m_nNode)));
}

CJsonArrayRef::const_iterator CJsonArrayRef::end() const {
  const auto& node = m_pDoc->Node(m_nNode);
  return const_iterator(*m_pDoc, m_pDoc->Entries(node) + node.nSize);
}

mArray CJsonArrayRef::ToArray() const {
  mArray out;
  out.reserve(size());
  for (const CJsonValueRef element : *this) out.push_back(element.ToValue());
  return out;
}

}  // namespace AliCloudWrapper
