#include "storage/StorageInternal.h"

#include <cstdio>

namespace AliCloudWrapper {
namespace StorageInternal {

std::string OneIdJsonArray(const std::string& strId) {
  std::string strOut = "[\"";
  for (const char c : strId) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      strOut += '\\';
      strOut += c;
    } else if (u < 0x20) {
      char szEscape[8];
      std::snprintf(szEscape, sizeof(szEscape), "\\u%04x", u);
      strOut += szEscape;
    } else {
      strOut += c;
    }
  }
  strOut += "\"]";
  return strOut;
}

}  // namespace StorageInternal
}  // namespace AliCloudWrapper
