#include "Output.h"

#include <boost/json/array.hpp>
#include <boost/json/serialize.hpp>

#include <ostream>

namespace acw {

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

void Output::List(const std::string& strListKey, const std::string& strItemKey,
                  const std::vector<Record>& vecItems) {
  Field("count", static_cast<int64_t>(vecItems.size()));
  if (!m_bJson) {
    for (const Record& sItem : vecItems) {
      std::string strText;
      for (const auto& [strKey, strValue] : sItem) {
        strText += strText.empty() ? strValue : " " + strKey + "=" + strValue;
      }
      Line(strItemKey, strText);
    }
    return;
  }
  boost::json::array arrItems;
  for (const Record& sItem : vecItems) {
    boost::json::object objItem;
    for (const auto& [strKey, strValue] : sItem) objItem[strKey] = strValue;
    arrItems.emplace_back(std::move(objItem));
  }
  m_document[strListKey] = std::move(arrItems);
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
