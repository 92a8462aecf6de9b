// A parsed JSON answer in one flat arena: every value is a 16-byte node in one
// vector, every object member and array element a 16-byte entry in another, and
// strings point into the answer's own text (only strings with escapes are copied,
// into one buffer). Parsing a 100-instance listing page therefore costs a handful of
// allocations instead of one per value, and freeing it costs as few.
//
// The document reads the records the parser fills; callers that want the
// json_spirit types ask for a copy of a value (ToValue, ToObject, ToArray).
// It accepts exactly the documents TkJson::Unserialize accepts, and a repeated
// member name means its last value, as there.
//
// The text passed to Parse must outlive the document's use: the values refer to it.
// References (CJsonValueRef, CJsonObjectRef, CJsonArrayRef) are valid until the
// document is parsed again or destroyed.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AliCloudWrapper/JsonValue.h"

namespace AliCloudWrapper {

namespace json_spirit {
// Throws std::runtime_error "value type is <actual> not <expected>", json_spirit's wording.
[[noreturn]] void ThrowWrongType(Value_type actual, Value_type expected);
}  // namespace json_spirit

class CJsonDocument;
class CJsonObjectRef;
class CJsonArrayRef;

// One value of a document. The accessors behave as mValue's: another type throws
// "value type is X not Y".
class CJsonValueRef {
 public:
  CJsonValueRef(const CJsonDocument& doc, uint32_t nNode) : m_pDoc(&doc), m_nNode(nNode) {}

  json_spirit::Value_type type() const;
  bool is_null() const { return type() == json_spirit::null_type; }
  bool is_uint64() const;
  std::string_view get_str() const;
  bool get_bool() const;
  int64_t get_int64() const;
  uint64_t get_uint64() const;
  double get_real() const;  // also accepts an integer
  CJsonObjectRef get_obj() const;
  CJsonArrayRef get_array() const;

  mValue ToValue() const;
  // A 64-bit digest of the value as written: its type, scalars, and every key and
  // element in order. Equal values of equal text give equal digests; telling two
  // records apart this way keeps 8 bytes per record instead of a copy of it.
  uint64_t Fingerprint() const;

 private:
  const CJsonDocument* m_pDoc;
  uint32_t m_nNode;
};

class CJsonObjectRef {
 public:
  CJsonObjectRef(const CJsonDocument& doc, uint32_t nNode) : m_pDoc(&doc), m_nNode(nNode) {}
  // The member's value (the last one when the name repeats), or nothing when absent.
  std::optional<CJsonValueRef> Find(std::string_view key) const;
  size_t size() const;
  mObject ToObject() const;

 private:
  const CJsonDocument* m_pDoc;
  uint32_t m_nNode;
};

class CJsonArrayRef {
 public:
  class const_iterator;
  CJsonArrayRef(const CJsonDocument& doc, uint32_t nNode) : m_pDoc(&doc), m_nNode(nNode) {}
  size_t size() const;
  const_iterator begin() const;
  const_iterator end() const;
  mArray ToArray() const;

 private:
  const CJsonDocument* m_pDoc;
  uint32_t m_nNode;
};

class CJsonDocument {
 public:
  CJsonDocument();
  ~CJsonDocument();
  CJsonDocument(const CJsonDocument&) = delete;
  CJsonDocument& operator=(const CJsonDocument&) = delete;

  // True when text is a JSON document whose top level is an object (the rules of
  // TkJson::Unserialize); false otherwise, and the document is then empty. A
  // document may be parsed again: it keeps its room for the next answer.
  bool Parse(const std::string& text);
  bool IsParsed() const { return !m_vecNodes.empty(); }
  // The top-level object; only after a successful Parse.
  CJsonObjectRef Root() const { return CJsonObjectRef(*this, 0); }
  // The text last parsed (empty before the first Parse).
  const std::string& Text() const;

 private:
  friend class CJsonValueRef;
  friend class CJsonObjectRef;
  friend class CJsonArrayRef;
  friend class CJsonDocumentBuilder;

  struct SNode {
    union {
      const char* pText;  // string
      int64_t nInt;       // integer (the bits of a uint64 when bUint64)
      double dReal;
      bool bValue;
      uint32_t nFirst;  // object or array: its first entry
    };
    uint32_t nSize;  // string: length; object or array: number of entries
    uint8_t nType;   // json_spirit::Value_type
    bool bUint64;
  };
  // An object member (pKey names it) or an array element (no key).
  struct SEntry {
    const char* pKey;
    uint32_t nKeyLength;
    uint32_t nNode;
  };

  const SNode& Node(uint32_t nNode) const { return m_vecNodes[nNode]; }
  const SEntry* Entries(const SNode& node) const { return m_vecEntries.data() + node.nFirst; }
  void Clear();

  const std::string* m_pText = nullptr;
  std::vector<SNode> m_vecNodes;      // node 0 is the top-level object
  std::vector<SEntry> m_vecEntries;   // each container's entries, contiguous
  std::vector<SEntry> m_vecPending;   // entries of the containers still open
  std::unique_ptr<char[]> m_pCopies;  // unescaped strings; never longer than the text
  size_t m_nCopiesCapacity = 0;
  size_t m_nCopiesUsed = 0;
};

class CJsonArrayRef::const_iterator {
 public:
  const_iterator(const CJsonDocument& doc, const CJsonDocument::SEntry* pEntry)
      : m_pDoc(&doc), m_pEntry(pEntry) {}
  CJsonValueRef operator*() const { return CJsonValueRef(*m_pDoc, m_pEntry->nNode); }
  const_iterator& operator++() {
    ++m_pEntry;
    return *this;
  }
  bool operator!=(const const_iterator& other) const { return m_pEntry != other.m_pEntry; }
  bool operator==(const const_iterator& other) const { return m_pEntry == other.m_pEntry; }

 private:
  const CJsonDocument* m_pDoc;
  const CJsonDocument::SEntry* m_pEntry;
};

}  // namespace AliCloudWrapper
