#include "Output.h"

#include <boost/json/array.hpp>
#include <boost/json/serialize.hpp>

#include <algorithm>
#include <cctype>
#include <ostream>

namespace acw {

namespace {

boost::json::array ItemsToJson(const std::vector<Record>& vecItems) {
  boost::json::array arrItems;
  for (const Record& sItem : vecItems) {
    boost::json::object objItem;
    for (const auto& [strKey, strValue] : sItem) objItem[strKey] = strValue;
    arrItems.emplace_back(std::move(objItem));
  }
  return arrItems;
}

// The columns a text takes on a terminal: one per UTF-8 character, two for
// the wide East Asian ones (names in Chinese are common on this service).
size_t DisplayWidth(const std::string& strText) {
  size_t nWidth = 0;
  for (size_t i = 0; i < strText.size();) {
    const auto c = static_cast<unsigned char>(strText[i]);
    const size_t nBytes = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    uint32_t nCode = nBytes == 1 ? c : c & (0x7F >> nBytes);
    for (size_t k = 1; k < nBytes && i + k < strText.size(); ++k) {
      nCode = (nCode << 6) | (static_cast<unsigned char>(strText[i + k]) & 0x3F);
    }
    const bool bWide = (nCode >= 0x1100 && nCode <= 0x115F) || (nCode >= 0x2E80 && nCode <= 0xA4CF) ||
                       (nCode >= 0xAC00 && nCode <= 0xD7A3) || (nCode >= 0xF900 && nCode <= 0xFAFF) ||
                       (nCode >= 0xFE30 && nCode <= 0xFE4F) || (nCode >= 0xFF00 && nCode <= 0xFF60) ||
                       (nCode >= 0xFFE0 && nCode <= 0xFFE6) || (nCode >= 0x20000 && nCode <= 0x3FFFD);
    nWidth += bWide ? 2 : 1;
    i += nBytes;
  }
  return nWidth;
}

std::string UpperCase(std::string strText) {
  for (char& c : strText) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return strText;
}

}  // namespace

Output::Output(bool bJson, std::ostream& out) : m_bJson(bJson), m_out(out) {}

void Output::Line(const std::string& strKey, const std::string& strValue) {
  // Flushed at once: a script or an operator reading a pipe sees each fact
  // as soon as it is known, before any wait that follows.
  m_out << strKey << ": " << strValue << std::endl;
}

void Output::Field(const std::string& strKey, const std::string& strValue) {
  if (m_bJson) {
    m_document[strKey] = strValue;
  } else {
    Line(strKey, strValue);
  }
}

void Output::Field(const std::string& strKey, int64_t nValue) {
  if (m_bJson) {
    m_document[strKey] = nValue;
  } else {
    Line(strKey, std::to_string(nValue));
  }
}

void Output::Field(const std::string& strKey, bool bValue) {
  if (m_bJson) {
    m_document[strKey] = bValue;
  } else {
    Line(strKey, bValue ? "yes" : "no");
  }
}

void Output::Values(const std::string& strKey, const std::vector<std::string>& vecValues) {
  if (!m_bJson) {
    for (const std::string& strValue : vecValues) Line(strKey, strValue);
    return;
  }
  boost::json::array arrValues;
  for (const std::string& strValue : vecValues) arrValues.emplace_back(strValue);
  m_document[strKey] = std::move(arrValues);
}

void Output::List(const std::string& strListKey, const std::vector<Record>& vecItems) {
  Field("count", static_cast<int64_t>(vecItems.size()));
  if (m_bJson) {
    m_document[strListKey] = ItemsToJson(vecItems);
  } else {
    Rows(vecItems);
  }
}

void Output::Table(const std::string& strListKey, const std::vector<Record>& vecItems) {
  if (m_bJson) {
    m_document[strListKey] = ItemsToJson(vecItems);
    return;
  }
  Line(strListKey, std::to_string(vecItems.size()));
  Rows(vecItems);
}

void Output::Json(const std::string& strKey, const boost::json::value& value) {
  if (m_bJson) {
    m_document[strKey] = value;
  } else {
    Line(strKey, boost::json::serialize(value));
  }
}

void Output::Rows(const std::vector<Record>& vecItems) {
  if (vecItems.empty()) return;
  // The columns are the first item's keys; every item of a list has the same.
  std::vector<std::vector<std::string>> vecRows;
  std::vector<std::string> vecHeader;
  for (const auto& sField : vecItems.front()) vecHeader.push_back(UpperCase(sField.first));
  vecRows.push_back(std::move(vecHeader));
  for (const Record& sItem : vecItems) {
    std::vector<std::string> vecRow;
    for (const auto& sField : sItem) vecRow.push_back(sField.second.empty() ? "-" : sField.second);
    vecRows.push_back(std::move(vecRow));
  }
  std::vector<size_t> vecWidths(vecRows.front().size(), 0);
  for (const auto& vecRow : vecRows) {
    for (size_t i = 0; i < vecRow.size() && i < vecWidths.size(); ++i) {
      vecWidths[i] = std::max(vecWidths[i], DisplayWidth(vecRow[i]));
    }
  }
  for (const auto& vecRow : vecRows) {
    std::string strText;
    for (size_t i = 0; i < vecRow.size() && i < vecWidths.size(); ++i) {
      // Two spaces between columns; no padding after the last one.
      strText += vecRow[i];
      if (i + 1 < vecRow.size()) strText += std::string(vecWidths[i] - DisplayWidth(vecRow[i]) + 2, ' ');
    }
    m_out << strText << "\n";
  }
  m_out << std::flush;
}

void Output::Error(const std::string& strOperation, const std::string& strResource,
                   const std::string& strMessage, const std::string& strCode) {
  if (!m_bJson) return;
  boost::json::object objError;
  objError["operation"] = strOperation;
  objError["resource"] = strResource;
  objError["message"] = strMessage;
  objError["code"] = strCode;
  m_document["error"] = std::move(objError);
}

void Output::Finish() {
  if (m_bJson) m_out << boost::json::serialize(m_document) << std::endl;
}

}  // namespace acw
