// What a subcommand reports, in one of two forms chosen once per run:
//   text: one "key: value" line per fact, written as the fact is known, so an
//         operator sees an id before a long wait that may fail; lists as
//         tables of aligned columns under a header of their keys;
//   JSON: one document on standard output at the end (Finish), the same keys,
//         so a script reads the same facts without parsing text.
#pragma once

#include <boost/json/object.hpp>
#include <boost/json/value.hpp>

#include <cstdint>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

namespace acw {

// One item of a list: (key, value) pairs, the first one the item's id.
using Record = std::vector<std::pair<std::string, std::string>>;

class Output {
 public:
  Output(bool bJson, std::ostream& out);

  bool IsJson() const { return m_bJson; }

  void Field(const std::string& strKey, const std::string& strValue);
  void Field(const std::string& strKey, int64_t nValue);
  void Field(const std::string& strKey, bool bValue);  // text "yes"/"no", JSON true/false
  // Text: one "key: value" line per value; JSON: "key": [values].
  void Values(const std::string& strKey, const std::vector<std::string>& vecValues);
  // Text: "count: N", then the items as a table (see Table);
  // JSON: "count": N and "<strListKey>": [{...}, ...].
  void List(const std::string& strListKey, const std::vector<Record>& vecItems);
  // One of several lists of a command. Text: a "<strListKey>: N" line, then a
  // header of the items' keys in capitals and one row per item, columns
  // aligned, an empty value shown as "-" so every row has every column.
  // JSON: "<strListKey>": [{...}, ...].
  void Table(const std::string& strListKey, const std::vector<Record>& vecItems);
  // A value already in JSON form (a stored document), under strKey. Text: one
  // "key: value" line with the compact JSON text.
  void Json(const std::string& strKey, const boost::json::value& value);

  // The failure of the run: JSON gets an "error" object beside the facts
  // reported so far (the text form reports failures on standard error).
  void Error(const std::string& strOperation, const std::string& strResource,
             const std::string& strMessage, const std::string& strCode);

  // JSON: writes the document. Text: nothing left to write.
  void Finish();

 private:
  void Line(const std::string& strKey, const std::string& strValue);
  void Rows(const std::vector<Record>& vecItems);

  bool m_bJson;
  std::ostream& m_out;
  boost::json::object m_document;
};

}  // namespace acw
